#include "WinSockLink.h"
#include "WinSockDll.h"
#include "DataConnection.h"
#include "EngineTrace.h"
#include <cstring>
#include <new>

namespace {
const TCPSOCKETCONSTANTS WinSockConstants = {
    (QVSOCKET)INVALID_SOCKET, 0, 0xFFFFFFFFUL, SOCKET_ERROR, 11004, 10091, 10057, 10061, 10054, 10040, 10035, 10035,
    10060};

void PutSocket(WINSOCKSET* set, QVSOCKET s) {
    if (s && set->count < TCPSOCKLINK::MaxWatched + 1) set->sockets[set->count++] = s;
}

fd_set* AsFdSet(WINSOCKSET* set) { return set->count ? reinterpret_cast<fd_set*>(set) : nullptr; }

void CopyOut(const BUFFER& out, const char* text) {
    if (!out.data || out.length <= 0) return;
    size_t n = text ? strnlen(text, out.length - 1) : 0;
    if (n) memcpy(out.data, text, n);
    out.data[n] = 0;
}

// Bytes from at to the next 4096-byte boundary of the address.
int PageRoom(const unsigned char* at) { return 4096 - (int)((UINT_PTR)at & 4095); }

// Reads the first byte of each page of the range, stores 0xFE and stores the byte back.
void TouchPages(unsigned char* at, int length) {
    for (int done = 0; done < length; done += PageRoom(at + done)) {
        volatile unsigned char* first = at + done;
        unsigned char keep = *first;
        *first = 0xFE;
        *first = keep;
    }
}
}  // namespace

WINSOCKLINK::WINSOCKLINK(TCPCONTROL& ctl, const char* portText, LINKTYPE type, int limit)
    : TCPSOCKLINK(ctl, type, limit), socketControl(dynamic_cast<WINSOCKCONTROL*>(&ctl)), lookupRequest(nullptr),
      libraryUser(0), savedError(0), lookupRetries(0), scanStart(0), readSet(nullptr), writeSet(nullptr),
      errorSet(nullptr) {
    k = WinSockConstants;
    if (socketControl) {
        socketControl->LoadWinSock(0, 0);
        libraryUser = 1;
    }
    BBOOL setsMade = 1;
    if (accepting) {
        readSet = new (std::nothrow) WINSOCKSET;
        writeSet = new (std::nothrow) WINSOCKSET;
        errorSet = new (std::nothrow) WINSOCKSET;
        setsMade = readSet && writeSet && errorSet;
    }
    if (setsMade && portText) SetPort(portText, 0);
}

WINSOCKLINK::WINSOCKLINK(WINSOCKLINK& primary, LINKTYPE type)
    : TCPSOCKLINK(primary, type), socketControl(primary.socketControl), lookupRequest(nullptr), libraryUser(0),
      savedError(0), lookupRetries(0), scanStart(0), readSet(nullptr), writeSet(nullptr), errorSet(nullptr) {}

WINSOCKLINK::~WINSOCKLINK() {
    if (open) CloseLink(1);
    CancelLookup();
    delete readSet;
    delete writeSet;
    delete errorSet;
    readSet = writeSet = errorSet = nullptr;
    if (libraryUser && socketControl) socketControl->UnloadWinSock(0, 0, 0);
}

COMMLINK* MakeWinSockLink(DATACONNECTION& connection, LINKTYPE type, int limit, DATACONNECTION* primary) {
    TCPSOCKLINK* from = primary ? dynamic_cast<TCPSOCKLINK*>(primary->link) : nullptr;
    if (from) {
        TCPSOCKLINK* made = from->CreateSecondaryLink(type);
        if (made) made->SetPort(connection.port, 0);
        return made;
    }
    TCPCONTROL* ctl = dynamic_cast<TCPCONTROL*>(connection.control);
    if (!ctl) return nullptr;
    WINSOCKLINK* made = new WINSOCKLINK(*ctl, connection.port, type, limit);
    made->prepare();
    return made;
}

