#include "OptionsPages.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ConsoleIds.h"
#include "FormApp.h"
#include "PgmThread.h"
#include "ProgressDlg.h"
#include "SvrOptions.h"
#include "SvrSystem.h"
#include "SysDir.h"
#include "SysHelpers.h"
#include "TextHelpers.h"
#include "zButton.h"
#include "zEdit.h"
#include "zIntEdit.h"
#include "zListBox.h"
#include "zNotify.h"

namespace {
const int IDS_USER_LIMIT = 53, IDS_SAME_ADDRESS = 54, IDS_PASSWORDS_DIFFER = 55, IDS_BAD_OPTION_VALUE = 56;
const int IDS_INVALID_OPTION_CAPTION = 52;
const int IDS_LOADING_CACHE = 65;
const int IDS_CACHE_DIR_CAPTION = 83, IDS_CACHE_DIR_CHANGED = 84, IDS_CACHE_DIR_INVALID = 85;
const int IDS_IMPORT_CAPTION = 86, IDS_IMPORT_DONE = 87, IDS_IMPORT_FAILED = 88;
const int IDS_CREATE_DIR = 90, IDS_CREATE_FAILED = 91;

zEditLine* edit(OPTIONSPAGEDLG* page, int id, zString* value, int limit, BOOL watched = TRUE) {
    zEditLine* e = new zEditLine(page, id, value, zCtlEmptyOk);
    e->limitText(limit);
    if (watched) page->watch(e);
    return e;
}

zIntEdit* number(OPTIONSPAGEDLG* page, int id, int* value, const char* picture) {
    zIntEdit* e = new zIntEdit(page, id, value, picture, zCtlEmptyOk);
    page->watch(e);
    return e;
}

zCheckBox* check(OPTIONSPAGEDLG* page, int id, int* value) {
    zCheckBox* c = new zCheckBox(page, id, value, 0);
    page->watch(c);
    return c;
}

zPushButton* button(OPTIONSPAGEDLG* page, int id, NotifyProc handler) {
    zPushButton* b = new zPushButton(page, id);
    b->setNotifyClicked(page, handler);
    return b;
}

void copy(char* out, const zString& text, size_t size) { _strzcpy(out, text, (int)size); }

// The definition-chain lock is the caller's part of the cache update.
void updateCache(APPCACHE* cache) {
    if (!_pSvr) return;
    _pSvr->manager.definitions.lock.Reserve();
    _pSvr->options.UpdateAppCacheOptions(cache);
    _pSvr->manager.definitions.lock.Release();
}

// The worker: the update, then the progress box's close (the services post
// one only on some paths; a second close finds no box and is ignored).
void cacheWorker(void* cache) {
    updateCache(static_cast<APPCACHE*>(cache));
    if (_pMainForm) PostAppMessage(_pMainForm->windowHandle(), APPMSG_PROGRESS, 0);
}
}  // namespace

void RunCacheUpdate(zWindow* owner, APPCACHE* cache, int captionId) {
    char caption[128];
    _strzcpy(caption, ServerText(captionId), sizeof caption);
    PROGRESSDLG* box = new PROGRESSDLG(owner, caption, ServerText(IDS_LOADING_CACHE), 0, FALSE);
    if (_pMainForm) _pMainForm->progressDialog = box;
    PGMTHREAD* thread = new PGMTHREAD(nullptr, nullptr, nullptr, TRUE);
    if (!thread->StartUp(cacheWorker, cache)) {
        thread->freeobj();
        cacheWorker(cache);
    }
    box->Display();
}

// ---- Users, single-user form ------------------------------------------------------

USERPAGEDLG::USERPAGEDLG(OPTIONSNOTEBOOKDLG* nb, SVROPTIONS* opts)
    : OPTIONSPAGEDLG(nb, opts, 1010), ownerName(opts->users.ownerName), guest(opts->users.GetAppUser()) {
    guestName = guest->name;
    guestAddress = guest->address;
    ownerEdit = edit(this, 2015, &ownerName, 256);
    nameEdit = edit(this, 2011, &guestName, 64);
    addressEdit = edit(this, 2010, &guestAddress, 256);
}

USERPAGEDLG::~USERPAGEDLG() {
    if (guest) guest->freeobj();
}

