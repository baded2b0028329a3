#include "ZKCString.h"

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

ZKSize_T g_initialCapacity = 15;
ZKSize_T g_resizeIncrement = 16;
ZKSize_T g_maxWaste = 15;

// The shared empty body: header plus terminator, never freed.
struct {
    int refs;
    ZKSize_T capacity;
    ZKSize_T length;
    char text[4];
} g_empty = {0, 0, 0, {0}};

int foldLower(int c) { return std::tolower(static_cast<unsigned char>(c)); }

unsigned rotl5(unsigned h) { return (h << 5) | (h >> 27); }

}  // namespace

ZKSize_T ZKCString::initialCapacity(ZKSize_T n) {
    ZKSize_T old = g_initialCapacity;
    g_initialCapacity = n;
    return old;
}

ZKSize_T ZKCString::resizeIncrement(ZKSize_T n) {
    ZKSize_T old = g_resizeIncrement;
    g_resizeIncrement = n ? n : 1;
    return old;
}

ZKSize_T ZKCString::maxWaste(ZKSize_T n) {
    ZKSize_T old = g_maxWaste;
    g_maxWaste = n;
    return old;
}

ZKSize_T ZKCString::adjustCapacity(ZKSize_T n) {
    if (n <= g_initialCapacity) return g_initialCapacity;
    ZKSize_T extra = n - g_initialCapacity;
    extra = (extra + g_resizeIncrement - 1) / g_resizeIncrement * g_resizeIncrement;
    return g_initialCapacity + extra;
}

ZKCString::Rep* ZKCString::emptyRep() { return reinterpret_cast<Rep*>(&g_empty); }

ZKCString::Rep* ZKCString::newRep(ZKSize_T capacity) {
    if (capacity > 0x7FFFFF00u) ZKThrow(ZKxalloc(capacity));
    void* p = std::malloc(sizeof(Rep) + capacity + 1);
    if (!p) ZKThrow(ZKxalloc(static_cast<ZKSize_T>(sizeof(Rep) + capacity + 1)));
    Rep* r = static_cast<Rep*>(p);
    r->refs = 0;
    r->capacity = capacity;
    r->length = 0;
    r->chars()[0] = 0;
    return r;
}

void ZKCString::release(Rep* r) {
    if (r == emptyRep()) {
        --r->refs;
        return;
    }
    if (r->refs-- == 0) std::free(r);
}

bool ZKCString::shared() const { return rep() == emptyRep() || rep()->refs > 0; }

void ZKCString::makePrivate() {
    if (!shared()) return;
    Rep* old = rep();
    Rep* r = newRep(old->length ? adjustCapacity(old->length) : g_initialCapacity);
    std::memcpy(r->chars(), old->chars(), old->length + 1);
    r->length = old->length;
    setRep(r);
    release(old);
}

// ---- construction -----------------------------------------------------------

ZKCString::ZKCString() {
    ++g_empty.refs;
    setRep(emptyRep());
}

ZKCString::ZKCString(ZKSize_T capacity) { setRep(newRep(capacity)); }

ZKCString::ZKCString(const char* text) : ZKCString(text, text ? static_cast<ZKSize_T>(std::strlen(text)) : 0) {}

ZKCString::ZKCString(const char* text, ZKSize_T n) {
    if (!text) n = 0;
    Rep* r = newRep(n);
    if (n) std::memcpy(r->chars(), text, n);
    r->chars()[n] = 0;
    r->length = n;
    setRep(r);
}

ZKCString::ZKCString(char c, ZKSize_T n) {
    Rep* r = newRep(adjustCapacity(n));
    std::memset(r->chars(), c, n);
    r->chars()[n] = 0;
    r->length = n;
    setRep(r);
}

ZKCString::ZKCString(const ZKCSubString& sub) {
    ZKSize_T n = sub.length();
    Rep* r = newRep(adjustCapacity(n));
    if (n) std::memcpy(r->chars(), sub.data(), n);
    r->chars()[n] = 0;
    r->length = n;
    setRep(r);
}

