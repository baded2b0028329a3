#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "ChildProcess.h"
#include "Profile.h"
#include "ScratchDir.h"

namespace {

class ProfileTest : public qvtest::ScratchDirTest {
protected:
    ProfileTest() : ScratchDirTest("profiles") {}
};

// A section with the keys k0, k1, ... holding the cases' texts in order.
template <class Case, size_t N>
std::string KeysOf(const char* section, const Case (&cases)[N]) {
    std::string text = std::string("[") + section + "]\r\n";
    for (size_t i = 0; i < N; ++i) text += "k" + std::to_string(i) + "=" + cases[i].text + "\r\n";
    return text;
}

std::string Read(PROFILE& p, const char* section, const char* key, int* result = nullptr) {
    char buf[64] = "junk";
    int r = p.ReadString(section, key, BUFFER(buf, sizeof buf));
    if (result) *result = r;
    return buf;
}

}  // namespace

TEST_F(ProfileTest, RewritesLinesInTheirCanonicalForm) {
    Put("a.ini",
        "top=1\r\n"
        "  indented = x\r\n"
        "; comment\r\n"
        "\r\n"
        "[ Alpha ]\r\n"
        "key=value\r\n"
        "novalue\r\n"
        "#hash\r\n"
        "\tquoted = \"a;b\" ; c \r\n"
        "\r\n"
        "[Beta]\r\n"
        "[Gamma]\r\n");
    const std::string expected =
        "top = 1\r\n"
        "  indented = x\r\n"
        "; comment\r\n"
        "\r\n"
        "[Alpha]\r\n"
        "key = value\r\n"
        "novalue =\r\n"
        "#hash =\r\n"
        "quoted = \"a;b\" ; c\r\n"
        "\r\n"
        "[Beta]\r\n"
        "\r\n"
        "[Gamma]\r\n"
        "\r\n";
    {
        PROFILE p("a.ini", TRUE);
        ASSERT_EQ(0, p.status);
        EXPECT_EQ("\"a;b\" ; c", Read(p, "alpha", "QUOTED"));
        EXPECT_EQ("1", Read(p, nullptr, "top"));
        ASSERT_EQ(0, p.WriteFile("b.ini"));
    }
    EXPECT_EQ(expected, Get("b.ini"));
    // Read again, "key =" holds an empty value, written with its blank; from
    // then on the file stays as it is.
    std::string second = expected;
    second.replace(second.find("novalue =\r"), 10, "novalue = \r");
    second.replace(second.find("#hash =\r"), 8, "#hash = \r");
    for (int round = 0; round < 2; ++round) {
        PROFILE again("b.ini", TRUE);
        ASSERT_EQ(0, again.WriteFile(nullptr));
        EXPECT_EQ(second, Get("b.ini"));
    }
}

TEST_F(ProfileTest, KeepsLinesLongerThanTheLineBuffer) {
    std::string longValue(3000, 'v');
    Put("long.ini", "[S]\r\nk=" + longValue + "\r\nafter=1\r\n");
    PROFILE p("long.ini", TRUE);
    ASSERT_EQ(0, p.WriteFile("out.ini"));
    EXPECT_EQ("[S]\r\nk = " + longValue + "\r\nafter = 1\r\n", Get("out.ini"));
    EXPECT_EQ("1", Read(p, "S", "after"));
}

TEST_F(ProfileTest, LooksUpCaseInsensitivelyAndFirstMatchWins) {
    Put("l.ini", "[Main]\r\n; note\r\nName=first\r\nNAME=second\r\nc:\\x\\Prog.exe, /q=4444\r\n[main]\r\nOther=3\r\n");
    PROFILE p("l.ini", TRUE);
    int r = 0;
    EXPECT_EQ("first", Read(p, "MAIN", "name", &r));
    EXPECT_EQ(5, r);
    EXPECT_EQ("", Read(p, "Main", "missing", &r));
    EXPECT_EQ(-1, r);
    EXPECT_EQ("3", Read(p, "MAIN", "other"));

    char small[4];
    EXPECT_EQ(3, p.ReadString("Main", "Name", BUFFER(small, sizeof small)));
    EXPECT_STREQ("fir", small);

    char key[64] = "", value[64];
    EXPECT_EQ(5, p.ReadKeyString("main", BUFFER(key, sizeof key), BUFFER(value, sizeof value)));
    EXPECT_STREQ("Name", key);  // an empty prefix takes the first key line
    std::strcpy(key, "na");
    EXPECT_EQ(5, p.ReadKeyString("main", BUFFER(key, sizeof key), BUFFER(value, sizeof value)));
    EXPECT_STREQ("Name", key);
    EXPECT_STREQ("first", value);

    std::strcpy(key, "PROG.EXE");
    EXPECT_EQ(4, p.ReadFileString("Main", BUFFER(key, sizeof key), BUFFER(value, sizeof value)));
    EXPECT_STREQ("c:\\x\\Prog.exe, /q", key);
    EXPECT_STREQ("4444", value);
    std::strcpy(key, "nothing");
    EXPECT_EQ(-1, p.ReadFileString("Main", BUFFER(key, sizeof key), BUFFER(value, sizeof value)));
    EXPECT_STREQ("", key);
}

