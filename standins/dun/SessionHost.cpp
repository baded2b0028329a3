#include "SessionHost.h"

#include <cstdio>
#include <cstring>

#include "HostDevices.h"
#include "JournalLine.h"
#include "StandInFormat.h"

namespace standin {
namespace {

template <class T>
T* At(BYTE* base, DWORD rva) {
    return reinterpret_cast<T*>(base + rva);
}

// Writes every import slot of the module, as the loader would have.
bool BindImports(BYTE* base) {
    IMAGE_NT_HEADERS* nt = At<IMAGE_NT_HEADERS>(base, DWORD(reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew));
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return true;
    for (IMAGE_IMPORT_DESCRIPTOR* d = At<IMAGE_IMPORT_DESCRIPTOR>(base, dir.VirtualAddress); d->Name; d++) {
        HMODULE library = LoadLibraryA(At<char>(base, d->Name));
        if (!library) return false;
        DWORD names = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
        IMAGE_THUNK_DATA* name = At<IMAGE_THUNK_DATA>(base, names);
        IMAGE_THUNK_DATA* slot = At<IMAGE_THUNK_DATA>(base, d->FirstThunk);
        for (; name->u1.AddressOfData; name++, slot++) {
            FARPROC f;
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) {
                f = GetProcAddress(library, reinterpret_cast<LPCSTR>(IMAGE_ORDINAL(name->u1.Ordinal)));
            } else {
                const char* fn = reinterpret_cast<const char*>(
                    At<IMAGE_IMPORT_BY_NAME>(base, DWORD(name->u1.AddressOfData))->Name);
                f = HostReplacement(fn);
                if (!f) f = GetProcAddress(library, fn);
            }
            if (!f) return false;
            DWORD old;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &old);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(f);
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, old, &old);
        }
    }
    return true;
}

std::string Hex32(uint32_t v) { return std::to_string(v); }

template <class F>
F Bound(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

HMODULE LoadHostedModule(const char* path) {
    HMODULE module = LoadLibraryExA(path, nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!module) return nullptr;
    BYTE* base = reinterpret_cast<BYTE*>(module);
    if (!BindImports(base)) {
        FreeLibrary(module);
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    IMAGE_NT_HEADERS* nt = At<IMAGE_NT_HEADERS>(base, DWORD(reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew));
    auto entry = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE, DWORD, void*)>(
        reinterpret_cast<void (*)()>(base + nt->OptionalHeader.AddressOfEntryPoint));
    if (!entry(module, DLL_PROCESS_ATTACH, nullptr)) {
        FreeLibrary(module);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return module;
}

SessionHost& SessionHost::Instance() {
    static SessionHost host;
    return host;
}

SessionHost::Module& SessionHost::Load(const std::string& path) {
    auto found = modules_.find(path);
    if (found != modules_.end()) return found->second;
    Module& m = modules_[path];
    m.module = LoadHostedModule(path.c_str());
    m.error = m.module ? 0 : GetLastError();
    JournalLine(kDunHost, "load").Field("module", path).Result(long(m.error)).Append();
    if (!m.module) return m;
    auto init = Bound<ras::RnaSessInitializeFn>(m.module, "RnaSessInitialize");
    m.table.size = ras::kSessionTableSize;
    char protocol[] = "PPP";
    m.error = init ? init(protocol, &m.table) : ERROR_PROC_NOT_FOUND;
    JournalLine(kDunHost, "RnaSessInitialize")
        .Field("size", long(m.table.size))
        .Field("start", long(m.table.start != nullptr))
        .Field("stop", long(m.table.stop != nullptr))
        .Result(long(m.error))
        .Append();
    return m;
}

DWORD SessionHost::Start(const std::string& path, ras::Handle conn, const Scenario& s, const std::string& section,
                         const std::string& entry, bool* pending) {
    std::lock_guard<std::mutex> one(startLock_);
    *pending = false;
    ras::SessStartFn start = nullptr;
    ras::SessStopFn stop = nullptr;
    {
        std::lock_guard<std::mutex> hold(lock_);
        Module& m = Load(path);
        if (m.error) return m.error;
        start = m.table.start;
        stop = m.table.stop;
    }
    ras::SessionInfo info = {};
    info.size = uint32_t(s.GetNumber(section, "SessionSize", long(ras::kSessionInfoSize)));
    std::snprintf(info.entryName, sizeof info.entryName, "%s", entry.c_str());
    info.noPort = uint32_t(s.GetNumber(section, "SessionNoPort", 0));
    JournalLine j(kDunHost, "SMMSessStart");
    j.Field("handle", Hex32(ras::HandleField(conn))).Field("size", long(info.size)).Field("entry", entry);
    long threads = HostedThreadCount();
    DWORD result = start ? start(conn, &info) : ERROR_PROC_NOT_FOUND;
    *pending = result == 0 && HostedThreadCount() != threads;
    j.Field("pending", long(*pending)).Result(long(result)).Append();
    if (result == 0) {
        std::lock_guard<std::mutex> hold(lock_);
        started_[ras::HandleField(conn)] = stop;
    }
    return result;
}

bool SessionHost::Stop(ras::Handle conn) {
    ras::SessStopFn stop = nullptr;
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = started_.find(ras::HandleField(conn));
        if (it == started_.end()) return false;
        stop = it->second;
        started_.erase(it);
    }
    // Said before the call: the module's threads may answer while it runs.
    JournalLine(kDunHost, "stopping").Field("handle", Hex32(ras::HandleField(conn))).Append();
    DWORD result = stop ? stop(conn) : ERROR_PROC_NOT_FOUND;
    JournalLine(kDunHost, "SMMSessStop").Field("handle", Hex32(ras::HandleField(conn))).Result(long(result)).Append();
    ReleaseHeldThreads();
    return true;
}

}  // namespace standin
