#pragma once
// Small text steps shared by the HTTP message parsers and builders.
#include <cstddef>
#include <cstring>
#include <string>

namespace httptext {

// Past blanks, tabs and CRs.
inline char* SkipBlanks(char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
    return p;
}

// The text from p up to the first of stops (or the end); the cursor moves past it.
inline std::string ScanUntil(char*& p, const char* stops) {
    char* start = p;
    while (*p && !std::strchr(stops, *p)) ++p;
    return std::string(start, p - start);
}

// Appends text cut to the room left before end, always terminated; false when
// it did not all fit.
inline bool Put(char*& at, char* end, const char* text, size_t n) {
    size_t room = end - at > 0 ? (size_t)(end - at - 1) : 0;
    size_t k = n < room ? n : room;
    std::memcpy(at, text, k);
    at += k;
    if (end - at > 0) *at = 0;
    return k == n;
}

}  // namespace httptext
