#include "SettingsNotebook.h"

#include <cstdio>
#include <cstring>

#include "FormApp.h"
#include "NetworkInterface.h"
#include "ServerIds.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "TextHelpers.h"
#include "Profile.h"
#include "SysHelpers.h"
#include "WinSockControl.h"
#include "WinSockInterface.h"
#include "zButton.h"
#include "zEdit.h"
#include "zIntEdit.h"
#include "zListBox.h"
#include "zNotify.h"
#include "zResId.h"

namespace {
const char NONE[] = "none";
const int IDS_LINE_TAB = 49;
const int IDI_DIALOG = 1100;
const int LINE1_TAB = 1020;
const long HELP_BASES[4] = {0, 0, 10000, 20000};

BOOL oem() { return _pSvr && _pSvr->config.oemCommSettings; }
int line1Template() { return oem() ? 1024 : 1020; }
int otherTemplate() { return oem() ? 1025 : 1021; }
BOOL wanted(int line) { return !_pSvr || !_pSvr->setupMode || _pSvr->setupStep == line; }

void restoreDirectory() {
    if (_pSvr && _pSvr->configDirectory[0]) SetCurrentDirectoryA(_pSvr->configDirectory);
}

const char STACK_SECTION[] = "Winsock Control";

BOOL isSecondaryStack(const char* name) {
    return _pSvr && _pSvr->config.secondaryWinsockName[0] && !std::strcmp(name, _pSvr->config.secondaryWinsockName);
}

// Splits "file, section, key, value" into its words, blanks around each dropped; TRUE when all four are there.
BOOL splitConfigSetup(const char* text, char (&words)[4][64]) {
    const char* at = text;
    for (int i = 0; i < 4; ++i) {
        while (*at == ' ' || *at == '\t') ++at;
        const char* end = std::strchr(at, ',');
        size_t length = end ? (size_t)(end - at) : std::strlen(at);
        while (length && (at[length - 1] == ' ' || at[length - 1] == '\t')) --length;
        if (length >= sizeof words[i]) length = sizeof words[i] - 1;
        std::memcpy(words[i], at, length);
        words[i][length] = 0;
        if (!words[i][0]) return FALSE;
        if (!end) return i == 3;
        at = end + 1;
    }
    return TRUE;
}

// The secondary stack's own properties: its window when it runs, else its
// configurator, with the one setting "Config Setup" names written first.
void secondaryStackProperties() {
    SVRCFG& config = _pSvr->config;
    TCPINTERFACE* line = config.secondaryWinsockLine ? TCPINTERFACE::FindRelativeLine((int)config.secondaryWinsockLine)
                                                      : nullptr;
    WINSOCKCONTROL* control = line ? static_cast<WINSOCKCONTROL*>(line->serviceControl) : nullptr;
    if (control && control->IsWinSockReady()) {
        control->WinSockSetHidden(FALSE);
        return;
    }
    PROFILE* profile = WINSOCKCONTROL::pConfigProfile;
    if (!profile) return;
    char setup[256] = {}, words[4][64] = {};
    profile->ReadString(STACK_SECTION, "Config Setup", BUFFER(setup, sizeof setup));
    if (splitConfigSetup(setup, words)) {
        char path[MAX_PATH];
        BuildPathName(path, _pSvr->configDirectory, words[0]);
        WritePrivateProfileStringA(words[1], words[2], words[3], path);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
    }
    char program[256] = {};
    profile->ReadString(STACK_SECTION, "Configurator", BUFFER(program, sizeof program));
    if (program[0]) ExecuteProgram(program, nullptr, nullptr);
}

// A check box's caption formatted with a number.
void formatCaption(zWindow* page, int id, int number) {
    HWND item = GetDlgItem(page->hwnd, id);
    if (!item) return;
    char pattern[128] = {}, text[160];
    GetWindowTextA(item, pattern, sizeof pattern);
    std::snprintf(text, sizeof text, pattern, number);
    SetWindowTextA(item, text);
}

zIntEdit* number(NETSETPAGEDLG* page, int id, int* value, const char* picture) {
    zIntEdit* e = new zIntEdit(page, id, value, picture, zCtlEmptyOk);
    page->watch(e);
    return e;
}

void check(NETSETPAGEDLG* page, int id, int* value) {
    if (!GetDlgItem(page->hwnd, id)) return;
    page->watch(new zCheckBox(page, id, value, 0));
}
}  // namespace

