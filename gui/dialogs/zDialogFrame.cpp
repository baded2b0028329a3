#include "zDialogFrame.h"

#include <cstdio>
#include <cstring>
#include <list>

#include "zApp.h"
#include "zControl.h"
#include "zDlgTemplate.h"
#include "zFont.h"
#include "zMenu.h"
#include "zNotify.h"
#include "zResId.h"
#include "zSizer.h"
#include "zTimer.h"
#include "zWindowMap.h"
#include "ziNeighbours.h"

zDialogFrameStack* _dfs = nullptr;

std::mutex& ziDialogListLock() {
    static std::mutex lock;
    return lock;
}

bool zDialogFrameStack::remove(zDialogFrame* frame) {
    bool found = false;
    zSlist rest;
    while (entries() > 0) {
        zDialogFrame* f = static_cast<zDialogFrame*>(remHead());
        if (f == frame) found = true;
        else rest.atTail(f);
    }
    while (rest.entries() > 0) atTail(rest.remHead());
    return found;
}

namespace {

HCURSOR helpCursor = 0;

// Classes of destroyed frames: unregistered as soon as the system lets go of them.
std::list<std::string>& pendingClasses() {
    static std::list<std::string> names;
    return names;
}

bool isTabStop(zWindow* c) {
    if (!c->hwnd || !IsWindow(c->hwnd)) return false;
    return IsWindowEnabled(c->hwnd) && (GetWindowLongA(c->hwnd, GWL_STYLE) & WS_TABSTOP);
}

void focusFirst(zWindow* w) {
    for (zWindow* c : w->children)
        if (isTabStop(c)) {
            SetFocus(c->hwnd);
            return;
        }
    if (!w->children.empty() && w->children.front()->hwnd) SetFocus(w->children.front()->hwnd);
}

void enableIfAlive(zWindow* w) {
    if (w && w->hwnd && IsWindow(w->hwnd)) EnableWindow(w->hwnd, TRUE);
}

void disableIfAlive(zWindow* w) {
    if (w && w->hwnd && IsWindow(w->hwnd)) EnableWindow(w->hwnd, FALSE);
}

// By handle: a frame of another thread may be gone by the time it is enabled.
void enableIfAlive(HWND h, BOOL on) {
    if (h && IsWindow(h)) EnableWindow(h, on);
}

bool className20(HWND h, const char* name) {
    char buf[21] = {0};
    GetClassNameA(h, buf, sizeof buf);
    return _stricmp(buf, name) == 0;
}

}  // namespace

int ziFlushDialogClasses() {
    HINSTANCE inst = _app ? _app->hInst : GetModuleHandleA(nullptr);
    std::lock_guard<std::mutex> hold(ziDialogListLock());
    auto& names = pendingClasses();
    for (auto it = names.begin(); it != names.end();) {
        WNDCLASSA wc;
        if (!GetClassInfoA(inst, it->c_str(), &wc) || UnregisterClassA(it->c_str(), inst)) it = names.erase(it);
        else ++it;
    }
    return (int)names.size();
}

void ziTrimSystemMenu(HMENU sys, unsigned long style) {
    if (!(style & WS_THICKFRAME)) DeleteMenu(sys, SC_SIZE, MF_BYCOMMAND);
    if (!(style & WS_MINIMIZEBOX)) DeleteMenu(sys, SC_MINIMIZE, MF_BYCOMMAND);
    if (!(style & WS_MAXIMIZEBOX)) DeleteMenu(sys, SC_MAXIMIZE, MF_BYCOMMAND);
    if (!(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) DeleteMenu(sys, SC_RESTORE, MF_BYCOMMAND);
    DeleteMenu(sys, SC_TASKLIST, MF_BYCOMMAND);
    int kept = 0;
    for (UINT cmd : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE})
        if (GetMenuState(sys, cmd, MF_BYCOMMAND) != (UINT)-1) ++kept;
    // The separators around Close; one after the other, so the second position is
    // counted after the first removal. Menus laid out otherwise keep their items.
    for (int pos : {kept + 1, kept + 2}) {
        UINT state = GetMenuState(sys, (UINT)pos, MF_BYPOSITION);
        if (state != (UINT)-1 && (state & MF_SEPARATOR)) RemoveMenu(sys, (UINT)pos, MF_BYPOSITION);
    }
}

// ---- zDialogFrame -----------------------------------------------------------------

void zDialogFrame::dialogInit() {
    className = "DialogFrameCL";
    bgColor = GetSysColor((GetVersion() & 0xFF) < 4 ? COLOR_WINDOW : COLOR_BTNFACE);
}

