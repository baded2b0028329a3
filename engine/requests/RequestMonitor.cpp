#include "RequestMonitor.h"
#include "EngineTrace.h"
#include "TcpSockLink.h"
#include "TaskAbend.h"
#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

// The active set is walked, and each member released, on every pass: a local lock.
REQUESTMONITOR::REQUESTMONITOR(LINKCONTROL& ctl, IOMODE ioMode)
    : PGMTHREAD(), active(MSEM_LOCAL), wakeEvent(1), stopEvent(1), shared(0), procedure(nullptr), wakeRequested(0),
      inPass(0), mode(ioMode), linkMonitor(nullptr), linkConnection(nullptr), control(&ctl), monitorCell(nullptr),
      notifier(nullptr) {}

REQUESTMONITOR::~REQUESTMONITOR() {
    StopMonitor();
    active.RemoveAll(1, nullptr);
}

DATACONNECTION* REQUESTMONITOR::CreateConnection(DATACONNECTION* from, BBOOL isAuxPort, BBOOL flag) {
    if (!from) return nullptr;
    DATACONNECTION* made = new DATACONNECTION(*from, isAuxPort, flag);
    made->prepare();
    return made;
}

BBOOL REQUESTMONITOR::StartMonitor(BBOOL allowShared) {
    procedure = mode == 1 ? inboundMonitor : outboundMonitor;
    if (allowShared) shared = _pDataSys->commonThread && _pDataSys->commonThread->threadId != 0;
    BBOOL ok;
    if (!allowShared || !shared) {
        shared = 0;
        ok = StartUp(procedure, this);
    } else {
        ok = 1;
    }
    if (ok) monitorCell = &_pDataSys->monitors.Add(*this);
    return ok;
}

void REQUESTMONITOR::StopMonitor() {
    StopLinkMonitor();
    if (threadId != 0 && threadId != GetCurrentID()) {
        Stop();
        Wait();
    }
    if (monitorCell && _pDataSys && !_pDataSys->monitors.removingAll && monitorCell->linked)
        _pDataSys->monitors.bRemove(*monitorCell, 1);
    monitorCell = nullptr;
}

void REQUESTMONITOR::RequestWakeup() {
    wakeRequested = 1;
    MemoryBarrier();  // the request before the look at inPass; Run does the reverse
    if (!InterlockedCompareExchange(&inPass, 0, 0) || shared) wakeEvent.PostEvent();
    if (shared) _pDataSys->commonEvent.PostEvent();
}

BBOOL REQUESTMONITOR::StartLinkMonitor(DATACONNECTION* listening, MONITORPROC proc) {
    linkConnection = listening;
    PGMTHREAD* t = new PGMTHREAD(nullptr, nullptr, nullptr, 0);
    t->prepare();
    if (!t->StartUp(proc, this)) {
        t->freeobj();
        return 0;
    }
    linkMonitor = t;
    return 1;
}

void REQUESTMONITOR::StopLinkMonitor() {
    if (!linkMonitor) return;
    if (linkMonitor->threadId != 0) linkMonitor->Stop();
    linkMonitor->freeobj();
    linkMonitor = nullptr;
}

void REQUESTMONITOR::WaitLinkMonitor() {
    if (!linkMonitor) return;
    linkMonitor->Wait();
    linkMonitor->freeobj();
    linkMonitor = nullptr;
}

BBOOL REQUESTMONITOR::LinkMonitorRunning() const { return linkMonitor && linkMonitor->threadId != 0; }

void REQUESTMONITOR::inboundMonitor(void* m) { static_cast<REQUESTMONITOR*>(m)->Run(1); }
void REQUESTMONITOR::outboundMonitor(void* m) { static_cast<REQUESTMONITOR*>(m)->Run(0); }

void REQUESTMONITOR::CommonMonitor(void*) {
    DMCONTROL* dm = _pDataSys;
    while (!dm->commonStop) {
        dm->commonEvent.WaitEvent(QV_WAIT_FOREVER);
        dm->commonEvent.ResetEvent();
        if (dm->commonStop) break;
        CITERATOR<REQUESTMONITOR> it;
        for (REQUESTMONITOR* m = it.Begin(dm->monitors); m; m = it.Next()) {
            if (m->wakeRequested) {
                m->wakeRequested = 0;
                if (m->procedure) m->procedure(m);
            }
        }
        it.End();
    }
    CITERATOR<REQUESTMONITOR> it;
    for (REQUESTMONITOR* m = it.Begin(dm->monitors); m; m = it.Next()) {
        m->stopEvent.PostEvent();
        if (m->procedure) m->procedure(m);
    }
    it.End();
}

