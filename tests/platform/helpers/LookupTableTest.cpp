#include <gtest/gtest.h>

#include <cstring>

#include "LookupTable.h"

TEST(LookUp, YesNoWordsAndTheirAbbreviations) {
    struct Case {
        const char* text;
        BBOOL abbrev;
        int value;
    } cases[] = {
        {"Y", 1, 1},    {"YE", 1, 1},  {"YES", 0, 1},   {"Y", 0, 255},    {"ON", 1, 1},  {"O", 1, 255},
        {"OF", 1, 255}, {"OFF", 0, 0}, {"N", 1, 0},     {"F", 1, 0},      {"T", 1, 1},   {"1", 1, 1},
        {"0", 0, 0},    {"yes", 1, 255}, {"YESS", 1, 255}, {"", 1, 255},   {"maybe", 1, 255},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value, _CheckYesNo(c.text, c.abbrev)) << c.text << " " << c.abbrev;
}

TEST(LookUp, DayAndMonthNames) {
    struct Case {
        LOOKUPROW* table;
        const char* key;
        BBOOL abbrev, ignoreCase;
        int value;  // 0: the end row
    } cases[] = {
        {_DayNameTable, "Wed", 1, 0, 4},       {_DayNameTable, "We", 1, 0, 0},
        {_DayNameTable, "Wednesday", 0, 0, 4}, {_DayNameTable, "Wed", 0, 0, 0},
        {_DayNameTable, "wednesday", 0, 0, 0}, {_DayNameTable, "WEDNES", 1, 1, 4},
        {_DayNameTable, "Wednesdays", 1, 0, 0}, {_DayNameTable, "Sat", 1, 0, 7},
        {_MonthNameTable, "May", 1, 0, 5},     {_MonthNameTable, "dec", 1, 1, 12},
        {_MonthNameTable, "Ja", 1, 0, 0},      {_MonthNameTable, "June", 1, 0, 6},
    };
    for (const Case& c : cases) {
        LOOKUPROW* row = _LookUp(c.table, c.key, c.abbrev, c.ignoreCase);
        ASSERT_NE(nullptr, row);
        EXPECT_EQ(c.value, row->value) << c.key;
        EXPECT_EQ(c.value != 0, row->valid != 0) << c.key;
    }
}

TEST(LookUp, FirstRowWinsAndValueSearch) {
    static const char kText[] = "linked";
    LOOKUPROW table[] = {
        {"SET", 1, 1, 10, 0, 0},
        {"SETUP", 1, 1, 20, reinterpret_cast<intptr_t>(kText), 3},
        {"SHOW", 0, 1, 30, 0, 0},
        {"", 0, 0, 0, 0, 0},
    };
    EXPECT_EQ(10, _LookUp(table, "SE", 1, 0)->value);
    EXPECT_EQ(20, _LookUp(table, "SETU", 1, 0)->value);
    EXPECT_EQ(0, _LookUp(table, "SH", 1, 0)->value) << "a 0 minimum means the whole name";
    EXPECT_EQ(30, _LookUp(table, "SHOW", 1, 0)->value);
    EXPECT_EQ(0, _LookUp(table, nullptr, 1, 0)->valid);

    LOOKUPROW* row = _LookUpValue(table, 20);
    EXPECT_STREQ("SETUP", row->name);
    EXPECT_STREQ(kText, reinterpret_cast<const char*>(row->value2));
    EXPECT_EQ(&table[3], _LookUpValue(table, 99));
    EXPECT_STREQ("December", _LookUpValue(_MonthNameTable, 12)->name);
    EXPECT_EQ(sizeof(void*) == 4 ? 84u : 96u, sizeof(LOOKUPROW));
}
