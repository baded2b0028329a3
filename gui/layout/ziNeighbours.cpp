#include "ziNeighbours.h"

#include <cstring>

#include "zBitmap.h"
#include "zDisplay.h"
#include "zFont.h"
#include "zGeometry.h"
#include "zResId.h"
#include "zSizer.h"

zSizer* ziSizerNew(zSizer* parent) { return new zSizer(parent); }
void ziSizerDelete(zSizer* s) { delete s; }
void ziSizerOwn(zSizer* s, zWindow* owner) {
    if (s) s->setOwned(owner);
}
void ziSizerSetDim(zSizer* s, int w, int h) {
    if (s) s->dimension(zDimension(w, h));
}
void ziSizerSetPos(zSizer* s, int x, int y) {
    if (s) s->pos(zPoint(x, y));
}
bool ziSizerGet(zSizer* s, int& x, int& y, int& w, int& h) {
    if (!s) {
        x = y = w = h = 0;
        return false;
    }
    zPoint p = s->pos();
    zDimension d = s->dimension();
    x = p.x;
    y = p.y;
    w = d.width;
    h = d.height;
    return true;
}
void ziSizerResize(zSizer* s, zWindow* w, zSizeEvt* e) {
    if (s) s->resize(w, e);
}
void ziSizerUpdate(zSizer* s, int left, int top, int right, int bottom) {
    zRect r(left, top, right, bottom);
    if (s) s->update(&r);
}
void ziSizerRefresh(zSizer* s) {
    if (s) s->update(nullptr);
}

HFONT ziFontHandle(zFont* f) { return f ? f->hfont() : 0; }
void ziFontDelete(zFont* f) { delete f; }
unsigned long ziColorValue(const zColor& c) { return c.raw(); }
HICON ziIconTakeHandle(zIcon* icon) {
    HICON h = icon->disown();
    delete icon;
    return h;
}

LPCSTR ziResName(const zResId& id) { return id.id(); }
const char* ziResModuleName(const zResId& id) { return id.moduleName(); }
HMODULE ziResModuleHandle(const zResId& id) { return id.moduleHandle(); }

void ziRectGet(const zRect& r, RECT& out) {
    out.left = r.left;
    out.top = r.top;
    out.right = r.right;
    out.bottom = r.bottom;
}
void ziRectSet(zRect& r, const RECT& in) { r = zRect(in.left, in.top, in.right, in.bottom); }
