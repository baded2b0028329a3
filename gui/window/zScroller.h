#pragma once
// Scrollers: turn a window's scroll events (and paging keys) into moves of its contents.
#include "QvWindows.h"

#include "zGeometry.h"
#include "zWindow.h"

class zPane;
class zDisplay;

class zScrollerBase : public zEvH {
public:
    zWindow* ownerWin;

    explicit zScrollerBase(zWindow* owner) : ownerWin(owner) {}
    ~zScrollerBase() override;

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

// Scrollers that also follow the paging keys (WM_KEYDOWN on the owner).
class zScrollerWKeyboard : public zScrollerBase {
public:
    int keyProcessing = 0;

    explicit zScrollerWKeyboard(zWindow* owner);
    ~zScrollerWKeyboard() override;
    void ziSetOwner(zWindow* w) override;
    virtual int processKeyboard(zKeyEvt* e);

    int setKeyProcessing();
    int removeKeyProcessing();
    int doKeyboard(zKeyEvt* e) { return processKeyboard(e); }
};

// Moves a pane's contents by pixels: a line step per scroll unit, a page step per exact page.
class zPaneScroller : public zScrollerWKeyboard {
public:
    zRect hArea;
    zRect vArea;
    int hLine = 1;
    int vLine = 1;
    int hPage = 10;
    int vPage = 10;

    explicit zPaneScroller(zWindow* owner);
    int respondToSize() override;
    int vertLineMove() override;
    int vertPageMove() override;
    int vertTop() override;
    int vertBottom() override;
    int vertThumbPos() override;
    int horzLineMove() override;
    int horzPageMove() override;
    int horzLeft() override;
    int horzRight() override;
    int horzThumbPos() override;

    void setHorz(zRect* area, int line, int page);
    void setVert(zRect* area, int line, int page);
    const zRect& horzRect() const { return hArea; }
    const zRect& vertRect() const { return vArea; }
    void horzRect(const zRect& r) { hArea = r; }
    void vertRect(const zRect& r) { vArea = r; }
    int horzMove() const { return hLine; }
    int vertMove() const { return vLine; }
    void horzMove(int n) { hLine = n; }
    void vertMove(int n) { vLine = n; }
    int horzPage() const { return hPage; }
    int vertPage() const { return vPage; }
    void horzPage(int n) { hPage = n; }
    void vertPage(int n) { vPage = n; }

protected:
    // Which end a move went to, for the automatic scroller's origin.
    enum Kind { Line, Page, Top, Bottom, Thumb };
    // One axis: moves the contents and records the position; 1 when it scrolled.
    int moveAxis(bool vert, Kind k);
    virtual void afterMove(bool vert, Kind k, int pixels) {}
    zRect clientRect() const;
    zDisplay* ownerDisplay() const;
    zScrollInfo* state(bool vert) const { return ownerWin ? (vert ? ownerWin->vScroll : ownerWin->hScroll) : nullptr; }
};

// Fits the scroll ranges to the owner's preferred size and keeps the display origin in step.
class zPaneScrollerAuto : public zPaneScroller {
public:
    int moveOrigin = 1;
    int autoUpd = 1;
    zDimension prefSize;

    explicit zPaneScrollerAuto(zWindow* owner);
    ~zPaneScrollerAuto() override;
    int respondToSize() override;

    void autoUpdate(int on) { autoUpd = on; }
    int autoUpdate() const { return autoUpd; }
    void preferredSize(const zDimension& d) { prefSize = d; }
    zDimension preferredSize() const { return prefSize; }

protected:
    void afterMove(bool vert, Kind k, int pixels) override;

private:
    bool refit(bool vert, const zRect& client);
};
