#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Allocator.h"
#include "IntMath.h"
#include "MemBlk.h"
#include "MemoryPool.h"
#include "SpControl.h"

namespace {

// A fresh pool per test, so free-list counts start from a known state.
class PoolTest : public ::testing::Test {
protected:
    void SetUp() override { pool = MEMORYPOOL::Create(1, 65536); ASSERT_NE(nullptr, pool); }
    void TearDown() override { MEMORYPOOL::Delete(pool); }
    MEMORYPOOL* pool = nullptr;
};

}  // namespace

TEST(IntMath, FloorLog2) {
    const struct { int x, expect; } cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {65484, 15}, {65536, 16}, {0x7fffffff, 30}};
    for (auto& c : cases) EXPECT_EQ(c.expect, _ilog2(c.x)) << c.x;
}

TEST_F(PoolTest, SystemPoolShape) {
    EXPECT_EQ(32768, pool->buddy->maxBlock);
    EXPECT_EQ(15, pool->buddy->maxOrder);
    EXPECT_EQ(4112, pool->cells->itemSize);
    EXPECT_EQ(15 * 4112 + (int)sizeof(ALLOCBLK), pool->cells->blockSize);
}

TEST_F(PoolTest, RequestsAreRoutedBySize) {
    // Recorded size tells the route: size+12 for buddy and cells, size+44 for a dedicated block
    // (32-bit build; the headers follow the pointer size). The sizes sit at the routes' edges.
    const int h = MEMORYPOOL::HeaderSize, bh = BUDDYSYSTEM::HeaderSize;
    const struct { int size; int buddyOrder; bool cell; bool dedicated; } cases[] = {
        {1000, 11, false, false},        {2037 - h, 12, false, false},     {2038 - h, 0, true, false},
        {4112 - h, 0, true, false},      {4113 - h, 13, false, false},     {32768 - bh - h, 15, false, false},
        {32769 - bh - h, 0, false, true}, {100000, 0, false, true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.size);
        long cellsFree = pool->cells->freeCount;
        long blocks = pool->blockCount;
        void* p = pool->Allocate(c.size, 0);
        ASSERT_NE(nullptr, p);
        std::memset(p, 0xAB, c.size);
        if (c.dedicated) {
            EXPECT_EQ(c.size + MEMORYPOOL::DedicatedOffset, MEMORYPOOL::RecordedSize(p));
            EXPECT_EQ(blocks + 1, pool->blockCount);
        } else {
            EXPECT_EQ(c.size + h, MEMORYPOOL::RecordedSize(p));
        }
        if (c.cell) {
            // A new cell block holds 15 cells; one is now handed out.
            EXPECT_EQ(cellsFree ? cellsFree - 1 : 14, pool->cells->freeCount);
        } else if (!c.dedicated) {
            const BUDDYBLOCK* b = reinterpret_cast<const BUDDYBLOCK*>(static_cast<char*>(p) - h - bh);
            EXPECT_EQ(QvTag("BBBR"), b->tag);
            EXPECT_EQ(c.buddyOrder, b->order);
        }
        pool->Free(p);
        if (c.dedicated) {
            EXPECT_EQ(blocks, pool->blockCount);
        }
    }
}

namespace {
std::vector<int> FreeCounts(const BUDDYSYSTEM* b) {
    std::vector<int> v;
    for (int k = 0; k <= b->maxOrder; ++k) v.push_back(b->FreeCount(k));
    return v;
}
}  // namespace

TEST(Buddy, FreedBuddiesMergeInEitherOrder) {
    alignas(8) static unsigned char area[8192];
    BUDDYSYSTEM* b = BUDDYSYSTEM::Create(area, sizeof area, 1024 + BUDDYSYSTEM::HeaderSize);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(1024, b->maxBlock);
    const std::vector<int> before = FreeCounts(b);
    EXPECT_EQ(7, before[10]);  // whole pieces are capped at the largest block
    for (int reverse = 0; reverse < 2; ++reverse) {
        SCOPED_TRACE(reverse);
        char* x = static_cast<char*>(b->Alloc(30));  // 64-byte blocks
        char* y = static_cast<char*>(b->Alloc(30));
        ASSERT_EQ(x + 64, y);
        // Split from a larger piece, or (where the area's tail left one) a free 128.
        EXPECT_EQ(before[7] ? before[7] - 1 : 1, b->FreeCount(7));
        if (reverse) std::swap(x, y);
        b->Free(x);
        b->Free(y);
        EXPECT_EQ(before, FreeCounts(b));
    }
    // Two neighbouring largest blocks stay apart.
    void* p = b->Alloc(1024 - BUDDYSYSTEM::HeaderSize);
    void* q = b->Alloc(1024 - BUDDYSYSTEM::HeaderSize);
    ASSERT_TRUE(p && q);
    b->Free(p);
    b->Free(q);
    EXPECT_EQ(before, FreeCounts(b));
}

