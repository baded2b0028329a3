#include "DunConverter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ByteOrder.h"
#include "SetupUtilities.h"
#include "TextHelpers.h"

namespace {

// 63 printable characters and 0x7F, one per position of a scrambled text.
const char kPellochTable[] = "7fK!q2@Zr$9Lm^xB&3wT*eP(5yN)hD-8uG_jV+4cS=oA[1iR]0zE{6tM}bW|lQ<\x7f";
static_assert(sizeof kPellochTable == 65, "64 table bytes");
const int kMaxScrambled = 64;

// The serial driver's codes for the speeds it knows; a speed below
// kFirstSpeedCode not listed here is stored as it is.
struct SPEEDCODE {
    unsigned long code;
    unsigned long rate;
};
const SPEEDCODE kSpeedCodes[] = {
    {0xFF10, 110},   {0xFF11, 300},   {0xFF12, 600},    {0xFF13, 1200},   {0xFF14, 2400},
    {0xFF15, 4800},  {0xFF16, 9600},  {0xFF17, 14400},  {0xFF18, 19200},  {0xFF1B, 38400},
    {0xFF1F, 56000}, {0xFF23, 128000}, {0xFF27, 256000}, {0, 0},
};
const unsigned long kFirstSpeedCode = 0xFF00;

const char kPelloch[] = "Pelloch Winsock";

// The Current Connection key, open for reading, for the life of a conversion.
class CONNECTIONKEY {
public:
    CONNECTIONKEY() {
        char path[256];
        if (LoadStringA(SetupModule(), IDS_CONNECTION_KEY, path, sizeof path) > 0 &&
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            key = nullptr;
    }
    ~CONNECTIONKEY() {
        if (key) RegCloseKey(key);
    }
    CONNECTIONKEY(const CONNECTIONKEY&) = delete;
    CONNECTIONKEY& operator=(const CONNECTIONKEY&) = delete;

    bool IsOpen() const { return key != nullptr; }
    // The value as text (a number in decimal), at most size - 1 characters;
    // empty and false when it is absent.
    bool Read(const char* name, char* out, DWORD size) const {
        char data[256] = {};
        DWORD got = sizeof data - 1, type = 0;
        out[0] = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &got) != ERROR_SUCCESS) return false;
        if (type == REG_DWORD && got == 4) std::snprintf(data, sizeof data, "%lu", (unsigned long)GetLe32(data));
        _strzcpy(out, data, int(size));
        return true;
    }

private:
    HKEY key = nullptr;
};

// "COM1" to "COM8" gives 1 to 8; anything else 0.
int ComPortNumber(const char* text) {
    if (std::strncmp(text, "COM", 3) != 0 || !text[3]) return 0;
    char* end;
    long n = std::strtol(text + 3, &end, 10);
    return *end == 0 && n >= 1 && n <= 8 ? int(n) : 0;
}

void FlushProfile(const char* iniFile) { WritePrivateProfileStringA(nullptr, nullptr, nullptr, iniFile); }

// The ppp keys: with no terminal login the stack logs in by PAP with the
// scrambled dial credentials. False when a credential is too long to scramble.
bool WritePapLogin(const CONNECTIONKEY& key, const char* iniFile, const unsigned char* dial) {
    char allowPap[16], noLogin[16], useChap[16];
    key.Read("Allow PAP Login", allowPap, sizeof allowPap);
    key.Read("NoLogin", noLogin, sizeof noLogin);
    GetPrivateProfileStringA(kPelloch, "ppp-usechap", "", useChap, sizeof useChap, iniFile);
    if (lstrcmpiA(allowPap, "no") == 0 && std::atol(useChap) != 0) return true;
    if (lstrcmpiA(noLogin, "yes") != 0) {
        WritePrivateProfileStringA(kPelloch, "ppp-usepap", "0", iniFile);
        return true;
    }
    char user[256] = "", password[256] = "";
    if (dial) {
        char text[258];
        _strzcpy(text, reinterpret_cast<const char*>(dial + DIALPARAMS_USER), sizeof text);
        if (EncryptPellochString(text, user, sizeof user) < 0) return false;
        _strzcpy(text, reinterpret_cast<const char*>(dial + DIALPARAMS_PASSWORD), sizeof text);
        if (EncryptPellochString(text, password, sizeof password) < 0) return false;
    }
    WritePrivateProfileStringA(kPelloch, "ppp-usepap", "1", iniFile);
    if (dial) {
        WritePrivateProfileStringA(kPelloch, "ppp-username", user, iniFile);
        WritePrivateProfileStringA(kPelloch, "ppp-password", password, iniFile);
    }
    return true;
}

}  // namespace

