#include "Semaphore.h"

#include "QvWindows.h"

#include <new>

#include "SpControl.h"
#include "TaskAbend.h"

namespace {
CRITICAL_SECTION* SectionOf(void* handle) { return static_cast<CRITICAL_SECTION*>(handle); }

// An event's posts and resets go one at a time under one of these, picked by its address:
// its recorded state then always matches the system's between them, and a query, a post
// of a posted event or a reset of an unposted one needs no system call (each costs a
// wineserver round trip under Wine).
const int kEventLocks = 64;
CRITICAL_SECTION eventLocks[kEventLocks];
volatile LONG eventLocksMade = 0;  // 0 not yet, 1 being made, 2 made

CRITICAL_SECTION* EventLock(const void* event) {
    if (InterlockedCompareExchange(&eventLocksMade, 2, 2) != 2) {
        if (InterlockedCompareExchange(&eventLocksMade, 1, 0) == 0) {
            for (CRITICAL_SECTION& s : eventLocks) InitializeCriticalSection(&s);
            InterlockedExchange(&eventLocksMade, 2);
        } else {
            while (InterlockedCompareExchange(&eventLocksMade, 2, 2) != 2) Sleep(0);
        }
    }
    return &eventLocks[((ULONG_PTR)event / sizeof(ESEMAPHORE)) % kEventLocks];
}

class EventHold {
public:
    explicit EventHold(const void* event) : section(EventLock(event)) { EnterCriticalSection(section); }
    ~EventHold() { LeaveCriticalSection(section); }
    EventHold(const EventHold&) = delete;
    EventHold& operator=(const EventHold&) = delete;

private:
    CRITICAL_SECTION* section;
};
}  // namespace

MSEMAPHORE::MSEMAPHORE(BBOOL create)
    : handle(nullptr), owner(0), depth(0), valid(0), contended(0), ownsHandle(0), held(0) {
    if (!create) return;
    if (create == MSEM_LOCAL) {
        CRITICAL_SECTION* section = new (std::nothrow) CRITICAL_SECTION;
        if (!section) _Task_Abend(ABEND_SEM104, ERROR_NOT_ENOUGH_MEMORY);
        InitializeCriticalSection(section);
        handle = section;
        valid = MSEM_LOCAL;
    } else {
        handle = CreateMutexA(nullptr, FALSE, nullptr);
    }
    if (!handle) _Task_Abend(ABEND_SEM104, GetLastError());
    if (!valid) valid = 1;
    ownsHandle = 1;
}

MSEMAPHORE::~MSEMAPHORE() { Close(FALSE); }

BBOOL MSEMAPHORE::Reserve(int timeout, BBOOL noTrace) {
    if (!handle) return TRUE;
    DWORD me = GetCurrentThreadId();
    if (held && owner == me) {
        ++depth;
        return TRUE;
    }
    // Whether this caller had to wait is known only once it holds the lock:
    // contended describes the holder, so it is written after the wait.
    bool got = false;
    int waited = contended;  // tracing off: the flag keeps its value
    if (!_pSupport || noTrace) {
        waited = 0;
    } else if (_pSupport->trace.IsTracing(TRACE_TASK)) {
        DWORD r = IsLocal() ? (TryEnterCriticalSection(SectionOf(handle)) ? WAIT_OBJECT_0 : WAIT_TIMEOUT) : WaitForSingleObject(handle, 1);
        if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) {
            waited = 0;
            got = true;
        } else {
            waited = 1;
            QV_TRACE(TRACE_TASK, TRACE_TASK_SEM_RESERVE, "ll", handle, owner);
        }
    }
    if (!got && IsLocal()) {
        if (!EnterSection(timeout)) return FALSE;
    } else if (!got) {
        DWORD r = WaitForSingleObject(handle, timeout < 0 ? INFINITE : (DWORD)timeout);
        if (r == WAIT_TIMEOUT) return FALSE;
        if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) _Task_Abend(ABEND_SEM101, GetLastError());
    }
    contended = waited;
    owner = me;
    held = 1;
    depth = 1;
    return TRUE;
}

void MSEMAPHORE::Release(BBOOL force) {
    if (!handle) return;
    DWORD me = GetCurrentThreadId();
    if (!force && !(held && owner == me)) _Task_Abend(ABEND_SEM105, owner);
    if (--depth > 0) return;
    if (contended) QV_TRACE(TRACE_TASK, TRACE_TASK_SEM_RELEASE, "ll", handle, owner);
    depth = 0;
    held = 0;
    owner = 0;
    if (IsLocal()) {
        // As with the mutex, a forced release by a thread that does not hold it changes nothing.
        CRITICAL_SECTION* section = SectionOf(handle);
        if ((DWORD)(ULONG_PTR)section->OwningThread == me) LeaveCriticalSection(section);
        return;
    }
    // A forced release from a thread that never held the mutex is refused by
    // the system; that is what force asks to overlook.
    if (!ReleaseMutex(handle) && !force) _Task_Abend(ABEND_SEM102, GetLastError());
}