void REQUESTMONITOR::Run(BBOOL in) {
    for (;;) {
        if (stopEvent.QueryEvent()) break;
        if (!shared) {
            InterlockedExchange(&inPass, 0);  // a full barrier: out of the pass, then the look
            if (!wakeRequested) wakeEvent.WaitEvent(QV_WAIT_FOREVER);
            InterlockedExchange(&inPass, 1);
        }
        wakeEvent.ResetEvent();
        if (stopEvent.QueryEvent()) break;
        wakeRequested = 0;
        MemoryBarrier();  // cleared before the pass looks at anything
        Pass(in);
        if (shared) return;
    }
    InterlockedExchange(&inPass, 0);
    ShutdownPrimaries();
}

void REQUESTMONITOR::ShutdownPrimaries() {
    CITERATOR<DATACONNECTION> it;
    for (DATACONNECTION* c = it.Begin(active); c; c = it.Next())
        if (c->link && !c->auxParent) c->link->Shutdown(0);
    it.End();
}

void REQUESTMONITOR::Pass(BBOOL in) {
    CITERATOR<DATACONNECTION> it;
    DATACONNECTION* c = it.Begin(active);
    while (c) {
        // Held while served: once the walk has moved on, another thread may disconnect and release it.
        c->prepare();
        DATACONNECTION* next = it.Next();
        Serve(c, in);
        Release(c);
        c = next;
    }
    it.End();
}

// The monitor changes a connection's count only under the lock of its active set.
void REQUESTMONITOR::Release(DATACONNECTION* c) {
    active.lock.Reserve(QV_WAIT_FOREVER, 0);
    c->freeobj();
    active.lock.Release(0);
}

void REQUESTMONITOR::Serve(DATACONNECTION* c, BBOOL in) {
    if (c->skip) return;
    COMMLINK* L = c->link;
    if (!L) {
        c->ResetActive(1);
        Release(c);
        return;
    }
    L->QueryRecvStatus();
    if (c->dropRequested && !DrainsBeforeDrop(c, L)) ServeDrop(c, L);
    if (!c->connectSeen && !ServeConnect(c, L, in)) return;
    if (!c->holdMessages) ServeMessages(c, L, in);
    else if (c->dropRequested) DiscardMessages(L);
    if (L->closed && (!LinkMonitorRunning() || L->closeHandled)) {
        // The link may have queued its last messages and the end-of-stream marker
        // after the pass above looked: served now, or the tail of a stream is lost.
        if (!c->holdMessages) ServeMessages(c, L, in);
        ServeClose(c, L, in);
        return;
    }
    if (in)
        SendResults(c, L);
    else
        SendRequests(c, L);
    // This pass may have sent the last of what a drop waits for; nothing else would wake it.
    if (c->draining && c->dropRequested && !DrainsBeforeDrop(c, L)) RequestWakeup();
    if (c->closeWhenIdle && (in ? c->resultCount : c->requestCount) > 0 && !L->QuerySendActive(0) && !L->closed &&
        !L->shutdownRequested && c->requests.count == 0 && c->results.count == 0)
        L->Shutdown(0);
}

// A drop that does not abort lets the link send what is queued for it first;
// the sends finishing wake the monitor, which then drops the link.
BBOOL REQUESTMONITOR::DrainsBeforeDrop(DATACONNECTION* c, COMMLINK* L) {
    if (c->dropAbort || !L->COMMLINK::QueryLinkStatus()) return 0;
    BBOOL queued = L->QuerySendActive(0) || c->results.count > 0 || (c->connectSeen && c->requests.count > 0);
    if (!queued) return 0;
    if (!c->draining) QV_COMM_TRACE("cpp", "Drop After Sending", c, L);
    c->draining = 1;
    return 1;
}

void REQUESTMONITOR::ServeDrop(DATACONNECTION* c, COMMLINK* L) {
    BBOOL abort = c->dropAbort;
    c->SetDropRequested(0, 0);
    c->draining = 0;
    L->cleanShutdownWanted = 0;
    if (L->cleanShutdownStarted) {
        L->cleanShutdownStarted = 0;
        L->closeHandled = 1;
    }
    L->aborted = abort;
    // Closed last: the link monitor closes the link as soon as it sees the flag.
    std::atomic_thread_fence(std::memory_order_release);
    L->closed = 1;
    L->NotifyMonitor();
}

