#include "zControl.h"

#include <cstring>
#include <vector>

#include "zApp.h"
#include "zMenu.h"
#include "zNotify.h"
#include "zResId.h"
#include "zSizer.h"
#include "zString.h"
#include "zWindowMap.h"
#include "ziNeighbours.h"

namespace {

bool isClass(const std::string& name, const char* cls) { return _stricmp(name.c_str(), cls) == 0; }

HICON ziTakenIcon = nullptr;

bool windows4OrLater() { return (GetVersion() & 0xFF) >= 4; }

HINSTANCE appInstance() { return _app ? _app->hInst : GetModuleHandleA(nullptr); }

}  // namespace

// ---- zControl -------------------------------------------------------------

zControl::zControl(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zChildWin(parent, s, style ? style : WS_TABSTOP, id) {
    textColour = zColor::system(COLOR_BTNTEXT);
    textColourValue = textColour.raw();
    title = text ? text : "";
    className = "CtrlWindowCL";
    bgColor = zColorNoErase;
}

zControl::zControl(zWindow* parent, int id) : zChildWin() {
    textColour = zColor::system(COLOR_BTNTEXT);
    textColourValue = textColour.raw();
    className = "CtrlWindowCL";
    bgColor = zColorNoErase;
    childId = id;
    parentWin = parent;
    zWindow** node = parent ? parent->getNode(id) : nullptr;
    if (!node) {
        // No template object for that id: an empty control the parent still owns.
        if (parent) parent->addChild(this);
        return;
    }
    zWindow* prev = *node;
    *node = this;
    zControl* prevCtl = dynamic_cast<zControl*>(prev);

    // The sizer moves over whole: it already sits in the parent's sizer tree.
    sizer = prev->sizer;
    prev->sizer = nullptr;
    if (sizer) ziSizerOwn(sizer, this);
    hwnd = prev->hwnd;
    winStyle = prev->winStyle;
    className = prev->className;
    cursor = prev->cursor;
    title = prev->title;
    if (hwnd && IsWindow(hwnd)) {
        // The window may have been edited since it was built.
        int n = GetWindowTextLengthA(hwnd);
        std::vector<char> buf(n + 1, 0);
        GetWindowTextA(hwnd, buf.data(), n + 1);
        title = buf.data();
    }
    vScroll = prev->vScroll;
    hScroll = prev->hScroll;
    prev->vScroll = prev->hScroll = nullptr;
    if (vScroll) vScroll->ziReset(this);
    if (hScroll) hScroll->ziReset(this);
    if (prev->handlers && !prev->handlers->empty()) {
        handlers = prev->handlers;
        prev->handlers = nullptr;
    }
    if (prev->commands && !prev->commands->empty()) {
        commands = prev->commands;
        prev->commands = nullptr;
    }
    font = prev->font;
    stateFlags = prev->stateFlags & ~(zWinOwnsFont | zWinDeleteOnDestroy);
    routing = prev->routing;
    ctlKindFlags = prev->ctlKindFlags;
    bgColor = prev->bgColor;
    if (prevCtl) {
        textColour = prevCtl->textColour;
        textColourValue = prevCtl->textColourValue;
        classProc = prevCtl->classProc;
        bgBrush = prevCtl->bgBrush;
        prevCtl->bgBrush = 0;
    }
    // The derived take-over constructor picks it up; this object is not typed yet.
    ziTakenIcon = nullptr;
    if (auto* st = dynamic_cast<zStaticText*>(prev)) ziTakenIcon = st->icon;
    prev->parentWin = nullptr;

    if (prevCtl && prevCtl->kind == zCtlGeneric) {
        // The generic object keeps the window; this one rides on it.
        zGenericControl* g = static_cast<zGenericControl*>(prevCtl);
        kind = zCtlGeneric;
        stateFlags |= zWinDeleteOnDestroy;
        g->shadow(this);
        shadowed = g;
        return;
    }
    kind = prevCtl ? prevCtl->kind : zCtlPlain;
    prev->hwnd = 0;
    if (IsWindow(hwnd)) ziMapWindow(hwnd, this);
    delete prev;
}

zControl::~zControl() {
    if (shadowed) {
        // The window belongs to the generic object; neither of us destroys it.
        zGenericControl* g = shadowed;
        shadowed = nullptr;
        g->stateFlags |= zWinHandleDestroyed;
        g->stateFlags &= ~zWinDeleteOnDestroy;
        g->shadowCtl = nullptr;
        stateFlags |= zWinHandleDestroyed;
        delete g;
    }
    if (bgBrush) DeleteObject(bgBrush);
    bgBrush = 0;
    zWindow* mapped = ziMappedWindow(hwnd);
    if (mapped && mapped != this && !shadowed) {
        if (zGenericControl* g = dynamic_cast<zGenericControl*>(mapped)) {
            if (g->shadowCtl == this) g->shadowCtl = nullptr;
        } else {
            mapped->stateFlags |= zWinHandleDestroyed;
            mapped->stateFlags &= ~zWinDeleteOnDestroy;
            if (mapped->parentWin) mapped->parentWin->removeChild(mapped);
            mapped->parentWin = nullptr;
            delete mapped;
        }
    }
}

void zControl::subclass() {
    ziMapWindow(hwnd, this);
    classProc = (WNDPROC)GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)CtrlWndProc);
}

