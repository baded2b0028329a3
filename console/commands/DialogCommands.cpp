#include "DialogCommands.h"

#include <cstdio>
#include <cstring>

#include "AboutBox.h"
#include "AppDefinition.h"
#include "AppLog.h"
#include "AppStatus.h"
#include "AppType.h"
#include "ConsoleDialogs.h"
#include "ConsoleIds.h"
#include "DataConnection.h"
#include "DialogBases.h"
#include "FormApp.h"
#include "LocalRequest.h"
#include "OptionsNotebook.h"
#include "SettingsNotebook.h"
#include "LogFile.h"
#include "Profile.h"
#include "RestartDlg.h"
#include "StatusInfo.h"
#include "StatusPane.h"
#include "SubmitReqDlg.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TextHelpers.h"

namespace {
const char CACHE_DETAIL_FILE[] = "CACHE.DAT";
const char CACHE_LIST_FILE[] = "CACHE.URL";
const int IDS_PRODUCT = 1;
const int IDS_ALERT = 3;
const int IDS_RELOAD_FAILED = 28;
const int IDS_SUBMIT_CAPTION = 22;
const int IDS_SUBMIT_FAILED_TEXT = 23;
const int HELP_TOPIC_GENERAL = 5000;
const int ABOUT_DIALOG = 1004, RESTART_DIALOG = 1030, SUBMIT_DIALOG = 1032;
PGMTHREAD* const STARTING = reinterpret_cast<PGMTHREAD*>(-1);

typedef int (*MENUPROC)(FORMAPP* form, unsigned id);
struct MENUROW {
    unsigned low, high;
    MENUPROC proc;
};

HWND windowOf(FORMAPP* form) { return form->windowHandle(); }

void held(FORMAPP* form, const char* text) { form->DisplayStatusMsg(text, TRUE); }

// Starts proc on a thread that records itself in slot; FALSE (slot 0) when it did not start.
BOOL startSlotThread(PGMTHREADPROC proc, void* argument, PGMTHREAD** slot) {
    *slot = STARTING;
    PGMTHREAD* thread = new PGMTHREAD(nullptr, nullptr, slot, TRUE);
    if (!thread->StartUp(proc, argument)) thread->freeobj();
    if (*slot != STARTING) return TRUE;
    *slot = nullptr;
    return FALSE;
}

APPTYPE* typeNamed(const char* name) { return _pSvr ? _pSvr->manager.FindAppType(name) : nullptr; }

// ---- File ----------------------------------------------------------------------

int restartApp(FORMAPP* form, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    if (svr->reloadThread) return 1;
    RESTARTDLG* dialog = new RESTARTDLG(form, RESTART_DIALOG);
    BOOL confirmed = dialog->wasStored();
    if (confirmed) {
        _strzcpy(form->restartApp, dialog->appName, sizeof form->restartApp);
        for (char* c = form->restartApp; *c; ++c)
            if (*c >= 'a' && *c <= 'z') *c = (char)(*c - 'a' + 'A');
    }
    delete dialog;
    if (!confirmed) return 1;
    if (!startSlotThread(ReloadRequestProc, form->restartApp, &svr->reloadThread))
        PostCmdMessage(windowOf(form), CMD_RELOAD_RESULT, IDS_RELOAD_FAILED);
    return 1;
}

// The record may be ending on a server thread: it is checked and the drop asked under the status lock.
int resetConnection(FORMAPP* form, unsigned) {
    if (!form->statusPane) return 1;
    APPSTATUS::Lock();
    STATUSINFO* record = form->statusPane->selected;
    if (record && record->InUse() && record->connection) record->connection->SetDropRequested(1, 1);
    APPSTATUS::UnLock();
    return 1;
}

int clearServiceLog(FORMAPP* form, unsigned id) {
    const char* name = id == MENU_CLEAR_HTTP_LOG ? "HTTP" : "FTP";
    APPTYPE* type = typeNamed(name);
    if (type && type->log && type->log->log && type->log->loggingOn) type->log->log->Clear();
    char text[128];
    std::snprintf(text, sizeof text, ServerText(IDS_LOG_CLEARED), name);
    held(form, text);
    return 1;
}

int clearCache(FORMAPP* form, unsigned) {
    if (!YesNoMessageBox(windowOf(form), ServerText(IDS_CLEAR_CACHE), ServerText(IDS_CLEAR_CAPTION))) return 1;
    CITERATOR<APPTYPE> it;
    for (APPTYPE* t = it.Begin(_pSvr->manager.types); t; t = it.Next()) t->CacheClear();
    it.End();
    held(form, ServerText(IDS_CACHE_CLEARED));
    return 1;
}

// ---- View ----------------------------------------------------------------------

int viewServiceLog(FORMAPP* form, unsigned id) {
    APPTYPE* type = typeNamed(id == MENU_VIEW_HTTP_LOG ? "HTTP" : "FTP");
    char name[64] = {};
    BUFFER out(name, sizeof name);
    if (type && type->log && type->log->CreateTmpLogFile(out)) form->viewFile(_pSvr->config.logfileEditor, name);
    return 1;
}

// Writes the HTTP cache listing; TRUE when written.
BOOL writeCache(const char* file, BBOOL detail, BBOOL data) {
    APPTYPE* http = typeNamed("HTTP");
    return http && http->CacheWrite(file, detail, data);
}

int viewCache(FORMAPP* form, unsigned id) {
    BOOL detail = id == MENU_VIEW_CACHE_DETAIL;
    const char* file = detail ? CACHE_DETAIL_FILE : CACHE_LIST_FILE;
    if (!typeNamed("HTTP")) return 1;
    writeCache(file, detail, FALSE);
    form->viewFile(_pSvr->config.logfileEditor, file);
    return 1;
}

int writeCacheDetail(FORMAPP* form, unsigned id) {
    if (!typeNamed("HTTP")) return 1;
    writeCache(CACHE_DETAIL_FILE, TRUE, id == MENU_WRITE_DATA);
    char text[128];
    std::snprintf(text, sizeof text, "%s%s", ServerText(IDS_OUTPUT_WRITTEN), CACHE_DETAIL_FILE);
    held(form, text);
    return 1;
}

// ---- Options, Settings and lines -----------------------------------------------------

int options(FORMAPP* form, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    if (!svr->ready) {
        char text[128];
        std::snprintf(text, sizeof text, ServerText(IDS_NOT_READY), ServerText(IDS_PRODUCT));
        MessageBoxA(windowOf(form), text, ServerText(IDS_PRODUCT), MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }
    BOOL usersChanged = FALSE;
    if (_ConsoleNotebooks.options && _ConsoleNotebooks.options(form, usersChanged)) {
        if (svr->config.mainProfile) svr->config.mainProfile->WriteFile(nullptr);
        if (usersChanged && svr->config.usersProfile) svr->config.usersProfile->WriteFile(nullptr);
    }
    if (svr->setupMode) {
        if (svr->setupStep == 0) {
            svr->setupStep = 1;
            PostCmdMessage(windowOf(form), MENU_CONNECT_SETTINGS, 0);
        } else {
            PostCmdMessage(windowOf(form), MENU_OPTIONS, 0);
        }
    }
    return 1;
}

// Every definition hears that the connection settings change (FALSE) or changed (TRUE).
void tellDefinitions(BBOOL changed) {
    CITERATOR<APPDEFINITION> it;
    for (APPDEFINITION* d = it.Begin(_pSvr->manager.definitions); d; d = it.Next()) d->NewConnectSettings(changed);
    it.End();
}

int settings(FORMAPP* form, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    if (_ConsoleNotebooks.settings && _ConsoleNotebooks.settings(form)) {
        tellDefinitions(FALSE);
        svr->config.WriteNetIntCfg(svr->lines);
        if (svr->config.mainProfile) svr->config.mainProfile->WriteFile(nullptr);
        tellDefinitions(TRUE);
        PostAppMessage(windowOf(form), APPMSG_LINE_CHECK, 0);
    }
    if (svr->setupMode) {
        if (svr->setupStep == 0)
            PostCmdMessage(windowOf(form), CMD_SHUTDOWN_REQUEST, 0);
        else
            PostCmdMessage(windowOf(form), MENU_CONNECT_SETTINGS, 0);
    }
    return 1;
}

int dialLine(FORMAPP* form, unsigned id) {
    SVRSYSTEM* svr = _pSvr;
    int n = (int)(id - MENU_LINE1) + 1;
    NETWORKINTERFACE& lines = svr->lines;
    if (lines.lineCount < n) return 1;
    LINEINTERFACE& line = lines.lines[n - 1];
    if (svr->closing && !line.connected) return 1;
    if (!line.IsLineConfigured()) {
        if (YesNoMessageBox(windowOf(form), ServerText(IDS_CONFIGURE_TEXT), ServerText(IDS_CONFIGURE_CAPTION)))
            PostCmdMessage(windowOf(form), MENU_CONNECT_SETTINGS, 0);
        return 1;
    }
    lines.SetLineState(n, !line.connected);
    PostCmdMessage(windowOf(form), CMD_TO_FRONT + n, 0, TRUE);
    return 1;
}

// ---- Support ---------------------------------------------------------------------

int submitRequest(FORMAPP* form, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    if (!svr->debugThread) {
        SUBMITREQDLG* dialog = new SUBMITREQDLG(form, SUBMIT_DIALOG);
        BOOL confirmed = dialog->submitted;
        delete dialog;
        if (confirmed) {
            if (svr->config.mainProfile) svr->config.mainProfile->WriteFile(nullptr);
            if (!startSlotThread(DebugRequestProc, svr->manager.defaultService, &svr->debugThread))
                MessageBoxA(windowOf(form), ServerText(IDS_SUBMIT_FAILED_TEXT), ServerText(IDS_SUBMIT_CAPTION),
                            MB_OK | MB_ICONEXCLAMATION);
        }
    }
    if (!form->statusDisplay) PostCmdMessage(windowOf(form), MENU_STATUS_DISPLAY, 0);
    return 1;
}

// ---- Help ----------------------------------------------------------------------

int about(FORMAPP* form, unsigned) {
    delete new ABOUTBOX(form, ABOUT_DIALOG);
    return 1;
}

int help(FORMAPP* form, unsigned id) {
    if (!form->helpFile) return 1;
    if (id == MENU_GENERAL_HELP)
        form->helpFile->DisplayTopic(HELP_TOPIC_GENERAL);
    else
        form->helpFile->DisplayIndex();
    return 1;
}

const MENUROW MENU_ROWS[] = {
    {MENU_RESTART_APP, MENU_RESTART_APP, restartApp},
    {MENU_RESET_CONNECTION, MENU_RESET_CONNECTION, resetConnection},
    {MENU_CLEAR_HTTP_LOG, MENU_CLEAR_FTP_LOG, clearServiceLog},
    {MENU_VIEW_HTTP_LOG, MENU_VIEW_FTP_LOG, viewServiceLog},
    {MENU_OPTIONS, MENU_OPTIONS, options},
    {MENU_VIEW_CACHE_DETAIL, MENU_CACHE_LIST, viewCache},
    {MENU_CONNECT_SETTINGS, MENU_CONNECT_SETTINGS, settings},
    {MENU_LINE1, MENU_LINE1 + 3, dialLine},
    {MENU_SUBMIT_REQUEST, MENU_SUBMIT_REQUEST, submitRequest},
    {MENU_CLEAR_CACHE, MENU_CLEAR_CACHE, clearCache},
    {MENU_WRITE_DETAIL, MENU_WRITE_DATA, writeCacheDetail},
    {MENU_ABOUT, MENU_ABOUT, about},
    {MENU_GENERAL_HELP, MENU_HELP_INDEX, help},
};
}  // namespace

CONSOLENOTEBOOKS _ConsoleNotebooks = {RunOptionsNotebook, RunSettingsNotebook};

int DialogMenuCommand(FORMAPP* form, unsigned id, LPARAM) {
    if (!_pSvr || !form) return 0;
    for (const MENUROW& row : MENU_ROWS)
        if (id >= row.low && id <= row.high) return row.proc(form, id);
    return 0;
}
