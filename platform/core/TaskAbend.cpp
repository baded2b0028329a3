#include "TaskAbend.h"

#include <cstdio>
#include <cstring>

#include "SpControl.h"

namespace {
TASKABENDHOOKS g_hooks = {};
volatile LONG g_diagnosing = 0;      // thread id of the one doing the diagnostics
volatile LONG g_handedOver = 0;      // a worker parked and handed its abend over

const char FALLBACK_TEXT[] =
    "ATTENTION: Quorvane has encountered a system error and cannot continue! Please record code '%s-%X' and "
    "contact Brellix Software Technical Support.";

HINSTANCE Instance() {
    if (_pSupport && _pSupport->module.instance) return _pSupport->module.instance;
    return GetModuleHandleA(nullptr);
}

// The text from the string table is used as a format only when it takes
// exactly a string and then one hexadecimal number.
bool SafeFormat(const char* f) {
    int seen = 0;
    for (const char* p = f; *p; ++p) {
        if (*p != '%') continue;
        if (p[1] == '%') {
            ++p;
            continue;
        }
        if (seen == 0 && p[1] == 's') seen = 1;
        else if (seen == 1 && (p[1] == 'X' || p[1] == 'x')) seen = 2;
        else return false;
        ++p;
    }
    return seen == 2;
}

// The number is printed at the width of the value, so an address of a 64-bit
// build is not cut: the format's %X becomes %s fed with the digits.
void FormatAbendText(char* text, size_t size, const char* format, const char* code, ULONG_PTR value) {
    char wide[256];
    bool lower = false;
    size_t o = 0;
    int seen = 0;
    for (const char* p = format; *p && o + 2 < sizeof wide; ++p) {
        wide[o++] = *p;
        if (*p != '%') continue;
        if (p[1] == '%') {
            wide[o++] = *++p;
            continue;
        }
        if (++seen == 2) {
            lower = p[1] == 'x';
            wide[o++] = 's';
            ++p;
        }
    }
    wide[o] = 0;
    char digits[24];
    std::snprintf(digits, sizeof digits, lower ? "%llx" : "%llX", (unsigned long long)value);
    std::snprintf(text, size, wide, code, digits);
}

[[noreturn]] void EndProcess() {
    std::fflush(stdout);
    std::fflush(stderr);
    // No teardown: other threads may hold any lock.
    TerminateProcess(GetCurrentProcess(), 1);
    ExitProcess(1);
}
}  // namespace

void SetTaskAbendHooks(const TASKABENDHOOKS* hooks) {
    if (hooks) g_hooks = *hooks;
    else g_hooks = TASKABENDHOOKS{};
}

void GetTaskAbendHooks(TASKABENDHOOKS* hooks) {
    if (hooks) *hooks = g_hooks;
}

void _Task_Abend(const char* code, ULONG_PTR value) {
    if (!code) code = "??????";
    if (_pSupport) _pSupport->trace.Suspend();
    const DWORD me = GetCurrentThreadId();
    if (g_hooks.enter) g_hooks.enter(g_diagnosing == 0);
    if (_pSupport) _pSupport->lockObjectCleanup = 0;

    const bool worker = _pSupport && _pSupport->mainThread.threadId && me != _pSupport->mainThread.threadId;
    if (worker && g_hooks.handToMain && g_diagnosing == 0) {
        InterlockedExchange(&g_handedOver, 1);
        g_hooks.handToMain(code, value);
        InterlockedExchange(&g_handedOver, 0);  // could not hand over: carry on here
    }

    if (g_hooks.signal) g_hooks.signal();
    LONG was = InterlockedCompareExchange(&g_diagnosing, (LONG)me, 0);
    if (was != 0) {
        // Diagnostics are under way: on that thread (a fault inside them) end
        // at once; any other thread leaves the ending to it.
        if ((DWORD)was == me) EndProcess();
        for (;;) Sleep(INFINITE);
    }

    if (_pSupport && _pSupport->trace.active && g_hooks.writeTrace) g_hooks.writeTrace(&_pSupport->trace, "TRACE.DAT");

    char format[256];
    if (LoadStringA(Instance(), 20, format, sizeof format) <= 0 || !SafeFormat(format))
        std::strcpy(format, FALLBACK_TEXT);
    char text[256];
    FormatAbendText(text, sizeof text, format, code, value);
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
    if (g_hooks.writeLog) g_hooks.writeLog(text);

    char caption[256];
    if (LoadStringA(Instance(), 3, caption, sizeof caption) <= 0) std::strcpy(caption, "Quorvane Steadfell Alert");
    HWND owner = g_hooks.ownerWindow ? g_hooks.ownerWindow() : nullptr;
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);

    if (g_hooks.terminate) g_hooks.terminate(g_handedOver != 0);
    EndProcess();
}

void __pure_error_() { _Task_Abend(ABEND_PVF001, 0); }

void AbendTestFunction(ULONG_PTR value) { _Task_Abend(ABEND_TST001, value); }

// The runtime's handler for a call of a pure virtual operation.
extern "C" void __cxa_pure_virtual() { __pure_error_(); }
