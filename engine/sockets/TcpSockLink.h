#pragma once
// The message link over a TCP socket: listening, accepting, connecting, the
// receive loop, the send pump, shutdown, and one listening link serving many
// accepted secondaries from one link-monitor thread through a readiness wait.
// The socket calls themselves are the primitives a concrete class fills in.
#include "QvWindows.h"
#include "CommLink.h"
#include "TcpControl.h"
#include "TcpInterface.h"

class REQUESTMONITOR;

// A socket handle of the library, as wide as a pointer.
typedef UINT_PTR QVSOCKET;

// What the concrete socket library answers; filled by the concrete class.
struct TCPSOCKETCONSTANTS {
    QVSOCKET invalidSocket;
    unsigned long anyAddress;
    unsigned long noAddress;
    int socketError;
    int errHostNotFound;
    int errSystemNotReady;
    int errNotConnected;
    int errConnectionRefused;
    int errConnectionReset;
    int errMessageTooLong;
    int errWouldBlock;
    int errConnectInProgress;
    int errTimedOut;
};

class TCPSOCKLINK : public COMMLINK {
public:
    // secondaryLimit 0: an accepting link serves one connection itself; above 0 it
    // keeps up to that many accepted secondaries.
    TCPSOCKLINK(TCPCONTROL& control, LINKTYPE type, int secondaryLimit);
    // A secondary on the primary's accepted socket.
    TCPSOCKLINK(TCPSOCKLINK& primary, LINKTYPE type);
    ~TCPSOCKLINK() override;

    QV_ITEM_IDENTITY(TCPSOCKLINK, "TCPSOCKLINK", "TCPS")

    int OpenLink(const char* address, BUFFERPOOL* pool, int queueLimit) override;
    void CloseLink(BBOOL freeBuffers) override;
    // Takes the primary's lock (a secondary's parent's) and returns it; the primary's
    // EndAccess releases it, a secondary's does nothing.
    int BeginAccess() override;
    void EndAccess() override;
    BBOOL IsResetable() override;
    void NotifyMonitor() override;
    BBOOL QueryLinkStatus(void* = nullptr) override;
    BBOOL QueryRecvStatus() override;
    BBOOL QuerySendStatus(BBOOL useVirtual) override;
    int ResetLink() override;
    void SetBlocking(BBOOL block, int timeOut = 0) override;
    int Shutdown(BBOOL force) override;
    void StartReceiving() override;
    BBOOL WaitMessage() override;
    BBOOL SendNotify() override;

    // The socket primitives.
    virtual TCPSOCKLINK* CreatePrimaryLink(LINKTYPE type, int secondaryLimit) = 0;
    virtual TCPSOCKLINK* CreateSecondaryLink(LINKTYPE type) = 0;
    // Returns the link that needs attention with the primary's lock held, or null.
    virtual TCPSOCKLINK* WaitLinkEvent(int seconds, BBOOL checkStatus) = 0;
    virtual unsigned long TCPCvthtonl(unsigned long value) = 0;
    virtual unsigned short TCPCvthtons(unsigned short value) = 0;
    virtual unsigned long TCPCvtntohl(unsigned long value) = 0;
    virtual int TCPCvtAddress(unsigned long address, const BUFFER& out) = 0;
    virtual unsigned long TCPGetAddress(const char* host, BBOOL async) = 0;
    virtual int TCPGetLastError() = 0;
    virtual int TCPGetLocalAddress(const BUFFER& out) = 0;
    virtual unsigned long TCPGetLocalTCPAddr(BBOOL socketOnly) = 0;
    virtual unsigned short TCPGetLocalPort() = 0;
    virtual int TCPGetRemoteAddress(const BUFFER& out) = 0;
    virtual unsigned short TCPServiceLookup(const char* name) = 0;
    virtual BBOOL TCPSetBlockingMode(BBOOL blocking) = 0;
    virtual QVSOCKET TCPSocketAccept(int unused) = 0;
    virtual BBOOL TCPSocketBind(unsigned short port, unsigned long address) = 0;
    virtual void TCPSocketClose(QVSOCKET s) = 0;
    virtual BBOOL TCPSocketConnect(unsigned long address) = 0;
    virtual BBOOL TCPSocketListen() = 0;
    virtual QVSOCKET TCPSocketOpen(BBOOL reuseAddress, int bufferSize) = 0;
    virtual int TCPSocketReceive(unsigned char* buffer, int length, BBOOL peek) = 0;
    virtual int TCPSocketSend(unsigned char* buffer, int length) = 0;
    virtual BBOOL TCPSocketShutdown(QVSOCKET s, BBOOL closing) = 0;
    virtual int TCPSocketStatus() = 0;

