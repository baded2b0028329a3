#pragma once
// Window objects, event records and the central window procedure.
#include "QvWindows.h"

#include <string>
#include <utility>
#include <vector>

#include "ZKCString.h"

class zApp;
class zSizer;
class zFont;
struct zColor;
struct zDimension;
struct zRect;
class zResId;
class zScrollerBase;
class zNotifyNode;
class zHandlerList;
class zDevice;
class zWindow;

// The window procedure's four arguments, kept together in this order.
class zEvent {
public:
    LPARAM lParm;
    WPARAM wParm;
    UINT msg;
    HWND hwnd;

    zEvent(HWND w = 0, UINT m = 0, WPARAM wp = 0, LPARAM lp = 0) : lParm(lp), wParm(wp), msg(m), hwnd(w) {}
    LPARAM lParam() const { return lParm; }
    WPARAM wParam() const { return wParm; }
    UINT message() const { return msg; }
    HWND window() const { return hwnd; }
    unsigned loWParam() const { return (unsigned)(wParm & 0xFFFF); }
    unsigned hiWParam() const { return (unsigned)((wParm >> 16) & 0xFFFF); }
    unsigned loLParam() const { return (unsigned)(lParm & 0xFFFF); }
    unsigned hiLParam() const { return (unsigned)(((unsigned long)lParm >> 16) & 0xFFFF); }
};

// Typed views of the same record: no fields of their own.
class zSizeEvt : public zEvent {
public:
    int width() const { return (int)loLParam(); }
    int height() const { return (int)hiLParam(); }
    int type() const { return (int)wParm; }
};
class zMoveEvt : public zEvent {
public:
    int x() const { return (int)loLParam(); }
    int y() const { return (int)hiLParam(); }
};
class zActivateEvt : public zEvent {
public:
    int active() const { return loWParam() != WA_INACTIVE; }
    int minimized() const { return hiWParam() != 0; }
    HWND other() const { return (HWND)lParm; }
};
class zFocusEvt : public zEvent {
public:
    int gainFocus() const { return msg == WM_SETFOCUS; }
    HWND other() const { return (HWND)wParm; }
};
class zCommandEvt : public zEvent {
public:
    unsigned cmd() const { return loWParam(); }
    unsigned notifyCode() const { return hiWParam(); }
    HWND ctrl() const { return (HWND)lParm; }
};
class zKeyEvt : public zEvent {
public:
    unsigned ch() const { return (unsigned)wParm; }
    unsigned repeatCount() const { return loLParam(); }
    unsigned scanCode() const { return (unsigned)((lParm >> 16) & 0xFF); }
    int isAltDown() const { return ((unsigned long)lParm & 0x20000000UL) != 0; }
};
class zMouseMoveEvt : public zEvent {
public:
    int x() const { return (short)loLParam(); }
    int y() const { return (short)hiLParam(); }
    unsigned keyState() const { return loWParam(); }
    int isButtonDown(int n) const;
};
class zMouseClickEvt : public zMouseMoveEvt {
public:
    int isButton(int n) const;
    int isDoubleClick() const;
};
// A control's notification: WM_COMMAND with the child's id, the code and the control.
class zNotifyEvt : public zEvent {
public:
    unsigned id() const { return loWParam(); }
    unsigned notifyCode() const { return hiWParam(); }
    HWND ctrl() const { return (HWND)lParm; }
};
class zDrawEvt : public zEvent {
public:
    HDC hdc() const { return (HDC)wParm; }
};

// The root of everything that takes events.
class zEvH {
public:
    virtual ~zEvH() {}
    virtual int dispatch(zEvent* e);
};

typedef int (zEvH::*NotifyProc)(zEvent*);
typedef int (zEvH::*CommandProc)(zCommandEvt*);
typedef int (zEvH::*NotifyEvtProc)(zNotifyEvt*);

// Scroll state of a window (SB_VERT / SB_HORZ) or of a scroll-bar control (SB_CTL).
class zScrollInfo {
public:
    int minimum = 0;
    int maximum = 100;
    int page = 10;
    int line = 1;
    int position = 0;
    int oldPosition = 0;
    int barKind = SB_VERT;
    zWindow* owner = nullptr;

    explicit zScrollInfo(zWindow* w = nullptr, int kind = SB_VERT) : barKind(kind), owner(w) {}
    virtual ~zScrollInfo() {}

    int pos() const { return position; }
    int pos(int p);      // clamps, remembers the old position, moves the bar
    int posOnly(int p);  // the same without remembering
    int minPos() const { return minimum; }
    int maxPos() const { return maximum; }
    int pageStep() const { return page; }
    int lineStep() const { return line; }
    void limits(int lo, int hi);
    // Negative values leave a part unchanged; range null keeps the range.
    void setParms(const int* range, int position, int page, int line, int oldPosition);
    int oldpos() const { return oldPosition; }
    int sBarType() const { return barKind; }
    void ziReset(zWindow* w) { owner = w; }
    int clamp(int p) const;
};

