#pragma once
// The running HTTP service on the line layer: its type (the configuration, debug
// runner and log), its definition (listener, connection events, proxy
// addresses, the cache seam) and its instance, whose worker decides every
// browser request and passes every answer back.
#include "QvWindows.h"
#include <string>

#include "HttpCfg.h"
#include "HttpForwarding.h"
#include "HttpRequest.h"
#include "TelService.h"

class HTTPCONNECTION;
class HTTPRESPONSE;
class HTTPLOCALSITE;
class HTTPAPPINSTANCE;
class HTTPCACHE;

class HTTPAPPTYPE : public TELAPPTYPE {
public:
    HTTPAPPTYPE();  // "HTTP" with HTTPCFG, HTTPDEBUG and HTTPLOG
    ~HTTPAPPTYPE() override {}

    QV_ITEM_IDENTITY(HTTPAPPTYPE, "HTTPAPPTYPE", "HATP")

    APPDEFINITION* CreateAppDefinition() override;
    // Console and administration threads; without a definition nothing happens.
    void CacheClear() override;
    // The cache's contents to fileName (CacheWrite's detailed or URL-list form).
    BBOOL CacheWrite(const char* fileName, BBOOL detail, BBOOL second) override;
    HTTPCFG* Settings() const { return dynamic_cast<HTTPCFG*>(config); }
};

// The cache policy's entries, installed by the cache when it is built in;
// null entries leave every request to the network and every answer as it
// came. They run only while "Cache" is on.
struct HTTPCACHEHOOKS {
    // Worker thread: an answer from the cache, or none (the request goes on,
    // or its process was parked on an object being fetched).
    HTTPRESPONSE* (*filterRequest)(class HTTPDEFINITION* definition, HTTPREQUEST* request);
    // Worker thread: the response header to send for result.
    HTTPRESPONSE* (*filterResult)(class HTTPDEFINITION* definition, HTTPRESPONSE* result);
    // Outbound monitor thread: each piece of result's body as it passes to the
    // browser, then (null, 0, complete) once at its end; complete is FALSE when
    // the body was cut short. request is the one answered: the worker unlinks
    // result from it long before a large body has arrived.
    void (*filterBody)(class HTTPDEFINITION* definition, HTTPREQUEST* request, HTTPRESPONSE* result,
                       const char* bytes, long length, BBOOL complete);
    // Any thread: TRUE while other requests wait for what request fetches, so
    // that its server goes on when its own browser has gone.
    BBOOL (*sharedFetch)(class HTTPDEFINITION* definition, HTTPREQUEST* request);
    // The thread passing request's body pieces, while its process is held:
    // TRUE once, when the body gathered for what request fills has just
    // outgrown both caches. That object is then not kept, its waiters start
    // over, and a prefetch or scheduled fetch is given up (cancelled, failed,
    // restarted) unless its answer goes to a file.
    BBOOL (*bodyOutgrown)(class HTTPDEFINITION* definition, HTTPREQUEST* request);
};
extern HTTPCACHEHOOKS _HTTPCacheHooks;

class HTTPAPPINSTANCE;
struct HTTPFTPFETCH;
// The gateway's own ftp:// retrieval (HTTPAPPINSTANCE::ProcessFTPRequest by
// default): takes the process (non-zero while it is under way). Null: such
// requests get "408".
extern int (*_pHTTPFtpRequest)(HTTPAPPINSTANCE* instance, APPREQUEST* process, HTTPREQUEST* request);

class HTTPDEFINITION : public TELDEFINITION {
public:
    HTTPDEFINITION(APPTYPE* type, BBOOL createInstance);
    ~HTTPDEFINITION() override;

    QV_ITEM_IDENTITY(HTTPDEFINITION, "HTTPDEFINITION", "HDEF")

    static HTTPDEFINITION* CreateHTTPDefinition(APPTYPE* type);
    TCPAPPINSTANCE* CreateInstance(TCPAPPINSTANCE* parent) override;
    // Control thread: the HTTP monitor on the listener, then the TCP start.
    BBOOL StartCommunications() override;
    BBOOL StopCommunications() override { return TCPDEFINITION::StopCommunications(); }
    // The request monitor's answer from a server: back to the worker that waits for it.
    long ReturnResult(DATARESULT* result) override;
    // A request from a typed text (schedules, prefetch).
    DATAREQUEST* BuildRequest(const char* text) override;
    // Settings thread: exchanges the proxy settings; storing forgets the
    // proxies' resolved addresses, which may name the old proxies.
    void UpdateAppProxies(APPPROXIES* proxies, BBOOL store) override;
    // The cache's part (HTTPCACHE): rebuild at start, index at exit, settings.
    BBOOL StartAppCache() override;
    // object set: stop without writing the index.
    BBOOL ShutdownAppCache(void* object, HWND window, int command, LPARAM parameter) override;
    void UpdateAppCache(APPCACHE* record, BBOOL store) override;

