#pragma once
// Heap blocks for the memory pools; counted in the support object's total.
#include "BaseItem.h"
#include "MemoryPool.h"

unsigned char* MemBlkAlloc(int size, MEMTYPE type, int* handle);
unsigned char* ShmBlkAlloc(int size, int* handle);  // shared memory: always null
void MemBlkFree(unsigned char* block, int size, MEMTYPE type, int handle);
void MemBlkFree(BUFFER& block, MEMTYPE type, int handle);  // clears the view

// Bytes handed out before the support object exists, and after it is gone.
extern long _InitialSystemMemory;
