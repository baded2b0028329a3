// Socket links over real loopback TCP: echo, message mode, limits.
#include "SocketFixture.h"

#include "ChildProcess.h"
#include "TaskAbend.h"
#include "WaitFor.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace socktest;

namespace {

ClientLibrary& Library() {
    static ClientLibrary* lib = new ClientLibrary;
    return *lib;
}

std::string Frame(const std::string& body) {
    char prefix[4];
    COMMLINK::WriteFrameLength(prefix, (unsigned long)body.size());
    return std::string(prefix, 4) + body;
}

}  // namespace

// Ninety clients at once on the one link-monitor thread of a port.
TEST(SocketEcho, StreamClientsGetTheirOwnBytesBack) {
    const int count = 90;
    EchoService echo(100);
    ASSERT_TRUE(echo.connected);
    ASSERT_NE(echo.port, 0);
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < count; i++) clients.emplace_back(new Client(*Library().control, echo.port));
    for (int i = 0; i < count; i++) ASSERT_TRUE(clients[i]->Send("client " + std::to_string(i))) << i;
    for (int i = 0; i < count; i++) {
        std::string want = "client " + std::to_string(i);
        EXPECT_EQ(clients[i]->Read(want.size()), want) << i;
    }
}

TEST(SocketEcho, MessageModeFrames) {
    EchoService echo(20, 0);
    ASSERT_TRUE(echo.connected);
    Client c(*Library().control, echo.port);
    std::string ten = "0123456789";
    ASSERT_TRUE(c.Send(Frame(ten)));
    EXPECT_EQ(c.Read(14), Frame(ten));
    // An empty frame yields nothing: the next frame's echo comes first.
    ASSERT_TRUE(c.Send(std::string(4, '\0') + Frame("abc")));
    EXPECT_EQ(c.Read(7), Frame("abc"));
    // A length beyond a buffer ends the connection.
    ASSERT_TRUE(c.Send(std::string("\x00\x00\x0f\xfd", 4)));
    EXPECT_NE(c.WaitClosed(), 1);
}

TEST(SocketLimits, ThirdClientOfLimitThreeIsClosedAtOnce) {
    EchoService echo(3);  // the wake-up connection takes one of the three
    ASSERT_TRUE(echo.connected);
    Client a(*Library().control, echo.port), b(*Library().control, echo.port);
    ASSERT_TRUE(a.Send("a"));
    ASSERT_EQ(a.Read(1), "a");
    ASSERT_TRUE(b.Send("b"));
    ASSERT_EQ(b.Read(1), "b");
    Client c(*Library().control, echo.port);
    int closed = c.WaitClosed();
    EXPECT_TRUE(closed == 0 || closed == WSAECONNRESET) << closed;
    ASSERT_TRUE(a.Send("again"));
    EXPECT_EQ(a.Read(5), "again");
}

// Sets hold 101 sockets: a limit above 100 serves 99 clients (the wake-up pair takes one).
TEST(SocketLimits, LimitAboveOneHundredActsAsOneHundred) {
    EchoService echo(150);
    ASSERT_TRUE(echo.connected);
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 99; i++) {
        clients.emplace_back(new Client(*Library().control, echo.port));
        ASSERT_TRUE(clients[i]->Send("x")) << i;
        ASSERT_EQ(clients[i]->Read(1), "x") << i;
    }
    Client extra(*Library().control, echo.port);
    int closed = extra.WaitClosed();
    EXPECT_TRUE(closed == 0 || closed == WSAECONNRESET) << closed;
}

TEST(SocketLimits, LimitOneIsRefusedAtOpen) {
    EchoService echo(1);
    EXPECT_FALSE(echo.connected);
    EXPECT_EQ(echo.listening->lastError, 10022);
}

// With none open, the first accept opens an auxiliary port with its own
// link-monitor thread; shutdown stops and frees them all.
TEST(SocketAuxPorts, FirstAcceptOpensOneWithItsOwnMonitor) {
    int live = EchoMonitor::Live();
    {
        EchoService echo(20, 1, 1);
        ASSERT_TRUE(echo.connected);
        Client first(*Library().control, echo.port);
        ASSERT_TRUE(first.Send("1"));
        ASSERT_EQ(first.Read(1), "1");
        ASSERT_EQ(echo.control->auxPorts.Count(), 1);
        TCPSOCKLINK* aux = echo.control->auxPorts.First();
        ASSERT_NE(aux->port, 0);
        ASSERT_NE(aux->linkMonitor, nullptr);
        EXPECT_NE(aux->linkMonitor, echo.monitor);
        Client second(*Library().control, aux->port);
        ASSERT_TRUE(second.Send("aux"));
        EXPECT_EQ(second.Read(3), "aux");
        Client third(*Library().control, echo.port);
        ASSERT_TRUE(third.Send("3"));
        EXPECT_EQ(third.Read(1), "3");
        EXPECT_EQ(echo.control->auxPorts.Count(), 1) << "no more than the maximum";
    }
    EXPECT_EQ(EchoMonitor::Live(), live) << "every monitor, the auxiliary port's too, is freed";
}

