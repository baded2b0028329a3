#include "MemBlk.h"

#include <cstdlib>

#include "SpControl.h"

long _InitialSystemMemory = 0;

static long& MemoryTotal() { return _pSupport ? _pSupport->systemMemory : _InitialSystemMemory; }

unsigned char* MemBlkAlloc(int size, MEMTYPE type, int* handle) {
    if (size <= 0) return nullptr;
    unsigned char* p = static_cast<unsigned char*>(std::malloc(size));
    if (!p) return nullptr;
    MemoryTotal() += size;
    QV_TRACE(TRACE_MEMORY, TRACE_MEMORY_SYSTEM_ALLOC, "pib", p, size, type);
    return p;
}

unsigned char* ShmBlkAlloc(int, int*) { return nullptr; }

void MemBlkFree(unsigned char* block, int size, MEMTYPE type, int handle) {
    if (!block) return;
    QV_TRACE(TRACE_MEMORY, TRACE_MEMORY_SYSTEM_FREE, "pibi", block, size, type, handle);
    std::free(block);
    MemoryTotal() -= size;
}

void MemBlkFree(BUFFER& block, MEMTYPE type, int handle) {
    MemBlkFree(reinterpret_cast<unsigned char*>(block.data), (int)block.length, type, handle);
    block.data = nullptr;
}