zDialogFrame::zDialogFrame(zWindow* parent, const zResId& res, unsigned long style, int defer)
    : zFrameWin(parent, new zSizer(), 0, nullptr) {
    dialogInit();
    childId = res.number();
    reader = new ziDialogReader(this, res);
    unsigned long st = 0;
    if (reader->status == 0) {
        st = reader->style;
        title = reader->title;
        if (reader->fontFromTemplate()) setFont(reader->takeFont(), 0);
        reader->setSize(sizer);
    }
    if (style) st = (style & 0xFFFF0000UL) | (st & 0xFFFF);
    winStyle = st;
    if (!defer) create();
}

zDialogFrame::zDialogFrame(zWindow* parent, zSizer* s, unsigned long style, const char* text, int defer)
    : zFrameWin(parent, s ? s : new zSizer(), style, text) {
    dialogInit();
    if (!defer) create();
}

zDialogFrame::~zDialogFrame() {
    delete reader;
    reader = nullptr;
    {
        // Deleted inside its modal loop: the stack must not keep a dead frame.
        std::lock_guard<std::mutex> hold(ziDialogListLock());
        if (_dfs) _dfs->remove(this);
    }
    if (_activeDialog && _activeDialog == hwnd) _activeDialog = 0;
    if (hwnd && !(stateFlags & zWinHandleDestroyed) && IsWindow(hwnd)) {
        // Gone before the class can go; the object is being deleted already.
        stateFlags &= ~zWinDeleteOnDestroy;
        while (!children.empty()) {
            zWindow* c = children.back();
            children.pop_back();
            c->parentWin = nullptr;
            delete c;
        }
        DestroyWindow(hwnd);
    }
    ziForgetClass();
    ziFlushDialogClasses();
}

void zDialogFrame::ziForgetClass() {
    if (ownClass_.empty()) return;
    std::lock_guard<std::mutex> hold(ziDialogListLock());
    pendingClasses().push_back(ownClass_);
    ownClass_.clear();
}

WNDCLASSA* zDialogFrame::registerHook() {
    WNDCLASSA* wc = new WNDCLASSA;
    memset(wc, 0, sizeof *wc);
    wc->style = 0;
    wc->lpfnWndProc = DialogFrameProc;
    wc->hInstance = _app ? _app->hInst : GetModuleHandleA(nullptr);
    wc->hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc->lpszClassName = "DialogFrameCL";
    return wc;
}

