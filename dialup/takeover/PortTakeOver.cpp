#include "PortTakeOver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SessionProps.h"

const char kTrapDriverName[] = "\\\\.\\QVWINVXD.VXD";

namespace {

const char kModemClassBase[] = "System\\CurrentControlSet\\Services\\Class\\";
const DWORD kModemDsr = 0x20;   // MS_DSR_ON
const DWORD kModemRlsd = 0x80;  // MS_RLSD_ON
const DWORD kSaveSize = 16;
const DWORD kDriverAnswer = 256;

template <class F>
F Bound(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// A signal is checked unless its switch exists and says anything but "no".
bool SignalChecked(HKEY key, const char* name) {
    char value[257];
    return !ReadConnectionText(key, name, value, sizeof value) || lstrcmpiA(value, "no") == 0;
}

// The telephony layer's handle of the connected port: 0, or an error with
// *port left null.
DWORD PortFromLine(const ras::DevicePort& device, HANDLE* port) {
    *port = nullptr;
    HMODULE tapi = LoadLibraryA("TAPI32.DLL");
    auto getId = tapi ? Bound<ras::LineGetIdFn>(tapi, "lineGetID") : nullptr;
    if (!getId) {
        DWORD error = tapi ? ERROR_PROC_NOT_FOUND : GetLastError();
        if (tapi) FreeLibrary(tapi);
        return error;
    }
    ras::VarString probe = {};
    probe.totalSize = ras::kVarStringSize;
    LONG rc = getId(device.line, device.addressId, device.call, ras::kLineCallSelectLine, &probe, ras::kDataModemClass);
    DWORD error = DWORD(rc);
    if (rc == 0) {
        // Room for at least the handle behind the header, whatever the size probe said.
        DWORD size = probe.neededSize > ras::kVarStringSize + 4 ? probe.neededSize : ras::kVarStringSize + 4;
        ras::VarString* id = static_cast<ras::VarString*>(LocalAlloc(LPTR, size));
        if (!id) {
            error = ERROR_OUTOFMEMORY;
        } else {
            id->totalSize = size;
            error = DWORD(getId(device.line, device.addressId, device.call, ras::kLineCallSelectLine, id,
                                ras::kDataModemClass));
            uint32_t handle = 0;
            if (error == 0) std::memcpy(&handle, reinterpret_cast<const char*>(id) + ras::kVarStringSize, 4);
            if (error == 0 && !handle) error = ERROR_INVALID_HANDLE;
            *port = error == 0 ? ras::HandleFromField(handle) : nullptr;
            LocalFree(id);
        }
    }
    FreeLibrary(tapi);
    return error;
}

void DropCall(const ras::DevicePort& device) {
    HMODULE tapi = LoadLibraryA("TAPI32.DLL");
    auto drop = tapi ? Bound<ras::LineDropFn>(tapi, "lineDrop") : nullptr;
    if (drop) drop(device.call, nullptr, 0);
    if (tapi) FreeLibrary(tapi);
}

DWORD CheckSignals(HKEY key, HANDLE port) {
    bool dsr = SignalChecked(key, "Check DSR"), rlsd = SignalChecked(key, "Check RLSD");
    DWORD status = 0;
    if (!GetCommModemStatus(port, &status)) return GetLastError();
    if ((dsr && !(status & kModemDsr)) || (rlsd && !(status & kModemRlsd))) return ras::kErrorNoCarrier;
    return 0;
}

void DisableRts(HANDLE port) {
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    SetCommState(port, &dcb);
}

// The driver takes the port: 0, or its open error or first refusal.
DWORD HandOver(const ras::DevicePort& device, PORTRECORD* record) {
    if (TrapDriver().handle == INVALID_HANDLE_VALUE) return TrapDriver().openError;
    if (!record->portId) record->portId = device.port;
    BYTE saved[kSaveSize] = {}, answer[kDriverAnswer];
    bool named = record->name[0] != 0;
    DWORD error = 0;
    if (named) error = TrapDriverCall(DRIVER_SAVE_PORT, record->name, DWORD(std::strlen(record->name) + 1), saved, kSaveSize);
    if (!error) error = TrapDriverCall(DRIVER_TAKE_PORT, &record->portId, 4, answer, sizeof answer);
    if (!error && named) error = TrapDriverCall(DRIVER_RESTORE_PORT, saved, kSaveSize, nullptr, 0);
    return error;
}

// The modem whose "DriverDesc" is the device name (without a " #n" ending,
// which picks the n-th of that name): its "AttachedTo" port, or "".
std::string ModemPort(const char* deviceName) {
    std::string name(deviceName);
    long index = 0;
    size_t hash = name.find('#');
    if (hash != std::string::npos) {
        char* end;
        index = std::strtol(name.c_str() + hash + 1, &end, 10) - 1;
        if (end == name.c_str() + hash + 1 || *end || index < 0) return "";
        name.erase(hash > 0 ? hash - 1 : 0);
    }
    std::string classKey = std::string(kModemClassBase) + "Modem";
    HKEY modems;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, classKey.c_str(), 0, KEY_READ, &modems) != ERROR_SUCCESS) return "";
    std::string port;
    char sub[256];
    for (DWORD i = 0; port.empty(); i++) {
        DWORD len = sizeof sub;
        if (RegEnumKeyExA(modems, i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY modem;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (classKey + "\\" + sub).c_str(), 0, KEY_READ, &modem) != ERROR_SUCCESS)
            continue;
        char desc[129], attached[65];
        if (ReadConnectionText(modem, "DriverDesc", desc, sizeof desc) && name == desc && index-- == 0 &&
            ReadConnectionText(modem, "AttachedTo", attached, sizeof attached))
            port = attached;
        RegCloseKey(modem);
    }
    RegCloseKey(modems);
    return port;
}