TEST_F(ProfileTest, ReadsIntegersWhole) {
    struct Case {
        const char* text;
        int result;
        int value;
    } cases[] = {
        {"42", 0, 42},
        {" -7", 0, -7},
        {"1000000000", 0, 1000000000},
        {"2147483647", 0, 2147483647},
        {"12abc", 1, 12},
        {"abc", 1, 0},
        {"99999999999", 1, 555},      // overflow: invalid, value unchanged
        {"1000000000000", 1, 555},
    };
    Put("n.ini", KeysOf("N", cases));
    PROFILE p("n.ini", TRUE);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        int value = 555;
        EXPECT_EQ(cases[i].result, p.ReadINT("N", ("k" + std::to_string(i)).c_str(), value)) << cases[i].text;
        EXPECT_EQ(cases[i].value, value) << cases[i].text;
    }
    int value = 555;
    EXPECT_EQ(-1, p.ReadINT("N", "absent", value));
    EXPECT_EQ(555, value);
}

TEST_F(ProfileTest, ReadsBooleansInExactCase) {
    struct Case {
        const char* text;
        int result;
        BBOOL value;
    } cases[] = {
        {"YES", 0, 1}, {"NO", 0, 0},    {"ON", 0, 1},  {"OFF", 0, 0},  {"TRUE", 0, 1},
        {"FALSE", 0, 0}, {"1", 0, 1},   {"0", 0, 0},   {"yes", 1, 7},  {"Y", 1, 7},
        {"YESS", 1, 7},  {"", 1, 7},
    };
    Put("b.ini", KeysOf("B", cases));
    PROFILE p("b.ini", TRUE);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        BBOOL value = 7;
        EXPECT_EQ(cases[i].result, p.ReadBOOL("B", ("k" + std::to_string(i)).c_str(), value)) << cases[i].text;
        EXPECT_EQ(cases[i].value, value) << cases[i].text;
    }
    BBOOL value = 7;
    EXPECT_EQ(-1, p.ReadBOOL("B", "absent", value));
}

TEST_F(ProfileTest, ListsKeysIntoASmallBuffer) {
    Put("k.ini", "[S]\r\none=1\r\n; note\r\ntwo\r\nthree=3\r\n\r\n[T]\r\nfour=4\r\n");
    PROFILE p("k.ini", TRUE);
    char buf[9];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(2, p.ListStrings("s", BUFFER(buf, sizeof buf)));
    EXPECT_EQ(0, std::memcmp("one\0two\0\0", buf, 9));
    char big[64];
    EXPECT_EQ(3, p.ListStrings("S", BUFFER(big, sizeof big)));
    EXPECT_EQ(0, std::memcmp("one\0two\0three\0\0", big, 15));
    EXPECT_EQ(3, p.ListStrings("S", BUFFER()));
    EXPECT_EQ(0, p.ListStrings("none", BUFFER(big, sizeof big)));
}

TEST_F(ProfileTest, WritesNewKeysWhereTheyBelong) {
    Put("w.ini", "[A]\r\na1=1\r\n\r\n[B]\r\n[C]\r\nc1=1\r\n");
    PROFILE p("w.ini", TRUE);
    p.WriteString("A", "a2", "2");       // before the blank line ending A
    p.WriteString("B", "b1", "1");       // after the header-only row
    p.WriteString("C", "c2", "2");       // after the last key of the last section
    p.WriteString("a", "A1", "one");     // existing key keeps its spelling
    p.WriteString("A", "a2", nullptr);   // drops the value
    p.WriteString("D", "d1", "1");       // new section at the end
    ASSERT_EQ(0, p.WriteFile(nullptr));
    EXPECT_EQ(
        "[A]\r\na1 = one\r\na2 =\r\n\r\n"
        "[B]\r\n\r\nb1 = 1\r\n"
        "[C]\r\nc1 = 1\r\nc2 = 2\r\n"
        "[D]\r\nd1 = 1\r\n",
        Get("w.ini"));
}

TEST_F(ProfileTest, DeletesSectionsAndKeys) {
    Put("d.ini", "[A]\r\na=1\r\n; c\r\n\r\n[B]\r\nb=1\r\nb2=2\r\n");
    PROFILE p("d.ini", TRUE);
    p.DeleteString("a", nullptr, nullptr);
    p.DeleteString("B", "b2", nullptr);
    ASSERT_EQ(0, p.WriteFile(nullptr));
    EXPECT_EQ("[B]\r\nb = 1\r\n", Get("d.ini"));
}

