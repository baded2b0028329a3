#pragma once
// Running qvtrap32.dll as Windows 95 Dial-Up Networking does: dunhost.exe
// dials an entry through the Windows 95 remote-access stand-in, which loads
// the session module for it (its driver and modem calls answered by the
// host and journaled). The machine keys the module reads are seeded here
// and removed again. Include as "../DialupKit.h".
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <map>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ScratchDir.h"
#include "StandInHarness.h"
#include "TestAids.h"

namespace qvdial {

const char kProfileKey[] = ".Default\\RemoteAccess\\Profile\\";
const char kMstcpKey[] = "System\\CurrentControlSet\\Services\\VxD\\MSTCP";
const char kModemClassKey[] = "System\\CurrentControlSet\\Services\\Class\\Modem";
const char kModemClassParent[] = "System\\CurrentControlSet\\Services\\Class";

inline std::string Trap32() { return qvaid::BuildPath("dialup\\qvtrap32.dll"); }

// The profile's "IP" value: flag byte at 4, addresses at 8, 12 and 16.
inline std::string IpValue(unsigned char flags, unsigned long address, unsigned long dns1, unsigned long dns2) {
    std::string v(20, '\0');
    v[4] = char(flags);
    unsigned long values[] = {address, dns1, dns2};
    for (int k = 0; k < 3; k++)
        for (int b = 0; b < 4; b++) v[8 + 4 * k + b] = char((values[k] >> (8 * b)) & 0xFF);
    return v;
}

inline void SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
    RegCloseKey(key);
}

inline std::string Sz(const std::string& text) { return std::string(text.c_str(), text.size() + 1); }

// The machine's keys that the module reads besides Current Connection,
// removed at the end.
class MachineKeys {
public:
    MachineKeys() { Clear(); }
    ~MachineKeys() { Clear(); }
    void Profile(const std::string& entry, const std::string& ip) const {
        SetValue(HKEY_USERS, kProfileKey + entry, "IP", REG_BINARY, ip);
    }
    void NameServers(const std::string& list) const { SetValue(HKEY_LOCAL_MACHINE, kMstcpKey, "NameServer", REG_SZ, Sz(list)); }
    void Modem(const char* sub, const std::string& desc, const std::string& port) const {
        std::string path = std::string(kModemClassKey) + "\\" + sub;
        SetValue(HKEY_LOCAL_MACHINE, path, "DriverDesc", REG_SZ, Sz(desc));
        SetValue(HKEY_LOCAL_MACHINE, path, "AttachedTo", REG_SZ, Sz(port));
    }

private:
    void Clear() const {
        qvaid::DeleteKeyTree(HKEY_USERS, ".Default\\RemoteAccess");
        qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, kMstcpKey);
        qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, kModemClassParent);
    }
};

struct HostRun {
    std::string output;
    std::map<std::string, std::string> said;  // dial1, handle1, notes1, hangup1, ...
    // The last notification of dial i (from 1), e.g. "14/1003".
    std::string Last(int i = 1) const {
        auto it = said.find("notes" + std::to_string(i));
        if (it == said.end()) return "<none>";
        size_t comma = it->second.rfind(',');
        return comma == std::string::npos ? it->second : it->second.substr(comma + 1);
    }
};

// dunhost.exe with the entries ("Name" or "Name@start"), in the stand-in folder.
inline HostRun Dial(const qvtest::DialUpStandIns& s, const std::vector<std::string>& entries) {
    std::string cmd = "\"" + s.StandInFolder() + "dunhost.exe\"";
    for (const std::string& e : entries) cmd += " \"" + e + "\"";
    qvtest::ChildResult r = qvtest::RunProgram(cmd, 60000, s.StandInFolder());
    HostRun run;
    run.output = r.output;
    run.said = qvtest::KeyValues(r.output);
    return run;
}

// The control codes the driver was given, in order ("2,3,1,4").
inline std::string DriverCodes(const qvtest::DialUpStandIns& s) {
    std::string codes;
    for (const qvtest::JournalEntry& e : s.Calls("vxd", "DeviceIoControl"))
        if (e.Field("fake") == "1") codes += (codes.empty() ? "" : ",") + e.Field("code");
    return codes;
}

inline std::string Hex(const std::string& bytes) {
    std::string out;
    char pair[3];
    for (unsigned char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", c);
        out += pair;
    }
    return out;
}

}  // namespace qvdial
