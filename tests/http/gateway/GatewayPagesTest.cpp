#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GatewayPages.h"
#include "HtmlDoc.h"
#include "SpControl.h"
#include "TimeStamp.h"

namespace {
struct Object {
    HTTPOBJECT* o;
    Object() : o(new HTTPOBJECT(nullptr, "page", TRUE, FALSE, 0)) { o->prepare(); }
    ~Object() { o->freeobj(); }
};

std::string Page(HTTPOBJECT& o) {
    BUFFER b = o.dataField ? o.dataField->DataView() : BUFFER();
    std::string d = b.data ? std::string(b.data, b.length) : std::string();
    EXPECT_FALSE(d.empty());
    if (d.empty()) return d;
    EXPECT_EQ('\0', d.back()) << "the terminator ends the area";
    d.pop_back();
    EXPECT_EQ(d.size(), std::strlen(d.c_str())) << "counted as written";
    return d;
}

GWSFIGURES figures;
std::vector<GWSLINE> lines;  // index n-1; an empty status means no such line
int figureCalls = 0;

void Figures(GWSFIGURES& f) {
    f = figures;
    if (++figureCalls > 1) f.activeUsers = f.peakUsers = 99;  // a login between the passes
}
BBOOL Line(int n, GWSLINE& l) {
    if (n > (int)lines.size() || lines[n - 1].status.empty()) return FALSE;
    l = lines[n - 1];
    return TRUE;
}
unsigned long FixedNow() { return 100000; }

std::vector<SCHEDULEDROW> schedule;
void Schedule(std::vector<SCHEDULEDROW>& rows) { rows = schedule; }

struct Sources {
    GWSFIGURESOURCE f = _pGatewayFigures;
    GWSLINESOURCE l = _pGatewayLine;
    SCHEDULEDSOURCE s = _pScheduledRequests;
    long nt = _SystemIsWindowsNT;
    Sources() {
        _pGatewayFigures = Figures;
        _pGatewayLine = Line;
        _pScheduledRequests = Schedule;
        TIMESTAMP::SetNowSource(FixedNow);
        figureCalls = 0;
    }
    ~Sources() {
        _pGatewayFigures = f;
        _pGatewayLine = l;
        _pScheduledRequests = s;
        _SystemIsWindowsNT = nt;
        TIMESTAMP::SetNowSource(nullptr);
    }
};

std::string Status(const char* head = nullptr) {
    Object obj;
    HTMLDOC* doc = HTMLDOC::GenerateGatewayStatus(*obj.o, head);
    return doc ? Page(*obj.o) : "<no page>";
}

const char kRefresh[] = "<META HTTP-EQUIV=\"refresh\" content=\"60;URL=http://127.0.0.1/Gateway-User?Conn-Status=\">";
}  // namespace

TEST(StatusPage, UsersAndAnUndefinedLine) {
    Sources s;
    figures = GWSFIGURES();
    figures.activeUsers = 1;
    figures.peakUsers = 1;
    figures.maximumUsers = 100;
    lines.clear();
    figures.lineOn[0] = TRUE;  // switched on but not there: no statistics
    EXPECT_EQ(std::string("<HTML><HEAD><TITLE>Quorvane Steadfell Status</TITLE></HEAD>\r\n<BODY>") + kRefresh +
                  "\r\n<H2>Client Connections</H2><P>Current Active Users : 1<BR>\r\n"
                  "Maximum Active Users : 1 of 100 Allowed<BR>\r\n<H2>Internet Dialup Lines</H2><P>"
                  "Line 1 : not defined<BR>\r\n</BODY></HTML>",
              Status(kRefresh))
        << "the figures of the counting pass are written";
}

