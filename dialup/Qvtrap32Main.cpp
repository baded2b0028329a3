// Entry of the session module qvtrap32.dll; its exports live in the session
// area and are listed in qvtrap32.def.
#include "QvWindows.h"
#include "TrapModule.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
    return DllEntryPoint(instance, reason, reserved);
}