TEST_F(ProfileTest, MissingFiles) {
    PROFILE must("none.ini", TRUE);
    EXPECT_EQ(9999, must.status);
    EXPECT_EQ(0, must.loaded);
    int r = 0;
    Read(must, "S", "k", &r);
    EXPECT_EQ(-1, r);
    EXPECT_EQ(-1, must.WriteFile(nullptr));

    PROFILE maybe("new.ini");
    EXPECT_EQ(0, maybe.ReadFile(nullptr, FALSE));
    maybe.WriteString("S", "k", "v");
    ASSERT_EQ(0, maybe.WriteFile(nullptr));
    EXPECT_EQ("[S]\r\nk = v\r\n", Get("new.ini"));

    PROFILE unnamed;
    EXPECT_EQ(9999, unnamed.ReadFile(nullptr, FALSE));
}

namespace {

// A disk that fills up: the write after `writesLeft` good ones stores half its
// bytes, or the flush or the close fails.
struct FullDisk {
    static int writesLeft;  // -1: writes never fail
    static bool failFlush, failClose;
    static size_t Write(const void* data, size_t size, size_t count, FILE* file) {
        if (writesLeft < 0 || writesLeft-- > 0) return std::fwrite(data, size, count, file);
        return std::fwrite(data, size, count / 2, file);
    }
    static int Flush(FILE* file) { return std::fflush(file) != 0 || failFlush ? EOF : 0; }
    static int Close(FILE* file) { return std::fclose(file) != 0 || failClose ? EOF : 0; }
};
int FullDisk::writesLeft = -1;
bool FullDisk::failFlush = false, FullDisk::failClose = false;

struct FileOpsSwap {
    PROFILEFILEOPS saved = _ProfileFileOps;
    FileOpsSwap() { _ProfileFileOps = {&FullDisk::Write, &FullDisk::Flush, &FullDisk::Close}; }
    ~FileOpsSwap() { _ProfileFileOps = saved; }
};

}  // namespace

TEST_F(ProfileTest, FailedWriteKeepsTheOldFile) {
    const std::string old = "[S]\r\nk=old\r\nother=1\r\n";
    struct Case {
        const char* what;
        int writesLeft;
        bool failFlush, failClose;
    } cases[] = {
        {"first write", 0, false, false},
        {"a later write", 2, false, false},
        {"flush", -1, true, false},
        {"close", -1, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put("full.ini", old);
        PROFILE p("full.ini", TRUE);
        p.WriteString("S", "k", "new");
        {
            FileOpsSwap swap;
            FullDisk::writesLeft = c.writesLeft;
            FullDisk::failFlush = c.failFlush;
            FullDisk::failClose = c.failClose;
            EXPECT_EQ(9998, p.WriteFile(nullptr));
        }
        EXPECT_EQ(9998, p.status);
        EXPECT_EQ(old, Get("full.ini"));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("full.ini.$$$"));
        // With room on the disk again the same profile writes in full.
        EXPECT_EQ(0, p.WriteFile(nullptr));
        EXPECT_EQ("[S]\r\nk = new\r\nother = 1\r\n", Get("full.ini"));
    }
}

TEST_F(ProfileTest, FilesThatCannotBeReplaced) {
    Put("ro.ini", "[S]\r\nk=old\r\n");
    PROFILE p("ro.ini", TRUE);
    p.WriteString("S", "k", "new");
    // Another program holds the file open: the finished copy cannot replace it.
    HANDLE held = CreateFileA("ro.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(9998, p.WriteFile(nullptr));
    CloseHandle(held);
    EXPECT_EQ("[S]\r\nk=old\r\n", Get("ro.ini"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("ro.ini.$$$"));
    // A read-only file stays as it is.
    SetFileAttributesA("ro.ini", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(9999, p.WriteFile(nullptr));
    SetFileAttributesA("ro.ini", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ("[S]\r\nk=old\r\n", Get("ro.ini"));
    // A directory in the place of the file, or of its temporary copy.
    CreateDirectoryA("dir.ini", nullptr);
    EXPECT_EQ(9999, p.WriteFile("dir.ini"));
    CreateDirectoryA("tmp.ini.$$$", nullptr);
    EXPECT_EQ(9999, p.WriteFile("tmp.ini"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("ro.ini.$$$"));
}

QV_CHILD_CASE(ProfileReadTwice) {
    PROFILE p;
    p.ReadFile("twice.ini", FALSE);
    p.ReadFile("twice.ini", FALSE);
}

TEST_F(ProfileTest, ReadingTwiceIsFatal) {
    auto r = qvtest::RunChild("ProfileReadTwice");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(1u, r.exitCode);
}
