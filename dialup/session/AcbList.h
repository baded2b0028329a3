#pragma once
// The sessions the module serves itself (secondary lines in chained mode,
// and a take-over in progress): one ACB per connection in a singly linked
// list. Every find, append and removal runs under the list's one critical
// section; an ACB's own fields belong to the thread serving its session.
#include "QvWindows.h"
#include "RasRecords.h"
#include "TrapContext.h"

struct ACB {
    ACB* next;                 // guarded by the list's lock
    SESSIONCTX session;        // connection, own key, bound remote-access entries
    ras::SessionInfo info;     // the start's session information
    HANDLE thread;
    DWORD threadId;
    HANDLE stopEvent;          // auto-reset; signalled by the stop call
};

// Creates the lock once and empties the list.
void _InitACBList();
// Empties the list (freeing what is left) and deletes the lock.
void _DeInitACBList();
// The ACB of the connection; when there is none and create is set, a new
// zero-filled one appended to the list. Null when none (or no memory).
ACB* _FindACBFromConn(ras::Handle conn, bool create);
// Signals the stop event of the connection's ACB under the lock, so that
// its thread cannot free it meanwhile; false when there is none.
bool _SignalACBStop(ras::Handle conn);
// Unlinks the ACB and frees it; one not in the list is left alone.
void _CleanupACB(ACB* acb);
