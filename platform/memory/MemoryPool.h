#pragma once
// Memory pools: a buddy system for small and medium requests, 4112-byte
// cells around one page, and dedicated heap blocks for anything larger.
#include "BaseItem.h"
#include "Semaphore.h"

typedef int MEMTYPE;  // passed to the heap call and recorded, selects nothing

// A heap block: its header (32 bytes in the 32-bit build), then the usable area.
class MEMBLK {
public:
    unsigned long tag;  // "MEMB"
    long size;          // whole block, header included
    MEMBLK* next;
    MEMBLK* prev;
    MEMTYPE type;
    long handle;
    unsigned char* freePtr;  // start of the part not yet carved
    long freeSize;

    static const int HeaderSize;  // sizeof(MEMBLK)
    // Takes a block from the heap and writes its header; null on failure.
    static MEMBLK* Make(int size, MEMTYPE type, int handle);
    // Returns the block to the heap.
    static void Unmake(MEMBLK* block);
    unsigned char* Area() { return reinterpret_cast<unsigned char*>(this) + HeaderSize; }
    void* Carve(int bytes);  // from the free area, 4-byte aligned; null when short

    static void* operator new(size_t size);               // fatal: "NEW101"
    static void* operator new(size_t size, void* where);  // fatal for 0: "NEW104"
    static void operator delete(void* p);                 // fatal: "DEL101"
    static void operator delete(void*, void*) {}
};
inline const int MEMBLK::HeaderSize = (int)sizeof(MEMBLK);

// 12 bytes (32-bit build) in front of every pointer a pool returns.
struct MEMHDR {
    unsigned long tag;  // "MEMH"
    MEMORYPOOL* pool;
    long size;          // recorded size that routes the release
};

// Header of every buddy block: 20 bytes in the 32-bit build.
struct BUDDYBLOCK {
    unsigned long tag;  // "BBBA" free, "BBBR" handed out
    long order;         // the block is 2^order bytes, header included
    long offset;        // position relative to its buddy pair
    BUDDYBLOCK* toHead;
    BUDDYBLOCK* fromHead;
};

class BUDDYSYSTEM {
public:
    BUDDYBLOCK* heads;  // maxOrder + 1 list heads
    long maxBlock;
    long maxOrder;

    static const int HeaderSize = (int)sizeof(BUDDYBLOCK);
    static BUDDYSYSTEM* Create(void* area, int size, int maxBlock);
    void* Alloc(int size);  // size includes nothing: the caller's bytes
    void Free(void* p);
    void AddMemory(unsigned char* area, int size);
    // Number of free blocks of an order (for inspection).
    int FreeCount(int order) const;

private:
    void PutOnList(BUDDYBLOCK* block);
    void TakeFromList(BUDDYBLOCK* block);
};

class MEMORYPOOL {
public:
    MSEMAPHORE lock;
    MEMTYPE type;
    MEMBLK* ownBlock;
    long blockSize;
    BUDDYSYSTEM* buddy;
    ALLOCATOR* cells;
    MEMBLK* firstBlock;
    MEMBLK* lastBlock;
    long blockCount;
    long handle;

    static const int HeaderSize = (int)sizeof(MEMHDR);  // 12 in the 32-bit build
    static const int DedicatedOffset = (int)(sizeof(MEMBLK) + sizeof(MEMHDR));  // 44 in the 32-bit build
    static const int CellSize = 4112;

    static MEMORYPOOL* Create(MEMTYPE type, int blockSize);
    static void Delete(MEMORYPOOL* pool);
    void* Allocate(int size, unsigned long tag);
    void Free(void* p);
    static void FreeObj(void* p);
    static void PrepareObj(BASEITEM* object);
    void ShmAttachHandler(int) {}

    // The recorded size of an allocation (for inspection).
    static long RecordedSize(const void* p);

private:
    MEMORYPOOL(MEMBLK* own, MEMTYPE type, int blockSize);
    ~MEMORYPOOL() {}
    MEMBLK* NewBlock(int size);
};
