#include "SessionControl.h"

#include <cstring>
#include <string>

#include "AcbList.h"
#include "PortTakeOver.h"
#include "SessionProps.h"
#include "TrapModule.h"

namespace {

const char kRasLibrary[] = "RASAPI32.DLL";
const char kSecondary[] = "Secondary";

// References of the remote-access library taken by starts and given back by
// stops (interlocked). A session thread holds a reference of its own, so a
// stop cannot unload the library under it.
volatile LONG g_startRefs = 0;
HMODULE g_rasLibrary = nullptr;  // the library those references are of

template <class F>
F Bound(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

bool BindRas(HMODULE library, RASENTRIES* ras) {
    ras->library = library;
    ras->complete = Bound<ras::RnaCompleteFn>(library, "RnaComplete");
    ras->terminate = Bound<ras::RnaTerminateFn>(library, "RnaTerminate");
    ras->devicePort = Bound<ras::RnaGetDevicePortFn>(library, "RnaGetDevicePort");
    return ras->complete && ras->terminate && ras->devicePort;
}

void ReleaseStartRef() {
    LONG left = InterlockedDecrement(&g_startRefs);
    if (left >= 0) FreeLibrary(g_rasLibrary);
    else InterlockedIncrement(&g_startRefs);
}

bool Signalled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// A session the module does not serve: chained mode gives it to the regular
// module, take-over mode ends it with the error.
DWORD PassOn(ras::Handle conn, ras::SessionInfo* info, DWORD error) {
    TRAPMODULE& m = TrapModule();
    if (m.takeOver) return error;
    return m.regularStart ? m.regularStart(conn, info) : error;
}

std::string KeyPath() {
    char path[256] = "";
    LoadStringA(TrapModule().instance, IDS_TRAP_CONNECTION_KEY, path, sizeof path);
    return path;
}

// The device must be a modem on a serial port, and the session must want one.
DWORD CheckDevice(const RASENTRIES& ras, ras::Handle conn, const ras::SessionInfo* info) {
    ras::DevicePort device = {};
    device.size = ras::kDevicePortSize;
    DWORD error = ras.devicePort(conn, &device);
    if (error) return error;
    device.deviceType[sizeof device.deviceType - 1] = 0;
    if (info->noPort == 1 || lstrcmpiA(device.deviceType, "COM") != 0) return ras::kErrorPortNotAvailable;
    return 0;
}

bool HasNoLoginStep(const ras::Entry* entry) {
    const char* script = reinterpret_cast<const char*>(entry) + ras::kEntryScriptOffset;
    return !script[0] && !(entry->options & ras::kOptionTerminalAfterDial);
}

DWORD TakeOver(SESSIONCTX* session, const ras::Entry* entry) {
    DWORD r = _UseConnection(session, TRUE, entry);
    return r ? r : ras::kErrorSessionRecorded;
}

// One secondary-line session in chained mode: record, take over (at once,
// or after the regular module's script), report and wait for the stop.
DWORD WINAPI SMMSessThread(void* arg) {
    ACB* acb = static_cast<ACB*>(arg);
    ras::SessionInfo info = acb->info;
    HANDLE stop = acb->stopEvent, self = acb->thread;
    SESSIONCTX session = acb->session;
    TRAPMODULE& m = TrapModule();
    bool handed = false;  // the thread handle went to the host with the termination
    if (Signalled(stop)) {
        // Stopped before any work: the port is left alone.
        session.ras.terminate(session.conn, self);
        handed = true;
    } else {
        info.entryName[sizeof info.entryName - 1] = 0;
        ras::Entry* entry = _RasGetPhoneBookEntry(info.entryName);
        DWORD r = _UseConnection(&session, FALSE, entry);
        bool ran = false;
        if (entry && HasNoLoginStep(entry)) {
            ran = true;
            if (!r) r = TakeOver(&session, entry);
        } else if (m.regular && m.runScript && !r) {
            ran = true;
            r = m.runScript(session.conn, &info);
            if (!r && !Signalled(stop)) r = TakeOver(&session, entry);
        }
        if (!ran && !r && m.regularStart) r = m.regularStart(session.conn, &info);
        if (r) {
            ras::Completion done = {ras::kCompletionSize, r, {0, 0, 0}};
            session.ras.complete(session.conn, &done);
            WaitForSingleObject(stop, INFINITE);
            session.ras.terminate(session.conn, self);
            handed = true;
        } else if (Signalled(stop) && m.regularStop) {
            m.regularStop(session.conn);
        }
        if (entry) LocalFree(entry);
    }
    if (session.key) RegCloseKey(session.key);
    _CleanupACB(acb);
    CloseHandle(stop);
    if (!handed) CloseHandle(self);
    FreeLibrary(session.ras.library);
    return 0;
}

DWORD StartThread(ACB* acb) {
    // The thread's own reference: a stop may free the start's before the thread ends.
    acb->session.ras.library = LoadLibraryA(kRasLibrary);
    if (!acb->session.ras.library) return GetLastError();
    // Suspended until its ACB knows the thread.
    acb->thread = CreateThread(nullptr, kTrapSessionThreadStack, SMMSessThread, acb, CREATE_SUSPENDED, &acb->threadId);
    if (!acb->thread) {
        DWORD error = GetLastError();
        FreeLibrary(acb->session.ras.library);
        return error ? error : ERROR_NOT_ENOUGH_MEMORY;
    }
    ResumeThread(acb->thread);
    return 0;
}

// A secondary line: its ACB, then the take-over (take-over mode) or the session thread.
DWORD StartSecondary(ras::Handle conn, ras::SessionInfo* info, HKEY key, const RASENTRIES& ras) {
    ACB* acb = _FindACBFromConn(conn, true);
    if (!acb) {
        RegCloseKey(key);
        return ERROR_INVALID_HANDLE;
    }
    acb->info = *info;
    acb->session.key = key;
    acb->session.ras = ras;
    acb->stopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD error = acb->stopEvent ? 0 : GetLastError();
    if (!error) error = TrapModule().takeOver ? TakeOver(&acb->session, nullptr) : StartThread(acb);
    if (error) {
        if (acb->session.key) RegCloseKey(acb->session.key);
        if (acb->stopEvent) CloseHandle(acb->stopEvent);
        _CleanupACB(acb);
    }
    return error;
}

}  // namespace

DWORD WINAPI SMMSessStart(ras::Handle conn, ras::SessionInfo* info) {
    TRAPMODULE& m = TrapModule();
    if (!m.takeOver && !m.regularStart) return kTrapNoRegularStart;
    DWORD error = info && info->size == ras::kSessionInfoSize ? 0 : kTrapBadSessionInfo;
    HMODULE library = LoadLibraryA(kRasLibrary);
    if (!library) return GetLastError();
    RASENTRIES ras;
    if (!BindRas(library, &ras)) {
        FreeLibrary(library);
        error = kTrapNoRasEntries;
    } else {
        g_rasLibrary = library;
        InterlockedIncrement(&g_startRefs);
    }
    if (!error) error = CheckDevice(ras, conn, info);
    if (error) return PassOn(conn, info, error);

    HKEY key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath().c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS) return PassOn(conn, info, DWORD(rc));
    char access[257];
    ReadConnectionText(key, "LineAccess", access, sizeof access);
    if (lstrcmpiA(access, kSecondary) != 0) {
        SESSIONCTX session;
        session.conn = conn;
        session.key = key;
        session.ras = ras;
        _GetSessionProps(&session, nullptr, nullptr, nullptr);
        WriteConnectionText(key, "Status", "DUN");
        RegCloseKey(key);
        return PassOn(conn, info, 0);
    }
    return StartSecondary(conn, info, key, ras);
}

DWORD WINAPI SMMSessStop(ras::Handle conn) {
    TRAPMODULE& m = TrapModule();
    DWORD result = 0;
    if (!m.takeOver && !_SignalACBStop(conn) && m.regularStop) result = m.regularStop(conn);
    ReleaseStartRef();
    return result;
}

void ReleaseSessions(bool processEnding) {
    if (processEnding) return;
    while (g_startRefs > 0) ReleaseStartRef();
}
