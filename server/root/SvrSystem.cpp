#include "SvrSystem.h"

#include "AppDebug.h"
#include "AppLog.h"
#include "ConsoleWindow.h"
#include "ServerAbend.h"
#include "ServerIds.h"
#include "SpControl.h"
#include "SysHelpers.h"

SVRSYSTEM* _pSvr = nullptr;

SVRSYSTEM::SVRSYSTEM(BBOOL corvathFlag, BBOOL tessimaraFlag)
    : manager(corvathFlag), systemLog("SYSTEM"), consoleWindow(nullptr), corvath(corvathFlag),
      tessimara(tessimaraFlag), closing(0), fastTermination(0), waitingForRequests(0), quickShutdown(0),
      cacheUpdate(0), ready(0), servicesStarted(0), shutdownReason(0), setupMode(0), setupShown(0), setupStep(0),
      lowColour(0), maxUsersProfile(SVR_USER_CEILING), maxUsers(SVR_USER_CEILING), userCeiling(SVR_USER_CEILING),
      allowExternalUsers(0), controlThread(nullptr), reloadThread(nullptr), debugThread(nullptr),
      abendCode(nullptr), abendValue(0), abendEvent(TRUE), terminateEvent(TRUE), fastStopEvent(TRUE),
      configDirectory{}, startError{} {
    InstallServerAbendHooks(this);
}

SVRSYSTEM::~SVRSYSTEM() { LOCALREQUEST::ReleaseAll(localRequests); }

int SVRSYSTEM::MainSystemInit() {
    BUFFER error(startError, sizeof startError);
    if (!manager.CreateAppTypes(&config, mainProfile, corvath ? nullptr : &systemLog, error)) return 100;
    if (manager.CreateAppDefinitions(&config) == 0) return IDS_NO_APPLICATIONS;
    if (!manager.StartAppCommunications()) return IDS_NO_TCPIP;
    return 0;
}

void SVRSYSTEM::MainSystemTerm(BBOOL fast) {
    if (fast) {
        fastTermination = TRUE;
        if (_pSupport) _pSupport->lockObjectCleanup = 0;
        // Closed for good: whoever holds it (a stuck worker) can no longer keep others out.
        manager.definitions.lock.Close(TRUE);
        for (bSPOINTER* cell = manager.definitions.first; cell && cell->target; cell = cell->next)
            CHAIN<APPDEFINITION>::Cast(cell->target)->ForceShutdown();
        fastStopEvent.PostEvent();
        terminateEvent.PostEvent();
        return;
    }
    terminateEvent.ResetEvent();
    manager.StopAppCommunications();
    if (fastTermination) fastStopEvent.WaitEvent(QV_WAIT_FOREVER);
    manager.DeleteAppDefinitions();
    if (corvath) manager.CloseAppTypeLogs();
}

BBOOL SVRSYSTEM::HasActiveReqs(BBOOL pending, BBOOL ignoreUsers) {
    if (!servicesStarted) return FALSE;
    CHAIN<APPDEFINITION>& chain = manager.definitions;
    // A lock held that long means someone works on the definitions: busy, unless
    // a fatal error is taking everything down anyway.
    if (!chain.lock.Reserve(50, TRUE)) return fastTermination ? FALSE : TRUE;
    BBOOL busy = FALSE;
    for (bSPOINTER* cell = chain.first; !busy && cell && cell->target; cell = cell->next) {
        APPDEFINITION* d = CHAIN<APPDEFINITION>::Cast(cell->target);
        busy = d->activeRequests.Count() > 0 || (manager.loggedIn && !ignoreUsers) || (pending && d->wakeup);
    }
    chain.lock.Release();
    return busy;
}

long SVRSYSTEM::CancelActiveReqs() {
    long cancelled = 0;
    CITERATOR<APPDEFINITION> it;
    for (APPDEFINITION* d = it.Begin(manager.definitions); d; d = it.Next()) cancelled += d->CancelRequests();
    return cancelled;
}

void SVRSYSTEM::ConnectionMonitor(DATACONNECTION* connection, int event) {
    if (event != 1 || !_pSvr) return;
    if (_ConsoleEntries.provideStatus) _ConsoleEntries.provideStatus(connection);
    _pSvr->lines.ProcessNewConnection(connection);
}

void SVRSYSTEM::TimerSystemLog(void*) {
    if (_pSvr) _pSvr->systemLog.Open(FALSE);
}

BBOOL IsSystemClosing() { return _pSvr ? _pSvr->closing : FALSE; }

void MainSystemCntlProc(void*) {
    MainSystemInitProc();
    if (!_pSvr) return;
    _pSvr->terminateEvent.WaitEvent(QV_WAIT_FOREVER);
    MainSystemTermProc(CMD_STOPPED);
}

void MainSystemInitProc() {
    SVRSYSTEM* svr = _pSvr;
    if (!svr) return;
    int result = svr->MainSystemInit();
    {
        CITERATOR<APPTYPE> it;
        for (APPTYPE* t = it.Begin(svr->manager.types); t; t = it.Next()) {
            t->statusDisplay = svr->config.appStatus;
            if (t->log) t->log->SetLogging(svr->config.logAppRequests);
        }
    }
    APPTYPE* http = svr->manager.FindAppType("HTTP");
    if (http && !svr->setupMode && http->cacheDefinition) {
        PostCmdMessage(svr->consoleWindow, CMD_CACHE_LOADING, 0);
        PostCmdMessage(svr->consoleWindow, CMD_START_LINES, 0);
        if (!http->cacheDefinition->StartAppCache()) result = IDS_CACHE_INVALID;
    }
    if (result == 0) {
        if (!svr->closing) PostCmdMessage(svr->consoleWindow, CMD_READY, 0);
    } else {
        PostCmdMessage(svr->consoleWindow, CMD_START_ERROR, result);
    }
}

void MainSystemTermProc(int command) {
    if (!_pSvr) return;
    _pSvr->MainSystemTerm(FALSE);
    if (command) PostCmdMessage(_pSvr->consoleWindow, command, 0);
}

void DebugRequestProc(void* serviceName) {
    if (!_pSvr) return;
    APPTYPE* type = _pSvr->manager.FindAppType(static_cast<const char*>(serviceName));
    if (!type || !type->debug) return;
    BBOOL ok = type->debug->RequestProc();
    PostCmdMessage(_pSvr->consoleWindow, CMD_DEBUG_RESULT, ok ? 0 : IDS_INVALID_REQUEST);
}

void ReloadRequestProc(void* serviceName) {
    if (!_pSvr) return;
    APPDEFINITION* found = _pSvr->manager.FindApp(static_cast<const char*>(serviceName));
    PostCmdMessage(_pSvr->consoleWindow, CMD_RELOAD_RESULT, found ? 0 : IDS_RELOAD_FAILED);
}
