// The remote-access stand-ins, driven end to end: a child of this program
// binds RASAPI32.DLL from its current directory as the gateway does, and the
// parent reads what it printed, the journal and the scenario.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "RasDriver.h"
#include "Scenario.h"
#include "StandInHarness.h"

using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;

namespace {

const char kScenario[] =
    "[Phonebook]\r\n"
    "Entries=Line One,Line Two   ; enumeration order\r\n"
    "[Entry Line One]\r\n"
    "Phone=5551234\r\n"
    "User=user1\r\n"
    "Password=pass1\r\n"
    "Options=0x00000000\r\n"
    "SubEntries=1\r\n"
    "EntrySize=1796\r\n"
    "Address=127.0.0.2\r\n"
    "Speed=28800\r\n"
    "Outcome=connect\r\n"
    "Delay=5\r\n"
    "[Entry Line Two]\r\n"
    "Phone=5559999\r\n"
    "Address=127.0.0.3\r\n"
    "Delay=5\r\n"
    "[Errors]\r\n"
    "678=There was no answer.\r\n";


std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& i : items) out += (out.empty() ? "" : ",") + i;
    return out;
}

bool HasArg(const char* arg) { return std::strstr(GetCommandLineA(), arg) != nullptr; }

unsigned ArgNumber(const char* name, unsigned fallback) {
    const char* at = std::strstr(GetCommandLineA(), name);
    return at ? unsigned(std::atoi(at + std::strlen(name))) : fallback;
}

void Say(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }
void Say(const char* key, unsigned long value) { std::printf("%s=%lu\n", key, value); }

std::string HandleText(ras::Handle h) { return std::to_string(ras::HandleField(h)); }

// The scenario with keys of Line One set ("key=value" lines).
std::string ScenarioWith(const std::string& lineOneKeys) {
    standin::Scenario s = standin::Scenario::FromText(kScenario);
    standin::Scenario keys = standin::Scenario::FromText("[k]\r\n" + lineOneKeys);
    for (const auto& k : keys.Keys()) s.Set("Entry Line One", k.second, keys.Get("k", k.second));
    return s.Text();
}

}  // namespace

QV_CHILD_CASE(DialDropHangUp) {
    RasDriver d;
    if (!d.Load()) return;
    ras::Handle h;
    Say("dial", d.Dial("Line One", &h));
    Say("notes", Joined(d.Notes()));
    Say("first", d.HandleWrittenFirst() ? 1ul : 0ul);
    Say("handle", HandleText(h));
    ras::PppIp ip = {};
    ip.size = ras::kPppIpSize;
    DWORD bytes = sizeof ip;
    Say("projection", d.projection(h, ras::kProjectionPppIp, &ip, &bytes));
    Say("address", ip.address);
    if (d.devicePort) {
        ras::DevicePort port = {};
        port.size = ras::kDevicePortSize;
        Say("port", d.devicePort(h, &port));
        Say("speed", port.speed);
    }
    DialUpStandIns::AppendCommandFromChild("drop Line One");
    ras::ConnectStatus st = {};
    st.size = ras::kConnectStatusSize;
    Say("status", d.status(h, &st));
    Say("state", st.state);
    Say("error", st.error);
    Say("hangup", d.hangUp(h));
    Say("after", d.status(h, &st));
}

QV_CHILD_CASE(DialOnce) {
    RasDriver d;
    if (!d.Load()) return;
    ras::Handle h;
    Say("dial", d.Dial("Line One", &h, ArgNumber("--wait=", 5000)));
    Say("notes", Joined(d.Notes()));
    if (HasArg("--hangup")) {
        size_t seen = d.Notes().size();
        Say("hangup", d.hangUp(h));
        // Nothing may follow the hang-up: give a dial of 5-ms steps ten times that.
        Sleep(50);
        Say("later", d.Notes().size() - seen);
        ras::ConnectStatus st = {};
        st.size = ras::kConnectStatusSize;
        Say("after", d.status(h, &st));
    }
    if (HasArg("--twice")) {
        d.hangUp(h);
        Say("dial2", d.Dial("Line One", &h));
        Say("notes2", Joined(d.Notes()));
    }
}

