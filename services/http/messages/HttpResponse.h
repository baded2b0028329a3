#pragma once
// One answer travelling back to a browser: received from a server or an
// upstream proxy, copied for another waiting browser, or made by the gateway
// itself from its status tables. The body is a cache object (HTTPOBJECT) so
// that the cache and the browser share one copy of the bytes.
// A response is used by one thread at a time (monitor, then worker, then the
// sending monitor); Generate and GenerateError may run on any thread.
#include <string>

#include "DataRequest.h"
#include "HttpMsgBase.h"
#include "LookupTable.h"

class HTTPREQUEST;
class HTTPOBJECT;

// The gateway's own status lines by short key: value = status-line text (it
// ends with "\n\n"), value2 = the page file sent as its body, or null.
extern LOOKUPROW _InternalHTTPRespCodes[];
// Generated error pages: value = status-line text, value2 = the page's
// message, value3 = its title (both null for a reply without page).
extern LOOKUPROW httpGeneratedErrors[];
// Statuses after which the cache falls back to its own copy; ends with 0.
extern const long _ProvisionalResultCodes[];
BBOOL IsProvisionalResult(long status);

// What a generated page is told so that browsers never reuse it.
extern const char HTTP_EXPIRED_DATE[];

class HTTPRESPONSE : public DATARESULT, public HTTPMSGBASE {
public:
    BBOOL generatedLocally;  // made by the gateway, or a copy of such
    BBOOL receiving;
    char reason[64];         // the reason phrase (message text), kept even without a request
    std::string ownText;     // the status-line text of a generated response

    // Over the message text as received (or a status-line text); the text must outlive the parse.
    HTTPRESPONSE(HTTPREQUEST* request, char* text, BBOOL receiving);
    // A copy of other for another request; see the body rules in the .cpp.
    HTTPRESPONSE(HTTPREQUEST* request, HTTPRESPONSE& other);
    ~HTTPRESPONSE() override;

    QV_ITEM_IDENTITY(HTTPRESPONSE, "HTTPRESPONSE", "HTRS")
    BBOOL StreamIn(STREAMBUF&) override { return TRUE; }
    BBOOL StreamOut(STREAMBUF&) override { return TRUE; }
    char* GetStatus() override { return status; }
    char* GetStatusLine(BUFFER& out) override;
    int SetStatus(const char* text) override;
    char* GetMsgText(BUFFER& out) override;
    void SetMsgText(const char* text) override;
    BBOOL WasSuccessful() override { return status[0] == '2'; }
    // Called once when the first body data (or none) is ready: takes over the
    // request's pending cache object.
    BBOOL SetObjectData(IOBUFFER* first, DATACONNECTION* conn, int length) override;
    // Content-Length when valid and unambiguous; 0 (read to the close) otherwise or when chunked.
    long BodyLength() override;

    // Status line, then the header block for a full response; FALSE on a
    // malformed header block. A first line without version and status makes
    // the whole text an HTTP/0.9 body.
    BBOOL ParseCommand();
    BBOOL parseResponseLine();
    BBOOL rebuildResponseLine(char* out, int size);
    char* RebuildResponse(BUFFER& out);
    BBOOL shouldContainBody();
    BBOOL IsCacheable();
    BBOOL HasChunkedBodies();
    BBOOL HasTextBody();
    BBOOL HasHTMLBody();
    BBOOL SetSimpleEntityBody(const char* bytes, long length);
    HTTPREQUEST* Request();
    void DebugPrint();

    // A response made from the status row of key (case ignored) for request
    // (which may be absent), with one reference for the caller; none for an
    // unknown key. object, when given, becomes the body: the caller hands over
    // one reference, its own or the request's when it is the request's pending object.
    static HTTPRESPONSE* Generate(HTTPREQUEST* request, const char* key, HTTPOBJECT* object, BBOOL fromErrorTable);
    // A generated error reply (key in exact case) with its small HTML page.
    static HTTPRESPONSE* GenerateError(HTTPREQUEST* request, const char* key, const char* detail);
};

// Copies the response's header fields into the object, each in the object's store.
int CopyHeadersToObject(HTTPMSGBASE& from, HTTPOBJECT& object);
