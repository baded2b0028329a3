#include "OptionsNotebook.h"

#include <cstring>

#include "ConsoleIds.h"
#include "FormApp.h"
#include "OptionsPages.h"
#include "SvrOptions.h"
#include "SvrSystem.h"
#include "zButton.h"
#include "zEdit.h"
#include "zListBox.h"
#include "zNotify.h"
#include "zResId.h"

namespace {
const int USERS_SINGLE = 1010, USERS_MULTI = 1011;
const int IDS_INVALID_OPTION = 52;
const int IDI_DIALOG = 1100;
// Setup steps of the pages.
const int STEP_USERS = 1, STEP_SERVERS = 2, STEP_CACHE = 3, STEP_PROXIES = 4, STEP_ADMIN = 5;

BOOL multiUser() { return _pSvr && (_pSvr->corvath || _pSvr->tessimara); }

// The page of this setup step is made (every page outside setup mode).
BOOL wanted(int step) { return !_pSvr || !_pSvr->setupMode || _pSvr->setupStep == step; }
}  // namespace

// ---- pages ---------------------------------------------------------------------

OPTIONSPAGEDLG::OPTIONSPAGEDLG(OPTIONSNOTEBOOKDLG* nb, SVROPTIONS* opts, int resourceId)
    : zDialogPage(nb, nb->add(new zPageDef(zResId(resourceId), resourceId)), WS_CHILD),
      changed(FALSE), pageId(resourceId), hidden(FALSE), notebook(nb), options(opts) {}

OPTIONSPAGEDLG::OPTIONSPAGEDLG(OPTIONSNOTEBOOKDLG* nb, SVROPTIONS* opts, zPageDef* def)
    : zDialogPage(nb, def, WS_CHILD), changed(FALSE), pageId(0), hidden(TRUE), notebook(nb), options(opts) {}

void OPTIONSPAGEDLG::watch(zWindow* control) {
    if (zEditBase* edit = dynamic_cast<zEditBase*>(control))
        edit->setNotifyChange(notebook, zHandlerOf(&OPTIONSNOTEBOOKDLG::OnChange));
    else if (zButton* button = dynamic_cast<zButton*>(control))
        button->setNotifyClicked(notebook, zHandlerOf(&OPTIONSNOTEBOOKDLG::OnChange));
}

int OPTIONSPAGEDLG::refuse(zWindow* control, int textId) {
    if (zPageDef* tab = notebook->find(pageId ? pageId : CACHE_TAB)) notebook->select(tab);
    if (control && control->hwnd) SetFocus(control->hwnd);
    WarningBox(notebook->hwnd, ServerText(textId), IDS_INVALID_OPTION);
    return 0;
}

// ---- notebook --------------------------------------------------------------------

OPTIONSNOTEBOOKDLG::OPTIONSNOTEBOOKDLG(zWindow* parent, SVROPTIONS* opts)
    : NOTEBOOKBASE(parent, new zPageDef(zResId(multiUser() ? USERS_MULTI : USERS_SINGLE), 0), NOTEBOOK_STYLE,
                   "Options"),
      applied(FALSE), userPage(nullptr), multiUserPage(nullptr), cachePage(nullptr), advCachePage(nullptr),
      advCachePage2(nullptr), proxyPage(nullptr), serverPage(nullptr), adminPage(nullptr), options(opts),
      usersChanged(FALSE) {
    OPTIONSPAGEDLG* first = nullptr;
    auto keep = [&first](OPTIONSPAGEDLG* p) {
        if (!first) first = p;
    };
    if (wanted(STEP_USERS)) {
        if (multiUser()) {
            keep(multiUserPage = new MULTIUSERPAGEDLG(this, opts));
            PopulateUserList(multiUserPage, (zListBoxBase*)multiUserPage->list);
        } else {
            keep(userPage = new USERPAGEDLG(this, opts));
        }
    }
    if (wanted(STEP_SERVERS)) keep(serverPage = new SERVERPAGEDLG(this, opts));
    if (wanted(STEP_CACHE)) keep(cachePage = new CACHEPAGEDLG(this, opts));
    if (wanted(STEP_PROXIES)) keep(proxyPage = new PROXYPAGEDLG(this, opts));
    if (wanted(STEP_ADMIN)) keep(adminPage = new ADMINPAGEDLG(this, opts));
    if (_pSvr && _pSvr->setupMode) {
        if (!first) {
            _pSvr->setupStep = 0;
            return;
        }
        ++_pSvr->setupStep;
    }
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DIALOG)));
    CenterDialog(this);
    if (zPageDef* tab = find(first->pageId)) select(tab);
    show();
    modal();
}

int OPTIONSNOTEBOOKDLG::PopulateUserList(MULTIUSERPAGEDLG*, zListBoxBase* list) {
    if (!list || !options) return 0;
    CITERATOR<APPUSER> it;
    for (APPUSER* u = it.Begin(options->users.users); u; u = it.Next()) {
        char row[320];
        std::snprintf(row, sizeof row, "%s\t%s", u->name, u->address);
        list->add(row);
    }
    it.End();
    return list->count();
}

