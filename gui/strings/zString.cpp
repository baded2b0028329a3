#include "zString.h"

#include <cstring>
#include <vector>

zString::zString(const zResId& id, unsigned maxLen) {
    if (!maxLen) return;
    HMODULE module = zResAppInstance();
    HMODULE lib = 0;
    if (id.moduleName()) {
        lib = LoadLibraryA(id.moduleName());
        // A library that does not load falls back to the program's own table.
        if (reinterpret_cast<UINT_PTR>(lib) >= 32) module = lib;
        else lib = 0;
    }
    if (id.moduleHandle()) module = id.moduleHandle();
    std::vector<char> buf(maxLen);
    int n = LoadStringA(module, id.number() & 0xFFFF, buf.data(), static_cast<int>(maxLen));
    if (lib) FreeLibrary(lib);
    if (n > 0) s_ = ZKCString(buf.data(), static_cast<ZKSize_T>(n));
}

zString& zString::operator=(const char* text) {
    // A null text empties the string without touching a body others may share.
    if (!text) s_ = ZKCString();
    else s_ = text;
    return *this;
}

bool zString::operator==(const zString& o) const {
    return s_.length() == o.s_.length() && std::memcmp(s_.data(), o.s_.data(), s_.length()) == 0;
}

unsigned zString::reSize(unsigned n) {
    s_.capacity(n);
    return n;
}

zString& zString::operator&=(const char* text) {
    if (text) s_ += text;
    return *this;
}

zString& zString::operator&=(char c) {
    if (c) s_.append(c, 1);
    return *this;
}

zString& zString::operator&=(const zString& o) {
    s_ += o.s_;
    return *this;
}

// ---- string blocks ----------------------------------------------------------

zResStrBlock::zResStrBlock(const zResId& id)
    : zUserResource(id), start_(static_cast<const char*>(data())), cur_(0) {}

zResStrBlock::zResStrBlock(const zResId& id, const ZKCString& type)
    : zUserResource(id, type), start_(static_cast<const char*>(data())), cur_(0) {}

const char* zResStrBlock::operator()() {
    if (!start_) return 0;
    const char* end = start_ + size();
    if (!cur_) {
        cur_ = start_;
    } else if (cur_ < end && *cur_) {
        const char* p = static_cast<const char*>(std::memchr(cur_, 0, end - cur_));
        cur_ = p ? p + 1 : end;
    }
    // The ending empty string keeps the cursor (null until reset); so does a
    // string without its terminator inside the resource.
    if (cur_ >= end || !*cur_ || !std::memchr(cur_, 0, end - cur_)) return 0;
    return cur_;
}
