#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Allocator.h"
#include "BTree.h"
#include "ChildProcess.h"
#include "MemoryPool.h"
#include "MessageBoxWatcher.h"
#include "SpControl.h"
#include "TaskAbend.h"

// Outside the anonymous namespace, so the compiler cannot resolve the call early.
class ABSTRACT : public STORABLE {
public:
    ABSTRACT() { Touch(); }
    __attribute__((noinline)) void Touch() { Hook(); }
    virtual void Hook() = 0;
};

class CONCRETE : public ABSTRACT {
public:
    void Hook() override {}
    QV_ITEM_IDENTITY(CONCRETE, "CONCRETE", "CONC")
};

namespace {

class ITEM : public STORABLE {
public:
    char key[8] = "KEY";
    QV_ITEM_IDENTITY(ITEM, "ITEM", "ITEM")
};

class CELLITEM : public STORABLE, public BLOCKED {
public:
    QV_ITEM_IDENTITY(CELLITEM, "CELLITEM", "CELL")
};

// After the box: prints what the watcher saw, so the parent can check it.
void ReportBoxes(BBOOL) { qvtest::PrintSeenBoxes(); }

void InstallReporter() {
    TASKABENDHOOKS hooks = {};
    hooks.terminate = ReportBoxes;
    SetTaskAbendHooks(&hooks);
}

ALLOCATOR& Cells() {
    static ALLOCATOR* a = new ALLOCATOR(QvTag("TEST"), sizeof(CELLITEM) + 8, 4096, TRUE, 0);
    return *a;
}

}  // namespace

QV_CHILD_CASE(TestFunction) {
    InstallReporter();
    AbendTestFunction(0x2A);
}
QV_CHILD_CASE(PlainFreeOfCellObject) { (new (Cells()) CELLITEM)->freeobj(); }
QV_CHILD_CASE(PoolFreeOfCellObject) { (new (Cells()) CELLITEM)->freeobj(_pSystemMemoryPool); }
QV_CHILD_CASE(CellFreeOfPoolObject) { (new ITEM)->freeobj(Cells()); }
QV_CHILD_CASE(PlainDelete) {
    BASEITEM* p = new ITEM;
    delete p;
}
QV_CHILD_CASE(PlainNewOfCellClass) { new CELLITEM; }
QV_CHILD_CASE(CellAboveItemSize) { Cells().newitem(4000); }
QV_CHILD_CASE(ZeroSizeObject) { ITEM::operator new(0); }
QV_CHILD_CASE(ObjectBeyondMemory) { ITEM::operator new(size_t(-1)); }
QV_CHILD_CASE(AllocatorWithoutSizes) { new ALLOCATOR; }
QV_CHILD_CASE(StorableAssigned) {
    ITEM a, b;
    a = b;
}
QV_CHILD_CASE(StorableDestroyedInChain) {
    CHAIN<ITEM> chain;
    ITEM* a = new ITEM;
    chain.Add(*a);
    a->freeobj();
}
QV_CHILD_CASE(PrepareStackObject) {
    ITEM a;
    a.prepare();
}
QV_CHILD_CASE(DoubleFree) {
    void* p = _pSystemMemoryPool->Allocate(100, 0);
    _pSystemMemoryPool->Free(p);
    _pSystemMemoryPool->Free(p);
}
QV_CHILD_CASE(DoubleFreeOfMergedUpperHalf) {
    MEMORYPOOL* pool = MEMORYPOOL::Create(1, 65536);
    void* a = pool->Allocate(30, 0);
    void* b = pool->Allocate(30, 0);
    pool->Free(a);
    pool->Free(b);
    pool->Free(a > b ? a : b);
}
QV_CHILD_CASE(FreeToOtherPool) {
    MEMORYPOOL* other = MEMORYPOOL::Create(1, 65536);
    other->Free(_pSystemMemoryPool->Allocate(100, 0));
}
QV_CHILD_CASE(ChainDestroyedHoldingObjects) {
    ITEM* a = new ITEM;
    CHAIN<ITEM>* chain = new CHAIN<ITEM>;
    chain->Add(*a);
    chain->freeobj();
}
QV_CHILD_CASE(ChainWithNegativeCount) {
    CHAIN<ITEM>* chain = new CHAIN<ITEM>;
    chain->count = -1;
    chain->freeobj();
}
QV_CHILD_CASE(RemoveUnlinkedCell) {
    CHAIN<ITEM> chain;
    ITEM* a = new ITEM;
    chain.Add(*a);
    bSPOINTER loose(*a);
    chain.bRemove(loose, FALSE);
}
QV_CHILD_CASE(RemoveFromEmptyChain) {
    CHAIN<ITEM> one, empty;
    ITEM* a = new ITEM;
    bSPOINTER& c = one.Add(*a);
    empty.bRemove(c, FALSE);
}
QV_CHILD_CASE(AddLinkedCell) {
    CHAIN<ITEM> one, two;
    ITEM* a = new ITEM;
    two.bAdd(one.Add(*a));
}
QV_CHILD_CASE(IteratorDestroyedHoldingLock) {
    CHAIN<ITEM> chain;
    ITEM* a = new ITEM;
    chain.Add(*a);
    CITERATOR<ITEM> it;
    it.Begin(chain);
}
QV_CHILD_CASE(HeldLockClosed) {
    MSEMAPHORE* m = new MSEMAPHORE(TRUE);
    m->Reserve(QV_WAIT_FOREVER, FALSE);
    m->Close(FALSE);
}
QV_CHILD_CASE(ReleaseOfLockNotHeld) {
    MSEMAPHORE m(TRUE);
    m.Release(FALSE);
}
QV_CHILD_CASE(TreeRemovesWrongCell) {
    BTREE<ITEM> tree;
    tree.Initialize<&ITEM::key>(3, ' ');
    ITEM* a = new ITEM;
    ITEM* b = new ITEM;
    tree.Add(*a);
    bSPOINTER* other = new bSPOINTER(*b);
    other->linked = 1;  // looks linked but is not the cell holding the key
    tree.bRemoveN(*other, FALSE);
}
QV_CHILD_CASE(PureVirtualCall) { new CONCRETE; }

