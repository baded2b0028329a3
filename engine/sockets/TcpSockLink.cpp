#include "TcpSockLink.h"
#include "RequestMonitor.h"
#include "EngineTrace.h"
#include <cctype>
#include <cstring>
#include <vector>

TCPSOCKLINK::TCPSOCKLINK(TCPCONTROL& ctl, LINKTYPE type, int limit)
    : COMMLINK(type, &ctl, 1), socket(0), acceptedSocket(0), keptListeningSocket(0), port(0), localPort(0),
      remoteAddress(0), acceptedPeerAddress(0), acceptedPeerPort(0), lengthPrefix{0, 0, 0, 0}, prefixCount(0), sendBlocking(1),
      monitored(0), framed(0), waiting(0), wakeAsked(0), idle(0), idleWake(accepting), counted(0), listening(0),
      sendIncomplete(0), linkMonitor(nullptr),
      tcpControl(&ctl), parent(nullptr), wakeSender(nullptr), wakeReceiver(nullptr), interfaceNode(nullptr),
      ownerNode(nullptr), secondaries(0), k(), readyEvent('n'), receiveFilled(0), starved(0) {
    secondaryLimit = limit;
    blocking = 1;
    secondaries.lock.Attach(&lock);  // always used under the link's lock: the same lock
}

TCPSOCKLINK::TCPSOCKLINK(TCPSOCKLINK& primary, LINKTYPE type)
    : COMMLINK(type, primary.tcpControl, 1), socket(primary.acceptedSocket), acceptedSocket(0),
      keptListeningSocket(0), port(primary.port), localPort(0), remoteAddress(primary.acceptedPeerAddress),
      acceptedPeerAddress(0), acceptedPeerPort(0), lengthPrefix{0, 0, 0, 0}, prefixCount(0), sendBlocking(1),
      monitored(primary.monitored), framed(0), waiting(0), wakeAsked(0), idle(0), idleWake(FALSE), counted(0),
      listening(0), sendIncomplete(0),
      linkMonitor(nullptr), tcpControl(primary.tcpControl), parent(&primary), wakeSender(nullptr),
      wakeReceiver(nullptr), interfaceNode(nullptr), ownerNode(nullptr), secondaries(0), k(primary.k), readyEvent('n'),
      receiveFilled(0), starved(0) {
    wakeEvent = primary.wakeEvent;
    secondaryLimit = 0;
    blocking = 1;
    secondaries.lock.Attach(&lock);
}

TCPSOCKLINK::~TCPSOCKLINK() {
    // The concrete class has closed the socket; what is left is the bookkeeping.
    Detach();
    COMMLINK::CloseLink(1);
}

void TCPSOCKLINK::Detach() {
    SetTCPInterface(nullptr);
    if (parent) {
        TCPSOCKLINK* p = parent;
        MSEMHOLD hold(p->lock);
        if (ownerNode && !p->secondaries.removingAll && ownerNode->linked) p->secondaries.bRemove(*ownerNode, 1);
        ownerNode = nullptr;
        parent = nullptr;
        return;
    }
    // A primary: its secondaries live on without it; those no connection owns go with it.
    std::vector<TCPSOCKLINK*> orphans;
    {
        MSEMHOLD hold(lock);
        for (bSPOINTER* c = secondaries.first; c->target; c = c->next) {
            TCPSOCKLINK* s = static_cast<TCPSOCKLINK*>(c->target);
            s->parent = nullptr;
            s->ownerNode = nullptr;
            if (!s->owner) orphans.push_back(s);
        }
        secondaries.RemoveAll(0, nullptr);
    }
    for (TCPSOCKLINK* s : orphans) s->freeobj();
    if (ownerNode) {
        CHAIN<TCPSOCKLINK>& aux = tcpControl->auxPorts;
        MSEMHOLD hold(aux.lock);
        if (!aux.removingAll && ownerNode->linked) aux.bRemove(*ownerNode, 1);
        ownerNode = nullptr;
    }
    if (tcpControl->mainListeningLink == this) tcpControl->mainListeningLink = nullptr;
}

int TCPSOCKLINK::BeginAccess() {
    TCPSOCKLINK* p = parent ? parent : this;
    p->lock.Reserve(QV_WAIT_FOREVER, 0);
    return 0;
}

void TCPSOCKLINK::EndAccess() {
    if (!parent) lock.Release(0);
}

// ---- opening -------------------------------------------------------------

