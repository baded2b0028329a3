#include "PgmThread.h"

#include <process.h>

#include <cstring>

#include "SpControl.h"

// ---- module

char* PGMMODULE::GetRCString(int id) {
    static char none[4];
    PGMTHREAD* t = PGMTHREAD::GetCurrent();
    if (!t) {
        none[0] = 0;
        return none;
    }
    t->textIndex = t->textIndex >= 2 ? 0 : t->textIndex + 1;
    char* buf = t->texts[t->textIndex];
    HINSTANCE inst = instance ? instance : GetModuleHandleA(nullptr);
    int n = LoadStringA(inst, (UINT)(id & 0xFFFF), buf, 255);
    if (n <= 0) buf[0] = 0;
    buf[255] = 0;
    return buf;
}

int PGMMODULE::GetResource(const char* name, const BUFFER& out) {
    HINSTANCE inst = instance ? instance : GetModuleHandleA(nullptr);
    HRSRC r = FindResourceA(inst, name, MAKEINTRESOURCEA(10));
    if (!r) return 0;
    HGLOBAL g = LoadResource(inst, r);
    if (!g) return 0;
    const void* data = LockResource(g);
    if (!data) return 0;
    int size = (int)SizeofResource(inst, r);
    if (!out.data) return size;
    int n = size < out.length ? size : (int)out.length;
    if (n < 0) n = 0;
    std::memcpy(out.data, data, n);
    return n;
}

// ---- threads

namespace {
// The thread lock: the thread chain's own.
struct ThreadLock {
    MSEMAPHORE* lock;
    ThreadLock() : lock(_pSupport ? &_pSupport->threads.lock : nullptr) {
        if (lock) lock->Reserve(QV_WAIT_FOREVER, FALSE);
    }
    ~ThreadLock() {
        if (lock) lock->Release(TRUE);
    }
};
}  // namespace

PGMTHREAD::PGMTHREAD(PGMTHREADPROC proc, void* arg, PGMTHREAD** slot, BBOOL autoRel)
    : reserved0(0), procedure(proc), argument(arg), threadId(0), selfSlot(slot), autoRelease(autoRel), started(0),
      stopOnWait(0), stopEvent(nullptr), priorityClass(0), priority(0), chainCell(nullptr), handle(nullptr),
      textIndex(3) {
    std::memset(texts, 0, sizeof texts);
    if (_pSupport) {
        bSPOINTER& c = _pSupport->threads.bAdd(static_cast<STORABLE&>(*this));
        chainCell = c.target ? &c : nullptr;
    }
    if (autoRelease) prepare();
    if (proc) StartUp(nullptr, nullptr);
}

PGMTHREAD::~PGMTHREAD() {
    CleanUp();
    if (handle) CloseHandle(handle);
    handle = nullptr;
}

unsigned long PGMTHREAD::GetCurrentID() { return GetCurrentThreadId(); }

PGMTHREAD* PGMTHREAD::FindThread(unsigned long id) {
    if (!_pSupport) return nullptr;
    CITERATOR<PGMTHREAD> it;
    for (PGMTHREAD* t = it.Begin(_pSupport->threads); t; t = it.Next()) {
        if (t->threadId == id) {
            it.End();
            return t;
        }
    }
    return nullptr;
}

PGMTHREAD* PGMTHREAD::GetCurrent() { return FindThread(GetCurrentThreadId()); }

void PGMTHREAD::ExecSetup() {
    if (!threadId) threadId = GetCurrentThreadId();
    SPCONTROL* support = _pSupport;
    if (chainCell || !support) return;
    MSEMAPHORE& lock = support->threads.lock;
    lock.Reserve(QV_WAIT_FOREVER, FALSE);
    // Checked again under the lock: the library may be closing meanwhile.
    if (_pSupport == support && !chainCell) {
        bSPOINTER& c = support->threads.bAdd(static_cast<STORABLE&>(*this));
        chainCell = c.target ? &c : nullptr;
    }
    lock.Release(TRUE);
}

