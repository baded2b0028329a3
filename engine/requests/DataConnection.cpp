#include "DataConnection.h"
#include "LocalLink.h"
#include "TcpSockLink.h"
#include "RequestMonitor.h"
#include "DataManager.h"
#include "EngineTrace.h"
#include <atomic>
#include <cstdio>
#include <cstring>

LOOKUPROW _CommLinkTypeList[] = {
    {"Local", 0, 1, (intptr_t)QvTag("LLNK"), 0, 0},
    {"Windows Sockets", 0, 1, (intptr_t)QvTag("TWSL"), 0, 0},
    {"TCP/IP Default", 0, 1, (intptr_t)QvTag("TWSL"), 0, 0},
    {"", 0, 0, 0, 0, 0},
};

SOCKETLINKMAKER DATACONNECTION::pMakeSocketLink = nullptr;

static void CopyCut(char* to, const char* from, size_t size) {
    to[0] = 0;
    if (!from) return;
    size_t n = strnlen(from, size - 1);
    memcpy(to, from, n);
    to[n] = 0;
}

DATACONNECTION::DATACONNECTION(LINKCONTROL& ctl, const char* transportName, const char* text, const char* portText,
                               const char* typeText)
    : DATATRANSPORT(transportName, 4096, 3, 0), words{0, 0}, active(0), inbound(1), serviceFlag(0),
      connectSeen(0), skip(0), refused(0), closeWhenIdle(0), resetable(0), dropRequested(0), dropAbort(0),
      holdMessages(0), sendBusy(0), notified(0), resetWord(0), fullMessages(0), cleanShutdown(0), lastError(0),
      status(nullptr), activeCell(nullptr), requestCount(0), resultCount(0), control(&ctl), auxParent(nullptr),
      primary(nullptr), monitor(nullptr), secondaryMonitor(nullptr), requests(0), results(0), sendHeld(0), draining(0),
      activeChain(nullptr) {
    CopyCut(name, text, sizeof(name));
    CopyCut(port, portText, sizeof(port));
    CopyCut(linkType, typeText, sizeof(linkType));
}

DATACONNECTION::DATACONNECTION(const DATACONNECTION& from, BBOOL isAuxPort, BBOOL flag)
    : DATATRANSPORT(from.STREAMDEST::name, 4096, 3, 0), words{0, 0}, active(from.active),
      inbound(from.inbound), serviceFlag(flag), connectSeen(0), skip(0), refused(0), closeWhenIdle(0),
      resetable(0), dropRequested(0), dropAbort(0), holdMessages(0), sendBusy(0), notified(0), resetWord(0),
      fullMessages(from.fullMessages), cleanShutdown(0), lastError(0), status(nullptr), activeCell(nullptr),
      requestCount(0), resultCount(0), control(from.control), auxParent(isAuxPort ? (DATACONNECTION*)&from : nullptr),
      primary(nullptr), monitor(from.monitor), secondaryMonitor(nullptr), requests(0), results(0), sendHeld(0), draining(0),
      activeChain(nullptr) {
    CopyCut(name, from.name, sizeof(name));
    CopyCut(port, from.port, sizeof(port));
    CopyCut(linkType, from.linkType, sizeof(linkType));
}

DATACONNECTION::~DATACONNECTION() {
    ResetActive(1);
    if (open) CloseStream();
    if (status) {
        status->NotifyTerminateLink();
        status = nullptr;
    }
    if (secondaryMonitor) secondaryMonitor->active.RemoveAll(1, nullptr);
    // What is still queued gives back the queue's reference; a release asked for meanwhile is done now.
    while (DATAREQUEST* r = requests.RemoveFirst()) {
        r->TakenFromQueue();
        DATAREQBASE::EnterRelease();
        if (r->freePending && r->dequeuedCount >= r->queuedCount) r->FreeRequest(0);
        r->DropQueueHold();
        DATAREQBASE::LeaveRelease();
    }
    while (DATARESULT* r = results.RemoveFirst()) {
        r->TakenFromQueue();
        DATAREQBASE::EnterRelease();
        if (r->freePending && r->dequeuedCount >= r->queuedCount) r->FreeResult(0);
        r->DropQueueHold();
        DATAREQBASE::LeaveRelease();
    }
}

