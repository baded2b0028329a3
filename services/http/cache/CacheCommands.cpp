#include "CacheCommands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AppType.h"
#include "CacheListPage.h"
#include "HtmlDoc.h"
#include "HttpCache.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "HttpService.h"
#include "HttpSite.h"
#include "LocalSite.h"
#include "ServerIds.h"
#include "TextHelpers.h"

namespace {

const char kCacheFile[] = "CACHE.DAT";

HTTPCACHE* runningCache() {
    HTTPDEFINITION* d = dynamic_cast<HTTPDEFINITION*>(_pHTTPAppType ? _pHTTPAppType->cacheDefinition : nullptr);
    return d ? d->cache : nullptr;
}

const char* password(LOCALCALL& call) { return call.site && call.site->adminPassword ? call.site->adminPassword : ""; }

// "*.ext": only that extension; "*-site": only that site; anything else: all.
void splitArgument(const char* argument, std::string& site, std::string& ext, bool& hasSite, bool& hasExt) {
    std::string a = argument ? argument : "";
    hasSite = hasExt = false;
    if (a.compare(0, 2, "*.") == 0) {
        ext = a.substr(2);
        hasExt = true;
    } else if (a.compare(0, 2, "*-") == 0) {
        site = a.substr(2);
        hasSite = true;
    }
}

HTTPOBJECT* page(LOCALCALL& call, BBOOL deleteMode, const char* forcedSite, const char* argument) {
    HTTPCACHE* cache = runningCache();
    if (!cache) return nullptr;
    std::string site, ext;
    bool hasSite, hasExt;
    splitArgument(argument, site, ext, hasSite, hasExt);
    HTTPOBJECT* o = new HTTPOBJECT(nullptr, "", TRUE, FALSE, 0);
    o->prepare();
    const char* siteText = forcedSite ? forcedSite : hasSite ? site.c_str() : nullptr;
    HTMLDOC* doc = GenerateCacheList(*cache, "HTTP", password(call), *o, deleteMode, siteText,
                                     hasExt && !forcedSite ? ext.c_str() : nullptr);
    if (!doc) {
        o->freeobj();
        return nullptr;
    }
    doc->freeobj();  // the object keeps it
    o->AddHeader("Expires", HTTP_EXPIRED_DATE);  // the contents change: browsers must ask again
    o->defined = 1;
    return o;
}

HTTPOBJECT* gatewayCache(LOCALCALL& call, const char*, const char* argument) { return page(call, FALSE, nullptr, argument); }
HTTPOBJECT* gatewaySites(LOCALCALL& call, const char*, const char*) { return page(call, FALSE, "*", nullptr); }
HTTPOBJECT* removeList(LOCALCALL& call, const char*, const char* argument) { return page(call, TRUE, nullptr, argument); }
HTTPOBJECT* removeSiteList(LOCALCALL& call, const char*, const char*) { return page(call, TRUE, "*", nullptr); }

// The browser goes back to a delete list: "302" with its Location alone.
HTTPRESPONSE* backTo(LOCALCALL& call, const std::string& command) {
    const char* host = call.names && call.names->linkAddress[0] ? call.names->linkAddress : "Quorvane";
    HTTPRESPONSE* r = HTTPRESPONSE::Generate(call.request, "302", nullptr, FALSE);
    if (!r) return nullptr;
    std::string location = std::string("http://") + host + "/Gateway-Administration?pswd=" + password(call) + "&" + command;
    r->AddHeader("Location", location.c_str());
    return r;
}

HTTPRESPONSE* removeItem(LOCALCALL& call, const char*, const char* argument) {
    HTTPCACHE* cache = runningCache();
    if (!cache || !argument) return nullptr;
    RemoveCachedItem(*cache, argument);
    std::string item = argument;
    return backTo(call, "Cache-Remove-List=*-" + item.substr(0, item.find('/')));
}

HTTPRESPONSE* removeSite(LOCALCALL& call, const char*, const char* argument) {
    HTTPCACHE* cache = runningCache();
    if (!cache || !argument) return nullptr;
    {
        MSEMHOLD hold(cache->Lock());
        if (HTTPSITE* site = cache->FindSite(argument, FALSE, 0)) {
            cache->ClearSite(*site, FALSE);
            cache->ReleaseSiteIfUnused(*site);
        }
    }
    return backTo(call, "Cache-Remove-SiteList=*");
}

char* cacheFile(LOCALCALL& call, const char*, const char*, BUFFER& name) {
    HTTPCACHE* cache = runningCache();
    if (!cache || !call.site) return nullptr;
    // Written where it is served from: the configuration directory, by its full path.
    std::string dir = call.site->configDirectory;
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    if (!WriteCacheFile(*cache, "HTTP", (dir + kCacheFile).c_str(), TRUE)) return nullptr;
    _strzcpy(name.data, kCacheFile, (int)name.length);
    return name.data;
}

void setHandler(LOOKUPROW* table, const char* key, intptr_t handler) {
    for (LOOKUPROW* row = table; row->valid; ++row)
        if (!lstrcmpiA(row->name, key)) row->value = handler;
}

}  // namespace

