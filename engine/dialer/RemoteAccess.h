#pragma once
// The remote-access library, bound at run time by name: the core entries,
// the device-port query, and the phonebook entry properties (from
// RASAPI32.DLL, else from RNAPH.DLL). Bound once by the socket package's
// opener and released by its last closer; read freely in between.
#include "RasRecords.h"
#include "QvBase.h"

// The bound entries; a table's pointers are valid while its flag is set.
struct RASFUNCTIONS {
    ras::RasCreatePhonebookEntryFn RasCreatePhonebookEntryA;
    ras::RasDialFn RasDialA;
    ras::RasEditPhonebookEntryFn RasEditPhonebookEntryA;
    ras::RasEnumConnectionsFn RasEnumConnectionsA;
    ras::RasEnumEntriesFn RasEnumEntriesA;
    ras::RasGetConnectStatusFn RasGetConnectStatusA;
    ras::RasGetEntryDialParamsFn RasGetEntryDialParamsA;
    ras::RasSetEntryDialParamsFn RasSetEntryDialParamsA;
    ras::RasGetErrorStringFn RasGetErrorStringA;
    ras::RasGetProjectionInfoFn RasGetProjectionInfoA;
    ras::RasHangUpFn RasHangUpA;
    ras::RnaGetDevicePortFn RnaGetDevicePort;
    ras::RasGetEntryPropertiesFn RasGetEntryPropertiesA;
    ras::RasSetEntryPropertiesFn RasSetEntryPropertiesA;
};

extern RASFUNCTIONS _Ras;
extern HMODULE _RasDllHandle;  // the core table's
extern HMODULE _RasRnaHandle;  // the device table's
extern HMODULE _RasExtHandle;  // the entry-properties table's (RASAPI32 or RNAPH)
extern BBOOL _RasLoaded;
extern BBOOL _RasRnaLoaded;
extern BBOOL _RasExtLoaded;

// Binds what the system offers; TRUE when the core entries are bound.
BBOOL LoadRemoteAccess();
// Frees the entry-properties, device and core bindings, in that order.
void UnloadRemoteAccess();

// The entry's properties in a block of its own size (at least the older
// 1768 bytes), or null; free it with RasFreePhoneBookEntry.
ras::Entry* RasGetPhoneBookEntry(const char* name);
void RasFreePhoneBookEntry(ras::Entry* entry);
