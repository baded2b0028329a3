#include "AppManager.h"

#include <cstring>
#include <vector>

#include "AppCfg.h"
#include "AppLog.h"
#include "DataManager.h"
#include "RequestMonitor.h"
#include "ServerIds.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TaskAbend.h"
#include "TextHelpers.h"

LOOKUPROW _Applications[] = {
    {"HTTP", 0, 1, (intptr_t)&_pHTTPAppType, (intptr_t) "HTTP Configuration", (intptr_t) "HTTP.INI"},
    {"TELNET", 0, 1, (intptr_t)&_pTELNETAppType, (intptr_t) "TELNET Configuration", (intptr_t) "TELNET.INI"},
    {"FTP", 0, 1, (intptr_t)&_pFTPAppType, (intptr_t) "FTP Configuration", (intptr_t) "FTP.INI"},
    {"NNTP", 0, 1, (intptr_t)&_pNNTPAppType, (intptr_t) "NNTP Configuration", (intptr_t) "NNTP.INI"},
    {"POP", 0, 1, (intptr_t)&_pPOPAppType, (intptr_t) "POP Configuration", (intptr_t) "POP.INI"},
    {"SMTP", 0, 1, (intptr_t)&_pSMTPAppType, (intptr_t) "SMTP Configuration", (intptr_t) "SMTP.INI"},
    {"", 0, 0, 0, 0, 0},
};

namespace {
// The services in creation order with their [Applications] switch.
struct SERVICESWITCH {
    const char* name;
    BBOOL SVRCFG::*enabled;
};
const SERVICESWITCH SERVICES[] = {
    {"HTTP", &SVRCFG::appHTTP}, {"TELNET", &SVRCFG::appTELNET}, {"FTP", &SVRCFG::appFTP},
    {"NNTP", &SVRCFG::appNNTP}, {"POP", &SVRCFG::appPOP},       {"SMTP", &SVRCFG::appSMTP},
};

void postConsole(int command) {
    if (_pSvr && _pSvr->consoleWindow) PostCmdMessage(_pSvr->consoleWindow, command, 0);
}

void logTo(APPTYPE* type, int textId, const char* name) {
    if (type && type->log) type->log->LogMsg(ServerText(textId), name);
}

// The definitions as they stand; the walk then runs without the definition
// lock, so a definition's start or stop can take it on another thread.
std::vector<APPDEFINITION*> snapshot(CHAIN<APPDEFINITION>& chain) {
    std::vector<APPDEFINITION*> all;
    MSEMHOLD hold(chain.lock);
    for (bSPOINTER* c = chain.first; c && c->target; c = c->next) all.push_back(CHAIN<APPDEFINITION>::Cast(c->target));
    return all;
}

// A thread object, started; null (and released) when it does not run.
PGMTHREAD* startThread(PGMTHREADPROC procedure, void* argument) {
    PGMTHREAD* t = new PGMTHREAD(nullptr, nullptr, nullptr, FALSE);
    t->prepare();
    if (!t->StartUp(procedure, argument)) {
        t->freeobj();
        return nullptr;
    }
    return t;
}

// Ends a thread that runs its loop until stop is set and event posted.
void stopThread(PGMTHREAD*& thread, volatile BBOOL& stop, ESEMAPHORE& event) {
    if (!thread) return;
    if (thread->threadId) {
        stop = TRUE;
        event.PostEvent();
        thread->Wait();
    }
    thread->freeobj();
    thread = nullptr;
}
}  // namespace

SVRAPPMANAGER::SVRAPPMANAGER(BBOOL perInstanceThreads)
    : defaultService("HTTP"), types(TRUE), definitions(TRUE), starting(nullptr), initialRequestRun(0),
      loggedIn(0), peakUsers(0), running(0), pending(0), wakeEvent(!perInstanceThreads), stop(0),
      monitorThread(nullptr), perInstance(perInstanceThreads) {
    InitializeCriticalSection(&userLock);
}

SVRAPPMANAGER::~SVRAPPMANAGER() {
    LOCALREQUEST::InShutdown = TRUE;
    stopThread(monitorThread, stop, wakeEvent);
    types.RemoveAll(FALSE, nullptr);
    DeleteAppDefinitions();
    DeleteCriticalSection(&userLock);
}

