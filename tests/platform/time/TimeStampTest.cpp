#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "SpControl.h"
#include "TimeStamp.h"

namespace {

unsigned long fakeNow = 0;
unsigned long FakeClock() { return fakeNow; }

// Every case runs in EST5EDT (see TimeZone.cpp) on a fixed clock.
class TimeStampTest : public testing::Test {
protected:
    void SetUp() override { TIMESTAMP::SetNowSource(FakeClock); }
    void TearDown() override { TIMESTAMP::SetNowSource(nullptr); }
};

const unsigned long kMonday10 = 1736175600UL;  // Mon 6 Jan 2025 10:00 EST
const unsigned long kMondayMidnight = kMonday10 - 10 * 3600;
const unsigned long kHour = 3600, kDay = 86400;

}  // namespace

TEST_F(TimeStampTest, ReadsTheHttpDateForms) {
    struct Case {
        const char* text;
        unsigned long expected;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777UL},
        {"Sunday, 06-Nov-94 08:49:37 GMT", 784111777UL},
        {"  Sun, 06 Nov 1994 08:49:37 gmt", 784111777UL},
        {"Sun Nov  6 08:49:37 1994", 784111777UL + 5 * kHour},  // asctime is local time
        {"Thursday, 02-Jan-25 08:00:00 GMT", 1735804800UL},     // two-digit years from 2000 on
        {"Tue, 31-Dec-69 23:59:59 GMT", 3155759999UL},         // 69 is 2069
        {"Sun, 06 Jul 1997 08:49:37 GMT", 868178977UL},
        {"Tue, 06 September 1994 08:49:37 GMT", 778841377UL},
        {"Sun, 32 Nov 1994 08:49:37 GMT", 0},
        {"Sun, 00 Nov 1994 08:49:37 GMT", 0},
        {"Sun, 06 Nov 1994 08 49:37 GMT", 0},
        {"Sun, 06 Nox 1994 08:49:37 GMT", 0},
        {"Sun, 06 No 1994 08:49:37 GMT", 0},
        {"Sun, 06 Nov 1994 08:49:37 EST", 0},
        {"Sun, 06 Nov 1994 08:49:37", 0},
        {"Sun, 06 Nov 1994 25:49:37 GMT", 0},
        {"NoSeparatorHere", 0},
        {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, TIMESTAMP::parseMIME(c.text)) << c.text;
    EXPECT_EQ(784111777UL, TIMESTAMP("Sun, 06 Nov 1994 08:49:37 GMT", TF_MIME).seconds);
    EXPECT_EQ(0UL, TIMESTAMP("Sun, 06 Nov 1994 08:49:37 GMT", TF_RFC850).seconds);
}

TEST_F(TimeStampTest, UniversalDatesIgnoreTheDaylightSavingFlag) {
    long saved = _pSupport->daylightSaving;
    for (long dst : {0L, 1L}) {
        _pSupport->daylightSaving = dst;
        EXPECT_EQ(868178977UL, TIMESTAMP::parseMIME("Sun, 06 Jul 1997 08:49:37 GMT")) << dst;
        EXPECT_EQ(784111777UL, TIMESTAMP::parseMIME("Sun, 06 Nov 1994 08:49:37 GMT")) << dst;
    }
    _pSupport->daylightSaving = saved;
}

TEST_F(TimeStampTest, WritesTheHttpDateForms) {
    char out[64];
    TIMESTAMP t(784111777UL, 0);
    EXPECT_STREQ("Sun, 06 Nov 1994 08:49:37 GMT", t.String(out, TF_MIME, TRUE));
    EXPECT_STREQ("Sunday, 06-Nov-94 08:49:37 GMT", t.String(out, TF_RFC850, TRUE));
    EXPECT_STREQ("Sun, 06 Nov 1994 03:49:37", t.String(out, TF_MIME, FALSE));
    EXPECT_STREQ("Thursday, 02-Jan-25 08:00:00 GMT", TIMESTAMP(1735804800UL, 0).String(out, TF_RFC850, TRUE));
    EXPECT_STREQ("", t.String(out, TF_DAYHHMM, TRUE));

    // What is written reads back to the same second, in both forms.
    for (unsigned long v : {784111777UL, 868178977UL, 1735804800UL, 4000000000UL}) {
        TIMESTAMP(v, 0).String(out, TF_MIME, TRUE);
        EXPECT_EQ(v, TIMESTAMP::parseMIME(out)) << out;
        TIMESTAMP(v, 0).String(out, TF_RFC850, TRUE);
        if (v < 3155760000UL) {  // two digits reach 2069
            EXPECT_EQ(v, TIMESTAMP::parseMIME(out)) << out;
        }
    }
}

