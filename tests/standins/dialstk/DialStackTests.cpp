// dialstk.dll and dialstat.exe end to end: a child binds dialstk.dll as the
// gateway binds a socket stack (found on the search path; the Windows Sockets
// entries by ordinal, the dialer extensions by name) and works the stack's
// windows from its own process, as the gateway does through their titles.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include "RasRecords.h"
#include "StandInHarness.h"
#include "WaitFor.h"

using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;

namespace {

const char kTitle[] = "DIAL STACK STATUS";


void Say(const char* key, long value) { std::printf("%s=%ld\n", key, value); }

const char* ArgAfter(const char* name) {
    const char* at = std::strstr(GetCommandLineA(), name);
    return at ? at + std::strlen(name) : nullptr;
}

// A top-level window of another process with the title (compared in upper
// case) and with or without WS_POPUP, as the gateway looks for the stack's.
struct Search {
    bool popup;
    HWND found;
};

BOOL CALLBACK FindTop(HWND w, LPARAM lp) {
    Search* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char text[128] = "";
    GetWindowTextA(w, text, sizeof text);
    for (char* c = text; *c; ++c) *c = char(std::toupper((unsigned char)*c));
    bool popup = (GetWindowLongA(w, GWL_STYLE) & WS_POPUP) != 0;
    if (pid != GetCurrentProcessId() && IsWindowEnabled(w) && std::strcmp(text, kTitle) == 0 && popup == s->popup) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND StackWindow(bool popup) {
    Search s = {popup, nullptr};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

struct ButtonSearch {
    const char* text;
    HWND found;
};

BOOL CALLBACK FindButton(HWND w, LPARAM lp) {
    ButtonSearch* s = reinterpret_cast<ButtonSearch*>(lp);
    LONG style = GetWindowLongA(w, GWL_STYLE);
    char text[64] = "";
    GetWindowTextA(w, text, sizeof text);
    bool match = std::strcmp(text, s->text) == 0 || (text[0] == '&' && std::strcmp(text + 1, s->text) == 0);
    if ((style & WS_CHILD) && (style & WS_TABSTOP) && match) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}


// Presses the button of the stack's dialog once it shows up.
DWORD WINAPI PressWhenShown(void* text) {
    HWND button = nullptr;
    qvtest::WaitFor([&] {
        HWND dialog = StackWindow(true);
        ButtonSearch s = {static_cast<const char*>(text), nullptr};
        if (dialog) EnumChildWindows(dialog, FindButton, reinterpret_cast<LPARAM>(&s));
        button = s.found;
        return button != nullptr;
    });
    if (button) PostMessageA(button, BM_CLICK, 0, 0);
    return 0;
}

bool g_pumped = false;
LRESULT CALLBACK PumpProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) g_pumped = true;
    return DefWindowProcA(w, msg, wp, lp);
}


}  // namespace

// --press=TEXT: press that dialog button while dialing; --command: send the
// status window a WM_COMMAND once online; --offline: the stack-offline command.
QV_CHILD_CASE(DialStack) {
    OFSTRUCT found = {};
    found.cBytes = sizeof found;
    if (OpenFile("DIALSTK.DLL", &found, OF_EXIST) == HFILE_ERROR) return;
    HMODULE stack = LoadLibraryA(found.szPathName);
    HMODULE wsock = LoadLibraryA("WSOCK32.DLL");
    if (!stack || !wsock) return;
    const WORD ordinals[] = {1,  2,  3,  4,  12, 8,  9,   10,  11,  13,  14,  15,  16,  18,  19,  21,
                             22, 23, 57, 52, 55, 5,  6,   115, 116, 111, 101, 103, 108, 109, 110};
    long bound = 0;
    for (WORD o : ordinals) {
        FARPROC p = GetProcAddress(stack, MAKEINTRESOURCEA(o));
        if (p && p == GetProcAddress(wsock, MAKEINTRESOURCEA(o))) ++bound;
    }
    Say("ordinals", bound);
    auto dial = reinterpret_cast<ras::DialerExtensionFn>(reinterpret_cast<void*>(GetProcAddress(stack, "WSADialModem")));
    auto hangUp =
        reinterpret_cast<ras::DialerExtensionFn>(reinterpret_cast<void*>(GetProcAddress(stack, "WSAHangUpModem")));
    auto online = reinterpret_cast<ras::DialerExtensionFn>(reinterpret_cast<void*>(GetProcAddress(stack, "WSAIsOnline")));
    if (!dial || !hangUp || !online) return;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = PumpProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QvDialStackTestPump";
    RegisterClassA(&wc);
    HWND pump = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    PostMessageA(pump, WM_APP, 0, 0);

    static char press[16] = "";
    if (const char* p = ArgAfter("--press=")) {
        std::sscanf(p, "%15s", press);
        CloseHandle(CreateThread(nullptr, 0, PressWhenShown, press, 0, nullptr));
    }
    Say("dial", dial(0));
    Say("pumped", g_pumped);
    Say("online", online(0));
    HWND status = StackWindow(false);
    Say("status", status != nullptr);
    Say("visible", status && IsWindowVisible(status));
    if (ArgAfter("--command") && status) {
        PostMessageA(status, WM_COMMAND, 1234, 0);
        Say("dropped", qvtest::WaitFor([&] { return online(0) == 0; }));
    }
    if (ArgAfter("--offline")) {
        DialUpStandIns::AppendCommandFromChild("stack-offline");
        Say("dropped", qvtest::WaitFor([&] { return online(0) == 0; }));
    }
    Say("hangup", hangUp(0));
    Say("after", online(0));
    Say("gone", qvtest::WaitFor([] { return !StackWindow(false); }));
}

