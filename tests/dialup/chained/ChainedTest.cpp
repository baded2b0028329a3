// qvtrap32.dll in chained mode (a copy whose string 1000 is "SMM") under the
// Windows 95 Dial-Up Networking stand-ins: it loads the regular session
// module, serves secondary lines on threads of its own and passes every
// other session on.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <string>
#include <vector>

#include "../DialupKit.h"

using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;

namespace {

// A copy of the module with its string block 992-1007 replaced: 1000 the
// mode, 1001 the regular module, 1002 its alternative, 1003 the key.
std::string ChainedCopy(const DialUpStandIns& s, const char* regular = "SMMPRI.DLL") {
    std::string copy = s.Files() + "qvtrap32smm.dll";
    EXPECT_TRUE(CopyFileA(qvdial::Trap32().c_str(), copy.c_str(), FALSE));
    const char* texts[16] = {};
    texts[8] = "SMM";
    texts[9] = regular;
    texts[10] = "SMMALT.DLL";
    texts[11] = "SOFTWARE\\Brellix Software\\Quorvane Corvath\\Current Connection";
    std::vector<WORD> block;
    for (const char* t : texts) {
        std::string text = t ? t : "";
        block.push_back(WORD(text.size()));
        for (char c : text) block.push_back(WORD((unsigned char)c));
    }
    HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    EXPECT_NE(nullptr, update);
    EXPECT_TRUE(UpdateResourceA(update, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(1000 / 16 + 1),
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), block.data(), DWORD(block.size() * 2)));
    EXPECT_TRUE(EndUpdateResourceA(update, FALSE));
    return copy;
}

std::string Scenario(const std::string& module, const std::string& lineKeys = "", const std::string& more = "") {
    std::string entry = "Phone=5552222\r\nSpeed=28800\r\nOutcome=session\r\nDelay=2\r\nEntrySize=1768\r\n"
                        "Device=Modem #2\r\nSessionModule=" + module + "\r\n" + lineKeys;
    return "[Phonebook]\r\nEntries=Line Two,Line Three\r\n[Entry Line Two]\r\n" + entry + "[Entry Line Three]\r\n" +
           entry + "[Driver]\r\nPortId=0x2002\r\n" + more;
}

// The journal's calls (component/call) in order, of those named.
std::string Order(const DialUpStandIns& s, const std::vector<std::string>& names) {
    std::string out;
    for (const qvtest::JournalEntry& e : s.Journal())
        for (const std::string& n : names)
            if (e.component + "/" + e.call == n) out += (out.empty() ? "" : ",") + n;
    return out;
}

class Chained : public testing::Test {
protected:
    void Seed(const char* access) {
        DialUpStandIns::SetConnectionValue("LineAccess", access);
        DialUpStandIns::SetConnectionValue("CurrentPBEntry", "Line Two");
    }
    qvdial::MachineKeys keys;
};

TEST_F(Chained, PrimaryLineGoesToTheRegularModule) {
    DialUpStandIns s(RemoteAccess::Win95);
    s.WriteScenario(Scenario(ChainedCopy(s)));
    Seed("Primary");
    qvdial::HostRun run = qvdial::Dial(s, {"Line Two"});
    EXPECT_EQ("8192/0", run.Last()) << run.output;
    EXPECT_TRUE(s.Calls("smmpri", "RnaSessInitialize").empty()) << "no script runner: its alternative serves";
    auto init = s.Calls("smmalt", "RnaSessInitialize");
    ASSERT_EQ(1u, init.size());
    EXPECT_EQ("PPP", init[0].Field("protocol"));
    EXPECT_EQ("12", init[0].Field("size"));
    EXPECT_EQ("DUN", DialUpStandIns::ConnectionValue("Status"));
    EXPECT_EQ("smmalt/SMMSessStart,dunhost/stopping,smmalt/SMMSessStop",
              Order(s, {"smmalt/SMMSessStart", "dunhost/stopping", "smmalt/SMMSessStop"}))
        << "a connection the module does not serve goes to the regular stop";
}

