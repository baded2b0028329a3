// The installer's registry edits through qvinst32.dll: apply a profile
// section, save what it replaced, restore it, copy sections, add to a list.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <string>

#include "../SetupKit.h"
#include "ScratchDir.h"

namespace {

using qvsetup::CallSetup;

struct Value {
    bool present = false;
    DWORD type = 0;
    std::string data;
};

Value Read(const std::string& sub, const char* name) {
    Value v;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        v.data.assign(size, '\0');
        v.present = RegQueryValueExA(key, name, nullptr, &v.type, reinterpret_cast<BYTE*>(&v.data[0]), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return v;
}

void Write(const std::string& sub, const char* name, DWORD type, const std::string& data) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
    RegCloseKey(key);
}

std::string Sz(const std::string& text) { return std::string(text.c_str(), text.size() + 1); }
std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

class RegistryEdit : public qvtest::ScratchDirTest {
protected:
    RegistryEdit() : ScratchDirTest("regedit") {}
    void SetUp() override {
        ScratchDirTest::SetUp();
        ini = dir + "\\setup.ini";
        sub = std::string(key.Path()) + "\\Settings";
    }
    // "<sub> : name" as the profile names a value.
    std::string Entry(const char* name) const { return sub + " : " + name; }
    void Profile(const char* section, const std::string& entry, const std::string& text) const {
        WritePrivateProfileStringA(section, entry.c_str(), text.c_str(), ini.c_str());
    }
    std::string Saved(const std::string& entry, const char* section = "SAVED USER Registry Keys") const {
        char buf[1024];
        GetPrivateProfileStringA(section, entry.c_str(), "<none>", buf, sizeof buf, ini.c_str());
        return buf;
    }
    int Run(int keySet, int op, const std::string& argument = "") const {
        qvsetup::ExportCall c = CallSetup("ModifyRegistryValues",
                                          {"s:" + ini, "i:" + std::to_string(keySet), "i:" + std::to_string(op),
                                           argument.empty() ? "null" : "s:" + argument});
        EXPECT_TRUE(c.called) << c.output;
        return c.result;
    }

