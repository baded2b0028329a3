#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HttpMsgBase.h"

namespace {

struct Parsed {
    bool ok;
    std::vector<std::pair<std::string, std::string>> fields;
};

Parsed Parse(const std::string& block, bool strict = false) {
    std::string text = block;
    HTTPMSGBASE m(&text[0]);
    Parsed r;
    r.ok = m.parseHeaders(strict) != 0;
    CITERATOR<DATAVALUE> it;
    for (DATAVALUE* v = it.Begin(m.headers); v; v = it.Next()) {
        char value[512];
        HeaderValue(*v, value, sizeof value);
        r.fields.emplace_back(v->valueName, value);
    }
    it.End();
    return r;
}

typedef std::vector<std::pair<std::string, std::string>> Fields;

}  // namespace

TEST(HeaderBlock, ParsesTheBlockLineByLine) {
    const struct {
        const char* what;
        std::string block;
        bool strict;
        bool ok;
        Fields fields;
    } cases[] = {
        {"empty line first", "\r\nX: 1\r\n", false, true, {}},
        {"no blank after colon", "Content-Length:5\r\n\r\n", false, true, {{"Content-Length", "5"}}},
        {"blanks after colon", "Content-Length:   5\r\n\r\n", false, true, {{"Content-Length", "5"}}},
        {"folded", "X-Long: a\r\n b\r\nY: 2\r\n\r\n", false, true, {{"X-Long", "a\r\n b"}, {"Y", "2"}}},
        {"no colon", "Bogus\r\nY: 2\r\n\r\n", false, true, {{"Bogus", ""}, {"Y", "2"}}},
        {"empty value", "X-Empty:\r\nY: 2\r\n\r\n", false, true, {{"X-Empty", ""}, {"Y", "2"}}},
        {"colon first", "X: 1\r\n: oops\r\n\r\n", false, false, {{"X", "1"}}},
        {"LF only", "A: 1\nB: 2\n\n", false, true, {{"A", "1"}, {"B", "2"}}},
        {"end of text", "A: 1", false, true, {{"A", "1"}}},
        {"long name kept at 63", std::string(70, 'N') + ": v\r\n\r\n", false, true, {{std::string(63, 'N'), "v"}}},
        {"blank before colon, lenient", "Content-Length : 5\r\n\r\n", false, true, {{"Content-Length ", "5"}}},
        {"blank before colon, strict", "Content-Length : 5\r\n\r\n", true, false, {}},
        {"tab in name, strict", "Content\tLength: 5\r\n\r\n", true, false, {}},
    };
    for (const auto& c : cases) {
        Parsed p = Parse(c.block, c.strict);
        EXPECT_EQ(c.ok, p.ok) << c.what;
        EXPECT_EQ(c.fields, p.fields) << c.what;
    }
}

TEST(HeaderBlock, FindsAndComparesFieldsIgnoringCase) {
    std::string text = "Content-Length: 12\r\nPragma: No-Cache\r\nCache: no-cache, private\r\n\r\n";
    HTTPMSGBASE m(&text[0]);
    ASSERT_TRUE(m.parseHeaders());
    EXPECT_NE(nullptr, m.FindHeader("content-length"));
    EXPECT_EQ(nullptr, m.FindHeader(nullptr));
    EXPECT_EQ(nullptr, m.FindHeader("Missing"));
    EXPECT_TRUE(m.HasHeaderField("Pragma", "no-cache"));
    EXPECT_FALSE(m.HasHeaderField("Cache", "no-cache"));
    EXPECT_TRUE(m.HasHeaderField("cache", nullptr));
    char out[4] = "old";
    EXPECT_FALSE(m.GetHeaderData(out, sizeof out, "Missing"));
    EXPECT_STREQ("old", out);
    EXPECT_TRUE(m.GetHeaderData(out, sizeof out, "Content-Length"));
    EXPECT_STREQ("12", out);
    EXPECT_TRUE(m.GetHeaderData(out, 2, "Content-Length"));
    EXPECT_STREQ("1", out);
}

TEST(HeaderBlock, RebuildsInOrderLeavingOmittedFieldsOut) {
    std::string text = "Host: webhost\r\nProxy-Connection: keep-alive\r\nX-Empty:\r\n\r\n";
    HTTPMSGBASE m(&text[0]);
    ASSERT_TRUE(m.parseHeaders());
    m.FindHeader("proxy-connection")->FIELD::flags |= FIELD_OMIT;
    EXPECT_NE(nullptr, m.FindHeader("Proxy-Connection"));
    const std::string expect = "Host: webhost\r\nX-Empty\r\n\r\n";
    std::vector<char> out(expect.size() + 3);
    ASSERT_TRUE(m.rebuildHeaders(out.data(), (int)out.size()));
    EXPECT_EQ(expect, std::string(out.data()));
    // Two bytes short of what the block needs: the result says it may be cut.
    std::vector<char> tight(expect.size() + 1);
    EXPECT_FALSE(m.rebuildHeaders(tight.data(), (int)tight.size()));
}

TEST(HeaderBlock, DefaultsFillOnlyMissingFields) {
    static LOOKUPROW defaults[] = {
        {"*/*", 0, 1, reinterpret_cast<intptr_t>("Accept"), 0, 0},
        {"", 0, 0, 0, 0, 0},
    };
    std::string none = "Host: a\r\n\r\n";
    HTTPMSGBASE a(&none[0]);
    ASSERT_TRUE(a.parseHeaders());
    a.AddDefaultHeaders(defaults);
    char value[32];
    ASSERT_TRUE(a.GetHeaderData(value, sizeof value, "Accept"));
    EXPECT_STREQ("*/*", value);

    std::string own = "accept: text/html\r\n\r\n";
    HTTPMSGBASE b(&own[0]);
    ASSERT_TRUE(b.parseHeaders());
    b.AddDefaultHeaders(defaults);
    EXPECT_EQ(1, b.headers.Count());
    ASSERT_TRUE(b.GetHeaderData(value, sizeof value, "Accept"));
    EXPECT_STREQ("text/html", value);

    HTTPMSGBASE copy(nullptr);
    EXPECT_EQ(1, b.CopyHeaders(copy));
    EXPECT_NE(nullptr, copy.FindHeader("ACCEPT"));
}
