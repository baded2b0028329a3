#include "HttpReqMonitor.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "AppRequest.h"
#include "HtmlDoc.h"
#include "HttpConnection.h"
#include "HttpObject.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "HttpService.h"
#include "SpControl.h"
#include "TaskAbend.h"
#include "TcpSockLink.h"
#include "TelMessages.h"
#include "TraceTable.h"

namespace {
const char STATUS_PREFIX[] = "HTTP/";
const long STATUS_PREFIX_LENGTH = 5;

// The bytes in fresh buffers of the link's pool, as pieces for the browser.
void passPieces(HTTPCONNECTION* s, const char* bytes, long length) {
    while (length > 0 && s->link && s->link->pool) {
        long n = 0;
        TELDATARESPONSE* piece = NewBytesPiece(s->link, bytes, length, n);
        if (!piece) {
            s->SetDropRequested(TRUE, TRUE);
            return;
        }
        s->PassToClient(piece);
        bytes += n;
        length -= n;
    }
}

BBOOL isConnect(DATAREQUEST* r) { return r && r->ItemClassID() == QvTag("HCON"); }

std::vector<char> terminated(const std::string& text) {
    std::vector<char> v(text.begin(), text.end());
    v.push_back(0);
    return v;
}
}  // namespace

HTTPDEFINITION* HTTPREQMONITOR::httpDefinition() const { return dynamic_cast<HTTPDEFINITION*>(definition); }

void HTTPREQMONITOR::bodyArrived(HTTPCONNECTION* s, const char* bytes, long length) {
    // The stream handler's notice came before the body count grew: without this one a
    // part that fits one buffer would show only when the next part arrives.
    if (s->status) s->status->NotifyByteCount();
    if (HTTPDEFINITION* d = httpDefinition())
        d->FilterBody(s->requestInProgress, s->responseInProgress, bytes, length, FALSE);
    if (s->prefetchPage) s->prefetchBody.append(bytes, (size_t)length);
}

void HTTPREQMONITOR::passBody(HTTPCONNECTION* s, const char* bytes, long length) {
    if (length <= 0) return;
    bodyArrived(s, bytes, length);
    passPieces(s, bytes, length);
}

void HTTPREQMONITOR::decidePrefetch(HTTPCONNECTION* s, HTTPREQUEST* req, HTTPRESPONSE* resp) {
    s->prefetchPage = FALSE;
    s->prefetchBody.clear();
    long status = resp->StatusNumber();
    // The process waits for this very header, so it is still there to ask.
    APPREQUEST* app = dynamic_cast<APPREQUEST*>(req->process);
    if (!PrefetchWanted(app, req, s->prefetchOrigin)) return;
    s->prefetchPage = status == 301 || status == 302 || PrefetchScansBody(resp, s->prefetchOrigin);
}

BBOOL IsSimpleAnswer(const char* bytes, long length) {
    long n = std::min(length, STATUS_PREFIX_LENGTH);
    if (n <= 0) return FALSE;
    if (std::strncmp(bytes, STATUS_PREFIX, (size_t)n) != 0) return TRUE;
    return FALSE;
}

DATACONNECTION* HTTPREQMONITOR::CreateConnection(DATACONNECTION* other, BBOOL recordParent, BBOOL internal) {
    HTTPCONNECTION* from = dynamic_cast<HTTPCONNECTION*>(other);
    if (!from) return TELREQMONITOR::CreateConnection(other, recordParent, internal);
    HTTPCONNECTION* made = new HTTPCONNECTION(*from, recordParent, internal);
    made->prepare();
    return made;
}

REQUESTMONITOR* HTTPREQMONITOR::createSecondaryMonitor(IOMODE mode, DATACONNECTION*) {
    HTTPREQMONITOR* m = new HTTPREQMONITOR(*control, mode);
    m->prepare();
    m->definition = definition;
    m->notifier = notifier;
    return m;
}

BBOOL HTTPREQMONITOR::MessageMonitor(COMMLINK* link, IOBUFFER* b) {
    HTTPCONNECTION* c = link ? dynamic_cast<HTTPCONNECTION*>(link->owner) : nullptr;
    long fresh = (long)(b->cursor.data - b->area.data) - b->scanned;
    if (fresh <= 0) return 0;
    if (c) {
        InterlockedExchangeAdd(&c->receivedBytes, fresh);
        if (c->status) c->status->NotifyByteCount();
    }
    b->scanned += fresh;
    return 1;
}

