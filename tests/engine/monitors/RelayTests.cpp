// A small relay service made of an inbound and an outbound monitor, run in both threading modes.
#include <gtest/gtest.h>
#include "QvWindows.h"
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "RequestMonitor.h"
#include "LocalLink.h"
#include "TraceTexts.h"
#include "WaitFor.h"

namespace {

std::atomic<int> requestsMade{0}, requestsGone{0}, resultsMade{0}, resultsGone{0};

// A relayed message keeps the received buffer and hands the same buffer to the other link.
struct RelayRequest : DATAREQUEST {
    IOBUFFER* buffer;
    explicit RelayRequest(IOBUFFER* b) : DATAREQUEST(nullptr, 1), buffer(b) { requestsMade++; }
    ~RelayRequest() override {
        if (buffer) buffer->freeobj();
        requestsGone++;
    }
    QV_ITEM_IDENTITY(RelayRequest, "DATAREQUEST", "DRQa")
    char* GetReqStatus() override { return nullptr; }
    int SetReqStatus(const char*) override { return 0; }
};

struct RelayResult : DATARESULT {
    IOBUFFER* buffer;
    explicit RelayResult(IOBUFFER* b) : DATARESULT(nullptr, nullptr, 0), buffer(b) { resultsMade++; }
    ~RelayResult() override {
        if (buffer) buffer->freeobj();
        resultsGone++;
    }
    QV_ITEM_IDENTITY(RelayResult, "DATARESULT", "DRSa")
    char* GetStatus() override { return nullptr; }
    char* GetStatusLine(BUFFER& out) override { return out.data; }
    int SetStatus(const char*) override { return 0; }
};

// Pairs of client-side and server-side connections; fixed before the monitors start.
struct Pairs {
    std::vector<DATACONNECTION*> in, out;
    DATACONNECTION* Partner(DATACONNECTION* c) const {
        for (size_t i = 0; i < in.size(); i++) {
            if (in[i] == c) return out[i];
            if (out[i] == c) return in[i];
        }
        return nullptr;
    }
};

std::vector<int> notices;
void Notice(DATACONNECTION*, int code) { notices.push_back(code); }

struct RelayMonitor : REQUESTMONITOR {
    const Pairs& pairs;
    RelayMonitor(LINKCONTROL& c, IOMODE m, const Pairs& p) : REQUESTMONITOR(c, m), pairs(p) {}
    QV_ITEM_IDENTITY(RelayMonitor, "REQUESTMONITOR", "DRQM")

    DATAREQUEST* buildRequest(IOBUFFER* message, DATACONNECTION*) override {
        RelayRequest* r = new RelayRequest(message);
        r->prepare();
        return r;
    }
    DATARESULT* buildResult(IOBUFFER* message, DATACONNECTION*) override {
        RelayResult* r = new RelayResult(message);
        r->prepare();
        return r;
    }
    std::function<void(DATAREQUEST*)> onRequest;  // lets a test act as a service thread
    BBOOL evaluateRequest(DATAREQUEST* r) override {
        if (onRequest) onRequest(r);
        DATACONNECTION* to = pairs.Partner(r->connection);
        if (!to || &to->QueueRequest(r) == &_NULLSPTR) r->FreeRequest(0);
        return 1;  // the outbound send releases a queued request
    }
    BBOOL evaluateResult(DATARESULT* r) override {
        DATACONNECTION* to = pairs.Partner(r->connection);
        if (to) to->QueueResult(r);
        r->FreeResult(0);
        return 1;
    }
    static void Pass(COMMLINK* link, IOBUFFER*& b) {
        if (b && !link->PutMessage(b, 0)) b->freeobj();
        b = nullptr;
    }
    BBOOL sendRequest(DATAREQUEST* r, DATACONNECTION* to) override {
        Pass(to->link, static_cast<RelayRequest*>(r)->buffer);
        if (r->dequeuedCount >= r->queuedCount) r->FreeRequest(1);
        return 1;
    }
    BBOOL sendResult(DATARESULT* r, DATACONNECTION* to) override {
        Pass(to->link, static_cast<RelayResult*>(r)->buffer);
        if (r->freePending) r->FreeResult(1);
        return 1;
    }
    REQUESTMONITOR* createSecondaryMonitor(IOMODE, DATACONNECTION*) override { return nullptr; }
};

// An end the test drives by hand, with its own wake event.
struct RawEnd {
    LOCALLINK* link;
    ESEMAPHORE wake{1};
    explicit RawEnd(const std::string& name) {
        link = new LOCALLINK(LINK_SERVER_CONNECT, name.c_str());
        link->prepare();
        link->wakeEvent = &wake;
        link->OpenLink(nullptr, nullptr, 0);
    }
    ~RawEnd() { link->freeobj(); }
    IOBUFFER* Next() {
        for (;;) {
            if (IOBUFFER* b = link->GetNextMessage()) return b;
            if (!link->WaitMessage()) return nullptr;
        }
    }
};

using qvtest::WaitFor;

struct Relay : ::testing::Test {
    LINKCONTROL control;
    Pairs pairs;
    RelayMonitor* inbound = nullptr;
    RelayMonitor* outbound = nullptr;
    std::vector<RawEnd*> clients, servers;
    PGMTHREAD* common = nullptr;

