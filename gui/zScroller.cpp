#include "zScroller.h"

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