// ---- links ---------------------------------------------------------------

TCPSOCKLINK* WINSOCKLINK::CreatePrimaryLink(LINKTYPE type, int limit) {
    WINSOCKLINK* made = new WINSOCKLINK(*tcpControl, nullptr, type, limit);
    made->prepare();
    made->port = port;
    return made;
}

TCPSOCKLINK* WINSOCKLINK::CreateSecondaryLink(LINKTYPE type) {
    MSEMHOLD hold(lock);
    // One readiness wait watches at most MaxWatched of them: a larger limit would accept unwatched ones.
    int limit = secondaryLimit < MaxWatched ? secondaryLimit : MaxWatched;
    if (secondaries.count >= limit) return nullptr;
    WINSOCKLINK* made = new WINSOCKLINK(*this, type);
    made->prepare();
    made->ownerNode = &secondaries.Add(*made);
    return made;
}

TCPSOCKLINK* WINSOCKLINK::WaitLinkEvent(int seconds, BBOOL checkStatus) {
    if (!readSet || !writeSet || !errorSet || !LibraryLoaded()) return nullptr;
    if (checkStatus) error = 0;
    waiting = 1;
    if (InterlockedExchange(&wakeAsked, 0)) {
        waiting = 0;  // woken before it could wait
        return nullptr;
    }
    readSet->count = writeSet->count = errorSet->count = 0;
    // A link left out for want of a buffer is back in the wait after this one.
    BBOOL starving = 0;
    auto leftOut = [&starving](TCPSOCKLINK* l) {
        if (!l->starved) return FALSE;
        l->starved = 0;
        starving = 1;
        return TRUE;
    };
    {
        MSEMHOLD hold(lock);
        if (!closed || listening) {
            if (listening || !leftOut(this)) PutSocket(readSet, socket);
            // A single-connection link serving its peer resumes its own partial sends.
            if (!listening && sendActive && !sendBlocking) PutSocket(writeSet, socket);
        }
        for (bSPOINTER* c = secondaries.first; c->target; c = c->next) {
            TCPSOCKLINK* s = static_cast<TCPSOCKLINK*>(c->target);
            if (checkStatus && s->open && !s->closed && !s->error) {
                s->QueryLinkStatus();
                if (_pSupport->trace.IsTracing(TRACE_FUNCTION))
                    QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "cpiiii", "TCP-Select Status", s, (int)s->socket, (int)s->connected,
                             (int)s->closed, (int)s->connectPending);
            }
            if ((s->dataPending && !s->closed && !s->receivingStopped) ||
                (s->closed && !s->closeHandled && !s->cleanShutdownStarted)) {
                lock.Reserve(QV_WAIT_FOREVER, 0);  // kept for the caller's EndAccess
                waiting = 0;
                s->readyEvent = 'n';
                return s;
            }
            if (s->open && !s->closed && !s->error && !s->lookupPending) {
                if (!s->receivingStopped && (s->accepting || !s->connectPending) && !leftOut(s))
                    PutSocket(readSet, s->socket);
                if ((s->sendActive && !shutdownRequested && !sendBlocking) || (!s->accepting && s->connectPending))
                    PutSocket(writeSet, s->socket);
                PutSocket(errorSet, s->socket);
            }
        }
    }
    if (!readSet->count && !writeSet->count && !errorSet->count) {
        // Nothing to watch (a single-connection link between its peers) until NotifyMonitor
        // says so, as ResetLink does; looked at again after 50 ms whatever comes.
        idleWake.ResetEvent();
        InterlockedExchange(&idle, 1);
        if (!InterlockedExchange(&wakeAsked, 0)) idleWake.WaitEvent(50);
        InterlockedExchange(&idle, 0);
        waiting = 0;
        return nullptr;
    }
    timeval limit = {seconds, 0};
    if (starving && (!seconds || seconds * 1000 > TCPSOCKLINK::StarvedRetry)) limit = {0, TCPSOCKLINK::StarvedRetry * 1000};
    BBOOL hook = socketControl->useBlockingHook && socketControl->fn.WSASetBlockingHook;
    if (hook) socketControl->fn.WSASetBlockingHook(WinSockBlockingHook);
    int n = socketControl->fn.select(0, AsFdSet(readSet), AsFdSet(writeSet), AsFdSet(errorSet),
                                     seconds || starving ? &limit : nullptr);
    if (hook) socketControl->fn.WSAUnhookBlockingHook();
    if (n <= 0) {
        if (n < 0) {
            error = TCPGetLastError();
            QV_COMM_TRACE("cpi", "TCP-Select Failed!", this, error);
        }
        waiting = 0;
        return nullptr;
    }
    lock.Reserve(QV_WAIT_FOREVER, 0);
    TCPSOCKLINK* found = nullptr;
    char event = 'n';
    u_int start = scanStart++;
    // Reads and writes take turns at going first: a steady stream of wake-ups must not hold up sends.
    for (int pass = 0; !found && pass < 2; pass++) {
        BBOOL reads = (pass == 0) == ((start & 1) == 0);
        WINSOCKSET* set = reads ? readSet : writeSet;
        for (u_int j = 0; !found && j < set->count; j++) {
            QVSOCKET r = set->sockets[(start / 2 + j) % set->count];
            found = r == socket ? this : FindSecondary(r);
            event = reads ? 'r' : 'w';
            if (found && !reads && !found->accepting && found->connectPending) {
                found->connectPending = 0;
                found->connected = 1;
            }
        }
    }
    for (u_int i = 0; !found && i < errorSet->count; i++) {
        found = errorSet->sockets[i] == socket ? this : FindSecondary(errorSet->sockets[i]);
        event = 'e';
    }
    if (!found) event = 'n';
    if (found) found->readyEvent = event;
    QV_COMM_TRACE("cpb", "TCP-Select", found, (int)event);
    waiting = 0;
    if (!found) lock.Release(0);
    return found;
}

