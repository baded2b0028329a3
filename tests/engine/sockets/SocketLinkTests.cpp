// Socket links over real loopback TCP: echo, message mode, limits.
#include "SocketFixture.h"

#include "ChildProcess.h"

#include <cstring>
#include <mutex>
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
    EXPECT_NE(r.output.find("'COM101-"), std::string::npos) << r.output;
}
