#include "Allocator.h"

#include "MemoryPool.h"
#include "SpControl.h"
#include "TaskAbend.h"

namespace {
const unsigned long TAG_BLOCK = QvTag("BALC");
const unsigned long TAG_CELL = QvTag("FRES");
const int BLOCK_HEADER = (int)sizeof(ALLOCBLK);
// Cells hold objects with pointers: aligned to a pointer (4 in the 32-bit build).
const int CELL_ALIGN = (int)sizeof(void*);

struct FREECELL {
    unsigned long tag;
    FREECELL* next;
};
}  // namespace

ALLOCATOR::ALLOCATOR()
    : lock(FALSE), firstBlock(nullptr), lastBlock(nullptr), blockCount(0), freeHead(nullptr), freeTail(nullptr),
      freeCount(0), tag(0), itemSize(0), alignment(0), blockSize(0), sizedByItems(0), feedingPool(nullptr),
      sourcePool(nullptr) {
    _Task_Abend(ABEND_NEW103, 0);
}

ALLOCATOR::ALLOCATOR(unsigned long t, int item, int block, BBOOL locking, int align)
    : lock(locking), firstBlock(nullptr), lastBlock(nullptr), blockCount(0), freeHead(nullptr), freeTail(nullptr),
      freeCount(0), tag(t), itemSize(0), alignment(align), blockSize(block), sizedByItems(0), feedingPool(nullptr),
      sourcePool(nullptr) {
    if (item < (int)sizeof(FREECELL)) item = (int)sizeof(FREECELL);
    itemSize = (item + CELL_ALIGN - 1) & ~(CELL_ALIGN - 1);
    if (align == 0) {
        alignment = CELL_ALIGN;
        blockSize = ((block - BLOCK_HEADER) / itemSize) * itemSize + BLOCK_HEADER;
        sizedByItems = 1;
    }
    if (alignment < 1) alignment = CELL_ALIGN;
}

ALLOCATOR::~ALLOCATOR() {
    ALLOCBLK* b = firstBlock;
    while (b) {
        ALLOCBLK* n = b->next;
        b->tag = 0;
        MEMORYPOOL::FreeObj(b);
        b = n;
    }
    firstBlock = lastBlock = nullptr;
    blockCount = 0;
    freeHead = freeTail = nullptr;
    freeCount = 0;
}

void ALLOCATOR::CutBlock(ALLOCBLK* b) {
    unsigned char* start = reinterpret_cast<unsigned char*>(b);
    ULONG_PTR first = reinterpret_cast<ULONG_PTR>(start + BLOCK_HEADER);
    first = (first + alignment - 1) / alignment * alignment;
    unsigned char* cell = reinterpret_cast<unsigned char*>(first);
    long room = (long)(start + blockSize - cell);
    b->cellCount = room > 0 ? room / itemSize : 0;
    for (long i = 0; i < b->cellCount; ++i, cell += itemSize) AppendFree(cell);
}

// The free list is first in, first out: new and returned cells join its tail.
void ALLOCATOR::AppendFree(void* cell) {
    FREECELL* c = static_cast<FREECELL*>(cell);
    c->tag = TAG_CELL;
    c->next = nullptr;
    if (freeTail) static_cast<FREECELL*>(freeTail)->next = c;
    else freeHead = c;
    freeTail = c;
    ++freeCount;
}

void* ALLOCATOR::newitem() {
    lock.Reserve(QV_WAIT_FOREVER, FALSE);
    if (!freeHead) {
        if (feedingPool) {
            lock.Release(FALSE);
            return nullptr;
        }
        MEMORYPOOL* pool = sourcePool ? sourcePool : _pSystemMemoryPool;
        ALLOCBLK* b = pool ? static_cast<ALLOCBLK*>(pool->Allocate((int)blockSize, tag)) : nullptr;
        if (!b) _Task_Abend(ABEND_STG101, (ULONG_PTR)blockSize);
        b->tag = TAG_BLOCK;
        b->ownerTag = tag;
        b->next = nullptr;
        b->prev = lastBlock;
        b->size = blockSize;
        if (lastBlock) lastBlock->next = b;
        else firstBlock = b;
        lastBlock = b;
        ++blockCount;
        CutBlock(b);
    }
    FREECELL* c = static_cast<FREECELL*>(freeHead);
    if (c) {
        freeHead = c->next;
        if (!freeHead) freeTail = nullptr;
        --freeCount;
        c->tag = 0;
    }
    lock.Release(FALSE);
    return c;
}

void* ALLOCATOR::newitem(size_t size) {
    if ((long)size > itemSize) _Task_Abend(ABEND_NEW104, (ULONG_PTR)size);
    return newitem();
}

void ALLOCATOR::delitem(void* cell) {
    if (!cell) return;
    lock.Reserve(QV_WAIT_FOREVER, FALSE);
    AppendFree(cell);
    lock.Release(FALSE);
}

void ALLOCATOR::AddMemory(void* block, int) {
    if (!block) return;
    lock.Reserve(QV_WAIT_FOREVER, FALSE);
    ALLOCBLK* b = static_cast<ALLOCBLK*>(block);
    b->tag = TAG_BLOCK;
    b->ownerTag = tag;
    b->next = b->prev = nullptr;
    b->size = blockSize;
    CutBlock(b);
    lock.Release(FALSE);
}
