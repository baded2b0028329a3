#include "zWindow.h"

#include <algorithm>

#include "zApp.h"
#include "zDlgTemplate.h"
#include "zFrameWin.h"
#include "zMenu.h"
#include "zNotify.h"
#include "zScroller.h"
#include "zTimer.h"
#include "zWindowMap.h"
#include "ziNeighbours.h"

zWindow* zWindow::ziLastChildFocus = nullptr;

// ---- events -------------------------------------------------------------

int zMouseMoveEvt::isButtonDown(int n) const {
    switch (n) {
    case 1: return (keyState() & 0x0001) != 0;
    case 2: return (keyState() & 0x0002) != 0;
    case 3: return (keyState() & 0x0010) != 0;
    default: return 0;
    }
}

int zMouseClickEvt::isButton(int n) const {
    if (n < 1 || n > 3) return 0;
    UINT first = 0x201 + 3 * (n - 1);
    return msg >= first && msg <= first + 2;
}

int zMouseClickEvt::isDoubleClick() const { return msg == 0x203 || msg == 0x206 || msg == 0x209; }

int zEvH::dispatch(zEvent* e) {
    if (!e) return 0;
    return (int)DefWindowProcA(e->hwnd, e->msg, e->wParm, e->lParm);
}

// ---- scroll state -------------------------------------------------------

int zScrollInfo::clamp(int p) const {
    if (p < minimum) p = minimum;
    if (p > maximum) p = maximum;
    return p;
}

int zScrollInfo::pos(int p) {
    oldPosition = position;
    return posOnly(p);
}

int zScrollInfo::posOnly(int p) {
    position = clamp(p);
    if (owner && owner->hwnd && IsWindow(owner->hwnd)) SetScrollPos(owner->hwnd, barKind, position, TRUE);
    return position;
}

void zScrollInfo::limits(int lo, int hi) {
    minimum = lo;
    maximum = hi;
    // The window applies the range when it gets to it.
    if (owner && owner->hwnd)
        PostMessageA(owner->hwnd, 0x90A, (WPARAM)barKind, (LPARAM)MAKELONG(lo & 0xFFFF, hi & 0xFFFF));
}

void zScrollInfo::setParms(const int* range, int newPos, int newPage, int newLine, int newOld) {
    if (range) limits(range[0], range[1]);
    if (newPos >= 0) posOnly(newPos);
    if (newLine >= 0) line = newLine;
    if (newPage >= 0) page = newPage;
    if (newOld >= 0) oldPosition = newOld;
}

// ---- cursor -------------------------------------------------------------

zCursor::zCursor() : handle(LoadCursorA(0, IDC_ARROW)), resName(IDC_ARROW) {}

zCursor::zCursor(int stockId)
    : handle(stockId ? LoadCursorA(0, MAKEINTRESOURCEA(stockId)) : 0), resName(MAKEINTRESOURCEA(stockId)) {}

zCursor::zCursor(const zResId& id) {
    HMODULE mod = 0;
    HMODULE loaded = 0;
    if (const char* lib = ziResModuleName(id)) {
        loaded = LoadLibraryA(lib);
        if ((UINT_PTR)loaded < 32) return;
        mod = loaded;
    } else if (ziResModuleHandle(id)) {
        mod = ziResModuleHandle(id);
    } else if (_app) {
        mod = _app->hInst;
    }
    resName = ziResName(id);
    handle = LoadCursorA(mod, resName);
    owned = handle != 0;
    if (loaded) FreeLibrary(loaded);
}

zCursor::zCursor(const zCursor& o) : handle(o.handle), resName(o.resName), owned(0) {
    if (o.owned && o.handle) {
        handle = CopyCursor(o.handle);
        owned = handle != 0;
    }
}

zCursor& zCursor::operator=(const zCursor& o) {
    if (this == &o) return *this;
    if (owned && handle) DestroyCursor(handle);
    handle = o.handle;
    resName = o.resName;
    owned = 0;
    if (o.owned && o.handle) {
        handle = CopyCursor(o.handle);
        owned = handle != 0;
    }
    return *this;
}

zCursor::~zCursor() {
    if (owned && handle) DestroyCursor(handle);
}

// ---- colours ------------------------------------------------------------

COLORREF ziColorRef(unsigned long value) {
    unsigned flag = (value >> 24) & 0xFF;
    if (flag == 0) return value;
    if (flag == 1) return 0x01000000UL | (value & 0xFFFF);
    return 0x02000000UL | (value & 0xFFFFFF);
}