// ---- the browser's side ---------------------------------------------------------

void HTTPREQMONITOR::RefuseRequest(HTTPCONNECTION* c) {
    c->messageDone = TRUE;
    c->header.clear();
    HTTPRESPONSE* reply = HTTPRESPONSE::GenerateError(nullptr, "407", nullptr);
    if (!reply) {
        c->SetDropRequested(TRUE, FALSE);
        return;
    }
    SetReleaseAfterSend(reply);
    if (!c->QueueResult(reply).target) reply->FreeResult(FALSE);
    TCPDISCRESPONSE::Generate(c);  // the browser is closed once the page has gone
}

DATAREQUEST* HTTPREQMONITOR::buildRequest(IOBUFFER* b, DATACONNECTION* from) {
    if (!b) return nullptr;
    HTTPCONNECTION* c = dynamic_cast<HTTPCONNECTION*>(from);
    if (!c || c->relayMode) return TELREQMONITOR::buildRequest(b, from);
    std::string bytes(b->cursor.data, (size_t)b->cursor.length);
    const BBOOL ended = b->cursor.length == 0;
    b->freeobj();
    if (c->messageDone) return nullptr;
    if (c->inBody) return takeBody(c, bytes.data(), (long)bytes.size(), ended);
    return takeHeader(c, bytes.data(), (long)bytes.size(), ended);
}

DATAREQUEST* HTTPREQMONITOR::takeHeader(HTTPCONNECTION* c, const char* bytes, long length, BBOOL ended) {
    c->header.append(bytes, (size_t)length);
    long terminator = -1;
    long end = FindHeaderEnd(c->scan, c->header.data(), (long)c->header.size(), &terminator);
    // A simple request ('GET /' and a line end) may be ended by the browser's close.
    if (end < 0 && ended && c->scan.atLineStart) end = (long)c->header.size();
    if (end < 0) {
        if ((long)c->header.size() >= HTTP_HEADER_LIMIT)
            RefuseRequest(c);
        else if (ended)
            c->messageDone = TRUE;  // gone in the middle of its header: nobody to answer
        return nullptr;
    }
    std::string rest = c->header.substr((size_t)end);
    c->header.resize((size_t)end);
    if (!HeaderBlockFits(c->header.data(), end)) {
        RefuseRequest(c);
        return nullptr;
    }
    std::vector<char> text = terminated(c->header);
    c->header.clear();
    HTTPREQUEST* r = AllocateHttpRequest(text.data(), FALSE, nullptr, 0);
    if (r) r->msgCursor = nullptr;  // the text goes with this call
    if (!r || !r->parsedOK) {
        if (r) r->FreeRequest(FALSE);
        RefuseRequest(c);
        return nullptr;
    }
    long length2 = r->ItemClassID() == QvTag("HPST") ? r->BodyLength() : 0;
    if (length2 <= 0) {
        c->messageDone = TRUE;
        return r;
    }
    c->requestInProgress = r;  // the creator's reference, until the body is complete
    c->inBody = TRUE;
    c->bodyLength = length2;
    c->bodyBytes = 0;
    c->body.clear();
    return takeBody(c, rest.data(), (long)rest.size(), ended);
}

DATAREQUEST* HTTPREQMONITOR::takeBody(HTTPCONNECTION* c, const char* bytes, long length, BBOOL ended) {
    long want = c->bodyLength - (long)c->body.size();
    c->body.append(bytes, (size_t)std::min(length, want));
    c->bodyBytes = (long)c->body.size();
    HTTPREQUEST* r = c->requestInProgress;
    if (c->bodyBytes < c->bodyLength) {
        if (ended) {
            // Closed before its body was complete: nothing is sent on for it.
            c->messageDone = TRUE;
            c->inBody = FALSE;
            c->requestInProgress = nullptr;
            if (r) r->FreeRequest(FALSE);
        }
        return nullptr;
    }
    c->requestInProgress = nullptr;
    c->inBody = FALSE;
    c->messageDone = TRUE;
    HTTPOBJECT* o = new HTTPOBJECT(nullptr, nullptr, TRUE, FALSE, 0);
    o->prepare();
    o->valid = 0;
    if (!o->SetBlockData(c->body.data(), c->bodyLength)) {
        o->FreeObject();
        r->FreeRequest(FALSE);
        RefuseRequest(c);
        return nullptr;
    }
    o->defined = 1;
    r->object = o;
    std::string().swap(c->body);
    return r;
}

