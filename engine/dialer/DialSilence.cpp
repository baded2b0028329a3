// A counted dial that hears nothing for two minutes is given up: otherwise a
// dial whose notifications never come stays counted, every rebuild of the
// line list answers "dial under way" and the dialing limit blocks every dial.
#include "WinSockInterface.h"
#include "WinSockControl.h"
#include "TimeStamp.h"
#include <vector>

BBOOL WINSOCKINTERFACE::expireIfSilent() {
    unsigned long heard = lastNotice;
    if (!dialCounted || !heard || TIMESTAMP::Now() - heard <= DialSilenceSeconds) return 0;
    QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "cs", "Interface Dial Timed Out", name);
    if (rasHandle && _RasLoaded) {
        QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "cs", "RasHangUp", name);
        _Ras.RasHangUpA(rasHandle);
        rasHandle = nullptr;
    }
    if (secondary && Control()) Control()->UnloadWinSockAsync(0);
    endRASDialing(0);
    managed = 0;
    failed = 1;
    connecting = 0;
    connected = 0;
    connectionState = ras::kStateDisconnected;
    state = LINE_UNABLE;
    Notify(nullptr);
    return 1;
}

void WINSOCKINTERFACE::ExpireSilentDials() {
    if (!_pTCPIPInterfaces || !RasDialCount) return;
    std::vector<WINSOCKINTERFACE*> lines;
    {
        CITERATOR<TCPINTERFACE> it;
        for (TCPINTERFACE* i = it.Begin(*_pTCPIPInterfaces); i; i = it.Next()) {
            WINSOCKINTERFACE* line = dynamic_cast<WINSOCKINTERFACE*>(i);
            if (line && line->dialCounted) {
                line->prepare();
                lines.push_back(line);
            }
        }
        it.End();
    }
    for (WINSOCKINTERFACE* line : lines) {
        line->expireIfSilent();
        line->freeobj();
    }
}
