// A secondary line dialing through a socket stack with dialer extensions
// (dialstk.dll and its status windows, dialstat.exe): the event window's
// load, connected, hang-up and unload sequences, and the stack's windows.
#include <gtest/gtest.h>
#include "QvWindows.h"

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
        qvtest::WaitFor([] { return StackWindow(true) != nullptr; });
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
            Say("offline", long(qvtest::WaitFor([&] { return !control->IsWinSockReady(); })));
        }
        DWORD start = GetTickCount();
        line->Disconnect(1, 0);
        Say("ms", long(GetTickCount() - start));
    }
    Say("statuses", Statuses(line->name));
    Say("down", long(line->down));
    Say("loaded", long(control->loaded));
    Say("windowGone", long(qvtest::WaitFor([] { return !StackWindow(false); })));
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

// A two-phase line's first phase: the session module's copy is made from the
// system folder's file with its remote-access name replaced, then remote access
// dials; no match for "Old RAS DLL" ends the dial as not installed, reason "3".
QV_CHILD_CASE(TwoPhaseCopy) {
    InstallConsole();
    SetCurrentDirectoryA(FilesFolder().c_str());
    WINSOCKINTERFACE* line = Lines("\"Line One\"");
    WINSOCKCONTROL* control = MakeSecondary(line, FilesFolder() + "dialer.ini", true);
    Say("connect", long(line->Connect(1)));
    if (line->connecting) WaitForStatus(line->name, {LINE_CONNECTED, LINE_NEGOTIATING, LINE_RAS_ERROR_NUMBER});
    Say("statuses", Statuses(line->name));
    Say("texts", Texts());
    line->Disconnect(1, 0);
    ReleaseSecondary(control, line);
}

TEST(DialerStack, FirstPhaseCopiesTheSessionModuleOrFailsWithReason3) {
    char system[MAX_PATH];
    ASSERT_TRUE(GetSystemDirectoryA(system, sizeof system));
    const std::string original = std::string(system) + "\\QVTSMM.DLL";
    const std::string copy = std::string(system) + "\\QVTSMM2.DLL";
    struct Case {
        const char* what;
        std::string bytes;
        const char* connect;
        const char* statuses;
        const char* texts;
        std::string copied;  // the copy's bytes; unchecked when empty
        size_t rasDials;
    } cases[] = {
        {"match", std::string("MZ\0head RASAPI16.DLL tail", 25), "1", "", "", std::string("MZ\0head QVRAS.DLL\0\0\0 tail", 25), 1},
        {"no match", std::string("MZ\0head OTHER.DLL tail"), "0", "16", "3", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileA(copy.c_str());
        ASSERT_TRUE(PutFile(original, c.bytes));
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(kPhonebook);
        ASSERT_TRUE(PutFile(s.Files() + "dialer.ini",
                            StackProfile("DIALSTK.DLL", "[Dialer Interface]\r\nOld SMM DLL=QVTSMM.DLL\r\n"
                                                        "New SMM DLL=QVTSMM2.DLL\r\nOld RAS DLL=RASAPI16.DLL\r\n"
                                                        "New RAS DLL=QVRAS.DLL\r\n")));
        auto r = s.Run("TwoPhaseCopy", "", 60000);
        auto said = qvtest::KeyValues(r.output);
        EXPECT_EQ(c.connect, said["connect"]) << r.output;
        if (c.statuses[0]) {
            EXPECT_EQ(c.statuses, said["statuses"]);
        }
        if (c.texts[0]) {
            EXPECT_EQ(c.texts, said["texts"]);
        }
        if (!c.copied.empty()) {
            EXPECT_EQ(c.copied, FileText(copy));
        }
        EXPECT_EQ(c.rasDials, s.Calls("rasapi32", "RasDialA").size());
        EXPECT_TRUE(s.Calls("dialstk", "WSADialModem").empty()) << "the first phase never loads the stack";
    }
    DeleteFileA(original.c_str());
    DeleteFileA(copy.c_str());
}

// A two-phase line: remote access first; its session recorded (1003) gives
// status 5, on which the console asks again; the second phase converts the
// connection for the stack through the conversion library and dials the stack.
QV_CHILD_CASE(TwoPhaseDial) {
    InstallConsole();
    SetCurrentDirectoryA(FilesFolder().c_str());
    WINSOCKINTERFACE* line = Lines("\"Line One\"");
    WINSOCKCONTROL* control = MakeSecondary(line, FilesFolder() + "dialer.ini", true);
    Say("connect", long(line->Connect(1)));
    WaitForStatus(line->name, {LINE_CONNECTED, LINE_UNABLE, LINE_RAS_ERROR_NUMBER, LINE_NOT_INSTALLED});
    Say("statuses", Statuses(line->name));
    Say("port", long(reinterpret_cast<const unsigned long*>(line->portRecord)[4]));
    line->Disconnect(1, 0);
    ReleaseSecondary(control, line);
}

TEST(DialerStack, TwoPhaseLineConvertsTheConnectionForTheStack) {
    DialUpStandIns s(RemoteAccess::Nt);
    std::string phonebook = kPhonebook;
    const std::string entry = "[Entry Line One]\r\n";
    phonebook.insert(phonebook.find(entry) + entry.size(), "Outcome=session\r\n");
    s.WriteScenario(phonebook + "[Dial Stack]\r\nTitle=Dial Stack Status\r\nDialDelay=50\r\n");
    ASSERT_TRUE(PutFile(s.Files() + "dialer.ini",
                        StackProfile("DIALSTK.DLL", "") + "[Dialer Interface]\r\nConversion DLL=" +
                            qvaid::AidPath("qvaid_convert.dll") +
                            "\r\nConversion Function=ConvertTest\r\nConversion Profile=conv.ini\r\n"));
    auto r = s.Run("TwoPhaseDial", "", 60000);
    auto said = qvtest::KeyValues(r.output);
    EXPECT_EQ("1", said["connect"]) << r.output;
    EXPECT_EQ("1,4,6,7,8,5,10,9", said["statuses"]) << r.output;
    EXPECT_EQ("57600", said["port"]);
    auto converts = s.Calls("convert", "ConvertTest");
    ASSERT_EQ(1u, converts.size());
    EXPECT_EQ("Line One", converts[0].Field("entry"));
    EXPECT_EQ("1052", converts[0].Field("params"));
    EXPECT_EQ(s.Files() + "conv.ini", converts[0].Field("profile")) << "the profile's full path";
    EXPECT_EQ(1u, s.Calls("rasapi32", "RasDialA").size());
    EXPECT_EQ(1u, s.Calls("dialstk", "WSADialModem").size());
}