// ---- window -------------------------------------------------------------

void zWindow::initDefaults(zWindow* parent, zSizer* s, unsigned long style, bool parentSizer) {
    parentWin = parent;
    title = ZKCString();
    className = "WindowCL";
    winStyle = style | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    bgColor = 0;
    if (parentSizer) {
        s = ziSizerNew(parent ? parent->sizer : nullptr);
    }
    sizer = s;
    if (sizer) ziSizerOwn(sizer, this);
}

zWindow::zWindow(zWindow* parent, zSizer* s, unsigned long style) { initDefaults(parent, s, style, false); }

zWindow::zWindow(zSizer* s, unsigned long style) { initDefaults(nullptr, s, style, false); }

zWindow::zWindow(zWindow* parent) { initDefaults(parent, nullptr, 0, true); }

zWindow::zWindow() {}

zWindow::~zWindow() {
    stateFlags &= ~zWinDeleteOnDestroy;
    if (parentWin) parentWin->removeChild(this);
    // Children unlink themselves as they go.
    while (!children.empty()) {
        zWindow* c = children.back();
        c->parentWin = nullptr;
        children.pop_back();
        delete c;
    }
    if (!(stateFlags & zWinHandleDestroyed) && hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
    if (ziLastChildFocus == this) ziLastChildFocus = nullptr;
    ziUnmapWindow(hwnd, this);
    delete vScroll;
    delete hScroll;
    vScroll = hScroll = nullptr;
    ziSizerDelete(sizer);
    sizer = nullptr;
    zHandlerList::release(handlers);
    zHandlerList::release(commands);
    handlers = commands = nullptr;
    if ((stateFlags & zWinOwnsFont) && font) {
        ziFontDelete(font);  // fonts owned by a window go with it
    }
}

unsigned long ziNewWindowSerial() {
    static unsigned long next = 0;
    return ++next;
}

int zWindow::dispatch(zEvent* e) { return (int)DefWindowProcA(e->hwnd, e->msg, e->wParm, e->lParm); }

WNDCLASSA* zWindow::registerHook() {
    WNDCLASSA* wc = new WNDCLASSA;
    memset(wc, 0, sizeof *wc);
    wc->style = CS_DBLCLKS;
    wc->cbClsExtra = 0;
    wc->cbWndExtra = 12;
    wc->hInstance = _app ? _app->hInst : GetModuleHandleA(nullptr);
    wc->hIcon = LoadIconA(0, IDI_APPLICATION);
    wc->hCursor = 0;
    wc->hbrBackground = (HBRUSH)13;
    wc->lpszMenuName = nullptr;
    return wc;
}

int zWindow::size(zSizeEvt* e) {
    if (sizer) ziSizerSetDim(sizer, e->width(), e->height());
    return 0;
}

int zWindow::resolveSize(zSizeEvt* e) {
    if (!sizer) return 0;
    ziSizerSetDim(sizer, e->width(), e->height());
    if (e->type() == SIZE_MINIMIZED) return 0;
    ziEachChild(this, [&](zWindow* c) {
        if (c->sizer) ziSizerResize(c->sizer, c, e);
        return true;
    });
    int x, y, w, h;
    ziSizerGet(sizer, x, y, w, h);
    ziSizerUpdate(sizer, x, y, x + e->width(), y + e->height());
    return 0;
}

int zWindow::activate(zActivateEvt*) { return 0; }
int zWindow::move(zMoveEvt*) { return 0; }
int zWindow::kill(zEvent*) { return 0; }
int zWindow::command(zCommandEvt*) { return 0; }
int zWindow::mouseMove(zMouseMoveEvt*) { return 0; }
int zWindow::mouseButtonUp(zMouseClickEvt*) { return 0; }
int zWindow::mouseButtonDown(zMouseClickEvt*) { return 0; }
int zWindow::focus(zFocusEvt*) { return 0; }
int zWindow::getPreferredSize(zDimension&) { return 0; }
void zWindow::childFocusChange(zWindow*, zWindow*) {}

int zWindow::scroll(zEvent* e) {
    HWND from = (HWND)e->lParm;
    if (from && _app && _app->winMap) {
        zWindow* w = _app->winMap->get(from);
        return w && w->scrollerObj ? w->scrollerObj->scrollRouter(e) : 0;
    }
    return scrollerObj ? scrollerObj->scrollRouter(e) : 0;
}

int zWindow::background(zEvent* e) {
    if (bgColor == zColorNoErase) return 0;
    unsigned long colour = bgColor;
    if (colour == zColorParent) colour = parentWin ? parentWin->bgColor : 0;
    HDC dc = e ? (HDC)e->wParm : 0;
    bool own = dc == 0;
    if (own) dc = GetDC(hwnd);
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH b = CreateSolidBrush(ziColorRef(colour));
    HGDIOBJ old = SelectObject(dc, b);
    PatBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, PATCOPY);
    SelectObject(dc, old);
    DeleteObject(b);
    if (own) ReleaseDC(hwnd, dc);
    return 1;
}