void PGMTHREAD::CleanUp() {
    if (!_pSupport || !chainCell) return;
    CHAIN<PGMTHREAD>& chain = _pSupport->threads;
    chain.lock.Reserve(QV_WAIT_FOREVER, FALSE);
    if (!chain.removingAll && chainCell) {
        chain.bRemove(*chainCell, TRUE);
        chainCell = nullptr;
    }
    chain.lock.Release(FALSE);
}

BBOOL PGMTHREAD::StartUp(PGMTHREADPROC proc, void* arg) {
    if (threadId) return FALSE;
    if (proc) procedure = proc;
    if (arg) argument = arg;
    if (!procedure) return FALSE;
    ThreadLock guard;
    if (handle) {
        CloseHandle(handle);
        handle = nullptr;
    }
    unsigned id = 0;
    InterlockedExchange(&entered, 0);
    uintptr_t h = _beginthreadex(nullptr, 32768, &PGMTHREAD::RunThread, this, 0, &id);
    if (h) {
        handle = reinterpret_cast<HANDLE>(h);
        threadId = id == (unsigned)-1 ? 0 : id;
        started = 1;
        if (selfSlot) *selfSlot = this;
    }
    // Read before the lock goes: a self-releasing thread may be gone right after.
    return threadId != 0;
}

unsigned __stdcall PGMTHREAD::RunThread(void* object) {
    PGMTHREAD* t = static_cast<PGMTHREAD*>(object);
    InterlockedExchange(&t->entered, 1);
    t->ExecSetup();
    QV_TRACE(TRACE_TASK, TRACE_TASK_THREAD_STARTED, "ill", (int)t->threadId, t, t->procedure);
    if (t->procedure) t->procedure(t->argument);
    QV_TRACE(TRACE_TASK, TRACE_TASK_THREAD_STOPPED, "i", (int)GetCurrentThreadId());
    if (GetCurrent() == t) {
        ThreadLock guard;
        t->threadId = 0;
        if (t->selfSlot) *t->selfSlot = nullptr;
    }
    if (t->autoRelease) t->freeobj();
    return 0;
}

BBOOL PGMTHREAD::Stop() {
    ThreadLock guard;
    if (!threadId || !handle) return FALSE;
    QV_TRACE(TRACE_TASK, TRACE_TASK_THREAD_KILLED, "i", (int)threadId);
    for (int i = 0; i < 5000 && !InterlockedCompareExchange(&entered, 0, 0); ++i) Sleep(1);
    TerminateThread(handle, 0xFFFFFFFF);
    if (selfSlot) *selfSlot = nullptr;
    return TRUE;
}

PGMTHREADSCOPE::PGMTHREADSCOPE() : adopted(nullptr) {
    if (!_pSupport || PGMTHREAD::GetCurrent()) return;
    adopted = new PGMTHREAD;
    adopted->ExecSetup();
}

PGMTHREADSCOPE::~PGMTHREADSCOPE() {
    if (!adopted) return;
    {
        ThreadLock guard;
        adopted->threadId = 0;
    }
    adopted->freeobj();
}

HANDLE PGMTHREAD::DuplicateOwnHandle() {
    HANDLE dup = nullptr;
    if (handle)
        DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &dup, SYNCHRONIZE, FALSE, 0);
    return dup;
}

void PGMTHREAD::Wait() {
    HANDLE h = nullptr;
    {
        ThreadLock guard;
        if (stopOnWait) {
            Stop();
            if (stopEvent) stopEvent->PostEvent();
        }
        // A copy of the handle: the object may release itself once the lock goes.
        if (threadId && threadId != GetCurrentThreadId()) h = DuplicateOwnHandle();
    }
    if (h) {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
}

void PGMTHREAD::WaitByID(unsigned long id) {
    HANDLE h = nullptr;
    {
        ThreadLock guard;
        PGMTHREAD* t = FindThread(id);
        if (!t) return;
        if (t->stopOnWait) {
            t->Stop();
            if (t->stopEvent) t->stopEvent->PostEvent();
        }
        if (id != GetCurrentThreadId()) h = t->DuplicateOwnHandle();
    }
    if (h) {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
}

void PGMTHREAD::SetPriority(int cls, int prio) {
    priorityClass = cls;
    priority = prio;
}
