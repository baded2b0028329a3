// The exports of rasapi32.dll (both variants) and rnaph.dll; each .def file
// chooses the ones its library offers. Built into each library on its own,
// with QV_RNAPH set for rnaph.dll, so that the journal names the component.
#include "RasService.h"
#include "StandInFormat.h"

namespace {

#ifdef QV_RNAPH
const char* const kComponent = standin::kRnaph;
#else
const char* const kComponent = standin::kRasApi32;
#endif

standin::RasService& Ras() {
    standin::RasService& service = standin::RasService::Instance();
#ifdef QV_RAS95
    service.HostSessions();
#endif
    return service;
}

}  // namespace

extern "C" {

DWORD WINAPI RasDialA(void* extensions, const char* phonebook, ras::DialParams* params, DWORD notifierType,
                      void* notifier, ras::Handle* conn) {
    return Ras().Dial(kComponent, params, notifierType, notifier, conn);
}

DWORD WINAPI RasHangUpA(ras::Handle conn) { return Ras().HangUp(kComponent, conn); }

DWORD WINAPI RasGetConnectStatusA(ras::Handle conn, ras::ConnectStatus* status) {
    return Ras().GetConnectStatus(kComponent, conn, status);
}

DWORD WINAPI RasEnumConnectionsA(ras::Connection* records, DWORD* bytes, DWORD* count) {
    return Ras().EnumConnections(kComponent, records, bytes, count);
}

DWORD WINAPI RasEnumEntriesA(const char* reserved, const char* phonebook, ras::EntryName* records, DWORD* bytes,
                             DWORD* count) {
    return Ras().EnumEntries(kComponent, records, bytes, count);
}

DWORD WINAPI RasGetEntryDialParamsA(const char* phonebook, ras::DialParams* params, BOOL* passwordSaved) {
    return Ras().GetEntryDialParams(kComponent, params, passwordSaved);
}

DWORD WINAPI RasSetEntryDialParamsA(const char* phonebook, ras::DialParams* params, BOOL removePassword) {
    return Ras().SetEntryDialParams(kComponent, params, removePassword);
}

DWORD WINAPI RasGetErrorStringA(UINT error, char* text, DWORD size) {
    return Ras().GetErrorString(kComponent, error, text, size);
}

DWORD WINAPI RasGetProjectionInfoA(ras::Handle conn, int projection, void* record, DWORD* bytes) {
    return Ras().GetProjectionInfo(kComponent, conn, projection, record, bytes);
}

DWORD WINAPI RasCreatePhonebookEntryA(HWND parent, const char* phonebook) {
    return Ras().CreatePhonebookEntry(kComponent);
}

DWORD WINAPI RasEditPhonebookEntryA(HWND parent, const char* phonebook, const char* entry) {
    return Ras().EditPhonebookEntry(kComponent, entry);
}

DWORD WINAPI RasGetEntryPropertiesA(const char* phonebook, const char* entry, void* record, DWORD* bytes,
                                    BYTE* deviceInfo, DWORD* deviceInfoBytes) {
    if (deviceInfoBytes) *deviceInfoBytes = 0;
    return Ras().GetEntryProperties(kComponent, entry, record, bytes);
}

DWORD WINAPI RasSetEntryPropertiesA(const char* phonebook, const char* entry, void* record, DWORD bytes,
                                    BYTE* deviceInfo, DWORD deviceInfoBytes) {
    return Ras().SetEntryProperties(kComponent, entry, record, bytes);
}

DWORD WINAPI RnaGetDevicePort(ras::Handle conn, ras::DevicePort* record) {
    return Ras().GetDevicePort(kComponent, conn, record);
}

DWORD WINAPI RnaComplete(ras::Handle conn, ras::Completion* completion) {
    return Ras().Complete(kComponent, conn, completion);
}

DWORD WINAPI RnaTerminate(ras::Handle conn, HANDLE thread) { return Ras().Terminate(kComponent, conn, thread); }

}  // extern "C"
