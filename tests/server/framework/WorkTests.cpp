// Requests through fake services: queueing under load in both threading
// modes, requeueing, cancelling and freeing.
#include "FrameworkHarness.h"

#include <thread>

using namespace fw;

namespace {

class Work : public ServerTest {};

TEST_F(Work, QueuedRequestsReachTheWorkerUnderLoadInBothModes) {
  for (BBOOL perInstance : {FALSE, TRUE}) {
    SCOPED_TRACE(perInstance ? "per-instance" : "shared");
    MakeServer(perInstance);
    MakeTypes({"TELNET"});
    types[1]->start = Behaviour::Succeed;
    ASSERT_TRUE(StartServices());
    FakeDefinition* d = Definition("TELNET");
    ASSERT_NE(d, nullptr);
    processed = 0;
    const int gone = requestsGone;
    const int threads = 6, each = 150;
    std::vector<std::thread> senders;
    std::atomic<int> refused{0};
    for (int t = 0; t < threads; ++t)
        senders.emplace_back([&] {
            for (int i = 0; i < each; ++i) {
                FakeRequest* r = NewRequest();
                if (!d->QueueRequest(r)) {
                    ++refused;
                    r->FreeRequest(FALSE);
                }
            }
        });
    for (auto& s : senders) s.join();
    EXPECT_EQ(refused, 0);
    EXPECT_TRUE(WaitFor([&] { return processed == threads * each; })) << processed;
    EXPECT_TRUE(WaitFor([&] { return requestsGone - gone == threads * each; })) << "each request freed once";
    EXPECT_TRUE(WaitFor([&] { return d->activeRequests.Count() == 0; })) << "every request left the active chain";
    TearDown();
    SetUp();
  }
}

class Requests : public ServerTest {
protected:
    // A definition with one instance that has no worker running.
    FakeDefinition* Idle(BBOOL corvath) {
        MakeServer(corvath);
        MakeTypes({"TELNET"});
        UseProfile("[Applications]\r\n");
        BUFFER e(error, sizeof error);
        server->manager.CreateAppTypes(&server->config, server->mainProfile, nullptr, e);
        server->manager.CreateAppDefinitions(&server->config);
        FakeDefinition* d = Definition("TELNET");
        FakeInstance* inst = new FakeInstance(d);
        d->instances.Add(*inst);
        return d;
    }
};

TEST_F(Requests, QueueingBeforeStartInPerInstanceModeIsSilent) {
    FakeDefinition* d = Idle(TRUE);
    APPINSTANCE* inst = d->instances.First();
    ASSERT_TRUE(d->QueueRequest(NewRequest()));
    EXPECT_EQ(inst->queue.Count(), 1);
    EXPECT_FALSE(d->wakeup);
    EXPECT_FALSE(inst->wakeEvent.QueryEvent());
}

TEST_F(Requests, QueueWithoutInstancesAndRequeueOfADetachedRequestFail) {
    MakeServer(FALSE);
    MakeTypes({"TELNET"});
    FakeDefinition empty(types[1]);
    FakeRequest* r = NewRequest();
    EXPECT_FALSE(empty.QueueRequest(r)) << "the caller keeps the request";
    r->FreeRequest(FALSE);

    FakeDefinition* d = Idle(FALSE);
    FakeRequest* q = NewRequest();
    ASSERT_TRUE(d->QueueRequest(q));
    APPREQUEST* process = dynamic_cast<APPREQUEST*>(q->process);
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(d->ReQueueRequest(q));
    EXPECT_EQ(process->queuedCount, 2);
    process->FreeAppRequest(FALSE);  // detaches; still queued, so it stays
    EXPECT_FALSE(d->ReQueueRequest(q));
    q->FreeRequest(FALSE);
}

TEST_F(Requests, CancelTwiceCountsTheSameAndRestartsOnce) {
    FakeDefinition* d = Idle(FALSE);
    APPINSTANCE* inst = d->instances.First();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(d->QueueRequest(NewRequest()));
    // Taken by a worker: active.
    std::vector<APPREQUEST*> taken;
    while (APPREQUEST* r = inst->TakeRequest()) taken.push_back(r);
    ASSERT_EQ(d->activeRequests.Count(), 3);
    EXPECT_EQ(d->CancelRequests(), 3);
    EXPECT_EQ(inst->queue.Count(), 3) << "each went back to the queue";
    EXPECT_EQ(d->CancelRequests(), 3);
    EXPECT_EQ(inst->queue.Count(), 3) << "none restarted twice";
    const int gone = requestsGone;
    EXPECT_EQ(inst->TakeRequest(), nullptr) << "the worker frees cancelled requests";
    EXPECT_EQ(requestsGone - gone, 3);
    EXPECT_EQ(d->activeRequests.Count(), 0);
}

TEST_F(Requests, FreeWithoutDropKeepsDataRequestAndResult) {
    FakeDefinition* d = Idle(FALSE);
    FakeRequest* q = NewRequest();
    FakeResult* result = new FakeResult(q);
    result->prepare();
    q->result = result;
    ASSERT_TRUE(d->QueueRequest(q));
    APPREQUEST* r = d->instances.First()->TakeRequest();
    ASSERT_NE(r, nullptr);
    const int live = requestsLive;
    r->FreeAppRequest(FALSE);
    EXPECT_EQ(requestsLive, live);
    EXPECT_EQ(q->process, nullptr);
    EXPECT_EQ(q->result, result);
    EXPECT_EQ(d->activeRequests.Count(), 0) << "the request object itself is gone";
    q->result = nullptr;
    result->FreeResult(FALSE);
    q->FreeRequest(FALSE);
    EXPECT_EQ(requestsLive, live - 1);
}

TEST_F(Requests, LogResultAfterLogRequestWritesOnceEach) {
    struct CountingLog : APPLOG {
        int lines = 0;
        CountingLog() : APPLOG("TELNET") {}
        BBOOL LogRequest(APPREQUEST*, long, const char*, const char*) override { return ++lines; }
    };
    FakeDefinition* d = Idle(FALSE);
    CountingLog* counting = new CountingLog();
    APPLOG* old = types[1]->log;
    types[1]->log = counting;
    ASSERT_TRUE(d->QueueRequest(NewRequest()));
    APPREQUEST* r = d->instances.First()->TakeRequest();
    r->LogRequest(d);
    r->LogResult(d);
    r->LogResult(d);
    r->LogRequest(d);
    EXPECT_EQ(counting->lines, 2);
    r->FreeAppRequest(TRUE);
    types[1]->log = old;
    delete counting;
}

}  // namespace

namespace {

// A benchmark (tools/run-benchmarks): requests per
// second from queueing to the worker's free, in both modes.
TEST_F(Work, DISABLED_RequestsPerSecond) {
    for (BBOOL perInstance : {FALSE, TRUE}) {
        MakeServer(perInstance);
        MakeTypes({"TELNET"});
        ASSERT_TRUE(StartServices());
        FakeDefinition* d = Definition("TELNET");
        processed = 0;
        const int total = 20000;
        LARGE_INTEGER f, a, b;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&a);
        for (int i = 0; i < total; ++i) d->QueueRequest(NewRequest());
        ASSERT_TRUE(WaitFor([&] { return processed == total; }, 120000));
        QueryPerformanceCounter(&b);
        const double seconds = double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
        std::printf("%s: %.0f requests per second\n", perInstance ? "per-instance" : "shared", total / seconds);
        TearDown();
        SetUp();
    }
}

}  // namespace
