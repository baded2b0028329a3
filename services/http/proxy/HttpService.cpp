#include "HttpService.h"

#include <cstring>

#include "AppStatus.h"
#include "CacheCommands.h"
#include "HttpConnection.h"
#include "HttpCache.h"
#include "HttpCachePolicy.h"
#include "HttpDebug.h"
#include "HttpLog.h"
#include "HttpReqMonitor.h"
#include "HttpResponse.h"
#include "LocalSite.h"
#include "SvrSystem.h"
#include "TaskAbend.h"
#include "TcpSockLink.h"
#include "TextHelpers.h"
#include "WinSockControl.h"

HTTPCACHEHOOKS _HTTPCacheHooks = {nullptr, nullptr, nullptr, nullptr, nullptr};
namespace {
int ownFtpRequest(HTTPAPPINSTANCE* instance, APPREQUEST* process, HTTPREQUEST* request) {
    return instance->ProcessFTPRequest(process, request);
}
}  // namespace
int (*_pHTTPFtpRequest)(HTTPAPPINSTANCE* instance, APPREQUEST* process, HTTPREQUEST* request) = ownFtpRequest;

// ---- type and package ---------------------------------------------------------

HTTPAPPTYPE::HTTPAPPTYPE() : TELAPPTYPE("HTTP", "HTTP", FALSE, FALSE, FALSE) {
    config = new HTTPCFG;
    config->prepare();
    debug = new HTTPDEBUG(this);
    debug->prepare();
    log = new HTTPLOG;
}

APPDEFINITION* HTTPAPPTYPE::CreateAppDefinition() {
    definition = HTTPDEFINITION::CreateHTTPDefinition(this);
    return definition;
}

void HTTPAPPTYPE::CacheClear() {
    HTTPDEFINITION* d = dynamic_cast<HTTPDEFINITION*>(definition);
    if (!d || !d->cache) return;
    MSEMHOLD hold(d->cache->Lock());
    d->cache->ClearSites(FALSE, FALSE);
}

BBOOL HTTPAPPTYPE::CacheWrite(const char* fileName, BBOOL detail, BBOOL) {
    HTTPDEFINITION* d = dynamic_cast<HTTPDEFINITION*>(definition);
    if (!d || !d->cache || !fileName) return FALSE;
    return WriteCacheFile(*d->cache, "HTTP", fileName, detail);
}

int HTTPCLASS_INIT::InitCount = 0;

HTTPCLASS_INIT::HTTPCLASS_INIT() {
    if (InitCount++ != 0) return;
    HTTPAPPTYPE* type = new HTTPAPPTYPE;
    if (!type) _Task_Abend(ABEND_STG101, 0);
    type->prepare();
    _pHTTPAppType = type;
}

HTTPCLASS_INIT::~HTTPCLASS_INIT() {
    if (--InitCount != 0 || !_pHTTPAppType) return;
    _pHTTPAppType->freeobj();
    _pHTTPAppType = nullptr;
}

// After the packages of the layers below, which their headers set up.
static HTTPCLASS_INIT _httpClassInit;

// ---- definition ---------------------------------------------------------------

HTTPDEFINITION::HTTPDEFINITION(APPTYPE* t, BBOOL createInstance)
    : TELDEFINITION(t, FALSE), localSite(nullptr), cache(nullptr), httpProxyAddress{}, ftpProxyAddress{}, sslProxyAddress{} {
    InitializeCriticalSection(&addressLock);
    if (HTTPCFG* cfg = Settings()) {
        cache = new HTTPCACHE(*cfg, this, _pSvr && _pSvr->setupMode);
        InstallHttpCachePolicy();
        if (t) t->cacheDefinition = this;
    }
    _strzcpy(name, "HTTP", sizeof name);
    secondaryAllowed = TRUE;
    if (createInstance) {
        HTTPAPPINSTANCE* i = new HTTPAPPINSTANCE(this);
        if (!i) _Task_Abend(ABEND_STG101, (ULONG_PTR)this);
        i->prepare();
        instances.Add(*i);
    }
}

HTTPDEFINITION::~HTTPDEFINITION() {
    if (type && type->cacheDefinition == this) type->cacheDefinition = nullptr;
    delete cache;
    cache = nullptr;
    delete localSite;
    localSite = nullptr;
    DeleteCriticalSection(&addressLock);
}

BBOOL HTTPDEFINITION::StartAppCache() { return cache ? cache->StartAppCache() : TRUE; }

BBOOL HTTPDEFINITION::ShutdownAppCache(void* object, HWND window, int command, LPARAM parameter) {
    return cache ? cache->ShutdownAppCache(object != nullptr, window, command, parameter) : TRUE;
}

void HTTPDEFINITION::UpdateAppCache(APPCACHE* record, BBOOL store) {
    if (cache && record) cache->UpdateAppCache(*record, store);
}

HTTPDEFINITION* HTTPDEFINITION::CreateHTTPDefinition(APPTYPE* type) {
    HTTPDEFINITION* d = new HTTPDEFINITION(type, TRUE);
    if (!d) _Task_Abend(ABEND_STG101, 0);
    d->prepare();
    return d;
}