int zWindow::showSet(int cmd) {
    if (hwnd && IsWindow(hwnd)) ShowWindow(hwnd, cmd);
    return 1;
}

int zWindow::show(int cmd) {
    if (stateFlags & zWinShownOnce) return showSet(cmd);
    stateFlags |= zWinShownOnce;
    ShowWindow(hwnd, cmd);
    UpdateWindow(hwnd);
    if (cmd) winStyle |= WS_VISIBLE;
    return 1;
}

void zWindow::ziBackgroundColor(const zColor& c) { ziBackgroundColorValue(ziColorValue(c)); }

void zWindow::ziBackgroundColorValue(unsigned long value) {
    if (value == zColorNoErase || value == zColorParent || ((value >> 24) & 0xFF) == 0) bgColor = value;
    else bgColor = (value & 0xFFFFFF) | 0x02000000UL;
}

int zWindow::checkData() {
    // A check may make or delete sibling controls.
    return ziEachChild(this, [](zWindow* c) {
        if (!c->hwnd || !IsWindowEnabled(c->hwnd)) return true;
        if (c->checkData()) return true;
        if (!c->invalidData(c) && c->parentWin) c->parentWin->invalidData(c);
        return false;
    });
}

int zWindow::storeData() {
    if (!checkData()) return 0;
    ziEachChild(this, [](zWindow* c) {
        if (c->hwnd && IsWindowEnabled(c->hwnd)) c->storeData();
        return true;
    });
    return 1;
}

int zWindow::invalidData(zWindow* w) {
    if (w == this) return 0;
    if (w && w->hwnd) SetFocus(w->hwnd);
    return 1;
}

void zWindow::setFont(zFont* f, int redraw) {
    if (f == font) return;
    zFont* old = (stateFlags & zWinOwnsFont) ? font : nullptr;
    font = f;
    stateFlags &= ~zWinOwnsFont;
    if (f) {
        if (!(parentWin && parentWin->font == f)) stateFlags |= zWinOwnsFont;
        if (hwnd) SendMessageA(hwnd, WM_SETFONT, (WPARAM)ziFontHandle(f), redraw);
    }
    ziEachChild(this, [&](zWindow* c) {
        c->setFont(f, redraw);
        return true;
    });
    if (old) ziFontDelete(old);
}

void zWindow::vmove(int x, int y, int w, int h) {
    if (hwnd) MoveWindow(hwnd, x, y, w, h, TRUE);
}

void zWindow::setSizer(zSizer* s) {
    sizer = s;
    if (s) ziSizerOwn(s, this);
}

zScrollInfo* zWindow::ensureVertScroll() {
    if (!vScroll) vScroll = new zScrollInfo(this, SB_VERT);
    return vScroll;
}

zScrollInfo* zWindow::ensureHorzScroll() {
    if (!hScroll) hScroll = new zScrollInfo(this, SB_HORZ);
    return hScroll;
}

void zWindow::deleteOnDestroy(int on) {
    if (on) stateFlags |= zWinDeleteOnDestroy;
    else stateFlags &= ~zWinDeleteOnDestroy;
}

void zWindow::enable() { EnableWindow(hwnd, 1); }
void zWindow::disable() { EnableWindow(hwnd, 0); }
int zWindow::isEnabled() const { return IsWindowEnabled(hwnd) != 0; }

zWindow* zWindow::get(int id) const {
    for (zWindow* c : children)
        if (c->childId == id) return c;
    return nullptr;
}

zWindow** zWindow::getNode(int id) {
    for (zWindow*& c : children)
        if (c->childId == id) return &c;
    return nullptr;
}