int zDialogFrame::create() {
    ziFlushDialogClasses();
    // 1. Outer size from the client size the template gives.
    int x, y, w, h;
    ziSizerGet(sizer, x, y, w, h);
    if (w == zSizerUnset || w == (int)CW_USEDEFAULT) w = 200;
    if (h == zSizerUnset || h == (int)CW_USEDEFAULT) h = 150;
    if (x == zSizerUnset) x = (int)CW_USEDEFAULT;
    if (y == zSizerUnset) y = (int)CW_USEDEFAULT;
    if ((winStyle & WS_CAPTION) == WS_CAPTION) h += GetSystemMetrics(SM_CYCAPTION);
    if (winStyle & DS_MODALFRAME) {
        h += 2 * GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYBORDER);
        w += 2 * GetSystemMetrics(SM_CXDLGFRAME) + 2 * GetSystemMetrics(SM_CXBORDER);
    } else if (winStyle & WS_DLGFRAME) {
        h += GetSystemMetrics(SM_CYDLGFRAME);
        w += GetSystemMetrics(SM_CXDLGFRAME);
    } else if (winStyle & WS_THICKFRAME) {
        h += GetSystemMetrics(SM_CYFRAME);
        w += GetSystemMetrics(SM_CXFRAME);
    } else {
        h += GetSystemMetrics(SM_CYBORDER);
        w += GetSystemMetrics(SM_CXBORDER);
    }
    if ((reader && reader->status == 0 && reader->hasMenu) || device) h += GetSystemMetrics(SM_CYMENU);
    if (sizer) sizer->dimension(zDimension(w, h));

    // 2. A class of its own, unregistered again when the window is gone.
    WNDCLASSA* wc = registerHook();
    char suffix[24];
    snprintf(suffix, sizeof suffix, "%llu", (unsigned long long)(ULONG_PTR)this);
    className = std::string("DialogFrameCL") + suffix;
    wc->lpszClassName = className.c_str();
    if (!wc->lpfnWndProc) wc->lpfnWndProc = DialogFrameProc;
    if (ownClass_ != className) {
        if (RegisterClassA(wc)) ownClass_ = className;
    }
    delete wc;

    // 3. Extended style.
    DWORD ex = 0;
    if (winStyle & DS_MODALFRAME) ex |= WS_EX_DLGMODALFRAME;
    if (winStyle & DS_CONTEXTHELP) {
        ex |= WS_EX_CONTEXTHELP;
        if (!helpCursor) helpCursor = LoadCursorA(0, MAKEINTRESOURCEA(32651));
    }
    if (winStyle & DS_3DLOOK) ex |= WS_EX_CLIENTEDGE;
    if (winStyle & WS_CHILD) winStyle = (winStyle & ~WS_CHILD) | WS_POPUP;

    // 4. The window.
    HWND owner = parentWin && parentWin->hwnd && IsWindow(parentWin->hwnd) ? parentWin->hwnd : 0;
    hwnd = CreateWindowExA(ex, className.c_str(), nullptr, winStyle, x, y, w, h, owner, 0,
                           _app ? _app->hInst : GetModuleHandleA(nullptr), nullptr);
    ziMapWindow(hwnd, this);
    if (hwnd) caption(title.data());

    // 5. System menu without what this frame cannot do.
    if (hwnd && (winStyle & WS_SYSMENU) && (winStyle & 0x00CF0000UL) != 0x00CF0000UL && parentWin &&
        parentWin != this) {
        if (HMENU sys = GetSystemMenu(hwnd, FALSE)) ziTrimSystemMenu(sys, winStyle);
    }

    // 6. Children and menu.
    if (reader && reader->status == 0) {
        if (hwnd) reader->createChildren();
        defButtonId = reader->defButton;
        if (reader->hasMenu && hwnd) {
            zMenu* m = new zMenu(this, reader->menuRes);
            menu(m);
        }
    }
    delete reader;
    reader = nullptr;

    // 7. Focus.
    if (hwnd) focusFirst(this);

    // 8. Position as the sizer keeps it.
    if (hwnd) {
        RECT r;
        GetWindowRect(hwnd, &r);
        int px = r.left, py = r.top;
        if (owner && !(winStyle & WS_POPUP)) {
            RECT o;
            GetWindowRect(owner, &o);
            px -= o.left;
            py -= o.top;
        }
        if (sizer) {
            sizer->pos(zPoint(px, py));
            sizer->dimension(zDimension(r.right - r.left, r.bottom - r.top));
        }
    }

    // 9. The owner's font when the template brought none.
    if (!font && parentWin && parentWin->font) setFont(parentWin->font, 0);
    return hwnd != 0;
}

int zDialogFrame::show(int cmd) {
    if (stateFlags & zWinShownOnce) return showSet(cmd);
    init();
    stateFlags |= zWinShownOnce;
    _activeDialog = hwnd;
    caption(title.data());
    if (hwnd) {
        ShowWindow(hwnd, cmd);
        if (cmd == SW_SHOWNORMAL) SetForegroundWindow(hwnd);
        UpdateWindow(hwnd);
    }
    if (cmd) winStyle |= WS_VISIBLE;
    return 1;
}

int zDialogFrame::focus(zFocusEvt* e) {
    if (e->msg == WM_SETFOCUS) focusFirst(this);
    return 1;
}

int zDialogFrame::activate(zActivateEvt* e) {
    bool active = e->msg == WM_MDIACTIVATE ? (HWND)e->lParm == hwnd : LOWORD(e->wParm) != 0;
    if (!active) {
        HWND f = GetFocus();
        savedFocus = f && IsChild(hwnd, f) ? f : 0;
    } else if (savedFocus) {
        if (IsWindow(savedFocus)) SetFocus(savedFocus);
        savedFocus = 0;
    }
    return 1;
}

void zDialogFrame::go() {
    if (_app) _app->go();
}

int zDialogFrame::modal(zModalStyle) {
    // Remembered before the dialog takes the focus, so that it can go back there.
    HWND before = GetFocus();
    if (hwnd) SetFocus(hwnd);
    HWND outer = 0;
    {
        std::lock_guard<std::mutex> hold(ziDialogListLock());
        if (!_dfs) _dfs = new zDialogFrameStack;
        else if (_dfs->entries() > 0) outer = _dfs->headFrame()->hwnd;
        _dfs->atHead(this);
    }
    enableIfAlive(outer, FALSE);
    modalFlag = 1;
    zWindow* mainWin = _app ? _app->mainFrame : nullptr;
    if (parentWin != this) disableIfAlive(parentWin);
    if (mainWin && mainWin != parentWin && mainWin != this) disableIfAlive(mainWin);
    if (_app) _app->mdiKeysOff = 1;
    go();
    if (_app) _app->mdiKeysOff = 0;
    if (before && IsWindow(before) && before != hwnd && !(hwnd && IsChild(hwnd, before))) SetFocus(before);
    else if (mainWin && mainWin->hwnd && IsWindow(mainWin->hwnd)) SetFocus(mainWin->hwnd);
    modalFlag = 0;
    return 1;
}