int USERPAGEDLG::StorePageData() {
    if (!storeData()) return 0;
    if (ownerEdit->hasChanged()) options->users.UpdateOwnerName(ownerName);
    if (guest && (nameEdit->hasChanged() || addressEdit->hasChanged())) {
        copy(guest->name, guestName, sizeof guest->name);
        copy(guest->address, guestAddress, sizeof guest->address);
        options->users.UpdatePermittedUserList(guest, 0);
        guest->freeobj();  // the users list holds its own reference
        guest = nullptr;
    }
    return 1;
}

// ---- Users, multi-user form -----------------------------------------------------

MULTIUSERPAGEDLG::MULTIUSERPAGEDLG(OPTIONSNOTEBOOKDLG* nb, SVROPTIONS* opts)
    : OPTIONSPAGEDLG(nb, opts, 1011), ownerName(opts->users.ownerName) {
    ownerEdit = edit(this, 2015, &ownerName, 256);
    nameEdit = edit(this, 2011, &userName, 64, FALSE);
    addressEdit = edit(this, 2010, &address, 256, FALSE);
    list = new zListBoxUnsorted(this, 2012);
    list->setNotifySelChange(this, zHandlerOf(&MULTIUSERPAGEDLG::notifySelect));
    button(this, 2013, zHandlerOf(&MULTIUSERPAGEDLG::onAdd));
    removeButton = button(this, 2014, zHandlerOf(&MULTIUSERPAGEDLG::onRemove));
    EnableWindow(removeButton->hwnd, FALSE);
    // Tab stops at half, then half again, of the list's width in dialog units.
    RECT r;
    GetClientRect(list->hwnd, &r);
    int units = LOWORD(GetDialogBaseUnits());
    int width = units ? (int)(r.right * 4 / units) : 0;
    std::vector<int> stops;
    for (int step = width, at = 0; stops.size() < 7 && step > 1;) {
        step /= 2;
        at += step;
        stops.push_back(at);
    }
    if (!stops.empty()) stops.pop_back();
    if (!stops.empty()) SendMessageA(list->hwnd, LB_SETTABSTOPS, stops.size(), (LPARAM)stops.data());
}

int MULTIUSERPAGEDLG::getUser(int row, APPUSER& out) {
    out.name[0] = out.address[0] = 0;
    if (row < 0 || row >= list->count()) return 0;
    std::string text = list->text(row).data();
    size_t tab = text.rfind('\t');
    if (tab == std::string::npos) return 0;
    _strzcpy(out.address, text.c_str() + tab + 1, sizeof out.address);
    _strzcpy(out.name, text.substr(0, tab).c_str(), sizeof out.name);
    return 1;
}

int MULTIUSERPAGEDLG::findDuplicateUser(APPUSER* user, BOOL both) {
    for (int row = 0; row < list->count(); ++row) {
        APPUSER listed;
        getUser(row, listed);
        BOOL sameAddress = !std::strcmp(listed.address, user->address);
        BOOL sameName = !std::strcmp(listed.name, user->name);
        if (both ? (sameAddress && sameName) : (sameAddress || sameName)) return row;
    }
    return -1;
}

int MULTIUSERPAGEDLG::getSelectedData() {
    int row = list->selection();
    if (row < 0) return -1;
    APPUSER user;
    getUser(row, user);
    address = user.address;
    userName = user.name;
    nameEdit->setToDefault();
    addressEdit->setToDefault();
    return row;
}

// Every selection change refills the edits.
int MULTIUSERPAGEDLG::notifySelect(zEvent*) {
    EnableWindow(removeButton->hwnd, TRUE);
    getSelectedData();
    return 0;
}

int MULTIUSERPAGEDLG::onAdd(zEvent*) {
    APPUSER user;
    _strzcpy(user.name, nameEdit->text().data(), sizeof user.name);
    _strzcpy(user.address, addressEdit->text().data(), sizeof user.address);
    if (!user.address[0] || std::strpbrk(user.address, " \t")) {
        SetFocus(addressEdit->hwnd);
        return 0;
    }
    if (!user.name[0]) {
        SetFocus(nameEdit->hwnd);
        return 0;
    }
    // A listed address under another name is refused; the same name replaces its own row.
    for (int row = 0; row < list->count(); ++row) {
        APPUSER listed;
        getUser(row, listed);
        if (!std::strcmp(listed.address, user.address) && std::strcmp(listed.name, user.name)) {
            list->selection(row);
            WarningBox(notebook->hwnd, ServerText(IDS_SAME_ADDRESS), IDS_INVALID_OPTION_CAPTION);
            return 0;
        }
    }
    for (int row = 0; row < list->count(); ++row) {
        APPUSER listed;
        getUser(row, listed);
        if (!std::strcmp(listed.name, user.name)) {
            SendMessageA(list->hwnd, LB_DELETESTRING, (WPARAM)row, 0);
            break;
        }
    }
    long limit = _pSvr ? _pSvr->userCeiling : 0;
    if (list->count() >= limit) {
        char text[160];
        std::snprintf(text, sizeof text, ServerText(IDS_USER_LIMIT), (int)limit);
        WarningBox(notebook->hwnd, text, IDS_INVALID_OPTION_CAPTION);
        SetFocus(nameEdit->hwnd);
        return 0;
    }
    char row[320];
    std::snprintf(row, sizeof row, "%s\t%s", user.name, user.address);
    int at = list->add(row);
    list->selection(at);
    EnableWindow(removeButton->hwnd, TRUE);
    notebook->OnChange(nullptr);
    return 0;
}

