// The program start's library part and the server root's control thread:
// configuration directory, start and stop chain, activity checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "FrameworkHarness.h"
#include "ServerIds.h"
#include "ServerStart.h"
#include "SpControl.h"
#include "SysDir.h"
#include "SvrSystem.h"
#include "Timer.h"

namespace {

TEST(ProgramDirectory, DriveRootKeepsItsBackslash) {
    struct Case {
        const char* module;
        const char* directory;
    };
    const Case cases[] = {
        {"C:\\quorhub.exe", "C:\\"},
        {"C:\\QUORVANE\\quorhub.exe", "C:\\QUORVANE"},
        {"Z:\\a\\b\\quorhub.exe", "Z:\\a\\b"},
    };
    for (const Case& c : cases) {
        char out[260];
        ProgramDirectoryOf(c.module, out, sizeof out);
        EXPECT_STREQ(c.directory, out) << c.module;
    }
}

TEST(SetupMode, OnlyTheExactFirstWord) {
    EXPECT_TRUE(IsSetupCommandLine("INSTALLSETUP"));
    EXPECT_TRUE(IsSetupCommandLine("  INSTALLSETUP more"));
    EXPECT_FALSE(IsSetupCommandLine("installsetup"));
    EXPECT_FALSE(IsSetupCommandLine("other INSTALLSETUP"));
    EXPECT_FALSE(IsSetupCommandLine(""));
    EXPECT_FALSE(IsSetupCommandLine(nullptr));
}

class ConfigDirectoryTest : public qvtest::ScratchDirTest {
protected:
    ConfigDirectoryTest() : ScratchDirTest("cfgdir") {}
    void SetUp() override {
        ScratchDirTest::SetUp();
        _pSupport->module.instance = GetModuleHandleA(nullptr);
        CreateDirectoryA("prog", nullptr);
        CreateDirectoryA("env", nullptr);
        _putenv("QUORVANE=");
    }
    void TearDown() override {
        _putenv("QUORVANE=");
        ScratchDirTest::TearDown();
    }
    std::string Find(const char* program, int* rc = nullptr) {
        char out[256] = "junk";
        BUFFER b(out, sizeof out);
        int r = findSysConfigDirectory(b, program);
        if (rc) *rc = r;
        char cwd[MAX_PATH];
        GetCurrentDirectoryA(sizeof cwd, cwd);
        if (r == 0) {
            EXPECT_STREQ(cwd, out) << "the directory found is the current one";
        }
        return r == 0 ? out : "<none>";
    }
};

TEST_F(ConfigDirectoryTest, CandidatesInOrder) {
    std::string prog = dir + "\\prog", env = dir + "\\env";
    Put(env + "\\QUORHUB.INI", "[Server Configuration]\n");
    _putenv(("QUORVANE=" + env).c_str());
    EXPECT_EQ(env, Find(prog.c_str()));  // the program directory has none
    Put(prog + "\\QUORHUB.INI", "[Server Configuration]\n");
    EXPECT_EQ(prog, Find(prog.c_str()));
    EXPECT_EQ(env, Find(nullptr));
}

TEST_F(ConfigDirectoryTest, CurrentDrivesQuorvaneConfigLast) {
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    CreateDirectoryA("C:\\QUORVANE", nullptr);
    CreateDirectoryA("C:\\QUORVANE\\CONFIG", nullptr);
    bool made = qvtest::PutFile("C:\\QUORVANE\\CONFIG\\QUORHUB.INI", "[Server Configuration]\n");
    ASSERT_TRUE(made);
    EXPECT_EQ("C:\\QUORVANE\\CONFIG", Find((dir + "\\prog").c_str()));
    DeleteFileA("C:\\QUORVANE\\CONFIG\\QUORHUB.INI");
    int rc = 0;
    char out[256] = "junk";
    BUFFER b(out, sizeof out);
    rc = findSysConfigDirectory(b, (dir + "\\prog").c_str());
    EXPECT_EQ(-1, rc);
    EXPECT_STREQ("", out);
    RemoveDirectoryA("C:\\QUORVANE\\CONFIG");
    RemoveDirectoryA("C:\\QUORVANE");
}

// The control thread against fake services, with a console window that
// records every command and its parameter.
std::vector<std::pair<int, LPARAM>> g_seen;

LRESULT CALLBACK RecordProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COMMAND) {
        g_seen.emplace_back((int)LOWORD(wp), lp);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

struct LockHolder {
    SVRSYSTEM* svr;
    HANDLE held, release;
};

DWORD WINAPI HoldDefinitionLock(LPVOID p) {
    LockHolder* a = static_cast<LockHolder*>(p);
    a->svr->manager.definitions.lock.Reserve();
    SetEvent(a->held);
    WaitForSingleObject(a->release, 20000);
    a->svr->manager.definitions.lock.Release();
    return 0;
}

class ControlThreadTest : public fw::ServerTest {
protected:
    void SetUp() override {
        fw::ServerTest::SetUp();
        _pSupport->module.instance = GetModuleHandleA(nullptr);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecordProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QvRootRecorder";
        RegisterClassA(&wc);
        recorder = CreateWindowExA(0, "QvRootRecorder", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        g_seen.clear();
    }
    void TearDown() override {
        if (thread) WaitForControlThread();
        DestroyWindow(recorder);
        fw::ServerTest::TearDown();
    }
    void Start(const std::vector<std::string>& enabled) {
        MakeServer(FALSE);
        server->consoleWindow = recorder;
        MakeTypes(enabled);
        UseProfile("[Applications]\r\n");
        thread = new PGMTHREAD(nullptr, nullptr, nullptr, FALSE);
        ASSERT_TRUE(thread->StartUp(MainSystemCntlProc, nullptr));
    }
    void WaitForControlThread() {
        server->terminateEvent.PostEvent();
        thread->Wait();
        thread->freeobj();
        thread = nullptr;
    }
    bool Saw(int id) {
        return fw::WaitFor([&] {
            for (auto& s : g_seen)
                if (s.first == id) return true;
            return false;
        });
    }
    LPARAM Parameter(int id) {
        for (auto& s : g_seen)
            if (s.first == id) return s.second;
        return -1;
    }
    std::vector<int> Ids() {
        std::vector<int> ids;
        for (auto& s : g_seen) ids.push_back(s.first);
        return ids;
    }

    HWND recorder = nullptr;
    PGMTHREAD* thread = nullptr;
};

TEST_F(ControlThreadTest, StartThenTerminateEvent) {
    Start({"TELNET", "NNTP"});
    ASSERT_TRUE(Saw(CMD_READY));
    std::vector<int> ids = Ids();
    EXPECT_EQ(CMD_APP_STARTED, ids.front());
    EXPECT_EQ(CMD_READY, ids.back());
    EXPECT_EQ(0, (int)std::count(ids.begin(), ids.end(), CMD_START_ERROR));
    g_seen.clear();
    server->terminateEvent.PostEvent();
    ASSERT_TRUE(Saw(CMD_STOPPED));
    ids = Ids();
    EXPECT_EQ(CMD_STOPPED, ids.back());
    EXPECT_LE(2, (int)std::count(ids.begin(), ids.end(), CMD_APP_STOPPED));
    EXPECT_EQ(0, server->manager.definitions.Count());
}

TEST_F(ControlThreadTest, NoServiceEnabledIsAStartError) {
    Start({});
    ASSERT_TRUE(Saw(CMD_START_ERROR));
    EXPECT_EQ(IDS_NO_APPLICATIONS, Parameter(CMD_START_ERROR));
    EXPECT_EQ(-1, Parameter(CMD_READY));
}

TEST_F(ControlThreadTest, BadServiceSectionNamesTheKey) {
    MakeServer(FALSE);
    server->consoleWindow = recorder;
    MakeTypes({"FTP"});
    UseProfile("[FTP Configuration]\r\nFull Logging=maybe\r\n");
    thread = new PGMTHREAD(nullptr, nullptr, nullptr, FALSE);
    ASSERT_TRUE(thread->StartUp(MainSystemCntlProc, nullptr));
    ASSERT_TRUE(Saw(CMD_START_ERROR));
    EXPECT_EQ(IDS_INVALID_VALUE, Parameter(CMD_START_ERROR));
    EXPECT_STREQ("Full Logging. Error with application FTP. ", server->startError);
}

TEST_F(ControlThreadTest, ActivityChecks) {
    Start({"TELNET"});
    ASSERT_TRUE(Saw(CMD_READY));
    server->servicesStarted = FALSE;
    EXPECT_FALSE(server->HasActiveReqs(TRUE, FALSE));  // before the services started
    server->servicesStarted = TRUE;
    EXPECT_FALSE(server->HasActiveReqs(TRUE, FALSE));
    server->manager.loggedIn = 1;
    EXPECT_TRUE(server->HasActiveReqs(FALSE, FALSE));
    EXPECT_FALSE(server->HasActiveReqs(FALSE, TRUE));
    server->manager.loggedIn = 0;

    // The definition lock held elsewhere longer than the wait: busy, not idle.
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    LockHolder arg{server, held, release};
    HANDLE holder = CreateThread(nullptr, 0, HoldDefinitionLock, &arg, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 20000));
    EXPECT_TRUE(server->HasActiveReqs(FALSE, TRUE));
    server->fastTermination = TRUE;
    EXPECT_FALSE(server->HasActiveReqs(FALSE, TRUE));
    server->fastTermination = FALSE;
    SetEvent(release);
    WaitForSingleObject(holder, 20000);
    CloseHandle(holder);
    CloseHandle(held);
    CloseHandle(release);
}

TEST_F(ControlThreadTest, ReloadAndDebugReports) {
    Start({"TELNET"});
    ASSERT_TRUE(Saw(CMD_READY));
    g_seen.clear();
    ReloadRequestProc((void*)"NNTP");
    ASSERT_TRUE(Saw(CMD_RELOAD_RESULT));
    EXPECT_EQ(IDS_RELOAD_FAILED, Parameter(CMD_RELOAD_RESULT));
    g_seen.clear();
    ReloadRequestProc((void*)"TELNET");
    ASSERT_TRUE(Saw(CMD_RELOAD_RESULT));
    EXPECT_EQ(0, Parameter(CMD_RELOAD_RESULT));
    g_seen.clear();
    DebugRequestProc((void*)"SMTP");  // no such type running: nothing is posted
    fw::WaitFor([] { return false; }, 100);
    EXPECT_TRUE(g_seen.empty());
}

// A fatal stop forces the definitions down; the normal stop that follows on
// the control thread still ends, even when the terminate event was reset after.
TEST_F(ControlThreadTest, FastStopThenNormalStopEnds) {
    Start({"TELNET"});
    ASSERT_TRUE(Saw(CMD_READY));
    server->MainSystemTerm(TRUE);
    EXPECT_EQ(1, Definition("TELNET")->forced.load());
    ASSERT_TRUE(Saw(CMD_STOPPED));
    thread->Wait();
    thread->freeobj();
    thread = nullptr;
}

}  // namespace

