#pragma once
// One client request as the proxy holds it: the method (by class), the URL
// taken apart, the version and the header fields; rebuilt in the origin form
// for a server or the absolute form for an upstream proxy. The four methods
// the proxy accepts are the subclasses; httpMethodTable maps names to them.
// A request is used by one thread at a time: the monitor thread that builds
// it, then the worker that decides it; the tables are constant.
#include <string>

#include "HttpMsgBase.h"
#include "LookupTable.h"
#include "TcpMessages.h"
#include "TimeStamp.h"

class HTTPSITE;
class HTTPOBJECT;
class HTTPREQUEST;

// The largest request body a client may announce; a larger Content-Length fails
// the parse instead of sizing an area the client chose.
const long HTTP_REQUEST_BODY_LIMIT = 16L * 1024 * 1024;

// The names that mean this gateway as a host, compared without regard to case.
struct GATEWAYNAMES {
    const char* localUserName;  // [Server Configuration] "Local User Name", or null
    char linkAddress[64];       // local address of the link the client came in on; empty without one
    char linkName[256];         // that link's local name; empty without one
    long linkPort;              // that link's local port; 0 when unknown
};

// Rows: method name, value = the class code; ends with an empty row.
extern LOOKUPROW httpMethodTable[];

// Set by the cache: told when a request goes that still holds the object its
// answer was to fill, so that a fetch nobody finishes ends. Any thread.
extern void (*_pHTTPPendingDropped)(HTTPREQUEST* request);

class HTTPREQUEST : public TCPREQUEST, public HTTPMSGBASE {
public:
    BBOOL parsedOK;     // set by the monitor from ParseCommand
    BBOOL absoluteURL;  // scheme "://" host on the request line
    BBOOL ftpScheme;
    long port;          // 0 when the URL gave none
    std::string host;   // as received, its case kept
    std::string path;   // "/" when the URL had none
    std::string parameters;  // with its ';', empty when absent
    std::string query;       // with its '?', empty when absent
    HTTPSITE* site;          // counted in the site's requestCount
    HTTPOBJECT* pendingObject;  // held; handed to the response that fills it
    TIMESTAMP ifModifiedSince;
    long ifModifiedLength;   // -1 when none
    BBOOL conditionalChecked;
    BBOOL conditional;       // the answer of the first IsConditional
    BBOOL generatedLocally;  // made by the gateway: a missing version means HTTP/1.0
    long bodyReceived;       // bytes of a body in pieces stored so far

    // Over the request text right after the method word; the text must outlive the parse.
    explicit HTTPREQUEST(char* text, IOBUFFER* buffer = nullptr, COMMLINK* link = nullptr);
    ~HTTPREQUEST() override;

    QV_ITEM_IDENTITY(HTTPREQUEST, "HTTPREQUEST", "HTRQ")
    BBOOL StreamIn(STREAMBUF&) override { return TRUE; }  // a request is never streamed
    BBOOL StreamOut(STREAMBUF&) override { return TRUE; }
    char* GetReqStatus() override { return status; }
    int SetReqStatus(const char* text) override;
    char* GetReqMethod(BUFFER& out) override;
    char* GetReqCmd(BUFFER& out) override;
    // A piece of a POST body (the buffers from first, continued ones included,
    // which go back to their pool) stored after the pieces before it; length is
    // the whole body's, for which the object (in the site's store when there is
    // a site) is sized at the first piece.
    BBOOL SetObjectData(IOBUFFER* first, DATACONNECTION* conn, int length) override;

    // FALSE for every malformed or ambiguous request; the caller answers "407".
    virtual BBOOL ParseCommand() { return FALSE; }
    virtual BBOOL parseRequestLine();
    virtual BBOOL rebuildRequestLine(char* out, int size, BBOOL toProxy);

