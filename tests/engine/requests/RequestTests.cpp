// Requests, results and the queues of data connections.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>

#include "RequestMonitor.h"
#include "LocalLink.h"

namespace {

int liveRequests = 0;
int liveResults = 0;

struct TestRequest : DATAREQUEST {
    explicit TestRequest(const char* cmd = nullptr, BBOOL assignId = 0) : DATAREQUEST(cmd, assignId) { liveRequests++; }
    ~TestRequest() override { liveRequests--; }
    QV_ITEM_IDENTITY(TestRequest, "DATAREQUEST", "DRQa")
    char* GetReqStatus() override { return nullptr; }
    int SetReqStatus(const char*) override { return 0; }
};

struct TestResult : DATARESULT {
    const char* statusText = nullptr;
    explicit TestResult(DATAREQUEST* r = nullptr, DATARESULT* model = nullptr, BBOOL keep = 0)
        : DATARESULT(r, model, keep) { liveResults++; }
    ~TestResult() override { liveResults--; }
    QV_ITEM_IDENTITY(TestResult, "DATARESULT", "DRSa")
    char* GetStatus() override { return (char*)statusText; }
    char* GetStatusLine(BUFFER& out) override { return out.data; }
    int SetStatus(const char*) override { return 0; }
};

TestRequest* NewRequest(const char* cmd = nullptr) {
    TestRequest* r = new TestRequest(cmd);
    r->prepare();
    return r;
}

std::string Text(char* p) { return p ? std::string(p) : std::string("(null)"); }

TEST(Request, TextAccessors) {
    const struct {
        const char* command;
        const char* method;
    } methods[] = {
        {"GET /index.html HTTP/1.0", "GET"},
        {"QUIT", "QUIT"},
        {"USER\tname", "USER"},
        {"LIST\r\nmore", "LIST\r"},
        {nullptr, ""},
    };
    for (const auto& m : methods) {
        TestRequest* r = NewRequest(m.command);
        char space[64] = "junk";
        BUFFER out(space, sizeof(space));
        EXPECT_EQ(m.method, Text(r->GetReqMethod(out))) << (m.command ? m.command : "none");
        EXPECT_EQ((long)strlen(m.method), out.length);
        r->freeobj();
    }

    TestRequest* r = NewRequest("RETR file.txt");
    BUFFER probe;  // no data: only the length is reported
    r->GetReqCmd(probe);
    EXPECT_EQ(13, probe.length);
    char small[5];
    BUFFER cut(small, sizeof(small));
    EXPECT_EQ("RETR", Text(r->GetReqCmd(cut)));
    r->SetReqCmd("NOOP and more", 4);
    char space[32];
    BUFFER out(space, sizeof(space));
    EXPECT_EQ("NOOP", Text(r->GetReqCmd(out)));
    out = BUFFER(space, sizeof(space));
    r->GetReqMsg(out);
    EXPECT_EQ(0, out.length);
    EXPECT_EQ(0, space[0]);
    r->SetReqMsg("a note");
    out = BUFFER(space, sizeof(space));
    EXPECT_EQ("a note", Text(r->GetReqMsg(out)));
    EXPECT_EQ(1, r->sendable);
    r->freeobj();
}

TEST(Request, IdentifiersComeFromTheDataManager) {
    TestRequest* a = new TestRequest(nullptr, 1);
    TestRequest* b = new TestRequest(nullptr, 1);
    TestRequest* none = new TestRequest(nullptr, 0);
    EXPECT_NE(0u, a->requestId.id);
    EXPECT_EQ(a->requestId.id + 1, b->requestId.id);
    EXPECT_EQ(0u, none->requestId.id);
    a->freeobj();
    b->freeobj();
    none->freeobj();
}

TEST(Result, WasSuccessfulOnlyForAllZeroDigits) {
    const struct {
        const char* status;
        bool ok;
    } cases[] = {{"0", true}, {"000", true}, {"", false}, {nullptr, false}, {"200", false}, {"0 ", false}};
    for (const auto& c : cases) {
        TestResult r;
        r.statusText = c.status;
        EXPECT_EQ(c.ok, r.WasSuccessful() != 0) << (c.status ? c.status : "null");
    }
}

TEST(Result, BindsToItsRequestAndLetsGoWhenDestroyed) {
    TestRequest* q = NewRequest("GET");
    q->code = 7;
    TestResult model;
    TestResult* withText = new TestResult(q, nullptr, 0);
    withText->SetMsgText("Not Found");
    TestResult* r = new TestResult(q, withText, 0);
    EXPECT_EQ(r, q->result);
    EXPECT_EQ(7u, r->code);
    char space[32];
    BUFFER out(space, sizeof(space));
    EXPECT_EQ("Not Found", Text(r->GetMsgText(out)));
    q->otherResult = r;
    r->freeobj();
    EXPECT_EQ(nullptr, q->result);
    EXPECT_EQ(nullptr, q->otherResult);
    q->result = withText;
    q->freeobj();  // the request goes first: the result forgets it
    EXPECT_EQ(nullptr, withText->request);
    withText->freeobj();

    TestResult alone;
    alone.SetMsgText("no store without a request");
    EXPECT_EQ(nullptr, alone.message);
}

TEST(Release, FreeRequestRules) {
    int before = liveRequests;
    TestRequest* r = NewRequest();
    r->FreeRequest(1);
    EXPECT_FALSE(r->released) << "a count other than 2 keeps an only-if-last release from happening";
    r->prepare();
    r->FreeRequest(1);
    EXPECT_TRUE(r->released);
    EXPECT_TRUE(r->freed);
    EXPECT_EQ(1, r->count);
    r->FreeRequest(0);
    EXPECT_EQ(1, r->count) << "a second release does nothing";
    r->freeobj();
    EXPECT_EQ(before, liveRequests);
}

// A monitor that serves nothing: enough to own connections and be woken.
struct IdleMonitor : REQUESTMONITOR {
    std::vector<int> codes;
    IdleMonitor(LINKCONTROL& c, IOMODE m) : REQUESTMONITOR(c, m) {}
    QV_ITEM_IDENTITY(IdleMonitor, "REQUESTMONITOR", "DRQM")
    DATAREQUEST* buildRequest(IOBUFFER*, DATACONNECTION*) override { return nullptr; }
    DATARESULT* buildResult(IOBUFFER*, DATACONNECTION*) override { return nullptr; }
    BBOOL evaluateRequest(DATAREQUEST*) override { return 1; }
    BBOOL evaluateResult(DATARESULT*) override { return 1; }
    BBOOL sendRequest(DATAREQUEST*, DATACONNECTION*) override { return 1; }
    BBOOL sendResult(DATARESULT*, DATACONNECTION*) override { return 1; }
    REQUESTMONITOR* createSecondaryMonitor(IOMODE, DATACONNECTION*) override { return nullptr; }
};

IdleMonitor* current = nullptr;
void RecordCode(DATACONNECTION*, int code) { current->codes.push_back(code); }

struct StatusCounter : CONNECTIONSTATUS {
    int connects = 0, terminates = 0, requests = 0;
    void NotifyConnectLink() override { connects++; }
    void NotifyTerminateLink() override { terminates++; }
    void NotifyRequest(DATAREQUEST*) override { requests++; }
    void NotifyByteCount() override {}
};

struct Connections : ::testing::Test {
    LINKCONTROL control;
    IdleMonitor* monitor = nullptr;
    LOCALLINK* server = nullptr;
    std::string serverName;

