// The main window's commands: the server's start and shutdown chain and the
// menu commands, dispatched through one table of id ranges.
#include <cstdio>
#include <cstring>

#include "BmpShowPane.h"
#include "ConsoleDialogs.h"
#include "ConsoleIds.h"
#include "FormApp.h"
#include "AppDebug.h"
#include "AppLog.h"
#include "AppType.h"
#include "LocalRequest.h"
#include "SpControl.h"
#include "StatusLine.h"
#include "StatusPane.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TaskAbend.h"
#include "TextHelpers.h"
#include "TraceDump.h"
#include "TrayIcon.h"
#include "zApp.h"
#include "zMenu.h"
#include "zTimer.h"

namespace {
const char PRODUCT[] = "Quorvane";
const char REQUEST_FILE[] = "QUORVANE.REQ";
const char TRACE_FILE[] = "TRACE.DAT";
const DWORD WATCHDOG_MS = 30000;
PGMTHREAD* const STARTING = reinterpret_cast<PGMTHREAD*>(-1);

// Starts proc on a thread that records itself in slot; FALSE (slot 0) when it did not start.
BOOL startThread(PGMTHREADPROC proc, void* argument, PGMTHREAD** slot) {
    *slot = STARTING;
    PGMTHREAD* thread = new PGMTHREAD(nullptr, nullptr, slot, TRUE);
    if (!thread->StartUp(proc, argument)) thread->freeobj();
    if (*slot != STARTING) return TRUE;
    *slot = nullptr;
    return FALSE;
}

void upper(char* text) {
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z') *text = (char)(*text - 'a' + 'A');
}

// [Server Startup] trace switches in the order the start sends them.
struct TRACESWITCH {
    BBOOL SVRCFG::*setting;
    int command;
};
const TRACESWITCH TRACE_SWITCHES[] = {
    {&SVRCFG::commTracing, MENU_TRACE_COMM},     {&SVRCFG::appRequestTracing, MENU_TRACE_APP},
    {&SVRCFG::cacheTracing, MENU_TRACE_CACHE},   {&SVRCFG::memoryTracing, MENU_TRACE_MEMORY},
    {&SVRCFG::taskTracing, MENU_TRACE_TASK},     {&SVRCFG::functionTracing, MENU_TRACE_FUNCTION},
};
}  // namespace

const FORMAPP::TRACECLASS FORMAPP::traceClasses[6] = {
    {MENU_TRACE_COMM, TRACE_COMM},         {MENU_TRACE_APP, TRACE_APP},       {MENU_TRACE_TASK, TRACE_TASK},
    {MENU_TRACE_FUNCTION, TRACE_FUNCTION}, {MENU_TRACE_MEMORY, TRACE_MEMORY}, {MENU_TRACE_CACHE, TRACE_CACHE},
};

