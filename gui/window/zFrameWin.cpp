#include "zFrameWin.h"

#include <cstdio>

#include "ZKCString.h"
#include "zApp.h"
#include "zBitmap.h"
#include "zMenu.h"
#include "zNotify.h"
#include "zString.h"
#include "zTimer.h"
#include "zWindowMap.h"
#include "ziNeighbours.h"

namespace {

bool sizerEmpty(zSizer* s, int& x, int& y, int& w, int& h) {
    if (!s || !ziSizerGet(s, x, y, w, h)) {
        x = y = w = h = 0;
        return true;
    }
    const int def = (int)CW_USEDEFAULT;
    return (x == 0 && y == 0 && w == 0 && h == 0) || (x == def && y == def && w == def && h == def);
}

// Classes registered once per process by name.
bool registeredOnce(const char* name) {
    static std::list<std::string> seen;
    for (const std::string& s : seen)
        if (s == name) return true;
    seen.push_back(name);
    return false;
}

}  // namespace

// ---- zFrameWin ----------------------------------------------------------

void zFrameWin::frameInit(const char* text) {
    device = nullptr;
    minTrackWidth = minTrackHeight = 0;
    bgColor = GetSysColor(COLOR_APPWORKSPACE);
    childId = 0;
    if (text) title = text;
    if (_app && !_app->mainFrame) _app->mainFrame = this;
}

zFrameWin::zFrameWin(zWindow* parent, zSizer* s, unsigned long style, const char* text) : zWindow(parent, s, style) {
    frameInit(text);
}

zFrameWin::zFrameWin(zWindow* parent) : zWindow(parent) { frameInit(nullptr); }

zFrameWin::zFrameWin(zSizer* s, unsigned long style, const char* text) : zWindow(s, style) { frameInit(text); }

zFrameWin::~zFrameWin() {
    delete device;
    device = nullptr;
    // The main frame slot must not point at a dead object.
    if (_app && _app->mainFrame == this) _app->mainFrame = nullptr;
}

void zFrameWin::menu(zDevice* m) {
    if (m == device) return;
    delete device;
    device = m;
}

int zFrameWin::dispatch(zEvent* e) {
    if (e->msg == WM_GETMINMAXINFO && e->lParm) {
        MINMAXINFO* mm = (MINMAXINFO*)e->lParm;
        if (minTrackWidth) mm->ptMinTrackSize.x = minTrackWidth;
        if (minTrackHeight) mm->ptMinTrackSize.y = minTrackHeight;
    }
    return zWindow::dispatch(e);
}

void zFrameWin::caption(const ZKCString& text) { caption(text.data()); }

void zFrameWin::caption(const zString& text) { caption(text.data()); }

void zFrameWin::caption(const char* text) {
    title = text ? text : "";
    if (hwnd) SetWindowTextA(hwnd, title.data());
}

void zFrameWin::setIcon(zIcon* icon) {
    HICON h = icon ? ziIconTakeHandle(icon) : 0;
    if (hwnd) SetClassLongPtrA(hwnd, GCLP_HICON, (LONG_PTR)h);
}

void zFrameWin::setMinimumSize() {
    RECT r;
    if (hwnd && GetWindowRect(hwnd, &r)) {
        minTrackWidth = r.right - r.left;
        minTrackHeight = r.bottom - r.top;
    }
}

void ziRegisterWindowClass(zWindow* w, WNDCLASSA* wc, bool oncePerProcess, const char* onceName,
                           WNDPROC defaultProc) {
    if (!wc) return;
    if (w->clsStyle) {
        // A class style of its own needs a class of its own.
        wc->style = w->clsStyle;
        char suffix[24];
        snprintf(suffix, sizeof suffix, "%lld", (long long)(LONG_PTR)w);
        w->className += suffix;
    }
    if (!wc->lpszClassName || w->className != wc->lpszClassName) wc->lpszClassName = w->className.c_str();
    if (!wc->lpfnWndProc) wc->lpfnWndProc = defaultProc;
    bool skip = oncePerProcess && onceName && w->className == onceName && registeredOnce(onceName);
    if (!skip) {
        RegisterClassA(wc);  // a repeated registration simply fails
        if (_app) _app->rememberClass(wc->lpszClassName);
    }
    delete wc;
}

void zFrameWin::registerClass(bool oncePerProcess, const char* onceName) {
    ziRegisterWindowClass(this, registerHook(), oncePerProcess, onceName, AppWndProc);
}