BBOOL SVRAPPMANAGER::CreateAppTypes(SVRCFG* config, PROFILE& profile, LOGFILE* log, BUFFER& error) {
    if (!config) return FALSE;
    BBOOL ok = TRUE;
    for (const SERVICESWITCH& s : SERVICES)
        if (config->*s.enabled && ok) ok = createAppType(s.name, config, profile, error);
    for (bSPOINTER* c = types.first; c && c->target; c = c->next) {
        APPTYPE* t = CHAIN<APPTYPE>::Cast(c->target);
        t->SetupLogfile(log);
        if (t->log) t->log->SetLogging(config->logAppRequests);
    }
    return ok;
}

BBOOL SVRAPPMANAGER::createAppType(const char* name, SVRCFG* config, PROFILE& profile, BUFFER& error) {
    LOOKUPROW* row = _LookUp(_Applications, name);
    if (!row->valid || !row->value || !row->value2) return FALSE;
    APPTYPE* type = *reinterpret_cast<APPTYPE**>(row->value);
    if (!type) _Task_Abend(ABEND_STG101, (ULONG_PTR)this);
    if (!types.bFindCell(type).target) types.Add(*type);
    if (type->config && !type->config->ReadProfile(profile, reinterpret_cast<const char*>(row->value2))) {
        if (error.data && error.length > 0) {
            if (type->config->invalidKey) {
                _strzcat(error.data, type->config->invalidKey, (int)error.length);
                _strzcat(error.data, ". ", (int)error.length);
            }
            _strzcat(error.data, "Error with application ", (int)error.length);
            _strzcat(error.data, name, (int)error.length);
            _strzcat(error.data, ". ", (int)error.length);
        }
        return FALSE;
    }
    // The service's own INI is optional; a type made before keeps what it read.
    if (row->value3 && !type->profile.loaded) type->profile.ReadFile(reinterpret_cast<const char*>(row->value3), FALSE);
    return TRUE;
}

int SVRAPPMANAGER::CreateAppDefinitions(SVRCFG* config) {
    if (!config) return 0;
    int made = 0;
    for (const SERVICESWITCH& s : SERVICES) {
        if (!(config->*s.enabled)) continue;
        LOOKUPROW* row = _LookUp(_Applications, s.name);
        if (!row->valid || !row->value || !*reinterpret_cast<APPTYPE**>(row->value)) continue;
        APPTYPE* type = *reinterpret_cast<APPTYPE**>(row->value);
        APPDEFINITION* d = type->CreateAppDefinition();
        if (!d) _Task_Abend(ABEND_STG101, (ULONG_PTR)this);
        d->type = type;
        type->definition = d;
        {
            MSEMHOLD hold(definitions.lock);
            definitions.Add(*d);
        }
        InterlockedIncrement(&pending);
        ++made;
    }
    if (_pSvr) {
        for (APPDEFINITION* d : snapshot(definitions)) {
            d->UpdateAppCache(&_pSvr->options.cache, FALSE);
            d->UpdateAppProxies(&_pSvr->options.proxies, FALSE);
        }
    }
    return made;
}

BBOOL SVRAPPMANAGER::StartAppCommunications() {
    if (!perInstance) {
        _pDataSys->commonStop = FALSE;
        _pDataSys->commonThread = startThread(REQUESTMONITOR::CommonMonitor, nullptr);
        if (!_pDataSys->commonThread) return FALSE;
    }
    for (APPDEFINITION* d : snapshot(definitions)) {
        starting = d;
        postConsole(CMD_APP_STARTED);
        if (!d->StartCommunications()) {
            InterlockedDecrement(&pending);
            logTo(d->type, IDS_APP_START_FAILED, d->name);
            postConsole(CMD_APP_STOPPED);
        } else {
            d->communicating = TRUE;
            InterlockedIncrement(&running);
            InterlockedDecrement(&pending);
            logTo(d->type, IDS_APP_STARTING, d->name);
            postConsole(CMD_APP_STARTED);
        }
    }
    starting = nullptr;
    if (!perInstance) {
        stop = FALSE;
        monitorThread = startThread(RequestMonitor, this);
        if (!monitorThread) return FALSE;
    }
    return TRUE;
}

