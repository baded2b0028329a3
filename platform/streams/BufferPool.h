#pragma once
// Hands out IOBUFFERs and keeps freed standard-size ones for reuse.
#include "Allocator.h"
#include "Chain.h"
#include "IoBuffer.h"

class BUFFERPOOL : public STORABLE {
public:
    long bufferSize;    // standard buffer size
    long maxFree;       // freed standard buffers kept for reuse
    long inUse;
    long foreignCount;  // buffers over foreign memory now out
    long alignment;
    BBOOL useDataAllocator;
    MEMORYPOOL* memoryPool;  // kept, not used
    ALLOCATOR objects;       // the IOBUFFER objects
    ALLOCATOR data;          // standard buffer memory when aligned
    CHAIN<IOBUFFER> freeBuffers;

    // localLocks: only threads of this process use the pool, so its locks are
    // critical sections (MSEM_LOCAL) rather than kernel mutexes.
    BUFFERPOOL(MEMORYPOOL* pool, int bufferSize, int maxFree, int alignment, BBOOL localLocks = FALSE);
    ~BUFFERPOOL() override;

    // size 0: a standard buffer (reused when one is kept); > 0: that size;
    // < 0: no memory. Null when nothing can be had.
    IOBUFFER* GetBuffer(int size = 0);
    // A buffer over memory it does not own, positioned over all of it.
    IOBUFFER* GetBuffer(const BUFFER& memory);
    void FreeBuffer(IOBUFFER* buffer, BBOOL areaOnly = FALSE);

    QV_ITEM_IDENTITY(BUFFERPOOL, "BUFFERPOOL", "BUFP")

private:
    void GiveBackMemory(IOBUFFER* buffer);
    void Release(IOBUFFER* buffer);
};
