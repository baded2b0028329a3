#pragma once
// What psock32's parts share: the thunk data, the per-thread result buffer,
// the calls down to the stack and the stack's bare look-up answers.
#include <cstdint>

#include "ThunkBridge.h"
#include "WinSock11.h"

extern "C" thunk::ThunkData32 thk_ThunkData32;

namespace psock {

const int ResultBufferBytes = 1024;

// The calling thread's result buffer; made on first use for threads that ran
// before the library was loaded. Null only when memory is out.
char* ThreadBuffer();

// A simple call: the entry and its image straight to the stack's bridge.
uint32_t Call16(thunk::Entry entry, const uint8_t* image, uint32_t size);
inline uint32_t Call16(thunk::Entry entry) { return Call16(entry, nullptr, 0); }

// A pointer argument turned into 16:16 while the call runs, through the
// service for its stack slot (the offset from the frame base: 8, 12, ...).
class MappedArg {
public:
    MappedArg(int ebpOffset, const void* slot);
    ~MappedArg();
    thunk::SegPtr Seg() const { return seg_; }

private:
    int index_;
    thunk::SegPtr seg_;
};

// The stack's error for this thread, and setting it.
int StackError();
void SetStackError(int error);

// Bare answers of the stack for the look-ups (0 or null: none).
int ProtoNumberOf(const char* name);
const char* ProtoNameOf(int number);
int ServPortOf(const char* name, const char* proto);
const char* ServNameOf(int port, const char* proto);
uint32_t HostAddressOf(const char* name);
const char* HostNameOf(uint32_t address);

}  // namespace psock
