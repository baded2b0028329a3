#pragma once
// The messages of the line services: client bytes for a server, an open of a
// server connection, the gateway's own text replies and server bytes for a client.
#include "QvWindows.h"
#include "TcpMessages.h"

class TELCONNECTION;
class TELAPPINSTANCE;

class TELREQUEST : public TCPREQUEST {
public:
    TELREQUEST(IOBUFFER* buffer, COMMLINK* link) : TCPREQUEST(buffer, link) {}
    explicit TELREQUEST(BBOOL flag) : TCPREQUEST(flag) {}
    ~TELREQUEST() override {}

    QV_ITEM_IDENTITY(TELREQUEST, "TELREQUEST", "TTRQ")

    // The text of a request without a buffer; the base writes nothing (0).
    virtual int BuildCommand(BUFFER& out, BBOOL);
    virtual BBOOL ParseCommand(const char* text) { return FALSE; }
    // Runs on the instance's worker.
    virtual BBOOL ProcessCommand(TELAPPINSTANCE* instance) { return FALSE; }
};

class TELDATAREQUEST : public TELREQUEST {
public:
    TELDATAREQUEST(IOBUFFER* buffer, COMMLINK* link) : TELREQUEST(buffer, link) {}
    // A text for the connection to, in a buffer of its link's pool (none when the pool has none).
    TELDATAREQUEST(const char* text, TELCONNECTION* to);
    ~TELDATAREQUEST() override {}

    QV_ITEM_IDENTITY(TELDATAREQUEST, "TELDATAREQUEST", "TTRD")
};

class TELOPENREQUEST : public TELREQUEST {
public:
    TELOPENREQUEST(IOBUFFER* buffer, COMMLINK* link);
    // An open of host made by the gateway itself.
    explicit TELOPENREQUEST(const char* host);
    ~TELOPENREQUEST() override {}

    QV_ITEM_IDENTITY(TELOPENREQUEST, "TELOPENREQUEST", "TTRO")

    // The first word of text (quotes taken off, case kept) is the host; the rest is ignored.
    BBOOL ParseCommand(const char* text) override;
    // Opens the server side and pairs it with the client; TRUE when under way
    // or parked until a line is up. On FALSE, failureReported says whether the
    // client was already told.
    BBOOL ProcessCommand(TELAPPINSTANCE* instance) override;
    // The same; handedOn is set when the line policy took the request (parked,
    // or restarted at once): another worker may run it already, so the caller
    // leaves it and its request alone.
    BBOOL Open(TELAPPINSTANCE* instance, BBOOL& handedOn);

    char host[256];
    char outboundPort[64];
    BBOOL failureReported;
};

class TELRESPONSE : public TCPRESPONSE {
public:
    TELRESPONSE(DATAREQUEST* pending, IOBUFFER* buffer, COMMLINK* link) : TCPRESPONSE(pending, buffer, link) {}
    ~TELRESPONSE() override {}

    QV_ITEM_IDENTITY(TELRESPONSE, "TELRESPONSE", "TTRS")

    // A prepared reply carrying text (and "\r\nGateway> " when prompt is asked and
    // the owning service's "Connect Banner" is on) for to; null without a buffer.
    static class TELDATARESPONSE* Generate(TELCONNECTION* to, const char* text, BBOOL prompt);
};

class TELDATARESPONSE : public TELRESPONSE {
public:
    TELDATARESPONSE(DATAREQUEST* pending, IOBUFFER* buffer, COMMLINK* link) : TELRESPONSE(pending, buffer, link) {}
    ~TELDATARESPONSE() override {}

    QV_ITEM_IDENTITY(TELDATARESPONSE, "TELDATARESPONSE", "TTSD")
};

const unsigned long TEL_DATA_REQUEST_ID = QvTag("TTRD");
const unsigned long TEL_OPEN_REQUEST_ID = QvTag("TTRO");

// The prompt that follows the gateway's texts.
extern const char TEL_PROMPT[];