class zScrollInfoCtl : public zScrollInfo {
public:
    explicit zScrollInfoCtl(zWindow* w = nullptr) : zScrollInfo(w, SB_CTL) {}
};

// A cursor: stock or loaded from a resource.
class zCursor {
public:
    HCURSOR handle = 0;
    LPCSTR resName = nullptr;  // the id it was loaded from (numeric ids only)
    int owned = 0;

    zCursor();                      // the arrow
    explicit zCursor(int stockId);  // LoadCursorA(0, n); 0 gives none
    explicit zCursor(const zResId& id);
    zCursor(const zCursor& o);
    zCursor& operator=(const zCursor& o);
    ~zCursor();
    HCURSOR operator()() const { return handle; }
};

// State flags of a window.
enum {
    zWinDeleteOnDestroy = 0x0001,
    zWinHandleDestroyed = 0x0002,
    zWinShownOnce = 0x0004,
    zWinOwnsFont = 0x0200,
};

// Routing flags: which messages meet the handler lists before the virtual operation.
enum {
    zRouteSetCursor = 0x02,
    zRouteHitTest = 0x04,
    zRouteDevice = 0x08,
    zRouteButtonUp = 0x10,
    zRouteMouseMove = 0x20,
    zRouteActivate = 0x40,
    zRouteClose = 0x80,
    zRouteButtonDown = 0x100,
    zRouteFocus = 0x200,
};

// Colour values with a flag byte; -2 and -3 are the special background values.
const unsigned long zColorNoErase = (unsigned long)-2;
const unsigned long zColorParent = (unsigned long)-3;

// A number no other window object of the process had: a walk tells a new
// object from a deleted one at the same address by it.
unsigned long ziNewWindowSerial();

class zWindow : public zEvH {
public:
    const unsigned long serial = ziNewWindowSerial();
    unsigned long kindFlags = 0;
    unsigned long ctlKindFlags = 0;
    unsigned short spare = 0;
    unsigned short stateFlags = 0;
    zFont* font = nullptr;
    ZKCString title;  // the window text, kept while the window has no handle
    int childId = 0;
    unsigned long routing = 0;
    zSizer* sizer = nullptr;
    unsigned long winStyle = 0;
    std::string className;
    zCursor cursor;
    unsigned long bgColor = 0;
    unsigned short clsStyle = 0;
    zScrollInfo* vScroll = nullptr;
    zScrollInfo* hScroll = nullptr;
    zHandlerList* handlers = nullptr;
    zHandlerList* commands = nullptr;
    std::vector<zWindow*> children;
    zWindow* parentWin = nullptr;
    zScrollerBase* scrollerObj = nullptr;
    HWND hwnd = 0;

    zWindow(zWindow* parent, zSizer* sizer, unsigned long style);
    zWindow(zSizer* sizer, unsigned long style);
    explicit zWindow(zWindow* parent);
    zWindow();
    ~zWindow() override;

    // Virtual operations, in slot order after the destructor.
    int dispatch(zEvent* e) override;
    virtual WNDCLASSA* registerHook();
    virtual int resolveSize(zSizeEvt* e);
    virtual int activate(zActivateEvt* e);
    virtual int size(zSizeEvt* e);
    virtual int move(zMoveEvt* e);
    virtual int kill(zEvent* e);
    virtual int command(zCommandEvt* e);
    virtual int scroll(zEvent* e);
    virtual int mouseMove(zMouseMoveEvt* e);
    virtual int mouseButtonUp(zMouseClickEvt* e);
    virtual int mouseButtonDown(zMouseClickEvt* e);
    virtual int focus(zFocusEvt* e);
    virtual int background(zEvent* e);
    virtual int showSet(int cmd);
    virtual int getPreferredSize(zDimension& d);
    virtual void ziBackgroundColor(const zColor& c);
    virtual int show(int cmd = SW_SHOWNORMAL);
    virtual int checkData();
    virtual int storeData();
    virtual int invalidData(zWindow* w);
    virtual void childFocusChange(zWindow* previous, zWindow* next);
    virtual void setFont(zFont* f, int redraw = 1);
    virtual void vmove(int x, int y, int w, int h);
    // Controls answer their text colour and brush for the parent's control colouring.
    virtual bool ziControlColors(unsigned long*& text, HBRUSH*& brush) { return false; }