BBOOL HTTPREQMONITOR::evaluateRequest(DATAREQUEST* request) {
    HTTPREQUEST* r = dynamic_cast<HTTPREQUEST*>(request);
    if (!r) return TELREQMONITOR::evaluateRequest(request);
    HTTPCONNECTION* c = dynamic_cast<HTTPCONNECTION*>(request->connection);
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cpp", "Evaluate Request", c, r);
    // A tunnel's first bytes wait in the socket until the tunnel stands.
    if (isConnect(r) && c && c->link) c->link->StopReceiving();
    if (definition && definition->QueueRequest(request)) return TRUE;
    if (c) c->SetDropRequested(TRUE, TRUE);
    request->FreeRequest(FALSE);
    return FALSE;
}

BBOOL HTTPREQMONITOR::sendResult(DATARESULT* result, DATACONNECTION* to) {
    HTTPRESPONSE* resp = dynamic_cast<HTTPRESPONSE*>(result);
    if (!resp) return TELREQMONITOR::sendResult(result, to);
    if (!to || !to->link) return TRUE;
    BBOOL ok = TRUE;
    if (!resp->simpleMessage && !resp->headerSent) {
        resp->headerSent = TRUE;
        std::vector<char> work(HTTP_HEADER_LIMIT);
        BUFFER out(work.data(), HTTP_HEADER_LIMIT);
        ok = resp->RebuildResponse(out) && out.length > 0 && to->link->SendMessage(BUFFER(out.data, out.length), FALSE);
    }
    DATAOBJECT* body = resp->noBodyObject ? nullptr : resp->object;
    if (ok && body && !resp->headersOnly && body->dataBlock && body->DataLength() > 0)
        ok = to->link->SendMessage(BUFFER(body->dataBlock->data, body->DataLength()), FALSE);
    if (HTTPCONNECTION* c = dynamic_cast<HTTPCONNECTION*>(to)) c->tunnelReplyPending = FALSE;
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppo", "Result Sent", to, result, (long)ok);
    if (!ok) to->SetDropRequested(TRUE, TRUE);
    if (result->freePending) result->FreeResult(TRUE);
    return ok;
}

// ---- the server's side ------------------------------------------------------------

BBOOL HTTPREQMONITOR::sendRequest(DATAREQUEST* request, DATACONNECTION* to) {
    HTTPREQUEST* r = dynamic_cast<HTTPREQUEST*>(request);
    HTTPCONNECTION* s = dynamic_cast<HTTPCONNECTION*>(to);
    if (!r || !s || s->relayMode) return TELREQMONITOR::sendRequest(request, to);
    if (!to->link) return TRUE;
    s->SetRequestInProgress(r);
    if (isConnect(r) && !r->viaUpstreamProxy) {
        // Nothing goes to the server: the tunnel starts with the gateway's own reply.
        if (!StartPassThrough(s->Client(), s, r, TRUE)) {
            s->SetDropRequested(TRUE, FALSE);
            r->cancelled = TRUE;
        }
        return TRUE;
    }
    if (!s->peerAddress[0]) {
        if (TCPSOCKLINK* l = dynamic_cast<TCPSOCKLINK*>(to->link)) l->TCPGetRemoteAddress(BUFFER(s->peerAddress, sizeof s->peerAddress));
    }
    if (HTTPDEFINITION* d = dynamic_cast<HTTPDEFINITION*>(definition)) d->RememberAddress(r, s->peerAddress);
    std::vector<char> work(HTTP_HEADER_LIMIT);
    BUFFER out(work.data(), HTTP_HEADER_LIMIT);
    BBOOL ok = r->RebuildRequest(out, r->viaUpstreamProxy) && out.length > 0 &&
               to->link->SendMessage(BUFFER(out.data, out.length), FALSE);
    DATAOBJECT* body = r->object;
    if (ok && body && body->dataBlock && body->DataLength() > 0)
        ok = to->link->SendMessage(BUFFER(body->dataBlock->data, body->DataLength()), FALSE);
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppo", "Request Sent", to, request, (long)ok);
    if (!ok) s->SetDropRequested(TRUE, FALSE);
    return ok;
}

