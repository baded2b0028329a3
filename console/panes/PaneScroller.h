#pragma once
// A scroller that gives a pane one scroll bar with fixed line and page steps.
#include "QvWindows.h"
#include "zScroller.h"

class zPane;

class PANESCROLLER : public zPaneScrollerAuto {
public:
    // style WS_VSCROLL: vertical over (0, 0, a, b), line b, page pageLines * b;
    // WS_HSCROLL: horizontal, line a, page pageLines * a; else no scrolling.
    PANESCROLLER(zPane* pane, int a, int b, int pageLines, long style);
    ~PANESCROLLER() override;
};