void DATACONNECTION::Notify(int code) {
    if (monitor && monitor->notifier) monitor->notifier(this, code);
}

BBOOL DATACONNECTION::Connect(LINKTYPE type, BBOOL asynchronous, int secondaryLimit, REQUESTMONITOR* mon,
                              DATACONNECTION* from, const char* target, const char* bindPort, LINKINTERFACE* netIf) {
    const char* address = target && *target ? target : name;
    monitor = mon;
    active = !LinkTypeAccepting(type);
    inbound = LinkTypeInbound(type);

    // No row allows an abbreviation, so only a whole name in exact case matches.
    LOOKUPROW* row = _LookUp(_CommLinkTypeList, linkType, 1, 0);
    COMMLINK* made = nullptr;
    if (row->valid && row->value == (intptr_t)QvTag("LLNK")) {
        made = new LOCALLINK(type, STREAMDEST::name);
        made->prepare();
    } else if (row->valid && row->value == (intptr_t)QvTag("TWSL") && pMakeSocketLink) {
        made = pMakeSocketLink(*this, type, secondaryLimit, from);  // prepared by its maker
    }
    if (!made) {
        if (monitor && (active || from)) Notify(CONN_CONNECT_FAILED);
        return 0;
    }
    TCPSOCKLINK* socketLink = dynamic_cast<TCPSOCKLINK*>(made);
    BBOOL madeByPrimary = socketLink && socketLink->parent;

    prepare();  // held for the rest of the call: a notifier may let go of us
    made->owner = this;
    link = made;
    ownsLink = 1;
    if (cleanShutdown) link->cleanShutdownWanted = 1;
    if (resetable) link->resetable = 1;
    link->SetBlocking(!asynchronous && active ? 1 : 0, 0);
    char interfaceAddress[16] = "";
    if (socketLink) {
        if (bindPort) socketLink->SetPort(bindPort, 1);
        if (netIf) {
            socketLink->SetTCPInterface(dynamic_cast<TCPINTERFACE*>(netIf));
            socketLink->GetInterfaceAddress(BUFFER(interfaceAddress, sizeof(interfaceAddress)));
        }
    }
    if (monitor) {
        link->wakeEvent = &monitor->wakeEvent;
        if (socketLink) {
            socketLink->monitored = 1;  // the link-monitor thread drives its reception
            socketLink->sendBlocking = 0;
        }
    }
    QV_COMM_TRACE("cssspp", inbound ? "Inbound Connect Opened" : "Outbound Connect Opened", active ? address : "",
                  port, interfaceAddress, this, link);
    if (monitor && (active || from) && monitor->notifier) {
        notified = 1;
        Notify(CONN_OPENED);
    }

    int rc = OpenStream(address, 0, 0);
    if (rc == 0 && !dropRequested) {
        if (socketLink && !active) {
            BBOOL asked = strcmp(port, "0") == 0;
            snprintf(port, sizeof(port), "%u", (unsigned)socketLink->port);
            if (asked)
                QV_COMM_TRACE("csp", inbound ? "Inbound Port Assigned" : "Outbound Port Assigned", port, link);
        }
        SetAsActive(from);
        if (madeByPrimary) from->link->NotifyMonitor();  // its readiness wait takes the new link in
        if (monitor && (link->connected || link->closed)) monitor->RequestWakeup();
        if (active && status) status->NotifyConnectLink();
        freeobj();
        return 1;
    }

    lastError = link->error;
    refused = link->refused;
    QV_COMM_TRACE("cppii", inbound ? "Inbound Connect Failed" : "Outbound Connect Failed", this, link,
                  (int)link->error, (int)link->systemError);
    if (notified) {
        notified = 0;
        Notify(CONN_CONNECT_FAILED);
        if (status) {
            status->NotifyTerminateLink();
            status = nullptr;
        }
    }
    CloseStream();
    link->freeobj();
    link = nullptr;
    ownsLink = 0;
    freeobj();
    return 0;
}