DATARESULT* HTTPREQMONITOR::buildResult(IOBUFFER* b, DATACONNECTION* from) {
    if (!b) return nullptr;
    HTTPCONNECTION* s = dynamic_cast<HTTPCONNECTION*>(from);
    if (!s || s->relayMode) return TELREQMONITOR::buildResult(b, from);
    const BBOOL ended = b->cursor.length == 0;
    if (s->messageDone) {
        b->freeobj();
        return nullptr;
    }
    if (s->inBody) {
        if (ended) {
            b->freeobj();
            endResponse(s, TRUE);
        } else {
            takeResponseBody(s, b);
        }
        return nullptr;
    }
    return takeResponseHeader(s, b, ended);
}

namespace {
// The answer for a response that cannot be passed on: "406", the server dropped.
HTTPRESPONSE* invalidResponse(HTTPCONNECTION* s, HTTPREQUEST* req) {
    s->header.clear();
    HTTPRESPONSE* reply = HTTPRESPONSE::GenerateError(req, "406", nullptr);
    if (!reply) _Task_Abend(ABEND_STG101, (ULONG_PTR)s);
    s->responseInProgress = reply;
    reply->prepare();
    return reply;
}
}  // namespace

DATARESULT* HTTPREQMONITOR::takeResponseHeader(HTTPCONNECTION* s, IOBUFFER* b, BBOOL ended) {
    HTTPREQUEST* req = s->requestInProgress;
    s->header.append(b->cursor.data, (size_t)b->cursor.length);
    b->freeobj();
    if (!req) {
        // Bytes before any request: no browser waits for them.
        s->messageDone = TRUE;
        s->SetDropRequested(TRUE, TRUE);
        return nullptr;
    }
    const long size = (long)s->header.size();
    if (size == 0) return nullptr;  // closed before answering: the connection's event tells the browser
    const BBOOL simple = IsSimpleAnswer(s->header.data(), size) || (ended && size < STATUS_PREFIX_LENGTH);
    if (simple) {
        // HTTP/0.9: the whole answer is body, up to the server's close.
        HTTPRESPONSE* resp = new HTTPRESPONSE(req, nullptr, FALSE);
        resp->prepare();
        resp->simpleMessage = TRUE;
        resp->bodyFollows = TRUE;
        s->responseInProgress = resp;
        resp->prepare();
        s->inBody = TRUE;
        s->readToClose = TRUE;
        std::string bytes;
        bytes.swap(s->header);
        s->bodyBytes = (long)bytes.size();
        passBody(s, bytes.data(), (long)bytes.size());
        if (ended) endResponse(s, TRUE);
        return resp;
    }
    long end = FindHeaderEnd(s->scan, s->header.data(), size, nullptr);
    if (end < 0) {
        if (size < HTTP_HEADER_LIMIT && !ended) return nullptr;
        HTTPRESPONSE* reply = invalidResponse(s, req);
        endResponse(s, FALSE);
        return reply;
    }
    std::string rest = s->header.substr((size_t)end);
    s->header.resize((size_t)end);
    HTTPRESPONSE* resp = nullptr;
    if (HeaderBlockFits(s->header.data(), end)) {
        std::vector<char> text = terminated(s->header);
        resp = new HTTPRESPONSE(req, text.data(), TRUE);
        resp->prepare();
        BBOOL parsed = resp->ParseCommand() && !resp->simpleMessage;
        resp->msgCursor = nullptr;
        resp->receiving = FALSE;
        if (!parsed) {
            resp->FreeResult(FALSE);
            resp = nullptr;
        }
    }
    if (!resp) {
        HTTPRESPONSE* reply = invalidResponse(s, req);
        endResponse(s, FALSE);
        return reply;
    }
    s->header.clear();
    s->responseInProgress = resp;
    resp->prepare();
    if (isConnect(req) && resp->WasSuccessful()) {
        // An upstream proxy's tunnel: its own answer is the browser's reply.
        if (!StartPassThrough(s->Client(), s, req, FALSE)) s->SetDropRequested(TRUE, TRUE);
        passPieces(s, rest.data(), (long)rest.size());
        return resp;
    }
    decidePrefetch(s, req, resp);
    // A refused tunnel's answer may carry a page.
    BBOOL body = resp->bodyFollows || (isConnect(req) && resp->BodyLength() > 0);
    if (!body) {
        endResponse(s, FALSE);
        return resp;
    }
    s->bodyLength = resp->BodyLength();
    s->readToClose = s->bodyLength <= 0;
    s->inBody = TRUE;
    long n = (long)rest.size();
    if (!s->readToClose) n = std::min(n, s->bodyLength);
    s->bodyBytes = n;
    passBody(s, rest.data(), n);
    if (ended)
        endResponse(s, TRUE);
    else if (!s->readToClose && s->bodyBytes >= s->bodyLength)
        endResponse(s, FALSE);
    return resp;
}

