#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "ChildProcess.h"
#include "TestAids.h"
#include "zRegistry.h"

namespace {

std::set<std::string> Names(ZKTPtrSlist<ZKCString>& list) {
    std::set<std::string> out;
    ZKTPtrSlistIterator<ZKCString> next(list);
    while (ZKCString* s = next()) out.insert(s->data());
    list.clearAndDestroy();
    return out;
}

ZKCString Under(const qvaid::ScratchKey& scratch, const char* sub) {
    return ZKCString((std::string(scratch.Path()) + "\\" + sub).c_str());
}

// Deletes a key with a subkey and then a leaf: both systems keep the first.
void DeleteParentThenLeaf(const char* scratchPath, bool& parentKept, bool& leafGone) {
    zRegistry reg;
    std::string base = scratchPath;
    ZKCString parent((base + "\\parent").c_str()), child((base + "\\parent\\child").c_str());
    reg.createKey(child);
    parentKept = !reg.deleteKey(parent) && reg.keyExists(parent) && reg.keyExists(child);
    leafGone = reg.deleteKey(child) && !reg.keyExists(child) && reg.deleteKey(parent) && !reg.keyExists(parent);
}

}  // namespace

TEST(Registry, KeysAndValuesMadeListedAndDeleted) {
    qvaid::ScratchKey scratch;
    zRegistry reg;
    ZKCString top = Under(scratch, "top");
    EXPECT_FALSE(reg.keyExists(top));
    ASSERT_TRUE(reg.createKey(Under(scratch, "top\\a")));
    ASSERT_TRUE(reg.createKey(Under(scratch, "top\\bb")));
    EXPECT_TRUE(reg.keyExists(top));
    EXPECT_TRUE(reg.createKeyValue(top, "name", ZKCString("value")));
    const unsigned char bytes[3] = {0, 1, 2};
    EXPECT_TRUE(reg.createKeyValue(top, "bytes", bytes, sizeof bytes));
    EXPECT_TRUE(scratch.SetNumber("number", 7));

    ZKTPtrSlist<ZKCString> list;
    EXPECT_TRUE(reg.getChildKeys(top, list));
    EXPECT_EQ((std::set<std::string>{"a", "bb"}), Names(list));
    EXPECT_TRUE(reg.getValueNames(top, list));
    EXPECT_EQ((std::set<std::string>{"name", "bytes"}), Names(list));
    EXPECT_FALSE(reg.getChildKeys(Under(scratch, "absent"), list));
    EXPECT_TRUE(list.isEmpty());

    struct Case {
        const char* name;
        int type;
    } types[] = {{"name", zRegistry::String}, {"bytes", zRegistry::Binary}, {"missing", zRegistry::Other}};
    for (const Case& k : types) EXPECT_EQ(k.type, reg.getValueType(top, k.name)) << k.name;
    EXPECT_EQ(zRegistry::Other, reg.getValueType(scratch.Path(), "number"));  // REG_DWORD

    ZKCString text;
    EXPECT_TRUE(reg.getValue(top, "name", text));
    EXPECT_STREQ("value", text.data());
    EXPECT_EQ(5u, text.length());
    unsigned char back[3] = {9, 9, 9};
    EXPECT_TRUE(reg.getValue(top, "bytes", back, sizeof back));
    EXPECT_EQ(0, std::memcmp(bytes, back, 3));
    EXPECT_FALSE(reg.getValue(top, "bytes", back, 2));  // too small
    EXPECT_FALSE(reg.getValue(top, "missing", back, sizeof back));
    ZKCString kept("kept");
    EXPECT_FALSE(reg.getValue(top, "missing", kept));
    EXPECT_STREQ("kept", kept.data());

    EXPECT_TRUE(reg.valueNameExists(top, "name"));
    EXPECT_TRUE(reg.deleteValue(top, "name"));
    EXPECT_FALSE(reg.valueNameExists(top, "name"));
    EXPECT_FALSE(reg.deleteValue(top, "name"));
    EXPECT_FALSE(reg.deleteValue(Under(scratch, "absent"), "name"));
}

TEST(Registry, StringsReadWholeAndCutAtTheirEnd) {
    qvaid::ScratchKey scratch;
    zRegistry reg;
    std::string longText(700, 'x');
    longText[699] = 'z';
    ASSERT_TRUE(reg.createKeyValue(scratch.Path(), "long", ZKCString(longText.c_str())));
    ZKCString out;
    EXPECT_TRUE(reg.getValue(scratch.Path(), "long", out));  // through the second query
    EXPECT_EQ(longText, std::string(out.data(), out.length()));

    // Stored without a terminator, or with bytes after it.
    ASSERT_TRUE(scratch.Set("bare", REG_SZ, "abc", 3));
    ASSERT_TRUE(scratch.Set("tail", REG_SZ, "ab\0junk", 7));
    EXPECT_TRUE(reg.getValue(scratch.Path(), "bare", out));
    EXPECT_EQ(std::string("abc"), std::string(out.data(), out.length()));
    EXPECT_TRUE(reg.getValue(scratch.Path(), "tail", out));
    EXPECT_EQ(std::string("ab"), std::string(out.data(), out.length()));
}

TEST(Registry, OtherRootsAndTheSystemFlag) {
    zRegistry reg;
    EXPECT_EQ(HKEY_CURRENT_USER, reg.registryRoot());
    reg.setRegistryRoot(HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(reg.keyExists("Software"));
    EXPECT_TRUE(zRegistry::isRunningNT());
}

TEST(Registry, AKeyWithASubkeySurvivesDeletionOnNT) {
    qvaid::ScratchKey scratch;
    bool parentKept = false, leafGone = false;
    DeleteParentThenLeaf(scratch.Path(), parentKept, leafGone);
    EXPECT_TRUE(parentKept);
    EXPECT_TRUE(leafGone);
}

QV_CHILD_CASE(RegistryDeleteAs95) {
    char path[MAX_PATH] = {};
    GetEnvironmentVariableA("QV_REG_PATH", path, sizeof path);
    bool parentKept = false, leafGone = false;
    DeleteParentThenLeaf(path, parentKept, leafGone);
    std::printf("nt=%d kept=%d gone=%d\n", zRegistry::isRunningNT(), parentKept, leafGone);
}

TEST(Registry, AKeyWithASubkeySurvivesDeletionOn95) {
    qvaid::ScratchKey scratch;
    qvaid::WindowsVersionScope win95("win95");
    SetEnvironmentVariableA("QV_REG_PATH", scratch.Path());
    qvtest::ChildResult r = qvtest::RunChild("RegistryDeleteAs95");
    EXPECT_NE(std::string::npos, r.output.find("nt=0 kept=1 gone=1")) << r.output;
}
