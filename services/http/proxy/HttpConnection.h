#pragma once
// The connection of the HTTP service, on the browser's side or the server's:
// the parse state of the one message in work, and on a server connection the
// gate that keeps body pieces behind the response header the worker sends.
#include <string>
#include <vector>

#include "HttpFraming.h"
#include "LinkPrefetch.h"
#include "TelConnection.h"

class HTTPREQUEST;
class HTTPRESPONSE;
class DATARESULT;
class TELDATARESPONSE;

// A piece for a browser holding a copy of the first bytes (as many as one
// buffer of link's pool takes; taken says how many); null without a buffer.
TELDATARESPONSE* NewBytesPiece(COMMLINK* link, const char* bytes, long length, long& taken);

class HTTPCONNECTION : public TELCONNECTION {
public:
    // The listener and an instance's prototype.
    HTTPCONNECTION(APPDEFINITION* definition, LINKCONTROL& control, const char* host, const char* port,
                   const char* linkType);
    // An accepted browser from the listener, or a server connection from the prototype.
    HTTPCONNECTION(const HTTPCONNECTION& other, BBOOL recordParent, BBOOL internal);
    ~HTTPCONNECTION() override;  // releases what is in work and what the gate holds

    QV_ITEM_IDENTITY(HTTPCONNECTION, "HTTPCONNECTION", "HCNN")

    // Shown on the status line: bytes of the body so far; the relay's count while tunnelling.
    long GetResultCount() override { return relayMode ? receivedBytes : bodyBytes; }
    long GetResultTotal() override { return relayMode ? 0 : bodyLength; }

    // Server side. Sets the browser the answer goes to (a reference is held).
    void SetClient(HTTPCONNECTION* client);
    HTTPCONNECTION* Client() const { return client; }
    // Any thread. A result for the browser: held while the response header has
    // not been queued, else queued on the browser's connection at once.
    void PassToClient(DATARESULT* result);
    // Worker or monitor. The response header has been queued: what was held follows it.
    void OpenGate();
    // Any thread: bytes queued for this browser in pieces from this link's pool.
    void SendBytes(const char* bytes, long length);
    // Takes the request this connection answers (a reference is held).
    void SetRequestInProgress(HTTPREQUEST* request);

    // Parse state, touched only by the monitor thread that serves this connection.
    std::string header;       // header bytes gathered so far
    HEADERSCAN scan;
    std::string body;         // a request body gathered so far
    BBOOL inBody;
    BBOOL readToClose;        // the body ends when the peer closes
    BBOOL messageDone;        // one message per connection: bytes after it are not read
    long bodyLength;          // announced length; 0 when none
    long bodyBytes;           // body bytes received
    HTTPREQUEST* requestInProgress;   // client: built, waiting for its body; server: the request sent
    HTTPRESPONSE* responseInProgress; // server: the response whose body is arriving (held)
    // Server: the page is scanned for links to fetch ahead once its body is
    // whole; decided from the response header, gathered with the body.
    BBOOL prefetchPage;
    PREFETCHORIGIN prefetchOrigin;
    std::string prefetchBody;

    // Set by the connection events and the request flow.
    const char* failureKey;   // status key of a failed outbound connection; null when none
    BBOOL noLine;             // no line could be brought up for it
    long lastEvent;
    BBOOL tunnelReplyPending; // browser side: the next result is the tunnel's HTTP reply
    char peerAddress[16];     // server side: dotted address reached, empty until the first send

private:
    // Guards headerQueued and held; taken before the browser queue's lock, never after it.
    CRITICAL_SECTION gate;
    BBOOL headerQueued;
    std::vector<DATARESULT*> held;
    HTTPCONNECTION* client;   // server side: the browser it answers; null for the gateway's own fetches
    void deliver(DATARESULT* result);
};
