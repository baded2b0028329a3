#include "HttpSite.h"

HTTPSITE::HTTPSITE(DATASTORE* sites, HTTPDEFINITION* def, const char* siteName, unsigned long storeId,
                   BBOOL addToStore)
    : DATAOBJECT(sites, siteName, TRUE, (unsigned short)(addToStore ? 1 : 0), 0),
      objects(TRUE, siteName, nullptr, nullptr, nullptr, storeId),
      definition(def),
      address{},
      requestCount(0) {}

HTTPSITE::~HTTPSITE() {}
