// The small exports of qvinst32.dll that the installer's scripts call.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <string>

#include "../SetupKit.h"
#include "ScratchDir.h"

namespace {

using qvsetup::CallSetup;

class SetupUtility : public qvtest::ScratchDirTest {
protected:
    SetupUtility() : ScratchDirTest("setuputil") {}
    std::string Path(const char* name) const { return dir + "\\" + name; }
    // The out-buffer's text up to its first NUL.
    static std::string Text(const qvsetup::ExportCall& c, size_t k = 0) {
        return k < c.bufs.size() ? std::string(c.bufs[k].c_str()) : "<no buffer>";
    }
};

TEST_F(SetupUtility, ModifyStringInFileKeepsTheSize) {
    std::string body = std::string(40000, 'x') + "C:\\OLDPATH\\BIN" + std::string(30000, 'y');
    Put(Path("in.bin"), body);
    qvsetup::ExportCall c = CallSetup("ModifyStringInFile", {"s:" + Path("in.bin"), "s:" + Path("out.bin"),
                                                             "s:C:\\OLDPATH", "s:D:\\NEW"});
    EXPECT_EQ(40000, c.result) << c.output;
    std::string expect = body;
    expect.replace(40000, 10, std::string("D:\\NEW\0\0\0\0", 10));
    EXPECT_EQ(expect, Get(Path("out.bin")));
    EXPECT_EQ(0, CallSetup("ModifyStringInFile", {"s:" + Path("in.bin"), "s:" + Path("out2.bin"), "s:ABSENT", "s:X"}).result);
    EXPECT_EQ(body, Get(Path("out2.bin")));
    EXPECT_EQ(-1, CallSetup("ModifyStringInFile", {"s:" + Path("none.bin"), "s:" + Path("out3.bin"), "s:A", "s:B"}).result);
}

TEST_F(SetupUtility, StringInFileMatchesLineStartsByWords) {
    Put(Path("system.ini"), "[386Enh]\r\ndevice = qvwinvxd.vxd  ; ours\r\nother=1\r\n");
    struct Case {
        const char* text;
        int result;
    } cases[] = {{"device = qvwinvxd.vxd", 1}, {"DEVICE  =  QVWINVXD.VXD", 1}, {"device=qvwinvxd.vxd", 0},
                 {"other=1", 1}, {"qvwinvxd.vxd", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(c.result, CallSetup("StringInFile", {"s:" + Path("system.ini"), std::string("s:") + c.text}).result) << c.text;
    EXPECT_EQ(0, CallSetup("StringInFile", {"s:" + Path("absent.ini"), "s:other=1"}).result);
}

TEST_F(SetupUtility, TrimsAndCuts) {
    qvsetup::ExportCall t = CallSetup("RemoveTrailingBlanks", {"s: \tkeep me \t\r\n", "buf:64"});
    EXPECT_EQ(1, t.result);
    EXPECT_EQ(" \tkeep me", Text(t));
    qvsetup::ExportCall l = CallSetup("RemoveLeadingBlanks", {"s: \t\r\nkeep me \t", "buf:64"});
    EXPECT_EQ(1, l.result);
    EXPECT_EQ("keep me \t", Text(l));

    struct Case {
        const char* text;
        int length;
        int result;
        const char* after;
    } cases[] = {{"abc", 3, 1, "abc"}, {"abc", 4, 0, "abc"}, {"abcdef", 3, 1, "abc"}, {"", 0, 1, ""}};
    for (const Case& c : cases) {
        Put(Path("text.bin"), std::string(c.text) + std::string(8, '\0'));
        qvsetup::ExportCall r =
            CallSetup("TerminateString", {"file:" + Path("text.bin"), "i:" + std::to_string(c.length)});
        EXPECT_EQ(c.result, r.result) << c.text << "," << c.length;
        EXPECT_EQ(c.after, Text(r)) << c.text << "," << c.length;
    }
}

TEST_F(SetupUtility, RegGetValueAsStringReadsTextsWithinTheBuffer) {
    qvaid::ScratchKey key;
    key.Set("Multi", REG_MULTI_SZ, "one\0two\0three\0\0", 15);
    key.SetString("Plain", "hello");
    key.Set("NoNul", REG_BINARY, "abcdefgh", 8);
    struct Case {
        const char* name;
        int size;
        int result;
        std::string text;
    } cases[] = {
        {"Multi", 64, 1, "one two three"},
        {"Plain", 64, 1, "hello"},
        {"NoNul", 8, 1, "abcdefg"},  // fills the buffer: cut to stay terminated
        {"NoNul", 64, 1, "abcdefgh"},
        {"Plain", 3, 0, ""},        // does not fit
        {"Absent", 64, 0, ""},
    };
    for (const Case& c : cases) {
        qvsetup::ExportCall r = CallSetup("RegGetValueAsString", {"hkey:HKCU", std::string("s:") + key.Path(),
                                                                  std::string("s:") + c.name,
                                                                  "buf:" + std::to_string(c.size), "i:" + std::to_string(c.size)});
        EXPECT_EQ(c.result, r.result) << c.name << r.output;
        if (c.result) {
            ASSERT_EQ(1u, r.bufs.size());
            EXPECT_EQ(c.text, Text(r)) << c.name;
            EXPECT_NE(std::string::npos, r.bufs[0].find('\0')) << c.name << ": terminated";
        }
    }
    EXPECT_EQ(0, CallSetup("RegGetValueAsString", {"hkey:HKCU", "s:Software\\QuorvaneTests\\NoSuchKey", "s:x", "buf:16", "i:16"}).result);
}

}  // namespace
