#include "zScroller.h"

#include "zDisplay.h"
#include "zNotify.h"
#include "zPane.h"

int zScrollerBase::route(zEvent* e, bool needAttached) {
    int code = (short)(e->wParm & 0xFFFF);
    if (code != SB_ENDSCROLL) preScroll();
    bool vert;
    if (e->msg == WM_VSCROLL) vert = true;
    else if (e->msg == WM_HSCROLL) vert = false;
    else return 0;
    zScrollInfo* si = nullptr;
    if (ownerWin) si = vert ? ownerWin->vScroll : ownerWin->hScroll;
    if (needAttached) {
        if (si && si->oldPosition == si->position) return 1;
        if (!ownerWin || !ownerWin->scrollerObj) return 0;
    }
    switch (code) {
    case SB_LINEUP:
    case SB_LINEDOWN: return vert ? vertLineMove() : horzLineMove();
    case SB_PAGEUP:
    case SB_PAGEDOWN: return vert ? vertPageMove() : horzPageMove();
    case SB_THUMBPOSITION: return vert ? vertThumbPos() : horzThumbPos();
    case SB_THUMBTRACK: return vert ? vertThumbTrack() : horzThumbTrack();
    case SB_TOP: return vert ? vertTop() : horzLeft();
    case SB_BOTTOM: return vert ? vertBottom() : horzRight();
    default: return 1;
    }
}

int zScrollerBase::scrollRouter(zEvent* e) { return route(e, true); }

zScrollerBase::~zScrollerBase() {
    // The owner must not keep routing to a dead scroller.
    if (ownerWin && ownerWin->scrollerObj == this) ownerWin->scrollerObj = nullptr;
}

// ---- keyboard ---------------------------------------------------------------

zScrollerWKeyboard::zScrollerWKeyboard(zWindow* owner) : zScrollerBase(owner) { setKeyProcessing(); }

zScrollerWKeyboard::~zScrollerWKeyboard() { removeKeyProcessing(); }

int zScrollerWKeyboard::setKeyProcessing() {
    if (!keyProcessing && ownerWin) ownerWin->setHandler(this, zHandlerOf(&zScrollerWKeyboard::doKeyboard), WM_KEYDOWN);
    keyProcessing = 1;
    return 1;
}

int zScrollerWKeyboard::removeKeyProcessing() {
    if (keyProcessing && ownerWin)
        ownerWin->removeHandler(this, zHandlerOf(&zScrollerWKeyboard::doKeyboard), WM_KEYDOWN);
    keyProcessing = 0;
    return 1;
}

void zScrollerWKeyboard::ziSetOwner(zWindow* w) {
    if (!keyProcessing) {
        ownerWin = w;
        return;
    }
    removeKeyProcessing();
    ownerWin = w;
    setKeyProcessing();
}

int zScrollerWKeyboard::processKeyboard(zKeyEvt* e) {
    if (!ownerWin || !ownerWin->scrollerObj) return 0;
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    unsigned key = e->ch();
    if (zScrollInfo* v = ownerWin->vScroll) {
        if (v->minimum == v->maximum) return 0;  // nothing to scroll: the horizontal keys rest too
        if (!ctrl && key == VK_PRIOR) {
            if (v->position == v->minimum) return 0;
            preScroll();
            if (v->position < v->minimum + v->page) {
                v->pos(v->minimum);
                return vertTop();
            }
            v->pos(v->position - v->page);
            return vertPageMove();
        }
        if (!ctrl && key == VK_NEXT) {
            if (v->position == v->maximum) return 0;
            preScroll();
            if (v->maximum - v->page < v->position) {
                v->pos(v->maximum);
                return vertBottom();
            }
            v->pos(v->position + v->page);
            return vertPageMove();
        }
        if (ctrl && key == VK_END) {
            if (v->position == v->maximum) return 0;
            preScroll();
            v->pos(v->maximum);
            return vertBottom();
        }
        if (ctrl && key == VK_HOME) {
            if (v->position == v->minimum) return 0;
            preScroll();
            v->pos(v->minimum);
            return vertTop();
        }
    }
    zScrollInfo* h = ownerWin->hScroll;
    if (!h || !ctrl || h->minimum == h->maximum) return 0;
    if (key == VK_PRIOR) {
        if (h->position == h->minimum) return 0;
        preScroll();
        if (h->position < h->minimum + h->page) {
            h->pos(h->minimum);
            return horzLeft();
        }
        h->pos(h->position - h->page);
        return horzPageMove();
    }
    if (key == VK_NEXT) {
        if (h->position == h->maximum) return 0;
        preScroll();
        if (h->maximum - h->page < h->position) {
            h->pos(h->maximum);
            return horzRight();
        }
        h->pos(h->position + h->page);
        return horzPageMove();
    }
    return 0;
}

