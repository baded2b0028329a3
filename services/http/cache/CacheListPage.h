#pragma once
// The administration pages of the HTTP cache: its contents (every site, one
// site, or only objects of one file extension), the list of its sites, and
// both again as delete lists whose links remove objects or whole sites.
// Written in two passes (count, then write) under the cache semaphore, so
// nothing is added or deleted between them. Names any URL can set are
// written as HTML text (&, <, > and " as entities), in links too.
#include "QvBase.h"

class DATASTORE;
class HTMLDOC;
class HTTPCACHE;
class HTTPOBJECT;

// A new page document on object, with a reference for the caller; null (and
// no document left on the object) when the page cannot be made.
//  site: null every site; "*..." the site list; any other text one site.
//  extension: null all objects; else those whose name's last "." is followed
//  by exactly this (the empty text: names without "." or ending in ".").
// typeName is the service type's name ("HTTP"); password goes into every
// administration link. Any thread; takes the cache semaphore.
HTMLDOC* GenerateCacheList(HTTPCACHE& cache, const char* typeName, const char* password, HTTPOBJECT& object,
                           BBOOL deleteMode, const char* site, const char* extension);

class CACHELISTPAGE {
public:
    CACHELISTPAGE(HTMLDOC& doc, HTTPCACHE& cache, const char* typeName, const char* password, BBOOL deleteMode,
                  const char* site, const char* extension);

    BBOOL buildCacheDocument();
    BBOOL buildCacheBody();
    // The rows of one site's objects; the sum of their sizes.
    long buildCacheSiteList(DATASTORE& objects);

private:
    HTMLDOC& doc;
    HTTPCACHE& cache;
    const char* typeName;
    const char* password;
    BBOOL deleteMode;
    const char* site;
    const char* extension;

    void linkStart(char* out, size_t size, const char* command);
    void siteHeading(const char* name, BBOOL siteList);
    void tableHead(const char* name, BBOOL namedSite);
    BBOOL listed(HTTPOBJECT& object);
    void objectRow(HTTPOBJECT& object, const char* siteText);
};
