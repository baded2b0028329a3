#include "HostDevices.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "JournalLine.h"
#include "RasRecords.h"
#include "Scenario.h"
#include "StandInFormat.h"

namespace standin {
namespace {

const size_t kSaveBytes = 16;  // code 3's answer

std::mutex g_lock;                // guards g_rts and g_held
DWORD g_rts = RTS_CONTROL_ENABLE;  // the fake port's RTS control, as last set
std::vector<HANDLE> g_held;       // threads held back, resumed at a hang-up
volatile LONG g_threads = 0;      // threads created through the hook (interlocked)

HANDLE Fake(unsigned long value) { return ras::HandleFromField(uint32_t(value)); }
bool IsDriver(HANDLE h) { return h == Fake(kFakeDriverHandle); }
bool IsModem(HANDLE h) { return h == Fake(kFakeModemHandle); }

std::string HandleText(HANDLE h) {
    char text[32];
    std::snprintf(text, sizeof text, "%lu", (unsigned long)reinterpret_cast<ULONG_PTR>(h));
    return text;
}

std::string Hex(const void* data, DWORD size) {
    std::string out;
    char pair[3];
    for (DWORD i = 0; data && i < size; i++) {
        std::snprintf(pair, sizeof pair, "%02x", static_cast<const unsigned char*>(data)[i]);
        out += pair;
    }
    return out;
}

JournalLine Line(const char* call, HANDLE h) {
    JournalLine j(kVxd, call);
    j.Field("handle", HandleText(h));
    return j;
}

bool Refused(const Scenario& s, DWORD code) {
    for (const std::string& c : s.GetList("Driver", "Refuse"))
        if (std::strtoul(c.c_str(), nullptr, 0) == code) return true;
    return false;
}

// The driver's answer to a code into out; false when it refuses.
bool DriverAnswer(DWORD code, void* out, DWORD outSize, DWORD* got) {
    Scenario s = Scenario::Load();
    *got = 0;
    if (Refused(s, code)) return false;
    unsigned char* o = static_cast<unsigned char*>(out);
    if (code == 2 && o && outSize >= 5) {
        uint32_t id = uint32_t(s.GetNumber("Driver", "PortId", 0x2002));
        std::memcpy(o, &id, 4);
        std::string name = s.Get("Driver", "PortName", "COM2");
        std::snprintf(reinterpret_cast<char*>(o) + 4, outSize - 4, "%s", name.c_str());
        *got = DWORD(4 + std::strlen(reinterpret_cast<char*>(o) + 4) + 1);
    } else if (code == 3 && o && outSize >= kSaveBytes) {
        for (size_t i = 0; i < kSaveBytes; i++) o[i] = static_cast<unsigned char>(0x30 + i);
        *got = kSaveBytes;
    }
    return true;
}

HANDLE WINAPI HostCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                              DWORD flags, HANDLE model) {
    JournalLine j(kVxd, "CreateFileA");
    j.Field("name", name ? name : "").Hex("access", access).Hex("share", share);
    j.Field("disposition", long(disposition)).Hex("flags", flags);
    if (name && lstrcmpiA(name, kDriverName) == 0) {
        j.Field("fake", 1L);
        if (Scenario::Load().GetNumber("Driver", "Open", 1) == 0) {
            j.Result(long(ERROR_FILE_NOT_FOUND)).Append();
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        j.Result(0).Append();
        return Fake(kFakeDriverHandle);
    }
    HANDLE h = CreateFileA(name, access, share, sa, disposition, flags, model);
    DWORD error = GetLastError();
    j.Result(h == INVALID_HANDLE_VALUE ? long(error) : 0L).Append();
    SetLastError(error);
    return h;
}

BOOL WINAPI HostDeviceIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD got,
                                LPOVERLAPPED overlapped) {
    JournalLine j = Line("DeviceIoControl", h);
    j.Field("code", long(code)).Field("in", Hex(in, inSize));
    if (!IsDriver(h)) {
        BOOL ok = DeviceIoControl(h, code, in, inSize, out, outSize, got, overlapped);
        DWORD error = GetLastError();
        j.Result(ok ? 0L : long(error)).Append();
        SetLastError(error);
        return ok;
    }
    DWORD n = 0;
    j.Field("fake", 1L);
    if (!DriverAnswer(code, out, outSize, &n)) {
        j.Result(long(kDriverRefusal)).Append();
        SetLastError(kDriverRefusal);
        return FALSE;
    }
    if (got) *got = n;
    j.Field("out", Hex(out, n)).Result(0).Append();
    return TRUE;
}

BOOL WINAPI HostCloseHandle(HANDLE h) {
    JournalLine j = Line("CloseHandle", h);
    if (IsDriver(h) || IsModem(h)) {
        j.Field("fake", 1L).Result(0).Append();
        return TRUE;
    }
    BOOL ok = CloseHandle(h);
    DWORD error = GetLastError();
    j.Result(ok ? 0L : long(error)).Append();
    SetLastError(error);
    return ok;
}

BOOL WINAPI HostDeleteFileA(LPCSTR name) {
    JournalLine j(kVxd, "DeleteFileA");
    j.Field("name", name ? name : "");
    if (name && lstrcmpiA(name, kDriverName) == 0) {
        j.Field("fake", 1L).Result(0).Append();
        return TRUE;
    }
    BOOL ok = DeleteFileA(name);
    DWORD error = GetLastError();
    j.Result(ok ? 0L : long(error)).Append();
    SetLastError(error);
    return ok;
}

BOOL WINAPI HostGetCommModemStatus(HANDLE h, LPDWORD status) {
    JournalLine j = Line("GetCommModemStatus", h);
    if (!IsModem(h)) {
        BOOL ok = GetCommModemStatus(h, status);
        DWORD error = GetLastError();
        j.Result(ok ? 0L : long(error)).Append();
        SetLastError(error);
        return ok;
    }
    Scenario s = Scenario::Load();
    j.Field("fake", 1L);
    long fails = s.GetNumber("Modem", "StatusFails", 0);
    if (fails) {
        j.Result(fails).Append();
        SetLastError(DWORD(fails));
        return FALSE;
    }
    DWORD bits = DWORD(s.GetNumber("Modem", "Status", 0xB0));
    if (status) *status = bits;
    j.Hex("status", bits).Result(0).Append();
    return TRUE;
}

BOOL WINAPI HostGetCommState(HANDLE h, LPDCB dcb) {
    JournalLine j = Line("GetCommState", h);
    if (!IsModem(h)) {
        BOOL ok = GetCommState(h, dcb);
        DWORD error = GetLastError();
        j.Result(ok ? 0L : long(error)).Append();
        SetLastError(error);
        return ok;
    }
    DWORD length = dcb->DCBlength;
    std::memset(dcb, 0, sizeof *dcb);
    dcb->DCBlength = length;
    dcb->BaudRate = DWORD(Scenario::Load().GetNumber("Modem", "Baud", 115200));
    dcb->ByteSize = 8;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        dcb->fRtsControl = g_rts;
    }
    j.Field("fake", 1L).Field("baud", long(dcb->BaudRate)).Field("rts", long(dcb->fRtsControl)).Result(0).Append();
    return TRUE;
}