int MULTIUSERPAGEDLG::onRemove(zEvent*) {
    int row = list->selection();
    if (row >= 0) SendMessageA(list->hwnd, LB_DELETESTRING, (WPARAM)row, 0);
    EnableWindow(removeButton->hwnd, FALSE);
    notebook->OnChange(nullptr);
    return 0;
}

int MULTIUSERPAGEDLG::StorePageData() {
    storeData();
    USEROPTIONS& users = options->users;
    if (std::strcmp(users.ownerName, ownerName)) users.UpdateOwnerName(ownerName);
    // Users without a matching row go.
    std::vector<APPUSER*> gone;
    {
        CITERATOR<APPUSER> it;
        for (APPUSER* u = it.Begin(users.users); u; u = it.Next())
            if (findDuplicateUser(u, TRUE) < 0) gone.push_back(u);
        it.End();
    }
    for (APPUSER* u : gone) {
        u->prepare();  // kept alive across its removal from the chain
        users.UpdatePermittedUserList(u, 1);
        u->freeobj();
    }
    // Rows without a matching user come.
    for (int row = 0; row < list->count(); ++row) {
        APPUSER listed;
        if (!getUser(row, listed) || users.FindAppUser(&listed)) continue;
        APPUSER* added = new APPUSER(listed);
        added->prepare();
        users.UpdatePermittedUserList(added, 0);
        added->freeobj();
    }
    return 1;
}

// ---- Servers --------------------------------------------------------------------

SERVERPAGEDLG::SERVERPAGEDLG(OPTIONSNOTEBOOKDLG* nb, SVROPTIONS* opts)
    : OPTIONSPAGEDLG(nb, opts, 1015), smtp(opts->servers.smtpServer), pop3(opts->servers.pop3Server),
      nntp(opts->servers.nntpServer), mail(opts->servers.mailAddress) {
    edit(this, 2065, &smtp, 256);
    edit(this, 2066, &pop3, 256);
    edit(this, 2067, &nntp, 256);
    edit(this, 2068, &mail, 256);
}

int SERVERPAGEDLG::StorePageData() {
    if (!storeData()) return 0;
    APPSERVERS& s = options->servers;
    copy(s.smtpServer, smtp, sizeof s.smtpServer);
    copy(s.pop3Server, pop3, sizeof s.pop3Server);
    copy(s.nntpServer, nntp, sizeof s.nntpServer);
    copy(s.mailAddress, mail, sizeof s.mailAddress);
    options->UpdateAppServerOptions(&s);
    return 1;
}

// ---- Proxies --------------------------------------------------------------------

PROXYPAGEDLG::PROXYPAGEDLG(OPTIONSNOTEBOOKDLG* nb, SVROPTIONS* opts) : OPTIONSPAGEDLG(nb, opts, 1013) {
    APPPROXIES& p = opts->proxies;
    useProxy = p.useProxy ? 1 : 0;
    remote = p.httpRemote ? 1 : 0;
    const char* hostsNow[3] = {p.httpHost, p.ftpHost, p.securityHost};
    const long portsNow[3] = {p.httpPort, p.ftpPort, p.securityPort};
    check(this, 2040, &useProxy);
    for (int i = 0; i < 3; ++i) {
        hosts[i] = hostsNow[i];
        ports[i] = (int)portsNow[i];
        edit(this, 2041 + 2 * i, &hosts[i], 256);
        number(this, 2042 + 2 * i, &ports[i], "#####");
    }
    check(this, 2047, &remote);
}

