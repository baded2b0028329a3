#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "TestAids.h"
#include "ChildProcess.h"
#include "MessageBoxWatcher.h"
#include "SpControl.h"
#include "SysHelpers.h"
#include "TraceTable.h"
#include "WaitFor.h"

namespace {

std::string Helper() { return qvaid::AidPath("qvaid_helper.exe"); }

// Polls for the helper's window, which appears a moment after the start.
HWND WaitForWindow(char* cls, const char* title, unsigned long mask = 0, unsigned long value = 0) {
    HWND w = nullptr;
    qvtest::WaitFor([&] { return (w = SysFindWindow(nullptr, cls, title, nullptr, mask, value)) != nullptr; }, 20000, 25);
    return w;
}

}  // namespace

TEST(BuildPathName, OneSeparatorAndBounded) {
    struct Case {
        const char* dir;
        const char* name;
        const char* path;
    } cases[] = {
        {"C:\\dir", "f.txt", "C:\\dir\\f.txt"},
        {"C:\\dir\\", "f.txt", "C:\\dir\\f.txt"},
        {"C:\\", "f.txt", "C:\\f.txt"},
        {"C:\\dir", nullptr, "C:\\dir\\"},
        {"", "f.txt", "f.txt"},
        {nullptr, "f.txt", "f.txt"},
    };
    for (const Case& c : cases) {
        char out[64];
        char* end = BuildPathName(out, c.dir, c.name);
        EXPECT_STREQ(c.path, out) << (c.dir ? c.dir : "null");
        EXPECT_EQ(out + std::strlen(out), end);
    }

    char out[64] = "C:\\base";
    BuildPathName(out, out, "sub");  // the directory already in out
    EXPECT_STREQ("C:\\base\\sub", out);

    char exact[12];  // "C:\\dir\\f.txt" is 12 characters: one too many
    EXPECT_EQ(nullptr, BuildPathName(exact, "C:\\dir", "f.txt"));
    EXPECT_STREQ("", exact);
    EXPECT_EQ(nullptr, BuildPathName(exact, "C:\\directory\\too\\long", "f"));
    char fits[13];
    EXPECT_NE(nullptr, BuildPathName(fits, "C:\\dir", "f.txt"));
    EXPECT_STREQ("C:\\dir\\f.txt", fits);
}

TEST(ExecuteProgram, ExitCodesAndStartFailures) {
    std::string helper = Helper();
    EXPECT_EQ(7u, ExecuteProgram(helper.c_str(), nullptr, "exit 7", 0, 1));
    EXPECT_EQ(0u, ExecuteProgram(helper.c_str(), nullptr, "exit 0", 1, 1)) << "detached";

    void* process = nullptr;
    EXPECT_EQ(0u, ExecuteProgram(helper.c_str(), nullptr, "exit 3", 0, 0, &process));
    ASSERT_NE(nullptr, process);
    WaitForSingleObject(process, 30000);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    EXPECT_EQ(3u, code);

    EXPECT_EQ(20000u + ERROR_FILE_NOT_FOUND, ExecuteProgram("qv_no_such_program", nullptr, "", 0, 1));
    unsigned long r = ExecuteProgram("C:\\no\\such\\dir\\prog.exe", nullptr, nullptr, 0, 1);
    EXPECT_TRUE(r == 20000u + ERROR_PATH_NOT_FOUND || r == 20000u + ERROR_FILE_NOT_FOUND) << r;
    EXPECT_EQ(-1, CheckProgramExec(nullptr, 0));
}

