#include "zPictStrEl.h"

zBitVector::zBitVector(int bits) : bytes((size_t)(((bits < 0 ? 0 : bits) | 7) + 1) / 8, 0) {}

void zBitVector::set(int bit, int on) {
    if (bit < 0 || bit >= size()) return;
    if (on) bytes[(size_t)bit / 8] |= (unsigned char)(1u << (bit % 8));
    else bytes[(size_t)bit / 8] &= (unsigned char)~(1u << (bit % 8));
}

int zBitVector::test(int bit) const {
    if (bit < 0 || bit >= size()) return 0;
    return (bytes[(size_t)bit / 8] >> (bit % 8)) & 1;
}

namespace {

char caseFolded(char c, unsigned long flags) {
    if (flags & zPictLower) c = (char)(ULONG_PTR)CharLowerA((LPSTR)(ULONG_PTR)(unsigned char)c);
    if (flags & zPictUpper) c = (char)(ULONG_PTR)CharUpperA((LPSTR)(ULONG_PTR)(unsigned char)c);
    return c;
}

}  // namespace

zPictStrMaskEl::zPictStrMaskEl(char m)
    : zPictStrEl(m, 0x2), placeholder((m == '#' || m == '9') ? '#' : '_') {}

int zPictStrMaskEl::addChar(char c, int testOnly, unsigned long flags) {
    if (c == placeholder) {
        if (!testOnly) current = 0;
        return 1;
    }
    bool digit = c >= '0' && c <= '9';
    bool ok = false;
    switch (pictChar) {
    case 'A': ok = IsCharAlphaA(c) || c == ' '; break;
    case '!':
        ok = true;
        c = (char)(ULONG_PTR)CharUpperA((LPSTR)(ULONG_PTR)(unsigned char)c);
        break;
    case '#': ok = digit || c == '-' || c == '+' || c == ' '; break;
    case '9': ok = digit; break;
    case 'N': ok = IsCharAlphaNumericA(c) != 0; break;
    case 'X': ok = true; break;
    default: ok = false; break;
    }
    if (ok && !testOnly) current = caseFolded(c, flags);
    return ok;
}

char zPictStrMaskEl::getChar(unsigned long flags) const {
    if (current) return current;
    if (flags & zPictRawText) return 0;
    return (flags & zPictShowFill) ? placeholder : 0;
}

zPictStrSetEl::zPictStrSetEl(const zBitVector& allowed, unsigned short inv) : zPictStrEl('[', 0x2), set(allowed), inverted(inv) {}

int zPictStrSetEl::addChar(char c, int testOnly, unsigned long) {
    bool in = set.test((unsigned char)c) != 0;
    if (inverted ? !in : in) {
        if (!testOnly) current = c;
        return 1;
    }
    if (c == placeholder) {
        if (!testOnly) current = 0;
        return 1;
    }
    return 0;
}

char zPictStrSetEl::getChar(unsigned long flags) const {
    if (current) return current;
    return (flags & zPictShowFill) ? placeholder : 0;
}
