#pragma once
// The administration site's cache commands: the contents and site pages, the
// delete lists, removing an item or a site, and the contents as a text file.
// Put into the site's command table by InstallCacheCommands; they find the
// cache through the HTTP service type's cache definition.
#include "QvBase.h"

class HTTPCACHE;

// Any thread; idempotent.
void InstallCacheCommands();
// Removes the object named "site/path" unless a request is using it; TRUE when it went.
BBOOL RemoveCachedItem(HTTPCACHE& cache, const char* item);
// Writes the contents as text to path, under the cache semaphore: detailed,
// with the sites, sizes, times and totals; else a URL list to keep as
// INITIAL.URL. FALSE when the file cannot be written.
BBOOL WriteCacheFile(HTTPCACHE& cache, const char* typeName, const char* path, BBOOL detailed);