TEST(SysLibrary, BindsByOrdinalThenNameAllOrNothing) {
    std::string dll = qvaid::AidPath("qvaid_testdll.dll");
    using Fn = int (*)();
    Fn named = nullptr, both = nullptr, hidden = nullptr, upper = nullptr;
    DLLENTRY table[] = {
        {"AidNamed", 0, &named},
        {"NotAName", 7, &both},  // the ordinal decides
        {"", 9, &hidden},        // exported by ordinal only
        {"aidupper", 0, &upper},
        {"", 0, nullptr},
    };
    EXPECT_EQ(nullptr, SysLibraryLoad(dll.c_str(), table, 0)) << "aidupper binds only upper-cased";
    EXPECT_EQ(nullptr, named) << "a failed load leaves the targets as they were";
    EXPECT_EQ(nullptr, both);
    EXPECT_EQ(nullptr, SysLibraryLoad(dll.c_str(), table, 1)) << "upper-casing misses the mixed-case AidNamed";

    table[0].ordinal = 8;  // AidNamed's ordinal
    HMODULE m = SysLibraryLoad(dll.c_str(), table, 1);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(101, named());
    EXPECT_EQ(102, both());
    EXPECT_EQ(103, hidden());
    EXPECT_EQ(104, upper());
    SysLibraryFree(m);

    Fn first = nullptr, second = nullptr;
    DLLENTRY missing[] = {{"AidBoth", 5, &first}, {"NotThere", 0, &second}, {"", 0, nullptr}};
    EXPECT_EQ(nullptr, SysLibraryLoad(dll.c_str(), missing));
    EXPECT_EQ(nullptr, first);
    EXPECT_EQ(nullptr, GetModuleHandleA("qvaid_testdll.dll")) << "no library left loaded";
    EXPECT_EQ(nullptr, SysLibraryLoad("qv_no_such_library.dll", nullptr));

    // A row naming no entry point ends a table as a row without target does.
    Fn spare = nullptr;
    DLLENTRY emptyEnd[] = {{"AidNamed", 0, &first}, {"", 0, &spare}};
    HMODULE ended = SysLibraryLoad(dll.c_str(), emptyEnd);
    ASSERT_NE(nullptr, ended);
    EXPECT_EQ(101, first());
    EXPECT_EQ(nullptr, spare);
    SysLibraryFree(ended);
    first = nullptr;

    HMODULE plain = SysLibraryLoad(dll.c_str(), nullptr);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(1, SysLibraryResolve(plain, missing)) << "counts what stayed unbound";
    ASSERT_NE(nullptr, first) << "a wrong ordinal falls back to the name";
    EXPECT_EQ(102, first());
    SysLibraryFree(plain);
}

TEST(SysFindWindow, FindsAnotherProgramsWindowOnly) {
    const char* cls = "QvAidFindCls";
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    // Our own window with the same class and title must be passed over.
    HWND own = CreateWindowA(cls, "Find Me", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, own);

    char clsUpper[] = "QVAIDFINDCLS";
    EXPECT_EQ(nullptr, SysFindWindow(nullptr, clsUpper, "FIND ME"));

    std::string args = "window QvAidFindCls \"  Find Me\" 20000";
    void* process = nullptr;
    ASSERT_EQ(0u, ExecuteProgram(Helper().c_str(), nullptr, args.c_str(), 0, 0, &process));
    // Shown, not only created: the cases below ask about visibility.
    HWND found = WaitForWindow(clsUpper, "FIND ME", WS_VISIBLE, WS_VISIBLE);
    ASSERT_NE(nullptr, found);
    EXPECT_NE(own, found);
    DWORD pid = 0;
    GetWindowThreadProcessId(found, &pid);
    EXPECT_EQ(GetProcessId(process), pid);

    struct Case {
        const char* cls;
        const char* title;
        unsigned long mask, value;
        bool finds;
    } cases[] = {
        {"QVAIDFINDCLS", nullptr, 0, 0, true},
        {"QvAidFindCls", "FIND ME", 0, 0, false},  // the class is compared upper-cased
        {"QVAIDFINDCLS", "Find Me", 0, 0, false},
        {"QVAIDFINDCLS", "FIND", 0, 0, false},
        {"QVAIDFINDCLS", "FIND ME", WS_VISIBLE, WS_VISIBLE, true},
        {"QVAIDFINDCLS", "FIND ME", WS_VISIBLE, 0, false},
    };
    for (const Case& c : cases) {
        char name[64];
        std::strcpy(name, c.cls);
        EXPECT_EQ(c.finds ? found : nullptr, SysFindWindow(nullptr, name, c.title, nullptr, c.mask, c.value))
            << c.cls << " / " << (c.title ? c.title : "any");
    }

    char given[256] = "";
    EXPECT_EQ(found, SysFindWindow(nullptr, given, "FIND ME"));
    EXPECT_STREQ("QvAidFindCls", given) << "an empty class name receives the window's class";

    EnableWindow(found, FALSE);
    EXPECT_EQ(nullptr, SysFindWindow(nullptr, clsUpper, "FIND ME")) << "disabled windows are skipped";

    PostMessageA(found, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 30000));
    CloseHandle(process);
    DestroyWindow(own);
}

