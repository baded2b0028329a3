// ftp:// URLs the gateway fetches itself: the FTP service's retrieval fills an
// object of its own while the HTTP request's process waits. A directory
// listing becomes a page sent whole; a file goes on to the browser and to the
// cache piece by piece as it arrives, behind a response header of its own.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "AppType.h"
#include "FtpRetrieve.h"
#include "HtmlDoc.h"
#include "HttpConnection.h"
#include "HttpObject.h"
#include "HttpResponse.h"
#include "HttpService.h"
#include "TcpMessages.h"
#include "TextHelpers.h"
#include "TraceTable.h"

// One retrieval under way for an HTTP request process.
struct HTTPFTPFETCH {
    APPREQUEST* process = nullptr;   // lives until the child is done with it
    HTTPREQUEST* request = nullptr;
    FTPGETREQUEST* child = nullptr;  // held
    HTTPOBJECT* object = nullptr;    // what the child fills; held
    HTTPCONNECTION* client = nullptr;  // held; null for the gateway's own fetches
    HTTPRESPONSE* header = nullptr;  // a file's response once sent, for the cache's gathering; held
    BBOOL streaming = FALSE;         // data goes on as it arrives
    bSPOINTER* lastPart = nullptr;   // the last part of the object passed on
    BBOOL stopAsked = FALSE;
};

namespace {
// Longest FTP result text read (its status line and the content type).
const int FTP_TEXT_MAX = 128;
const char DIRECTORY_TYPE[] = "text/directory";

// The retrievals by process. The data callbacks (monitor threads) and the
// worker pass a file's bytes under this lock, so that the pieces keep their order.
CRITICAL_SECTION& fetchLock() {
    struct LOCK {
        CRITICAL_SECTION cs;
        LOCK() { InitializeCriticalSection(&cs); }
    };
    static LOCK lock;
    return lock.cs;
}
struct FETCHHOLD {
    FETCHHOLD() { EnterCriticalSection(&fetchLock()); }
    ~FETCHHOLD() { LeaveCriticalSection(&fetchLock()); }
};
std::map<APPREQUEST*, HTTPFTPFETCH*>& fetches() {
    static std::map<APPREQUEST*, HTTPFTPFETCH*> all;
    return all;
}

HTTPFTPFETCH* fetchOf(APPREQUEST* app) {
    FETCHHOLD hold;
    auto f = fetches().find(app);
    return f == fetches().end() ? nullptr : f->second;
}

HTTPDEFINITION* definitionOf(HTTPFTPFETCH& f) {
    return f.process && f.process->instance ? dynamic_cast<HTTPDEFINITION*>(f.process->instance->definition) : nullptr;
}

BBOOL clientGone(HTTPFTPFETCH& f) { return f.client && (!f.client->link || f.client->link->closed); }

// The parts of the object not passed on yet go to the cache and the browser. Under the fetch lock.
void passNew(HTTPFTPFETCH& f) {
    SGBLOB* parts = f.object ? f.object->bufferChain : nullptr;
    if (!parts || !f.streaming) return;
    HTTPDEFINITION* d = definitionOf(f);
    for (bSPOINTER* c = f.lastPart ? f.lastPart->next : parts->parts.first; c && c->target; c = c->next) {
        f.lastPart = c;
        IOBUFFER* part = CHAIN<IOBUFFER>::Cast(c->target);
        if (!part || !part->cursor.data || part->cursor.length <= 0) continue;
        if (d) d->FilterBody(f.request, f.header, part->cursor.data, part->cursor.length, FALSE);
        if (f.client && !clientGone(f)) f.client->SendBytes(part->cursor.data, part->cursor.length);
    }
    // A file grown too big to keep: a prefetch or scheduled fetch of it is
    // given up (its process cancelled), and stops below.
    if (d) d->CheckCacheable(f.request);
}

// The browser has gone, or the fetch was given up: the FTP side is told to
// stop, and answers with its failure.
void askStop(HTTPFTPFETCH& f) {
    if (f.stopAsked || f.child->done) return;
    f.stopAsked = TRUE;
    if (APPREQUEST* own = dynamic_cast<APPREQUEST*>(f.child->process)) {
        own->cancelled = TRUE;
        own->RestartProcess();
    }
}

// Data callback (monitor threads): more of the file has arrived.
BBOOL ftpData(APPREQUEST*, DATACONNECTION*, DATAOBJECT* object) {
    FETCHHOLD hold;
    for (auto& entry : fetches()) {
        HTTPFTPFETCH& f = *entry.second;
        if (f.object != object) continue;
        if (!clientGone(f) && !f.process->cancelled) passNew(f);
        if (clientGone(f) || f.process->cancelled) askStop(f);
        return TRUE;
    }
    return FALSE;
}

// The object's bytes in one piece.
std::string objectBytes(DATAOBJECT& o) {
    std::string out((size_t)(o.DataLength() > 0 ? o.DataLength() : 0), 0);
    if (out.empty() || !o.dataField) return out;
    int got = o.dataField->GetData(BUFFER(&out[0], (long)out.size()), FALSE);
    out.resize(got > 0 ? (size_t)got : 0);
    return out;
}

// The content type the FTP side named in its text ("Content-Type = text/plain"), or "".
std::string namedType(const char* text) {
    const char* p = std::strstr(text, "Content-Type");
    if (!p) return std::string();
    p += sizeof "Content-Type" - 1;
    while (*p == ' ' || *p == '\t' || *p == ':' || *p == '=') ++p;
    return std::string(p, std::strcspn(p, "\r\n"));
}

template <class FIELDS>
void addLength(FIELDS& to, long n) {
    char text[16];
    std::snprintf(text, sizeof text, "%ld", n);
    to.AddHeader("Content-Length", text);
}
}  // namespace

