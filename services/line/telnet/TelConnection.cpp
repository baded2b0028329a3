#include "TelConnection.h"

#include "AppCfg.h"
#include "AppDefinition.h"
#include "AppType.h"
#include "TelMessages.h"

TELCONNECTION::TELCONNECTION(APPDEFINITION* d, LINKCONTROL& control, const char* host, const char* port,
                             const char* linkType)
    : TCPCONNECTION(d, control, host, port, linkType), relayMode(0), fixedRelay(0), connected(0),
      lineTerminator('\n'), secondTerminator(0), stripTerminator(1), pendingCommand(0), negotiationState(0),
      afterCR(0), discarding(0), markerRelayed(0), peer(nullptr), paired(0), left(0) {
    cleanShutdown = TRUE;  // a peer's orderly close arrives as an end-of-stream buffer
}

TELCONNECTION::TELCONNECTION(const TELCONNECTION& other, BBOOL recordParent, BBOOL internal)
    : BASEITEM(), TCPCONNECTION(other, recordParent, internal), relayMode(other.relayMode),
      fixedRelay(other.fixedRelay), connected(0), lineTerminator(other.lineTerminator),
      secondTerminator(other.secondTerminator), stripTerminator(other.stripTerminator), pendingCommand(0),
      negotiationState(0), afterCR(0), discarding(0), markerRelayed(0), peer(nullptr), paired(0), left(0) {
    cleanShutdown = TRUE;  // the engine's copy drops it
}

TELCONNECTION::~TELCONNECTION() {
    // Whoever still pointed here held no reference (or this would not be going).
    EnterCriticalSection(&PairLock());
    TELCONNECTION* p = peer;
    peer = nullptr;
    if (p && p->peer == this) {
        p->peer = nullptr;
        p->paired = FALSE;
    }
    LeaveCriticalSection(&PairLock());
    if (p) p->freeobj();
}

CRITICAL_SECTION& TELCONNECTION::PairLock() {
    struct LOCK {
        CRITICAL_SECTION cs;
        LOCK() { InitializeCriticalSection(&cs); }
    };
    static LOCK lock;
    return lock.cs;
}

BBOOL TELCONNECTION::Pair(TELCONNECTION* a, TELCONNECTION* b) {
    if (!a || !b) return FALSE;
    EnterCriticalSection(&PairLock());
    if (a->left || b->left) {
        LeaveCriticalSection(&PairLock());
        return FALSE;
    }
    a->prepare();
    b->prepare();
    TELCONNECTION* oldA = a->peer;
    TELCONNECTION* oldB = b->peer;
    a->peer = b;
    b->peer = a;
    a->paired = b->paired = TRUE;
    LeaveCriticalSection(&PairLock());
    // A former pairing of either is replaced; its references go.
    if (oldA) oldA->freeobj();
    if (oldB) oldB->freeobj();
    return TRUE;
}

TELCONNECTION* TELCONNECTION::Unpair() { return Unpair(FALSE); }

TELCONNECTION* TELCONNECTION::Leave() { return Unpair(TRUE); }

TELCONNECTION* TELCONNECTION::Unpair(BBOOL leaving) {
    EnterCriticalSection(&PairLock());
    if (leaving) left = TRUE;
    TELCONNECTION* p = peer;
    peer = nullptr;
    paired = FALSE;
    BBOOL back = FALSE;
    if (p && p->peer == this) {
        p->peer = nullptr;
        p->paired = FALSE;
        back = TRUE;
    }
    LeaveCriticalSection(&PairLock());
    if (back) freeobj();  // the peer's hold on this one; the caller still has its own
    return p;
}

TELCONNECTION* TELCONNECTION::AcquirePeer() {
    EnterCriticalSection(&PairLock());
    TELCONNECTION* p = peer;
    if (p) p->prepare();
    LeaveCriticalSection(&PairLock());
    return p;
}

BBOOL TELCONNECTION::IsPaired() {
    EnterCriticalSection(&PairLock());
    BBOOL p = paired;
    LeaveCriticalSection(&PairLock());
    return p;
}

BBOOL TELCONNECTION::SendResponse(const char* text, BBOOL prompt) {
    TELDATARESPONSE* response = TELRESPONSE::Generate(this, text, prompt);
    if (!response) {
        SetDropRequested(TRUE, FALSE);
        return FALSE;
    }
    SetReleaseAfterSend(response);
    if (!QueueResult(response).target) {
        response->FreeResult(FALSE);
        return FALSE;
    }
    return TRUE;
}