    void SetUp() override {
        requestsMade = requestsGone = resultsMade = resultsGone = 0;
        notices.clear();
        inbound = new RelayMonitor(control, 1, pairs);
        outbound = new RelayMonitor(control, 2, pairs);
        inbound->prepare();
        outbound->prepare();
    }

    void Build(int count, const std::string& tag) {
        for (int k = 0; k < count; k++) {
            std::string cli = tag + ".client" + std::to_string(k), srv = tag + ".server" + std::to_string(k);
            clients.push_back(new RawEnd(cli));
            servers.push_back(new RawEnd(srv));
            DATACONNECTION* in = new DATACONNECTION(control, ("in" + cli).c_str(), cli.c_str(), "0", "Local");
            DATACONNECTION* out = new DATACONNECTION(control, ("out" + srv).c_str(), srv.c_str(), "0", "Local");
            in->prepare();
            out->prepare();
            ASSERT_TRUE(in->Connect(LINK_CLIENT_CONNECT, 0, 1, inbound, nullptr, nullptr, nullptr, nullptr));
            ASSERT_TRUE(out->Connect(LINK_SERVER_CONNECT, 0, 1, outbound, nullptr, nullptr, nullptr, nullptr));
            pairs.in.push_back(in);
            pairs.out.push_back(out);
        }
    }

    void StartShared() {
        _pDataSys->commonStop = 0;
        common = new PGMTHREAD(REQUESTMONITOR::CommonMonitor, nullptr);
        common->prepare();
        _pDataSys->commonThread = common;
    }

    void Stop() {
        if (common) {
            _pDataSys->commonStop = 1;
            _pDataSys->commonEvent.PostEvent();
            common->Wait();
        }
        for (RelayMonitor* m : {inbound, outbound}) {
            m->stopEvent.PostEvent();
            m->RequestWakeup();
            m->RequestWakeup();
            m->Wait();
            m->StopMonitor();
        }
        if (common) {
            _pDataSys->commonThread = nullptr;
            common->freeobj();
            common = nullptr;
        }
    }

    void TearDown() override {
        for (auto* list : {&pairs.in, &pairs.out})
            for (DATACONNECTION* c : *list) {
                c->Disconnect();
                c->freeobj();
            }
        pairs.in.clear();
        pairs.out.clear();
        inbound->freeobj();
        outbound->freeobj();
        for (RawEnd* e : clients) delete e;
        for (RawEnd* e : servers) delete e;
    }

    // Several clients send at once; each server end answers every message in upper case.
    void RunLoad(int perClient) {
        std::vector<std::thread> threads;
        std::vector<std::string> failures(clients.size());
        for (size_t k = 0; k < servers.size(); k++) {
            threads.emplace_back([this, k, perClient] {
                for (int i = 0; i < perClient; i++) {
                    IOBUFFER* b = servers[k]->Next();
                    if (!b) return;
                    for (long j = 0; j < b->cursor.length; j++) b->cursor.data[j] = (char)toupper(b->cursor.data[j]);
                    if (!servers[k]->link->PutMessage(b, 0)) b->freeobj();
                }
            });
        }
        for (size_t k = 0; k < clients.size(); k++) {
            threads.emplace_back([this, k, perClient, &failures] {
                for (int i = 0; i < perClient; i++) {
                    std::string text = "client " + std::to_string(k) + " message " + std::to_string(i);
                    if (!clients[k]->link->SendMessage(BUFFER(&text[0], (long)text.size()), 0)) {
                        failures[k] = "send refused";
                        return;
                    }
                }
                for (int i = 0; i < perClient; i++) {
                    std::string want = "CLIENT " + std::to_string(k) + " MESSAGE " + std::to_string(i);
                    IOBUFFER* b = clients[k]->Next();
                    if (!b) {
                        failures[k] = "link ended after " + std::to_string(i);
                        return;
                    }
                    std::string got(b->cursor.data, b->cursor.length);
                    b->freeobj();
                    if (got != want && failures[k].empty()) failures[k] = got + " instead of " + want;
                }
            });
        }
        for (auto& t : threads) t.join();
        for (size_t k = 0; k < failures.size(); k++) EXPECT_EQ("", failures[k]) << "client " << k;
    }

