#include "ziNeighbours.h"

#include <cstring>

#if __has_include("zSizer.h")
#include "zSizer.h"
#define QV_HAVE_SIZER 1
#endif

zSizer* ziSizerNew(zSizer* parent) { return nullptr; }
void ziSizerDelete(zSizer* s) {}
void ziSizerOwn(zSizer* s, zWindow* owner) {}
void ziSizerSetDim(zSizer* s, int w, int h) {}
void ziSizerSetPos(zSizer* s, int x, int y) {}
bool ziSizerGet(zSizer* s, int& x, int& y, int& w, int& h) {
    x = y = w = h = 0;
    return false;
}
void ziSizerResize(zSizer* s, zWindow* w, zSizeEvt* e) {}
void ziSizerUpdate(zSizer* s, int left, int top, int right, int bottom) {}
void ziSizerRefresh(zSizer* s) {}

HFONT ziFontHandle(zFont* f) { return 0; }
void ziFontDelete(zFont* f) {}
unsigned long ziColorValue(const zColor& c) {
    unsigned long v;
    memcpy(&v, &c, sizeof v);
    return v;
}
HICON ziIconTakeHandle(zIcon* icon) { return 0; }

LPCSTR ziResName(const zResId& id) { return nullptr; }
const char* ziResModuleName(const zResId& id) { return nullptr; }
HMODULE ziResModuleHandle(const zResId& id) { return 0; }

void ziRectGet(const zRect& r, RECT& out) { memcpy(&out, &r, sizeof out); }
void ziRectSet(zRect& r, const RECT& in) { memcpy(&r, &in, sizeof in); }
