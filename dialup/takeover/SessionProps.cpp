#include "SessionProps.h"

#include "PortTakeOver.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kProfileKey[] = ".Default\\RemoteAccess\\Profile\\";
const char kMstcpKey[] = "System\\CurrentControlSet\\Services\\VxD\\MSTCP";
const char kNoneText[] = " ";
const char kNoAddress[] = "0.0.0.0";

// The profile's "IP" value: a flag byte at 4, then 32-bit addresses (first
// octet in the highest byte) at 8, 12 and 16, least significant byte first.
const DWORD kIpFlagsAt = 4;
const DWORD kIpAddressAt = 8;
const DWORD kIpServerAt[] = {12, 16};
const BYTE kIpFixedAddress = 0x01;
const BYTE kIpNameServers = 0x02;
const BYTE kIpNoCompression = 0x04;

const size_t kAddressChars = 15;   // "255.255.255.255"
const size_t kJoinedChars = 255;   // the joined name servers

std::string Dotted(const BYTE* at) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", at[3], at[2], at[1], at[0]);
    return text;
}

// Name servers in the order first seen, each once, none of them 0.0.0.0.
class SERVERLIST {
public:
    void Take(std::string address) {
        while (!address.empty() && address.back() == ' ') address.pop_back();
        address.erase(0, address.find_first_not_of(' '));
        if (address.empty() || address.size() > kAddressChars || address == kNoAddress) return;
        for (const std::string& a : taken_)
            if (a == address) return;
        if (Joined().size() + address.size() + 1 > kJoinedChars) return;
        taken_.push_back(address);
    }
    std::string Joined() const {
        std::string out;
        for (const std::string& a : taken_) out += (out.empty() ? "" : ",") + a;
        return out;
    }

private:
    std::vector<std::string> taken_;
};

// "HeaderCompression" and "IPAddress" from the entry's profile, with its name servers.
void RecordProfile(HKEY key, const char* entryName, SERVERLIST* servers) {
    HKEY profile;
    std::string path = std::string(kProfileKey) + entryName;
    if (RegOpenKeyExA(HKEY_USERS, path.c_str(), 0, KEY_READ, &profile) != ERROR_SUCCESS) return;
    BYTE ip[256] = {};
    DWORD size = sizeof ip;
    if (RegQueryValueExA(profile, "IP", nullptr, nullptr, ip, &size) != ERROR_SUCCESS) size = 0;
    RegCloseKey(profile);
    BYTE flags = size > kIpFlagsAt ? ip[kIpFlagsAt] : 0;
    WriteConnectionText(key, "HeaderCompression", flags & kIpNoCompression ? "NO" : "YES");
    bool fixed = (flags & kIpFixedAddress) && size >= kIpAddressAt + 4;
    WriteConnectionText(key, "IPAddress", fixed ? Dotted(ip + kIpAddressAt).c_str() : kNoAddress);
    if (!(flags & kIpNameServers)) return;
    for (DWORD at : kIpServerAt)
        if (size >= at + 4) servers->Take(Dotted(ip + at));
}

void RecordMstcpServers(SERVERLIST* servers) {
    HKEY mstcp;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMstcpKey, 0, KEY_READ, &mstcp) != ERROR_SUCCESS) return;
    // Read whole: a long list is cut when joined, not lost.
    DWORD size = 0;
    std::string rest;
    if (RegQueryValueExA(mstcp, "NameServer", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size > 0) {
        rest.assign(size + 1, '\0');
        if (RegQueryValueExA(mstcp, "NameServer", nullptr, nullptr, reinterpret_cast<BYTE*>(&rest[0]), &size) ==
            ERROR_SUCCESS)
            rest.resize(std::strlen(rest.c_str()));
        else
            rest.clear();
    }
    RegCloseKey(mstcp);
    for (size_t at = 0; at <= rest.size();) {
        size_t comma = rest.find(',', at);
        if (comma == std::string::npos) comma = rest.size();
        servers->Take(rest.substr(at, comma - at));
        at = comma + 1;
    }
}