void DATACONNECTION::Disconnect() {
    REQUESTMONITOR* mon = monitor;
    if (mon) mon->active.lock.Reserve(QV_WAIT_FOREVER, 0);
    if (connectSeen) {
        connectSeen = 0;
        QV_COMM_TRACE("cp", "Disconnect Forced", this);
        if (notified) Notify(CONN_FORCED_DOWN);
        if (status) {
            status->NotifyTerminateLink();
            status = nullptr;
        }
    }
    ResetActive(1);
    if (open) CloseStream();
    if (mon) mon->active.lock.Release(0);
}

void DATACONNECTION::AttachQueues(BBOOL on) {
    if (!link) return;
    requests.lock.Attach(on ? &link->lock : nullptr);
    results.lock.Attach(on ? &link->lock : nullptr);
}

void DATACONNECTION::SetAsActive(DATACONNECTION* from) {
    if (from && from->secondaryMonitor) {
        primary = from;
        activeChain = &from->secondaryMonitor->active;
        activeCell = &activeChain->Add(*this);
    } else if (monitor) {
        primary = from;
        activeChain = &monitor->active;
        activeCell = &activeChain->Add(*this);
    }
    AttachQueues(1);
}

void DATACONNECTION::ResetActive(BBOOL unlink) {
    if (unlink && activeCell) {
        if (activeChain && !activeChain->removingAll && activeCell->linked) activeChain->bRemove(*activeCell, 1);
        activeCell = nullptr;
        activeChain = nullptr;
        primary = nullptr;
    }
    AttachQueues(0);
}

bSPOINTER& DATACONNECTION::QueueRequest(DATAREQUEST* request) {
    DATAREQBASE::EnterRelease();
    if (!request || request->result) {
        DATAREQBASE::LeaveRelease();
        return _NULLSPTR;
    }
    request->HoldForQueue();
    DATAREQBASE::LeaveRelease();
    bSPOINTER& cell = requests.Add(*request);
    if (monitor) monitor->RequestWakeup();
    return cell;
}

bSPOINTER& DATACONNECTION::QueueResult(DATARESULT* result) {
    DATAREQBASE::EnterRelease();
    if (!result || result->freed) {
        DATAREQBASE::LeaveRelease();
        return _NULLSPTR;
    }
    result->HoldForQueue();
    DATAREQBASE::LeaveRelease();
    bSPOINTER& cell = results.Add(*result);
    if (monitor) monitor->RequestWakeup();
    return cell;
}

void DATACONNECTION::SetDropRequested(BBOOL drop, BBOOL abort) {
    // The kind first: a monitor that sees the request on its pass must also see whether it aborts.
    dropAbort = abort;
    std::atomic_thread_fence(std::memory_order_release);
    dropRequested = drop;
    if (drop) {
        holdMessages = 1;
        if (monitor) monitor->RequestWakeup();
    }
}

void DATACONNECTION::StartMessages() {
    if (!holdMessages) return;
    holdMessages = 0;
    if (monitor && link && (link->recvQueue.count > 0 || link->sendQueue.count > 0)) monitor->RequestWakeup();
}

DATACONNECTION* DATACONNECTION::CreateSecondary(COMMLINK* newLink) {
    DATACONNECTION* made = nullptr;
    if (monitor) {
        made = monitor->CreateConnection(this, 0, 0);
    } else {
        made = new DATACONNECTION(*this, 0, 0);
        made->prepare();
    }
    if (!made) {
        if (newLink) newLink->freeobj();
        return nullptr;
    }
    if (secondaryMonitor) made->monitor = secondaryMonitor;
    newLink->owner = made;
    made->link = newLink;
    made->ownsLink = 1;
    if (made->OpenStream(nullptr, 0, 0) != 0) {
        made->freeobj();
        return nullptr;
    }
    made->SetAsActive(this);
    return made;
}

void DATACONNECTION::FreeSecondaries() {
    if (secondaryMonitor) {
        secondaryMonitor->active.RemoveAll(1, nullptr);
        return;
    }
    if (!monitor) return;
    CITERATOR<DATACONNECTION> it;
    DATACONNECTION* c = it.Begin(monitor->active);
    while (c) {
        if (c->primary == this) {
            c->activeCell = nullptr;
            c->activeChain = nullptr;
            it.Remove(1);
            c->freeobj();
            c = it.Current();
        } else {
            c = it.Next();
        }
    }
    it.End();
}
