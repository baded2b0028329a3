#pragma once
// A small remote-access client for the child cases: binds the entries of
// RASAPI32.DLL by name, as a program does at start-up, dials and collects
// the notifications.
#include "QvWindows.h"

#include <string>
#include <vector>

#include "RasRecords.h"

struct RasDriver {
    HMODULE library = nullptr;
    ras::RasDialFn dial = nullptr;
    ras::RasHangUpFn hangUp = nullptr;
    ras::RasGetConnectStatusFn status = nullptr;
    ras::RasEnumConnectionsFn enumConnections = nullptr;
    ras::RasEnumEntriesFn enumEntries = nullptr;
    ras::RasGetEntryDialParamsFn getDialParams = nullptr;
    ras::RasSetEntryDialParamsFn setDialParams = nullptr;
    ras::RasGetErrorStringFn errorString = nullptr;
    ras::RasGetProjectionInfoFn projection = nullptr;
    ras::RasCreatePhonebookEntryFn createEntry = nullptr;
    ras::RasEditPhonebookEntryFn editEntry = nullptr;
    ras::RasGetEntryPropertiesFn getProperties = nullptr;
    ras::RasSetEntryPropertiesFn setProperties = nullptr;
    ras::RnaGetDevicePortFn devicePort = nullptr;

    // Loads the library as the gateway does: the file found on the search
    // path (where the current directory comes before the system folder),
    // by its full name. False (and a line on stdout) when it does not load.
    bool Load(const char* name = "RASAPI32.DLL");
    static HMODULE LoadFromSearchPath(const char* name);

    // Dials the entry and waits at most waitMs for the dial to end (connected
    // or an error). Returns RasDialA's result; handle and the notifications
    // as "state/error" texts.
    DWORD Dial(const char* entry, ras::Handle* handle, unsigned waitMs = 5000);
    std::vector<std::string> Notes() const;
    // Whether every notification carried the handle the caller already had.
    bool HandleWrittenFirst() const;
    // Waits at most ms for the number of notifications.
    bool WaitNotes(size_t count, unsigned ms) const;
};
