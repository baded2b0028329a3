#include "IoBuffer.h"

#include "BufferPool.h"
#include "TaskAbend.h"

IOBUFFER::IOBUFFER(BUFFERPOOL* p)
    : pool(p), userWord1(0), userWord2(0), noReuse(FALSE), foreign(FALSE), fromData(FALSE), owning(FALSE),
      msgStart(nullptr), msgLength(0), incomplete(FALSE), scanned(0), modeWord(0) {}

IOBUFFER::~IOBUFFER() {
    if (hasMemory) _Task_Abend(ABEND_DEL104, reinterpret_cast<ULONG_PTR>(this));
}

void IOBUFFER::Reset() {
    SetEmpty();
    flushed = FALSE;
    openLength = FALSE;
    userWord1 = userWord2 = 0;
    owning = FALSE;
    msgStart = nullptr;
    msgLength = 0;
    incomplete = FALSE;
    scanned = 0;
    modeWord = 0;
}

void IOBUFFER::FreeArea() {
    if (!pool) _Task_Abend(ABEND_DEL104, reinterpret_cast<ULONG_PTR>(this));
    pool->FreeBuffer(this, TRUE);
}

void IOBUFFER::freeobj() {
    if (!pool) _Task_Abend(ABEND_DEL104, reinterpret_cast<ULONG_PTR>(this));
    if (InterlockedDecrement(&count) > 0) return;
    pool->FreeBuffer(this, FALSE);
}

SGBLOB::SGBLOB(IOBUFFER* buffer) : parts(FALSE) { Add(buffer); }

SGBLOB::~SGBLOB() { parts.RemoveAll(FALSE, nullptr); }

void SGBLOB::Add(IOBUFFER* buffer) {
    if (!buffer) return;
    parts.Add(*buffer);
    blob.length += buffer->cursor.length;
}