ZKCString::ZKCString(const ZKCString& o) : data_(o.data_) { ++rep()->refs; }

ZKCString& ZKCString::operator=(const ZKCString& o) {
    if (data_ != o.data_) {
        ++o.rep()->refs;
        Rep* old = rep();
        data_ = o.data_;
        release(old);
    }
    return *this;
}

ZKCString& ZKCString::operator=(const char* text) {
    if (!text || !*text) {
        if (!shared()) {
            rep()->length = 0;
            data_[0] = 0;
        } else {
            Rep* old = rep();
            ++g_empty.refs;
            setRep(emptyRep());
            release(old);
        }
        return *this;
    }
    return replace(0, length(), text, static_cast<ZKSize_T>(std::strlen(text)));
}

ZKCString::~ZKCString() { release(rep()); }

// ---- editing ----------------------------------------------------------------

ZKCString& ZKCString::replace(ZKSize_T pos, ZKSize_T count, const char* text, ZKSize_T newCount) {
    Rep* r = rep();
    ZKSize_T len = r->length;
    // A start past the end would move memory outside the body.
    if (pos > len) zkRaiseSubStringErr(pos, count, len);
    if (!text) newCount = 0;
    if (count > len - pos) count = len - pos;
    ZKSize_T tail = len - count - pos;
    ZKSize_T newLen = len - count + newCount;
    if (newLen < len - count) ZKThrow(ZKxalloc(ZK_NPOS));

    bool inside = text && text >= data_ && text <= data_ + len;
    bool fits = newLen <= r->capacity && (newLen >= len || r->capacity - newLen <= g_maxWaste);
    if (!shared() && fits && !inside) {
        char* d = data_;
        if (count != newCount && tail) std::memmove(d + pos + newCount, d + pos + count, tail);
        if (newCount) std::memcpy(d + pos, text, newCount);
        r->length = newLen;
        d[newLen] = 0;
        return *this;
    }
    Rep* n = newRep(adjustCapacity(newLen));
    char* d = n->chars();
    std::memcpy(d, data_, pos);
    if (newCount) std::memcpy(d + pos, text, newCount);
    std::memcpy(d + pos + newCount, data_ + pos + count, tail);
    d[newLen] = 0;
    n->length = newLen;
    setRep(n);
    release(r);
    return *this;
}

ZKCString& ZKCString::append(char c, ZKSize_T n) {
    if (!n) return *this;
    ZKSize_T len = length();
    ZKSize_T newLen = len + n;
    if (newLen < len) ZKThrow(ZKxalloc(ZK_NPOS));
    if (shared() || newLen > capacity()) {
        Rep* old = rep();
        Rep* r = newRep(newLen);
        std::memcpy(r->chars(), data_, len);
        r->length = len;
        setRep(r);
        release(old);
    }
    std::memset(data_ + len, c, n);
    data_[newLen] = 0;
    rep()->length = newLen;
    return *this;
}

ZKCString& ZKCString::append(const char* text, ZKSize_T n) { return replace(length(), 0, text, n); }

ZKCString& ZKCString::operator+=(const char* text) {
    return text ? append(text, static_cast<ZKSize_T>(std::strlen(text))) : *this;
}

ZKCString& ZKCString::operator+=(const ZKCString& s) {
    ZKCString keep(s);  // s may be this string
    return append(keep.data(), keep.length());
}

ZKCString& ZKCString::prepend(char c, ZKSize_T n) {
    if (!n) return *this;
    ZKSize_T len = length();
    ZKSize_T newLen = len + n;
    if (newLen < len) ZKThrow(ZKxalloc(ZK_NPOS));
    if (!shared() && newLen <= capacity()) {
        std::memmove(data_ + n, data_, len + 1);
        std::memset(data_, c, n);
        rep()->length = newLen;
        return *this;
    }
    Rep* old = rep();
    Rep* r = newRep(adjustCapacity(newLen));
    std::memset(r->chars(), c, n);
    std::memcpy(r->chars() + n, data_, len + 1);
    r->length = newLen;
    setRep(r);
    release(old);
    return *this;
}

