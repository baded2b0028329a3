#pragma once
// Field codec of the request file's records: 4-byte integers in the
// writer's byte order (little-endian here), single bytes and NUL-ended
// texts. A field the record has no bytes left for reads as 0 or empty.
#include <cstring>

#include "ByteOrder.h"
#include "StreamPrefix.h"
#include "Streamable.h"

namespace reqfields {

inline void PutInt(STREAMBUF& s, long v) {
    if (s.cursor.length < 4) return;
    PutLe32(s.cursor.data, static_cast<uint32_t>(v));
    s.cursor.data += 4;
    s.cursor.length -= 4;
}

inline void PutByte(STREAMBUF& s, int v) {
    char b = static_cast<char>(v);
    s.CopyIn(&b, s.cursor.length < 1 ? 0 : 1);
}

inline void PutText(STREAMBUF& s, const char* text) {
    long n = static_cast<long>(strlen(text ? text : "")) + 1;
    s.CopyIn(text ? text : "", s.cursor.length < n ? s.cursor.length : n);
}

inline long GetInt(STREAMBUF& s) {
    if (s.cursor.length < 4) {
        s.cursor.data += s.cursor.length;
        s.cursor.length = 0;
        return 0;
    }
    uint32_t v = static_cast<uint32_t>(GetStreamU32(s.cursor.data, s.flags));
    s.cursor.data += 4;
    s.cursor.length -= 4;
    return static_cast<long>(static_cast<int32_t>(v));
}

inline int GetByte(STREAMBUF& s) {
    if (s.cursor.length < 1) return 0;
    int v = static_cast<unsigned char>(*s.cursor.data);
    s.cursor.data += 1;
    s.cursor.length -= 1;
    return v;
}

// Reads a text bounded by the record; keeps at most size - 1 characters,
// skipping the rest up to its NUL. FALSE when the record ends first.
inline bool GetText(STREAMBUF& s, char* out, long size) {
    long i = 0;
    while (s.cursor.length > 0) {
        char c = *s.cursor.data++;
        --s.cursor.length;
        if (c == 0) {
            out[i < size ? i : size - 1] = 0;
            return true;
        }
        if (i < size - 1) out[i++] = c;
    }
    out[i < size ? i : size - 1] = 0;
    return false;
}

}  // namespace reqfields
