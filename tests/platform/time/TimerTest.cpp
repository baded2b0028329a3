#include <gtest/gtest.h>

#include <string>

#include "SpControl.h"
#include "Timer.h"

namespace {

unsigned long fakeNow = 0;
unsigned long FakeClock() { return fakeNow; }

std::string runLog;
void Note(void* arg) { runLog += static_cast<const char*>(arg); }

class TimerTest : public testing::Test {
protected:
    void SetUp() override {
        fakeNow = 1000000000UL;
        TIMESTAMP::SetNowSource(FakeClock);
        runLog.clear();
        control = new TIMERCONTROL;
        control->prepare();
    }
    void TearDown() override {
        control->freeobj();
        TIMESTAMP::SetNowSource(nullptr);
    }
    TIMERCONTROL* control = nullptr;
};

}  // namespace

TEST_F(TimerTest, RunsDueTimersInDueThenInsertionOrder) {
    char a[] = "a", b[] = "b", c[] = "c", d[] = "d";
    ASSERT_TRUE(control->AddTimer(5, Note, c, 0));
    ASSERT_TRUE(control->AddTimer(2, Note, a, 0));
    ASSERT_TRUE(control->AddTimer(5, Note, d, 0));
    ASSERT_TRUE(control->AddTimer(2, Note, b, 0));
    control->PopTimers();
    EXPECT_EQ("", runLog);
    fakeNow += 2;
    control->PopTimers();
    EXPECT_EQ("ab", runLog);
    fakeNow += 10;
    control->PopTimers();
    EXPECT_EQ("abcd", runLog);
    EXPECT_EQ(0, control->timers.Count());  // one-shot timers are released when done
}

TEST_F(TimerTest, RepeatingTimersAreQueuedAgain) {
    char r[] = "r";
    ASSERT_TRUE(control->AddTimer(10, Note, r, 30));
    fakeNow += 10;
    control->PopTimers();
    ASSERT_EQ(1, control->timers.Count());
    EXPECT_EQ(fakeNow + 30, control->timers.First()->due.seconds);
    fakeNow += 29;
    control->PopTimers();
    fakeNow += 1;
    control->PopTimers();
    EXPECT_EQ("rr", runLog);
}

TEST_F(TimerTest, TimerDueAgainAtOnceWaitsForTheNextPass) {
    char n[] = "n";
    ASSERT_TRUE(control->AddTimer(TC_NOW, Note, n, TC_NOW));
    control->PopTimers();
    EXPECT_EQ("n", runLog);
    control->PopTimers();
    control->PopTimers();
    EXPECT_EQ("nnn", runLog);
    EXPECT_EQ(1, control->timers.Count());
}

namespace {
TIMERCONTROL* nestedControl = nullptr;
void NoteAndPop(void* arg) {
    runLog += static_cast<const char*>(arg);
    nestedControl->PopTimers();  // as a message loop inside a timer would
}
}  // namespace

TEST_F(TimerTest, NestedPassDoesNotRerunTimersOfTheOuterOne) {
    char n[] = "n", m[] = "m";
    nestedControl = control;
    ASSERT_TRUE(control->AddTimer(TC_NOW, Note, n, TC_NOW));
    ASSERT_TRUE(control->AddTimer(TC_NOW, NoteAndPop, m, TC_NONE));
    control->PopTimers();
    EXPECT_EQ("nm", runLog);
    control->PopTimers();
    EXPECT_EQ("nmn", runLog);
}

TEST_F(TimerTest, AddAndRemoveRules) {
    char x[] = "x";
    TIMER noProc(5, nullptr, x, 0);
    TIMER noDue;
    noDue.procedure = Note;
    TIMER fine(5, Note, x, 0);
    EXPECT_FALSE(control->AddTimer(&noProc, FALSE));
    EXPECT_FALSE(control->AddTimer(&noDue, FALSE));
    EXPECT_FALSE(control->AddTimer(nullptr, FALSE));
    EXPECT_TRUE(control->AddTimer(&fine, FALSE));
    EXPECT_TRUE(fine.IsQueued());
    EXPECT_FALSE(control->AddTimer(&fine, FALSE));  // already queued
    EXPECT_TRUE(control->RemoveTimer(fine));
    EXPECT_FALSE(control->RemoveTimer(fine));
    EXPECT_FALSE(control->AddTimer("not a date", Note, x, 0));

    // reset: the next due time comes from the interval
    fine.due.seconds = 0;
    EXPECT_TRUE(control->AddTimer(&fine, TRUE));
    EXPECT_EQ(fakeNow + 5, fine.due.seconds);
    {
        TIMER scoped(1, Note, x, 0);
        EXPECT_TRUE(control->AddTimer(&scoped, FALSE));
        EXPECT_EQ(2, control->timers.Count());
    }
    EXPECT_EQ(1, control->timers.Count());  // a destroyed timer leaves its chain
    EXPECT_TRUE(control->RemoveTimer(fine));
}

TEST_F(TimerTest, DueTimesFromEachConstructor) {
    TIMER fromText("Sun, 06 Nov 1994 08:49:37 GMT", Note, nullptr, 60);
    EXPECT_EQ(784111777UL, fromText.due.seconds);
    EXPECT_TRUE(fromText.repeating);
    TIMER fromSeconds(45, Note, nullptr, 0);
    EXPECT_EQ(fakeNow + 45, fromSeconds.due.seconds);
    EXPECT_FALSE(fromSeconds.repeating);
    EXPECT_EQ(45, fromSeconds.interval);
    TIMER fromCode(TC_LATEST, Note, nullptr, TC_NONE);
    EXPECT_EQ(0xFFFFFFFFUL, fromCode.due.seconds);
    EXPECT_FALSE(fromCode.repeating);

    EXPECT_TRUE(fromSeconds.ResetTimer(-40));
    EXPECT_EQ(fakeNow + 5, fromSeconds.due.seconds);
    EXPECT_TRUE(fromCode.SetTimeOfDay(TC_EARLIEST));
    EXPECT_EQ(1UL, fromCode.due.seconds);
    EXPECT_FALSE(fromCode.SetTimeOfDay("garbage"));
    EXPECT_FALSE(fromCode.ResetTimer(0));  // neither interval nor repeat code
}

TEST_F(TimerTest, LibraryRefreshesDaylightSavingAtLocalMidnight) {
    TIMERCONTROL& timers = _pSupport->timers;
    ASSERT_EQ(1, timers.timers.Count());
    TIMER* midnight = timers.timers.First();
    EXPECT_EQ(TC_MIDNIGHT, midnight->repeatCode);
    EXPECT_TRUE(midnight->repeating);

    long saved = _pSupport->daylightSaving;
    fakeNow = midnight->due.seconds + 200 * 86400UL;  // well past it, in another season
    TIMESTAMP::Initialize(nullptr);
    long expected = _pSupport->daylightSaving;
    _pSupport->daylightSaving = !expected;
    timers.PopTimers();
    EXPECT_EQ(expected, _pSupport->daylightSaving);
    ASSERT_EQ(1, timers.timers.Count());
    EXPECT_EQ(TIMESTAMP(TC_MIDNIGHT).seconds, timers.timers.First()->due.seconds);
    _pSupport->daylightSaving = saved;
}
