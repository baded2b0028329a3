#pragma once
// A network interface or dial-up line as the TCP links see it: its address, the
// links running over it, and the line operations the line policy uses.
#include "LinkInterface.h"
#include "Chain.h"

class TCPCONTROL;
class TCPSOCKLINK;

class TCPINTERFACE : public LINKINTERFACE {
public:
    explicit TCPINTERFACE(const char* name);
    ~TCPINTERFACE() override;  // lets go of its links without destroying them

    QV_ITEM_IDENTITY(TCPINTERFACE, "TCPINTERFACE", "TCPI")

    // Ends every open link on the interface with 9990 and wakes its monitor.
    void Disconnect(BBOOL, BBOOL notify) override;
    // Every open link over the interface ends with the interface-down error.
    void EndLinks();
    virtual void DisableRouting() {}
    virtual void EnableRouting() {}
    virtual void SendKeepAlive() {}

    // Links over it minus the ones their service holds idle.
    long Load() const { return links.count - idleLinks; }
    // The address, resolved from the address text with link on first use; 0 when unknown.
    unsigned long ResolveAddress(TCPSOCKLINK* link);

    // Each walks _pTCPIPInterfaces under its lock.
    static TCPINTERFACE* FindUserInterface(TCPCONTROL* control, TCPSOCKLINK* clientLink);
    static TCPINTERFACE* FindBestInterface(TCPCONTROL* control, TCPSOCKLINK* clientLink, int unused);
    static TCPINTERFACE* FindRelativeLine(int n);  // the n-th dial-up line, 1-based
    static BBOOL GetLineState(int n, BBOOL check);
    static BBOOL IsLineDefined(int n);
    static BBOOL SetLineState(int n, BBOOL up);
    static void ShutDown(BBOOL force);

    unsigned long address;   // network order; 0 = not known yet
    char addressText[16];    // dotted address or name resolved on first use
    CHAIN<TCPSOCKLINK> links;  // not owning; changed under its own lock
    volatile long idleLinks;
    long words[2];
    BBOOL managed;           // the server brought it up and may take it down
};
