#include "AppRequest.h"

#include <initializer_list>

#include "AppConnection.h"
#include "AppDefinition.h"
#include "AppInstance.h"
#include "SpControl.h"

APPREQUEST::APPREQUEST(DATAREQUEST* r, APPINSTANCE* i, APPCONNECTION* client)
    : instance(i), queuedCount(0), active(0), cancelled(0), requestLogged(0), resultLogged(0), cancelHandled(0),
      clientConnection(nullptr), serverConnection(nullptr), activeCell(nullptr), waitingForLine(0),
      waitingForObject(0), keep(0), lineLost(0), finished(0), dropped(0), failed(0), started(0), requeueCount(0),
      statusValue(0), dataProc(nullptr), outputMark(0), activeChain(nullptr) {
    request = r;
    if (r) r->process = this;
    if (client) setConnection(APPCONN_CLIENT, client);
}

APPREQUEST::~APPREQUEST() {
    if (activeCell && activeChain) {
        MSEMHOLD hold(activeChain->lock);
        if (!activeChain->removingAll && activeCell->linked) activeChain->Remove(*activeCell);
    }
    activeCell = nullptr;
    active = FALSE;
    instance = nullptr;
}

void APPREQUEST::StartProcess(APPINSTANCE* i) {
    instance = i;
    InterlockedDecrement(&queuedCount);
    if (active || !i || !i->definition) return;
    activeChain = &i->definition->activeRequests;
    MSEMHOLD hold(activeChain->lock);
    activeCell = &activeChain->Add(*this);
    active = TRUE;
}

BBOOL APPREQUEST::RestartProcess() {
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppp", "Restart Request", this, request, instance);
    if (instance && instance->definition && instance->definition->QueueRequest(this)) return TRUE;
    FreeAppRequest(TRUE);
    return FALSE;
}

void APPREQUEST::FreeAppRequest(BBOOL drop) {
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppppioo", "Free Request", this, request, clientConnection, serverConnection,
             (int)queuedCount, (long)drop, (long)waiting);
    ClearObjectWait();
    for (APPCONNSLOT which : {APPCONN_CLIENT, APPCONN_SERVER}) {
        APPCONNECTION* c = slot(which);
        if (!c) continue;
        // A connection's events take the request from currentRequest with a
        // reference, under the release lock: once cleared here, none can.
        DATAREQBASE::EnterRelease();
        const bool current = c->currentRequest == this;
        if (current) c->currentRequest = nullptr;
        DATAREQBASE::LeaveRelease();
        if (current && drop && c->connectSeen) c->SetDropRequested(TRUE, TRUE);
        slot(which) = nullptr;
        c->freeobj();
    }
    DATAREQBASE::EnterRelease();
    const bool ours = request && request->process == this;
    if (ours) request->process = nullptr;
    DATAREQBASE::LeaveRelease();
    if (ours) {
        DATAREQUEST* r = request;
        if (drop) {
            if (r->result) r->result->FreeResult(FALSE);
            r->FreeRequest(FALSE);
        }
    }
    request = nullptr;
    if (queuedCount == 0 && !waiting) freeobj();
}

BBOOL APPREQUEST::LogRequest(APPDEFINITION* definition) {
    if (requestLogged || !definition) return FALSE;
    requestLogged = TRUE;
    return definition->LogRequest(this);
}

BBOOL APPREQUEST::LogResult(APPDEFINITION* definition) {
    if (resultLogged || !definition) return FALSE;
    resultLogged = TRUE;
    return definition->LogRequest(this);
}

void APPREQUEST::setConnection(APPCONNSLOT which, APPCONNECTION* connection) {
    APPCONNECTION*& s = slot(which);
    if (s == connection) return;
    if (APPCONNECTION* old = s) {
        if (old->currentRequest == this) old->currentRequest = nullptr;
        s = nullptr;
        old->freeobj();
    }
    if (connection) {
        connection->prepare();
        s = connection;
        if (!connection->currentRequest) connection->currentRequest = this;
    }
}
