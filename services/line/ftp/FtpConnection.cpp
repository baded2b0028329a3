#include "FtpConnection.h"

#include "DataRequest.h"
#include "TcpInterface.h"

FTPCONNECTION::FTPCONNECTION(APPDEFINITION* d, LINKCONTROL& control, const char* host, const char* port,
                             const char* linkType)
    : TELCONNECTION(d, control, host, port, linkType), isData(0), retrieval(0), getRequest(nullptr), transferActive(0),
      dataConnected(0), portHost{}, portNumber(0), portPending(0), loginLine{}, loginPending(0),
      discardingReply(0), inMultiLine(0), lineStartCount(0), lineStart{}, multiLineEnd{}, pendingCommand(nullptr),
      dataPartner(nullptr), interfaceHeld(0), heldInterface(nullptr) {
    fixedRelay = TRUE;  // an FTP control connection reads commands for its whole life
    lineTerminator = '\n';
    secondTerminator = 0;
}

FTPCONNECTION::FTPCONNECTION(const FTPCONNECTION& other, BBOOL recordParent, BBOOL internal, BBOOL data)
    : BASEITEM(), TELCONNECTION(other, recordParent, internal), isData(data), retrieval(other.retrieval), getRequest(nullptr),
      transferActive(0), dataConnected(0), portHost{}, portNumber(0), portPending(0), loginLine{},
      loginPending(0), discardingReply(0), inMultiLine(0), lineStartCount(0), lineStart{}, multiLineEnd{},
      pendingCommand(nullptr), dataPartner(nullptr), interfaceHeld(0), heldInterface(nullptr) {
    fixedRelay = TRUE;
    if (isData) relayMode = TRUE;
}

FTPCONNECTION::~FTPCONNECTION() {
    IdleInterface(FALSE);
    if (pendingCommand) pendingCommand->FreeRequest(FALSE);
    pendingCommand = nullptr;
}

CRITICAL_SECTION& FTPCONNECTION::DataLock() {
    struct LOCK {
        CRITICAL_SECTION cs;
        LOCK() { InitializeCriticalSection(&cs); }
    };
    static LOCK lock;
    return lock.cs;
}

long FTPCONNECTION::GetResultCount() {
    if (isData) return receivedBytes;
    FTPCONNECTION* d = AcquireData();
    long n = d ? d->receivedBytes : 0;
    if (d) d->freeobj();
    return n;
}

void FTPCONNECTION::LinkData(FTPCONNECTION* control, FTPCONNECTION* data) {
    if (!control || !data) return;
    data->prepare();
    EnterCriticalSection(&DataLock());
    FTPCONNECTION* old = control->dataPartner;
    control->dataPartner = data;
    data->dataPartner = control;
    if (old && old->dataPartner == control) old->dataPartner = nullptr;
    LeaveCriticalSection(&DataLock());
    if (old) old->freeobj();
    control->IdleInterface(TRUE);
}

FTPCONNECTION* FTPCONNECTION::AcquireData() {
    EnterCriticalSection(&DataLock());
    FTPCONNECTION* d = isData ? nullptr : dataPartner;
    if (d) d->prepare();
    LeaveCriticalSection(&DataLock());
    return d;
}

FTPCONNECTION* FTPCONNECTION::AcquireControl() {
    EnterCriticalSection(&DataLock());
    FTPCONNECTION* c = isData ? dataPartner : nullptr;
    if (c) c->prepare();
    LeaveCriticalSection(&DataLock());
    return c;
}

void FTPCONNECTION::DropData(BBOOL abort) {
    EnterCriticalSection(&DataLock());
    FTPCONNECTION* d = isData ? nullptr : dataPartner;
    if (d) {
        dataPartner = nullptr;
        if (d->dataPartner == this) d->dataPartner = nullptr;
    }
    LeaveCriticalSection(&DataLock());
    IdleInterface(FALSE);
    if (!d) return;
    if (d->link && !d->link->closed)
        d->SetDropRequested(TRUE, abort);
    if (TELCONNECTION* peer = d->Unpair()) {
        peer->SetDropRequested(TRUE, abort);
        peer->freeobj();
    }
    d->freeobj();
}

void FTPCONNECTION::LeaveControl() {
    EnterCriticalSection(&DataLock());
    FTPCONNECTION* c = isData ? dataPartner : nullptr;
    FTPCONNECTION* released = nullptr;
    dataPartner = nullptr;
    if (c && c->dataPartner == this) {
        c->dataPartner = nullptr;
        released = this;
    }
    LeaveCriticalSection(&DataLock());
    if (c && released) c->IdleInterface(FALSE);
    if (released) released->freeobj();  // the control's reference
}

void FTPCONNECTION::IdleInterface(BBOOL hold) {
    if (hold) {
        TCPINTERFACE* i = link ? dynamic_cast<TCPINTERFACE*>(link->netInterface) : nullptr;
        if (interfaceHeld || !i) return;
        heldInterface = i;
        interfaceHeld = TRUE;
        InterlockedIncrement(&i->idleLinks);
        return;
    }
    if (!interfaceHeld) return;
    interfaceHeld = FALSE;
    if (TCPINTERFACE* i = dynamic_cast<TCPINTERFACE*>(heldInterface)) InterlockedDecrement(&i->idleLinks);
    heldInterface = nullptr;
}
