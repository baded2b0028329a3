#include "PaneScroller.h"

#include "zPane.h"

PANESCROLLER::PANESCROLLER(zPane* pane, int a, int b, int pageLines, long style) : zPaneScrollerAuto(pane) {
    zRect area(0, 0, a, b);
    if (style == WS_VSCROLL) {
        pane->style(pane->style() | WS_VSCROLL);
        zScrollInfo* info = pane->ensureVertScroll();
        setVert(&area, b, pageLines * b);
        if (info) info->page = pageLines;
    } else if (style == WS_HSCROLL) {
        pane->style(pane->style() | WS_HSCROLL);
        zScrollInfo* info = pane->ensureHorzScroll();
        setHorz(&area, a, pageLines * a);
        if (info) info->page = pageLines;
    }
    pane->scroller(this);
    respondToSize();
}

PANESCROLLER::~PANESCROLLER() {}
