// The converters of qvinst32.dll: the Current Connection key into the Pelloch
// and Ondrix stacks' files, called as the dialer and the installer call them.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstring>
#include <map>
#include <string>

#include "../SetupKit.h"
#include "ScratchDir.h"

namespace {

using qvsetup::CallSetup;

const char kConnection[] = "SOFTWARE\\Brellix Software\\Quorvane Corvath\\Current Connection";
// The scrambling table of the Pelloch stack's credentials.
const char kTable[] = "7fK!q2@Zr$9Lm^xB&3wT*eP(5yN)hD-8uG_jV+4cS=oA[1iR]0zE{6tM}bW|lQ<\x7f";

std::string Unscramble(const std::string& quoted) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return "<not quoted: " + quoted + ">";
    std::string out;
    for (size_t i = 1; i + 1 < quoted.size(); i++) {
        int k = static_cast<unsigned char>(kTable[i - 1]);
        int c = static_cast<unsigned char>(quoted[i]);
        out.push_back(char(((c - 32) - (k - 32) + 96 * 2) % 96 + 32));
    }
    return out;
}

using Values = std::map<std::string, std::string>;

const Values kFull = {
    {"UserName", "user1"},      {"PhoneNumber", "5551234"},      {"ComPort", "COM2"},
    {"ComPortRate", "57600"},   {"HeaderCompression", "YES"},    {"IPAddress", "10.0.0.5"},
    {"DNSAddress", "10.0.0.1,10.0.0.2"}, {"DNSSuffix", "example.net"}, {"NoLogin", "YES"},
};

class Converter : public qvtest::ScratchDirTest {
protected:
    Converter() : ScratchDirTest("convert") {}
    void SetUp() override {
        ScratchDirTest::SetUp();
        ini = dir + "\\stack.ini";
    }
    void TearDown() override {
        qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, kConnection);
        ScratchDirTest::TearDown();
    }
    void Seed(const Values& values) {
        qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, kConnection);
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kConnection, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &key, nullptr));
        for (const auto& v : values)
            RegSetValueExA(key, v.first.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.c_str()),
                           DWORD(v.second.size() + 1));
        RegCloseKey(key);
    }
    std::string Ini(const char* section, const char* key) const {
        char buf[512];
        GetPrivateProfileStringA(section, key, "<none>", buf, sizeof buf, ini.c_str());
        return buf;
    }
    // The value as written in the file, quotes and all.
    std::string RawIni(const char* key) const {
        for (const std::string& line : Lines(ini))
            if (line.compare(0, std::strlen(key) + 1, std::string(key) + "=") == 0) return line.substr(std::strlen(key) + 1);
        return "<none>";
    }
    std::string DialParams(const std::string& user, const std::string& password) const {
        std::string record(1052, '\0');
        record.replace(519, user.size(), user);
        record.replace(776, password.size(), password);
        std::string path = dir + "\\dial.bin";
        qvtest::PutFile(path, record);
        return "file:" + path;
    }

    std::string ini;
};

TEST_F(Converter, PellochGetsEveryValueAndScrambledCredentials) {
    Seed(kFull);
    qvsetup::ExportCall c =
        CallSetup("ConvertDUNToPelloch2", {"s:Line One", "s:" + ini, "null", DialParams("joe", "Secret word!")});
    ASSERT_TRUE(c.called) << c.output;
    EXPECT_EQ(1, c.result);
    EXPECT_EQ("user1", Ini("default vars", "$username"));
    EXPECT_EQ("5551234", Ini("default vars", "$number"));
    const char* p = "Pelloch Winsock";
    EXPECT_EQ("2", Ini(p, "slip-port"));
    EXPECT_EQ("57600", Ini(p, "slip-baudrate"));
    EXPECT_EQ("1", Ini(p, "slip-compressed"));
    EXPECT_EQ("10.0.0.5", Ini(p, "ip"));
    EXPECT_EQ("10.0.0.1", Ini(p, "dns"));
    EXPECT_EQ("example.net", Ini(p, "Domain"));
    EXPECT_EQ("1", Ini(p, "ppp-usepap"));
    EXPECT_EQ("joe", Unscramble(RawIni("ppp-username")));
    EXPECT_EQ("Secret word!", Unscramble(RawIni("ppp-password")));
}

