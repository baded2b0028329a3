// The TCP layer: message identities and buffers, the writing of disconnect
// markers, the settings, the outbound-interface setting and the service start.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>

#include "LocalLink.h"
#include "Profile.h"
#include "ScratchDir.h"
#include "SvrSystem.h"
#include "TcpAppInstance.h"
#include "TcpAppType.h"
#include "TcpConnection.h"
#include "TcpDefinition.h"
#include "TcpMessages.h"
#include "TcpReqMonitor.h"
#include "TcpInterface.h"
#include "WinSockControl.h"
#include "WinSockInterface.h"

namespace {

IOBUFFER* Filled(const std::string& text) {
    IOBUFFER* b = _pSupport->bufferPool.GetBuffer(0);
    std::memcpy(b->area.data, text.data(), text.size());
    b->cursor.data = b->area.data;
    b->cursor.length = (long)text.size();
    return b;
}

TEST(TcpMessages, MarkersAreNeverTakenForChunks) {
    struct {
        BASEITEM* item;
        unsigned long id;
        const char* name;
    } cases[] = {
        {new TCPREQUEST(nullptr, nullptr), 0x51526374, "TCPREQUEST"},
        {new TCPRESPONSE(nullptr, nullptr, nullptr), 0x53526374, "TCPRESPONSE"},
        {new TCPDISCREQUEST, 0x44516374, "TCPDISCREQUEST"},
        {new TCPDISCRESPONSE, 0x44526374, "TCPDISCRESPONSE"},
    };
    for (auto& c : cases) {
        c.item->prepare();
        EXPECT_EQ(c.id, c.item->ItemClassID()) << c.name;
        EXPECT_STREQ(c.name, c.item->ItemClassName());
        if (auto* r = dynamic_cast<DATAREQUEST*>(c.item)) r->FreeRequest(FALSE);
        if (auto* r = dynamic_cast<DATARESULT*>(c.item)) r->FreeResult(FALSE);
    }
}

TEST(TcpMessages, BufferGoesBackOnceAndStatusLineIsEmpty) {
    LOCALLINK* link = new LOCALLINK(LINK_CLIENT_CONNECT, "tcp.messages");
    link->prepare();
    link->OpenLink(nullptr, nullptr, 0);
    const long before = _pSupport->bufferPool.inUse;
    TCPRESPONSE* r = new TCPRESPONSE(nullptr, Filled("abc"), link);
    r->prepare();
    EXPECT_EQ(before + 1, _pSupport->bufferPool.inUse);
    r->FreeMessage();
    r->FreeMessage();
    EXPECT_EQ(before, _pSupport->bufferPool.inUse);
    char text[8] = "x";
    BUFFER out(text, sizeof text);
    r->GetStatusLine(out);
    EXPECT_EQ(0, out.length);
    EXPECT_EQ(0, text[0]);
    r->FreeResult(FALSE);
    EXPECT_EQ(before, _pSupport->bufferPool.inUse);
    link->freeobj();
}

// A monitor's writing of markers and chunks, on a connection over a local link.
struct MarkerTest : ::testing::Test {
    LINKCONTROL control;
    TCPREQMONITOR* monitor = nullptr;
    TCPCONNECTION* to = nullptr;
    void SetUp() override {
        monitor = new TCPREQMONITOR(control, 2);
        monitor->prepare();
        to = new TCPCONNECTION(nullptr, control, "peer", "0", "Local");
        to->prepare();
        to->link = new COMMLINK(LINK_SERVER_CONNECT, &control, 1);
        to->link->prepare();
        to->link->OpenLink(nullptr, nullptr, 0);
        to->link->owner = to;
    }
    void TearDown() override {
        COMMLINK* link = to->link;
        to->link = nullptr;
        to->freeobj();
        link->freeobj();
        monitor->freeobj();
    }
};

TEST_F(MarkerTest, ConnectedLinkClosesOnceItsOutputHasGone) {
    to->link->connected = TRUE;
    TCPDISCREQUEST* marker = TCPDISCREQUEST::Generate(nullptr);
    monitor->sendRequest(marker, to);
    EXPECT_TRUE(to->closeWhenIdle);
    EXPECT_FALSE(to->link->shutdownRequested);
    EXPECT_FALSE(to->dropRequested);
}

TEST_F(MarkerTest, UnconnectedLinkIsShutAtOnce) {
    to->link->connected = FALSE;
    TCPDISCRESPONSE* marker = TCPDISCRESPONSE::Generate(nullptr);
    SetReleaseAfterSend(marker);
    monitor->sendResult(marker, to);
    EXPECT_TRUE(to->link->shutdownRequested);
    EXPECT_FALSE(to->closeWhenIdle);
}

TEST_F(MarkerTest, ClosingLinkIsDroppedWithReasonZero) {
    to->link->connected = TRUE;
    to->link->shutdownRequested = TRUE;
    TCPDISCREQUEST* marker = TCPDISCREQUEST::Generate(nullptr);
    monitor->sendRequest(marker, to);
    EXPECT_TRUE(to->dropRequested);
    EXPECT_FALSE(to->dropAbort);
}

TEST_F(MarkerTest, RequestQueuedTwiceIsReleasedAfterItsSecondSend) {
    to->link->connected = TRUE;
    TCPREQUEST* r = new TCPREQUEST(nullptr, nullptr);
    r->prepare();
    to->QueueRequest(r);
    to->QueueRequest(r);
    for (int send = 1; send <= 2; send++) {
        DATAREQUEST* taken = to->requests.RemoveFirst();
        ASSERT_EQ(r, taken);
        taken->TakenFromQueue();
        monitor->sendRequest(taken, to);
        EXPECT_EQ(send == 2, (bool)r->released) << send;
        taken->DropQueueHold();  // the last one ends it
    }
}

TEST_F(MarkerTest, ChunkGoesToTheLinkUnchanged) {
    to->link->connected = TRUE;
    TCPREQUEST* r = new TCPREQUEST(Filled("hello"), nullptr);
    r->prepare();
    to->QueueRequest(r);
    DATAREQUEST* taken = to->requests.RemoveFirst();
    taken->TakenFromQueue();
    monitor->sendRequest(taken, to);
    taken->DropQueueHold();
    ASSERT_EQ(1, to->link->sendQueue.count);
    IOBUFFER* sent = to->link->sendQueue.First();
    EXPECT_EQ("hello", std::string(sent->cursor.data, sent->cursor.length));
}

TEST_F(MarkerTest, BaseMonitorDiscardsClientInput) {
    EXPECT_EQ(nullptr, monitor->buildRequest(nullptr, to));
    EXPECT_EQ(nullptr, monitor->buildResult(nullptr, to));
    const long before = _pSupport->bufferPool.inUse;
    DATAREQUEST* r = monitor->buildRequest(Filled("x"), to);
    ASSERT_NE(nullptr, r);
    EXPECT_TRUE(monitor->evaluateRequest(r));
    EXPECT_EQ(before, _pSupport->bufferPool.inUse);
}

TEST(TcpInterfaces, SettingWordsAndTheirLists) {
    const char* lines[4] = {"Office", "none", "Home", "Away"};
    struct {
        const char* setting;
        int option;
        const char* names;
    } cases[] = {
        {"all", 1, ""},
        {"ALL", 1, ""},
        {"ALL, \"Office\"", 1, "\"Office\""},
        {"AL", 2, ""},
        {"ALLX", 2, ""},
        {"", 2, ""},
        {"DEFAULT", 2, ""},
        {"def", 2, ""},
        {"Office,Home", 2, ""},
        {"\"all\"", 2, ""},
        {"'ALL'", 1, ""},
        {"DYNAMIC", 3, "\"Office\""},
        {"dyn", 3, "\"Office\""},
        {"Dynamic", 3, "\"Office\""},
        {"  ,DYN", 3, "\"Office\""},
    };
    for (auto& c : cases) {
        char names[256] = "unchanged";
        EXPECT_EQ(c.option, TCPDEFINITION::ParseInterfaceSetting(c.setting, lines, names, sizeof names)) << c.setting;
        if (c.option != 2) {
            EXPECT_STREQ(c.names, names) << c.setting;
        }
    }
    const char* four[4] = {"A", "B", "C", "D"};
    char names[256];
    EXPECT_EQ(3, TCPDEFINITION::ParseInterfaceSetting("DYNAMIC", four, names, sizeof names));
    EXPECT_STREQ("\"A\",\"B\",\"C\",\"D\"", names);
}

// A server root whose configuration the test writes.
struct RootTest : qvtest::ScratchDirTest {
    RootTest() : ScratchDirTest("line") {}
    SVRSYSTEM* svr = nullptr;
    void SetUp() override {
        ScratchDirTest::SetUp();
        svr = new SVRSYSTEM(FALSE, FALSE);
        svr->prepare();
        _pSvr = svr;
        svr->ready = TRUE;
        svr->maxUsers = 10;
    }
    void TearDown() override {
        _pSvr = nullptr;
        svr->freeobj();
        ScratchDirTest::TearDown();
    }
};

TEST_F(RootTest, SettingsWithoutOutboundPortStillReadTheCommonKeys) {
    Put("S.INI", "[A]\nTCP/IP Link=TCP/IP Default\nTCP/IP Service Port=2323\nTCP/IP Connections=8\n"
                 "Connect Banner=NO\n[B]\nTCP/IP Outbound Port=23\n");
    PROFILE p;
    ASSERT_EQ(0, p.ReadFile("S.INI", TRUE));
    TCPAPPCFG* a = new TCPAPPCFG;
    a->prepare();
    EXPECT_TRUE(a->ReadProfile(p, "A"));
    EXPECT_STREQ("", a->outboundPort);
    EXPECT_STREQ("2323", a->tcpServicePort);
    EXPECT_EQ(8, a->tcpConnections);
    EXPECT_FALSE(a->connectBanner);
    EXPECT_TRUE(a->ReadProfile(p, "B"));
    EXPECT_STREQ("23", a->outboundPort);
    a->freeobj();
}

TEST_F(RootTest, TypeWithoutFlagsHasNoObjects) {
    TCPAPPTYPE* t = new TCPAPPTYPE(nullptr, nullptr, FALSE, FALSE, FALSE);
    t->prepare();
    EXPECT_STREQ("TCPIP", t->name);
    EXPECT_EQ(nullptr, t->config);
    EXPECT_EQ(nullptr, t->debug);
    EXPECT_EQ(nullptr, t->log);
    t->freeobj();
}

// Service port "0" or no connections: the instances start, nothing listens.
TEST_F(RootTest, NoServicePortStartsInstancesWithoutListener) {
    struct {
        const char* port;
        long connections;
    } cases[] = {{"0", 8}, {"2999", 0}};
    for (auto& c : cases) {
        TCPAPPTYPE* t = new TCPAPPTYPE("T", "T", TRUE, FALSE, FALSE);
        t->prepare();
        std::strcpy(t->config->tcpServicePort, c.port);
        std::strcpy(t->config->tcpLink, "TCP/IP Default");
        t->config->tcpConnections = c.connections;
        TCPDEFINITION* d = new TCPDEFINITION(t, TRUE);
        d->prepare();
        EXPECT_TRUE(d->StartCommunications()) << c.port;
        EXPECT_EQ(nullptr, d->listener) << c.port;
        TCPAPPINSTANCE* i = dynamic_cast<TCPAPPINSTANCE*>(d->instances.First());
        ASSERT_NE(nullptr, i);
        EXPECT_NE(nullptr, i->monitor);
        EXPECT_EQ(c.connections != 0, i->connection != nullptr) << c.port;
        EXPECT_TRUE(d->StopCommunications());
        d->freeobj();
        t->freeobj();
    }
    EXPECT_EQ(0, TCPDEFINITION::activeTCPIPApplications);
    EXPECT_EQ(nullptr, TCPDEFINITION::ppermittedUsers);
}

// Of two services only the first start reads the interfaces, only the last stop frees them.
TEST_F(RootTest, FirstStartReadsInterfacesLastStopFreesThem) {
    static int reads = 0;
    auto saved = TCPDEFINITION::pGetLocalInterfaces;
    TCPDEFINITION::pGetLocalInterfaces = [](WINSOCKCONTROL*, int option, const char*) { return ++reads; };
    std::strcpy(svr->config.outboundInterfaces, "ALL");
    TCPAPPTYPE* t = new TCPAPPTYPE("T", "T", TRUE, FALSE, FALSE);
    t->prepare();
    std::strcpy(t->config->tcpServicePort, "0");
    TCPDEFINITION* a = new TCPDEFINITION(t, FALSE);
    TCPDEFINITION* b = new TCPDEFINITION(t, FALSE);
    a->prepare();
    b->prepare();
    EXPECT_TRUE(a->StartCommunications());
    EXPECT_TRUE(b->StartCommunications());
    EXPECT_EQ(1, reads);
    a->NewConnectSettings(TRUE);
    a->NewConnectSettings(TRUE);
    EXPECT_EQ(2, reads);
    a->NewConnectSettings(FALSE);
    b->NewConnectSettings(TRUE);
    EXPECT_EQ(3, reads);
    a->StopCommunications();
    EXPECT_EQ(1, TCPDEFINITION::activeTCPIPApplications);
    b->StopCommunications();
    EXPECT_EQ(0, TCPDEFINITION::activeTCPIPApplications);
    a->freeobj();
    b->freeobj();
    t->freeobj();
    TCPDEFINITION::pGetLocalInterfaces = saved;
}

// A fatal exit's stop keeps the service's objects until the forced shutdown
// has run; a normal stop, even while closing, goes straight on.
TEST_F(RootTest, StopWaitsForTheForcedShutdownOnlyInAFatalExit) {
    TCPAPPTYPE* t = new TCPAPPTYPE("T", "T", TRUE, FALSE, FALSE);
    t->prepare();
    std::strcpy(t->config->tcpServicePort, "0");
    for (BBOOL fatal : {FALSE, TRUE}) {
        TCPDEFINITION* d = new TCPDEFINITION(t, TRUE);
        d->prepare();
        ASSERT_TRUE(d->StartCommunications());
        svr->closing = TRUE;
        svr->fastTermination = fatal;
        svr->terminateEvent.ResetEvent();
        auto stop = std::async(std::launch::async, [d] { return d->StopCommunications(); });
        if (fatal) {
            EXPECT_EQ(std::future_status::timeout, stop.wait_for(std::chrono::milliseconds(300)));
            TCPAPPINSTANCE* i = dynamic_cast<TCPAPPINSTANCE*>(d->instances.First());
            ASSERT_NE(nullptr, i);
            EXPECT_NE(nullptr, i->socketControl);  // nothing released yet
            svr->fastStopEvent.PostEvent();  // what the forced shutdown posts when done
        }
        ASSERT_EQ(std::future_status::ready, stop.wait_for(std::chrono::seconds(20))) << fatal;
        EXPECT_TRUE(stop.get());
        EXPECT_EQ(nullptr, d->socketControl);
        d->freeobj();
    }
    t->freeobj();
}

// The second socket stack on Windows 95: the line named after the stack's own
// connection dials it at once, another dials remote access first; the line is
// attached as a secondary line and the stack's profile read once; the last stop
// lets go of both.
TEST_F(RootTest, SecondStackMarksAndAttachesItsLine) {
    auto savedCheck = TCPDEFINITION::pIsWindows95;
    auto savedRead = TCPDEFINITION::pGetLocalInterfaces;
    TCPDEFINITION::pIsWindows95 = [] { return (BBOOL)TRUE; };
    TCPDEFINITION::pGetLocalInterfaces = [](WINSOCKCONTROL*, int, const char*) { return 0; };
    Put("DIALSTK.INI", "[Winsock Control]\nLogout Command=7\n");
    std::strcpy(svr->config.outboundInterfaces, "ALL");
    svr->config.secondaryWinsockLine = 1;
    struct Case {
        const char* stackName;
        const char* profile;
        BBOOL twoPhase, attached, profileRead;
    } cases[] = {
        {"Office", "DIALSTK.INI", FALSE, TRUE, TRUE},
        {"Stack Line", "DIALSTK.INI", TRUE, TRUE, TRUE},
        {"Stack Line", "MISSING.INI", TRUE, TRUE, FALSE},
        {"Stack Line", "", TRUE, FALSE, FALSE},
    };
    TCPAPPTYPE* t = new TCPAPPTYPE("T", "T", TRUE, FALSE, FALSE);
    t->prepare();
    std::strcpy(t->config->tcpServicePort, "0");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stackName) + " / " + c.profile);
        WINSOCKINTERFACE* line = new WINSOCKINTERFACE("Office");
        line->prepare();
        line->prepare();  // the test's own: the last stop empties the chain
        line->dialUp = TRUE;
        line->twoPhase = !c.twoPhase;
        _pTCPIPInterfaces->Add(*line);
        std::strcpy(svr->config.secondaryWinsockName, c.stackName);
        std::strcpy(svr->config.secondaryWinsockProfile, c.profile);
        TCPDEFINITION* d = new TCPDEFINITION(t, FALSE);
        d->prepare();
        ASSERT_TRUE(d->StartCommunications());
        EXPECT_EQ(c.twoPhase, line->twoPhase);
        EXPECT_EQ(c.attached, line->secondary);
        EXPECT_EQ(c.attached ? TCPDEFINITION::psecondaryDialerCtl : nullptr, line->Control());
        ASSERT_EQ(c.profileRead, WINSOCKCONTROL::pConfigProfile != nullptr);
        if (c.profileRead) {
            char text[16] = "";
            WINSOCKCONTROL::pConfigProfile->ReadString("Winsock Control", "Logout Command", BUFFER(text, sizeof text));
            EXPECT_STREQ("7", text);
        }
        d->StopCommunications();
        EXPECT_EQ(nullptr, line->Control());
        EXPECT_FALSE(line->secondary);
        EXPECT_EQ(nullptr, TCPDEFINITION::psecondaryDialerCtl);
        EXPECT_EQ(nullptr, WINSOCKCONTROL::pConfigProfile);
        d->freeobj();
        if (_pTCPIPInterfaces) _pTCPIPInterfaces->RemoveAll(1, nullptr);
        line->freeobj();
    }
    t->freeobj();
    svr->config.secondaryWinsockLine = 0;
    TCPDEFINITION::pIsWindows95 = savedCheck;
    TCPDEFINITION::pGetLocalInterfaces = savedRead;
}

}  // namespace
