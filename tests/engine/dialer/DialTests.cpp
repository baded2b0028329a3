// Dialing and hanging up a line through the remote-access stand-ins: a child
// of this program binds remote access at start-up, plays the console through
// the two hooks and prints what it saw; the parent reads that, the journal
// and the Current Connection key.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cctype>
#include <string>

#include "DialerHarness.h"
#include "StandInHarness.h"
#include "WinSockLink.h"
#include "TimeStamp.h"
#include "Scenario.h"
#include "StandInFormat.h"
#include "TestAids.h"

using namespace dialtest;
using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;

namespace {

// The phonebook with keys of Line One replaced ("key=value" lines).
std::string PhonebookWith(const std::string& lineOneKeys) {
    standin::Scenario s = standin::Scenario::FromText(kPhonebook);
    standin::Scenario keys = standin::Scenario::FromText("[k]\r\n" + lineOneKeys);
    for (const auto& k : keys.Keys()) s.Set("Entry Line One", k.second, keys.Get("k", k.second));
    return s.Text();
}

const char kBothLines[] = "\"Line One\",\"Line Two\"";

// A loaded socket library, so that addresses are numbered at once.
struct Sockets {
    WINSOCKCONTROL* control = new WINSOCKCONTROL;
    Sockets() {
        control->prepare();
        control->LoadWinSock(0, 0);
    }
    ~Sockets() { control->freeobj(); }
};

// How often status appears in a list such as "1,4,6,7,8,9,3".
long Reports(const std::string& statuses, const std::string& status) {
    long n = 0;
    size_t at = 0;
    while (at <= statuses.size()) {
        size_t end = statuses.find(',', at);
        if (end == std::string::npos) end = statuses.size();
        n += statuses.compare(at, end - at, status) == 0;
        at = end + 1;
    }
    return n;
}

void SayEnd(WINSOCKINTERFACE* line) {
    Say("statuses", Statuses(line->name));
    Say("texts", Texts());
    Say("count", long(WINSOCKINTERFACE::RasDialCount));
    Say("connecting", long(line->connecting));
    Say("connected", long(line->connected));
}

}  // namespace

QV_CHILD_CASE(RemoteAccessBinding) {
    Say("core", long(_RasLoaded));
    Say("device", long(_RasRnaLoaded));
    Say("properties", long(_RasExtLoaded));
    char path[MAX_PATH] = "";
    if (_RasExtHandle) GetModuleFileNameA(_RasExtHandle, path, sizeof path);
    std::string name = path;
    name = name.substr(name.find_last_of('\\') + 1);
    for (char& c : name) c = char(std::tolower((unsigned char)c));
    Say("from", name);
}

TEST(DialerRemoteAccess, BindsWhatEachVariantOffers) {
    struct Case {
        const char* what;
        RemoteAccess variant;
        const char *core, *device, *properties, *from;
    } cases[] = {
        {"NT: core and entry properties", RemoteAccess::Nt, "1", "0", "1", "rasapi32.dll"},
        {"Windows 95: core, device port, properties from RNAPH", RemoteAccess::Win95, "1", "1", "1", "rnaph.dll"},
        {"disabled: nothing", RemoteAccess::Absent, "0", "0", "0", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DialUpStandIns s(c.variant);
        auto r = s.Run("RemoteAccessBinding");
        auto said = qvtest::KeyValues(r.output);
        EXPECT_EQ(c.core, said["core"]) << r.output;
        EXPECT_EQ(c.device, said["device"]);
        EXPECT_EQ(c.properties, said["properties"]);
        EXPECT_EQ(c.from, said["from"]);
    }
}

QV_CHILD_CASE(DialLineOne) {
    InstallConsole();
    Sockets sockets;
    WINSOCKINTERFACE* line = Lines(kBothLines);
    if (!line) return;
    Say("connect", long(line->Connect(1)));
    Say("done", long(WaitForStatus("Line One", {LINE_CONNECTED, LINE_DROPPED, LINE_RAS_ERROR, LINE_RAS_ERROR_NUMBER})));
    SayEnd(line);
    Say("address", line->addressText);
    Say("managed", long(line->managed));
    Say("from", OutboundFrom(line));
}

TEST(Dialer, DialsAnEntryAndRecordsTheConnection) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(kPhonebook);
    auto r = s.Run("DialLineOne");
    auto said = qvtest::KeyValues(r.output);
    EXPECT_EQ("1", said["connect"]) << r.output;
    EXPECT_EQ("1,4,6,7,8,9", said["statuses"]);
    EXPECT_EQ("127.0.0.2", said["address"]);
    EXPECT_EQ("0", said["count"]) << "the dial is no longer counted";
    EXPECT_EQ("1", said["connected"]);
    EXPECT_EQ("1", said["managed"]);
    EXPECT_EQ("127.0.0.2", said["from"]) << "an outbound link over the line leaves from its address";

    const std::pair<const char*, const char*> key[] = {
        {"CurrentPBEntry", "Line One"}, {"LineAccess", "Primary"}, {"UserName", "user1"}, {"ComPort", ""},
        {"ConnectSpeed", "0"},          {"PhoneNumber", "5551234"}, {"Status", "Complete"},
    };
    for (const auto& k : key) EXPECT_EQ(k.second, DialUpStandIns::ConnectionValue(k.first)) << k.first;
    auto dials = s.Calls("rasapi32", "RasDialA");
    ASSERT_EQ(1u, dials.size());
    EXPECT_EQ("Dialing", dials[0].Field("status")) << "written before the dial";
    EXPECT_EQ("Primary", dials[0].Field("access"));
    EXPECT_EQ("1052", dials[0].Field("size"));
    EXPECT_EQ("user1", dials[0].Field("user"));
    EXPECT_TRUE(s.Calls("rasapi32", "RasGetEntryDialParamsA").size() == 1);
    EXPECT_TRUE(s.Calls("rasapi32", "RasSetEntryDialParamsA").empty()) << "saved values need no prompt";
}

