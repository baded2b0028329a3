#pragma once
// The link control of the TCP services: a service's port defaults, auxiliary-port
// tuning and send size, and the program-wide switches of the socket links.
#include "LinkControl.h"
#include "Chain.h"

class TCPSOCKLINK;
class TCPINTERFACE;
class BUFFERPOOL;

// Which interfaces the outbound links of a service may use; 3 = the configured dial-up connections.
typedef int USETCPINTERFACES;

class TCPCONTROL : public LINKCONTROL {
public:
    TCPCONTROL();
    ~TCPCONTROL() override;

    QV_ITEM_IDENTITY(TCPCONTROL, "TCPCONTROL", "TCPC")

    // Removes and destroys every interface of the program's list.
    static void FreeLocalInterfaces();
    // The socket layer's control lists the interfaces; this class has none to offer.
    static int GetLocalInterfaces(USETCPINTERFACES use, const char* names) { return -1; }

    TCPSOCKLINK* mainListeningLink;  // set by the first link-monitor thread of the service
    unsigned short defaultPort;      // SetPort's answer when a name cannot be resolved
    CHAIN<TCPSOCKLINK> auxPorts;     // extra listening links; each link keeps its own cell
    int maxAuxPorts;                 // 0 = none are opened
    int listenBacklog;               // upper bound of a multiplexing link's backlog (itself at most 5)
    int connectionSlack;             // connections allowed beyond the open ports' capacity
    int connectionsPerPort;          // capacity counted for each auxiliary port
    int maxSendSize;                 // largest single send; 0 = no limit

    // Written once at start-up from the server's communication settings, before any link opens.
    static BBOOL UseAsyncDNS;       // outbound links resolve host names on the event window
    static BBOOL UseLocalLoop;      // the wake-up pair connects through 127.0.0.1
    static BBOOL DynamicRouting;    // the dialer switches the default route with the lines
    static BBOOL PhonebookRouting;  // read by the dialer when it lists dial-up entries
    static BBOOL MultipleRouting;
};

// The program's interfaces and dial-up lines. Owning: removing an entry destroys it.
// Its lock (recursive) is held for every walk of the list.
extern CHAIN<TCPINTERFACE>* _pTCPIPInterfaces;

// The buffers of stream-mode socket links (a stream handler, no framing): larger than the
// library's 4096 bytes, whose size message-mode frames are bound by, so that a fast stream
// costs one receive, one queueing and one send per 64 KB. Freed buffers are kept for reuse.
// Any thread may get and free them.
extern BUFFERPOOL* _pTCPStreamPool;
const int TCP_STREAM_BUFFER_SIZE = 65536;

class DTCPLINK_INIT {
public:
    DTCPLINK_INIT();
    ~DTCPLINK_INIT();
    static int InitCount;
};

static DTCPLINK_INIT _tcpLinkInit;
