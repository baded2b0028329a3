#include "FtpRetrieve.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "AppCfg.h"
#include "AppRequest.h"
#include "DataStore.h"
#include "FtpConnection.h"
#include "FtpService.h"
#include "Profile.h"
#include "SvrSystem.h"
#include "TcpAppType.h"
#include "TcpSockLink.h"
#include "TextHelpers.h"

FTPGENERATEPROC _pFTPGenerateRetrieve = FTPGETREQUEST::Generate;

namespace {
const long LINE_DROPPED = COMMLINK::ErrorInterfaceDown;  // 9990
const long LOST_AFTER_CONNECT = 9993;
const long NEVER_CONNECTED = COMMLINK::ErrorCannotOpen;  // 9999

// A data connection that delivered bytes or an end of stream was connected,
// even when it ended before its monitor saw the connect.
BBOOL WasConnected(FTPCONNECTION* data) {
    return data->dataConnected || data->receivedBytes > 0 || (data->link && data->link->peerClosed);
}

// A data connection that never connected, or whose link ended with a reset or
// an error (a dropped line): what it delivered is not the whole file.
BBOOL DataBroken(FTPCONNECTION* data) {
    COMMLINK* l = data->link;
    return !WasConnected(data) || !l || l->reset || l->error != 0;
}

// The text of a server's reply, CR LF ended.
std::string replyText(FTPRESPONSE* r) {
    std::string t;
    if (r && r->buffer) {
        t.assign(r->buffer->cursor.data, (size_t)r->buffer->cursor.length);
        while (!t.empty() && (t.back() == 0 || t.back() == '\n' || t.back() == '\r')) t.pop_back();
        t += "\r\n";
    } else if (r && r->message) {
        t = r->message;
    }
    return t;
}
}  // namespace

FTPGETREQUEST::FTPGETREQUEST(const char* host, const char* p, long port)
    : FTPCMDREQUEST((IOBUFFER*)nullptr, nullptr, 0, "RETR"), userRequest(nullptr), server(nullptr), path{},
      urlPort(port), step(0), isDirectory(0), transferDone(0), done(0), contentType{}, pendingReplies(),
      dataGone(0), dataFailed(0), dataWasConnected(0), serverGone(0), serverError(0) {
    _strzcpy(path, p ? p : "", sizeof path);
    const char* dot = std::strrchr(path, '.');
    char key[66] = "*.";
    if (dot) _strzcat(key, dot + 1, sizeof key);
    if (_pSvr) _pSvr->mainProfile.ReadString("FTP File Types", key, BUFFER(contentType, sizeof contentType));
    userRequest = new FTPUSERREQUEST(host, "anonymous");
    userRequest->prepare();
    if (port) std::snprintf(userRequest->outboundPort, sizeof userRequest->outboundPort, "%ld", port);
}

FTPGETREQUEST::~FTPGETREQUEST() {
    detachServer(TRUE);
    for (FTPRESPONSE* r : pendingReplies) r->FreeResult(FALSE);
    pendingReplies.clear();
    if (userRequest) {
        userRequest->process = nullptr;
        userRequest->FreeRequest(FALSE);
    }
    userRequest = nullptr;
    if (object) object->freeobj();
    object = nullptr;
}

FTPGETREQUEST* FTPGETREQUEST::Generate(const char* host, const char* path, DATAOBJECT* object, long port) {
    FTPGETREQUEST* r = new FTPGETREQUEST(host, path, port);
    r->prepare();
    if (object) {
        object->prepare();
        r->object = object;
    }
    return r;
}

CRITICAL_SECTION& FTPGETREQUEST::EventLock() {
    struct LOCK {
        CRITICAL_SECTION cs;
        LOCK() { InitializeCriticalSection(&cs); }
    };
    static LOCK lock;
    return lock.cs;
}

FTPGETREQUEST* FTPGETREQUEST::acquire(FTPCONNECTION* c) {
    FTPCONNECTION* control = c && c->isData ? c->AcquireControl() : c;
    EnterCriticalSection(&EventLock());
    FTPGETREQUEST* g = control ? control->getRequest : nullptr;
    if (g) g->prepare();
    LeaveCriticalSection(&EventLock());
    if (control && control != c) control->freeobj();
    return g;
}

