#include "MemoryPool.h"

#include <climits>
#include <cstring>
#include <new>

#include "Allocator.h"
#include "IntMath.h"
#include "MemBlk.h"
#include "SpControl.h"
#include "TaskAbend.h"

namespace {
const unsigned long TAG_MEMB = QvTag("MEMB");
const unsigned long TAG_MEMH = QvTag("MEMH");
const unsigned long TAG_FREE = QvTag("BBBA");
const unsigned long TAG_USED = QvTag("BBBR");
const int MIN_CELL_TOTAL = 2038;
// Bytes kept zero behind the last buddy piece of an area, so that the merge
// can read the would-be buddy of that piece without leaving the area.
const int AREA_TAIL = 8;
const int MIN_PIECE = 32;
}  // namespace

// ---- heap blocks

MEMBLK* MEMBLK::Make(int size, MEMTYPE type, int handle) {
    if (size < HeaderSize) return nullptr;
    unsigned char* p = MemBlkAlloc(size, type, &handle);
    if (!p) return nullptr;
    MEMBLK* b = reinterpret_cast<MEMBLK*>(p);
    b->tag = TAG_MEMB;
    b->size = size;
    b->next = b->prev = nullptr;
    b->type = type;
    b->handle = handle;
    b->freePtr = p + HeaderSize;
    b->freeSize = size - HeaderSize;
    QV_TRACE(TRACE_MEMORY, TRACE_MEMORY_BLOCK_ALLOC, "pibi", b, size, type, handle);
    return b;
}

void MEMBLK::Unmake(MEMBLK* b) {
    QV_TRACE(TRACE_MEMORY, TRACE_MEMORY_BLOCK_FREE, "pibi", b, (int)b->size, b->type, (int)b->handle);
    b->tag = 0;
    MemBlkFree(reinterpret_cast<unsigned char*>(b), (int)b->size, b->type, (int)b->handle);
}

void* MEMBLK::Carve(int bytes) {
    bytes = (bytes + 7) & ~7;
    if (bytes > freeSize) return nullptr;
    void* p = freePtr;
    freePtr += bytes;
    freeSize -= bytes;
    return p;
}

void* MEMBLK::operator new(size_t size) { _Task_Abend(size == 0 ? ABEND_NEW104 : ABEND_NEW101, (ULONG_PTR)size); }

void* MEMBLK::operator new(size_t size, void* where) {
    if (size == 0) _Task_Abend(ABEND_NEW104, 0);
    return where;
}

void MEMBLK::operator delete(void* p) { _Task_Abend(ABEND_DEL101, (ULONG_PTR)p); }

// ---- buddy system

BUDDYSYSTEM* BUDDYSYSTEM::Create(void* area, int size, int maxBlockArg) {
    if (!area || maxBlockArg - HeaderSize < MIN_PIECE) return nullptr;
    int order = _ilog2(maxBlockArg - HeaderSize);
    const int align = (int)sizeof(void*);
    int own = ((int)sizeof(BUDDYSYSTEM) + align - 1) & ~(align - 1);
    int heads = (order + 1) * (int)sizeof(BUDDYBLOCK);
    if (own + heads > size) return nullptr;
    unsigned char* p = static_cast<unsigned char*>(area);
    BUDDYSYSTEM* b = reinterpret_cast<BUDDYSYSTEM*>(p);
    b->heads = reinterpret_cast<BUDDYBLOCK*>(p + own);
    b->maxOrder = order;
    b->maxBlock = 1L << order;
    for (int i = 0; i <= order; ++i) {
        BUDDYBLOCK* h = &b->heads[i];
        h->tag = TAG_FREE;
        h->order = 0;
        h->offset = 0;
        h->toHead = h->fromHead = h;
    }
    QV_TRACE(TRACE_BUDSYS, TRACE_BUDSYS_CREATE, "pipi", b, size, b, maxBlockArg);
    b->AddMemory(p + own + heads, size - own - heads);
    return b;
}

void BUDDYSYSTEM::PutOnList(BUDDYBLOCK* block) {
    BUDDYBLOCK* h = &heads[block->order];
    block->tag = TAG_FREE;
    block->toHead = h;
    block->fromHead = h->fromHead;
    h->fromHead->toHead = block;
    h->fromHead = block;
    QV_TRACE(TRACE_BUDSYS, TRACE_BUDSYS_AVAILABLE, "ppi", this, block, (int)block->order);
}

void BUDDYSYSTEM::TakeFromList(BUDDYBLOCK* block) {
    block->toHead->fromHead = block->fromHead;
    block->fromHead->toHead = block->toHead;
    block->toHead = block->fromHead = nullptr;
    QV_TRACE(TRACE_BUDSYS, TRACE_BUDSYS_RESERVED, "ppi", this, block, (int)block->order);
}

