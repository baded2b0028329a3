// The cache policy's decisions in process: site keys, answers made from a
// stored copy, and when a copy is revalidated (with a fixed clock).
#include <gtest/gtest.h>

#include <string>

#include "HttpCache.h"
#include "HttpCachePolicy.h"
#include "HttpCfg.h"
#include "HttpObject.h"
#include "HttpResponse.h"
#include "HttpService.h"
#include "HttpSite.h"
#include "HttpTestKit.h"
#include "LocalRequest.h"
#include "TimeStamp.h"

namespace {

const unsigned long kNow = 1900000000;
unsigned long FixedNow() { return kNow; }

struct Policy : ::testing::Test {
    HTTPCFG cfg;
    HTTPCACHE* cache = nullptr;
    HTTPOBJECT* copy = nullptr;

    void SetUp() override {
        TIMESTAMP::SetNowSource(&FixedNow);
        cfg.cache = TRUE;
        cfg.memoryCacheSize = 1 << 20;
        cache = new HTTPCACHE(cfg, nullptr, FALSE);
        HTTPSITE* s = cache->FindSite("webhost", TRUE, 0);
        copy = new (&s->objects) HTTPOBJECT(s, "/a.html", TRUE, TRUE, 0);
        copy->prepare();
        copy->SetBlockData("hello", 5);
        copy->AddHeader("Content-Type", "text/html");
        copy->statusCode = 200;
        copy->listedTime.seconds = 631152000;  // Mon, 01 Jan 1990 00:00:00 GMT
        copy->valid = copy->defined = 1;
        copy->confirmedSinceStart = 1;
        cache->memory->Accept(*copy, FALSE);
    }
    void TearDown() override {
        copy->freeobj();
        delete cache;
        TIMESTAMP::SetNowSource(nullptr);
    }
};

}  // namespace

TEST(CachePolicySites, KeysJoinCaseAndDefaultPorts) {
    const struct {
        const char* request;
        const char* key;
    } cases[] = {
        {" http://WebHost:80/x HTTP/1.0\r\n\r\n", "webhost"},
        {" http://webhost/x HTTP/1.0\r\n\r\n", "webhost"},
        {" http://webhost:8000/x HTTP/1.0\r\n\r\n", "webhost:8000"},
        {" /x HTTP/1.0\r\n\r\n", "quorvane"},
    };
    for (const auto& c : cases) {
        httptest::Req r(std::string("GET") + c.request);
        EXPECT_EQ(c.key, HTTPCACHEPOLICY::SiteKey(*r.r)) << c.request;
    }
}

TEST_F(Policy, RefreshAfterTimeRevalidatesAtTheFullHour) {
    cfg.cacheRefreshMethod = 2;
    cfg.cacheRefreshAfterTime = 60;
    HTTPCACHEPOLICY policy(*cache, cfg);
    const struct {
        unsigned long confirmedAgo;
        bool revalidated;
    } cases[] = {{59 * 60, false}, {60 * 60, true}};
    for (const auto& c : cases) {
        copy->userTime.seconds = kNow - c.confirmedAgo;
        httptest::Req r("GET http://webhost/a.html HTTP/1.0\r\n\r\n");
        HTTPRESPONSE* answer = policy.filterResponseGenerate(*r.r, *copy);
        ASSERT_NE(nullptr, answer);
        HTTPRESPONSE* sent = policy.checkNewerVersion(*r.r, answer, *copy);
        EXPECT_EQ(c.revalidated, sent == nullptr) << c.confirmedAgo;
        if (sent) {
            sent->FreeResult(FALSE);
            continue;
        }
        char ims[128] = "";
        EXPECT_TRUE(r.r->GetHeaderData(ims, sizeof ims, "If-Modified-Since"));
        EXPECT_STREQ("Mon, 01 Jan 1990 00:00:00 GMT; length=5", ims);
        ASSERT_NE(nullptr, r.r->pendingObject);
        EXPECT_TRUE(r.r->pendingObject->revalidationCopy);
    }
}

TEST_F(Policy, ABrowsersOwnConditionIsAnsweredWithoutTheBody) {
    HTTPCACHEPOLICY policy(*cache, cfg);
    const struct {
        const char* condition;
        const char* status;
    } cases[] = {
        {"Tue, 01 Jan 2030 00:00:00 GMT", "304"},
        {"Tue, 01 Jan 2030 00:00:00 GMT; length=5", "304"},
        {"Tue, 01 Jan 2030 00:00:00 GMT; length=6", "200"},
        {"Sun, 01 Jan 1989 00:00:00 GMT", "200"},
    };
    for (const auto& c : cases) {
        httptest::Req r(std::string("GET http://webhost/a.html HTTP/1.0\r\nIf-Modified-Since: ") + c.condition +
                        "\r\n\r\n");
        HTTPRESPONSE* answer = policy.filterResponseGenerate(*r.r, *copy);
        ASSERT_NE(nullptr, answer) << c.condition;
        EXPECT_STREQ(c.status, answer->status) << c.condition;
        if (!std::string("304").compare(c.status)) {
            EXPECT_NE(nullptr, answer->FindHeader("Date"));
        }
        answer->FreeResult(FALSE);
    }
}