namespace {
std::mutex sendLock;
std::vector<int> sendSizes;
decltype(&::send) realSend = nullptr;
int WINAPI RecordSend(SOCKET s, const char* data, int length, int flags) {
    {
        std::lock_guard<std::mutex> hold(sendLock);
        sendSizes.push_back(length);
    }
    return realSend(s, data, length, flags);
}
}  // namespace

// With a largest send of 1024, a 3000-byte message leaves in sends of at most 1024.
TEST(SocketSending, MessagesLeaveInSendsOfTheLargestSize) {
    EchoService echo(20, 1, 0, 1024);
    ASSERT_TRUE(echo.connected);
    realSend = echo.control->fn.send;
    echo.control->fn.send = RecordSend;
    Client c(*Library().control, echo.port);
    std::string payload(3000, 'q');
    ASSERT_TRUE(c.Send(payload));
    EXPECT_EQ(c.Read(payload.size()), payload);
    std::lock_guard<std::mutex> hold(sendLock);
    int total = 0;
    for (int n : sendSizes) {
        EXPECT_LE(n, 1024);
        total += n;
    }
    EXPECT_GE(total, 3000);
    EXPECT_GE(sendSizes.size(), 3u);
}

namespace {
// The service's first send answers "would block" (the 4-byte wake-up frames pass);
// the rest go out, each recorded with the thread that made it.
std::atomic<int> sendsRefused{0};
std::vector<DWORD> sendThreads;
thread_local bool refusedHere = false;
decltype(&::WSAGetLastError) realLastError = nullptr;
int WINAPI RefuseFirstSend(SOCKET s, const char* data, int length, int flags) {
    if (length > 4 && sendsRefused.exchange(1) == 0) {
        refusedHere = true;
        return SOCKET_ERROR;
    }
    if (length > 4) {
        std::lock_guard<std::mutex> hold(sendLock);
        sendThreads.push_back(GetCurrentThreadId());
    }
    return realSend(s, data, length, flags);
}
int WINAPI WouldBlockAfterRefusal() {
    if (!refusedHere) return realLastError();
    refusedHere = false;
    return WSAEWOULDBLOCK;
}
}  // namespace

// The service's own thread meets a full socket; the link monitor finishes the send
// once the socket is writable again.
TEST(SocketSending, AWouldBlockSendIsFinishedByTheLinkMonitor) {
    sendsRefused = 0;
    sendThreads.clear();
    EchoService echo(20);
    ASSERT_TRUE(echo.connected);
    realSend = echo.control->fn.send;
    realLastError = echo.control->fn.WSAGetLastError;
    echo.control->fn.WSAGetLastError = WouldBlockAfterRefusal;
    echo.control->fn.send = RefuseFirstSend;
    Client c(*Library().control, echo.port);
    std::string payload(3000, 'w');
    ASSERT_TRUE(c.Send(payload));
    EXPECT_EQ(c.Read(payload.size()), payload);
    EXPECT_EQ(1, sendsRefused.load());
    std::lock_guard<std::mutex> hold(sendLock);
    ASSERT_FALSE(sendThreads.empty());
    ASSERT_NE(nullptr, echo.monitor->linkMonitor);
    EXPECT_EQ((DWORD)echo.monitor->linkMonitor->threadId, sendThreads.front())
        << "the send after the refusal is the link monitor's";
}

namespace {
// A socket library whose readiness wait has started failing (network down).
int WINAPI FailingSelect(int, fd_set*, fd_set*, fd_set*, timeval*) { return SOCKET_ERROR; }
int WINAPI NetworkDown() { return WSAENETDOWN; }

void BreakListener(EchoService& echo) {
    echo.control->fn.select = FailingSelect;
    echo.control->fn.WSAGetLastError = NetworkDown;
    echo.listening->link->NotifyMonitor();
    echo.monitor->RequestWakeup();
}
}  // namespace

