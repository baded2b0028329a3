#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GatewayCommands.h"
#include "GatewayPages.h"
#include "HttpResponse.h"
#include "HttpTestKit.h"
#include "Profile.h"
#include "ScratchDir.h"

namespace {
struct Answer {
    std::string head;
    std::string body;
};

Answer Of(HTTPRESPONSE* r) {
    if (!r) return {"<none>", "<none>"};
    char out[2048];
    BUFFER b(out, sizeof out);
    Answer a = {r->RebuildResponse(b), "<none>"};
    if (r->object && r->object->dataBlock && r->object->dataBlock->data && !r->noBodyObject)
        a.body = std::string(r->object->dataBlock->data, r->object->DataLength());
    r->FreeResult(FALSE);
    return a;
}

std::vector<SCHEDULEDROW> schedule;
void Schedule(std::vector<SCHEDULEDROW>& rows) { rows = schedule; }

class GatewayCommands : public qvtest::ScratchDirTest {
protected:
    GatewayCommands() : ScratchDirTest("http_gateway") {}
    void SetUp() override {
        ScratchDirTest::SetUp();
        CreateDirectoryA("conf", nullptr);
        ASSERT_TRUE(qvtest::PutFile("QUORHUB.INI", "[Local Files]\r\n*.htm=*.htm,text/html\r\n"));
        ASSERT_EQ(0, profile.ReadFile("QUORHUB.INI", TRUE));
        savedSchedule = _pScheduledRequests;
        _pScheduledRequests = Schedule;
    }
    void TearDown() override {
        _pScheduledRequests = savedSchedule;
        ScratchDirTest::TearDown();
    }

    // The answer to a request line (and body, for the form handler called directly).
    Answer Ask(const std::string& line, const char* form = nullptr) {
        HTTPLOCALSITE site(QV_HTTP_PAGES, "conf", &profile);
        site.adminPassword = "secret";
        httptest::Req q(line + "\r\n\r\n");
        GATEWAYNAMES names = {};
        std::strcpy(names.linkAddress, "127.0.0.1");
        names.linkPort = 8080;
        LOCALCALL call = {&site, q.r, nullptr, &names};
        return Of(form ? localSubmitRequest(call, "Gateway-User-Request", form) : site.ProcessLocalRequest(call));
    }

    PROFILE profile;
    SCHEDULEDSOURCE savedSchedule = nullptr;
};

std::string PageFile(const char* name) { return qvtest::FileText(std::string(QV_HTTP_PAGES) + "/" + name); }
}  // namespace

TEST_F(GatewayCommands, StatusPageThroughBothTables) {
    for (const char* line : {"GET /Gateway-User?Conn-Status HTTP/1.0",
                             "GET /Gateway-Administration?pswd=secret&Gateway-Status HTTP/1.0"}) {
        Answer a = Ask(line);
        EXPECT_EQ(0u, a.head.find("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n"
                                  "Expires: Mon, 01 Jan 1990 00:00:00 GMT\r\n"))
            << line << "\n" << a.head;
        EXPECT_EQ(0u, a.body.find("<HTML><HEAD><TITLE>Quorvane Steadfell Status</TITLE></HEAD>\r\n<BODY>"
                                  "<META HTTP-EQUIV=\"refresh\" content=\"60;URL=http://127.0.0.1/Gateway-User?"
                                  "Conn-Status=\">\r\n<H2>Client Connections</H2>"))
            << a.body;
    }
}

