#include "TestApp.h"

#include <gtest/gtest.h>

namespace wintest {

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

namespace {
class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { App(); }
};
const auto* env = ::testing::AddGlobalTestEnvironment(new AppEnvironment);
}  // namespace

}  // namespace wintest