QV_CHILD_CASE(ExternalConnection) {
    RasDriver d;
    if (!d.Load()) return;
    ras::Connection records[2] = {};
    records[0].size = ras::kConnectionSize;
    DWORD bytes = sizeof records, count = 0;
    Say("enum", d.enumConnections(records, &bytes, &count));
    Say("count", count);
    Say("entry", records[0].entryName);
    ras::Handle h = ras::HandleFromField(records[0].handle);
    ras::ConnectStatus st = {};
    st.size = ras::kConnectStatusSize;
    Say("status", d.status(h, &st));
    Say("state", st.state);
    ras::PppIp ip = {};
    ip.size = ras::kPppIpSize;
    bytes = sizeof ip;
    d.projection(h, ras::kProjectionPppIp, &ip, &bytes);
    Say("address", ip.address);
}

QV_CHILD_CASE(RecordChecks) {
    RasDriver d;
    if (!d.Load()) return;
    DWORD bytes = 0, count = 0;
    Say("entries.null", d.enumEntries(nullptr, nullptr, nullptr, &bytes, &count));
    Say("entries.bytes", bytes);
    Say("entries.count", count);
    ras::EntryName names[2] = {};
    names[0].size = 100;
    bytes = sizeof names;
    Say("entries.badsize", d.enumEntries(nullptr, nullptr, names, &bytes, &count));
    names[0].size = ras::kEntryNameRecordSize;
    bytes = sizeof names[0];
    Say("entries.short", d.enumEntries(nullptr, nullptr, names, &bytes, &count));
    bytes = sizeof names;
    Say("entries.all", d.enumEntries(nullptr, nullptr, names, &bytes, &count));
    Say("entries.second", names[1].entryName);
    ras::Connection conn = {};
    conn.size = 704;
    bytes = sizeof conn;
    Say("connections.badsize", d.enumConnections(&conn, &bytes, &count));

    ras::Handle h;
    Say("dial.unknown", d.Dial("No Such Line", &h, 0));
    ras::DialParams params = {};
    params.size = 1060;
    std::strcpy(params.entryName, "Line One");
    Say("dial.badsize", d.dial(nullptr, nullptr, &params, 1, nullptr, &h));
    ras::ConnectStatus st = {};
    st.size = ras::kConnectStatusSize;
    Say("status.unknown", d.status(ras::HandleFromField(0x7777), &st));

    params.size = ras::kDialParamsSize;
    BOOL saved = FALSE;
    Say("params.get", d.getDialParams(nullptr, &params, &saved));
    Say("params.user", params.userName);
    Say("params.password", params.password);
    Say("params.saved", (unsigned long)saved);
    std::strcpy(params.userName, "user9");
    Say("params.set", d.setDialParams(nullptr, &params, TRUE));

    bytes = 0;
    Say("properties.null", d.getProperties(nullptr, "Line One", nullptr, &bytes, nullptr, nullptr));
    Say("properties.bytes", bytes);
    std::vector<char> block(bytes);
    ras::Entry* entry = reinterpret_cast<ras::Entry*>(block.data());
    entry->size = 100;
    Say("properties.badsize", d.getProperties(nullptr, "Line One", entry, &bytes, nullptr, nullptr));
    entry->size = bytes;
    Say("properties.get", d.getProperties(nullptr, "Line One", entry, &bytes, nullptr, nullptr));
    Say("properties.phone", entry->localPhoneNumber);
    Say("properties.sub", entry->subEntries);
    entry->options |= ras::kOptionRemoteDefaultGateway | ras::kOptionDisableLcpExtensions;
    Say("properties.set", d.setProperties(nullptr, "Line One", entry, bytes, nullptr, 0));
    Say("properties.unknown", d.getProperties(nullptr, "Nope", entry, &bytes, nullptr, nullptr));

    char text[128] = "";
    Say("error.678", d.errorString(678, text, sizeof text));
    Say("error.text", text);
    Say("error.999", d.errorString(999, text, sizeof text));
    Say("create", d.createEntry(nullptr, nullptr));
    Say("edit", d.editEntry(nullptr, nullptr, "Line Two"));
    Say("edit.unknown", d.editEntry(nullptr, nullptr, "Nope"));
}

