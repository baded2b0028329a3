#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "Probe.h"
#include "TestApp.h"

using namespace wintest;

namespace {

class Loop : public ::testing::Test {
protected:
    Log log;
    ProbeFrame* frame = nullptr;
    // Ends a loop that nobody ends, so a broken test fails instead of hanging.
    dlgkit::Watchdog* dog = nullptr;
    void SetUp() override {
        App();
        frame = new ProbeFrame(&log);
        _app->mainFrame = frame;
        dog = new dlgkit::Watchdog;
    }
    void TearDown() override {
        EXPECT_FALSE(dog->fired()) << "the loop did not end by itself";
        delete dog;
        _app->mainFrame = nullptr;
        delete frame;
        _app->accel = 0;
        _activeDialog = 0;
        _app->taskDev->enable(1);
        Pump();
    }
};

TEST_F(Loop, EndsWithZeroWhenTheMainFrameIsDestroyed) {
    PostMessageA(frame->hwnd, WM_CLOSE, 0, 0);
    _app->go();
    EXPECT_EQ(0, _app->exitCode);
    EXPECT_EQ(Log({"kill"}), log);
    EXPECT_FALSE(IsWindow(frame->hwnd));
}

TEST_F(Loop, ExitCodeIsTheQuitParameter) {
    PostQuitMessage(9);
    _app->go();
    EXPECT_EQ(9, _app->exitCode);
}

class Nester : public zEvH {
public:
    Log* log;
    HWND frame;
    int nested(zEvent*) {
        PostQuitMessage(7);
        _app->go();
        log->push_back("nested " + std::to_string(_app->exitCode));
        PostMessageA(frame, WM_USER + 61, 0, 0);
        return 1;
    }
    int after(zEvent*) {
        log->push_back("outer");
        PostQuitMessage(3);
        return 1;
    }
};

TEST_F(Loop, QuitInsideANestedRunEndsOnlyThatRun) {
    Nester n;
    n.log = &log;
    n.frame = frame->hwnd;
    frame->setHandler(&n, zHandlerOf(&Nester::nested), WM_USER + 60);
    frame->setHandler(&n, zHandlerOf(&Nester::after), WM_USER + 61);
    PostMessageA(frame->hwnd, WM_USER + 60, 0, 0);
    _app->go();
    EXPECT_EQ(Log({"nested 7", "outer"}), log);
    EXPECT_EQ(3, _app->exitCode);
}

class Tasks : public zEvH {
public:
    int onceCalls = 0;
    int slowCalls = 0;
    int once() {
        ++onceCalls;
        return 1;
    }
    int slow() {
        if (++slowCalls < 3) return 0;
        _app->quit();
        return 1;
    }
};

TEST_F(Loop, IdleTasksRunOncePerSliceUntilTheyAnswerNonzero) {
    Tasks t;
    _app->taskDev->add(&t, static_cast<TaskProc>(&Tasks::once));
    _app->taskDev->add(&t, static_cast<TaskProc>(&Tasks::slow));
    _app->go();
    EXPECT_EQ(1, t.onceCalls);
    EXPECT_EQ(3, t.slowCalls);
    EXPECT_EQ(0, _app->taskDev->count());
}

TEST_F(Loop, RemovedTasksNoLongerRun) {
    Tasks t;
    _app->taskDev->add(&t, static_cast<TaskProc>(&Tasks::slow));
    _app->taskDev->add(&t, static_cast<TaskProc>(&Tasks::once));
    _app->taskDev->remove(&t, static_cast<TaskProc>(&Tasks::slow));
    EXPECT_EQ(1, _app->taskDev->count());
    _app->taskDev->poll();
    EXPECT_EQ(0, t.slowCalls);
    EXPECT_EQ(1, t.onceCalls);
    EXPECT_EQ(0, _app->taskDev->count());
}

TEST_F(Loop, AcceleratorsOnlyWhileTheMainFrameIsEnabled) {
    ACCEL a = {FVIRTKEY, VK_F5, 77};
    _app->accel = CreateAcceleratorTableA(&a, 1);
    for (int enabled = 1; enabled >= 0; --enabled) {
        frame->commands = 0;
        EnableWindow(frame->hwnd, enabled);
        PostMessageA(frame->hwnd, WM_KEYDOWN, VK_F5, 1);
        PostQuitMessage(0);
        _app->go();
        EXPECT_EQ(enabled, frame->commands) << "enabled " << enabled;
        if (enabled) {
            EXPECT_EQ(77u, frame->lastCommand);
        }
    }
    EnableWindow(frame->hwnd, 1);
    DestroyAcceleratorTable(_app->accel);
}

TEST_F(Loop, StaleActiveDialogIsSkipped) {
    HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, 0, 0, 0, 0);
    DestroyWindow(gone);
    _activeDialog = gone;
    PostMessageA(frame->hwnd, WM_COMMAND, 5, 0);
    PostQuitMessage(0);
    _app->go();
    EXPECT_EQ(1, frame->commands);
}

TEST(AppObject, ScreenMetricsAreRead) {
    App();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), ___scrPixWidth);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), ___scrPixHeight);
    EXPECT_GT(___scrPixPerInchX, 0);
    EXPECT_GT(___scrMmWidth, 0);
    EXPECT_EQ(400, _app->defaultDlgFontWeight());
    _app->setDefaultDlgFontWeight(700);
    EXPECT_EQ(700, _app->defaultDlgFontWeight());
    _app->setDefaultDlgFontWeight(-1);
    EXPECT_EQ(400, _app->defaultDlgFontWeight());
}

// ---- the program entry, in a child process ----

int mainMode = 0;

QV_CHILD_CASE(WinMainClosesMainFrame) {
    mainMode = 0;
    ExitProcess((UINT)WinMain(GetModuleHandleA(nullptr), 0, const_cast<char*>(""), SW_SHOWNORMAL));
}

QV_CHILD_CASE(WinMainQuitCode) {
    mainMode = 1;
    ExitProcess((UINT)WinMain(GetModuleHandleA(nullptr), 0, const_cast<char*>(""), SW_SHOWNORMAL) + 40);
}

TEST(WinMainEntry, ReturnsTheExitCodeOfTheOutermostLoop) {
    qvtest::ChildResult closed = qvtest::RunChild("WinMainClosesMainFrame");
    ASSERT_TRUE(closed.started);
    EXPECT_EQ(0u, closed.exitCode) << closed.output;
    qvtest::ChildResult quit = qvtest::RunChild("WinMainQuitCode");
    EXPECT_EQ(45u, quit.exitCode) << quit.output;
}

}  // namespace

// The program's own start-up, as the server would supply it.
void zApp::main() {
    zAppFrame* f = new zAppFrame(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "main", 0);
    if (mainFrame != f) ExitProcess(90);
    if (mainMode == 0) PostMessageA(f->hwnd, WM_CLOSE, 0, 0);
    else PostQuitMessage(5);
    go();
    delete f;
}