void zFrameWin::storeCreatedRect(bool popupRule) {
    int sx, sy, sw, sh;
    bool empty = sizerEmpty(sizer, sx, sy, sw, sh);
    RECT r = {0, 0, 0, 0};
    if (hwnd && IsWindow(hwnd)) GetWindowRect(hwnd, &r);
    if (popupRule && empty && (winStyle & WS_POPUP)) {
        if (sizer) {
            ziSizerSetPos(sizer, r.left, r.top);
            ziSizerSetDim(sizer, 500, 500);
        }
        vmove(r.left, r.top, 500, 500);
        return;
    }
    int x = r.left, y = r.top;
    if (parentWin && parentWin->hwnd && !(winStyle & WS_POPUP)) {
        RECT p;
        GetWindowRect(parentWin->hwnd, &p);
        x -= p.left;
        y -= p.top;
    }
    if (sizer) {
        ziSizerSetPos(sizer, x, y);
        ziSizerSetDim(sizer, r.right - r.left, r.bottom - r.top);
    }
}

int zFrameWin::create() {
    registerClass(false, nullptr);
    int x, y, w, h;
    if (sizerEmpty(sizer, x, y, w, h)) x = y = w = h = (int)CW_USEDEFAULT;
    hwnd = CreateWindowExA(0, className.c_str(), nullptr, winStyle, x, y, w, h, 0, 0,
                           _app ? _app->hInst : GetModuleHandleA(nullptr), nullptr);
    ziMapWindow(hwnd, this);
    // Timers made before the main frame had a window tick from now on.
    if (hwnd && _app && _app->timerDev && _app->mainFrame == this) _app->timerDev->arm();
    storeCreatedRect(true);
    if (!font && parentWin && parentWin->font) setFont(parentWin->font, 0);
    return hwnd != 0;
}

// ---- zAppFrame / zPopupFrame --------------------------------------------

zAppFrame::zAppFrame(zWindow*, zSizer* s, unsigned long style, const char* text, int defer)
    : zFrameWin(s, style, text) {
    kindFlags |= 0x20;
    className = "AppFrameCL";
    if (!defer) create();
}

// Top-level frames and popups share one class.
static WNDCLASSA* appFrameClass(WNDCLASSA* wc) {
    wc->style = 0;
    wc->lpfnWndProc = AppWndProc;
    wc->lpszClassName = "AppFrameCL";
    wc->hbrBackground = (HBRUSH)13;
    return wc;
}

WNDCLASSA* zAppFrame::registerHook() { return appFrameClass(zWindow::registerHook()); }

int zAppFrame::show(int cmd) {
    if (stateFlags & zWinShownOnce) return showSet(cmd);
    caption(title.data());
    return zWindow::show(cmd);
}

zPopupFrame::zPopupFrame(zWindow* parent, zSizer* s, unsigned long style, const char* text)
    : zFrameWin(parent, s, style | WS_POPUP, text) {
    className = "AppFrameCL";
    create();
}

WNDCLASSA* zPopupFrame::registerHook() { return appFrameClass(zWindow::registerHook()); }

int zPopupFrame::show(int cmd) {
    if (stateFlags & zWinShownOnce) return showSet(cmd);
    caption(title.data());
    if (sizer) ziSizerRefresh(sizer);
    return zWindow::show(cmd);
}

// ---- zChildFrame --------------------------------------------------------

zChildFrame::zChildFrame(zWindow* parent, zSizer* s, unsigned long style, const char* text, int defer)
    : zFrameWin(parent, s, style | WS_CHILD, text) {
    className = "zChildFrameCL";
    if (parent) parent->addChild(this);
    if (!defer) create();
}

zChildFrame::zChildFrame(zWindow* parent) : zFrameWin(parent) {
    winStyle |= WS_CHILD;
    className = "zChildFrameCL";
    if (parent) parent->addChild(this);
    setIcon(new zIcon(StockIconApplication));
}

WNDCLASSA* zChildFrame::registerHook() {
    WNDCLASSA* wc = zWindow::registerHook();
    wc->style = CS_DBLCLKS;
    wc->lpfnWndProc = zChildFrameWndProc;
    wc->lpszClassName = "zChildFrameCL";
    wc->hbrBackground = (HBRUSH)6;
    return wc;
}

int zChildFrame::create() {
    ziRegisterWindowClass(this, registerHook(), true, "zChildFrameCL", zChildFrameWndProc);
    int x, y, w, h;
    if (sizerEmpty(sizer, x, y, w, h)) x = y = w = h = (int)CW_USEDEFAULT;
    hwnd = CreateWindowExA(0, className.c_str(), nullptr, winStyle, x, y, w, h, parentWin ? parentWin->hwnd : 0, 0,
                           _app ? _app->hInst : GetModuleHandleA(nullptr), nullptr);
    ziMapWindow(hwnd, this);
    storeCreatedRect(false);
    if (!font && parentWin && parentWin->font) setFont(parentWin->font, 0);
    return hwnd != 0;
}

