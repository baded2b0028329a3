#pragma once
// The socket link of the system: the socket primitives filled with Windows
// Sockets 1.1 calls through its control's bound entry points, the readiness
// wait over three socket sets, and asynchronous host look-ups.
#include "TcpSockLink.h"
#include "WinSockControl.h"

class WINSOCKREQUEST;

// A socket set as the library reads it: a count, then the sockets.
struct WINSOCKSET {
    u_int count;
    QVSOCKET sockets[TCPSOCKLINK::MaxWatched + 1];
};

class WINSOCKLINK : public TCPSOCKLINK {
public:
    // Loads the library for itself; an accepting link gets its socket sets.
    WINSOCKLINK(TCPCONTROL& control, const char* port, LINKTYPE type, int secondaryLimit);
    WINSOCKLINK(WINSOCKLINK& primary, LINKTYPE type);
    ~WINSOCKLINK() override;

    QV_ITEM_IDENTITY(WINSOCKLINK, "WINSOCKLINK", "TWSL")

    int GetLocalName(const BUFFER& out, BBOOL, BBOOL mailForm) override;

    TCPSOCKLINK* CreatePrimaryLink(LINKTYPE type, int secondaryLimit) override;
    TCPSOCKLINK* CreateSecondaryLink(LINKTYPE type) override;
    TCPSOCKLINK* WaitLinkEvent(int seconds, BBOOL checkStatus) override;
    unsigned long TCPCvthtonl(unsigned long value) override;
    unsigned short TCPCvthtons(unsigned short value) override;
    unsigned long TCPCvtntohl(unsigned long value) override;
    int TCPCvtAddress(unsigned long address, const BUFFER& out) override;
    unsigned long TCPGetAddress(const char* host, BBOOL async) override;
    int TCPGetLastError() override;
    int TCPGetLocalAddress(const BUFFER& out) override;
    unsigned long TCPGetLocalTCPAddr(BBOOL socketOnly) override;
    unsigned short TCPGetLocalPort() override;
    int TCPGetRemoteAddress(const BUFFER& out) override;
    unsigned short TCPServiceLookup(const char* name) override;
    BBOOL TCPSetBlockingMode(BBOOL blocking) override;
    QVSOCKET TCPSocketAccept(int unused) override;
    BBOOL TCPSocketBind(unsigned short port, unsigned long address) override;
    void TCPSocketClose(QVSOCKET s) override;
    BBOOL TCPSocketConnect(unsigned long address) override;
    BBOOL TCPSocketListen() override;
    QVSOCKET TCPSocketOpen(BBOOL reuseAddress, int bufferSize) override;
    int TCPSocketReceive(unsigned char* buffer, int length, BBOOL peek) override;
    int TCPSocketSend(unsigned char* buffer, int length) override;
    BBOOL TCPSocketShutdown(QVSOCKET s, BBOOL closing) override;
    int TCPSocketStatus() override;

    // The answer of an asynchronous look-up; called on the event thread.
    void ProcessHostName(const char* name, unsigned long address, int error);
    // Pumps the calling thread's messages while a blocking socket call waits.
    static INT_PTR WINAPI WinSockBlockingHook();

    WINSOCKCONTROL* socketControl;
    WINSOCKREQUEST* lookupRequest;
    BBOOL libraryUser;
    int savedError;
    int lookupRetries;
    // Where the next look through a ready set starts: moved on every wait, so a link
    // that is always ready cannot keep the others waiting.
    u_int scanStart;
    WINSOCKSET* readSet;
    WINSOCKSET* writeSet;
    WINSOCKSET* errorSet;

    static const int ErrorTryAgain = 11002;

private:
    BBOOL LibraryLoaded() const { return socketControl && socketControl->loaded; }
    void CancelLookup();
};

// Made by DATACONNECTION::Connect for "Windows Sockets" and "TCP/IP Default".
COMMLINK* MakeWinSockLink(DATACONNECTION& connection, LINKTYPE type, int secondaryLimit, DATACONNECTION* primary);
