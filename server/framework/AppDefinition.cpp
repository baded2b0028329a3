#include "AppDefinition.h"

#include <vector>

#include "AppLog.h"
#include "AppStatus.h"
#include "AppType.h"
#include "AppUser.h"
#include "LocalRequest.h"
#include "SpControl.h"
#include "SvrSystem.h"

APPDEFINITION::APPDEFINITION(APPTYPE* t)
    : name{}, instances(TRUE), connections(TRUE), activeRequests(TRUE), type(t),
      userSecurity(_pSvr ? _pSvr->config.userSecurity : TRUE), shared(_pSvr ? !_pSvr->corvath : TRUE), wakeup(0),
      localUser(0), communicating(0) {}

APPDEFINITION::~APPDEFINITION() {
    instances.RemoveAll(TRUE, nullptr);
    connections.RemoveAll(TRUE, nullptr);
    activeRequests.RemoveAll(TRUE, nullptr);
}

long APPDEFINITION::CancelRequests() {
    // A restart may free a request, which leaves the chain: walk a copy, each
    // held by a reference of its own.
    std::vector<APPREQUEST*> all;
    {
        MSEMHOLD hold(activeRequests.lock);
        for (bSPOINTER* c = activeRequests.first; c && c->target; c = c->next) {
            APPREQUEST* r = CHAIN<APPREQUEST>::Cast(c->target);
            r->prepare();
            all.push_back(r);
        }
    }
    for (APPREQUEST* r : all) {
        if (!r->cancelled) {
            r->cancelled = TRUE;
            r->cancelHandled = TRUE;
            r->RestartProcess();
        }
        r->freeobj();
    }
    return (long)all.size();
}

void APPDEFINITION::ForceShutdown() {
    instances.lock.Close(TRUE);
    for (bSPOINTER* c = instances.first; c && c->target; c = c->next) CHAIN<APPINSTANCE>::Cast(c->target)->ForceShutdown();
}

const char* APPDEFINITION::GetUserName(APPCONNECTION* connection) {
    if (!connection) return "";
    if (!connection->inbound) return connection->name;
    if (connection->user && connection->user->address[0]) return connection->user->address;
    return connection->name;
}

BBOOL APPDEFINITION::QueueRequest(DATAREQUEST* request) {
    APPINSTANCE* first;
    {
        MSEMHOLD hold(instances.lock);
        first = instances.First();
    }
    return first && request && first->queueAppRequest(request) != nullptr;
}

BBOOL APPDEFINITION::QueueRequest(APPREQUEST* request) {
    APPINSTANCE* first;
    {
        MSEMHOLD hold(instances.lock);
        first = instances.First();
    }
    return first && request && first->queueAppRequest(request) != nullptr;
}

BBOOL APPDEFINITION::ReQueueRequest(DATAREQUEST* request) {
    APPREQUEST* r = request ? dynamic_cast<APPREQUEST*>(request->process) : nullptr;
    if (!r || !r->instance || r->request != request) return FALSE;
    r->instance->queueAppRequest(r);
    return TRUE;
}

int APPDEFINITION::UserLogin(APPCONNECTION* connection, BBOOL login) {
    APPUSER* user = connection ? connection->user : nullptr;
    int result = 0;
    if (login) {
        if (!_pSvr || !_pSvr->ready || _pSvr->closing) return LOGIN_NOT_READY;
        result = _pSvr->manager.CountLogin(user, TRUE, _pSvr->maxUsers);
        QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cpppiih", "User Login", this, connection, user, (int)_pSvr->manager.loggedIn,
                 (int)(user ? user->inUse : 0), (short)result);
    } else if (connection && connection->loginState == LOGIN_IN && _pSvr) {
        _pSvr->manager.CountLogin(user, FALSE, 0);
        QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cpppii", "User Logout", this, connection, user, (int)_pSvr->manager.loggedIn,
                 (int)(user ? user->inUse : 0));
    }
    return result;
}

BBOOL APPDEFINITION::StartInstanceCommunications() {
    for (bSPOINTER* c = instances.first; c && c->target; c = c->next)
        if (!CHAIN<APPINSTANCE>::Cast(c->target)->StartCommunications(nullptr)) return FALSE;
    return TRUE;
}

BBOOL APPDEFINITION::StopInstanceCommunications() {
    for (bSPOINTER* c = instances.first; c && c->target; c = c->next)
        if (!CHAIN<APPINSTANCE>::Cast(c->target)->StopCommunications()) return FALSE;
    return TRUE;
}

BBOOL APPDEFINITION::LogRequest(APPREQUEST* request) {
    if (!request || !type) return FALSE;
    const char* localUser = nullptr;
    if (dynamic_cast<LOCALAPPREQUEST*>(request) && _pSvr) localUser = _pSvr->options.users.ownerName;
    APPCONNECTION* c = request->clientConnection;
    APPSTATUS* status = c ? dynamic_cast<APPSTATUS*>(c->status) : nullptr;
    if (status) status->RebuildCommand();
    if (type->log) type->log->LogRequest(request, 0, localUser, nullptr);
    if (type->statusDisplay && status && request->request) status->NotifyRequest(request->request);
    return TRUE;
}