const FORMAPP::COMMANDROW FORMAPP::commandTable[] = {
    {CMD_CLOSE, CMD_CLOSE, &FORMAPP::cmdShutdownRequest},
    {CMD_START, CMD_START, &FORMAPP::cmdStart},
    {CMD_DEBUG_RESULT, CMD_DEBUG_RESULT, &FORMAPP::cmdDebugResult},
    {CMD_APP_STARTED, CMD_APP_STARTED, &FORMAPP::cmdServiceStarted},
    {CMD_APP_STOPPED, CMD_APP_STOPPED, &FORMAPP::cmdServiceStopped},
    {CMD_SHUTDOWN_REQUEST, CMD_SHUTDOWN_REQUEST, &FORMAPP::cmdShutdownRequest},
    {CMD_SHUTDOWN, CMD_SHUTDOWN, &FORMAPP::cmdShutdown},
    {CMD_RELEASE_CONTROL, CMD_RELEASE_CONTROL, &FORMAPP::cmdReleaseControl},
    {CMD_STOPPED, CMD_STOPPED, &FORMAPP::cmdQuit},
    {CMD_READY, CMD_READY, &FORMAPP::cmdReady},
    {CMD_START_CONTROL, CMD_START_CONTROL, &FORMAPP::cmdStartControl},
    {CMD_START_ERROR, CMD_START_ERROR, &FORMAPP::cmdStartError},
    {CMD_ABEND, CMD_ABEND, &FORMAPP::cmdFatal},
    {CMD_CACHE_LOADING, CMD_CACHE_LOADING, &FORMAPP::cmdCacheLoading},
    {CMD_START_LINES, CMD_START_LINES, &FORMAPP::cmdStartLines},
    {CMD_RELOAD_RESULT, CMD_RELOAD_RESULT, &FORMAPP::cmdReloadResult},
    {CMD_TO_FRONT, CMD_TO_FRONT, &FORMAPP::cmdShowYourself},
    {CMD_LINE1, CMD_LINE4, &FORMAPP::cmdLineState},
    {CMD_INITIAL_REQUESTS, CMD_INITIAL_REQUESTS, &FORMAPP::cmdInitialRequests},
    {MENU_EXIT, MENU_EXIT, &FORMAPP::menuExit},
    {MENU_CLEAR_SYSTEM_LOG, MENU_CLEAR_SYSTEM_LOG, &FORMAPP::menuClearSystemLog},
    {MENU_VIEW_CONNECTING, MENU_VIEW_REQUESTS, &FORMAPP::menuNothing},
    {MENU_DETAIL_POPUP, MENU_DETAIL_POPUP, &FORMAPP::menuDetailPopup},
    {MENU_VIEW_SYSTEM_LOG, MENU_VIEW_SYSTEM_LOG, &FORMAPP::menuViewSystemLog},
    {MENU_VIEW_TRACE_LOG, MENU_VIEW_TRACE_LOG, &FORMAPP::menuViewTraceLog},
    {MENU_STATUS_DISPLAY, MENU_STATUS_DISPLAY, &FORMAPP::menuStatusDisplay},
    {MENU_LOG_ALL_REQUESTS, MENU_LOG_ALL_REQUESTS, &FORMAPP::menuLogAllRequests},
    {MENU_TRACE_STARTED, MENU_TRACE_STARTED, &FORMAPP::menuTraceStarted},
    {MENU_TRACE_PAUSED, MENU_TRACE_PAUSED, &FORMAPP::menuTracePaused},
    {MENU_TRACE_OUTPUT, MENU_TRACE_OUTPUT, &FORMAPP::menuTraceOutput},
    {MENU_TRACE_CLEAR, MENU_TRACE_CLEAR, &FORMAPP::menuTraceClear},
    {MENU_TRACE_COMM, MENU_TRACE_MEMORY, &FORMAPP::menuTraceClass},
    {MENU_TRACE_TASK, MENU_TRACE_CACHE, &FORMAPP::menuTraceClass},
    {0, 0, nullptr},
};

int FORMAPP::command(zCommandEvt* e) {
    unsigned id = e->cmd();
    if (!_pSvr) return 0;
    for (const COMMANDROW* row = commandTable; row->proc; ++row)
        if (id >= row->low && id <= row->high) return (this->*row->proc)(e->lParm, id);
    return _ConsoleDialogs.command ? _ConsoleDialogs.command(this, id, e->lParm) : 0;
}

// ---- start -------------------------------------------------------------------

