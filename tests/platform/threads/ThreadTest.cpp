#include <gtest/gtest.h>

#include "QvWindows.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "PgmThread.h"
#include "Semaphore.h"
#include "SpControl.h"
#include "TaskAbend.h"
#include "WaitFor.h"

namespace {

struct SHARED {
    MSEMAPHORE* lock;
    BBOOL got;
    ESEMAPHORE* done;
};

void TryReserve(void* p) {
    SHARED* s = static_cast<SHARED*>(p);
    s->got = s->lock->Reserve(50, FALSE);
    if (s->got) s->lock->Release(FALSE);
    s->done->PostEvent();
}

void WaitForEvent(void* p) { static_cast<ESEMAPHORE*>(p)->WaitEvent(QV_WAIT_FOREVER); }

void Sleeper(void*) { Sleep(INFINITE); }

void ReadStrings(void* p) {
    std::string* out = static_cast<std::string*>(p);
    *out = _pSupport->module.GetRCString(1);
}

DWORD WINAPI Unregistered(LPVOID p) {
    *static_cast<std::string*>(p) = std::string("[") + _pSupport->module.GetRCString(1) + "]";
    return 0;
}

// Inside the scope, outside it, and a program thread's own registration kept.
DWORD WINAPI AdoptedForAScope(LPVOID p) {
    std::string& out = *static_cast<std::string*>(p);
    {
        PGMTHREADSCOPE scope;
        out = std::string("[") + _pSupport->module.GetRCString(1) + "]";
    }
    out += std::string("[") + _pSupport->module.GetRCString(1) + "]";
    out += PGMTHREAD::GetCurrent() ? "registered" : "gone";
    return 0;
}

void ScopeOnAProgramThread(void* p) {
    PGMTHREAD* self = PGMTHREAD::GetCurrent();
    { PGMTHREADSCOPE scope; }
    *static_cast<bool*>(p) = self && PGMTHREAD::GetCurrent() == self;
}

}  // namespace

TEST(Semaphore, WithoutHandleNeverBlocks) {
    MSEMAPHORE m(FALSE);
    EXPECT_TRUE(m.Reserve(QV_WAIT_FOREVER, FALSE));
    m.Release(FALSE);
    m.Release(FALSE);
    EXPECT_FALSE(m.held);
}

// Both kinds of lock: a kernel mutex and a process-local critical section.
const BBOOL LockKinds[] = {TRUE, MSEM_LOCAL};

TEST(Semaphore, RecursionHoldsUntilLastReleaseAndOthersTimeOut) {
    for (BBOOL kind : LockKinds) {
        MSEMAPHORE m(kind);
        EXPECT_EQ(kind == MSEM_LOCAL, m.IsLocal());
        ESEMAPHORE done(TRUE);
        SHARED s = {&m, TRUE, &done};
        ASSERT_TRUE(m.Reserve(QV_WAIT_FOREVER, FALSE));
        ASSERT_TRUE(m.Reserve(QV_WAIT_FOREVER, FALSE));
        m.Release(FALSE);
        EXPECT_EQ(1, m.depth);
        PGMTHREAD* t = new PGMTHREAD(TryReserve, &s, nullptr, FALSE);
        EXPECT_TRUE(done.WaitEvent(30000));
        EXPECT_FALSE(s.got) << kind;
        t->Wait();
        m.Release(FALSE);
        done.ResetEvent();
        ASSERT_TRUE(t->StartUp(nullptr, nullptr));
        EXPECT_TRUE(done.WaitEvent(30000));
        t->Wait();
        EXPECT_TRUE(s.got) << kind;
        t->freeobj();
    }
}

TEST(Semaphore, EventsPostWaitAndWaitMultiple) {
    ESEMAPHORE a(TRUE), b(TRUE), none(FALSE);
    EXPECT_FALSE(a.QueryEvent());
    EXPECT_FALSE(a.WaitEvent(20));
    ESEMAPHORE* list[] = {&none, &a, &b};
    EXPECT_EQ(nullptr, ESEMAPHORE::WaitMultiple(list, 3, 20));
    b.PostEvent();
    EXPECT_EQ(&b, ESEMAPHORE::WaitMultiple(list, 3, 1000));
    EXPECT_TRUE(b.QueryEvent());  // manual reset: stays signalled
    b.ResetEvent();
    EXPECT_FALSE(b.QueryEvent());
    // The state kept beside the system's event matches it through repeated posts and resets.
    const int steps[] = {1, 1, 0, 0, 1, 0, 1};
    for (int post : steps) {
        if (post)
            a.PostEvent();
        else
            a.ResetEvent();
        EXPECT_EQ(post != 0, a.QueryEvent() != 0);
        EXPECT_EQ(post ? WAIT_OBJECT_0 : WAIT_TIMEOUT, WaitForSingleObject(a.handle, 0));
        EXPECT_EQ(post != 0, a.WaitEvent(10) != 0);
    }
    none.PostEvent();
    EXPECT_TRUE(none.QueryEvent());
    EXPECT_FALSE(none.WaitEvent(10));
}