APPREQUEST* FTPGETREQUEST::requester() const { return dynamic_cast<APPREQUEST*>(originProcess); }

void FTPGETREQUEST::wake() {
    if (REQUESTPROCESS* p = process) p->RestartProcess();
}

// ---- events (monitor threads) ---------------------------------------------------

BBOOL FTPGETREQUEST::TakeResult(FTPCONNECTION* c, DATARESULT* result) {
    FTPGETREQUEST* g = acquire(c);
    if (!g) return FALSE;
    FTPRESPONSE* r = dynamic_cast<FTPRESPONSE*>(result);
    if (c->isData) {
        IOBUFFER* b = r ? r->buffer : nullptr;
        if (r) r->ClearMessage();
        if (b && g->object && g->object->bufferChain)
            g->object->AddObjectData(b);
        else if (b)
            b->freeobj();
        APPREQUEST* owner = dynamic_cast<APPREQUEST*>(g->process);
        APPREQUEST* req = g->requester();
        APPDATAPROC proc = owner && owner->dataProc ? owner->dataProc : (req ? req->dataProc : nullptr);
        if (proc) proc(owner, c, g->object);
        result->FreeResult(FALSE);
    } else {
        if (r) {
            EnterCriticalSection(&EventLock());
            g->pendingReplies.push_back(r);
            LeaveCriticalSection(&EventLock());
        } else {
            result->FreeResult(FALSE);
        }
        g->wake();
    }
    g->freeobj();
    return TRUE;
}

void FTPGETREQUEST::DataEnded(FTPCONNECTION* data) {
    FTPGETREQUEST* g = acquire(data);
    if (!g) return;
    EnterCriticalSection(&EventLock());
    g->dataGone = TRUE;
    g->dataFailed = DataBroken(data);
    g->dataWasConnected = WasConnected(data);
    LeaveCriticalSection(&EventLock());
    if (g->object && !g->dataFailed) g->object->defined = TRUE;  // complete
    g->wake();
    g->freeobj();
}

void FTPGETREQUEST::ServerEnded(FTPCONNECTION* s) {
    FTPGETREQUEST* g = acquire(s);
    if (!g) return;
    FTPCONNECTION* data = s->AcquireData();
    EnterCriticalSection(&EventLock());
    if (data && !g->dataGone) {
        // Its data connection goes with it.
        g->dataGone = TRUE;
        g->dataFailed = DataBroken(data) || !g->transferDone;
        g->dataWasConnected = WasConnected(data);
    }
    g->serverGone = TRUE;
    const BBOOL lineDropped = s->lastError == LINE_DROPPED || (s->link && s->link->error == LINE_DROPPED);
    g->serverError = lineDropped ? LINE_DROPPED : s->connected ? LOST_AFTER_CONNECT : NEVER_CONNECTED;
    LeaveCriticalSection(&EventLock());
    if (data) data->freeobj();
    g->wake();
    g->freeobj();
}

// ---- steps (worker thread) ------------------------------------------------------

BBOOL FTPGETREQUEST::send(const char* text) {
    if (!server || !server->link) return FALSE;
    FTPCMDREQUEST* r = new FTPCMDREQUEST(text, server);
    r->prepare();
    SetReleaseAfterSend(r);
    if (!r->buffer || !server->QueueRequest(r).target) {
        r->FreeRequest(FALSE);
        return FALSE;
    }
    return TRUE;
}

void FTPGETREQUEST::detachServer(BBOOL abort) {
    EnterCriticalSection(&EventLock());
    FTPCONNECTION* s = server;
    server = nullptr;
    BBOOL held = s && s->getRequest == this;
    if (held) s->getRequest = nullptr;
    LeaveCriticalSection(&EventLock());
    if (!s) return;
    s->transferActive = FALSE;
    s->loginPending = FALSE;
    s->DropData(abort);
    s->SetDropRequested(TRUE, abort);  // no QUIT: the connection served this retrieval alone
    if (held) freeobj();
    s->freeobj();
}