TEST_F(Chained, SecondaryLineThreadTakesOverReportsAndWaitsForTheStop) {
    for (const char* script : {"", "Script=login.scp\r\n"}) {
        SCOPED_TRACE(*script ? "with a login script" : "without a login step");
        DialUpStandIns s(RemoteAccess::Win95);
        s.WriteScenario(Scenario(ChainedCopy(s), script));
        Seed("Secondary");
        qvdial::HostRun run = qvdial::Dial(s, {"Line Two"});
        EXPECT_EQ("14/1003", run.Last()) << run.output;
        EXPECT_EQ("0", run.said["hangup1"]);
        EXPECT_EQ("Negotiating", DialUpStandIns::ConnectionValue("Status"));
        EXPECT_EQ("2,2,3,1,4", qvdial::DriverCodes(s)) << "recorded, then taken over";
        std::string expect = std::string(*script ? "smmalt/RunRnaScript," : "") +
                             "rasapi32/RnaComplete,dunhost/stopping,rasapi32/RnaTerminate";
        EXPECT_EQ(expect, Order(s, {"smmalt/RunRnaScript", "rasapi32/RnaComplete", "dunhost/stopping",
                                    "rasapi32/RnaTerminate"}));
        auto done = s.Calls("rasapi32", "RnaComplete");
        ASSERT_EQ(1u, done.size());
        EXPECT_EQ("1003", done[0].Field("error"));
        EXPECT_EQ("20", done[0].Field("size"));
        auto end = s.Calls("rasapi32", "RnaTerminate");
        ASSERT_EQ(1u, end.size());
        EXPECT_EQ("1", end[0].Field("thread"));
        EXPECT_TRUE(s.Calls("smmalt", "SMMSessStart").empty());
    }
}

TEST_F(Chained, RegularModuleWithoutItsEntryFailsTheInitialisation) {
    DialUpStandIns s(RemoteAccess::Win95);
    s.WriteScenario(Scenario(ChainedCopy(s, "RNAPH.DLL")));
    Seed("Primary");
    qvdial::HostRun run = qvdial::Dial(s, {"Line Two"});
    EXPECT_EQ("14/1359", run.Last()) << run.output;
    auto init = s.Calls("dunhost", "RnaSessInitialize");
    ASSERT_EQ(1u, init.size());
    EXPECT_EQ("1359", init[0].result);
}

TEST_F(Chained, EarlyStopTerminatesWithoutTouchingThePort) {
    DialUpStandIns s(RemoteAccess::Win95);
    s.WriteScenario(Scenario(ChainedCopy(s), "", "[Session]\r\nHoldThreads=1\r\n"));
    Seed("Secondary");
    qvdial::HostRun run = qvdial::Dial(s, {"Line Two@start"});
    EXPECT_EQ("0", run.said["hangup1"]) << run.output;
    EXPECT_EQ(1u, s.Calls("rasapi32", "RnaTerminate").size());
    EXPECT_TRUE(s.Calls("rasapi32", "RnaComplete").empty());
    EXPECT_TRUE(s.Calls("tapi32", "lineGetID").empty());
    EXPECT_EQ("", qvdial::DriverCodes(s));
}

TEST_F(Chained, TwoSessionsKeepTheirOwnKeys) {
    DialUpStandIns s(RemoteAccess::Win95);
    s.WriteScenario(Scenario(ChainedCopy(s), "", "[Session]\r\nHoldThreads=1\r\n"));
    Seed("Secondary");
    // The first is stopped while both threads wait; the second then works on.
    qvdial::HostRun run = qvdial::Dial(s, {"Line Two@start", "Line Three"});
    EXPECT_EQ("14/1003", run.Last(2)) << run.output;
    EXPECT_EQ("Negotiating", DialUpStandIns::ConnectionValue("Status"));
    EXPECT_EQ("COM2", DialUpStandIns::ConnectionValue("ComPort"));
    EXPECT_EQ(2u, s.Calls("rasapi32", "RnaTerminate").size());
    auto done = s.Calls("rasapi32", "RnaComplete");
    ASSERT_EQ(1u, done.size());
    EXPECT_EQ(run.said["handle2"], done[0].Field("handle"));
}

}  // namespace