int FORMAPP::cmdStart(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    char appClass[256], frameClass[256], title[256];
    _strzcpy(appClass, ServerText(IDS_APP_CLASS), sizeof appClass);
    _strzcpy(frameClass, "AppFrameCL", sizeof frameClass);
    GetWindowTextA(hwnd, title, sizeof title);
    upper(appClass);
    upper(frameClass);
    upper(title);
    HWND running = SysFindWindow(nullptr, appClass, title);
    if (!running) running = SysFindWindow(nullptr, frameClass, title);
    if (!running) running = SysFindWindow(nullptr, appClass, nullptr);
    if (running) {
        PostCmdMessage(running, CMD_TO_FRONT, 0);
        PostCmdMessage(hwnd, CMD_STOPPED, 0);
        return 1;
    }
    if (!svr->setupMode) {
        if (svr->config.systemChanged) {
            if (_ConsoleDialogs.splash) _ConsoleDialogs.splash(this, 1006);
            PostCmdMessage(hwnd, CMD_STOPPED, 0);
            return 1;
        }
        BOOL shiftOk = _ConsoleDialogs.splash && _ConsoleDialogs.splash(this, 1005);
        if (shiftOk && !technicalSupport) {
            technicalSupport = TRUE;
            createMainMenu();
            if (!svr->config.initialTraceState)
                for (const TRACESWITCH& s : TRACE_SWITCHES)
                    if (svr->config.*s.setting) PostCmdMessage(hwnd, s.command, 0, TRUE);
        }
    }
    display();
    PostCmdMessage(hwnd, CMD_START_CONTROL, 0);
    char text[128];
    std::snprintf(text, sizeof text, ServerText(IDS_STARTING), PRODUCT);
    DisplayStatusMsg(text, TRUE);
    return 1;
}

int FORMAPP::cmdStartControl(LPARAM, unsigned) {
    if (!startThread(MainSystemCntlProc, nullptr, &_pSvr->controlThread)) _Task_Abend(ABEND_INI102, 0);
    return 1;
}

int FORMAPP::cmdCacheLoading(LPARAM, unsigned) {
    DisplayStatusMsg(ServerText(IDS_CACHE_LOADING), TRUE);
    logLine(ServerText(IDS_CACHE_LOADING));
    return 1;
}

int FORMAPP::cmdStartLines(LPARAM, unsigned) {
    NETWORKINTERFACE& lines = _pSvr->lines;
    for (int n = 1; n <= lines.lineCount && n <= 4; ++n) PostCmdMessage(hwnd, CMD_TO_FRONT + n, 0, TRUE);
    if (!lines.started) lines.Startup();
    return 1;
}

int FORMAPP::cmdReady(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    if (svr->closing) return 1;
    svr->ready = TRUE;
    markStatusDirty();
    if (!svr->setupMode && !svr->lines.started) PostCmdMessage(hwnd, CMD_START_LINES, 0, TRUE);
    if (!svr->setupMode) {
        LOCALREQUEST::ReadRequests(REQUEST_FILE);
        LOCALREQUEST::RequestsRead = TRUE;
    } else {
        svr->setupStep = 1;
        PostCmdMessage(hwnd, MENU_OPTIONS, 0);
    }
    char text[128];
    std::snprintf(text, sizeof text, ServerText(IDS_READY), PRODUCT);
    DisplayStatusMsg(text, TRUE);
    logLine(text);
    return 1;
}

int FORMAPP::cmdStartError(LPARAM parameter, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    char text[257];
    _strzcpy(text, ServerText(IDS_UNABLE_TO_START), sizeof text);
    int id = (int)parameter;
    if (!id) {
        svr->shutdownReason = IDS_UNABLE_TO_START;
    } else {
        svr->shutdownReason = id;
        _strzcat(text, ServerText(id), sizeof text);
        if (svr->startError[0]) _strzcat(text, svr->startError, sizeof text);
        svr->startError[0] = 0;
    }
    logLine(text);
    alert(IDS_ALERT_CAPTION, text);
    PostCmdMessage(hwnd, CMD_SHUTDOWN_REQUEST, 0);
    return 1;
}

int FORMAPP::cmdServiceStarted(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    if (svr->manager.running > 0 && svr->manager.pending == 0) svr->servicesStarted = TRUE;
    markStatusDirty();
    return 1;
}

int FORMAPP::cmdServiceStopped(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    if (svr->manager.running > 0 && svr->manager.pending == 0) svr->servicesStarted = TRUE;
    // Services stopping during a shutdown are no reason for alarm.
    if (svr->manager.running == 0 && svr->manager.pending == 0 && !svr->closing) {
        if (!svr->config.autoTerminate) {
            if (!svr->servicesStarted) alert(IDS_ALERT_CAPTION, ServerText(IDS_NO_ACTIVE_APPS));
        } else {
            svr->shutdownReason = IDS_NO_ACTIVE_APPS;
            PostCmdMessage(hwnd, CMD_SHUTDOWN_REQUEST, IDS_NO_ACTIVE_APPS);
        }
    }
    markStatusDirty();
    return 1;
}