// --prompt / --cancel answer the log-in prompt; --limit turns the dialing
// limit on and dials Line Two while Line One still dials; --nokey removes the
// Current Connection key first.
QV_CHILD_CASE(DialFailure) {
    InstallConsole();
    SetPrompt("typed", "secret", HasArg("--cancel"));
    WINSOCKCONTROL::WinSockLimitDialing = HasArg("--limit");
    WINSOCKINTERFACE* line = Lines(kBothLines);
    if (!line) {
        Say("line", "none");
        line = new WINSOCKINTERFACE("Line One");
        line->prepare();
    }
    if (HasArg("--limit")) {
        line->Connect(1);
        WINSOCKINTERFACE* two = Line(2);
        Say("second", long(two->Connect(1)));
        Say("secondStatuses", Statuses("Line Two"));
        Say("secondTexts", Texts());
        line->Disconnect(1, 0);
        return;
    }
    Say("connect", long(line->Connect(1)));
    WaitForStatus("Line One", {LINE_CONNECTED, LINE_DROPPED, LINE_CANCELLED, LINE_UNABLE, LINE_RAS_ERROR,
                               LINE_BUSY, LINE_NOT_INSTALLED, LINE_RAS_ERROR_NUMBER});
    SayEnd(line);
    Say("prompts", long(PromptCalls()));
}