// What arrives on a link being drained goes nowhere.
void REQUESTMONITOR::DiscardMessages(COMMLINK* L) {
    while (IOBUFFER* msg = L->GetNextMessage()) msg->freeobj();
}

// False when the connection was dropped and is done with for this pass.
BBOOL REQUESTMONITOR::ServeConnect(DATACONNECTION* c, COMMLINK* L, BBOOL in) {
    if (!in && L->lookupDone) {
        L->lookupDone = 0;
        if (L->error) {
            QV_COMM_TRACE("cppii", "Outbound Connect Failed", c, L, (int)L->error, (int)L->systemError);
            c->SetDropRequested(1, 0);
            return 0;
        }
        QV_COMM_TRACE("cpp", "Outbound Host Located", c, L);
        if (c->status) c->status->NotifyConnectLink();
    }
    if (!L->connected) return 1;
    c->connectSeen = 1;
    if (in)
        QV_COMM_TRACE("cpp", c->notified ? "Inbound Connect Complete" : "Inbound Connect", c, L);
    else
        QV_COMM_TRACE("cpp", "Outbound Connect Completed", c, L);
    if (notifier) {
        if (!c->notified) {
            c->notified = 1;
            notifier(c, CONN_OPENED);
        }
        notifier(c, CONN_CONNECTED);
    }
    if (c->status) c->status->NotifyConnectLink();
    return 1;
}

void REQUESTMONITOR::ServeMessages(DATACONNECTION* c, COMMLINK* L, BBOOL in) {
    for (;;) {
        IOBUFFER* msg = c->fullMessages ? L->GetFullMessage() : L->GetNextMessage();
        if (!msg) break;
        QV_COMM_TRACE("cpi", "Message Received", c, (int)msg->cursor.length);
        if (in) {
            DATAREQUEST* r = buildRequest(msg, c);
            if (r) {
                r->connection = c;
                c->requestCount++;
                if (c->status) c->status->NotifyRequest(r);
                evaluateRequest(r);
            }
        } else {
            DATARESULT* r = buildResult(msg, c);
            if (r) {
                r->connection = c;
                if (c->status) c->status->NotifyRequest(r->request);
                evaluateResult(r);
                c->resultCount++;
            }
        }
        if (c->holdMessages) break;
    }
}

void REQUESTMONITOR::ServeClose(DATACONNECTION* c, COMMLINK* L, BBOOL in) {
    c->connectSeen = 0;
    QV_COMM_TRACE("cppo", in ? "Inbound Disconnect" : "Outbound Disconnect", c, L,
                  (int)(L->reset || L->refused || L->aborted));
    if (c->notified && notifier) {
        c->notified = 0;
        notifier(c, CONN_CLOSED);
    }
    if (c->status) {
        c->status->NotifyTerminateLink();
        c->status = nullptr;
    }
    if (c->resetable && L->IsResetable()) {
        L->ResetLink();
        c->resetWord = 0;
    } else if (c->closeWhenIdle || L->ResetLink() != 0) {
        c->Disconnect();
        Release(c);
    }
}

void REQUESTMONITOR::SendResults(DATACONNECTION* c, COMMLINK* L) {
    if (c->sendBusy) c->sendBusy = L->QuerySendActive(0);
    while (!c->sendBusy) {
        DATARESULT* r = c->results.RemoveFirst();
        if (!r) break;
        r->TakenFromQueue();
        if (sendResult(r, c)) c->resultCount++;
        r->DropQueueHold();
    }
}

void REQUESTMONITOR::SendRequests(DATACONNECTION* c, COMMLINK* L) {
    while (c->connectSeen && !c->sendHeld) {
        if (c->sendBusy) c->sendBusy = L->QuerySendActive(0);
        if (c->sendBusy || c->requests.count == 0) break;
        DATAREQUEST* r = c->requests.RemoveFirst();
        if (!r) break;
        r->TakenFromQueue();
        if (!r->sendable || r->cancelled) {
            r->FreeRequest(0);
        } else if (sendRequest(r, c)) {
            c->requestCount++;
        }
        r->DropQueueHold();
    }
}