OPTIONSPAGEDLG* OPTIONSNOTEBOOKDLG::currentPage() const {
    zPageDef* def = tabs ? tabs->current() : nullptr;
    return def ? dynamic_cast<OPTIONSPAGEDLG*>(def->page) : nullptr;
}

int OPTIONSNOTEBOOKDLG::OnChange(zEvent*) {
    if (OPTIONSPAGEDLG* page = currentPage()) page->changed = TRUE;
    setAllowApply(1);
    return 0;
}

BOOL OPTIONSNOTEBOOKDLG::store(OPTIONSPAGEDLG* page) {
    if (!page) return TRUE;
    if (!page->StorePageData()) return FALSE;
    if (page->changed) {
        applied = TRUE;
        if (page == (OPTIONSPAGEDLG*)userPage || page == (OPTIONSPAGEDLG*)multiUserPage) usersChanged = TRUE;
    }
    page->changed = FALSE;
    return TRUE;
}

int OPTIONSNOTEBOOKDLG::DoApply(zEvent*) {
    OPTIONSPAGEDLG* page = currentPage();
    if (!page) return 0;
    BOOL wasChanged = page->changed;
    if (!page->StorePageData()) return 1;
    page->changed = FALSE;
    applied = TRUE;
    if (wasChanged && (page == (OPTIONSPAGEDLG*)userPage || page == (OPTIONSPAGEDLG*)multiUserPage)) usersChanged = TRUE;
    // The Cache tab's pages are stored together.
    OPTIONSPAGEDLG* basic = cachePage;
    OPTIONSPAGEDLG* first = (OPTIONSPAGEDLG*)advCachePage;
    OPTIONSPAGEDLG* second = (OPTIONSPAGEDLG*)advCachePage2;
    OPTIONSPAGEDLG* others[2] = {nullptr, nullptr};
    if (page == basic) others[0] = first, others[1] = second;
    else if (page == first) others[0] = basic, others[1] = second;
    else if (page == second) others[0] = basic, others[1] = first;
    BOOL ok = TRUE;
    for (OPTIONSPAGEDLG* other : others) {
        if (!other || !ok) continue;
        ok = other->StorePageData() != 0;
        if (ok) other->changed = FALSE;
    }
    if (ok) setAllowApply(0);
    return 1;
}

int OPTIONSNOTEBOOKDLG::onApply(zEvent* e) { return DoApply(e); }

int OPTIONSNOTEBOOKDLG::onOk(zEvent*) {
    OPTIONSPAGEDLG* order[] = {userPage, multiUserPage, proxyPage, serverPage, cachePage, advCachePage,
                               advCachePage2, adminPage};
    for (OPTIONSPAGEDLG* page : order)
        if (!store(page)) {
            if (zPageDef* tab = find(page->pageId ? page->pageId : CACHE_TAB)) select(tab);
            return 1;
        }
    shutdown();
    return 1;
}

OPTIONSPAGEDLG* OPTIONSNOTEBOOKDLG::showAlternate(OPTIONSPAGEDLG* page) {
    zPageDef* tab = find(CACHE_TAB);
    if (!tab || !page) return page;
    OPTIONSPAGEDLG* all[] = {cachePage, advCachePage, advCachePage2};
    for (OPTIONSPAGEDLG* p : all)
        if (p && p != page && p->hwnd) {
            p->hidden = TRUE;
            ShowWindow(p->hwnd, SW_HIDE);
        }
    tab->setPage(page);
    page->hidden = FALSE;
    if (page->hwnd) {
        RECT r;
        if (cachePage && cachePage->hwnd && page != cachePage) {
            GetWindowRect(cachePage->hwnd, &r);
            MapWindowPoints(nullptr, GetParent(page->hwnd), reinterpret_cast<POINT*>(&r), 2);
            SetWindowPos(page->hwnd, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, 0);
        }
        ShowWindow(page->hwnd, SW_SHOW);
    }
    return page;
}

void OPTIONSNOTEBOOKDLG::ShowCacheAdvanced(int which) {
    OPTIONSPAGEDLG* page = which == 1 ? (OPTIONSPAGEDLG*)advCachePage : (OPTIONSPAGEDLG*)advCachePage2;
    if (!page) {
        zPageDef temporary(zResId(which == 1 ? 1017 : 1018), CACHE_TAB);
        if (which == 1)
            page = advCachePage = new ADVCACHEPAGEDLG(this, options, &temporary);
        else
            page = advCachePage2 = new ADVCACHEPAGEDLG2(this, options, &temporary);
        page->pageId = CACHE_TAB;
    }
    showAlternate(page);
}

void OPTIONSNOTEBOOKDLG::ShowCacheBasic() { showAlternate(cachePage); }

BOOL RunOptionsNotebook(FORMAPP* form, BOOL& usersChanged) {
    if (!_pSvr) return FALSE;
    OPTIONSNOTEBOOKDLG* notebook = new OPTIONSNOTEBOOKDLG(form, &_pSvr->options);
    BOOL applied = notebook->applied;
    usersChanged = notebook->usersChanged;
    delete notebook;
    return applied;
}
