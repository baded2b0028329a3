#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestAids.h"
#include "BaseItem.h"
#include "SysHelpers.h"

namespace {

const DWORD kAbsent = 0xFFFFFFFF;

struct Value {
    DWORD type = kAbsent;  // kAbsent: no value
    std::string bytes;
};

std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
std::string Sz(const char* s) { return std::string(s, std::strlen(s) + 1); }

}  // namespace

TEST(RegistryEdit, ChangesAndRestoresEveryKindOfValue) {
    struct Case {
        const char* label;
        Value before;
        const char* newValue;
        bool ok;
        const char* old;
        Value after;
    } cases[] = {
        {"string replaced", {REG_SZ, Sz("old")}, "new", true, "old", {REG_SZ, Sz("new")}},
        {"string deleted", {REG_SZ, Sz("old")}, "", true, "old", {}},
        {"string read only", {REG_SZ, Sz("old")}, nullptr, true, "old", {REG_SZ, Sz("old")}},
        {"absent gets string", {}, "text", true, "", {REG_SZ, Sz("text")}},
        {"absent gets number", {}, "0x1f", true, "", {REG_DWORD, Dword(0x1f)}},
        {"absent stays absent", {}, "", true, "", {}},
        {"number deleted", {REG_DWORD, Dword(0xABCD)}, "", true, "0xabcd", {}},
        {"number without 0x", {REG_DWORD, Dword(7)}, "ff", true, "0x7", {REG_DWORD, Dword(0xff)}},
        {"big-endian keeps type", {REG_DWORD_BIG_ENDIAN, Dword(1)}, "0x2", true, "0x1",
         {REG_DWORD_BIG_ENDIAN, Dword(2)}},
        {"short binary", {REG_BINARY, std::string("\x34\x12", 2)}, "0x5", true, "0x1234", {REG_BINARY, Dword(5)}},
        {"bad number text", {REG_DWORD, Dword(7)}, "0xzz", false, "0x7", {REG_DWORD, Dword(7)}},
        {"long binary untouched", {REG_BINARY, "12345678"}, "0x1", false, "", {REG_BINARY, "12345678"}},
        {"multi-string untouched", {REG_MULTI_SZ, std::string("a\0b\0\0", 5)}, "x", false, "",
         {REG_MULTI_SZ, std::string("a\0b\0\0", 5)}},
    };
    qvaid::ScratchKey key;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.before.type != kAbsent) {
            ASSERT_TRUE(key.Set("v", c.before.type, c.before.bytes.data(), DWORD(c.before.bytes.size())));
        }
        char old[64];
        std::strcpy(old, "junk");
        EXPECT_EQ(c.ok, WinRegModifyUserKey(key.Path(), "v", c.newValue, BUFFER(old, sizeof old)) != 0);
        EXPECT_STREQ(c.old, old);
        Value now;
        if (!key.Get("v", &now.type, &now.bytes)) now = Value();
        EXPECT_EQ(c.after.type, now.type);
        EXPECT_EQ(c.after.bytes, now.bytes);

        // Feeding the old text back restores what was there (an empty old
        // string comes back absent).
        if (c.ok && c.newValue) {
            WinRegModifyUserKey(key.Path(), "v", old, BUFFER(old, sizeof old));
            Value back;
            if (!key.Get("v", &back.type, &back.bytes)) back = Value();
            if (c.before.type == REG_BINARY)
                EXPECT_EQ(Dword(0x1234), back.bytes);
            else
                EXPECT_EQ(c.before.bytes, back.bytes);
            EXPECT_EQ(c.before.type, back.type);
        }
        HKEY k;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key.Path(), 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
            RegDeleteValueA(k, "v");
            RegCloseKey(k);
        }
    }
}

TEST(RegistryEdit, OldTextIsCutAndTerminated) {
    qvaid::ScratchKey key;
    key.SetString("v", "abcdefgh");
    char old[8];
    std::memset(old, '#', sizeof old);
    EXPECT_TRUE(WinRegModifyUserKey(key.Path(), "v", nullptr, BUFFER(old, 4)));
    EXPECT_STREQ("abc", old);
    EXPECT_EQ('#', old[4]);
}

TEST(RegistryEdit, MissingKeyChangesNothing) {
    qvaid::ScratchKey key;
    std::string missing = std::string(key.Path()) + "\\absent";
    char old[16] = "junk";
    EXPECT_FALSE(WinRegModifyUserKey(missing.c_str(), "v", "x", BUFFER(old, sizeof old)));
    EXPECT_STREQ("", old);
    HKEY k;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, missing.c_str(), 0, KEY_READ, &k));
}

TEST(RegistryEdit, LocalMachineNumberDeletedByEmptyText) {
    const char* sub = "Software\\QuorvaneTests";
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                             nullptr));
    std::string name = "n" + std::to_string(GetCurrentProcessId());
    DWORD v = 0x2a;
    RegSetValueExA(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), sizeof v);
    char old[16];
    EXPECT_TRUE(WinRegModifyLocalKey(sub, name.c_str(), "", BUFFER(old, sizeof old)));
    EXPECT_STREQ("0x2a", old);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(k, name.c_str(), nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(k);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, sub);
}