    // With "Cache" off: none (the request goes on). Worker thread.
    HTTPRESPONSE* FilterRequest(HTTPREQUEST* request);
    // With "Cache" off: the result itself. Worker thread.
    HTTPRESPONSE* FilterResult(HTTPRESPONSE* result);
    // With "Cache" off: nothing. Outbound monitor thread.
    void FilterBody(HTTPREQUEST* request, HTTPRESPONSE* result, const char* bytes, long length, BBOOL complete);
    // The cache's judgement of a body still arriving (bodyOutgrown); FALSE with "Cache" off.
    BBOOL CheckCacheable(HTTPREQUEST* request);
    // Any thread: the server connection fetches for other requests as well
    // (FALSE with "Cache" off); it is kept when its browser goes.
    static BBOOL FetchesForOthers(DATACONNECTION* server);

    // The status key of an outbound connection that failed (event 4) or closed (5).
    static const char* GetConnRespCode(int event, HTTPCONNECTION* connection);
    // Connection-state hook of the listening monitor (monitor threads).
    static void NotifyConnection(DATACONNECTION* connection, int state);

    // Monitor threads: the address a request reached, kept for the next
    // connect to the same upstream proxy.
    void RememberAddress(HTTPREQUEST* request, const char* address);
    PROXYADDRESSES ResolvedProxies();

    HTTPCFG* Settings() const;
    HTTPAPPINSTANCE* FirstInstance();

    HTTPLOCALSITE* localSite;  // made at start; read only afterwards
    HTTPCACHE* cache;          // the object cache, made with the definition; null without settings
    // The upstream proxies' addresses as last reached; guarded by addressLock.
    char httpProxyAddress[16];
    char ftpProxyAddress[16];
    char sslProxyAddress[16];
    CRITICAL_SECTION addressLock;
};

class HTTPAPPINSTANCE : public TELAPPINSTANCE {
public:
    explicit HTTPAPPINSTANCE(APPDEFINITION* definition) : TELAPPINSTANCE(definition) {}
    ~HTTPAPPINSTANCE() override {}

    QV_ITEM_IDENTITY(HTTPAPPINSTANCE, "HTTPAPPINSTANCE", "HAIN")

    BBOOL StartCommunications(APPWORKERPROC worker) override;
    TCPCONNECTION* CreateConnection(BBOOL internal) override;

    // The worker: every queued process goes to request or result processing.
    static void RequestMonitor(APPINSTANCE* instance);
    // Worker thread. Non-zero while the request is under way elsewhere.
    int ProcessRequest(APPREQUEST* process);
    // Worker thread. Passes an answer to the browser; 0 when the request is finished.
    int ProcessResult(APPREQUEST* process, DATARESULT* result);
    // The gateway's page for a status key, else the "407" reply.
    HTTPRESPONSE* ProvideResult(const char* key, HTTPREQUEST* request, APPREQUEST* process, const char* argument);
    // Connection-state hook of the outbound monitor (monitor threads).
    static void NotifyConnection(DATACONNECTION* connection, int state);

    // ftp:// with no upstream FTP proxy (HttpFtp.cpp), worker thread: the FTP
    // service's retrieval fetches it for the process, which is restarted by
    // each step of it. 1 while under way; a method other than GET, or no FTP
    // service, gets "407".
    int ProcessFTPRequest(APPREQUEST* process, HTTPREQUEST* request);
    // The process waits for a retrieval of its own.
    static BBOOL FTPUnderWay(APPREQUEST* process);
    // A step of the retrieval: a file that has begun goes on to the browser;
    // at the end the rest, the directory page, or the "408" page with the FTP
    // server's text. 0 once the request is finished.
    int ProcessFTPResult(APPREQUEST* process);

    HTTPDEFINITION* Definition() const;

    // Starts of a request again after the line under its connection dropped.
    static const long MaxLineRetries = 2;

private:
    int answer(APPREQUEST* process, const char* key);
    // A request whose connection died with its line starts over (dialing again); TRUE when restarted.
    BBOOL retryAfterLineDrop(APPREQUEST* process, HTTPCONNECTION* server);
    int connectOutbound(APPREQUEST* process, HTTPREQUEST* request, HTTPCONNECTION* client);
    void startFile(HTTPFTPFETCH& fetch, const std::string& type, BBOOL complete);
    int endFile(HTTPFTPFETCH* fetch, BBOOL complete);
    int sendDirectory(HTTPFTPFETCH* fetch);
    int failFetch(HTTPFTPFETCH* fetch, const char* text);
    int finishFetch(HTTPFTPFETCH* fetch);
    static void endFetch(HTTPFTPFETCH* fetch);
    // The end of a scheduled or prefetch request's answer, which no browser reads.
    int finishGatewayFetch(APPREQUEST* process, HTTPREQUEST* request, HTTPCONNECTION* server, DATARESULT* result,
                           BBOOL fromServer);
};

// Queues the links of an answer whose whole body is in its object (a cached
// copy, a generated page), when the request's prefetch wants them. Worker thread.
void PrefetchFromBody(APPREQUEST* process, HTTPREQUEST* request, HTTPRESPONSE* response);

// The names under which a browser reaches the gateway over client.
GATEWAYNAMES GatewayNames(HTTPCONNECTION* client);

// Counts the HTTP package's users; the first makes _pHTTPAppType, the last deletes it.
class HTTPCLASS_INIT {
public:
    HTTPCLASS_INIT();
    ~HTTPCLASS_INIT();
    static int InitCount;
};