int TCPSOCKLINK::OpenLink(const char* address, BUFFERPOOL* bufferPool, int limit) {
    // Stream-mode links take the large buffers; their secondaries inherit the pool.
    if (!bufferPool && !InMessageMode() && !messageMode) bufferPool = _pTCPStreamPool;
    COMMLINK::OpenLink(address, bufferPool, limit);
    int bufferSize = pool ? (int)pool->bufferSize : 4096;
    if (!accepting) {
        socket = TCPSocketOpen(0, bufferSize);
        if (socket == k.invalidSocket) {
            socket = 0;
            error = TCPGetLastError();
        } else {
            open = 1;
            refused = 0;
            TCPSetBlockingMode(blocking);
            TCPINTERFACE* i = TcpInterface();
            unsigned long at = i ? i->ResolveAddress(this) : 0;
            if ((at && at != k.noAddress) || localPort) {
                if (!TCPSocketBind(localPort, at && at != k.noAddress ? at : k.anyAddress)) error = TCPGetLastError();
            }
            remoteAddress = k.noAddress;
            if (address && *address && !error) remoteAddress = TCPGetAddress(address, TCPCONTROL::UseAsyncDNS);
            if (remoteAddress == k.noAddress) {
                if (lookupPending)
                    connectPending = 1;  // connected when the look-up answers
                else if (!error)
                    error = k.errHostNotFound;
            } else if (!error) {
                connectLink();
            }
        }
    } else {
        socket = TCPSocketOpen(1, bufferSize);
        if (socket == k.invalidSocket) {
            socket = 0;
            error = TCPGetLastError();
        } else {
            open = 1;
            SetBlocking(0, 0);
            if (!TCPSocketBind(port, k.anyAddress)) {
                error = TCPGetLastError();
            } else {
                if (port == 0) port = TCPGetLocalPort();
                if (!TCPSocketListen()) {
                    error = TCPGetLastError();
                } else {
                    connectPending = 1;
                    listening = 1;
                }
            }
        }
        remoteAddress = k.noAddress;
        if (secondaryLimit == 0 && address && *address) remoteAddress = TCPGetAddress(address, 0);
        // The wake receiver takes one slot: a limit of 1 would leave a port that serves nobody.
        if (!error && secondaryLimit == 1) {
            error = 10022;
            QV_COMM_TRACE("cpi", "Secondary Limit Too Small", this, secondaryLimit);
        }
        if (!error && secondaryLimit > 0) {
            wakeSender = CreatePrimaryLink(LINK_SERVER_CONNECT, 1);
            if (wakeSender) {
                wakeSender->framed = 1;
                wakeSender->SetBlocking(1, 0);
                wakeSender->port = port;
                char self[16] = "127.0.0.1";
                if (!TCPCONTROL::UseLocalLoop) TCPGetLocalAddress(BUFFER(self, sizeof(self)));
                if (wakeSender->OpenLink(self, pool, 1) != 0) {
                    wakeSender->freeobj();
                    wakeSender = nullptr;
                }
            }
            if (!wakeSender) error = ErrorCannotOpen;
        }
    }
    connected = error == 0 && !connectPending;
    return error;
}

int TCPSOCKLINK::connectLink() {
    if (!TCPSocketConnect(remoteAddress)) {
        error = TCPGetLastError();
        if (error == k.errConnectionRefused) refused = 1;
        if (error == k.errConnectInProgress) {
            connectPending = 1;
            error = 0;
        }
    }
    return error;
}

// ---- accepting -----------------------------------------------------------

BBOOL TCPSOCKLINK::IsWakeConnection() {
    // The wake sender's own end, seen from here, is the accepted peer's address and port.
    if (!wakeSender || wakeReceiver || acceptedPeerPort == 0) return 0;
    return acceptedPeerPort == wakeSender->TCPGetLocalPort() &&
           acceptedPeerAddress == wakeSender->TCPGetLocalTCPAddr(1);
}

