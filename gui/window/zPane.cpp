#include "zPane.h"

#include <algorithm>

#include "zApp.h"
#include "zBitmap.h"
#include "zControl.h"
#include "zDisplay.h"
#include "zGeometry.h"
#include "zMenu.h"
#include "zNotify.h"
#include "zScroller.h"
#include "zTimer.h"
#include "zWindowMap.h"
#include "ziNeighbours.h"

// ---- caret ------------------------------------------------------------------

zCaret::zCaret(zWindow* w, int wd, int ht, zBitmap* bitmap)
    : win(w), shape(bitmap), width(wd), height(ht), blinkTime((unsigned short)GetCaretBlinkTime()) {}

zCaret::~zCaret() {
    if (active) activate(0);
}

void zCaret::activate(int on) {
    HWND h = win ? win->hwnd : 0;
    if (on) {
        HBITMAP b = shape ? (HBITMAP)shape->handle() : shapeValue;
        CreateCaret(h, b, width, height);
        SetCaretPos(x, y);
        savedBlink = (unsigned short)GetCaretBlinkTime();
        SetCaretBlinkTime(blinkTime);
        if (showCount > 0) ShowCaret(h);
        active = 1;
    } else {
        active = 0;
        SetCaretBlinkTime(savedBlink);
        DestroyCaret();
    }
}

void zCaret::show() {
    if (++showCount == 1 && active) ShowCaret(win->hwnd);
}

void zCaret::hide() {
    if (showCount-- == 1 && active) HideCaret(win->hwnd);
}

void zCaret::move(int nx, int ny) {
    x = nx;
    y = ny;
    if (active) SetCaretPos(x, y);
}

// ---- pane -------------------------------------------------------------------

void zPane::paneInit() {
    className = "PaneWindowCL";
    ownDisplay = new zWinDisplay(this);
    curDisplay = ownDisplay;
    displays.insert(displays.begin(), ownDisplay);
}

zPane::zPane(zWindow* parent, zSizer* s, unsigned long style, int id, int doCreate) : zChildWin(parent, s, style, id) {
    paneInit();
    if (doCreate) create();
}

zPane::zPane(void* h, zWindow* parent, zSizer* s, unsigned long style) : zChildWin(parent, s, style, 0) {
    paneInit();
    hwnd = (HWND)h;
    ziMapWindow(hwnd, this);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)PaneWndProc);
}

zWindow* zPane::findPrevObject() {
    if (prevObject || !parentWin) return prevObject;
    for (zWindow* c : parentWin->children)
        if (c != this && c->childId == childId) return prevObject = c;
    return nullptr;
}

zPane::zPane(zWindow* parent, int id) {
    parentWin = parent;
    childId = id;
    className = "PaneWindowCL";
    zWindow* prev = findPrevObject();
    if (!prev) {
        paneInit();
        if (parent) parent->addChild(this);
        return;
    }
    // The pane takes the previous object's place among the parent's children.
    if (zWindow** node = parent->getNode(id)) *node = this;

    zSizer* mine = sizer;
    sizer = prev->sizer;
    if (sizer) ziSizerOwn(sizer, this);
    prev->sizer = mine;
    if (mine) ziSizerOwn(mine, nullptr);

    title = prev->title;
    winStyle = prev->winStyle;
    hwnd = prev->hwnd;
    prev->hwnd = 0;
    prev->stateFlags |= zWinHandleDestroyed;
    className = prev->className;
    vScroll = prev->vScroll;
    hScroll = prev->hScroll;
    prev->vScroll = prev->hScroll = nullptr;
    if (vScroll) vScroll->ziReset(this);
    if (hScroll) hScroll->ziReset(this);
    if (prev->handlers && !prev->handlers->empty()) {
        handlerList()->takeFrom(*prev->handlers);
    }
    prev->parentWin = nullptr;

    if (zPane* p = dynamic_cast<zPane*>(prev)) {
        curDisplay = p->curDisplay;
        ownDisplay = p->ownDisplay;
        p->ownDisplay = nullptr;
        p->curDisplay = nullptr;
        displays = p->displays;
        p->displays.clear();
        for (zDisplay* d : displays)
            if (d && d->type() == zDisplay::Window) static_cast<zWinDisplay*>(d)->ziSetWindow(this);
        caretObj = p->caretObj;
        p->caretObj = nullptr;
    }
    if (!ownDisplay) paneInit();
    if (prev->scrollerObj) {
        scrollerObj = prev->scrollerObj;
        prev->scrollerObj = nullptr;
        scrollerObj->ziSetOwner(this);
    }
    if (IsWindow(hwnd)) ziMapWindow(hwnd, this);
    setMetrics();
}

zPane::~zPane() {
    displays.clear();
    delete ownDisplay;
    ownDisplay = curDisplay = nullptr;
    delete prevObject;
    prevObject = nullptr;
}

WNDCLASSA* zPane::registerHook() {
    static bool done = false;
    if (done) return nullptr;
    done = true;
    WNDCLASSA* wc = zWindow::registerHook();
    wc->hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc->lpszClassName = "PaneWindowCL";
    wc->lpfnWndProc = PaneWndProc;
    return wc;
}

int zPane::draw(zDrawEvt*) {
    if (curDisplay) {
        curDisplay->lock();
        curDisplay->unlock();
    }
    return 0;
}