int EncryptPellochString(const char* text, char* out, int size) {
    if (size < 3) return -1;
    int length = int(std::strlen(text));
    if (length > kMaxScrambled) {
        out[0] = 0;
        return -1;
    }
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    int n = 0;
    out[0] = '"';
    for (; n < length && n < size - 3; n++) {
        int k = static_cast<unsigned char>(kPellochTable[n]);
        out[1 + n] = char(((in[n] + k - 64) % 96 + 96) % 96 + 32);
    }
    out[1 + n] = '"';
    out[2 + n] = 0;
    return n;
}

int WINAPI ConvertDUNToPelloch2(const char* entry, const char* iniFile, void* unused, const void* dialParams) {
    CONNECTIONKEY key;
    if (!key.IsOpen() || !iniFile) return 0;
    char text[256];
    bool complete = true;
    // Each value read as text goes to one INI key as it is; the user name is needed.
    struct COPYROW {
        const char* value;
        const char* section;
        const char* iniKey;
        bool needed;
    };
    const COPYROW copies[] = {
        {"UserName", "default vars", "$username", true},
        {"PhoneNumber", "default vars", "$number", false},
    };
    for (const COPYROW& c : copies) {
        if (key.Read(c.value, text, sizeof text)) WritePrivateProfileStringA(c.section, c.iniKey, text, iniFile);
        else if (c.needed) complete = false;
    }
    int port = key.Read("ComPort", text, sizeof text) ? ComPortNumber(text) : 0;
    if (port) {
        char number[8];
        std::snprintf(number, sizeof number, "%d", port);
        WritePrivateProfileStringA(kPelloch, "slip-port", number, iniFile);
    } else {
        complete = false;
    }
    if (key.Read("ComPortRate", text, sizeof text)) WritePrivateProfileStringA(kPelloch, "slip-baudrate", text, iniFile);
    else complete = false;
    if (key.Read("HeaderCompression", text, sizeof text))
        WritePrivateProfileStringA(kPelloch, "slip-compressed", std::strcmp(text, "YES") == 0 ? "1" : "0", iniFile);
    else complete = false;
    if (key.Read("IPAddress", text, sizeof text)) WritePrivateProfileStringA(kPelloch, "ip", text, iniFile);
    else complete = false;
    if (key.Read("DNSAddress", text, sizeof text)) {
        char* comma = std::strchr(text, ',');
        if (comma) *comma = 0;
        WritePrivateProfileStringA(kPelloch, "dns", text, iniFile);
    } else {
        complete = false;
    }
    if (key.Read("DNSSuffix", text, sizeof text)) WritePrivateProfileStringA(kPelloch, "Domain", text, iniFile);
    else complete = false;
    if (!WritePapLogin(key, iniFile, static_cast<const unsigned char*>(dialParams))) complete = false;
    FlushProfile(iniFile);
    return complete ? 1 : 0;
}

int WINAPI ConvertDUNToPelloch(const char* entry, const char* iniFile) {
    return ConvertDUNToPelloch2(entry, iniFile, nullptr, nullptr);
}

int WINAPI ConvertDUNToOndrix(const char* entry, const char* iniFile, unsigned char* serial, const void* unused) {
    CONNECTIONKEY key;
    if (!key.IsOpen() || !iniFile || !serial) return 0;
    char text[256];
    int port = key.Read("ComPort", text, sizeof text) ? ComPortNumber(text) : 0;
    if (!port) return 0;
    PutLe32(serial + SERIAL_PORT, uint32_t(port));
    if (!key.Read("ComPortRate", text, sizeof text)) return 0;
    unsigned long rate = std::strtoul(text, nullptr, 10);
    unsigned long speed = rate;
    const SPEEDCODE* row = kSpeedCodes;
    while (row->code && row->rate != rate) row++;
    if (row->code) speed = row->code;
    else if (rate >= kFirstSpeedCode) return 0;
    PutLe32(serial + SERIAL_SPEED, uint32_t(speed));
    if (!key.Read("HeaderCompression", text, sizeof text)) return 0;
    WritePrivateProfileStringA("serial_0", "compressed", std::strcmp(text, "YES") == 0 ? "yes" : "no", iniFile);
    if (!key.Read("DNSAddress", text, sizeof text)) return 0;
    WritePrivateProfileStringA("tcpip", "nameservers", text, iniFile);
    if (!key.Read("DNSSuffix", text, sizeof text)) return 0;
    WritePrivateProfileStringA("winsock", "domainname", text, iniFile);
    const unsigned char framing[4] = {8, 2, 0, 0};
    std::memcpy(serial + SERIAL_FRAMING, framing, sizeof framing);
    FlushProfile(iniFile);
    return 1;
}
