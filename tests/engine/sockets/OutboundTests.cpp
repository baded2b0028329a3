// Outbound socket links as secondaries of a server-side listener: relays and refusals.
#include "SocketFixture.h"
#include "WaitFor.h"
#include "SpControl.h"
#include "TcpInterface.h"

#include <cstring>
#include <mutex>
#include <random>

using namespace socktest;

namespace {

// The outbound side of a service: collects what comes back on each connection.
struct Collector : REQUESTMONITOR {
    std::mutex m;
    std::string got;
    std::vector<int> codes;
    explicit Collector(LINKCONTROL& c) : REQUESTMONITOR(c, 0) {}
    QV_ITEM_IDENTITY(Collector, "REQUESTMONITOR", "DRQM")
    DATAREQUEST* buildRequest(IOBUFFER*, DATACONNECTION*) override { return nullptr; }
    DATARESULT* buildResult(IOBUFFER* message, DATACONNECTION*) override {
        {
            std::lock_guard<std::mutex> hold(m);
            got.append(message->cursor.data, message->cursor.length);
        }
        message->freeobj();
        return nullptr;
    }
    BBOOL evaluateRequest(DATAREQUEST*) override { return 1; }
    BBOOL evaluateResult(DATARESULT*) override { return 1; }
    BBOOL sendRequest(DATAREQUEST*, DATACONNECTION*) override { return 1; }
    BBOOL sendResult(DATARESULT*, DATACONNECTION*) override { return 1; }
    REQUESTMONITOR* createSecondaryMonitor(IOMODE, DATACONNECTION*) override { return nullptr; }
    size_t Size() {
        std::lock_guard<std::mutex> hold(m);
        return got.size();
    }
};

Collector* lastCollector = nullptr;
void Note(DATACONNECTION*, int code) {
    std::lock_guard<std::mutex> hold(lastCollector->m);
    lastCollector->codes.push_back(code);
}

// The outbound side, collecting what comes back.
struct OutboundService : OutboundPrimary<Collector> {
    OutboundService() : OutboundPrimary<Collector>([](Collector* m) {
        lastCollector = m;
        m->notifier = Note;
    }) {}
};

using qvtest::WaitFor;

unsigned long long ThreadTime(PGMTHREAD* t) {
    FILETIME a, b, k, u;
    if (!t || !t->handle || !GetThreadTimes(t->handle, &a, &b, &k, &u)) return 0;
    return ((unsigned long long)k.dwHighDateTime << 32 | k.dwLowDateTime) +
           ((unsigned long long)u.dwHighDateTime << 32 | u.dwLowDateTime);
}

// A port nobody listens on.
unsigned short ClosedPort(WINSOCKCONTROL& ctl) {
    SOCKET s = ctl.fn.socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = ctl.fn.inet_addr("127.0.0.1");
    ctl.fn.bind(s, (sockaddr*)&sa, sizeof(sa));
    int len = sizeof(sa);
    ctl.fn.getsockname(s, (sockaddr*)&sa, &len);
    ctl.fn.closesocket(s);
    return ctl.fn.ntohs(sa.sin_port);
}

}  // namespace

