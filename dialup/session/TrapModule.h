#pragma once
// The session module's process-wide state and its exports. Its mode is
// fixed by string 1000 at attach: "SMM" chains to the regular session
// module (strings 1001 and 1002 name it and its alternative) and serves
// secondary lines on threads of its own; any other text takes the ports of
// secondary lines over inside the start call, with no regular module.
#include "QvWindows.h"
#include "RasRecords.h"

const int IDS_TRAP_MODE = 1000;
const int IDS_TRAP_REGULAR = 1001;
const int IDS_TRAP_ALTERNATIVE = 1002;
const char kTrapChainedMode[] = "SMM";

// Written by attach, detach and the first successful chained
// initialisation; read by the sessions' threads in between.
struct TRAPMODULE {
    HINSTANCE instance = nullptr;  // null until attached
    BOOL takeOver = TRUE;
    HMODULE regular = nullptr;     // the regular session module (chained mode)
    ras::SessStartFn regularStart = nullptr;
    ras::SessStopFn regularStop = nullptr;
    DWORD regularTableSize = 0;
    ras::RunRnaScriptFn runScript = nullptr;
};
TRAPMODULE& TrapModule();

extern "C" {
BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, void* reserved);
// Fills the table with the module's start and stop; in chained mode loads
// the regular module first (its error, or 1359 when it lacks the entry).
DWORD WINAPI RnaSessInitialize(char* protocol, ras::SessionTable* table);
// 1003 has no text (0); others from the regular module or the string table.
DWORD WINAPI RnaSessGetErrorString(UINT error, char* text, DWORD size);
}
