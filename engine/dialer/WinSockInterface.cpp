#include "WinSockInterface.h"
#include "WinSockControl.h"
#include "WinSockDll.h"
#include "TcpSockLink.h"
#include "Profile.h"
#include "SpControl.h"
#include "SysHelpers.h"
#include "TextHelpers.h"
#include "TimeStamp.h"
#include <cstring>
#include <typeinfo>

const char LineReasonNoRemoteAccess[] = "1";
const char LineReasonNoProfile[] = "2";
const char LineReasonNoCopy[] = "3";
const char CurrentConnectionKey[] = "SOFTWARE\\Brellix Software\\Quorvane Corvath\\Current Connection";

volatile LONG WINSOCKINTERFACE::RasDialCount = 0;

namespace {

const char DialerSection[] = "Dialer Interface";
const char ControlSection[] = "Winsock Control";
const int StatisticSpeed = 2;  // the connect speed's word among the line's statistics

// Guards the end of a counted dial, so that "Status" is written once.
struct DialLock {
    CRITICAL_SECTION cs;
    DialLock() { InitializeCriticalSection(&cs); }
    ~DialLock() { DeleteCriticalSection(&cs); }
    static DialLock& Get() {
        static DialLock lock;
        return lock;
    }
};
struct DialLockHold {
    DialLockHold() { EnterCriticalSection(&DialLock::Get().cs); }
    ~DialLockHold() { LeaveCriticalSection(&DialLock::Get().cs); }
};

// Remote-access states and the line status each shows.
const struct {
    DWORD state;
    int status;
} StateStatus[] = {
    {ras::kStateOpenPort, LINE_OPENING},          {ras::kStateConnectDevice, LINE_DIALING},
    {ras::kStateDeviceConnected, LINE_DEVICE_CONNECTED}, {ras::kStateAuthenticate, LINE_AUTHENTICATING},
    {ras::kStateAuthenticated, LINE_AUTHENTICATED},
};

int StatusOfState(DWORD state) {
    for (const auto& s : StateStatus)
        if (s.state == state) return s.status;
    return 0;
}

void SetConnectionValue(const char* value, const char* text) {
    char old[256];
    WinRegModifyLocalKey(CurrentConnectionKey, value, text, BUFFER(old, sizeof old));
}

void ReadConfig(const char* section, const char* key, char* out, long size) {
    out[0] = 0;
    if (WINSOCKCONTROL::pConfigProfile) WINSOCKCONTROL::pConfigProfile->ReadString(section, key, BUFFER(out, size));
}

// A configured file name in the configuration directory (the current one) unless it is a full path.
void ConfigPath(char (&out)[MAX_PATH], const char* name) {
    if (name[0] == '\\' || (name[0] && name[1] == ':')) {
        _strzcpy(out, name, sizeof out);
        return;
    }
    char dir[MAX_PATH];
    if (!GetCurrentDirectoryA(sizeof dir, dir)) dir[0] = 0;
    if (!BuildPathName(out, dir, name)) _strzcpy(out, name, sizeof out);
}

typedef int(WINAPI* CONVERTFN)(const char* entry, const char* profile, void* port, void* params);

// Polls until remote access no longer knows the connection, at most the given time.
void WaitForHangUp(ras::Handle h) {
    DWORD start = GetTickCount();
    ras::ConnectStatus status;
    for (;;) {
        memset(&status, 0, sizeof status);
        status.size = ras::kConnectStatusSize;
        if (_Ras.RasGetConnectStatusA(h, &status) != 0) return;
        if (GetTickCount() - start >= WINSOCKINTERFACE::HangUpWaitMs) return;
        Sleep(50);
    }
}

}  // namespace

WINSOCKINTERFACE::WINSOCKINTERFACE(const char* text)
    : TCPINTERFACE(text), dialCounted(0), twoPhase(0), secondPhase(0), optionsRestored(0), remoteDefaultGateway(0),
      routeAdded(0), rasHandle(nullptr), connectionState(ras::kStateDisconnected), lastError(0),
      lastExtendedError(0), dialArgument(0), lastNotice(0) {
    memset(portRecord, 0, sizeof portRecord);
    memset(&dialParams, 0, sizeof dialParams);
}

