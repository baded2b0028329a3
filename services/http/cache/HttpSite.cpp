#include "HttpSite.h"

HTTPSITE::HTTPSITE(DATASTORE* sites, HTTPDEFINITION* def, const char* siteName, unsigned long storeId,
                   BBOOL addToStore)
    : DATAOBJECT(sites, siteName, TRUE, (unsigned short)(addToStore ? 1 : 0), 0),
      // The site's name as the store's text puts it in front of each object in
      // the plain listing, whose lines are fetched again as INITIAL.URL.
      objects(TRUE, siteName, siteName, nullptr, nullptr, storeId),
      definition(def),
      cache(nullptr),
      address{},
      requestCount(0),
      objectCount(0) {}

HTTPSITE::~HTTPSITE() {}
