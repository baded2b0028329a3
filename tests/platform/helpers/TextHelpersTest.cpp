#include <gtest/gtest.h>
#include "QvWindows.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BaseItem.h"
#include "ScratchDir.h"
#include "TextHelpers.h"

namespace {

std::string Bytes(const char* p, size_t n) { return std::string(p, n); }

}  // namespace

TEST(BoundedCopy, CopyAndAppendKeepWithinSize) {
    struct Case {
        const char* src;
        int size;
        BBOOL pad;
        std::string expect;  // the whole 8-byte area afterwards ('#' = untouched)
    } cases[] = {
        {"abc", 8, 0, std::string("abc\0####", 8)},
        {"abc", 8, 1, std::string("abc\0\0\0\0\0", 8)},
        {"abcdefghij", 4, 0, std::string("abc\0####", 8)},
        {"abc", 1, 0, std::string("\0#######", 8)},
        {"abc", 0, 1, std::string("########", 8)},
    };
    for (const Case& c : cases) {
        char area[8];
        std::memset(area, '#', sizeof area);
        _strzcpy(area, c.src, c.size, c.pad);
        EXPECT_EQ(c.expect, Bytes(area, 8)) << c.src << " size " << c.size;
    }

    char buf[8] = "ab";
    _strzcat(buf, "cdefghij", sizeof buf);
    EXPECT_STREQ("abcdefg", buf);
    _strzcat(buf, "x", sizeof buf);  // full: unchanged
    EXPECT_STREQ("abcdefg", buf);
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    _strzcat(unterminated, "x", sizeof unterminated);
    EXPECT_EQ(std::string("abcd"), Bytes(unterminated, 4)) << "no room when the terminator is missing";
}

TEST(ScanWord, WordsQuotesAndStops) {
    struct Case {
        const char* text;
        int outSize;
        BBOOL strip, upper;
        const char* stops;
        int result;
        const char* word;
        const char* rest;  // what stays under the cursor
    } cases[] = {
        {"  'a b' x", 64, 0, 0, nullptr, 5, "'a b'", " x"},
        {"  'a b' x", 64, 1, 1, nullptr, 3, "a b", " x"},
        {" x", 64, 0, 1, nullptr, 1, "X", ""},
        {"\t\r\nword,next", 64, 0, 0, ",", 4, "word", ",next"},
        {"one two", 64, 0, 0, ",", 7, "one two", ""},
        {",next", 64, 0, 0, ",", 0, "", ",next"},
        {"\"open ended", 64, 1, 0, nullptr, 11, "\"open ended", ""},
        {"\"Quoted\" rest", 64, 0, 1, nullptr, 8, "\"Quoted\"", " rest"},
        {"toolongword", 5, 0, 0, nullptr, 4, "tool", ""},
        {"   ", 64, 0, 0, nullptr, -1, "", ""},
        {"", 64, 0, 0, nullptr, -1, "", ""},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        char* cursor = &text[0];
        char out[64];
        std::strcpy(out, "junk");
        EXPECT_EQ(c.result, _ScanWord(&cursor, out, c.outSize, c.strip, c.upper, c.stops)) << c.text;
        EXPECT_STREQ(c.word, out) << c.text;
        EXPECT_STREQ(c.rest, cursor) << c.text;
    }
}

TEST(ScanWord, OwnBlankSet) {
    char text[] = " ,, a b,c";
    char* cursor = text;
    char out[16];
    EXPECT_EQ(3, _ScanWord(&cursor, out, sizeof out, 0, 1, ",", " ,"));
    EXPECT_STREQ("A B", out) << "blanks inside the word stay";
    EXPECT_EQ(1, _ScanWord(&cursor, out, sizeof out, 0, 1, ",", " ,"));
    EXPECT_STREQ("C", out);
    EXPECT_EQ(-1, _ScanWord(&cursor, out, sizeof out, 0, 1, ",", " ,"));
}

TEST(ScanWord, NullOutputMeasuresWholeWord) {
    char text[] = "  abcdefgh more";
    char* cursor = text;
    EXPECT_EQ(8, _ScanWord(&cursor, nullptr, 0));
    EXPECT_EQ(4, _ScanWord(&cursor, nullptr, 0));
    EXPECT_EQ(-1, _ScanWord(&cursor, nullptr, 0));
}

