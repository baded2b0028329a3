// A secondary line dialing through a socket stack with dialer extensions
// (dialstk.dll and its status windows, dialstat.exe): the event window's
// load, connected, hang-up and unload sequences, and the stack's windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstring>

#include "DialerHarness.h"
#include "StandInHarness.h"
#include "ScratchDir.h"
#include "TestAids.h"

using namespace dialtest;
using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;
using qvtest::FileText;
using qvtest::PutFile;

namespace {

const char kTitle[] = "DIAL STACK STATUS";

std::string StackProfile(const std::string& dll, const char* extra) {
    return "[Winsock Control]\r\nDLL Name=" + dll + "\r\nStatus Window=" + kTitle +
           "\r\nDialer Extensions=YES\r\nDialer Setup=setup.ini, Modem, Init, ATZ\r\n" + extra;
}

struct WindowSearch {
    bool popup;
    HWND found;
};

BOOL CALLBACK MatchStackWindow(HWND w, LPARAM lp) {
    WindowSearch* s = reinterpret_cast<WindowSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char text[128] = "";
    GetWindowTextA(w, text, sizeof text);
    bool popup = (GetWindowLongA(w, GWL_STYLE) & WS_POPUP) != 0;
    if (pid != GetCurrentProcessId() && _stricmp(text, kTitle) == 0 && popup == s->popup) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The stack's top-level window (popup: its dialog) of another process.
HWND StackWindow(bool popup) {
    WindowSearch s = {popup, nullptr};
    EnumWindows(MatchStackWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

WINSOCKCONTROL* SecondaryLine(WINSOCKINTERFACE** line) {
    // Remote access is bound by now; the configuration directory is the files folder.
    SetCurrentDirectoryA(FilesFolder().c_str());
    *line = Lines("Line One,Line Two", 2);
    return MakeSecondary(*line, FilesFolder() + "dialer.ini", false);
}

}  // namespace

// --hangup-dialing: hang up while the stack still dials; --ready-dialing:
// ask readiness while it dials; otherwise dial, look at the window, go offline.
QV_CHILD_CASE(StackDial) {
    InstallConsole();
    WINSOCKINTERFACE* line;
    WINSOCKCONTROL* control = SecondaryLine(&line);
    Say("readyBefore", long(control->IsWinSockReady()));
    Say("connect", long(line->Connect(1)));
    if (HasArg("--hangup-dialing") || HasArg("--ready-dialing")) {
        WaitUntil([] { return StackWindow(true) != nullptr; });
        if (HasArg("--ready-dialing")) Say("readyDialing", long(control->IsWinSockReady()));
        DWORD start = GetTickCount();
        line->Disconnect(1, 0);
        Say("ms", long(GetTickCount() - start));
    } else {
        WaitForStatus(line->name, {LINE_CONNECTED, LINE_UNABLE});
        Say("busy", long(control->IsWinSockBusy()));
        Say("ready", long(control->IsWinSockReady()));
        control->WinSockSetHidden(0);
        Say("shown", long(StackWindow(false) && IsWindowVisible(StackWindow(false))));
        control->WinSockSetHidden(1);
        Say("hidden", long(StackWindow(false) && !IsWindowVisible(StackWindow(false))));
        if (line->connected) {
            DialUpStandIns::AppendCommandFromChild("stack-offline");
            Say("offline", long(WaitUntil([&] { return !control->IsWinSockReady(); })));
        }
        DWORD start = GetTickCount();
        line->Disconnect(1, 0);
        Say("ms", long(GetTickCount() - start));
    }
    Say("statuses", Statuses(line->name));
    Say("down", long(line->down));
    Say("loaded", long(control->loaded));
    Say("windowGone", long(WaitUntil([] { return !StackWindow(false); })));
    ReleaseSecondary(control, line);
}

TEST(DialerStack, DialsThroughTheStackAndHangsUp) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(std::string(kPhonebook) + "[Dial Stack]\r\nTitle=Dial Stack Status\r\nDialDelay=50\r\n");
    ASSERT_TRUE(PutFile(s.Files() + "dialer.ini", StackProfile("DIALSTK.DLL", "")));
    auto r = s.Run("StackDial", "", 60000);
    auto said = qvtest::KeyValues(r.output);
    EXPECT_EQ("0", said["readyBefore"]) << r.output;
    EXPECT_EQ("1", said["connect"]);
    EXPECT_EQ("0", said["busy"]);
    EXPECT_EQ("1", said["ready"]);
    EXPECT_EQ("1", said["shown"]);
    EXPECT_EQ("1", said["hidden"]);
    EXPECT_EQ("1", said["offline"]) << "an offline stack is not ready";
    EXPECT_EQ("1,10,9,11", said["statuses"]);
    EXPECT_EQ("1", said["down"]);
    EXPECT_EQ("0", said["loaded"]);
    EXPECT_EQ("1", said["windowGone"]);
    auto dials = s.Calls("dialstk", "WSADialModem");
    ASSERT_EQ(1u, dials.size());
    EXPECT_EQ("0", dials[0].result);
    EXPECT_EQ(1u, s.Calls("dialstk", "WSAHangUpModem").size());
    EXPECT_TRUE(s.Calls("rasapi32", "RasDialA").empty()) << "a one-phase line dials through the stack only";
    EXPECT_EQ("ATZ", FileText(s.Files() + "setup.ini").find("Init=ATZ") != std::string::npos ? "ATZ" : FileText(s.Files() + "setup.ini"))
        << "\"Dialer Setup\" writes its key";
}

TEST(DialerStack, AHangUpWhileDialingCancelsInTheStacksDialog) {
    struct Case {
        const char* what;
        const char* buttons;
        const char* args;
        const char* profileExtra;
        const char* click;    // button clicked, "" none
        const char* command;  // command posted to the status window, "" none
        const char* dial;     // WSADialModem's result
    } cases[] = {
        {"NO", "NO,OK", "--hangup-dialing", "", "NO", "", "1"},
        {"OK without NO", "OK", "--hangup-dialing", "", "OK", "", "0"},
        {"logout command", "", "--hangup-dialing", "Logout Command=77\r\n", "", "77", "1"},
        {"readiness asked while connecting", "NO,OK", "--ready-dialing", "", "NO", "", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(std::string(kPhonebook) + "[Dial Stack]\r\nDialDelay=60000\r\nButtons=" + c.buttons + "\r\n");
        ASSERT_TRUE(PutFile(s.Files() + "dialer.ini", StackProfile("DIALSTK.DLL", c.profileExtra)));
        auto r = s.Run("StackDial", c.args, 60000);
        auto said = qvtest::KeyValues(r.output);
        EXPECT_EQ("1", said["connect"]) << r.output;
        if (std::strcmp(c.args, "--ready-dialing") == 0) {
            EXPECT_EQ("0", said["readyDialing"]) << "and NO was pressed";
        }
        EXPECT_EQ("1", said["down"]);
        EXPECT_EQ("0", said["loaded"]);
        EXPECT_EQ("1", said["windowGone"]);
        EXPECT_LE(std::stol("0" + said["ms"]), 15000) << "the unload waits at most ten seconds for the windows";
        std::string clicked, commands;
        for (const auto& e : s.Calls("dialstat", "click")) clicked += e.Field("button");
        for (const auto& e : s.Calls("dialstat", "command")) commands += e.Field("id");
        EXPECT_EQ(c.click, clicked) << "pressed once";
        EXPECT_EQ(c.command, commands);
        auto dials = s.Calls("dialstk", "WSADialModem");
        ASSERT_EQ(1u, dials.size());
        EXPECT_EQ(c.dial, dials[0].result);
    }
}

TEST(DialerStack, AStackLackingAnExtensionFailsTheLoad) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(kPhonebook);
    ASSERT_TRUE(PutFile(s.Files() + "dialer.ini", StackProfile(qvaid::AidPath("qvaid_wsfull.dll"), "")));
    auto r = s.Run("StackDial", "", 60000);
    auto said = qvtest::KeyValues(r.output);
    EXPECT_EQ("1", said["connect"]) << r.output;
    EXPECT_EQ("1,13", said["statuses"]);
    EXPECT_EQ("0", said["ready"]);
    EXPECT_TRUE(s.Calls("dialstk", "WSADialModem").empty());
}

QV_CHILD_CASE(StackWithoutProfile) {
    InstallConsole();
    WINSOCKINTERFACE* line;
    WINSOCKCONTROL* control = SecondaryLine(&line);
    Say("connect", long(line->Connect(1)));
    Say("statuses", Statuses(line->name));
    Say("texts", Texts());
    ReleaseSecondary(control, line);
}

TEST(DialerStack, ASecondaryLineNeedsItsProfile) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(kPhonebook);
    auto said = qvtest::KeyValues(s.Run("StackWithoutProfile").output);
    EXPECT_EQ("0", said["connect"]);
    EXPECT_EQ("16", said["statuses"]);
    EXPECT_EQ("2", said["texts"]);
}
