// The HTTP service in process, over a link that is never opened to anyone: a
// browser's bytes framed into requests at every kind of split, and the
// worker's answers to browsers it must refuse before anything goes out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppRequest.h"
#include "HttpConnection.h"
#include "HttpObject.h"
#include "HttpReqMonitor.h"
#include "HttpResponse.h"
#include "HttpService.h"
#include "LocalSite.h"
#include "NetworkInterface.h"
#include "Profile.h"
#include "ScratchDir.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "TcpControl.h"
#include "TcpInterface.h"
#include "WinSockControl.h"

namespace {

struct BrowserFixture : qvtest::ScratchDirTest {
    BrowserFixture() : ScratchDirTest("http_proxy") {}
    LINKCONTROL control;
    COMMLINK* link = nullptr;
    HTTPCONNECTION* client = nullptr;
    HTTPREQMONITOR* monitor = nullptr;

    void SetUp() override {
        ScratchDirTest::SetUp();
        link = new COMMLINK(LINK_CLIENT_CONNECT, &control, 1);
        link->prepare();
        link->OpenLink(nullptr, nullptr, 0);
        client = new HTTPCONNECTION(nullptr, control, "client", "0", "Local");
        client->prepare();
        client->link = link;
        link->owner = client;
        monitor = new HTTPREQMONITOR(control, 1);
        monitor->prepare();
    }
    void TearDown() override {
        while (DATARESULT* r = client->results.RemoveFirst()) {
            r->TakenFromQueue();
            r->DropQueueHold();
            r->FreeResult(FALSE);
        }
        client->link = nullptr;
        link->owner = nullptr;
        client->freeobj();
        link->freeobj();
        monitor->freeobj();
        ScratchDirTest::TearDown();
    }

    IOBUFFER* Piece(const std::string& bytes) {
        IOBUFFER* b = _pSupport->bufferPool.GetBuffer(0);
        b->cursor.data = b->area.data;
        b->cursor.length = b->capacity;
        b->CopyIn(bytes.data(), (long)bytes.size());
        b->cursor.data = b->area.data;
        b->cursor.length = (long)bytes.size();
        return b;
    }

    // The requests the pieces make, in order; each is released after its look.
    std::vector<std::string> Requests(const std::vector<std::string>& pieces, std::string* body = nullptr) {
        std::vector<std::string> made;
        for (const std::string& p : pieces) {
            DATAREQUEST* r = monitor->buildRequest(Piece(p), client);
            HTTPREQUEST* h = dynamic_cast<HTTPREQUEST*>(r);
            if (!h) continue;
            char out[2048];
            BUFFER b(out, sizeof out);
            made.push_back(h->RebuildRequest(b, FALSE) ? out : "<rebuild failed>");
            if (body && h->object && h->object->dataBlock)
                *body = std::string(h->object->dataBlock->data, (size_t)h->object->DataLength());
            h->FreeRequest(FALSE);
        }
        return made;
    }

    // The body of the first result queued for the browser, or "".
    std::string FirstBody() {
        HTTPRESPONSE* h = dynamic_cast<HTTPRESPONSE*>(client->results.First());
        if (!h || !h->object || !h->object->dataBlock) return "";
        return std::string(h->object->dataBlock->data, (size_t)h->object->DataLength());
    }

