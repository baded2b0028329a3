#pragma once
// The configured form of one TCP service: its socket control, inbound monitor
// and listening connection, the outbound interfaces of the whole gateway, a
// second socket stack for one dial-up line, and the permitted-user checks.
#include "QvWindows.h"
#include <functional>
#include <string>
#include "AppDefinition.h"
#include "LookupTable.h"
#include "TcpUser.h"

class TCPREQMONITOR;
class TCPCONNECTION;
class TCPAPPINSTANCE;
class TCPAPPCFG;
class WINSOCKCONTROL;
class LINKINTERFACE;
class REQUESTMONITOR;
class DATACONNECTION;

// ALL = 1, DEFAULT = 2, DYNAMIC = 3; ended by a row whose valid is 0.
extern LOOKUPROW _TCPIPInterfaceOptions[];

class TCPDEFINITION : public APPDEFINITION {
public:
    // The first definition alive builds the permitted-user chain.
    TCPDEFINITION(APPTYPE* type, BBOOL createInstance);
    // The last one empties the user chains.
    ~TCPDEFINITION() override;

    QV_ITEM_IDENTITY(TCPDEFINITION, "TCPDEFINITION", "tcDF")

    static TCPDEFINITION* CreateTCPIPDefinition(APPTYPE* type);
    // A new instance, prepared; a secondary of parent when given.
    virtual TCPAPPINSTANCE* CreateInstance(TCPAPPINSTANCE* parent);

    // Control thread. TRUE when the service runs.
    BBOOL StartCommunications() override;
    BBOOL StopCommunications() override;
    BBOOL StartSecondaryCommunications(void* line) override;
    BBOOL StopSecondaryCommunications(void* line) override;
    void NewConnectSettings(BBOOL connected) override;
    void ForceShutdown() override;
    // Rebuilds the outbound interface set from "TCP/IP Outbound Interfaces". 1.
    BBOOL GetOutboundInterfaces();

    // Any monitor or worker thread: the login of connection (Part of every admission).
    int UserLogin(APPCONNECTION* connection, BBOOL login) override;
    void UpdateAppUser(APPUSER* user, BBOOL remove) override;
    void RenameAppUser(const char* oldName, const char* newName) override;
    void RemoveAppUser(TCPUSER* user);
    // Dotted address of a host name or dotted text; empty when it has none.
    typedef std::function<std::string(const char*)> RESOLVER;
    // The entry a client address logs in under (a template makes one), or null;
    // with localLink, the gateway's own user is added first. Any thread.
    TCPUSER* FindPermittedUser(const char* client, const RESOLVER& resolve, class TCPSOCKLINK* localLink);

    // The first definition's start settings of a socket control (connections,
    // ports, send size, stream handler).
    static void ConfigureControl(WINSOCKCONTROL& control, TCPAPPCFG* settings);
    // Closes every link a monitor serves and own's, marking them closed; no waiting.
    static void CloseMonitorLinks(REQUESTMONITOR* monitor, DATACONNECTION* own);
    // In a fatal exit, waits (no time-out) until the forced shutdown has closed
    // every link, so that a stop releases nothing it still works on. A normal
    // stop goes straight on.
    static void WaitForForcedShutdown();
    // The option code of an interface setting (1 ALL, 2 DEFAULT, 3 DYNAMIC) and, in
    // names, the text passed on: the rest after the keyword, or for DYNAMIC the
    // quoted phonebook entries of lines 1-4 up to the first "none".
    static int ParseInterfaceSetting(const char* setting, const char* const phonebook[4], char* names, int size);

    WINSOCKCONTROL* socketControl;  // inbound side; made by the first start, released by stop
    TCPREQMONITOR* monitor;         // inbound monitor
    TCPCONNECTION* listener;        // on the service port; null when the service does not listen
    BBOOL secondaryAllowed;

    // Shared by every TCP service. The counters change on the control thread only.
    static long definedTCPIPApplications;
    static long activeTCPIPApplications;
    // Owning; its lock (no time-out) guards every walk and change of it and of its entries.
    static CHAIN<TCPUSER>* ppermittedUsers;
    static CHAIN<TCPUSER>* pdeniedUsers;  // never filled
    static WINSOCKCONTROL* psecondaryDialerCtl;
    static BBOOL interfacesRead;

    // Replaceable for tests: the Windows 95 check, and the interface set's rebuild.
    static BBOOL (*pIsWindows95)();
    static int (*pGetLocalInterfaces)(WINSOCKCONTROL* control, int option, const char* names);
    // How long a failed host-name look-up of an entry is remembered.
    static const unsigned long LookupRetryMs = 60000;

protected:
    void createSecondaryInstance();
    // The second stack's configuration profile, read once ("TCP/IP Secondary
    // Winsock Profile"); left unset when the file cannot be read.
    static void readSecondaryProfile();
    // The last stop: the line lets go of the second stack, which is released.
    static void releaseSecondaryStack();
    // The match of a client address under the chain's lock (template users made here).
    TCPUSER* matchUser(const char* client);
    void resolveEntries(const RESOLVER& resolve);
    void addLocalUser(class TCPSOCKLINK* link);
};
