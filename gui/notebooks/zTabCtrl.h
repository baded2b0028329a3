#pragma once
// The tab strip: an owner-drawn row of tabs in one of two styles, square tabs
// along the top or trapezoid tabs hanging from the bottom. A click or the left
// and right arrows select; onAllowPageChange may veto a change, onPageChange and
// a notification (WM_COMMAND code 1 to the parent) report it.
#include <vector>

#include "ZKCString.h"
#include "zGeometry.h"
#include "zPane.h"

class zTabCtrl;
class zFont;
class zGravSizer;
class zResStrBlock;

// The trapezoid style; without it tabs are square and along the top.
const unsigned long zTabTrapezoid = 0x4;
// The notification code of a selection change.
const unsigned short zTabSelChange = 1;

class zTab {
public:
    int x = 0, y = 0, width = 0, height = 0;  // in the control's client coordinates
    zTabCtrl* owner;
    ZKCString text;
    int id;
    int selected = 0;
    int dirty = 0;

    zTab(zTabCtrl* owner, int id, const ZKCString& text);
    zTab(zTabCtrl* owner, int id);
    virtual ~zTab() {}

    // Measures the text ("Empty" for none) with the owner's font.
    virtual void setDimFromString();
    virtual void drawTab();
    virtual void drawTabContents();

    void setText(const char* t);
    void setText(const ZKCString& t) { setText(t.data()); }
    void draw();
    bool holds(int px, int py) const { return x <= px && px <= x + width && y <= py && py <= y + height; }
    bool isEmptyRect() const { return x == 0 && y == 0 && width == 0 && height == 0; }
};

class zTabCtrl : public zPaneControl {
public:
    zGravSizer* marginBottom = nullptr;
    zGravSizer* marginTop = nullptr;
    zGravSizer* marginLeft = nullptr;
    zGravSizer* marginRight = nullptr;
    zGravSizer* strip = nullptr;
    zGravSizer* tabArea = nullptr;
    zGravSizer* band = nullptr;  // keeps room for the overflow mark
    std::vector<zTab*> tabs;     // the caller's tabs are never destroyed here
    zTab* current = nullptr;
    zRect area;                  // the tab area, copied by setMetrics
    unsigned long tabStyle = 0;  // the low byte of the style
    int slant = 0;
    int firstOffset = 3;
    void* boundAddr = nullptr;
    int bindKind = 0;  // 0 unbound, 1 an int holding an id, 2 a zTab* holding a tab
    zFont* tabFont = nullptr;

    zTabCtrl(zWindow* parent, zSizer* sizer, unsigned long style, const char* title, int id);
    // Takes over the control a dialog template made, with its tabs and strip.
    zTabCtrl(zWindow* parent, int id);
    ~zTabCtrl() override;

    int size(zSizeEvt* e) override;
    int mouseButtonDown(zMouseClickEvt* e) override;
    int storeData() override;
    int setToDefault() override;
    int draw(zDrawEvt* e) override;
    void setMetrics() override;

    virtual void onPageChange(int newId, int oldId) {}
    virtual int onAllowPageChange(int newId, int oldId) { return 1; }

    void appendTab(zTab* tab);
    void removeTab(int id);
    void removeTab(zTab* tab);
    void changeTabText(int id, const ZKCString& text) { changeTabText(id, text.data()); }
    void changeTabText(int id, const char* text);
    // Tabs made here belong to the control and go with it.
    void createAndAppendTabs(char** texts, int* ids, unsigned count);
    // One tab per string "<id> <text>"; strings without a space are skipped.
    void createAndAppendTabs(zResStrBlock& block);
    void select(int id);
    void select(zTab* tab);
    void setupMargins(int left, int top, int right, int bottom);
    void setStoreAddr(int* idAddr);
    void setStoreAddr(zTab** tabAddr);
    void setNotifySelChange(zEvH* target, NotifyProc fn) { setupNotify(target, fn, zTabSelChange); }
    void removeNotifySelChange(zEvH* target, NotifyProc fn) { removeNotify(target, fn, zTabSelChange); }
    zTab* lastVisTab() const;
    int doTabsFit() const;
    zTab* find(int id) const;
    zTab* currentTab() const { return current; }
    int isTrapezoid() const { return (tabStyle & zTabTrapezoid) != 0; }
    void resetTabsPos();
    // Adopts a tab the control made, so that it is destroyed with the control.
    void ownTab(zTab* tab) { ownedTabs.push_back(tab); }

    int doKeyboard(zEvent* e);

protected:
    void drawSquareTop(const zRect& dirty, const zRect& visible);
    void drawTrapBottom(const zRect& dirty, const zRect& visible);

private:
    void ziSetup();
    void placeTab(zTab* tab);
    std::vector<zTab*> ownedTabs;
};

zChildWin* zCtrlBldzTabCtrl(zWindow* parent, zSizer* sizer, unsigned long style, const char* title, int id);
