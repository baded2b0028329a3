#include <gtest/gtest.h>

#include <string>

#include <cstring>

#include "DlgKit.h"
#include "zIntlContext.h"
#include "zNumFormatter.h"
#include "zPictStrEl.h"

namespace {

// Runs keys through a formatter from an empty field, the caret where each key left it.
std::string typed(zNumFormatter& f, const char* keys) {
    ZKCString text;
    zRange sel(0, 0);
    f.addChars(text, "", 0, sel);
    for (const char* k = keys; *k; ++k) {
        char c[2] = {*k == '<' ? '\b' : *k, 0};
        f.addChars(text, c, 1, sel);
    }
    return text.data();
}

class Intl : public ::testing::Test {
protected:
    char saved[6][64];
    const char* keys[6] = {"sDecimal", "sThousand", "sCurrency", "iCurrDigits", "iCurrency", "iNegCurr"};
    void SetUp() override {
        for (int i = 0; i < 6; ++i) GetProfileStringA("intl", keys[i], "\x01", saved[i], sizeof saved[i]);
    }
    void TearDown() override {
        for (int i = 0; i < 6; ++i)
            WriteProfileStringA("intl", keys[i], strcmp(saved[i], "\x01") == 0 ? nullptr : saved[i]);
    }
};

TEST_F(Intl, ProfileValuesAndNegativeCurrencyTable) {
    WriteProfileStringA("intl", "sThousand", "");
    WriteProfileStringA("intl", "sDecimal", ",");
    WriteProfileStringA("intl", "iCurrency", "3");
    struct Row {
        const char* value;
        char signPos, precedes, space;
    } rows[] = {{"0", '0', '1', '0'}, {"4", '0', '0', '0'}, {"1", '1', '1', '0'}, {"5", '1', '0', '0'},
                {"8", '1', '0', '1'}, {"9", '1', '1', '1'}, {"10", '2', '1', '0'}, {"2", '4', '1', '0'},
                {"3", '2', '1', '0'}, {"7", '2', '0', '0'}, {"6", '3', '0', '0'}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.value);
        WriteProfileStringA("intl", "iNegCurr", r.value);
        zIntlContext c;
        EXPECT_EQ(r.signPos, c.negSignPos);
        EXPECT_EQ(r.precedes, c.negCSPrecedes);
        EXPECT_EQ(r.space, c.negCSSepSpace);
        EXPECT_EQ(',', c.thousandSep) << "an empty separator becomes a comma";
        EXPECT_EQ(',', c.decimalPt);
        EXPECT_EQ('0', c.posCSPrecedes);
        EXPECT_EQ('1', c.posCSSepSpace);
    }
}

TEST(NumPicture, OptionsFillsAndItems) {
    zIntlContext ctx;
    ctx.setDecimalPt('.');
    ctx.setThousandSep(',');
    struct Case {
        const char* picture;
        int elements, intDigits, fracDigits, minus, floating, error;
        char leadFill;
    } cases[] = {
        {"#####", 5, 5, 0, 0, 0, -1, ' '},
        {"-#####", 5, 5, 0, 1, 0, -1, ' '},
        {"F###,###.##", 10, 6, 2, 0, 1, -1, ' '},
        {"L*###", 3, 3, 0, 0, 0, -1, '*'},
        {"LT0##.#", 4, 2, 1, 0, 0, -1, '0'},
        {"[!5][1-9]#", 3, 3, 0, 0, 0, -1, ' '},
        {"##x##", 2, 2, 0, 0, 0, 2, ' '},
        {"L5###", 0, 0, 0, 0, 0, 1, ' '},
        {"Q###", 0, 0, 0, 0, 0, 0, ' '},
        {"[9-1]#", 0, 0, 0, 0, 0, 0, ' '},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        zNumFormatter f(0, c.picture, &ctx);
        EXPECT_EQ(c.elements, (int)f.elements.size());
        EXPECT_EQ(c.intDigits, f.intDigits);
        EXPECT_EQ(c.fracDigits, f.fracDigits);
        EXPECT_EQ(c.minus, f.minusAllowed);
        EXPECT_EQ(c.floating, f.floating);
        EXPECT_EQ(c.error, f.parseError);
        if (c.leadFill != ' ') {
            EXPECT_EQ(c.leadFill, f.leadFill);
        }
    }
    zNumFormatter items(0, "[!5][1-9]", &ctx);
    ASSERT_EQ(2u, items.elements.size());
    EXPECT_FALSE(items.elements[0].isValid('5', '.', ','));
    EXPECT_TRUE(items.elements[0].isValid('4', '.', ','));
    EXPECT_FALSE(items.elements[1].isValid('0', '.', ','));
    EXPECT_TRUE(items.elements[1].isValid('9', '.', ','));
    zNumFormatter hashFill(zNumFillHash, "F###", &ctx);
    EXPECT_EQ('#', hashFill.leadFill);
    EXPECT_EQ(0, hashFill.floating);
}