void BUDDYSYSTEM::AddMemory(unsigned char* area, int size) {
    if (!area || size <= 0) return;
    int remaining = size - AREA_TAIL;
    while (remaining >= MIN_PIECE) {
        int k = _ilog2(remaining);
        if (k > maxOrder) k = maxOrder;
        BUDDYBLOCK* piece = reinterpret_cast<BUDDYBLOCK*>(area);
        piece->order = k;
        piece->offset = 0;
        QV_TRACE(TRACE_BUDSYS, TRACE_BUDSYS_ADD_MEMORY, "ppiii", this, piece, remaining, k, (int)maxOrder);
        PutOnList(piece);
        area += 1L << k;
        remaining -= 1L << k;
    }
    if (remaining + AREA_TAIL > 0) std::memset(area, 0, remaining + AREA_TAIL);
}

void* BUDDYSYSTEM::Alloc(int size) {
    if (size < 0 || size > INT_MAX - 64) return nullptr;
    int k = 0;
    while ((1L << k) < (long)size + HeaderSize) ++k;
    if (k > maxOrder) return nullptr;
    int j = k;
    while (j <= maxOrder && heads[j].fromHead == &heads[j]) ++j;
    if (j > maxOrder) return nullptr;
    BUDDYBLOCK* b = heads[j].fromHead;
    TakeFromList(b);
    b->tag = TAG_USED;
    while (b->order > k) {
        b->order -= 1;
        BUDDYBLOCK* upper = reinterpret_cast<BUDDYBLOCK*>(reinterpret_cast<unsigned char*>(b) + (1L << b->order));
        upper->order = b->order;
        upper->offset = 1L << b->order;
        QV_TRACE(TRACE_BUDSYS, TRACE_BUDSYS_SPLIT, "pppi", this, b, upper, (int)b->order);
        PutOnList(upper);
    }
    void* result = reinterpret_cast<unsigned char*>(b) + HeaderSize;
    QV_TRACE(TRACE_BUDSYS, TRACE_BUDSYS_ALLOC, "ppii", this, result, size, (int)(1L << k));
    return result;
}

void BUDDYSYSTEM::Free(void* p) {
    BUDDYBLOCK* b = reinterpret_cast<BUDDYBLOCK*>(static_cast<unsigned char*>(p) - HeaderSize);
    if (b->tag != TAG_USED) _Task_Abend(ABEND_MEM102, (ULONG_PTR)p);
    b->tag = 0;  // a second release of the same block is caught
    QV_TRACE(TRACE_BUDSYS, TRACE_BUDSYS_FREED, "ppp", this, p, b);
    // Whole pieces never merge: at maxOrder there is nothing above, and the
    // piece after a smaller one is smaller still.
    while (b->order < maxOrder) {
        long bit = 1L << b->order;
        unsigned char* base = reinterpret_cast<unsigned char*>(b) - b->offset;
        BUDDYBLOCK* buddy = reinterpret_cast<BUDDYBLOCK*>(base + (b->offset ^ bit));
        if (buddy->tag != TAG_FREE || buddy->order != b->order) break;
        TakeFromList(buddy);
        QV_TRACE(TRACE_BUDSYS, TRACE_BUDSYS_COMBINE, "pppi", this, buddy, b, (int)b->order);
        BUDDYBLOCK* upper = buddy > b ? buddy : b;
        if (buddy < b) b = buddy;
        upper->tag = 0;
        b->order += 1;
    }
    PutOnList(b);
}

int BUDDYSYSTEM::FreeCount(int order) const {
    if (order < 0 || order > maxOrder) return 0;
    int n = 0;
    for (BUDDYBLOCK* b = heads[order].fromHead; b != &heads[order]; b = b->fromHead) ++n;
    return n;
}

// ---- pools

// Taken for every object made and freed, by this process's threads only: a critical section.
MEMORYPOOL::MEMORYPOOL(MEMBLK* own, MEMTYPE t, int size)
    : lock(MSEM_LOCAL), type(t), ownBlock(own), blockSize(size), buddy(nullptr), cells(nullptr), firstBlock(nullptr),
      lastBlock(nullptr), blockCount(0), handle(-1) {}

MEMORYPOOL* MEMORYPOOL::Create(MEMTYPE type, int blockSize) {
    MEMBLK* own = MEMBLK::Make(blockSize, type, -1);
    if (!own) return nullptr;
    void* mem = own->Carve(sizeof(MEMORYPOOL));
    void* cellMem = own->Carve(sizeof(ALLOCATOR));
    if (!mem || !cellMem) {
        MEMBLK::Unmake(own);
        return nullptr;
    }
    MEMORYPOOL* pool = ::new (mem) MEMORYPOOL(own, type, blockSize);
    pool->cells = ::new (cellMem) ALLOCATOR(0, CellSize, blockSize, FALSE, 0);
    pool->cells->feedingPool = pool;
    pool->buddy = BUDDYSYSTEM::Create(own->freePtr, (int)own->freeSize, blockSize - MEMBLK::HeaderSize);
    if (!pool->buddy) _Task_Abend(ABEND_MEM101, (ULONG_PTR)blockSize);
    own->freePtr += own->freeSize;
    own->freeSize = 0;
    QV_TRACE(TRACE_MEMORY, TRACE_MEMORY_POOL_CREATE, "ppbii", own, pool, type, blockSize, (int)pool->handle);
    return pool;
}

