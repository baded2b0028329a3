#pragma once
// A message-only window that stands in for the console in tests, and the
// drain of this thread's queue that delivers what was posted to it.
#include "QvWindows.h"

namespace qvtest {

// The class is registered on first use; later calls reuse it.
inline HWND MakeMessageWindow(const char* className, WNDPROC proc) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    if (!GetClassInfoA(module, className, &wc)) {
        wc = WNDCLASSA{};
        wc.lpfnWndProc = proc;
        wc.hInstance = module;
        wc.lpszClassName = className;
        RegisterClassA(&wc);
    }
    return CreateWindowExA(0, className, "console", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
}

inline void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace qvtest