namespace {

unsigned long g_now = 0;
unsigned long FixedClock() { return g_now; }

// ServerStartUp in this process, on a scratch configuration directory named by QUORVANE.
class StartUpTest : public qvtest::ScratchDirTest {
protected:
    StartUpTest() : ScratchDirTest("startup") {}
    void SetUp() override {
        ScratchDirTest::SetUp();
        _pSupport->module.instance = GetModuleHandleA(nullptr);
        _putenv(("QUORVANE=" + dir).c_str());
    }
    void TearDown() override {
        ServerShutDown();
        ServerRelease();
        TIMESTAMP::SetNowSource(nullptr);
        _putenv("QUORVANE=");
        ScratchDirTest::TearDown();
    }
    static TIMER* SystemLogTimer() {
        CITERATOR<TIMER> walk;
        TIMER* found = nullptr;
        for (TIMER* t = walk.Begin(_pSupport->timers.timers); t; t = walk.Next())
            if (t->procedure == &SVRSYSTEM::TimerSystemLog) found = t;
        walk.End();
        return found;
    }
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
};

}  // namespace

TEST_F(StartUpTest, SystemLogOpensAndReopensAtMidnight) {
    Put("QUORHUB.INI", "[Applications]\r\n");
    ASSERT_EQ(SERVER_STARTED, ServerStartUp(GetModuleHandleA(nullptr), ""));
    EXPECT_FALSE(_pSvr->setupMode);
    std::string log = Get("SYSTEM.DAT");
    EXPECT_NE(std::string::npos, log.find(std::string(127, '=')));
    EXPECT_NE(std::string::npos, log.find("Quorvane Steadfell Version 1.11.087 System log started")) << log;

    // The timer is due at the next local midnight and comes back for the one after.
    TIMER* midnight = SystemLogTimer();
    ASSERT_NE(nullptr, midnight);
    EXPECT_EQ(TC_MIDNIGHT, midnight->repeatCode);
    EXPECT_EQ(TIMESTAMP(TC_MIDNIGHT).seconds, midnight->due.seconds);
    g_now = midnight->due.seconds + 1;
    TIMESTAMP::SetNowSource(FixedClock);
    _pSupport->timers.PopTimers();
    log = Get("SYSTEM.DAT");
    EXPECT_EQ(1, Count(log, "System log stopped")) << log;
    EXPECT_EQ(2, Count(log, "System log started")) << log;
    ASSERT_EQ(midnight, SystemLogTimer());
    EXPECT_GT(midnight->due.seconds, g_now);
    ServerShutDown();
    ServerRelease();
    EXPECT_EQ(nullptr, SystemLogTimer());
}

TEST_F(StartUpTest, BackupFilesGiveADatedLogAndSetupModeIsTheExactWord) {
    Put("QUORHUB.INI", "[Server Configuration]\r\nBackup Files=3\r\n[Applications]\r\n");
    ASSERT_EQ(SERVER_STARTED, ServerStartUp(GetModuleHandleA(nullptr), "INSTALLSETUP now"));
    EXPECT_TRUE(_pSvr->setupMode);
    SYSTEMTIME st;
    GetLocalTime(&st);
    char dated[32];
    std::snprintf(dated, sizeof dated, "%02d-%02d-%02d.log", st.wYear % 100, st.wMonth, st.wDay);
    EXPECT_STREQ(dated, _pSvr->systemLog.fileName);
    EXPECT_NE(std::string::npos, Get(dated).find("System log started"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("SYSTEM.DAT"));
}
