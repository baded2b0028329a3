// Connection status records: the texts the console shows.
#include "FrameworkHarness.h"

#include <cstring>

#include "LocalLink.h"

using namespace fw;

namespace {

struct CountingStatus : APPSTATUS {
    int changes = 0;
    void NotifyChange() override { ++changes; }
};

class Status : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        MakeServer(FALSE);
        MakeTypes({"TELNET"});
        definition = new FakeDefinition(types[1]);
        connection = new APPCONNECTION(definition, *_pDefaultLinkControl, "client", "pc1.lan", "23", "Local");
        connection->prepare();
        link = new LOCALLINK(LINK_CLIENT_CONNECT, "statuslink");
        link->prepare();
    }
    void TearDown() override {
        connection->link = nullptr;
        link->freeobj();
        connection->freeobj();
        definition->freeobj();
        ServerTest::TearDown();
    }
    FakeDefinition* definition = nullptr;
    APPCONNECTION* connection = nullptr;
    LOCALLINK* link = nullptr;
    CountingStatus status;
};

TEST_F(Status, StateTextsFollowTheConnection) {
    const struct {
        const char* what;
        BBOOL inbound, connectSeen, accepting, open, lookup, withRequest;
        const char* peer;
        const char* state;
    } cases[] = {
        {"accepted inbound", 1, 1, 0, 1, 0, 0, "From: pc1.lan", "Inbound"},
        {"inbound not yet connected", 1, 0, 0, 1, 0, 0, "From: pc1.lan", "Waiting"},
        {"outbound, link not open", 0, 0, 0, 0, 0, 0, "To: pc1.lan", "Locating"},
        {"outbound, look-up pending", 0, 0, 0, 1, 1, 0, "To: pc1.lan", "Locating"},
        {"outbound, connecting", 0, 0, 0, 1, 0, 0, "To: pc1.lan", "Connecting"},
        {"outbound, connected, idle", 0, 1, 0, 1, 0, 0, "To: pc1.lan", "Active"},
        {"outbound, connected, with a request", 0, 1, 0, 1, 0, 1, "To: pc1.lan", "Waiting"},
    };
    connection->link = link;
    for (const auto& c : cases) {
        connection->inbound = c.inbound;
        connection->connectSeen = c.connectSeen;
        link->accepting = c.accepting;
        link->open = c.open;
        link->lookupPending = c.lookup;
        APPREQUEST* r = nullptr;
        FakeRequest* q = nullptr;
        if (c.withRequest) {
            q = NewRequest("GET http://example/ HTTP/1.0");
            r = new APPREQUEST(q, nullptr, connection);
            r->prepare();
        }
        status.Startup(connection);
        EXPECT_STREQ(status.peer, c.peer) << c.what;
        EXPECT_STREQ(status.state, c.state) << c.what;
        EXPECT_STREQ(status.linkType, "Local") << c.what;
        EXPECT_STREQ(status.service, "TELNET") << c.what;
        EXPECT_FALSE(status.cleared) << c.what;
        if (r) {
            EXPECT_STREQ(status.method, "GET") << c.what;
            r->FreeAppRequest(FALSE);
            q->FreeRequest(FALSE);
        }
    }
}

TEST_F(Status, RequestResultAndTermination) {
    status.Startup(connection);
    FakeRequest* q = NewRequest("RETR file.txt");
    status.NotifyRequest(q);
    EXPECT_STREQ(status.GetCommand(), "RETR file.txt");
    EXPECT_STREQ(status.method, "RETR");
    FakeResult* result = new FakeResult(q);
    result->prepare();
    result->SetMsgText("Transfer complete");
    q->result = result;
    status.NotifyRequest(q);
    EXPECT_STREQ(status.state, "200");
    EXPECT_STREQ(status.result, "Transfer complete");
    const int before = status.changes;
    status.NotifyTerminateLink();
    EXPECT_EQ(status.changes, before + 1);
    EXPECT_TRUE(status.cleared);
    EXPECT_EQ(status.connection, nullptr);
    for (const char* text : {status.service, status.peer, status.command, status.result, status.state,
                             status.linkType, status.method})
        EXPECT_STREQ(text, "");
    EXPECT_EQ(status.resultCount + status.resultTotal + status.line + status.inbound, 0);
    q->result = nullptr;
    result->FreeResult(FALSE);
    q->FreeRequest(FALSE);
}

TEST_F(Status, LongTextsAreCutToTheirFields) {
    std::string longCommand(700, 'c');
    FakeRequest* q = NewRequest(longCommand.c_str());
    status.Startup(connection);
    status.NotifyRequest(q);
    EXPECT_EQ(std::strlen(status.command), sizeof status.command - 1);
    std::strcpy(connection->name, std::string(127, 'n').c_str());
    status.NotifyConnectLink();
    EXPECT_EQ(std::strlen(status.peer), sizeof status.peer - 1);
    q->FreeRequest(FALSE);
}

TEST_F(Status, NothingChangesUnderFastTermination) {
    status.Startup(connection);
    const int before = status.changes;
    server->fastTermination = TRUE;
    FakeRequest* q = NewRequest("GET x");
    status.NotifyRequest(q);
    status.NotifyTerminateLink();
    status.NotifyConnectLink();
    EXPECT_EQ(status.changes, before);
    EXPECT_FALSE(status.cleared);
    EXPECT_EQ(status.connection, connection);
    EXPECT_STREQ(status.GetCommand(), "");
    server->fastTermination = FALSE;
    q->FreeRequest(FALSE);
}

}  // namespace
