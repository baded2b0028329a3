#include "HttpCachePolicy.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "AppRequest.h"
#include "CacheCommands.h"
#include "HttpCache.h"
#include "HttpCfg.h"
#include "HttpConnection.h"
#include "HttpObject.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "HttpService.h"
#include "HttpSite.h"
#include "LocalRequest.h"
#include "TraceTable.h"

namespace {

const long kHttpPort = 80;
const long kFtpPort = 21;

// What a miss (or a revalidation) gathers until its object can be kept.
struct FETCH {
    HTTPCACHE* cache = nullptr;
    std::string body;
    long expected = 0;        // Content-Length; 0: up to the close
    bool headersDone = false;
    bool bodyDone = false;
    bool whole = false;
    HTTPOBJECT* replaces = nullptr;  // the copy a revalidation's new answer replaces (held)
    // Requests for the same object, parked until it is whole (a reference each).
    // One worker serves the service's queue, so a parked request is restarted
    // only after the worker has left its processing.
    std::vector<APPREQUEST*> waiters;
};

// Keyed by the pending object, which each entry holds a reference on. Guarded
// by the cache semaphore of the entry's cache.
std::map<HTTPOBJECT*, FETCH>& fetches() {
    static std::map<HTTPOBJECT*, FETCH> all;
    return all;
}
// The held copy of a request under revalidation, with a reference.
std::map<HTTPREQUEST*, HTTPOBJECT*>& heldCopies() {
    static std::map<HTTPREQUEST*, HTTPOBJECT*> all;
    return all;
}
CRITICAL_SECTION* tablesLock() {
    static CRITICAL_SECTION cs;
    static bool made = (InitializeCriticalSection(&cs), true);
    (void)made;
    return &cs;
}
struct TABLESHOLD {
    TABLESHOLD() { EnterCriticalSection(tablesLock()); }
    ~TABLESHOLD() { LeaveCriticalSection(tablesLock()); }
};

HTTPCACHE* cacheOf(HTTPDEFINITION* d) { return d ? d->cache : nullptr; }

std::string lower(std::string s) {
    for (char& c : s) c = (char)std::tolower((unsigned char)c);
    return s;
}

std::string header(HTTPMSGBASE& m, const char* name, int size = 43) {
    char text[256];
    if (size > (int)sizeof text) size = sizeof text;
    if (!m.GetHeaderData(text, size, name)) return std::string();
    return text;
}

bool listsToken(const std::string& value, const char* token) {
    return lower(value).find(token) != std::string::npos;
}

std::string dateText(unsigned long seconds) {
    char out[64];
    return TIMESTAMP(seconds, 0).String(out, TF_MIME, TRUE);
}

std::string objectBytes(DATAOBJECT& o) {
    std::string out((size_t)o.DataLength(), 0);
    if (out.empty() || !o.dataField) return out;
    int got = o.dataField->GetData(BUFFER(&out[0], (long)out.size()), FALSE);
    out.resize(got > 0 ? (size_t)got : 0);
    return out;
}

void setHeader(HTTPMSGBASE& m, const char* name, const std::string& value) {
    if (DATAVALUE* v = m.FindHeader(name))
        v->SetData(BUFFER(const_cast<char*>(value.data()), (long)value.size()));
    else
        m.AddHeader(name, value.c_str());
}

// Unfindable, out of its store; the references held on it decide its end.
void discard(HTTPOBJECT& o) {
    o.valid = 0;
    if (o.memoryCache || o.diskCache)
        o.DeleteObject(FALSE);
    else if (DATASTORE* s = o.Store())
        if (o.storeLink) {
            o.prepare();
            s->DeleteObject(o, TRUE);
        }
}

void finishFetch(HTTPOBJECT* o);

// Parks the request's process until the object arriving for another is whole;
// FALSE when nobody fetches it (the request then goes upstream by itself).
bool joinFetch(HTTPOBJECT& o, APPREQUEST& app) {
    TABLESHOLD t;
    auto f = fetches().find(&o);
    if (f == fetches().end()) return false;
    app.prepare();
    app.waitingForObject = TRUE;
    f->second.waiters.push_back(&app);
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cpp", "Request Deferred for Object", &app, &o);
    return true;
}

std::vector<APPREQUEST*> takeWaiters(HTTPOBJECT* o) {
    std::vector<APPREQUEST*> out;
    TABLESHOLD t;
    auto f = fetches().find(o);
    if (f != fetches().end()) out.swap(f->second.waiters);
    return out;
}

// Answers the parked requests from the object kept for them; without one they
// start over and go upstream by themselves (an answer not kept may be another
// user's). A request whose browser has gone is restarted so that it ends.
void releaseWaiters(std::vector<APPREQUEST*>& waiters, HTTPOBJECT* kept) {
    for (APPREQUEST* app : waiters) {
        app->waitingForObject = FALSE;
        HTTPREQUEST* r = dynamic_cast<HTTPREQUEST*>(app->request);
        // The answer made for the request becomes its result (its worker sends it).
        if (r && kept && !app->cancelled) HTTPCACHEPOLICY::filterResponseGenerate(*r, *kept);
        app->RestartProcess();
        app->freeobj();
    }
    waiters.clear();
}

// Fetches whose request went before they ended, with the entry's references,
// until a holder of their cache's semaphore drops them. Guarded by the tables lock.
std::vector<std::pair<HTTPOBJECT*, FETCH>>& abandonedFetches() {
    static std::vector<std::pair<HTTPOBJECT*, FETCH>> all;
    return all;
}

// A request that was to fill an object goes before its fetch ended (its
// server failed or was dropped): its waiters start over and the object is
// dropped. This runs in the request's destructor, which may hold the
// object-cleanup lock that holders of the cache semaphore take in turn: so the
// semaphore is left to its next holder, who drops the object (dropAbandoned).
void pendingDropped(HTTPREQUEST* r) {
    HTTPOBJECT* o = r ? r->pendingObject : nullptr;
    std::vector<APPREQUEST*> waiters;
    {
        TABLESHOLD t;
        auto it = o ? fetches().find(o) : fetches().end();
        if (it == fetches().end()) return;
        waiters.swap(it->second.waiters);
        abandonedFetches().emplace_back(o, std::move(it->second));
        fetches().erase(it);
    }
    // Unfindable at once (a whole word that nothing sets again): the waiters
    // that start over go upstream by themselves.
    o->valid = 0;
    releaseWaiters(waiters, nullptr);
}

// Caller holds the cache semaphore of c.
void dropAbandoned(HTTPCACHE& c) {
    std::vector<std::pair<HTTPOBJECT*, FETCH>> gone;
    {
        TABLESHOLD t;
        auto& all = abandonedFetches();
        for (auto it = all.begin(); it != all.end();) {
            if (it->second.cache == &c) {
                gone.push_back(std::move(*it));
                it = all.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& g : gone) {
        discard(*g.first);
        if (g.second.replaces) g.second.replaces->FreeObject();
        g.first->FreeObject();
    }
}

// A prefetch or scheduled fetch of an object too big to keep is given up,
// unless its answer goes to an output file.
void abandonLocal(HTTPREQUEST& r) {
    LOCALAPPREQUEST* app = dynamic_cast<LOCALAPPREQUEST*>(r.process);
    if (!app || app->outputMark) return;
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cp", "Local Request Aborted", app);
    app->cancelled = TRUE;
    app->failed = TRUE;
    app->RestartProcess();
}

// Whether one of the caches would keep an object of size bytes.
bool fitsSomeCache(HTTPCACHE& c, HTTPOBJECT& o, long size) {
    return c.memory->CheckAccept(o, (int)size) || (c.disk && c.disk->CheckAccept(o, (int)size));
}

BBOOL bodyOutgrownHook(HTTPDEFINITION*, HTTPREQUEST* r) {
    HTTPOBJECT* o = r ? r->pendingObject : nullptr;
    if (!o || !o->valid) return FALSE;
    HTTPCACHE* c = nullptr;
    long size = 0;
    {
        TABLESHOLD t;
        auto it = fetches().find(o);
        if (it == fetches().end() || it->second.bodyDone) return FALSE;
        c = it->second.cache;
        size = (long)it->second.body.size();
    }
    if (size == 0 || fitsSomeCache(*c, *o, size)) return FALSE;
    MSEMHOLD hold(c->Lock());
    dropAbandoned(*c);
    if (!o->valid) return FALSE;
    o->valid = 0;  // and no more of its body is gathered
    std::vector<APPREQUEST*> waiters = takeWaiters(o);
    {
        TABLESHOLD t;
        auto it = fetches().find(o);
        if (it != fetches().end()) std::string().swap(it->second.body);
    }
    releaseWaiters(waiters, nullptr);
    abandonLocal(*r);
    return TRUE;
}

BBOOL sharedFetchHook(HTTPDEFINITION*, HTTPREQUEST* r) {
    HTTPOBJECT* o = r ? r->pendingObject : nullptr;
    if (!o) return FALSE;
    TABLESHOLD t;
    auto f = fetches().find(o);
    return f != fetches().end() && !f->second.waiters.empty();
}

HTTPRESPONSE* filterRequestHook(HTTPDEFINITION* d, HTTPREQUEST* r) {
    HTTPCACHE* c = cacheOf(d);
    HTTPCFG* cfg = d ? d->Settings() : nullptr;
    if (!c || !cfg || !r) return nullptr;
    return HTTPCACHEPOLICY(*c, *cfg).FilterRequest(*r);
}

HTTPRESPONSE* filterResultHook(HTTPDEFINITION* d, HTTPRESPONSE* response) {
    HTTPCACHE* c = cacheOf(d);
    HTTPCFG* cfg = d ? d->Settings() : nullptr;
    if (!c || !cfg || !response) return response;
    return HTTPCACHEPOLICY(*c, *cfg).FilterResult(*response);
}

// A piece has bytes; the end has none and says whether the body came whole.
void filterBodyHook(HTTPDEFINITION*, HTTPREQUEST* request, HTTPRESPONSE* response, const char* bytes, long length,
                    BBOOL complete) {
    HTTPREQUEST* r = request ? request : response ? response->Request() : nullptr;
    int end = bytes || length ? HTTPBODY_MORE : complete ? HTTPBODY_WHOLE : HTTPBODY_CUT;
    HTTPCACHEPOLICY::ResponseBody(r, bytes, length, end);
}

}  // namespace

void InstallHttpCachePolicy() {
    _HTTPCacheHooks.filterRequest = filterRequestHook;
    _HTTPCacheHooks.filterResult = filterResultHook;
    _HTTPCacheHooks.filterBody = filterBodyHook;
    _HTTPCacheHooks.sharedFetch = sharedFetchHook;
    _HTTPCacheHooks.bodyOutgrown = bodyOutgrownHook;
    _pHTTPPendingDropped = pendingDropped;
    InstallCacheCommands();
}

long HTTPCACHEPOLICY::keptAge() const { return config.keepExpiredObjects ? config.expiredObjectAge : 0; }

std::string HTTPCACHEPOLICY::SiteKey(HTTPREQUEST& r) {
    std::string key = r.host.empty() ? std::string(HTTP_DEFAULT_SITE) : r.host;
    long standard = r.ftpScheme ? kFtpPort : kHttpPort;
    if (r.port && r.port != standard) key += ":" + std::to_string(r.port);
    return lower(key);
}

// ---- requests

HTTPRESPONSE* HTTPCACHEPOLICY::FilterRequest(HTTPREQUEST& r) {
    unsigned long method = r.ItemClassID();
    bool get = method == QvTag("HGET");
    bool head = method == QvTag("HHED");
    if (!get && !head) return nullptr;
    APPREQUEST* app = dynamic_cast<APPREQUEST*>(r.process);
    if (app) app->waitingForObject = FALSE;
    // Answers to a user's credentials are that user's: never kept, never served to them from others.
    bool bypass = !r.IsCacheable() || (!r.generatedLocally && r.FindHeader("Authorization"));
    MSEMHOLD hold(cache.Lock());
    dropAbandoned(cache);
    HTTPSITE* site = cache.FindSite(SiteKey(r).c_str(), TRUE, 0);
    r.SetSite(site);
    std::string key = r.ftpScheme ? "ftp:" + r.path : r.path;
    HTTPOBJECT* found = dynamic_cast<HTTPOBJECT*>(site->objects.FindSingleObject(key.c_str(), TRUE));
    if (found && !found->memoryCache && !found->diskCache) {
        // Still arriving for another browser: this one waits for it, unless it may not share it.
        if (bypass)
            found->valid = 0;
        else if (app)
            joinFetch(*found, *app);
        return nullptr;
    }
    if (found) {
        long age = keptAge();
        unsigned long now = TIMESTAMP::Now();
        if (found->expiryTime.seconds && age >= 0 && found->expiryTime.seconds + (unsigned long)age < now) bypass = true;
        if (bypass || !found->valid) {
            discard(*found);
        } else {
            found->prepare();  // ours while the answer is made
            if (found->diskCache && found->Released()) found->diskCache->Retrieve(*found, nullptr, FALSE);
            else if (found->memoryCache) found->memoryCache->Retrieve(*found, nullptr, FALSE);
            HTTPRESPONSE* answer = found->Released() ? nullptr : filterResponseGenerate(r, *found);
            HTTPRESPONSE* sent = answer ? checkNewerVersion(r, answer, *found) : nullptr;
            found->FreeObject();
            if (sent || heldCopies().count(&r)) return sent;
            if (!answer) discard(*found);  // unreadable: fetched anew
        }
    }
    if (!bypass && get) {
        HTTPOBJECT* o = new (&site->objects) HTTPOBJECT(site, key.c_str(), TRUE, TRUE, 0);
        o->prepare();  // the request's
        o->valid = 1;
        o->fetchingRequest = nullptr;
        if (r.pendingObject) r.pendingObject->FreeObject();
        r.pendingObject = o;
        o->prepare();  // the fetch entry's
        TABLESHOLD t;
        FETCH& f = fetches()[o];
        f.cache = &cache;
    } else if (site->objects.rows.Count() == 0) {
        r.SetSite(nullptr);
        cache.ReleaseSiteIfUnused(*site);
    }
    return nullptr;
}

HTTPRESPONSE* HTTPCACHEPOLICY::filterResponseGenerate(HTTPREQUEST& r, HTTPOBJECT& o) {
    const char* key = o.statusCode == 301 ? "301" : o.statusCode == 302 ? "302" : "200";
    bool notModified = false;
    if (!std::strcmp(key, "200") && r.IsConditional() && o.listedTime.seconds <= r.ifModifiedSince.seconds &&
        (r.ifModifiedLength == -1 || r.ifModifiedLength == o.DataLength()))
        notModified = true;
    HTTPOBJECT* body = nullptr;
    if (!notModified) {
        // The browser's own copy: the stored bytes may lie in pooled pieces, and
        // the sender sends one block.
        body = new HTTPOBJECT(nullptr, "", TRUE, FALSE, 0);
        body->prepare();
        std::string bytes = objectBytes(o);
        if ((long)bytes.size() != o.DataLength() || !body->SetBlockData(bytes.data(), (long)bytes.size())) {
            body->freeobj();
            return nullptr;
        }
        CITERATOR<DATAVALUE> it;
        char value[HTTP_HEADER_LIMIT];
        for (DATAVALUE* v = it.Begin(o.headers); v; v = it.Next()) {
            HeaderValue(*v, value, sizeof value);
            body->AddHeader(v->valueName, value);
        }
        it.End();
        body->statusCode = o.statusCode;
        body->defined = 1;
    }
    HTTPRESPONSE* answer = HTTPRESPONSE::Generate(&r, notModified ? "304" : key, body, FALSE);
    if (!answer) {
        if (body) body->freeobj();
        return nullptr;
    }
    if (notModified && !answer->FindHeader("Date")) answer->AddHeader("Date", dateText(TIMESTAMP::Now()).c_str());
    return answer;
}

HTTPRESPONSE* HTTPCACHEPOLICY::checkNewerVersion(HTTPREQUEST& r, HTTPRESPONSE* cached, HTTPOBJECT& o) {
    bool revalidate = config.cacheRefreshMethod == 0;
    unsigned long reference = o.listedTime.seconds ? o.listedTime.seconds : o.addedTime.seconds;
    if (r.generatedLocally) revalidate = true;
    if (config.cacheRefreshMethod == 1 && !o.confirmedSinceStart) revalidate = true;
    if (config.cacheRefreshMethod == 2 && config.cacheRefreshAfterTime > 0) {
        if (!o.userTime.seconds) {
            o.userTime.seconds = reference;
            o.headerChanged = 1;
        }
        if (TIMESTAMP::Now() - o.userTime.seconds >= (unsigned long)config.cacheRefreshAfterTime * 60) revalidate = true;
    }
    // Pages reached from the gateway's own lists are shown as kept.
    if (!r.IsConditional() && r.WasReferredLocally(GatewayNames(dynamic_cast<HTTPCONNECTION*>(r.connection)), TRUE))
        revalidate = false;
    if (listsToken(header(*cached, "Pragma"), "no-cache")) revalidate = true;
    if (!revalidate) return cached;

    // Upstream decides; the copy is held to fall back on.
    cached->FreeResult(FALSE);
    o.prepare();
    {
        TABLESHOLD t;
        HTTPOBJECT*& held = heldCopies()[&r];
        if (held) held->FreeObject();
        held = &o;
    }
    if (r.ItemClassID() == QvTag("HGET")) {
        HTTPSITE* site = o.site;
        char name[1024];
        HTTPOBJECT* next = new (&site->objects) HTTPOBJECT(site, o.GetName(name, sizeof name), TRUE, TRUE, 0);
        next->prepare();
        next->valid = 1;
        next->revalidationCopy = 1;
        if (r.pendingObject) r.pendingObject->FreeObject();
        r.pendingObject = next;
        next->prepare();
        TABLESHOLD t;
        FETCH& f = fetches()[next];
        f.cache = &cache;
        f.replaces = &o;
        o.prepare();
        // The browser's own condition is already read (IsConditional keeps its answer); ours replaces it.
        r.IsConditional();
        setHeader(r, "If-Modified-Since", dateText(reference) + "; length=" + std::to_string(o.DataLength()));
    }
    return nullptr;
}

// ---- answers

void HTTPCACHEPOLICY::takeHeaders(HTTPRESPONSE& resp, HTTPOBJECT& o) {
    unsigned long now = TIMESTAMP::Now();
    long age = keptAge();
    bool cacheable = resp.IsCacheable() != 0;
    // A user's own answer is not everybody's.
    std::string control = header(resp, "Cache-Control", 256);
    if (listsToken(control, "private") || listsToken(control, "no-store")) cacheable = false;
    if (resp.Request() && !resp.Request()->generatedLocally && resp.Request()->FindHeader("Authorization")) cacheable = false;
    // "Keep Expired Objects" with a negative age keeps what Pragma would refuse.
    if (age < 0 && !cacheable && resp.HasHeaderField("Pragma", "no-cache") && !resp.FindHeader("Set-Cookie")) {
        long n = resp.StatusNumber();
        cacheable = n != 204 && n != 206 && ((resp.WasSuccessful() && resp.bodyFollows) || n == 301 || n == 302);
    }
    std::string date = header(resp, "Date");
    unsigned long stored = date.empty() ? 0 : TIMESTAMP::parseMIME(date.c_str());
    o.addedTime.seconds = stored ? stored : now;
    o.userTime.seconds = now;
    o.confirmedSinceStart = 1;
    o.headerChanged = 1;
    std::string modified = header(resp, "Last-Modified");
    unsigned long lm = modified.empty() ? 0 : TIMESTAMP::parseMIME(modified.c_str());
    o.listedTime.seconds = lm ? lm : o.addedTime.seconds;
    if (resp.FindHeader("Expires")) {
        unsigned long e = TIMESTAMP::parseMIME(header(resp, "Expires").c_str());
        o.expiryTime.seconds = e ? e : 1;  // unreadable: long past
        if (age >= 0 && o.expiryTime.seconds + (unsigned long)age < now) cacheable = false;
    }
    if (resp.HasHeaderField("Pragma", "no-cache")) {
        if (!o.expiryTime.seconds) o.expiryTime.seconds = age < 0 ? 0xFFFFFFFFUL : 1;
        if (age >= 0) cacheable = false;
    }
    o.statusCode = resp.StatusNumber();
    CopyHeadersToObject(resp, o);
    o.headersPresent = 1;
    if (!cacheable) o.valid = 0;
}

HTTPRESPONSE* HTTPCACHEPOLICY::FilterResult(HTTPRESPONSE& resp) {
    HTTPREQUEST* r = resp.Request();
    if (!r) return &resp;
    MSEMHOLD hold(cache.Lock());
    dropAbandoned(cache);
    HTTPOBJECT* held = nullptr;
    {
        TABLESHOLD t;
        auto h = heldCopies().find(r);
        if (h != heldCopies().end()) {
            held = h->second;
            heldCopies().erase(h);
        }
    }
    HTTPOBJECT* pending = r->pendingObject;
    HTTPRESPONSE* sent = &resp;
    if (held && IsProvisionalResult(resp.StatusNumber())) {
        // Not modified, or upstream unreachable: the copy is still good.
        held->userTime.seconds = TIMESTAMP::Now();
        held->confirmedSinceStart = 1;
        held->headerChanged = 1;
        held->CacheRewrite();
        if (HTTPRESPONSE* copy = filterResponseGenerate(*r, *held)) sent = copy;
        if (pending) {
            pending->valid = 0;  // the revalidation's new version is not needed
            {
                TABLESHOLD t;
                auto f = fetches().find(pending);
                if (f != fetches().end()) f->second.replaces = nullptr;
            }
            held->FreeObject();  // the fetch entry's hold on the copy
        }
    }
    if (held) held->FreeObject();
    if (pending) {
        if (sent == &resp) takeHeaders(resp, *pending);
        if (pending->valid) {
            long expected = resp.BodyLength();
            if (!fitsSomeCache(cache, *pending, expected)) {
                pending->valid = 0;
                abandonLocal(*r);
            }
        }
        // Not to be kept: who waits for it need not wait for its body.
        if (!pending->valid) {
            std::vector<APPREQUEST*> waiters = takeWaiters(pending);
            releaseWaiters(waiters, nullptr);
        }
        {
            TABLESHOLD t;
            auto f = fetches().find(pending);
            if (f != fetches().end()) {
                f->second.headersDone = true;
                f->second.expected = resp.bodyFollows ? resp.BodyLength() : 0;
                if (resp.generatedLocally) {
                    // The gateway's own page: its whole body is here already, no server sends one.
                    DATAOBJECT* body = resp.noBodyObject ? nullptr : resp.object;
                    f->second.body = body ? objectBytes(*body) : std::string();
                    f->second.expected = (long)f->second.body.size();
                    f->second.bodyDone = f->second.whole = true;
                }
            }
        }
        finishFetch(pending);
    }
    return sent;
}

void HTTPCACHEPOLICY::ResponseBody(HTTPREQUEST* r, const char* bytes, long length, int end) {
    HTTPOBJECT* o = r ? r->pendingObject : nullptr;
    if (!o) return;
    HTTPCACHE* c = nullptr;
    {
        TABLESHOLD t;
        auto it = fetches().find(o);
        if (it == fetches().end()) return;
        FETCH& f = it->second;
        if (length > 0 && bytes && !f.bodyDone && o->valid) f.body.append(bytes, (size_t)length);
        if (end == HTTPBODY_MORE) return;
        f.bodyDone = true;
        f.whole = end == HTTPBODY_WHOLE;
        c = f.cache;  // the entry may go once the lock is left
    }
    MSEMHOLD hold(c->Lock());
    dropAbandoned(*c);
    finishFetch(o);
}

namespace {

// Keeps the object once its header and its whole body are in; drops it when
// anything went wrong. Caller holds the cache semaphore.
void finishFetch(HTTPOBJECT* o) {
    FETCH f;
    {
        TABLESHOLD t;
        auto it = fetches().find(o);
        if (it == fetches().end() || !it->second.headersDone || !it->second.bodyDone) return;
        f = it->second;
        fetches().erase(it);
    }
    HTTPCACHE& c = *f.cache;
    long got = (long)f.body.size();
    // Never a truncated hit: the announced length must have arrived whole.
    bool whole = f.whole && (f.expected <= 0 || got == f.expected);
    if (o->valid && whole && o->SetBlockData(f.body.data(), got)) {
        o->defined = 1;
        o->revalidationCopy = 0;
        if (f.replaces) discard(*f.replaces);
        if (!c.memory->Accept(*o, FALSE) && !(c.disk && c.disk->Accept(*o, FALSE))) discard(*o);
    } else {
        discard(*o);
    }
    releaseWaiters(f.waiters, o->memoryCache || o->diskCache ? o : nullptr);
    if (f.replaces) f.replaces->FreeObject();
    o->FreeObject();
}

}  // namespace