TEST(NumFormatter, TypingIntoIntegerPictures) {
    zIntlContext ctx;
    ctx.setThousandSep(',');
    ctx.setDecimalPt('.');
    struct Case {
        const char* picture;
        const char* keys;
        const char* shown;
    } cases[] = {
        {"#####", "", "0"},
        {"#####", "42", "42"},
        {"#####", "0042", "42"},
        {"#####", "-42", "42"},
        {"#####", "123456", "12345"},
        {"######", "123456", "123456"},
        {"-#####", "42-", "-42"},
        {"-#####", "42--", "42"},
        {"-#####", "42<", "4"},
        {"F###,###", "1234567", "123,456"},
        {"F###,###", "1234", "1,234"},
        {"###.##", "12.345", "12.34"},
        {"L*####", "7", "***7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.picture) + " keys " + c.keys);
        zNumFormatter f(0, c.picture, &ctx);
        EXPECT_EQ(c.shown, typed(f, c.keys));
    }
}

TEST(NumFormatter, EntryModesLockAPartOnceADigitIsTyped) {
    zIntlContext ctx;
    ctx.setThousandSep(',');
    ctx.setDecimalPt('.');
    // Keys from an empty field; then, from the whole text selected, one more key.
    struct Case {
        const char* picture;
        const char* keys;
        const char* shown;
        char overAll;
        const char* shownAfter;
    } cases[] = {
        {"R1###.##", "12", "1.0", '9', "1.9"},        // integer locked after its first digit
        {"R1###.##", "1.5", "1.50", '9', "1.9"},       // the decimal point only moves the caret
        {"R1###.##", "1.5<<", "1.0", '9', "1.9"},     // no backspace over the point
        {"R2###.##", "1.5", "1.0", '9', "9.0"},       // fraction locked
        {"R2###.##", "12", "12.0", '9', "9.0"},
        {"R3###.##", "1.5", "1.50", '9', "91.50"},    // mode 0 collapses the selection
        {"###.##", "1.5", "1.50", '9', "9.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.picture) + " keys " + c.keys);
        zNumFormatter f(0, c.picture, &ctx);
        std::string shown = typed(f, c.keys);
        EXPECT_EQ(c.shown, shown);
        ZKCString text(shown.c_str());
        zRange sel(0, (int)shown.size());
        char key[2] = {c.overAll, 0};
        f.addChars(text, key, 1, sel);
        EXPECT_STREQ(c.shownAfter, text.data());
    }
}

TEST(NumFormatter, PastesAreBoundedAndSigned) {
    zIntlContext ctx;
    zNumFormatter f(0, "-#####", &ctx);
    ZKCString text;
    zRange sel(0, 0);
    std::string digits(300, '7');
    EXPECT_EQ(zFmtRewritten, f.addChars(text, digits.c_str(), (int)digits.size(), sel));
    EXPECT_STREQ("77777", text.data());
    sel = zRange(0, (int)text.length());
    f.addChars(text, "-42", 3, sel);
    EXPECT_STREQ("-42", text.data());
    sel = zRange(0, (int)text.length());
    f.addChars(text, "+42", 3, sel);
    EXPECT_STREQ("42", text.data());
}

TEST(NumFormatter, ChecksAndRawText) {
    zIntlContext ctx;
    ctx.setDecimalPt(',');
    ctx.setThousandSep('.');
    struct Check {
        const char* picture;
        unsigned long flags;
        const char* text;
        int ok;
    } checks[] = {
        {"#####", 0, "", 0},
        {"#####", zNumEmptyOk, "", 1},
        {"#####", 0, "42", 1},
        {"#####", zNumComplete, "42", 0},
        {"#####", zNumComplete, "12345", 1},
        {"#####", zNumEmptyOk | zNumComplete, "", 1},
        {"#####", zNumEmptyOk | zNumComplete, "123", 0},
        {"[1-9]##", 0, "012", 1},  // leading zeros are not digits of the value
        {"[!5]##", 0, "512", 0},
    };
    for (const Check& c : checks) {
        SCOPED_TRACE(std::string(c.picture) + " '" + c.text + "'");
        zNumFormatter f(c.flags, c.picture, &ctx);
        ZKCString t(c.text);
        zRange sel(0, 0x7FFF);
        EXPECT_EQ(c.ok, f.checkChars(t, sel));
        if (!c.ok) {
            EXPECT_LE(sel.start, (int)t.length());
        }
    }
    struct Raw {
        const char* picture;
        const char* text;
        const char* raw;
    } raws[] = {
        {"-#####", "-42", "-42"}, {"#####", "-42", "42"},   {"###.##", "12,5", "12.5"},
        {"###.##", ",5", "0.5"},  {"###.##", "", "0.0"},    {"F###,###", "1.234", "1234"},
        {"#####", "", "0"},
    };
    for (const Raw& r : raws) {
        SCOPED_TRACE(std::string(r.picture) + " '" + r.text + "'");
        zNumFormatter f(0, r.picture, &ctx);
        ZKCString t(r.text);
        f.getChars(t, 0);
        EXPECT_STREQ(r.raw, t.data());
    }
}

TEST(PictureElements, MasksSetsAndLiterals) {
    struct Case {
        char mask;
        unsigned long flags;
        char typed;
        int accepted;
        char stored;
    } cases[] = {
        {'9', 0, 'a', 0, 0},   {'9', 0, '5', 1, '5'},   {'#', 0, '-', 1, '-'},   {'#', 0, 'x', 0, 0},
        {'A', 0, 'q', 1, 'q'}, {'A', 0, '3', 0, 0},     {'!', 0, 'q', 1, 'Q'},   {'N', 0, '7', 1, '7'},
        {'N', 0, '-', 0, 0},   {'X', zPictUpper, 'a', 1, 'A'}, {'X', zPictLower, 'B', 1, 'b'}, {'?', 0, 'a', 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.mask) + " <- " + c.typed);
        zPictStrMaskEl e(c.mask);
        EXPECT_EQ(c.accepted, e.addChar(c.typed, 0, c.flags));
        EXPECT_EQ(c.stored, e.getChar(0));
    }
    zPictStrMaskEl nine('9');
    nine.addChar('5', 0, 0);
    EXPECT_EQ(1, nine.addChar('#', 0, 0)) << "the placeholder empties the position";
    EXPECT_EQ(0, nine.getChar(0));
    EXPECT_EQ('#', nine.getChar(zPictShowFill));
    EXPECT_EQ(0, nine.getChar(zPictShowFill | zPictRawText));
    EXPECT_EQ(1, nine.addChar('7', 1, 0));
    EXPECT_EQ(0, nine.getChar(0)) << "a test only stores nothing";

    zBitVector vowels(256);
    EXPECT_EQ(264, vowels.size()) << "rounded as (n | 7) + 1";
    EXPECT_EQ(16, zBitVector(9).size());
    for (char v : std::string("aeiou")) vowels.set((unsigned char)v);
    zPictStrSetEl in(vowels, 0), out(vowels, 1);
    EXPECT_EQ(1, in.addChar('e', 0, 0));
    EXPECT_EQ(0, in.addChar('x', 0, 0));
    EXPECT_EQ('e', in.getChar(0));
    EXPECT_EQ(0, out.addChar('e', 0, 0));
    EXPECT_EQ(1, out.addChar('x', 0, 0));
    zPictStrLiteral dash('-');
    EXPECT_EQ(1, dash.addChar('-', 0, 0));
    EXPECT_EQ(0, dash.addChar('x', 0, 0));
    EXPECT_EQ('-', dash.getChar(0));
    EXPECT_EQ(0, dash.getChar(zPictRawText));
}

}  // namespace
