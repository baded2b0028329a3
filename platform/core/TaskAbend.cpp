#include "TaskAbend.h"

// The fatal exit itself lives in TaskAbendExit.cpp, apart from the hooks, so
// that programs with an exit of their own (the setup library, the removal
// program) never pull it in.
namespace {
TASKABENDHOOKS g_hooks = {};
}  // namespace

void SetTaskAbendHooks(const TASKABENDHOOKS* hooks) {
    if (hooks) g_hooks = *hooks;
    else g_hooks = TASKABENDHOOKS{};
}

void GetTaskAbendHooks(TASKABENDHOOKS* hooks) {
    if (hooks) *hooks = g_hooks;
}

void __pure_error_() { _Task_Abend(ABEND_PVF001, 0); }

void AbendTestFunction(ULONG_PTR value) { _Task_Abend(ABEND_TST001, value); }

// The runtime's handler for a call of a pure virtual operation.
extern "C" void __cxa_pure_virtual() { __pure_error_(); }
