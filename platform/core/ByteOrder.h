#pragma once
// Reading and writing 16- and 32-bit numbers in a fixed byte order, whatever
// the build: stored files and wire formats use these, never a structure's own
// layout. "Le" is least significant byte first, "Be" most significant first.
#include <cstdint>

inline uint16_t GetLe16(const void* at) {
    const unsigned char* p = static_cast<const unsigned char*>(at);
    return (uint16_t)(p[0] | (p[1] << 8));
}
inline uint32_t GetLe32(const void* at) {
    const unsigned char* p = static_cast<const unsigned char*>(at);
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline uint16_t GetBe16(const void* at) {
    const unsigned char* p = static_cast<const unsigned char*>(at);
    return (uint16_t)((p[0] << 8) | p[1]);
}
inline uint32_t GetBe32(const void* at) {
    const unsigned char* p = static_cast<const unsigned char*>(at);
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | (uint32_t)p[3];
}
inline void PutLe16(void* at, uint32_t v) {
    unsigned char* p = static_cast<unsigned char*>(at);
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}
inline void PutLe32(void* at, uint32_t v) {
    unsigned char* p = static_cast<unsigned char*>(at);
    for (int i = 0; i < 4; ++i) p[i] = (unsigned char)(v >> (8 * i));
}
inline void PutBe16(void* at, uint32_t v) {
    unsigned char* p = static_cast<unsigned char*>(at);
    p[0] = (unsigned char)(v >> 8);
    p[1] = (unsigned char)v;
}
inline void PutBe32(void* at, uint32_t v) {
    unsigned char* p = static_cast<unsigned char*>(at);
    for (int i = 0; i < 4; ++i) p[i] = (unsigned char)(v >> (24 - 8 * i));
}
// The n low bytes of v (n at most 8), least significant first: for numbers
// as wide as the build's pointers.
inline void PutLeN(void* at, uint64_t v, int n) {
    unsigned char* p = static_cast<unsigned char*>(at);
    for (int i = 0; i < n; ++i) p[i] = (unsigned char)(v >> (8 * i));
}
inline uint64_t GetLeN(const void* at, int n) {
    const unsigned char* p = static_cast<const unsigned char*>(at);
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= (uint64_t)p[i] << (8 * i);
    return v;
}
