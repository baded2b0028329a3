// The line layer: command-line framing and Telnet stripping fed at every
// split point, the gateway's commands, and the relay mode that passes all.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TelConnection.h"
#include "TelMessages.h"
#include "TelReqMonitor.h"

namespace {

// A client connection in command mode over a link that is never opened to anyone.
struct LineFixture : ::testing::Test {
    LINKCONTROL control;
    COMMLINK* link = nullptr;
    TELCONNECTION* client = nullptr;
    TELREQMONITOR* monitor = nullptr;

    void SetUp() override {
        link = new COMMLINK(LINK_CLIENT_CONNECT, &control, 1);
        link->prepare();
        link->OpenLink(nullptr, nullptr, 0);
        client = new TELCONNECTION(nullptr, control, "client", "0", "Local");
        client->prepare();
        client->lineTerminator = '\r';
        client->secondTerminator = '\n';
        client->link = link;
        link->owner = client;
        monitor = new TELREQMONITOR(control, 1);
        monitor->prepare();
    }
    void TearDown() override {
        DropReplies();
        client->link = nullptr;
        link->owner = nullptr;
        client->freeobj();
        link->freeobj();
        monitor->freeobj();
    }

    // The lines the stream handler makes of the chunks, as the socket link would deliver them.
    std::vector<std::string> Frame(const std::vector<std::string>& chunks) {
        std::vector<std::string> lines;
        IOBUFFER* b = nullptr;
        for (const std::string& chunk : chunks) {
            if (!b) {
                b = _pSupport->bufferPool.GetBuffer(0);
                b->cursor.data = b->area.data;
                b->cursor.length = b->capacity;
            }
            b->CopyIn(chunk.data(), (long)chunk.size());
            while (b && TELREQMONITOR::MessageMonitor(link, b)) {
                long n = (long)(b->cursor.data - b->area.data);
                lines.push_back(std::string(b->area.data, strnlen(b->area.data, (size_t)n)));
                b->freeobj();
                b = link->nextRecvBuffer;
                link->nextRecvBuffer = nullptr;
                if (b && b->cursor.data == b->area.data) break;  // nothing left over to frame
            }
        }
        if (b) b->freeobj();
        return lines;
    }

    IOBUFFER* Line(const std::string& text) {
        IOBUFFER* b = _pSupport->bufferPool.GetBuffer(0);
        std::memcpy(b->area.data, text.data(), text.size());
        b->area.data[text.size()] = 0;
        b->cursor.data = b->area.data;
        b->cursor.length = (long)text.size() + 1;
        return b;
    }