TEST_F(TimeStampTest, DayAndTimeForm) {
    fakeNow = kMonday10;
    struct Case {
        const char* text;
        unsigned long expected;  // 0: invalid
    } cases[] = {
        {"12 AM", kMondayMidnight},
        {"12 PM", kMondayMidnight + 12 * kHour},
        {"1 PM", kMondayMidnight + 13 * kHour},
        {"13 PM", kMondayMidnight + 13 * kHour},
        {"9:30 am", kMondayMidnight + 9 * kHour + 1800},
        {"23:59", kMondayMidnight + 23 * kHour + 59 * 60},
        {"Wed, 9", kMondayMidnight + 2 * kDay + 9 * kHour},
        {"Sunday, 8:15", kMondayMidnight + 6 * kDay + 8 * kHour + 15 * 60},
        {"  mon ,11 PM", kMondayMidnight + 23 * kHour},
        {"13 AM", 0},
        {"24", 0},
        {"9:60", 0},
        {"9:", 0},
        {"9 XM", 0},
        {"9 PM later", 0},
        {"Funday, 9", 0},
        {"Mo, 9", 0},
        {"Wednesdays, 9", 0},
        {"noon", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, TIMESTAMP::parseDAYHHMM(c.text, FALSE)) << c.text;
    EXPECT_EQ(kMondayMidnight + 9 * kHour, TIMESTAMP("9", TF_DAYHHMM, FALSE).seconds);
}

TEST_F(TimeStampTest, NextOccurrenceMovesOnFromPastTimes) {
    struct Case {
        unsigned long now;
        const char* text;
        unsigned long expected;
    } cases[] = {
        {kMonday10, "Monday, 9:00", kMondayMidnight + 7 * kDay + 9 * kHour},
        {kMonday10, "9:00", kMondayMidnight + kDay + 9 * kHour},
        {kMondayMidnight + 8 * kHour, "Monday, 9:00", kMondayMidnight + 9 * kHour},
        {kMondayMidnight + 8 * kHour, "9:00", kMondayMidnight + 9 * kHour},
        {kMondayMidnight + 9 * kHour, "Monday, 9:00", kMondayMidnight + 7 * kDay + 9 * kHour},
        {kMondayMidnight + 9 * kHour, "9:00", kMondayMidnight + kDay + 9 * kHour},
        {kMonday10, "Tue, 9:00", kMondayMidnight + kDay + 9 * kHour},
    };
    for (const Case& c : cases) {
        fakeNow = c.now;
        EXPECT_EQ(c.expected, TIMESTAMP::parseDAYHHMM(c.text, TRUE)) << c.text << " at " << c.now;
    }
    fakeNow = kMonday10;
    EXPECT_EQ(kMondayMidnight + 9 * kHour, TIMESTAMP::parseDAYHHMM("Monday, 9:00", FALSE));
}

TEST_F(TimeStampTest, TimeCodes) {
    fakeNow = 1741453200UL;  // Sat 8 Mar 2025 12:00 EST; daylight saving starts that night
    EXPECT_EQ(1UL, TIMESTAMP(TC_EARLIEST).seconds);
    EXPECT_EQ(0xFFFFFFFFUL, TIMESTAMP(TC_LATEST).seconds);
    EXPECT_EQ(fakeNow, TIMESTAMP(TC_NOW).seconds);
    EXPECT_EQ(1741496400UL, TIMESTAMP(TC_MIDNIGHT).seconds);
    EXPECT_EQ(0UL, TIMESTAMP(TC_NONE).seconds);
    EXPECT_EQ(fakeNow - 5, TIMESTAMP(fakeNow, -5).seconds);
}

TEST_F(TimeStampTest, InitializeFollowsTheClock) {
    long saved = _pSupport->daylightSaving;
    fakeNow = 1752595200UL;  // July
    TIMESTAMP::Initialize(nullptr);
    EXPECT_EQ(1, _pSupport->daylightSaving);
    fakeNow = kMonday10;
    TIMESTAMP::Initialize(nullptr);
    EXPECT_EQ(0, _pSupport->daylightSaving);
    _pSupport->daylightSaving = saved;
}