void RecordLogin(HKEY key, const ras::Entry* entry) {
    if (!entry) {
        WriteConnectionText(key, "LoginScript", "");
        WriteConnectionText(key, "NoLogin", "");
        return;
    }
    char script[ras::kEntryScriptSize + 1] = {};
    std::memcpy(script, reinterpret_cast<const char*>(entry) + ras::kEntryScriptOffset, ras::kEntryScriptSize);
    WriteConnectionText(key, "LoginScript", script);
    bool login = script[0] || (entry->options & ras::kOptionTerminalAfterDial);
    WriteConnectionText(key, "NoLogin", login ? "NO" : "YES");
}

}  // namespace

bool ReadConnectionText(HKEY key, const char* name, char* out, DWORD size) {
    out[0] = 0;
    if (!key || size < 2) return false;
    DWORD got = size - 1, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &got) != ERROR_SUCCESS) {
        out[0] = 0;
        return false;
    }
    out[got < size ? got : size - 1] = 0;
    return true;
}

LONG WriteConnectionText(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(std::strlen(text) + 1));
}

BOOL _GetSessionProps(SESSIONCTX* session, HANDLE port, PORTRECORD* record, const ras::Entry* entry) {
    HKEY key = session->key;
    if (!key) return FALSE;
    char useRts[17];
    ReadConnectionText(key, "Use RTS", useRts, sizeof useRts);
    if (record) record->clearRts = lstrcmpiA(useRts, "NO") != 0;
    RecordLogin(key, entry);
    char entryName[257];
    if (!ReadConnectionText(key, "CurrentPBEntry", entryName, sizeof entryName)) return FALSE;

    ras::DevicePort device = {};
    device.size = ras::kDevicePortSize;
    if (session->ras.devicePort) session->ras.devicePort(session->conn, &device);
    WriteConnectionText(key, "ConnectSpeed", std::to_string(device.speed).c_str());
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (port) GetCommState(port, &dcb);
    WriteConnectionText(key, "ComPortRate", std::to_string(dcb.BaudRate).c_str());
    if (record) _GetCommPort(session, &device, record);

    SERVERLIST servers;
    RecordProfile(key, entryName, &servers);
    RecordMstcpServers(&servers);
    std::string joined = servers.Joined();
    WriteConnectionText(key, "DNSAddress", joined.empty() ? kNoneText : joined.c_str());
    if (WriteConnectionText(key, "DNSSuffix", kNoneText) != ERROR_SUCCESS) return FALSE;
    return WriteConnectionText(key, "Status", "Connected") == ERROR_SUCCESS;
}

ras::Entry* _RasGetPhoneBookEntry(const char* entryName) {
    HMODULE library = GetModuleHandleA("RASAPI32.DLL");
    FARPROC bound = library ? GetProcAddress(library, "RasGetEntryPropertiesA") : nullptr;
    HMODULE rnaph = nullptr;
    if (!bound) {
        rnaph = LoadLibraryA("RNAPH.DLL");
        bound = rnaph ? GetProcAddress(rnaph, "RasGetEntryPropertiesA") : nullptr;
    }
    auto getProperties = reinterpret_cast<ras::RasGetEntryPropertiesFn>(reinterpret_cast<void (*)()>(bound));
    ras::Entry* entry = nullptr;
    DWORD size = 0;
    DWORD rc = getProperties ? getProperties(nullptr, entryName, nullptr, &size, nullptr, nullptr) : ERROR_INVALID_FUNCTION;
    if ((rc == 0 || rc == ras::kErrorBufferTooSmall) && size > 0) {
        // A short answer still gets room for the whole older entry that is asked for.
        DWORD room = size > ras::kEntrySizeOld ? size : ras::kEntrySizeOld;
        entry = static_cast<ras::Entry*>(LocalAlloc(LPTR, room));
        if (entry) {
            entry->size = ras::kEntrySizeOld;
            DWORD got = room;
            if (getProperties(nullptr, entryName, entry, &got, nullptr, nullptr) == 0) {
                entry->size = got;
            } else {
                LocalFree(entry);
                entry = nullptr;
            }
        }
    }
    if (rnaph) FreeLibrary(rnaph);
    return entry;
}