    // Request line then header block; on failure the buffer is emptied, else
    // its length is the text's.
    char* RebuildRequest(BUFFER& out, BBOOL toProxy);
    // The absolute request line and, withHeaders, the header block; emptied on
    // failure unless keepPartial.
    char* GetReqCmdLine(BUFFER& out, BBOOL withHeaders, BBOOL keepPartial);
    char* GetParameters(BUFFER& out);
    char* GetQuery(BUFFER& out);
    BBOOL IsCacheable() { return parameters.empty() && query.empty(); }
    // GET with a valid If-Modified-Since date; decided on the first call.
    BBOOL IsConditional();
    void SetSite(HTTPSITE* site);
    // A GET or POST addressed to the gateway itself: a path alone, or a host
    // that names the gateway without a port or with the port the client used
    // (another port of the same machine is another server).
    BBOOL NeedsLocalResult(const GATEWAYNAMES& names);
    // The Referer names a page of the gateway; with pathToo only its
    // administration and user pages count.
    BBOOL WasReferredLocally(const GATEWAYNAMES& names, BBOOL pathToo);
    void DebugPrint();

    // Completes a request typed for the gateway to fetch ("host/x" becomes
    // "GET HTTP://host/x"); FALSE when empty, too long for size, or cut.
    static BBOOL addDefaults(char* text, int size);

protected:
    BBOOL ParseRequest();
    // Finds the version at the end of the line without moving the cursor; the
    // position where it starts, or null (a simple request from a client).
    char* parseVersion();
    // Refuses framing a client could make mean two things to two parsers.
    BBOOL checkFraming();
};

class HTTPGETREQUEST : public HTTPREQUEST {
public:
    using HTTPREQUEST::HTTPREQUEST;
    QV_ITEM_IDENTITY(HTTPGETREQUEST, "HTTPGETREQUEST", "HGET")
    BBOOL ParseCommand() override { return ParseRequest(); }
};

class HTTPHEADREQUEST : public HTTPREQUEST {
public:
    using HTTPREQUEST::HTTPREQUEST;
    QV_ITEM_IDENTITY(HTTPHEADREQUEST, "HTTPHEADREQUEST", "HHED")
    BBOOL ParseCommand() override { return ParseRequest(); }
};

class HTTPPOSTREQUEST : public HTTPREQUEST {
public:
    using HTTPREQUEST::HTTPREQUEST;
    QV_ITEM_IDENTITY(HTTPPOSTREQUEST, "HTTPPOSTREQUEST", "HPST")
    BBOOL ParseCommand() override;
    // "Content-Length" as checked by the parse; 0 when absent or not valid.
    long BodyLength() override;
};

class HTTPCONNECTREQUEST : public HTTPREQUEST {
public:
    using HTTPREQUEST::HTTPREQUEST;
    QV_ITEM_IDENTITY(HTTPCONNECTREQUEST, "HTTPCONNREQ", "HCON")
    BBOOL ParseCommand() override { return ParseRequest(); }
    // host ':' port and a version are required: a CONNECT is never a simple request.
    BBOOL parseRequestLine() override;
    // "CONNECT host:port version", whatever the form asked.
    BBOOL rebuildRequestLine(char* out, int size, BBOOL toProxy) override;
};

// A request of the method named at the start of text ("GET", case ignored),
// over the rest of the text; none for a method the proxy does not take.
HTTPREQUEST* NewHttpRequest(char* text, IOBUFFER* buffer = nullptr, COMMLINK* link = nullptr);

// The request a text makes (method word first; blanks and line ends before it
// skipped), parsed, with a reference for the caller; parsedOK tells how the
// parse went. fromGateway: a typed request whose backslash escapes (\r\n and
// the like) are decoded into work first, and which defaults to HTTP/1.0.
// None for a text without a method the proxy takes.
HTTPREQUEST* AllocateHttpRequest(char* text, BBOOL fromGateway, char* work, int workSize);

// The gateway's own request from a typed text ("host/x" will do): completed,
// parsed, and given "Host" and the default fields when it names no Host; none
// when the text is empty or the request does not parse.
HTTPREQUEST* BuildHttpRequest(const char* text);

// The fields every request the gateway makes carries: row text = value, value word = name.
extern LOOKUPROW httpRequestDefaults[];

// A request's Content-Length: FALSE when a field is not decimal digits, larger
// than the ceiling, or repeated with another value; length 0 when absent.
BBOOL RequestContentLength(HTTPMSGBASE& message, long& length);
