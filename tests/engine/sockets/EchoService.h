#pragma once
// An echo service on a listening "Windows Sockets" connection, shared by the
// socket tests and the engine host program.
#include <cstdlib>

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

// An echo service on a port the system picks.
struct EchoService {
    WINSOCKCONTROL* control;
    EchoMonitor* monitor;
    DATACONNECTION* listening = nullptr;
    unsigned short port = 0;
    BBOOL connected = 0;

    explicit EchoService(int secondaryLimit, BBOOL streamMode = 1, int auxPorts = 0, int sendSize = 0) {
        control = new WINSOCKCONTROL;
        control->prepare();
        control->listenBacklog = 5;
        control->maxAuxPorts = auxPorts;
        control->maxSendSize = sendSize;
        if (streamMode) control->streamHandler = WholeBuffer;
        monitor = new EchoMonitor(*control);
        monitor->prepare();
        listening = new DATACONNECTION(*control, "echo", "", "0", "Windows Sockets");
        listening->prepare();
        listening->skip = 1;
        connected = listening->Connect(LINK_CLIENT_LISTEN, 1, secondaryLimit, monitor, nullptr, nullptr, nullptr, nullptr);
        if (!connected) return;
        port = (unsigned short)atoi(listening->port);
        monitor->StartLinkMonitor(listening, REQUESTMONITOR::TCPIPMonitor);
        monitor->StartMonitor(0);
    }
    TCPSOCKLINK* Link() const { return dynamic_cast<TCPSOCKLINK*>(listening->link); }
    ~EchoService() {
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

}  // namespace socktest