void ZKCString::resize(ZKSize_T n) {
    ZKSize_T len = length();
    if (n < len) replace(n, len - n, 0, 0);
    else if (n > len) append(' ', n - len);
}

ZKSize_T ZKCString::capacity(ZKSize_T n) {
    if (n > length() && n != capacity()) {
        Rep* old = rep();
        Rep* r = newRep(n);
        std::memcpy(r->chars(), data_, old->length + 1);
        r->length = old->length;
        setRep(r);
        release(old);
    }
    return capacity();
}

void ZKCString::toLower() {
    makePrivate();
    for (ZKSize_T i = 0, n = length(); i < n; ++i) data_[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(data_[i])));
}

void ZKCString::toUpper() {
    makePrivate();
    for (ZKSize_T i = 0, n = length(); i < n; ++i) data_[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(data_[i])));
}

ZKCSubString ZKCString::strip(stripType t, char c) {
    ZKSize_T b = 0, e = length();
    if (t & leading)
        while (b < e && data_[b] == c) ++b;
    if (t & trailing)
        while (e > b && data_[e - 1] == c) --e;
    if (b == e) return ZKCSubString(this, ZK_NPOS, 0);
    return ZKCSubString(this, b, e - b);
}

char& ZKCString::operator[](ZKSize_T i) {
    if (i >= length()) zkRaiseIndexErr(i, length());
    makePrivate();
    return data_[i];
}

char ZKCString::operator[](ZKSize_T i) const {
    if (i >= length()) zkRaiseIndexErr(i, length());
    return data_[i];
}

ZKCSubString ZKCString::operator()(ZKSize_T start, ZKSize_T len) {
    // A view reaching past the end would read and write outside the body.
    if (start > length() || len > length() - start) zkRaiseSubStringErr(start, len, length());
    return ZKCSubString(this, start, len);
}

// ---- queries ----------------------------------------------------------------

int ZKCString::compareTo(const char* text, caseCompare cc) const {
    if (!text) text = "";
    const char* s = data_;
    ZKSize_T n = length();
    for (ZKSize_T i = 0;; ++i) {
        if (i == n) return text[i] ? -1 : 0;
        if (!text[i]) return 1;
        signed char a = static_cast<signed char>(s[i]);
        signed char b = static_cast<signed char>(text[i]);
        if (cc == ignoreCase) {
            a = static_cast<signed char>(foldLower(a));
            b = static_cast<signed char>(foldLower(b));
        }
        if (a != b) return a > b ? 1 : -1;
    }
}

int ZKCString::compareTo(const ZKCString& o, caseCompare cc) const {
    ZKSize_T n = length() < o.length() ? length() : o.length();
    if (cc == exact) {
        int r = std::memcmp(data_, o.data_, n);
        if (r) return r;
    } else {
        for (ZKSize_T i = 0; i < n; ++i) {
            int a = foldLower(data_[i]), b = foldLower(o.data_[i]);
            if (a != b) return a > b ? 1 : -1;
        }
    }
    if (length() == o.length()) return 0;
    return length() > o.length() ? 1 : -1;
}

ZKSize_T ZKCString::index(const char* pat, ZKSize_T patLen, ZKSize_T start, caseCompare cc) const {
    ZKSize_T len = length();
    if (start > len || patLen > len - start) return ZK_NPOS;
    if (patLen == 0) return start;
    for (ZKSize_T i = start; i + patLen <= len; ++i) {
        ZKSize_T k = 0;
        if (cc == exact) {
            if (std::memcmp(data_ + i, pat, patLen) == 0) return i;
            continue;
        }
        while (k < patLen && foldLower(data_[i + k]) == foldLower(pat[k])) ++k;
        if (k == patLen) return i;
    }
    return ZK_NPOS;
}