// ---- pane scroller ----------------------------------------------------------

zRect zPaneScroller::clientRect() const {
    RECT rc = {0, 0, 0, 0};
    if (ownerWin && ownerWin->hwnd && IsWindow(ownerWin->hwnd)) GetClientRect(ownerWin->hwnd, &rc);
    return zRect(rc.left, rc.top, rc.right, rc.bottom);
}

zDisplay* zPaneScroller::ownerDisplay() const {
    zPane* p = dynamic_cast<zPane*>(ownerWin);
    return p ? p->curDisplay : nullptr;
}

zPaneScroller::zPaneScroller(zWindow* owner) : zScrollerWKeyboard(owner) {
    hArea = vArea = clientRect();
}

int zPaneScroller::respondToSize() {
    hArea = vArea = clientRect();
    if (zDisplay* d = ownerDisplay()) d->setDirty(hArea);
    return 1;
}

void zPaneScroller::setHorz(zRect* area, int line, int page) {
    hArea = area ? *area : clientRect();
    hLine = line ? line : 1;
    zScrollInfo* si = state(false);
    if (page) hPage = page;
    else if (!si) hPage = 10;
    else if (si->line) hPage = (si->page / si->line) * hLine;
}

void zPaneScroller::setVert(zRect* area, int line, int page) {
    vArea = area ? *area : clientRect();
    vLine = line ? line : 1;
    zScrollInfo* si = state(true);
    if (page) vPage = page;
    else if (!si) vPage = 10;
    else if (si->line) vPage = (si->page / si->line) * vLine;
}

int zPaneScroller::moveAxis(bool vert, Kind k) {
    zScrollInfo* si = state(vert);
    if (!si || !ownerWin) return 0;
    int p = si->oldPosition, q = si->position;
    int L = vert ? vLine : hLine;
    int P = vert ? vPage : hPage;
    int pixels = 0;  // contents move by this (negative: towards the end)
    switch (k) {
    case Thumb:
        if (q == p) return 0;
        pixels = L * (p - q);
        break;
    case Line:
        if (q == p) return 0;
        if (q > p && q <= si->maximum && p < si->maximum) pixels = L * (p - q);
        else if (q < p && q >= si->minimum && p > si->minimum) pixels = L * (p - q);
        else return q < p ? moveAxis(vert, Top) : moveAxis(vert, Bottom);
        break;
    case Page:
        if (q == p) return 0;
        if (q < p) {
            if (p - q == si->page && p > si->minimum) pixels = P;
            else return moveAxis(vert, Top);
        } else {
            if (q - p == si->page && p < si->maximum) pixels = -P;
            else return moveAxis(vert, Bottom);
        }
        break;
    case Top:
        si->pos(si->minimum);
        pixels = L * (p - si->position);
        break;
    case Bottom:
        si->pos(si->maximum);
        pixels = -L * (si->position - p);
        break;
    }
    const zRect& area = vert ? vArea : hArea;
    zPane* pane = dynamic_cast<zPane*>(ownerWin);
    if (pane) pane->scrollPane(vert ? 0 : pixels, vert ? pixels : 0, area);
    else if (ownerWin->hwnd) {
        RECT rc = {area.left, area.top, area.right, area.bottom};
        ScrollWindow(ownerWin->hwnd, vert ? 0 : pixels, vert ? pixels : 0, &rc, &rc);
    }
    si->oldPosition = si->position;
    afterMove(vert, k, pixels);
    return 1;
}