BBOOL HTTPAPPINSTANCE::FTPUnderWay(APPREQUEST* app) { return fetchOf(app) != nullptr; }

int HTTPAPPINSTANCE::ProcessFTPRequest(APPREQUEST* app, HTTPREQUEST* request) {
    APPDEFINITION* ftp = _pFTPAppType ? _pFTPAppType->definition : nullptr;
    if (!ftp || !_pFTPGenerateRetrieve || request->ItemClassID() != QvTag("HGET")) return answer(app, "407");
    HTTPOBJECT* object = new HTTPOBJECT(nullptr, nullptr, TRUE, FALSE, 0);
    object->prepare();
    FTPGETREQUEST* child = _pFTPGenerateRetrieve(request->host.c_str(), request->path.c_str(), object, request->port);
    if (!child) {
        object->freeobj();
        return answer(app, "407");
    }
    child->prepare();  // ours, until the retrieval is over
    child->originProcess = app;
    child->viaUpstreamProxy = request->viaUpstreamProxy;
    child->noInterface = request->noInterface;
    object->fetchingRequest = app;
    HTTPFTPFETCH* f = new HTTPFTPFETCH;
    f->process = app;
    f->request = request;
    f->child = child;
    f->object = object;
    f->client = dynamic_cast<HTTPCONNECTION*>(app->clientConnection);
    if (f->client) f->client->prepare();
    app->dataProc = ftpData;
    {
        FETCHHOLD hold;
        fetches()[app] = f;
    }
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppp", "FTP Request", app, request, child);
    if (ftp->QueueRequest(static_cast<DATAREQUEST*>(child))) return 1;
    endFetch(f);
    child->FreeRequest(FALSE);  // the creator's reference, which the queue did not take
    return answer(app, "407");
}

void HTTPAPPINSTANCE::endFetch(HTTPFTPFETCH* f) {
    {
        FETCHHOLD hold;
        fetches().erase(f->process);
    }
    f->process->dataProc = nullptr;
    f->object->fetchingRequest = nullptr;
    f->child->originProcess = nullptr;
    f->child->freeobj();
    f->object->freeobj();
    if (f->header) f->header->freeobj();
    if (f->client) f->client->freeobj();
    delete f;
}

