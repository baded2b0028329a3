// The fatal exit with a server root and a console, in child processes.
#include "FrameworkHarness.h"

#include <cstdio>

#include "TestAids.h"
#include "ChildProcess.h"
#include "MessageBoxWatcher.h"
#include "ServerAbend.h"
#include "ServerIds.h"
#include "TaskAbend.h"

using namespace fw;

namespace {

TASKABENDHOOKS g_serverHooks;

// After the server's own last step: what the parent checks.
void ReportingTerminate(BBOOL handedOver) {
    g_serverHooks.terminate(handedOver);
    std::printf("HANDED=%d ROOT=%s FORCED=%d\n", (int)handedOver, _pSvr ? "kept" : "released",
                g_forcedShutdowns.load());
    qvtest::PrintSeenBoxes();
    std::fflush(stdout);
}

void Report() {
    GetTaskAbendHooks(&g_serverHooks);
    TASKABENDHOOKS hooks = g_serverHooks;
    hooks.terminate = ReportingTerminate;
    SetTaskAbendHooks(&hooks);
}

// The console's side of the hand-over: command 0xC29 raises the stored abend here.
LRESULT CALLBACK ChildConsole(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COMMAND && LOWORD(wp) == CMD_ABEND && _pSvr) _Task_Abend(_pSvr->abendCode, _pSvr->abendValue);
    return DefWindowProcA(w, m, wp, lp);
}

HWND ChildWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ChildConsole;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QvChildConsole";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "QvChildConsole", "console", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

SVRSYSTEM* ChildServer() {
    SVRSYSTEM* s = new SVRSYSTEM(FALSE, FALSE);
    s->prepare();
    _pSvr = s;
    s->consoleWindow = ChildWindow();
    s->ready = TRUE;
    _ServerConsoleSteps.destroyWindow = [] { std::printf("CONSOLE-DESTROYED\n"); };
    _ServerConsoleSteps.releaseTray = [] { std::printf("TRAY-RELEASED\n"); };
    return s;
}

void PumpForAWhile() {
    DWORD end = GetTickCount() + 20000;
    MSG msg;
    while ((long)(GetTickCount() - end) < 0) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    std::printf("NO-ABEND\n");
    std::exit(3);
}

void WorkerAbend(void*) { AbendTestFunction(0x2A); }

}  // namespace

QV_CHILD_CASE(WorkerAbendHandsOver) {
    ChildServer();
    Report();
    PGMTHREAD* worker = new PGMTHREAD(nullptr, nullptr, nullptr, FALSE);
    worker->prepare();
    worker->StartUp(WorkerAbend, nullptr);
    PumpForAWhile();
}

QV_CHILD_CASE(MainAbendWhileRunning) {
    SVRSYSTEM* s = ChildServer();
    // QUORHUB.INI (written by the parent) changes a USER registry value.
    if (!s->config.OpenProfile(s->mainProfile, "QUORHUB.INI") || !s->config.ReadProfile()) std::exit(4);
    s->config.appTELNET = TRUE;
    FakeType* telnet = new FakeType("TELNET");
    _pTELNETAppType = telnet;
    PROFILE profile;
    char error[256] = {};
    BUFFER e(error, sizeof error);
    s->manager.CreateAppTypes(&s->config, profile, &s->systemLog, e);
    s->manager.CreateAppDefinitions(&s->config);
    s->manager.StartAppCommunications();
    Report();
    AbendTestFunction(0x2B);
}

QV_CHILD_CASE(AbendBeforeTheRoot) {
    InstallServerAbendHooks(nullptr);
    Report();
    AbendTestFunction(0x2C);
}

namespace {

class FatalExit : public qvtest::ScratchDirTest {
protected:
    FatalExit() : ScratchDirTest("abend") {}
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
};

TEST_F(FatalExit, WorkerAbendIsRaisedOnTheMainThread) {
    qvtest::ChildResult r = qvtest::RunChild("WorkerAbendHandsOver");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    EXPECT_NE(Get("SYSTEM.DAT").find("'TST001-2A'"), std::string::npos) << Get("SYSTEM.DAT");
    EXPECT_EQ(Count(r.output, "BOX["), 1) << r.output;
    EXPECT_NE(r.output.find("HANDED=1 ROOT=kept FORCED=0"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("CONSOLE-DESTROYED"), std::string::npos) << "a parked worker may hold locks";
}

TEST_F(FatalExit, MainThreadAbendWhileRunningReleasesRootAndConsole) {
    qvaid::ScratchKey key;
    ASSERT_TRUE(key.SetString("Changed", "before"));
    Put("QUORHUB.INI", "[USER Registry Keys]\r\n" + std::string(key.Path()) + ": Changed=after\r\n[Applications]\r\n");
    qvtest::ChildResult r = qvtest::RunChild("MainAbendWhileRunning");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    EXPECT_NE(Get("SYSTEM.DAT").find("'TST001-2B'"), std::string::npos) << Get("SYSTEM.DAT");
    EXPECT_EQ(Count(r.output, "BOX["), 1) << r.output;
    EXPECT_NE(r.output.find("CONSOLE-DESTROYED"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("TRAY-RELEASED"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("HANDED=0 ROOT=released FORCED=1"), std::string::npos) << r.output;
    DWORD type = 0;
    std::string value;
    ASSERT_TRUE(key.Get("Changed", &type, &value));
    EXPECT_NE(Get("QUORHUB.INI").find("[Saved USER Registry Keys]"), std::string::npos) << "the child applied it";
    EXPECT_EQ("before", value.substr(0, value.find('\0'))) << "the saved USER value is restored";
}

TEST_F(FatalExit, BeforeTheRootExistsStillEndsWithOne) {
    qvtest::ChildResult r = qvtest::RunChild("AbendBeforeTheRoot");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    EXPECT_NE(r.output.find("'TST001-2C'"), std::string::npos) << r.output;
}

}  // namespace