WINSOCKINTERFACE::~WINSOCKINTERFACE() { endRASDialing(0); }

void WINSOCKINTERFACE::SetControl(WINSOCKCONTROL* control, BBOOL isSecondary) {
    serviceControl = control;
    secondary = control ? isSecondary : 0;
}

void WINSOCKINTERFACE::Notify(const char* text) {
    if (pStatusNotifier) pStatusNotifier(this, text);
}

// ---- dialing -------------------------------------------------------------

BBOOL WINSOCKINTERFACE::Connect(BBOOL notify) {
    if (!connecting) secondPhase = 0;
    state = LINE_OPENING;
    connected = dropped = down = failed = linkFailure = 0;
    lastError = lastExtendedError = 0;
    managed = 0;
    connecting = 1;
    QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "csi", "Interface Connect", name, lineNumber);
    BBOOL ok = _RasLoaded;
    const char* reason = LineReasonNoRemoteAccess;
    if (rasHandle && _RasLoaded) hangUpHandle(1);
    if (secondary) {
        WINSOCKCONTROL* control = Control();
        if (!control || !WINSOCKCONTROL::pConfigProfile || !WINSOCKCONTROL::pConfigProfile->loaded) {
            ok = 0;
            reason = LineReasonNoProfile;
        } else {
            BBOOL done = connectSecondary(notify, &reason);
            if (done != 2) return done;
            if (reason == LineReasonNoCopy) ok = 0;
        }
    }
    if (!ok) {
        connecting = 0;
        state = LINE_NOT_INSTALLED;
        if (notify) Notify(reason);
        return 0;
    }
    return dialRemoteAccess(notify);
}

// The secondary line's own steps: 0 or 1 when they decided the dial, 2 when
// remote access dials next (reason set to the copy's failure when it failed).
BBOOL WINSOCKINTERFACE::connectSecondary(BBOOL notify, const char** reason) {
    WINSOCKCONTROL* control = Control();
    if (control->IsWinSockBusy()) {
        state = LINE_BUSY;
        Notify(nullptr);
        connecting = 0;
        return 0;
    }
    if (!(twoPhase && secondPhase)) {
        char setup[256];
        ReadConfig(ControlSection, "Dialer Setup", setup, sizeof setup);
        char words[4][64] = {};
        char* cursor = setup;
        for (auto& w : words) {
            if (_ScanWord(&cursor, w, sizeof w, 1, 0, ",") < 0) break;
            if (*cursor == ',') cursor++;
        }
        if (words[0][0] && words[1][0] && words[2][0] && words[3][0]) {
            char path[MAX_PATH];
            ConfigPath(path, words[0]);
            WritePrivateProfileStringA(words[1], words[2], words[3], path);
            WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
        }
    }
    if (!twoPhase || secondPhase) {
        if (notify && !twoPhase) Notify(nullptr);
        if (secondPhase) {
            char dll[64], function[64], profile[64];
            ReadConfig(DialerSection, "Conversion DLL", dll, sizeof dll);
            ReadConfig(DialerSection, "Conversion Function", function, sizeof function);
            ReadConfig(DialerSection, "Conversion Profile", profile, sizeof profile);
            if (dll[0] && function[0] && profile[0]) {
                char path[MAX_PATH];
                ConfigPath(path, profile);
                if (HMODULE library = LoadLibraryA(dll)) {
                    CONVERTFN convert = reinterpret_cast<CONVERTFN>(reinterpret_cast<void*>(GetProcAddress(library, function)));
                    if (convert) convert(name, path, portRecord, &dialParams);
                    FreeLibrary(library);
                }
            }
        }
        managed = 1;
        lastNotice = TIMESTAMP::Now();  // the stack's dial is given its own two minutes
        if (control->LoadWinSockAsync()) return 1;
        // The stack's event thread could not start: the dial ends here, not half-open.
        endRASDialing(0);
        managed = 0;
        connecting = 0;
        failed = 1;
        state = LINE_UNABLE;
        if (notify) Notify(nullptr);
        return 0;
    }
    char oldSmm[64], newSmm[64], oldRas[64], newRas[64];
    ReadConfig(DialerSection, "Old SMM DLL", oldSmm, sizeof oldSmm);
    ReadConfig(DialerSection, "New SMM DLL", newSmm, sizeof newSmm);
    ReadConfig(DialerSection, "Old RAS DLL", oldRas, sizeof oldRas);
    ReadConfig(DialerSection, "New RAS DLL", newRas, sizeof newRas);
    if (oldSmm[0] && newSmm[0] && oldRas[0] && newRas[0]) {
        char system[256];
        if (!GetSystemDirectoryA(system, sizeof system)) system[0] = 0;
        if (_ModifyBinaryFile(system, oldSmm, newSmm, oldRas, newRas) < 1) *reason = LineReasonNoCopy;
    }
    return 2;
}

