#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ZKCString.h"

namespace {

std::string S(const ZKCString& s) { return std::string(s.data(), s.length()); }

// Expects a bounds error with exactly this text.
template <class F>
std::string BoundsText(F f) {
    try {
        f();
    } catch (const ZKBoundsErr& e) {
        return e.why();
    }
    return "<no error>";
}

}  // namespace

TEST(ZKCString, CopiesShareUntilOneIsWritten) {
    ZKCString a("hello");
    ZKCString b(a);
    EXPECT_EQ(a.data(), b.data());
    EXPECT_EQ(1, a.references());
    b[0] = 'j';
    EXPECT_NE(a.data(), b.data());
    EXPECT_EQ("hello", S(a));
    EXPECT_EQ("jello", S(b));
    EXPECT_EQ(0, a.references());
    EXPECT_EQ(0, b.references());

    ZKCString c("x");
    c = a;  // assignment shares too; self-assignment changes nothing
    c = c;
    EXPECT_EQ(a.data(), c.data());
    c.toUpper();
    EXPECT_EQ("hello", S(a));
    EXPECT_EQ("HELLO", S(c));
}

TEST(ZKCString, EmptyTextOnSharedStringLeavesOtherHolder) {
    ZKCString a("shared text");
    ZKCString b(a);
    b = "";
    EXPECT_EQ("shared text", S(a));
    EXPECT_EQ(0u, b.length());
    EXPECT_EQ(ZKCString().data(), b.data());  // back on the one empty body

    ZKCString c("own");
    const char* body = c.data();
    c = "";
    EXPECT_EQ(body, c.data());  // unshared: emptied in place
    EXPECT_EQ(0u, c.length());
    c = static_cast<const char*>(0);
    EXPECT_EQ(0u, c.length());
}

TEST(ZKCString, ConstructionCapacities) {
    struct Case {
        ZKCString s;
        ZKSize_T len, cap;
    } cases[] = {
        {ZKCString("abcdef"), 6, 6},
        {ZKCString("abcdef", 3), 3, 3},
        {ZKCString('x', 1u), 1, 15},
        {ZKCString('x', 20u), 20, 31},
        {ZKCString(40u), 0, 40},
    };
    for (auto& c : cases) {
        EXPECT_EQ(c.len, c.s.length());
        EXPECT_EQ(c.cap, c.s.capacity());
    }
    ZKCString nul("a\0b", 3);
    EXPECT_EQ(3u, nul.length());
    EXPECT_EQ(2u, nul.first('b'));
    EXPECT_EQ(ZK_NPOS, nul.firstZ('b'));  // zero-terminated form stops at the zero
}

TEST(ZKCString, AdjustedCapacityGrowsInSteps) {
    struct {
        ZKSize_T n, cap;
    } cases[] = {{0, 15}, {15, 15}, {16, 31}, {31, 31}, {32, 47}, {47, 47}, {48, 63}};
    for (auto& c : cases) EXPECT_EQ(c.cap, ZKCString::adjustCapacity(c.n)) << c.n;

    ZKSize_T old = ZKCString::resizeIncrement(8);
    EXPECT_EQ(16u, old);
    EXPECT_EQ(23u, ZKCString::adjustCapacity(16));
    EXPECT_EQ(8u, ZKCString::resizeIncrement(old));
}

TEST(ZKCString, ReplaceInPlaceOrIntoNewBody) {
    ZKCString s(ZKCString('-', 1u));  // capacity 15, private
    s = "abcdefghij";
    const char* body = s.data();
    s.replace(2, 3, "XY", 2);
    EXPECT_EQ("abXYfghij", S(s));
    EXPECT_EQ(body, s.data());
    s.replace(9, 0, "0123456789", 10);  // 19 > 15: grows
    EXPECT_EQ("abXYfghij0123456789", S(s));
    EXPECT_EQ(31u, s.capacity());
    body = s.data();
    s.replace(0, 17, 0, 0);  // shrinks 17 below the capacity: more than the allowed waste
    EXPECT_EQ("89", S(s));
    EXPECT_NE(body, s.data());
    EXPECT_EQ(15u, s.capacity());
    s.replace(1, 99, "Z", 1);  // count cut to what is left
    EXPECT_EQ("8Z", S(s));
}