// ---- pages ---------------------------------------------------------------------

NETSETPAGEDLG::NETSETPAGEDLG(NETSETNOTEBOOKDLG* nb, NETWORKINTERFACE* l, zPageDef* def, int n)
    : zDialogPage(nb, nb->add(def), WS_CHILD), line(n), pageId(def->tabId), changed(FALSE), notebook(nb), lines(l),
      combo(new zComboBoxStatic(this, 2101)) {
    char caption[32];
    std::snprintf(caption, sizeof caption, ServerText(IDS_LINE_TAB), n);
    def->setCaption(caption);
    combo->setNotifySelChange(nb, zHandlerOf(&NETSETNOTEBOOKDLG::OnChange));
    (new zPushButton(this, 2102))->setNotifyClicked(this, zHandlerOf(&NETSETPAGEDLG::onAdd));
    (new zPushButton(this, 2103))->setNotifyClicked(this, zHandlerOf(&NETSETPAGEDLG::onProp));
}

void NETSETPAGEDLG::watch(zWindow* control) {
    if (zEditBase* edit = dynamic_cast<zEditBase*>(control))
        edit->setNotifyChange(notebook, zHandlerOf(&NETSETNOTEBOOKDLG::OnChange));
    else if (zButton* button = dynamic_cast<zButton*>(control))
        button->setNotifyClicked(notebook, zHandlerOf(&NETSETNOTEBOOKDLG::OnChange));
}

int NETSETPAGEDLG::focus(zFocusEvt* e) {
    notebook->help.base = HELP_BASES[line - 1];
    return zDialogPage::focus(e);
}

void NETSETPAGEDLG::storeEntry() {
    int at = (int)SendMessageA(combo->hwnd, CB_GETCURSEL, 0, 0);
    if (at < 0) return;  // an entry the list does not offer stays as it is
    char name[256] = {};
    SendMessageA(combo->hwnd, CB_GETLBTEXT, (WPARAM)at, (LPARAM)name);
    _strzcpy(lines->lines[line - 1].phonebookEntry, name, sizeof lines->lines[line - 1].phonebookEntry);
}

// The system's wizard may leave the current directory elsewhere.
int NETSETPAGEDLG::onAdd(zEvent*) {
    char current[256] = {};
    GetWindowTextA(combo->hwnd, current, sizeof current);
    if (WINSOCKINTERFACE::AddConnectionEntry(notebook->hwnd)) {
        restoreDirectory();
        SendMessageA(combo->hwnd, CB_RESETCONTENT, 0, 0);
        notebook->PopulateConnList(this, combo);
        ListBoxSelect(combo, current);
    }
    restoreDirectory();
    return 0;
}

int NETSETPAGEDLG::onProp(zEvent*) {
    char name[256] = {};
    GetWindowTextA(combo->hwnd, name, sizeof name);
    if (name[0] && isSecondaryStack(name))
        secondaryStackProperties();
    else if (name[0] && std::strcmp(name, NONE))
        WINSOCKINTERFACE::EditConnectionEntry(notebook->hwnd, name);
    restoreDirectory();
    return 0;
}

