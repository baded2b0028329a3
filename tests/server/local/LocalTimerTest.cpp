// Schedules of local requests: the words, the next runs across a restart,
// the texts of the pages and the record written to the request file.
#include <gtest/gtest.h>

#include <string>

#include "LocalTimer.h"
#include "Streamable.h"

namespace {

unsigned long gNow = 0;
unsigned long FixedNow() { return gNow; }

class Schedule : public ::testing::Test {
protected:
    void SetUp() override {
        gNow = 1700000000UL;  // a Tuesday, 22:13 UTC
        TIMESTAMP::SetNowSource(FixedNow);
    }
    void TearDown() override { TIMESTAMP::SetNowSource(nullptr); }
    static unsigned long Next(const char* when) { return TIMESTAMP(when, TF_DAYHHMM, TRUE).seconds; }
};

TEST_F(Schedule, WordsAcceptedAndRejected) {
    struct Case {
        const char* command;
        bool accepted;
    };
    const Case cases[] = {
        {"AT IMMEDIATE; GET /", true},
        {"AT 06:00 EVERYDAY; GET /", true},
        {"AT 06:00 REPEAT 60 COUNT 3; GET /", true},
        {"AT 06:00 REPEAT 60", true},
        {"ATTIME 06:00", true},
        {"  \tAT 06:00 REPEAT 90 UNTIL 18:00;", true},
        {"AT 06:00 UNTIL 18:00", false},
        {"AT 06:00 FOO", false},
        {"AT 06:00 REPEAT", false},
        {"AT 06:00 REPEAT 60 COUNT", false},
        {"AT 06:00 REPEAT 60 UNTIL", false},
        {"AT 06:00 REPEAT 60 COUNT 3 MORE", false},
        {"AT 06:00 REPEAT 60 COUNT 0", false},
        {"AT 12345678901234567890", false},
        {"AT 06:00 REPEAT 12345678901234567890", false},
        {"AT 12/31/97", false},
        {"AT", false},
    };
    for (const Case& c : cases) {
        LOCALTIMER t(c.command);
        EXPECT_EQ(c.accepted, t.due.seconds != 0) << c.command;
    }
}

TEST_F(Schedule, FieldsOfTheSchedule) {
    LOCALTIMER now("AT IMMEDIATE; GET /");
    EXPECT_EQ(gNow, now.due.seconds);
    EXPECT_FALSE(now.forever);

    LOCALTIMER daily("AT 06:00 EVERYDAY");
    EXPECT_EQ(Next("06:00"), daily.due.seconds);
    EXPECT_STREQ("EVERYDAY", daily.repeatText);
    EXPECT_EQ(0, daily.repeatMinutes);
    EXPECT_TRUE(daily.forever);

    LOCALTIMER counted("AT 06:00 REPEAT 60 COUNT 3");
    EXPECT_EQ(60, counted.repeatMinutes);
    EXPECT_EQ(3, counted.count);
    EXPECT_STREQ("COUNT 3", counted.endText);
    EXPECT_EQ(0UL, counted.until.seconds);

    LOCALTIMER ofDay("AT 06:00 REPEAT 18:30");
    EXPECT_EQ(-1, ofDay.repeatMinutes);

    LOCALTIMER plain(nullptr);
    EXPECT_EQ(gNow, plain.due.seconds);
}

TEST_F(Schedule, RunsOfACountedRepeat) {
    LOCALTIMER t("AT 06:00 REPEAT 60 COUNT 3");
    unsigned long first = t.due.seconds;
    gNow = first;
    ASSERT_TRUE(t.ResetNextTimer(FALSE));
    EXPECT_EQ(first + 3600, t.due.seconds);
    gNow = t.due.seconds;
    ASSERT_TRUE(t.ResetNextTimer(FALSE));
    EXPECT_EQ(first + 7200, t.due.seconds);
    gNow = t.due.seconds;
    EXPECT_FALSE(t.ResetNextTimer(FALSE));  // the third run was the last
}

TEST_F(Schedule, OneTimeAndForever) {
    LOCALTIMER once("AT IMMEDIATE");
    EXPECT_FALSE(once.ResetNextTimer(FALSE));

    LOCALTIMER always("AT 06:00 REPEAT 60");
    for (int i = 0; i < 5; ++i) {
        gNow = always.due.seconds;
        ASSERT_TRUE(always.ResetNextTimer(FALSE));
    }

    LOCALTIMER daily("AT 06:00 EVERYDAY");
    gNow = daily.due.seconds;
    ASSERT_TRUE(daily.ResetNextTimer(FALSE));
    EXPECT_EQ(gNow + 86400, daily.due.seconds);
}

TEST_F(Schedule, UntilEndsTheRuns) {
    LOCALTIMER t("AT 06:00 REPEAT 60 UNTIL 09:00");
    ASSERT_NE(0UL, t.until.seconds);
    gNow = t.due.seconds;
    EXPECT_TRUE(t.ResetNextTimer(FALSE));
    gNow = t.until.seconds;
    EXPECT_FALSE(t.ResetNextTimer(FALSE));
}

TEST_F(Schedule, AfterARestartRunsStayOnTheGrid) {
    LOCALTIMER t("AT 06:00 REPEAT 60");
    unsigned long first = t.due.seconds;
    gNow = first + 3 * 3600 + 1200;  // down for three runs and a bit
    ASSERT_TRUE(t.ResetNextTimer(TRUE));
    EXPECT_EQ(first + 4 * 3600, t.due.seconds);

    LOCALTIMER once("AT 06:00");
    gNow = once.due.seconds + 60;
    EXPECT_FALSE(once.ResetNextTimer(TRUE));  // a missed one-time run is dropped

    LOCALTIMER later("AT 06:00");
    EXPECT_TRUE(later.ResetNextTimer(TRUE));  // still ahead: runs once
    EXPECT_EQ(1, later.count);
    gNow = later.due.seconds;
    EXPECT_FALSE(later.ResetNextTimer(FALSE));
}

TEST_F(Schedule, CountedDailyRunsSurviveARestart) {
    struct Case {
        const char* command;
        unsigned long down;  // seconds past the saved next run
        bool runsAgain;
        long countAfter;
    };
    const Case cases[] = {
        {"AT 06:00 EVERYDAY COUNT 3", 3600, true, 3},
        {"AT 06:00 EVERYDAY COUNT 3", 86400 + 60, true, 2},
        {"AT 06:00 EVERYDAY COUNT 3", 3 * 86400 + 60, false, 0},
        {"AT 06:00 REPEAT 18:30 COUNT 2", 3600, true, 2},
        {"AT Mon,06:00 EVERYDAY COUNT 2", 2 * 86400, true, 2},  // a named day: weeks
        {"AT 06:00 REPEAT 60 COUNT 3", 2 * 3600 + 60, true, 1},
    };
    for (const Case& c : cases) {
        LOCALTIMER t(c.command);
        ASSERT_NE(0UL, t.due.seconds) << c.command;
        gNow = t.due.seconds + c.down;
        EXPECT_EQ(c.runsAgain, t.ResetNextTimer(TRUE) != 0) << c.command << " down " << c.down;
        EXPECT_EQ(c.countAfter, t.count) << c.command << " down " << c.down;
        if (c.runsAgain) {
            EXPECT_GT(t.due.seconds, gNow) << c.command;
        }
        gNow = 1700000000UL;
    }
}

TEST_F(Schedule, TextsForThePages) {
    struct Case {
        const char* command;
        const char* frequency;
        const char* duration;
    };
    const Case cases[] = {
        {"AT 06:00 REPEAT 1440", "daily", "forever"},
        {"AT 06:00 REPEAT 10080 COUNT 3", "weekly", "3 times"},
        {"AT 06:00 REPEAT 90 UNTIL 18:00", "90 minutes", "until 18:00"},
        {"AT 06:00 EVERYDAY", "EVERYDAY", "forever"},
        {"AT 06:00 REPEAT 18:30", "18:30", "forever"},
        {"AT IMMEDIATE", "", "one time"},
    };
    char text[64];
    for (const Case& c : cases) {
        LOCALTIMER t(c.command);
        t.GetFrequency(text, sizeof text);
        EXPECT_STREQ(c.frequency, text) << c.command;
        t.GetDuration(text, sizeof text);
        EXPECT_STREQ(c.duration, text) << c.command;
        t.GetStart(text, sizeof text);
        EXPECT_STREQ(t.startText, text) << c.command;  // not queued: the word itself
    }
}

TEST_F(Schedule, RecordRoundTrip) {
    LOCALTIMER t("AT 06:00 REPEAT 60 COUNT 3");
    STREAMBUF s(512);
    s.SetForWrite();
    s << t;
    s.SetForRead();
    LOCALTIMER back(nullptr);
    s >> back;
    EXPECT_EQ(t.due.seconds, back.due.seconds);
    EXPECT_EQ(3, back.count);
    EXPECT_EQ(60, back.repeatMinutes);
    EXPECT_STREQ("06:00", back.startText);
    EXPECT_STREQ("60", back.repeatText);
    EXPECT_STREQ("COUNT 3", back.endText);
    EXPECT_FALSE(back.forever);
}

}  // namespace
