#pragma once
// Recursive lock with time-out, and a manual-reset event.
#include "QvBase.h"

class MSEMAPHORE {
public:
    void* handle;    // the mutex, or null: then every operation succeeds at once
    unsigned long owner;
    long depth;
    long valid;
    long contended;  // the holder had to wait (kept for the trace)
    long ownsHandle;
    long held;

    explicit MSEMAPHORE(BBOOL create = TRUE);
    ~MSEMAPHORE();
    MSEMAPHORE(const MSEMAPHORE&) = delete;
    MSEMAPHORE& operator=(const MSEMAPHORE&) = delete;

    // timeout in milliseconds, -1 waits for ever; FALSE on time-out.
    BBOOL Reserve(int timeout = -1, BBOOL noTrace = FALSE);
    void Release(BBOOL force = FALSE);
    void Close(BBOOL force = FALSE);
    BBOOL Attach(MSEMAPHORE* other);
    // The calling thread holds the lock (always TRUE without a handle).
    BBOOL IsMine() const;
};

// Holds a lock for one scope (waits without time-out).
class MSEMHOLD {
public:
    explicit MSEMHOLD(MSEMAPHORE& lock) : lock(lock) { lock.Reserve(-1, FALSE); }
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
    long posted;  // the state when there is no handle
    long reserved;

    explicit ESEMAPHORE(BBOOL create = TRUE);
    ~ESEMAPHORE();
    ESEMAPHORE(const ESEMAPHORE&) = delete;
    ESEMAPHORE& operator=(const ESEMAPHORE&) = delete;

    void PostEvent();
    void ResetEvent();
    BBOOL QueryEvent();
    // timeout below 1 waits for ever; TRUE when signalled.
    BBOOL WaitEvent(int timeout);
    static ESEMAPHORE* WaitMultiple(ESEMAPHORE** list, int count, int timeout);
};