TEST(SocketOutbound, LargePayloadComesBackByteIdentical) {
    EchoService echo(20);
    OutboundService out;
    ASSERT_TRUE(echo.connected && out.up);
    BBOOL ok = 0;
    DATACONNECTION* c = out.Open("127.0.0.1", std::to_string(echo.port).c_str(), &ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(WaitFor([&] { return c->link->connected != 0; }));
    std::string payload(1 << 20, '\0');
    std::mt19937 random(7);
    for (char& ch : payload) ch = (char)random();
    for (size_t at = 0; at < payload.size(); at += 65536)
        ASSERT_TRUE(c->link->SendMessage(BUFFER(&payload[at], 65536), 0)) << at;
    ASSERT_TRUE(WaitFor([&] { return out.monitor->Size() >= payload.size(); }, 60000)) << out.monitor->Size();
    EXPECT_TRUE(out.monitor->got == payload);
    c->freeobj();
}

TEST(SocketOutbound, RefusedConnectEndsTheLinkAndTheMonitorGoesIdle) {
    OutboundService out;
    ASSERT_TRUE(out.up);
    std::string port = std::to_string(ClosedPort(*out.control));
    BBOOL ok = 0;
    DATACONNECTION* c = out.Open("127.0.0.1", port.c_str(), &ok);
    ASSERT_TRUE(ok);
    COMMLINK* L = c->link;
    L->prepare();
    ASSERT_TRUE(WaitFor([&] { return L->closed != 0; }));
    EXPECT_EQ(L->error, 10061);
    EXPECT_TRUE(L->refused);
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> hold(out.monitor->m);
        return std::find(out.monitor->codes.begin(), out.monitor->codes.end(), CONN_CLOSED) != out.monitor->codes.end();
    }));
    // The link monitor waits again instead of spinning on the failed socket.
    unsigned long long before = ThreadTime(out.monitor->linkMonitor);
    Sleep(300);
    EXPECT_LT(ThreadTime(out.monitor->linkMonitor) - before, 1000000ULL);  // under 100 ms of 300
    L->freeobj();
    c->freeobj();
}

// Host names are looked up on the library's event window, then connected.
TEST(SocketOutbound, NamesAreLookedUpOnTheEventWindow) {
    ASSERT_TRUE(TCPCONTROL::UseAsyncDNS);
    EchoService echo(20);
    OutboundService out;
    ASSERT_TRUE(echo.connected && out.up);
    BBOOL ok = 0;
    DATACONNECTION* c = out.Open("localhost", std::to_string(echo.port).c_str(), &ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(WaitFor([&] { return c->link->connected != 0; }));
    ASSERT_TRUE(c->link->SendMessage(BUFFER((char*)"by name", 7), 0));
    EXPECT_TRUE(WaitFor([&] { return out.monitor->Size() >= 7; }));
    EXPECT_EQ("by name", out.monitor->got);
    c->freeobj();

    // A name that cannot exist ends its link with "host not found".
    // The look-up normally runs after Connect returns; a library that answers
    // at once fails the Connect itself, with the same error.
    DATACONNECTION* none = out.Open("no-such-host.invalid", "80", &ok);
    if (ok) {
        COMMLINK* L = none->link;
        L->prepare();
        ASSERT_TRUE(WaitFor([&] { return L->closed != 0; }, 30000));
        EXPECT_EQ(L->error, 11004);
        L->freeobj();
        none->freeobj();
    } else {
        EXPECT_EQ(none->lastError, 11004);
        none->freeobj();
    }
}

namespace {

// A plain listening socket of the test, accepting one peer.
struct Origin {
    WINSOCKFUNCTIONS& f;
    SOCKET listener, peer = INVALID_SOCKET;
    unsigned short port = 0;
    explicit Origin(WINSOCKCONTROL& ctl) : f(ctl.fn) {
        listener = f.socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa = {};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = f.inet_addr("127.0.0.1");
        f.bind(listener, (sockaddr*)&sa, sizeof(sa));
        int len = sizeof(sa);
        f.getsockname(listener, (sockaddr*)&sa, &len);
        port = f.ntohs(sa.sin_port);
        f.listen(listener, 1);
    }
    ~Origin() {
        if (peer != INVALID_SOCKET) f.closesocket(peer);
        f.closesocket(listener);
    }
    bool Accept() {
        peer = f.accept(listener, nullptr, nullptr);
        DWORD ms = 10000;
        f.setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, (const char*)&ms, sizeof(ms));
        return peer != INVALID_SOCKET;
    }
    // 0 at end of stream, the error when the read failed, 1 when data came.
    int Read() {
        char c;
        int r = f.recv(peer, &c, 1, 0);
        return r == 0 ? 0 : r < 0 ? f.WSAGetLastError() : 1;
    }
    // Once the link's end has arrived (the socket turns readable), what a send
    // meets: 0 after an orderly close, the error after a reset; -1 when no end
    // comes. A receive is no witness: under Wine one made after a reset has
    // arrived reads the end of the stream.
    int Ending() {
        fd_set ended;
        FD_ZERO(&ended);
        FD_SET(peer, &ended);
        timeval limit = {10, 0};
        if (f.select(0, &ended, nullptr, nullptr, &limit) != 1) return -1;
        return f.send(peer, "x", 1, 0) == 1 ? 0 : f.WSAGetLastError();
    }
};

}  // namespace

