#pragma once
// Counted byte string with a shared, copy-on-write body, and a view of a range
// of it (ZKCSubString).
#include "ZKxmsg.h"

class ZKCString;

class ZKCSubString {
public:
    ZKCSubString(ZKCString* s, ZKSize_T start, ZKSize_T len) : str_(s), start_(start), len_(len) {}

    bool isNull() const { return start_ == ZK_NPOS; }
    ZKSize_T start() const { return start_; }
    ZKSize_T length() const { return isNull() ? 0 : len_; }
    const char* data() const;

    ZKCSubString& operator=(const ZKCString& s);
    ZKCSubString& operator=(const char* text);
    ZKCSubString& operator=(const ZKCSubString& s);

    bool operator==(const char* text) const;
    bool operator==(const ZKCString& s) const;
    bool operator==(const ZKCSubString& s) const;
    bool operator!=(const char* text) const { return !(*this == text); }

    void toLower();
    void toUpper();
    char& operator[](ZKSize_T i);
    char& operator()(ZKSize_T i);

private:
    void assign(const char* text, ZKSize_T n);
    bool equals(const char* p, ZKSize_T n) const;
    ZKCString* str_;
    ZKSize_T start_;
    ZKSize_T len_;
};

class ZKCString {
public:
    enum caseCompare { exact, ignoreCase };
    enum stripType { leading = 1, trailing = 2, both = 3 };

    ZKCString();
    explicit ZKCString(ZKSize_T capacity);
    ZKCString(const char* text);
    ZKCString(const char* text, ZKSize_T n);
    ZKCString(char c, ZKSize_T n = 1);
    ZKCString(const ZKCSubString& sub);
    ZKCString(const ZKCString& o);
    ZKCString& operator=(const ZKCString& o);
    ZKCString& operator=(const char* text);
    ~ZKCString();

    const char* data() const { return data_; }
    ZKSize_T length() const { return rep()->length; }
    bool isNull() const { return length() == 0; }
    ZKSize_T capacity() const { return rep()->capacity; }
    ZKSize_T capacity(ZKSize_T n);
    // Further holders of the body (0 = only this string).
    int references() const { return rep()->refs; }

    ZKCString& replace(ZKSize_T pos, ZKSize_T count, const char* text, ZKSize_T newCount);
    ZKCString& append(char c, ZKSize_T n = 1);
    ZKCString& append(const char* text, ZKSize_T n);
    ZKCString& prepend(char c, ZKSize_T n = 1);
    ZKCString& operator+=(const char* text);
    ZKCString& operator+=(const ZKCString& s);
    void resize(ZKSize_T n);
    void toLower();
    void toUpper();
    ZKCSubString strip(stripType t, char c = ' ');

    char& operator[](ZKSize_T i);
    char operator[](ZKSize_T i) const;
    ZKCSubString operator()(ZKSize_T start, ZKSize_T len);

    int compareTo(const char* text, caseCompare c = exact) const;
    int compareTo(const ZKCString& s, caseCompare c = exact) const;
    ZKSize_T index(const char* pat, ZKSize_T patLen, ZKSize_T start = 0, caseCompare c = exact) const;
    ZKSize_T index(const char* pat, ZKSize_T start = 0, caseCompare c = exact) const;
    ZKCSubString subString(const char* text, ZKSize_T start = 0, caseCompare c = exact);
    ZKSize_T first(char c) const;
    ZKSize_T last(char c) const;
    ZKSize_T first(const char* set) const;
    // Zero-terminated forms: stop at the first embedded zero byte.
    ZKSize_T firstZ(char c) const;
    ZKSize_T lastZ(char c) const;
    unsigned hash(caseCompare c = exact) const;
    bool isAscii() const;
    ZKSize_T mbLength() const;
    int collate(const char* text) const;

    // Process-wide growth settings; each returns the previous value.
    static ZKSize_T initialCapacity(ZKSize_T n);
    static ZKSize_T resizeIncrement(ZKSize_T n);
    static ZKSize_T maxWaste(ZKSize_T n);
    static ZKSize_T adjustCapacity(ZKSize_T n);

private:
    friend class ZKCSubString;
    struct Rep {
        int refs;
        ZKSize_T capacity;
        ZKSize_T length;
        char* chars() { return reinterpret_cast<char*>(this + 1); }
    };
    Rep* rep() const { return reinterpret_cast<Rep*>(data_) - 1; }
    static Rep* emptyRep();
    static Rep* newRep(ZKSize_T capacity);
    static void release(Rep* r);
    bool shared() const;
    void makePrivate();
    void setRep(Rep* r) { data_ = r->chars(); }

    char* data_;
};

bool operator==(const ZKCString& s, const char* text);
bool operator==(const char* text, const ZKCString& s);
bool operator==(const ZKCString& a, const ZKCString& b);
inline bool operator!=(const ZKCString& s, const char* t) { return !(s == t); }
inline bool operator!=(const ZKCString& a, const ZKCString& b) { return !(a == b); }
ZKCString operator+(const ZKCString& s, const char* text);
ZKCString operator+(const char* text, const ZKCString& s);
ZKCString operator+(const ZKCString& a, const ZKCString& b);
ZKCString toLower(const ZKCString& s);
ZKCString toUpper(const ZKCString& s);
ZKCString strXForm(const ZKCString& s);
