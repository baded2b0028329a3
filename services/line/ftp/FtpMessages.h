#pragma once
// The FTP proxy's messages: the commands the gateway reads itself (USER with
// a host, OPEN, PORT, the data-transfer commands), the server's replies with
// their status, and the gateway's own reply texts.
#include "QvWindows.h"
#include "LookupTable.h"
#include "TelMessages.h"

class FTPCONNECTION;
class FTPAPPINSTANCE;

// OPEN (from O) = 1, PORT = 2, USER = 3, LIST RETR STOR STOU APPE NLST = 99
// (value2: 1 the client sends data, 2 it receives); ended by a row whose valid is 0.
extern LOOKUPROW _FTPCommands[];

// The gateway's own replies.
extern const char FTP_WELCOME[];
extern const char FTP_INVALID_COMMAND[];   // "500 Invalid Command.\r\n"
extern const char FTP_HOST_MISSING[];      // "420 A host address must be specified.\r\n"
extern const char FTP_CONNECT_FAILED[];    // "420 Unable to connect to the specified host.\r\n"
extern const char FTP_TRANSFER_ABORTED[];  // "525 Transfer aborted by the server!\r\n"
extern const char FTP_NO_DATA_PORT[];      // "425 A data port must be specified!\r\n"
extern const char FTP_DATA_PORT_FAILED[];  // "425 Unable to open the data port connection!\r\n"
extern const char FTP_NOT_AVAILABLE[];     // "550 Requested action not taken. File is not available.\r\n"
extern const char FTP_STARTED[];           // "200 Requested action has started.\r\n"

// A server's reply, or a text the gateway answers with; status is its first word.
class FTPRESPONSE : public TELDATARESPONSE {
public:
    // isData: a data chunk, which has no status.
    FTPRESPONSE(DATAREQUEST* request, IOBUFFER* buffer, COMMLINK* link, BBOOL isData);
    ~FTPRESPONSE() override {}

    QV_ITEM_IDENTITY(FTPRESPONSE, "FTPRESPONSE", "ftRS")

    char* GetStatus() override { return status; }
    int SetStatus(const char* text) override;
    BBOOL WasSuccessful() override { return status[0] == '2'; }
    BBOOL IsNeedPassword() const;
    // Any 1xx: a transfer has begun (servers send 125 or 150).
    BBOOL IsXferBeginning() const;

    // A response to request holding text (no buffer), prepared; null without memory.
    static FTPRESPONSE* Generate(DATAREQUEST* request, const char* text);

    char status[4];
};

// A line of the client forwarded to the server through the gateway's worker;
// data-transfer commands first get their data connections.
class FTPCMDREQUEST : public TELDATAREQUEST {
public:
    // A received line; flags is the table's value2.
    FTPCMDREQUEST(IOBUFFER* buffer, COMMLINK* link, long flags, const char* method);
    // A command of the gateway's own (text with CR LF) for server; no flags.
    FTPCMDREQUEST(const char* text, FTPCONNECTION* server);
    ~FTPCMDREQUEST() override {}

    QV_ITEM_IDENTITY(FTPCMDREQUEST, "FTPCMDREQUEST", "ftCQ")

    char* GetReqMethod(BUFFER& out) override;
    BBOOL ProcessCommand(TELAPPINSTANCE* instance) override;
    BBOOL NeedsData() const { return sendsData || receivesData; }

    BBOOL sendsData;
    BBOOL receivesData;
    char method[16];
};

// USER name@host (or OPEN host) before the client has a server: opens the
// server connection and logs in once the server has greeted.
class FTPUSERREQUEST : public TELDATAREQUEST {
public:
    FTPUSERREQUEST(IOBUFFER* buffer, COMMLINK* link);
    // For a retrieval: name for host; an empty name opens without logging in.
    FTPUSERREQUEST(const char* host, const char* userName);
    ~FTPUSERREQUEST() override;  // gives back a server connection no retrieval took

    QV_ITEM_IDENTITY(FTPUSERREQUEST, "FTPUSERREQUEST", "ftUQ")

    // "name@host": the name runs to the last '@' (names may hold '@'); FALSE
    // for an empty name or a missing host word. Without '@' no host is set.
    BBOOL ParseCommand(const char* text) override;
    // "USER name" with CR LF when asked; empty when no name (an OPEN).
    int BuildCommand(BUFFER& out, BBOOL withCRLF) override;
    char* GetReqMethod(BUFFER& out) override;
    BBOOL ProcessCommand(TELAPPINSTANCE* instance) override;

    char userName[256];
    char host[256];
    char outboundPort[64];  // empty: the service's "TCP/IP Outbound Port"
    FTPCONNECTION* server;  // a retrieval's server connection, until the retrieval takes it (worker)
};

// The client's PORT: kept on its connection until a data command; the
// gateway sends its own PORT towards the server instead.
class FTPPORTREQUEST : public TELREQUEST {
public:
    FTPPORTREQUEST(IOBUFFER* buffer, COMMLINK* link);
    ~FTPPORTREQUEST() override {}

    QV_ITEM_IDENTITY(FTPPORTREQUEST, "FTPPORTREQUEST", "ftPQ")

    // Six decimal fields 0-255 separated by ','; FALSE otherwise.
    BBOOL ParseCommand(const char* text) override;
    char* GetReqMethod(BUFFER& out) override;
    BBOOL ProcessCommand(TELAPPINSTANCE* instance) override;

    // Opens a single-connection data port towards server's address on its
    // interface and writes "PORT a,b,c,d,p1,p2\r\n" into text; the data
    // connection (linked to server) or null. Worker thread.
    static FTPCONNECTION* CreateOutboundPort(FTPAPPINSTANCE* instance, FTPCONNECTION* server, char* text, int size);

    char dataHost[16];
    unsigned short dataPort;
};
