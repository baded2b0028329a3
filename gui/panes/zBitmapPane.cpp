#include "zBitmapPane.h"

#include "zBitmap.h"
#include "zDisplay.h"
#include "zSizer.h"

namespace {

void invalidateAll(zWindow* w) {
    if (w->hwnd) InvalidateRect(w->hwnd, nullptr, TRUE);
}

}  // namespace

zBitmapPane::zBitmapPane(zWindow* parent, const zResId& bitmapId, zSizer* s)
    : zPaneControl(parent, s, 0, nullptr, 0), bmp(new zBitmap(bitmapId)) {}

zBitmapPane::zBitmapPane(zWindow* parent, zBitmap* bitmap, zSizer* s)
    : zPaneControl(parent, s, 0, nullptr, 0), bmp(bitmap) {}

zBitmapPane::zBitmapPane(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zPaneControl(parent, s, style, text, id) {}

zBitmapPane::zBitmapPane(zWindow* parent, int id) : zPaneControl(parent, id) {
    if (zBitmapPane* old = dynamic_cast<zBitmapPane*>(prevObject)) {
        bmp = old->bmp;
        centre = old->centre;
        old->bmp = nullptr;
    }
}

zBitmapPane::~zBitmapPane() {
    delete bmp;
    bmp = nullptr;
}

zBitmap* zBitmapPane::setBitmap(zBitmap* bitmap, int resize, int c) {
    zBitmap* previous = bmp;
    bmp = bitmap;
    invalidateAll(this);
    centre = c;
    if (!resize || !bmp || !hwnd) return previous;
    RECT client;
    GetClientRect(hwnd, &client);
    zDimension want = bmp->size();
    if (want == zDimension(client.right, client.bottom)) return previous;
    RECT wr;
    GetWindowRect(hwnd, &wr);
    zPoint at(wr.left, wr.top);
    at.translate(nullptr, parentWin);
    vmove(at.x, at.y, want.width, want.height);
    return previous;
}

int zBitmapPane::size(zSizeEvt*) {
    invalidateAll(this);
    return 1;
}

int zBitmapPane::draw(zDrawEvt*) {
    zDisplay* d = curDisplay;
    if (!d) return 1;
    d->lock();
    if (bmp) {
        // The sizer's extent where it has one, else the client area.
        zDimension area;
        if (sizer && sizer->dimension().width != zSizerUnset) {
            area = sizer->dimension();
        } else if (hwnd) {
            RECT rc;
            GetClientRect(hwnd, &rc);
            area = zDimension(rc.right, rc.bottom);
        }
        zPoint at;
        if (centre) {
            zDimension b = bmp->size();
            at = zPoint((area.width - b.width) / 2, (area.height - b.height) / 2);
        }
        d->bitmap(bmp, at, area, SRCCOPY, COLORONCOLOR);
    }
    d->unlock();
    return 1;
}

zChildWin* zCtrlBldzBitmapPane(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id) {
    return new zBitmapPane(parent, sizer, style, text, id);
}