void HTTPREQMONITOR::takeResponseBody(HTTPCONNECTION* s, IOBUFFER* b) {
    long n = b->cursor.length;
    if (!s->readToClose) {
        n = std::min(n, s->bodyLength - s->bodyBytes);
        b->cursor.length = n;  // what a server sends beyond its length is not passed on
    }
    s->bodyBytes += n;
    if (n > 0) {
        bodyArrived(s, b->cursor.data, n);
        TELDATARESPONSE* piece = new TELDATARESPONSE(nullptr, b, s->link);
        piece->prepare();
        s->PassToClient(piece);
    } else {
        b->freeobj();
    }
    if (!s->readToClose && s->bodyBytes >= s->bodyLength) endResponse(s, FALSE);
}

void HTTPREQMONITOR::endResponse(HTTPCONNECTION* s, BBOOL serverClosed) {
    if (s->inBody || s->responseInProgress) {
        // Complete unless a body of known length was cut short by the close.
        BBOOL complete = !(s->inBody && !s->readToClose && s->bodyBytes < s->bodyLength);
        if (HTTPDEFINITION* d = httpDefinition())
            d->FilterBody(s->requestInProgress, s->responseInProgress, nullptr, 0, complete);
        if (s->prefetchPage && complete)
            HTMLDOC::GenerateLinks(s->prefetchOrigin, s->requestInProgress, s->responseInProgress, s->prefetchBody.data(),
                                   (long)s->prefetchBody.size());
    }
    s->prefetchPage = FALSE;
    std::string().swap(s->prefetchBody);
    s->inBody = FALSE;
    s->messageDone = TRUE;
    s->markerRelayed = TRUE;
    TCPDISCRESPONSE* end = new TCPDISCRESPONSE;
    end->prepare();
    s->PassToClient(end);  // the browser is closed once the answer has gone
    if (!serverClosed) s->SetDropRequested(TRUE, FALSE);
}

BBOOL HTTPREQMONITOR::evaluateResult(DATARESULT* result) {
    HTTPCONNECTION* s = dynamic_cast<HTTPCONNECTION*>(result->connection);
    HTTPRESPONSE* resp = dynamic_cast<HTTPRESPONSE*>(result);
    if (!resp) {
        // A tunnel's piece or end.
        if (!s) {
            result->FreeResult(FALSE);
            return FALSE;
        }
        if (result->ItemClassID() == TCP_DISC_RESPONSE_ID) {
            if (s->markerRelayed) {
                result->FreeResult(FALSE);
                return TRUE;
            }
            s->markerRelayed = TRUE;
        }
        s->PassToClient(result);
        return TRUE;
    }
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cpp", "Evaluate Result", s, result);
    HTTPDEFINITION* d = dynamic_cast<HTTPDEFINITION*>(definition);
    if (d && d->ReturnResult(result)) return TRUE;
    if (s) s->SetDropRequested(TRUE, TRUE);
    result->FreeResult(FALSE);
    return FALSE;
}

BBOOL HTTPREQMONITOR::StartPassThrough(HTTPCONNECTION* client, HTTPCONNECTION* server, HTTPREQUEST* request,
                                       BBOOL sendReply) {
    if (!client || !server || !client->link || !server->link || !request) return FALSE;
    TELCONNECTION::Pair(client, server);
    client->relayMode = server->relayMode = TRUE;
    client->fixedRelay = server->fixedRelay = TRUE;
    client->markerRelayed = FALSE;
    server->markerRelayed = FALSE;
    server->messageDone = TRUE;
    if (sendReply) {
        client->tunnelReplyPending = TRUE;
        HTTPRESPONSE* reply = HTTPRESPONSE::GenerateError(request, "200", nullptr);
        APPREQUEST* app = dynamic_cast<APPREQUEST*>(request->process);
        if (!reply || !app || !app->RestartProcess()) {
            if (reply) reply->FreeResult(FALSE);
            client->relayMode = server->relayMode = FALSE;
            client->fixedRelay = server->fixedRelay = FALSE;
            client->tunnelReplyPending = FALSE;
            if (TELCONNECTION* p = client->Unpair()) p->freeobj();
            return FALSE;
        }
    }
    client->link->StartReceiving();
    return TRUE;
}