TEST(Threads, RegisterRunStopAndWait) {
    long before = _pSupport->threads.Count();
    ESEMAPHORE ev(TRUE);
    PGMTHREAD* slot = nullptr;
    PGMTHREAD* t = new PGMTHREAD(WaitForEvent, &ev, &slot, FALSE);
    EXPECT_EQ(before + 1, _pSupport->threads.Count());
    ASSERT_NE(0u, t->threadId);
    EXPECT_EQ(t, slot);
    EXPECT_EQ(t, PGMTHREAD::FindThread(t->threadId));
    EXPECT_FALSE(t->StartUp(WaitForEvent, &ev));  // already running
    ev.PostEvent();
    t->Wait();
    EXPECT_EQ(0u, t->threadId);
    EXPECT_EQ(nullptr, slot);
    t->freeobj();
    EXPECT_EQ(before, _pSupport->threads.Count());

    // Stopped by force on Wait, with its stop event posted.
    ESEMAPHORE stopped(TRUE);
    PGMTHREAD* s = new PGMTHREAD(Sleeper, nullptr, &slot, FALSE);
    s->stopOnWait = 1;
    s->stopEvent = &stopped;
    s->Wait();
    EXPECT_TRUE(stopped.QueryEvent());
    EXPECT_EQ(nullptr, slot);
    EXPECT_FALSE(PGMTHREAD::GetCurrent() == s);
    s->freeobj();
}

TEST(Threads, SelfReleasingThreadsLeaveNoHandlesBehind) {
    typedef DWORD(WINAPI * COUNTFN)(HANDLE, PDWORD);
    COUNTFN count = reinterpret_cast<COUNTFN>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount")));
    if (!count) GTEST_SKIP() << "no handle count on this system";
    DWORD before = 0, after = 0;
    count(GetCurrentProcess(), &before);
    for (int i = 0; i < 40; ++i) {
        ESEMAPHORE ev(TRUE);
        PGMTHREAD* t = new PGMTHREAD(WaitForEvent, &ev, nullptr, TRUE);
        unsigned long id = t->threadId;
        ev.PostEvent();
        PGMTHREAD::WaitByID(id);  // the object may release itself meanwhile
    }
    // Each thread's own handle goes as it ends, shortly after its id is released.
    EXPECT_TRUE(qvtest::WaitFor([&] { return count(GetCurrentProcess(), &after) && after < before + 10; }))
        << before << " handles before, " << after << " after";
}

TEST(Module, GetRCStringRotatesThreeBuffersAndCuts) {
    PGMMODULE& m = _pSupport->module;
    char* first = m.GetRCString(1);
    EXPECT_STREQ("Test string one", first);
    char* second = m.GetRCString(2);
    char* third = m.GetRCString(3);
    EXPECT_STREQ("Test string one", first);  // still valid after two more calls
    EXPECT_STREQ("Quorvane", third);
    char* fourth = m.GetRCString(90);
    EXPECT_EQ(first, fourth);
    EXPECT_NE(second, fourth);
    EXPECT_EQ(254u, std::strlen(fourth));
    EXPECT_EQ(0, std::strncmp(fourth, "0123456789", 10));
    EXPECT_STREQ("", m.GetRCString(77));  // missing string
}

TEST(Module, GetRCStringOnThreads) {
    std::string fromPgm, fromPlain;
    PGMTHREAD* t = new PGMTHREAD(ReadStrings, &fromPgm, nullptr, FALSE);
    t->Wait();
    t->freeobj();
    EXPECT_EQ("Test string one", fromPgm);
    HANDLE h = CreateThread(nullptr, 0, Unregistered, &fromPlain, 0, nullptr);
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    EXPECT_EQ("[]", fromPlain);

    std::string adopted;
    h = CreateThread(nullptr, 0, AdoptedForAScope, &adopted, 0, nullptr);
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    EXPECT_EQ("[Test string one][]gone", adopted);
    bool kept = false;
    t = new PGMTHREAD(ScopeOnAProgramThread, &kept, nullptr, FALSE);
    t->Wait();
    t->freeobj();
    EXPECT_TRUE(kept) << "a program thread stays registered after a scope";
}

