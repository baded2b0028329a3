#pragma once
// Little-endian numbers and short texts in table-store stream bodies.
#include <cstring>

#include "ByteOrder.h"
#include "Streamable.h"

namespace tableio {

inline void PutU32(STREAMBUF& s, unsigned long v) {
    unsigned char b[4];
    PutLe32(b, v);
    s.CopyIn(b, 4);
}

// 0 when fewer than 4 bytes remain.
inline unsigned long GetU32(STREAMBUF& s, bool swap) {
    unsigned char b[4];
    if (s.cursor.length < 4 || s.CopyOut(b, 4) != 4) return 0;
    return swap ? GetBe32(b) : GetLe32(b);
}

// A NUL-terminated text of at most 63 characters.
inline void PutText(STREAMBUF& s, const char* text) {
    size_t n = strnlen(text, 63);
    s.CopyIn(text, (long)n);
    s.CopyIn("", 1);
}

// Reads up to the NUL (or the end of the body) and keeps 63 characters.
inline void GetText(STREAMBUF& s, char* out) {
    int kept = 0;
    char c;
    while (s.CopyOut(&c, 1) == 1 && c != 0)
        if (kept < 63) out[kept++] = c;
    out[kept] = 0;
}

inline bool Unreadable(const STREAMBUF& s) { return (s.flags & SPF_UNREADABLE) != 0; }
inline bool Swapped(const STREAMBUF& s) { return (s.flags & SPF_SWAPPED) != 0; }

// Flag bytes and numbers of a frame, written only where they fit whole.
inline void PutFlag(STREAMBUF& s, int v) {
    unsigned char b = v ? 1 : 0;
    if (s.cursor.length >= 1) s.CopyIn(&b, 1);
}
inline void PutLong(STREAMBUF& s, unsigned long v) {
    if (s.cursor.length >= 4) PutU32(s, v);
}

// Reads a frame's values in order; once one is cut short, every later one reads as 0.
class FrameReader {
public:
    explicit FrameReader(STREAMBUF& s) : in(s), swap(Swapped(s)), cut(false) {}
    unsigned long Long() {
        cut = cut || in.cursor.length < 4;
        return cut ? 0 : GetU32(in, swap);
    }
    int Flag() {
        unsigned char b = 0;
        cut = cut || in.cursor.length < 1;
        if (!cut) in.CopyOut(&b, 1);
        return b ? 1 : 0;
    }

private:
    STREAMBUF& in;
    bool swap;
    bool cut;
};

// Reverses the first n bytes of a value of type 5 or 6 written in the other order.
inline void SwapValue(unsigned char* data, int n) {
    for (int i = 0; i < n / 2; ++i) {
        unsigned char t = data[i];
        data[i] = data[n - 1 - i];
        data[n - 1 - i] = t;
    }
}

}  // namespace tableio
