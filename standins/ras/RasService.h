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

    // Runs the control commands this process has not run yet.
    void RunCommands(const char* component);

    struct Step {
        DWORD state;
        DWORD error;
        bool recordSession;  // the session module records the connection first
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

    std::mutex lock_;  // guards conns_, failNext_ and nextHandle_
    std::map<uint32_t, Conn> conns_;
    std::map<std::string, FailPlan> failNext_;  // by entry
    uint32_t nextHandle_ = 0x5100;
};

}  // namespace standin