int zControl::create() {
    winStyle &= ~WS_CLIPSIBLINGS;
    int x, y, w, h;
    if (!ziSizerGet(sizer, x, y, w, h) || x == zSizerUnset) x = y = w = h = 0;
    DWORD ex = 0;
    if (windows4OrLater()) {
        if (isClass(className, "combobox") || isClass(className, "listbox")) ex = WS_EX_CLIENTEDGE;
        else if (isClass(className, "edit") && w > h) ex = WS_EX_CLIENTEDGE;
    }
    hwnd = CreateWindowExA(ex, className.c_str(), title.data(), winStyle, x, y, w, h,
                           parentWin ? parentWin->hwnd : 0, (HMENU)(INT_PTR)childId, appInstance(), nullptr);
    if (!hwnd) return 0;
    subclass();
    if (parentWin && parentWin->font) setFont(parentWin->font, 0);
    return 1;
}

int zControl::show(int cmd) {
    if (stateFlags & zWinShownOnce) return showSet(cmd);
    stateFlags |= zWinShownOnce;
    RECT r = {0, 0, 0, 0};
    if (parentWin && parentWin->hwnd) GetClientRect(parentWin->hwnd, &r);
    zSizeEvt e;
    e.hwnd = hwnd;
    e.msg = WM_SIZE;
    e.wParm = SIZE_RESTORED;
    e.lParm = MAKELONG(r.right - r.left, r.bottom - r.top);
    if (sizer) sizer->resize(this, &e);
    if (parentWin && parentWin->sizer && (parentWin->stateFlags & zWinShownOnce)) {
        parentWin->sizer->update(nullptr);
        if (sizer && sizer->gravity() == zGravAbsolute) sizer->update(nullptr);
    } else if (sizer) {
        sizer->update(nullptr);
    }
    if (hwnd) {
        ShowWindow(hwnd, cmd);
        UpdateWindow(hwnd);
    }
    if (cmd) winStyle |= WS_VISIBLE;
    return 1;
}

ZKCString zControl::text() const {
    if (!hwnd) return title;
    int n = GetWindowTextLengthA(hwnd);
    std::vector<char> buf(n + 1, 0);
    GetWindowTextA(hwnd, buf.data(), n + 1);
    return ZKCString(buf.data());
}

void zControl::text(const char* s) {
    title = s ? s : "";
    if (hwnd) SetWindowTextA(hwnd, title.data());
}

void zControl::text(const zString& s) { text(s.data()); }

zColor zControl::textColor(const zColor& c) {
    zColor old = textColour;
    textColour = c;
    textColourValue = c.raw();
    return old;
}