TCPSOCKLINK* TCPSOCKLINK::AcceptConnection(int unused) {
    acceptedSocket = TCPSocketAccept(unused);
    if (acceptedSocket == k.invalidSocket) {
        acceptedSocket = 0;
        error = TCPGetLastError();
        if (error == k.errWouldBlock) error = 0;
        return nullptr;
    }
    if (secondaryLimit == 0) {
        if (remoteAddress == k.noAddress || remoteAddress == acceptedPeerAddress) {
            listening = 0;
            connectPending = 0;
            connected = 1;
            keptListeningSocket = socket;
            socket = acceptedSocket;
            acceptedSocket = 0;
            return this;
        }
        TCPSocketClose(acceptedSocket);
        acceptedSocket = 0;
        closed = 1;
        refused = 1;
        peerClosed = 0;
        return nullptr;
    }
    BBOOL wake = IsWakeConnection();
    TCPSOCKLINK* s = CreateSecondaryLink(LINK_CLIENT_LISTEN);
    if (!s) {
        TCPSocketShutdown(acceptedSocket, 1);
        TCPSocketClose(acceptedSocket);
        acceptedSocket = 0;
        return nullptr;
    }
    acceptedSocket = 0;
    s->SetBlocking(0, 0);
    s->COMMLINK::OpenLink(nullptr, pool, queueLimit);
    s->connected = 1;
    if (wake) {
        wakeReceiver = s;
        s->framed = 1;
        return nullptr;
    }
    s->counted = 1;
    InterlockedIncrement(&tcpControl->connectionCount);
    return s;
}

TCPSOCKLINK* TCPSOCKLINK::CreateAuxPort() {
    MSEMHOLD hold(lock);
    TCPSOCKLINK* aux = CreatePrimaryLink(inbound ? LINK_CLIENT_LISTEN : LINK_SERVER_LISTEN, secondaryLimit);
    if (!aux) return nullptr;
    aux->ownerNode = &tcpControl->auxPorts.Add(*aux);
    aux->port = 0;
    if (aux->OpenLink(nullptr, pool, queueLimit) != 0) {
        aux->CloseLink(1);
        aux->freeobj();
        return nullptr;
    }
    return aux;
}

// ---- receiving -----------------------------------------------------------

int TCPSOCKLINK::receiveData(unsigned char* at, int length, BBOOL peek, BBOOL toggle) {
    BBOOL switched = toggle && blocking;
    if (switched) TCPSetBlockingMode(0);
    int n = TCPSocketReceive(at, length, peek);
    int result = n;
    if (n == 0) {
        if (!shutdownRequested && connected) {
            error = 0;
            peerClosed = 1;
        } else {
            error = k.errNotConnected;
        }
        closed = 1;
        connected = 0;
        result = -1;
    } else if (n == k.socketError) {
        int e = TCPGetLastError();
        if (e == k.errWouldBlock) {
            result = 0;
        } else {
            error = e;
            result = -1;
        }
    }
    if (switched) TCPSetBlockingMode(1);
    if (error && checkLinkError(1)) NotifyMonitor();
    if (result > 0 && !peek) {
        if (TCPINTERFACE* i = TcpInterface()) {
            i->active = 1;
            InterlockedExchangeAdd(&i->bytesReceived, result);
        }
        QV_TRACE(TRACE_COMM, TRACE_COMM_RECEIVE, "pi", this, result);
    }
    return result;
}

BBOOL TCPSOCKLINK::checkLinkError(BBOOL receiving) {
    if (!error || closed) return 0;
    if (error == k.errConnectionRefused) {
        refused = 1;
        closed = 1;
    } else if (error == k.errConnectionReset) {
        closed = 1;
        if (receiving && shutdownRequested)
            error = 0;  // the peer's reset after our own shutdown is no error
        else
            reset = 1;
    } else if (error == k.errNotConnected) {
        error = 0;
        closed = 1;
    } else if (error == k.errTimedOut || error == k.errHostNotFound) {
        closed = 1;
    } else {
        dataPending = 1;  // the monitor looks at the link
    }
    connected = 0;
    return 1;
}

BBOOL TCPSOCKLINK::ReceiveFramePrefix() {
    if (prefixCount < 4) {
        int n = receiveData(lengthPrefix + prefixCount, 4 - prefixCount, 0, 1);
        if (n < 0) return 0;
        prefixCount += n;
        if (prefixCount < 4) return 1;
    }
    unsigned long length = ReadFrameLength((const char*)lengthPrefix);
    if (length == 0) {
        prefixCount = 0;  // an empty frame: the wake-up, or nothing to deliver
        return 1;
    }
    if (length > (unsigned long)maxMessage || (long)length > pool->bufferSize - 4) {
        error = ErrorMessageTooLong;
        closed = 1;
        connected = 0;
        return 0;
    }
    IOBUFFER* b = pool->GetBuffer(0);
    starved = !b;
    if (!b) return 1;  // the prefix is kept; tried again after a while
    PrepareForFilling(b, (int)length + 4);
    memcpy(b->cursor.data, lengthPrefix, 4);  // the prefix stays as it came
    b->cursor.data += 4;
    b->cursor.length -= 4;
    currentRecvBuffer = b;
    return 1;
}