    // Plain operations.
    HWND operator*() const { return hwnd; }
    HWND windowHandle() const { return hwnd; }
    zWindow* parent() const { return parentWin; }
    int id() const { return childId; }
    void id(int n) { childId = n; }
    zSizer* getSizer() const { return sizer; }
    void setSizer(zSizer* s);
    zScrollerBase* scroller() const { return scrollerObj; }
    void scroller(zScrollerBase* s) { scrollerObj = s; }
    zScrollInfo* vertScrollInfo() const { return vScroll; }
    zScrollInfo* horzScrollInfo() const { return hScroll; }
    zScrollInfo* ensureVertScroll();
    zScrollInfo* ensureHorzScroll();
    zFont* getFont() const { return font; }
    const ZKCString& text() const { return title; }
    unsigned long style() const { return winStyle; }
    void style(unsigned long s) { winStyle = s; }
    void deleteOnDestroy(int on);
    int isDestroyed() const { return (stateFlags & zWinHandleDestroyed) != 0; }
    unsigned long backgroundColorValue() const { return bgColor; }
    void ziBackgroundColorValue(unsigned long colourRef);

    void enable();
    void disable();
    int isEnabled() const;
    zWindow* get(int id) const;
    zWindow** getNode(int id);
    void mapToWindow(zWindow* target, zRect& r) const;
    zWindow* nextWin();
    zWindow* prevWin();
    void classStyleUpdate();
    void styleUpdate();
    void setCursor(const zCursor& c);
    void centerWindow(int relative = 0);
    int populateFromRes(const zResId& id);
    void addChild(zWindow* w);
    void removeChild(zWindow* w);
    void ziChildFocusHelper(zFocusEvt* e);

    // Handler registration (see zNotify.h).
    void setHandler(zEvH* target, NotifyProc fn, UINT message);
    void setupNotification(zEvH* target, NotifyProc fn, UINT message);
    void removeHandler(zEvH* target, NotifyProc fn, UINT message);
    void removeNotification(zEvH* target, NotifyProc fn, UINT message);
    zHandlerList* handlerList();
    zHandlerList* commandList();

    static zWindow* ziLastChildFocus;

private:
    void initDefaults(zWindow* parent, zSizer* s, unsigned long style, bool parentSizer);
};

// Calls fn(child) for each child of w in order; a child made or deleted by fn
// meanwhile does not break the walk (it walks a copy and skips those gone).
// Stops early when fn answers false; answers whether the walk ran to its end.
template <class F>
bool ziEachChild(zWindow* w, F fn) {
    std::vector<std::pair<zWindow*, unsigned long>> snapshot;
    for (zWindow* c : w->children) snapshot.push_back({c, c->serial});
    for (const auto& s : snapshot) {
        bool still = false;
        for (zWindow* k : w->children)
            if (k == s.first && k->serial == s.second) still = true;
        if (still && !fn(s.first)) return false;
    }
    return true;
}

// The application's map of handles to framework objects: the object mapped to h
// (none for a null handle), or 0.
zWindow* ziMappedWindow(HWND h);
// Maps h to w when h is a handle and there is an application map.
void ziMapWindow(HWND h, zWindow* w);
// Unmaps h while it still names w; a handle taken over by another object stays.
void ziUnmapWindow(HWND h, zWindow* w);

// Central window procedure of frames and framework windows.
LRESULT CALLBACK AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The dispatch shared by AppWndProc and the child-frame procedure.
LRESULT ziWndProcCore(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool childFrame);
// WM_NCDESTROY bookkeeping: unmaps the window, deletes the object when asked to.
void ziNcDestroy(zWindow* w, HWND hwnd);
// The messages the framework's window procedures answer alike (moving, sizing,
// activation, focus, closing, erasing, cursor, hit test, timers, scrolling, control
// colours, mouse); each procedure sends here the ones it answers this way. True when
// the procedure returns r at once (a record took the event, a colour answer, or a
// handler destroyed the window); false to go on with r.
bool ziCommonMessage(HWND hwnd, zWindow* w, zEvent* e, LRESULT& r);
// The end of a framework window procedure: a nonzero answer, else the window's
// own dispatch while it lives, else default processing.
LRESULT ziProcAnswer(zWindow* w, zEvent* e, LRESULT r);
// The menus a window offers its commands and menu messages to: the open popup
// menu (when popupFirst), then the frame's own menu when routed there. 1 when taken.
int ziOfferMenus(zWindow* w, zEvent* e, bool popupFirst);
// Applies a scroll-range message (wParam bar kind, lParam max << 16 | min); answers 1.
LRESULT ziSetScrollRange(HWND hwnd, WPARAM bar, LPARAM range);

// Control colouring for WM_CTLCOLOR*: a brush or 0.
LRESULT zAppDoCtlColor(zWindow* w, zEvent* e);

// Moves the scroll state named by a WM_HSCROLL/WM_VSCROLL event; false when the
// event comes from a window that is not a framework scroll-bar control.
bool ziScrollStateUpdate(zWindow* w, zEvent* e);

// Stores a 32-bit colour value with flag byte as a colour reference for Windows.
COLORREF ziColorRef(unsigned long value);