ZKSize_T ZKCString::index(const char* pat, ZKSize_T start, caseCompare cc) const {
    return index(pat, pat ? static_cast<ZKSize_T>(std::strlen(pat)) : 0, start, cc);
}

ZKCSubString ZKCString::subString(const char* text, ZKSize_T start, caseCompare cc) {
    ZKSize_T n = text ? static_cast<ZKSize_T>(std::strlen(text)) : 0;
    ZKSize_T i = index(text, n, start, cc);
    return ZKCSubString(this, i, i == ZK_NPOS ? 0 : n);
}

ZKSize_T ZKCString::first(char c) const {
    const void* p = std::memchr(data_, c, length());
    return p ? static_cast<ZKSize_T>(static_cast<const char*>(p) - data_) : ZK_NPOS;
}

ZKSize_T ZKCString::last(char c) const {
    for (ZKSize_T i = length(); i-- > 0;)
        if (data_[i] == c) return i;
    return ZK_NPOS;
}

ZKSize_T ZKCString::firstZ(char c) const {
    const char* p = std::strchr(data_, c);
    return (p && c) ? static_cast<ZKSize_T>(p - data_) : ZK_NPOS;
}

ZKSize_T ZKCString::lastZ(char c) const {
    const char* p = std::strrchr(data_, c);
    return (p && c) ? static_cast<ZKSize_T>(p - data_) : ZK_NPOS;
}

ZKSize_T ZKCString::first(const char* set) const {
    if (!set) return ZK_NPOS;
    for (ZKSize_T i = 0, n = length(); i < n; ++i)
        if (data_[i] && std::strchr(set, data_[i])) return i;
    return ZK_NPOS;
}

unsigned ZKCString::hash(caseCompare cc) const {
    ZKSize_T n = length();
    unsigned h = n;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data_);
    if (cc == ignoreCase) {
        for (ZKSize_T i = 0; i < n; ++i) h = static_cast<unsigned>(std::toupper(p[i])) ^ rotl5(h);
        return h;
    }
    ZKSize_T i = 0;
    for (; i + 4 <= n; i += 4) {
        unsigned w = p[i] | (p[i + 1] << 8) | (p[i + 2] << 16) | (static_cast<unsigned>(p[i + 3]) << 24);
        h = w ^ rotl5(h);
    }
    if (i < n) {
        unsigned w = 0;
        // Each remaining byte goes in sign-extended, as the character type is signed.
        for (; i < n; ++i) w = (w << 8) | static_cast<unsigned>(static_cast<int>(static_cast<signed char>(p[i])));
        h = w ^ rotl5(h);
    }
    return h;
}

bool ZKCString::isAscii() const {
    for (ZKSize_T i = 0, n = length(); i < n; ++i)
        if (static_cast<unsigned char>(data_[i]) & 0x80) return false;
    return true;
}

ZKSize_T ZKCString::mbLength() const {
    std::mblen(0, 0);
    ZKSize_T count = 0;
    for (ZKSize_T i = 0, n = length(); i < n; ++count) {
        int k = std::mblen(data_ + i, n - i);
        if (k < 0) return ZK_NPOS;
        i += k ? k : 1;  // an embedded zero byte counts as one character
    }
    return count;
}

int ZKCString::collate(const char* text) const { return std::strcoll(data_, text ? text : ""); }

// ---- free functions ---------------------------------------------------------

bool operator==(const ZKCString& s, const char* text) {
    if (!text) text = "";
    size_t n = std::strlen(text);
    return s.length() == n && std::memcmp(s.data(), text, n) == 0;
}

bool operator==(const char* text, const ZKCString& s) { return s == text; }