void MEMORYPOOL::Delete(MEMORYPOOL* pool) {
    if (!pool) return;
    QV_TRACE(TRACE_MEMORY, TRACE_MEMORY_POOL_DELETE, "pp", pool->ownBlock, pool);
    MEMBLK* b = pool->firstBlock;
    while (b) {
        if (b->tag != TAG_MEMB) _Task_Abend(ABEND_DEL103, (ULONG_PTR)b);
        MEMBLK* n = b->next;
        MEMBLK::Unmake(b);
        b = n;
    }
    MEMBLK* own = pool->ownBlock;
    pool->cells->~ALLOCATOR();
    pool->~MEMORYPOOL();
    MEMBLK::Unmake(own);
}

MEMBLK* MEMORYPOOL::NewBlock(int size) {
    int h = (int)handle;
    MEMBLK* b = MEMBLK::Make(size ? size : (int)blockSize, type, h);
    if (!b) return nullptr;
    b->prev = lastBlock;
    if (lastBlock) lastBlock->next = b;
    else firstBlock = b;
    lastBlock = b;
    ++blockCount;
    return b;
}

void* MEMORYPOOL::Allocate(int size, unsigned long tag) {
    if (size < 0 || size > INT_MAX - 2 * DedicatedOffset) return nullptr;
    lock.Reserve(QV_WAIT_FOREVER, FALSE);
    int total = size + HeaderSize;
    long recorded = total;
    MEMHDR* h = nullptr;
    if (total >= MIN_CELL_TOTAL && total <= CellSize) {
        h = static_cast<MEMHDR*>(cells->newitem());
        if (!h) {
            if (MEMBLK* b = NewBlock(0)) {
                cells->AddMemory(b->freePtr, (int)b->freeSize);
                b->freePtr += b->freeSize;
                b->freeSize = 0;
                h = static_cast<MEMHDR*>(cells->newitem());
            }
        }
    } else if ((long)total + BUDDYSYSTEM::HeaderSize > buddy->maxBlock) {
        recorded = (long)size + DedicatedOffset;
        if (MEMBLK* b = NewBlock((int)recorded)) {
            h = reinterpret_cast<MEMHDR*>(b->freePtr);
            b->freePtr += b->freeSize;
            b->freeSize = 0;
        }
    } else {
        h = static_cast<MEMHDR*>(buddy->Alloc(total));
        if (!h) {
            if (MEMBLK* b = NewBlock(0)) {
                buddy->AddMemory(b->freePtr, (int)b->freeSize);
                b->freePtr += b->freeSize;
                b->freeSize = 0;
                h = static_cast<MEMHDR*>(buddy->Alloc(total));
            }
        }
    }
    void* p = nullptr;
    if (h) {
        h->tag = TAG_MEMH;
        h->pool = this;
        h->size = recorded;
        p = h + 1;
    }
    QV_TRACE(TRACE_MEMORY, TRACE_MEMORY_ALLOC, "pppil", this, h, p, (int)recorded, tag);
    lock.Release(FALSE);
    return p;
}

void MEMORYPOOL::Free(void* p) {
    if (!p) return;
    MEMHDR* h = static_cast<MEMHDR*>(p) - 1;
    lock.Reserve(QV_WAIT_FOREVER, FALSE);
    if (h->tag != TAG_MEMH || h->pool != this) _Task_Abend(ABEND_MEM102, (ULONG_PTR)p);
    long recorded = h->size;
    QV_TRACE(TRACE_MEMORY, TRACE_MEMORY_FREE, "pppi", this, h, p, (int)recorded);
    h->tag = 0;
    if (recorded >= MIN_CELL_TOTAL && recorded <= CellSize) {
        cells->delitem(h);
    } else if (recorded > buddy->maxBlock) {
        MEMBLK* b = reinterpret_cast<MEMBLK*>(static_cast<unsigned char*>(p) - DedicatedOffset);
        MEMBLK* f = firstBlock;
        while (f && f != b) f = f->next;
        if (!f) _Task_Abend(ABEND_MEM102, (ULONG_PTR)p);
        if (b->prev) b->prev->next = b->next;
        else firstBlock = b->next;
        if (b->next) b->next->prev = b->prev;
        else lastBlock = b->prev;
        --blockCount;
        MEMBLK::Unmake(b);
    } else {
        buddy->Free(h);
    }
    lock.Release(FALSE);
}

void MEMORYPOOL::FreeObj(void* p) {
    if (!p) return;
    MEMHDR* h = static_cast<MEMHDR*>(p) - 1;
    if (h->tag != TAG_MEMH || !h->pool) _Task_Abend(ABEND_MEM102, (ULONG_PTR)p);
    h->pool->Free(p);
}

void MEMORYPOOL::PrepareObj(BASEITEM* object) {
    const MEMHDR* h = static_cast<const MEMHDR*>(object->ItemGetAddress()) - 1;
    if (h->tag != TAG_MEMH) _Task_Abend(ABEND_MEM102, (ULONG_PTR)object->ItemGetAddress());
}

long MEMORYPOOL::RecordedSize(const void* p) {
    const MEMHDR* h = static_cast<const MEMHDR*>(p) - 1;
    return h->tag == TAG_MEMH ? h->size : -1;
}
