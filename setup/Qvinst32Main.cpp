// Entry and fatal exit of the setup library qvinst32.dll; its exports live in
// the areas (registry, convert, utility) and are listed in qvinst32.def.
#include <cstdlib>

#include "QvWindows.h"
#include "SetupUtilities.h"
#include "TaskAbend.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) SetSetupModule(instance);
    else if (reason == DLL_PROCESS_DETACH) SetSetupModule(nullptr);
    return TRUE;
}

// The installer's process must not see the server's message box or trace:
// an invariant failure inside the library ends it at once.
void _Task_Abend(const char*, ULONG_PTR) { std::abort(); }