int PROXYPAGEDLG::StorePageData() {
    if (!storeData()) return 0;
    APPPROXIES& p = options->proxies;
    p.useProxy = useProxy != 0;
    copy(p.httpHost, hosts[0], sizeof p.httpHost);
    copy(p.ftpHost, hosts[1], sizeof p.ftpHost);
    copy(p.securityHost, hosts[2], sizeof p.securityHost);
    p.httpPort = ports[0];
    p.ftpPort = ports[1];
    p.securityPort = ports[2];
    p.httpRemote = p.ftpRemote = p.securityRemote = remote != 0;
    options->UpdateAppProxiesOptions(&p);
    return 1;
}

// ---- Administrator ----------------------------------------------------------------

ADMINPAGEDLG::ADMINPAGEDLG(OPTIONSNOTEBOOKDLG* nb, SVROPTIONS* opts)
    : OPTIONSPAGEDLG(nb, opts, 1016), password(opts->admin.password), confirm(opts->admin.password),
      maxUsers(_pSvr ? (int)_pSvr->maxUsersProfile : 0), allowExternal(_pSvr && _pSvr->allowExternalUsers) {
    passwordEdit = edit(this, 2016, &password, 63);
    edit(this, 2017, &confirm, 63);
    maxEdit = number(this, 2018, &maxUsers, "####");
    check(this, 2019, &allowExternal);
}

int ADMINPAGEDLG::StorePageData() {
    if (!storeData()) return 0;
    long ceiling = _pSvr ? _pSvr->userCeiling : 0;
    int error = 0;
    zWindow* at = nullptr;
    if (std::strcmp(password, confirm)) error = IDS_PASSWORDS_DIFFER, at = passwordEdit;
    if (maxUsers < 0 || maxUsers > ceiling) error = IDS_BAD_OPTION_VALUE, at = maxEdit;
    if (error) return refuse(at, error);
    copy(options->admin.password, password, sizeof options->admin.password);
    if (_pSvr) {
        _pSvr->allowExternalUsers = allowExternal != 0;
        long value = maxUsers == 0 ? ceiling : maxUsers;
        _pSvr->maxUsers = _pSvr->maxUsersProfile = value;
        _pSvr->config.WriteAdminOptions();
    }
    return 1;
}

// ---- Cache ----------------------------------------------------------------------

CACHEPAGEDLG::CACHEPAGEDLG(OPTIONSNOTEBOOKDLG* nb, SVROPTIONS* opts) : OPTIONSPAGEDLG(nb, opts, CACHE_TAB) {
    APPCACHE& c = opts->cache;
    enabled = c.enabled ? 1 : 0;
    memoryMax = (int)c.memoryMaxKB;
    memoryLargest = (int)c.memoryLargestKB;
    diskMax = (int)c.diskMaxKB;
    diskLargest = (int)c.diskLargestKB;
    updateButton = 2057 + (int)(c.updateMode >= 0 && c.updateMode <= 2 ? c.updateMode : 1);
    updateMinutes = (int)c.updateMinutes;
    check(this, 2051, &enabled);
    number(this, 2054, &memoryMax, "#####");
    number(this, 2055, &memoryLargest, "#####");
    number(this, 2053, &diskMax, "######");
    number(this, 2056, &diskLargest, "#####");
    zRadioGroup* group = new zRadioGroup(this, 2057, 2059, &updateButton, 0);
    watch(group);
    for (int id = 2058; id <= 2059; ++id)
        if (zButton* b = dynamic_cast<zButton*>(get(id))) watch(b);
    number(this, 2060, &updateMinutes, "-#####");
    button(this, 2070, zHandlerOf(&CACHEPAGEDLG::onMore));
}

int CACHEPAGEDLG::onMore(zEvent*) {
    notebook->ShowCacheAdvanced(1);
    return 0;
}

int CACHEPAGEDLG::StorePageData() {
    if (!storeData()) return 0;
    APPCACHE& c = options->cache;
    c.enabled = enabled != 0;
    c.memoryMaxKB = memoryMax;
    c.memoryLargestKB = memoryLargest;
    c.diskMaxKB = diskMax;
    c.diskLargestKB = diskLargest;
    c.updateMode = updateButton - 2057;
    c.updateMinutes = updateMinutes;
    updateCache(&c);
    return 1;
}