// ---- link-monitor thread of a listening socket connection ------------------

void REQUESTMONITOR::TCPIPMonitor(void* argument) {
    REQUESTMONITOR* m = static_cast<REQUESTMONITOR*>(argument);
    DATACONNECTION* c = m->linkConnection;
    TCPSOCKLINK* L = c ? dynamic_cast<TCPSOCKLINK*>(c->link) : nullptr;
    if (!L) return;
    TCPCONTROL* K = L->TcpControl();
    if (!K->mainListeningLink) K->mainListeningLink = L;
    for (;;) {
        if (m->stopEvent.QueryEvent()) break;
        TCPSOCKLINK* ready = L->WaitLinkEvent(0, 0);
        if (m->stopEvent.QueryEvent()) {
            if (ready) L->EndAccess();
            break;
        }
        if (!ready && L->error) {
            ready = L->WaitLinkEvent(0, 1);
            if (m->stopEvent.QueryEvent()) {
                if (ready) L->EndAccess();
                break;
            }
            if (!ready && !L->QueryLinkStatus(nullptr) && L->error) {
                if (!K->errorSink) _Task_Abend(ABEND_COM101, (ULONG_PTR)L);
                K->errorSink->error = L->error;
                break;
            }
        }
        if (!ready) continue;
        if (!ready->listening || ready->closed) {
            m->ServeLinkEvent(ready);
            L->EndAccess();
        } else {
            TCPSOCKLINK* n = ready->AcceptConnection(0);
            // Let go before the connection joins a monitor's active set: a monitor
            // releasing a connection holds that set's lock and then takes this one.
            L->EndAccess();
            m->AcceptOn(ready, n, K);
            // The listening queue holds only a few (backlog 5): clients arriving together are
            // taken now, not one readiness wait each, or the system drops those that come next.
            for (int i = 1; n && i < MaxAcceptsPerEvent && ready->listening && !ready->closed; i++) {
                L->BeginAccess();
                n = ready->AcceptConnection(0);
                L->EndAccess();
                if (n) m->AcceptOn(ready, n, K);
            }
        }
    }
    m->LinkMonitorShutdown(L, K);
}

void REQUESTMONITOR::ServeLinkEvent(TCPSOCKLINK* ready) {
    // A wake-up only asks the wait to look again: nobody else needs waking for it.
    if (ready->framed && ready->readyEvent == 'r' && !ready->closed && ready->ReceiveWakeFrames()) return;
    BBOOL failed = 0;
    // A link the wait just reported readable or writable needs no status look of its own:
    // the receive or send reports a failure.
    BBOOL reported = ready->readyEvent == 'r' || ready->readyEvent == 'w';
    if (reported ? ready->COMMLINK::QueryLinkStatus() : ready->QueryLinkStatus(nullptr)) {
        // Reported writable only (a connect done, room for a partial send): a receive would
        // find nothing; a link readable as well is reported again by the next wait.
        if (ready->readyEvent != 'w') ReceiveWhatIsWaiting(ready);
        ready->QuerySendStatus(0);
    } else {
        int e = ready->systemError;
        failed = e != 0 && ready->error == 0 && !ready->closed && e != ready->k.errWouldBlock &&
                 e != ready->k.errConnectInProgress;
    }
    if (failed || ready->error) {
        QV_COMM_TRACE("cpii", "Link Error!", ready, (int)ready->error, (int)ready->systemError);
        if (!ready->closed) {
            ready->closed = 1;
            ready->aborted = 1;
        }
    }
    if (ready->closed && !ready->closeHandled) {
        if (ready->control->streamHandler) ready->ReceiveMonitor();
        BBOOL cleanTried = 0;
        BBOOL cleanStarted = 0;
        if (ready->cleanShutdownWanted && ready->peerClosed && !ready->reset && !ready->refused && !ready->aborted) {
            cleanTried = 1;
            cleanStarted = ready->StartCleanShutdown();
        }
        if ((!cleanTried || !cleanStarted) && !ready->IsResetable()) ready->CloseLink(0);
        ready->closeHandled = 1;
    }
    if (ready->wakeEvent && ready->wakeEvent != &wakeEvent) ready->wakeEvent->PostEvent();
    RequestWakeup();
}