namespace {

struct Seen {
    UINT msg = 0;
    WPARAM wp = 0;
    LPARAM lp = 0;
    int count = 0;
};
Seen g_seen;

LRESULT CALLBACK RecordProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND || msg == WM_USER + 100 || msg == WM_TIMER) {
        g_seen.msg = msg;
        g_seen.wp = wp;
        g_seen.lp = lp;
        g_seen.count++;
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

class OwnWindow : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc;
        std::memset(&wc, 0, sizeof wc);
        wc.lpfnWndProc = RecordProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QvRecordCls";
        RegisterClassA(&wc);
        menu_ = CreateMenu();
        AppendMenuA(menu_, MF_STRING, 40, "&Old");
        w_ = CreateWindowA("QvRecordCls", "rec", WS_OVERLAPPEDWINDOW, 0, 0, 80, 80, nullptr, menu_, wc.hInstance,
                           nullptr);
        ASSERT_NE(nullptr, w_);
        g_seen = Seen();
    }
    void TearDown() override { DestroyWindow(w_); }
    // Dispatches what is queued for the window.
    void Pump(DWORD ms = 0) {
        DWORD until = GetTickCount() + ms;
        MSG m;
        do {
            while (PeekMessageA(&m, w_, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
            if (ms) Sleep(5);
        } while (ms && GetTickCount() < until && !g_seen.count);
    }
    HWND w_ = nullptr;
    HMENU menu_ = nullptr;
};

}  // namespace

TEST_F(OwnWindow, CommandMessagesPostedOrSent) {
    EXPECT_TRUE(PostCmdMessage(w_, 0xC1C, 1234, 0));
    EXPECT_EQ(0, g_seen.count) << "posted, not yet handled";
    Pump();
    EXPECT_EQ(1, g_seen.count);
    EXPECT_EQ(UINT(WM_COMMAND), g_seen.msg);
    EXPECT_EQ(WPARAM(0xC1C), g_seen.wp);
    EXPECT_EQ(LPARAM(1234), g_seen.lp);

    EXPECT_TRUE(PostCmdMessage(w_, 0xC81, 5, 1));
    EXPECT_EQ(2, g_seen.count) << "sent: handled before the call returns";
}

TEST_F(OwnWindow, AppMessagesOnlyOnceTheNumberIsSet) {
    ASSERT_NE(nullptr, _pSupport);
    unsigned long saved = _pSupport->appMessage;
    _pSupport->appMessage = 0;
    EXPECT_FALSE(PostAppMessage(w_, 0xC82, 77, 0));
    EXPECT_FALSE(PostAppMessage(w_, 0xC82, 77, 1));
    Pump();
    EXPECT_EQ(0, g_seen.count) << "nothing reaches the window";

    _pSupport->appMessage = WM_USER + 100;
    EXPECT_TRUE(PostAppMessage(w_, 0xC82, 77, 0));
    Pump();
    EXPECT_EQ(1, g_seen.count);
    EXPECT_EQ(UINT(WM_USER + 100), g_seen.msg);
    EXPECT_EQ(WPARAM(0xC82), g_seen.wp);
    EXPECT_EQ(LPARAM(77), g_seen.lp);
    EXPECT_TRUE(PostAppMessage(w_, 0xC8B, 78, 1));
    EXPECT_EQ(2, g_seen.count) << "sent: handled before the call returns";
    EXPECT_EQ(LPARAM(78), g_seen.lp);
    _pSupport->appMessage = saved;
}

namespace {
BBOOL CollectPosted(const TRACERECORD* r, void* out) {
    if (r->category == TRACE_TASK && r->event == TRACE_TASK_MSG_POSTED)
        static_cast<std::vector<std::string>*>(out)->push_back(
            std::string(reinterpret_cast<const char*>(r) + TRACETABLE::HeaderSize, r->length - TRACETABLE::HeaderSize));
    return TRUE;
}

std::string Le(unsigned long v, int n) {
    std::string s;
    for (int i = 0; i < n; i++) s += char(v >> (8 * i));
    return s;
}
}  // namespace

