// Requests, results and the queues of data connections.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "RequestMonitor.h"
#include "LocalLink.h"
#include "DataStore.h"
#include "SpControl.h"

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

TEST(Request, IdentifiersAndStoreComeFromTheDataManager) {
    TestRequest* a = new TestRequest(nullptr, 1);
    TestRequest* b = new TestRequest(nullptr, 1);
    TestRequest* none = new TestRequest(nullptr, 0);
    EXPECT_NE(0u, a->requestId.id);
    EXPECT_EQ(a->requestId.id + 1, b->requestId.id);
    EXPECT_EQ(0u, none->requestId.id);
    ASSERT_NE(nullptr, a->store);
    EXPECT_EQ(_pDataSys->systemStore, a->store) << "requests live in the data manager's system store";
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

// A release lock left after the support object went is still the one entered:
// another thread can take it at once.
TEST(Release, LeaveReleaseLeavesTheLockItsEnterTook) {
    SPCONTROL* support = _pSupport;
    ASSERT_NE(nullptr, support);
    DATAREQBASE::EnterRelease();
    DATAREQBASE::EnterRelease();
    _pSupport = nullptr;
    DATAREQBASE::LeaveRelease();
    DATAREQBASE::LeaveRelease();
    _pSupport = support;
    bool took = false;
    std::thread other([&] {
        took = TryEnterCriticalSection(&_CSObjectCleanup);
        if (took) LeaveCriticalSection(&_CSObjectCleanup);
    });
    other.join();
    EXPECT_TRUE(took);
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

// Destroyed while the program serialises destruction, it waits inside its
// destructor (holding the cleanup lock) until another thread waits for that
// lock, then releases a message as the destructors of holders do.
struct ReleasingHolder : TestRequest {
    HANDLE inside = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    TestRequest* held = NewRequest();
    QV_ITEM_IDENTITY(ReleasingHolder, "DATAREQUEST", "DRQa")
    ~ReleasingHolder() override {
        SetEvent(inside);
        // Wine counts every thread that holds or waits for the section in LockCount.
        for (int i = 0; i < 2000 && _CSObjectCleanup.LockCount < 1; ++i) Sleep(5);
        held->FreeRequest(0);
    }
};

DWORD WINAPI DestroyHolder(void* p) {
    static_cast<ReleasingHolder*>(p)->freeobj();
    return 0;
}
DWORD WINAPI ReleaseResult(void* p) {
    static_cast<TestResult*>(p)->FreeResult(0);
    return 0;
}

TEST(Release, AReleaseAndADestructionOnTwoThreadsBothEnd) {
    int requests = liveRequests, results = liveResults;
    ReleasingHolder* holder = new ReleasingHolder;
    holder->prepare();
    HANDLE inside = holder->inside;
    TestResult* result = new TestResult;
    result->prepare();
    _pSupport->lockObjectCleanup = 1;
    HANDLE destroyer = CreateThread(nullptr, 0, DestroyHolder, holder, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(inside, 20000));
    HANDLE releaser = CreateThread(nullptr, 0, ReleaseResult, result, 0, nullptr);
    HANDLE both[] = {destroyer, releaser};
    DWORD ended = WaitForMultipleObjects(2, both, TRUE, 20000);
    if (ended == WAIT_TIMEOUT) {
        // Each thread holds the lock the other waits for: nothing after this could run.
        std::fprintf(stderr, "the release and the destruction wait for each other\n");
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    _pSupport->lockObjectCleanup = 0;
    CloseHandle(destroyer);
    CloseHandle(releaser);
    CloseHandle(inside);
    EXPECT_EQ(requests, liveRequests);
    EXPECT_EQ(results, liveResults);
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
    EXPECT_EQ(COMMLINK::ErrorCannotOpen, conn->lastError);
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

// ---- message bodies

int liveObjects = 0;
struct CountedObject : DATAOBJECT {
    CountedObject() : DATAOBJECT(DATASTORE::System(), "body", TRUE, 0, 0) { liveObjects++; }
    ~CountedObject() override { liveObjects--; }
};

struct Reader : REQUESTPROCESS {
    BBOOL RestartProcess() override { return TRUE; }
};

IOBUFFER* Piece(const std::string& bytes, bool incomplete) {
    IOBUFFER* b = _pSupport->bufferPool.GetBuffer(0);
    std::memcpy(b->area.data, bytes.data(), bytes.size());
    b->cursor = BUFFER(b->area.data, (long)bytes.size());
    b->incomplete = incomplete;
    return b;
}

std::string Body(DATAREQBASE& m) {
    if (!m.object || !m.object->dataBlock || !m.object->dataBlock->data) return "(none)";
    return std::string(m.object->dataBlock->data, m.object->DataLength());
}

TEST_F(Connections, ReceivedPiecesAreCopiedIntoTheBodyAndGivenBack) {
    DATACONNECTION* conn = NewConnection("Local", serverName.c_str());
    ASSERT_TRUE(conn->Connect(LINK_SERVER_CONNECT, 0, 1, monitor, nullptr, nullptr, nullptr, nullptr));
    COMMLINK* link = conn->link;
    // The message continues in the receive queue; the piece after it is another message.
    link->recvQueue.Add(*Piece("world", true));
    link->recvQueue.Add(*Piece("!XYZ", false));
    IOBUFFER* next = Piece("next", false);
    link->recvQueue.Add(*next);

    TestRequest* q = NewRequest("GET");
    EXPECT_TRUE(q->SetObjectData(Piece("Hello, ", true), conn, 13));
    EXPECT_EQ("Hello, world!", Body(*q));
    ASSERT_EQ(1, link->recvQueue.Count());
    EXPECT_EQ(next, link->recvQueue.First()) << "the following message stays queued";

    // Fewer bytes than announced: the rest of the body is zeros, and that is no failure.
    EXPECT_TRUE(q->SetObjectData(link->GetNextMessage(), conn, 6));
    EXPECT_EQ(std::string("next\0\0", 6), Body(*q));

    // A result takes its request's body and leaves it to the request.
    TestResult* r = new TestResult(q);
    r->prepare();
    EXPECT_TRUE(r->SetObjectData(Piece("reply", false), nullptr, 5));
    EXPECT_EQ(q->object, r->object);
    EXPECT_TRUE(r->objectShared);
    r->FreeResult(0);
    EXPECT_EQ("reply", Body(*q));
    q->FreeRequest(0);
    conn->Disconnect();
    conn->freeobj();
}

TEST(Body, GoesWithItsMessageUnlessBorrowed) {
    int before = liveObjects;
    TestRequest* q = NewRequest();
    q->object = new CountedObject;
    q->object->prepare();
    TestResult* r = new TestResult(q);
    r->prepare();
    r->object = q->object;
    r->objectShared = 1;
    r->FreeResult(0);
    EXPECT_EQ(before + 1, liveObjects);
    q->FreeRequest(0);
    EXPECT_EQ(before, liveObjects);
}

TEST(Body, AnObjectThatCannotBeSizedRefusesAndKeepsTheBuffer) {
    TestRequest* q = NewRequest();
    q->object = new DATAOBJECT();  // in no store: no data field to size
    q->object->prepare();
    IOBUFFER* b = Piece("kept", false);
    EXPECT_FALSE(q->SetObjectData(b, nullptr, 4));
    EXPECT_EQ("kept", std::string(b->cursor.data, b->cursor.length));
    b->freeobj();
    q->FreeRequest(0);
}

TEST(Body, WaitingProcessesHoldThemselvesAndLeave) {
    CountedObject* o = new CountedObject;
    o->prepare();
    Reader* p = new Reader;
    p->prepare();
    EXPECT_STREQ("REQUESTPROCESS", p->ItemClassName());
    EXPECT_EQ(QvTag("DRQP"), p->ItemClassID());
    p->dataReady = 1;
    p->WaitForObject(o);
    EXPECT_EQ(2, p->count);
    EXPECT_TRUE(p->waiting);
    EXPECT_FALSE(p->dataReady);
    EXPECT_EQ(1, o->waiters.Count());
    p->ClearObjectWait();
    EXPECT_EQ(1, p->count);
    EXPECT_FALSE(p->waiting);
    EXPECT_EQ(nullptr, p->waitCell);
    EXPECT_EQ(o, p->waitObject) << "the restarted process still finds its object";
    EXPECT_EQ(0, o->waiters.Count());

    // An object that goes takes its waiters' references with it.
    p->WaitForObject(o);
    o->freeobj();
    EXPECT_EQ(1, p->count);
    EXPECT_EQ(nullptr, p->waitObject);
    EXPECT_FALSE(p->waiting);
    p->freeobj();

    // Ending a wait that held the last reference leaves the process to its caller.
    CountedObject* other = new CountedObject;
    other->prepare();
    Reader* last = new Reader;
    last->WaitForObject(other);
    EXPECT_EQ(1, last->count);
    last->ClearObjectWait();
    EXPECT_EQ(0, last->count);
    EXPECT_FALSE(last->waiting);
    last->prepare();
    last->freeobj();
    other->freeobj();
}

// Three pooled buffers of a body that several readers send.
struct SharedBody : Connections {
    DATACONNECTION* conn = nullptr;
    DATAOBJECT* body = nullptr;
    IOBUFFER* parts[3] = {};
    std::vector<Reader*> readers;

    void SetUp() override {
        Connections::SetUp();
        conn = NewConnection("Local", serverName.c_str());
        ASSERT_TRUE(conn->Connect(LINK_SERVER_CONNECT, 0, 1, monitor, nullptr, nullptr, nullptr, nullptr));
        body = new DATAOBJECT(DATASTORE::System(), "shared", TRUE, 0, 0);
        body->prepare();
        ASSERT_NE(nullptr, body->bufferChain);
        for (auto& b : parts) {
            b = Piece("part", false);
            body->AddObjectData(b);
        }
    }
    void TearDown() override {
        for (Reader* r : readers) {
            r->ClearObjectWait();
            if (r->request) r->request->FreeRequest(0);
            r->freeobj();
        }
        body->freeobj();
        conn->Disconnect();
        conn->freeobj();
        Connections::TearDown();
    }
    // A reader on the connection whose request has handed `sent` buffers to the link.
    TestRequest* AddReader(long sent) {
        Reader* r = new Reader;
        r->prepare();
        r->request = NewRequest();
        r->request->connection = conn;
        r->request->buffersSent = sent;
        r->WaitForObject(body);
        readers.push_back(r);
        return static_cast<TestRequest*>(r->request);
    }
    int Freed() const {
        int n = 0;
        for (IOBUFFER* b : parts) n += b->area.data == nullptr;
        return n;
    }
};

TEST_F(SharedBody, OnlyBuffersEveryReaderHasSentAreFreed) {
    TestRequest sender;
    sender.object = body;
    sender.objectShared = 1;
    TestRequest* fast = AddReader(3);
    TestRequest* slow = AddReader(0);
    sender.FreeUsedBuffers(nullptr);
    EXPECT_EQ(0, Freed()) << "a reader that sent nothing holds every buffer";
    EXPECT_EQ(0, sender.buffersFreed);

    slow->buffersSent = 2;
    conn->link->queuedForSending = 1;  // one of them still waits on the link
    sender.FreeUsedBuffers(nullptr);
    EXPECT_EQ(1, Freed());
    EXPECT_EQ(1, sender.buffersFreed);

    conn->link->queuedForSending = 0;
    sender.buffersSent = 3;
    sender.FreeUsedBuffers(conn);
    EXPECT_EQ(2, Freed()) << "never more than the slowest reader sent";
    fast->buffersSent = 3;
    slow->buffersSent = 3;
    sender.FreeUsedBuffers(conn);
    EXPECT_EQ(3, Freed());
    EXPECT_EQ(3, sender.buffersFreed);
    sender.object = nullptr;
}

TEST_F(SharedBody, AResultFreesNothingForAReaderWithoutAResult) {
    TestResult sender;
    sender.object = body;
    sender.objectShared = 1;
    TestRequest* reader = AddReader(3);
    sender.FreeUsedBuffers(nullptr);
    EXPECT_EQ(0, Freed()) << "the request's own count is not its result's";
    TestResult* theirs = new TestResult(reader);
    theirs->prepare();
    theirs->buffersSent = 2;
    sender.FreeUsedBuffers(nullptr);
    EXPECT_EQ(2, Freed());
    theirs->FreeResult(0);
    sender.object = nullptr;
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
