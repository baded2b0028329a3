#pragma once
// What the session module's working routines share: the driver that takes
// ports over, one session's context (its connection, its own handle of the
// Current Connection key, the remote-access entries bound for it) and the
// port record of a take-over.
#include <cstdint>

#include "QvWindows.h"
#include "RasRecords.h"

// The driver's name and its control codes (buffers as TrapDriverCall says).
extern const char kTrapDriverName[];
enum TRAPDRIVERCODE : DWORD {
    DRIVER_TAKE_PORT = 1,    // in: the port id (4 bytes)
    DRIVER_FIND_PORT = 2,    // in: the device name; out: port id (32-bit) and the port name
    DRIVER_SAVE_PORT = 3,    // in: the port name; out: 16 bytes kept for DRIVER_RESTORE_PORT
    DRIVER_RESTORE_PORT = 4  // in: the 16 bytes of DRIVER_SAVE_PORT
};

// The driver as the module opened it at attach: handle (INVALID_HANDLE_VALUE
// when the open failed) and the open's error. Written by attach and detach
// only, read by the sessions' threads between them.
struct TRAPDRIVER {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD openError = ERROR_FILE_NOT_FOUND;
};
TRAPDRIVER& TrapDriver();
void OpenTrapDriver();
void CloseTrapDriver();
// One control call; 0 or the call's error.
DWORD TrapDriverCall(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize);

// The remote-access entries a session calls back, bound by its start from
// the library it holds a reference of.
struct RASENTRIES {
    HMODULE library = nullptr;
    ras::RnaCompleteFn complete = nullptr;
    ras::RnaTerminateFn terminate = nullptr;
    ras::RnaGetDevicePortFn devicePort = nullptr;
};

// One session's context; used by one thread at a time.
struct SESSIONCTX {
    ras::Handle conn = nullptr;
    HKEY key = nullptr;  // the session's own Current Connection key; null when closed
    RASENTRIES ras;
};

// The port a take-over hands to the driver.
struct PORTRECORD {
    uint32_t portId = 0;  // the driver's id of the port, 0 when not known
    char name[33] = {};   // e.g. "COM2"; empty when not known
    BOOL clearRts = FALSE;
};