// ---- conversions and names -----------------------------------------------

unsigned long WINSOCKLINK::TCPCvthtonl(unsigned long v) { return LibraryLoaded() ? socketControl->fn.htonl(v) : v; }
unsigned short WINSOCKLINK::TCPCvthtons(unsigned short v) { return LibraryLoaded() ? socketControl->fn.htons(v) : v; }
unsigned long WINSOCKLINK::TCPCvtntohl(unsigned long v) { return LibraryLoaded() ? socketControl->fn.ntohl(v) : v; }

int WINSOCKLINK::TCPCvtAddress(unsigned long address, const BUFFER& out) {
    if (!LibraryLoaded()) return 0;
    in_addr a;
    a.s_addr = address;
    CopyOut(out, socketControl->fn.inet_ntoa(a));
    return out.data ? (int)strlen(out.data) : 0;
}

unsigned long WINSOCKLINK::TCPGetAddress(const char* host, BBOOL async) {
    if (!LibraryLoaded() || !host) return k.noAddress;
    unsigned long a = socketControl->fn.inet_addr(host);
    if (a != k.noAddress) return a;
    if (async) {
        lookupPending = 1;
        lookupRetries = 0;
        lookupRequest = socketControl->StartHostLookup(*this, host);
        if (lookupRequest) return k.noAddress;
        lookupPending = 0;
    }
    hostent* h = socketControl->fn.gethostbyname(host);
    if (!h || !h->h_addr_list || !h->h_addr_list[0]) return k.noAddress;
    memcpy(&a, h->h_addr_list[0], 4);
    return a;
}

int WINSOCKLINK::TCPGetLastError() {
    if (!LibraryLoaded()) return ErrorCannotOpen;
    int e = savedError;
    if (e)
        savedError = 0;
    else
        e = socketControl->fn.WSAGetLastError();
    systemError = e;
    if (e) QV_COMM_TRACE("cpi", "TCPGetLastError", this, e);
    return e;
}

