#include "zMenu.h"

#include "zFrameWin.h"

#include "zApp.h"
#include "zBitmap.h"
#include "ziNeighbours.h"

zPopupMenu* ___anyPopupMenu = nullptr;

namespace {

bool usable(zWindow* w) { return w && !(w->stateFlags & zWinHandleDestroyed) && w->hwnd && IsWindow(w->hwnd); }

}  // namespace

zMenu::zMenu() {
    devType(0x08);
    hmenu = CreatePopupMenu();
}

zMenu::zMenu(zWindow* w) : ownerWin(w) {
    devType(0x08);
    if (!w) return;
    hmenu = CreateMenu();
    if (w->hwnd) SetMenu(w->hwnd, hmenu);
}

zMenu::zMenu(zWindow* w, const zResId& id) : ownerWin(w) {
    devType(0x08);
    loadFromResource(id);
    if (w && w->hwnd && hmenu) SetMenu(w->hwnd, hmenu);
}

zMenu::zMenu(const zResId& id) {
    devType(0x08);
    loadFromResource(id);
}

zMenu::~zMenu() {
    // A menu deleted while its frame lives (from its own command, say) leaves the frame.
    if (usable(ownerWin))
        if (zFrameWin* f = dynamic_cast<zFrameWin*>(ownerWin))
            if (f->device == this) f->device = nullptr;
    if (hmenu) {
        // Only take our own menu off the window; another one stays where it is.
        if (usable(ownerWin) && GetMenu(ownerWin->hwnd) == hmenu) SetMenu(ownerWin->hwnd, 0);
        DestroyMenu(hmenu);
        hmenu = 0;
    }
}

HMENU zMenu::loadFromResource(const zResId& id) {
    HMODULE mod = _app ? _app->hInst : GetModuleHandleA(nullptr);
    HMODULE loaded = 0;
    if (const char* lib = ziResModuleName(id)) {
        loaded = LoadLibraryA(lib);
        if ((UINT_PTR)loaded < 32) return 0;
        mod = loaded;
    } else if (ziResModuleHandle(id)) {
        mod = ziResModuleHandle(id);
    }
    hmenu = LoadMenuA(mod, ziResName(id));
    if (loaded) FreeLibrary(loaded);
    return hmenu;
}

int zMenu::appendItem(unsigned id, const char* text, unsigned flags) {
    return AppendMenuA(hmenu, flags, id, text) != 0;
}

int zMenu::appendItem(unsigned id, HBITMAP bitmap) {
    return AppendMenuA(hmenu, MF_BITMAP, id, (LPCSTR)bitmap) != 0;
}

int zMenu::appendItem(unsigned id, zBitmap* bitmap) { return appendItem(id, (HBITMAP)bitmap->handle()); }

int zMenu::appendDropDown(zMenu* sub, zBitmap* bitmap) { return appendDropDown(sub, (HBITMAP)bitmap->handle()); }

int zMenu::insertDropDown(zMenu* sub, zBitmap* bitmap, unsigned position) {
    return insertDropDown(sub, (HBITMAP)bitmap->handle(), position);
}

int zMenu::addHbreak() { return AppendMenuA(hmenu, MF_SEPARATOR, 0, nullptr) != 0; }

int zMenu::addHbreak(unsigned id, const char* text) {
    addHbreak();
    return addStr(id, text);
}

int zMenu::addVbreak(unsigned id, const char* text) { return appendItem(id, text, MF_STRING | MF_MENUBARBREAK); }

int zMenu::appendDropDown(zMenu* sub, const char* text) {
    return AppendMenuA(hmenu, MF_POPUP | MF_STRING, (UINT_PTR)sub->hmenu, text) != 0;
}

int zMenu::appendDropDown(zMenu* sub, HBITMAP bitmap) {
    return AppendMenuA(hmenu, MF_POPUP | MF_BITMAP, (UINT_PTR)sub->hmenu, (LPCSTR)bitmap) != 0;
}

int zMenu::insertItem(unsigned id, unsigned position, const char* text, unsigned flags) {
    return InsertMenuA(hmenu, position, flags | MF_BYPOSITION, id, text) != 0;
}

int zMenu::insertItem(unsigned id, unsigned position, HBITMAP bitmap, unsigned flags) {
    return InsertMenuA(hmenu, position, flags | MF_BITMAP | MF_BYPOSITION, id, (LPCSTR)bitmap) != 0;
}

int zMenu::insertDropDown(zMenu* sub, const char* text, unsigned position) {
    return InsertMenuA(hmenu, position, MF_POPUP | MF_STRING | MF_BYPOSITION, (UINT_PTR)sub->hmenu, text) != 0;
}

int zMenu::insertDropDown(zMenu* sub, HBITMAP bitmap, unsigned position) {
    return InsertMenuA(hmenu, position, MF_POPUP | MF_BITMAP | MF_BYPOSITION, (UINT_PTR)sub->hmenu, (LPCSTR)bitmap) != 0;
}

int zMenu::deleteItem(unsigned id) { return DeleteMenu(hmenu, id, MF_BYCOMMAND) != 0; }