BBOOL WINSOCKINTERFACE::dialRemoteAccess(BBOOL notify) {
    if (WINSOCKCONTROL::WinSockLimitDialing && RasDialCount) {
        state = LINE_BUSY;
        Notify(nullptr);
        connecting = 0;
        return 0;
    }
    memset(&dialParams, 0, sizeof dialParams);
    dialParams.size = ras::kDialParamsSize;
    _strzcpy(dialParams.entryName, name, sizeof dialParams.entryName);
    BOOL passwordSaved = 0;
    DWORD rc = _Ras.RasGetEntryDialParamsA(nullptr, &dialParams, &passwordSaved);
    if (rc) {
        lastError = rc;
        notifyRASError();
        connecting = 0;
        return 0;
    }
    if (pDialerParms && (!dialParams.userName[0] || !dialParams.password[0])) {
        BUFFER user(dialParams.userName, sizeof dialParams.userName);
        BUFFER password(dialParams.password, sizeof dialParams.password);
        BUFFER domain(dialParams.domain, sizeof dialParams.domain);
        if (!pDialerParms(this, user, password, domain)) {
            connecting = 0;
            state = LINE_CANCELLED;
            if (notify) Notify(nullptr);
            return 0;
        }
        // The prompt's buffers are cut to size; keep every field terminated.
        dialParams.userName[sizeof dialParams.userName - 1] = 0;
        dialParams.password[sizeof dialParams.password - 1] = 0;
        _Ras.RasSetEntryDialParamsA(nullptr, &dialParams, FALSE);
    }
    writeConnection();
    managed = 1;
    secondPhase = 0;
    {
        DialLockHold hold;
        dialCounted = 1;
        InterlockedIncrement(&RasDialCount);
        lastNotice = TIMESTAMP::Now();
    }
    // Written by RasDialA itself, before any notification can look for it.
    rc = _Ras.RasDialA(nullptr, nullptr, &dialParams, ras::kNotifierFunc1, reinterpret_cast<void*>(WinSockRasDialFunc),
                       const_cast<ras::Handle*>(&rasHandle));
    lastError = rc;
    QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "csspi", "RasDial", name, dialParams.entryName, (void*)rasHandle, (int)rc);
    if (rc == 0) {
        if (notify) Notify(nullptr);
        return 1;
    }
    endRASDialing(0);
    failed = 1;
    connecting = 0;
    notifyRASError();
    if (_pTCPIPInterfaces) {
        MSEMHOLD hold(_pTCPIPInterfaces->lock);
        getRASInterfaces(nullptr);
    }
    return 0;
}

void WINSOCKINTERFACE::writeConnection() {
    SetConnectionValue("CurrentPBEntry", name);
    SetConnectionValue("LineAccess", secondary ? "Secondary" : "Primary");
    SetConnectionValue("UserName", dialParams.userName);
    SetConnectionValue("ComPort", "");
    SetConnectionValue("Status", "Dialing");
    SetConnectionValue("ConnectSpeed", "0");
    if (secondary && WINSOCKCONTROL::pConfigProfile && WINSOCKCONTROL::pConfigProfile->loaded) {
        for (const char* key : {"Use RTS", "Allow PAP Login", "Check DSR", "Check RLSD"}) {
            char value[256];
            ReadConfig(DialerSection, key, value, sizeof value);
            if (value[0]) SetConnectionValue(key, value);
        }
    }
    if (ras::Entry* entry = RasGetPhoneBookEntry(name)) {
        char phone[ras::kPhoneSize];
        _strzcpy(phone, entry->localPhoneNumber, sizeof phone);
        SetConnectionValue("PhoneNumber", phone);
        RasFreePhoneBookEntry(entry);
    }
}