int WINSOCKLINK::TCPGetLocalAddress(const BUFFER& out) {
    unsigned long a = TCPGetLocalTCPAddr(0);
    if (a == k.noAddress) return 0;
    return TCPCvtAddress(a, out);
}

unsigned long WINSOCKLINK::TCPGetLocalTCPAddr(BBOOL socketOnly) {
    if (!LibraryLoaded()) return k.noAddress;
    unsigned long a = k.noAddress;
    if (connected && socket) {
        sockaddr_in sa = {};
        int len = sizeof(sa);
        if (socketControl->fn.getsockname(socket, (sockaddr*)&sa, &len) == 0) a = sa.sin_addr.s_addr;
    }
    if (!socketOnly && (a == k.noAddress || a == k.anyAddress)) {
        char name[256] = "";
        if (socketControl->fn.gethostname(name, 255) == 0) {
            a = socketControl->fn.inet_addr(name);
            if (a == k.noAddress || a == k.anyAddress) {
                hostent* h = socketControl->fn.gethostbyname(name);
                if (h && h->h_addr_list && h->h_addr_list[0]) memcpy(&a, h->h_addr_list[0], 4);
            }
        }
    }
    return a == k.anyAddress ? k.noAddress : a;
}

unsigned short WINSOCKLINK::TCPGetLocalPort() {
    if (!LibraryLoaded() || !socket) return 0;
    sockaddr_in sa = {};
    int len = sizeof(sa);
    if (socketControl->fn.getsockname(socket, (sockaddr*)&sa, &len) != 0) return 0;
    return socketControl->fn.ntohs(sa.sin_port);
}

int WINSOCKLINK::TCPGetRemoteAddress(const BUFFER& out) {
    if (!LibraryLoaded() || !socket) return 0;
    sockaddr_in sa = {};
    int len = sizeof(sa);
    if (socketControl->fn.getpeername(socket, (sockaddr*)&sa, &len) != 0 || sa.sin_addr.s_addr == k.noAddress)
        return 0;
    return TCPCvtAddress(sa.sin_addr.s_addr, out);
}

unsigned short WINSOCKLINK::TCPServiceLookup(const char* name) {
    if (!LibraryLoaded() || !name) return 0;
    servent* s = socketControl->fn.getservbyname(name, nullptr);
    return s ? socketControl->fn.ntohs((u_short)s->s_port) : 0;
}

int WINSOCKLINK::GetLocalName(const BUFFER& out, BBOOL, BBOOL mailForm) {
    if (!out.data || out.length <= 0) return 0;
    out.data[0] = 0;
    if (!LibraryLoaded() || socketControl->fn.gethostname(out.data, (int)out.length) != 0) {
        out.data[0] = 0;
        return 0;
    }
    out.data[out.length - 1] = 0;
    if (mailForm && !strchr(out.data, '@')) {
        char* dot = strchr(out.data, '.');
        if (dot && strchr(dot + 1, '.')) *dot = '@';
    }
    return (int)strlen(out.data);
}

// ---- socket calls --------------------------------------------------------

BBOOL WINSOCKLINK::TCPSetBlockingMode(BBOOL on) {
    if (!LibraryLoaded() || !socket) return 0;
    u_long nonBlocking = on ? 0 : 1;
    int rc = socketControl->fn.ioctlsocket(socket, FIONBIO, &nonBlocking);
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpii", "TCPSetBlockingMode", this, (int)on, rc);
    return rc == 0;
}

QVSOCKET WINSOCKLINK::TCPSocketAccept(int) {
    if (!LibraryLoaded()) return k.invalidSocket;
    sockaddr_in sa = {};
    int len = sizeof(sa);
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cp", "accept", this);
    SOCKET s = socketControl->fn.accept(socket, (sockaddr*)&sa, &len);
    acceptedPeerAddress = len > 0 ? sa.sin_addr.s_addr : k.noAddress;
    acceptedPeerPort = len > 0 ? socketControl->fn.ntohs(sa.sin_port) : 0;
    if (s != INVALID_SOCKET) {
        BOOL on = 1;
        socketControl->fn.setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, (const char*)&on, sizeof(on));
    }
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpp", "accepted", this, (void*)s);
    return (QVSOCKET)s;
}

