#include "RemoteAccess.h"
#include "SysHelpers.h"
#include <cstdlib>
#include <cstring>

RASFUNCTIONS _Ras = {};
HMODULE _RasDllHandle = nullptr;
HMODULE _RasRnaHandle = nullptr;
HMODULE _RasExtHandle = nullptr;
BBOOL _RasLoaded = 0;
BBOOL _RasRnaLoaded = 0;
BBOOL _RasExtLoaded = 0;

namespace {

#define QV_RASROW(fn) {#fn, 0, &_Ras.fn}
DLLENTRY _RasCoreEntries[] = {
    QV_RASROW(RasCreatePhonebookEntryA), QV_RASROW(RasDialA),
    QV_RASROW(RasEditPhonebookEntryA),   QV_RASROW(RasEnumConnectionsA),
    QV_RASROW(RasEnumEntriesA),          QV_RASROW(RasGetConnectStatusA),
    QV_RASROW(RasGetEntryDialParamsA),   QV_RASROW(RasSetEntryDialParamsA),
    QV_RASROW(RasGetErrorStringA),       QV_RASROW(RasGetProjectionInfoA),
    QV_RASROW(RasHangUpA),               {"", 0, nullptr},
};
DLLENTRY _RasDeviceEntries[] = {QV_RASROW(RnaGetDevicePort), {"", 0, nullptr}};
DLLENTRY _RasPropertyEntries[] = {
    QV_RASROW(RasGetEntryPropertiesA), QV_RASROW(RasSetEntryPropertiesA), {"", 0, nullptr}};
#undef QV_RASROW

// The full path of a library found on the search path, or false.
bool FindOnPath(const char* name, char (&path)[OFS_MAXPATHNAME]) {
    OFSTRUCT found = {};
    found.cBytes = sizeof found;
    if (OpenFile(name, &found, OF_EXIST) == HFILE_ERROR) return false;
    memcpy(path, found.szPathName, sizeof path);
    path[sizeof path - 1] = 0;
    return true;
}

}  // namespace

BBOOL LoadRemoteAccess() {
    char path[OFS_MAXPATHNAME];
    if (!FindOnPath("RASAPI32.DLL", path)) return 0;
    _RasDllHandle = SysLibraryLoad(path, _RasCoreEntries);
    if (!_RasDllHandle) return 0;
    _RasLoaded = 1;
    _RasRnaHandle = SysLibraryLoad(path, _RasDeviceEntries);
    _RasRnaLoaded = _RasRnaHandle != nullptr;
    _RasExtHandle = SysLibraryLoad(path, _RasPropertyEntries);
    if (!_RasExtHandle && FindOnPath("RNAPH.DLL", path)) _RasExtHandle = SysLibraryLoad(path, _RasPropertyEntries);
    _RasExtLoaded = _RasExtHandle != nullptr;
    return 1;
}

void UnloadRemoteAccess() {
    HMODULE* handles[] = {&_RasExtHandle, &_RasRnaHandle, &_RasDllHandle};
    BBOOL* flags[] = {&_RasExtLoaded, &_RasRnaLoaded, &_RasLoaded};
    for (int i = 0; i < 3; ++i) {
        *flags[i] = 0;
        if (*handles[i]) SysLibraryFree(*handles[i]);
        *handles[i] = nullptr;
    }
}

ras::Entry* RasGetPhoneBookEntry(const char* name) {
    if (!_RasExtLoaded || !name) return nullptr;
    DWORD size = 0;
    DWORD rc = _Ras.RasGetEntryPropertiesA(nullptr, name, nullptr, &size, nullptr, nullptr);
    if ((rc != 0 && rc != ras::kErrorBufferTooSmall) || size < ras::kEntrySizeOld) return nullptr;
    // Never less than the whole record as this program declares it.
    size_t block = size < sizeof(ras::Entry) ? sizeof(ras::Entry) : size;
    ras::Entry* e = static_cast<ras::Entry*>(std::calloc(1, block));
    if (!e) return nullptr;
    e->size = size;
    DWORD bytes = size;
    if (_Ras.RasGetEntryPropertiesA(nullptr, name, e, &bytes, nullptr, nullptr) != 0) {
        std::free(e);
        return nullptr;
    }
    e->size = bytes;
    return e;
}

void RasFreePhoneBookEntry(ras::Entry* entry) { std::free(entry); }
