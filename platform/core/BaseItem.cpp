#include "BaseItem.h"

#include "QvWindows.h"

#include <cstring>

#include "Allocator.h"
#include "MemoryPool.h"
#include "SpControl.h"
#include "TaskAbend.h"

namespace {
enum { TO_OWNER_POOL, TO_POOL, TO_ALLOCATOR };
}

void BASEITEM::freeobj() {
    if (IsItemBLOCKED()) _Task_Abend(ABEND_DEL101, (ULONG_PTR)this);
    ReleaseMemory(TO_OWNER_POOL, nullptr);
}

void BASEITEM::freeobj(MEMORYPOOL* pool) {
    if (IsItemBLOCKED()) _Task_Abend(ABEND_DEL102, (ULONG_PTR)this);
    ReleaseMemory(TO_POOL, pool);
}

void BASEITEM::freeobj(ALLOCATOR& allocator) {
    if (!IsItemBLOCKED()) _Task_Abend(ABEND_DEL102, (ULONG_PTR)this);
    ReleaseMemory(TO_ALLOCATOR, &allocator);
}

void BASEITEM::ReleaseMemory(int how, void* where) {
    // Holders on other threads take and drop the same object at the same time.
    if (InterlockedDecrement(&count) > 0) return;
    // Decided before the destructor runs: the support object may be the one going.
    const bool serialise = _pSupport && _pSupport->lockObjectCleanup;
    if (serialise) EnterCriticalSection(&_CSObjectCleanup);
    void* address = ItemGetAddress();
    this->~BASEITEM();
    switch (how) {
    case TO_OWNER_POOL: MEMORYPOOL::FreeObj(address); break;
    case TO_POOL: static_cast<MEMORYPOOL*>(where)->Free(address); break;
    default: static_cast<ALLOCATOR*>(where)->delitem(address); break;
    }
    if (serialise) LeaveCriticalSection(&_CSObjectCleanup);
}

void BASEITEM::prepare() {
    InterlockedIncrement(&count);
    if (!IsItemBLOCKED()) MEMORYPOOL::PrepareObj(this);
}

void* BASEITEM::operator new(size_t size) { return operator new(size, _pSystemMemoryPool); }

void* BASEITEM::operator new(size_t size, MEMORYPOOL* pool) {
    if (size == 0) _Task_Abend(ABEND_NEW104, 0);
    void* p = pool ? pool->Allocate((int)size, 0) : nullptr;
    if (!p) _Task_Abend(ABEND_STG101, (ULONG_PTR)size);
    return p;
}

void* BASEITEM::operator new(size_t size, ALLOCATOR& allocator) noexcept { return allocator.newitem(size); }

void BASEITEM::operator delete(void* p) { _Task_Abend(ABEND_DEL101, (ULONG_PTR)p); }
void BASEITEM::operator delete(void* p, MEMORYPOOL* pool) { pool->Free(p); }
void BASEITEM::operator delete(void* p, ALLOCATOR& allocator) { allocator.delitem(p); }

STORABLE& STORABLE::operator=(const STORABLE&) { _Task_Abend(ABEND_OBJ101, (ULONG_PTR)this); }

STORABLE::~STORABLE() {
    if (chainCount != 0) _Task_Abend(ABEND_OBJ102, (ULONG_PTR)this);
}

void* bBLOCKED::operator new(size_t size) { _Task_Abend(size == 0 ? ABEND_NEW104 : ABEND_NEW101, (ULONG_PTR)size); }
void* bBLOCKED::operator new(size_t size, ALLOCATOR& allocator) noexcept { return allocator.newitem(size); }
void bBLOCKED::operator delete(void* p) { _Task_Abend(ABEND_DEL101, (ULONG_PTR)p); }
void bBLOCKED::operator delete(void* p, ALLOCATOR& allocator) { allocator.delitem(p); }

bSPOINTER::~bSPOINTER() {
    if (linked) _Task_Abend(ABEND_OBJ102, (ULONG_PTR)this);
}

void* bSPOINTER::operator new(size_t size) noexcept { return _pCOMSPTRA ? _pCOMSPTRA->newitem(size) : nullptr; }

void bSPOINTER::operator delete(void* p) {
    if (p && _pCOMSPTRA) _pCOMSPTRA->delitem(p);
}

BUFFER& BUFFER::AddString(const char* text) {
    if (length <= 0 || !data) return *this;
    long n = text ? (long)std::strlen(text) : 0;
    if (n > length - 1) n = length - 1;
    std::memcpy(data, text, n);
    data += n;
    length -= n;
    *data = 0;
    return *this;
}