int FORMAPP::cmdDebugResult(LPARAM parameter, unsigned) {
    if (parameter) alert(IDS_DEBUG_CAPTION, ServerText((int)parameter));
    return 1;
}

int FORMAPP::cmdReloadResult(LPARAM parameter, unsigned) {
    if (!parameter) return 1;
    char text[256];
    std::snprintf(text, sizeof text, ServerText((int)parameter), restartApp);
    alert(IDS_RELOAD_CAPTION, text);
    return 1;
}

int FORMAPP::cmdShowYourself(LPARAM, unsigned) {
    if (useTrayIcon() && showState == SHOW_IN_TRAY) UIRestoreApplication(hwnd);
    showState = SW_SHOWNORMAL;
    hideShowWindows();
    SetForegroundWindow(hwnd);
    return 1;
}

void FORMAPP::refreshLineMenu(int n) {
    char text[64];
    _strzcpy(text, ServerText(lineState[n - 1] ? IDS_HANGUP_LINE : IDS_DIAL_LINE), sizeof text - 2);
    size_t length = std::strlen(text);
    text[length] = (char)('0' + n);
    text[length + 1] = 0;
    if (mainMenu) SetMenuText(hwnd, mainMenu->handle(), MENU_CONNECT_SETTINGS + n, text);
}

int FORMAPP::cmdLineState(LPARAM, unsigned id) {
    int n = (int)id - CMD_TO_FRONT;
    NETWORKINTERFACE& lines = _pSvr->lines;
    if (lines.lineCount < n) return 1;
    lineState[n - 1] = lines.lines[n - 1].connected;
    refreshLineMenu(n);
    return 1;
}

int FORMAPP::cmdInitialRequests(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    if (svr->setupMode) return 1;
    const char* file = svr->config.initialRequestFile;
    BOOL exists = FALSE;
    if (file[0])
        if (FILE* f = std::fopen(file, "r")) {
            exists = TRUE;
            std::fclose(f);
        }
    APPTYPE* type = svr->manager.FindAppType(svr->manager.defaultService);
    if (exists && type && !svr->manager.initialRequestRun && !svr->debugThread) {
        svr->manager.initialRequestRun = TRUE;
        BOOL loaded = FALSE;
        if (type->debug) {
            type->debug->stopFlag = FALSE;
            loaded = type->debug->SetCmd(file, TRUE);
        }
        svr->debugThread = STARTING;
        if (loaded) startThread(DebugRequestProc, svr->manager.defaultService, &svr->debugThread);
        if (svr->debugThread == STARTING) {
            svr->debugThread = nullptr;
            alert(IDS_DEBUG_CAPTION, ServerText(IDS_SUBMIT_FAILED));
        }
    }
    if (!statusDisplay) PostCmdMessage(hwnd, MENU_STATUS_DISPLAY, 0);
    return 1;
}

// ---- shutdown ----------------------------------------------------------------

int FORMAPP::cmdShutdownRequest(LPARAM parameter, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    if (parameter) {
        svr->shutdownReason = (long)parameter;
        logLine(ServerText((int)parameter));
        alert(IDS_ALERT_CAPTION, ServerText((int)parameter));
    }
    if (svr->closing) return 1;
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) svr->quickShutdown = TRUE;
    if (!svr->quickShutdown) {
        if (svr->HasActiveReqs(TRUE, FALSE) && !ask(IDS_SHUTDOWN_CAPTION, IDS_ACTIVE_REQUESTS)) return 1;
        if (svr->lines.CheckCommInterfaces(TRUE) && !ask(IDS_SHUTDOWN_CAPTION, IDS_LINE_CONNECTED)) return 1;
    }
    if (svr->cacheUpdate && !ask(IDS_SHUTDOWN_CAPTION, IDS_CACHE_UPDATING)) return 1;
    svr->closing = TRUE;
    APPTYPE* http = svr->manager.FindAppType("HTTP");
    if (http && !svr->setupMode && svr->ready && http->definition &&
        !http->definition->ShutdownAppCache(nullptr, hwnd, CMD_SHUTDOWN, 0)) {
        DisplayStatusMsg(ServerText(IDS_CACHE_SAVING), TRUE);
        return 1;
    }
    PostCmdMessage(hwnd, CMD_SHUTDOWN, 0);
    return 1;
}