NETLINE1PAGEDLG::NETLINE1PAGEDLG(NETSETNOTEBOOKDLG* nb, NETWORKINTERFACE* l, zPageDef* def)
    : NETSETPAGEDLG(nb, l, def, 1) {
    const LINEINTERFACE& one = l->lines[0];
    launched = l->connectWhenLaunched ? 1 : 0;
    onRequest = l->connectUponRequest ? 1 : 0;
    repeat = one.repeatDialing ? 1 : 0;
    repeatCount = (int)one.repeatDialingCount;
    redial = one.redial ? 1 : 0;
    idle = one.idleDisconnect ? 1 : 0;
    idleMinutes = (int)one.idleMinutes;
    hasRedial = GetDlgItem(hwnd, 2113) != nullptr;
    check(this, 2105, &launched);
    check(this, 2109, &onRequest);
    check(this, 2110, &repeat);
    number(this, 2111, &repeatCount, "##");
    check(this, 2113, &redial);
    check(this, 2114, &idle);
    number(this, 2115, &idleMinutes, "#####");
}

int NETLINE1PAGEDLG::StorePageData() {
    if (!storeData()) return 0;
    storeEntry();
    LINEINTERFACE& one = lines->lines[0];
    lines->connectWhenLaunched = launched != 0;
    lines->connectUponRequest = onRequest != 0;
    one.repeatDialing = repeat != 0;
    one.repeatDialingCount = repeatCount;
    if (hasRedial) one.redial = redial != 0;
    one.idleDisconnect = idle != 0;
    one.idleMinutes = idleMinutes;
    // Without a first line no further line may dial.
    if (!std::strcmp(one.phonebookEntry, NONE))
        for (int n = 2; n <= 4; ++n) notebook->SetConnSelection(n, NONE);
    return 1;
}

NETLINE2PAGEDLG::NETLINE2PAGEDLG(NETSETNOTEBOOKDLG* nb, NETWORKINTERFACE* l, zPageDef* def, int n)
    : NETSETPAGEDLG(nb, l, def, n) {
    const LINEINTERFACE& me = l->lines[n - 1];
    const long* escalation = l->escalation[n - 2];
    parallel = escalation[NETWORKINTERFACE::ESC_PARALLEL] ? 1 : 0;
    onDrop = escalation[NETWORKINTERFACE::ESC_ON_DOWN] ? 1 : 0;
    onCount = escalation[NETWORKINTERFACE::ESC_ON_COUNT] ? 1 : 0;
    count = (int)escalation[NETWORKINTERFACE::ESC_COUNT];
    repeat = me.repeatDialing ? 1 : 0;
    repeatCount = (int)me.repeatDialingCount;
    redial = me.redial ? 1 : 0;
    idle = me.idleDisconnect ? 1 : 0;
    idleMinutes = (int)me.idleMinutes;
    hasRedial = GetDlgItem(hwnd, 2113) != nullptr;
    formatCaption(this, 2118, n);
    formatCaption(this, 2106, n - 1);
    formatCaption(this, 2117, n - 1);
    check(this, 2106, &parallel);
    check(this, 2117, &onDrop);
    check(this, 2107, &onCount);
    number(this, 2108, &count, "##");
    check(this, 2110, &repeat);
    number(this, 2111, &repeatCount, "##");
    check(this, 2113, &redial);
    check(this, 2114, &idle);
    number(this, 2115, &idleMinutes, "#####");
}

int NETLINE2PAGEDLG::StorePageData() {
    if (!storeData()) return 0;
    storeEntry();
    LINEINTERFACE& me = lines->lines[line - 1];
    long* escalation = lines->escalation[line - 2];
    escalation[NETWORKINTERFACE::ESC_PARALLEL] = parallel != 0;
    escalation[NETWORKINTERFACE::ESC_ON_DOWN] = onDrop != 0;
    escalation[NETWORKINTERFACE::ESC_ON_COUNT] = onCount != 0;
    escalation[NETWORKINTERFACE::ESC_COUNT] = count;
    me.repeatDialing = repeat != 0;
    me.repeatDialingCount = repeatCount;
    if (hasRedial) me.redial = redial != 0;
    me.idleDisconnect = idle != 0;
    me.idleMinutes = idleMinutes;
    return 1;
}

