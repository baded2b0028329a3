#pragma once
// Scrollers: turn a window's scroll events (and paging keys) into moves of its contents.
#include <windows.h>

#include "zWindow.h"

class zScrollerBase : public zEvH {
public:
    zWindow* ownerWin;

    explicit zScrollerBase(zWindow* owner) : ownerWin(owner) {}

    virtual void ziSetOwner(zWindow* w) { ownerWin = w; }
    virtual int respondToSize() { return 0; }
    virtual int scrollRouter(zEvent* e);
    virtual int vertLineMove() { return vertThumbPos(); }
    virtual int vertPageMove() { return vertThumbPos(); }
    virtual int vertTop() { return vertThumbPos(); }
    virtual int vertBottom() { return vertThumbPos(); }
    virtual int vertThumbPos() { return 0; }
    virtual int vertThumbTrack() { return 0; }
    virtual int horzLineMove() { return horzThumbPos(); }
    virtual int horzPageMove() { return horzThumbPos(); }
    virtual int horzLeft() { return horzThumbPos(); }
    virtual int horzRight() { return horzThumbPos(); }
    virtual int horzThumbPos() { return 0; }
    virtual int horzThumbTrack() { return 0; }
    virtual int preScroll() { return 0; }

    zWindow* owner() const { return ownerWin; }
    int vertScrollBarExists() const { return ownerWin && ownerWin->vScroll; }
    int horzScrollBarExists() const { return ownerWin && ownerWin->hScroll; }

protected:
    int route(zEvent* e, bool needAttached);
};

class zControlScroller : public zScrollerBase {
public:
    explicit zControlScroller(zWindow* owner) : zScrollerBase(owner) {}
    int scrollRouter(zEvent* e) override { return route(e, false); }
    zWindow* ownerSBar() const { return ownerWin; }
};
