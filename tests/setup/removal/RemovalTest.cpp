// The removal program qvclear.exe, started as the uninstaller starts it, and
// its path rules.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <string>

#include "ChildProcess.h"
#include "DirectoryRemoval.h"
#include "ScratchDir.h"
#include "TestAids.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A process of ours that holds a file open without sharing; ended by handle.
class HeldFile {
public:
    HeldFile(const std::string& path, int seconds) {
        std::string cmd = "\"" + qvaid::AidPath("holdfile.exe") + "\" \"" + path + "\" " + std::to_string(seconds);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return;
        // Evidence that it holds the file: our own open is refused.
        for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(20)) {
            HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
                held_ = true;
                break;
            }
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
    }
    ~HeldFile() {
        if (!pi_.hProcess) return;
        if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 0);
        WaitForSingleObject(pi_.hProcess, 10000);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    bool Held() const { return held_; }

private:
    PROCESS_INFORMATION pi_ = {};
    bool held_ = false;
};

class Removal : public qvtest::ScratchDirTest {
protected:
    Removal() : ScratchDirTest("removal") {}
    // Runs qvclear with the command line; its run time in ms, -1 when it did not end.
    long Clear(const std::string& commandLine, unsigned timeoutMs = 60000) {
        std::string cmd = "\"" + qvaid::BuildPath("setup\\qvclear.exe") + "\" " + commandLine;
        DWORD start = GetTickCount();
        qvtest::ChildResult r = qvtest::RunProgram(cmd, timeoutMs);
        EXPECT_TRUE(r.started) << cmd;
        if (r.exitCode == 99) return -1;
        return long(GetTickCount() - start);
    }
    // app\ with files, nested folders and the installer's work files beside it.
    std::string MakeInstall() {
        std::string app = dir + "\\app";
        for (const char* d : {"", "\\bin", "\\bin\\deep", "\\bin\\deep\\er", "\\docs"})
            CreateDirectoryA((app + d).c_str(), nullptr);
        for (const char* f : {"\\qvhub.dat", "\\bin\\a.dat", "\\bin\\deep\\er\\x.txt", "\\docs\\readme.txt"})
            Put(app + f, "data");
        Put(dir + "\\_INS0432._QV", "work");
        Put(dir + "\\_INZ0432._QV", "work");
        Put(dir + "\\keep.txt", "not ours");
        return app;
    }
};

TEST_F(Removal, RemovesTheTreeAndTheWorkFilesBesideIt) {
    for (const char* form : {"%s", "%s\\", "\"%s\""}) {
        std::string app = MakeInstall();
        char line[600];
        std::snprintf(line, sizeof line, form, app.c_str());
        EXPECT_GE(Clear(line), 0) << line;
        EXPECT_FALSE(Exists(app)) << line;
        EXPECT_FALSE(Exists(dir + "\\_INS0432._QV")) << line;
        EXPECT_FALSE(Exists(dir + "\\_INZ0432._QV")) << line;
        EXPECT_TRUE(Exists(dir + "\\keep.txt")) << line;
    }
    // An empty directory still takes the work files with it.
    CreateDirectoryA((dir + "\\empty").c_str(), nullptr);
    Put(dir + "\\_INS0432._QV", "work");
    Clear(dir + "\\empty");
    EXPECT_FALSE(Exists(dir + "\\empty"));
    EXPECT_FALSE(Exists(dir + "\\_INS0432._QV"));
}

TEST_F(Removal, RefusedCommandLinesKeepEverything) {
    std::string app = MakeInstall();
    for (std::string line : {std::string("app"), std::string("\"app\""), std::string(""),
                             dir + "\\app\\" + std::string(270, 'x')}) {
        Clear(line);
        EXPECT_TRUE(Exists(app + "\\bin\\deep\\er\\x.txt")) << line;
        EXPECT_TRUE(Exists(dir + "\\_INS0432._QV")) << line;
    }
}

