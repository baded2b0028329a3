#pragma once
// The service classes of the line layer, which are also the Telnet gateway:
// a LAN user connects, is admitted or refused, and at the "Gateway> " prompt
// names a host to be relayed to; with "TELNET Server" set, every admitted
// client is sent to that host at once. The other line services derive from these.
#include "QvWindows.h"
#include "TcpAppType.h"
#include "TcpDefinition.h"
#include "TcpAppInstance.h"

class TELCONNECTION;
class TELREQMONITOR;

// The texts a line service answers a client with.
struct TELTEXTS {
    const char* notReady;       // login state 5
    const char* tooManyUsers;   // login state 4
    const char* notAuthorized;  // any other refusal
    const char* connectFailed;
};
extern const TELTEXTS _TelnetTexts;
extern const char TEL_WELCOME[];

class TELAPPTYPE : public TCPAPPTYPE {
public:
    // name and logName default to "TELNET".
    TELAPPTYPE(const char* name, const char* logName, BBOOL settings, BBOOL debug, BBOOL log);
    ~TELAPPTYPE() override {}

    QV_ITEM_IDENTITY(TELAPPTYPE, "TELAPPTYPE", "TATP")

    APPDEFINITION* CreateAppDefinition() override;
};

class TELDEFINITION : public TCPDEFINITION {
public:
    TELDEFINITION(APPTYPE* type, BBOOL createInstance);
    ~TELDEFINITION() override {}

    QV_ITEM_IDENTITY(TELDEFINITION, "TELDEFINITION", "TDEF")

    static TELDEFINITION* CreateTELNETDefinition(APPTYPE* type);
    TCPAPPINSTANCE* CreateInstance(TCPAPPINSTANCE* parent) override;
    // Control thread: makes the missing inbound objects, sets the line ends and hooks, listens.
    BBOOL StartCommunications() override;
    BBOOL StopCommunications() override { return TCPDEFINITION::StopCommunications(); }
    // Tells client that its host could not be reached.
    virtual void ConnectFailed(TELCONNECTION* client);
    // The texts of this service's answers.
    virtual const TELTEXTS& Texts() const { return _TelnetTexts; }

    // A failed open of client, told once by whoever ends the pairing: the
    // service's text; a client that is not a fixed relay may type again.
    static void OpenFailed(TELCONNECTION* client);
    // Connection-state hook of the listening monitor (monitor threads).
    static void NotifyConnection(DATACONNECTION* connection, int state);

protected:
    // Logs client in; TRUE when admitted, else it is logged out again and
    // reason is the refusal's login state.
    BBOOL Admit(TELCONNECTION* client, int& reason);
    // The refusal text for reason, sent; the client closes once it has gone.
    void Refuse(TELCONNECTION* client, int reason);
    // Makes the inbound objects a subclass did not make first.
    void MakeInboundObjects();
    // State 5 of a client: its pending open is cancelled, its peer let go.
    static void ClientClosed(TELCONNECTION* client);
};

class TELAPPINSTANCE : public TCPAPPINSTANCE {
public:
    explicit TELAPPINSTANCE(APPDEFINITION* definition) : TCPAPPINSTANCE(definition) {}
    ~TELAPPINSTANCE() override {}

    QV_ITEM_IDENTITY(TELAPPINSTANCE, "TELAPPINSTANCE", "TAIN")

    BBOOL StartCommunications(APPWORKERPROC worker) override;
    BBOOL StopCommunications() override { return TCPAPPINSTANCE::StopCommunications(); }
    TCPCONNECTION* CreateConnection(BBOOL internal) override;

    // The worker: runs every queued request (its own thread, or one pass of the shared one).
    static void RequestMonitor(APPINSTANCE* instance);
    // Worker thread. Runs one request; the open's result.
    BBOOL ProcessRequest(APPREQUEST* request);
    // Connection-state hook of the outbound monitor (monitor threads).
    static void NotifyConnection(DATACONNECTION* connection, int state);

protected:
    void MakeOutboundObjects();
};

// Counts the Telnet package's users; the first makes _pTELNETAppType, the last deletes it.
class TELCLASS_INIT {
public:
    TELCLASS_INIT();
    ~TELCLASS_INIT();
    static int InitCount;
};