void zDialogFrame::shutdown() {
    if (modalFlag) {
        zWindow* mainWin = _app ? _app->mainFrame : nullptr;
        bool ownerTurn = true;
        HWND next = 0;
        {
            std::lock_guard<std::mutex> hold(ziDialogListLock());
            // A frame that is not innermost (another thread's dialog opened
            // over it) leaves the one over it as it is.
            bool wasHead = _dfs && _dfs->headFrame() == this;
            bool removed = _dfs && _dfs->remove(this);
            if (_dfs && _dfs->entries() > 0 && _dfs->headFrame()->hwnd && IsWindow(_dfs->headFrame()->hwnd)) {
                if (wasHead || !removed) next = _dfs->headFrame()->hwnd;
                ownerTurn = false;
            }
        }
        enableIfAlive(next, TRUE);
        if (ownerTurn) {
            if (parentWin != this) enableIfAlive(parentWin);
            if (mainWin && mainWin != parentWin && mainWin != this) enableIfAlive(mainWin);
        }
    }
    if (hwnd) {
        ShowWindow(hwnd, SW_HIDE);
        UpdateWindow(hwnd);
    }
    if (_activeDialog == hwnd) _activeDialog = 0;
    if (modalFlag) PostQuitMessage(0);
    if (stateFlags & zWinDeleteOnDestroy) {
        if (hwnd) PostMessageA(hwnd, zMsgDeferredDelete, 0, 0);
    } else if (_app && _app->mainFrame == this) {
        _app->quit();
    }
}

void zDialogFrame::ziNextControl(WPARAM wParam, LPARAM lParam) {
    if (lParam) {
        SetFocus((HWND)wParam);
        return;
    }
    HWND f = GetFocus();
    // A combo box's edit field stands for the combo box.
    while (f && GetParent(f) && GetParent(f) != hwnd) f = GetParent(f);
    zWindow* cur = nullptr;
    for (zWindow* c : children)
        if (c->hwnd == f) cur = c;
    if (wParam) {
        size_t at = children.size();
        for (size_t i = 0; i < children.size(); ++i)
            if (children[i] == cur) at = i;
        zWindow* last = nullptr;
        if (at == 0 || at == children.size()) {
            // From the first control (or from outside) the focus wraps to the last.
            for (zWindow* c : children)
                if (isTabStop(c)) last = c;
        } else {
            for (size_t i = 1; i < at; ++i)
                if (isTabStop(children[i])) last = children[i];
        }
        if (!last && !children.empty()) last = children.front();
        if (last && last->hwnd) SetFocus(last->hwnd);
        return;
    }
    if (!cur) return;
    bool after = false;
    for (zWindow* c : children) {
        if (after && isTabStop(c)) {
            SetFocus(c->hwnd);
            return;
        }
        if (c == cur) after = true;
    }
    for (zWindow* c : children)
        if (isTabStop(c)) {
            SetFocus(c->hwnd);
            return;
        }
}

// ---- the frame's window procedure ----------------------------------------------------

namespace {

void closeOpenComboList(zWindow* w) {
    HWND f = GetFocus();
    if (!f || !IsChild(w->hwnd, f)) return;
    if (className20(f, "ComboBox")) {
        SendMessageA(f, CB_SHOWDROPDOWN, FALSE, 0);
        return;
    }
    HWND p = GetParent(f);
    if (className20(f, "Edit") && p && p != w->hwnd && IsChild(w->hwnd, p) && className20(p, "ComboBox"))
        SendMessageA(p, CB_SHOWDROPDOWN, FALSE, 0);
}

}  // namespace

