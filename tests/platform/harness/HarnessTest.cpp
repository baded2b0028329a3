#include <gtest/gtest.h>
#include "QvWindows.h"

#include "ChildProcess.h"
#include "MessageBoxWatcher.h"

QV_CHILD_CASE(ExitWithSeven) {
    std::printf("child speaking\n");
    std::fflush(stdout);
    ExitProcess(7);
}

QV_CHILD_CASE(ShowsBox) {
    MessageBoxA(nullptr, "box text", "box caption", MB_OK);
    std::printf("after box\n");
}

namespace {
// Shows a box while the static objects are destroyed, when a case asked for it.
bool g_boxAtExit = false;
struct BoxAtExit {
    ~BoxAtExit() {
        if (!g_boxAtExit) return;
        MessageBoxA(nullptr, "teardown text", "teardown caption", MB_OK);
        std::printf("after teardown box\n");
        std::fflush(stdout);
    }
} boxAtExit;
}  // namespace

QV_CHILD_CASE(ShowsBoxWhileStaticsGo) { g_boxAtExit = true; }

TEST(Harness, ChildExitCodeAndOutput) {
    auto r = qvtest::RunChild("ExitWithSeven");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(7u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("child speaking"));
}

TEST(Harness, MessageBoxIsDismissed) {
    const struct { const char* child; const char* after; } cases[] = {
        {"ShowsBox", "after box"},
        {"ShowsBoxWhileStaticsGo", "after teardown box"},
    };
    for (auto& c : cases) {
        auto r = qvtest::RunChild(c.child);
        EXPECT_EQ(0u, r.exitCode) << c.child;
        EXPECT_NE(std::string::npos, r.output.find(c.after)) << c.child << ": " << r.output;
    }
}
