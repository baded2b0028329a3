#include "HttpCfg.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "Profile.h"
#include "TextHelpers.h"

const char HTTP_CACHE_SECTION[] = "HTTP Cache";
const char HTTP_PROXIES_SECTION[] = "HTTP Proxies";

namespace {
enum KeySection { SERVICE, CACHE, PROXIES };
enum KeyKind { FLAG, NUMBER, KILOBYTES, METHOD, TEXT };

// One key: where it lives, how it reads, and whether a bad value is reported.
struct KEYROW {
    const char* key;
    KeySection section;
    KeyKind kind;
    BBOOL HTTPCFG::*flag;
    long HTTPCFG::*number;
    char (HTTPCFG::*text)[256];
    bool checked;
};

#define FLAG_KEY(k, s, m, c) {k, s, FLAG, &HTTPCFG::m, nullptr, nullptr, c}
#define NUMBER_KEY(k, s, kind, m, c) {k, s, kind, nullptr, &HTTPCFG::m, nullptr, c}
#define TEXT_KEY(k, s, m) {k, s, TEXT, nullptr, nullptr, &HTTPCFG::m, false}

const KEYROW kKeys[] = {
    FLAG_KEY("Optimize DNS Lookup", SERVICE, optimizeDNS, true),
    TEXT_KEY("Document Directory", SERVICE, documentDirectory),
    FLAG_KEY("Retrieve HTML Links", SERVICE, retrieveHTMLLinks, false),
    NUMBER_KEY("HTML Link Level", SERVICE, NUMBER, htmlLinkLevel, false),
    FLAG_KEY("Cache", CACHE, cache, true),
    FLAG_KEY("Browser Cache", CACHE, browserCache, true),
    NUMBER_KEY("Memory Cache Size", CACHE, KILOBYTES, memoryCacheSize, true),
    NUMBER_KEY("Memory Cache Threshold", CACHE, KILOBYTES, memoryCacheThreshold, true),
    NUMBER_KEY("Disk Cache Size", CACHE, KILOBYTES, diskCacheSize, true),
    NUMBER_KEY("Disk Cache Threshold", CACHE, KILOBYTES, diskCacheThreshold, true),
    TEXT_KEY("Disk Cache Directory", CACHE, diskCacheDirectory),
    NUMBER_KEY("Cache Refresh Method", CACHE, METHOD, cacheRefreshMethod, true),
    NUMBER_KEY("Cache Refresh After Time", CACHE, NUMBER, cacheRefreshAfterTime, true),
    FLAG_KEY("Startup Validation", CACHE, startupValidation, true),
    FLAG_KEY("Use SubDirectories", CACHE, useSubdirectories, true),
    FLAG_KEY("Keep Expired Objects", CACHE, keepExpiredObjects, true),
    FLAG_KEY("Remove Old Objects", CACHE, removeOldObjects, true),
    NUMBER_KEY("Expired Object Age", CACHE, NUMBER, expiredObjectAge, true),
    NUMBER_KEY("Maximum Object Age", CACHE, NUMBER, maximumObjectAge, true),
    FLAG_KEY("Proxies", PROXIES, proxies, false),
    TEXT_KEY("Proxy HTTP Address", PROXIES, proxyHTTPAddress),
    TEXT_KEY("Proxy FTP Address", PROXIES, proxyFTPAddress),
    TEXT_KEY("Proxy SSL Address", PROXIES, proxySSLAddress),
    FLAG_KEY("Proxy HTTP Remote", PROXIES, proxyHTTPRemote, false),
    FLAG_KEY("Proxy FTP Remote", PROXIES, proxyFTPRemote, false),
    FLAG_KEY("Proxy SSL Remote", PROXIES, proxySSLRemote, false),
    NUMBER_KEY("Proxy HTTP Port", PROXIES, NUMBER, proxyHTTPPort, true),
    NUMBER_KEY("Proxy FTP Port", PROXIES, NUMBER, proxyFTPPort, true),
    NUMBER_KEY("Proxy SSL Port", PROXIES, NUMBER, proxySSLPort, true),
};
// kKeys is in reading order; the writers keep the order the settings notebook has always used.
const char* const kCacheWriteOrder[] = {
    "Cache", "Browser Cache", "Disk Cache Size", "Disk Cache Threshold", "Memory Cache Size",
    "Memory Cache Threshold", "Disk Cache Directory", "Cache Refresh Method", "Cache Refresh After Time",
    "Startup Validation", "Use SubDirectories", "Keep Expired Objects", "Remove Old Objects",
    "Expired Object Age", "Maximum Object Age",
};
const char* const kProxiesWriteOrder[] = {
    "Proxies", "Proxy HTTP Address", "Proxy FTP Address", "Proxy SSL Address", "Proxy HTTP Port",
    "Proxy FTP Port", "Proxy SSL Port", "Proxy HTTP Remote", "Proxy FTP Remote", "Proxy SSL Remote",
};

const KEYROW* Row(const char* key) {
    for (const KEYROW& row : kKeys)
        if (!std::strcmp(row.key, key)) return &row;
    return nullptr;
}

const char* SectionName(KeySection s, const char* service) {
    return s == CACHE ? HTTP_CACHE_SECTION : s == PROXIES ? HTTP_PROXIES_SECTION : service;
}

// 0 read, -1 absent, 1 present but invalid (the value is then left alone).
int ReadKey(HTTPCFG& cfg, PROFILE& p, const KEYROW& row, const char* section) {
    switch (row.kind) {
    case FLAG: {
        BBOOL v = cfg.*row.flag;
        int rc = p.ReadBOOL(section, row.key, v);
        if (rc == 0) cfg.*row.flag = v;
        return rc;
    }
    case TEXT: {
        char text[256];
        int rc = p.ReadString(section, row.key, BUFFER(text, sizeof text));
        if (rc >= 0) _strzcpy(cfg.*row.text, text, sizeof(cfg.*row.text));
        return rc < 0 ? -1 : 0;
    }
    default: {
        int v = 0;
        int rc = p.ReadINT(section, row.key, v);
        if (rc != 0) return rc;
        long value = v;
        if (row.kind == METHOD && (value < 0 || value > 2)) return 1;
        // A size the configuration cannot hold in bytes is as bad as an unreadable one.
        if (row.kind == KILOBYTES) {
            if (value > LONG_MAX / 1024 || value < LONG_MIN / 1024) return 1;
            value *= 1024;
        }
        cfg.*row.number = value;
        return 0;
    }
    }
}

void WriteKey(HTTPCFG& cfg, PROFILE& p, const KEYROW& row) {
    const char* section = SectionName(row.section, cfg.section);
    char text[32];
    switch (row.kind) {
    case FLAG: p.WriteString(section, row.key, cfg.*row.flag ? "YES" : "NO"); return;
    case TEXT: p.WriteString(section, row.key, cfg.*row.text); return;
    default: {
        long value = cfg.*row.number;
        if (row.kind == KILOBYTES) value /= 1024;  // truncates toward zero
        std::snprintf(text, sizeof text, "%ld", value);
        p.WriteString(section, row.key, text);
    }
    }
}

template <size_t N>
BBOOL WriteKeys(HTTPCFG& cfg, const char* const (&order)[N]) {
    if (!cfg.profile) return FALSE;
    for (const char* key : order) WriteKey(cfg, *cfg.profile, *Row(key));
    return TRUE;
}
}  // namespace

