#pragma once
// One-second timers kept in due order and run by whoever calls PopTimers
// (the console's window timer, on the GUI thread).
#include "BaseItem.h"
#include "Chain.h"
#include "TimeStamp.h"

typedef void (*TIMERFUNC)(void* argument);

class TIMER : public virtual STORABLE {
public:
    TIMESTAMP due;
    TIMERFUNC procedure;
    void* argument;
    long interval;         // seconds between runs, 0 = none
    TIMECODE repeatCode;   // next due time when there is no interval
    BBOOL repeating;
    bSPOINTER* chainCell;  // cell in the owner's chain, or null
    TIMERCONTROL* owner;
    BBOOL autoRelease;     // made by AddTimer: released when done
    unsigned long passMark;  // the PopTimers pass that queued it

    TIMER();
    TIMER(const char* when, TIMERFUNC procedure, void* argument, int interval);
    TIMER(int seconds, TIMERFUNC procedure, void* argument, int interval);
    TIMER(TIMECODE when, TIMERFUNC procedure, void* argument, TIMECODE repeatCode);
    ~TIMER() override;

    BBOOL CallTimerFunc();
    BBOOL ResetTimer(int delta);
    BBOOL SetTimeOfDay(const char* text);
    BBOOL SetTimeOfDay(TIMECODE code);
    BBOOL IsQueued() const { return chainCell != nullptr; }

    QV_ITEM_IDENTITY(TIMER, "TIMER", "TIMR")

private:
    void Init();
};

class TIMERCONTROL : public BASEITEM {
public:
    CHAIN<TIMER> timers;  // due time ascending

    TIMERCONTROL();
    ~TIMERCONTROL() override;  // lets go of every timer, releasing its own ones

    BBOOL AddTimer(TIMER* timer, BBOOL reset);
    BBOOL AddTimer(const char* when, TIMERFUNC procedure, void* argument, int interval);
    BBOOL AddTimer(int seconds, TIMERFUNC procedure, void* argument, int interval);
    BBOOL AddTimer(TIMECODE when, TIMERFUNC procedure, void* argument, TIMECODE repeatCode);
    BBOOL RemoveTimer(TIMER& timer);
    // Takes the first timer that is due out of the chain; null when none.
    TIMER* GetDueTimer();
    void PopTimers();

    QV_ITEM_IDENTITY(TIMERCONTROL, "TIMERCONTROL", "TCTR")

private:
    BBOOL AddOwn(TIMER* timer);
    unsigned long pass;  // number of the running PopTimers pass
    long popping;        // PopTimers calls under way (a timer may run a message loop)
};
