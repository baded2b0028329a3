#include <gtest/gtest.h>

#include "QvWindows.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "Chain.h"
#include "SpControl.h"
#include "WaitFor.h"

namespace {

class ENTRY : public STORABLE {
public:
    explicit ENTRY(const char* k = "", int t = 0) : tag(t) {
        std::memset(key, ' ', sizeof key);
        std::memcpy(key, k, std::strlen(k));
    }
    char key[8];
    int tag;
    QV_ITEM_IDENTITY(ENTRY, "ENTRY", "ENTR")
};

std::string Walk(CHAIN<ENTRY>& chain) {
    std::string s;
    CITERATOR<ENTRY> it;
    for (ENTRY* e = it.Begin(chain); e; e = it.Next()) s += std::string(e->key, 2) + std::to_string(e->tag) + ",";
    return s;
}

}  // namespace

TEST(Chain, AddInsertRemoveKeepLinksAndCounts) {
    CHAIN<ENTRY> chain;
    ENTRY* a = new ENTRY("A");
    ENTRY* b = new ENTRY("B");
    ENTRY* c = new ENTRY("C");
    bSPOINTER& cb = chain.Add(*b);
    chain.Add(*a, cb);       // before b
    chain.Add(*c, _NULLSPTR);  // appended
    EXPECT_EQ("A 0,B 0,C 0,", Walk(chain));
    EXPECT_EQ(3, chain.Count());
    EXPECT_EQ(a, chain.First());
    EXPECT_EQ(c, chain.Last());
    EXPECT_EQ(b, chain.Remove(*b));
    EXPECT_EQ("A 0,C 0,", Walk(chain));
    EXPECT_EQ(c, chain.RemoveLast());
    EXPECT_EQ(a, chain.RemoveFirst());
    EXPECT_EQ(nullptr, chain.RemoveFirst());  // empty: no abend
    EXPECT_EQ(&_NULLSPTR, chain.first);
    EXPECT_EQ(&_NULLSPTR, chain.last);
    EXPECT_EQ(nullptr, _NULLSPTR.target);
    for (ENTRY* e : {a, b, c}) {
        EXPECT_EQ(0, e->chainCount);
        e->freeobj();
    }
}

TEST(Chain, ObjectInTwoChainsIsReleasedByTheLastHolder) {
    CHAIN<ENTRY> one, two;
    ENTRY* e = new ENTRY("X");
    one.Add(*e);
    two.Add(*e);
    EXPECT_EQ(2, e->chainCount);
    one.Remove(*e);
    EXPECT_EQ(1, e->chainCount);
    ENTRY* f = new ENTRY("Y");
    one.Add(*f);
    two.Add(*f);
    long kept = bCHAIN::ItemsKept;
    two.RemoveAll(TRUE, nullptr);  // releases e; f stays for chain one
    EXPECT_EQ(kept + 1, bCHAIN::ItemsKept);
    EXPECT_EQ(1, f->chainCount);
    one.freeOnDestroy = 1;  // destruction releases f
}

TEST(Chain, IteratorRemovesWhileWalking) {
    CHAIN<ENTRY> chain;
    for (int i = 0; i < 6; ++i) chain.Add(*new ENTRY("E", i));
    CITERATOR<ENTRY> it;
    ENTRY* e = it.Begin(chain);
    while (e) {
        if (e->tag % 2 == 0) {
            it.Remove()->freeobj();
            e = it.Current();
        } else {
            e = it.Next();
        }
    }
    EXPECT_EQ(0, chain.lock.held);  // the walk gave the lock back at its end
    EXPECT_EQ("E 1,E 3,E 5,", Walk(chain));
    chain.RemoveAll(TRUE, nullptr);
}

TEST(Chain, ScanAddKeepsKeyOrderAndInsertionOrderOfEqualKeys) {
    CHAIN<ENTRY> chain;
    CITERATOR<ENTRY> it;
    it.bSet(chain, _NULLSPTR);
    ASSERT_TRUE(it.SetScan<&ENTRY::key>(8, ' '));
    const struct { const char* key; int tag; } adds[] = {{"B", 1}, {"A", 2}, {"B", 3}, {"C", 4}};
    for (auto& a : adds) it.ScanAdd(*new ENTRY(a.key, a.tag));
    EXPECT_EQ("A 2,B 1,B 3,C 4,", Walk(chain));
    // A two-letter key finds the blank-padded object.
    ENTRY* found = it.Scan("B", 0, TRUE, FALSE);
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(1, found->tag);
    EXPECT_TRUE(it.found);
    EXPECT_EQ(4, it.Scan("BB", 0, TRUE, TRUE)->tag);  // first higher key
    EXPECT_FALSE(it.found);
    chain.RemoveAll(TRUE, nullptr);
}

TEST(Chain, ScanKeyLengthIsBounded) {
    CHAIN<ENTRY> chain;
    chain.Add(*new ENTRY("A"));
    CITERATOR<ENTRY> it;
    it.bSet(chain, _NULLSPTR);
    EXPECT_FALSE(it.SetScan<&ENTRY::key>(QV_MAX_KEY + 1, ' '));
    EXPECT_EQ(nullptr, it.Scan("A", 0, TRUE, TRUE));
    ASSERT_TRUE(it.SetScan<&ENTRY::key>(8, ' '));
    std::string longKey = "A" + std::string(7, ' ') + std::string(300, 'Q');
    EXPECT_NE(nullptr, it.Scan(longKey.c_str(), (int)longKey.size(), TRUE, FALSE));  // cut to 8
    chain.RemoveAll(TRUE, nullptr);
}