TEST(DialStack, DialsThroughTheStatusWindows) {
    struct Case {
        const char* what;
        const char* keys;
        const char* args;
        const char* dial;
        const char* online;
        const char* click;  // the button journaled as clicked, "" for none
    } cases[] = {
        {"online", "Outcome=online\r\nDialDelay=50", "", "0", "1", ""},
        {"fail", "Outcome=fail\r\nDialDelay=50", "", "1", "0", ""},
        {"NO cancels", "Buttons=NO,OK\r\nDialDelay=60000", "--press=NO", "1", "0", "NO"},
        {"&NO cancels", "Buttons=&NO,&OK\r\nDialDelay=60000", "--press=NO", "1", "0", "&NO"},
        {"OK goes on", "Buttons=OK\r\nDialDelay=60000", "--press=OK", "0", "1", "OK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(std::string("[Dial Stack]\r\nTitle=Dial Stack Status\r\n") + c.keys + "\r\n");
        auto r = s.Run("DialStack", c.args);
        auto said = qvtest::KeyValues(r.output);
        EXPECT_EQ("31", said["ordinals"]) << r.output;
        EXPECT_EQ(c.dial, said["dial"]);
        EXPECT_EQ("1", said["pumped"]) << "the caller's messages wait while dialing";
        EXPECT_EQ(c.online, said["online"]);
        EXPECT_EQ("1", said["status"]) << "the status window is found by its title";
        EXPECT_EQ("0", said["visible"]) << "hidden until asked";
        EXPECT_EQ("0", said["hangup"]);
        EXPECT_EQ("0", said["after"]);
        EXPECT_EQ("1", said["gone"]) << "the windows close after a hang-up";
        EXPECT_TRUE(s.WaitFor("dialstat", "closed"));
        EXPECT_EQ(1u, s.Calls("dialstat", "dialog").size());
        std::string clicked;
        for (const auto& e : s.Calls("dialstat", "click")) clicked += e.Field("button");
        EXPECT_EQ(c.click, clicked);
        auto dials = s.Calls("dialstk", "WSADialModem");
        ASSERT_EQ(1u, dials.size());
        EXPECT_EQ(c.dial, dials[0].result);
        EXPECT_EQ("0", dials[0].Field("arg"));
    }
}

TEST(DialStack, GoesOfflineOnACommandOrTheControlFile) {
    for (const char* args : {"--command", "--offline"}) {
        SCOPED_TRACE(args);
        DialUpStandIns s(RemoteAccess::Win95);
        s.WriteScenario("[Dial Stack]\r\nDialDelay=20\r\nLinger=50\r\n");
        auto said = qvtest::KeyValues(s.Run("DialStack", args).output);
        EXPECT_EQ("0", said["dial"]);
        EXPECT_EQ("1", said["online"]);
        EXPECT_EQ("1", said["dropped"]);
        EXPECT_EQ("1", said["gone"]);
        auto commands = s.Calls("dialstat", "command");
        if (std::string(args) == "--command") {
            ASSERT_EQ(1u, commands.size());
            EXPECT_EQ("1234", commands[0].Field("id"));
        } else {
            EXPECT_TRUE(commands.empty());
        }
    }
}