QV_CHILD_CASE(ExportList) {
    const char* names[] = {"RasCreatePhonebookEntryA", "RasDialA", "RasEditPhonebookEntryA", "RasEnumConnectionsA",
                           "RasEnumEntriesA", "RasGetConnectStatusA", "RasGetEntryDialParamsA",
                           "RasSetEntryDialParamsA", "RasGetErrorStringA", "RasGetProjectionInfoA", "RasHangUpA",
                           "RasGetEntryPropertiesA", "RasSetEntryPropertiesA", "RnaGetDevicePort", "RnaComplete",
                           "RnaTerminate"};
    for (const char* dll : {"RASAPI32.DLL", "RNAPH.DLL"}) {
        HMODULE m = RasDriver::LoadFromSearchPath(dll);
        std::string found;
        for (const char* n : names)
            if (m && GetProcAddress(m, n)) found += std::string(found.empty() ? "" : ",") + n;
        Say(dll, m ? found : "<none>");
    }
}

class RasStandIn : public testing::TestWithParam<RemoteAccess> {};

TEST_P(RasStandIn, DialsProjectsDropsAndHangsUp) {
    DialUpStandIns s(GetParam());
    s.WriteScenario(kScenario);
    auto r = s.Run("DialDropHangUp");
    auto said = qvtest::KeyValues(r.output);
    EXPECT_EQ("0", said["dial"]) << r.output;
    EXPECT_EQ("0/0,2/0,3/0,5/0,14/0,8192/0", said["notes"]);
    EXPECT_EQ("1", said["first"]) << "a notification came before the handle was written";
    EXPECT_EQ("0", said["projection"]);
    EXPECT_EQ("127.0.0.2", said["address"]);
    EXPECT_EQ(GetParam() == RemoteAccess::Win95 ? "28800" : "", said["speed"]);
    EXPECT_EQ("0", said["status"]);
    EXPECT_EQ("8193", said["state"]);
    EXPECT_EQ("629", said["error"]);
    EXPECT_EQ("0", said["hangup"]);
    EXPECT_EQ("6", said["after"]) << "a hung-up handle is unknown at once";

    auto dials = s.Calls("rasapi32", "RasDialA");
    ASSERT_EQ(1u, dials.size());
    EXPECT_EQ("Line One", dials[0].Field("entry"));
    EXPECT_EQ("5551234", dials[0].Field("phone"));
    EXPECT_EQ("1052", dials[0].Field("size"));
    EXPECT_EQ(said["handle"], dials[0].Field("handle"));
    std::string states;
    bool afterDial = false;
    for (const auto& e : s.Journal()) {
        if (e.call == "RasDialA") afterDial = true;
        if (e.call == "callback") {
            EXPECT_TRUE(afterDial) << "callback journaled before the dial: " << e.line;
            states += e.Field("state") + " ";
        }
    }
    EXPECT_EQ("0 2 3 5 14 8192 ", states);
}

INSTANTIATE_TEST_SUITE_P(Variants, RasStandIn, testing::Values(RemoteAccess::Nt, RemoteAccess::Win95),
                         [](const testing::TestParamInfo<RemoteAccess>& p) {
                             return p.param == RemoteAccess::Nt ? "Nt" : "Win95";
                         });

