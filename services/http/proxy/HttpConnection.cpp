#include "HttpConnection.h"

#include <algorithm>

#include "HttpRequest.h"
#include "HttpResponse.h"
#include "HttpService.h"
#include "TcpMessages.h"
#include "TelMessages.h"
#include "TelReqMonitor.h"

TELDATARESPONSE* NewBytesPiece(COMMLINK* link, const char* bytes, long length, long& taken) {
    taken = 0;
    IOBUFFER* b = link && link->pool ? link->pool->GetBuffer(0) : nullptr;
    if (!b) return nullptr;
    taken = std::min(length, (long)b->capacity);
    b->cursor.data = b->area.data;
    b->cursor.length = b->capacity;
    b->CopyIn(bytes, taken);
    b->cursor.data = b->area.data;
    b->cursor.length = taken;
    TELDATARESPONSE* piece = new TELDATARESPONSE(nullptr, b, link);
    piece->prepare();
    return piece;
}

HTTPCONNECTION::HTTPCONNECTION(APPDEFINITION* d, LINKCONTROL& control, const char* host, const char* port,
                               const char* linkType)
    : TELCONNECTION(d, control, host, port, linkType), inBody(0), readToClose(0), messageDone(0), bodyLength(0),
      bodyBytes(0), requestInProgress(nullptr), responseInProgress(nullptr), prefetchPage(0), failureKey(nullptr),
      noLine(0), lastEvent(0), tunnelReplyPending(0), peerAddress{}, headerQueued(0), client(nullptr) {
    lineTerminator = 0;  // the HTTP monitor frames by itself
    InitializeCriticalSection(&gate);
}

HTTPCONNECTION::HTTPCONNECTION(const HTTPCONNECTION& other, BBOOL recordParent, BBOOL internal)
    : BASEITEM(), TELCONNECTION(other, recordParent, internal), inBody(0), readToClose(0), messageDone(0),
      bodyLength(0), bodyBytes(0), requestInProgress(nullptr), responseInProgress(nullptr), prefetchPage(0),
      failureKey(nullptr), noLine(0), lastEvent(0), tunnelReplyPending(0), peerAddress{}, headerQueued(0), client(nullptr) {
    lineTerminator = 0;
    InitializeCriticalSection(&gate);
}

HTTPCONNECTION::~HTTPCONNECTION() {
    for (DATARESULT* r : held) r->FreeResult(FALSE);
    held.clear();
    if (requestInProgress) requestInProgress->freeobj();
    if (responseInProgress) responseInProgress->freeobj();
    if (client) client->freeobj();
    DeleteCriticalSection(&gate);
}

void HTTPCONNECTION::SetClient(HTTPCONNECTION* c) {
    if (c) c->prepare();
    if (client) client->freeobj();
    client = c;
}

void HTTPCONNECTION::SetRequestInProgress(HTTPREQUEST* r) {
    if (r) r->prepare();
    if (requestInProgress) requestInProgress->freeobj();
    requestInProgress = r;
}

namespace {
// Send queue of a browser's link and the results still queued for it.
long waitingOn(DATACONNECTION* c) { return (c->link ? c->link->sendQueue.count : 0) + c->results.count; }
}  // namespace

void HTTPCONNECTION::deliver(DATARESULT* result) {
    if (!client) {
        // The gateway's own fetch: the cache has had the bytes, nobody reads them.
        result->FreeResult(FALSE);
        return;
    }
    if (!client->link || client->link->closed) {
        result->FreeResult(FALSE);
        // Nobody is left to read what the server sends, unless the cache
        // gathers it for requests that wait: then it reads on at full speed.
        if (!HTTPDEFINITION::FetchesForOthers(this))
            SetDropRequested(TRUE, TRUE);
        else if (link && link->receivingStopped)
            link->StartReceiving();
        return;
    }
    if (TCPRESPONSE* piece = dynamic_cast<TCPRESPONSE*>(result)) piece->link = client->link;
    SetReleaseAfterSend(result);
    if (!client->QueueResult(result).target) {
        result->FreeResult(FALSE);
        return;
    }
    // Flow control: the server is read no faster than the browser takes it; the
    // browser link's drained hook starts it again.
    if (link && waitingOn(client) > TELREQMONITOR::FlowLimit) {
        link->StopReceiving();
        if (waitingOn(client) <= TELREQMONITOR::FlowLimit) link->StartReceiving();
    }
}

void HTTPCONNECTION::PassToClient(DATARESULT* result) {
    if (!result) return;
    EnterCriticalSection(&gate);
    if (headerQueued) {
        deliver(result);
    } else {
        held.push_back(result);
        // Until the worker has sent the header nothing drains these: read no further.
        if (link && (long)held.size() > TELREQMONITOR::FlowLimit) link->StopReceiving();
    }
    LeaveCriticalSection(&gate);
}

void HTTPCONNECTION::SendBytes(const char* bytes, long length) {
    while (length > 0) {
        long taken = 0;
        TELDATARESPONSE* piece = NewBytesPiece(link, bytes, length, taken);
        if (!piece) {
            SetDropRequested(TRUE, TRUE);
            return;
        }
        SetReleaseAfterSend(piece);
        if (!QueueResult(piece).target) piece->FreeResult(FALSE);
        bytes += taken;
        length -= taken;
    }
}

void HTTPCONNECTION::OpenGate() {
    EnterCriticalSection(&gate);
    headerQueued = TRUE;
    std::vector<DATARESULT*> waiting;
    waiting.swap(held);
    for (DATARESULT* r : waiting) deliver(r);
    if (link && link->receivingStopped && (!client || waitingOn(client) <= TELREQMONITOR::FlowLimit))
        link->StartReceiving();
    LeaveCriticalSection(&gate);
}