// A listener that fails for good hands its error to the control's sink and
// its link monitor ends; without a sink the program ends with "COM101".
TEST(SocketFailures, AFailingListenerReportsToItsSink) {
    EchoService echo(20);
    ASSERT_TRUE(echo.connected);
    LINKERRORSINK sink;
    echo.control->errorSink = &sink;
    auto select = echo.control->fn.select;
    auto lastError = echo.control->fn.WSAGetLastError;
    BreakListener(echo);
    ASSERT_NE(echo.monitor->linkMonitor, nullptr);
    EXPECT_EQ(WaitForSingleObject(echo.monitor->linkMonitor->handle, 10000), WAIT_OBJECT_0) << "its link monitor ended";
    EXPECT_EQ(sink.error, WSAENETDOWN);
    echo.control->fn.select = select;
    echo.control->fn.WSAGetLastError = lastError;
}

QV_CHILD_CASE(FailingListenerWithoutSink) {
    EchoService echo(20);
    if (!echo.connected) std::exit(5);
    BreakListener(echo);
    Sleep(30000);
    std::exit(6);
}

TEST(SocketFailures, WithoutASinkTheProgramEndsWithCom101) {
    qvtest::ChildResult r = qvtest::RunChild("FailingListenerWithoutSink");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    EXPECT_NE(r.output.find(std::string("'") + ABEND_COM101 + "-"), std::string::npos) << r.output;
}

namespace {
// Replies from a worker thread, and only once the link monitor is blocked in
// its wait: the reply must wake it to be sent.
struct LateEchoMonitor : EchoMonitor {
    std::vector<std::thread> workers;
    explicit LateEchoMonitor(LINKCONTROL& c) : EchoMonitor(c) {}
    ~LateEchoMonitor() override {
        for (auto& t : workers) t.join();
    }
    BBOOL evaluateRequest(DATAREQUEST* r) override {
        Echo* e = static_cast<Echo*>(r);
        COMMLINK* reply = r->connection ? r->connection->link : nullptr;
        TCPSOCKLINK* watcher = dynamic_cast<TCPSOCKLINK*>(linkConnection->link);
        IOBUFFER* buffer = e->buffer;
        e->buffer = nullptr;
        r->FreeRequest(0);
        workers.emplace_back([reply, watcher, buffer] {
            qvtest::WaitFor([watcher] { return watcher->waiting != 0; });
            if (!reply || !reply->PutMessage(buffer, 0)) buffer->freeobj();
        });
        return 1;
    }
};
}  // namespace

TEST(SocketSending, AWorkerThreadsReplyWakesTheWaitingMonitor) {
    ListenService<LateEchoMonitor> echo(20);
    ASSERT_TRUE(echo.connected);
    Client c(*Library().control, echo.port);
    for (std::string text : {"first", "second reply"}) {
        ASSERT_TRUE(c.Send(text));
        EXPECT_EQ(c.Read(text.size()), text) << "the reply waited for a monitor that nobody woke";
    }
}

namespace {
// A single-connection listener opened straight on the library: no monitor.
struct SingleListener {
    WINSOCKLINK* link;
    int opened;
    explicit SingleListener(const char* peer) {
        link = new WINSOCKLINK(*Library().control, "0", LINK_CLIENT_LISTEN, 0);
        link->prepare();
        link->resetable = 1;
        opened = link->OpenLink(peer, nullptr, 1);
    }
    ~SingleListener() { link->freeobj(); }
    // Polls the non-blocking accept until a peer is taken or refused.
    TCPSOCKLINK* Accept() {
        TCPSOCKLINK* got = nullptr;
        qvtest::WaitFor([&] {
            MSEMHOLD hold(link->lock);
            got = link->AcceptConnection(0);
            return got || link->closed;
        });
        return got;
    }
};
}  // namespace

// Given a peer address, a single-connection listener refuses any other peer;
// one that served its peer listens again after ResetLink.
TEST(SocketSingle, PeerAddressRefusesOthersAndResetListensAgain) {
    {
        SingleListener only("127.0.0.2");
        ASSERT_EQ(only.opened, 0);
        Client stranger(*Library().control, only.link->port);
        EXPECT_EQ(only.Accept(), nullptr);
        EXPECT_TRUE(only.link->closed && only.link->refused);
        EXPECT_FALSE(only.link->IsResetable());
        EXPECT_EQ(COMMLINK::ErrorCannotOpen, only.link->ResetLink());
    }
    SingleListener single("127.0.0.1");
    ASSERT_EQ(single.opened, 0);
    for (int round = 0; round < 2; round++) {
        Client peer(*Library().control, single.link->port);
        ASSERT_EQ(single.Accept(), single.link) << round;
        EXPECT_TRUE(single.link->connected && !single.link->listening);
        single.link->SetBlocking(1, 0);
        unsigned char byte = 'p';
        EXPECT_EQ(single.link->TCPSocketSend(&byte, 1), 1);
        EXPECT_EQ(peer.Read(1), "p");
        peer.Close();
        single.link->closed = 1;  // what the receive loop records when the peer leaves
        ASSERT_TRUE(single.link->IsResetable()) << round;
        ASSERT_EQ(single.link->ResetLink(), 0);
        EXPECT_TRUE(single.link->listening && single.link->connectPending && !single.link->connected);
        single.link->SetBlocking(0, 0);
    }
}

