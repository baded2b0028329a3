#pragma once
// The messages of every TCP service: a chunk of bytes read from a link as a
// request (client towards server) or a result (server towards client), and the
// two disconnect markers that stand for a peer's closed side.
#include "QvWindows.h"
#include "DataRequest.h"
#include "CommLink.h"

class DATACONNECTION;

// The chunk a message carries. Owned by the message until it is handed to a
// link for sending or the message goes; it then returns to its link's pool.
class TCPMSGBASE {
public:
    TCPMSGBASE(IOBUFFER* buffer, COMMLINK* link) : link(link), buffer(buffer) {}
    virtual ~TCPMSGBASE();

    // Gives the buffer back once; a message without buffer or link does nothing.
    void FreeMessage();
    // Forgets buffer and link without giving anything back (the link took the buffer).
    void ClearMessage() {
        buffer = nullptr;
        link = nullptr;
    }

    COMMLINK* link;     // read from; replaced by the destination when relayed
    IOBUFFER* buffer;   // null for markers and the service's own commands
};

class TCPREQUEST : public DATAREQUEST, public TCPMSGBASE {
public:
    TCPREQUEST(IOBUFFER* buffer, COMMLINK* link);
    // A request made inside a service; flag lands in flagWord for the layers above.
    explicit TCPREQUEST(BBOOL flag);
    // Lets go of its line connection.
    ~TCPREQUEST() override;

    QV_ITEM_IDENTITY(TCPREQUEST, "TCPREQUEST", "tcRQ")

    // A relayed chunk has no status.
    char* GetReqStatus() override { return nullptr; }
    int SetReqStatus(const char*) override { return 0; }

    // The line connection this request opens or writes to (the line layer's);
    // held by a reference of its own when ownsConnection is set.
    DATACONNECTION* lineConnection;
    BBOOL ownsConnection;
    long viaUpstreamProxy;  // the request goes to an upstream proxy (absolute form)
    long noInterface;       // open the server side without choosing an interface or dialling
    long flagWord;          // the flag of the service-made constructor
};

class TCPRESPONSE : public DATARESULT, public TCPMSGBASE {
public:
    TCPRESPONSE(DATAREQUEST* request, IOBUFFER* buffer, COMMLINK* link);
    ~TCPRESPONSE() override;

    QV_ITEM_IDENTITY(TCPRESPONSE, "TCPRESPONSE", "tcRS")

    char* GetStatus() override { return nullptr; }
    // Leaves the caller's buffer empty.
    char* GetStatusLine(BUFFER& out) override;
    int SetStatus(const char*) override { return 0; }
};

// The client closed its side: written to a server link, it closes that side.
class TCPDISCREQUEST : public TCPREQUEST {
public:
    TCPDISCREQUEST() : TCPREQUEST(nullptr, nullptr) {}
    ~TCPDISCREQUEST() override;
    QV_ITEM_IDENTITY(TCPDISCREQUEST, "TCPDISCREQUEST", "tcQD")

    // A prepared marker, queued on connection (released once sent) when given.
    // No memory: a drop of connection is asked for and null returned.
    static TCPDISCREQUEST* Generate(DATACONNECTION* connection);
};

// The server closed its side: written to a client link, it closes that side.
class TCPDISCRESPONSE : public TCPRESPONSE {
public:
    TCPDISCRESPONSE() : TCPRESPONSE(nullptr, nullptr, nullptr) {}
    ~TCPDISCRESPONSE() override;
    QV_ITEM_IDENTITY(TCPDISCRESPONSE, "TCPDISCRESPONSE", "tcRD")

    static TCPDISCRESPONSE* Generate(DATACONNECTION* connection);
};

// The class codes code compares to tell markers from data chunks.
const unsigned long TCP_REQUEST_ID = QvTag("tcRQ");
const unsigned long TCP_RESPONSE_ID = QvTag("tcRS");
const unsigned long TCP_DISC_REQUEST_ID = QvTag("tcQD");
const unsigned long TCP_DISC_RESPONSE_ID = QvTag("tcRD");

// Marks a message to be released by whoever sends it last (set before queueing).
inline void SetReleaseAfterSend(DATAREQBASE* message) { message->freePending = 1; }
