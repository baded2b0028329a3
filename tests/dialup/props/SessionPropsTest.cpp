// The connection's properties as the session module records them, called
// in process with a device query of the test's own and a scratch key.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstring>
#include <string>

#include "../DialupKit.h"
#include "SessionProps.h"

namespace {

DWORD WINAPI FakeDevicePort(ras::Handle, ras::DevicePort* record) {
    record->speed = 33600;
    return 0;
}

class SessionProps : public testing::Test {
protected:
    SessionProps() {
        RegOpenKeyExA(HKEY_CURRENT_USER, scratch.Path(), 0, KEY_ALL_ACCESS, &session.key);
        session.ras.devicePort = FakeDevicePort;
    }
    ~SessionProps() override {
        if (session.key) RegCloseKey(session.key);
    }
    std::string Value(const char* name) const {
        DWORD type = 0;
        std::string bytes;
        if (!scratch.Get(name, &type, &bytes)) return "<absent>";
        return bytes.empty() || bytes.back() != '\0' ? "<unterminated>" : bytes.substr(0, bytes.size() - 1);
    }

    qvaid::ScratchKey scratch;
    qvdial::MachineKeys keys;
    SESSIONCTX session;
};

TEST_F(SessionProps, ProfileAndNameServers) {
    const unsigned long a = 0xC0A80105, n1 = 0x0A000001, n2 = 0x0A000002;
    struct Case {
        const char* what;
        std::string ip;  // the profile's "IP" value; "-" none
        const char* mstcp;
        const char* compression;
        const char* address;
        const char* dns;
    } cases[] = {
        {"no profile value", "-", "", "YES", "0.0.0.0", " "},
        {"fixed address, servers, no compression", qvdial::IpValue(0x07, a, n1, n2), "", "NO", "192.168.1.5",
         "10.0.0.1,10.0.0.2"},
        {"servers not flagged", qvdial::IpValue(0x01, a, n1, n2), "10.0.0.9", "YES", "192.168.1.5", "10.0.0.9"},
        {"duplicates once, 0.0.0.0 skipped", qvdial::IpValue(0x02, a, n1, 0), "0.0.0.0,10.0.0.1, 10.0.0.3",
         "YES", "0.0.0.0", "10.0.0.1,10.0.0.3"},
        {"too short for the address", qvdial::IpValue(0x03, a, n1, n2).substr(0, 6), "", "YES", "0.0.0.0", " "},
        {"too short for the servers", qvdial::IpValue(0x03, a, n1, n2).substr(0, 14), "", "YES", "192.168.1.5", " "},
        {"over-long and empty parts skipped", "-", "10.0.0.1000000000,,10.0.0.4", "YES", "0.0.0.0", "10.0.0.4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qvaid::DeleteKeyTree(HKEY_USERS, ".Default\\RemoteAccess");
        qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, qvdial::kMstcpKey);
        if (c.ip != "-") keys.Profile("Line Two", c.ip);
        else qvdial::SetValue(HKEY_USERS, std::string(qvdial::kProfileKey) + "Line Two", "Other", REG_SZ, "x");
        if (*c.mstcp) keys.NameServers(c.mstcp);
        scratch.SetString("CurrentPBEntry", "Line Two");
        EXPECT_TRUE(_GetSessionProps(&session, nullptr, nullptr, nullptr));
        EXPECT_EQ(c.compression, Value("HeaderCompression"));
        EXPECT_EQ(c.address, Value("IPAddress"));
        EXPECT_EQ(c.dns, Value("DNSAddress"));
        EXPECT_EQ(" ", Value("DNSSuffix"));
        EXPECT_EQ("33600", Value("ConnectSpeed"));
        EXPECT_EQ("0", Value("ComPortRate")) << "no port";
        EXPECT_EQ("Connected", Value("Status"));
    }
}

TEST_F(SessionProps, JoinedNameServersStayWithinTheirBound) {
    std::string list;
    for (int i = 0; i < 40; i++) list += "10.0.1." + std::to_string(100 + i) + ",";
    keys.NameServers(list);
    scratch.SetString("CurrentPBEntry", "Line Two");
    EXPECT_TRUE(_GetSessionProps(&session, nullptr, nullptr, nullptr));
    std::string dns = Value("DNSAddress");
    EXPECT_LE(dns.size(), 255u);
    EXPECT_EQ(0u, dns.find("10.0.1.100,10.0.1.101,"));
    EXPECT_NE(',', dns.back());
}

TEST_F(SessionProps, LoginFromTheEntryAndNothingMoreWithoutCurrentEntry) {
    ras::Entry entry = {};
    entry.size = ras::kEntrySizeOld;
    struct Case {
        const char* script;
        uint32_t options;
        const char* noLogin;
    } cases[] = {{"", 0, "YES"}, {"login.scp", 0, "NO"}, {"", ras::kOptionTerminalAfterDial, "NO"}};
    for (const Case& c : cases) {
        char* script = reinterpret_cast<char*>(&entry) + ras::kEntryScriptOffset;
        std::memset(script, 0, ras::kEntryScriptSize);
        std::strcpy(script, c.script);
        entry.options = c.options;
        EXPECT_FALSE(_GetSessionProps(&session, nullptr, nullptr, &entry)) << "no CurrentPBEntry";
        EXPECT_EQ(c.script, Value("LoginScript"));
        EXPECT_EQ(c.noLogin, Value("NoLogin")) << c.script << " " << c.options;
        EXPECT_EQ("<absent>", Value("ConnectSpeed"));
        EXPECT_EQ("<absent>", Value("Status"));
    }
    // Without an entry both are empty texts of their real length.
    EXPECT_FALSE(_GetSessionProps(&session, nullptr, nullptr, nullptr));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(scratch.Get("NoLogin", &type, &bytes));
    EXPECT_EQ(std::string(1, '\0'), bytes);
    EXPECT_FALSE(_GetSessionProps(&session, nullptr, nullptr, nullptr));
    SESSIONCTX closed;
    EXPECT_FALSE(_GetSessionProps(&closed, nullptr, nullptr, nullptr)) << "no key";
}

}  // namespace