TEST(RasOutcomes, EachOutcomeGivesItsNotifications) {
    const char* connect = "0/0,2/0,3/0,5/0,14/0,8192/0";
    struct Case {
        const char* what;
        const char* keys;
        const char* command;  // in control.txt before the child starts
        const char* access;   // the Current Connection key's "LineAccess"
        const char* args;     // --twice: a second dial; --hangup: hang up mid-dial
        const char* dial;
        const char* notes;
        const char* notes2;   // of the second dial
        const char* comPort;  // recorded by the session module
    } cases[] = {
        {"fail after a state", "Outcome=fail\r\nFailState=2\r\nError=678\r\n", "", "", "", "0", "0/0,2/0,2/678", "",
         ""},
        {"fail at once", "Outcome=fail\r\nFailState=-1\r\nError=678\r\n", "", "", "", "678", "", "", ""},
        {"fail-next fails the next dial only", "", "fail-next 691 3 Line One", "", "--twice", "0",
         "0/0,2/0,3/0,3/691", connect, ""},
        {"session, secondary line", "Outcome=session\r\n", "", "Secondary", "", "0", "0/0,2/0,3/0,5/0,14/0,14/1003",
         "", "COM2"},
        {"session, primary line", "Outcome=session\r\n", "", "Primary", "", "0", connect, "", ""},
        {"silent, hung up mid-dial", "Outcome=silent\r\n", "", "", "--wait=100 --hangup", "0", "0/0,2/0", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(ScenarioWith(c.keys));
        if (*c.command) s.AppendCommand(c.command);
        if (*c.access) DialUpStandIns::SetConnectionValue("LineAccess", c.access);
        auto said = qvtest::KeyValues(s.Run("DialOnce", c.args).output);
        EXPECT_EQ(c.dial, said["dial"]);
        EXPECT_EQ(c.notes, said["notes"]);
        EXPECT_EQ(c.notes2, said["notes2"]);
        if (std::strstr(c.args, "--hangup")) {
            EXPECT_EQ("0", said["hangup"]);
            EXPECT_EQ("0", said["later"]) << "a notification followed the hang-up";
            EXPECT_EQ("6", said["after"]);
        }
        auto dials = s.Calls("rasapi32", "RasDialA");
        ASSERT_FALSE(dials.empty());
        EXPECT_EQ(c.access, dials[0].Field("access"));
        EXPECT_EQ(c.comPort, DialUpStandIns::ConnectionValue("ComPort"));
        if (*c.comPort) {
            EXPECT_EQ("28800", DialUpStandIns::ConnectionValue("ConnectSpeed"));
            EXPECT_EQ("127.0.0.2", DialUpStandIns::ConnectionValue("IPAddress"));
            EXPECT_EQ("115200", DialUpStandIns::ConnectionValue("ComPortRate"));
            EXPECT_EQ("127.0.0.1", DialUpStandIns::ConnectionValue("DNSAddress"));
            EXPECT_EQ("1", DialUpStandIns::ConnectionValue("HeaderCompression"));
        }
    }
}

TEST(RasOutcomes, ExternalConnectionIsListedConnected) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(kScenario);
    s.AppendCommand("connect-external Line Two");
    auto said = qvtest::KeyValues(s.Run("ExternalConnection").output);
    EXPECT_EQ("0", said["enum"]);
    EXPECT_EQ("1", said["count"]);
    EXPECT_EQ("Line Two", said["entry"]);
    EXPECT_EQ("0", said["status"]);
    EXPECT_EQ("8192", said["state"]);
    EXPECT_EQ("127.0.0.3", said["address"]);
}