TEST_F(Policy, PagesReachedFromTheGatewaysListsAreNotRevalidated) {
    cfg.cacheRefreshMethod = 0;  // every other request goes upstream to confirm
    HTTPCACHEPOLICY policy(*cache, cfg);
    const struct {
        const char* headers;
        bool revalidated;
    } cases[] = {
        {"", true},
        {"Referer: http://quorvane/Gateway-Administration?pswd=x&Gateway-Cache\r\n", false},
        {"Referer: http://Quorvane:8080/Gateway-User\r\n", false},
        {"Referer: http://quorvane/help.htm\r\n", true},
        {"Referer: http://webhost/Gateway-User\r\n", true},
        // The browser's own condition is passed on as asked.
        {"Referer: http://quorvane/Gateway-User\r\nIf-Modified-Since: Sun, 01 Jan 1989 00:00:00 GMT\r\n", true},
    };
    for (const auto& c : cases) {
        httptest::Req r(std::string("GET http://webhost/a.html HTTP/1.0\r\n") + c.headers + "\r\n");
        HTTPRESPONSE* answer = policy.filterResponseGenerate(*r.r, *copy);
        ASSERT_NE(nullptr, answer) << c.headers;
        HTTPRESPONSE* sent = policy.checkNewerVersion(*r.r, answer, *copy);
        EXPECT_EQ(c.revalidated, sent == nullptr) << c.headers;
        if (sent) sent->FreeResult(FALSE);
    }
}

namespace {
// A prefetch's run whose restarts are counted instead of queued.
struct LocalRun : LOCALAPPREQUEST {
    int restarts = 0;
    explicit LocalRun(DATAREQUEST* r) : LOCALAPPREQUEST(nullptr, r, nullptr) { prepare(); }
    BBOOL RestartProcess() override {
        ++restarts;
        return TRUE;
    }
};
}  // namespace

TEST_F(Policy, ALocalFetchTooBigToKeepIsGivenUpUnlessItGoesToAFile) {
    InstallHttpCachePolicy();
    HTTPCACHEPOLICY policy(*cache, cfg);
    const struct {
        bool toFile;
        long length;
        bool abandoned;
    } cases[] = {{false, 4 << 20, true}, {true, 4 << 20, false}, {false, 100, false}};
    for (const auto& c : cases) {
        httptest::Req r("GET http://webhost/big.zip HTTP/1.0\r\n\r\n");
        LocalRun* run = new LocalRun(r.r);
        run->outputMark = c.toFile;
        EXPECT_EQ(nullptr, policy.FilterRequest(*r.r));
        ASSERT_NE(nullptr, r.r->pendingObject);
        std::string head = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(c.length) + "\r\n\r\n";
        HTTPRESPONSE* response = new HTTPRESPONSE(r.r, &head[0], TRUE);
        response->prepare();
        ASSERT_TRUE(response->ParseCommand());
        EXPECT_EQ(response, policy.FilterResult(*response));
        EXPECT_EQ(c.abandoned, run->cancelled && run->failed) << c.length << " " << c.toFile;
        EXPECT_EQ(c.abandoned ? 1 : 0, run->restarts);
        EXPECT_EQ(c.length < 1000, r.r->pendingObject->valid != 0) << "kept only when it fits";
        response->FreeResult(FALSE);
        run->FreeAppRequest(FALSE);
    }
    // The requests went without their bodies: nothing of them stays findable.
    HTTPSITE* site = cache->FindSite("webhost", FALSE, 0);
    ASSERT_NE(nullptr, site);
    EXPECT_EQ(nullptr, site->objects.FindSingleObject("/big.zip", TRUE));
}

namespace {
DWORD WINAPI EndRequest(void* p) {
    static_cast<HTTPREQUEST*>(p)->FreeRequest(FALSE);
    return 0;
}
}  // namespace