BBOOL TCPSOCKLINK::ReceiveMonitor() {
    dataPending = 0;
    receiveFilled = 0;
    BBOOL handler = control->streamHandler && !framed;
    if (closed) {
        if (!handler || !currentRecvBuffer || framed || shutdownRequested) {
            if (IOBUFFER* last = recvQueue.Last()) last->incomplete = 0;
            return 0;
        }
    } else {
        if (!currentRecvBuffer) {
            if (!handler) {
                if (!ReceiveFramePrefix()) return 0;
            } else {
                IOBUFFER* b = pool->GetBuffer(0);
                starved = !b;
                if (b) {
                    PrepareForFilling(b, (int)b->capacity);
                    currentRecvBuffer = b;
                }
            }
        }
        if (!currentRecvBuffer) return 1;
        IOBUFFER* b = currentRecvBuffer;
        int want = (int)b->cursor.length;
        int n = receiveData((unsigned char*)b->cursor.data, want, 0, 1);
        receiveFilled = n > 0 && n == want;
        if (n < 0) {
            return 0;  // bytes in hand reach a stream handler once the closed link is served
        } else if (framed || shutdownRequested) {
            b->cursor.data = b->area.data;
            b->cursor.length = b->capacity;
            return 1;
        } else {
            b->cursor.data += n;
            b->cursor.length -= n;
            if (n == 0 && b->cursor.data == b->area.data) return 1;
        }
    }
    IOBUFFER* b = currentRecvBuffer;
    BBOOL complete = b->cursor.length == 0;
    if (handler) {
        complete = control->streamHandler(this, b);
        if (!complete && b->cursor.length == 0) {
            b->incomplete = 1;  // full: the message goes on in the next buffer
            complete = 1;
        }
        if (closed && !complete) complete = 1;  // nothing more will come for it
    }
    if (complete) {
        long filled = (long)(b->cursor.data - b->area.data);
        b->cursor.data = b->area.data;
        b->cursor.length = filled;
        recvQueue.Add(*b);
        InterlockedIncrement(&receivedCount);
        currentRecvBuffer = nextRecvBuffer;
        nextRecvBuffer = nullptr;
        prefixCount = 0;
        if (currentRecvBuffer) dataPending = 1;
    }
    return closed ? 0 : 1;
}

BBOOL TCPSOCKLINK::ReceiveWakeFrames() {
    unsigned char frames[256];
    return receiveData(frames, sizeof frames, 0, 1) >= 0;
}

// ---- sending -------------------------------------------------------------

// Sends from the current buffer; 1 when it went out whole, 0 when the pump stops here.
BBOOL TCPSOCKLINK::SendCurrent() {
    IOBUFFER* b = currentSendBuffer;
    int want = (int)b->cursor.length;
    if (tcpControl->maxSendSize > 0 && want > tcpControl->maxSendSize) want = tcpControl->maxSendSize;
    if (want <= 0) {  // an empty buffer (an end-of-stream marker passed on) sends nothing
        ReturnBuffer(currentSendBuffer);
        InterlockedDecrement(&queuedForSending);
        InterlockedIncrement(&sentCount);
        return 1;
    }
    BBOOL toBlocking = sendBlocking && !blocking;
    BBOOL toNonBlocking = !sendBlocking && blocking;
    if (toBlocking) TCPSetBlockingMode(1);
    if (toNonBlocking) TCPSetBlockingMode(0);
    int n = TCPSocketSend((unsigned char*)b->cursor.data, want);
    int e = 0;
    if (n == k.socketError) e = TCPGetLastError();
    if (toBlocking) TCPSetBlockingMode(0);
    if (toNonBlocking) TCPSetBlockingMode(1);
    if (n == k.socketError) {
        if (e != k.errWouldBlock) {
            error = e;
            if (checkLinkError(0)) NotifyMonitor();
            return 0;
        }
        n = 0;
    } else if (n > 0) {
        if (TCPINTERFACE* i = TcpInterface()) {
            i->active = 1;
            InterlockedExchangeAdd(&i->bytesSent, n);
        }
    }
    b->cursor.data += n;
    b->cursor.length -= n;
    if (b->cursor.length > 0) {
        sendIncomplete = 1;
        NotifyMonitor();  // the readiness wait resumes the pump once the socket takes more
        return 0;
    }
    ReturnBuffer(currentSendBuffer);
    InterlockedDecrement(&queuedForSending);
    InterlockedIncrement(&sentCount);
    return 1;
}