    void SetUp() override {
        monitor = new IdleMonitor(control, 2);
        monitor->prepare();
        monitor->notifier = RecordCode;
        current = monitor;
        serverName = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".server";
        server = new LOCALLINK(LINK_SERVER_CONNECT, serverName.c_str());
        server->prepare();
        ASSERT_EQ(0, server->OpenLink(nullptr, nullptr, 0));
    }
    void TearDown() override {
        server->freeobj();
        monitor->freeobj();
    }
    DATACONNECTION* NewConnection(const char* type, const char* target) {
        DATACONNECTION* c = new DATACONNECTION(control, "client end", target, "0", type);
        c->prepare();
        return c;
    }
};

TEST_F(Connections, LinkTypeDecidesWhichLinkIsMade) {
    const struct {
        const char* type;
        bool made;
    } cases[] = {{"Local", true}, {"Windows Sockets", false}, {"TCP/IP Default", false}, {"local", false},
                 {"Loc", false}, {"", false}};
    for (const auto& c : cases) {
        monitor->codes.clear();
        DATACONNECTION* conn = NewConnection(c.type, serverName.c_str());
        BBOOL ok = conn->Connect(LINK_SERVER_CONNECT, 0, 1, monitor, nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(c.made, ok != 0) << c.type;
        if (c.made) {
            ASSERT_NE(nullptr, conn->link);
            EXPECT_EQ(QvTag("LLNK"), conn->link->ItemClassID());
            EXPECT_EQ(std::vector<int>{CONN_OPENED}, monitor->codes);
            EXPECT_TRUE(conn->link->QueryLinkStatus());
            EXPECT_TRUE(conn->active);
            EXPECT_FALSE(conn->inbound);
            conn->Disconnect();
        } else {
            EXPECT_EQ(nullptr, conn->link) << c.type;
            EXPECT_EQ(std::vector<int>{CONN_CONNECT_FAILED}, monitor->codes) << c.type;
        }
        conn->freeobj();
    }
}

TEST_F(Connections, AFailedOpenIsReportedAndTheConnectionCanTryAgain) {
    StatusCounter status;
    DATACONNECTION* conn = NewConnection("Local", "nobody listens here");
    conn->status = &status;
    EXPECT_FALSE(conn->Connect(LINK_SERVER_CONNECT, 0, 1, monitor, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(9999, conn->lastError);
    EXPECT_EQ(nullptr, conn->link);
    EXPECT_EQ((std::vector<int>{CONN_OPENED, CONN_CONNECT_FAILED}), monitor->codes);
    EXPECT_EQ(1, status.terminates);
    EXPECT_EQ(nullptr, conn->status);
    EXPECT_EQ(0, monitor->active.count);

    EXPECT_TRUE(conn->Connect(LINK_SERVER_CONNECT, 0, 1, monitor, nullptr, serverName.c_str(), nullptr, nullptr));
    EXPECT_EQ(1, monitor->active.count);
    conn->Disconnect();
    EXPECT_EQ(0, monitor->active.count);
    conn->freeobj();
}

TEST_F(Connections, QueuesShareTheLinkLockWhileActive) {
    DATACONNECTION* conn = NewConnection("Local", serverName.c_str());
    EXPECT_EQ(nullptr, conn->requests.lock.handle) << "inert before the connection is active";
    ASSERT_TRUE(conn->Connect(LINK_SERVER_CONNECT, 0, 1, monitor, nullptr, nullptr, nullptr, nullptr));
    ASSERT_NE(nullptr, conn->link->lock.handle);
    EXPECT_EQ(conn->link->lock.handle, conn->requests.lock.handle);
    EXPECT_EQ(conn->link->lock.handle, conn->results.lock.handle);
    EXPECT_EQ(conn->link->lock.handle, conn->link->recvQueue.lock.handle);
    conn->Disconnect();
    EXPECT_EQ(nullptr, conn->requests.lock.handle);
    EXPECT_EQ(nullptr, conn->results.lock.handle);
    conn->freeobj();
}

TEST_F(Connections, QueueingCountsAndRefuses) {
    DATACONNECTION* conn = NewConnection("Local", serverName.c_str());
    ASSERT_TRUE(conn->Connect(LINK_SERVER_CONNECT, 0, 1, monitor, nullptr, nullptr, nullptr, nullptr));
    monitor->wakeEvent.ResetEvent();

    TestRequest* answered = NewRequest();
    TestResult* result = new TestResult(answered);
    result->prepare();
    EXPECT_EQ(&_NULLSPTR, &conn->QueueRequest(answered)) << "a request with a result is not queued";
    EXPECT_EQ(0, answered->queuedCount);
    EXPECT_EQ(1, answered->count);
    EXPECT_FALSE(monitor->wakeEvent.QueryEvent());

    TestRequest* r = NewRequest();
    EXPECT_EQ(r, conn->QueueRequest(r).target);
    EXPECT_EQ(1, r->queuedCount);
    EXPECT_EQ(2, r->count);
    EXPECT_TRUE(monitor->wakeEvent.QueryEvent());

    result->FreeResult(0);  // released at once: it was never queued
    TestResult* freed = new TestResult();
    freed->prepare();
    freed->prepare();
    freed->FreeResult(0);
    EXPECT_TRUE(freed->freed);
    EXPECT_EQ(&_NULLSPTR, &conn->QueueResult(freed)) << "a released result is refused";
    freed->freeobj();

    conn->Disconnect();
    conn->freeobj();  // drains the queue: r keeps the service's reference
    EXPECT_EQ(1, r->count);
    EXPECT_EQ(1, r->dequeuedCount);
    r->FreeRequest(0);
    answered->freeobj();
}

TEST_F(Connections, DestroyingAConnectionCompletesPendingReleases) {
    int before = liveRequests;
    DATACONNECTION* first = NewConnection("Local", serverName.c_str());
    DATACONNECTION* second = new DATACONNECTION(*first, 0, 0);
    second->prepare();
    TestRequest* twice = NewRequest();
    TestRequest* kept = NewRequest();
    first->QueueRequest(twice);
    second->QueueRequest(twice);
    first->QueueRequest(kept);
    TestResult* pending = new TestResult();
    pending->prepare();
    first->QueueResult(pending);

    // Taken out of one queue, the request still sits in the other: a release only marks it.
    DATAREQUEST* out = second->requests.RemoveFirst();
    out->TakenFromQueue();
    out->DropQueueHold();
    twice->FreeRequest(0);
    EXPECT_TRUE(twice->freePending);
    EXPECT_FALSE(twice->released);
    pending->FreeResult(0);
    EXPECT_TRUE(pending->freePending);

    first->freeobj();
    EXPECT_EQ(before + 1, liveRequests) << "the pending request went with the queue; the other stays";
    EXPECT_EQ(0, liveResults);
    EXPECT_EQ(1, kept->count);
    EXPECT_FALSE(kept->released);
    kept->FreeRequest(0);
    EXPECT_EQ(before, liveRequests);
    second->freeobj();
}

TEST_F(Connections, DropRequestsAndHeldMessagesWakeTheMonitorOnlyWhenNeeded) {
    DATACONNECTION* conn = NewConnection("Local", serverName.c_str());
    ASSERT_TRUE(conn->Connect(LINK_SERVER_CONNECT, 0, 1, monitor, nullptr, nullptr, nullptr, nullptr));
    monitor->wakeEvent.ResetEvent();
    conn->SetDropRequested(0, 0);
    EXPECT_FALSE(monitor->wakeEvent.QueryEvent());
    conn->SetDropRequested(1, 1);
    EXPECT_TRUE(conn->holdMessages);
    EXPECT_TRUE(conn->dropAbort);
    EXPECT_TRUE(monitor->wakeEvent.QueryEvent());
    conn->SetDropRequested(0, 0);

    monitor->wakeEvent.ResetEvent();
    conn->StartMessages();
    EXPECT_FALSE(conn->holdMessages);
    EXPECT_FALSE(monitor->wakeEvent.QueryEvent()) << "held, but nothing waiting";
    conn->holdMessages = 1;
    server->SendMessage(BUFFER((char*)"hello", 5), 0);
    monitor->wakeEvent.ResetEvent();
    conn->StartMessages();
    EXPECT_TRUE(monitor->wakeEvent.QueryEvent());
    monitor->wakeEvent.ResetEvent();
    conn->StartMessages();
    EXPECT_FALSE(monitor->wakeEvent.QueryEvent()) << "not held any more";
    conn->Disconnect();
    conn->freeobj();
}

TEST_F(Connections, SecondariesJoinTheActiveSetAndGoWithTheirPrimary) {
    DATACONNECTION* listening = NewConnection("Local", "");
    listening->skip = 1;
    ASSERT_TRUE(listening->Connect(LINK_SERVER_LISTEN, 0, 1, monitor, nullptr, nullptr, nullptr, nullptr));
    std::string name = serverName + ".accepted";
    LOCALLINK* accepted = new LOCALLINK(LINK_SERVER_LISTEN, name.c_str());
    accepted->prepare();
    ASSERT_EQ(0, accepted->OpenLink(serverName.c_str(), nullptr, 0));
    DATACONNECTION* second = listening->CreateSecondary(accepted);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(listening, second->primary);
    EXPECT_EQ(accepted, second->link);
    EXPECT_EQ(second, accepted->owner);
    EXPECT_EQ(2, monitor->active.count);
    EXPECT_EQ(accepted->lock.handle, second->requests.lock.handle);
    EXPECT_EQ(monitor, second->monitor);

    listening->FreeSecondaries();  // releases the accepted connection and with it its link
    EXPECT_EQ(1, monitor->active.count);
    EXPECT_FALSE(server->QueryLinkStatus()) << "the accepted end was closed";
    listening->Disconnect();
    listening->freeobj();
}

TEST(StreamForm, RequestMarksRoundTripAndResultsAreEmptyItems) {
    STREAMBUF s(256);
    s.SetForWrite();
    TestRequest out;
    out.requestMark = 5;
    out.baseMark = 0;
    s << out;
    TestResult res;
    s << res;
    long written = s.Used();
    s.SetForRead();
    TestRequest in;
    in.baseMark = 1;
    s >> in;
    EXPECT_EQ(1, in.requestMark);
    EXPECT_EQ(0, in.baseMark);
    TestResult back;
    s >> back;
    EXPECT_EQ(0, s.cursor.length);
    EXPECT_EQ(written, s.Used());
}

}  // namespace