TEST(StatusPage, LinesAndTheirStatistics) {
    Sources s;
    figures = GWSFIGURES();
    figures.lineCount = 2;
    figures.lineOn[1] = TRUE;
    GWSLINE two;
    two.status = "Office : Connection completed.";
    two.connectStart = FixedNow() - 3725;
    two.received = 5000;
    two.sent = 700;
    two.samplePeriod = 10;
    two.receiveSpeed = 50;
    two.sendSpeed = 7;
    lines = {GWSLINE(), two};
    const std::string stats =
        "Total Connect Time = 1:02:05<BR>Total Bytes Received = 5000<BR>Total Bytes Sent = 700<BR>"
        "Last Sample Period = 10 (seconds)<BR>Average Receive Speed = 50 (cps)<BR>Average Send Speed = 7 (cps)"
        "</BLOCKQUOTE>\r\n";
    const std::string status = "Line 1 : not defined<BR>\r\nLine 2 : Office : Connection completed.<BR>\r\n"
                               "<P>Line 2 Statistics:<BR><BLOCKQUOTE>";

    _SystemIsWindowsNT = 1;
    std::string nt = Status();
    EXPECT_NE(std::string::npos, nt.find(status + stats)) << nt;

    _SystemIsWindowsNT = 0;
    std::string win95 = Status();
    EXPECT_NE(std::string::npos, win95.find(status + "Connect Rate = unknown (bps)<BR>" + stats)) << win95;

    _SystemIsWindowsNT = 1;
    lines[1].rate = 28800;
    lines[1].connectStart = 0;
    std::string rated = Status();
    EXPECT_NE(std::string::npos, rated.find("Connect Rate = 28800 (bps)<BR>Total Connect Time = 0:00:00<BR>")) << rated;
    EXPECT_EQ(std::string::npos, rated.find("Line 1 Statistics")) << "line 1 is not switched on";
}

TEST(RequestListPage, RowsOfBothVariants) {
    Sources s;
    SCHEDULEDROW at, active, links;
    at.origin = "127.0.0.1";
    at.requestId = 0x1a2b;
    at.host = "127.0.0.2";
    at.path = "/b.html";
    at.armed = TRUE;
    at.start = "12/11/26 22:30";
    at.frequency = "daily";
    at.duration = "forever";
    active = at;
    active.requestId = 0x10;
    active.host = "a.test";
    active.path = "index.html";
    active.armed = FALSE;
    active.active = TRUE;
    active.origin = "jo";
    links = at;
    links.requestId = 0x11;
    links.ftp = TRUE;
    links.armed = FALSE;
    links.host = "f.test";
    links.path = "/x?<script>\"&";
    schedule = {at, active, links};
    const std::string head = "<table width=130% cols=5 border=0><tr><td width=30%>FROM</td><td width=40%>URL</td>"
                             "<td width=20%>START</td><td width=20%>FREQUENCY</td><td width=20%>DURATION</td></tr>\r\n";
    const std::string rows =
        "<tr><td width=30%>127.0.0.1</td><td width=40%>http://127.0.0.2/b.html</td><td width=20%>12/11/26 22:30</td>"
        "<td width=20%>daily</td><td width=20%>forever</td></tr>\r\n"
        "<tr><td width=30%>jo</td><td width=40%>http://a.test/index.html</td><td width=20%>Active</td>"
        "<td width=20%>daily</td><td width=20%>forever</td></tr>\r\n"
        "<tr><td width=30%>127.0.0.1</td><td width=40%>ftp://f.test/x?&lt;script&gt;&quot;&amp;</td>"
        "<td width=20%>Retrieving Links</td><td width=20%></td><td width=20%></td></tr>\r\n";
    {
        Object obj;
        ASSERT_NE(nullptr, HTMLDOC::GenerateRequestList(*obj.o, FALSE, nullptr, "secret"));
        EXPECT_EQ("<HTML><HEAD><TITLE>Scheduled HTTP requests ...</TITLE></HEAD>\r\n<BODY>"
                  "<H3>Select an object from the list below to display it in your browser.</H3>\r\n\r\n" +
                      head + rows + "</table>\r\n</BODY></HTML>",
                  Page(*obj.o));
    }
    {
        Object obj;
        ASSERT_NE(nullptr, HTMLDOC::GenerateRequestList(*obj.o, TRUE, "jo", "secret"));
        std::string page = Page(*obj.o);
        EXPECT_NE(std::string::npos, page.find("<TITLE>Remove scheduled requests for user jo ...</TITLE>")) << page;
        EXPECT_NE(std::string::npos,
                  page.find("<td width=40%><A HREF=\"http://Quorvane/Gateway-Administration?pswd=secret&"
                            "Request-Remove-Item=10\">http://a.test/index.html</A></td>"))
            << page;
        EXPECT_EQ(std::string::npos, page.find("127.0.0.2")) << "only the user's requests";
    }
    {
        schedule.clear();
        Object obj;
        ASSERT_NE(nullptr, HTMLDOC::GenerateRequestList(*obj.o, TRUE, "*", "secret"));
        std::string page = Page(*obj.o);
        EXPECT_NE(std::string::npos, page.find("<TITLE>Remove requests from the HTTP schedule ...</TITLE>"));
        EXPECT_NE(std::string::npos, page.find(head + "</table>\r\n</BODY></HTML>")) << "only the head row";
    }
}
