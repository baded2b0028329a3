#pragma once
// Link prefetch: the tag table the page scan reads, and the step that turns
// one found link into a started request of the gateway's own.
#include "LookupTable.h"
#include "QvBase.h"

// Longest prefetch URL, credentials line included.
const int PREFETCH_URL_MAX = 383;
// Most 301/302 answers a generated request follows in a row.
const long PREFETCH_REDIRECTIONS_MAX = 5;

// Rows: tag; value = the attribute holding the URL; value2 = 1 for the
// embedded-object list, 2 for the link list, 0 for BASE; value3 = hyperlink.
extern LOOKUPROW htmlLinkTags[];

// Makes and starts the request for text (a URL, perhaps with a header line
// after it); FALSE when none was made. Worker thread. The default makes a
// LOCALREQUEST of the HTTP type; tests put a recorder in its place.
typedef BBOOL (*PREFETCHGENERATE)(const char* text, long level, unsigned long rootId, long redirections);
extern PREFETCHGENERATE _pPrefetchGenerate;

class APPREQUEST;
class HTTPREQUEST;
class HTTPRESPONSE;

// Where the request that fetched a page stands in its prefetch.
struct PREFETCHORIGIN {
    long level = 0;
    unsigned long rootId = 0;  // the number of the request that began the prefetch
    long redirections = 0;     // 301/302 answers followed in a row so far
};

// The origin of request's page: from the generating local request, else from
// "Retrieve HTML Links" and "HTML Link Level"; FALSE when its links are not
// wanted. Call while the process is still alive (worker or monitor thread).
BBOOL PrefetchWanted(APPREQUEST* process, HTTPREQUEST* request, PREFETCHORIGIN& origin);
// The response's body is an HTML page that is to be scanned.
BBOOL PrefetchScansBody(HTTPRESPONSE* response, const PREFETCHORIGIN& origin);
