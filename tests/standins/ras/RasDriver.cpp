#include "RasDriver.h"

#include <cstdio>
#include <cstring>
#include <mutex>


namespace {

std::mutex g_lock;
std::vector<std::string> g_notes;
bool g_handleFirst = true;
ras::Handle volatile g_handle = nullptr;
HANDLE g_ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);

void WINAPI OnDialEvent(ras::Handle conn, UINT message, DWORD state, DWORD error, DWORD ext) {
    std::lock_guard<std::mutex> hold(g_lock);
    if (conn != g_handle || message != ras::kDialEventMessage) g_handleFirst = false;
    g_notes.push_back(std::to_string(state) + "/" + std::to_string(error));
    if (error || state == ras::kStateConnected) SetEvent(g_ended);
}

template <typename F>
void Bind(HMODULE m, F& fn, const char* name) {
    fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

}  // namespace

HMODULE RasDriver::LoadFromSearchPath(const char* name) {
    OFSTRUCT found = {};
    found.cBytes = sizeof found;
    if (OpenFile(name, &found, OF_EXIST) == HFILE_ERROR) return nullptr;
    return LoadLibraryA(found.szPathName);
}

bool RasDriver::Load(const char* name) {
    library = LoadFromSearchPath(name);
    if (!library) {
        std::printf("load=failed\n");
        return false;
    }
    Bind(library, dial, "RasDialA");
    Bind(library, hangUp, "RasHangUpA");
    Bind(library, status, "RasGetConnectStatusA");
    Bind(library, enumConnections, "RasEnumConnectionsA");
    Bind(library, enumEntries, "RasEnumEntriesA");
    Bind(library, getDialParams, "RasGetEntryDialParamsA");
    Bind(library, setDialParams, "RasSetEntryDialParamsA");
    Bind(library, errorString, "RasGetErrorStringA");
    Bind(library, projection, "RasGetProjectionInfoA");
    Bind(library, createEntry, "RasCreatePhonebookEntryA");
    Bind(library, editEntry, "RasEditPhonebookEntryA");
    Bind(library, getProperties, "RasGetEntryPropertiesA");
    Bind(library, setProperties, "RasSetEntryPropertiesA");
    Bind(library, devicePort, "RnaGetDevicePort");
    // Where remote access lacks the entry properties, RNAPH.DLL has them.
    if (!getProperties) {
        HMODULE rnaph = LoadFromSearchPath("RNAPH.DLL");
        if (rnaph) {
            Bind(rnaph, getProperties, "RasGetEntryPropertiesA");
            Bind(rnaph, setProperties, "RasSetEntryPropertiesA");
        }
    }
    return true;
}

DWORD RasDriver::Dial(const char* entry, ras::Handle* handle, unsigned waitMs) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_notes.clear();
        g_handleFirst = true;
        ResetEvent(g_ended);
    }
    ras::DialParams params;
    std::memset(&params, 0, sizeof params);
    params.size = ras::kDialParamsSize;
    std::snprintf(params.entryName, sizeof params.entryName, "%s", entry);
    std::snprintf(params.userName, sizeof params.userName, "user1");
    // The notifications may start before RasDialA returns; the handle they
    // carry must already be in the variable RasDialA writes to.
    g_handle = nullptr;
    DWORD rc = dial(nullptr, nullptr, &params, ras::kNotifierFunc1, reinterpret_cast<void*>(OnDialEvent),
                    const_cast<ras::Handle*>(&g_handle));
    *handle = g_handle;
    if (rc == 0 && waitMs) WaitForSingleObject(g_ended, waitMs);
    return rc;
}

std::vector<std::string> RasDriver::Notes() const {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_notes;
}

bool RasDriver::HandleWrittenFirst() const {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_handleFirst;
}

bool RasDriver::WaitNotes(size_t count, unsigned ms) const {
    DWORD start = GetTickCount();
    while (Notes().size() < count) {
        if (GetTickCount() - start > ms) return false;
        Sleep(5);
    }
    return true;
}
