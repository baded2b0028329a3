#pragma once
// Helpers of the socket tests: an echo service on a listening "Windows Sockets"
// connection, and plain clients over the bound socket library.
#include <gtest/gtest.h>
#include <string>

#include "RequestMonitor.h"
#include "WinSockLink.h"
#include "WinSockDll.h"

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

    explicit EchoService(int secondaryLimit, BBOOL streamMode = 1, int auxPorts = 0) {
        control = new WINSOCKCONTROL;
        control->prepare();
        control->listenBacklog = 5;
        control->maxAuxPorts = auxPorts;
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

// A blocking client socket over the library a control bound; every wait is bounded.
struct Client {
    WINSOCKFUNCTIONS& f;
    SOCKET s = INVALID_SOCKET;
    Client(WINSOCKCONTROL& ctl, unsigned short port, const char* host = "127.0.0.1") : f(ctl.fn) {
        s = f.socket(AF_INET, SOCK_STREAM, 0);
        DWORD ms = 10000;
        f.setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char*)&ms, sizeof(ms));
        sockaddr_in sa = {};
        sa.sin_family = AF_INET;
        sa.sin_port = f.htons(port);
        sa.sin_addr.s_addr = f.inet_addr(host);
        if (f.connect(s, (sockaddr*)&sa, sizeof(sa)) != 0) Close();
    }
    ~Client() { Close(); }
    void Close() {
        if (s != INVALID_SOCKET) f.closesocket(s);
        s = INVALID_SOCKET;
    }
    bool Send(const std::string& bytes) {
        size_t at = 0;
        while (at < bytes.size()) {
            int n = f.send(s, bytes.data() + at, (int)(bytes.size() - at), 0);
            if (n <= 0) return false;
            at += n;
        }
        return true;
    }
    // Reads exactly n bytes; fewer when the peer closes or ten seconds pass without data.
    std::string Read(size_t n) {
        std::string got;
        char buf[4096];
        while (got.size() < n) {
            int want = (int)std::min(sizeof(buf), n - got.size());
            int r = f.recv(s, buf, want, 0);
            if (r <= 0) break;
            got.append(buf, r);
        }
        return got;
    }
    // 0 when the peer closed in order, the error when it failed, 1 when data came instead.
    int WaitClosed() {
        char c;
        int r = f.recv(s, &c, 1, 0);
        if (r == 0) return 0;
        if (r < 0) return f.WSAGetLastError();
        return 1;
    }
};

// The library the test clients use.
struct ClientLibrary {
    WINSOCKCONTROL* control;
    ClientLibrary() {
        control = new WINSOCKCONTROL;
        control->prepare();
        control->LoadWinSock(0, 0);
    }
    ~ClientLibrary() { control->freeobj(); }
};

}  // namespace socktest