namespace {

// Layout with the parent's sizer once the parent is up, else with the window's own.
void childLayout(zWindow* w) {
    zWindow* p = w->parentWin;
    if (p && p->sizer && (p->stateFlags & zWinShownOnce)) ziSizerRefresh(p->sizer);
    else if (w->sizer) ziSizerRefresh(w->sizer);
}

zSizeEvt parentSizeEvent(zWindow* w, int& cw, int& ch) {
    RECT r = {0, 0, 0, 0};
    if (w->parentWin && w->parentWin->hwnd) GetClientRect(w->parentWin->hwnd, &r);
    cw = r.right - r.left;
    ch = r.bottom - r.top;
    zSizeEvt e;
    e.hwnd = w->hwnd;
    e.msg = WM_SIZE;
    e.wParm = SIZE_RESTORED;
    e.lParm = MAKELONG(cw, ch);
    return e;
}

}  // namespace

int zChildFrame::show(int cmd) {
    if (stateFlags & zWinShownOnce) return showSet(cmd);
    caption(title.data());
    int cw, ch;
    zSizeEvt e = parentSizeEvent(this, cw, ch);
    if (sizer) {
        ziSizerSetDim(sizer, cw, ch);
        ziSizerResize(sizer, this, &e);
    }
    childLayout(this);
    if (hwnd) SetWindowLongA(hwnd, GWL_STYLE, (LONG)winStyle);
    return zWindow::show(cmd);
}

LRESULT CALLBACK zChildFrameWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ziWndProcCore(hwnd, msg, wParam, lParam, true);
}

// ---- zChildWin ----------------------------------------------------------

zChildWin::zChildWin(zWindow* parent, zSizer* s, unsigned long style, int id) : zWindow(parent, s, style | WS_CHILD) {
    bgColor = GetSysColor(COLOR_WINDOW);
    childId = id;
    className = "VisualCtrl";
    if (parent) parent->addChild(this);
}

zChildWin::zChildWin(zWindow* parent) : zWindow(parent) {
    winStyle |= WS_CHILD;
    bgColor = GetSysColor(COLOR_WINDOW);
    className = "VisualCtrl";
    if (parent) parent->addChild(this);
}

zChildWin::zChildWin() {}

int zChildWin::create() {
    ziRegisterWindowClass(this, registerHook(), true, "VisualCtrl", ziChildWndProc);
    int x, y, w, h;
    if (sizerEmpty(sizer, x, y, w, h)) x = y = w = h = 0;
    hwnd = CreateWindowExA(0, className.c_str(), nullptr, winStyle, x, y, w, h, parentWin ? parentWin->hwnd : 0, 0,
                           _app ? _app->hInst : GetModuleHandleA(nullptr), nullptr);
    ziMapWindow(hwnd, this);
    if (!font && parentWin && parentWin->font) setFont(parentWin->font, 0);
    return hwnd != 0;
}

int zChildWin::show(int cmd) {
    if (stateFlags & zWinShownOnce) return showSet(cmd);
    int cw, ch;
    zSizeEvt e = parentSizeEvent(this, cw, ch);
    if (parentWin && parentWin->sizer) ziSizerSetDim(parentWin->sizer, cw, ch);
    if (sizer) ziSizerResize(sizer, this, &e);
    childLayout(this);
    if (hwnd) SetWindowLongA(hwnd, GWL_STYLE, (LONG)winStyle);
    return zWindow::show(cmd);
}

void zChildWin::setCommand(zEvH* target, NotifyProc fn) {
    if (!parentWin) return;
    parentWin->handlerList()->insert(new zNotifyNode((unsigned long)childId, fn, target, WM_COMMAND));
}

void zChildWin::removeCommand(zEvH* target, NotifyProc fn) {
    if (!parentWin || !parentWin->handlers) return;
    parentWin->handlers->removeFirst(zEvent(0, WM_COMMAND, (WPARAM)childId, 0), target, fn);
}

void zChildWin::setupNotify(zEvH* target, NotifyProc fn, unsigned long code) {
    if (!parentWin) return;
    parentWin->commandList()->insert(new zCtrlNotifyNode(childId, hwnd, code, fn, target));
}

void zChildWin::removeNotify(zEvH* target, NotifyProc fn, unsigned long code) {
    if (!parentWin || !parentWin->commands) return;
    zEvent probe(hwnd, WM_COMMAND, MAKEWPARAM(childId, code), (LPARAM)hwnd);
    parentWin->commands->removeFirst(probe, target, fn, true);
}

LRESULT CALLBACK ziChildWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ziWndProcCore(hwnd, msg, wParam, lParam, false);
}
