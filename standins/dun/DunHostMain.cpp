// dunhost ENTRY[@start]...: Dial-Up Networking from a command line. Dials
// each entry through the remote-access library beside it (the Windows 95
// stand-in, which hosts the entry's session module), waits until every
// session has started (or its dial ended), then in order waits for each
// dial to end (not for one marked "@start") and hangs it up. Prints per dial i (from 1):
//   dial<i>=<RasDialA result>  handle<i>=<handle>
//   notes<i>=<state>/<error>,...  hangup<i>=<RasHangUpA result>
// and journals each dial (component dunhost, call dial).
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "JournalLine.h"
#include "RasRecords.h"
#include "StandInFolder.h"
#include "StandInFormat.h"

namespace {

std::mutex g_lock;
std::map<uint32_t, std::vector<std::string>> g_notes;  // by handle
std::map<uint32_t, bool> g_ended;

void WINAPI Notified(ras::Handle conn, UINT, DWORD state, DWORD error, DWORD) {
    std::lock_guard<std::mutex> hold(g_lock);
    uint32_t h = ras::HandleField(conn);
    g_notes[h].push_back(std::to_string(state) + "/" + std::to_string(error));
    if (error || state == ras::kStateConnected) g_ended[h] = true;
}

template <class F>
F Bound(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

bool Ended(uint32_t h) {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_ended[h];
}

bool SessionStarted(uint32_t h) {
    std::string text;
    FILE* f = std::fopen(standin::FolderFile(standin::kJournalFile).c_str(), "rb");
    if (!f) return false;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    std::fclose(f);
    // A line of the host's own start for this handle.
    std::string head = std::string("\t") + standin::kDunHost + "\tSMMSessStart\t";
    std::string handle = "\thandle=" + std::to_string(h) + "\t";
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at) + "\t";
        if (line.find(head) != std::string::npos && line.find(handle) != std::string::npos) return true;
        at = end + 1;
    }
    return false;
}

template <class P>
bool WaitUntil(P ready, DWORD ms) {
    for (DWORD start = GetTickCount(); !ready(); Sleep(10))
        if (GetTickCount() - start > ms) return false;
    return true;
}

struct DIAL {
    std::string entry;
    bool untilStart = false;
    ras::Handle handle = nullptr;
    DWORD result = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: dunhost ENTRY[@start]...\n");
        return 2;
    }
    HMODULE ras = LoadLibraryA("RASAPI32.DLL");
    auto dial = ras ? Bound<ras::RasDialFn>(ras, "RasDialA") : nullptr;
    auto hangUp = ras ? Bound<ras::RasHangUpFn>(ras, "RasHangUpA") : nullptr;
    if (!dial || !hangUp) {
        std::printf("error=no remote access\n");
        return 3;
    }
    std::vector<DIAL> dials;
    for (int i = 1; i < argc; i++) {
        DIAL d;
        d.entry = argv[i];
        size_t at = d.entry.rfind("@start");
        if (at != std::string::npos && at + 6 == d.entry.size()) {
            d.entry.erase(at);
            d.untilStart = true;
        }
        ras::DialParams params = {};
        params.size = ras::kDialParamsSize;
        std::snprintf(params.entryName, sizeof params.entryName, "%s", d.entry.c_str());
        d.result = dial(nullptr, nullptr, &params, ras::kNotifierFunc1, reinterpret_cast<void*>(Notified), &d.handle);
        dials.push_back(d);
    }
    // Every session has started (or its dial ended) before the first hang-up.
    for (const DIAL& d : dials) {
        uint32_t h = ras::HandleField(d.handle);
        if (!d.result && h) WaitUntil([h] { return Ended(h) || SessionStarted(h); }, 20000);
    }
    for (size_t i = 0; i < dials.size(); i++) {
        const DIAL& d = dials[i];
        uint32_t h = ras::HandleField(d.handle);
        std::string n = std::to_string(i + 1);
        std::printf("dial%s=%lu\nhandle%s=%lu\n", n.c_str(), (unsigned long)d.result, n.c_str(), (unsigned long)h);
        if (d.result || !h) continue;
        if (!d.untilStart) WaitUntil([h] { return Ended(h); }, 20000);
        DWORD hung = hangUp(d.handle);
        std::string notes;
        {
            std::lock_guard<std::mutex> hold(g_lock);
            for (const std::string& note : g_notes[h]) notes += (notes.empty() ? "" : ",") + note;
        }
        std::printf("notes%s=%s\nhangup%s=%lu\n", n.c_str(), notes.c_str(), n.c_str(), (unsigned long)hung);
        standin::JournalLine(standin::kDunHost, "dial").Field("entry", d.entry).Field("notes", notes).Result(long(hung)).Append();
    }
    std::fflush(stdout);
    return 0;
}
