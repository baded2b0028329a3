// The pages' default sources: the running server's figures, lines and schedule.
#include "GatewayPages.h"

#include "HttpRequest.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "TcpInterface.h"

namespace {
const int STATISTIC_RECEIVED = 0;  // the line's statistics words the page shows
const int STATISTIC_SENT = 1;
const int STATISTIC_RATE = 2;
const int STATISTIC_RECEIVE_SPEED = 3;
const int STATISTIC_SEND_SPEED = 4;

void ServerFigures(GWSFIGURES& f) {
    if (!_pSvr) return;
    // Single words read as they stand, as the console's status line does.
    f.activeUsers = _pSvr->manager.loggedIn;
    f.peakUsers = _pSvr->manager.peakUsers;
    f.maximumUsers = _pSvr->maxUsers;
    f.lineCount = _pSvr->lines.lineCount;
    for (int n = 0; n < 4; ++n) f.lineOn[n] = _pSvr->lines.lines[n].IsLineConfigured();
}

BBOOL ServerLine(int n, GWSLINE& line) {
    TCPINTERFACE* link = TCPINTERFACE::FindRelativeLine(n);
    if (!link) return FALSE;
    char status[128] = "";
    BUFFER out(status, sizeof status);
    if (_pSvr) _pSvr->lines.GetCommStatusMsg(link, out);
    line.status = status;
    line.connectStart = link->stamps[0].seconds;
    line.rate = link->statistics[STATISTIC_RATE];
    line.received = (unsigned long)link->statistics[STATISTIC_RECEIVED];
    line.sent = (unsigned long)link->statistics[STATISTIC_SENT];
    line.samplePeriod = link->sampleInterval;
    line.receiveSpeed = (unsigned long)link->statistics[STATISTIC_RECEIVE_SPEED];
    line.sendSpeed = (unsigned long)link->statistics[STATISTIC_SEND_SPEED];
    return TRUE;
}

// Requests the request file holds and that fetch with GET; generated ones
// (prefetch) are never listed.
void ServerSchedule(std::vector<SCHEDULEDROW>& rows) {
    if (!_pSvr) return;
    CITERATOR<LOCALREQUEST> it;
    for (LOCALREQUEST* r = it.Begin(_pSvr->localRequests); r; r = it.Next()) {
        HTTPREQUEST* request = r->request ? dynamic_cast<HTTPREQUEST*>(r->request) : nullptr;
        if (!r->persistent || !request || request->ItemClassID() != QvTag("HGET")) continue;
        SCHEDULEDROW row;
        row.origin = r->origin;
        row.requestId = request->requestId;
        row.ftp = request->ftpScheme;
        row.host = request->host;
        row.path = request->path;
        row.active = r->submitted || r->pendingNode;
        if (r->timer && r->timer->startText[0]) {
            char text[256] = "";
            row.armed = r->timer->IsQueued();
            r->timer->GetStart(text, sizeof text);
            row.start = text;
            r->timer->GetFrequency(text, sizeof text);
            row.frequency = text;
            r->timer->GetDuration(text, sizeof text);
            row.duration = text;
        }
        rows.push_back(row);
    }
    it.End();
}
}  // namespace

GWSFIGURESOURCE _pGatewayFigures = ServerFigures;
GWSLINESOURCE _pGatewayLine = ServerLine;
SCHEDULEDSOURCE _pScheduledRequests = ServerSchedule;