    void ExpectEverythingReleasedOnce(int total) {
        EXPECT_TRUE(WaitFor([&] { return requestsGone == total && resultsGone == total; }));
        EXPECT_EQ(total, requestsMade.load());
        EXPECT_EQ(total, requestsGone.load());
        EXPECT_EQ(total, resultsMade.load());
        EXPECT_EQ(total, resultsGone.load());
    }
};

TEST_F(Relay, OwnThreadPerMonitorUnderLoad) {
    const int clientsCount = 4, perClient = 150;
    Build(clientsCount, "own");
    ASSERT_TRUE(inbound->StartMonitor(0));
    ASSERT_TRUE(outbound->StartMonitor(0));
    EXPECT_FALSE(inbound->shared);
    EXPECT_NE(0u, inbound->threadId);
    RunLoad(perClient);
    ExpectEverythingReleasedOnce(clientsCount * perClient);
    for (int k = 0; k < clientsCount; k++) {
        EXPECT_EQ(perClient, pairs.in[k]->requestCount);
        EXPECT_EQ(perClient, pairs.in[k]->resultCount);
        EXPECT_EQ(perClient, pairs.out[k]->requestCount);
        EXPECT_EQ(perClient, pairs.out[k]->resultCount);
    }
    Stop();
    for (DATACONNECTION* c : pairs.in) EXPECT_TRUE(c->link->shutdownRequested) << "the final pass shuts links down";
}

TEST_F(Relay, SharedCommonMonitorUnderLoad) {
    const int clientsCount = 4, perClient = 150;
    Build(clientsCount, "shared");
    // No common thread yet: a monitor that may share gets a thread of its own.
    RelayMonitor* alone = new RelayMonitor(control, 1, pairs);
    alone->prepare();
    ASSERT_TRUE(alone->StartMonitor(1));
    EXPECT_FALSE(alone->shared);
    EXPECT_NE(0u, alone->threadId);
    alone->stopEvent.PostEvent();
    alone->RequestWakeup();
    alone->Wait();
    alone->freeobj();

    StartShared();
    ASSERT_TRUE(inbound->StartMonitor(1));
    ASSERT_TRUE(outbound->StartMonitor(1));
    EXPECT_TRUE(inbound->shared);
    EXPECT_EQ(0u, inbound->threadId) << "no thread of its own";
    EXPECT_EQ(2, _pDataSys->monitors.count);
    RunLoad(perClient);
    ExpectEverythingReleasedOnce(clientsCount * perClient);
    Stop();
    EXPECT_EQ(0, _pDataSys->monitors.count);
    for (DATACONNECTION* c : pairs.out) EXPECT_TRUE(c->link->shutdownRequested);
}

TEST_F(Relay, RequestsThatMayNotBeSentAreReleasedUnsent) {
    Build(1, "unsent");
    ASSERT_TRUE(outbound->StartMonitor(0));
    RelayRequest* held = new RelayRequest(nullptr);
    RelayRequest* cancelled = new RelayRequest(nullptr);
    held->prepare();
    cancelled->prepare();
    held->sendable = 0;
    cancelled->cancelled = 1;
    held->prepare();  // the test looks at it afterwards
    pairs.out[0]->QueueRequest(held);
    pairs.out[0]->QueueRequest(cancelled);
    EXPECT_TRUE(WaitFor([&] { return requestsGone == 1 && held->released; }));
    EXPECT_TRUE(held->released);
    EXPECT_EQ(1, held->count);
    EXPECT_EQ(0, pairs.out[0]->requestCount) << "nothing was sent";
    EXPECT_EQ(0, servers[0]->link->recvQueue.count);
    held->freeobj();
    Stop();
}

// The drop waits for a queued request; the pass that sends it is the last anything
// asks for, so the monitor must come back by itself to close the link.
TEST_F(Relay, ADropWaitingForItsLastSendClosesTheLinkOnceItIsSent) {
    Build(1, "drain");
    DATACONNECTION* out = pairs.out[0];
    // The test plays the common thread: one pass for each wake-up asked for.
    outbound->shared = 1;
    outbound->procedure = REQUESTMONITOR::outboundMonitor;
    auto serveWakeups = [&] {
        for (int passes = 0; outbound->wakeRequested && passes < 10; passes++) {
            outbound->wakeRequested = 0;
            outbound->procedure(outbound);
        }
    };
    outbound->RequestWakeup();
    serveWakeups();
    ASSERT_TRUE(out->connectSeen);
    RelayRequest* last = new RelayRequest(nullptr);
    last->prepare();
    out->QueueRequest(last);
    out->SetDropRequested(1, 0);
    serveWakeups();
    EXPECT_EQ(1, out->requestCount) << "sent before the drop";
    EXPECT_FALSE(out->dropRequested);
    EXPECT_TRUE(out->link->closed) << "the drop closed the link";
    EXPECT_FALSE(out->connectSeen) << "and the monitor served the close";
    Stop();
}

TEST_F(Relay, ADropClosesTheLinkAndTheConnectionGoesWhenIdleClosing) {
    Build(1, "drop");
    inbound->notifier = Notice;
    DATACONNECTION* in = pairs.in[0];
    in->closeWhenIdle = 1;
    in->prepare();  // kept by the test past its release by the monitor
    ASSERT_TRUE(inbound->StartMonitor(0));
    ASSERT_TRUE(WaitFor([&] { return in->connectSeen != 0; }));
    in->SetDropRequested(1, 1);
    // The monitor leaves the active list before it closes the stream.
    ASSERT_TRUE(WaitFor([&] { return in->activeCell == nullptr && in->link && !in->link->open; }));
    EXPECT_EQ((std::vector<int>{CONN_OPENED, CONN_CONNECTED, CONN_CLOSED}), notices);
    EXPECT_FALSE(in->dropRequested);
    ASSERT_NE(nullptr, in->link);
    EXPECT_FALSE(in->link->open);
    EXPECT_TRUE(in->link->aborted) << "the aborted flag comes from the drop request";
    // The peer's end learns it after the connection left the active list.
    EXPECT_TRUE(WaitFor([&] { return !clients[0]->link->QueryLinkStatus(); })) << "the client's end sees its peer gone";
    Stop();
    in->freeobj();
    pairs.in.clear();
}

}  // namespace

