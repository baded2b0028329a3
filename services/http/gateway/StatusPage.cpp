// The gateway status page: users logged in, the dial-up lines' states and
// the statistics of every line that is switched on.
#include <cstdio>
#include <cstring>
#include <string>

#include "GatewayPages.h"
#include "HtmlDoc.h"
#include "ServerIds.h"
#include "SpControl.h"
#include "TimeStamp.h"

namespace {
const int PIECE = 500;  // each formatted piece is made in a buffer this long
}  // namespace

HTMLDOC* HTMLDOC::GenerateGatewayStatus(HTTPOBJECT& object, const char* head) {
    HTMLDOC* doc = new HTMLDOC(&object);
    doc->prepare();
    return doc->buildGWSDocument(head) ? doc : Abandon(object, doc);
}

BBOOL HTMLDOC::buildGWSDocument(const char* head) {
    std::string title = std::string(ServerText(1)) + " Status";
    title.resize(title.size() < 255 ? title.size() : 255);
    return TwoPasses([&] {
        buildDocHeaders(title.c_str(), nullptr, nullptr, nullptr);
        if (head) {
            Append(head);
            Append("\r\n");
        }
        return buildGWSBody() && buildDocEnd();
    });
}

BBOOL HTMLDOC::buildGWSBody() {
    GWSFIGURES figures;
    if (_pGatewayFigures) _pGatewayFigures(figures);
    if (counting) {
        // Both passes write these copies, so the counted text is the written one.
        activeUsers = figures.activeUsers;
        peakUsers = figures.peakUsers;
    }
    char piece[PIECE];
    Append("<H2>Client Connections</H2><P>");
    std::snprintf(piece, sizeof piece, "Current Active Users : %ld<BR>\r\n", activeUsers);
    Append(piece);
    std::snprintf(piece, sizeof piece, "Maximum Active Users : %ld of %ld Allowed<BR>\r\n", peakUsers,
                  figures.maximumUsers);
    Append(piece);
    Append("<H2>Internet Dialup Lines</H2><P>");
    for (int n = 1; n <= 4; ++n)
        if (n == 1 || figures.lineCount >= n) buildGWSLineStatus(n);
    for (int n = 1; n <= 4; ++n)
        if (figures.lineOn[n - 1]) buildGWSLineStatistics(n);
    return TRUE;
}

BBOOL HTMLDOC::buildGWSLineStatus(int n) {
    GWSLINE line;
    std::string state = _pGatewayLine && _pGatewayLine(n, line) ? line.status.substr(0, 127) : "not defined";
    char piece[PIECE];
    std::snprintf(piece, sizeof piece, "Line %d : %s<BR>\r\n", n, state.c_str());
    Append(piece);
    return TRUE;
}

BBOOL HTMLDOC::buildGWSLineStatistics(int n) {
    GWSLINE line;
    if (!_pGatewayLine || !_pGatewayLine(n, line)) return FALSE;
    char piece[PIECE];
    std::snprintf(piece, sizeof piece, "<P>Line %d Statistics:<BR>", n);
    Append(piece);
    unsigned long now = TIMESTAMP::Now();
    unsigned long seconds = line.connectStart && now > line.connectStart ? now - line.connectStart : 0;
    char time[48], rate[24];
    std::snprintf(time, sizeof time, "%lu:%02lu:%02lu", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    if (line.rate)
        std::snprintf(rate, sizeof rate, "%ld", line.rate);
    else
        std::strcpy(rate, "unknown");
    if (!_SystemIsWindowsNT || line.rate)
        std::snprintf(piece, sizeof piece,
                      "<BLOCKQUOTE>Connect Rate = %s (bps)<BR>Total Connect Time = %s<BR>Total Bytes Received = "
                      "%lu<BR>Total Bytes Sent = %lu<BR>",
                      rate, time, line.received, line.sent);
    else
        std::snprintf(piece, sizeof piece,
                      "<BLOCKQUOTE>Total Connect Time = %s<BR>Total Bytes Received = %lu<BR>Total Bytes Sent = "
                      "%lu<BR>",
                      time, line.received, line.sent);
    Append(piece);
    std::snprintf(piece, sizeof piece,
                  "Last Sample Period = %ld (seconds)<BR>Average Receive Speed = %lu (cps)<BR>Average Send Speed = "
                  "%lu (cps)</BLOCKQUOTE>\r\n",
                  line.samplePeriod, line.receiveSpeed, line.sendSpeed);
    Append(piece);
    return TRUE;
}
