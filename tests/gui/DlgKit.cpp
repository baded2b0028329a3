#include "DlgKit.h"

#include <gtest/gtest.h>

#include <map>

namespace dlgkit {

namespace {

std::map<UINT_PTR, std::function<void()>>& steps() {
    static std::map<UINT_PTR, std::function<void()>> m;
    return m;
}

bool watchdogFired = false;

void CALLBACK runStep(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    auto it = steps().find(id);
    if (it == steps().end()) return;
    std::function<void()> fn = it->second;
    steps().erase(it);
    fn();
}

void CALLBACK watchdogHit(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    watchdogFired = true;
    PostQuitMessage(0);
}

class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { App(); }
};
const auto* env = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

}  // namespace

zApp* App() {
    if (!_app) new zApp(GetModuleHandleA(nullptr), 0, const_cast<char*>(""), SW_SHOWNORMAL);
    return _app;
}

void Pump() {
    MSG m;
    while (PeekMessageA(&m, 0, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) continue;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

bool PumpUntil(HANDLE object, unsigned ms) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent >= ms) return WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
        DWORD rc = MsgWaitForMultipleObjects(1, &object, FALSE, ms - spent, QS_ALLINPUT);
        if (rc == WAIT_OBJECT_0) return true;
        Pump();
    }
}

void Later(unsigned ms, std::function<void()> fn) {
    UINT_PTR id = SetTimer(0, 0, ms, runStep);
    steps()[id] = fn;
}

Watchdog::Watchdog(unsigned ms) {
    watchdogFired = false;
    id_ = SetTimer(0, 0, ms, watchdogHit);
}

Watchdog::~Watchdog() { KillTimer(0, id_); }

bool Watchdog::fired() const { return watchdogFired; }

RECT ChildRect(HWND child) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(child, &r);
    MapWindowPoints(0, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace dlgkit
