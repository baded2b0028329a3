#include "Timer.h"

#include "SpControl.h"

// ---- TIMER

void TIMER::Init() {
    procedure = nullptr;
    argument = nullptr;
    interval = 0;
    repeatCode = TC_NONE;
    repeating = FALSE;
    chainCell = nullptr;
    owner = nullptr;
    autoRelease = FALSE;
    passMark = 0;
}

TIMER::TIMER() { Init(); }

TIMER::TIMER(const char* when, TIMERFUNC proc, void* arg, int every) {
    Init();
    due.seconds = TIMESTAMP::parseMIME(when);
    procedure = proc;
    argument = arg;
    interval = every;
    repeating = every != 0;
}

TIMER::TIMER(int seconds, TIMERFUNC proc, void* arg, int every) {
    Init();
    due = TIMESTAMP(TIMESTAMP::Now(), seconds);
    procedure = proc;
    argument = arg;
    repeating = every != 0;
    interval = every ? every : seconds;
}

TIMER::TIMER(TIMECODE when, TIMERFUNC proc, void* arg, TIMECODE repeat) {
    Init();
    due.seconds = TIMESTAMP::FromCode(when);
    procedure = proc;
    argument = arg;
    repeatCode = repeat;
    repeating = repeat != TC_NONE;
}

TIMER::~TIMER() {
    if (owner && chainCell) owner->RemoveTimer(*this);
}

BBOOL TIMER::CallTimerFunc() {
    if (!procedure) return FALSE;
    procedure(argument);
    return TRUE;
}

BBOOL TIMER::ResetTimer(int delta) {
    if (delta == 0) {
        if (interval)
            due = TIMESTAMP(TIMESTAMP::Now(), interval);
        else if (repeatCode != TC_NONE)
            due.seconds = TIMESTAMP::FromCode(repeatCode);
        else
            due.seconds = 0;
    } else {
        due = TIMESTAMP(due.seconds ? due.seconds : TIMESTAMP::Now(), delta);
    }
    return due.seconds != 0;
}

BBOOL TIMER::SetTimeOfDay(const char* text) {
    due.seconds = TIMESTAMP::parseMIME(text);
    return due.seconds != 0;
}

BBOOL TIMER::SetTimeOfDay(TIMECODE code) {
    due.seconds = TIMESTAMP::FromCode(code);
    return due.seconds != 0;
}

// ---- TIMERCONTROL

TIMERCONTROL::TIMERCONTROL() : timers(TRUE), pass(0), popping(0) {}

TIMERCONTROL::~TIMERCONTROL() {
    timers.lock.Reserve(QV_WAIT_FOREVER);
    while (TIMER* t = timers.RemoveFirst()) {
        t->chainCell = nullptr;
        t->owner = nullptr;
        if (t->autoRelease) t->freeobj();
    }
    timers.lock.Release();
}

BBOOL TIMERCONTROL::AddTimer(TIMER* t, BBOOL reset) {
    if (!t || !t->procedure || t->chainCell) return FALSE;
    if (reset && !t->ResetTimer(0)) return FALSE;
    if (t->due.seconds == 0) return FALSE;
    timers.lock.Reserve(QV_WAIT_FOREVER);
    // After every timer due at the same second or earlier.
    bSPOINTER* c = timers.first;
    while (c->target && CHAIN<TIMER>::Cast(c->target)->due.seconds <= t->due.seconds) c = c->next;
    t->chainCell = c->target ? &timers.Add(*t, *c) : &timers.Add(*t);
    t->owner = this;
    // Queued while a pass runs: not before the next pass.
    t->passMark = popping ? pass : 0;
    timers.lock.Release();
    return TRUE;
}

BBOOL TIMERCONTROL::AddOwn(TIMER* t) {
    if (!t) return FALSE;
    t->prepare();
    t->autoRelease = TRUE;
    if (AddTimer(t, FALSE)) return TRUE;
    t->freeobj();
    return FALSE;
}

BBOOL TIMERCONTROL::AddTimer(const char* when, TIMERFUNC proc, void* arg, int every) {
    return AddOwn(new TIMER(when, proc, arg, every));
}

BBOOL TIMERCONTROL::AddTimer(int seconds, TIMERFUNC proc, void* arg, int every) {
    return AddOwn(new TIMER(seconds, proc, arg, every));
}

BBOOL TIMERCONTROL::AddTimer(TIMECODE when, TIMERFUNC proc, void* arg, TIMECODE repeat) {
    return AddOwn(new TIMER(when, proc, arg, repeat));
}

BBOOL TIMERCONTROL::RemoveTimer(TIMER& t) {
    timers.lock.Reserve(QV_WAIT_FOREVER);
    BBOOL found = t.chainCell != nullptr && t.owner == this;
    if (found) {
        timers.bRemove(*t.chainCell, !timers.removingAll);
        t.chainCell = nullptr;
        t.owner = nullptr;
    }
    timers.lock.Release();
    return found;
}

TIMER* TIMERCONTROL::GetDueTimer() {
    unsigned long now = TIMESTAMP::Now();
    TIMER* found = nullptr;
    timers.lock.Reserve(QV_WAIT_FOREVER);
    for (bSPOINTER* c = timers.first; c->target; c = c->next) {
        TIMER* t = CHAIN<TIMER>::Cast(c->target);
        if (t->due.seconds > now) break;
        if (popping && t->passMark == pass) continue;
        found = t;
        RemoveTimer(*t);
        break;
    }
    timers.lock.Release();
    return found;
}

void TIMERCONTROL::PopTimers() {
    // A nested call (from a message loop inside a timer) belongs to the same pass.
    if (popping++ == 0 && ++pass == 0) ++pass;
    while (TIMER* t = GetDueTimer()) {
        BBOOL called = t->CallTimerFunc();
        if (t->chainCell) continue;  // the procedure queued it again itself
        if (called && t->repeating && t->ResetTimer(0) && AddTimer(t, FALSE)) continue;
        if (t->autoRelease) t->freeobj();
    }
    --popping;
}
