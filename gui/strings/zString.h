#pragma once
// The window framework's string (a shell over ZKCString that can load itself
// from the string table) and the walker over a resource holding a string list.
#include "ZKCString.h"
#include "zResId.h"

class zString {
public:
    zString() {}
    explicit zString(unsigned) {}
    zString(char c, unsigned n, unsigned = 0) : s_(c, n) {}
    zString(const char* text, unsigned = 0) : s_(text ? text : "") {}
    zString(const zString& o, unsigned) : s_(o.s_) {}
    zString(const zString& o) : s_(o.s_) {}
    zString(const ZKCString& s) : s_(s) {}
    zString(const zResId& id, unsigned maxLen = 256);

    zString& operator=(const zString& o) { s_ = o.s_; return *this; }
    zString& operator=(const ZKCString& s) { s_ = s; return *this; }
    zString& operator=(const char* text);

    bool operator==(const zString& o) const;
    bool operator!=(const zString& o) const { return !(*this == o); }
    bool operator==(const char* text) const { return s_ == text; }
    bool operator!=(const char* text) const { return !(s_ == text); }

    unsigned reSize(unsigned n);
    zString& operator&=(const char* text);
    zString& operator&=(char c);
    zString& operator&=(const zString& o);

    operator const char*() const { return s_.data(); }
    const char* data() const { return s_.data(); }
    unsigned length() const { return s_.length(); }
    bool isEmpty() const { return s_.length() == 0; }
    const ZKCString& str() const { return s_; }
    ZKCString& str() { return s_; }

private:
    ZKCString s_;
};

// Walks a custom resource holding zero-terminated strings ended by an empty one.
class zResStrBlock : public zUserResource {
public:
    explicit zResStrBlock(const zResId& id);
    zResStrBlock(const zResId& id, const ZKCString& type);
    const char* operator()();
    void reset() { cur_ = 0; }

private:
    const char* start_;
    const char* cur_;
};
