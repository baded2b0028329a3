#pragma once
// Builders of the host, service and protocol records that the database
// look-ups answer with. A record is one block, zeroed first, whose pointers
// point into the block itself: its fixed structure, then the lists, the
// address and the names. The pointers are written with a given width and as
// if the block lay at a given address, so that the 32-bit layout can be built
// (and checked) by any build; a live record uses NativeForm.
//
// hostent, 32-bit (size = name length + 33): 0 h_name -> 32, 4 h_aliases ->
// 28, 8 h_addrtype, 10 h_length, 12 h_addr_list -> 16; 16 the address
// pointer -> 24, 20 zero; 24 the address; 28 zero (no aliases); 32 the name.
// servent, 32-bit (size = name + proto lengths + 22): 0 s_name -> 20, 4
// s_aliases -> 16, 8 s_port, 12 s_proto -> after the name; 16 zero; 20 the
// name, then the protocol name. protoent, 32-bit (size = name length + 17):
// 0 p_name -> 16, 4 p_aliases -> 12, 8 p_proto; 12 zero; 16 the name.
// The 64-bit forms keep the platform's structures (8-byte pointers, s_proto
// before s_port) with the same tail order, each list aligned to 8.
#include <cstddef>
#include <cstdint>

namespace records {

struct PointerForm {
    unsigned width;  // 4 or 8
    uint64_t base;   // the address the block has (or will have)
};

inline PointerForm NativeForm(const void* block) {
    return PointerForm{(unsigned)sizeof(void*), (uint64_t)(uintptr_t)block};
}

int HostentSize(unsigned width, size_t nameLength);
int ServentSize(unsigned width, size_t nameLength, size_t protoLength);
int ProtoentSize(unsigned width, size_t nameLength);

// Each builder takes the block's length in and out: when the record does not
// fit, it stores the size needed and answers false without writing.
// `address` and `port` are stored as given (network order).
bool BuildHostent(void* block, int* length, PointerForm form, const char* name, uint32_t address, int type,
                  int addressLength);
bool BuildServent(void* block, int* length, PointerForm form, const char* name, const char* proto, int port);
bool BuildProtoent(void* block, int* length, PointerForm form, const char* name, int number);

}  // namespace records