namespace {
struct RACE {
    CHAIN<ENTRY>* chain;
    HANDLE go;
    int base;
};

DWORD WINAPI ScanAdder(LPVOID p) {
    RACE* r = static_cast<RACE*>(p);
    WaitForSingleObject(r->go, INFINITE);
    CITERATOR<ENTRY> it;
    it.bSet(*r->chain, _NULLSPTR);
    it.SetScan<&ENTRY::key>(8, ' ');
    char k[8];
    for (int i = 0; i < 150; ++i) {
        std::snprintf(k, sizeof k, "%03d", (i * 37 + r->base) % 300);
        it.ScanAdd(*new ENTRY(k, r->base));
    }
    return 0;
}
}  // namespace

namespace {
struct SHARER {
    ENTRY* shared;
    HANDLE go;
};

// Adds the shared object to a chain of its own and takes it out again.
DWORD WINAPI AddRemoveShared(LPVOID p) {
    SHARER* s = static_cast<SHARER*>(p);
    CHAIN<ENTRY> own(FALSE);          // this thread's alone
    bSPOINTER cell(*s->shared);       // one cell throughout: the loop races on the count alone
    WaitForSingleObject(s->go, INFINITE);
    for (int i = 0; i < 1000000; ++i) {
        own.bAdd(cell);
        own.bRemove(cell, FALSE);
    }
    return 0;
}
}  // namespace

// Chains of different locks count the same object: no count may be lost, or
// the object's destruction would find it still "in a chain" and end the program.
TEST(Chain, ObjectSharedByChainsOnTwoThreadsKeepsItsCount) {
    ENTRY* e = new ENTRY("S");
    e->prepare();
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SHARER sharers[2] = {{e, go}, {e, go}};
    HANDLE threads[2];
    for (int i = 0; i < 2; ++i) threads[i] = CreateThread(nullptr, 0, AddRemoveShared, &sharers[i], 0, nullptr);
    SetEvent(go);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE h : threads) CloseHandle(h);
    CloseHandle(go);
    EXPECT_EQ(0, e->chainCount);
    e->chainCount = 0;  // released whatever the count says
    e->freeobj();
}

TEST(Chain, ConcurrentScanAddsKeepTheChainSorted) {
    CHAIN<ENTRY> chain;
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    RACE races[3] = {{&chain, go, 0}, {&chain, go, 1}, {&chain, go, 2}};
    HANDLE threads[3];
    for (int i = 0; i < 3; ++i) threads[i] = CreateThread(nullptr, 0, ScanAdder, &races[i], 0, nullptr);
    SetEvent(go);
    WaitForMultipleObjects(3, threads, TRUE, INFINITE);
    for (HANDLE h : threads) CloseHandle(h);
    CloseHandle(go);
    EXPECT_EQ(450, chain.Count());
    std::string last;
    CITERATOR<ENTRY> it;
    int n = 0;
    for (ENTRY* e = it.Begin(chain); e; e = it.Next(), ++n) {
        std::string k(e->key, 8);
        EXPECT_LE(last, k);
        last = k;
    }
    EXPECT_EQ(450, n);
    chain.RemoveAll(TRUE, nullptr);
}

namespace {
struct BLOCKER {
    CHAIN<ENTRY>* chain;
    HANDLE started;
    volatile LONG added;
};

DWORD WINAPI AddDuringWalk(LPVOID p) {
    BLOCKER* b = static_cast<BLOCKER*>(p);
    SetEvent(b->started);
    b->chain->Add(*new ENTRY("Z"));
    InterlockedExchange(&b->added, 1);
    return 0;
}

// Whether the trace shows a thread that had to wait for the lock.
bool LockWaitTraced(TRACETABLE& trace, const MSEMAPHORE& lock) {
    struct LOOK {
        uint32_t handle;
        bool found;
    } look = {(uint32_t)(ULONG_PTR)lock.handle, false};
    trace.Walk(
        [](const TRACERECORD* r, void* context) -> BBOOL {
            LOOK* l = static_cast<LOOK*>(context);
            const unsigned char* item = reinterpret_cast<const unsigned char*>(r) + TRACETABLE::HeaderSize;
            if (r->category == TRACE_TASK && r->event == TRACE_TASK_SEM_RESERVE && item[0] == 'l' &&
                GetLe32(item + 1) == l->handle)
                l->found = true;
            return !l->found;
        },
        &look);
    return look.found;
}
}  // namespace

TEST(Chain, WalkHoldsOffOtherThreadsUntilItEnds) {
    CHAIN<ENTRY> chain;
    chain.Add(*new ENTRY("A"));
    CITERATOR<ENTRY> it;
    ASSERT_NE(nullptr, it.Begin(chain));
    TRACETABLE& trace = _pSupport->trace;
    ASSERT_TRUE(trace.StartTrace(TRACE_TASK, 0));
    BLOCKER b = {&chain, CreateEventA(nullptr, TRUE, FALSE, nullptr), 0};
    HANDLE t = CreateThread(nullptr, 0, AddDuringWalk, &b, 0, nullptr);
    WaitForSingleObject(b.started, INFINITE);
    EXPECT_TRUE(qvtest::WaitFor([&] { return LockWaitTraced(trace, chain.lock); })) << "the adder never waited";
    trace.StopTrace();
    trace.categories = 0;
    EXPECT_EQ(0, b.added);
    EXPECT_EQ(nullptr, it.Next());  // the walk ends and gives the lock back
    WaitForSingleObject(t, INFINITE);
    EXPECT_EQ(1, b.added);
    CloseHandle(t);
    CloseHandle(b.started);
    chain.RemoveAll(TRUE, nullptr);
}