int zPaneScroller::vertLineMove() { return moveAxis(true, Line); }
int zPaneScroller::vertPageMove() { return moveAxis(true, Page); }
int zPaneScroller::vertTop() { return moveAxis(true, Top); }
int zPaneScroller::vertBottom() { return moveAxis(true, Bottom); }
int zPaneScroller::vertThumbPos() { return moveAxis(true, Thumb); }
int zPaneScroller::horzLineMove() { return moveAxis(false, Line); }
int zPaneScroller::horzPageMove() { return moveAxis(false, Page); }
int zPaneScroller::horzLeft() { return moveAxis(false, Top); }
int zPaneScroller::horzRight() { return moveAxis(false, Bottom); }
int zPaneScroller::horzThumbPos() { return moveAxis(false, Thumb); }

// ---- automatic pane scroller ------------------------------------------------

zPaneScrollerAuto::zPaneScrollerAuto(zWindow* owner) : zPaneScroller(owner) {
    if (ownerWin) ownerWin->getPreferredSize(prefSize);
    respondToSize();
}

zPaneScrollerAuto::~zPaneScrollerAuto() {
    zDisplay* d = ownerDisplay();
    if (d) d->setWindowOrg(0, 0);
    for (zScrollInfo* si : {state(true), state(false)}) {
        if (!si) continue;
        si->position = si->oldPosition = 0;
        si->limits(0, 0);
    }
    if (d && ownerWin && ownerWin->hwnd && IsWindow(ownerWin->hwnd)) d->setDirty(clientRect());
}

void zPaneScrollerAuto::afterMove(bool vert, Kind k, int pixels) {
    zScrollInfo* si = state(vert);
    zDisplay* d = ownerDisplay();
    if (moveOrigin && d && si) {
        zPoint o = d->windowOrg();
        int L = vert ? vLine : hLine;
        int c = vert ? o.y : o.x;
        switch (k) {
        case Line:
        case Page: c -= pixels; break;
        case Top: c = 0; break;
        case Bottom:
        case Thumb: c = si->line ? L * (si->position / si->line) : 0; break;
        }
        if (vert) d->setWindowOrg(o.x, c);
        else d->setWindowOrg(c, o.y);
    }
    if (autoUpd && ownerWin && ownerWin->hwnd) UpdateWindow(ownerWin->hwnd);
}

bool zPaneScrollerAuto::refit(bool vert, const zRect& client) {
    zScrollInfo* si = state(vert);
    if (!si || !ownerWin) return false;
    int oldMax = si->maximum, oldMin = si->minimum, oldPos = si->position;
    zDimension pref;
    if (!ownerWin->getPreferredSize(pref)) return false;
    prefSize = pref;
    int want = vert ? pref.height : pref.width;
    int have = vert ? client.height() : client.width();
    int L = vert ? vLine : hLine;
    if (L <= 0) L = 1;
    zDisplay* d = ownerDisplay();
    if (have < want) {
        int newMax = (want - have + L - 1) / L;
        si->limits(oldMin, newMax);
        int np = oldPos;
        if (oldPos && oldMax) {
            // Keep the same share of the way through the contents.
            long long scaled = (long long)oldPos * newMax;
            np = (int)((2 * scaled + (scaled >= 0 ? oldMax : -oldMax)) / (2LL * oldMax));
        }
        si->oldPosition = oldPos;
        si->posOnly(np);
        if (d) d->setDirty(client);
        moveAxis(vert, Thumb);
        return false;
    }
    si->limits(0, 0);
    si->position = si->oldPosition = 0;
    if (d) {
        zPoint o = d->windowOrg();
        if (vert) d->setWindowOrg(o.x, 0);
        else d->setWindowOrg(0, o.y);
    }
    return true;
}

int zPaneScrollerAuto::respondToSize() {
    zRect client = clientRect();
    bool repaint = refit(false, client);
    repaint = refit(true, client) || repaint;
    hArea = vArea = client;
    if (repaint)
        if (zDisplay* d = ownerDisplay()) d->setDirty(client);
    return 1;
}