namespace {
// The library's readiness wait, counted.
decltype(&::select) realSelect = nullptr;
std::atomic<int> selects{0};
int WINAPI CountingSelect(int n, fd_set* r, fd_set* w, fd_set* e, timeval* t) {
    selects++;
    return realSelect(n, r, w, e, t);
}
}  // namespace

// A link whose pool has no buffer to give is tried again after a while: the link monitor
// does not spin on its readable socket, and the bytes are echoed once buffers come back.
TEST(SocketLink, ALinkWithoutBuffersWaitsInsteadOfSpinning) {
    EchoService echo(20);
    ASSERT_TRUE(echo.connected);
    realSelect = echo.control->fn.select;
    echo.control->fn.select = CountingSelect;
    Client c(*Library().control, echo.port);
    TCPSOCKLINK* link = nullptr;
    ASSERT_TRUE(qvtest::WaitFor([&] {
        MSEMHOLD hold(echo.Link()->lock);
        for (bSPOINTER* s = echo.Link()->secondaries.first; s->target; s = s->next)
            if (!static_cast<TCPSOCKLINK*>(s->target)->framed) link = static_cast<TCPSOCKLINK*>(s->target);
        return link != nullptr;
    }));
    BUFFERPOOL empty(nullptr, 0, 0, 0, TRUE);  // standard buffers of no size: none to be had
    BUFFERPOOL* kept = link->pool;
    link->pool = &empty;
    ASSERT_TRUE(c.Send("starved"));
    Sleep(100);  // the bytes are in and the link has asked the pool in vain
    EXPECT_EQ(0, link->receivedCount);
    int before = selects;
    Sleep(300);
    EXPECT_LT(selects - before, 30) << "a wait of 50 ms at most, and a retry, per round";
    link->pool = kept;
    EXPECT_EQ(c.Read(7), "starved");
    echo.control->fn.select = realSelect;
}

namespace {
// An echo service on a single-connection port that listens again after each peer.
struct SingleEchoService : EchoService {
    SingleEchoService() : EchoService(0, 1, 0, 0, nullptr, 1) {}
    // One client's exchange: its bytes back, then its close.
    bool Exchange(const std::string& text) {
        Client c(*Library().control, port);
        return c.Send(text) && c.Read(text.size()) == text;
    }
};
}  // namespace

TEST(SocketSingle, AMonitoredPortServesItsClientsInTurn) {
    SingleEchoService single;
    ASSERT_TRUE(single.connected);
    for (int round = 0; round < 3; round++)
        EXPECT_TRUE(single.Exchange("round " + std::to_string(round))) << round;
}

// How long one client's exchange with a single-connection port takes: the port
// listens again once the last peer has gone.
TEST(SocketBenchmark, DISABLED_ClientsInTurnOnASingleConnectionPort) {
    SingleEchoService single;
    ASSERT_TRUE(single.connected);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    const int rounds = 100;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < rounds; i++) ASSERT_TRUE(single.Exchange("exchange")) << i;
    QueryPerformanceCounter(&end);
    std::printf("a client's exchange with a single-connection port: %.2f ms on average over %d\n",
                (end.QuadPart - start.QuadPart) * 1e3 / frequency.QuadPart / rounds, rounds);
}

// How long waking a link monitor blocked in its wait takes: from the wake-up
// call until the monitor has come round to its wait again, over many rounds.
TEST(SocketBenchmark, DISABLED_WakingAWaitingMonitor) {
    EchoService echo(20);
    ASSERT_TRUE(echo.connected);
    TCPSOCKLINK* link = echo.Link();
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    const int rounds = 2000;
    double total = 0, worst = 0;
    for (int i = 0; i < rounds; i++) {
        ASSERT_TRUE(qvtest::WaitFor([&] { return link->waiting != 0; }, 20000, 0));
        QueryPerformanceCounter(&start);
        link->NotifyMonitor();
        // The monitor takes the request back on its next pass: woken and come round.
        while (link->wakeAsked) {
        }
        QueryPerformanceCounter(&end);
        double us = (end.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart;
        total += us;
        if (us > worst) worst = us;
    }
    std::printf("waking a waiting link monitor: %.1f us on average, %.1f us at worst, over %d rounds\n",
                total / rounds, worst, rounds);
}
