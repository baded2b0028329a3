#include <gtest/gtest.h>
#include <windows.h>

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

TEST(Harness, ChildExitCodeAndOutput) {
    auto r = qvtest::RunChild("ExitWithSeven");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(7u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("child speaking"));
}

TEST(Harness, MessageBoxIsDismissed) {
    auto r = qvtest::RunChild("ShowsBox");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("after box"));
}
