#include "SelectRelay.h"

#include <mutex>

#include "Stack16.h"

namespace stack16 {

namespace {

const char RelayClass[] = "PWSK16 Select Relay";

std::mutex relayLock;  // guards relayWindow: the callers' threads start and stop the relay
HWND relayWindow;

LRESULT CALLBACK RelayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == RelayMessage) {
        uint16_t number;
        HWND target;
        UINT targetMessage;
        if (Numbers().TargetOf((SOCKET)wParam, &number, &target, &targetMessage))
            PostMessageA(target, targetMessage, number, lParam);
        return 0;
    }
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct Start {
    HANDLE ready;
    HWND window;
};

DWORD WINAPI RelayThread(void* p) {
    Start* start = static_cast<Start*>(p);
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)&RelayProc, &self);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RelayProc;
    wc.hInstance = self;
    wc.lpszClassName = RelayClass;
    RegisterClassA(&wc);
    start->window = CreateWindowExA(0, RelayClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, self, nullptr);
    bool made = start->window != nullptr;
    SetEvent(start->ready);  // `start` belongs to the starter from here on
    MSG msg;
    while (made && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    UnregisterClassA(RelayClass, self);
    FreeLibraryAndExitThread(self, 0);
    return 0;
}

}  // namespace

HWND RelayWindow() {
    std::lock_guard<std::mutex> hold(relayLock);
    if (relayWindow) return relayWindow;
    Start start = {CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr};
    HANDLE thread = start.ready ? CreateThread(nullptr, 0, RelayThread, &start, 0, nullptr) : nullptr;
    if (thread) {
        WaitForSingleObject(start.ready, INFINITE);
        CloseHandle(thread);
        relayWindow = start.window;
    }
    if (start.ready) CloseHandle(start.ready);
    return relayWindow;
}

void StopRelay() {
    std::lock_guard<std::mutex> hold(relayLock);
    if (relayWindow) PostMessageA(relayWindow, WM_CLOSE, 0, 0);
    relayWindow = nullptr;
}

}  // namespace stack16