TEST(ZKCString, ReplaceWithSourceInsideItself) {
    ZKCString s(ZKCString(30u));
    s = "abcdef";
    const char* body = s.data();
    s.replace(0, 2, s.data() + 2, 4);  // "cdef" over "ab"
    EXPECT_EQ("cdefcdef", S(s));
    EXPECT_NE(body, s.data());  // always a new body
    s.replace(4, 4, s.data(), 8);
    EXPECT_EQ("cdefcdefcdef", S(s));
    s = s.data() + 4;
    EXPECT_EQ("cdefcdef", S(s));
}

TEST(ZKCString, ReplaceStartPastEndIsASubstringError) {
    ZKCString s("abc");
    EXPECT_EQ("[SUBSTRING] Illegal substring (5, 1) from 3 element ZKCString", BoundsText([&] { s.replace(5, 1, "x", 1); }));
    EXPECT_EQ("[SUBSTRING] Illegal substring (2, 4) from 3 element ZKCString", BoundsText([&] { s(2, 4); }));
    EXPECT_EQ("abc", S(s));
}

TEST(ZKCString, AppendPrependResize) {
    ZKCString s("ab");
    ZKCString other(s);
    s.append('x', 3);
    EXPECT_EQ("abxxx", S(s));
    EXPECT_EQ(5u, s.capacity());  // exact length when a new body is needed
    EXPECT_EQ("ab", S(other));
    s.prepend('<', 2);
    EXPECT_EQ("<<abxxx", S(s));
    s.resize(3);
    EXPECT_EQ("<<a", S(s));
    s.resize(5);
    EXPECT_EQ("<<a  ", S(s));
    EXPECT_EQ(40u, s.capacity(40));
    EXPECT_EQ(40u, s.capacity(2));  // not below the length
    s += s;
    EXPECT_EQ("<<a  <<a  ", S(s));
}

TEST(ZKCString, IndexAndCharacterBoundsErrors) {
    ZKCString s("abc");
    EXPECT_EQ("[INDEXERR] Illegal Index (3) for collection or string with 3 elements", BoundsText([&] { s[3]; }));
    EXPECT_EQ("[NPOSINDEX] The value ZK_NPOS cannot be used as an index.", BoundsText([&] { s[ZK_NPOS]; }));
    const ZKCString& cs = s;
    EXPECT_EQ("[INDEXERR] Illegal Index (7) for collection or string with 3 elements", BoundsText([&] { cs[7]; }));
    ZKCSubString sub = s(1, 2);
    EXPECT_EQ("[INDEXERR] Illegal Index (2) for collection or string with 2 elements", BoundsText([&] { sub[2]; }));
    EXPECT_EQ('c', sub[1]);
}

TEST(ZKCString, Compare) {
    struct {
        const char* a;
        const char* b;
        ZKCString::caseCompare cc;
        int want;
    } cases[] = {
        {"abc", "abc", ZKCString::exact, 0},   {"abc", "abd", ZKCString::exact, -1},
        {"abd", "abc", ZKCString::exact, 1},   {"ab", "abc", ZKCString::exact, -1},
        {"abc", "ab", ZKCString::exact, 1},    {"ABC", "abc", ZKCString::ignoreCase, 0},
        {"ABC", "abc", ZKCString::exact, -1},
        {"abC", "abd", ZKCString::ignoreCase, -1},
    };
    for (auto& c : cases) {
        ZKCString a(c.a);
        EXPECT_EQ(c.want, a.compareTo(c.b, c.cc)) << c.a << " vs " << c.b;
        int r = a.compareTo(ZKCString(c.b), c.cc);
        EXPECT_EQ(c.want, r > 0 ? 1 : (r < 0 ? -1 : 0)) << c.a << " vs string " << c.b;
    }
    // Against a text characters compare signed; against a string bytes compare as memcmp does.
    EXPECT_EQ(-1, ZKCString("\x80").compareTo("a"));
    EXPECT_GT(ZKCString("\x80").compareTo(ZKCString("a")), 0);
    EXPECT_TRUE(ZKCString("a\0b", 3) == ZKCString("a\0b", 3));
    EXPECT_FALSE(ZKCString("a\0b", 3) == "a");
    EXPECT_TRUE(ZKCString("abc") == "abc");
}