TEST_F(Converter, PellochCasesOfMissingAndOddValues) {
    struct Case {
        const char* what;
        Values change;       // "" removes the value
        std::string usechap;  // ppp-usechap already in the file
        std::string user;
        int result;
        std::map<std::string, std::string> expect;  // Pelloch Winsock key -> value or "<none>"
    } cases[] = {
        {"COM9 is no port", {{"ComPort", "COM9"}}, "", "joe", 0, {{"slip-port", "<none>"}, {"ip", "10.0.0.5"}}},
        {"lower-case yes", {{"HeaderCompression", "yes"}}, "", "joe", 1, {{"slip-compressed", "0"}}},
        {"terminal login", {{"NoLogin", "no"}}, "", "joe", 1, {{"ppp-usepap", "0"}, {"ppp-username", "<none>"}}},
        {"CHAP only", {{"Allow PAP Login", "NO"}}, "1", "joe", 1, {{"ppp-usepap", "<none>"}}},
        {"PAP refused but no CHAP", {{"Allow PAP Login", "no"}}, "0", "joe", 1, {{"ppp-usepap", "1"}}},
        {"no phone number", {{"PhoneNumber", ""}}, "", "joe", 1, {{"slip-port", "2"}}},
        {"no user name", {{"UserName", ""}}, "", "joe", 0, {{"slip-port", "2"}}},
        {"no DNS suffix", {{"DNSSuffix", ""}}, "", "joe", 0, {{"Domain", "<none>"}, {"dns", "10.0.0.1"}}},
        {"user name over 64", {}, "", std::string(65, 'u'), 0,
         {{"ppp-usepap", "<none>"}, {"ppp-username", "<none>"}, {"ppp-password", "<none>"}}},
    };
    for (const Case& c : cases) {
        Values values = kFull;
        for (const auto& ch : c.change) {
            if (ch.second.empty()) values.erase(ch.first);
            else values[ch.first] = ch.second;
        }
        Seed(values);
        DeleteFileA(ini.c_str());
        if (!c.usechap.empty()) WritePrivateProfileStringA("Pelloch Winsock", "ppp-usechap", c.usechap.c_str(), ini.c_str());
        qvsetup::ExportCall r =
            CallSetup("ConvertDUNToPelloch2", {"s:Line", "s:" + ini, "null", DialParams(c.user, "pw")});
        EXPECT_EQ(c.result, r.result) << c.what << r.output;
        for (const auto& e : c.expect) EXPECT_EQ(e.second, Ini("Pelloch Winsock", e.first.c_str())) << c.what << ": " << e.first;
    }
    // Without dial parameters (the two-argument form) no credentials are written.
    Seed(kFull);
    DeleteFileA(ini.c_str());
    EXPECT_EQ(1, CallSetup("ConvertDUNToPelloch", {"s:Line", "s:" + ini}).result);
    EXPECT_EQ("1", Ini("Pelloch Winsock", "ppp-usepap"));
    EXPECT_EQ("<none>", Ini("Pelloch Winsock", "ppp-username"));
}

TEST_F(Converter, OndrixFillsTheSerialRecord) {
    struct Case {
        const char* rate;
        const char* port;
        int result;
        unsigned long speed;  // at 16 when the result is 1
    } cases[] = {
        {"38400", "COM3", 1, 0xFF1B}, {"57600", "COM3", 1, 57600}, {"110", "COM1", 1, 0xFF10},
        {"115200", "COM3", 0, 0},     {"57600", "COM9", 0, 0},     {"57600", "LPT1", 0, 0},
    };
    for (const Case& c : cases) {
        Values values = kFull;
        values["ComPortRate"] = c.rate;
        values["ComPort"] = c.port;
        values["HeaderCompression"] = "NO";
        Seed(values);
        DeleteFileA(ini.c_str());
        std::string recordPath = dir + "\\serial.bin";
        qvtest::PutFile(recordPath, std::string(20, '\xAA'));
        qvsetup::ExportCall r = CallSetup("ConvertDUNToOndrix", {"s:Line", "s:" + ini, "file:" + recordPath, "null"});
        ASSERT_EQ(1u, r.bufs.size()) << r.output;
        const std::string& rec = r.bufs[0];
        EXPECT_EQ(c.result, r.result) << c.rate << " " << c.port;
        EXPECT_EQ(std::string(8, '\xAA'), rec.substr(4, 8)) << "bytes 4 to 11 untouched";
        if (c.result != 1) continue;
        EXPECT_EQ(std::string(1, char(c.port[3] - '0')) + std::string(3, '\0'), rec.substr(0, 4)) << c.port;
        EXPECT_EQ(std::string("\x08\x02\x00\x00", 4), rec.substr(12, 4));
        unsigned long speed = (unsigned char)rec[16] | (unsigned char)rec[17] << 8 | (unsigned char)rec[18] << 16 |
                              (unsigned long)(unsigned char)rec[19] << 24;
        EXPECT_EQ(c.speed, speed) << c.rate;
        EXPECT_EQ("no", Ini("serial_0", "compressed"));
        EXPECT_EQ("10.0.0.1,10.0.0.2", Ini("tcpip", "nameservers"));
        EXPECT_EQ("example.net", Ini("winsock", "domainname"));
    }
}

TEST_F(Converter, NoConnectionKeyConvertsNothing) {
    qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, kConnection);
    std::string recordPath = dir + "\\serial.bin";
    qvtest::PutFile(recordPath, std::string(20, '\0'));
    EXPECT_EQ(0, CallSetup("ConvertDUNToPelloch2", {"s:Line", "s:" + ini, "null", "null"}).result);
    EXPECT_EQ(0, CallSetup("ConvertDUNToOndrix", {"s:Line", "s:" + ini, "file:" + recordPath, "null"}).result);
    EXPECT_EQ("<missing>", Get(ini));
}

}  // namespace