// A thread object still registered at exit is unlinked, not a fatal error.
QV_CHILD_CASE(ExitWithRegisteredThreads) {
    new PGMTHREAD(nullptr, nullptr, nullptr, FALSE);
    new PGMTHREAD(Sleeper, nullptr, nullptr, FALSE);
    std::printf("leaving\n");
}

TEST(Threads, OrdinaryExitWithRegisteredThreads) {
    auto r = qvtest::RunChild("ExitWithRegisteredThreads");
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("leaving"));
    EXPECT_EQ(std::string::npos, r.output.find(ABEND_CNT101)) << r.output;
}

namespace {
void ReserveForever(void* p) {
    SHARED* s = static_cast<SHARED*>(p);
    s->got = s->lock->Reserve(QV_WAIT_FOREVER, FALSE);
    s->lock->Release(FALSE);
}

BBOOL CollectTask(const TRACERECORD* r, void* ctx) {
    if (r->category == TRACE_TASK) static_cast<std::vector<int>*>(ctx)->push_back(r->event);
    return TRUE;
}
}  // namespace

TEST(Semaphore, ContentionIsTracedWhenTaskTracingIsOn) {
    TRACETABLE& trace = _pSupport->trace;
    ASSERT_TRUE(trace.StartTrace(TRACE_TASK, 0));
    MSEMAPHORE m(TRUE);
    ESEMAPHORE done(TRUE);
    SHARED s = {&m, FALSE, &done};
    m.Reserve(QV_WAIT_FOREVER, FALSE);
    PGMTHREAD* t = new PGMTHREAD(ReserveForever, &s, nullptr, FALSE);
    std::vector<int> events;
    for (int i = 0; i < 3000 && std::find(events.begin(), events.end(), TRACE_TASK_SEM_RESERVE) == events.end(); ++i) {
        Sleep(10);  // until the other thread has found the lock taken
        events.clear();
        trace.Walk(CollectTask, &events);
    }
    m.Release(FALSE);
    t->Wait();
    events.clear();
    trace.Walk(CollectTask, &events);
    trace.StopTrace();
    trace.categories = 0;
    t->freeobj();
    EXPECT_TRUE(s.got);
    for (int e : {TRACE_TASK_SEM_RESERVE, TRACE_TASK_SEM_RELEASE, TRACE_TASK_THREAD_STARTED})
        EXPECT_NE(events.end(), std::find(events.begin(), events.end(), e)) << "task event " << e;
}

TEST(Module, GetResourceCopiesRawData) {
    PGMMODULE& m = _pSupport->module;
    EXPECT_EQ(18, m.GetResource("QVBLOB", BUFFER(nullptr, 0)));  // size only
    char small[4];
    EXPECT_EQ(4, m.GetResource("QVBLOB", BUFFER(small, sizeof small)));
    EXPECT_EQ(0, std::strncmp(small, "raw ", 4));
    EXPECT_EQ(0, m.GetResource("NOSUCH", BUFFER(small, sizeof small)));
}

TEST(Semaphore, AttachedLockSharesTheOwnersMutex) {
    for (BBOOL kind : LockKinds) {
        MSEMAPHORE owner(kind), borrower(FALSE), own(TRUE);
        EXPECT_FALSE(own.Attach(&owner));  // has a handle of its own
        EXPECT_TRUE(borrower.Attach(&owner));
        EXPECT_EQ(owner.handle, borrower.handle);
        EXPECT_EQ(owner.IsLocal(), borrower.IsLocal());
        ESEMAPHORE done(TRUE);
        SHARED s = {&owner, TRUE, &done};
        ASSERT_TRUE(borrower.Reserve(QV_WAIT_FOREVER, FALSE));
        ASSERT_TRUE(owner.Reserve(QV_WAIT_FOREVER, FALSE));  // the same thread, through either
        owner.Release(FALSE);
        PGMTHREAD* t = new PGMTHREAD(TryReserve, &s, nullptr, FALSE);
        t->Wait();
        EXPECT_FALSE(s.got) << kind;
        borrower.Release(FALSE);
        t->freeobj();
        borrower.Close(FALSE);  // an attached handle is not closed
        EXPECT_EQ(nullptr, borrower.handle);
        EXPECT_TRUE(owner.Reserve(0, FALSE));
        owner.Release(FALSE);
    }
}
