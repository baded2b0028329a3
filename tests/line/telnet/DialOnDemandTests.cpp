// Opens run by the Telnet worker. One with no line up goes to the line policy,
// which may restart it before the worker that parked it has returned: the worker
// must leave the request, and its open, to the restarted run. One that connects
// lets its client type on only once the host connection can take the bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "LocalLink.h"
#include "NetworkInterface.h"
#include "SvrSystem.h"
#include "TcpInterface.h"
#include "TelConnection.h"
#include "TelMessages.h"
#include "TelReqMonitor.h"
#include "TelService.h"
#include "WinSockControl.h"

namespace {

// Line 1 is listed but down; a dial brings it up at once, on the caller's
// thread, as a fast line does while the worker is still in ConnectOnRequest.
struct InstantLine : LINELAYER {
    TCPINTERFACE* line = nullptr;
    bool up = false;
    LINKINTERFACE* FindRelativeLine(int n) override { return n == 1 ? line : nullptr; }
    BBOOL GetLineState(int n, BBOOL) override { return n == 1 && up; }
    BBOOL SetLineState(int n, BBOOL want) override {
        up = want;
        if (want) _pSvr->lines.ProcessCommConnect(line);
        return TRUE;
    }
    void EnableRouting(LINKINTERFACE*) override {}
    void DisableRouting(LINKINTERFACE*) override {}
    void HangUp(LINKINTERFACE*) override {}
    void RefreshInterfaces() override {}
    void PlayLineSound(const char*, BBOOL) override {}
    void ShowBox(const char*, const char*) override {}
};

struct DialOnDemand : ::testing::Test {
    SVRSYSTEM* server = nullptr;
    InstantLine layer;
    TELDEFINITION* definition = nullptr;
    TELAPPINSTANCE* instance = nullptr;

    void SetUp() override {
        server = new SVRSYSTEM(FALSE, FALSE);
        server->prepare();
        _pSvr = server;
        NETWORKINTERFACE& lines = server->lines;
        lines.UseLayer(&layer);
        lines.lineSetThreads = FALSE;
        lines.lineCount = 1;
        lines.connectUponRequest = TRUE;
        lines.started = TRUE;
        std::strcpy(lines.lines[0].phonebookEntry, "Office");
        layer.line = new TCPINTERFACE("Office");
        layer.line->prepare();
        layer.line->dialUp = TRUE;
        _pTCPIPInterfaces->Add(*layer.line);
        definition = new TELDEFINITION(nullptr, TRUE);
        definition->prepare();
        instance = dynamic_cast<TELAPPINSTANCE*>(definition->instances.First());
        ASSERT_NE(nullptr, instance);
        instance->socketControl = new WINSOCKCONTROL;
        instance->socketControl->prepare();
        instance->socketControl->interfaceList = _pTCPIPInterfaces;
        instance->connection = new TELCONNECTION(definition, *instance->socketControl, nullptr, nullptr, nullptr);
        instance->connection->prepare();
    }
    void TearDown() override {
        definition->freeobj();
        _pTCPIPInterfaces->Remove(*layer.line);
        layer.line->freeobj();
        server->lines.started = FALSE;
        server->lines.UseLayer(nullptr);
        _pSvr = nullptr;
        server->freeobj();
    }
};

TEST_F(DialOnDemand, AnOpenRestartedBeforeItsWorkerReturnsStaysWhole) {
    const struct {
        const char* what;
        bool lineUp;  // line 1 up already, its interface not yet listed as connected
    } cases[] = {{"the line comes up during the dial", false}, {"the line is up already", true}};
    for (const auto& c : cases) {
        layer.up = c.lineUp;
        server->lines.lines[0].connected = c.lineUp;
        TELOPENREQUEST* open = new TELOPENREQUEST("host");
        open->prepare();
        APPREQUEST* app = new APPREQUEST(open, instance, nullptr);
        app->prepare();
        EXPECT_TRUE(instance->ProcessRequest(app)) << c.what;
        EXPECT_EQ(0, server->lines.waiting.count) << c.what;
        APPREQUEST* again = instance->TakeRequest();
        ASSERT_EQ(app, again) << c.what << ": restarted and queued";
        EXPECT_EQ(open, again->request) << c.what << ": its open is still there";
        EXPECT_FALSE(again->waitingForLine) << c.what;
        again->FreeAppRequest(TRUE);
        EXPECT_EQ(nullptr, instance->TakeRequest()) << c.what;
    }
}

// A client's link that notes, when it is told to receive again, whether the
// host connection it was paired with has its link yet.
struct ResumeWatch : COMMLINK {
    TELCONNECTION* host = nullptr;
    int resumed = 0;
    bool hostHadLink = false;
    explicit ResumeWatch(LINKCONTROL* c) : COMMLINK(LINK_CLIENT_CONNECT, c, 1) {}
    void StartReceiving() override {
        COMMLINK::StartReceiving();
        resumed++;
        hostHadLink = host && host->link;
    }
};

// Bytes typed after "open" wait in the client's link until it receives again;
// read before the host connection has a link, they would go nowhere.
TEST_F(DialOnDemand, AnOpenLetsTheClientTypeOnOnlyOnceTheHostConnectionHasItsLink) {
    LOCALLINK* hostEnd = new LOCALLINK(LINK_SERVER_CONNECT, "resume.host");
    hostEnd->prepare();
    hostEnd->OpenLink(nullptr, nullptr, 0);
    _pTCPIPInterfaces->Remove(*layer.line);  // no lines listed: the open connects at once
    TELREQMONITOR* monitor = new TELREQMONITOR(*instance->socketControl, 2);
    monitor->prepare();
    TCPCONNECTION* prototype = instance->connection;
    instance->connection = new TELCONNECTION(definition, *instance->socketControl, nullptr, "0", "Local");
    instance->connection->prepare();
    instance->monitor = monitor;

    ResumeWatch* link = new ResumeWatch(instance->socketControl);
    link->prepare();
    link->OpenLink(nullptr, nullptr, 0);
    link->StopReceiving();
    TELCONNECTION* client = new TELCONNECTION(definition, *instance->socketControl, "client", "0", "Local");
    client->prepare();
    client->link = link;
    link->owner = client;
    TELCONNECTION* out = dynamic_cast<TELCONNECTION*>(instance->CreateConnection(FALSE));
    ASSERT_NE(nullptr, out);
    link->host = out;

    TELOPENREQUEST* open = new TELOPENREQUEST("resume.host");
    open->prepare();
    open->connection = client;
    open->lineConnection = out;
    BBOOL handedOn = FALSE;
    EXPECT_TRUE(open->Open(instance, handedOn));
    EXPECT_FALSE(handedOn);
    EXPECT_EQ(1, link->resumed);
    EXPECT_TRUE(link->hostHadLink) << "receiving resumed before the host connection had its link";

    out->Disconnect();
    if (TELCONNECTION* peer = client->Leave()) peer->freeobj();
    open->FreeRequest(FALSE);
    out->freeobj();
    client->link = nullptr;
    link->owner = nullptr;
    client->freeobj();
    link->freeobj();
    instance->monitor = nullptr;
    monitor->freeobj();
    instance->connection->freeobj();
    instance->connection = prototype;
    _pTCPIPInterfaces->Add(*layer.line);
    hostEnd->freeobj();
}

}  // namespace
