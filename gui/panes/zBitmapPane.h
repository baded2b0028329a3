#pragma once
// A pane control that shows one bitmap, stretched over the pane or offset to
// its centre, and can size itself to the bitmap.
#include "zPane.h"

class zBitmap;
class zResId;

class zBitmapPane : public zPaneControl {
public:
    zBitmap* bmp = nullptr;  // owned; may be null
    int centre = 0;

    zBitmapPane(zWindow* parent, const zResId& bitmapId, zSizer* sizer);
    // Takes ownership of the bitmap.
    zBitmapPane(zWindow* parent, zBitmap* bitmap, zSizer* sizer);
    // The dialog builder's form: no bitmap.
    zBitmapPane(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    // Takes over the dialog-built bitmap pane with that id, bitmap included.
    zBitmapPane(zWindow* parent, int id);
    ~zBitmapPane() override;

    int size(zSizeEvt* e) override;
    int draw(zDrawEvt* e) override;

    zBitmap* bitmap() const { return bmp; }
    // Shows the bitmap and gives the previous one back to the caller. With resize
    // the window takes the bitmap's size where that differs from the client's.
    zBitmap* setBitmap(zBitmap* bitmap, int resize, int centre);
};

zChildWin* zCtrlBldzBitmapPane(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
