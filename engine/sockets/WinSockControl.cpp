#include "WinSockControl.h"
#include "WinSockDll.h"
#include "WinSockLink.h"
#include "RemoteAccess.h"
#include "DataConnection.h"
#include "Profile.h"
#include "SysHelpers.h"
#include "TaskAbend.h"
#include <cstring>

PROFILE* WINSOCKCONTROL::pConfigProfile = nullptr;
BBOOL WINSOCKCONTROL::WinSockLimitDialing = 0;
MSEMAPHORE* _WinSockLoadControl = nullptr;
int DWINSOCK_INIT::InitCount = 0;

namespace {
const char ControlSection[] = "Winsock Control";

// The library's entries land here first, then go to the instance's table.
WINSOCKFUNCTIONS _Bound;
void* _p_WSAAsyncSelect = nullptr;

#define QV_WSROW(fn, ordinal) {#fn, ordinal, &_Bound.fn}
DLLENTRY _WinSockEntries[] = {
    QV_WSROW(accept, 1),       QV_WSROW(bind, 2),           QV_WSROW(closesocket, 3),
    QV_WSROW(connect, 4),      QV_WSROW(ioctlsocket, 12),   QV_WSROW(htonl, 8),
    QV_WSROW(htons, 9),        QV_WSROW(inet_addr, 10),     QV_WSROW(inet_ntoa, 11),
    QV_WSROW(listen, 13),      QV_WSROW(ntohl, 14),         QV_WSROW(ntohs, 15),
    QV_WSROW(recv, 16),        QV_WSROW(select, 18),        QV_WSROW(send, 19),
    QV_WSROW(setsockopt, 21),  QV_WSROW(shutdown, 22),      QV_WSROW(socket, 23),
    QV_WSROW(gethostname, 57), QV_WSROW(gethostbyname, 52), QV_WSROW(getservbyname, 55),
    QV_WSROW(getpeername, 5),  QV_WSROW(getsockname, 6),    QV_WSROW(WSAStartup, 115),
    QV_WSROW(WSACleanup, 116), QV_WSROW(WSAGetLastError, 111),
    {"WSAAsyncSelect", 101, &_p_WSAAsyncSelect},
    QV_WSROW(WSAAsyncGetHostByName, 103), QV_WSROW(WSACancelAsyncRequest, 108),
    QV_WSROW(WSASetBlockingHook, 109),    QV_WSROW(WSAUnhookBlockingHook, 110),
    // Tells a refused connect from a pending one where the out-of-band read cannot.
    QV_WSROW(getsockopt, 7),
    {"", 0, nullptr},
};
DLLENTRY _DialerEntries[] = {
    {"WSADialModem", 0, &_Bound.WSADialModem},
    {"WSAHangUpModem", 0, &_Bound.WSAHangUpModem},
    {"WSAIsOnline", 0, &_Bound.WSAIsOnline},
    {"", 0, nullptr},
};
#undef QV_WSROW

void CopyText(char* to, size_t size, const char* from) {
    size_t n = from ? strnlen(from, size - 1) : 0;
    if (n) memcpy(to, from, n);
    to[n] = 0;
}

BBOOL ReadYesNo(const char* key) {
    BBOOL value = 0;
    if (WINSOCKCONTROL::pConfigProfile) WINSOCKCONTROL::pConfigProfile->ReadBOOL(ControlSection, key, value);
    return value;
}

void ReadText(const char* key, char* out, long size) {
    out[0] = 0;
    if (WINSOCKCONTROL::pConfigProfile)
        WINSOCKCONTROL::pConfigProfile->ReadString(ControlSection, key, BUFFER(out, size));
}
}  // namespace

DLLENTRY* WinSockEntryTable(BBOOL dialer) { return dialer ? _DialerEntries : _WinSockEntries; }
const WINSOCKFUNCTIONS& WinSockBoundEntries() { return _Bound; }

// ---- package -------------------------------------------------------------

const char WinSockEventClass[] = "Quorvane Winsock Event Class";
const char WinSockEventTitle[] = "Quorvane Winsock Event Window";
CHAIN<WINSOCKDLL>* _pWinSockDlls = nullptr;
static ATOM _WinSockClassAtom = 0;

DWINSOCK_INIT::DWINSOCK_INIT() {
    if (InitCount++ != 0) return;
    WNDCLASSA wc = {};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = ::WinSockEventProc;
    wc.cbWndExtra = sizeof(LONG_PTR);  // word 0: the library instance
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = WinSockEventClass;
    _WinSockClassAtom = RegisterClassA(&wc);
    _pWinSockDlls = new CHAIN<WINSOCKDLL>(1);
    if (!_pWinSockDlls) _Task_Abend(ABEND_STG101, sizeof(CHAIN<WINSOCKDLL>));
    _pWinSockDlls->prepare();
    _WinSockLoadControl = new MSEMAPHORE(1);
    DATACONNECTION::pMakeSocketLink = MakeWinSockLink;
    LoadRemoteAccess();
}

DWINSOCK_INIT::~DWINSOCK_INIT() {
    if (--InitCount != 0) return;
    UnloadRemoteAccess();
    DATACONNECTION::pMakeSocketLink = nullptr;
    if (_pWinSockDlls) {
        _pWinSockDlls->RemoveAll(1, nullptr);
        _pWinSockDlls->freeobj();
    }
    _pWinSockDlls = nullptr;
    delete _WinSockLoadControl;
    _WinSockLoadControl = nullptr;
    if (_WinSockClassAtom) UnregisterClassA(WinSockEventClass, GetModuleHandleA(nullptr));
    _WinSockClassAtom = 0;
}