TEST(Dialer, FailuresEndTheDialWithTheirStatus) {
    struct Case {
        const char* what;
        RemoteAccess variant;
        const char* keys;  // of Line One
        const char* args;
        const char* statuses;
        const char* texts;
        const char* keyStatus;  // "Status" of the Current Connection key at the end
        size_t dials;           // RasDialA calls
    } cases[] = {
        {"an error with a text", RemoteAccess::Nt, "Outcome=fail\r\nFailState=2\r\nError=678", "", "1,4,14",
         "There was no answer.", "Failed", 1},
        {"an error without a text", RemoteAccess::Nt, "Outcome=fail\r\nFailState=3\r\nError=680", "", "1,4,6,17",
         "680", "Failed", 1},
        {"RasDialA fails at once", RemoteAccess::Nt, "Outcome=fail\r\nFailState=-1\r\nError=678", "", "14",
         "There was no answer.", "Failed", 1},
        {"cancelled prompt", RemoteAccess::Nt, "Password=", "--cancel", "12", "", "", 0},
        {"confirmed prompt", RemoteAccess::Nt, "Password=", "", "1,4,6,7,8,9", "", "Complete", 1},
        {"remote access disabled", RemoteAccess::Absent, "", "", "16", "1", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DialUpStandIns s(c.variant);
        s.WriteScenario(PhonebookWith(c.keys));
        auto r = s.Run("DialFailure", c.args);
        auto said = qvtest::KeyValues(r.output);
        EXPECT_EQ(c.statuses, said["statuses"]) << r.output;
        EXPECT_EQ(c.texts, said["texts"]);
        EXPECT_EQ("0", said["count"]);
        EXPECT_EQ("0", said["connecting"]);
        EXPECT_EQ(c.keyStatus, DialUpStandIns::ConnectionValue("Status"));
        EXPECT_EQ(c.dials, s.Calls("rasapi32", "RasDialA").size());
    }
    {
        SCOPED_TRACE("a failed RasDialA refreshes the connections");
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(PhonebookWith("Outcome=fail\r\nFailState=-1\r\nError=678"));
        s.Run("DialFailure");
        auto j = s.Journal();
        size_t dial = 0, refresh = 0;
        for (size_t i = 0; i < j.size(); ++i) {
            if (j[i].call == "RasDialA") dial = i;
            if (j[i].call == "RasEnumConnectionsA") refresh = i;
        }
        EXPECT_GT(refresh, dial);
    }
    {
        SCOPED_TRACE("a confirmed prompt saves user and password");
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(PhonebookWith("Password="));
        auto said = qvtest::KeyValues(s.Run("DialFailure").output);
        EXPECT_EQ("1", said["prompts"]);
        auto saved = s.Calls("rasapi32", "RasSetEntryDialParamsA");
        ASSERT_EQ(1u, saved.size());
        EXPECT_EQ("typed", saved[0].Field("user"));
        EXPECT_EQ("6", saved[0].Field("password"));
        EXPECT_EQ("1", saved[0].Field("saved"));
        EXPECT_EQ("typed", DialUpStandIns::ConnectionValue("UserName"));
    }
    {
        SCOPED_TRACE("a cancelled prompt writes nothing");
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(PhonebookWith("Password="));
        s.Run("DialFailure", "--cancel");
        EXPECT_EQ("", DialUpStandIns::ConnectionValue("CurrentPBEntry"));
        EXPECT_TRUE(s.Calls("rasapi32", "RasSetEntryDialParamsA").empty());
    }
}

TEST(Dialer, TheDialingLimitKeepsASecondLineWaiting) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(PhonebookWith("Outcome=silent"));
    auto r = s.Run("DialFailure", "--limit");
    auto said = qvtest::KeyValues(r.output);
    EXPECT_EQ("0", said["second"]) << r.output;
    EXPECT_EQ("15", said["secondStatuses"]);
    auto dials = s.Calls("rasapi32", "RasDialA");
    ASSERT_EQ(1u, dials.size());
    EXPECT_EQ("Line One", dials[0].Field("entry"));
}

QV_CHILD_CASE(DialWithoutKey) {
    InstallConsole();
    WINSOCKINTERFACE* line = Lines(kBothLines);
    line->Connect(1);
    WaitForStatus("Line One", {LINE_CONNECTED, LINE_RAS_ERROR, LINE_RAS_ERROR_NUMBER});
    SayEnd(line);
}

TEST(Dialer, AMissingConnectionKeyIsNotCreated) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(kPhonebook);
    qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, standin::kCurrentConnectionKey);
    auto said = qvtest::KeyValues(s.Run("DialWithoutKey").output);
    EXPECT_EQ("1,4,6,7,8,9", said["statuses"]);
    HKEY key;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, standin::kCurrentConnectionKey, 0, KEY_READ, &key));
}

// --quiet: no notifier is installed; --refresh: the interface list is
// rebuilt (as every third poll does) before the line is checked.
QV_CHILD_CASE(DropAndHangUp) {
    if (!HasArg("--quiet")) InstallConsole();
    Sockets sockets;
    WINSOCKINTERFACE* line = Lines(kBothLines);
    line->Connect(1);
    qvtest::WaitFor([&] { return line->connected != 0; });
    DialUpStandIns::AppendCommandFromChild("drop Line One");
    if (HasArg("--refresh")) WINSOCKCONTROL::GetLocalInterfaces(WINSOCKCONTROL::UseDialUp, nullptr);
    Say("check", long(line->CheckInterfaceStatus(1)));
    Say("status", long(line->state));
    Say("handle", long(line->rasHandle != nullptr));
    Say("statuses", Statuses("Line One"));
}