void zWindow::mapToWindow(zWindow* target, zRect& r) const {
    if (target) return;
    RECT rc;
    ziRectGet(r, rc);
    POINT a = {rc.left, rc.top}, b = {rc.right, rc.bottom};
    ClientToScreen(hwnd, &a);
    ClientToScreen(hwnd, &b);
    rc.left = a.x;
    rc.top = a.y;
    rc.right = b.x;
    rc.bottom = b.y;
    ziRectSet(r, rc);
}

zWindow* zWindow::nextWin() {
    if (!parentWin) return this;
    auto& l = parentWin->children;
    auto it = std::find(l.begin(), l.end(), this);
    if (it == l.end()) return this;
    ++it;
    return it == l.end() ? l.front() : *it;
}

zWindow* zWindow::prevWin() {
    if (!parentWin) return this;
    auto& l = parentWin->children;
    auto it = std::find(l.begin(), l.end(), this);
    if (it == l.end()) return this;
    return it == l.begin() ? l.back() : *(it - 1);
}

void zWindow::classStyleUpdate() {
    if (hwnd && IsWindow(hwnd)) SetClassLongA(hwnd, GCL_STYLE, clsStyle);
}

void zWindow::styleUpdate() {
    if (hwnd && IsWindow(hwnd)) SetWindowLongA(hwnd, GWL_STYLE, (LONG)winStyle);
}

void zWindow::setCursor(const zCursor& c) {
    cursor = c;
    if (cursor.handle) SetCursor(cursor.handle);
}