bool operator==(const ZKCString& a, const ZKCString& b) {
    return a.length() == b.length() && std::memcmp(a.data(), b.data(), a.length()) == 0;
}

namespace {
ZKCString concat(const char* a, ZKSize_T na, const char* b, ZKSize_T nb) {
    ZKCString r(ZKCString::adjustCapacity(na + nb));
    r.append(a, na);
    r.append(b, nb);
    return r;
}
}  // namespace

ZKCString operator+(const ZKCString& s, const char* t) {
    return concat(s.data(), s.length(), t, t ? static_cast<ZKSize_T>(std::strlen(t)) : 0);
}

ZKCString operator+(const char* t, const ZKCString& s) {
    return concat(t, t ? static_cast<ZKSize_T>(std::strlen(t)) : 0, s.data(), s.length());
}

ZKCString operator+(const ZKCString& a, const ZKCString& b) { return concat(a.data(), a.length(), b.data(), b.length()); }

ZKCString toLower(const ZKCString& s) {
    ZKCString r(s.data(), s.length());
    r.toLower();
    return r;
}

ZKCString toUpper(const ZKCString& s) {
    ZKCString r(s.data(), s.length());
    r.toUpper();
    return r;
}

ZKCString strXForm(const ZKCString& s) {
    size_t need = std::strxfrm(0, s.data(), 0);
    ZKCString r(static_cast<ZKSize_T>(need + 1));
    r.append('\0', static_cast<ZKSize_T>(need + 1));
    size_t got = std::strxfrm(&r[0], s.data(), need + 1);
    if (got > need) return ZKCString();
    return r;
}

// ---- sub-strings ------------------------------------------------------------

const char* ZKCSubString::data() const { return isNull() ? "" : str_->data() + start_; }

void ZKCSubString::assign(const char* text, ZKSize_T n) {
    if (isNull()) return;
    str_->replace(start_, len_, text, n);
    len_ = text ? n : 0;
}

ZKCSubString& ZKCSubString::operator=(const ZKCString& s) {
    ZKCString keep(s);  // s may be the underlying string
    assign(keep.data(), keep.length());
    return *this;
}

ZKCSubString& ZKCSubString::operator=(const char* text) {
    assign(text, text ? static_cast<ZKSize_T>(std::strlen(text)) : 0);
    return *this;
}

ZKCSubString& ZKCSubString::operator=(const ZKCSubString& s) {
    if (this == &s) return *this;
    ZKCString keep(s);
    assign(keep.data(), keep.length());
    return *this;
}

bool ZKCSubString::equals(const char* p, ZKSize_T n) const {
    if (isNull()) return n == 0;
    return len_ == n && std::memcmp(data(), p, n) == 0;
}

bool ZKCSubString::operator==(const char* text) const {
    return equals(text ? text : "", text ? static_cast<ZKSize_T>(std::strlen(text)) : 0);
}

bool ZKCSubString::operator==(const ZKCString& s) const { return equals(s.data(), s.length()); }

bool ZKCSubString::operator==(const ZKCSubString& s) const { return equals(s.data(), s.length()); }

void ZKCSubString::toLower() {
    if (isNull()) return;
    str_->makePrivate();
    char* d = str_->data_ + start_;
    for (ZKSize_T i = 0; i < len_; ++i) d[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(d[i])));
}

void ZKCSubString::toUpper() {
    if (isNull()) return;
    str_->makePrivate();
    char* d = str_->data_ + start_;
    for (ZKSize_T i = 0; i < len_; ++i) d[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(d[i])));
}

char& ZKCSubString::operator[](ZKSize_T i) {
    if (i >= length()) zkRaiseIndexErr(i, length());
    str_->makePrivate();
    return str_->data_[start_ + i];
}

char& ZKCSubString::operator()(ZKSize_T i) {
    str_->makePrivate();
    return str_->data_[start_ + i];
}