BBOOL MSEMAPHORE::EnterSection(int timeout) {
    if (timeout < 0) {
        EnterCriticalSection(SectionOf(handle));
        return TRUE;
    }
    // A critical section has no timed wait: try until the time is up.
    DWORD start = GetTickCount();
    while (!TryEnterCriticalSection(SectionOf(handle))) {
        if (GetTickCount() - start >= (DWORD)timeout) return FALSE;
        Sleep(1);
    }
    return TRUE;
}

void MSEMAPHORE::Close(BBOOL force) {
    if (handle && ownsHandle) {
        if (held && !force) _Task_Abend(ABEND_SEM106, owner);
        if (IsLocal()) {
            DeleteCriticalSection(SectionOf(handle));
            delete SectionOf(handle);
        } else {
            CloseHandle(handle);
        }
    }
    handle = nullptr;
    valid = 0;
    ownsHandle = 0;
    held = 0;
    owner = 0;
    depth = 0;
}

BBOOL MSEMAPHORE::Attach(MSEMAPHORE* other) {
    if (ownsHandle) return FALSE;
    handle = other ? other->handle : nullptr;
    valid = other ? other->valid : 0;
    return handle != nullptr;
}

BBOOL MSEMAPHORE::IsMine() const { return !handle || (held && owner == GetCurrentThreadId()); }

ESEMAPHORE::ESEMAPHORE(BBOOL create) : handle(nullptr), valid(0), posted(0), reserved(0) {
    if (!create) return;
    handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!handle) _Task_Abend(ABEND_SEM104, GetLastError());
    valid = 1;
}

ESEMAPHORE::~ESEMAPHORE() {
    if (handle) CloseHandle(handle);
    handle = nullptr;
    valid = 0;
}

void ESEMAPHORE::PostEvent() {
    if (!handle) {
        posted = 1;
        return;
    }
    QV_TRACE(TRACE_TASK, TRACE_TASK_EVENT_POST, "ll", handle, GetCurrentThreadId());
    DWORD failed = 0;
    {
        EventHold hold(this);
        if (!posted) {
            if (SetEvent(handle))
                InterlockedExchange(&posted, 1);
            else
                failed = GetLastError();
        }
    }
    if (failed) QV_TRACE(TRACE_TASK, TRACE_TASK_POST_ERROR, "lli", handle, GetCurrentThreadId(), (int)failed);
}

void ESEMAPHORE::ResetEvent() {
    if (!handle) {
        posted = 0;
        return;
    }
    EventHold hold(this);
    if (posted) {
        InterlockedExchange(&posted, 0);
        ::ResetEvent(handle);
    }
}

BBOOL ESEMAPHORE::QueryEvent() { return InterlockedCompareExchange(&posted, 0, 0) != 0; }

BBOOL ESEMAPHORE::WaitEvent(int timeout) {
    if (!handle) return FALSE;
    QV_TRACE(TRACE_TASK, TRACE_TASK_EVENT_WAIT, "lli", handle, GetCurrentThreadId(), timeout);
    DWORD r = QueryEvent() ? WAIT_OBJECT_0 : WaitForSingleObject(handle, timeout < 1 ? INFINITE : (DWORD)timeout);
    QV_TRACE(TRACE_TASK, TRACE_TASK_EVENT_WAKE, "lli", handle, GetCurrentThreadId(), (int)r);
    return r == WAIT_OBJECT_0;
}

ESEMAPHORE* ESEMAPHORE::WaitMultiple(ESEMAPHORE** list, int count, int timeout) {
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    ESEMAPHORE* owners[MAXIMUM_WAIT_OBJECTS];
    DWORD n = 0;
    for (int i = 0; list && i < count && n < MAXIMUM_WAIT_OBJECTS; ++i) {
        if (list[i] && list[i]->handle) {
            handles[n] = list[i]->handle;
            owners[n] = list[i];
            ++n;
        }
    }
    if (n == 0) return nullptr;
    DWORD r = WaitForMultipleObjects(n, handles, FALSE, timeout < 1 ? INFINITE : (DWORD)timeout);
    if (r < WAIT_OBJECT_0 + n) return owners[r - WAIT_OBJECT_0];
    if (r >= WAIT_ABANDONED_0 && r < WAIT_ABANDONED_0 + n) return owners[r - WAIT_ABANDONED_0];
    return nullptr;
}