void zWindow::centerWindow(int relative) {
    RECT r = {0, 0, 0, 0};
    if (hwnd) GetWindowRect(hwnd, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    int x, y;
    if (!relative || !parentWin || !parentWin->hwnd) {
        x = (___scrPixWidth - w) / 2;
        y = (___scrPixHeight - h) / 2;
    } else {
        RECT p;
        GetWindowRect(parentWin->hwnd, &p);
        x = p.left + ((p.right - p.left) - w) / 2;
        y = p.top + ((p.bottom - p.top) - h) / 2;
        if (x + w > ___scrPixWidth) x = ___scrPixWidth - w;
        if (y + h > ___scrPixHeight) y = ___scrPixHeight - h;
    }
    if (x < 1) x = 0;
    if (y < 1) y = 0;
    vmove(x, y, w, h);
}

int zWindow::populateFromRes(const zResId& id) {
    ziDialogReader reader(this, id);
    if (reader.status != 0) return 0;
    if (reader.fontFromTemplate()) setFont(reader.takeFont(), 0);
    return hwnd ? reader.createChildren() : 0;
}

void zWindow::addChild(zWindow* w) {
    if (w && std::find(children.begin(), children.end(), w) == children.end()) children.push_back(w);
}

void zWindow::removeChild(zWindow* w) {
    auto it = std::find(children.begin(), children.end(), w);
    if (it != children.end()) children.erase(it);
}

void zWindow::ziChildFocusHelper(zFocusEvt* e) {
    if (e->msg == WM_SETFOCUS)
        for (zWindow* a = parentWin; a; a = a->parentWin) a->childFocusChange(ziLastChildFocus, this);
    ziLastChildFocus = this;
}

zHandlerList* zWindow::handlerList() {
    if (!handlers) handlers = new zHandlerList;
    return handlers;
}

zHandlerList* zWindow::commandList() {
    if (!commands) commands = new zHandlerList;
    return commands;
}

void zWindow::setHandler(zEvH* target, NotifyProc fn, UINT message) {
    handlerList()->insert(new zNotifyNode(fn, target, message, this));
}

void zWindow::setupNotification(zEvH* target, NotifyProc fn, UINT message) {
    setHandler(target, fn, message);
    switch (message) {
    case WM_ACTIVATE: routing |= zRouteActivate; break;
    case WM_SETFOCUS: routing |= zRouteFocus; break;
    case WM_CLOSE: routing |= zRouteClose; break;
    case WM_MOUSEMOVE: routing |= zRouteMouseMove; break;
    case WM_LBUTTONDOWN: routing |= zRouteButtonDown; break;
    case WM_LBUTTONUP: routing |= zRouteButtonUp; break;
    default: break;
    }
}

void zWindow::removeHandler(zEvH* target, NotifyProc fn, UINT message) {
    if (handlers) handlers->removeFirst(zEvent(hwnd, message, 0, 0), target, fn);
}

void zWindow::removeNotification(zEvH* target, NotifyProc fn, UINT message) { removeHandler(target, fn, message); }

// ---- central dispatch ---------------------------------------------------

bool ziScrollStateUpdate(zWindow* w, zEvent* e) {
    zScrollInfo* si = nullptr;
    HWND from = (HWND)e->lParm;
    if (from) {
        zWindow* ctl = ziMappedWindow(from);
        if (!ctl || !(ctl->ctlKindFlags & 0x02)) return false;
        si = ctl->vScroll;  // a scroll-bar control keeps its state there
    } else {
        si = e->msg == WM_VSCROLL ? w->vScroll : w->hScroll;
    }
    if (!si) return true;
    switch (e->loWParam()) {
    case SB_LINEUP: si->pos(si->position - si->line); break;
    case SB_LINEDOWN: si->pos(si->position + si->line); break;
    case SB_PAGEUP: si->pos(si->position - si->page); break;
    case SB_PAGEDOWN: si->pos(si->position + si->page); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: si->posOnly((int)e->hiWParam()); break;
    case SB_TOP: si->pos(si->minimum); break;
    case SB_BOTTOM: si->pos(si->maximum); break;
    default: break;
    }
    return true;
}

LRESULT zAppDoCtlColor(zWindow* w, zEvent* e) {
    if (e->msg == WM_CTLCOLORMSGBOX) return 0;
    HWND ctlHandle = (HWND)e->lParm;
    if (!ctlHandle) return 0;
    zWindow* child = nullptr;
    for (zWindow* c : w->children)
        if (c->hwnd == ctlHandle) {
            child = c;
            break;
        }
    if (!child) return 0;
    unsigned long* text = nullptr;
    HBRUSH* brush = nullptr;
    if (!child->ziControlColors(text, brush)) return 0;
    HDC dc = (HDC)e->wParm;
    if (text) SetTextColor(dc, ziColorRef(*text));
    unsigned long bg = child->bgColor;
    if (bg != zColorNoErase) {
        if (bg == zColorParent) bg = w->bgColor;
        SetBkColor(dc, ziColorRef(bg));
        return (LRESULT)(brush ? *brush : 0);
    }
    if (!brush || !*brush) {
        COLORREF cur = GetBkColor(dc);
        child->ziBackgroundColorValue(cur);
        SetBkColor(dc, cur);
        return 0;
    }
    return 0;  // a brush of its own over "do not erase": default processing
}

zWindow* ziMappedWindow(HWND h) { return h && _app && _app->winMap ? _app->winMap->get(h) : nullptr; }

void ziMapWindow(HWND h, zWindow* w) {
    if (h && _app && _app->winMap) _app->winMap->insert(h, w);
}

void ziUnmapWindow(HWND h, zWindow* w) {
    if (h && w && ziMappedWindow(h) == w) _app->winMap->remove(h);
}

namespace {

// Still the same live object after a handler ran? (A handler may destroy it.)
bool alive(HWND h, zWindow* w) { return ziMappedWindow(h) == w; }

// A route record for the event took it: the window answers 1.
bool routeTakes(zWindow* w, zEvent* e, unsigned long route, LRESULT& r) {
    if (!(w->routing & route) || !doHandler(e, w)) return false;
    r = 1;
    return true;
}

// The mouse messages: true when a record took the event, else r has the operation's answer.
bool ziRouteMouse(zWindow* w, zEvent* e, LRESULT& r) {
    switch (e->msg) {
    case WM_MOUSEMOVE:
        if (w->cursor.handle) SetCursor(w->cursor.handle);
        if (routeTakes(w, e, zRouteMouseMove, r)) return true;
        r = w->mouseMove(static_cast<zMouseMoveEvt*>(e));
        return false;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        if (routeTakes(w, e, zRouteButtonUp, r)) return true;
        r = w->mouseButtonUp(static_cast<zMouseClickEvt*>(e));
        return false;
    default:
        if (routeTakes(w, e, zRouteButtonDown, r)) return true;
        r = w->mouseButtonDown(static_cast<zMouseClickEvt*>(e));
        return false;
    }
}

}  // namespace

void ziNcDestroy(zWindow* w, HWND hwnd) {
    if (zFrameWin* f = dynamic_cast<zFrameWin*>(w))
        if (zMenu* m = dynamic_cast<zMenu*>(f->device)) m->ziClearHandle();
    w->stateFlags |= zWinHandleDestroyed;
    if (_app && _app->winMap) _app->winMap->remove(hwnd);
    if (w->stateFlags & zWinDeleteOnDestroy) delete w;
}

bool ziCommonMessage(HWND hwnd, zWindow* w, zEvent* e, LRESULT& r) {
    switch (e->msg) {
    case WM_MOVE:
        r = w->move(static_cast<zMoveEvt*>(e));
        if (!alive(hwnd, w)) return true;
        if (w->sizer) ziSizerSetPos(w->sizer, (int)LOWORD(e->lParm), (int)HIWORD(e->lParm));
        return false;
    case WM_SIZE:
        r = w->size(static_cast<zSizeEvt*>(e));
        if (!alive(hwnd, w)) return true;
        w->resolveSize(static_cast<zSizeEvt*>(e));
        return false;
    case WM_ACTIVATE:
        if (routeTakes(w, e, zRouteActivate, r)) return true;
        r = w->activate(static_cast<zActivateEvt*>(e));
        return false;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (routeTakes(w, e, zRouteFocus, r)) return true;
        r = w->focus(static_cast<zFocusEvt*>(e));
        if (!alive(hwnd, w)) return true;
        w->ziChildFocusHelper(static_cast<zFocusEvt*>(e));
        return false;
    case WM_CLOSE:
        if (routeTakes(w, e, zRouteClose, r)) return true;
        r = w->kill(e);
        return false;
    case WM_ERASEBKGND:
        r = w->background(e);
        return false;
    case WM_SETCURSOR:
        if (w->routing & zRouteSetCursor) r = doHandler(e, w);
        return false;
    case WM_NCHITTEST:
        if (w->routing & zRouteHitTest) r = doHandler(e, w);
        return false;
    case WM_TIMER:
        if (_app && _app->timerDev) _app->timerDev->process(e);
        return false;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (ziScrollStateUpdate(w, e)) r = w->scroll(e);
        return false;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        r = zAppDoCtlColor(w, e);
        return r != 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        return ziRouteMouse(w, e, r);
    default:
        return false;
    }
}

LRESULT ziSetScrollRange(HWND hwnd, WPARAM bar, LPARAM range) {
    int lo = (short)LOWORD(range), hi = (short)HIWORD(range);
    if (lo == hi) lo = hi = 0;  // an empty range hides the bar
    SetScrollRange(hwnd, (int)bar, lo, hi, TRUE);
    return 1;
}

LRESULT ziProcAnswer(zWindow* w, zEvent* e, LRESULT r) {
    if (r) return r;
    if (!alive(e->hwnd, w)) return DefWindowProcA(e->hwnd, e->msg, e->wParm, e->lParm);
    return w->dispatch(e);
}

int ziOfferMenus(zWindow* w, zEvent* e, bool popupFirst) {
    if (popupFirst && ___anyPopupMenu && ___anyPopupMenu->dispatchEvt(e)) return 1;
    if (w->routing & zRouteDevice) {
        zFrameWin* f = dynamic_cast<zFrameWin*>(w);
        if (f && f->device && f->device->dispatchEvt(e)) return 1;
    }
    return 0;
}

LRESULT ziWndProcCore(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool childFrame) {
    zWindow* w = ziMappedWindow(hwnd);
    if (!w) return DefWindowProcA(hwnd, msg, wParam, lParam);
    zEvent ev(hwnd, msg, wParam, lParam);
    zEvent* e = &ev;
    LRESULT r = 0;
    switch (msg) {
    case WM_DESTROY:
        if (_app && w == _app->mainFrame) {
            if (_app->taskDev) _app->taskDev->enable(0);
            PostQuitMessage(0);
        }
        return 0;
    case WM_MOVE:
    case WM_SIZE:
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
        if (ziCommonMessage(hwnd, w, e, r)) return r;
        break;
    case WM_NCDESTROY:
        ziNcDestroy(w, hwnd);
        return childFrame ? DefWindowProcA(hwnd, msg, wParam, lParam) : 0;
    case WM_COMMAND:
        if (ziOfferMenus(w, e, true) || doCommandHandler(e, w)) return 1;
        r = w->command(static_cast<zCommandEvt*>(e));
        break;
    case WM_INITMENU:
    case WM_MENUSELECT:
        if (ziOfferMenus(w, e, !childFrame)) return 1;
        r = doHandler(e, w);
        break;
    default:
        r = doHandler(e, w);
        break;
    }
    return ziProcAnswer(w, e, r);
}

LRESULT CALLBACK AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ziWndProcCore(hwnd, msg, wParam, lParam, false);
}
