// qvtrap32.dll as delivered (take-over mode) under the Windows 95 Dial-Up
// Networking stand-ins: a secondary line's port goes to the driver inside
// the start call, every other line is only recorded.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <string>

#include "../DialupKit.h"

using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;

namespace {

const unsigned long k10_1_2_3 = 0x0A010203, k10_0_0_1 = 0x0A000001;

std::string Scenario(const std::string& module, const std::string& lineKeys = "", const std::string& more = "") {
    // The first of a key counts: the case's keys come before the defaults.
    return "[Phonebook]\r\nEntries=Line Two\r\n[Entry Line Two]\r\n" + lineKeys +
           "Phone=5552222\r\nSpeed=28800\r\nOutcome=session\r\nDelay=2\r\nEntrySize=1768\r\n"
           "Device=Modem #2\r\nSessionModule=" +
           module + "\r\n[Driver]\r\nPortId=0x2002\r\nPortName=COM2\r\n[Modem]\r\nBaud=57600\r\n" + more;
}

class TakeOver : public testing::Test {
protected:
    void Seed(DialUpStandIns& s, const char* access) {
        DialUpStandIns::SetConnectionValue("LineAccess", access);
        DialUpStandIns::SetConnectionValue("CurrentPBEntry", "Line Two");
        DialUpStandIns::SetConnectionValue("UserName", "user2");
        keys.Profile("Line Two", qvdial::IpValue(0x03, k10_1_2_3, k10_0_0_1, 0));
        keys.NameServers("10.0.0.1, 10.0.0.9,0.0.0.0");
    }
    qvdial::MachineKeys keys;
};

TEST_F(TakeOver, SecondaryLineHandsThePortToTheDriver) {
    DialUpStandIns s(RemoteAccess::Win95);
    s.WriteScenario(Scenario(qvdial::Trap32()));
    Seed(s, "Secondary");
    qvdial::HostRun run = qvdial::Dial(s, {"Line Two"});
    EXPECT_EQ("0", run.said["dial1"]) << run.output;
    EXPECT_EQ("14/1003", run.Last()) << run.said["notes1"];

    auto init = s.Calls("dunhost", "RnaSessInitialize");
    ASSERT_EQ(1u, init.size());
    EXPECT_EQ("0", init[0].result);
    EXPECT_EQ("1", init[0].Field("start"));
    EXPECT_EQ("1", init[0].Field("stop"));

    const std::pair<const char*, const char*> values[] = {
        {"IPAddress", "10.1.2.3"}, {"HeaderCompression", "YES"}, {"DNSAddress", "10.0.0.1,10.0.0.9"},
        {"DNSSuffix", " "},        {"ComPort", "COM2"},          {"ConnectSpeed", "28800"},
        {"ComPortRate", "57600"},  {"Status", "Negotiating"},    {"LoginScript", ""},
    };
    for (const auto& v : values) EXPECT_EQ(v.second, DialUpStandIns::ConnectionValue(v.first)) << v.first;

    // The driver: the port found by the device name, its state saved, the port taken, the state given back.
    auto io = s.Calls("vxd", "DeviceIoControl");
    ASSERT_EQ("2,3,1,4", qvdial::DriverCodes(s));
    EXPECT_EQ(qvdial::Hex(std::string("Modem #2", 9)), io[0].Field("in"));
    EXPECT_EQ(qvdial::Hex(std::string("\x02\x20\x00\x00" "COM2", 9)), io[0].Field("out"));
    EXPECT_EQ(qvdial::Hex(std::string("COM2", 5)), io[1].Field("in"));
    EXPECT_EQ(qvdial::Hex(std::string("\x02\x20\x00\x00", 4)), io[2].Field("in"));
    EXPECT_EQ(io[1].Field("out"), io[3].Field("in"));
    auto opens = s.Calls("vxd", "CreateFileA");
    ASSERT_EQ(1u, opens.size()) << "the driver opens once, at attach";
    EXPECT_EQ("\\\\.\\QVWINVXD.VXD", opens[0].Field("name"));
    EXPECT_EQ("0", opens[0].Field("disposition"));
    auto set = s.Calls("vxd", "SetCommState");
    ASSERT_EQ(1u, set.size());
    EXPECT_EQ("0", set[0].Field("rts")) << "RTS control disabled";
    auto ids = s.Calls("tapi32", "lineGetID");
    ASSERT_EQ(2u, ids.size());
    EXPECT_EQ("24", ids[0].Field("size")) << "a size probe first";
    EXPECT_EQ("comm/datamodem", ids[1].Field("class"));
    EXPECT_EQ(1u, s.Calls("tapi32", "lineDrop").size());

    // The installer's converter reads what the module recorded.
    std::string ini = s.Files() + "pelloch.ini";
    std::string cmd = "\"" + qvaid::AidPath("callexport.exe") + "\" \"" + qvaid::BuildPath("setup\\qvinst32.dll") +
                      "\" ConvertDUNToPelloch2 \"s:Line Two\" \"s:" + ini + "\" null null";
    qvtest::ChildResult conv = qvtest::RunProgram(cmd, 30000);
    EXPECT_NE(std::string::npos, conv.output.find("result 1")) << conv.output;
    char text[64];
    GetPrivateProfileStringA("Pelloch Winsock", "slip-port", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ("2", text);
    GetPrivateProfileStringA("Pelloch Winsock", "ip", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ("10.1.2.3", text);
    GetPrivateProfileStringA("Pelloch Winsock", "dns", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ("10.0.0.1", text);
}

TEST_F(TakeOver, OutcomesByLineAndPort) {
    struct Case {
        const char* what;
        const char* access;
        const char* lineKeys;
        const char* more;            // further scenario sections
        const char* connection;      // Current Connection values set "name=value;..."
        const char* last;            // the dial's last notification
        const char* status;
        const char* codes;           // driver codes
    } cases[] = {
        {"DSR off", "Secondary", "", "Status=0x90\r\n", "", "14/668", "", ""},
        {"DSR off, check switched off", "Secondary", "", "Status=0x90\r\n", "Check DSR=yes", "14/1003", "Negotiating",
         "2,3,1,4"},
        {"RLSD off", "Secondary", "", "Status=0x30\r\n", "Check DSR=no", "14/668", "", ""},
        {"RLSD off, check switched off", "Secondary", "", "Status=0x30\r\n", "Check RLSD=YES", "14/1003", "Negotiating",
         "2,3,1,4"},
        {"not a serial device", "Secondary", "PortType=DIRECT\r\n", "", "", "14/1200", "", ""},
        {"session without port", "Secondary", "SessionNoPort=1\r\n", "", "", "14/1200", "", ""},
        {"bad session information", "Secondary", "SessionSize=800\r\n", "", "", "14/1150", "", ""},
        {"primary line", "Primary", "", "", "", "8192/0", "DUN", ""},
        {"RTS kept", "Secondary", "", "", "Use RTS=no", "14/1003", "Negotiating", "2,3,1,4"},
        {"driver refuses the port", "Secondary", "", "[Driver]\r\nRefuse=1\r\n", "", "14/31", "Connected", "2,3,1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DialUpStandIns s(RemoteAccess::Win95);
        s.WriteScenario(Scenario(qvdial::Trap32(), c.lineKeys, std::string("[Modem]\r\n") + c.more));
        Seed(s, c.access);
        std::string sets = c.connection;
        for (size_t at = 0; !sets.empty() && at < sets.size();) {
            size_t end = sets.find(';', at);
            if (end == std::string::npos) end = sets.size();
            std::string pair = sets.substr(at, end - at);
            DialUpStandIns::SetConnectionValue(pair.substr(0, pair.find('=')).c_str(),
                                               pair.substr(pair.find('=') + 1).c_str());
            at = end + 1;
        }
        qvdial::HostRun run = qvdial::Dial(s, {"Line Two"});
        EXPECT_EQ(c.last, run.Last()) << run.output;
        EXPECT_EQ(c.status, DialUpStandIns::ConnectionValue("Status"));
        EXPECT_EQ(c.codes, qvdial::DriverCodes(s));
        bool rtsKept = std::string(c.connection) == "Use RTS=no";
        if (std::string(c.codes) == "2,3,1,4") {
            EXPECT_EQ(rtsKept ? 0u : 1u, s.Calls("vxd", "SetCommState").size());
        }
    }
}

TEST_F(TakeOver, WithoutDriverThePortComesFromTheModemKeysAndTheStartFails) {
    struct Case {
        const char* device;
        const char* port;
    } cases[] = {{"Modem #2", "COM4"}, {"Modem", "COM3"}, {"Modem #3", " "}, {"Modem #0", " "}, {"Modem #x", " "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        DialUpStandIns s(RemoteAccess::Win95);
        s.WriteScenario(Scenario(qvdial::Trap32(), std::string("Device=") + c.device + "\r\n", "[Driver]\r\nOpen=0\r\n"));
        Seed(s, "Secondary");
        keys.Modem("0000", "Modem", "COM3");
        keys.Modem("0001", "Other Modem", "COM5");
        keys.Modem("0002", "Modem", "COM4");
        qvdial::HostRun run = qvdial::Dial(s, {"Line Two"});
        EXPECT_EQ("14/2", run.Last()) << run.output;
        EXPECT_EQ(c.port, DialUpStandIns::ConnectionValue("ComPort")) << "\"#2\": the second modem of that name";
        EXPECT_EQ("Connected", DialUpStandIns::ConnectionValue("Status"));
        EXPECT_EQ("", qvdial::DriverCodes(s));
    }
}

TEST_F(TakeOver, UnopenableKeyEndsTheSessionWithItsError) {
    DialUpStandIns s(RemoteAccess::Win95);
    s.WriteScenario(Scenario(qvdial::Trap32()));
    qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brellix Software\\Quorvane Corvath\\Current Connection");
    qvdial::HostRun run = qvdial::Dial(s, {"Line Two"});
    EXPECT_EQ("14/2", run.Last()) << run.output;
}

TEST(TrapErrorString, SessionRecordedHasNoText) {
    std::string cmd = "\"" + qvaid::AidPath("callexport.exe") + "\" \"" + qvdial::Trap32() +
                      "\" RnaSessGetErrorString i:1003 buf:16 i:16";
    qvtest::ChildResult r = qvtest::RunProgram(cmd, 30000);
    EXPECT_NE(std::string::npos, r.output.find("result 0")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("buf1 00000000000000000000000000000000")) << r.output;
}

}  // namespace
