#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HtmlDoc.h"
#include "HttpTestKit.h"
#include "HttpResponse.h"
#include "LinkPrefetch.h"
#include "LocalRequest.h"

namespace {
struct Object {
    HTTPOBJECT* o;
    Object() : o(new HTTPOBJECT(nullptr, "page", TRUE, FALSE, 0)) { o->prepare(); }
    ~Object() { o->freeobj(); }
};

std::string Text(DATAVALUE& v) {
    char text[400] = "";
    v.GetData(BUFFER(text, sizeof text), TRUE);
    return text;
}

// What a page fetched from url yields: "TAG url" for the embedded list, then the link list.
std::string Links(const std::string& page, const std::string& url, BBOOL embeddedOnly = FALSE,
                  const std::string& headers = "") {
    httptest::Req req("GET " + url + " HTTP/1.0\r\n" + headers + "\r\n");
    Object obj;
    HTMLDOC* doc = HTMLDOC::Generate(*obj.o, nullptr, nullptr, nullptr, nullptr);
    std::string copy = page;
    long found = doc->parseLinks(BUFFER(&copy[0], (long)copy.size()), req.r, embeddedOnly);
    std::string out;
    long listed = 0;
    for (CHAIN<DATAVALUE>* list : {&doc->embedded, &doc->linksFound}) {
        CITERATOR<DATAVALUE> it;
        for (DATAVALUE* v = it.Begin(*list); v; v = it.Next(), ++listed)
            out += std::string(out.empty() ? "" : " | ") + v->valueName + " " + Text(*v);
        it.End();
    }
    EXPECT_EQ(found, listed) << page;
    return out;
}

const char kPage[] = "http://pages.site.test/dir/page.html";
const char kRoot[] = "http://pages.site.test/page.html";

struct Recorded {
    std::string text;
    long level;
    unsigned long root;
    long redirections;
};
std::vector<Recorded> recorded;
BBOOL Record(const char* text, long level, unsigned long root, long redirections) {
    recorded.push_back({text, level, root, redirections});
    return TRUE;
}
}  // namespace