std::string FTPGETREQUEST::password() {
    if (_pSvr && _pSvr->options.servers.mailAddress[0]) return _pSvr->options.servers.mailAddress;
    char value[256] = "";
    if (_pSvr && _pFTPAppType && _pFTPAppType->config && _pFTPAppType->config->profile)
        _pFTPAppType->config->profile->ReadString(_pFTPAppType->config->section, "Login Password",
                                                   BUFFER(value, sizeof value));
    if (value[0]) return value;
    char local[256] = "";
    if (TCPSOCKLINK* l = server ? dynamic_cast<TCPSOCKLINK*>(server->link) : nullptr)
        l->TCPGetLocalAddress(BUFFER(local, sizeof local));
    return local;
}

void FTPGETREQUEST::answer(const char* text, BBOOL restart) {
    if (result) result->FreeResult(FALSE);
    result = nullptr;
    FTPRESPONSE::Generate(this, text);  // linked as this request's result
    if (APPREQUEST* req = requester())
        if (APPREQUEST* own = dynamic_cast<APPREQUEST*>(process)) req->statusValue = own->statusValue;
    if (restart && originProcess) originProcess->RestartProcess();
}

BBOOL FTPGETREQUEST::fail(int reason, FTPRESPONSE* reply) {
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppii", "FTP Request Failed", process, server, (int)step, reason);
    std::string text = replyText(reply);
    const BBOOL replied = reply != nullptr;
    if (reply) reply->FreeResult(FALSE);
    if (text.empty() && result) text = replyText(dynamic_cast<FTPRESPONSE*>(result));
    if (text.empty()) {
        if (!server || serverError == NEVER_CONNECTED)
            text = FTP_CONNECT_FAILED;
        else if (serverError == LINE_DROPPED || serverError == LOST_AFTER_CONNECT)
            text = FTP_TRANSFER_ABORTED;
        else
            text = FTP_NOT_AVAILABLE;
    }
    if (text[0] == '2') text = FTP_NOT_AVAILABLE;
    // A data connection that failed decides: never connected, or cut off.
    FTPCONNECTION* data = server ? server->AcquireData() : nullptr;
    if (data && step >= 6 && !replied && DataBroken(data))
        text = WasConnected(data) ? FTP_TRANSFER_ABORTED : FTP_DATA_PORT_FAILED;
    else if (!data && step >= 6 && !replied && dataGone && dataFailed)
        text = dataWasConnected ? FTP_TRANSFER_ABORTED : FTP_DATA_PORT_FAILED;
    if (data) data->freeobj();
    detachServer(FALSE);
    if (result) result->moreData = FALSE;
    answer(text.c_str(), TRUE);
    done = TRUE;  // last: the requester has been told
    return FALSE;
}

BBOOL FTPGETREQUEST::finish() {
    detachServer(FALSE);
    if (result) result->moreData = FALSE;
    if (DATARESULT* theirs = originProcess ? originProcess->GetDataResult() : nullptr) theirs->moreData = FALSE;
    if (object) object->defined = TRUE;
    if (originProcess) originProcess->RestartProcess();
    done = TRUE;
    return TRUE;
}

BBOOL FTPGETREQUEST::started(TELAPPINSTANCE* instance) {
    userRequest->process = process;
    userRequest->originProcess = originProcess;
    userRequest->noInterface = noInterface;
    userRequest->viaUpstreamProxy = viaUpstreamProxy;
    BBOOL ok = userRequest->ProcessCommand(instance);
    // Parked until a line is up (no server connection made): the login runs again on the restart.
    if (ok && !userRequest->server) return TRUE;
    if (!ok) return fail(1, nullptr);
    EnterCriticalSection(&EventLock());
    server = userRequest->server;
    userRequest->server = nullptr;
    prepare();  // the connection's hold on this retrieval
    server->getRequest = this;
    LeaveCriticalSection(&EventLock());
    step = 1;
    return TRUE;
}

BBOOL FTPGETREQUEST::ProcessCommand(TELAPPINSTANCE* instance) {
    BBOOL ok;
    // Replies that arrived together (a 150 and its 226) are each taken by their own step.
    do {
        ok = runStep(instance);
        EnterCriticalSection(&EventLock());
        const BBOOL more = !pendingReplies.empty();
        LeaveCriticalSection(&EventLock());
        if (!more) break;
    } while (ok && !done);
    return ok;
}