int FORMAPP::cmdShutdown(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    svr->closing = TRUE;
    DisplayStatusMsg(ServerText(IDS_SHUTTING_DOWN), TRUE);
    markStatusDirty();
    if (LOCALREQUEST::RequestsRead && !LOCALREQUEST::RequestsSaved) {
        LOCALREQUEST::RequestsSaved = TRUE;
        LOCALREQUEST::SaveRequests(REQUEST_FILE);
    }
    delete watchdog;
    watchdog = new zTimer(this, zTimerOf(&FORMAPP::quickShutDown), WATCHDOG_MS);
    svr->lines.Shutdown(!svr->quickShutdown);
    if (!svr->HasActiveReqs(FALSE, TRUE)) {
        PostCmdMessage(hwnd, CMD_RELEASE_CONTROL, 0);
        return 1;
    }
    svr->CancelActiveReqs();
    svr->waitingForRequests = TRUE;
    return 1;
}

int FORMAPP::cmdReleaseControl(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    // Without a control thread nobody stops the services and answers: quit at once.
    if (svr->controlThread)
        svr->terminateEvent.PostEvent();
    else
        PostCmdMessage(hwnd, CMD_STOPPED, 0);
    return 1;
}

int FORMAPP::cmdQuit(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    PGMTHREAD* thread = svr->controlThread;
    if (thread && thread != STARTING) PGMTHREAD::WaitByID(thread->threadId);
    svr->ready = FALSE;
    delete watchdog;
    watchdog = nullptr;
    if (_app) _app->quit();
    return 1;
}

int FORMAPP::cmdFatal(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    svr->closing = TRUE;
    svr->fastTermination = TRUE;
    DisplayStatusMsg(ServerText(IDS_FATAL_STATUS), TRUE);
    _Task_Abend(svr->abendCode ? svr->abendCode : "", svr->abendValue);
}

int FORMAPP::sysShutdown(zEvent* e) {
    SVRSYSTEM* svr = _pSvr;
    if (!e->wParm || !svr) return 0;
    svr->closing = TRUE;
    svr->fastTermination = TRUE;
    CITERATOR<APPDEFINITION> it;
    for (APPDEFINITION* d = it.Begin(svr->manager.definitions); d; d = it.Next()) d->ShutdownAppCache(nullptr, nullptr, 0, 0);
    it.End();
    svr->config.CloseProfile();
    svr->config.CloseUsers();
    svr->systemLog.Close();
    return 0;
}

// ---- menu commands -------------------------------------------------------------

int FORMAPP::menuExit(LPARAM, unsigned) {
    PostCmdMessage(hwnd, CMD_SHUTDOWN_REQUEST, 0);
    return 1;
}

int FORMAPP::menuNothing(LPARAM, unsigned) { return 1; }

int FORMAPP::menuDetailPopup(LPARAM, unsigned) {
    if (detailPopup && statusPane) statusPane->closeDetail();
    detailPopup = !detailPopup;
    checkMenu(MENU_DETAIL_POPUP, detailPopup);
    return 1;
}

int FORMAPP::menuClearSystemLog(LPARAM, unsigned) {
    if (!ask(IDS_CLEAR_CAPTION, IDS_CLEAR_LOG)) return 1;
    _pSvr->systemLog.Clear();
    char text[128];
    std::snprintf(text, sizeof text, ServerText(IDS_LOG_CLEARED), "system");
    DisplayStatusMsg(text, TRUE);
    return 1;
}

int FORMAPP::menuViewSystemLog(LPARAM, unsigned) {
    LOGFILE& log = _pSvr->systemLog;
    if (!log.IsOpen()) log.Open(FALSE);
    viewFile(_pSvr->config.logfileEditor, &log);
    return 1;
}

