#include "RegistryEdit.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BaseItem.h"
#include "ByteOrder.h"
#include "TextHelpers.h"

namespace {

struct KEYSETROW {
    int keySet;
    HKEY root;
    const char* section;
};
const KEYSETROW kKeySets[] = {
    {KEYSET_USER, HKEY_CURRENT_USER, "USER Registry Keys"},
    {KEYSET_LOCAL, HKEY_LOCAL_MACHINE, "LOCAL Registry Keys"},
    {KEYSET_SAVED_USER, nullptr, "Saved USER Registry Keys"},
    {KEYSET_SAVED_LOCAL, nullptr, "Saved LOCAL Registry Keys"},
    {KEYSET_CHECKED, nullptr, "CHECKED System Files"},
};

const KEYSETROW* FindKeySet(int keySet) {
    for (const KEYSETROW& row : kKeySets)
        if (row.keySet == keySet) return &row;
    return nullptr;
}

const int kGrowStep = 256;
const char kAbsent[] = "\x7f";  // default that no INI value can read back as

char* CopyText(const char* text) {
    if (!text) return nullptr;
    size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(n));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

// A profile value whole, however long.
std::string ReadProfileValue(const char* section, const char* key, const char* file, const char* fallback) {
    std::string buf(kGrowStep, '\0');
    for (;;) {
        DWORD n = GetPrivateProfileStringA(section, key, fallback, &buf[0], DWORD(buf.size()), file);
        if (n + 1 < buf.size()) return buf.substr(0, n);
        buf.resize(buf.size() + kGrowStep);
    }
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

std::string HexBytes(const unsigned char* data, DWORD size) {
    std::string out = "hex:";
    char pair[3];
    for (DWORD i = 0; i < size; i++) {
        std::snprintf(pair, sizeof pair, "%02x", data[i]);
        out += pair;
    }
    return out;
}

bool ParseHexBytes(const char* text, std::string* out) {
    if (std::strncmp(text, "hex:", 4) != 0) return false;
    out->clear();
    for (const char* p = text + 4; *p; p += 2) {
        char pair[3] = {p[0], p[1], 0};
        char* end;
        unsigned long byte = std::strtoul(pair, &end, 16);
        if (!p[1] || *end) return false;
        out->push_back(char(byte));
    }
    return true;
}

// The saved form of an existing value (see the header).
std::string SavedForm(DWORD type, const std::string& data) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data.data());
    DWORD size = DWORD(data.size());
    char number[16];
    unsigned char word[4] = {};
    std::memcpy(word, bytes, size < 4 ? size : 4);
    if (type == REG_DWORD || (type == REG_BINARY && size == 4)) {
        std::snprintf(number, sizeof number, "0x%lx", (unsigned long)GetLe32(word));
        return number;
    }
    if (type == REG_DWORD_BIG_ENDIAN) {
        std::snprintf(number, sizeof number, "0x%lx", (unsigned long)GetBe32(word));
        return number;
    }
    if (IsStringType(type)) return std::string(data.c_str());
    if (type == REG_MULTI_SZ) {
        // Every string keeps its own NUL; the list's closing NUL is added back on restore.
        DWORD n = size;
        if (n >= 2 && bytes[n - 1] == 0 && bytes[n - 2] == 0) n--;
        std::string out(n * 4 + 1, '\0');
        BUFFER in(const_cast<char*>(data.data()), long(n));
        BUFFER to(&out[0], long(out.size()));
        _CtlCharsToAscii(in, to);
        return std::string(out.c_str());
    }
    return HexBytes(bytes, size);
}

// The bytes to write for a value of this type from the profile's text; false
// when the text cannot stand for such a value.
bool NewData(DWORD type, const char* text, std::string* out) {
    unsigned char word[4];
    if (type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN || type == REG_BINARY) {
        if (type == REG_BINARY && ParseHexBytes(text, out)) return true;
        uint32_t v = uint32_t(std::strtoul(text, nullptr, 16));
        if (type == REG_DWORD_BIG_ENDIAN) PutBe32(word, v);
        else PutLe32(word, v);
        out->assign(reinterpret_cast<char*>(word), 4);
        return true;
    }
    if (IsStringType(type)) {
        out->assign(text, std::strlen(text) + 1);
        return true;
    }
    if (type == REG_MULTI_SZ) {
        // Escapes as saved; a text that is no valid escaped form (a plain path) is taken as it is.
        std::string decoded(std::strlen(text) + 2, '\0');
        BUFFER to(&decoded[0], long(decoded.size()));
        int n = _AsciiToCtlChars(text, to);
        if (n < 0) decoded.assign(text);
        else decoded.resize(n);
        if (decoded.empty() || decoded.back() != 0) decoded.push_back(0);
        decoded.push_back(0);
        *out = decoded;
        return true;
    }
    if (ParseHexBytes(text, out)) return true;
    out->assign(text);
    return true;
}

}  // namespace

REGISTRY::REGISTRY(const char* file, int keySet) : file(CopyText(file)), keySet(keySet) {}

REGISTRY::REGISTRY(const char* file, int keySet, const char* text)
    : file(CopyText(file)), text(CopyText(text)), keySet(keySet), copy(1) {}

REGISTRY::~REGISTRY() {
    std::free(file);
    std::free(text);
    std::free(section);
}

