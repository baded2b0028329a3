#pragma once
// Fixed-size cells for one class; the free list is first in, first out.
#include "BaseItem.h"
#include "Semaphore.h"

// 24-byte header of an allocator block; the cells follow.
struct ALLOCBLK {
    unsigned long tag;       // "BALC"
    unsigned long ownerTag;  // the allocator's tag
    ALLOCBLK* next;
    ALLOCBLK* prev;
    long size;
    long cellCount;
};

class ALLOCATOR : public BASEITEM {
public:
    MSEMAPHORE lock;
    ALLOCBLK* firstBlock;
    ALLOCBLK* lastBlock;
    long blockCount;
    void* freeHead;
    void* freeTail;
    long freeCount;
    unsigned long tag;
    long itemSize;
    long alignment;
    long blockSize;
    long sizedByItems;
    MEMORYPOOL* feedingPool;  // set when a pool feeds this allocator
    MEMORYPOOL* sourcePool;   // null: the system pool

    ALLOCATOR();  // fatal: "NEW103"
    ALLOCATOR(unsigned long tag, int itemSize, int blockSize, BBOOL locking, int alignment);
    ~ALLOCATOR() override;

    void* newitem();
    void* newitem(size_t size);  // fatal above itemSize: "NEW104"
    void delitem(void* cell);
    void AddMemory(void* block, int size);

    QV_ITEM_IDENTITY(ALLOCATOR, "ALLOCATOR", "ALOC")

private:
    void CutBlock(ALLOCBLK* block);
    void AppendFree(void* cell);
};
