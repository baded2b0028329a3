// The line policy against a scripted TCP interface layer and a fixed clock:
// which dials and hang-ups it asks for, what the console is told.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "QvWindows.h"
#include "AppRequest.h"
#include "LinkInterface.h"
#include "MessageWindow.h"
#include "NetworkInterface.h"
#include "ServerIds.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "WaitFor.h"

namespace {

const UINT kAppMessage = WM_USER + 100;

unsigned long gNow = 0;
unsigned long FixedNow() { return gNow; }

// What the console window was sent: "cmd <id>" or "text <text>".
std::vector<std::string> gConsole;

LRESULT CALLBACK ConsoleProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COMMAND) {
        gConsole.push_back("cmd " + std::to_string(LOWORD(wp)));
        return 0;
    }
    if (m == kAppMessage && (unsigned short)wp == APPMSG_TEXT) {
        gConsole.push_back(std::string("text ") + reinterpret_cast<const char*>(lp));
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

HWND MakeConsole() { return qvtest::MakeMessageWindow("QvLinesConsole", ConsoleProc); }

void Pump() { qvtest::PumpMessages(); }

// The TCP interface layer, scripted: every call is journaled; a dial leaves
// the line "up" (connecting) until the test delivers the link's event.
struct ScriptedLayer : LINELAYER {
    LINKINTERFACE* links[4] = {};
    BBOOL up[4] = {};
    long active[4] = {};
    int refreshes = 0;
    std::vector<std::string> calls;
    HANDLE dialGate = nullptr;  // when set, a dial waits for it
    std::atomic<int> dialsStarted{0};
    std::atomic<int> dialsDone{0};

    ScriptedLayer() {
        const char* names[4] = {"Office", "Second", "Third", "Fourth"};
        for (int i = 0; i < 4; ++i) {
            links[i] = new LINKINTERFACE(names[i]);
            links[i]->dialUp = TRUE;
            links[i]->lineNumber = i + 1;
        }
    }
    ~ScriptedLayer() override {
        for (LINKINTERFACE* l : links)
            if (l) l->freeobj();
    }
    void Say(const std::string& s) { calls.push_back(s); }

    LINKINTERFACE* FindRelativeLine(int n) override { return n >= 1 && n <= 4 ? links[n - 1] : nullptr; }
    BBOOL GetLineState(int n, BBOOL) override { return up[n - 1]; }
    BBOOL SetLineState(int n, BBOOL on) override {
        ++dialsStarted;
        if (dialGate) WaitForSingleObject(dialGate, 20000);
        Say((on ? "dial " : "hangup ") + std::to_string(n));
        up[n - 1] = on;
        ++dialsDone;
        return TRUE;
    }
    void ShutDown(BBOOL hangUp) override { Say(hangUp ? "shutdown hangup" : "shutdown leave"); }
    long ActiveRequests(LINKINTERFACE* link) override { return active[link->lineNumber - 1]; }
    void HangUp(LINKINTERFACE*) override {}
    void EnableRouting(LINKINTERFACE* l) override { Say("route " + std::to_string(l->lineNumber)); }
    void DisableRouting(LINKINTERFACE*) override {}
    void SendKeepAlive(LINKINTERFACE* l) override { Say("keepalive " + std::to_string(l->lineNumber)); }
    void RefreshInterfaces() override { ++refreshes; }
    void PlayLineSound(const char* sound, BBOOL) override { Say(std::string("sound ") + sound); }
    void ShowBox(const char* caption, const char* text) override {
        Say(std::string("box ") + caption + "|" + text);
    }

    int Count(const std::string& call) const {
        int n = 0;
        for (const std::string& c : calls) n += c == call;
        return n;
    }
};

// A parked request: counts its restarts, with the cancelled flag it had.
struct ParkedRequest : APPREQUEST {
    int restarts = 0;
    int cancelledRestarts = 0;
    ParkedRequest() : APPREQUEST(nullptr, nullptr, nullptr) {}
    BBOOL RestartProcess() override {
        ++restarts;
        if (cancelled) ++cancelledRestarts;
        return TRUE;
    }
};

class LinePolicy : public ::testing::Test {
protected:
    void SetUp() override {
        gNow = 1700000000UL;
        TIMESTAMP::SetNowSource(FixedNow);
        gConsole.clear();
        savedAppMessage = _pSupport->appMessage;
        _pSupport->appMessage = kAppMessage;
        console = MakeConsole();
        server = new SVRSYSTEM(FALSE, FALSE);
        server->prepare();
        server->consoleWindow = console;
        _pSvr = server;
        net().UseLayer(&layer);
        net().lineSetThreads = FALSE;
        net().lineCount = 4;
        std::strcpy(net().lines[0].phonebookEntry, "Office");
        std::strcpy(net().lines[1].phonebookEntry, "Second");
        std::strcpy(net().lines[2].phonebookEntry, "none");
        std::strcpy(net().lines[3].phonebookEntry, "none");
        std::strcpy(server->config.sounds[2], "open1");
        std::strcpy(server->config.sounds[4], "open2");
    }
    void TearDown() override {
        net().started = FALSE;
        net().UseLayer(nullptr);
        _pSvr = nullptr;
        server->freeobj();
        DestroyWindow(console);
        _pSupport->appMessage = savedAppMessage;
        TIMESTAMP::SetNowSource(nullptr);
    }

    NETWORKINTERFACE& net() { return server->lines; }
    std::vector<std::string> Console() {
        Pump();
        return gConsole;
    }
    int ConsoleCount(const std::string& what) {
        int n = 0;
        for (const std::string& c : Console()) n += c == what;
        return n;
    }
    // The link of line n reports state; the console's dispatch follows.
    void Event(int n, int state) {
        LINKINTERFACE* l = layer.links[n - 1];
        l->state = state;
        if (state == 9) {
            l->connected = TRUE;
            net().ProcessCommConnect(l);
        } else {
            l->connected = FALSE;
            layer.up[n - 1] = FALSE;
            NETWORKINTERFACE::ProcessDisconnectThread(l);
        }
    }
    void Start() {
        net().started = TRUE;
    }

    ScriptedLayer layer;
    SVRSYSTEM* server = nullptr;
    HWND console = nullptr;
    unsigned long savedAppMessage = 0;
};

TEST_F(LinePolicy, SetLineStateRefusalsAndRepeats) {
    // Not started: a box, nothing dialled.
    EXPECT_FALSE(net().SetLineState(1, TRUE));
    ASSERT_EQ(1u, layer.calls.size());
    EXPECT_EQ("box Quorvane Steadfell|Quorvane Steadfell is not ready. Try again later.", layer.calls[0]);
    layer.calls.clear();

    Start();
    // "none" and a line unknown to the layer: the console's status text.
    EXPECT_FALSE(net().SetLineState(3, TRUE));
    layer.links[1]->freeobj();
    layer.links[1] = nullptr;
    EXPECT_FALSE(net().SetLineState(2, TRUE));
    EXPECT_TRUE(layer.calls.empty());
    std::vector<std::string> seen = Console();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ("text Connection 'none' does not exist or cannot be used.", seen[0]);
    EXPECT_EQ("text Connection 'Second' does not exist or cannot be used.", seen[1]);
    gConsole.clear();

    // An empty entry goes on to the layer.
    net().lines[0].phonebookEntry[0] = 0;
    EXPECT_TRUE(net().SetLineState(1, TRUE));
    EXPECT_EQ(1, layer.Count("dial 1"));
    EXPECT_EQ(1, layer.Count("sound open1"));
    EXPECT_EQ(1, ConsoleCount("cmd " + std::to_string(CMD_LINE1)));

    // Already up: TRUE with no sound, dial or message.
    layer.calls.clear();
    gConsole.clear();
    EXPECT_TRUE(net().SetLineState(1, TRUE));
    EXPECT_TRUE(layer.calls.empty());
    EXPECT_TRUE(Console().empty());

    // A second request while the dial is pending starts nothing.
    layer.up[0] = FALSE;
    EXPECT_TRUE(net().SetLineState(1, TRUE));
    EXPECT_EQ(0, layer.Count("dial 1"));
}

TEST_F(LinePolicy, StartupDialsLineOneThenParallelLinesAndPostsReadyOnce) {
    net().connectWhenLaunched = TRUE;
    net().escalation[0][NETWORKINTERFACE::ESC_PARALLEL] = TRUE;
    net().Startup();
    EXPECT_EQ(std::vector<std::string>({"sound open1", "dial 1"}), layer.calls);
    EXPECT_TRUE(net().startupDialling);
    Event(1, 9);
    EXPECT_EQ(1, layer.Count("dial 2"));
    EXPECT_EQ(1, layer.Count("sound open2"));
    EXPECT_EQ(0, ConsoleCount("cmd " + std::to_string(CMD_INITIAL_REQUESTS)));
    Event(2, 9);
    EXPECT_EQ(1, ConsoleCount("cmd " + std::to_string(CMD_INITIAL_REQUESTS)));
    EXPECT_FALSE(net().startupDialling);
    Event(1, 3);  // later connects post nothing more
    net().lines[0].redial = FALSE;
    EXPECT_EQ(1, ConsoleCount("cmd " + std::to_string(CMD_INITIAL_REQUESTS)));
}

TEST_F(LinePolicy, StartupWithALineAlreadyUpPostsReadyAtOnce) {
    layer.up[0] = TRUE;
    layer.links[0]->connected = TRUE;
    net().connectWhenLaunched = TRUE;
    net().Startup();
    EXPECT_EQ(0, layer.Count("dial 1"));
    EXPECT_TRUE(net().lines[0].connected);
    EXPECT_EQ(1, ConsoleCount("cmd " + std::to_string(CMD_INITIAL_REQUESTS)));
}

TEST_F(LinePolicy, ParkedRequestsRestartOnConnectAndFailOnlyWithLineOne) {
    ParkedRequest a, b, c, d;
    EXPECT_FALSE(net().ConnectOnRequest(&a));  // "Connect Upon Request" off
    net().connectUponRequest = TRUE;
    EXPECT_FALSE(net().ConnectOnRequest(&a));  // not started
    Start();
    EXPECT_TRUE(net().ConnectOnRequest(&a));
    EXPECT_TRUE(net().ConnectOnRequest(&b));
    EXPECT_EQ(1, layer.Count("dial 1"));
    EXPECT_EQ(2, net().waiting.Count());
    EXPECT_EQ(1, a.queuedCount);
    EXPECT_TRUE(a.waitingForLine) << "the service keeps it meanwhile";
    Event(1, 9);
    EXPECT_FALSE(a.waitingForLine);
    EXPECT_EQ(0, net().waiting.Count());
    EXPECT_EQ(1, a.restarts);
    EXPECT_EQ(1, b.restarts);
    EXPECT_EQ(0, a.cancelledRestarts);
    // Line 1 up: restarted at once.
    EXPECT_TRUE(net().ConnectOnRequest(&c));
    EXPECT_EQ(1, c.restarts);

    // Line 1 down; a request parks; line 2 fails meanwhile: it waits on.
    Event(1, 2);
    EXPECT_TRUE(net().ConnectOnRequest(&d));
    net().lines[1].dialPending = TRUE;
    Event(2, 13);
    EXPECT_EQ(0, d.restarts);
    EXPECT_EQ(1, net().waiting.Count());
    // Line 1's dial fails: released, cancelled.
    Event(1, 13);
    EXPECT_EQ(1, d.cancelledRestarts);
    EXPECT_EQ(0, d.queuedCount);
    EXPECT_FALSE(net().ConnectOnRequest(&d)) << "released with its line: not dialled again";

    // Refused dial: the request is not left parked.
    ParkedRequest e;
    std::strcpy(net().lines[0].phonebookEntry, "none");
    EXPECT_FALSE(net().ConnectOnRequest(&e));
    EXPECT_EQ(0, net().waiting.Count());
    EXPECT_EQ(0, e.restarts);
}

TEST_F(LinePolicy, ShutdownReleasesParkedRequestsAndLeavesLinesUpWhenAsked) {
    net().connectUponRequest = TRUE;
    Start();
    ParkedRequest a;
    EXPECT_TRUE(net().ConnectOnRequest(&a));
    net().ShutdownLeavingLinesUp();
    EXPECT_FALSE(net().started);
    EXPECT_EQ(1, a.cancelledRestarts);
    EXPECT_EQ(1, layer.Count("shutdown leave"));
    net().Shutdown(TRUE);
    EXPECT_EQ(1, layer.Count("shutdown hangup"));
    EXPECT_FALSE(net().ConnectOnRequest(&a));
}

TEST_F(LinePolicy, DropWithRedialRedialsWithoutTheOpenSound) {
    net().lines[0].redial = TRUE;
    Start();
    net().SetLineState(1, TRUE);
    Event(1, 9);
    layer.calls.clear();
    Event(1, 3);
    EXPECT_EQ(std::vector<std::string>({"dial 1"}), layer.calls);
    EXPECT_TRUE(net().lines[0].redialling);
    Event(1, 9);
    EXPECT_FALSE(net().lines[0].redialling);
    // Without "Redial" a drop leaves the line down.
    net().lines[0].redial = FALSE;
    layer.calls.clear();
    Event(1, 3);
    EXPECT_EQ(0, layer.Count("dial 1"));
    EXPECT_FALSE(net().lines[0].connected);
}

TEST_F(LinePolicy, RepeatDialingCountBoundsTheAttempts) {
    struct Case {
        BBOOL repeat;
        long count;
        int failState;
        int attempts;
    } cases[] = {{TRUE, 3, 13, 3}, {TRUE, 3, 3, 3}, {TRUE, 3, 14, 3}, {TRUE, 0, 13, 1},
                 {TRUE, 1, 13, 1}, {FALSE, 3, 13, 1}, {TRUE, 3, 2, 1}};
    Start();
    for (const Case& c : cases) {
        layer.calls.clear();
        net().lines[0].repeatDialing = c.repeat;
        net().lines[0].repeatDialingCount = c.count;
        net().SetLineState(1, TRUE);
        for (int i = 0; i < 10 && net().lines[0].dialPending; ++i) Event(1, c.failState);
        std::string what = "count " + std::to_string(c.count) + " state " + std::to_string(c.failState);
        EXPECT_EQ(c.attempts, layer.Count("dial 1")) << what;
        EXPECT_EQ(1, layer.Count("sound open1")) << what;
        EXPECT_FALSE(net().lines[0].dialPending) << what;
        EXPECT_EQ(0, net().lines[0].retryCount) << what;
    }
}

TEST_F(LinePolicy, EscalationByLoadAndFailover) {
    std::strcpy(net().lines[2].phonebookEntry, "Third");
    Start();
    net().SetLineState(1, TRUE);
    Event(1, 9);
    long* esc2 = net().escalation[0];
    esc2[NETWORKINTERFACE::ESC_ON_COUNT] = TRUE;
    esc2[NETWORKINTERFACE::ESC_COUNT] = 5;
    layer.active[0] = 4;
    net().ProcessNewConnection(nullptr);
    EXPECT_EQ(0, layer.Count("dial 2"));
    layer.active[0] = 5;
    net().ProcessNewConnection(nullptr);
    EXPECT_EQ(1, layer.Count("dial 2"));
    Event(2, 9);

    // Line 3: threshold over the sum of lines 1 and 2; 0 disables; a missing
    // link of line 1 counts no requests.
    long* esc3 = net().escalation[1];
    esc3[NETWORKINTERFACE::ESC_ON_COUNT] = TRUE;
    esc3[NETWORKINTERFACE::ESC_COUNT] = 0;
    layer.active[1] = 10;
    net().ProcessNewConnection(nullptr);
    EXPECT_EQ(0, layer.Count("dial 3"));
    esc3[NETWORKINTERFACE::ESC_COUNT] = 8;
    layer.active[0] = 0;
    layer.active[1] = 7;
    net().ProcessNewConnection(nullptr);
    EXPECT_EQ(0, layer.Count("dial 3"));
    layer.active[0] = 1;
    net().ProcessNewConnection(nullptr);
    EXPECT_EQ(1, layer.Count("dial 3"));
    // "none" is never dialled.
    Event(3, 9);
    long* esc4 = net().escalation[2];
    esc4[NETWORKINTERFACE::ESC_ON_COUNT] = TRUE;
    esc4[NETWORKINTERFACE::ESC_COUNT] = 1;
    net().ProcessNewConnection(nullptr);
    EXPECT_EQ(0, layer.Count("dial 4"));

    // Failover: line 2 dials when line 1 goes down, once the console set it.
    Event(2, 2);
    layer.calls.clear();
    Event(1, 2);
    EXPECT_EQ(0, layer.Count("dial 2"));
    net().SetLineState(1, TRUE);
    Event(1, 9);
    net().escalation[0][NETWORKINTERFACE::ESC_ON_DOWN] = TRUE;
    Event(1, 2);
    EXPECT_EQ(1, layer.Count("dial 2"));
}

TEST_F(LinePolicy, IdleLinesHangUpTrafficResetsTheClock) {
    struct Case {
        long minutes;
        BBOOL idleDisconnect;
        bool traffic;
        bool hungUp;
    } cases[] = {{1, TRUE, false, true}, {1, TRUE, true, false}, {0, TRUE, false, false}, {1, FALSE, false, false}};
    Start();
    for (const Case& c : cases) {
        std::string what = std::to_string(c.minutes) + (c.traffic ? " traffic" : " quiet");
        net().lines[0].idleMinutes = c.minutes;
        net().lines[0].idleDisconnect = c.idleDisconnect;
        net().SetLineState(1, TRUE);
        Event(1, 9);
        layer.calls.clear();
        gNow += 59;
        NETWORKINTERFACE::checkInterfaceActivity(&net());
        EXPECT_EQ(0, layer.Count("hangup 1")) << what;
        if (c.traffic) layer.links[0]->active = TRUE;
        gNow += 1;
        NETWORKINTERFACE::checkInterfaceActivity(&net());
        EXPECT_EQ(c.hungUp ? 1 : 0, layer.Count("hangup 1")) << what;
        if (!c.hungUp) net().SetLineState(1, FALSE);
        Event(1, 2);
    }
}

TEST_F(LinePolicy, ThroughputSamples) {
    LINKINTERFACE* l = layer.links[0];
    TIMESTAMP t0(gNow, 0);
    net().lines[0].updateStatistics(l, t0);
    l->bytesReceived = 1000;
    l->bytesSent = 250;
    TIMESTAMP t1(gNow + 10, 0);
    net().lines[0].updateStatistics(l, t1);
    EXPECT_EQ(100, l->statistics[3]);
    EXPECT_EQ(25, l->statistics[4]);
    EXPECT_EQ(1000, l->statistics[0]);
    EXPECT_EQ(250, l->statistics[1]);
    EXPECT_EQ(0, l->bytesReceived);
    EXPECT_EQ(10, l->sampleInterval);
    // A zero-length sample divides nothing; its bytes join the next one.
    l->bytesReceived = 40;
    net().lines[0].updateStatistics(l, t1);
    EXPECT_EQ(100, l->statistics[3]);
    EXPECT_EQ(40, l->bytesReceived);
}

TEST_F(LinePolicy, StatusTextsForEveryState) {
    struct Case {
        int state;
        const char* detail;
        const char* secondaryVersion;
        const char* text;
    } cases[] = {
        {0, "x", "", "Office : "},
        {1, "", "", "Office : Opening Connection ..."},
        {2, "", "", "Office : Connection closed."},
        {3, "", "", "Office : The connection has dropped!"},
        {4, " 555-1234", "", "Office : Dialing ... 555-1234"},
        {5, "", "", "Office : Negotiating protocols ..."},
        {6, "", "", "Office : Connecting ..."},
        {7, "", "", "Office : Logging in ..."},
        {8, "", "", "Office : Negotiating protocols ..."},
        {9, "", "", "Office : Connection completed."},
        {10, "", "", "Office : Opening Connection ..."},
        {11, "", "", "Office : Disconnecting ..."},
        {12, "", "", "Office : Connection closed."},
        {13, "", "", "Office : Unable to complete the connection."},
        {14, "", "", "Office : "},
        {15, "", "", "Office : The dialer is busy; try again later."},
        {16, "2", "", "Office : You have an old version of Quorvane's Multi-Line support.2"},
        {16, "2", "2.0", "Office : You have not installed Quorvane's Multi-Line support.2"},
        {16, "3", "", "Office : You have not installed Dial-up Networking Scripting.3"},
        {16, "7", "", "Office : You have not installed Dial-up Networking support.7"},
        {17, "633", "", "Office : Connection failed : Undefined RAS error 633"},
        {18, "x", "", "Office : "},
    };
    LINKINTERFACE* l = layer.links[0];
    for (const Case& c : cases) {
        l->state = c.state;
        std::strcpy(l->statusText, c.detail);
        std::strcpy(server->config.secondaryWinsockVersion, c.secondaryVersion);
        char text[128];
        BUFFER out(text, sizeof text);
        EXPECT_STREQ(c.text, net().GetCommStatusMsg(l, out)) << c.state;
        if (c.state == 16) {
            EXPECT_STREQ("", l->statusText);
        }
    }
    char small[12];
    BUFFER cut(small, sizeof small);
    l->state = 9;
    EXPECT_STREQ("Office : Co", net().GetCommStatusMsg(l, cut));
}

TEST_F(LinePolicy, PollsRefreshEveryThirdAndReportLinesUp) {
    for (int i = 0; i < 6; ++i) net().CheckCommInterfaces(FALSE);
    EXPECT_EQ(2, layer.refreshes);
    EXPECT_FALSE(net().CheckCommInterfaces(FALSE));
    layer.up[1] = TRUE;  // came up by itself: not the policy's own
    EXPECT_TRUE(net().CheckCommInterfaces(FALSE));
    EXPECT_FALSE(net().CheckCommInterfaces(TRUE));
    EXPECT_EQ(1, ConsoleCount("cmd " + std::to_string(CMD_LINE1 + 1)));
    net().lineSetActive = TRUE;
    layer.up[1] = FALSE;
    EXPECT_TRUE(net().CheckCommInterfaces(FALSE));
    net().lineSetActive = FALSE;
    Start();
    net().SetLineState(1, TRUE);
    EXPECT_TRUE(net().CheckCommInterfaces(TRUE));
}

TEST_F(LinePolicy, KeepAliveOnConnectedLinesWithTheSetting) {
    Start();
    net().SetLineState(1, TRUE);
    Event(1, 9);
    net().SetLineState(2, TRUE);
    Event(2, 9);
    net().lines[1].keepAlive = TRUE;
    NETWORKINTERFACE::keepaliveInterfaces(&net());
    EXPECT_EQ(0, layer.Count("keepalive 1"));
    EXPECT_EQ(1, layer.Count("keepalive 2"));
}

TEST_F(LinePolicy, DialOnDemandDoesNotWaitForTheDial) {
    net().lineSetThreads = TRUE;
    net().connectUponRequest = TRUE;
    Start();
    layer.dialGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ParkedRequest a, b;
    EXPECT_TRUE(net().ConnectOnRequest(&a));
    ASSERT_TRUE(qvtest::WaitFor([&] { return layer.dialsStarted.load() == 1; }));
    // The dial blocks its own thread; others are answered meanwhile.
    EXPECT_TRUE(net().ConnectOnRequest(&b));
    EXPECT_TRUE(net().CheckCommInterfaces(FALSE));
    EXPECT_EQ(2, net().waiting.Count());
    SetEvent(layer.dialGate);
    ASSERT_TRUE(qvtest::WaitFor([&] { return !net().lineSetActive && layer.dialsDone.load() == 1; }));
    MSEMHOLD hold(net().interfaceLock);  // the line-set has let go
    EXPECT_EQ(1, layer.dialsStarted.load());
    net().Shutdown(TRUE);
    EXPECT_EQ(1, a.cancelledRestarts);
    CloseHandle(layer.dialGate);
    layer.dialGate = nullptr;
}

}  // namespace