TEST(Buddy, LastPieceNeverMergesBeyondItsArea) {
    // Behind the area lie forged free headers of every order. The system's own
    // record and list heads come first (232 bytes in the 32-bit build).
    const int hs = BUDDYSYSTEM::HeaderSize, align = (int)sizeof(void*);
    const int own = (((int)sizeof(BUDDYSYSTEM) + align - 1) & ~(align - 1)) + 11 * hs;
    alignas(8) static unsigned char memory[1600];
    const int size = own + 768;
    for (int at = size; at + hs <= (int)sizeof memory; at += hs) {
        BUDDYBLOCK* f = reinterpret_cast<BUDDYBLOCK*>(memory + at);
        f->tag = QvTag("BBBA");
        f->order = 5 + (at / hs) % 6;
        f->offset = 0;
    }
    BUDDYSYSTEM* b = BUDDYSYSTEM::Create(memory, size, 1024 + hs);
    ASSERT_NE(nullptr, b);
    const std::vector<int> before = FreeCounts(b);
    std::vector<void*> all;
    for (int k = 10; k >= 5; --k)
        while (void* p = b->Alloc((1 << k) - hs)) all.push_back(p);
    for (void* p : all) {
        EXPECT_LT(static_cast<unsigned char*>(p), memory + size);
        b->Free(p);
    }
    EXPECT_EQ(before, FreeCounts(b));
}

TEST_F(PoolTest, WholeAreaComesBackAfterManyAllocations) {
    std::vector<int> before;
    for (int k = 0; k <= pool->buddy->maxOrder; ++k) before.push_back(pool->buddy->FreeCount(k));
    std::vector<void*> got;
    unsigned seed = 7;
    for (int i = 0; i < 300; ++i) {
        seed = seed * 1103515245 + 12345;
        got.push_back(pool->Allocate(1 + (seed >> 8) % 2000, 0));
        ASSERT_NE(nullptr, got.back());
    }
    // Free in a scrambled order.
    for (size_t i = 0; i < got.size(); i += 2) pool->Free(got[i]);
    for (size_t i = 1; i < got.size(); i += 2) pool->Free(got[i]);
    // The pool's own block returns to its first shape; later blocks are whole again.
    for (int k = 0; k < pool->buddy->maxOrder; ++k) EXPECT_GE(pool->buddy->FreeCount(k), before[k]) << k;
    EXPECT_EQ(before[pool->buddy->maxOrder] + pool->blockCount, pool->buddy->FreeCount(pool->buddy->maxOrder));
}

TEST_F(PoolTest, MemoryTotalFollowsHeapBlocks) {
    long before = _pSupport->systemMemory;
    void* p = pool->Allocate(50000, 0);
    EXPECT_EQ(before + 50000 + MEMORYPOOL::DedicatedOffset, _pSupport->systemMemory);
    pool->Free(p);
    EXPECT_EQ(before, _pSupport->systemMemory);
}

namespace {
// Cells are rounded to a pointer's size and follow the block header: 28 and 24
// bytes in the 32-bit build.
const int kCell28 = (28 + (int)sizeof(void*) - 1) & ~((int)sizeof(void*) - 1);
const int kBlockHeader = (int)sizeof(ALLOCBLK);
const int kCellsPerBlock = (4096 - kBlockHeader) / kCell28;  // 145 in the 32-bit build
}  // namespace

TEST(Allocator, BlocksAreTrimmedToWholeCells) {
    ALLOCATOR a(QvTag("TEST"), 28, 4096, TRUE, 0);
    EXPECT_EQ(kCellsPerBlock * kCell28 + kBlockHeader, a.blockSize);
    EXPECT_EQ(1, a.sizedByItems);
    ALLOCATOR odd(QvTag("TEST"), 30, 4096, FALSE, 16);  // item rounded to 4, sizes as given
    EXPECT_EQ(32, odd.itemSize);
    EXPECT_EQ(4096, odd.blockSize);
    void* c = odd.newitem();
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(c) % 16);
    odd.delitem(c);
}

TEST(Allocator, FillsBlocksInAddressOrderAndReusesOldestFreeCell) {
    ALLOCATOR a(QvTag("TEST"), 28, 4096, TRUE, 0);
    void* first = a.newitem();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(1, a.blockCount);
    EXPECT_EQ(kCellsPerBlock - 1, a.freeCount);
    const ALLOCBLK* blk = a.firstBlock;
    EXPECT_EQ(QvTag("BALC"), blk->tag);
    EXPECT_EQ(kCellsPerBlock, blk->cellCount);
    EXPECT_EQ(reinterpret_cast<const char*>(blk) + kBlockHeader, first);
    void* second = a.newitem();
    EXPECT_EQ(static_cast<char*>(first) + kCell28, second);
    // Freed cells queue behind the untouched ones: the longest free comes first.
    a.delitem(first);
    void* third = a.newitem();
    EXPECT_EQ(static_cast<char*>(second) + kCell28, third);
    EXPECT_EQ(QvTag("FRES"), *static_cast<unsigned long*>(first));
    // Exhaust the block: a second one is taken only then.
    std::vector<void*> rest;
    while (a.freeCount > 0) rest.push_back(a.newitem());
    EXPECT_EQ(1, a.blockCount);
    EXPECT_EQ(first, rest.back());  // the freed cell came last
    a.newitem();
    EXPECT_EQ(2, a.blockCount);
}

TEST(Allocator, PoolFedAllocatorNeverAsksForBlocks) {
    ALLOCATOR a(0, 100, 4096, FALSE, 0);
    a.feedingPool = _pSystemMemoryPool;
    EXPECT_EQ(nullptr, a.newitem());
    std::vector<char> block(a.blockSize);
    a.AddMemory(block.data(), 0);
    EXPECT_EQ(0, a.blockCount);  // the memory stays its owner's
    EXPECT_EQ(sizeof(void*) == 4 ? 40 : 39, a.freeCount);  // 100-byte cells; 104 in the 64-bit build
    EXPECT_NE(nullptr, a.newitem());
}
