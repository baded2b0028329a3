#pragma once
// Recursive lock with time-out, and a manual-reset event.
#include "QvBase.h"

// The one time-out that means "no time-out" for the locks and events below.
const int QV_WAIT_FOREVER = -1;

// MSEMAPHORE's create argument for a lock that only threads of this process take,
// on a hot path: a critical section instead of a kernel mutex, so that an uncontended
// Reserve and Release stay in the process (under Wine a mutex costs two wineserver
// round trips). Unlike a mutex it is not released when a thread ends holding it.
const BBOOL MSEM_LOCAL = 2;

class MSEMAPHORE {
public:
    void* handle;    // the mutex (or critical section when local), or null: then every operation succeeds at once
    unsigned long owner;
    long depth;
    long valid;      // 1 a mutex, MSEM_LOCAL a critical section, 0 none
    long contended;  // the holder had to wait (kept for the trace)
    long ownsHandle;
    long held;

    // create: FALSE none, TRUE a mutex, MSEM_LOCAL a critical section.
    explicit MSEMAPHORE(BBOOL create = TRUE);
    ~MSEMAPHORE();
    MSEMAPHORE(const MSEMAPHORE&) = delete;
    MSEMAPHORE& operator=(const MSEMAPHORE&) = delete;

    // timeout in milliseconds or QV_WAIT_FOREVER; FALSE on time-out.
    BBOOL Reserve(int timeout = QV_WAIT_FOREVER, BBOOL noTrace = FALSE);
    void Release(BBOOL force = FALSE);
    void Close(BBOOL force = FALSE);
    BBOOL Attach(MSEMAPHORE* other);
    // The calling thread holds the lock (always TRUE without a handle).
    BBOOL IsMine() const;
    // The handle is a critical section (made with MSEM_LOCAL, or attached to one).
    BBOOL IsLocal() const { return valid == MSEM_LOCAL; }

private:
    // A local lock's wait: for ever, or tried until timeout milliseconds have passed.
    BBOOL EnterSection(int timeout);
};

// Holds a lock for one scope (waits without time-out). noTrace for the locks
// the trace itself takes, whose waits must not be traced.
class MSEMHOLD {
public:
    explicit MSEMHOLD(MSEMAPHORE& lock, BBOOL noTrace = FALSE) : lock(lock) { lock.Reserve(QV_WAIT_FOREVER, noTrace); }
    ~MSEMHOLD() { lock.Release(FALSE); }
    MSEMHOLD(const MSEMHOLD&) = delete;
    MSEMHOLD& operator=(const MSEMHOLD&) = delete;

private:
    MSEMAPHORE& lock;
};

class ESEMAPHORE {
public:
    void* handle;
    long valid;
    long posted;  // the state: with a handle, the system event's as of its last post or reset
    long reserved;

    explicit ESEMAPHORE(BBOOL create = TRUE);
    ~ESEMAPHORE();
    ESEMAPHORE(const ESEMAPHORE&) = delete;
    ESEMAPHORE& operator=(const ESEMAPHORE&) = delete;

    void PostEvent();
    void ResetEvent();
    BBOOL QueryEvent();
    // timeout in milliseconds or QV_WAIT_FOREVER; TRUE when signalled. Any
    // value below 1 waits for ever too (0 included), as callers of old expect.
    BBOOL WaitEvent(int timeout);
    static ESEMAPHORE* WaitMultiple(ESEMAPHORE** list, int count, int timeout);
};