TCPAPPINSTANCE* HTTPDEFINITION::CreateInstance(TCPAPPINSTANCE* parent) {
    HTTPAPPINSTANCE* i = new HTTPAPPINSTANCE(this);
    if (!i) return nullptr;
    i->prepare();
    if (parent) {
        i->parent = parent;
        parent->secondaries.Add(*i);
    }
    return i;
}

HTTPCFG* HTTPDEFINITION::Settings() const { return type ? dynamic_cast<HTTPCFG*>(type->config) : nullptr; }

HTTPAPPINSTANCE* HTTPDEFINITION::FirstInstance() {
    MSEMHOLD hold(instances.lock);
    return dynamic_cast<HTTPAPPINSTANCE*>(instances.First());
}

BBOOL HTTPDEFINITION::StartCommunications() {
    if (!socketControl) {
        socketControl = new WINSOCKCONTROL;
        socketControl->prepare();
    }
    if (!monitor) {
        monitor = new HTTPREQMONITOR(*socketControl, 1);
        monitor->prepare();
    }
    if (!listener) {
        listener = new HTTPCONNECTION(this, *socketControl, nullptr, nullptr, nullptr);
        listener->prepare();
    }
    monitor->notifier = NotifyConnection;
    socketControl->streamHandler = HTTPREQMONITOR::MessageMonitor;
    socketControl->sendDrainedHook = TELREQMONITOR::SendQueueMonitor;
    socketControl->listenBacklog = 5;  // browsers open several connections at once
    if (!localSite) {
        HTTPCFG* cfg = Settings();
        localSite = new HTTPLOCALSITE(cfg ? cfg->documentDirectory : "", _pSvr ? _pSvr->configDirectory : "",
                                      _pSvr ? &_pSvr->mainProfile : nullptr);
        localSite->adminPassword = _pSvr ? _pSvr->options.admin.password : "";
    }
    return TCPDEFINITION::StartCommunications();
}

DATAREQUEST* HTTPDEFINITION::BuildRequest(const char* text) {
    if (!text || !*text || !monitor) return nullptr;
    return BuildHttpRequest(text);
}

HTTPRESPONSE* HTTPDEFINITION::FilterRequest(HTTPREQUEST* request) {
    HTTPCFG* cfg = Settings();
    if (!cfg || !cfg->cache || !_HTTPCacheHooks.filterRequest) return nullptr;
    return _HTTPCacheHooks.filterRequest(this, request);
}

HTTPRESPONSE* HTTPDEFINITION::FilterResult(HTTPRESPONSE* result) {
    HTTPCFG* cfg = Settings();
    if (!cfg || !cfg->cache || !_HTTPCacheHooks.filterResult) return result;
    return _HTTPCacheHooks.filterResult(this, result);
}

void HTTPDEFINITION::FilterBody(HTTPREQUEST* request, HTTPRESPONSE* result, const char* bytes, long length,
                                BBOOL complete) {
    HTTPCFG* cfg = Settings();
    if (!result || !cfg || !cfg->cache || !_HTTPCacheHooks.filterBody) return;
    _HTTPCacheHooks.filterBody(this, request, result, bytes, length, complete);
}

BBOOL HTTPDEFINITION::CheckCacheable(HTTPREQUEST* request) {
    HTTPCFG* cfg = Settings();
    if (!request || !cfg || !cfg->cache || !_HTTPCacheHooks.bodyOutgrown) return FALSE;
    return _HTTPCacheHooks.bodyOutgrown(this, request);
}

BBOOL HTTPDEFINITION::FetchesForOthers(DATACONNECTION* c) {
    HTTPCONNECTION* server = dynamic_cast<HTTPCONNECTION*>(c);
    HTTPDEFINITION* d = server ? dynamic_cast<HTTPDEFINITION*>(server->definition) : nullptr;
    HTTPCFG* cfg = d ? d->Settings() : nullptr;
    if (!cfg || !cfg->cache || !_HTTPCacheHooks.sharedFetch || server->relayMode) return FALSE;
    return _HTTPCacheHooks.sharedFetch(d, server->requestInProgress);
}

long HTTPDEFINITION::ReturnResult(DATARESULT* result) {
    if (!result) return FALSE;
    DATAREQUEST* request = result->request;
    APPREQUEST* app = request ? dynamic_cast<APPREQUEST*>(request->process) : nullptr;
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppp", "Return Result", app, request, result);
    if (app && app->instance) return app->RestartProcess();
    HTTPAPPINSTANCE* first = FirstInstance();
    return first ? first->ProcessResult(app, result) : FALSE;
}

namespace {
void copyText(char* to, const char* from, int size) { _strzcpy(to, from ? from : "", size); }
}  // namespace