void zControl::ziBackgroundColor(const zColor& c) {
    ziBackgroundColorValue(c.raw());
    if (bgBrush) DeleteObject(bgBrush);
    bgBrush = 0;
    unsigned long v = bgColor;
    if (v == zColorParent && parentWin) v = parentWin->bgColor;
    if (v != zColorNoErase && v != zColorParent) bgBrush = CreateSolidBrush(ziColorRef(v));
}

bool zControl::ziControlColors(unsigned long*& text, HBRUSH*& brush) {
    textColourValue = textColour.raw();
    text = &textColourValue;
    if (!bgBrush && bgColor != zColorNoErase) {
        // The brush comes with the first colour request.
        unsigned long v = bgColor;
        if (v == zColorParent && parentWin) v = parentWin->bgColor;
        if (v != zColorParent && v != zColorNoErase) bgBrush = CreateSolidBrush(ziColorRef(v));
    }
    brush = &bgBrush;
    return true;
}

LRESULT zControl::ziOwnColorAnswer(zEvent* e) {
    HDC dc = (HDC)e->wParm;
    unsigned long colour = ziOwnAnswerColor();
    if (colour != zColorNoErase) {
        if (colour == zColorParent) colour = parentWin ? parentWin->bgColor : 0;
        SetTextColor(dc, ziColorRef(textColour.raw()));
        SetBkColor(dc, ziColorRef(colour));
        if (__zAppGlobalBrush) DeleteObject(__zAppGlobalBrush);
        __zAppGlobalBrush = CreateSolidBrush(ziColorRef(colour));
        return (LRESULT)__zAppGlobalBrush;
    }
    SetTextColor(dc, ziColorRef(textColour.raw()));
    if (!bgBrush) ziBackgroundColor(zColor::fromRaw(GetBkColor(dc)));
    SetBkColor(dc, ziColorRef(bgColor));
    return (LRESULT)bgBrush;
}

int zControl::callClassProc(zEvent* e) {
    if (!classProc) return (int)DefWindowProcA(e->hwnd, e->msg, e->wParm, e->lParm);
    return (int)CallWindowProcA(classProc, e->hwnd, e->msg, e->wParm, e->lParm);
}

// ---- zStaticText ----------------------------------------------------------

zStaticText::zStaticText(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zControl(parent, s, ((style ? style : WS_TABSTOP) | WS_CHILD | WS_VISIBLE) & ~WS_TABSTOP, text, id) {
    winStyle &= ~WS_TABSTOP;
    kind = zCtlStatic;
    className = "static";
    if (parent) bgColor = parent->bgColor;
    if ((style & 0xFF) == SS_ICON && text && *text) {
        HMODULE mod = appInstance();
        HMODULE loaded = 0;
        if (_app && _app->defaultResourceModule()) {
            loaded = LoadLibraryA(_app->defaultResourceModule());
            if ((UINT_PTR)loaded >= 32) mod = loaded;
            else loaded = 0;
        }
        // "#123" names a numbered icon, as in a template.
        LPCSTR name = text[0] == '#' ? MAKEINTRESOURCEA(atoi(text + 1)) : text;
        HICON h = LoadIconA(mod, name);
        if ((UINT_PTR)h >= 32) icon = h;
        if (loaded) FreeLibrary(loaded);
        if (sizer) ziSizerSetDim(sizer, 32, 32);
    }
    create();
}

zStaticText::zStaticText(zWindow* parent, int id) : zControl(parent, id) {
    winStyle &= ~WS_TABSTOP;
    icon = ziTakenIcon;
    ziTakenIcon = nullptr;
}

int zStaticText::dispatch(zEvent* e) {
    if (e->msg == WM_PAINT && icon) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(e->hwnd, &ps);
        DrawIcon(dc, 0, 0, icon);
        EndPaint(e->hwnd, &ps);
        return 1;
    }
    return callClassProc(e);
}

// ---- zGenericControl ------------------------------------------------------

