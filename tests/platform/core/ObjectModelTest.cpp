#include <gtest/gtest.h>

#include "QvWindows.h"

#include <cstring>
#include <string>

#include "Allocator.h"
#include "BaseItem.h"
#include "Chain.h"
#include "HoldRace.h"
#include "MemoryPool.h"
#include "SpControl.h"

namespace {

int g_destroyed = 0;
bool g_heldCleanupLock = false;

class ITEM : public STORABLE {
public:
    explicit ITEM(int v = 0) : value(v) {}
    ~ITEM() override {
        ++g_destroyed;
        g_heldCleanupLock = (DWORD)(uintptr_t)_CSObjectCleanup.OwningThread == GetCurrentThreadId();
    }
    int value;
    QV_ITEM_IDENTITY(ITEM, "ITEM", "ITEM")
};

class CELL : public STORABLE, public BLOCKED {
public:
    ~CELL() override { ++g_destroyed; }
    QV_ITEM_IDENTITY(CELL, "CELL", "CELL")
};

}  // namespace

TEST(ObjectModel, LibraryIsSetUpBeforeStatics) {
    ASSERT_NE(nullptr, _pSupport);
    ASSERT_NE(nullptr, _pSystemMemoryPool);
    EXPECT_EQ(_pSystemMemoryPool, _pPrivateMemoryPool);
    ASSERT_NE(nullptr, _pCOMSPTRA);
    EXPECT_EQ((long)sizeof(bSPOINTER), _pCOMSPTRA->itemSize);
    EXPECT_EQ(GetCurrentThreadId(), _pSupport->mainThread.threadId);
    EXPECT_EQ(&_pSupport->mainThread, PGMTHREAD::GetCurrent());
    EXPECT_STREQ("SPCONTROL", _pSupport->ItemClassName());
    EXPECT_EQ(QvTag("SPCT"), _pSupport->ItemClassID());
    EXPECT_EQ(0x54435053u, QvTag("SPCT"));  // characters in memory order
    EXPECT_TRUE(_SystemIsWindowsNT || _SystemIsWindows95);
}

TEST(ObjectModel, FurtherInitialisersOnlyCount) {
    long count = SPCLASS_INIT::InitCount;
    SPCONTROL* support = _pSupport;
    {
        SPCLASS_INIT a, b;
        EXPECT_EQ(count + 2, SPCLASS_INIT::InitCount);
    }
    EXPECT_EQ(count, SPCLASS_INIT::InitCount);
    EXPECT_EQ(support, _pSupport);
}

TEST(ObjectModel, FreeobjDestroysWhenPreparesAreUsedUp) {
    const struct { int prepares; long startCount; int freesToDestroy; } cases[] = {
        {0, 0, 1}, {1, 0, 1}, {2, 0, 2}, {3, 0, 3}, {0, -5, 1},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.prepares);
        ITEM* item = new ITEM;
        item->count = c.startCount;
        for (int i = 0; i < c.prepares; ++i) item->prepare();
        g_destroyed = 0;
        for (int i = 1; i < c.freesToDestroy; ++i) {
            item->freeobj();
            EXPECT_EQ(0, g_destroyed);
        }
        item->freeobj();
        EXPECT_EQ(1, g_destroyed);
    }
}

TEST(ObjectModel, ReleaseGoesWhereTheObjectCameFrom) {
    MEMORYPOOL* pool = MEMORYPOOL::Create(1, 65536);
    ITEM* item = new (pool) ITEM;
    EXPECT_EQ(pool, (reinterpret_cast<MEMHDR*>(item) - 1)->pool);
    item->freeobj();  // back to the pool named in the header
    item = new (pool) ITEM;
    item->freeobj(pool);
    MEMORYPOOL::Delete(pool);

    ALLOCATOR cells(QvTag("CELL"), sizeof(CELL), 1024, TRUE, 0);
    CELL* c = new (cells) CELL;
    ASSERT_NE(nullptr, c);
    long free = cells.freeCount;
    c->prepare();  // allocator cells can be held too
    g_destroyed = 0;
    c->freeobj(cells);
    EXPECT_EQ(1, g_destroyed);
    EXPECT_EQ(free + 1, cells.freeCount);
}

TEST(ObjectModel, CleanupLockIsHeldDuringDestructionWhenAsked) {
    _pSupport->lockObjectCleanup = 1;
    (new ITEM)->freeobj();
    _pSupport->lockObjectCleanup = 0;
    EXPECT_TRUE(g_heldCleanupLock);
    (new ITEM)->freeobj();
    EXPECT_FALSE(g_heldCleanupLock);
}

// Holders on different threads take and let go of one object at once (two
// sessions ending together); not one of their counts may be lost, or the
// object goes while a holder still uses it.
TEST(ObjectModel, HoldsOnSeveralThreadsAreAllCounted) {
    ITEM* item = new ITEM;
    item->prepare();
    g_destroyed = 0;
    qvtest::HoldAndDropOnThreads(item);
    EXPECT_EQ(0, g_destroyed);
    EXPECT_EQ(1, item->count);
    if (g_destroyed == 0) item->freeobj();
}

TEST(ObjectModel, CopiesAreInNoChain) {
    CHAIN<ITEM> chain;
    ITEM* a = new ITEM(5);
    chain.Add(*a);
    ITEM copy(*a);
    EXPECT_EQ(0, copy.chainCount);
    EXPECT_EQ(0, copy.count);
    EXPECT_EQ(5, copy.value);
    bSPOINTER cell(*a);
    bSPOINTER cellCopy(cell);
    EXPECT_EQ(a, cellCopy.target);
    EXPECT_EQ(0, cellCopy.linked);
    chain.RemoveAll(TRUE, nullptr);
}

TEST(Buffer, AddStringKeepsRoomForTheTerminator) {
    const struct { long length; const char* text; const char* expect; long left; } cases[] = {
        {0, "abc", "####", 0}, {1, "abc", "", 1}, {3, "abc", "ab", 1}, {8, "abc", "abc", 5}, {8, "", "", 8},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.length);
        char space[8];
        std::memset(space, '#', sizeof space);
        BUFFER b(space, c.length);
        b.AddString(c.text);
        EXPECT_EQ(0, std::strncmp(c.expect, space, std::strlen(c.expect) + (c.length ? 1 : 0)));
        EXPECT_EQ(c.left, b.length);
        EXPECT_EQ(space + (c.length ? (long)std::strlen(c.expect) : 0), b.data);
    }
    char line[16];
    BUFFER w(line, sizeof line);
    w.AddString("one ").AddString("two");
    EXPECT_STREQ("one two", line);
}

TEST(Buffer, BlobDescriptorConstructors) {
    BLOBDEF a;
    EXPECT_EQ(nullptr, a.data);
    EXPECT_EQ(0u, a.kind);
    char d[4];
    BLOBDEF b(BUFFER(d, 4));
    EXPECT_EQ(d, b.data);
    EXPECT_EQ(4, b.length);
    EXPECT_EQ(0u, b.count);
    BLOBDEF c(7u, 9u);
    EXPECT_EQ(7u, c.first);
    EXPECT_EQ(9u, c.second);
    EXPECT_EQ(1u, c.kind);
    EXPECT_EQ(1u, c.count);
}
