#include "BevelEdge.h"

#include "zDisplay.h"
#include "zPane.h"

BEVELEDGE::BEVELEDGE(zPane* p)
    : pane(p), grey(new zPen(zColor(128, 128, 128))), lightGrey(new zPen(zColor(192, 192, 192))),
      white(new zPen(zColor(255, 255, 255))), darkGrey(new zPen(zColor(64, 64, 64))), bevWidth(1) {}

BEVELEDGE::~BEVELEDGE() {
    delete grey;
    delete lightGrey;
    delete white;
    delete darkGrey;
}

void BEVELEDGE::DrawBevel(BOOL afterScroll, BOOL singleRing) {
    zDisplay* d = pane ? pane->canvas() : nullptr;
    if (!d || !pane->hwnd) return;
    RECT client;
    GetClientRect(pane->hwnd, &client);
    zPoint origin = d->windowOrg();
    zRect r(client.left + origin.x, client.top + origin.y, client.right + origin.x - 1, client.bottom + origin.y - 1);
    BOOL horizontal = !afterScroll || pane->vScroll != nullptr;
    BOOL vertical = !afterScroll || pane->hScroll != nullptr;
    d->lock();
    if (singleRing) {
        r.top += 2;
        bevel(d, r, TRUE, horizontal, vertical);
    } else {
        bevel(d, r, TRUE, horizontal, vertical);
        bevel(d, zRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1), FALSE, horizontal, vertical);
    }
    d->unlock();
}

void BEVELEDGE::bevel(zDisplay* d, zRect r, BOOL outer, BOOL horizontal, BOOL vertical) {
    draw_tl(d, r, outer ? grey : darkGrey, horizontal, vertical);
    draw_br(d, r, outer ? white : lightGrey, horizontal, vertical);
}

void BEVELEDGE::draw_tl(zDisplay* d, const zRect& r, zPen* pen, BOOL horizontal, BOOL vertical) {
    HDC dc = d->hdc();
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, pen->hpen());
    for (int i = 0; i < bevWidth; ++i) {
        if (horizontal) {
            MoveToEx(dc, r.right - i, r.top + i, nullptr);
            LineTo(dc, r.left + i, r.top + i);
        }
        if (vertical) {
            MoveToEx(dc, r.left + i, r.top + i, nullptr);
            LineTo(dc, r.left + i, r.bottom - i + 1);
        }
    }
    SelectObject(dc, old);
}

void BEVELEDGE::draw_br(zDisplay* d, const zRect& r, zPen* pen, BOOL horizontal, BOOL vertical) {
    HDC dc = d->hdc();
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, pen->hpen());
    for (int i = 0; i < bevWidth; ++i) {
        if (horizontal) {
            MoveToEx(dc, r.left + i, r.bottom - i, nullptr);
            LineTo(dc, r.right - i, r.bottom - i);
        }
        if (vertical) {
            MoveToEx(dc, r.right - i, r.bottom - i + 1, nullptr);
            LineTo(dc, r.right - i, r.top + i);
        }
    }
    SelectObject(dc, old);
}

void BEVELEDGE::ScrollInside(HWND window, int dx, int dy, const zRect& r) {
    RECT c;
    GetClientRect(window, &c);
    RECT strip = c;
    if (dy < 0)
        strip.top = c.bottom - 2;
    else
        strip.bottom = c.top + 2;
    InvalidateRect(window, &strip, TRUE);
    RECT area = {r.left, r.top, r.right, r.bottom};
    ScrollWindowEx(window, dx, dy, &area, &area, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
    DrawBevel(TRUE, FALSE);
}