BBOOL WINSOCKLINK::TCPSocketBind(unsigned short at, unsigned long address) {
    if (!LibraryLoaded()) return 0;
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = socketControl->fn.htons(at);
    sa.sin_addr.s_addr = address;
    int rc = socketControl->fn.bind(socket, (sockaddr*)&sa, sizeof(sa));
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpii", "bind", this, (int)at, rc);
    return rc == 0;
}

void WINSOCKLINK::CancelLookup() {
    if (lookupRequest) {
        lookupRequest->CancelRequest();
        lookupRequest = nullptr;
    }
}

void WINSOCKLINK::TCPSocketClose(QVSOCKET s) {
    if (!LibraryLoaded()) return;
    CancelLookup();
    int rc = socketControl->fn.closesocket((SOCKET)s);
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cppi", "closesocket", this, (void*)s, rc);
}

BBOOL WINSOCKLINK::TCPSocketConnect(unsigned long address) {
    if (!LibraryLoaded()) return 0;
    WINSOCKFUNCTIONS& f = socketControl->fn;
    BOOL on = 1;
    f.setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, (const char*)&on, sizeof(on));
    // Framed links here are the wake-up pair: a 4-byte frame must not wait for the last one's ack.
    if (framed) f.setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, (const char*)&on, sizeof(on));
    if (TcpInterface() && TcpInterface()->address) f.setsockopt(socket, SOL_SOCKET, SO_DONTROUTE, (const char*)&on, sizeof(on));
    BBOOL hook = blocking && (socketControl->useBlockingHook ||
                              (_pSupport && PGMTHREAD::GetCurrentID() == _pSupport->mainThread.threadId));
    if (hook) f.WSASetBlockingHook(WinSockBlockingHook);
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = f.htons(port);
    sa.sin_addr.s_addr = address;
    int rc = f.connect(socket, (sockaddr*)&sa, sizeof(sa));
    if (rc != 0) savedError = f.WSAGetLastError();
    if (hook) f.WSAUnhookBlockingHook();
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpii", "connect", this, (int)port, rc);
    return rc == 0;
}

BBOOL WINSOCKLINK::TCPSocketListen() {
    if (!LibraryLoaded()) return 0;
    int backlog = 1;
    if (secondaryLimit > 0 && inbound) {
        backlog = secondaryLimit < tcpControl->listenBacklog ? secondaryLimit : tcpControl->listenBacklog;
        if (backlog > 5) backlog = 5;
        if (backlog < 1) backlog = 1;
    }
    int rc = socketControl->fn.listen(socket, backlog);
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpii", "listen", this, backlog, rc);
    return rc == 0;
}

QVSOCKET WINSOCKLINK::TCPSocketOpen(BBOOL reuseAddress, int) {
    if (!LibraryLoaded()) return k.invalidSocket;
    SOCKET s = socketControl->fn.socket(AF_INET, SOCK_STREAM, 0);
    if (s != INVALID_SOCKET && reuseAddress) {
        BOOL on = 1;
        socketControl->fn.setsockopt(s, SOL_SOCKET, SO_REUSEADDR, (const char*)&on, sizeof(on));
    }
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpp", "socket", this, (void*)s);
    return (QVSOCKET)s;
}