BOOL WINAPI HostSetCommState(HANDLE h, LPDCB dcb) {
    JournalLine j = Line("SetCommState", h);
    if (!IsModem(h)) {
        BOOL ok = SetCommState(h, dcb);
        DWORD error = GetLastError();
        j.Result(ok ? 0L : long(error)).Append();
        SetLastError(error);
        return ok;
    }
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_rts = dcb->fRtsControl;
    }
    j.Field("fake", 1L).Field("baud", long(dcb->BaudRate)).Field("rts", long(dcb->fRtsControl)).Result(0).Append();
    return TRUE;
}

HANDLE WINAPI HostCreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stack, LPTHREAD_START_ROUTINE start, LPVOID arg,
                               DWORD flags, LPDWORD id) {
    bool hold = Scenario::Load().GetNumber("Session", "HoldThreads", 0) != 0;
    HANDLE thread = CreateThread(sa, stack, start, arg, flags | (hold ? CREATE_SUSPENDED : 0), id);
    DWORD error = GetLastError();
    if (thread) InterlockedIncrement(&g_threads);
    if (thread && hold) {
        HANDLE mine = nullptr;
        DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &mine, 0, FALSE, DUPLICATE_SAME_ACCESS);
        // A caller that starts it suspended resumes it once; the hold stays on top.
        if (flags & CREATE_SUSPENDED) SuspendThread(thread);
        std::lock_guard<std::mutex> lock(g_lock);
        g_held.push_back(mine);
    }
    JournalLine(kVxd, "CreateThread").Field("held", long(hold)).Result(thread ? 0L : long(error)).Append();
    SetLastError(error);
    return thread;
}

template <class F>
FARPROC Proc(F f) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

}  // namespace

FARPROC HostReplacement(const char* name) {
    const struct {
        const char* name;
        FARPROC f;
    } table[] = {
        {"CreateFileA", Proc(HostCreateFileA)},
        {"DeviceIoControl", Proc(HostDeviceIoControl)},
        {"CloseHandle", Proc(HostCloseHandle)},
        {"DeleteFileA", Proc(HostDeleteFileA)},
        {"GetCommModemStatus", Proc(HostGetCommModemStatus)},
        {"GetCommState", Proc(HostGetCommState)},
        {"SetCommState", Proc(HostSetCommState)},
        {"CreateThread", Proc(HostCreateThread)},
    };
    for (const auto& row : table)
        if (std::strcmp(row.name, name) == 0) return row.f;
    return nullptr;
}

long HostedThreadCount() { return InterlockedCompareExchange(&g_threads, 0, 0); }

void ReleaseHeldThreads() {
    std::vector<HANDLE> held;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        held.swap(g_held);
    }
    for (HANDLE t : held) {
        ResumeThread(t);
        CloseHandle(t);
    }
}

}  // namespace standin
