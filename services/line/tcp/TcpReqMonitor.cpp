#include "TcpReqMonitor.h"

#include "MemoryPool.h"
#include "SpControl.h"
#include "TcpConnection.h"
#include "TcpMessages.h"

TCPREQMONITOR::TCPREQMONITOR(LINKCONTROL& control, IOMODE mode)
    : REQUESTMONITOR(control, mode), definition(nullptr), commandBuffer() {}

TCPREQMONITOR::~TCPREQMONITOR() {
    if (commandBuffer.data) _pSystemMemoryPool->Free(commandBuffer.data);
    commandBuffer = BUFFER();
}

BBOOL TCPREQMONITOR::MessageMonitor(COMMLINK*, IOBUFFER*) { return 1; }

DATACONNECTION* TCPREQMONITOR::CreateConnection(DATACONNECTION* other, BBOOL recordParent, BBOOL internal) {
    TCPCONNECTION* from = dynamic_cast<TCPCONNECTION*>(other);
    if (!from) return nullptr;
    TCPCONNECTION* made = new TCPCONNECTION(*from, recordParent, internal);
    made->prepare();
    return made;
}

DATAREQUEST* TCPREQMONITOR::buildRequest(IOBUFFER* buffer, DATACONNECTION* from) {
    if (!buffer) return nullptr;
    TCPREQUEST* r = new TCPREQUEST(buffer, from ? from->link : nullptr);
    r->prepare();
    return r;
}

DATARESULT* TCPREQMONITOR::buildResult(IOBUFFER* buffer, DATACONNECTION* from) {
    if (!buffer) return nullptr;
    TCPRESPONSE* r = new TCPRESPONSE(nullptr, buffer, from ? from->link : nullptr);
    r->prepare();
    return r;
}

BBOOL TCPREQMONITOR::evaluateRequest(DATAREQUEST* request) {
    if (request) request->FreeRequest(FALSE);
    return 1;
}

BBOOL TCPREQMONITOR::evaluateResult(DATARESULT* result) {
    if (!result) return 1;
    DATACONNECTION* source = result->connection;
    if (source && source->serviceFlag && internalResult(result)) return 1;
    result->FreeResult(FALSE);
    return 1;
}

void TCPREQMONITOR::CloseDestination(DATACONNECTION* to) {
    COMMLINK* link = to->link;
    if (!link->shutdownRequested && !link->cleanShutdownStarted && !link->closed) {
        if (!link->connected)
            link->Shutdown(FALSE);
        else
            to->closeWhenIdle = TRUE;  // the monitor shuts the link once its output has gone
    } else {
        to->SetDropRequested(TRUE, 0);
    }
}

namespace {
// Hands the message's buffer to the link; the link owns it from then on.
void handOver(TCPMSGBASE* message, COMMLINK* link) {
    if (message->buffer && !link->PutMessage(message->buffer, FALSE)) message->buffer->freeobj();
    message->ClearMessage();
}
}  // namespace

BBOOL TCPREQMONITOR::sendRequest(DATAREQUEST* request, DATACONNECTION* to) {
    if (!to || !to->link) return 1;
    TCPREQUEST* r = dynamic_cast<TCPREQUEST*>(request);
    if (request->ItemClassID() == TCP_DISC_REQUEST_ID)
        CloseDestination(to);
    else if (r)
        handOver(r, to->link);
    if (r) r->ClearMessage();
    if (request->queuedCount <= request->dequeuedCount) request->FreeRequest(TRUE);
    return 1;
}

BBOOL TCPREQMONITOR::sendResult(DATARESULT* result, DATACONNECTION* to) {
    if (!to || !to->link) return 1;
    TCPRESPONSE* r = dynamic_cast<TCPRESPONSE*>(result);
    if (result->ItemClassID() == TCP_DISC_RESPONSE_ID)
        CloseDestination(to);
    else if (r)
        handOver(r, to->link);
    if (r) r->ClearMessage();
    if (result->freePending) result->FreeResult(TRUE);
    return 1;
}

REQUESTMONITOR* TCPREQMONITOR::createSecondaryMonitor(IOMODE mode, DATACONNECTION*) {
    TCPREQMONITOR* m = new TCPREQMONITOR(*control, mode);
    m->prepare();
    m->definition = definition;
    m->notifier = notifier;
    return m;
}
