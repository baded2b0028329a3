#pragma once
// The socket link control: binds a Windows Sockets 1.1 library at run time by
// file name, starts and stops it for the links that use it, and starts their
// asynchronous host look-ups. Controls naming the same library share one
// loaded instance (WINSOCKDLL). No program binary imports a socket library.
#include "QvWindows.h"
#include <winsock.h>
#include "TcpControl.h"

class WINSOCKDLL;
class WINSOCKLINK;
class WINSOCKREQUEST;
class LINKINTERFACE;
class PROFILE;

typedef int(WINAPI* WINSOCKDIALFN)(DWORD dialArgument);

// The entry points a library instance and every control bound to it hold, in this order.
struct WINSOCKFUNCTIONS {
    decltype(&::accept) accept;
    decltype(&::bind) bind;
    decltype(&::closesocket) closesocket;
    decltype(&::connect) connect;
    decltype(&::ioctlsocket) ioctlsocket;
    decltype(&::htonl) htonl;
    decltype(&::htons) htons;
    decltype(&::inet_addr) inet_addr;
    decltype(&::inet_ntoa) inet_ntoa;
    decltype(&::listen) listen;
    decltype(&::ntohl) ntohl;
    decltype(&::ntohs) ntohs;
    decltype(&::recv) recv;
    decltype(&::select) select;
    decltype(&::send) send;
    decltype(&::setsockopt) setsockopt;
    decltype(&::shutdown) shutdown;
    decltype(&::socket) socket;
    decltype(&::gethostbyname) gethostbyname;
    decltype(&::gethostname) gethostname;
    decltype(&::getservbyname) getservbyname;
    decltype(&::getpeername) getpeername;
    decltype(&::getsockname) getsockname;
    decltype(&::WSAStartup) WSAStartup;
    decltype(&::WSACleanup) WSACleanup;
    decltype(&::WSAGetLastError) WSAGetLastError;
    void* unused1;  // WSAAsyncSelect is bound but never called
    decltype(&::WSAAsyncGetHostByName) WSAAsyncGetHostByName;
    decltype(&::WSACancelAsyncRequest) WSACancelAsyncRequest;
    decltype(&::WSAUnhookBlockingHook) WSAUnhookBlockingHook;
    decltype(&::WSASetBlockingHook) WSASetBlockingHook;
    void* unused2;
    WINSOCKDIALFN WSADialModem;
    WINSOCKDIALFN WSAHangUpModem;
    WINSOCKDIALFN WSAIsOnline;
    decltype(&::getsockopt) getsockopt;  // the pending error of a failed connect
};

struct DLLENTRY;
// The binding tables (the socket entries, or the three dialer extensions) and what they bound.
// Used under _WinSockLoadControl.
DLLENTRY* WinSockEntryTable(BBOOL dialer);
const WINSOCKFUNCTIONS& WinSockBoundEntries();

class WINSOCKCONTROL : public TCPCONTROL {
public:
    WINSOCKCONTROL();
    ~WINSOCKCONTROL() override;  // unloads fully

    QV_ITEM_IDENTITY(WINSOCKCONTROL, "WINSOCKCONTROL", "TWSC")

    // The library instance of this control's library name, made when create is set.
    // Call under _WinSockLoadControl.
    WINSOCKDLL* getDll(BBOOL create);
    // Binds and starts the library; loaded when noStartup, else started. Any thread.
    BBOOL LoadWinSock(BBOOL async, BBOOL noStartup);
    // Stops and, when full, unbinds. Any thread but the event thread's own window.
    void UnloadWinSock(BBOOL full, BBOOL fromEventThread, BBOOL noCleanup);
    // WSACleanup once for every outstanding start-up.
    void cleanupWinsock();
    // An asynchronous look-up of host for link on the event window; null when none could start.
    WINSOCKREQUEST* StartHostLookup(WINSOCKLINK& link, const char* host);

    // The secondary dialer's stack, loaded and dialed by its event thread:
    // starts that thread; TRUE when it runs. Line-policy threads.
    BBOOL LoadWinSockAsync();
    // Asks the event thread to hang up and unload (waiting for its end with wait).
    void UnloadWinSockAsync(BBOOL wait);
    // The stack is loading or unloading on its event thread.
    BBOOL IsWinSockBusy();
    // Started, online and not asking anything; presses the stack's NO (else OK) while connecting.
    BBOOL IsWinSockReady();
    // Hides (or shows) the stack's status window, now and from now on.
    void WinSockSetHidden(BBOOL hide);
    // Gives a line its local address and marks it connected (or lets the stack's thread end).
    static void EnableConnection(LINKINTERFACE* line, const char* address);
    // Rebuilds the interface chain for the names (comma-separated, quotes allowed);
    // the dial-up lines connected now, or -1 while a dial is under way. Any thread.
    static int GetLocalInterfaces(USETCPINTERFACES use, const char* names);
    static const USETCPINTERFACES UseAll = 1;      // also the host's own addresses
    static const USETCPINTERFACES UseDefault = 2;  // changes nothing
    static const USETCPINTERFACES UseDialUp = 3;   // the configured dial-up connections

    char libraryName[128];   // empty until first needed
    int startupCount;        // WSAStartup calls not yet matched by WSACleanup
    BBOOL loaded;
    BBOOL started;
    BBOOL hideWindow;
    WINSOCKDLL* library;
    char statusWindow[128];
    BBOOL dialerExtensions;
    WSADATA wsaData;
    WINSOCKFUNCTIONS fn;
    BBOOL useBlockingHook;   // pump messages during blocking socket calls
    BBOOL win95Shutdown;     // Windows 95: no linger reset, and both sides shut on abort
    BBOOL secondaryStack;    // a secondary instance's control: "DLL Name" applies
    LINKINTERFACE* dialInterface;  // set only on the secondary-dialer control

    // The secondary dialer's configuration ([Winsock Control]); null = defaults.
    static PROFILE* pConfigProfile;
    // Written at start-up with the other switches; the dialer gives it its effect.
    static BBOOL WinSockLimitDialing;
    // The version asked of WSAStartup (1.1).
    static const WORD VersionRequired = 0x0101;
};

// Serialises every load and unload of every control; guards the use counts and _pWinSockDlls.
extern MSEMAPHORE* _WinSockLoadControl;

// Registers the event window class and keeps the chain of library instances.
class DWINSOCK_INIT {
public:
    DWINSOCK_INIT();
    ~DWINSOCK_INIT();
    static int InitCount;
};

static DWINSOCK_INIT _winSockInit;