BBOOL FTPGETREQUEST::runStep(TELAPPINSTANCE* instance) {
    if (done) return FALSE;
    APPREQUEST* own = dynamic_cast<APPREQUEST*>(process);
    EnterCriticalSection(&EventLock());
    FTPRESPONSE* reply = nullptr;
    if (!pendingReplies.empty()) {
        reply = pendingReplies.front();
        pendingReplies.pop_front();
    }
    const BBOOL ended = serverGone;
    LeaveCriticalSection(&EventLock());
    if (!originProcess || (own && own->cancelled)) return fail(2, reply);
    if (step == 0) {
        if (own) own->requestLogged = TRUE;
        return started(instance);
    }
    if (!reply) {
        if (ended || !server) return fail(1, nullptr);
        if (step == 7 && transferDone && dataGone) return dataFailed ? fail(5, nullptr) : finish();
        if (step >= 6 && dataGone && dataFailed) return fail(3, nullptr);
        return TRUE;  // waits for the next reply or the data connection's end
    }
    BBOOL ok = reply->WasSuccessful();
    char text[1100];
    switch (step) {
    case 1:  // USER
        if (reply->IsNeedPassword()) {
            std::snprintf(text, 320, "PASS %s\r\n", password().c_str());
            reply->FreeResult(FALSE);
            step = 2;
            return send(text) ? TRUE : fail(1, nullptr);
        }
        if (!ok) return fail(2, reply);
        [[fallthrough]];  // no password wanted
    case 2: {  // PASS
        if (!ok) return fail(2, reply);
        reply->FreeResult(FALSE);
        FTPAPPINSTANCE* fi = dynamic_cast<FTPAPPINSTANCE*>(instance);
        FTPCONNECTION* data = FTPPORTREQUEST::CreateOutboundPort(fi, server, text, sizeof text);
        if (!data) return fail(1, nullptr);
        data->freeobj();
        step = 3;
        return send(text) ? TRUE : fail(1, nullptr);
    }
    case 3:  // PORT
        if (!ok) return fail(2, reply);
        reply->FreeResult(FALSE);
        std::snprintf(text, sizeof text, "CWD %s\r\n", path);
        step = 4;
        return send(text) ? TRUE : fail(1, nullptr);
    case 4:  // CWD tells a directory from a file
        isDirectory = ok;
        reply->FreeResult(FALSE);
        step = 5;
        return send(isDirectory || std::strncmp(contentType, "text/", 5) == 0 ? "TYPE A\r\n" : "TYPE I\r\n")
                   ? TRUE
                   : fail(1, nullptr);
    case 5:  // TYPE
        if (!ok) return fail(2, reply);
        reply->FreeResult(FALSE);
        if (isDirectory)
            std::snprintf(text, sizeof text, "LIST\r\n");
        else
            std::snprintf(text, sizeof text, "RETR %s\r\n", path);
        server->transferActive = TRUE;
        step = 6;
        return send(text) ? TRUE : fail(1, nullptr);
    case 6: {  // the transfer has begun (any 1xx), or not
        if (!reply->IsXferBeginning()) return fail(4, reply);
        reply->FreeResult(FALSE);
        const char* type = isDirectory ? "text/directory" : contentType[0] ? contentType : "application/octet-stream";
        std::snprintf(text, sizeof text, "%sContent-Type = %s\r\n", FTP_STARTED, type);
        step = 7;
        answer(text, FALSE);
        if (!isDirectory) {
            if (result) result->moreData = TRUE;
            if (originProcess && !originProcess->RestartProcess()) return fail(6, nullptr);
        }
        if (dataGone && !dataFailed && transferDone) return finish();
        return TRUE;
    }
    default:  // 7: the final reply
        if (!ok) return fail(2, reply);
        reply->FreeResult(FALSE);
        transferDone = TRUE;
        if (server) server->transferActive = FALSE;
        if (dataGone) return dataFailed ? fail(5, nullptr) : finish();
        QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cp", "FTP Partial Completion", process);
        return TRUE;
    }
}