TEST(RasRecords, SizesBuffersEntriesAndWriteBack) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(kScenario);
    auto r = s.Run("RecordChecks");
    auto said = qvtest::KeyValues(r.output);
    const std::pair<const char*, const char*> expected[] = {
        {"entries.null", "603"},       {"entries.bytes", "528"},     {"entries.count", "2"},
        {"entries.badsize", "632"},    {"entries.short", "603"},     {"entries.all", "0"},
        {"entries.second", "Line Two"}, {"connections.badsize", "632"}, {"dial.unknown", "623"},
        {"dial.badsize", "632"},       {"status.unknown", "6"},      {"params.get", "0"},
        {"params.user", "user1"},      {"params.password", "pass1"}, {"params.saved", "1"},
        {"params.set", "0"},           {"properties.null", "603"},   {"properties.bytes", "1796"},
        {"properties.badsize", "632"}, {"properties.get", "0"},      {"properties.phone", "5551234"},
        {"properties.sub", "1"},       {"properties.set", "0"},      {"properties.unknown", "623"},
        {"error.678", "0"},            {"error.text", "There was no answer."}, {"error.999", "87"},
        {"create", "0"},               {"edit", "0"},                {"edit.unknown", "623"},
    };
    for (const auto& e : expected) EXPECT_EQ(e.second, said[e.first]) << e.first << "\n" << r.output;

    std::string scenario = s.ScenarioText();
    EXPECT_NE(std::string::npos, scenario.find("User=user9")) << scenario;
    EXPECT_NE(std::string::npos, scenario.find("Password=\r\n")) << "removing the password keeps none";
    EXPECT_NE(std::string::npos, scenario.find("Options=0x00000030")) << scenario;
    EXPECT_NE(std::string::npos, scenario.find("Entries=Line One,Line Two,New Entry 1")) << scenario;
    EXPECT_NE(std::string::npos, scenario.find("Entries=Line One,Line Two,New Entry 1   ; enumeration order"))
        << "the comment stays";

    auto sets = s.Calls("rasapi32", "RasSetEntryDialParamsA");
    ASSERT_EQ(1u, sets.size());
    EXPECT_EQ("0", sets[0].Field("password")) << "passwords are journaled as their length";
    EXPECT_EQ("0", sets[0].Field("saved"));
    auto gets = s.Calls("rasapi32", "RasGetEntryDialParamsA");
    ASSERT_EQ(1u, gets.size());
    EXPECT_EQ("5", gets[0].Field("password"));
    auto props = s.Calls("rasapi32", "RasSetEntryPropertiesA");
    ASSERT_EQ(1u, props.size());
    EXPECT_EQ("0x00000030", props[0].Field("options"));
}

TEST(RasRecords, SetPropertiesFailureAndOlderEntrySize) {
    DialUpStandIns s(RemoteAccess::Win95);
    s.WriteScenario(ScenarioWith("SetPropertiesFails=5\r\nEntrySize=1768\r\n"));
    auto said = qvtest::KeyValues(s.Run("RecordChecks").output);
    EXPECT_EQ("1768", said["properties.bytes"]);
    EXPECT_EQ("0", said["properties.get"]);
    EXPECT_EQ("5", said["properties.set"]);
    EXPECT_EQ(std::string::npos, s.ScenarioText().find("Options=0x00000030")) << "a failed write changes nothing";
    EXPECT_EQ(0u, s.Calls("rasapi32", "RasGetEntryPropertiesA").size());
    EXPECT_FALSE(s.Calls("rnaph", "RasGetEntryPropertiesA").empty())
        << "on Windows 95 the entry properties come from rnaph.dll";
}

TEST(RasExports, EachVariantOffersItsEntries) {
    const char* core =
        "RasCreatePhonebookEntryA,RasDialA,RasEditPhonebookEntryA,RasEnumConnectionsA,RasEnumEntriesA,"
        "RasGetConnectStatusA,RasGetEntryDialParamsA,RasSetEntryDialParamsA,RasGetErrorStringA,"
        "RasGetProjectionInfoA,RasHangUpA";
    {
        DialUpStandIns s(RemoteAccess::Nt);
        auto said = qvtest::KeyValues(s.Run("ExportList").output);
        EXPECT_EQ(std::string(core) + ",RasGetEntryPropertiesA,RasSetEntryPropertiesA", said["RASAPI32.DLL"]);
        EXPECT_EQ("<none>", said["RNAPH.DLL"]);
    }
    {
        DialUpStandIns s(RemoteAccess::Win95);
        auto said = qvtest::KeyValues(s.Run("ExportList").output);
        EXPECT_EQ(std::string(core) + ",RnaGetDevicePort,RnaComplete,RnaTerminate", said["RASAPI32.DLL"]);
        EXPECT_EQ("RasGetEntryPropertiesA,RasSetEntryPropertiesA", said["RNAPH.DLL"]);
    }
}
