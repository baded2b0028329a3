#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Probe.h"
#include "TestApp.h"
#include "zTimer.h"

using namespace wintest;

namespace {

DWORD fakeNow = 0;
DWORD FakeClock() { return fakeNow; }

class Counter : public zEvH {
public:
    std::vector<DWORD> at;
    zTimer* victim = nullptr;
    zTimer* self = nullptr;
    void tick() { at.push_back(fakeNow); }
    void killVictim() {
        at.push_back(fakeNow);
        delete victim;
        victim = nullptr;
    }
    void killSelf() {
        at.push_back(fakeNow);
        delete self;
        self = nullptr;
    }
};

class Timers : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        zTimerDev::clock = FakeClock;
    }
    void TearDown() override { zTimerDev::clock = nullptr; }
    void tickTo(DWORD start, DWORD end, DWORD step = 100) {
        for (DWORD t = start; t != end + step; t += step) {
            fakeNow = t;
            _app->timerDev->processAt(t);
        }
    }
};

TEST_F(Timers, PeriodRestartsFromTheTickThatFiredIt) {
    fakeNow = 1000;
    Counter c;
    zTimer t(&c, zTimerOf(&Counter::tick), 250);
    tickTo(1100, 2000);
    EXPECT_EQ(std::vector<DWORD>({1300, 1600, 1900}), c.at);
}

TEST_F(Timers, OneShotOfZeroFiresOnTheNextTickOnly) {
    fakeNow = 500;
    Counter c;
    zOneShotTimer t(&c, zTimerOf(&Counter::tick), 0);
    tickTo(600, 1000);
    EXPECT_EQ(std::vector<DWORD>({600}), c.at);
}

TEST_F(Timers, TickCounterWrapNeitherStallsNorFloods) {
    struct Case {
        DWORD start;
        DWORD interval;
    } cases[] = {{0xFFFFFF00u, 500}, {0xFFFFFFF0u, 100}, {0xFFFFF000u, 0x2000}};
    for (const Case& k : cases) {
        fakeNow = k.start;
        Counter c;
        zTimer t(&c, zTimerOf(&Counter::tick), k.interval);
        // Ticks of 16 ms across the wrap: the timer fires every interval, never early.
        for (DWORD n = 1; n <= 3 * (k.interval + 16) / 16; ++n) {
            fakeNow = k.start + 16 * n;
            _app->timerDev->processAt(fakeNow);
        }
        ASSERT_EQ(3u, c.at.size()) << std::hex << k.start;
        DWORD prev = k.start;
        for (DWORD at : c.at) {
            EXPECT_GE((DWORD)(at - prev), k.interval) << std::hex << k.start;
            EXPECT_LT((DWORD)(at - prev), k.interval + 16) << std::hex << k.start;
            prev = at;
        }
    }
}

TEST_F(Timers, CallbacksMayDeleteTimersDuringTheWalk) {
    fakeNow = 0;
    Counter killer, victim, selfish, bystander;
    zTimer* v = new zTimer(&victim, zTimerOf(&Counter::tick), 100);
    zTimer k(&killer, zTimerOf(&Counter::killVictim), 100);  // newer: walked before the victim
    killer.victim = v;
    selfish.self = new zOneShotTimer(&selfish, zTimerOf(&Counter::killSelf), 100);
    zOneShotTimer b(&bystander, zTimerOf(&Counter::tick), 100);
    tickTo(100, 300);
    EXPECT_EQ(3u, killer.at.size());
    EXPECT_TRUE(victim.at.empty()) << "deleted before its turn in the same walk";
    EXPECT_EQ(1u, selfish.at.size());
    EXPECT_EQ(nullptr, selfish.self);
    EXPECT_EQ(1u, bystander.at.size());
}

TEST_F(Timers, AnyTimerMessageOfAFrameRunsDueTimers) {
    Log log;
    ProbeFrame frame(&log);
    App()->mainFrame = nullptr;
    fakeNow = 10;
    Counter c;
    zTimer t(&c, zTimerOf(&Counter::tick), 50);
    fakeNow = 100;
    SendMessageA(frame.hwnd, WM_TIMER, 77, 0);  // the console's own timer id
    EXPECT_EQ(1u, c.at.size());
}

class Quitter : public zEvH {
public:
    int fired = 0;
    void tick() {
        if (++fired == 2) _app->quit();
    }
};

TEST(TimersLive, TheDeviceTicksOnTheMainFrame) {
    zTimerDev::clock = nullptr;
    Log log;
    delete _app->timerDev;  // a fresh device sets its Windows timer on the current main frame
    _app->timerDev = nullptr;
    ProbeFrame frame(&log);
    _app->mainFrame = &frame;
    Quitter q;
    DWORD t0 = GetTickCount();
    {
        zTimer t(&q, zTimerOf(&Quitter::tick), 150);
        EXPECT_EQ(1u, _app->timerDev->sysTimer);
        dlgkit::Watchdog dog;
        _app->go();
        EXPECT_FALSE(dog.fired());
    }
    EXPECT_EQ(2, q.fired);
    EXPECT_GE(GetTickCount() - t0, 300u);
    _app->mainFrame = nullptr;
    delete _app->timerDev;
    _app->timerDev = nullptr;
}

}  // namespace

namespace {

TEST(TimersLive, TheWindowsTimerWaitsForAMainFrameWindow) {
    zTimerDev::clock = nullptr;
    delete _app->timerDev;
    _app->timerDev = nullptr;
    _app->mainFrame = nullptr;
    Counter c;
    Quitter q;
    zTimer early(&q, zTimerOf(&Quitter::tick), 100);
    EXPECT_EQ(0u, _app->timerDev->sysTimer) << "no window to tick on yet";
    Log log;
    ProbeFrame frame(&log);
    EXPECT_EQ(&frame, _app->mainFrame);
    EXPECT_EQ(1u, _app->timerDev->sysTimer) << "armed once the main frame has a window";
    {
        dlgkit::Watchdog dog;
        _app->go();
        EXPECT_FALSE(dog.fired()) << "the early timer ticks without another timer made";
    }
    EXPECT_EQ(2, q.fired);
    zTimer later(&c, zTimerOf(&Counter::tick), 1000);
    EXPECT_EQ(1u, _app->timerDev->sysTimer);
    EXPECT_EQ(frame.hwnd, _app->timerDev->timerWindow);
    _app->mainFrame = nullptr;
}

}  // namespace