// Shutdown half-closes: the peer sees the end of the stream, and what it still
// sends is read (and dropped) until it closes too. An aborted link resets the
// connection.
TEST(SocketOutbound, ShutdownHalfClosesAndAnAbortResets) {
    OutboundService out;
    ASSERT_TRUE(out.up);
    Origin origin(*out.control);
    BBOOL ok = 0;
    DATACONNECTION* c = out.Open("127.0.0.1", std::to_string(origin.port).c_str(), &ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(origin.Accept());
    COMMLINK* L = c->link;
    L->prepare();
    ASSERT_TRUE(WaitFor([&] { return L->connected != 0; }));
    EXPECT_TRUE(L->Shutdown(0));
    EXPECT_EQ(origin.Read(), 0);
    ASSERT_EQ(origin.f.send(origin.peer, "late", 4, 0), 4);
    EXPECT_FALSE(L->closed);
    origin.f.closesocket(origin.peer);
    origin.peer = INVALID_SOCKET;
    EXPECT_TRUE(WaitFor([&] { return L->closed != 0; }));
    EXPECT_FALSE(L->reset);
    EXPECT_EQ("", out.monitor->got);
    L->freeobj();
    c->freeobj();

    // Windows 95 with its switch on closes in order even then.
    struct Case {
        long windows95;
        BBOOL switchOn;
        int peerSees;
    } cases[] = {{0, 0, WSAECONNRESET}, {0, 1, WSAECONNRESET}, {1, 0, WSAECONNRESET}, {1, 1, 0}};
    long saved = _SystemIsWindows95;
    for (const Case& k : cases) {
        _SystemIsWindows95 = k.windows95;
        out.control->win95Shutdown = k.switchOn;
        Origin second(*out.control);
        DATACONNECTION* d = out.Open("127.0.0.1", std::to_string(second.port).c_str(), &ok);
        ASSERT_TRUE(ok);
        ASSERT_TRUE(second.Accept());
        COMMLINK* M = d->link;
        M->prepare();
        ASSERT_TRUE(WaitFor([&] { return M->connected != 0; }));
        d->SetDropRequested(1, 1);  // the monitor drops it, aborting
        out.monitor->RequestWakeup();
        EXPECT_EQ(second.Ending(), k.peerSees) << k.windows95 << k.switchOn;
        EXPECT_TRUE(WaitFor([&] { return M->open == 0; }));
        M->freeobj();
        d->freeobj();
    }
    _SystemIsWindows95 = saved;
    out.control->win95Shutdown = 0;
}

// An outbound link over an interface binds to the interface's address.
TEST(SocketOutbound, LinksOverAnInterfaceLeaveFromItsAddress) {
    OutboundService out;
    ASSERT_TRUE(out.up);
    Origin origin(*out.control);
    TCPINTERFACE* line = new TCPINTERFACE("second address");
    line->prepare();
    std::strcpy(line->addressText, "127.0.0.2");
    BBOOL ok = 0;
    DATACONNECTION* c = out.Open("127.0.0.1", std::to_string(origin.port).c_str(), &ok, line);
    ASSERT_TRUE(ok) << c->lastError;
    ASSERT_TRUE(origin.Accept());
    sockaddr_in peer = {};
    int len = sizeof(peer);
    ASSERT_EQ(origin.f.getpeername(origin.peer, (sockaddr*)&peer, &len), 0);
    EXPECT_STREQ("127.0.0.2", origin.f.inet_ntoa(peer.sin_addr));
    c->SetDropRequested(1, 0);
    COMMLINK* L = c->link;
    L->prepare();
    EXPECT_TRUE(WaitFor([&] { return L->closed != 0; }));
    L->freeobj();
    c->freeobj();
    line->freeobj();
}
