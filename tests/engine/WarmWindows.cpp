// Under Wine a test program that ends while the message-box watcher is still in its first
// window walk can crash on the way out; one walk on the main thread first avoids that.
#include <windows.h>
#include <gtest/gtest.h>

namespace {
BOOL CALLBACK Each(HWND, LPARAM) { return TRUE; }
struct WarmWindows : ::testing::Environment {
    void SetUp() override { EnumWindows(Each, 0); }
};
::testing::Environment* const warm = ::testing::AddGlobalTestEnvironment(new WarmWindows);
}  // namespace
