#pragma once
// The FTP proxy service: LAN clients log in as name@host (or OPEN host), the
// gateway opens the server connection, relays the dialogue line by line and
// carries the data over data ports of its own; the same service fetches
// ftp:// files and listings for the HTTP proxy.
#include "QvWindows.h"
#include "TelService.h"

class FTPCONNECTION;
class FTPREQMONITOR;

// The FTP service's "TCP/IP Outbound Port" as a number; 0 until the service starts.
extern long _FTPDefaultPort;

extern const TELTEXTS _FTPTexts;

class FTPAPPTYPE : public TELAPPTYPE {
public:
    FTPAPPTYPE() : TELAPPTYPE("FTP", "FTP", TRUE, TRUE, TRUE) {}
    ~FTPAPPTYPE() override {}

    QV_ITEM_IDENTITY(FTPAPPTYPE, "FTPAPPTYPE", "ftAT")

    APPDEFINITION* CreateAppDefinition() override;
};

class FTPDEFINITION : public TELDEFINITION {
public:
    FTPDEFINITION(APPTYPE* type, BBOOL createInstance);
    ~FTPDEFINITION() override {}

    QV_ITEM_IDENTITY(FTPDEFINITION, "FTPDEFINITION", "ftDF")

    static FTPDEFINITION* CreateFTPDefinition(APPTYPE* type);
    TCPAPPINSTANCE* CreateInstance(TCPAPPINSTANCE* parent) override;
    // Control thread: the listener frames on LF before it listens.
    BBOOL StartCommunications() override;
    // The 420 reply; the client may name another host.
    void ConnectFailed(TELCONNECTION* client) override;
    const TELTEXTS& Texts() const override { return _FTPTexts; }

    // A client-facing data connection made like the listener (caller holds it).
    FTPCONNECTION* CreateDataConnection();
    // Connection-state hook of the listening monitor (monitor threads).
    static void NotifyConnection(DATACONNECTION* connection, int state);
    // Sends the gateway's own text to a client, never with a prompt.
    static BBOOL Reply(TELCONNECTION* client, const char* text);

private:
    static void ClientEvent(FTPCONNECTION* connection, int state);
    void Greet(FTPCONNECTION* client);
    static void DataConnected(FTPCONNECTION* data);
    static void DataClosed(FTPCONNECTION* data);
};

class FTPAPPINSTANCE : public TELAPPINSTANCE {
public:
    explicit FTPAPPINSTANCE(APPDEFINITION* definition) : TELAPPINSTANCE(definition) {}
    ~FTPAPPINSTANCE() override {}

    QV_ITEM_IDENTITY(FTPAPPINSTANCE, "FTPAPPINSTANCE", "ftAI")

    BBOOL StartCommunications(APPWORKERPROC worker) override;
    // A server control connection (caller holds it).
    TCPCONNECTION* CreateConnection(BBOOL internal) override;
    // A server-facing data connection made like the prototype (caller holds it).
    FTPCONNECTION* CreateDataConnection(BBOOL internal);

    // The worker: every queued FTP request (its own thread, or one pass of the shared one).
    static void RequestMonitor(APPINSTANCE* instance);
    // Worker thread. Runs one request; its ProcessCommand's result.
    BBOOL ProcessRequest(APPREQUEST* request);
    // Connection-state hook of the outbound monitor (monitor threads).
    static void NotifyConnection(DATACONNECTION* connection, int state);

private:
    static void ServerEvent(FTPCONNECTION* connection, int state);
};

// Counts the FTP package's users; the first makes _pFTPAppType, the last deletes it.
class FTPCLASS_INIT {
public:
    FTPCLASS_INIT();
    ~FTPCLASS_INIT();
    static int InitCount;
};
