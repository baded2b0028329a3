#pragma once
// Framework timers: all share one 100 ms Windows timer on the main frame.
#include "QvWindows.h"

#include <list>

#include "zWindow.h"

typedef void (zEvH::*TimerProc)();

template <class T>
TimerProc zTimerOf(void (T::*f)()) {
    return static_cast<TimerProc>(f);
}

class zTimer {
public:
    zEvH* target;
    TimerProc fn;
    DWORD startTick;
    int periodic;
    DWORD interval;

    zTimer(zEvH* t, TimerProc f, DWORD ms);
    virtual ~zTimer();
    void fire() { (target->*fn)(); }
    // Due once interval ms have passed since the start; right across the tick-counter wrap.
    bool isDue(DWORD now) const { return (DWORD)(now - startTick) >= interval; }

protected:
    zTimer(zEvH* t, TimerProc f, DWORD ms, int isPeriodic);
};

class zOneShotTimer : public zTimer {
public:
    zOneShotTimer(zEvH* t, TimerProc f, DWORD ms);
};

class zTimerDev {
public:
    std::list<zTimer*>* oneShots = nullptr;
    std::list<zTimer*>* periodics = nullptr;
    UINT_PTR sysTimer = 0;
    HWND timerWindow = 0;

    zTimerDev() {}
    ~zTimerDev();
    void add(zTimer* t);
    void remove(zTimer* t);
    // Starts the 100 ms system timer on the main frame once that has a window;
    // the frame calls it when its window is made, for timers made before.
    void arm();
    void process(zEvent* e);
    void processAt(DWORD now);

    // Tests inject a clock; 0 means GetTickCount.
    static DWORD (*clock)();
    static DWORD now();

private:
    int walking = 0;
    void purge();
};