TEST_F(GatewayCommands, FormPagesAndFormProblems) {
    EXPECT_EQ(PageFile("schedule.htm"), Ask("GET /Gateway-User-Request HTTP/1.0").body);
    EXPECT_EQ(PageFile("qvrsched.htm"), Ask("GET /Gateway-Admin-Request HTTP/1.0").body);
    const struct {
        const char* form;
        const char* message;
    } cases[] = {
        {"", "Missing Request Parameters"},
        {"start=now&web_url=+", "Invalid URL Requested "},
        {"start=now&web_url=x.test/&link_level=abc", "Invalid Link Level "},
    };
    for (const auto& c : cases) {
        Answer a = Ask("POST /Gateway-User-Request HTTP/1.0\r\nContent-Length: 1", c.form);
        EXPECT_EQ(0u, a.head.find("HTTP/1.0 423 Invalid Submitted Request\r\n")) << c.form << "\n" << a.head;
        EXPECT_NE(std::string::npos, a.body.find(std::string("<B>") + c.message + "</B>")) << c.form << a.body;
    }
    EXPECT_EQ("<none>", Ask("HEAD /Gateway-User-Request HTTP/1.0", "start=now").head) << "only GET and POST";
}

TEST_F(GatewayCommands, RequestListsAndRemoval) {
    SCHEDULEDROW row;
    row.origin = "127.0.0.1";
    row.requestId = 0x2f;
    row.host = "127.0.0.2";
    row.path = "/b.html";
    schedule = {row};
    Answer list = Ask("GET /Gateway-Administration?pswd=secret&Request-Remove-List=* HTTP/1.0");
    EXPECT_EQ(0u, list.head.find("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n"
                                 "Expires: Mon, 01 Jan 1990 00:00:00 GMT\r\n"))
        << list.head;
    EXPECT_NE(std::string::npos, list.body.find("<A HREF=\"http://Quorvane/Gateway-Administration?pswd=secret&"
                                                "Request-Remove-Item=2f\">http://127.0.0.2/b.html</A>"))
        << list.body;
    EXPECT_NE(std::string::npos, Ask("GET /Gateway-Administration?pswd=secret&Gateway-Request-List HTTP/1.0")
                                     .body.find("<TITLE>Scheduled HTTP requests ...</TITLE>"));

    // An unknown number changes nothing and still leads back to the list.
    Answer removed = Ask("GET /Gateway-Administration?pswd=secret&Request-Remove-Item=2e HTTP/1.0");
    EXPECT_EQ(0u, removed.head.find("HTTP/1.0 302 FOUND\r\n")) << removed.head;
    EXPECT_NE(std::string::npos,
              removed.head.find("\r\nLocation: http://127.0.0.1/Gateway-Administration?pswd=secret&"
                                "Request-Remove-List=*\r\n"))
        << removed.head;
    EXPECT_EQ("<missing>", qvtest::FileText("QUORVANE.REQ")) << "nothing cancelled, nothing saved";
}

TEST_F(GatewayCommands, TraceFileIsWrittenWhereItIsServed) {
    Answer a = Ask("GET /Gateway-Administration?pswd=secret&Gateway-Trace HTTP/1.0");
    EXPECT_EQ(0u, a.head.find("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n"
                              "Expires: Mon, 01 Jan 1990 00:00:00 GMT\r\n"))
        << a.head;
    EXPECT_NE(std::string::npos, a.head.find("Content-Location: http://Quorvane/Gateway-Administration?pswd=secret&"
                                             "Gateway-Trace\r\n"))
        << a.head;
    EXPECT_NE("<missing>", qvtest::FileText("conf\\TRACE.DAT"));
    EXPECT_EQ("<missing>", qvtest::FileText("TRACE.DAT")) << "not in the current directory";
}

TEST(GatewayIcons, SixteenBySixteenGifs) {
    for (const char* name : {"arrow.gif", "folder.gif", "text.gif", "binary.gif"}) {
        std::string bytes = PageFile(name);
        ASSERT_GT(bytes.size(), 13u) << name;
        EXPECT_EQ("GIF89a", bytes.substr(0, 6)) << name;
        EXPECT_EQ(std::string("\x10\0\x10\0", 4), bytes.substr(6, 4)) << name;
        EXPECT_EQ(';', bytes.back()) << name;
    }
}
