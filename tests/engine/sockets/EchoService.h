#pragma once
// An echo service on a listening "Windows Sockets" connection and the primary
// of outbound connections, shared by the socket tests and the engine host.
#include <cstdlib>
#include <functional>

#include "RequestMonitor.h"
#include "WinSockLink.h"

namespace socktest {

// Hands every message straight back to the connection it came from.
struct EchoMonitor : REQUESTMONITOR {
    struct Echo : DATAREQUEST {
        IOBUFFER* buffer;
        explicit Echo(IOBUFFER* b) : DATAREQUEST(nullptr, 1), buffer(b) {}
        ~Echo() override {
            if (buffer) buffer->freeobj();
        }
        QV_ITEM_IDENTITY(Echo, "DATAREQUEST", "DRQe")
        char* GetReqStatus() override { return nullptr; }
        int SetReqStatus(const char*) override { return 0; }
    };
    explicit EchoMonitor(LINKCONTROL& c) : REQUESTMONITOR(c, 1) { ++Live(); }
    ~EchoMonitor() override { --Live(); }
    // Echo monitors not yet destroyed, in this process.
    static int& Live() {
        static int live = 0;
        return live;
    }
    QV_ITEM_IDENTITY(EchoMonitor, "REQUESTMONITOR", "DRQM")
    DATAREQUEST* buildRequest(IOBUFFER* message, DATACONNECTION*) override {
        Echo* r = new Echo(message);
        r->prepare();
        return r;
    }
    DATARESULT* buildResult(IOBUFFER*, DATACONNECTION*) override { return nullptr; }
    BBOOL evaluateRequest(DATAREQUEST* r) override {
        Echo* e = static_cast<Echo*>(r);
        if (e->buffer && r->connection && r->connection->link && r->connection->link->PutMessage(e->buffer, 0))
            e->buffer = nullptr;
        r->FreeRequest(0);
        return 1;
    }
    BBOOL evaluateResult(DATARESULT*) override { return 1; }
    BBOOL sendRequest(DATAREQUEST*, DATACONNECTION*) override { return 1; }
    BBOOL sendResult(DATARESULT*, DATACONNECTION*) override { return 1; }
    REQUESTMONITOR* createSecondaryMonitor(IOMODE, DATACONNECTION*) override {
        EchoMonitor* m = new EchoMonitor(*control);
        m->prepare();
        return m;
    }
};

// Every buffer a stream link fills is one message.
inline BBOOL WholeBuffer(COMMLINK*, IOBUFFER*) { return 1; }

// A listening service on a port the system picks, served by a monitor of type
// M (setup runs on it before anything starts). A resetable single-connection
// port (secondaryLimit 0) listens again after each peer.
template <class M>
struct ListenService {
    WINSOCKCONTROL* control;
    M* monitor;
    DATACONNECTION* listening = nullptr;
    unsigned short port = 0;
    BBOOL connected = 0;

    explicit ListenService(int secondaryLimit, BBOOL streamMode = 1, int auxPorts = 0, int sendSize = 0,
                           const std::function<void(M*)>& setup = nullptr, BBOOL resetable = 0) {
        control = new WINSOCKCONTROL;
        control->prepare();
        control->listenBacklog = 5;
        control->maxAuxPorts = auxPorts;
        control->maxSendSize = sendSize;
        if (streamMode) control->streamHandler = WholeBuffer;
        monitor = new M(*control);
        monitor->prepare();
        if (setup) setup(monitor);
        listening = new DATACONNECTION(*control, "echo", "", "0", "Windows Sockets");
        listening->prepare();
        // A single-connection port's own connection is the one its client talks over.
        listening->skip = secondaryLimit > 0;
        listening->resetable = resetable;
        connected = listening->Connect(LINK_CLIENT_LISTEN, 1, secondaryLimit, monitor, nullptr, nullptr, nullptr, nullptr);
        if (!connected) return;
        port = (unsigned short)atoi(listening->port);
        monitor->StartLinkMonitor(listening, REQUESTMONITOR::TCPIPMonitor);
        monitor->StartMonitor(0);
    }
    TCPSOCKLINK* Link() const { return dynamic_cast<TCPSOCKLINK*>(listening->link); }
    ~ListenService() {
        if (connected) {
            monitor->stopEvent.PostEvent();
            monitor->RequestWakeup();
            monitor->RequestWakeup();
            monitor->Wait();
            listening->link->NotifyMonitor();
            monitor->WaitLinkMonitor();
            monitor->StopMonitor();
            listening->Disconnect();
        }
        listening->freeobj();
        monitor->freeobj();
        control->freeobj();
    }
};

using EchoService = ListenService<EchoMonitor>;

// A type-1 listener whose link monitor drives the outbound connections made on
// it; M is the monitor that receives what comes back.
template <class M>
struct OutboundPrimary {
    WINSOCKCONTROL* control;
    M* monitor;
    DATACONNECTION* primary;
    BBOOL up = 0;
    // setup runs on the monitor before anything starts.
    explicit OutboundPrimary(const std::function<void(M*)>& setup = nullptr) {
        control = new WINSOCKCONTROL;
        control->prepare();
        control->streamHandler = WholeBuffer;
        monitor = new M(*control);
        monitor->prepare();
        if (setup) setup(monitor);
        primary = new DATACONNECTION(*control, "out", "", "0", "Windows Sockets");
        primary->prepare();
        primary->skip = 1;
        up = primary->Connect(LINK_SERVER_LISTEN, 1, 50, monitor, nullptr, nullptr, nullptr, nullptr);
        if (!up) return;
        monitor->StartLinkMonitor(primary, REQUESTMONITOR::TCPIPMonitor);
        monitor->StartMonitor(0);
    }
    // A connection to host:port, held by the caller (release it).
    DATACONNECTION* Open(const char* host, const char* port, BBOOL* ok, LINKINTERFACE* over = nullptr) {
        DATACONNECTION* c = new DATACONNECTION(*control, "conn", host, port, "Windows Sockets");
        c->prepare();
        c->prepare();  // one for the caller, one for the active set
        *ok = c->Connect(LINK_SERVER_CONNECT, 1, 0, monitor, primary, nullptr, nullptr, over);
        if (!*ok) c->freeobj();
        return c;
    }
    ~OutboundPrimary() {
        if (up) {
            monitor->stopEvent.PostEvent();
            monitor->RequestWakeup();
            monitor->Wait();
            primary->link->NotifyMonitor();
            monitor->WaitLinkMonitor();
            monitor->StopMonitor();
            primary->Disconnect();
        }
        primary->freeobj();
        monitor->freeobj();
        control->freeobj();
    }
};

}  // namespace socktest
