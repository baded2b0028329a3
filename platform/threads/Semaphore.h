#pragma once
// Recursive lock with time-out, and a manual-reset event.
#include "QvBase.h"

// The one time-out that means "no time-out" for the locks and events below.
const int QV_WAIT_FOREVER = -1;

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

    // timeout in milliseconds or QV_WAIT_FOREVER; FALSE on time-out.
    BBOOL Reserve(int timeout = QV_WAIT_FOREVER, BBOOL noTrace = FALSE);
    void Release(BBOOL force = FALSE);
    void Close(BBOOL force = FALSE);
    BBOOL Attach(MSEMAPHORE* other);
    // The calling thread holds the lock (always TRUE without a handle).
    BBOOL IsMine() const;
};

// Holds a lock for one scope (waits without time-out).
class MSEMHOLD {
public:
    explicit MSEMHOLD(MSEMAPHORE& lock) : lock(lock) { lock.Reserve(QV_WAIT_FOREVER, FALSE); }
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
    // timeout in milliseconds; QV_WAIT_FOREVER or 0 waits for ever (the trace
    // records the value as given); TRUE when signalled.
    BBOOL WaitEvent(int timeout);
    static ESEMAPHORE* WaitMultiple(ESEMAPHORE** list, int count, int timeout);
};