    qvaid::ScratchKey key;
    std::string ini, sub;
};

TEST_F(RegistryEdit, ApplySavesWhatExistedAndRestoreBringsItBack) {
    Write(sub, "Name", REG_SZ, Sz("old"));
    Write(sub, "Count", REG_DWORD, Dword(5));
    const char* section = "USER Registry Keys";
    Profile(section, Entry("Name"), "new");
    Profile(section, Entry("Count"), "0x20");
    Profile(section, Entry("Fresh"), "0x10");
    Profile(section, Entry("Text"), "hello");
    Profile(section, std::string(key.Path()) + "\\Missing : X", "y");
    Profile(section, "no separator here", "z");

    ASSERT_EQ(1, Run(1, 1));
    EXPECT_EQ(Sz("new"), Read(sub, "Name").data);
    EXPECT_EQ(Dword(0x20), Read(sub, "Count").data);
    Value fresh = Read(sub, "Fresh");
    EXPECT_EQ(DWORD(REG_DWORD), fresh.type);
    EXPECT_EQ(Dword(16), fresh.data);
    EXPECT_EQ(DWORD(REG_SZ), Read(sub, "Text").type);
    EXPECT_EQ("old", Saved(Entry("Name")));
    EXPECT_EQ("0x5", Saved(Entry("Count")));
    EXPECT_EQ("<none>", Saved(Entry("Fresh"))) << "only values that existed are saved";
    EXPECT_EQ("<none>", Saved(Entry("Text")));

    // A second apply keeps the first save: the original values.
    Profile(section, Entry("Name"), "newer");
    ASSERT_EQ(1, Run(1, 1));
    EXPECT_EQ(Sz("newer"), Read(sub, "Name").data);
    EXPECT_EQ("old", Saved(Entry("Name")));

    ASSERT_EQ(1, Run(1, 2));
    EXPECT_EQ(Sz("old"), Read(sub, "Name").data);
    EXPECT_EQ(Dword(5), Read(sub, "Count").data);
    EXPECT_EQ("<none>", Saved(Entry("Name"))) << "a restored value leaves the saved section";
    EXPECT_EQ(0, Run(1, 2)) << "nothing left to restore";
}

TEST_F(RegistryEdit, BinaryMultiStringAndLongValuesRoundTrip) {
    static const std::string kLongLine(200, 'E');
    const char* kLongText = kLongLine.c_str();
    struct Case {
        const char* name;
        DWORD type;
        std::string original;
        const char* text;  // what the installer sets
        std::string applied;
    } cases[] = {
        {"Bin4", REG_BINARY, std::string("\x01\x02\x03\x04", 4), "0x10", Dword(0x10)},
        {"Bin7", REG_BINARY, std::string("\x00\xff\x10\x20\x30\x40\x50", 7), "hex:0a0b", std::string("\x0a\x0b", 2)},
        {"Multi", REG_MULTI_SZ, std::string("a\0b\\c\0\0", 7), "C:\\dir", std::string("C:\\dir\0\0", 8)},
        {"MultiEsc", REG_MULTI_SZ, std::string("x\0\0", 3), "one\\0two", std::string("one\0two\0\0", 9)},
        {"Long", REG_SZ, Sz(std::string(300, 'L')), "short", Sz("short")},
        {"BigEnd", REG_DWORD_BIG_ENDIAN, std::string("\x00\x00\x01\x02", 4), "0x0304",
         std::string("\x00\x00\x03\x04", 4)},
        {"Expand", REG_EXPAND_SZ, Sz("%TEMP%\\old"), kLongText, Sz(kLongText)},
    };
    for (const Case& c : cases) {
        Write(sub, c.name, c.type, c.original);
        Profile("USER Registry Keys", Entry(c.name), c.text);
    }
    ASSERT_EQ(1, Run(1, 1));
    for (const Case& c : cases) {
        Value v = Read(sub, c.name);
        EXPECT_EQ(c.type, v.type) << c.name;
        EXPECT_EQ(c.applied, v.data) << c.name;
    }
    ASSERT_EQ(1, Run(1, 2));
    for (const Case& c : cases) EXPECT_EQ(c.original, Read(sub, c.name).data) << c.name;
}

TEST_F(RegistryEdit, UnsupportedKeySetsAndMissingSectionsGiveZero) {
    Write(sub, "Name", REG_SZ, Sz("old"));
    for (const char* section : {"USER Registry Keys", "NOT SUPPORTED", "LOCAL Registry Keys"})
        Profile(section, Entry("Name"), "changed");
    struct Case {
        int keySet, op;
    } cases[] = {{0, 1}, {3, 1}, {7, 1}, {0, 2}, {3, 2}, {7, 2}, {0, 3}, {7, 3}, {1, 5}, {1, 0}, {7, 4}};
    for (const Case& c : cases) EXPECT_EQ(0, Run(c.keySet, c.op, c.op == 3 ? ini : "")) << c.keySet << "/" << c.op;
    EXPECT_EQ(Sz("old"), Read(sub, "Name").data);
    DeleteFileA(ini.c_str());
    EXPECT_EQ(0, Run(1, 1)) << "no profile";
    Profile("Other", "a", "b");
    EXPECT_EQ(0, Run(1, 1)) << "no such section";
    EXPECT_EQ(0, Run(1, 2)) << "nothing saved";
}

TEST_F(RegistryEdit, CopyReplacesTheSectionFromAnotherProfile) {
    std::string from = dir + "\\from.ini";
    for (const char* section : {"USER Registry Keys", "CHECKED System Files"}) {
        WritePrivateProfileStringA(section, "a", "1", from.c_str());
        WritePrivateProfileStringA(section, "b", "two words", from.c_str());
        Profile(section, "stale", "x");
    }
    Profile("Other", "keep", "y");
    for (int keySet : {1, 6}) EXPECT_EQ(1, Run(keySet, 3, from)) << keySet;
    for (const char* section : {"USER Registry Keys", "CHECKED System Files"}) {
        EXPECT_EQ("1", Saved("a", section));
        EXPECT_EQ("two words", Saved("b", section));
        EXPECT_EQ("<none>", Saved("stale", section));
    }
    EXPECT_EQ("y", Saved("keep", "Other"));
    EXPECT_EQ(0, Run(2, 3, from)) << "the source has no such section";
}

TEST_F(RegistryEdit, AddToListAppendsOnceAndKeepsTheKey) {
    Write(sub, "0", REG_SZ, Sz("a"));
    Write(sub, "1", REG_SZ, Sz("b"));
    Write(sub, "Other", REG_DWORD, Dword(7));
    Write(sub + "\\Child", "Inner", REG_SZ, Sz("kept"));
    auto add = [&](const char* text) {
        qvsetup::ExportCall c = CallSetup("ModifyRegistryValues", {"s:" + sub, "i:1", "i:4", std::string("s:") + text});
        EXPECT_TRUE(c.called) << c.output;
        return c.result;
    };
    EXPECT_EQ(1, add("B"));
    EXPECT_FALSE(Read(sub, "2").present) << "\"B\" equals \"b\" without regard to case";
    EXPECT_EQ(1, add("c"));
    EXPECT_EQ(Sz("c"), Read(sub, "2").data);
    EXPECT_EQ(1, add("c"));
    EXPECT_FALSE(Read(sub, "3").present);
    EXPECT_EQ(Sz("a"), Read(sub, "0").data);
    EXPECT_EQ(Dword(7), Read(sub, "Other").data);
    EXPECT_EQ(Sz("kept"), Read(sub + "\\Child", "Inner").data);
    qvsetup::ExportCall missing = CallSetup("ModifyRegistryValues", {"s:" + sub + "\\None", "i:1", "i:4", "s:x"});
    EXPECT_EQ(0, missing.result);
}

}  // namespace