int FORMAPP::menuViewTraceLog(LPARAM, unsigned) {
    if (_pSupport && _pSupport->trace.active) WriteTraceTable(&_pSupport->trace, TRACE_FILE);
    viewFile(_pSvr->config.logfileEditor, TRACE_FILE);
    return 1;
}

int FORMAPP::menuStatusDisplay(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    statusDisplay = !statusDisplay;
    CITERATOR<APPTYPE> it;
    for (APPTYPE* t = it.Begin(svr->manager.types); t; t = it.Next()) t->statusDisplay = statusDisplay;
    it.End();
    if (!svr->corvath) return 1;
    checkMenu(MENU_STATUS_DISPLAY, statusDisplay);
    if (statusDisplay) {
        delete bmpPane;
        bmpPane = nullptr;
        relayout();
        createStatusPane();
    } else {
        delete statusPane;
        statusPane = nullptr;
        relayout();
        createBmpPane();
    }
    return 1;
}

int FORMAPP::menuLogAllRequests(LPARAM, unsigned) {
    SVRSYSTEM* svr = _pSvr;
    logAllRequests = !logAllRequests;
    CITERATOR<APPTYPE> it;
    for (APPTYPE* t = it.Begin(svr->manager.types); t; t = it.Next())
        if (t->log) t->log->SetLogging(logAllRequests);
    it.End();
    if (svr->corvath) checkMenu(MENU_LOG_ALL_REQUESTS, logAllRequests);
    return 1;
}

int FORMAPP::menuTraceStarted(LPARAM, unsigned) {
    if (!_pSupport) return 1;
    TRACETABLE& trace = _pSupport->trace;
    if (!trace.active)
        trace.StartTrace(0, (int)_pSvr->config.traceBuffer);
    else
        trace.StopTrace();
    checkMenu(MENU_TRACE_STARTED, trace.active != 0);
    return 1;
}

int FORMAPP::menuTracePaused(LPARAM, unsigned) {
    if (!_pSupport) return 1;
    TRACETABLE& trace = _pSupport->trace;
    if (trace.paused)
        trace.Resume();
    else
        trace.Pause();
    checkMenu(MENU_TRACE_PAUSED, trace.paused != 0);
    return 1;
}

int FORMAPP::menuTraceOutput(LPARAM, unsigned) {
    if (!_pSupport) return 1;
    char text[128];
    if (!WriteTraceTable(&_pSupport->trace, TRACE_FILE)) {
        std::snprintf(text, sizeof text, "%s%s", ServerText(IDS_WRITE_ERROR), TRACE_FILE);
        alert(IDS_ALERT_CAPTION, text);
        return 1;
    }
    std::snprintf(text, sizeof text, "%s%s", ServerText(IDS_OUTPUT_WRITTEN), TRACE_FILE);
    DisplayStatusMsg(text, TRUE);
    return 1;
}

int FORMAPP::menuTraceClear(LPARAM, unsigned) {
    if (_pSupport) _pSupport->trace.Clear();
    DisplayStatusMsg(ServerText(IDS_TRACE_CLEARED), TRUE);
    return 1;
}

int FORMAPP::menuTraceClass(LPARAM, unsigned id) {
    if (!_pSupport) return 1;
    unsigned short bit = 0;
    for (const TRACECLASS& c : traceClasses)
        if (c.command == id) bit = c.bit;
    if (!bit) return 0;
    TRACETABLE& trace = _pSupport->trace;
    if (!(trace.categories & bit)) {
        if (!trace.active) {
            // Bits left by a stopped trace do not come back: the trace starts with this class alone.
            trace.categories = 0;
            trace.StartTrace(bit, (int)_pSvr->config.traceBuffer);
        } else
            trace.categories |= bit;
    } else {
        trace.categories &= (unsigned short)~bit;
    }
    checkMenu(id, (trace.categories & bit) != 0);
    checkMenu(MENU_TRACE_STARTED, trace.active != 0);
    return 1;
}