// ---- following the connection ---------------------------------------------

void WINAPI WinSockRasDialFunc(ras::Handle conn, UINT, DWORD state, DWORD error, DWORD extendedError) {
    if (!_pTCPIPInterfaces || !conn) return;
    WINSOCKINTERFACE* line = nullptr;
    {
        CITERATOR<TCPINTERFACE> it;
        for (TCPINTERFACE* i = it.Begin(*_pTCPIPInterfaces); i; i = it.Next()) {
            WINSOCKINTERFACE* w = dynamic_cast<WINSOCKINTERFACE*>(i);
            if (w && w->rasHandle == conn) {
                line = w;
                line->prepare();
                break;
            }
        }
        it.End();
    }
    if (!line) return;
    line->rasNotice(state, error, extendedError);
    line->freeobj();
}

void WINSOCKINTERFACE::rasNotice(DWORD rasState, DWORD error, DWORD extendedError) {
    lastNotice = TIMESTAMP::Now();
    if (down) return;
    if (error == 0) {
        if (connecting || connected) getInterfaceStatus(rasState, 1, 1);
        return;
    }
    if (error == ras::kErrorSessionRecorded && twoPhase) {
        // The remote-access phase ended as planned; the dial stays counted for the stack's.
        secondPhase = 1;
        state = LINE_NEGOTIATING;
        Notify(nullptr);
        return;
    }
    endRASDialing(0);
    connected = 0;
    failed = 1;
    connecting = 0;
    lastError = error;
    lastExtendedError = extendedError;
    notifyRASError();
}

BBOOL WINSOCKINTERFACE::getInterfaceStatus(DWORD rasState, BBOOL given, BBOOL notify) {
    if (!given) {
        if (!_RasLoaded) return 0;
        if (!rasHandle) {
            rasState = ras::kStateDisconnected;
        } else {
            ras::ConnectStatus status = {};
            status.size = ras::kConnectStatusSize;
            if (_Ras.RasGetConnectStatusA(rasHandle, &status) != 0) {
                getInterfaceStatus(ras::kStateDisconnected, 1, notify);
                return 0;
            }
            rasState = status.state;
        }
    }
    if (rasState != connectionState) {
        connectionState = rasState;
        QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "csi", "Interface State", name, (int)rasState);
        if (rasState == ras::kStateConnected) {
            endRASDialing(1);
            ras::PppIp ip = {};
            ip.size = ras::kPppIpSize;
            DWORD bytes = sizeof ip;
            if (rasHandle && _Ras.RasGetProjectionInfoA(rasHandle, ras::kProjectionPppIp, &ip, &bytes) == 0) {
                ip.address[sizeof ip.address - 1] = 0;
                WINSOCKCONTROL::EnableConnection(this, ip.address);
            } else {
                connected = 0;
                failed = 1;
            }
        } else if (rasState == ras::kStateDisconnected) {
            connected = 0;
            dropped = 1;
            connecting = 0;
            endRASDialing(0);
            if (rasHandle && (!pStatusNotifier || !notify)) {
                QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "cs", "RasHangUp", name);
                _Ras.RasHangUpA(rasHandle);
                managed = 0;
                rasHandle = nullptr;
            }
        } else if (!connected) {
            connecting = 1;
        }
    }
    int status = connected ? LINE_CONNECTED : dropped ? LINE_DROPPED : StatusOfState(rasState);
    if (status && status != state) {
        state = status;
        if (notify) Notify(nullptr);
    }
    return 1;
}