int HTTPAPPINSTANCE::ProcessFTPResult(APPREQUEST* app) {
    HTTPFTPFETCH* f = fetchOf(app);
    if (!f) return 0;
    char text[FTP_TEXT_MAX] = "";
    BBOOL final = TRUE, success = FALSE;
    DATAREQBASE::EnterRelease();
    if (DATARESULT* r = f->child->result) {
        final = !r->moreData;
        success = r->WasSuccessful();
        BUFFER out(text, sizeof text);
        r->GetMsgText(out);
    }
    DATAREQBASE::LeaveRelease();
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppoo", "FTP Result", app, f->child, (long)final, (long)success);
    // Its last step restarts this process just before the retrieval marks itself done.
    if (final && !f->child->done) return app->RestartProcess();
    if (clientGone(*f) || app->cancelled) {
        FETCHHOLD hold;
        askStop(*f);
        if (!final) return 1;
    }
    if (!final) {
        // A file has begun: its data goes on from here.
        if (success && !f->streaming) startFile(*f, namedType(text), FALSE);
        return 1;
    }
    if (f->streaming) return endFile(f, success && f->object->defined);
    if (!success || clientGone(*f) || app->cancelled) return failFetch(f, text);
    std::string type = namedType(text);
    if (type.find(DIRECTORY_TYPE) != std::string::npos) return sendDirectory(f);
    startFile(*f, type, TRUE);
    return endFile(f, TRUE);
}

void HTTPAPPINSTANCE::startFile(HTTPFTPFETCH& f, const std::string& type, BBOOL complete) {
    HTTPRESPONSE* header = HTTPRESPONSE::Generate(f.request, "200", nullptr, FALSE);
    if (!header) return;
    header->generatedLocally = 0;  // its body follows apart from it, as a server's does
    header->AddHeader("Content-Type", type.empty() ? "application/octet-stream" : type.c_str());
    // Only a whole file has a length; one still arriving ends with the close.
    if (complete) addLength(*header, f.object->DataLength());
    f.process->LogResult(definition);
    HTTPRESPONSE* sent = Definition()->FilterResult(header);
    f.header = header;
    header->prepare();  // ours, for the cache's gathering
    DATAREQBASE::EnterRelease();
    if (f.request->result == sent) f.request->result = nullptr;
    sent->request = nullptr;
    DATAREQBASE::LeaveRelease();
    if (f.client) {
        SetReleaseAfterSend(sent);
        if (!f.client->QueueResult(sent).target) sent->FreeResult(FALSE);
    } else {
        sent->FreeResult(FALSE);
    }
    FETCHHOLD hold;
    f.streaming = TRUE;
    passNew(f);
}

int HTTPAPPINSTANCE::endFile(HTTPFTPFETCH* f, BBOOL complete) {
    {
        FETCHHOLD hold;
        passNew(*f);
        if (HTTPDEFINITION* d = Definition()) d->FilterBody(f->request, f->header, nullptr, 0, complete);
    }
    // A file cut short ends the same way: without a length the browser cannot tell.
    if (f->client && !clientGone(*f)) TCPDISCRESPONSE::Generate(f->client);
    return finishFetch(f);
}

int HTTPAPPINSTANCE::finishFetch(HTTPFTPFETCH* f) {
    APPREQUEST* app = f->process;
    HTTPREQUEST* request = f->request;
    endFetch(f);
    app->FreeAppRequest(FALSE);
    request->FreeRequest(FALSE);
    return 0;
}

int HTTPAPPINSTANCE::sendDirectory(HTTPFTPFETCH* f) {
    HTTPOBJECT* object = f->object;
    object->prepare();  // the page's, handed to its response
    HTTPREQUEST* request = f->request;
    APPREQUEST* app = f->process;
    endFetch(f);
    // The listing arrived in pooled pieces; the page is read from one block.
    std::string listing = objectBytes(*object);
    object->SetBlockData(listing.data(), (long)listing.size());
    if (HTMLDOC::GenerateFTPls(*object, request)) {
        HTMLDOC::PadTerminator(*object);
        object->AddHeader("Content-Type", "text/html");
    } else {
        object->SetBlockData(listing.data(), (long)listing.size());
        object->AddHeader("Content-Type", "text/plain");
    }
    addLength(*object, object->DataLength());
    object->defined = 1;
    HTTPRESPONSE* page = HTTPRESPONSE::Generate(request, "200", object, FALSE);
    if (!page) {
        object->freeobj();
        return answer(app, "407");
    }
    PrefetchFromBody(app, request, page);
    return ProcessResult(app, page);
}

int HTTPAPPINSTANCE::failFetch(HTTPFTPFETCH* f, const char* text) {
    HTTPREQUEST* request = f->request;
    APPREQUEST* app = f->process;
    endFetch(f);
    return ProcessResult(app, ProvideResult("408", request, app, text));
}