TEST_F(OwnWindow, PostedMessagesAreTraced) {
    unsigned long saved = _pSupport->appMessage;
    _pSupport->appMessage = WM_USER + 100;
    TRACETABLE& trace = _pSupport->trace;
    ASSERT_TRUE(trace.StartTrace(TRACE_TASK, 0));
    PostAppMessage(w_, 0xC82, 77, 0);
    PostCmdMessage(w_, 0xC1C, 5, 0);
    std::vector<std::string> posted;
    trace.Walk(CollectPosted, &posted);
    trace.StopTrace();
    trace.categories = 0;
    _pSupport->appMessage = saved;
    Pump();
    const unsigned long w = (unsigned long)(uintptr_t)w_;
    ASSERT_EQ(2u, posted.size());
    EXPECT_EQ("l" + Le(w, 4) + "i" + Le(WM_USER + 100, 4) + "h" + Le(0xC82, 2) + "l" + Le(77, 4), posted[0]);
    EXPECT_EQ("l" + Le(w, 4) + "i" + Le(WM_COMMAND, 4) + "i" + Le(0xC1C, 4) + "l" + Le(5, 4), posted[1]);
}

TEST_F(OwnWindow, IconsAndCursor) {
    HICON big = LoadIconA(nullptr, IDI_APPLICATION);
    HICON small = LoadIconA(nullptr, IDI_INFORMATION);
    SetWindowIcon(w_, big, small);
    EXPECT_EQ(LRESULT(big), SendMessageA(w_, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(LRESULT(small), SendMessageA(w_, WM_GETICON, ICON_SMALL, 0));

    POINT pt;
    GetCursorPos(&pt);
    int x = -1, y = -1;
    EXPECT_TRUE(GetCursorPosition(&x, &y));
    EXPECT_EQ(pt.x, x);
    EXPECT_EQ(pt.y, y);
}

TEST_F(OwnWindow, TimerAndMenuText) {
    EXPECT_TRUE(SysTimerStart(w_, 5, 10));
    Pump(15000);
    EXPECT_EQ(UINT(WM_TIMER), g_seen.msg);
    EXPECT_EQ(WPARAM(5), g_seen.wp);
    SysTimerStop(w_, 5);

    SetMenuText(w_, menu_, 40, "&New text");
    char text[64] = "";
    GetMenuStringA(menu_, 40, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("&New text", text);
}

TEST(DisplayMessage, ShowsCaptionAndText) {
    qvtest::ClearSeenBoxes();
    DisplayMessage(nullptr, "Quorvane Alert", "Something to say", 1);
    DisplayMessage(nullptr, "Quorvane Note", "Something else", 0);
    auto boxes = qvtest::SeenBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("Quorvane Alert", boxes[0].caption);
    EXPECT_EQ("Something to say", boxes[0].text);
    EXPECT_EQ("Quorvane Note", boxes[1].caption);
}

TEST(Dates, FixedWidthTexts) {
    char date[16], time[16], full[16];
    std::memset(date, '#', sizeof date);
    std::memset(time, '#', sizeof time);
    GetDateTime(date, time);
    GetFullDate(full);
    auto shape = [](const char* s, const char* form) {
        if (std::strlen(s) != std::strlen(form)) return false;
        for (size_t i = 0; form[i]; i++)
            if (form[i] == 'd' ? !std::isdigit((unsigned char)s[i]) : s[i] != form[i]) return false;
        return true;
    };
    EXPECT_TRUE(shape(date, "dd/dd/dd")) << date;
    EXPECT_TRUE(shape(time, "dd:dd:dd")) << time;
    EXPECT_TRUE(shape(full, "dddd-dd-dd")) << full;
    EXPECT_LT(std::atoi(time), 24);
    EXPECT_EQ(std::string(full + 2, 2) + "/" + std::string(full + 5, 2) + "/" + std::string(full + 8, 2),
              std::string(date));
    GetDateTime(nullptr, time);  // either part may be left out
    GetDateTime(date, nullptr);
    EXPECT_EQ(GetCurrentProcessId(), GetProcessID());
}

QV_CHILD_CASE(ReportPlatform) {
    OSVERSIONINFOA v;
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    std::printf("platform %lu version %lu.%lu\n", v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion);
    std::fflush(stdout);
}

TEST(TestAids, WindowsVersionScopeGivesWindows95) {
    {
        qvaid::WindowsVersionScope win95("win95");
        auto r = qvtest::RunChild("ReportPlatform");
        EXPECT_NE(std::string::npos, r.output.find("platform 1 version 4.0")) << r.output;
    }
    auto r = qvtest::RunChild("ReportPlatform");
    EXPECT_NE(std::string::npos, r.output.find("platform 2")) << r.output;
}
