// The default route on Windows NT: towards the first line that comes up
// (unless its entry routes the default traffic itself), back to the saved
// persistent gateway when the last such line goes. ROUTE.EXE does the work.
#include "WinSockInterface.h"
#include "SpControl.h"
#include "SysHelpers.h"
#include "TextHelpers.h"
#include <cstring>
#include <string>

char _DefaultGateway[256] = "";
char _DefaultMetric[17] = "1";

namespace {

const char PersistentRoutesKey[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\PersistentRoutes";
const char RouteAdd[] = "ADD 0.0.0.0 MASK 0.0.0.0 ";
const char RouteChange[] = "CHANGE 0.0.0.0 MASK 0.0.0.0 ";
const char RouteDelete[] = "DELETE 0.0.0.0 MASK 0.0.0.0 ";
const char RoutePersistent[] = "-p ";
const char RouteMetric[] = " METRIC ";

BBOOL Managing() { return !_SystemIsWindows95 && TCPCONTROL::DynamicRouting; }

// Runs ROUTE.EXE detached and waits; TRUE when it ended with 0.
BBOOL RunRoute(const std::string& parameters) {
    unsigned long rc = ExecuteProgram("ROUTE.EXE", nullptr, parameters.c_str(), 1, 1);
    QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "csi", "Interface Routing", parameters.c_str(), (int)rc);
    return rc == 0;
}

// ADD, then CHANGE when ADD fails.
BBOOL RouteVia(const std::string& tail) {
    return RunRoute(RouteAdd + tail) || RunRoute(RouteChange + tail);
}

// The persistent default route's gateway and metric, when one is kept.
void SaveDefaultGateway() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PersistentRoutesKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        char value[128];
        DWORD length = sizeof value;
        if (RegEnumValueA(key, i, value, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (strncmp(value, "0.0.0.0,", 8) != 0) continue;
        std::string fields[4];
        int f = 0;
        for (const char* p = value; *p && f < 4; ++p) {
            if (*p == ',')
                f++;
            else if (f < 4)
                fields[f] += *p;
        }
        if (!fields[2].empty()) {
            _strzcpy(_DefaultGateway, fields[2].c_str(), sizeof _DefaultGateway);
            _strzcpy(_DefaultMetric, fields[3].empty() ? "1" : fields[3].c_str(), sizeof _DefaultMetric);
        }
        break;
    }
    RegCloseKey(key);
}

}  // namespace

void WINSOCKINTERFACE::EnableRouting() {
    if (!Managing() || !_pTCPIPInterfaces) return;
    MSEMHOLD hold(_pTCPIPInterfaces->lock);
    if (!_DefaultGateway[0]) SaveDefaultGateway();
    if (!remoteDefaultGateway) {
        if (!findDefaultInterface()) routeAdded = RouteVia(addressText);
        return;
    }
    // The entry sets the default route itself: ours would compete with it.
    CITERATOR<TCPINTERFACE> it;
    for (TCPINTERFACE* i = it.Begin(*_pTCPIPInterfaces); i; i = it.Next()) {
        WINSOCKINTERFACE* line = dynamic_cast<WINSOCKINTERFACE*>(i);
        if (!line || !line->routeAdded) continue;
        RunRoute(RouteDelete + std::string(line->addressText));
        line->routeAdded = 0;
    }
    it.End();
}

void WINSOCKINTERFACE::DisableRouting() {
    if (!Managing() || !_pTCPIPInterfaces) return;
    MSEMHOLD hold(_pTCPIPInterfaces->lock);
    if (routeAdded) {
        RunRoute(RouteDelete + std::string(addressText));
        routeAdded = 0;
    }
    if (!findDefaultInterface()) {
        WINSOCKINTERFACE* next = nullptr;
        CITERATOR<TCPINTERFACE> it;
        for (TCPINTERFACE* i = it.Begin(*_pTCPIPInterfaces); i && !next; i = it.Next()) {
            WINSOCKINTERFACE* line = dynamic_cast<WINSOCKINTERFACE*>(i);
            if (line && line->connected) next = line;
        }
        it.End();
        if (next) next->routeAdded = RouteVia(next->addressText);
    }
    if (!findDefaultInterface() && _DefaultGateway[0]) {
        std::string tail = std::string(_DefaultGateway) + RouteMetric + _DefaultMetric;
        if (RunRoute(RoutePersistent + (RouteAdd + tail)) || RunRoute(RoutePersistent + (RouteChange + tail)))
            _DefaultGateway[0] = 0;
    }
    if (optionsRestored) {
        if (ras::Entry* e = RasGetPhoneBookEntry(name)) {
            e->options ^= ras::kOptionRemoteDefaultGateway;
            // Written with its own size: a newer entry cut to the older size is refused.
            if (_Ras.RasSetEntryPropertiesA(nullptr, name, e, e->size, nullptr, 0) == 0) optionsRestored = 0;
            RasFreePhoneBookEntry(e);
        }
    }
}