int zMenu::deleteDropDown(unsigned position) { return DeleteMenu(hmenu, position, MF_BYPOSITION) != 0; }

int zMenu::grayItem(unsigned id, int gray) {
    return EnableMenuItem(hmenu, id, MF_BYCOMMAND | (gray ? MF_GRAYED : MF_ENABLED)) != -1;
}

int zMenu::enableItem(unsigned id, int enable) {
    return EnableMenuItem(hmenu, id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_DISABLED)) != -1;
}

int zMenu::checkItem(unsigned id, int check) {
    return CheckMenuItem(hmenu, id, MF_BYCOMMAND | (check ? MF_CHECKED : MF_UNCHECKED)) != (DWORD)-1;
}

void zMenu::update() {
    if (usable(ownerWin)) DrawMenuBar(ownerWin->hwnd);
}

void zMenu::attachRecord(unsigned low, unsigned high, zEvH* t, NotifyProc f, UINT message) {
    attach(ownerWin, new zNotifyNode(low, high, f, t, message));
}

void zMenu::setCommand(zEvH* t, NotifyProc f, unsigned id) { attachRecord(id, id, t, f, WM_COMMAND); }
void zMenu::setCommand(zEvH* t, NotifyProc f, unsigned low, unsigned high) { attachRecord(low, high, t, f, WM_COMMAND); }
void zMenu::setCommand(zEvH* t, NotifyProc f) { attachRecord(0, 0xFFFF, t, f, WM_COMMAND); }
void zMenu::setHilite(zEvH* t, NotifyProc f, unsigned id) { attachRecord(id, id, t, f, WM_MENUSELECT); }
void zMenu::setHilite(zEvH* t, NotifyProc f, unsigned low, unsigned high) { attachRecord(low, high, t, f, WM_MENUSELECT); }
void zMenu::setHilite(zEvH* t, NotifyProc f) { attachRecord(0, 0xFFFF, t, f, WM_MENUSELECT); }
void zMenu::setSetup(zEvH* t, NotifyProc f, unsigned id) { attachRecord(id, id, t, f, WM_INITMENU); }
void zMenu::setSetup(zEvH* t, NotifyProc f, unsigned low, unsigned high) { attachRecord(low, high, t, f, WM_INITMENU); }
void zMenu::setSetup(zEvH* t, NotifyProc f) { attachRecord(0, 0xFFFF, t, f, WM_INITMENU); }

// The probe carries wParam 0, so only records whose range holds 0 match it; a record for a
// single id is found by its target and function instead.
namespace {
void removeRecord(zMenu* m, zEvH* t, NotifyProc f, UINT message) {
    if (!m->records) return;
    zEvent probe(m->ownerWin ? m->ownerWin->hwnd : 0, message, 0, 0);
    if (m->records->removeFirst(probe, t, f)) return;
    m->records->removeFirstIdent(message, t, f);
}
}  // namespace

void zMenu::removeCommand(zEvH* t, NotifyProc f) { removeRecord(this, t, f, WM_COMMAND); }
void zMenu::removeHilite(zEvH* t, NotifyProc f) { removeRecord(this, t, f, WM_MENUSELECT); }
void zMenu::removeSetup(zEvH* t, NotifyProc f) { removeRecord(this, t, f, WM_INITMENU); }

// ---- system menu ------------------------------------------------------------

zSystemMenu::zSystemMenu(zWindow* w) {
    ownerWin = w;
    hmenu = w && w->hwnd ? GetSystemMenu(w->hwnd, FALSE) : 0;
}

zSystemMenu::~zSystemMenu() {
    hmenu = 0;  // the window's own system menu is not ours to destroy
}

// ---- popup menu -------------------------------------------------------------

void zPopupMenu::place(const zPoint& at) {
    POINT p = {at.x, at.y};
    if (ownerWin && ownerWin->hwnd) ClientToScreen(ownerWin->hwnd, &p);
    x = p.x;
    y = p.y;
}

zPopupMenu::zPopupMenu(const zPoint& p, zWindow* w) : zMenu() {
    ownerWin = w;
    place(p);
}

zPopupMenu::zPopupMenu(const zPoint& p, zWindow* w, const zResId& id) {
    devType(0x08);
    ownerWin = w;
    place(p);
    loaded = loadFromResource(id);
    hmenu = loaded ? GetSubMenu(loaded, 0) : 0;
}

zPopupMenu::~zPopupMenu() {
    if (___anyPopupMenu == this) ___anyPopupMenu = nullptr;
    if (loaded) {
        DestroyMenu(loaded);  // its submenu goes with it
        loaded = 0;
        hmenu = 0;
    }
}

int zPopupMenu::go() {
    ___anyPopupMenu = this;
    return TrackPopupMenu(hmenu, TPM_RIGHTBUTTON, x, y, 0, ownerWin ? ownerWin->hwnd : 0, nullptr) != 0;
}

int zPopupMenu::go(const zPoint& p) {
    place(p);
    return go();
}