BBOOL SVRAPPMANAGER::StopAppCommunications() {
    stopThread(monitorThread, stop, wakeEvent);
    BBOOL result = TRUE;
    for (APPDEFINITION* d : snapshot(definitions)) {
        postConsole(CMD_APP_STOPPED);
        result = d->StopCommunications();
        if (!result) {
            logTo(d->type, IDS_APP_ABNORMAL_END, d->name);
        } else {
            logTo(d->type, IDS_APP_STOPPING, d->name);
            // Only a started one was counted: the console reads 0 as "none running".
            if (d->communicating) InterlockedDecrement(&running);
        }
        d->communicating = FALSE;
    }
    if (_pDataSys) stopThread(_pDataSys->commonThread, _pDataSys->commonStop, _pDataSys->commonEvent);
    postConsole(CMD_APP_STOPPED);
    return result;
}

void SVRAPPMANAGER::DeleteAppDefinitions() {
    for (APPDEFINITION* d : snapshot(definitions))
        if (d->type && d->type->definition == d) d->type->definition = nullptr;
    definitions.RemoveAll(TRUE, nullptr);
}

void SVRAPPMANAGER::CloseAppTypeLogs() {
    for (bSPOINTER* c = types.first; c && c->target; c = c->next) {
        APPTYPE* t = CHAIN<APPTYPE>::Cast(c->target);
        if (t->log) t->log->SetLogging(FALSE);
    }
}

APPDEFINITION* SVRAPPMANAGER::FindApp(const char* name) {
    if (!name) return nullptr;
    for (bSPOINTER* c = definitions.first; c && c->target; c = c->next) {
        APPDEFINITION* d = CHAIN<APPDEFINITION>::Cast(c->target);
        if (std::strcmp(d->name, name) == 0) return d;
    }
    return nullptr;
}

APPTYPE* SVRAPPMANAGER::FindAppType(const char* name) {
    if (!name) return nullptr;
    for (bSPOINTER* c = types.first; c && c->target; c = c->next) {
        APPTYPE* t = CHAIN<APPTYPE>::Cast(c->target);
        if (std::strcmp(t->name, name) == 0) return t;
    }
    return nullptr;
}

void SVRAPPMANAGER::RequestMonitor(void* argument) {
    SVRAPPMANAGER* m = static_cast<SVRAPPMANAGER*>(argument);
    while (!m->stop) {
        m->wakeEvent.WaitEvent(QV_WAIT_FOREVER);
        m->wakeEvent.ResetEvent();
        if (m->stop) break;
        // The chains stay as they are while the monitor runs: the control
        // thread stops it before it deletes definitions.
        for (;;) {
            APPINSTANCE* found = nullptr;
            for (bSPOINTER* c = m->definitions.first; !found && c && c->target; c = c->next) {
                APPDEFINITION* d = CHAIN<APPDEFINITION>::Cast(c->target);
                if (!d->wakeup) continue;
                d->wakeup = FALSE;
                for (bSPOINTER* i = d->instances.first; i && i->target; i = i->next) {
                    APPINSTANCE* inst = CHAIN<APPINSTANCE>::Cast(i->target);
                    if (inst->shared && inst->worker && inst->queue.Count() > 0) {
                        found = inst;
                        break;
                    }
                }
            }
            if (!found) break;
            found->worker(found);
        }
    }
}

int SVRAPPMANAGER::CountLogin(APPUSER* user, BBOOL login, long maximum) {
    EnterCriticalSection(&userLock);
    int result = 0;
    if (login) {
        result = LOGIN_IN;
        if (user && user->inUse > 0) {
            ++user->inUse;
        } else if (loggedIn >= maximum) {
            result = LOGIN_USER_LIMIT;
        } else {
            if (++loggedIn > peakUsers) peakUsers = loggedIn;
            if (user) ++user->inUse;
        }
    } else if (!user) {
        --loggedIn;
    } else if (user->inUse > 0 && --user->inUse == 0) {
        --loggedIn;
    }
    LeaveCriticalSection(&userLock);
    return result;
}