BBOOL TCPSOCKLINK::QuerySendStatus(BBOOL useVirtual) {
    if (shutdownRequested) return 0;
    MSEMHOLD hold(lock);
    sendIncomplete = 0;
    BBOOL status = useVirtual ? QueryLinkStatus() : COMMLINK::QueryLinkStatus();
    while (sendActive && status) {
        if (currentSendBuffer && !SendCurrent()) return 0;
        // Message-mode buffers already hold their length most significant byte first.
        currentSendBuffer = sendQueue.RemoveFirst();
        if (!currentSendBuffer) {
            sendActive = 0;
            break;
        }
        sendActive = 1;
        if (control->sendDrainedHook && sendQueue.count == 0) control->sendDrainedHook(this);
    }
    return status;
}

BBOOL TCPSOCKLINK::SendNotify() {
    if (sendQueue.count > 0 && !shutdownRequested && !(sendActive && sendIncomplete)) {
        sendActive = 1;
        // A monitored link's failures show in its readiness wait and in the send
        // itself: no status look of its own first.
        QuerySendStatus(!monitored);
    }
    return error != 0;
}

void TCPSOCKLINK::NotifyMonitor() {
    TCPSOCKLINK* p = parent ? parent : this;
    TCPSOCKLINK* w = p->wakeSender;
    // Asked first: a monitor just about to wait sees it and does not start waiting.
    InterlockedExchange(&p->wakeAsked, 1);
    if (InterlockedCompareExchange(&p->idle, 0, 0)) p->idleWake.PostEvent();
    if (p->waiting && w && w->open && w->connected && !w->closed) {
        unsigned char frame[4] = {0, 0, 0, 0};
        w->TCPSocketSend(frame, 4);
    }
}

// ---- status --------------------------------------------------------------

BBOOL TCPSOCKLINK::QueryLinkStatus(void* p) {
    if (!open) return 0;
    if (!closed && (connected || connectPending)) {
        error = TCPSocketStatus();
        if (error == k.errWouldBlock) error = 0;
        if (checkLinkError(0)) NotifyMonitor();
    }
    return COMMLINK::QueryLinkStatus(p);
}

BBOOL TCPSOCKLINK::QueryRecvStatus() {
    if (connected && !monitored) {
        if (!QueryLinkStatus()) return 0;
        if (!ReceiveMonitor()) return 0;
    }
    return recvQueue.count > 0;
}

BBOOL TCPSOCKLINK::WaitMessage() {
    if (recvQueue.count > 0) return 1;
    BBOOL wasBlocking = blocking;
    if (!wasBlocking) TCPSetBlockingMode(1);
    BBOOL status = 0;
    unsigned char one;
    while (!(status = QueryRecvStatus()) && connected && error == 0) receiveData(&one, 1, 1, 0);
    if (!wasBlocking) TCPSetBlockingMode(0);
    return status;
}

void TCPSOCKLINK::SetBlocking(BBOOL block, int timeOut) {
    COMMLINK::SetBlocking(block, timeOut);
    if (open) TCPSetBlockingMode(block);
}

void TCPSOCKLINK::StartReceiving() {
    if (!receivingStopped) return;
    receivingStopped = 0;
    NotifyMonitor();
}

// ---- ending --------------------------------------------------------------

int TCPSOCKLINK::Shutdown(BBOOL force) {
    if (!accepting || parent) {
        if (connected && !closed) {
            shutdownRequested = 1;
            if (TCPSocketShutdown(socket, 0)) {
                StartReceiving();
                return 1;
            }
            closed = 1;
            peerClosed = 0;
            NotifyMonitor();
        }
        return 0;
    }
    if (monitored && (!shutdownRequested || force)) {
        shutdownRequested = 1;
        NotifyMonitor();
        return 1;
    }
    return 0;
}