// ---- notebook --------------------------------------------------------------------

NETSETNOTEBOOKDLG::NETSETNOTEBOOKDLG(zWindow* parent, NETWORKINTERFACE* l)
    : NOTEBOOKBASE(parent, new zPageDef(zResId(line1Template()), LINE1_TAB), NOTEBOOK_STYLE, "Settings"),
      applied(FALSE), pages{}, lines(l) {
    NETSETPAGEDLG* first = nullptr;
    if (wanted(1)) first = pages[0] = new NETLINE1PAGEDLG(this, l, new zPageDef(zResId(line1Template()), LINE1_TAB));
    for (int n = 2; n <= 4 && n <= l->lineCount; ++n)
        if (wanted(n)) {
            pages[n - 1] = new NETLINE2PAGEDLG(this, l, new zPageDef(zResId(otherTemplate()), 1019 + n), n);
            if (!first) first = pages[n - 1];
        }
    if (_pSvr && _pSvr->setupMode) {
        if (!first) {
            _pSvr->setupStep = 0;
            return;
        }
        ++_pSvr->setupStep;
    }
    for (NETSETPAGEDLG* page : pages)
        if (page) {
            PopulateConnList(page, page->combo);
            ListBoxSelect(page->combo, l->lines[page->line - 1].phonebookEntry);
        }
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DIALOG)));
    CenterDialog(this);
    if (zPageDef* tab = find(first->pageId)) select(tab);
    show();
    modal();
}

int NETSETNOTEBOOKDLG::PopulateConnList(NETSETPAGEDLG* page, zComboBoxBase* box) {
    box->add(NONE);
    char* names = WINSOCKINTERFACE::GetConnectionList();
    if (!names) return 0;
    for (const char* at = names; *at; at += std::strlen(at) + 1) box->add(at);
    delete[] names;
    SVRCFG* config = _pSvr ? &_pSvr->config : nullptr;
    if (config && page && page->line == config->secondaryWinsockLine && _SystemIsWindows95 &&
        config->secondaryWinsockName[0])
        box->add(config->secondaryWinsockName);
    return box->count();
}

void NETSETNOTEBOOKDLG::SetConnSelection(int line, const char* name) {
    if (line < 1 || line > 4) return;
    _strzcpy(lines->lines[line - 1].phonebookEntry, name, sizeof lines->lines[line - 1].phonebookEntry);
    if (pages[line - 1] && pages[line - 1]->combo) ListBoxSelect(pages[line - 1]->combo, name);
}

int NETSETNOTEBOOKDLG::OnChange(zEvent*) {
    zPageDef* def = tabs ? tabs->current() : nullptr;
    if (NETSETPAGEDLG* page = def ? dynamic_cast<NETSETPAGEDLG*>(def->page) : nullptr) page->changed = TRUE;
    setAllowApply(1);
    return 0;
}

int NETSETNOTEBOOKDLG::onApply(zEvent*) {
    zPageDef* def = tabs ? tabs->current() : nullptr;
    NETSETPAGEDLG* page = def ? dynamic_cast<NETSETPAGEDLG*>(def->page) : nullptr;
    if (!page) return 0;
    if (page->StorePageData()) {
        page->changed = FALSE;
        applied = TRUE;
        setAllowApply(0);
    }
    return 1;
}

int NETSETNOTEBOOKDLG::onOk(zEvent*) {
    for (NETSETPAGEDLG* page : pages) {
        if (!page) continue;
        if (!page->StorePageData()) return 1;
        if (page->changed) applied = TRUE;
    }
    shutdown();
    return 1;
}

BOOL RunSettingsNotebook(FORMAPP* form) {
    if (!_pSvr) return FALSE;
    NETSETNOTEBOOKDLG* notebook = new NETSETNOTEBOOKDLG(form, &_pSvr->lines);
    BOOL applied = notebook->applied;
    delete notebook;
    return applied;
}