// ---- control -------------------------------------------------------------

WINSOCKCONTROL::WINSOCKCONTROL()
    : startupCount(0), loaded(0), started(0), hideWindow(0), library(nullptr), dialerExtensions(0), wsaData(),
      fn(), useBlockingHook(0), win95Shutdown(0), secondaryStack(0), dialInterface(nullptr) {
    libraryName[0] = 0;
    statusWindow[0] = 0;
}

WINSOCKCONTROL::~WINSOCKCONTROL() { UnloadWinSock(1, 0, 0); }

WINSOCKDLL* WINSOCKCONTROL::getDll(BBOOL create) {
    // "DLL Name" is the secondary stack's; every other control binds the system's library.
    if (!libraryName[0] && (dialInterface || secondaryStack)) ReadText("DLL Name", libraryName, sizeof(libraryName));
    if (!libraryName[0]) CopyText(libraryName, sizeof(libraryName), "WSOCK32.DLL");
    library = nullptr;
    {
        CITERATOR<WINSOCKDLL> it;
        for (WINSOCKDLL* d = it.Begin(*_pWinSockDlls); d; d = it.Next())
            if (strcmp(d->name, libraryName) == 0) {
                library = d;
                break;
            }
        it.End();
    }
    if (!library && create) {
        library = new WINSOCKDLL(libraryName);
        library->prepare();
        if (dialInterface) library->owner = this;
    }
    if (create && library && dialInterface && pConfigProfile) {
        ReadText("Status Window", statusWindow, sizeof(statusWindow));
        dialerExtensions = ReadYesNo("Dialer Extensions");
        hideWindow = ReadYesNo("Hide Window");
    }
    return library;
}

BBOOL WINSOCKCONTROL::LoadWinSock(BBOOL async, BBOOL noStartup) {
    started = 0;
    MSEMHOLD hold(*_WinSockLoadControl);
    if (!loaded) {
        if (!getDll(1)) return 0;
        if (library->useCount++ == 0 && !library->loadWinsock()) {
            library->useCount--;
            if (library->useCount == 0) library->freeobj();
            library = nullptr;
            return 0;
        }
        loaded = 1;
        fn = library->fn;
        if (TCPCONTROL::UseAsyncDNS && !async && !noStartup) library->startMonitor();
    }
    if (!noStartup) {
        QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cp", "WSAStartup Called", this);
        int rc = fn.WSAStartup(VersionRequired, &wsaData);
        QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpi", "WSAStartup Returned", this, rc);
        if (rc == 0) {
            started = 1;
            startupCount++;
        }
        if (started && dialInterface && dialerExtensions && fn.WSADialModem) {
            QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cp", "WSADialModem Called", this);
            int d = fn.WSADialModem(0);
            QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpi", "WSADialModem Returned", this, d);
        }
    }
    return noStartup ? loaded : started;
}

void WINSOCKCONTROL::cleanupWinsock() {
    while (startupCount > 0) {
        startupCount--;
        QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cp", "WSACleanup", this);
        if (loaded && fn.WSACleanup) fn.WSACleanup();
    }
}

void WINSOCKCONTROL::UnloadWinSock(BBOOL full, BBOOL fromEventThread, BBOOL noCleanup) {
    WINSOCKDLL* last = nullptr;  // the instance to end once the lock is given back
    {
        MSEMHOLD hold(*_WinSockLoadControl);
        if (startupCount > 0) {
            startupCount--;
            if (loaded && !noCleanup) {
                QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cp", "WSACleanup", this);
                fn.WSACleanup();
            }
        }
        if (!full || !loaded || noCleanup) return;
        cleanupWinsock();
        if (dialInterface && dialerExtensions && fn.WSAHangUpModem) {
            QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cp", "WSAHangUpModem", this);
            fn.WSAHangUpModem(0);
        }
        if (library && --library->useCount == 0) {
            last = library;
            // Out of the chain now, so a new load makes a fresh instance meanwhile.
            if (last->node && last->node->linked) _pWinSockDlls->bRemove(*last->node, 1);
            last->node = nullptr;
            if (!fromEventThread) last->stopMonitor(0, 0);
        }
        library = nullptr;
        memset(&fn, 0, sizeof(fn));
        started = 0;
        loaded = 0;
    }
    // The event thread may itself wait for the load lock: it is waited for only after the lock is given back.
    if (last) {
        // A thread that would not end keeps its library: it may still run in it.
        if (fromEventThread || last->stopMonitor(1, 0)) last->unloadWinsock();
        last->freeobj();
    }
}

WINSOCKREQUEST* WINSOCKCONTROL::StartHostLookup(WINSOCKLINK& link, const char* host) {
    WINSOCKDLL* d = library;
    if (!d || !d->eventWindow || !fn.WSAAsyncGetHostByName) return nullptr;
    WINSOCKREQUEST* r = new WINSOCKREQUEST(d, &link);
    r->prepare();
    CopyText(r->hostName, sizeof(r->hostName), host);
    if (!r->buffer) {
        r->freeobj();
        return nullptr;
    }
    // Under the chain's lock until the handle is stored: an early answer waits for it.
    {
        MSEMHOLD hold(d->requests.lock);
        d->AddRequest(r);
        r->task = fn.WSAAsyncGetHostByName(d->eventWindow, WINSOCKDLL::LookupMessage, r->hostName, r->buffer,
                                           WINSOCKREQUEST::BufferSize);
        QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cspp", "WSAAsyncGetHost-Request", r->hostName, &link, (void*)r->task);
        if (!r->task) {
            r->link = nullptr;
            d->RemoveRequest(r);
            return nullptr;
        }
    }
    return r;
}