void zPane::scrollPane(int dx, int dy, const zRect& r) {
    RECT rc = {r.left, r.top, r.right, r.bottom};
    ScrollWindow(hwnd, dx, dy, &rc, &rc);
}

int zPane::focus(zFocusEvt* e) {
    if (caretObj) caretObj->activate(e->msg == WM_SETFOCUS);
    return zChildWin::focus(e);
}

int zPane::show(int cmd) {
    if (stateFlags & zWinShownOnce) return showSet(cmd);
    setMetrics();
    return zChildWin::show(cmd);
}

void zPane::ziBackgroundColor(const zColor& c) {
    zChildWin::ziBackgroundColor(c);
    if (curDisplay) delete curDisplay->brush(new zBrush(c));
}

int zPane::scroll(zEvent* e) {
    HWND from = (HWND)e->lParm;
    if (from) {
        zWindow* w = ziMappedWindow(from);
        return w && w->scrollerObj ? w->scrollerObj->scrollRouter(e) : 0;
    }
    if (scrollerObj) return scrollerObj->scrollRouter(e);
    if (e->loWParam() != SB_ENDSCROLL) return 0;
    // A plain pane moves its contents once the user lets go of the bar.
    zPoint to(hScroll ? hScroll->position : 0, vScroll ? vScroll->position : 0);
    zPoint from0 = curDisplay ? curDisplay->windowOrg() : zPoint();
    if (to != from0) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        ScrollWindow(hwnd, from0.x - to.x, from0.y - to.y, &rc, &rc);
        if (curDisplay) curDisplay->setWindowOrg(to.x, to.y);
        UpdateWindow(hwnd);
    }
    return 1;
}

int doPaneDraw(zPane* p, zEvent* e) {
    zDisplay* d = p->curDisplay;
    zDrawEvt* de = static_cast<zDrawEvt*>(e);
    if (!d || d->type() != zDisplay::Window) return p->draw(de);
    zAppDoSetDraw(d, 1);
    d->lock();
    int r = p->draw(de);
    d->unlock();
    zAppDoSetDraw(d, 0);
    return r;
}

// ---- pane control -----------------------------------------------------------

zPaneControl::zPaneControl(zWindow* parent, int id) : zPane(parent, id) {
    zPane::ziBackgroundColor(zColor::system(COLOR_BTNFACE));
}

zPaneControl::zPaneControl(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zPane(parent, s, style, id, 1) {
    if (text) {
        title = text;
        if (hwnd) SetWindowTextA(hwnd, text);
    }
    zPane::ziBackgroundColor(zColor::system(COLOR_BTNFACE));
}

int zPaneControl::dispatch(zEvent* e) {
    if (e->msg == WM_ENABLE) onEnableDisable((int)e->wParm);
    else if (e->msg == WM_GETDLGCODE) return 0x81;
    return zWindow::dispatch(e);
}

void zPaneControl::sendNotification(unsigned short code) {
    if (parentWin && parentWin->hwnd)
        SendMessageA(parentWin->hwnd, WM_COMMAND, MAKEWPARAM(childId, code), (LPARAM)hwnd);
}

void zPaneControl::postNotification(unsigned short code) {
    if (parentWin && parentWin->hwnd)
        PostMessageA(parentWin->hwnd, WM_COMMAND, MAKEWPARAM(childId, code), (LPARAM)hwnd);
}

zChildWin* zCtrlBldzPaneControl(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id) {
    return new zPaneControl(parent, sizer, style, text, id);
}

// ---- window procedure -------------------------------------------------------

LRESULT CALLBACK PaneWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    zPane* p = dynamic_cast<zPane*>(ziMappedWindow(hwnd));
    if (!p) return DefWindowProcA(hwnd, msg, wParam, lParam);
    zEvent ev(hwnd, msg, wParam, lParam);
    zEvent* e = &ev;
    LRESULT r = 0;
    switch (msg) {
    case WM_MOVE:
    case WM_ACTIVATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_CLOSE:
    case WM_ERASEBKGND:
    case WM_SETCURSOR:
    case WM_NCHITTEST:
    case WM_TIMER:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        if (ziCommonMessage(hwnd, p, e, r)) return r;
        break;
    case WM_SIZE:
        if (ziCommonMessage(hwnd, p, e, r)) return r;
        if (p->scrollerObj) p->scrollerObj->respondToSize();
        break;
    case WM_PAINT:
        r = doPaneDraw(p, e);
        break;
    case WM_NCDESTROY:
        ziNcDestroy(p, hwnd);
        return 0;
    case WM_CHAR:
    case WM_SYSCHAR:
        r = p->ch(static_cast<zKeyEvt*>(e));
        break;
    case WM_COMMAND:
    case WM_SYSCOMMAND:
        if (___anyPopupMenu && ___anyPopupMenu->dispatchEvt(e)) return 1;
        if (doCommandHandler(e, p)) return 1;
        r = p->command(static_cast<zCommandEvt*>(e));
        break;
    case WM_INITMENU:
    case WM_MENUSELECT:
        if (___anyPopupMenu && ___anyPopupMenu->dispatchEvt(e)) return 1;
        break;
    case zMsgScrollRange:
        return ziSetScrollRange(hwnd, wParam, lParam);
    default:
        r = doHandler(e, p);
        break;
    }
    return ziProcAnswer(p, e, r);
}