zGenericControl::zGenericControl(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id,
                                 const char* cls, LPVOID param)
    : zControl(parent, s, style, text, id), createParam(param) {
    kind = zCtlGeneric;
    if (cls) className = cls;
    create();
}

zGenericControl::~zGenericControl() {
    stateFlags &= ~zWinDeleteOnDestroy;
    while (!children.empty()) {
        zWindow* c = children.back();
        children.pop_back();
        c->parentWin = nullptr;
        delete c;
    }
    if (hwnd && !(stateFlags & zWinHandleDestroyed) && IsWindow(hwnd)) {
        HWND h = hwnd;
        DestroyWindow(h);
        ziUnmapWindow(h, this);
    }
}

int zGenericControl::create() {
    superRec = zSuperClass::lookup(ZKCString(className.c_str()));
    if (!superRec) return 0;
    className = superRec->className().data();
    int x, y, w, h;
    if (!ziSizerGet(sizer, x, y, w, h) || x == zSizerUnset) x = y = w = h = 0;
    hwnd = CreateWindowExA(0, className.c_str(), title.data(), winStyle, x, y, w, h,
                           parentWin ? parentWin->hwnd : 0, (HMENU)(INT_PTR)childId, appInstance(), createParam);
    if (!hwnd) return 0;
    ziMapWindow(hwnd, this);
    WNDPROC own = (WNDPROC)GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    classProc = own;
    superRec->curProc(own);
    // The record's procedure, or ours when the record brings none.
    WNDPROC installed = superRec->newProc() ? superRec->newProc() : CtrlWndProc;
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)installed);
    if (parentWin && parentWin->font) setFont(parentWin->font, 0);
    return 1;
}

int zGenericControl::dispatch(zEvent* e) {
    WNDPROC p = superRec ? superRec->curProc() : nullptr;
    if (p && p != CtrlWndProc) return (int)CallWindowProcA(p, e->hwnd, e->msg, e->wParm, e->lParm);
    return (int)DefWindowProcA(e->hwnd, e->msg, e->wParm, e->lParm);
}

// ---- the control window procedure ------------------------------------------

LRESULT CALLBACK CtrlWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    zWindow* w = ziMappedWindow(hwnd);
    if (!w) return 0;
    zEvent ev(hwnd, msg, wParam, lParam);
    zEvent* e = &ev;
    LRESULT r = 0;
    switch (msg) {
    case WM_DESTROY:
        break;
    case WM_MOVE:
    case WM_ACTIVATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_CLOSE:
    case WM_ERASEBKGND:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        if (ziCommonMessage(hwnd, w, e, r)) return r;
        break;
    case WM_SIZE:
        if (ziCommonMessage(hwnd, w, e, r)) return r;
        InvalidateRect(hwnd, nullptr, TRUE);
        break;
    case WM_NCDESTROY: {
        zControl* c = dynamic_cast<zControl*>(w);
        WNDPROC proc = c ? c->classProc : nullptr;
        ziNcDestroy(w, hwnd);
        return proc ? CallWindowProcA(proc, hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_CHAR:
    case WM_SYSCHAR:
        if (zChildWin* cw = dynamic_cast<zChildWin*>(w)) r = cw->ch(static_cast<zKeyEvt*>(e));
        if (!r) r = doHandler(e, w);
        break;
    case WM_COMMAND:
        r = doCommandHandler(e, w);
        if (!r) r = w->command(static_cast<zCommandEvt*>(e));
        break;
    case WM_INITMENU:
    case WM_MENUSELECT:
        if (___anyPopupMenu) r = ___anyPopupMenu->dispatchEvt(e);
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (zControl* c = dynamic_cast<zControl*>(w)) return c->ziOwnColorAnswer(e);
        break;
    case zMsgScrollRange:
        if (w->ctlKindFlags & zCtlFlagScrollBar) return ziSetScrollRange(hwnd, wParam, lParam);
        r = doHandler(e, w);
        break;
    default:
        r = doHandler(e, w);
        break;
    }
    return ziProcAnswer(w, e, r);
}
