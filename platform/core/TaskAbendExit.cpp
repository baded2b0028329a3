// The platform's fatal exit: trace, message, log and the end of the process.
#include <cstdio>
#include <cstring>

#include "SpControl.h"
#include "TaskAbend.h"

namespace {
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

// The box is the one place a user reads the code: a box the system could not
// show (a desktop still starting) is tried again, and a failure is said on
// the error output instead of passing as answered.
void ShowAbendBox(HWND owner, const char* text, const char* caption) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (attempt) Sleep(400);
        SetLastError(0);
        if (MessageBoxA(owner, text, caption, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND) != 0) return;
        std::fprintf(stderr, "The message box could not be shown (error %lu)\n", (unsigned long)GetLastError());
        std::fflush(stderr);
        owner = nullptr;  // an owner that is going away can refuse it
    }
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

void _Task_Abend(const char* code, ULONG_PTR value) {
    TASKABENDHOOKS hooks;
    GetTaskAbendHooks(&hooks);
    if (!code) code = "??????";
    if (_pSupport) _pSupport->trace.Suspend();
    const DWORD me = GetCurrentThreadId();
    if (hooks.enter) hooks.enter(g_diagnosing == 0);
    if (_pSupport) _pSupport->lockObjectCleanup = 0;

    const bool worker = _pSupport && _pSupport->mainThread.threadId && me != _pSupport->mainThread.threadId;
    if (worker && hooks.handToMain && g_diagnosing == 0) {
        InterlockedExchange(&g_handedOver, 1);
        hooks.handToMain(code, value);
        InterlockedExchange(&g_handedOver, 0);  // could not hand over: carry on here
    }

    if (hooks.signal) hooks.signal();
    LONG was = InterlockedCompareExchange(&g_diagnosing, (LONG)me, 0);
    if (was != 0) {
        // Diagnostics are under way: on that thread (a fault inside them) end
        // at once; any other thread leaves the ending to it.
        if ((DWORD)was == me) EndProcess();
        for (;;) Sleep(INFINITE);
    }

    if (_pSupport && _pSupport->trace.active && hooks.writeTrace) hooks.writeTrace(&_pSupport->trace, "TRACE.DAT");

    char format[256];
    if (LoadStringA(Instance(), 20, format, sizeof format) <= 0 || !SafeFormat(format))
        std::strcpy(format, FALLBACK_TEXT);
    char text[256];
    FormatAbendText(text, sizeof text, format, code, value);
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
    if (hooks.writeLog) hooks.writeLog(text);

    char caption[256];
    if (LoadStringA(Instance(), 3, caption, sizeof caption) <= 0) std::strcpy(caption, "Quorvane Steadfell Alert");
    HWND owner = hooks.ownerWindow ? hooks.ownerWindow() : nullptr;
    ShowAbendBox(owner, text, caption);

    if (hooks.terminate) hooks.terminate(g_handedOver != 0);
    EndProcess();
}