int WINSOCKLINK::TCPSocketReceive(unsigned char* at, int length, BBOOL peek) {
    if (!LibraryLoaded()) return k.socketError;
    // Windows 95's stack is given one page at a time, each page touched first so that it is
    // present and writable; elsewhere every page is touched and the range goes in one call,
    // since a call per page would cap a stream at a few megabytes a second.
    BBOOL pageByPage = _SystemIsWindows95 != 0;
    int total = 0;
    int last = 1;
    while (length > 0 && last > 0) {
        int chunk = PageRoom(at);
        if (chunk > length || !pageByPage) chunk = length;
        TouchPages(at, chunk);
        last = socketControl->fn.recv(socket, (char*)at, chunk, peek ? MSG_PEEK : 0);
        if (last <= 0) break;
        QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpi", "TCPrecv", this, last);
        TouchPages(at, 1);
        total += last;
        at += last;
        length -= last;
        if (last < chunk || peek) break;
    }
    return total > 0 ? total : last;
}

int WINSOCKLINK::TCPSocketSend(unsigned char* at, int length) {
    if (!LibraryLoaded()) return k.socketError;
    return socketControl->fn.send(socket, (const char*)at, length, 0);
}

BBOOL WINSOCKLINK::TCPSocketShutdown(QVSOCKET s, BBOOL closing) {
    if (!LibraryLoaded()) return 0;
    BBOOL abortive = reset || refused || aborted;
    BBOOL win95 = _SystemIsWindows95 && socketControl->win95Shutdown;
    CancelLookup();
    int rc = 0;
    if (closing) {
        if (abortive && !win95) {
            linger l = {1, 0};  // closesocket then resets the connection
            socketControl->fn.setsockopt((SOCKET)s, SOL_SOCKET, SO_LINGER, (const char*)&l, sizeof(l));
        }
    } else {
        rc = socketControl->fn.shutdown((SOCKET)s, !abortive ? 1 : (win95 ? 2 : 0));
    }
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cppi", "shutdown", this, (void*)s, (int)abortive);
    return rc == 0;
}

int WINSOCKLINK::TCPSocketStatus() {
    if (!socket || !LibraryLoaded()) return 0;
    WINSOCKFUNCTIONS& f = socketControl->fn;
    WINSOCKSET set;
    set.count = 1;
    set.sockets[0] = socket;
    timeval poll = {0, 0};
    int n = f.select(0, nullptr, nullptr, reinterpret_cast<fd_set*>(&set), &poll);
    int code = 0;
    if (n < 0) {
        code = systemError = f.WSAGetLastError();
    } else if (n > 0 && set.count > 0) {
        if (connectPending) {
            // A pending connect flagged in the error set has failed; its own error says why.
            int e = 0;
            int len = sizeof(e);
            if (f.getsockopt(socket, SOL_SOCKET, SO_ERROR, (char*)&e, &len) != 0) e = 0;
            code = e ? e : k.errTimedOut;
        } else {
            char oob[256];
            int r = f.recv(socket, oob, sizeof(oob), MSG_OOB);
            QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpi", "OOB-DATA", this, r);
            if (r == 0)
                code = k.errNotConnected;
            else if (r < 0)
                code = f.WSAGetLastError();
        }
        if (code) systemError = code;
    }
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpi", "TCPSocketStatus", this, code);
    return code;
}

// ---- look-ups ------------------------------------------------------------

void WINSOCKLINK::ProcessHostName(const char* name, unsigned long address, int lookupError) {
    lookupRequest = nullptr;
    if (lookupError == ErrorTryAgain && ++lookupRetries < 3) {
        lookupRequest = socketControl->StartHostLookup(*this, name);
        if (lookupRequest) return;
    }
    lookupPending = 0;
    lookupDone = 1;
    if (lookupError == 0 && address != k.noAddress) {
        remoteAddress = address;
        connectLink();
        if (error && checkLinkError(0)) NotifyMonitor();
    } else {
        error = k.errHostNotFound;
        systemError = lookupError;
        closed = 1;
        connected = 0;
        connectPending = 0;
    }
    NotifyMonitor();
    PostWake();
}

INT_PTR WINAPI WINSOCKLINK::WinSockBlockingHook() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return FALSE;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return TRUE;
}