void HTTPDEFINITION::RememberAddress(HTTPREQUEST* r, const char* address) {
    if (!r || !r->viaUpstreamProxy || !address || !*address) return;
    EnterCriticalSection(&addressLock);
    char* slot = r->ftpScheme ? ftpProxyAddress : r->ItemClassID() == QvTag("HCON") ? sslProxyAddress : httpProxyAddress;
    copyText(slot, address, sizeof httpProxyAddress);
    LeaveCriticalSection(&addressLock);
}

PROXYADDRESSES HTTPDEFINITION::ResolvedProxies() {
    // The texts change only while a settings change empties them; a worker
    // reading one then at worst connects by name.
    return PROXYADDRESSES{httpProxyAddress, ftpProxyAddress, sslProxyAddress};
}

void HTTPDEFINITION::UpdateAppProxies(APPPROXIES* p, BBOOL store) {
    HTTPCFG* cfg = Settings();
    if (!p || !cfg) return;
    if (!store) {
        p->useProxy = cfg->proxies;
        copyText(p->httpHost, cfg->proxyHTTPAddress, sizeof p->httpHost);
        copyText(p->ftpHost, cfg->proxyFTPAddress, sizeof p->ftpHost);
        copyText(p->securityHost, cfg->proxySSLAddress, sizeof p->securityHost);
        p->httpPort = cfg->proxyHTTPPort;
        p->ftpPort = cfg->proxyFTPPort;
        p->securityPort = cfg->proxySSLPort;
        p->httpRemote = cfg->proxyHTTPRemote;
        p->ftpRemote = cfg->proxyFTPRemote;
        p->securityRemote = cfg->proxySSLRemote;
        return;
    }
    cfg->proxies = p->useProxy;
    copyText(cfg->proxyHTTPAddress, p->httpHost, sizeof cfg->proxyHTTPAddress);
    copyText(cfg->proxyFTPAddress, p->ftpHost, sizeof cfg->proxyFTPAddress);
    copyText(cfg->proxySSLAddress, p->securityHost, sizeof cfg->proxySSLAddress);
    cfg->proxyHTTPPort = p->httpPort;
    cfg->proxyFTPPort = p->ftpPort;
    cfg->proxySSLPort = p->securityPort;
    cfg->proxyHTTPRemote = p->httpRemote;
    cfg->proxyFTPRemote = p->ftpRemote;
    cfg->proxySSLRemote = p->securityRemote;
    cfg->WriteProxiesProfile();
    // Addresses reached under the old settings may belong to other proxies.
    EnterCriticalSection(&addressLock);
    httpProxyAddress[0] = ftpProxyAddress[0] = sslProxyAddress[0] = 0;
    LeaveCriticalSection(&addressLock);
}

const char* HTTPDEFINITION::GetConnRespCode(int event, HTTPCONNECTION* c) {
    if (!c) return "";
    COMMLINK* link = c->link;
    long error = link ? link->error : 0;
    BBOOL refused = (link && link->refused) || c->refused;
    return ConnectionFailureKey(event, c->noLine, link != nullptr, error, refused);
}

namespace {
void statusNotify(DATACONNECTION* c, int state) {
    if (APPSTATUS::pdefaultConnNotify) APPSTATUS::pdefaultConnNotify(c, state);
}
}  // namespace

void HTTPDEFINITION::NotifyConnection(DATACONNECTION* c, int state) {
    HTTPCONNECTION* client = dynamic_cast<HTTPCONNECTION*>(c);
    if (!client) {
        statusNotify(c, state);
        return;
    }
    client->lastEvent = state;
    if (state == CONN_OPENED) return;
    if (state == CONN_CONNECTED) {
        client->connected = TRUE;
        // Refusals are answered with the request, as pages.
        client->SetLoginUser(client->name, nullptr, nullptr);
        statusNotify(c, CONN_OPENED);
        return;
    }
    if (state == CONN_CLOSED) {
        // The worker may be freeing the request meanwhile: only a reference
        // taken under the lock its free clears currentRequest in keeps it.
        if (APPREQUEST* pending = client->TakeCurrentRequest()) {
            pending->cancelled = TRUE;
            pending->freeobj();
        }
        if (TELCONNECTION* peer = client->Unpair()) {
            // The server side of a browser that has gone is of no more use,
            // unless others wait for what it fetches: then it reads on.
            if (FetchesForOthers(peer)) {
                if (peer->link) peer->link->StartReceiving();
            } else if (!client->markerRelayed || !client->relayMode) {
                peer->SetDropRequested(TRUE, FALSE);
            }
            peer->freeobj();
        }
    }
    statusNotify(c, state);
}

GATEWAYNAMES GatewayNames(HTTPCONNECTION* client) {
    GATEWAYNAMES n{};
    n.localUserName = _pSvr ? _pSvr->options.users.ownerName : nullptr;
    TCPSOCKLINK* l = client ? dynamic_cast<TCPSOCKLINK*>(client->link) : nullptr;
    if (l) {
        l->TCPGetLocalAddress(BUFFER(n.linkAddress, sizeof n.linkAddress));
        n.linkPort = l->TCPGetLocalPort();
    }
    return n;
}
