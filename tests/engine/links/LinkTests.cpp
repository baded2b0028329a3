// Message links: queues, framing and the in-process pairing of two ends.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "LocalLink.h"

namespace {

std::string Bytes(IOBUFFER* b) { return std::string(b->cursor.data, b->cursor.length); }

IOBUFFER* FilledBuffer(COMMLINK* l, const std::string& bytes) {
    IOBUFFER* b = l->pool->GetBuffer(0);
    memcpy(b->area.data, bytes.data(), bytes.size());
    b->cursor.data = b->area.data;
    b->cursor.length = (long)bytes.size();
    return b;
}

std::string Frame(unsigned long n, const std::string& body) {
    char prefix[4];
    COMMLINK::WriteFrameLength(prefix, n);
    return std::string(prefix, 4) + body;
}

// Two in-process ends named by the test, the first waiting and the second opening to it.
struct LocalPair : ::testing::Test {
    LINKCONTROL framed;
    ESEMAPHORE wakeA{1}, wakeB{1};
    LOCALLINK* a = nullptr;
    LOCALLINK* b = nullptr;
    std::string nameA, nameB;

    void SetUp() override {
        std::string base = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        nameA = base + ".A";
        nameB = base + ".B";
    }
    void Open(BBOOL messageMode = 0) {
        framed.messageMode = messageMode;
        a = New(nameA, messageMode);
        b = New(nameB, messageMode);
        a->wakeEvent = &wakeA;
        b->wakeEvent = &wakeB;
        ASSERT_EQ(0, a->OpenLink(nullptr, nullptr, 0));
        ASSERT_EQ(0, b->OpenLink(nameA.c_str(), nullptr, 0));
    }
    LOCALLINK* New(const std::string& name, BBOOL messageMode = 0) {
        LOCALLINK* l = new LOCALLINK(LINK_SERVER_CONNECT, name.c_str(), messageMode ? &framed : nullptr);
        l->prepare();
        return l;
    }
    static void Drop(LOCALLINK*& l) {
        if (l) l->freeobj();
        l = nullptr;
    }
    void TearDown() override {
        Drop(a);
        Drop(b);
    }
};

TEST_F(LocalPair, EndsPairByNameAndRefuseEveryOtherOpener) {
    long before = _pLocalLinks->count;
    a = New(nameA);
    ASSERT_EQ(0, a->OpenLink("", nullptr, 0));
    EXPECT_TRUE(a->connectPending);
    EXPECT_FALSE(a->QueryLinkStatus());
    EXPECT_EQ(a, LOCALLINK::findlink(nameA.c_str()));

    ASSERT_EQ(0, a->OpenLink("", nullptr, 0)) << "an end may be opened again while it waits";
    EXPECT_EQ(1, _pLocalLinks->count - before);

    b = New(nameB);
    ASSERT_EQ(0, b->OpenLink(nameA.c_str(), nullptr, 0));
    EXPECT_TRUE(a->QueryLinkStatus());
    EXPECT_TRUE(b->QueryLinkStatus());
    EXPECT_FALSE(a->connectPending);
    EXPECT_EQ(b, a->peer);
    EXPECT_EQ(a, b->peer);

    std::string lower = nameA;
    lower[lower.size() - 1] = 'a';
    const struct {
        const char* what;
        std::string address;
    } refused[] = {
        {"a third opener of a paired end", nameA},
        {"an unknown name", "nobody here"},
        {"a name that differs in case", lower},
    };
    for (const auto& r : refused) {
        LOCALLINK* c = New(nameA + ".third");
        EXPECT_EQ(COMMLINK::ErrorCannotOpen, c->OpenLink(r.address.c_str(), nullptr, 0)) << r.what;
        EXPECT_EQ(COMMLINK::ErrorCannotOpen, c->error) << r.what;
        EXPECT_FALSE(c->QueryLinkStatus()) << r.what;
        Drop(c);
    }
    EXPECT_EQ(COMMLINK::ErrorCannotOpen, b->OpenLink(nameA.c_str(), nullptr, 0)) << "an end that already has a peer";
    EXPECT_EQ(b, a->peer);
}

TEST_F(LocalPair, BuffersCrossUnchangedAndInOrder) {
    Open();
    IOBUFFER* first = FilledBuffer(b, std::string("one\0two", 7));
    ASSERT_TRUE(b->PutMessage(first, 0));
    ASSERT_TRUE(b->SendMessage(BUFFER((char*)"second", 6), 0));
    EXPECT_TRUE(wakeA.QueryEvent());
    EXPECT_EQ(0, b->sendQueue.count);
    ASSERT_EQ(2, a->recvQueue.count);

    IOBUFFER* got = a->GetNextMessage();
    EXPECT_EQ(first, got) << "the same buffer is moved, not copied";
    EXPECT_EQ(std::string("one\0two", 7), Bytes(got));
    got->freeobj();
    char into[16];
    BUFFER out;
    ASSERT_TRUE(a->RecvMessage(BUFFER(into, sizeof(into)), out));
    EXPECT_EQ("second", std::string(out.data, out.length)) << "no length prefix outside message mode";
    EXPECT_FALSE(a->RecvMessage(BUFFER(into, sizeof(into)), out));
}

TEST_F(LocalPair, ClosingOneEndLeavesThePeerClosedWithWhatItReceived) {
    Open();
    ASSERT_TRUE(a->SendMessage(BUFFER((char*)"bye", 3), 0));
    wakeB.ResetEvent();
    a->CloseLink(1);
    EXPECT_FALSE(b->QueryLinkStatus());
    EXPECT_FALSE(b->connected);
    EXPECT_TRUE(b->closed);
    EXPECT_TRUE(b->peerClosed);
    EXPECT_TRUE(wakeB.QueryEvent());
    EXPECT_EQ(1, b->recvQueue.count);
    EXPECT_FALSE(b->SendMessage(BUFFER((char*)"x", 1), 0));
    EXPECT_EQ(nullptr, LOCALLINK::findlink(nameA.c_str()));
    EXPECT_EQ(b, LOCALLINK::findlink(nameB.c_str())) << "the other end stays registered";
    EXPECT_TRUE(b->WaitMessage());
    b->GetNextMessage()->freeobj();
    EXPECT_FALSE(b->WaitMessage()) << "an ended link does not wait for what can never come";
}

TEST_F(LocalPair, MessageModeFramesWithABigEndianLength) {
    Open(1);
    ASSERT_TRUE(b->SendMessage(BUFFER((char*)"0123456789", 10), 0));
    IOBUFFER* got = a->GetNextMessage();
    ASSERT_NE(nullptr, got);
    EXPECT_EQ(Frame(10, "0123456789"), Bytes(got));
    EXPECT_EQ(std::string("\0\0\0\x0a", 4), Bytes(got).substr(0, 4));
    got->freeobj();

    ASSERT_TRUE(b->SendMessage(BUFFER((char*)"abc", 3), 0));
    char into[8];
    BUFFER out;
    ASSERT_TRUE(a->RecvMessage(BUFFER(into, sizeof(into)), out));
    EXPECT_EQ("abc", std::string(out.data, out.length));

    // An empty frame is dropped and the link stays up.
    ASSERT_TRUE(b->PutMessage(FilledBuffer(b, Frame(0, "")), 0));
    EXPECT_EQ(0, a->recvQueue.count);
    EXPECT_TRUE(a->QueryLinkStatus());
}

TEST_F(LocalPair, AFrameWithALengthOutsideTheLimitsEndsTheReceiver) {
    const struct {
        const char* what;
        unsigned long length;
        int bodyBytes;
    } bad[] = {
        {"one byte over the maximum", 4093, 4092},
        {"length larger than the frame", 20, 10},
        {"length smaller than the frame", 5, 10},
    };
    for (const auto& c : bad) {
        TearDown();
        nameA += "+";
        nameB += "+";
        Open(1);
        EXPECT_EQ(4092, a->maxMessage);
        ASSERT_TRUE(b->PutMessage(FilledBuffer(b, Frame(c.length, std::string(c.bodyBytes, 'x'))), 0)) << c.what;
        ASSERT_TRUE(b->PutMessage(FilledBuffer(b, Frame(2, "ok")), 0)) << c.what;
        EXPECT_EQ(COMMLINK::ErrorMessageTooLong, a->error) << c.what;
        EXPECT_TRUE(a->closed && a->aborted) << c.what;
        EXPECT_EQ(0, a->recvQueue.count) << c.what << ": nothing after a bad frame is delivered";
        EXPECT_FALSE(a->QueryLinkStatus()) << c.what;
    }
}

TEST_F(LocalPair, ATooLongMessageInMessageModeIsRefusedWhole) {
    Open(1);
    std::string big(a->maxMessage + 1, 'z');
    EXPECT_FALSE(b->SendMessage(BUFFER(&big[0], (long)big.size()), 0));
    EXPECT_EQ(0, a->recvQueue.count);
    EXPECT_EQ(0, b->sendQueue.count);
    std::string fits(a->maxMessage, 'z');
    EXPECT_TRUE(b->SendMessage(BUFFER(&fits[0], (long)fits.size()), 0));
    ASSERT_EQ(1, a->recvQueue.count);
    EXPECT_EQ(Frame(fits.size(), fits), Bytes(a->recvQueue.First()));
}

TEST_F(LocalPair, SendStatusCountsOnlyAPositivePeerLimit) {
    Open();
    a->queueLimit = -1;
    EXPECT_TRUE(b->QuerySendStatus(1)) << "a limit below 1 is no limit";
    a->queueLimit = 1;
    ASSERT_TRUE(b->SendMessage(BUFFER((char*)"x", 1), 0));
    EXPECT_FALSE(b->QuerySendStatus(1));
}

TEST_F(LocalPair, OpenersRacingForOneEndPairExactlyOnce) {
    for (int round = 0; round < 40; round++) {
        a = New(nameA);
        ASSERT_EQ(0, a->OpenLink(nullptr, nullptr, 0));
        std::vector<LOCALLINK*> racers;
        for (int i = 0; i < 6; i++) racers.push_back(New(nameB + std::to_string(i)));
        std::vector<int> results(racers.size());
        std::vector<std::thread> threads;
        for (size_t i = 0; i < racers.size(); i++)
            threads.emplace_back([&, i] { results[i] = racers[i]->OpenLink(nameA.c_str(), nullptr, 0); });
        for (auto& t : threads) t.join();
        int paired = 0;
        for (size_t i = 0; i < racers.size(); i++) {
            if (results[i] == 0) {
                paired++;
                EXPECT_EQ(racers[i], a->peer);
            } else {
                EXPECT_EQ(COMMLINK::ErrorCannotOpen, results[i]);
            }
        }
        EXPECT_EQ(1, paired) << "round " << round;
        for (LOCALLINK* r : racers) Drop(r);
        EXPECT_EQ(nullptr, a->peer);
        Drop(a);
    }
}

// A plain link whose send queue nobody drains, to see what is queued.
struct QueuedLink : ::testing::Test {
    COMMLINK* l = nullptr;
    void SetUp() override {
        l = new COMMLINK(LINK_SERVER_CONNECT, nullptr, 1);
        l->prepare();
        l->OpenLink(nullptr, nullptr, 2);
        l->connected = 1;
    }
    void TearDown() override { l->freeobj(); }
};

TEST_F(QueuedLink, PutMessageHonoursTheQueueLimit) {
    IOBUFFER* b1 = FilledBuffer(l, "1");
    IOBUFFER* b2 = FilledBuffer(l, "2");
    IOBUFFER* b3 = FilledBuffer(l, "3");
    EXPECT_TRUE(l->PutMessage(b1, 0));
    EXPECT_TRUE(l->PutMessage(b2, 0));
    EXPECT_FALSE(l->PutMessage(b3, 0)) << "limit 2 with 2 queued";
    EXPECT_EQ(2, l->sendQueue.count);
    EXPECT_TRUE(l->QuerySendActive(0));
    l->queueLimit = 0;
    EXPECT_TRUE(l->PutMessage(b3, 0)) << "limit 0 always queues";
    EXPECT_EQ(3, l->queuedForSending);
}

TEST_F(QueuedLink, AMessageOfSeveralPiecesIsQueuedAllOrNothing) {
    ASSERT_TRUE(l->PutMessage(FilledBuffer(l, "first"), 0));
    std::string twoPieces(l->maxMessage + 10, 'p');
    EXPECT_FALSE(l->SendMessage(BUFFER(&twoPieces[0], (long)twoPieces.size()), 0));
    EXPECT_EQ(1, l->sendQueue.count) << "no piece of a refused message stays queued";
    l->queueLimit = 3;
    EXPECT_TRUE(l->SendMessage(BUFFER(&twoPieces[0], (long)twoPieces.size()), 0));
    ASSERT_EQ(3, l->sendQueue.count);
    IOBUFFER* p1 = l->GetNextMessage();  // the receive queue is empty
    EXPECT_EQ(nullptr, p1);
    l->sendQueue.RemoveFirst()->freeobj();
    IOBUFFER* piece = l->sendQueue.RemoveFirst();
    EXPECT_EQ(l->maxMessage, piece->cursor.length);
    piece->freeobj();
    piece = l->sendQueue.RemoveFirst();
    EXPECT_EQ(10, piece->cursor.length);
    piece->freeobj();
    l->connected = 0;
    EXPECT_FALSE(l->SendMessage(BUFFER((char*)"x", 1), 0)) << "a link that is not up sends nothing";
    EXPECT_FALSE(l->QuerySendActive(0));
}

TEST_F(QueuedLink, ReceiveQueueReading) {
    IOBUFFER* part = FilledBuffer(l, "part");
    part->incomplete = 1;
    IOBUFFER* whole = FilledBuffer(l, "whole message");
    l->recvQueue.Add(*part);
    l->recvQueue.Add(*whole);
    EXPECT_EQ(whole, l->GetFullMessage()) << "buffers flagged incomplete are passed over";
    whole->freeobj();
    EXPECT_EQ(nullptr, l->GetFullMessage());

    char small[3];
    BUFFER out;
    ASSERT_TRUE(l->RecvMessage(BUFFER(small, sizeof(small)), out));
    EXPECT_EQ("par", std::string(out.data, out.length)) << "what does not fit is dropped";
    EXPECT_FALSE(l->QueryRecvStatus());

    l->messageMode = 1;
    l->recvQueue.Add(*FilledBuffer(l, "abc"));
    char into[8];
    ASSERT_TRUE(l->RecvMessage(BUFFER(into, sizeof(into)), out));
    EXPECT_EQ("abc", std::string(out.data, out.length)) << "3 bytes or fewer are not stripped";
}

TEST_F(QueuedLink, PrepareNextMessage) {
    IOBUFFER* next = l->PrepareNextMessage(0, 0);
    ASSERT_NE(nullptr, next);
    EXPECT_EQ(l->maxMessage, next->cursor.length);
    EXPECT_EQ(next->area.data, next->cursor.data);
    EXPECT_TRUE(next->owning);
    EXPECT_EQ(next, l->nextRecvBuffer);

    l->currentRecvBuffer = l->nextRecvBuffer;
    l->nextRecvBuffer = nullptr;
    IOBUFFER* cur = l->currentRecvBuffer;
    cur->cursor.data += 100;
    cur->cursor.length = 10;
    EXPECT_EQ(cur, l->PrepareNextMessage(500, 1));
    EXPECT_EQ(400, cur->cursor.length) << "room up to 500 bytes counted from the start";
    EXPECT_TRUE(l->dataPending);
    EXPECT_EQ(l->maxMessage - (l->maxMessage >> 4), l->lowWaterMark);
}

TEST(CleanShutdown, QueuesAnEndMarkerWithoutStorage) {
    COMMLINK* l = new COMMLINK(LINK_CLIENT_CONNECT, nullptr, 1);
    l->prepare();
    l->OpenLink(nullptr, nullptr, 0);
    l->cleanShutdownWanted = 1;
    EXPECT_TRUE(l->StartCleanShutdown());
    EXPECT_TRUE(l->cleanShutdownStarted);
    IOBUFFER* marker = l->GetNextMessage();
    ASSERT_NE(nullptr, marker);
    EXPECT_FALSE(marker->hasMemory);
    marker->freeobj();
    l->freeobj();
}

int notices = 0;
LINKINTERFACE* noticed = nullptr;
void CountNotice(LINKINTERFACE* line, const char* text) {
    notices++;
    noticed = line;
    EXPECT_EQ(nullptr, text);
}

TEST(LinkInterface, ConnectAndDisconnectNotifyOnlyWhenAsked) {
    LINKINTERFACE* line = new LINKINTERFACE("Line 1 with a name longer than sixty-four characters, cut to fit");
    line->prepare();
    EXPECT_EQ(63u, strlen(line->name));
    EXPECT_TRUE(line->down);
    EXPECT_EQ(2, line->state);
    line->Connect(0);  // no notifier installed: nothing to call
    LINKINTERFACE::pStatusNotifier = CountNotice;
    line->failed = line->dropped = 1;
    line->Connect(0);
    EXPECT_EQ(0, notices);
    EXPECT_TRUE(line->connected && line->CheckInterfaceStatus(0));
    EXPECT_FALSE(line->failed || line->dropped);
    EXPECT_EQ(1, line->state);
    line->Connect(1);
    line->Disconnect(0, 1);
    EXPECT_EQ(2, notices);
    EXPECT_EQ(line, noticed);
    EXPECT_FALSE(line->CheckInterfaceStatus(0));
    EXPECT_EQ(2, line->state);
    LINKINTERFACE::pStatusNotifier = nullptr;
    line->freeobj();
}

}  // namespace
