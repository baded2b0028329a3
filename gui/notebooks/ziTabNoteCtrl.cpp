#include "ziTabNoteCtrl.h"

#include <algorithm>

#include "zButton.h"
#include "zDlgTemplate.h"
#include "zNotify.h"

ziTabNoteCtrl::ziTabNoteCtrl(ziPageHost* h, zWindow* dialog, zSizer* s, unsigned long style, int wiz)
    : zTabCtrl(dialog, s, style | 0x10400, nullptr, 0), host(h), wizard(wiz), dialogWin(dialog) {
    setHandler(this, zHandlerOf(&ziTabNoteCtrl::ziKeyDown), WM_KEYDOWN);
    setHandler(this, zHandlerOf(&ziTabNoteCtrl::ziKeyDown), WM_SYSKEYDOWN);
}

ziTabNoteCtrl::~ziTabNoteCtrl() {
    removeHandler(this, zHandlerOf(&ziTabNoteCtrl::ziKeyDown), WM_KEYDOWN);
    removeHandler(this, zHandlerOf(&ziTabNoteCtrl::ziKeyDown), WM_SYSKEYDOWN);
    for (zPageDef* d : defs) delete d;
    defs.clear();
    firstDef = currentDef = nullptr;
}

zPageDef* ziTabNoteCtrl::add(zPageDef* def, zTab* tab) {
    if (!def) return def;
    defs.push_back(def);
    ++added;
    // A definition made before any main frame has only loaded its resource: the
    // caption for the tab is read here.
    if (def->reader && !def->decoded()) def->reader->decodeHeader(this);
    if (!tab) {
        tab = new zTab(this, def->tabId);
        ownTab(tab);
        if (def->decoded() && def->caption()[0]) tab->setText(def->caption());
    }
    appendTab(tab);
    if (!firstDef) {
        firstDef = def;
        if ((stateFlags & zWinShownOnce) && dialogWin && (dialogWin->stateFlags & zWinShownOnce)) select(def);
    }
    return def;
}

void ziTabNoteCtrl::remove(zPageDef* def) {
    auto it = std::find(defs.begin(), defs.end(), def);
    if (it == defs.end()) return;
    defs.erase(it);
    if (firstDef == def) firstDef = defs.empty() ? nullptr : defs.front();
    if (currentDef == def) currentDef = nullptr;
    removeTab(def->tabId);
}

zPageDef* ziTabNoteCtrl::find(int id) const {
    for (zPageDef* d : defs)
        if (d->tabId == id) return d;
    return nullptr;
}

void ziTabNoteCtrl::select(zPageDef* def) {
    if (!def) return;
    if (currentDef && currentDef != def && currentDef->page) currentDef->page->showSet(0);
    currentDef = def;
    if (!def->page) {
        if (!(host && host->createPage(def)) && !createPage(def)) new zDialogPage(host, def, def->getStyle());
    }
    if (def->page) def->page->showSet(1);
    if (host) host->ziWasSelected(def);
    zTabCtrl::select(def->tabId);
}

void ziTabNoteCtrl::selectFirst() {
    if (firstDef) select(firstDef);
}

int ziTabNoteCtrl::selectNext() {
    auto it = std::find(defs.begin(), defs.end(), currentDef);
    if (it == defs.end() || it + 1 == defs.end()) return 0;
    select(*(it + 1));
    return isLast(currentDef) ? 2 : 1;
}

int ziTabNoteCtrl::selectPrev() {
    auto it = std::find(defs.begin(), defs.end(), currentDef);
    if (it == defs.end() || it == defs.begin()) return 0;
    select(*(it - 1));
    return isFirst(currentDef) ? 2 : 1;
}

void ziTabNoteCtrl::onPageChange(int newId, int) {
    zPageDef* d = find(newId);
    if (d && d != currentDef) select(d);
}

int ziTabNoteCtrl::storeData() {
    for (zPageDef* d : defs)
        if (d->page && d->page->hwnd && IsWindowEnabled(d->page->hwnd) && !d->page->checkData()) return 0;
    for (zPageDef* d : defs)
        if (d->page && d->page->hwnd && IsWindowEnabled(d->page->hwnd)) d->page->storeData();
    return 1;
}

int ziTabNoteCtrl::draw(zDrawEvt* e) {
    if (!wizard) zTabCtrl::draw(e);
    return 1;
}

int ziTabNoteCtrl::mouseButtonDown(zMouseClickEvt* e) { return wizard ? 0 : zTabCtrl::mouseButtonDown(e); }

int ziTabNoteCtrl::focus(zFocusEvt* e) {
    if (e->msg == WM_SETFOCUS && currentDef && currentDef->page && currentDef->page->hwnd) {
        SetFocus(currentDef->page->hwnd);
        return 1;
    }
    return zPane::focus(e);
}

int ziTabNoteCtrl::dispatch(zEvent* e) {
    if (e->msg == WM_GETDLGCODE) return 3;
    return zPaneControl::dispatch(e);
}

int ziTabNoteCtrl::command(zCommandEvt* e) {
    if (!parentWin) return 0;
    // The dialog's command records first, then its own command operation.
    if (doCommandHandler(e, parentWin)) return 1;
    return parentWin->command(e);
}

int ziTabNoteCtrl::ziKeyDown(zEvent* e) {
    zButton* ok = host ? host->keyEnterButton() : nullptr;
    zButton* cancel = host ? host->keyEscapeButton() : nullptr;
    zButton* apply = host ? host->keyApplyButton() : nullptr;
    HWND f = GetFocus();
    zButton* focused = nullptr;
    for (zButton* b : {ok, cancel, apply})
        if (b && b->hwnd && b->hwnd == f) focused = b;
    zButton* next = focused == ok ? cancel : focused == cancel ? apply : nullptr;
    zButton* prev = focused == cancel ? ok : focused == apply ? cancel : nullptr;
    zDialogPage* page = currentDef ? currentDef->page : nullptr;

    if (e->msg == WM_SYSKEYDOWN) {
        if ((focused == ok || focused == cancel) && focused && (e->wParm & 0xFF) == 'A' && ziIsEnabledButton(apply)) {
            ziDropChar(e->hwnd, WM_SYSCHAR);
            ziPressButton(apply);
            return 1;
        }
        return page ? page->ziKeyDown(e) : 0;
    }
    switch (e->wParm) {
    case VK_TAB: {
        zButton* to = GetKeyState(VK_SHIFT) < 0 ? prev : next;
        if (focused && ziIsEnabledButton(to)) {
            ziDropChar(e->hwnd, WM_CHAR);
            SetFocus(to->hwnd);
            return 1;
        }
        return page ? page->ziKeyDown(e) : 0;
    }
    case VK_RETURN:
        ziDropChar(e->hwnd, WM_CHAR);
        ziPressButton(focused ? focused : ok);
        return 1;
    case VK_ESCAPE:
        ziDropChar(e->hwnd, WM_CHAR);
        ziPressButton(cancel);
        return 1;
    default:
        return 0;
    }
}
