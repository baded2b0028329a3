// The default route on Windows NT through ROUTE.EXE, and the phonebook
// entries' remote-default-gateway option.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include "DialerHarness.h"
#include "StandInFormat.h"
#include "StandInHarness.h"

using namespace dialtest;
using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;

namespace {

std::vector<std::string> RouteLines(const DialUpStandIns& s) {
    std::vector<std::string> out;
    for (const auto& e : s.Calls("route", "ROUTE")) out.push_back(e.Field("args"));
    return out;
}

void AddPersistentRoute(const char* name) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, standin::kPersistentRoutesKey, 0, KEY_WRITE, &key));
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
}

void Connected(WINSOCKINTERFACE* line) {
    line->Connect(0);
    qvtest::WaitFor([&] { return line->connected != 0; });
}

}  // namespace

// --gateway: Line Two's entry routes the default traffic itself.
QV_CHILD_CASE(Routing) {
    TCPCONTROL::DynamicRouting = 1;
    TCPCONTROL::PhonebookRouting = 0;
    WINSOCKINTERFACE* one = Lines("Line One,Line Two");
    WINSOCKINTERFACE* two = Line(2);
    Connected(one);
    one->EnableRouting();
    Say("added", long(one->routeAdded));
    if (HasArg("--gateway")) {
        two->remoteDefaultGateway = 1;
        Connected(two);
        two->EnableRouting();
        Say("oneAfter", long(one->routeAdded));
        return;
    }
    one->Disconnect(1, 0);
    one->DisableRouting();
    Say("after", long(one->routeAdded));
}

TEST(DialerRoute, FollowsTheLineThatComesUpAndRestoresTheGateway) {
    struct Case {
        const char* what;
        const char* route;  // [Route] keys
        std::vector<std::string> lines;
    } cases[] = {
        {"ADD, then the saved gateway back", "",
         {"ADD 0.0.0.0 MASK 0.0.0.0 127.0.0.2", "DELETE 0.0.0.0 MASK 0.0.0.0 127.0.0.2",
          "-p ADD 0.0.0.0 MASK 0.0.0.0 127.0.0.9 METRIC 1"}},
        {"CHANGE when ADD fails", "FailAdd=1\r\nDefault=127.0.0.1",
         {"ADD 0.0.0.0 MASK 0.0.0.0 127.0.0.2", "CHANGE 0.0.0.0 MASK 0.0.0.0 127.0.0.2",
          "DELETE 0.0.0.0 MASK 0.0.0.0 127.0.0.2", "-p ADD 0.0.0.0 MASK 0.0.0.0 127.0.0.9 METRIC 1",
          "-p CHANGE 0.0.0.0 MASK 0.0.0.0 127.0.0.9 METRIC 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(std::string(kPhonebook) + "[Route]\r\n" + c.route + "\r\n");
        AddPersistentRoute("0.0.0.0,0.0.0.0,127.0.0.9,1");
        auto r = s.Run("Routing");
        auto said = qvtest::KeyValues(r.output);
        EXPECT_EQ("1", said["added"]) << r.output;
        EXPECT_EQ("0", said["after"]);
        EXPECT_EQ(c.lines, RouteLines(s));
    }
}

TEST(DialerRoute, AnEntryWithItsOwnGatewayDeletesOurRoute) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(kPhonebook);
    auto said = qvtest::KeyValues(s.Run("Routing", "--gateway").output);
    EXPECT_EQ("1", said["added"]);
    EXPECT_EQ("0", said["oneAfter"]);
    std::vector<std::string> expected = {"ADD 0.0.0.0 MASK 0.0.0.0 127.0.0.2", "DELETE 0.0.0.0 MASK 0.0.0.0 127.0.0.2"};
    EXPECT_EQ(expected, RouteLines(s));
}

TEST(DialerRoute, NothingRunsOnWindows95) {
    if (!DialUpStandIns::ChildReportsWindows95()) GTEST_SKIP() << "Wine reports no Windows 95 to this build's children";
    DialUpStandIns s(RemoteAccess::Win95, "win95");
    s.WriteScenario(kPhonebook);
    AddPersistentRoute("0.0.0.0,0.0.0.0,127.0.0.9,1");
    s.Run("Routing");
    EXPECT_TRUE(RouteLines(s).empty());
}

QV_CHILD_CASE(PhonebookRouting) {
    TCPCONTROL::DynamicRouting = 1;
    TCPCONTROL::PhonebookRouting = 1;
    TCPCONTROL::MultipleRouting = 0;
    WINSOCKINTERFACE* one = Lines("Line One,Line Two");
    Say("gateways", std::to_string(one->remoteDefaultGateway) + std::to_string(Line(2)->remoteDefaultGateway));
    Say("restore", long(one->optionsRestored));
    Connected(one);
    one->Disconnect(1, 0);
    one->DisableRouting();
    Say("restoreAfter", long(one->optionsRestored));
}

TEST(DialerRoute, OnlyTheFirstEntryIsMadeTheDefaultGateway) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(std::string(kPhonebook) + "[Entry Line Two]\r\nSubEntries=2\r\n");
    auto r = s.Run("PhonebookRouting");
    auto said = qvtest::KeyValues(r.output);
    EXPECT_EQ("10", said["gateways"]) << r.output;
    EXPECT_EQ("1", said["restore"]);
    EXPECT_EQ("0", said["restoreAfter"]);
    auto writes = s.Calls("rasapi32", "RasSetEntryPropertiesA");
    ASSERT_EQ(2u, writes.size());
    EXPECT_EQ("Line One", writes[0].Field("entry"));
    EXPECT_EQ("0x00000030", writes[0].Field("options"));
    EXPECT_EQ("1796", writes[0].Field("size"));
    EXPECT_EQ("Line One", writes[1].Field("entry"));
    EXPECT_EQ("0x00000020", writes[1].Field("options")) << "turning dynamic routing off gives the option back";
    EXPECT_EQ("1796", writes[1].Field("size")) << "written with its own size";
}

TEST(DialerRoute, AFailedRewriteClearsTheLinesGateway) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(std::string(kPhonebook) + "[Entry Line One]\r\nSetPropertiesFails=5\r\n");
    auto said = qvtest::KeyValues(s.Run("PhonebookRouting").output);
    EXPECT_EQ("00", said["gateways"].substr(0, 1) + "0");
    EXPECT_EQ("0", said["restore"]);
}
