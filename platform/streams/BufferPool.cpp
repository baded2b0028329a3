#include "BufferPool.h"

#include "QvWindows.h"

#include <new>

#include "MemoryPool.h"
#include "SpControl.h"

namespace {

void Trace(unsigned short event, const char* kinds, BUFFERPOOL* pool, IOBUFFER* b) {
    QV_TRACE(TRACE_MEMORY, event, kinds, pool, b, b->area.data, static_cast<int>(b->count));
}

}  // namespace

BUFFERPOOL::BUFFERPOOL(MEMORYPOOL* pool, int size, int keep, int align, BBOOL localLocks)
    : bufferSize(size),
      maxFree(keep),
      inUse(0),
      foreignCount(0),
      alignment(align),
      useDataAllocator(align != 0),
      memoryPool(pool),
      objects(QvTag("IOBF"), static_cast<int>(sizeof(IOBUFFER)), 4096, localLocks ? MSEM_LOCAL : TRUE, 0),
      data(QvTag("IOBD"), size, 65536, localLocks ? MSEM_LOCAL : TRUE, align),
      freeBuffers(localLocks ? MSEM_LOCAL : TRUE) {}

BUFFERPOOL::~BUFFERPOOL() {
    while (IOBUFFER* b = freeBuffers.RemoveFirst()) Release(b);
}

IOBUFFER* BUFFERPOOL::GetBuffer(int size) {
    IOBUFFER* b = size == 0 ? freeBuffers.RemoveFirst() : nullptr;
    if (b) {
        b->Reset();
        b->count = 0;  // a kept buffer starts a new life
    } else {
        void* cell = objects.newitem();
        if (!cell) return nullptr;
        b = ::new (cell) IOBUFFER(this);
        BBOOL ok = TRUE;
        if (size == 0 && useDataAllocator) {
            ok = b->BufAlloc(data, bufferSize);
            b->fromData = ok;
        } else if (size >= 0) {
            ok = b->BufAlloc(size ? size : bufferSize, QvTag("IOBD"));
        }
        if (!ok) {
            b->freeobj(objects);
            return nullptr;
        }
        if (size != 0) b->noReuse = TRUE;
    }
    InterlockedIncrement(&inUse);
    Trace(TRACE_MEMORY_BUFFER_ALLOC, "ppp", this, b);
    return b;
}

IOBUFFER* BUFFERPOOL::GetBuffer(const BUFFER& memory) {
    void* cell = objects.newitem();
    if (!cell) return nullptr;
    IOBUFFER* b = ::new (cell) IOBUFFER(this);
    b->prepare();
    b->foreign = TRUE;
    b->BufSet(memory);
    b->SetForWrite();
    // Any thread may get and free buffers.
    InterlockedIncrement(&inUse);
    InterlockedIncrement(&foreignCount);
    Trace(TRACE_MEMORY_SHARED_BUFFER_ALLOC, "ppp", this, b);
    return b;
}

void BUFFERPOOL::GiveBackMemory(IOBUFFER* b) {
    if (b->foreign) {
        if (b->hasMemory) InterlockedDecrement(&foreignCount);
        b->BufSet(BUFFER());
    } else if (b->fromData) {
        b->BufFree(data);
    } else {
        b->BufFree();
    }
    b->fromData = FALSE;
}

void BUFFERPOOL::Release(IOBUFFER* b) {
    GiveBackMemory(b);
    b->count = 0;  // the pool's release always ends the object
    b->freeobj(objects);
}

void BUFFERPOOL::FreeBuffer(IOBUFFER* b, BBOOL areaOnly) {
    if (!b) return;
    Trace(b->foreign ? TRACE_MEMORY_SHARED_BUFFER_FREE : TRACE_MEMORY_BUFFER_FREE, "pppo", this, b);
    if (areaOnly) {
        // The object stays out: it is counted down when it comes back.
        GiveBackMemory(b);
        b->noReuse = TRUE;
        return;
    }
    InterlockedDecrement(&inUse);
    // The limit test and the append are one step under the chain's lock.
    freeBuffers.lock.Reserve(QV_WAIT_FOREVER);
    BBOOL keep = freeBuffers.Count() < maxFree && !b->noReuse && !b->foreign && b->hasMemory;
    if (keep) {
        b->Reset();
        b->count = 0;
        freeBuffers.Add(*b);
    }
    freeBuffers.lock.Release();
    if (!keep) Release(b);
}