TEST(FatalExit, WrongUseEndsWithItsCode) {
    const struct { const char* child; const char* code; } cases[] = {
        {"PlainFreeOfCellObject", ABEND_DEL101},
        {"PlainDelete", ABEND_DEL101},
        {"PoolFreeOfCellObject", ABEND_DEL102},
        {"CellFreeOfPoolObject", ABEND_DEL102},
        {"PlainNewOfCellClass", ABEND_NEW101},
        {"CellAboveItemSize", ABEND_NEW104},
        {"ZeroSizeObject", ABEND_NEW104},
        {"ObjectBeyondMemory", ABEND_STG101},
        {"AllocatorWithoutSizes", ABEND_NEW103},
        {"StorableAssigned", ABEND_OBJ101},
        {"StorableDestroyedInChain", ABEND_OBJ102},
        {"PrepareStackObject", ABEND_MEM102},
        {"DoubleFree", ABEND_MEM102},
        {"DoubleFreeOfMergedUpperHalf", ABEND_MEM102},
        {"FreeToOtherPool", ABEND_MEM102},
        {"ChainDestroyedHoldingObjects", ABEND_CNT101},
        {"ChainWithNegativeCount", ABEND_CNT102},
        {"RemoveUnlinkedCell", ABEND_OBJ103},
        {"RemoveFromEmptyChain", ABEND_CNT103},
        {"AddLinkedCell", ABEND_OBJ104},
        {"TreeRemovesWrongCell", ABEND_OBJ104},
        {"IteratorDestroyedHoldingLock", ABEND_SEM106},
        {"HeldLockClosed", ABEND_SEM106},
        {"ReleaseOfLockNotHeld", ABEND_SEM105},
        {"PureVirtualCall", ABEND_PVF001},
    };
    // Children run side by side: each one waits for its box to be dismissed.
    const size_t n = sizeof cases / sizeof cases[0];
    std::vector<qvtest::ChildResult> results(n);
    std::vector<std::thread> runners;
    for (size_t i = 0; i < n; ++i) runners.emplace_back([&, i] { results[i] = qvtest::RunChild(cases[i].child); });
    for (auto& t : runners) t.join();
    for (size_t i = 0; i < n; ++i) {
        auto& c = cases[i];
        auto& r = results[i];
        SCOPED_TRACE(c.child);
        ASSERT_TRUE(r.started);
        EXPECT_EQ(1u, r.exitCode) << r.output;
        EXPECT_NE(std::string::npos, r.output.find(std::string("record code '") + c.code + "-")) << r.output;
    }
}

TEST(FatalExit, TestFunctionShowsTheTextInABox) {
    auto r = qvtest::RunChild("TestFunction");
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_NE(std::string::npos,
              r.output.find("BOX[Quorvane|ATTENTION: Quorvane has encountered a system error and cannot continue! "
                            "Please record code 'TST001-2A' and contact Brellix Software Technical Support.]"))
        << r.output;
}