int REGISTRY::SwapRegistryValues() {
    if (!file || (copy && !text)) return 0;
    DWORD got = 0;
    for (;;) {
        char* grown = static_cast<char*>(std::realloc(section, sectionSize + kGrowStep));
        if (!grown) return 0;
        section = grown;
        sectionSize += kGrowStep;
        if (copy) got = GetPrivateProfileSectionA(sectionName, section, sectionSize, text);
        else got = GetPrivateProfileStringA(sectionName, nullptr, "DEFAULT", section, sectionSize, file);
        if (got != DWORD(sectionSize - 2)) break;
    }
    if (got == 0 || std::strcmp(section, "DEFAULT") == 0) return 0;
    return EnumerateAndReplace();
}

int REGISTRY::EnumerateAndReplace() {
    if (copy) return WritePrivateProfileSectionA(sectionName, section, file) ? 1 : 0;
    for (const char* entry = section; *entry; entry += std::strlen(entry) + 1) ReplaceValue(entry);
    return 1;
}

void REGISTRY::ReplaceValue(const char* entry) {
    // "<subkey> : <name>": one blank on each side of the separator belongs to it.
    const char* sep = std::strpbrk(entry, ":=");
    if (!sep || !root) return;
    std::string subkey(entry, sep - entry);
    if (!subkey.empty() && subkey.back() == ' ') subkey.pop_back();
    std::string name(sep + 1);
    if (!name.empty() && name.front() == ' ') name.erase(0, 1);
    std::string value = ReadProfileValue(sectionName, entry, file, "");

    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return;
    DWORD type = 0, size = 0;
    bool existed = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    std::string old;
    if (existed) {
        old.assign(size, '\0');
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&old[0]), &size) !=
            ERROR_SUCCESS) {
            RegCloseKey(key);
            return;
        }
        old.resize(size);
    } else {
        type = std::strncmp(value.c_str(), "0x", 2) == 0 ? REG_DWORD : REG_SZ;
    }
    std::string data;
    if (!NewData(type, value.c_str(), &data)) {
        RegCloseKey(key);
        return;
    }
    if (existed && !restoring) {
        std::string saved = std::string("SAVED ") + sectionName;
        if (ReadProfileValue(saved.c_str(), entry, file, kAbsent) == kAbsent)
            WritePrivateProfileStringA(saved.c_str(), entry, SavedForm(type, old).c_str(), file);
    }
    LONG rc = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
    RegFlushKey(key);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && restoring) WritePrivateProfileStringA(sectionName, entry, nullptr, file);
}

int MODREG::ModifyRegistry() {
    const KEYSETROW* row = FindKeySet(keySet);
    if (!row) return 0;
    root = row->root;
    _strzcpy(sectionName, row->section, sizeof sectionName);
    return SwapRegistryValues();
}

int RESTREG::ModifyRegistry() {
    if (keySet != KEYSET_USER && keySet != KEYSET_LOCAL) return 0;
    const KEYSETROW* row = FindKeySet(keySet);
    root = row->root;
    _strzcpy(sectionName, "Saved ", sizeof sectionName);
    _strzcat(sectionName, row->section, sizeof sectionName);
    restoring = 1;
    return SwapRegistryValues();
}

int MODREG::AddRegistryKey() {
    if (keySet != KEYSET_USER && keySet != KEYSET_LOCAL) return 0;
    if (!file || !text) return 0;
    HKEY key;
    if (RegOpenKeyExA(FindKeySet(keySet)->root, file, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return 0;
    DWORD nameMax = 0, dataMax = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nameMax, &dataMax,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return 0;
    }
    std::string name(nameMax + 2, '\0'), data(dataMax + 2, '\0');
    long next = 0;
    bool present = false;
    LONG rc;
    for (DWORD i = 0;; i++) {
        DWORD nameLen = DWORD(name.size()), dataLen = DWORD(data.size() - 1), type = 0;
        std::fill(data.begin(), data.end(), '\0');
        rc = RegEnumValueA(key, i, &name[0], &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &dataLen);
        if (rc != ERROR_SUCCESS) break;
        if (IsStringType(type) && lstrcmpiA(data.c_str(), text) == 0) present = true;
        const char* n = name.c_str();
        if (*n && std::strspn(n, "0123456789") == std::strlen(n) && std::strlen(n) < 9) {
            long number = std::atol(n);
            if (number >= next) next = number + 1;
        }
    }
    int result = rc == ERROR_NO_MORE_ITEMS ? 1 : 0;
    if (result && !present) {
        char number[16];
        std::snprintf(number, sizeof number, "%ld", next);
        if (RegSetValueExA(key, number, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(std::strlen(text) + 1)) !=
            ERROR_SUCCESS)
            result = 0;
        RegFlushKey(key);
    }
    RegCloseKey(key);
    return result;
}

int WINAPI ModifyRegistryValues(const char* file, int keySet, int operation, const char* argument) {
    switch (operation) {
    case 1: {
        MODREG edit(file, keySet);
        return edit.ModifyRegistry();
    }
    case 2: {
        RESTREG edit(file, keySet);
        return edit.ModifyRegistry();
    }
    case 3: {
        MODREG edit(file, keySet, argument);
        return edit.ModifyRegistry();
    }
    case 4: {
        MODREG edit(file, keySet, argument);
        return edit.AddRegistryKey();
    }
    default:
        return 0;
    }
}