    // The status line of the first result queued for the browser, or "".
    std::string FirstAnswer() {
        DATARESULT* r = client->results.First();
        HTTPRESPONSE* h = dynamic_cast<HTTPRESPONSE*>(r);
        if (!h) return "";
        return std::string(h->version) + " " + h->status + " " + h->reason;
    }
};

const std::string GET = "GET http://origin/a HTTP/1.0\r\nAccept: */*\r\n\r\n";
const std::string SENT = "GET /a HTTP/1.0\r\nAccept: */*\r\n\r\n";

TEST_F(BrowserFixture, HeaderBlocksCompleteWhereverTheyAreSplit) {
    const struct {
        const char* what;
        std::vector<std::string> pieces;
    } cases[] = {
        {"after the first CR LF", {GET.substr(0, GET.size() - 2), GET.substr(GET.size() - 2)}},
        {"between LF and CR LF", {GET.substr(0, GET.size() - 3), GET.substr(GET.size() - 3)}},
        {"inside the last CR LF", {GET.substr(0, GET.size() - 1), GET.substr(GET.size() - 1)}},
        {"bare line feeds", {"GET http://origin/a HTTP/1.0\nAccept: */*\n", "\n"}},
    };
    for (const auto& c : cases) {
        HTTPCONNECTION* fresh = new HTTPCONNECTION(nullptr, control, "client", "0", "Local");
        fresh->prepare();
        std::swap(fresh, client);
        client->link = link;
        EXPECT_EQ(std::vector<std::string>{SENT}, Requests(c.pieces)) << c.what;
        client->link = nullptr;
        std::swap(fresh, client);
        fresh->freeobj();
    }
}

TEST_F(BrowserFixture, ARequestSplitAtEveryByteIsBuiltOnceAtTheEnd) {
    std::vector<std::string> bytes;
    for (char c : GET) bytes.push_back(std::string(1, c));
    EXPECT_EQ(std::vector<std::string>{SENT}, Requests(bytes));
}

TEST_F(BrowserFixture, OnlyTheFirstOfAPipelinedPairIsRead) {
    EXPECT_EQ(std::vector<std::string>{SENT}, Requests({GET + GET}));
    EXPECT_TRUE(Requests({GET}).empty()) << "the connection carries one request";
}

TEST_F(BrowserFixture, ABodyInTwoPiecesIsHandedOnOnce) {
    std::string body;
    std::vector<std::string> made =
        Requests({"POST http://origin/p HTTP/1.0\r\nContent-Length: 10\r\n\r\n0123", "456789"}, &body);
    ASSERT_EQ(1u, made.size());
    EXPECT_EQ(0u, made[0].find("POST /p HTTP/1.0\r\n"));
    EXPECT_EQ("0123456789", body);
}

TEST_F(BrowserFixture, UnbuildableRequestsAreAnsweredWith407AndClosed) {
    EXPECT_TRUE(Requests({"FOO / HTTP/1.0\r\n\r\n"}).empty());
    EXPECT_EQ("HTTP/1.0 407 Invalid Request", FirstAnswer());
    EXPECT_EQ(2, client->results.count) << "the page, then the close";
}

TEST_F(BrowserFixture, AZeroByteInTheHeaderBlockIsRefused) {
    EXPECT_TRUE(Requests({std::string("GET http://origin/a HTTP/1.0\r\nX: a\0b\r\n\r\n", 40)}).empty());
    EXPECT_EQ("HTTP/1.0 407 Invalid Request", FirstAnswer());
}

TEST_F(BrowserFixture, AnOverlongHeaderBlockIsRefused) {
    std::string head = "GET http://origin/a HTTP/1.0\r\nX-Long: " + std::string(20000, 'x') + "\r\n\r\n";
    std::vector<std::string> pieces;
    for (size_t at = 0; at < head.size(); at += 3000) pieces.push_back(head.substr(at, 3000));
    EXPECT_TRUE(Requests(pieces).empty());
    EXPECT_EQ("HTTP/1.0 407 Invalid Request", FirstAnswer());
}

// ---- the origin's side ----------------------------------------------------------

// What a status display was last told to show of its connection.
struct ShownCount : CONNECTIONSTATUS {
    HTTPCONNECTION* connection = nullptr;
    long shown = -1;
    void NotifyConnectLink() override {}
    void NotifyTerminateLink() override {}
    void NotifyRequest(DATAREQUEST*) override {}
    void NotifyByteCount() override { shown = connection->GetResultCount(); }
};

TEST_F(BrowserFixture, EveryPieceOfAnAnswerShowsInItsConnectionsCount) {
    // The link as origin side: the stream handler sees each buffer as it is filled, then the
    // monitor builds from it. A piece that fits one buffer must show without a next one.
    ShownCount status;
    status.connection = client;
    client->status = &status;
    std::vector<char> get(GET.begin(), GET.end());
    get.push_back(0);
    HTTPREQUEST* asked = AllocateHttpRequest(get.data(), FALSE, nullptr, 0);
    asked->msgCursor = nullptr;
    client->SetRequestInProgress(asked);
    asked->freeobj();
    const std::string pieces[] = {"HTTP/1.0 200 OK\r\nContent-Length: 30\r\n\r\n0123456789", "abcdefghij",
                                  "klmnopqrst"};
    long expected = 0;
    for (const std::string& p : pieces) {
        IOBUFFER* b = Piece(p);
        b->cursor.data += b->cursor.length;  // as filled by the link
        ASSERT_TRUE(HTTPREQMONITOR::MessageMonitor(link, b));
        b->cursor.data = b->area.data;
        if (DATARESULT* r = monitor->buildResult(b, client)) r->FreeResult(FALSE);
        expected += 10;
        EXPECT_EQ(expected, status.shown) << "after " << p;
    }
    client->status = nullptr;
}

// ---- the worker's refusals ------------------------------------------------------

struct WorkerFixture : BrowserFixture {
    HTTPDEFINITION* definition = nullptr;
    HTTPAPPINSTANCE* instance = nullptr;
    PROFILE profile;

