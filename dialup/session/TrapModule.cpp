#include "TrapModule.h"

#include <cstring>
#include <string>

#include "AcbList.h"
#include "SessionControl.h"
#include "TrapContext.h"

namespace {

template <class F>
F Bound(HMODULE library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

std::string ModuleText(int id) {
    char text[256] = "";
    LoadStringA(TrapModule().instance, id, text, sizeof text);
    return text;
}

void Attach(HINSTANCE instance) {
    // The runtime's start-up may hand the attach on under both entry names: once is enough.
    static bool attached = false;
    if (attached) return;
    attached = true;
    char mode[64];
    if (LoadStringA(instance, IDS_TRAP_MODE, mode, sizeof mode) <= 0) return;
    TrapModule().takeOver = std::strcmp(mode, kTrapChainedMode) != 0;
    OpenTrapDriver();
    _InitACBList();
    TrapModule().instance = instance;
}

void Detach(void* reserved) {
    static bool detached = false;
    if (detached) return;
    detached = true;
    TRAPMODULE& m = TrapModule();
    // At process end other libraries may be gone already: only local state is dropped.
    bool ending = reserved != nullptr;
    if (m.instance) {
        _DeInitACBList();
        m.regularStart = nullptr;
        m.regularStop = nullptr;
        m.runScript = nullptr;
        if (m.regular && !ending) FreeLibrary(m.regular);
        m.regular = nullptr;
    }
    ReleaseSessions(ending);
    CloseTrapDriver();
    m.instance = nullptr;
}

// Loads the regular session module: 0 and its entry, or an error.
DWORD LoadRegular(HMODULE* library, ras::RnaSessInitializeFn* init, ras::RunRnaScriptFn* script) {
    bool fellBack = false;
    HMODULE lib = LoadLibraryA(ModuleText(IDS_TRAP_REGULAR).c_str());
    if (!lib) {
        lib = LoadLibraryA("RASAPI32.DLL");
        fellBack = true;
    }
    if (lib) {
        *init = Bound<ras::RnaSessInitializeFn>(lib, "RnaSessInitialize");
        if (!*init) {
            FreeLibrary(lib);
            return kTrapNoRegularModule;
        }
        *script = Bound<ras::RunRnaScriptFn>(lib, "RunRnaScript");
        if (!*script && !fellBack) {
            // A regular module without scripting: its alternative serves.
            FreeLibrary(lib);
            lib = LoadLibraryA(ModuleText(IDS_TRAP_ALTERNATIVE).c_str());
            if (lib) {
                *init = Bound<ras::RnaSessInitializeFn>(lib, "RnaSessInitialize");
                *script = Bound<ras::RunRnaScriptFn>(lib, "RunRnaScript");
                if (!*init) {
                    FreeLibrary(lib);
                    return kTrapNoRegularModule;
                }
            }
        }
    }
    if (!lib) {
        DWORD error = GetLastError();
        return error ? error : ERROR_MOD_NOT_FOUND;
    }
    *library = lib;
    return 0;
}

DWORD InitialiseRegular() {
    HMODULE lib = nullptr;
    ras::RnaSessInitializeFn init = nullptr;
    ras::RunRnaScriptFn script = nullptr;
    DWORD error = LoadRegular(&lib, &init, &script);
    if (error) return error;
    ras::SessionTable table = {};
    table.size = ras::kSessionTableSize;
    char protocol[] = "PPP";
    error = init(protocol, &table);
    if (error) {
        FreeLibrary(lib);
        return error;
    }
    // The first initialisation's module and entries stay; a later one's reference is dropped.
    TRAPMODULE& m = TrapModule();
    if (m.regular) {
        FreeLibrary(lib);
        return 0;
    }
    m.regular = lib;
    m.regularStart = table.start;
    m.regularStop = table.stop;
    m.regularTableSize = table.size;
    m.runScript = script;
    return 0;
}

}  // namespace

TRAPMODULE& TrapModule() {
    static TRAPMODULE state;
    return state;
}

BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, void* reserved) {
    if (reason == DLL_PROCESS_ATTACH) Attach(instance);
    else if (reason == DLL_PROCESS_DETACH) Detach(reserved);
    return TRUE;
}

DWORD WINAPI RnaSessInitialize(char*, ras::SessionTable* table) {
    if (!TrapModule().takeOver) {
        DWORD error = InitialiseRegular();
        if (error) return error;
    }
    if (table) {
        table->start = SMMSessStart;
        table->stop = SMMSessStop;
    }
    return 0;
}

DWORD WINAPI RnaSessGetErrorString(UINT error, char* text, DWORD size) {
    if (error == ras::kErrorSessionRecorded) {
        if (text && size) text[0] = 0;
        return 0;
    }
    HMODULE regular = TrapModule().regular;
    if (regular) {
        auto own = Bound<ras::RnaSessGetErrorStringFn>(regular, "RnaSessGetErrorString");
        if (own) return own(error, text, size);
    }
    if (!text || !size) return ERROR_INVALID_PARAMETER;
    int n = LoadStringA(regular ? regular : GetModuleHandleA(nullptr), error, text, int(size));
    return n > 0 ? 0 : ERROR_INVALID_PARAMETER;
}