TEST(ScanOper, CollectsOperatorsAcrossBlanks) {
    char text[] = "  < = x";
    char* cursor = text;
    char out[4];
    EXPECT_EQ(2, _ScanOper(&cursor, out, 3));
    EXPECT_STREQ("<=", out);
    EXPECT_STREQ("x", cursor);
    EXPECT_EQ(0, _ScanOper(&cursor, out, 3));
    char blank[] = "   ";
    cursor = blank;
    EXPECT_EQ(-1, _ScanOper(&cursor, out, 3));
}

TEST(Quotes, TrimAndDeQuote) {
    char a[] = "text \t\r\n";
    EXPECT_STREQ("text", _TrimStr(a));
    char b[] = "'abc'";
    EXPECT_STREQ("ABC", _DeQuote(b, 1));
    char c[] = "\"abc'";
    EXPECT_STREQ("\"abc'", _DeQuote(c));
    char d[] = "\"";
    EXPECT_STREQ("\"", _DeQuote(d));
    char e[] = "\"\"";
    EXPECT_STREQ("", _DeQuote(e));
}

TEST(Numbers, DecimalTextToLong) {
    struct Case {
        const char* text;
        long value;
    } cases[] = {
        {"42", 42},           {"  \t-17", -17},       {"+5", 5},
        {"12abc", 12},        {"", 0},                {"abc", 0},
        {"- 3", 0},           {"99999999999", LONG_MAX}, {"-99999999999", LONG_MIN},
        {"-2147483648", LONG_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value, _atol(c.text)) << c.text;
}

TEST(Numbers, LongAndDoubleToText) {
    char out[64];
    EXPECT_STREQ("ff", _cvtltoa(255, out, 16));
    EXPECT_STREQ("-5", _cvtltoa(-5, out, 10));
    EXPECT_STREQ("0", _cvtltoa(0, out, 2));
    EXPECT_STREQ("ffffffff", _cvtltoa(-1, out, 16));
    EXPECT_STREQ("12.", _cvtdtoa(12, out, 0));
    EXPECT_STREQ("0.05", _cvtdtoa(0.05, out, 2));
    EXPECT_STREQ("-1.5", _cvtdtoa(-1.5, out, 1));
    char word[] = "MiXed";
    EXPECT_STREQ("mixed", _cvtlower(word));
    EXPECT_STREQ("MIXED", _cvtupper(word));
}

TEST(Numbers, DateShape) {
    struct Case {
        const char* text;
        BBOOL ok;
    } cases[] = {
        {"1996-07-31", 1}, {"1996/12/01", 1}, {"1996x01y15", 1}, {"1996-13-01", 0},
        {"1996-00-10", 0}, {"1996-02-32", 0}, {"1996-02-00", 0}, {"96-02-10", 0},
        {"1996-2-10", 0},  {"1996-02-10 ", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.ok, _chkdate(c.text)) << c.text;
}

TEST(Base64, EncodesWithPadding) {
    struct Case {
        const char* text;
        const char* code;
    } cases[] = {
        {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        {"", ""},
        {"a", "YQ=="},
        {"ab", "YWI="},
        {"abc", "YWJj"},
        {"\xff\xfe", "//4="},
    };
    for (const Case& c : cases) {
        char out[64];
        std::memset(out, '#', sizeof out);
        int n = _AsciiToBase64(c.text, out);
        EXPECT_EQ(int(std::strlen(c.code)), n) << c.text;
        EXPECT_EQ(c.code, Bytes(out, n)) << c.text;
        EXPECT_EQ('#', out[n]) << "no terminator is written";
    }
}

TEST(ControlChars, DecodesEscapes) {
    struct Case {
        const char* text;
        BBOOL unquote;
        int size;
        int result;
        std::string bytes;
    } cases[] = {
        {"a\\tb", 0, 16, 3, "a\tb"},
        {"\\x4a\\x4B", 0, 16, 2, "JK"},
        {"\\a\\b\\f\\n\\r\\t\\v\\\\\\0", 0, 16, 9, std::string("\a\b\f\n\r\t\v\\\0", 9)},
        {"\"q\\n\"", 1, 16, 2, "q\n"},
        {"\"q\"", 0, 16, 3, "\"q\""},
        {"a\\qb", 0, 16, -1, ""},
        {"a\\", 0, 16, -1, ""},
        {"\\x4", 0, 16, -1, ""},
        {"\\xg0", 0, 16, -1, ""},
        {"abcd", 0, 5, 4, "abcd"},
        {"abcde", 0, 5, -1, ""},
        {"abc\\n", 0, 5, 4, "abc\n"},
        {"abcd\\n", 0, 5, -1, ""},
    };
    for (const Case& c : cases) {
        char out[16];
        std::memset(out, '#', sizeof out);
        int n = _AsciiToCtlChars(c.text, BUFFER(out, c.size), c.unquote);
        EXPECT_EQ(c.result, n) << c.text;
        if (n < 0) continue;
        EXPECT_EQ(c.bytes, Bytes(out, n)) << c.text;
        for (int i = n; i < c.size; i++) EXPECT_EQ(0, out[i]) << c.text << ": the rest is zero-filled";
    }
}

TEST(ControlChars, EncodesEscapesAndHex) {
    struct Case {
        std::string bytes;
        BBOOL quote;
        const char* text;
    } cases[] = {
        {"a\x01", 0, "a\\x01"},
        {"x\\y", 0, "x\\\\y"},
        {std::string("\0\t\x7f\x1b", 4), 0, "\\0\\t\\x7f\\x1b"},
        {"hi\r\n", 1, "\"hi\\r\\n\""},
        {"\xe9t\xe9", 0, "\xe9t\xe9"},
    };
    for (const Case& c : cases) {
        char out[64];
        std::string in = c.bytes;
        EXPECT_TRUE(_CtlCharsToAscii(BUFFER(&in[0], int(in.size())), BUFFER(out, sizeof out), c.quote));
        EXPECT_STREQ(c.text, out);
    }
}

TEST(ControlChars, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; b++) all += char(b);
    for (BBOOL quote : {0, 1}) {
        char text[1100];
        ASSERT_TRUE(_CtlCharsToAscii(BUFFER(&all[0], int(all.size())), BUFFER(text, sizeof text), quote));
        char back[300];
        int n = _AsciiToCtlChars(text, BUFFER(back, sizeof back), quote);
        ASSERT_EQ(256, n) << "quote " << quote;
        EXPECT_EQ(all, Bytes(back, n)) << "quote " << quote;
    }
}

TEST(ControlChars, EncodingIsBoundedAndTerminated) {
    char in[] = "ab\x01";  // encodes to 6 characters
    char out[8];
    // Exactly the text and its terminator.
    std::memset(out, '#', sizeof out);
    EXPECT_TRUE(_CtlCharsToAscii(BUFFER(in, 3), BUFFER(out, 7), 0));
    EXPECT_STREQ("ab\\x01", out);
    // One byte short: fails, keeps what fitted, still terminated inside the area.
    std::memset(out, '#', sizeof out);
    EXPECT_FALSE(_CtlCharsToAscii(BUFFER(in, 3), BUFFER(out, 6), 0));
    EXPECT_STREQ("ab", out);
    EXPECT_EQ('#', out[6]);
}

TEST(Scramble, IsItsOwnInverseAndNeverMakesZero) {
    const char key[] = "Remember: every packet crossing this hub is counted and logged.";
    std::string text;
    for (int i = 0; i < 80; i++) text += char(' ' + (i * 7) % 95);
    text[3] = key[3];  // a character equal to the key stays
    std::string original = text;
    _EncryptString(BUFFER(&text[0], int(text.size())));
    EXPECT_NE(original, text);
    EXPECT_EQ(original.size(), std::strlen(text.c_str())) << "no zero byte inside";
    EXPECT_EQ(original[3], text[3]);
    EXPECT_EQ(original.substr(63), text.substr(63)) << "only the first 63 characters change";
    _EncryptString(BUFFER(&text[0], int(text.size())));
    EXPECT_EQ(original, text);

    char pw[] = "secret";
    _EncryptString(BUFFER(pw, sizeof pw));
    EXPECT_STREQ(std::string({char('s' ^ 'R'), 'e', char('c' ^ 'm'), char('r' ^ 'e'), char('e' ^ 'm'),
                              char('t' ^ 'b')})
                     .c_str(),
                 pw);
}

class TempFiles : public qvtest::ScratchDirTest {
protected:
    TempFiles() : ScratchDirTest("helpers") {}
    std::string Write(const char* name, const std::string& bytes) {
        Put(name, bytes);
        return Path(name);
    }
    std::string Path(const char* name) { return dir + "\\" + name; }
};

TEST_F(TempFiles, ScanFileFindsLineStartsAndWords) {
    std::string longLine = std::string(127, 'x') + "device=vxd rest";
    std::string path = Write("system.ini",
                            "[386Enh]\n" + longLine + "\n  Device =  VXD  extra\ndevice=vxd\nlast 'Quoted Word'\n");
    struct Case {
        const char* text;
        BBOOL byWords;
        int line;
    } cases[] = {
        {"[386Enh]", 0, 1},
        {"device=vxd", 0, 4},  // not the tail of the over-long line 2
        {"DEVICE = vxd", 1, 3},
        {"device = vxd extra more", 1, 0},
        {"last 'Quoted Word'", 1, 5},
        {"last 'quoted word'", 1, 0},
        {"nothing", 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.line, _ScanFile(path.c_str(), c.text, c.byWords)) << c.text;
    EXPECT_EQ(0, _ScanFile(Path("absent.ini").c_str(), "x", 0));
}

TEST_F(TempFiles, ModifyBinaryFileReplacesFirstMatchKeepingSize) {
    struct Case {
        std::string content;
        const char* find;
        const char* replace;
        long result;
        std::string expect;
    } cases[] = {
        {std::string("abcOLDdefOLD", 12), "OLD", "NEW", 3, "abcNEWdefOLD"},
        {"abcOLDdef", "OLD", "N", 3, std::string("abcN\0\0def", 9)},
        {"abcOLDdef", "OLD", "LONGER", 3, "abcLONdef"},
        {"OLDabc", "OLD", "NEW", 0, "NEWabc"},  // at offset 0: same result as no match
        {"abcdef", "OLD", "NEW", 0, "abcdef"},
        {"", "OLD", "NEW", 0, ""},
        {std::string(40000, 'a') + "OLD", "OLD", "NEW", 40000, std::string(40000, 'a') + "NEW"},
        // Across a 32768-byte block's end.
        {std::string(32766, 'a') + "OLD", "OLD", "NEW", 32766, std::string(32766, 'a') + "NEW"},
        {std::string(65535, 'a') + "OLDb", "OLD", "NEW", 65535, std::string(65535, 'a') + "NEWb"},
        {std::string(32767, 'a') + "OL" + std::string(40000, 'b'), "OLD", "NEW", 0,
         std::string(32767, 'a') + "OL" + std::string(40000, 'b')},
    };
    int i = 0;
    for (const Case& c : cases) {
        std::string src = "src" + std::to_string(i) + ".bin", dst = "dst" + std::to_string(i) + ".bin";
        Write(src.c_str(), c.content);
        EXPECT_EQ(c.result, _ModifyBinaryFile(dir.c_str(), src.c_str(), dst.c_str(), c.find, c.replace)) << i;
        EXPECT_EQ(c.expect, Get(dst)) << i;
        i++;
    }
}

TEST_F(TempFiles, ModifyBinaryFileReportsFilesThatCannotOpen) {
    std::string src = Write("in.bin", "abcOLD");
    std::string dst = Path("out.bin");
    EXPECT_EQ(-1, _ModifyBinaryFile(nullptr, Path("missing.bin").c_str(), dst.c_str(), "OLD", "NEW"));
    EXPECT_EQ(-1, _ModifyBinaryFile(nullptr, src.c_str(), (dir + "\\no\\such\\dir.bin").c_str(), "OLD", "NEW"));
    EXPECT_EQ(3, _ModifyBinaryFile(nullptr, src.c_str(), dst.c_str(), "OLD", "NEW"));
    EXPECT_EQ("abcNEW", Get(dst));
    std::string longDir(250, 'd');
    EXPECT_EQ(-1, _ModifyBinaryFile(longDir.c_str(), "in.bin", "out.bin", "OLD", "NEW")) << "path too long";
}
