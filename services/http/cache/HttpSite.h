#pragma once
// The cache's record of one web site (one host): a row of the definition's
// store of sites, holding the store of the site's cached objects.
#include "DataStore.h"

class HTTPDEFINITION;
class HTTPCACHE;

class HTTPSITE : public DATAOBJECT {
public:
    DATASTORE objects;           // the site's HTTPOBJECTs; full store, bodies in pooled buffers
    HTTPDEFINITION* definition;  // the owner
    HTTPCACHE* cache;            // the cache levels the site's objects live in; none outside them
    char address[16];            // dotted address as last resolved; empty until then
    // Requests that refer to the site; changed only through HTTPREQUEST::SetSite,
    // with interlocked calls, since requests of several workers share a site.
    volatile long requestCount;
    // Live HTTPOBJECTs naming the site, in its store or not (a request may hold
    // one the store let go); interlocked. The site stays while any exists.
    volatile long objectCount;

    // A row named siteName of the sites store (added to it when asked), its
    // objects' store created with storeId (0: a new id).
    HTTPSITE(DATASTORE* sites, HTTPDEFINITION* definition, const char* siteName, unsigned long storeId,
             BBOOL addToStore = FALSE);
    ~HTTPSITE() override;

    const char* ItemClassName() const override { return "HTTPSITE"; }
    unsigned long ItemClassID() const override { return QvTag("HTSS"); }
    void* ItemGetAddress() const override { return dynamic_cast<void*>(const_cast<HTTPSITE*>(this)); }
    int ItemGetSize() const override { return (int)sizeof(HTTPSITE); }
    // Sites are never streamed: the cache index names each object's site instead.
    BBOOL StreamIn(STREAMBUF&) override { return TRUE; }
    BBOOL StreamOut(STREAMBUF&) override { return TRUE; }
};