    void SetUp() override {
        BrowserFixture::SetUp();
        ASSERT_TRUE(qvtest::PutFile("QUORHUB.INI", "[Local Files]\r\n*.htm=*.htm,text/html\r\n"));
        ASSERT_EQ(0, profile.ReadFile("QUORHUB.INI", TRUE));
        definition = new HTTPDEFINITION(nullptr, FALSE);  // no type: no cache is made
        definition->prepare();
        definition->type = _pHTTPAppType;
        definition->localSite = new HTTPLOCALSITE(QV_HTTP_PAGES, QV_HTTP_PAGES, &profile);
        instance = new HTTPAPPINSTANCE(definition);
        instance->prepare();
    }
    void TearDown() override {
        instance->freeobj();
        definition->type = nullptr;
        definition->freeobj();
        BrowserFixture::TearDown();
    }

    // The answer the worker gives a parsed request from the browser.
    std::string Decide(const std::string& text) {
        std::vector<char> copy(text.begin(), text.end());
        copy.push_back(0);
        HTTPREQUEST* r = AllocateHttpRequest(copy.data(), FALSE, nullptr, 0);
        r->msgCursor = nullptr;
        r->connection = client;
        APPREQUEST* app = new APPREQUEST(r, instance, client);
        app->prepare();
        EXPECT_EQ(0, instance->ProcessRequest(app));
        EXPECT_EQ(nullptr, client->AcquirePeer()) << "no server connection was made";
        return FirstAnswer();
    }
};

TEST_F(WorkerFixture, RefusedLoginsAreAnsweredWithoutGoingOut) {
    const struct {
        long loginState;
        const char* answer;
    } cases[] = {
        {LOGIN_NOT_READY, "HTTP/1.0 422 Gateway Not Ready"},
        {LOGIN_USER_LIMIT, "HTTP/1.0 410 Maximum user count exceeded."},
        {LOGIN_NOT_PERMITTED, "HTTP/1.0 409 User Not Authorized"},
        {LOGIN_NO_USER, "HTTP/1.0 409 User Not Authorized"},
    };
    for (const auto& c : cases) {
        client->loginState = c.loginState;
        EXPECT_EQ(c.answer, Decide("GET http://origin/a HTTP/1.0\r\n\r\n")) << c.loginState;
        while (DATARESULT* r = client->results.RemoveFirst()) {
            r->TakenFromQueue();
            r->DropQueueHold();
            r->FreeResult(FALSE);
        }
    }
}

TEST_F(WorkerFixture, AnExternalUserIsRefusedBeforeTheGatewaysOwnPages) {
    client->loginState = LOGIN_IN;
    client->dialUp = TRUE;
    EXPECT_EQ("HTTP/1.0 409 User Not Authorized", Decide("GET /nosuch.htm HTTP/1.0\r\n\r\n"));
}

TEST_F(WorkerFixture, StoredProxySettingsForgetTheProxiesAddresses) {
    std::strcpy(definition->httpProxyAddress, "10.0.0.1");
    std::strcpy(definition->sslProxyAddress, "10.0.0.2");
    APPPROXIES record;
    definition->UpdateAppProxies(&record, FALSE);
    definition->UpdateAppProxies(&record, TRUE);
    EXPECT_STREQ("", definition->httpProxyAddress);
    EXPECT_STREQ("", definition->sslProxyAddress);
}

// ---- dial on demand ---------------------------------------------------------------

// The line policy's view of the lines: line 1 is not there to dial, and every
// question asked of it is counted.
struct NoLineLayer : LINELAYER {
    int asked = 0;
    LINKINTERFACE* FindRelativeLine(int) override { ++asked; return nullptr; }
    BBOOL GetLineState(int, BBOOL) override { ++asked; return FALSE; }
    BBOOL SetLineState(int, BBOOL) override { ++asked; return FALSE; }
    void ShowBox(const char*, const char*) override {}
    void PlayLineSound(const char*, BBOOL) override {}
    void RefreshInterfaces() override {}
};

struct DialFixture : WorkerFixture {
    SVRSYSTEM* server = nullptr;
    NoLineLayer layer;
    TCPINTERFACE* line = nullptr;
    HTTPCFG saved;