LRESULT CALLBACK DialogFrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    zWindow* w = ziMappedWindow(hwnd);
    if (!w) return DefWindowProcA(hwnd, msg, wParam, lParam);
    zDialogFrame* d = dynamic_cast<zDialogFrame*>(w);
    zEvent ev(hwnd, msg, wParam, lParam);
    zEvent* e = &ev;
    LRESULT r = 0;
    switch (msg) {
    case WM_DESTROY:
        if (_app && w == _app->mainFrame) {
            if (_app->taskDev) _app->taskDev->enable(0);
            PostQuitMessage(0);
            return 1;
        }
        break;
    case WM_MOVE:
    case WM_SIZE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ERASEBKGND:
    case WM_SETCURSOR:
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
        if (ziCommonMessage(hwnd, w, e, r)) return r;
        break;
    case WM_ACTIVATE:
        _activeDialog = LOWORD(wParam) != WA_INACTIVE ? hwnd : 0;
        if (ziCommonMessage(hwnd, w, e, r)) return r;
        break;
    case WM_CLOSE:
        if (ziCommonMessage(hwnd, w, e, r)) return r;
        if (!r && d && d->isModal()) {
            d->shutdown();
            return 0;
        }
        break;
    case WM_NEXTDLGCTL:
        if (d) d->ziNextControl(wParam, lParam);
        return 1;
    case WM_NCDESTROY:
        w->stateFlags |= zWinHandleDestroyed;
        if (_app && _app->winMap) _app->winMap->remove(hwnd);
        if (_activeDialog == hwnd) _activeDialog = 0;
        if (d) d->ziForgetClass();
        DefWindowProcA(hwnd, msg, wParam, lParam);
        if (w->stateFlags & zWinDeleteOnDestroy) delete w;
        return 0;
    case WM_COMMAND:
        if (ziOfferMenus(w, e, true) || doCommandHandler(e, w)) return 1;
        if (ziMappedWindow(hwnd) != w) return 0;
        r = w->command(static_cast<zCommandEvt*>(e));
        break;
    case WM_INITMENU:
    case WM_MENUSELECT:
        if (ziOfferMenus(w, e, true)) return 1;
        r = doHandler(e, w);
        break;
    case WM_MOUSEMOVE:
        if (GetCursor() != helpCursor && w->cursor.handle) SetCursor(w->cursor.handle);
        if (w->routing & zRouteMouseMove) r = doHandler(e, w);
        break;
    case WM_NCLBUTTONDOWN:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        r = doHandler(e, w);
        if (!r) r = w->mouseButtonDown(static_cast<zMouseClickEvt*>(e));
        if (!r && (msg == WM_LBUTTONDOWN || msg == WM_NCLBUTTONDOWN)) closeOpenComboList(w);
        break;
    case DM_GETDEFID:
        if (d && d->defButtonId != 0xFFFF) return MAKELONG(d->defButtonId, DC_HASDEFID);
        return 0;
    case DM_SETDEFID:
        if (d) d->defButtonId = (int)wParam;
        return 1;
    case zMsgPressDefault:
        if (wParam == zPressDefaultMark && lParam == zPressDefaultMark && d) {
            if (d->defButtonId != 0xFFFF) {
                zWindow* b = d->get(d->defButtonId);
                SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(d->defButtonId, BN_CLICKED), (LPARAM)(b ? b->hwnd : 0));
            } else {
                SendMessageA(hwnd, WM_COMMAND, IDOK, 0);
            }
            return 1;
        }
        r = doHandler(e, w);
        break;
    case zMsgDeferredDelete:
        delete w;
        return 0;
    default:
        r = doHandler(e, w);
        break;
    }
    return ziProcAnswer(w, e, r);
}

// ---- zFormDialog -------------------------------------------------------------------------

zFormDialog::zFormDialog(zWindow* parent, const zResId& res, unsigned long style) : zDialogFrame(parent, res, style, 0) {
    kindFlags |= zKindFormDialog;
    if (zChildWin* ok = dynamic_cast<zChildWin*>(get(IDOK))) ok->setCommand(this, zHandlerOf(&zFormDialog::endOk));
    if (zChildWin* cancel = dynamic_cast<zChildWin*>(get(IDCANCEL)))
        cancel->setCommand(this, zHandlerOf(&zFormDialog::endCancel));
}

int zFormDialog::storeData() {
    stored = zDialogFrame::storeData();
    return stored;
}

int zFormDialog::setControlsToDefault() {
    ziEachChild(this, [](zWindow* c) {
        if (zChildWin* cw = dynamic_cast<zChildWin*>(c)) cw->setToDefault();
        return true;
    });
    return 1;
}

int zFormDialog::endOk(zEvent*) {
    if (storeData()) shutdown();
    return 0;
}

int zFormDialog::endCancel(zEvent*) {
    stored = 0;
    shutdown();
    return 0;
}