ADVCACHEPAGEDLG::ADVCACHEPAGEDLG(OPTIONSNOTEBOOKDLG* nb, SVROPTIONS* opts, zPageDef* def)
    : OPTIONSPAGEDLG(nb, opts, def), cacheDirectory(opts->cache.cacheDirectory),
      importDirectory(opts->cache.importDirectory) {
    cacheEdit = edit(this, 2072, &cacheDirectory, 256);
    importEdit = edit(this, 2073, &importDirectory, 256, FALSE);
    button(this, 2071, zHandlerOf(&ADVCACHEPAGEDLG::onBack));
    button(this, 2074, zHandlerOf(&ADVCACHEPAGEDLG::onImport));
    button(this, 2070, zHandlerOf(&ADVCACHEPAGEDLG::onMore));
}

int ADVCACHEPAGEDLG::onBack(zEvent*) {
    notebook->ShowCacheBasic();
    return 0;
}

int ADVCACHEPAGEDLG::onMore(zEvent*) {
    notebook->ShowCacheAdvanced(2);
    return 0;
}

int ADVCACHEPAGEDLG::StorePageData() {
    if (!storeData()) return 0;
    APPCACHE& c = options->cache;
    BOOL moved = std::strcmp(cacheDirectory, c.cacheDirectory) != 0;
    if (moved) {
        SYSDIR probe;
        if (!probe.Open(cacheDirectory)) {
            if (!YesNoMessageBox(notebook->hwnd, ServerText(IDS_CREATE_DIR), ServerText(IDS_CACHE_DIR_CAPTION)))
                return 0;
            if (!SYSDIR::Create(cacheDirectory, FALSE)) {
                WarningBox(notebook->hwnd, ServerText(IDS_CREATE_FAILED), IDS_CACHE_DIR_CAPTION);
                return 0;
            }
        }
        probe.Close();
    }
    copy(c.cacheDirectory, cacheDirectory, sizeof c.cacheDirectory);
    copy(c.importDirectory, importDirectory, sizeof c.importDirectory);
    if (!moved) {
        updateCache(&c);
        return 1;
    }
    c.result = FALSE;
    RunCacheUpdate(notebook, &c, IDS_CACHE_DIR_CAPTION);
    WarningBox(notebook->hwnd, ServerText(c.result ? IDS_CACHE_DIR_CHANGED : IDS_CACHE_DIR_INVALID),
               IDS_CACHE_DIR_CAPTION);
    SetFocus(cacheEdit->hwnd);
    return 1;
}

int ADVCACHEPAGEDLG::onImport(zEvent* e) {
    notebook->DoApply(e);
    APPCACHE& c = options->cache;
    if (!c.importDirectory[0]) return 0;
    c.importRequested = TRUE;
    c.result = FALSE;
    RunCacheUpdate(notebook, &c, IDS_IMPORT_CAPTION);
    WarningBox(notebook->hwnd, ServerText(c.result ? IDS_IMPORT_DONE : IDS_IMPORT_FAILED), IDS_IMPORT_CAPTION);
    SetFocus(importEdit->hwnd);
    return 1;
}

ADVCACHEPAGEDLG2::ADVCACHEPAGEDLG2(OPTIONSNOTEBOOKDLG* nb, SVROPTIONS* opts, zPageDef* def)
    : OPTIONSPAGEDLG(nb, opts, def) {
    APPCACHE& c = opts->cache;
    multiple = c.multipleSubdirectories ? 1 : 0;
    validate = c.validateAtStart ? 1 : 0;
    keepExpired = c.keepExpired ? 1 : 0;
    keepMinutes = (int)c.keepExpiredMinutes;
    removeOlder = c.removeOlder ? 1 : 0;
    removeMinutes = (int)c.removeOlderMinutes;
    check(this, 2079, &multiple);
    check(this, 2080, &validate);
    check(this, 2083, &keepExpired);
    number(this, 2084, &keepMinutes, "-#####");
    check(this, 2081, &removeOlder);
    number(this, 2082, &removeMinutes, "-#####");
    button(this, 2071, zHandlerOf(&ADVCACHEPAGEDLG2::onBack));
}

int ADVCACHEPAGEDLG2::onBack(zEvent*) {
    notebook->ShowCacheAdvanced(1);
    return 0;
}

int ADVCACHEPAGEDLG2::StorePageData() {
    if (!storeData()) return 0;
    APPCACHE& c = options->cache;
    c.multipleSubdirectories = multiple != 0;
    c.validateAtStart = validate != 0;
    c.keepExpired = keepExpired != 0;
    c.keepExpiredMinutes = keepMinutes;
    c.removeOlder = removeOlder != 0;
    c.removeOlderMinutes = removeMinutes;
    updateCache(&c);
    return 1;
}