    // Replies queued for the client, dropped; their count.
    int DropReplies() {
        int n = 0;
        while (DATARESULT* r = client->results.RemoveFirst()) {
            r->TakenFromQueue();
            r->FreeResult(FALSE);
            r->DropQueueHold();
            n++;
        }
        return n;
    }
};

using Framing = LineFixture;

TEST_F(Framing, EveryLineEndIsOneAtEverySplitPoint) {
    const std::string stream = std::string("o a.b\r\nc d.e\r") + '\0' + "f\ng.h\r" + "open x.y\r\n";
    const std::vector<std::string> want = {"o a.b", "c d.e", "f", "g.h", "open x.y"};
    for (size_t at = 0; at <= stream.size(); at++) {
        EXPECT_EQ(want, Frame({stream.substr(0, at), stream.substr(at)})) << "split at " << at;
        client->afterCR = FALSE;
    }
}

TEST_F(Framing, ByteByByteAndAfterALine) {
    std::vector<std::string> bytes;
    for (char c : std::string("ab\r\ncd\re\n")) bytes.push_back(std::string(1, c));
    EXPECT_EQ((std::vector<std::string>{"ab", "cd", "e"}), Frame(bytes));
    EXPECT_EQ((std::vector<std::string>{}), Frame({"no end yet"}));
}

TEST_F(Framing, RelayModePassesEveryChunk) {
    client->relayMode = TRUE;
    EXPECT_EQ((std::vector<std::string>{"a\rb", "c"}), Frame({"a\rb", "c"}));
}

TEST_F(Framing, TelnetCommandsGoAtEverySplitPoint) {
    const std::string stream = "\xff\xfd\x01o\xff\xfb\x03pen \xff\xff x\xff\xf1y\xff\xfe\x05";
    const std::string want = "open \xff xy";
    for (size_t at = 0; at <= stream.size(); at++) {
        client->negotiationState = 0;
        std::string a = stream.substr(0, at), b = stream.substr(at);
        std::vector<char> x(a.begin(), a.end()), y(b.begin(), b.end());
        x.push_back(0);
        y.push_back(0);
        int n = TELREQMONITOR::scanNegotiation(client, x.data(), (int)a.size());
        int m = TELREQMONITOR::scanNegotiation(client, y.data(), (int)b.size());
        EXPECT_EQ(want, std::string(x.data(), n) + std::string(y.data(), m)) << "split at " << at;
        EXPECT_EQ(0, client->negotiationState) << at;
    }
    EXPECT_EQ(0, link->sendQueue.count);  // nothing is ever answered
}

using Commands = LineFixture;

TEST_F(Commands, OpenWordsInAnyCaseAndLoneDottedHosts) {
    struct {
        const char* line;
        const char* host;  // null: invalid
    } cases[] = {
        {"OPEN a.b", "a.b"},         {"o a.b", "a.b"},        {"Op host", "host"},
        {"conn a.b", "a.b"},         {"Connect a.b", "a.b"},  {"CONNECT a.b", "a.b"},
        {"  a.b.c  ", "A.B.C"},      {"\t127.0.0.1", "127.0.0.1"},
        {"OPEN \"127.0.0.1\" 99", "127.0.0.1"},               {"CON a.b", nullptr},
        {"OPENX a.b", nullptr},      {"word", nullptr},       {"a.b c", nullptr},
        {"OPEN", nullptr},           {"", nullptr},           {"open \xff\xfd\x01 a.b", "a.b"},
    };
    for (auto& c : cases) {
        const long before = _pSupport->bufferPool.inUse;
        DATAREQUEST* r = monitor->buildRequest(Line(c.line), client);
        TELOPENREQUEST* open = dynamic_cast<TELOPENREQUEST*>(r);
        if (c.host) {
            ASSERT_NE(nullptr, open) << c.line;
            EXPECT_STREQ(c.host, open->host) << c.line;
            EXPECT_EQ(0, DropReplies()) << c.line;
            r->FreeRequest(FALSE);
        } else {
            EXPECT_EQ(nullptr, r) << c.line;
            EXPECT_EQ(1, DropReplies()) << c.line;
        }
        EXPECT_EQ(before, _pSupport->bufferPool.inUse) << "buffer of " << c.line;
    }
}

TEST_F(Commands, LongLineIsDiscardedToItsEndWithOneReply) {
    IOBUFFER* part = Line("o a.b");
    part->incomplete = TRUE;
    EXPECT_EQ(nullptr, monitor->buildRequest(part, client));
    EXPECT_EQ(0, DropReplies());
    EXPECT_EQ(nullptr, monitor->buildRequest(Line("tail.of.it"), client));
    EXPECT_EQ(1, DropReplies());
    DATAREQUEST* r = monitor->buildRequest(Line("o next.host"), client);
    ASSERT_NE(nullptr, dynamic_cast<TELOPENREQUEST*>(r));
    r->FreeRequest(FALSE);
}

TEST_F(Commands, HostIsCutAndPortIgnoredByTheParse) {
    TELOPENREQUEST* r = new TELOPENREQUEST(nullptr, link);
    r->prepare();
    std::string longHost(300, 'h');
    EXPECT_TRUE(r->ParseCommand(("'" + longHost + "' 25").c_str()));
    EXPECT_EQ(255u, std::strlen(r->host));
    EXPECT_FALSE(r->ParseCommand("   "));
    r->FreeRequest(FALSE);
}

TEST_F(Commands, RelayModeCarriesTheBufferAndEmptyReadIsAMarker) {
    client->relayMode = TRUE;
    IOBUFFER* b = Line("IAC \xff\xfd\x01 stays");
    DATAREQUEST* r = monitor->buildRequest(b, client);
    TELDATAREQUEST* data = dynamic_cast<TELDATAREQUEST*>(r);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(b, data->buffer);
    r->FreeRequest(FALSE);
    IOBUFFER* empty = _pSupport->bufferPool.GetBuffer(-1);
    DATAREQUEST* m = monitor->buildRequest(empty, client);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(0x44516374ul, m->ItemClassID());
    m->FreeRequest(FALSE);
}

// A client that closes while its open waits for the worker must not be paired
// with the host connection the open then makes: nobody would ever close that.
TEST_F(Commands, AConnectionThatLeftIsNeverPairedAgain) {
    TELCONNECTION* host = new TELCONNECTION(nullptr, control, "host", "23", "Local");
    host->prepare();
    ASSERT_TRUE(TELCONNECTION::Pair(client, host));
    TELCONNECTION* former = client->Leave();
    EXPECT_EQ(host, former);
    former->freeobj();
    EXPECT_FALSE(host->IsPaired());
    EXPECT_FALSE(TELCONNECTION::Pair(client, host));
    EXPECT_FALSE(client->IsPaired());
    EXPECT_FALSE(host->IsPaired());
    EXPECT_EQ(nullptr, host->AcquirePeer());
    host->freeobj();
}

}  // namespace