// Several buffers per readiness event while each receive fills its buffer: one wait
// and one wake-up of the monitor for all of them.
void REQUESTMONITOR::ReceiveWhatIsWaiting(TCPSOCKLINK* ready) {
    for (int i = 0; i < MaxReceivesPerEvent; i++) {
        if (!ready->ReceiveMonitor() || !ready->receiveFilled || ready->receivingStopped) break;
    }
}

void REQUESTMONITOR::AcceptOn(TCPSOCKLINK* listener, TCPSOCKLINK* n, TCPCONTROL* K) {
    if (n) {
        DATACONNECTION* owner = listener->owner;
        if (owner && n != listener) owner = owner->CreateSecondary(n);
        if (owner) {
            n->monitored = 1;
            n->sendBlocking = 0;
            n->wakeEvent = &wakeEvent;
            char peer[128] = "";
            n->TCPGetRemoteAddress(BUFFER(peer, sizeof(peer)));
            memcpy(owner->name, peer, sizeof(peer));
            RequestWakeup();
        }
    }
    TCPSOCKLINK* main = K->mainListeningLink;
    long ports = K->auxPorts.count;
    if (main && ports < K->maxAuxPorts && K->connectionCount + K->connectionSlack > (long)K->connectionsPerPort * ports) {
        TCPSOCKLINK* aux = main->CreateAuxPort();
        if (aux && main->owner) tcpipAuxPortStartup(main->owner, aux);
    }
}

void REQUESTMONITOR::LinkMonitorShutdown(TCPSOCKLINK* L, TCPCONTROL* K) {
    DATACONNECTION* c = linkConnection;
    stopEvent.PostEvent();
    RequestWakeup();
    if (threadId && threadId != GetCurrentID()) Wait();
    if (c) c->FreeSecondaries();
    if (L == K->mainListeningLink) {
        std::vector<TCPSOCKLINK*> ports;
        {
            CITERATOR<TCPSOCKLINK> it;
            for (TCPSOCKLINK* a = it.Begin(K->auxPorts); a; a = it.Next()) {
                a->prepare();
                ports.push_back(a);
            }
            it.End();
        }
        for (TCPSOCKLINK* a : ports) {
            REQUESTMONITOR* am = a->linkMonitor;
            if (am) {
                am->stopEvent.PostEvent();
                am->RequestWakeup();
            }
            a->Shutdown(1);
            if (am) {
                am->WaitLinkMonitor();
                // The port's own monitor goes with it, after its connections.
                DATACONNECTION* portConnection = a->owner;
                if (portConnection && portConnection->secondaryMonitor == am) {
                    portConnection->FreeSecondaries();
                    portConnection->secondaryMonitor = nullptr;
                }
                a->linkMonitor = nullptr;
                a->wakeEvent = nullptr;
                am->StopMonitor();
                am->freeobj();
            }
            a->CloseLink(0);
            a->freeobj();
        }
    }
    L->monitored = 0;
    L->sendBlocking = 1;
}

BBOOL REQUESTMONITOR::tcpipAuxPortStartup(DATACONNECTION* primary, COMMLINK* link) {
    TCPSOCKLINK* aux = dynamic_cast<TCPSOCKLINK*>(link);
    DATACONNECTION* a = CreateConnection(primary, 1, 0);
    if (!a || !aux) {
        if (a) a->freeobj();
        link->freeobj();
        return 0;
    }
    a->prepare();
    link->owner = a;
    a->link = link;
    a->ownsLink = 1;
    a->open = 1;
    a->SetAsActive(nullptr);
    snprintf(a->port, sizeof(a->port), "%u", (unsigned)aux->port);
    REQUESTMONITOR* m = createSecondaryMonitor(1, a);
    a->secondaryMonitor = m;
    BBOOL ok = 0;
    if (m) {
        aux->wakeEvent = &m->wakeEvent;
        aux->monitored = 1;
        aux->sendBlocking = 0;
        a->skip = 1;
        ok = m->StartLinkMonitor(a, TCPIPMonitor) && m->StartMonitor(a->monitor && a->monitor->shared);
        if (ok) aux->linkMonitor = m;
    }
    if (!ok) {
        a->secondaryMonitor = nullptr;
        if (m) {
            m->StopMonitor();
            m->freeobj();
        }
        a->Disconnect();
        a->freeobj();
        a->freeobj();
        return 0;
    }
    a->freeobj();  // the active set holds it from here
    return 1;
}
