#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "HttpTestKit.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "LocalSite.h"
#include "Profile.h"
#include "ScratchDir.h"

namespace {

GATEWAYNAMES Names(const char* address = "192.168.1.1", long port = 8080) {
    GATEWAYNAMES n = {};
    n.localUserName = "office-pc";
    std::strcpy(n.linkAddress, address);
    std::strcpy(n.linkName, "gw.lan");
    n.linkPort = port;
    return n;
}

using httptest::Req;

std::string Data(HTTPOBJECT* o) {
    if (!o || !o->dataBlock || !o->dataBlock->data) return "<none>";
    return std::string(o->dataBlock->data, o->DataLength());
}

std::string Header(HTTPOBJECT* o, const char* name) {
    CITERATOR<DATAVALUE> it;
    std::string value = "<none>";
    for (DATAVALUE* v = it.Begin(o->headers); v; v = it.Next())
        if (!std::strcmp(v->valueName, name)) {
            char text[256];
            HeaderValue(*v, text, sizeof text);
            value = text;
        }
    it.End();
    return value;
}

}  // namespace

TEST(LocalSite, RequestsAddressedToTheGateway) {
    const struct {
        const char* line;
        bool local;
    } cases[] = {
        {"GET /anything.htm HTTP/1.0", true},
        {"POST /Gateway-User-Request HTTP/1.0", true},
        {"HEAD /anything.htm HTTP/1.0", false},
        {"GET http://QUORVANE/x HTTP/1.0", true},
        {"GET http://Office-PC/x HTTP/1.0", true},
        {"GET http://192.168.1.1/x HTTP/1.0", true},
        {"GET http://192.168.1.1:8080/x HTTP/1.0", true},
        {"GET http://192.168.1.1:8000/x HTTP/1.0", false},
        {"GET http://quorvane:81/x HTTP/1.0", false},
        {"GET http://GW.LAN/ HTTP/1.0", true},
        {"GET http://192.168.2.1/x HTTP/1.0", false},
        {"GET http://webhost/x HTTP/1.0", false},
        {"CONNECT quorvane:443 HTTP/1.0", false},
    };
    for (const auto& c : cases) {
        Req q(std::string(c.line) + "\r\n\r\n");
        EXPECT_EQ(c.local, q.r->NeedsLocalResult(Names()) != 0) << c.line;
    }
    // Another address of the same machine counts only when the client used it.
    Req other("GET http://192.168.2.1/x HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(other.r->NeedsLocalResult(Names("192.168.2.1")));
}

TEST(LocalSite, ReferredFromTheGatewaysPages) {
    const struct {
        const char* referer;
        bool anyPage;
        bool sitePages;
    } cases[] = {
        {"http://Quorvane/Gateway-User?Conn-Status", true, true},
        {"http://quorvane/gateway-user", true, false},
        {"http://office-pc/Gateway-Administration?pswd=x", true, true},
        {"http://192.168.1.1/help.htm", true, false},
        {"http://webhost/Gateway-User", false, false},
        {"http:///Gateway-User", false, false},
        // The host ends at its port.
        {"http://quorvane:8080/Gateway-Administration?pswd=x", true, true},
        {"http://webhost:8080/Gateway-User", false, false},
    };
    for (const auto& c : cases) {
        Req q(std::string("GET http://webhost/ HTTP/1.0\r\nReferer: ") + c.referer + "\r\n\r\n");
        EXPECT_EQ(c.anyPage, q.r->WasReferredLocally(Names(), FALSE) != 0) << c.referer;
        EXPECT_EQ(c.sitePages, q.r->WasReferredLocally(Names(), TRUE) != 0) << c.referer;
    }
    Req none("GET http://webhost/ HTTP/1.0\r\n\r\n");
    EXPECT_FALSE(none.r->WasReferredLocally(Names(), FALSE));
}

namespace {

class SiteFiles : public qvtest::ScratchDirTest {
protected:
    SiteFiles() : ScratchDirTest("http_site") {}
    void SetUp() override {
        ScratchDirTest::SetUp();
        CreateDirectoryA("docs", nullptr);
        CreateDirectoryA("conf", nullptr);
        ASSERT_TRUE(qvtest::PutFile("QUORHUB.INI",
                                    "[Local Files]\r\n*.htm=*.htm,text/html\r\n*.gif=*.gif,image/gif\r\n"
                                    "proxy.pac=proxy.pac,application/x-ns-proxy-autoconfig\r\n"
                                    "/=index.htm, text/html\r\n"));
        ASSERT_EQ(0, profile.ReadFile("QUORHUB.INI", TRUE));
    }
    PROFILE profile;
};

}  // namespace

TEST_F(SiteFiles, PageNamesMapThroughLocalFiles) {
    HTTPLOCALSITE site("docs", "conf", &profile);
    const struct {
        const char* name;
        BBOOL map;
        BBOOL config;
        const char* path;  // null: no page
        const char* type;
    } cases[] = {
        {"help.htm", TRUE, FALSE, "docs\\help.htm", "text/html"},
        {"arrow.gif", TRUE, FALSE, "docs\\arrow.gif", "image/gif"},
        {"/", TRUE, FALSE, "docs\\index.htm", "text/html"},
        {"proxy.pac", TRUE, FALSE, "docs\\proxy.pac", "application/x-ns-proxy-autoconfig"},
        {"INSTALL.LOG", FALSE, TRUE, "conf\\INSTALL.LOG", "application/octet-stream"},
        {"notes.txt", TRUE, FALSE, nullptr, ""},
        {"README", TRUE, FALSE, nullptr, ""},
        {"..\\QUORHUB.INI", FALSE, FALSE, nullptr, ""},
        {"../x.htm", TRUE, FALSE, nullptr, ""},
        {"C:x.htm", TRUE, FALSE, nullptr, ""},
        {"sub\\x.htm", TRUE, FALSE, nullptr, ""},
    };
    for (const auto& c : cases) {
        char path[256] = "junk", type[128] = "";
        BUFFER p(path, sizeof path), t(type, sizeof type);
        char* got = site.getAbsFileName(c.name, c.map, c.config, p, t);
        if (!c.path) {
            EXPECT_EQ(nullptr, got) << c.name;
            EXPECT_STREQ("", path) << c.name;
            continue;
        }
        EXPECT_STREQ(c.path, got ? got : "<none>") << c.name;
        EXPECT_STREQ(c.type, type) << c.name;
    }
    HTTPLOCALSITE noDocs("", "conf", &profile);
    char path[256], type[128] = "";
    BUFFER p(path, sizeof path), t(type, sizeof type);
    EXPECT_STREQ("conf\\help.htm", noDocs.getAbsFileName("help.htm", TRUE, FALSE, p, t));
}

TEST_F(SiteFiles, PageFilesAreTextWithOneArgument) {
    ASSERT_TRUE(qvtest::PutFile("docs\\notfound.htm", "<P>%s was not found (100%d).</P>"));
    ASSERT_TRUE(qvtest::PutFile("docs\\empty.htm", ""));
    HTTPOBJECT* plain = HTTPLOCALSITE::bodyFromFile("docs\\notfound.htm", nullptr, nullptr);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ("<P>%s was not found (100%d).</P>", Data(plain));
    EXPECT_TRUE(plain->defined);
    EXPECT_FALSE(plain->valid);
    plain->freeobj();

    HTTPOBJECT* page = HTTPLOCALSITE::bodyFromFile("docs\\notfound.htm", nullptr, "<b>\"x\"&%s%n");
    ASSERT_NE(nullptr, page);
    EXPECT_EQ("<P>&lt;b&gt;&quot;x&quot;&amp;%s%n was not found (100%d).</P>", Data(page));
    EXPECT_EQ((long)Data(page).size(), page->DataLength()) << "no terminator in the body";
    page->freeobj();

    EXPECT_EQ(nullptr, HTTPLOCALSITE::bodyFromFile("docs\\empty.htm", nullptr, nullptr));
    EXPECT_EQ(nullptr, HTTPLOCALSITE::bodyFromFile("docs\\missing.htm", nullptr, "x"));
}

TEST_F(SiteFiles, ProxyScriptNamesTheAddressTheClientUsed) {
    HTTPLOCALSITE site("docs", "conf", &profile);
    EXPECT_EQ(nullptr, site.BuildGatewayProxyScript("127.0.0.1", 8080)) << "no template";
    ASSERT_TRUE(qvtest::PutFile("docs\\proxy.pas", "function FindProxyForURL(u,h){return \"PROXY %s\";}"));
    for (const char* address : {"127.0.0.1", "192.168.1.1"}) {
        HTTPOBJECT* script = site.BuildGatewayProxyScript(address, 8080);
        ASSERT_NE(nullptr, script) << address;
        EXPECT_EQ("function FindProxyForURL(u,h){return \"PROXY " + std::string(address) + ":8080\";} ", Data(script));
        EXPECT_EQ("application/x-ns-proxy-autoconfig", Header(script, "Content-Type"));
        EXPECT_EQ("Mon, 01 Jan 1990 00:00:00 GMT", Header(script, "Expires"));
        EXPECT_FALSE(script->valid);
        script->freeobj();
    }
    ASSERT_TRUE(qvtest::PutFile("docs\\proxy.pas", "%s %s 100% sure"));
    HTTPOBJECT* odd = site.BuildGatewayProxyScript("10.0.0.1", 80);
    ASSERT_NE(nullptr, odd);
    std::string text = Data(odd);
    EXPECT_EQ(0u, text.find("10.0.0.1:80 10.0.0.1:80 100% sure")) << text;
    EXPECT_EQ((3 * (std::string("10.0.0.1:80").size() - 2)) + 15 + 1, text.size()) << "padded to its computed size";
    odd->freeobj();

    ASSERT_TRUE(qvtest::PutFile("docs\\proxy.pas", "%%%%%%% %s"));
    EXPECT_EQ(nullptr, site.BuildGatewayProxyScript("127.0.0.1", 8080)) << "seven '%'";
    EXPECT_EQ(nullptr, site.BuildGatewayProxyScript("", 8080)) << "no address";
}

TEST(LocalSite, TheGatewaysPageFilesAreThere) {
    const std::string dir = QV_HTTP_PAGES;
    std::vector<std::string> names = {"qvrdocs.htm", "qvradmin.htm", "help.htm", "info.htm", "didyou.htm", "howdoi.htm"};
    for (LOOKUPROW* row = _InternalHTTPRespCodes; row->valid; ++row)
        if (const char* page = reinterpret_cast<const char*>(row->value2)) names.push_back(page);
    const std::string later[] = {"schedule.htm", "qvrsched.htm", "locreqok.htm"};  // the request form's pages
    const std::string withArgument[] = {"notfound.htm", "inv_ftp.htm", "inv_loc.htm"};
    for (const std::string& name : names) {
        if (std::find(std::begin(later), std::end(later), name) != std::end(later)) continue;
        std::string text = qvtest::FileText(dir + "/" + name);
        ASSERT_NE("<missing>", text) << name;
        bool argument = std::find(std::begin(withArgument), std::end(withArgument), name) != std::end(withArgument);
        EXPECT_EQ(argument ? 1 : 0, std::count(text.begin(), text.end(), '%')) << name;
        if (argument) {
            EXPECT_NE(std::string::npos, text.find("%s")) << name;
        }
        EXPECT_EQ(0u, text.find("<HTML>")) << name;
    }
    HTTPLOCALSITE site(dir.c_str(), dir.c_str(), nullptr);
    HTTPOBJECT* script = site.BuildGatewayProxyScript("127.0.0.1", 8080);
    ASSERT_NE(nullptr, script);
    EXPECT_EQ("function FindProxyForURL(u,h){return \"PROXY 127.0.0.1:8080\";} ", Data(script));
    script->freeobj();
}

namespace {

struct Answer {
    std::string head;  // status line and header block
    std::string body;  // "<none>" without a body object
};

class SiteCommands : public SiteFiles {
protected:
    void SetUp() override {
        SiteFiles::SetUp();
        const char* pages[][2] = {
            {"qvradmin.htm", "admin menu"}, {"qvrdocs.htm", "help menu"}, {"help.htm", "help"},
            {"notfound.htm", "<P>%s is missing</P>"}, {"inv_pswd.htm", "bad password"},
            {"proxy.pas", "PROXY %s"},
        };
        for (auto& p : pages) ASSERT_TRUE(qvtest::PutFile(std::string("docs\\") + p[0], p[1]));
    }

    Answer Ask(const std::string& line, const char* password = "secret") {
        HTTPLOCALSITE site("docs", "conf", &profile);
        site.adminPassword = password;
        Req q(line + "\r\n\r\n");
        GATEWAYNAMES names = Names("127.0.0.1", 8080);
        LOCALCALL call = {&site, q.r, nullptr, &names};
        HTTPRESPONSE* r = site.ProcessLocalRequest(call);
        if (!r) return {"<not local>", "<none>"};
        char out[2048];
        BUFFER b(out, sizeof out);
        Answer a = {r->RebuildResponse(b), r->object ? Data(dynamic_cast<HTTPOBJECT*>(r->object)) : "<none>"};
        if (r->noBodyObject) a.body = "<none>";
        r->FreeResult(FALSE);
        return a;
    }
};

}  // namespace

TEST_F(SiteCommands, CommandsStatusPagesAndPageFiles) {
    const struct {
        const char* line;
        const char* head;
        const char* body;
    } cases[] = {
        {"GET /Gateway-Administration?pswd=secret HTTP/1.0",
         "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 10\r\n"
         "Content-Location: http://Quorvane/Gateway-Administration?pswd=secret\r\n\r\n",
         "admin menu"},
        {"GET http://quorvane/gateway-administration?pswd=secret&gateway-help-menu=x HTTP/1.0",
         "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 9\r\n"
         "Content-Location: http://Quorvane/Gateway-Administration?pswd=secret&gateway-help-menu=x\r\n\r\n",
         "help menu"},
        {"GET /Gateway-Administration?pswd=Secret HTTP/1.0",
         "HTTP/1.0 418 Invalid Password\r\nContent-Type: text/html\r\nExpires: Mon, 01 Jan 1990 00:00:00 GMT\r\n"
         "Content-Length: 12\r\n\r\n",
         "bad password"},
        {"GET /Gateway-Administration HTTP/1.0", "HTTP/1.0 418 Invalid Password", "bad password"},
        {"GET /418 HTTP/1.0", "HTTP/1.0 418 Invalid Password", "bad password"},
        {"GET /Gateway-User?Help-Menu HTTP/1.0", "HTTP/1.0 200 OK", "help menu"},
        {"GET /gateway-user?help-menu HTTP/1.0", "HTTP/1.0 200 OK", "help menu"},
        {"GET /help.htm HTTP/1.0", "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 4\r\n\r\n", "help"},
        {"GET /nosuch.htm HTTP/1.0",
         "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nExpires: Mon, 01 Jan 1990 00:00:00 GMT\r\n"
         "Content-Length: 28\r\n\r\n",
         "<P>nosuch.htm is missing</P>"},
        {"GET /Gateway-User?Cache-Remove-Item=x HTTP/1.0", "HTTP/1.0 404 Not Found", "<P>Gateway-User is missing</P>"},
        {"GET /Gateway-User?No-Such-Command HTTP/1.0", "HTTP/1.0 404 Not Found", "<P>Gateway-User is missing</P>"},
        {"GET /..\\QUORHUB.INI HTTP/1.0", "HTTP/1.0 404 Not Found", "<P>..\\QUORHUB.INI is missing</P>"},
        {"GET /<b>.htm HTTP/1.0", "HTTP/1.0 404 Not Found", "<P>&lt;b&gt;.htm is missing</P>"},
        {"GET /proxy HTTP/1.0",
         "HTTP/1.0 200 OK\r\nContent-Type: application/x-ns-proxy-autoconfig\r\n"
         "Expires: Mon, 01 Jan 1990 00:00:00 GMT\r\nContent-Length: 21\r\n"
         "Content-Location: http://Quorvane/Gateway-User\r\n\r\n",
         "PROXY 127.0.0.1:8080 "},
        {"HEAD /help.htm HTTP/1.0", "<not local>", "<none>"},
        {"GET http://webhost/help.htm HTTP/1.0", "<not local>", "<none>"},
    };
    for (const auto& c : cases) {
        Answer a = Ask(c.line);
        EXPECT_EQ(0u, a.head.find(c.head)) << c.line << "\n" << a.head;
        EXPECT_EQ(c.body, a.body) << c.line;
    }
    // Without a password set, administration is closed to every password.
    EXPECT_EQ(0u, Ask("GET /Gateway-Administration?pswd= HTTP/1.0", "").head.find("HTTP/1.0 418 "));
    EXPECT_EQ(0u, Ask("GET /Gateway-Administration?pswd= HTTP/1.0", nullptr).head.find("HTTP/1.0 418 "));
}

TEST_F(SiteCommands, UnchangedPagesAnswerNotModified) {
    Answer later = Ask("GET /help.htm HTTP/1.0\r\nIf-Modified-Since: Fri, 01 Jan 2100 00:00:00 GMT");
    EXPECT_EQ("HTTP/1.0 304 NOT MODIFIED\r\n\r\n", later.head);
    EXPECT_EQ("<none>", later.body);
    Answer sized = Ask("GET /help.htm HTTP/1.0\r\nIf-Modified-Since: Fri, 01 Jan 2100 00:00:00 GMT; length=99");
    EXPECT_EQ(0u, sized.head.find("HTTP/1.0 200 OK")) << "another length";
    Answer earlier = Ask("GET /help.htm HTTP/1.0\r\nIf-Modified-Since: Sat, 29 Oct 1994 19:43:31 GMT");
    EXPECT_EQ(0u, earlier.head.find("HTTP/1.0 200 OK"));
    // Status pages are never "not modified".
    Answer status = Ask("GET /nosuch.htm HTTP/1.0\r\nIf-Modified-Since: Fri, 01 Jan 2100 00:00:00 GMT");
    EXPECT_EQ(0u, status.head.find("HTTP/1.0 404 Not Found"));
}