TEST(ZKCString, SearchOperations) {
    ZKCString s("0123456789");
    EXPECT_EQ(ZK_NPOS, s.index("89x", 3, 8));  // 8 + 3 > 10: nothing searched
    EXPECT_EQ(8u, s.index("89", 2, 8));
    EXPECT_EQ(4u, s.index("", 0, 4));
    ZKCString t("Hello World hello");
    EXPECT_EQ(12u, t.index("hello"));
    EXPECT_EQ(0u, t.index("hello", 0, ZKCString::ignoreCase));
    EXPECT_EQ(12u, t.index("HELLO", 1, ZKCString::ignoreCase));
    EXPECT_EQ(ZK_NPOS, t.index("xyz"));
    EXPECT_EQ(2u, t.first('l'));
    EXPECT_EQ(15u, t.last('l'));
    EXPECT_EQ(ZK_NPOS, t.first('z'));
    EXPECT_EQ(4u, t.first("xo "));
    EXPECT_TRUE(t.subString("World") == "World");
    EXPECT_TRUE(t.subString("nope").isNull());
}

TEST(ZKCString, SubStringEditsTheUnderlyingString) {
    ZKCString s("Hello World");
    ZKCString keep(s);
    ZKCSubString w = s.subString("World");
    w = "There";
    EXPECT_EQ("Hello There", S(s));
    EXPECT_EQ("Hello World", S(keep));
    s(0, 5) = "Hi";
    EXPECT_EQ("Hi There", S(s));
    s(3, 5).toUpper();
    EXPECT_EQ("Hi THERE", S(s));
    ZKCSubString none = s.subString("zzz");
    none = "ignored";
    EXPECT_EQ("Hi THERE", S(s));
    EXPECT_TRUE(none == "");
    EXPECT_TRUE(s(0, 2) == ZKCString("Hi"));
    EXPECT_EQ("Hi", S(ZKCString(s(0, 2))));
}

TEST(ZKCString, Strip) {
    struct {
        const char* in;
        ZKCString::stripType t;
        const char* out;
    } cases[] = {
        {"  ab  ", ZKCString::leading, "ab  "},
        {"  ab  ", ZKCString::trailing, "  ab"},
        {"  ab  ", ZKCString::both, "ab"},
        {"ab", ZKCString::both, "ab"},
    };
    for (auto& c : cases) {
        ZKCString s(c.in);
        EXPECT_TRUE(s.strip(c.t) == c.out) << c.in;
    }
    ZKCString blanks("    ");
    ZKCSubString none = blanks.strip(ZKCString::both);
    EXPECT_TRUE(none.isNull());
    EXPECT_TRUE(none == "");
    ZKCString xs("xxaxx");
    EXPECT_TRUE(xs.strip(ZKCString::both, 'x') == "a");
}

TEST(ZKCString, Hash) {
    auto rotl5 = [](unsigned h) { return (h << 5) | (h >> 27); };
    EXPECT_EQ(0x00616263u ^ rotl5(3), ZKCString("abc").hash());
    // four bytes little-endian, then one remaining byte sign-extended
    unsigned h = 5;
    h = 0x64636261u ^ rotl5(h);
    h = 0xFFFFFF80u ^ rotl5(h);
    EXPECT_EQ(h, ZKCString("abcd\x80").hash());
    unsigned f = 2;
    f = 'A' ^ rotl5(f);
    f = 'B' ^ rotl5(f);
    EXPECT_EQ(f, ZKCString("ab").hash(ZKCString::ignoreCase));
    EXPECT_EQ(ZKCString("aB").hash(ZKCString::ignoreCase), ZKCString("Ab").hash(ZKCString::ignoreCase));
    EXPECT_EQ(0u, ZKCString().hash());
}

TEST(ZKCString, CaseAndMiscellany) {
    ZKCString s("MiXeD");
    ZKCString l = toLower(s), u = toUpper(s);
    EXPECT_EQ("mixed", S(l));
    EXPECT_EQ("MIXED", S(u));
    EXPECT_EQ("MiXeD", S(s));
    EXPECT_EQ("MiXeD!", S(s + "!"));
    EXPECT_EQ("<MiXeD", S("<" + s));
    ZKCString joined = s + s;
    EXPECT_EQ("MiXeDMiXeD", S(joined));
    EXPECT_EQ(15u, joined.capacity());
    EXPECT_TRUE(s.isAscii());
    EXPECT_FALSE(ZKCString("a\xe9").isAscii());
    EXPECT_EQ(5u, s.mbLength());
    EXPECT_EQ(0, ZKCString("abc").collate("abc"));
    EXPECT_LT(ZKCString("abc").collate("abd"), 0);
    ZKCString key = strXForm(ZKCString("abc"));
    EXPECT_GT(key.length(), 0u);
}