TEST_F(Policy, ARequestGoneBeforeItsFetchEndedFreesItsWaitersWithoutTheSemaphore) {
    InstallHttpCachePolicy();
    HTTPCACHEPOLICY policy(*cache, cfg);
    std::string text = "GET http://webhost/new.html HTTP/1.0\r\n\r\n";
    HTTPREQUEST* fetching = NewHttpRequest(&text[0]);
    fetching->prepare();
    ASSERT_TRUE(fetching->ParseCommand());
    EXPECT_EQ(nullptr, policy.FilterRequest(*fetching));
    ASSERT_NE(nullptr, fetching->pendingObject);
    httptest::Req second("GET http://webhost/new.html HTTP/1.0\r\n\r\n");
    LocalRun* waiter = new LocalRun(second.r);
    EXPECT_EQ(nullptr, policy.FilterRequest(*second.r));
    ASSERT_TRUE(waiter->waitingForObject);
    {
        // A request's end may hold the object-cleanup lock, which holders of the
        // semaphore take in turn: it must not wait for the semaphore.
        MSEMHOLD hold(cache->Lock());
        HANDLE ending = CreateThread(nullptr, 0, EndRequest, fetching, 0, nullptr);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ending, 20000)) << "the request's end waited for the semaphore";
        CloseHandle(ending);
    }
    EXPECT_EQ(1, waiter->restarts);
    EXPECT_FALSE(waiter->waitingForObject);
    HTTPSITE* site = cache->FindSite("webhost", FALSE, 0);
    ASSERT_NE(nullptr, site);
    EXPECT_EQ(nullptr, site->objects.FindSingleObject("/new.html", TRUE));
    // Started over, it fetches the object itself.
    EXPECT_EQ(nullptr, policy.FilterRequest(*second.r));
    EXPECT_FALSE(waiter->waitingForObject);
    EXPECT_NE(nullptr, second.r->pendingObject);
    waiter->FreeAppRequest(FALSE);
}

TEST_F(Policy, ABodyThatOutgrowsTheCachesIsNotKeptAndALocalFetchOfItIsGivenUp) {
    InstallHttpCachePolicy();
    HTTPCACHEPOLICY policy(*cache, cfg);
    const std::string piece(64 * 1024, 'x');  // the memory level takes up to 1 MB: 16 pieces
    const struct {
        bool toFile;
        bool abandoned;
    } cases[] = {{false, true}, {true, false}};
    for (const auto& c : cases) {
        httptest::Req r("GET http://webhost/grows.bin HTTP/1.0\r\n\r\n");
        LocalRun* run = new LocalRun(r.r);
        run->outputMark = c.toFile;
        EXPECT_EQ(nullptr, policy.FilterRequest(*r.r));
        httptest::Req second("GET http://webhost/grows.bin HTTP/1.0\r\n\r\n");
        LocalRun* waiter = new LocalRun(second.r);
        EXPECT_EQ(nullptr, policy.FilterRequest(*second.r));
        ASSERT_TRUE(waiter->waitingForObject);
        // No length: only the body as it arrives tells its size.
        std::string head = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";
        HTTPRESPONSE* response = new HTTPRESPONSE(r.r, &head[0], TRUE);
        response->prepare();
        ASSERT_TRUE(response->ParseCommand());
        EXPECT_EQ(response, policy.FilterResult(*response));
        int pieces = 0, outgrown = 0;
        while (pieces < 40 && !outgrown) {
            HTTPCACHEPOLICY::ResponseBody(r.r, piece.data(), (long)piece.size(), HTTPBODY_MORE);
            ++pieces;
            outgrown += _HTTPCacheHooks.bodyOutgrown(nullptr, r.r);
        }
        EXPECT_EQ(17, pieces) << "given up with the first piece beyond what fits";
        EXPECT_FALSE(_HTTPCacheHooks.bodyOutgrown(nullptr, r.r)) << "only once";
        EXPECT_EQ(c.abandoned, run->cancelled && run->failed) << c.toFile;
        EXPECT_EQ(c.abandoned ? 1 : 0, run->restarts) << c.toFile;
        EXPECT_EQ(1, waiter->restarts) << "the waiter starts over at once";
        EXPECT_FALSE(waiter->waitingForObject);
        HTTPCACHEPOLICY::ResponseBody(r.r, piece.data(), (long)piece.size(), HTTPBODY_MORE);
        HTTPCACHEPOLICY::ResponseBody(r.r, nullptr, 0, HTTPBODY_WHOLE);
        HTTPSITE* site = cache->FindSite("webhost", FALSE, 0);
        ASSERT_NE(nullptr, site);
        EXPECT_EQ(nullptr, site->objects.FindSingleObject("/grows.bin", TRUE)) << "never kept";
        response->FreeResult(FALSE);
        run->FreeAppRequest(FALSE);
        waiter->FreeAppRequest(FALSE);
    }
}
