#include "BmpShowPane.h"

#include "FormApp.h"
#include "zBitmap.h"

BMPSHOWPANE::BMPSHOWPANE(zWindow* parent, zSizer* s, zBitmap* b)
    : zPane(parent, s, WS_CHILD | WS_CLIPSIBLINGS), bitmap(b), bitmapDisplay(b ? new zBitmapDisplay(b) : nullptr) {}

BMPSHOWPANE::~BMPSHOWPANE() {
    if (bitmapDisplay) bitmapDisplay->setBitmap(nullptr);
    delete bitmapDisplay;
}

int BMPSHOWPANE::size(zSizeEvt*) {
    if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

int BMPSHOWPANE::draw(zDrawEvt*) {
    zDisplay* d = canvas();
    if (bitmapDisplay && d) bitmapDisplay->copyTo(d, 0, 0, _MainFormWidth, _MainFormHeight);
    return TRUE;
}