TEST(Dialer, ADroppedLineIsNoticedAndHungUp) {
    // With a notifier the drop is reported once, whichever look finds it
    // first, and the hang-up is left to the one told.
    struct Case {
        const char* args;
        const char* handle;
        size_t hangUps;
        const char* reported;
    } cases[] = {{"", "1", 0, "1"}, {"--refresh", "1", 0, "1"}, {"--quiet", "0", 1, "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(kPhonebook);
        auto r = s.Run("DropAndHangUp", c.args);
        auto said = qvtest::KeyValues(r.output);
        EXPECT_EQ("0", said["check"]) << r.output;
        EXPECT_EQ("3", said["status"]);
        EXPECT_EQ(c.handle, said["handle"]) << "without a notifier the line hangs up itself";
        EXPECT_EQ(c.hangUps, s.Calls("rasapi32", "RasHangUpA").size());
        EXPECT_EQ(c.reported, std::to_string(Reports(said["statuses"], "3"))) << said["statuses"];
    }
}

QV_CHILD_CASE(DisconnectLine) {
    InstallConsole();
    Sockets sockets;
    WINSOCKINTERFACE* line = Lines(kBothLines);
    line->Connect(1);
    qvtest::WaitFor([&] { return line->connected != 0; });
    // A link over the line, as an outbound connection would attach one.
    TCPSOCKLINK* link = new WINSOCKLINK(*sockets.control, "0", LINK_SERVER_CONNECT, 0);
    link->prepare();
    link->connected = 1;
    link->SetTCPInterface(line);
    DWORD start = GetTickCount();
    line->Disconnect(1, 1);
    Say("ms", long(GetTickCount() - start));
    Say("linkError", long(link->error));
    Say("linkClosed", long(link->closed));
    Say("down", long(line->down));
    line->Disconnect(1, 1);
    Say("statuses", Statuses("Line One"));
    // A new dial with the old handle still set hangs that one up first.
    line->Connect(1);
    qvtest::WaitFor([&] { return line->connected != 0; });
    line->Connect(1);
    qvtest::WaitFor([&] { return line->connected != 0; });
    Say("again", long(line->connected));
    link->SetTCPInterface(nullptr);
    link->freeobj();
}

TEST(Dialer, DisconnectEndsLinksAndHangsUpOnce) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(kPhonebook);
    auto r = s.Run("DisconnectLine");
    auto said = qvtest::KeyValues(r.output);
    EXPECT_LT(std::stol("0" + said["ms"]), 2000) << r.output;
    EXPECT_EQ(std::to_string(COMMLINK::ErrorInterfaceDown), said["linkError"]);
    EXPECT_EQ("1", said["linkClosed"]);
    EXPECT_EQ("1", said["down"]);
    EXPECT_EQ("1,4,6,7,8,9,2", said["statuses"]) << "the second Disconnect does nothing";
    EXPECT_EQ("1", said["again"]);
    // Hang-ups: the Disconnect, then the old handle before the third dial.
    auto j = s.Journal();
    std::string order;
    for (const auto& e : j)
        if (e.call == "RasDialA" || e.call == "RasHangUpA") order += e.call == "RasDialA" ? "D" : "H";
    EXPECT_EQ("DHDHD", order);
}

namespace {
volatile unsigned long g_now = 1000000;
unsigned long FakeNow() { return g_now; }
}  // namespace

// --check: the line's own status check notices the silence, else a rebuild.
QV_CHILD_CASE(SilentDial) {
    InstallConsole();
    TIMESTAMP::SetNowSource(FakeNow);
    WINSOCKINTERFACE* line = Lines(kBothLines);
    Say("connect", long(line->Connect(1)));
    WaitForStatus("Line One", {LINE_DIALING});
    Say("during", long(WINSOCKCONTROL::GetLocalInterfaces(WINSOCKCONTROL::UseDialUp, kBothLines)));
    g_now += WINSOCKINTERFACE::DialSilenceSeconds;
    Say("atLimit", long(line->CheckInterfaceStatus(1)) + long(WINSOCKINTERFACE::RasDialCount) * 10);
    g_now += 1;
    if (HasArg("--check")) Say("check", long(line->CheckInterfaceStatus(1)));
    Say("rebuild", long(WINSOCKCONTROL::GetLocalInterfaces(WINSOCKCONTROL::UseDialUp, kBothLines)));
    SayEnd(line);
    Say("handle", long(line->rasHandle != nullptr));
    Say("failed", long(line->failed));
    TIMESTAMP::SetNowSource(nullptr);
}

TEST(Dialer, ASilentDialEndsFailedAfterTwoMinutes) {
    for (const char* args : {"", "--check"}) {
        SCOPED_TRACE(args);
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(PhonebookWith("Outcome=silent"));
        auto r = s.Run("SilentDial", args);
        auto said = qvtest::KeyValues(r.output);
        EXPECT_EQ("1", said["connect"]) << r.output;
        EXPECT_EQ("-1", said["during"]);
        EXPECT_EQ("11", said["atLimit"]) << "still counted at the limit itself";
        if (*args) {
            EXPECT_EQ("0", said["check"]);
        }
        EXPECT_EQ("0", said["rebuild"]) << "rebuilds work again";
        EXPECT_EQ("1,4,13", said["statuses"]);
        EXPECT_EQ("0", said["count"]);
        EXPECT_EQ("0", said["handle"]);
        EXPECT_EQ("1", said["failed"]);
        EXPECT_EQ("Failed", DialUpStandIns::ConnectionValue("Status"));
        EXPECT_EQ(1u, s.Calls("rasapi32", "RasHangUpA").size());
    }
}
