#pragma once
// The Options notebook: users, servers, cache, proxies and administrator
// pages over the server's options. Built, run modally and closed inside its
// constructor; the caller then reads applied. GUI thread.
#include "DialogBases.h"
#include "zDialogPage.h"

class SVROPTIONS;
class OPTIONSNOTEBOOKDLG;
class USERPAGEDLG;
class MULTIUSERPAGEDLG;
class CACHEPAGEDLG;
class ADVCACHEPAGEDLG;
class ADVCACHEPAGEDLG2;
class PROXYPAGEDLG;
class SERVERPAGEDLG;
class ADMINPAGEDLG;

// A page of the notebook: its controls bound to page-local copies of the settings.
class OPTIONSPAGEDLG : public zDialogPage {
public:
    // A page with its own tab (tab id = resource id).
    OPTIONSPAGEDLG(OPTIONSNOTEBOOKDLG* notebook, SVROPTIONS* options, int resourceId);
    // An alternate page on an existing definition: no tab, hidden, page id 0.
    OPTIONSPAGEDLG(OPTIONSNOTEBOOKDLG* notebook, SVROPTIONS* options, zPageDef* def);

    // Moves the copies into the options; 0 when the page refused its input (already said why).
    virtual int StorePageData() = 0;

    // Tells the notebook of every change of the control.
    void watch(zWindow* control);
    // Reports a refusal: selects this page's tab, focuses the control, warns.
    int refuse(zWindow* control, int textId);

    BOOL changed;
    int pageId;
    BOOL hidden;
    OPTIONSNOTEBOOKDLG* notebook;
    SVROPTIONS* options;
};

class OPTIONSNOTEBOOKDLG : public NOTEBOOKBASE {
public:
    OPTIONSNOTEBOOKDLG(zWindow* parent, SVROPTIONS* options);

    int OnChange(zEvent* e);
    int onApply(zEvent* e) override;
    int onOk(zEvent* e) override;
    int DoApply(zEvent* e);
    void ShowCacheAdvanced(int which);
    void ShowCacheBasic();
    int PopulateUserList(MULTIUSERPAGEDLG* page, class zListBoxBase* list);
    OPTIONSPAGEDLG* currentPage() const;

    BOOL applied;
    USERPAGEDLG* userPage;
    MULTIUSERPAGEDLG* multiUserPage;
    CACHEPAGEDLG* cachePage;
    ADVCACHEPAGEDLG* advCachePage;
    ADVCACHEPAGEDLG2* advCachePage2;
    PROXYPAGEDLG* proxyPage;
    SERVERPAGEDLG* serverPage;
    ADMINPAGEDLG* adminPage;
    SVROPTIONS* options;
    BOOL usersChanged;  // a Users page stored changes: the users file is to be written

private:
    // Stores page when it exists; updates applied. FALSE when it refused.
    BOOL store(OPTIONSPAGEDLG* page);
    OPTIONSPAGEDLG* showAlternate(OPTIONSPAGEDLG* page);
};

// The cache tab's id.
const int CACHE_TAB = 1014;

class FORMAPP;
// The main window's Options command: TRUE when applied.
BOOL RunOptionsNotebook(FORMAPP* form, BOOL& usersChanged);