TEST_F(Removal, WaitsForAFileHeldForAWhile) {
    std::string app = MakeInstall();
    HeldFile held(app + "\\bin\\a.dat", 5);
    ASSERT_TRUE(held.Held());
    long ms = Clear(app);
    EXPECT_GE(ms, 4000) << "removal waited for the file";
    EXPECT_LT(ms, 20000);
    EXPECT_FALSE(Exists(app));
}

TEST_F(Removal, GivesUpOnAFileHeldThroughout) {
    std::string app = MakeInstall();
    // Held well past the removal's own limit, whatever the machine's load.
    HeldFile held(app + "\\bin\\a.dat", 150);
    ASSERT_TRUE(held.Held());
    long ms = Clear(app, 140000);
    EXPECT_GE(ms, 25000);
    EXPECT_TRUE(Exists(app + "\\bin\\a.dat"));
    EXPECT_FALSE(Exists(app + "\\docs")) << "what could go, went";
}

TEST(RemovalPath, OnlyDirectoriesBelowARootOutsideWindows) {
    char windows[MAX_PATH], system[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    GetSystemDirectoryA(system, sizeof system);
    std::string win(windows), sys(system);
    std::string parentOfWindows = win.substr(0, win.find_last_of('\\'));
    struct Case {
        std::string line;
        const char* accepted;  // null: refused
    } cases[] = {
        {"C:\\Program Files\\Quorvane", "C:\\Program Files\\Quorvane"},
        {"  \"C:\\Program Files\\Quorvane\\\"  ", "C:\\Program Files\\Quorvane"},
        {"C:/Apps/Quorvane", "C:\\Apps\\Quorvane"},
        {"C:\\Apps\\Quorvane\\bin\\..", "C:\\Apps\\Quorvane"},
        {"C:\\Apps\\..", nullptr},
        {"C:\\", nullptr},
        {"C:", nullptr},
        {"Quorvane", nullptr},
        {"\\Quorvane", nullptr},
        {"", nullptr},
        {"\"\"", nullptr},
        {win, nullptr},
        {win + "\\", nullptr},
        {sys, nullptr},
        {parentOfWindows.size() > 3 ? parentOfWindows : std::string("C:\\"), nullptr},
        {win + "\\Temp\\Quorvane", "-"},  // below the Windows directory but neither it nor a parent
        {"C:\\" + std::string(260, 'a'), nullptr},
        {"\\\\server\\share", nullptr},
        {"\\\\server\\share\\Quorvane", "\\\\server\\share\\Quorvane"},
    };
    for (const Case& c : cases) {
        char out[REMOVAL_PATH_SIZE] = "junk";
        BBOOL ok = CheckRemovalPath(c.line.c_str(), out);
        EXPECT_EQ(c.accepted != nullptr, ok != 0) << c.line;
        if (!c.accepted) {
            EXPECT_STREQ("", out) << c.line;
        } else if (std::string(c.accepted) != "-") {
            EXPECT_STREQ(c.accepted, out) << c.line;
        }
    }
}

TEST(RemovalPath, SplitNameAndLastChar) {
    struct Case {
        const char* path;
        const char* head;
        const char* tail;
    } cases[] = {{"C:\\a\\b", "C:\\a\\", "b"}, {"C:\\a\\", "C:\\a\\", ""}, {"name", "", "name"}, {"", "", ""}};
    for (const Case& c : cases) {
        char head[64] = "x", tail[64] = "x";
        SplitName(c.path, head, tail, '\\');
        EXPECT_STREQ(c.head, head) << c.path;
        EXPECT_STREQ(c.tail, tail) << c.path;
    }
    EXPECT_EQ(1, LastChar("C:\\a\\", '\\'));
    EXPECT_EQ(0, LastChar("C:\\a", '\\'));
    EXPECT_EQ(0, LastChar("", '\\'));
}

}  // namespace
