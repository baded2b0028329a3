#pragma once
// The remote-access stand-in behind the exports of rasapi32.dll (both
// variants) and rnaph.dll: the phonebook and outcomes come from the scenario,
// connections live in this process only. Every call first runs the control
// commands not yet run here, then answers and journals itself under the
// calling component's name. Thread-safe: the dial threads call back into it.
#include <map>
#include <mutex>
#include <string>

#include "RasRecords.h"
#include "Scenario.h"

namespace standin {

struct DialJob;

class RasService {
public:
    static RasService& Instance();

    DWORD Dial(const char* component, ras::DialParams* params, DWORD notifierType, void* notifier, ras::Handle* conn);
    DWORD HangUp(const char* component, ras::Handle conn);
    DWORD GetConnectStatus(const char* component, ras::Handle conn, ras::ConnectStatus* status);
    DWORD EnumConnections(const char* component, ras::Connection* records, DWORD* bytes, DWORD* count);
    DWORD EnumEntries(const char* component, ras::EntryName* records, DWORD* bytes, DWORD* count);
    DWORD GetEntryDialParams(const char* component, ras::DialParams* params, BOOL* passwordSaved);
    DWORD SetEntryDialParams(const char* component, ras::DialParams* params, BOOL removePassword);
    DWORD GetErrorString(const char* component, UINT error, char* text, DWORD size);
    DWORD GetProjectionInfo(const char* component, ras::Handle conn, int projection, void* record, DWORD* bytes);
    DWORD CreatePhonebookEntry(const char* component);
    DWORD EditPhonebookEntry(const char* component, const char* entry);
    DWORD GetEntryProperties(const char* component, const char* entry, void* record, DWORD* bytes);
    DWORD SetEntryProperties(const char* component, const char* entry, void* record, DWORD bytes);
    DWORD GetDevicePort(const char* component, ras::Handle conn, ras::DevicePort* record);
    // A session module's report on its session, and its end of it.
    DWORD Complete(const char* component, ras::Handle conn, const ras::Completion* completion);
    DWORD Terminate(const char* component, ras::Handle conn, HANDLE thread);
    // The Windows 95 variant serves entries with a SessionModule through the session host.
    void HostSessions() { hostSessions_ = true; }

    // Runs the control commands this process has not run yet.
    void RunCommands(const char* component);

    struct Step {
        DWORD state;
        DWORD error;
        bool recordSession;  // the session module records the connection first
        bool hostSession;    // the session host starts the module's session here
    };

private:
    struct Conn {
        std::string entry;
        DWORD state = ras::kStateOpenPort;
        DWORD error = 0;
        bool dropped = false;
    };
    struct FailPlan {
        long error;
        long state;
    };
    friend struct DialJob;

    uint32_t NewHandle();
    Conn* Find(ras::Handle conn);
    static uint32_t Key(ras::Handle conn) { return ras::HandleField(conn); }
    // Entry names from the scenario; empty when the entry does not exist.
    static std::string EntryName(const Scenario& s, const std::string& name);
    void ApplyDrop(const std::string& entry);

    // Dial thread, one per dial: walks the steps and calls back.
    static DWORD WINAPI DialThread(void* job);
    // Waits ms while commands keep running; false when the connection went.
    bool Pause(const char* component, uint32_t handle, DWORD ms);
    // Moves the connection to the step; false when it is gone.
    bool Enter(uint32_t handle, Step& step);
    // The notification of a drop during the dial; false when there was none.
    bool DropStep(uint32_t handle, Step& step);

    // What a session module reported on a hosted session (kept past the hang-up).
    struct Session {
        bool pending = false;  // a thread of the module completes and terminates it
        bool completed = false;
        DWORD error = 0;
        bool terminated = false;
        HANDLE thread = nullptr;  // handed over by RnaTerminate; closed at the hang-up
    };
    // Runs the hosted session of a dial: 0 once it completed well, else its error.
    DWORD RunSession(DialJob* job);
    // After a hosted session's stop: waits for the module's thread to end it.
    void AwaitTermination(uint32_t handle);

    std::mutex lock_;  // guards conns_, sessions_, failNext_ and nextHandle_
    std::map<uint32_t, Conn> conns_;
    std::map<uint32_t, Session> sessions_;
    bool hostSessions_ = false;  // set once at load
    std::map<std::string, FailPlan> failNext_;  // by entry
    uint32_t nextHandle_ = 0x5100;
};

}  // namespace standin