namespace {

TEST_F(Relay, AConnectionClosingWhenIdleEndsAfterItsAnswerWasSent) {
    Build(1, "idle");
    inbound->notifier = Notice;
    DATACONNECTION* in = pairs.in[0];
    in->closeWhenIdle = 1;
    in->prepare();
    ASSERT_TRUE(inbound->StartMonitor(0));
    ASSERT_TRUE(outbound->StartMonitor(0));
    RunLoad(1);
    ASSERT_TRUE(WaitFor([&] { return in->activeCell == nullptr; }));
    EXPECT_EQ(1, in->resultCount);
    EXPECT_TRUE(in->link->shutdownRequested) << "shut down by the monitor once idle";
    EXPECT_EQ(CONN_CLOSED, notices.back());
    EXPECT_TRUE(WaitFor([&] { return !clients[0]->link->QueryLinkStatus(); }));
    ExpectEverythingReleasedOnce(1);
    Stop();
    in->freeobj();
    pairs.in.clear();
}

volatile LONG releaseLinkMonitor = 0;
void HoldingLinkMonitor(void*) {
    while (!releaseLinkMonitor) Sleep(5);
}

TEST_F(Relay, AClosedLinkStaysUntilARunningLinkMonitorHandledTheClose) {
    Build(1, "gate");
    DATACONNECTION* in = pairs.in[0];
    in->closeWhenIdle = 1;
    in->prepare();
    releaseLinkMonitor = 0;
    ASSERT_TRUE(inbound->StartLinkMonitor(in, HoldingLinkMonitor));
    ASSERT_TRUE(inbound->StartMonitor(0));
    in->link->Shutdown(0);
    // A wake-up taken, then a second one taken: the pass after the close is complete.
    for (int round = 0; round < 2; round++) {
        ASSERT_TRUE(WaitFor([&] { return !inbound->wakeEvent.QueryEvent(); }));
        if (round == 0) inbound->RequestWakeup();
    }
    EXPECT_NE(nullptr, in->activeCell) << "the close is the link monitor's to handle first";
    in->link->closeHandled = 1;
    inbound->RequestWakeup();
    EXPECT_TRUE(WaitFor([&] { return in->activeCell == nullptr; }));
    InterlockedExchange(&releaseLinkMonitor, 1);
    inbound->WaitLinkMonitor();
    EXPECT_EQ(nullptr, inbound->linkMonitor);
    Stop();
    in->freeobj();
    pairs.in.clear();
}

TEST_F(Relay, TracedEventsOfAConversation) {
    ASSERT_TRUE(_pSupport->trace.StartTrace(TRACE_COMM, 65536));
    Build(1, "traced");
    DATACONNECTION* failing = new DATACONNECTION(control, "failing", "no such end", "0", "Local");
    failing->prepare();
    EXPECT_FALSE(failing->Connect(LINK_SERVER_CONNECT, 0, 1, outbound, nullptr, nullptr, nullptr, nullptr));
    failing->freeobj();
    ASSERT_TRUE(inbound->StartMonitor(0));
    ASSERT_TRUE(outbound->StartMonitor(0));
    RunLoad(1);
    ExpectEverythingReleasedOnce(1);
    pairs.in[0]->SetDropRequested(1, 0);
    ASSERT_TRUE(WaitFor([&] { return pairs.in[0]->connectSeen == 0; }));
    Stop();
    std::vector<std::string> texts = qvtest::TracedNames(TRACE_COMM, 3);
    _pSupport->trace.StopTrace();
    for (const char* want : {"Inbound Connect Opened", "Outbound Connect Opened", "Outbound Connect Failed",
                             "Inbound Connect", "Outbound Connect Completed", "Message Received",
                             "Inbound Disconnect"}) {
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), want)) << want;
    }
}

}  // namespace