void TCPSOCKLINK::CloseLink(BBOOL freeBuffers) {
    if (wakeSender) {
        TCPSOCKLINK* w = wakeSender;
        wakeSender = nullptr;
        w->CloseLink(1);
        w->freeobj();
    }
    if (accepting) closeSecondaries();
    wakeReceiver = nullptr;
    if (open && socket) {
        open = 0;
        if (connected || connectPending || lookupPending || peerClosed) {
            listening = 0;
            connectPending = 0;
            connected = 0;
            // A shutdown that ended in order closes gracefully; anything else is prepared to reset.
            if (!(shutdownRequested && !aborted && !reset && !refused)) TCPSocketShutdown(socket, 1);
        }
        TCPSocketClose(socket);
        socket = 0;
    }
    if (keptListeningSocket) {
        TCPSocketClose(keptListeningSocket);
        keptListeningSocket = 0;
    }
    if (counted) {
        counted = 0;
        InterlockedDecrement(&tcpControl->connectionCount);
    }
    listening = 0;
    SetTCPInterface(nullptr);
    COMMLINK::CloseLink(freeBuffers);
}

void TCPSOCKLINK::closeSecondaries() {
    std::vector<TCPSOCKLINK*> all;
    {
        MSEMHOLD hold(lock);
        for (bSPOINTER* c = secondaries.first; c->target; c = c->next) {
            TCPSOCKLINK* s = static_cast<TCPSOCKLINK*>(c->target);
            s->prepare();
            all.push_back(s);
        }
    }
    for (TCPSOCKLINK* s : all) {
        s->CloseLink(1);
        s->freeobj();
    }
}

BBOOL TCPSOCKLINK::IsResetable() { return resetable && keptListeningSocket && socket && !aborted; }

int TCPSOCKLINK::ResetLink() {
    if (!IsResetable()) return ErrorCannotOpen;
    TCPSocketClose(socket);
    socket = keptListeningSocket;
    keptListeningSocket = 0;
    listening = 1;
    connectPending = 1;
    connected = 0;
    closed = 0;
    peerClosed = 0;
    closeHandled = 0;
    dataPending = 0;
    error = 0;
    NotifyMonitor();  // its readiness wait had nothing to watch until now
    return 0;
}

// ---- settings ------------------------------------------------------------

BBOOL TCPSOCKLINK::SetPort(const char* text, BBOOL local) {
    unsigned long value = 0;
    BBOOL numeric = text && *text;
    for (const char* c = text; numeric && *c; c++) {
        if (!isdigit((unsigned char)*c) || value >= 65536) numeric = 0;
        else value = value * 10 + (unsigned long)(*c - '0');
    }
    if (numeric && value >= 65536) numeric = 0;
    unsigned short result = numeric ? (unsigned short)value : 0;
    if (!numeric && text && *text) {
        char name[64];
        size_t n = strnlen(text, sizeof(name) - 1);
        memcpy(name, text, n);
        name[n] = 0;
        result = TCPServiceLookup(name);
        for (int pass = 0; pass < 2 && result == 0; pass++) {
            for (size_t i = 0; i < n; i++)
                name[i] = (char)(pass == 0 ? tolower((unsigned char)name[i]) : toupper((unsigned char)name[i]));
            result = TCPServiceLookup(name);
        }
    }
    if (!numeric && result == 0) result = tcpControl->defaultPort;
    if (local)
        localPort = result;
    else
        port = result;
    return result != 0;
}

void TCPSOCKLINK::SetTCPInterface(TCPINTERFACE* i) {
    if (TCPINTERFACE* old = TcpInterface()) {
        MSEMHOLD hold(old->links.lock);
        if (interfaceNode && !old->links.removingAll && interfaceNode->linked) old->links.bRemove(*interfaceNode, 1);
    }
    interfaceNode = nullptr;
    netInterface = i;
    if (i) interfaceNode = &i->links.Add(*this);
}

int TCPSOCKLINK::GetInterfaceAddress(const BUFFER& out) {
    TCPINTERFACE* i = TcpInterface();
    if (!i || !i->ResolveAddress(this)) {
        if (out.data && out.length > 0) out.data[0] = 0;
        return 0;
    }
    return TCPCvtAddress(i->address, out);
}

TCPSOCKLINK* TCPSOCKLINK::FindSecondary(QVSOCKET s) {
    MSEMHOLD hold(lock);
    for (bSPOINTER* c = secondaries.first; c->target; c = c->next)
        if (static_cast<TCPSOCKLINK*>(c->target)->socket == s) return static_cast<TCPSOCKLINK*>(c->target);
    return nullptr;
}
