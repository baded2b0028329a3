#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "HttpTestKit.h"
#include "HttpObject.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "HttpSite.h"

namespace {

using httptest::Req;

struct Resp {
    std::string text;
    HTTPRESPONSE* r;
    bool ok;
    Resp(HTTPREQUEST* request, const std::string& t) : text(t) {
        r = new HTTPRESPONSE(request, &text[0], TRUE);
        r->prepare();
        ok = r->ParseCommand() != 0;
    }
    ~Resp() { r->FreeResult(FALSE); }
};

std::string Body(DATAOBJECT* o) {
    if (!o || !o->dataField) return "<none>";
    BUFFER b = o->dataField->DataView();
    return std::string(b.data ? b.data : "", b.data ? o->DataLength() : 0);
}

std::string Rebuilt(HTTPRESPONSE* r) {
    char out[1024];
    BUFFER b(out, sizeof out);
    return r->RebuildResponse(b);
}

}  // namespace

TEST(Responses, StatusLineAndSimpleResponses) {
    Req get("GET http://h/ HTTP/1.0\r\n\r\n");
    Resp full(get.r, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody");
    ASSERT_TRUE(full.ok);
    EXPECT_STREQ("HTTP/1.1", full.r->version);
    EXPECT_STREQ("200", full.r->GetStatus());
    EXPECT_STREQ("OK", full.r->reason);
    EXPECT_TRUE(full.r->bodyFollows);
    EXPECT_EQ(4, full.r->BodyLength());
    EXPECT_EQ("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n", Rebuilt(full.r));

    for (const char* text : {"<HTML>hello</HTML>", "HTTP/1.0 OK\r\n\r\n"}) {
        Resp simple(get.r, text);
        ASSERT_TRUE(simple.ok) << text;
        EXPECT_TRUE(simple.r->simpleMessage) << text;
        EXPECT_EQ(&simple.text[0], simple.r->msgCursor) << "the whole text is body";
    }
    Resp longStatus(get.r, "HTTP/1.0 2000 Fine\r\n\r\n");
    EXPECT_STREQ("200", longStatus.r->GetStatus());
    Resp bad(get.r, "HTTP/1.0 200 OK\r\n: x\r\n\r\n");
    EXPECT_FALSE(bad.ok);
}

TEST(Responses, WhichResponsesCarryABody) {
    Req get("GET http://h/ HTTP/1.0\r\n\r\n");
    Req head("HEAD http://h/ HTTP/1.0\r\n\r\n");
    Req connect("CONNECT h:443 HTTP/1.0\r\n\r\n");
    const struct {
        HTTPREQUEST* request;
        const char* line;
        bool body;
    } cases[] = {
        {get.r, "HTTP/1.0 200 OK", true},     {head.r, "HTTP/1.0 200 OK", false},
        {connect.r, "HTTP/1.0 200 OK", false}, {get.r, "HTTP/1.0 100 Continue", false},
        {get.r, "HTTP/1.0 204 None", false},  {get.r, "HTTP/1.0 304 Not Modified", false},
        {nullptr, "HTTP/1.0 200 OK", false},
    };
    for (const auto& c : cases) {
        Resp r(c.request, std::string(c.line) + "\r\n\r\n");
        EXPECT_EQ(c.body, r.r->bodyFollows != 0) << c.line;
    }
}

TEST(Responses, BodyLengthOnlyFromAClearContentLength) {
    Req get("GET http://h/ HTTP/1.0\r\n\r\n");
    const struct {
        const char* fields;
        long length;
    } cases[] = {
        {"Content-Length: 10\r\n", 10},
        {"Transfer-Encoding: chunked\r\nContent-Length: 10\r\n", 0},
        {"Transfer-Encoding: chunkedx\r\nContent-Length: 10\r\n", 10},
        {"Content-Length: -5\r\n", 0},
        {"Content-Length: ten\r\n", 0},
        {"Content-Length: 10\r\nContent-Length: 12\r\n", 0},
        {"Content-Length: 99999999999999999999\r\n", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        Resp r(get.r, std::string("HTTP/1.0 200 OK\r\n") + c.fields + "\r\n");
        EXPECT_EQ(c.length, r.r->BodyLength()) << c.fields;
    }
}

TEST(Responses, CacheabilityAndBodyKinds) {
    Req get("GET http://h/ HTTP/1.0\r\n\r\n");
    const struct {
        const char* text;
        bool cacheable;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\n", true},
        {"HTTP/1.0 204 No Content\r\n\r\n", false},
        {"HTTP/1.0 206 Partial\r\n\r\n", false},
        {"HTTP/1.0 200 OK\r\nPragma: No-Cache\r\n\r\n", false},
        {"HTTP/1.0 200 OK\r\nPragma: no-cache, private\r\n\r\n", true},
        {"HTTP/1.0 200 OK\r\nSet-Cookie: a=b\r\n\r\n", false},
        {"HTTP/1.0 302 Found\r\n\r\n", true},
        {"HTTP/1.0 404 Not Found\r\n\r\n", false},
    };
    for (const auto& c : cases) {
        Resp r(get.r, c.text);
        EXPECT_EQ(c.cacheable, r.r->IsCacheable() != 0) << c.text;
    }
    Req head("HEAD http://h/ HTTP/1.0\r\n\r\n");
    Resp noBody(head.r, "HTTP/1.0 302 Found\r\n\r\n");
    EXPECT_TRUE(noBody.r->IsCacheable()) << "a 302 without body";

    Resp html(get.r, "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=x\r\n\r\n");
    EXPECT_TRUE(html.r->HasTextBody());
    EXPECT_TRUE(html.r->HasHTMLBody());
    Resp upper(get.r, "HTTP/1.0 200 OK\r\nContent-Type: TEXT/HTML\r\n\r\n");
    EXPECT_FALSE(upper.r->HasTextBody()) << "the kind tests keep case";
}

TEST(Responses, TheBodyFillsTheRequestsPendingObject) {
    DATASTORE sites(TRUE, "HTTP Web Sites", nullptr, nullptr, nullptr, 0);
    HTTPSITE* site = new HTTPSITE(&sites, nullptr, "webhost", 0);
    site->prepare();
    for (bool cacheable : {true, false}) {
        Req get("GET http://webhost/ HTTP/1.0\r\n\r\n");
        get.r->SetSite(site);
        EXPECT_EQ(1, site->requestCount);
        HTTPOBJECT* pending = new (&site->objects) HTTPOBJECT(site, "http://webhost/", TRUE, FALSE, 0);
        pending->prepare();
        pending->valid = 1;
        get.r->pendingObject = pending;
        Resp r(get.r, cacheable ? "HTTP/1.0 200 OK\r\nServer: x\r\n\r\n" : "HTTP/1.0 200 OK\r\nSet-Cookie: a\r\n\r\n");
        ASSERT_TRUE(r.r->SetObjectData(nullptr, nullptr, 0));
        EXPECT_EQ(pending, r.r->object);
        EXPECT_EQ(nullptr, get.r->pendingObject);
        EXPECT_EQ(cacheable, pending->valid != 0);
        EXPECT_EQ(cacheable ? 200 : 0, pending->statusCode);
        EXPECT_EQ(cacheable ? 1 : 0, pending->headers.Count());
    }
    EXPECT_EQ(0, site->requestCount);
    site->freeobj();
}

TEST(Responses, CopiesForAnotherRequest) {
    Req get("GET http://h/ HTTP/1.0\r\n\r\n");
    Req other("GET http://h/ HTTP/1.0\r\n\r\n");
    Resp original(get.r, "HTTP/1.0 200 OK\r\nServer: x\r\n\r\n");
    original.r->SetSimpleEntityBody("block", 5);

    HTTPRESPONSE* copy = new HTTPRESPONSE(other.r, *original.r);
    copy->prepare();
    EXPECT_STREQ("200", copy->GetStatus());
    EXPECT_EQ("HTTP/1.0 200 OK\r\nServer: x\r\n\r\n", Rebuilt(copy));
    ASSERT_NE(nullptr, copy->object);
    EXPECT_NE(original.r->object, copy->object) << "a block is copied";
    EXPECT_EQ("block", Body(copy->object));
    EXPECT_TRUE(copy->object->defined);
    copy->FreeResult(FALSE);

    // A buffer chain is shared when cacheable, else the copy has no body.
    DATASTORE store(TRUE, "chains", nullptr, nullptr, nullptr, 0);
    for (bool cacheable : {true, false}) {
        HTTPOBJECT* chained = new (&store) HTTPOBJECT(nullptr, "c", TRUE, FALSE, 0);
        chained->prepare();
        chained->valid = cacheable;
        Resp source(get.r, "HTTP/1.0 200 OK\r\n\r\n");
        source.r->object = chained;
        ASSERT_NE(nullptr, chained->bufferChain) << "a full store's objects keep buffer chains";
        HTTPRESPONSE* c = new HTTPRESPONSE(other.r, *source.r);
        c->prepare();
        EXPECT_EQ(cacheable ? (DATAOBJECT*)chained : nullptr, c->object);
        c->FreeResult(FALSE);
    }
}

TEST(Responses, EveryGatewayStatusRebuildsWithCrLf) {
    int rows = 0;
    for (LOOKUPROW* row = _InternalHTTPRespCodes; row->valid; ++row, ++rows) {
        Req get("GET http://h/ HTTP/1.0\r\n\r\n");
        HTTPRESPONSE* r = HTTPRESPONSE::Generate(get.r, row->name, nullptr, FALSE);
        ASSERT_NE(nullptr, r) << row->name;
        std::string line = reinterpret_cast<const char*>(row->value);
        ASSERT_EQ("\n\n", line.substr(line.size() - 2)) << row->name;
        EXPECT_EQ(line.substr(0, line.size() - 2) + "\r\n\r\n", Rebuilt(r)) << row->name;
        EXPECT_TRUE(r->noBodyObject);
        EXPECT_TRUE(r->generatedLocally);
        r->FreeResult(FALSE);
    }
    EXPECT_EQ(23, rows);
    const struct {
        const char* key;
        const char* line;
    } some[] = {
        {"404", "HTTP/1.0 404 Not Found"},
        {"410", "HTTP/1.0 410 Maximum user count exceeded."},
        {"R200", "HTTP/1.0 423 Invalid Submitted Request"},
        {"l200", "HTTP/1.0 200 OK"},
    };
    for (const auto& s : some) {
        HTTPRESPONSE* r = HTTPRESPONSE::Generate(nullptr, s.key, nullptr, FALSE);
        ASSERT_NE(nullptr, r) << s.key;
        EXPECT_EQ(std::string(s.line) + "\r\n\r\n", Rebuilt(r)) << s.key;
        r->FreeResult(FALSE);
    }
    EXPECT_EQ(nullptr, HTTPRESPONSE::Generate(nullptr, "499", nullptr, FALSE));
    EXPECT_STREQ("locreqok.htm", reinterpret_cast<const char*>(_LookUp(_InternalHTTPRespCodes, "L200")->value2));
}

TEST(Responses, GeneratedErrorPages) {
    HTTPRESPONSE* tunnel = HTTPRESPONSE::GenerateError(nullptr, "200", nullptr);
    ASSERT_NE(nullptr, tunnel);
    EXPECT_EQ("HTTP/1.0 200 Connection established\r\n\r\n", Rebuilt(tunnel));
    EXPECT_EQ(nullptr, tunnel->object);
    tunnel->FreeResult(FALSE);

    Req get("GET http://h/ HTTP/1.0\r\n\r\n");
    HTTPRESPONSE* invalid = HTTPRESPONSE::GenerateError(get.r, "407", nullptr);
    ASSERT_NE(nullptr, invalid);
    EXPECT_EQ("HTTP/1.0 407 Invalid Request\r\nContent-Type: text/html\r\nExpires: Mon, 01 Jan 1990 00:00:00 GMT\r\n\r\n",
              Rebuilt(invalid));
    EXPECT_EQ(
        "<HTML><HEAD><TITLE>Invalid Request</TITLE></HEAD>\r\n<BODY><H1>Invalid Request</H1>The request received was "
        "invalid.</BODY></HTML> ",
        Body(invalid->object));
    EXPECT_TRUE(invalid->object->defined);
    invalid->FreeResult(FALSE);

    Req head("HEAD http://h/ HTTP/1.0\r\n\r\n");
    HTTPRESPONSE* headers = HTTPRESPONSE::GenerateError(head.r, "406", "more");
    ASSERT_NE(nullptr, headers);
    EXPECT_TRUE(headers->headersOnly);
    EXPECT_NE(std::string::npos, Body(headers->object).find("The response received was invalid.more</BODY>"));
    headers->FreeResult(FALSE);

    EXPECT_EQ(nullptr, HTTPRESPONSE::GenerateError(nullptr, "404", nullptr)) << "only the error table";
}

TEST(Responses, ProvisionalStatuses) {
    for (long s = 100; s < 600; ++s) {
        bool expected = s == 304 || s == 405 || (s >= 415 && s <= 421 && s != 418);
        EXPECT_EQ(expected, IsProvisionalResult(s) != 0) << s;
    }
}