TEST(LinkPrefetch, PageLinksBecomeUrls) {
    const struct {
        const char* what;
        const char* page;
        const char* url;
        BBOOL embeddedOnly;
        const char* links;
    } cases[] = {
        {"relative", "<IMG SRC='img/a.gif'>", kPage, FALSE, "IMG pages.site.test/dir/img/a.gif"},
        {"double quotes", "<IMG SRC=\"img/a.gif\" ALT=\"x\">", kPage, FALSE, "IMG pages.site.test/dir/img/a.gif"},
        {"root-relative", "<IMG SRC=/x.gif>", kPage, FALSE, "IMG pages.site.test/x.gif"},
        {"dot slash", "<IMG SRC=./b.gif>", kPage, FALSE, "IMG pages.site.test/dir/b.gif"},
        {"dot dot below the root stays", "<IMG SRC=../c.gif>", kPage, FALSE, "IMG pages.site.test/dir/../c.gif"},
        {"dot dot at the root goes", "<IMG SRC=../c.gif>", kRoot, FALSE, "IMG pages.site.test/c.gif"},
        {"same site after the first label", "<A HREF=\"http://other.site.test/p.html\">", kPage, FALSE,
         "A http://other.site.test/p.html"},
        {"another site is not followed", "<A HREF=\"http://elsewhere.test/\">x</A>", kPage, FALSE, ""},
        {"an image of another site is", "<IMG SRC=\"http://elsewhere.test/i.gif\">", kPage, FALSE,
         "IMG http://elsewhere.test/i.gif"},
        {"one-dot host compares whole", "<A HREF=\"http://pages.site.test/\">", "http://site.test/", FALSE, ""},
        {"mailto skipped", "<A HREF=\"mailto:someone\"><A HREF=MAILTO:x>", kPage, FALSE, ""},
        {"other schemes are relative", "<A HREF=\"news:comp.misc\">", kPage, FALSE,
         "A pages.site.test/dir/news:comp.misc"},
        {"fragment dropped", "<A HREF=\"page.html#part\">", kPage, FALSE, "A pages.site.test/dir/page.html"},
        {"embedded only", "<A HREF=a.html><AREA HREF=b.html><IMG SRC=i.gif><BODY BACKGROUND=bg.gif>"
                          "<FRAME SRC=f.html><INPUT SRC=in.gif>",
         kPage, TRUE,
         "IMG pages.site.test/dir/i.gif | BODY pages.site.test/dir/bg.gif | FRAME pages.site.test/dir/f.html | "
         "INPUT pages.site.test/dir/in.gif"},
        {"base", "<BASE HREF=\"http://files.site.test/lib/\"><IMG SRC=\"i.gif\">", kPage, FALSE,
         "IMG http://files.site.test/lib/i.gif"},
        {"base without path", "<BASE HREF=\"http://files.site.test\"><IMG SRC=\"/i.gif\">", kPage, FALSE,
         "IMG http://files.site.test/i.gif"},
        {"relative base ignored", "<BASE HREF=\"lib/\"><IMG SRC=\"i.gif\">", kPage, FALSE,
         "IMG pages.site.test/dir/i.gif"},
        {"duplicates twice", "<IMG SRC=a.gif><IMG SRC=a.gif>", kPage, FALSE,
         "IMG pages.site.test/dir/a.gif | IMG pages.site.test/dir/a.gif"},
        {"case of names", "<img src=a.gif><Img\nSrc = b.gif>", kPage, FALSE,
         "IMG pages.site.test/dir/a.gif | IMG pages.site.test/dir/b.gif"},
        {"other tags and attributes", "<P><IMG ALT=\"src=x\" WIDTH=3><TABLE BORDER=0><IMG SRC=''>", kPage, FALSE, ""},
        {"no closing bracket ends the scan", "<IMG SRC=a.gif><IMG SRC=b.gif", kPage, FALSE,
         "IMG pages.site.test/dir/a.gif"},
        {"another port keeps scheme and port", "<IMG SRC=i.gif><A HREF=p2.html><IMG SRC=/r.gif>",
         "http://127.0.0.2:8000/dir/page.html", FALSE,
         "IMG http://127.0.0.2:8000/dir/i.gif | IMG http://127.0.0.2:8000/r.gif | A http://127.0.0.2:8000/dir/p2.html"},
        {"an ftp page keeps its scheme", "<IMG SRC=i.gif>", "ftp://files.test/pub/index.html", FALSE,
         "IMG ftp://files.test/pub/i.gif"},
        {"port 80 is the plain form", "<IMG SRC=i.gif>", "http://pages.site.test:80/dir/x.html", FALSE,
         "IMG pages.site.test/dir/i.gif"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.links, Links(c.page, c.url, c.embeddedOnly)) << c.what;
}

TEST(LinkPrefetch, CredentialsGoOnlyToThePagesHostAndPort) {
    const std::string auth = "Authorization: Basic dXNlcjpwdw==\r\n";
    const std::string line = "\r\nAuthorization: Basic dXNlcjpwdw==\r\n";
    EXPECT_EQ("IMG pages.site.test/dir/a.gif" + line + " | IMG http://elsewhere.test/i.gif | A pages.site.test/x.html" +
                  line + " | A http://pages.site.test/p.html" + line + " | A http://other.site.test/q.html",
              Links("<IMG SRC=a.gif><IMG SRC=http://elsewhere.test/i.gif><A HREF=/x.html>"
                    "<A HREF=http://pages.site.test/p.html><A HREF=http://other.site.test/q.html>",
                    kPage, FALSE, auth));
    EXPECT_EQ("IMG http://files.site.test/lib/i.gif",
              Links("<BASE HREF=http://files.site.test/lib/><IMG SRC=i.gif>", kPage, FALSE, auth))
        << "a base on another host gets no credentials";
    EXPECT_EQ("A http://127.0.0.2:8000/b.html" + line,
              Links("<A HREF=http://127.0.0.2:8000/b.html><A HREF=http://127.0.0.2:9000/c.html>",
                    "http://127.0.0.2:8000/a.html", FALSE, auth))
        << "another port is another site";
}

TEST(LinkPrefetch, QueuedLevelsAndFrames) {
    recorded.clear();
    PREFETCHGENERATE saved = _pPrefetchGenerate;
    _pPrefetchGenerate = Record;
    {
        httptest::Req req(std::string("GET ") + kPage + " HTTP/1.0\r\n\r\n");
        Object obj;
        HTMLDOC* doc = HTMLDOC::Generate(*obj.o, nullptr, nullptr, nullptr, nullptr);
        std::string page = "<A HREF=a.html><FRAME SRC=f.html><IMG SRC=i.gif>";
        ASSERT_EQ(3, doc->parseLinks(BUFFER(&page[0], (long)page.size()), req.r, FALSE));
        EXPECT_EQ(3, doc->queueLinks(77, -1, TRUE));
    }
    _pPrefetchGenerate = saved;
    ASSERT_EQ(3u, recorded.size());
    EXPECT_EQ("pages.site.test/dir/i.gif", recorded[0].text) << "embedded objects first";
    EXPECT_EQ(-1, recorded[0].level);
    EXPECT_EQ("pages.site.test/dir/a.html", recorded[1].text);
    EXPECT_EQ(-1, recorded[1].level);
    EXPECT_EQ("pages.site.test/dir/f.html", recorded[2].text);
    EXPECT_EQ(0, recorded[2].level) << "a frame is fetched one level higher";
    EXPECT_EQ(77u, recorded[2].root);
}

TEST(LinkPrefetch, RedirectionsFollowedAtTheSameLevelUpToALimit) {
    PREFETCHGENERATE saved = _pPrefetchGenerate;
    _pPrefetchGenerate = Record;
    const struct {
        const char* what;
        const char* response;
        long redirectionsSoFar;
        long result;
        long recordedRedirections;  // -1: nothing queued
    } cases[] = {
        {"302 followed", "HTTP/1.0 302 Found\r\nLocation: http://a.test/next.html\r\n\r\n", 0, 1, 1},
        {"301 followed", "HTTP/1.0 301 Moved\r\nLocation: http://a.test/next.html\r\n\r\n", 4, 1, 5},
        {"the sixth in a row is not", "HTTP/1.0 302 Found\r\nLocation: http://a.test/next.html\r\n\r\n", 5, 0, -1},
        {"no Location", "HTTP/1.0 302 Found\r\n\r\n", 0, 0, -1},
    };
    for (const auto& c : cases) {
        recorded.clear();
        httptest::Req req("GET http://a.test/x.html HTTP/1.0\r\n\r\n");
        std::string text = c.response;
        HTTPRESPONSE* response = new HTTPRESPONSE(req.r, &text[0], TRUE);
        response->prepare();
        ASSERT_TRUE(response->ParseCommand()) << c.what;
        req.r->result = response;
        LOCALREQUEST* owner = new LOCALREQUEST();
        owner->prepare();
        owner->linkLevel = 2;
        owner->requestId = 9;  // the root number
        owner->redirections = c.redirectionsSoFar;
        LOCALAPPREQUEST* process = new LOCALAPPREQUEST(owner, req.r, nullptr);
        process->prepare();
        EXPECT_EQ(c.result, HTMLDOC::GenerateLinks(process)) << c.what;
        if (c.recordedRedirections < 0) {
            EXPECT_TRUE(recorded.empty()) << c.what;
        } else if (recorded.size() == 1) {
            EXPECT_EQ("http://a.test/next.html", recorded[0].text) << c.what;
            EXPECT_EQ(2, recorded[0].level) << c.what;
            EXPECT_EQ(9u, recorded[0].root) << c.what;
            EXPECT_EQ(c.recordedRedirections, recorded[0].redirections) << c.what;
        } else {
            ADD_FAILURE() << c.what << ": " << recorded.size() << " requests queued";
        }
        req.r->result = nullptr;
        req.r->process = nullptr;
        process->owner = nullptr;  // never run: nothing to report to its owner
        process->freeobj();
        owner->freeobj();
        response->FreeResult(FALSE);
    }
    _pPrefetchGenerate = saved;
}
