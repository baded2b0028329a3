#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "BufferPool.h"
#include "ChildProcess.h"
#include "HoldRace.h"
#include "SpControl.h"
#include "TaskAbend.h"

namespace {

class BufferPoolTest : public testing::Test {
protected:
    BUFFERPOOL* MakePool(int size, int keep, int align) {
        pool = new BUFFERPOOL(nullptr, size, keep, align);
        pool->prepare();
        return pool;
    }
    void TearDown() override {
        if (pool) pool->freeobj();
    }
    BUFFERPOOL* pool = nullptr;
};

}  // namespace

TEST_F(BufferPoolTest, KeepsFreedStandardBuffersUpToItsLimit) {
    MakePool(256, 2, 0);
    IOBUFFER* b[3];
    for (auto& x : b) {
        x = pool->GetBuffer(0);
        ASSERT_NE(nullptr, x);
        EXPECT_EQ(256, x->capacity);
        EXPECT_FALSE(x->noReuse);
    }
    EXPECT_EQ(3, pool->inUse);
    b[0]->SetForWrite();
    b[0]->CopyIn("abc", 3);
    b[0]->userWord1 = 5;
    b[0]->incomplete = TRUE;
    b[0]->scanned = 3;
    for (auto& x : b) pool->FreeBuffer(x);
    EXPECT_EQ(0, pool->inUse);
    EXPECT_EQ(2, pool->freeBuffers.Count());

    IOBUFFER* again = pool->GetBuffer(0);
    EXPECT_EQ(b[0], again);  // first kept, first reused
    EXPECT_EQ(0, again->cursor.length);
    EXPECT_FALSE(again->active);
    EXPECT_EQ(0UL, again->userWord1);
    EXPECT_FALSE(again->incomplete);
    EXPECT_EQ(0, again->scanned);
    EXPECT_EQ(1, pool->freeBuffers.Count());
    again->freeobj();
    EXPECT_EQ(2, pool->freeBuffers.Count());
}

TEST_F(BufferPoolTest, BuffersOfTheirOwnSizeOrWithoutMemoryAreNeverKept) {
    MakePool(256, 4, 0);
    IOBUFFER* own = pool->GetBuffer(100);
    ASSERT_NE(nullptr, own);
    EXPECT_EQ(100, own->capacity);
    EXPECT_TRUE(own->noReuse);
    IOBUFFER* bare = pool->GetBuffer(-1);
    ASSERT_NE(nullptr, bare);
    EXPECT_FALSE(bare->hasMemory);
    own->freeobj();
    bare->freeobj();
    EXPECT_EQ(0, pool->freeBuffers.Count());
    EXPECT_EQ(0, pool->inUse);

    BUFFERPOOL& library = _pSupport->bufferPool;  // keeps none
    IOBUFFER* lib = library.GetBuffer(0);
    ASSERT_NE(nullptr, lib);
    EXPECT_EQ(4096, lib->capacity);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(lib->area.data) % 4096);
    lib->freeobj();
    EXPECT_EQ(0, library.freeBuffers.Count());
}

TEST_F(BufferPoolTest, ReusedBufferStartsWithAFreshReferenceCount) {
    MakePool(128, 1, 0);
    IOBUFFER* b = pool->GetBuffer(0);
    b->prepare();
    b->prepare();
    pool->FreeBuffer(b);  // given back while still counted twice
    ASSERT_EQ(1, pool->freeBuffers.Count());
    EXPECT_EQ(0, b->count);

    IOBUFFER* again = pool->GetBuffer(0);
    ASSERT_EQ(b, again);
    EXPECT_EQ(0, again->count);
    again->prepare();
    again->freeobj();  // one release is enough again
    EXPECT_EQ(1, pool->freeBuffers.Count());
    EXPECT_EQ(0, pool->inUse);
}