namespace {

bool watchedGone = false;
struct WatchedConnection : DATACONNECTION {
    using DATACONNECTION::DATACONNECTION;
    ~WatchedConnection() override { watchedGone = true; }
    QV_ITEM_IDENTITY(WatchedConnection, "DATACONNECTION", "DCNN")
};

TEST_F(Relay, TheLastConnectionOfAPassIsHeldWhileServed) {
    RawEnd client("held.client");
    WatchedConnection* in = new WatchedConnection(control, "held.in", "held.client", "0", "Local");
    in->prepare();  // the service's only reference
    ASSERT_TRUE(in->Connect(LINK_CLIENT_CONNECT, 0, 1, inbound, nullptr, nullptr, nullptr, nullptr));
    watchedGone = false;
    bool goneWhileServed = true;
    inbound->onRequest = [&](DATAREQUEST*) {
        // Another thread disconnects and lets go while the monitor is still serving it.
        std::thread service([in] {
            in->Disconnect();
            in->freeobj();
        });
        service.join();
        goneWhileServed = watchedGone;
    };
    ASSERT_TRUE(inbound->StartMonitor(0));
    ASSERT_TRUE(client.link->SendMessage(BUFFER((char*)"hello", 5), 0));
    EXPECT_TRUE(WaitFor([&] { return watchedGone; }));
    EXPECT_FALSE(goneWhileServed) << "the monitor's own reference kept it alive until it was done";
    EXPECT_EQ(1, requestsMade.load());
    Stop();
}

}  // namespace

namespace {

TEST_F(Relay, WakingASharedMonitorAlsoWakesTheCommonThread) {
    inbound->shared = 1;
    _pDataSys->commonEvent.ResetEvent();
    inbound->wakeEvent.ResetEvent();
    inbound->RequestWakeup();
    EXPECT_TRUE(inbound->wakeRequested);
    EXPECT_TRUE(inbound->wakeEvent.QueryEvent());
    EXPECT_TRUE(_pDataSys->commonEvent.QueryEvent());
    inbound->shared = 0;
    _pDataSys->commonEvent.ResetEvent();
    inbound->RequestWakeup();
    EXPECT_FALSE(_pDataSys->commonEvent.QueryEvent());
}

TEST_F(Relay, TheFinalPassLeavesAuxiliaryPortsToTheirOwnMonitors) {
    Build(2, "final");
    pairs.in[1]->auxParent = pairs.in[0];
    ASSERT_TRUE(inbound->StartMonitor(0));
    Stop();
    EXPECT_TRUE(pairs.in[0]->link->shutdownRequested);
    EXPECT_FALSE(pairs.in[1]->link->shutdownRequested);
}

}  // namespace