HTTPCFG::HTTPCFG()
    : optimizeDNS(0), documentDirectory{}, cache(0), browserCache(0), startupValidation(0),
      useSubdirectories(0), keepExpiredObjects(0), removeOldObjects(0), memoryCacheSize(0),
      memoryCacheThreshold(0), diskCacheSize(0), diskCacheThreshold(0), expiredObjectAge(0),
      maximumObjectAge(0), diskCacheDirectory{}, cacheRefreshMethod(1), cacheRefreshAfterTime(0),
      retrieveHTMLLinks(0), htmlLinkLevel(0), proxies(0), proxyHTTPAddress{}, proxyFTPAddress{},
      proxySSLAddress{}, proxyHTTPPort(0), proxyFTPPort(0), proxySSLPort(0), proxyHTTPRemote(0),
      proxyFTPRemote(0), proxySSLRemote(0) {}

BBOOL HTTPCFG::ReadProfile(PROFILE& p, const char* s) {
    profile = &p;  // the writers put changes back into the profile read from
    _strzcpy(section, s ? s : "", sizeof section);
    const char* bad = nullptr;
    for (const KEYROW& row : kKeys)
        if (ReadKey(*this, p, row, SectionName(row.section, section)) > 0 && row.checked) bad = row.key;
    if (bad) invalidKey = bad;
    BBOOL base = TCPAPPCFG::ReadProfile(p, section);
    return base && !bad;
}

BBOOL HTTPCFG::WriteCacheProfile() { return WriteKeys(*this, kCacheWriteOrder); }

BBOOL HTTPCFG::WriteProxiesProfile() { return WriteKeys(*this, kProxiesWriteOrder); }
