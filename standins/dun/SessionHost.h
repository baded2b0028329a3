#pragma once
// Dial-Up Networking's side of a session module, for the Windows 95
// remote-access stand-in and dunhost.exe: loads the module (once per
// process and path) with its imports bound by the host (HostDevices.h),
// initialises it, starts and stops its sessions, and journals each call
// (component dunhost). Thread-safe.
#include <map>
#include <mutex>
#include <string>

#include "RasRecords.h"
#include "Scenario.h"

namespace standin {

class SessionHost {
public:
    static SessionHost& Instance();

    // Starts the session of conn on the module at path, with the session
    // information from the entry's section: 0 or the module's error (or the
    // load's or the initialisation's). pending: the module started a thread
    // for the session, which completes it later; otherwise a 0 leaves the
    // session to Dial-Up Networking's own protocol. Starts run one at a time.
    DWORD Start(const std::string& path, ras::Handle conn, const Scenario& s, const std::string& section,
                const std::string& entry, bool* pending);
    // Stops a session whose start returned 0 and releases held threads;
    // false when there was none.
    bool Stop(ras::Handle conn);

private:
    struct Module {
        HMODULE module = nullptr;
        DWORD error = 0;  // of the load or the initialisation
        ras::SessionTable table = {};
    };
    Module& Load(const std::string& path);

    std::mutex startLock_;                     // one start at a time; taken before lock_
    std::mutex lock_;                          // guards modules_ and started_
    std::map<std::string, Module> modules_;    // by path as given
    std::map<uint32_t, ras::SessStopFn> started_;  // sessions started with 0
};

// Loads a library without letting the loader bind its imports or run its
// entry, binds them (through HostReplacement where it has one) and runs the
// entry for process attach. Null with the error set when it fails.
HMODULE LoadHostedModule(const char* path);

}  // namespace standin
