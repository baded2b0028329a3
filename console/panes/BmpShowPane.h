#pragma once
// The pane that shows a bitmap in the status pane's place (the CORVATH
// edition's splash picture). GUI thread only.
#include "QvWindows.h"
#include "zPane.h"
#include "PaneFont.h"

class zBitmap;
class zBitmapDisplay;

class BMPSHOWPANE : public zPane {
public:
    // bitmap stays the caller's; may be null.
    BMPSHOWPANE(zWindow* parent, zSizer* sizer, zBitmap* bitmap);
    ~BMPSHOWPANE() override;
    int size(zSizeEvt* e) override;
    int draw(zDrawEvt* e) override;

    PANEFONT font;
    zBitmap* bitmap;               // not owned
    zBitmapDisplay* bitmapDisplay; // owned; null without bitmap
};