void WINSOCKINTERFACE::endRASDialing(BBOOL success) {
    {
        DialLockHold hold;
        if (dialCounted) {
            dialCounted = 0;
            InterlockedDecrement(&RasDialCount);
            SetConnectionValue("Status", success ? "Complete" : "Failed");
        }
    }
    if (!success) return;
    bytesReceived = 0;
    bytesSent = 0;
    memset(statistics, 0, sizeof statistics);
    stamps[0] = stamps[1] = TIMESTAMP(TIMESTAMP::Now(), 0);
    if (_RasRnaLoaded) {
        ras::DevicePort port = {};
        port.size = ras::kDevicePortSize;
        if (_Ras.RnaGetDevicePort(rasHandle, &port) == 0) statistics[StatisticSpeed] = (long)port.speed;
    }
    if (statistics[StatisticSpeed] == 0 && _SystemIsWindows95) {
        char text[16] = "";
        WinRegModifyLocalKey(CurrentConnectionKey, "ConnectSpeed", nullptr, BUFFER(text, sizeof text));
        statistics[StatisticSpeed] = _atol(text);
    }
}

void WINSOCKINTERFACE::notifyRASError() {
    QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "csiii", "RAS Error", name, (int)connectionState, (int)lastError, (int)lastExtendedError);
    if (pStatusNotifier) {
        char text[128] = "";
        if (_RasLoaded && _Ras.RasGetErrorStringA(lastError, text, sizeof text) == 0) {
            text[sizeof text - 1] = 0;
            state = LINE_RAS_ERROR;
        } else {
            _cvtltoa((long)lastError, text, 10);
            state = LINE_RAS_ERROR_NUMBER;
        }
        pStatusNotifier(this, text);
        return;
    }
    // Hung up whether or not data moved: a failed dial's connection would stay with remote access.
    if (rasHandle) {
        QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "cs", "RasHangUp", name);
        _Ras.RasHangUpA(rasHandle);
        managed = 0;
    }
    rasHandle = nullptr;
}

// ---- hanging up ------------------------------------------------------------

void WINSOCKINTERFACE::hangUpHandle(BBOOL wait) {
    ras::Handle h = rasHandle;
    if (!h) return;
    QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "cs", "RasHangUp", name);
    _Ras.RasHangUpA(h);
    if (wait) WaitForHangUp(h);
    rasHandle = nullptr;
}

void WINSOCKINTERFACE::Disconnect(BBOOL wait, BBOOL arg) {
    if (down) return;
    BBOOL firstPhase = twoPhase && !secondPhase && connecting;
    down = 1;
    connected = 0;
    managed = 0;
    secondPhase = 0;
    connecting = 0;
    connectionState = ras::kStateDisconnected;
    QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "csi", "Interface Disconnect", name, lineNumber);
    // The links go first (error 9990), as the interface's own disconnect would end them.
    EndLinks();
    if (secondary && Control()) {
        if (firstPhase)
            Control()->UnloadWinSock(1, 0, 0);
        else
            Control()->UnloadWinSockAsync(wait);
    }
    if (rasHandle && _RasLoaded) {
        hangUpHandle(wait);
        endRASDialing(0);
    }
    TCPINTERFACE::Disconnect(wait, arg);
}

BBOOL WINSOCKINTERFACE::CheckInterfaceStatus(BBOOL notify) {
    if (down) return 0;
    if (expireIfSilent()) return 0;
    if (failed) {
        if (secondary) return 0;
        getInterfaceStatus(0, 0, 0);
        return LINKINTERFACE::CheckInterfaceStatus(1);
    }
    if (linkFailure) {
        getInterfaceStatus(ras::kStateDisconnected, 1, notify);
        return 0;
    }
    if (secondary) {
        WINSOCKCONTROL* control = Control();
        if (control && control->IsWinSockReady())
            connected = 1;
        else if (!connecting)
            getInterfaceStatus(ras::kStateDisconnected, 1, notify);
    } else if (!connecting && !RasDialCount) {
        getInterfaceStatus(0, 0, notify);
    }
    return LINKINTERFACE::CheckInterfaceStatus(1);
}