    void SetUp() override {
        WorkerFixture::SetUp();
        ASSERT_NE(nullptr, definition->Settings());
        saved = *definition->Settings();
        server = new SVRSYSTEM(FALSE, FALSE);
        server->prepare();
        _pSvr = server;
        server->lines.UseLayer(&layer);
        server->lines.lineSetThreads = FALSE;
        server->lines.lineCount = 1;
        server->lines.connectUponRequest = TRUE;
        server->lines.started = TRUE;
        std::strcpy(server->lines.lines[0].phonebookEntry, "Office");
        // The gateway knows its interfaces, and the only one is a dial-up line that is down.
        instance->socketControl = new WINSOCKCONTROL;
        instance->socketControl->prepare();
        instance->socketControl->interfaceList = _pTCPIPInterfaces;
        line = new TCPINTERFACE("Office");
        line->prepare();
        line->dialUp = TRUE;
        line->connected = FALSE;
        _pTCPIPInterfaces->Add(*line);
        client->loginState = LOGIN_IN;
    }
    void TearDown() override {
        _pTCPIPInterfaces->Remove(*line);
        line->freeobj();
        *definition->Settings() = saved;
        server->lines.started = FALSE;
        server->lines.UseLayer(nullptr);
        _pSvr = nullptr;
        server->freeobj();
        WorkerFixture::TearDown();
    }

    void UpstreamProxy(BBOOL remote) {
        HTTPCFG* cfg = definition->Settings();
        cfg->proxies = TRUE;
        std::strcpy(cfg->proxyHTTPAddress, "127.0.0.3");
        cfg->proxyHTTPPort = 3128;
        cfg->proxyHTTPRemote = remote;
    }
};

TEST_F(DialFixture, ARefusedDialIsAnsweredNoConnection) {
    const struct {
        const char* what;
        bool proxy;
    } cases[] = {{"direct", false}, {"upstream proxy beyond the line", true}};
    for (const auto& c : cases) {
        if (c.proxy) UpstreamProxy(TRUE);
        layer.asked = 0;
        EXPECT_EQ("HTTP/1.0 420 No Connection", Decide("GET http://origin/a HTTP/1.0\r\n\r\n")) << c.what;
        EXPECT_NE(std::string::npos, FirstBody().find("No dial-up line could be brought up")) << c.what;
        EXPECT_GT(layer.asked, 0) << c.what << ": the line policy was asked to dial";
        EXPECT_EQ(0, server->lines.waiting.count) << c.what << ": nothing stays parked";
        while (DATARESULT* r = client->results.RemoveFirst()) {
            r->TakenFromQueue();
            r->DropQueueHold();
            r->FreeResult(FALSE);
        }
    }
}

TEST_F(DialFixture, AnUpstreamProxyOnTheLocalNetworkNeverDials) {
    UpstreamProxy(FALSE);
    std::vector<char> text;
    const std::string get = "GET http://origin/a HTTP/1.0\r\n\r\n";
    text.assign(get.begin(), get.end());
    text.push_back(0);
    HTTPREQUEST* r = AllocateHttpRequest(text.data(), FALSE, nullptr, 0);
    r->msgCursor = nullptr;
    r->connection = client;
    APPREQUEST* app = new APPREQUEST(r, instance, client);
    app->prepare();
    instance->ProcessRequest(app);
    EXPECT_EQ(0, layer.asked) << "the line policy was never asked";
    EXPECT_EQ(0, server->lines.waiting.count);
    EXPECT_NE("HTTP/1.0 420 No Connection", FirstAnswer());
}

}  // namespace