void RecordPort(SESSIONCTX* session, PORTRECORD* record, const char* name) {
    WriteConnectionText(session->key, "ComPort", name);
    std::snprintf(record->name, sizeof record->name, "%.31s", name);
}

}  // namespace

TRAPDRIVER& TrapDriver() {
    static TRAPDRIVER driver;
    return driver;
}

void OpenTrapDriver() {
    TRAPDRIVER& d = TrapDriver();
    // Access, sharing, disposition and flags all 0: how a dynamically loaded driver opens.
    d.handle = CreateFileA(kTrapDriverName, 0, 0, nullptr, 0, 0, nullptr);
    d.openError = d.handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (d.handle == INVALID_HANDLE_VALUE && !d.openError) d.openError = ERROR_FILE_NOT_FOUND;
}

void CloseTrapDriver() {
    TRAPDRIVER& d = TrapDriver();
    if (d.handle == INVALID_HANDLE_VALUE) return;
    CloseHandle(d.handle);
    // Deleting by name unloads a dynamically loaded driver.
    DeleteFileA(kTrapDriverName);
    d.handle = INVALID_HANDLE_VALUE;
}

DWORD TrapDriverCall(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
    DWORD got = 0;
    if (DeviceIoControl(TrapDriver().handle, code, const_cast<void*>(in), inSize, out, outSize, &got, nullptr)) return 0;
    DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

BOOL _GetCommPort(SESSIONCTX* session, const ras::DevicePort*, PORTRECORD* record) {
    ras::ConnectStatus status = {};
    status.size = ras::kConnectStatusSize;
    auto getStatus = session->ras.library
                         ? Bound<ras::RasGetConnectStatusFn>(session->ras.library, "RasGetConnectStatusA")
                         : nullptr;
    if (!getStatus || getStatus(session->conn, &status) != 0) {
        WriteConnectionText(session->key, "ComPort", " ");
        return FALSE;
    }
    status.deviceName[sizeof status.deviceName - 1] = 0;
    if (TrapDriver().handle != INVALID_HANDLE_VALUE) {
        *record = PORTRECORD{0, {}, record->clearRts};
        char answer[kDriverAnswer + 1] = {};
        if (TrapDriverCall(DRIVER_FIND_PORT, status.deviceName, DWORD(std::strlen(status.deviceName) + 1), answer,
                           kDriverAnswer) == 0) {
            std::memcpy(&record->portId, answer, 4);
            RecordPort(session, record, answer + 4);
            return TRUE;
        }
    }
    std::string port = ModemPort(status.deviceName);
    if (port.empty()) {
        WriteConnectionText(session->key, "ComPort", " ");
        return FALSE;
    }
    RecordPort(session, record, port.c_str());
    return TRUE;
}

DWORD _UseConnection(SESSIONCTX* session, BOOL takeOver, const ras::Entry* entry) {
    ras::DevicePort device = {};
    device.size = ras::kDevicePortSize;
    DWORD error = session->ras.devicePort ? session->ras.devicePort(session->conn, &device) : ERROR_PROC_NOT_FOUND;
    if (error) return error;
    HANDLE port;
    if ((error = PortFromLine(device, &port)) != 0) return error;
    if ((error = CheckSignals(session->key, port)) != 0) {
        CloseHandle(port);
        return error;
    }
    PORTRECORD record;
    _GetSessionProps(session, port, &record, entry);
    if (!takeOver) {
        CloseHandle(port);
        return 0;
    }
    if (record.clearRts) DisableRts(port);
    error = HandOver(device, &record);
    CloseHandle(port);
    DropCall(device);
    if (session->key) {
        if (!error) error = DWORD(WriteConnectionText(session->key, "Status", "Negotiating"));
        RegCloseKey(session->key);
        session->key = nullptr;
    }
    return error;
}