    // Accepts one connection: the link itself (single-connection), a new counted
    // secondary, or null (nothing waiting, refused, the wake receiver, at the limit).
    TCPSOCKLINK* AcceptConnection(int unused);
    // One more listening port on this link's control, opened on a port the system picks.
    TCPSOCKLINK* CreateAuxPort();
    // Receives what has arrived; 0 when the link ended or failed.
    BBOOL ReceiveMonitor();
    // The wake receiver's bytes are all empty frames: whatever waits is read in one go.
    // FALSE when the link has ended.
    BBOOL ReceiveWakeFrames();
    // A port number or service name; local sets the port an outbound link binds to.
    BBOOL SetPort(const char* port, BBOOL local);
    void SetTCPInterface(TCPINTERFACE* netInterface);
    int GetInterfaceAddress(const BUFFER& out);
    TCPSOCKLINK* FindSecondary(QVSOCKET s);
    void closeSecondaries();
    TCPINTERFACE* TcpInterface() const { return static_cast<TCPINTERFACE*>(netInterface); }
    TCPCONTROL* TcpControl() const { return tcpControl; }

    QVSOCKET socket;
    QVSOCKET acceptedSocket;
    QVSOCKET keptListeningSocket;  // a single-connection link's listener while it serves (ResetLink)
    unsigned short port;
    unsigned short localPort;
    unsigned long remoteAddress;        // network order
    unsigned long acceptedPeerAddress;  // network order
    unsigned short acceptedPeerPort;    // of the last accepted peer: tells the wake-up connection apart
    unsigned char lengthPrefix[4];
    int prefixCount;
    BBOOL sendBlocking;
    BBOOL monitored;
    BBOOL framed;
    volatile BBOOL waiting;
    volatile LONG wakeAsked;  // a wake-up was asked for; the next wait returns at once
    // The readiness wait has no socket to watch and waits on idleWake instead (an accepting
    // link's own; NotifyMonitor posts it). Changed with interlocked calls.
    volatile LONG idle;
    ESEMAPHORE idleWake;
    BBOOL counted;
    BBOOL listening;
    BBOOL sendIncomplete;
    REQUESTMONITOR* linkMonitor;  // the monitor of an auxiliary listening port
    TCPCONTROL* tcpControl;
    TCPSOCKLINK* parent;
    TCPSOCKLINK* wakeSender;
    TCPSOCKLINK* wakeReceiver;
    bSPOINTER* interfaceNode;
    bSPOINTER* ownerNode;        // in the parent's secondaries or the control's auxiliary ports
    // Shares this link's lock. Order: a monitor's active-set lock before it (releasing a
    // connection frees its link, which leaves this chain), so never the other way round.
    CHAIN<TCPSOCKLINK> secondaries;
    TCPSOCKETCONSTANTS k;
    // Link-monitor thread only: what the last readiness wait reported for this link
    // ('r' readable, 'w' writable, 'e' in the error set, 'n' served for a flag), and
    // whether the last receive filled all the room it was given (more may be waiting).
    char readyEvent;
    BBOOL receiveFilled;
    // The last receive found no buffer in the pool: the next readiness wait leaves the link
    // out and lasts at most StarvedRetry ms, so that it is tried again without spinning.
    BBOOL starved;
    static const int StarvedRetry = 50;

    // Largest number of secondaries one readiness wait can watch.
    static const int MaxWatched = 100;

protected:
    BBOOL checkLinkError(BBOOL receiving);
    int connectLink();
    int receiveData(unsigned char* buffer, int length, BBOOL peek, BBOOL toggle);
    // The control's stream handler is bypassed: length-prefixed frames.
    BBOOL InMessageMode() const { return framed || !control->streamHandler; }

private:
    void Detach();
    BBOOL ReceiveFramePrefix();
    BBOOL IsWakeConnection();
    BBOOL SendCurrent();
};
