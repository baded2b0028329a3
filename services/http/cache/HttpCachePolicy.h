#pragma once
// The HTTP cache policy: whether a browser's request is answered from the
// cache, revalidated upstream with If-Modified-Since, or fetched as a miss
// whose answer is kept; and, for every answer from upstream, whether it is
// kept and whether a held copy is sent instead. Installed into the service's
// cache seam; all of it runs under the cache semaphore.
//
// A miss's object is the request's pending object; the body bytes the server
// sends are gathered for it as they pass to the browser, and the object goes
// to the cache levels once both its header (FilterResult) and its whole body
// have arrived. Another request for an object still arriving waits for it
// and is answered from the kept object (or starts over when it is not kept);
// the fetch goes on when the browser that started it leaves while others wait.
#include <string>

#include "QvBase.h"

class HTTPCACHE;
class HTTPDEFINITION;
class HTTPOBJECT;
class HTTPREQUEST;
class HTTPRESPONSE;
class HTTPCFG;

// How a gathered body ended.
enum HTTPBODYEND { HTTPBODY_MORE = 0, HTTPBODY_WHOLE = 1, HTTPBODY_CUT = 2 };

// Puts the entries below into the service's seam (once; any thread).
void InstallHttpCachePolicy();

// The policy over one cache and its settings; the seam's entries call it with
// the definition's. Worker threads, and the monitor thread for body pieces.
class HTTPCACHEPOLICY {
public:
    HTTPCACHEPOLICY(HTTPCACHE& cache, HTTPCFG& config) : cache(cache), config(config) {}

    // A response to send now, or none (the request goes upstream, perhaps with
    // a pending object to fill or a held copy to fall back on).
    HTTPRESPONSE* FilterRequest(HTTPREQUEST& request);
    // The response to send for an upstream answer: the given one, or the held copy.
    HTTPRESPONSE* FilterResult(HTTPRESPONSE& response);
    // Body bytes of the answer to request as they arrive, then how it ended.
    static void ResponseBody(HTTPREQUEST* request, const char* bytes, long length, int end);

    // The site key of a request: host (or "Quorvane"), ":port" unless the
    // scheme's default, lower case.
    static std::string SiteKey(HTTPREQUEST& request);
    // Decides a stored object's answer: the copy, or none to revalidate.
    HTTPRESPONSE* checkNewerVersion(HTTPREQUEST& request, HTTPRESPONSE* cached, HTTPOBJECT& object);
    // The answer made from a stored object (or "304" without one for a client's own condition).
    static HTTPRESPONSE* filterResponseGenerate(HTTPREQUEST& request, HTTPOBJECT& object);
    // The response's header rules: sets the object's times and its cacheable flag.
    void takeHeaders(HTTPRESPONSE& response, HTTPOBJECT& object);

private:
    HTTPCACHE& cache;
    HTTPCFG& config;
    long keptAge() const;
};
