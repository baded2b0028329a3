#pragma once
// The Options notebook's pages: users (single- and multi-user forms),
// servers, proxies, administrator, and the three pages of the Cache tab.
// GUI thread.
#include "AppOptions.h"
#include "AppUser.h"
#include "OptionsNotebook.h"
#include "zString.h"

class zEditLine;
class zIntEdit;
class zListBoxUnsorted;
class zPushButton;

class USERPAGEDLG : public OPTIONSPAGEDLG {
public:
    USERPAGEDLG(OPTIONSNOTEBOOKDLG* notebook, SVROPTIONS* options);
    ~USERPAGEDLG() override;  // releases a guest record still held
    int StorePageData() override;

    zString ownerName, guestName, guestAddress;
    zEditLine *ownerEdit, *nameEdit, *addressEdit;
    APPUSER* guest;  // held until handed to the users list
};

class MULTIUSERPAGEDLG : public OPTIONSPAGEDLG {
public:
    MULTIUSERPAGEDLG(OPTIONSNOTEBOOKDLG* notebook, SVROPTIONS* options);
    int StorePageData() override;

    // Row's "name<TAB>address" split at the last tab; 0 (both empty) without a row or tab.
    int getUser(int row, APPUSER& out);
    // The first row whose address and (both) / or (not both) name equal the user's; -1 when none.
    int findDuplicateUser(APPUSER* user, BOOL both);
    int getSelectedData();
    int notifySelect(zEvent* e);
    int onAdd(zEvent* e);
    int onRemove(zEvent* e);

    zString ownerName, userName, address;
    zEditLine *ownerEdit, *nameEdit, *addressEdit;
    zListBoxUnsorted* list;
    zPushButton* removeButton;
};

class SERVERPAGEDLG : public OPTIONSPAGEDLG {
public:
    SERVERPAGEDLG(OPTIONSNOTEBOOKDLG* notebook, SVROPTIONS* options);
    int StorePageData() override;

    zString smtp, pop3, nntp, mail;
};

class PROXYPAGEDLG : public OPTIONSPAGEDLG {
public:
    PROXYPAGEDLG(OPTIONSNOTEBOOKDLG* notebook, SVROPTIONS* options);
    int StorePageData() override;

    int useProxy, remote;
    zString hosts[3];
    int ports[3];
};

class ADMINPAGEDLG : public OPTIONSPAGEDLG {
public:
    ADMINPAGEDLG(OPTIONSNOTEBOOKDLG* notebook, SVROPTIONS* options);
    int StorePageData() override;

    zString password, confirm;
    int maxUsers, allowExternal;
    zEditLine* passwordEdit;
    zIntEdit* maxEdit;
};

class CACHEPAGEDLG : public OPTIONSPAGEDLG {
public:
    CACHEPAGEDLG(OPTIONSNOTEBOOKDLG* notebook, SVROPTIONS* options);
    int StorePageData() override;
    int onMore(zEvent* e);

    int enabled, memoryMax, memoryLargest, diskMax, diskLargest, updateButton, updateMinutes;
};

class ADVCACHEPAGEDLG : public OPTIONSPAGEDLG {
public:
    ADVCACHEPAGEDLG(OPTIONSNOTEBOOKDLG* notebook, SVROPTIONS* options, zPageDef* def);
    int StorePageData() override;
    int onImport(zEvent* e);
    int onBack(zEvent* e);
    int onMore(zEvent* e);

    zString cacheDirectory, importDirectory;
    zEditLine *cacheEdit, *importEdit;
};

class ADVCACHEPAGEDLG2 : public OPTIONSPAGEDLG {
public:
    ADVCACHEPAGEDLG2(OPTIONSNOTEBOOKDLG* notebook, SVROPTIONS* options, zPageDef* def);
    int StorePageData() override;
    int onBack(zEvent* e);

    int multiple, validate, keepExpired, keepMinutes, removeOlder, removeMinutes;
};

// Hands the cache record to every definition on a worker while a progress box
// runs; the record's result flag tells the outcome. GUI thread.
void RunCacheUpdate(zWindow* owner, APPCACHE* cache, int captionId);