TEST_F(BufferPoolTest, ForeignMemoryIsUsedAndLeftAlone) {
    MakePool(128, 4, 0);
    char memory[64];
    std::memset(memory, 'm', sizeof memory);
    IOBUFFER* f = pool->GetBuffer(BUFFER(memory, 64));
    ASSERT_NE(nullptr, f);
    EXPECT_TRUE(f->foreign);
    EXPECT_TRUE(f->active);
    EXPECT_EQ(memory, f->cursor.data);
    EXPECT_EQ(64, f->cursor.length);
    EXPECT_EQ(1, f->count);
    EXPECT_EQ(1, pool->foreignCount);
    f->CopyIn("xy", 2);
    f->freeobj();
    EXPECT_EQ(0, pool->foreignCount);
    EXPECT_EQ(0, pool->inUse);
    EXPECT_EQ(0, pool->freeBuffers.Count());
    EXPECT_EQ("xymm", std::string(memory, 4));
}

TEST_F(BufferPoolTest, FreeAreaKeepsTheObject) {
    MakePool(128, 4, 64);
    IOBUFFER* b = pool->GetBuffer(0);
    ASSERT_NE(nullptr, b);
    EXPECT_TRUE(b->fromData);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(b->area.data) % 64);
    b->FreeArea();
    EXPECT_FALSE(b->hasMemory);
    EXPECT_TRUE(b->noReuse);
    EXPECT_EQ(1, pool->inUse);  // still out until the object comes back
    b->freeobj();
    EXPECT_EQ(0, pool->inUse);
    EXPECT_EQ(0, pool->freeBuffers.Count());
}

TEST_F(BufferPoolTest, ScatterGatherValueAddsTheParts) {
    MakePool(64, 0, 0);
    IOBUFFER* a = pool->GetBuffer(0);
    IOBUFFER* b = pool->GetBuffer(0);
    a->SetForWrite();
    a->CopyIn("hello", 5);
    a->SetForRead();
    b->SetForWrite();
    b->CopyIn("abc", 3);
    b->SetForRead();
    {
        SGBLOB blob(a);
        blob.Add(b);
        EXPECT_EQ(8, blob.blob.length);
        EXPECT_EQ(2, blob.parts.Count());
    }
    EXPECT_EQ(0, a->chainCount);  // the parts are let go, not released
    a->freeobj();
    b->freeobj();
}

TEST_F(BufferPoolTest, ManyThreadsGetAndFree) {
    MakePool(128, 3, 0);
    char shared[32];
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([this, t, &shared] {
            for (int i = 0; i < 200; ++i) {
                IOBUFFER* a = pool->GetBuffer(0);
                IOBUFFER* f = pool->GetBuffer(BUFFER(shared, sizeof shared));
                ASSERT_NE(nullptr, a);
                ASSERT_NE(nullptr, f);
                a->SetForWrite();
                a->CopyIn(&t, sizeof t);
                pool->FreeBuffer(a);
                f->freeobj();
            }
        });
    for (auto& w : workers) w.join();
    EXPECT_EQ(0, pool->inUse);
    EXPECT_EQ(0, pool->foreignCount);
    EXPECT_LE(pool->freeBuffers.Count(), 3);
}

// A buffer carried by two links is held and let go on both their threads at
// once; a lost count would give it back while a transfer still fills it.
TEST_F(BufferPoolTest, HoldsOnSeveralThreadsAreAllCounted) {
    MakePool(128, 3, 0);
    IOBUFFER* b = pool->GetBuffer(0);
    ASSERT_NE(nullptr, b);
    b->prepare();
    qvtest::HoldAndDropOnThreads(b);
    EXPECT_EQ(1, b->count);
    EXPECT_EQ(1, pool->inUse);
    EXPECT_EQ(0, pool->freeBuffers.Count());
    b->freeobj();
    EXPECT_EQ(0, pool->inUse);
}

QV_CHILD_CASE(ReleaseBufferWithoutPool) {
    BUFFERPOOL* pool = new BUFFERPOOL(nullptr, 64, 0, 0);
    IOBUFFER* b = pool->GetBuffer(0);
    b->pool = nullptr;
    b->freeobj();
}

TEST(BufferPoolFatal, BufferWithoutPoolCannotBeReleased) {
    auto r = qvtest::RunChild("ReleaseBufferWithoutPool");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find(ABEND_DEL104)) << r.output;
}