void InstallCacheCommands() {
    setHandler(_InternalAdminFiles, "Gateway-Cache", (intptr_t)&gatewayCache);
    setHandler(_InternalAdminFiles, "Gateway-Sites", (intptr_t)&gatewaySites);
    setHandler(_InternalAdminFiles, "Cache-Remove-List", (intptr_t)&removeList);
    setHandler(_InternalAdminFiles, "Cache-Remove-SiteList", (intptr_t)&removeSiteList);
    setHandler(_InternalAdminFiles, "Cache-Remove-Item", (intptr_t)&removeItem);
    setHandler(_InternalAdminFiles, "Cache-Remove-Site", (intptr_t)&removeSite);
    setHandler(_InternalAdminFiles, "Cache-File", (intptr_t)&cacheFile);
}

BBOOL RemoveCachedItem(HTTPCACHE& cache, const char* item) {
    std::string text = item ? item : "";
    size_t slash = text.find('/');
    if (slash == std::string::npos) return FALSE;
    MSEMHOLD hold(cache.Lock());
    HTTPSITE* site = cache.FindSite(text.substr(0, slash).c_str(), FALSE, 0);
    if (!site) return FALSE;
    // The list wrote "/" between site and a name that did not begin with one.
    std::string rest = text.substr(slash + 1);
    DATAOBJECT* o = site->objects.FindSingleObject(("/" + rest).c_str(), TRUE);
    if (!o) o = site->objects.FindSingleObject(rest.c_str(), TRUE);
    if (!o) return FALSE;
    int levels = (o->memoryCache ? 1 : 0) + (o->diskCache ? 1 : 0);
    if (o->count > levels || !levels) return FALSE;  // a request is using it, or it is still arriving
    o->DeleteObject(FALSE);
    cache.ReleaseSiteIfUnused(*site);
    return TRUE;
}

BBOOL WriteCacheFile(HTTPCACHE& cache, const char* typeName, const char* path, BBOOL detailed) {
    FILE* f = std::fopen(path, "w");
    if (!f) return FALSE;
    if (detailed) {
        char title[256];
        std::snprintf(title, sizeof title, ServerText(IDS_CACHE_CONTENTS), typeName);
        std::fputs(title, f);
    } else {
        std::fputs(ServerText(IDS_CACHE_URL_LIST), f);
    }
    long total = 0;
    {
        MSEMHOLD hold(cache.Lock());
        for (DATAOBJECT* row : StoreObjects(cache.sites)) {
            HTTPSITE* site = dynamic_cast<HTTPSITE*>(row);
            if (!site) continue;
            char name[256];
            if (detailed) std::fprintf(f, "\nWeb Site %s ...\n", site->GetName(name, sizeof name));
            long size = DumpDataStore(site->objects, f, detailed, FALSE);
            if (size < 0) break;
            total += size;
            if (size && detailed) std::fprintf(f, "... Total Size = %ld\n", size);
        }
    }
    if (detailed) std::fprintf(f, "\n... Total Memory Used for Cache = %ld\n", total);
    return std::fclose(f) == 0 ? TRUE : FALSE;
}
