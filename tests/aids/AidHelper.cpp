// Test helper program.
//   qvaid_helper exit N                 ends at once with exit code N
//   qvaid_helper window CLASS TITLE [MS] shows a top-level window of that class
//                                       and title until it is closed (or MS ms pass)
#include "QvWindows.h"

#include <cstdlib>
#include <cstring>

namespace {

LRESULT CALLBACK WndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    if (msg == WM_TIMER) {
        DestroyWindow(w);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

int ShowWindowUntilClosed(const char* cls, const char* title, unsigned ms) {
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    if (!RegisterClassA(&wc)) return 3;
    HWND w = CreateWindowA(cls, title, WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (!w) return 4;
    ShowWindow(w, SW_SHOWNOACTIVATE);
    SetTimer(w, 1, ms, nullptr);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
    if (argc >= 4 && std::strcmp(argv[1], "window") == 0)
        return ShowWindowUntilClosed(argv[2], argv[3], argc >= 5 ? unsigned(std::atoi(argv[4])) : 30000u);
    return 2;
}
