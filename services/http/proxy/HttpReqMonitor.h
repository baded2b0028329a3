#pragma once
// The request monitor of the HTTP service. A browser's bytes become one
// request (header block, then a body of its Content-Length); a server's bytes
// become the response header, handed to the service, and body pieces that go
// to the browser unchanged behind it, up to the length or the server's close
// (HTTP/0.9 answers and answers without length read to the close). Relayed
// connections (CONNECT tunnels) are the line layer's. One message per
// connection: the browser's is closed after its answer.
#include "QvWindows.h"
#include "TelReqMonitor.h"

class HTTPCONNECTION;
class HTTPREQUEST;
class HTTPRESPONSE;
class HTTPDEFINITION;

class HTTPREQMONITOR : public TELREQMONITOR {
public:
    HTTPREQMONITOR(LINKCONTROL& control, IOMODE mode) : TELREQMONITOR(control, mode) {}
    ~HTTPREQMONITOR() override {}

    QV_ITEM_IDENTITY(HTTPREQMONITOR, "HTTPREQMONITOR", "HRMN")

    DATACONNECTION* CreateConnection(DATACONNECTION* other, BBOOL recordParent, BBOOL internal) override;
    DATAREQUEST* buildRequest(IOBUFFER* buffer, DATACONNECTION* from) override;
    DATARESULT* buildResult(IOBUFFER* buffer, DATACONNECTION* from) override;
    BBOOL evaluateRequest(DATAREQUEST* request) override;
    BBOOL evaluateResult(DATARESULT* result) override;
    BBOOL sendRequest(DATAREQUEST* request, DATACONNECTION* to) override;
    BBOOL sendResult(DATARESULT* result, DATACONNECTION* to) override;
    REQUESTMONITOR* createSecondaryMonitor(IOMODE mode, DATACONNECTION* connection) override;

    // Stream handler (link threads): every read is handed on; the monitor frames.
    static BBOOL MessageMonitor(COMMLINK* link, IOBUFFER* buffer);

    // Pairs a browser and its server connection as a tunnel; with sendReply the
    // browser is told "HTTP/1.0 200 Connection established" first. FALSE when
    // the two are not both there (nothing is changed then).
    static BBOOL StartPassThrough(HTTPCONNECTION* client, HTTPCONNECTION* server, HTTPREQUEST* request,
                                  BBOOL sendReply);

    // Answers a browser whose request could not be built: the "407" page, then the close.
    static void RefuseRequest(HTTPCONNECTION* client);

private:
    DATAREQUEST* takeHeader(HTTPCONNECTION* c, const char* bytes, long length, BBOOL ended);
    DATAREQUEST* takeBody(HTTPCONNECTION* c, const char* bytes, long length, BBOOL ended);
    DATARESULT* takeResponseHeader(HTTPCONNECTION* s, IOBUFFER* b, BBOOL ended);
    void takeResponseBody(HTTPCONNECTION* s, IOBUFFER* b);
    void endResponse(HTTPCONNECTION* s, BBOOL serverClosed);
    HTTPDEFINITION* httpDefinition() const;
    // Bytes of the body for the browser (and the cache), in fresh buffers.
    void passBody(HTTPCONNECTION* s, const char* bytes, long length);
    // Bytes of the body as they arrive: to the cache and the prefetch page.
    void bodyArrived(HTTPCONNECTION* s, const char* bytes, long length);
    // Whether the page's links will be fetched ahead, from its header.
    static void decidePrefetch(HTTPCONNECTION* s, HTTPREQUEST* request, HTTPRESPONSE* response);
};

// Whether a header block that has just begun is an HTTP/0.9 answer: more than
// five bytes that do not start with "HTTP/".
BBOOL IsSimpleAnswer(const char* bytes, long length);
