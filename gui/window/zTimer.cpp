#include "zTimer.h"

#include <algorithm>

#include "zApp.h"

DWORD (*zTimerDev::clock)() = nullptr;

DWORD zTimerDev::now() { return clock ? clock() : GetTickCount(); }

zTimer::zTimer(zEvH* t, TimerProc f, DWORD ms) : zTimer(t, f, ms, 1) {}

zTimer::zTimer(zEvH* t, TimerProc f, DWORD ms, int isPeriodic)
    : target(t), fn(f), startTick(0), periodic(isPeriodic), interval(ms) {
    if (!_app) return;
    if (!_app->timerDev) _app->timerDev = new zTimerDev;
    _app->timerDev->add(this);
    startTick = zTimerDev::now();
}

zTimer::~zTimer() {
    if (_app && _app->timerDev) _app->timerDev->remove(this);
}

zOneShotTimer::zOneShotTimer(zEvH* t, TimerProc f, DWORD ms) : zTimer(t, f, ms, 0) {}

zTimerDev::~zTimerDev() {
    if (sysTimer && IsWindow(timerWindow)) KillTimer(timerWindow, 1);
    delete oneShots;
    delete periodics;
}

void zTimerDev::arm() {
    if (!sysTimer && _app && _app->mainFrame && _app->mainFrame->hwnd) {
        timerWindow = _app->mainFrame->hwnd;
        if (SetTimer(timerWindow, 1, 100, nullptr)) sysTimer = 1;
    }
}

void zTimerDev::add(zTimer* t) {
    arm();
    std::list<zTimer*>*& l = t->periodic ? periodics : oneShots;
    if (!l) l = new std::list<zTimer*>;
    l->push_front(t);
}

void zTimerDev::remove(zTimer* t) {
    for (std::list<zTimer*>* l : {periodics, oneShots}) {
        if (!l) continue;
        auto it = std::find(l->begin(), l->end(), t);
        if (it == l->end()) continue;
        // A walk may stand on the cell: blank it and let the walk's end drop it.
        if (walking) *it = nullptr;
        else l->erase(it);
        return;
    }
}

void zTimerDev::process(zEvent*) { processAt(now()); }

void zTimerDev::processAt(DWORD nowTick) {
    ++walking;
    if (oneShots) {
        for (auto it = oneShots->begin(); it != oneShots->end(); ++it) {
            zTimer* t = *it;
            if (!t || !t->isDue(nowTick)) continue;
            // Out of the list before the call, so the callback may delete or restart it.
            *it = nullptr;
            t->fire();
        }
    }
    if (periodics) {
        for (auto it = periodics->begin(); it != periodics->end(); ++it) {
            zTimer* t = *it;
            if (!t || !t->isDue(nowTick)) continue;
            t->startTick = nowTick;
            t->fire();
        }
    }
    if (--walking == 0) purge();
}

void zTimerDev::purge() {
    for (std::list<zTimer*>* l : {periodics, oneShots})
        if (l) l->remove(nullptr);
}
