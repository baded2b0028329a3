#pragma once
// The HTTP service's settings: its own section, the cache keys of "HTTP Cache"
// and the upstream proxies of "HTTP Proxies", all in the one profile; two
// writers put the cache and proxy sections back when the settings change them.
// Read at start and written from the settings' thread; the workers only read.
#include "TcpAppType.h"

extern const char HTTP_CACHE_SECTION[];
extern const char HTTP_PROXIES_SECTION[];

class HTTPCFG : public TCPAPPCFG {
public:
    BBOOL optimizeDNS;
    char documentDirectory[256];
    BBOOL cache;
    BBOOL browserCache;
    BBOOL startupValidation;
    BBOOL useSubdirectories;
    BBOOL keepExpiredObjects;
    BBOOL removeOldObjects;
    long memoryCacheSize;       // bytes; kilobytes in the file
    long memoryCacheThreshold;  // bytes; kilobytes in the file
    long diskCacheSize;         // bytes; kilobytes in the file
    long diskCacheThreshold;    // bytes; kilobytes in the file
    long expiredObjectAge;      // seconds; negative: without limit
    long maximumObjectAge;      // stored and shown only
    char diskCacheDirectory[256];
    long cacheRefreshMethod;    // 0 every request, 1 once per start, 2 after a time
    long cacheRefreshAfterTime; // minutes
    BBOOL retrieveHTMLLinks;
    long htmlLinkLevel;
    BBOOL proxies;
    char proxyHTTPAddress[256];
    char proxyFTPAddress[256];
    char proxySSLAddress[256];
    long proxyHTTPPort;
    long proxyFTPPort;
    long proxySSLPort;
    BBOOL proxyHTTPRemote;
    BBOOL proxyFTPRemote;
    BBOOL proxySSLRemote;

    HTTPCFG();
    QV_ITEM_IDENTITY(HTTPCFG, "HTTPCFG", "HTCF")

    // Reads the service section, "HTTP Cache" and "HTTP Proxies", then the
    // common keys; FALSE when a checked key was invalid (invalidKey names it).
    BBOOL ReadProfile(PROFILE& profile, const char* section) override;
    // Into the profile read from; FALSE (nothing written) without one.
    BBOOL WriteCacheProfile();
    BBOOL WriteProxiesProfile();
};
