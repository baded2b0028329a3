#include "TextHelpers.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "BaseItem.h"
#include "MemBlk.h"
#include "SysHelpers.h"

namespace {

const char kBlanks[] = " \t\r\n";

// Escape letters and the bytes they stand for, used in both directions.
const char kEscLetters[] = "abfnrtv\\0";
const char kEscBytes[] = {0x07, 0x08, 0x0C, 0x0A, 0x0D, 0x09, 0x0B, '\\', 0x00};

const char kScrambleKey[] = "Remember: every packet crossing this hub is counted and logged.";
static_assert(sizeof(kScrambleKey) == 64, "the scrambling key is 63 characters");

const int kChunk = 32768;
const int kScanLine = 127;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

char* _strzcpy(char* dst, const char* src, int size, BBOOL pad) {
    if (size <= 0) return dst;
    int n = 0;
    while (n < size - 1 && src[n]) {
        dst[n] = src[n];
        n++;
    }
    if (pad)
        std::memset(dst + n, 0, size - n);
    else
        dst[n] = 0;
    return dst;
}

char* _strzcat(char* dst, const char* src, int size) {
    if (size <= 0) return dst;
    // A destination with no terminator inside size has no room left.
    int used = int(strnlen(dst, size_t(size)));
    int room = size - used;
    if (room > 0) _strzcpy(dst + used, src, room);
    return dst;
}

int _ScanWord(char** cursor, char* out, int outSize, BBOOL stripQuotes, BBOOL upper, const char* stops,
              const char* blanks) {
    if (!blanks) blanks = kBlanks;
    if (!stops) stops = blanks;
    char* p = *cursor;
    while (*p && std::strchr(blanks, *p)) p++;
    if (!*p) {
        *cursor = p;
        if (out && outSize > 0) out[0] = 0;
        return -1;
    }
    const char* start = p;
    int len;
    bool quoted = false;
    if (*p == '"' || *p == '\'') {
        quoted = true;
        char q = *p;
        char* close = std::strchr(p + 1, q);
        if (close) {
            if (stripQuotes) {
                start = p + 1;
                len = int(close - start);
            } else {
                len = int(close + 1 - p);
            }
            p = close + 1;
        } else {
            len = int(std::strlen(p));
            p += len;
        }
    } else {
        while (*p && !std::strchr(stops, *p)) p++;
        len = int(p - start);
    }
    *cursor = p;
    if (!out) return len;
    if (outSize <= 0) return 0;
    if (len > outSize - 1) len = outSize - 1;
    for (int i = 0; i < len; i++) out[i] = (upper && !quoted) ? Upper(start[i]) : start[i];
    out[len] = 0;
    return len;
}

int _ScanOper(char** cursor, char* out, int max) {
    static const char kOpers[] = "+-=/*<>!";
    char* p = *cursor;
    while (*p && std::strchr(kBlanks, *p)) p++;
    if (!*p) {
        *cursor = p;
        if (out) out[0] = 0;
        return -1;
    }
    int n = 0;
    while (n < max && *p && std::strchr(kOpers, *p)) {
        if (out) out[n] = *p;
        n++;
        p++;
        while (*p && std::strchr(kBlanks, *p)) p++;
    }
    if (out) out[n] = 0;
    *cursor = p;
    return n;
}

char* _TrimStr(char* s) {
    size_t n = std::strlen(s);
    while (n > 0 && std::strchr(kBlanks, s[n - 1])) s[--n] = 0;
    return s;
}

char* _DeQuote(char* s, BBOOL upper) {
    size_t n = std::strlen(s);
    if (n < 2 || (s[0] != '"' && s[0] != '\'') || s[n - 1] != s[0]) return s;
    s[n - 1] = 0;
    if (upper) _cvtupper(s + 1);
    return s + 1;
}

char* _cvtltoa(long value, char* out, int radix) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    if (radix < 2 || radix > 36) {
        out[0] = 0;
        return out;
    }
    // Like the runtime: only radix 10 is signed; other radices show the bit pattern.
    bool negative = radix == 10 && value < 0;
    unsigned long v = negative ? 0ul - (unsigned long)value : (unsigned long)value;
    char tmp[40];
    int n = 0;
    do {
        tmp[n++] = kDigits[v % radix];
        v /= radix;
    } while (v);
    char* p = out;
    if (negative) *p++ = '-';
    while (n) *p++ = tmp[--n];
    *p = 0;
    return out;
}

char* _cvtdtoa(double value, char* out, int decimals) {
    if (decimals < 0) decimals = 0;
    char tmp[400];
    std::snprintf(tmp, sizeof tmp, "%.*f", decimals, value);
    // Whole numbers keep their point: 12 with no decimals reads "12.".
    if (!std::strchr(tmp, '.')) _strzcat(tmp, ".", sizeof tmp);
    std::strcpy(out, tmp);
    return out;
}

char* _cvtlower(char* s) {
    for (char* p = s; *p; p++) *p = Lower(*p);
    return s;
}

char* _cvtupper(char* s) {
    for (char* p = s; *p; p++) *p = Upper(*p);
    return s;
}

long _atol(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (*p && std::strchr(kBlanks, *p)) p++;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    unsigned long limit = negative ? 0ul - (unsigned long)LONG_MIN : (unsigned long)LONG_MAX;
    unsigned long v = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        unsigned d = unsigned(*p - '0');
        if (v > (limit - d) / 10) {
            v = limit;
            break;
        }
        v = v * 10 + d;
    }
    return negative ? (long)(0ul - v) : (long)v;
}

BBOOL _chkdate(const char* s) {
    if (!s || std::strlen(s) != 10) return 0;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (s[i] < '0' || s[i] > '9') return 0;
    int month = (s[5] - '0') * 10 + (s[6] - '0');
    int day = (s[8] - '0') * 10 + (s[9] - '0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

int _AsciiToBase64(const char* text, char* out) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    size_t n = std::strlen(text);
    int w = 0;
    for (size_t i = 0; i < n; i += 3) {
        unsigned long v = (unsigned long)p[i] << 16;
        if (i + 1 < n) v |= (unsigned long)p[i + 1] << 8;
        if (i + 2 < n) v |= p[i + 2];
        out[w++] = kAlphabet[(v >> 18) & 63];
        out[w++] = kAlphabet[(v >> 12) & 63];
        out[w++] = i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
        out[w++] = i + 2 < n ? kAlphabet[v & 63] : '=';
    }
    return w;
}

int _AsciiToCtlChars(const char* text, const BUFFER& out, BBOOL unquote) {
    const char* p = text;
    const char* end = text + std::strlen(text);
    if (unquote && end - p >= 2 && *p == '"' && end[-1] == '"') {
        p++;
        end--;
    }
    char* dst = out.data;
    int room = out.length;
    int produced = 0;
    while (p < end) {
        if (*p != '\\') {
            const char* run = p;
            while (p < end && *p != '\\') p++;
            int n = int(p - run);
            if (n > room - 1) return -1;  // one byte must stay free
            std::memcpy(dst + produced, run, n);
            produced += n;
            room -= n;
            continue;
        }
        p++;
        if (p >= end) return -1;
        char byte;
        if (*p == 'x') {
            int hi = p + 1 < end ? HexDigit(p[1]) : -1;
            int lo = p + 2 < end ? HexDigit(p[2]) : -1;
            if (hi < 0 || lo < 0) return -1;
            byte = char(hi * 16 + lo);
            p += 3;
        } else {
            const char* esc = std::strchr(kEscLetters, *p);
            if (!esc || !*p) return -1;
            byte = kEscBytes[esc - kEscLetters];
            p++;
        }
        if (room < 2) return -1;
        dst[produced++] = byte;
        room--;
    }
    std::memset(dst + produced, 0, room);
    return produced;
}

BBOOL _CtlCharsToAscii(const BUFFER& in, const BUFFER& out, BBOOL quote) {
    char* dst = out.data;
    int room = out.length;
    int w = 0;
    auto put = [&](const char* piece, int n) {
        if (n > room - 1) return false;
        std::memcpy(dst + w, piece, n);
        w += n;
        room -= n;
        return true;
    };
    bool ok = true;
    if (quote) ok = put("\"", 1);
    const unsigned char* src = reinterpret_cast<const unsigned char*>(in.data);
    int i = 0;
    while (ok && i < in.length) {
        int start = i;
        while (i < in.length && src[i] >= 0x20 && src[i] != 0x7F && src[i] != '\\') i++;
        if (i > start) {
            ok = put(in.data + start, i - start);
            continue;
        }
        // A backslash is escaped too, or it would read back as the start of an escape.
        char esc[5];
        int n;
        const char* hit = static_cast<const char*>(std::memchr(kEscBytes, src[i], sizeof kEscBytes));
        if (hit) {
            esc[0] = '\\';
            esc[1] = kEscLetters[hit - kEscBytes];
            n = 2;
        } else {
            std::snprintf(esc, sizeof esc, "\\x%02x", src[i]);
            n = 4;
        }
        ok = put(esc, n);
        i++;
    }
    if (ok && quote) ok = put("\"", 1);
    if (room > 0) dst[w] = 0;
    return ok ? 1 : 0;
}

int _ScanFile(const char* path, const char* text, BBOOL byWords) {
    FILE* f = std::fopen(path, "r");
    if (!f) return 0;
    char line[kScanLine + 1];
    int number = 0;
    int found = 0;
    size_t textLen = std::strlen(text);
    while (!found && std::fgets(line, sizeof line, f)) {
        number++;
        size_t n = std::strlen(line);
        if (n > 0 && line[n - 1] == '\n') {
            line[--n] = 0;
        } else if (n == kScanLine) {
            // The rest of an over-long line is dropped, so its tail never passes for a line start.
            int c;
            while ((c = std::fgetc(f)) != EOF && c != '\n') {
            }
        }
        if (!byWords) {
            if (std::strncmp(line, text, textLen) == 0) found = number;
            continue;
        }
        char* want = const_cast<char*>(text);
        char* have = line;
        char w1[64], w2[64];
        bool match = true;
        while (_ScanWord(&want, w1, sizeof w1, 0, 1) >= 0) {
            if (_ScanWord(&have, w2, sizeof w2, 0, 1) < 0 || std::strcmp(w1, w2) != 0) {
                match = false;
                break;
            }
        }
        if (match) found = number;
    }
    std::fclose(f);
    return found;
}

long _ModifyBinaryFile(const char* dir, const char* source, const char* target, const char* find,
                       const char* replace) {
    char srcPath[256], dstPath[256];
    if (dir) {
        if (!BuildPathName(srcPath, sizeof srcPath, dir, source) ||
            !BuildPathName(dstPath, sizeof dstPath, dir, target))
            return -1;
    } else {
        if (std::strlen(source) > 255 || std::strlen(target) > 255) return -1;
        _strzcpy(srcPath, source, sizeof srcPath);
        _strzcpy(dstPath, target, sizeof dstPath);
    }
    FILE* in = std::fopen(srcPath, "rb");
    if (!in) return -1;
    FILE* out = std::fopen(dstPath, "wb");
    if (!out) {
        std::fclose(in);
        return -1;
    }
    long result = 0;
    long size = -1;
    if (std::fseek(in, 0, SEEK_END) == 0) size = std::ftell(in);
    if (size < 0 || std::fseek(in, 0, SEEK_SET) != 0) {
        std::fclose(in);
        std::fclose(out);
        return -1;
    }
    int findLen = int(std::strlen(find));
    int replLen = int(std::strlen(replace));
    // Blocks overlap by the text's length less one, so a match across a block's
    // end is still found: those bytes are kept back and searched with the next.
    int overlap = findLen > 0 ? findLen - 1 : 0;
    long bufLong = size < kChunk ? size : kChunk;
    int bufSize = int(bufLong) + overlap;
    int handle = 0;
    unsigned char* buf = bufLong > 0 ? MemBlkAlloc(bufSize, 0, &handle) : nullptr;
    if (bufLong > 0 && !buf) result = -1;

    bool replaced = false;
    long offset = 0;  // of the bytes read so far
    int held = 0;     // bytes at buf's start not yet written
    while (result >= 0 && offset < size) {
        int want = size - offset < bufLong ? int(size - offset) : int(bufLong);
        if (std::fread(buf + held, 1, want, in) != size_t(want)) {
            result = -1;
            break;
        }
        offset += want;
        int have = held + want;
        if (!replaced && findLen > 0) {
            for (int i = 0; i + findLen <= have; i++) {
                if (std::memcmp(buf + i, find, findLen) != 0) continue;
                int keep = replLen < findLen ? replLen : findLen;
                std::memcpy(buf + i, replace, keep);
                std::memset(buf + i + keep, 0, findLen - keep);
                result = offset - have + i;
                replaced = true;
                break;
            }
        }
        held = replaced || offset >= size ? 0 : (have < overlap ? have : overlap);
        int put = have - held;
        if (std::fwrite(buf, 1, put, out) != size_t(put)) {
            result = -1;
            break;
        }
        std::memmove(buf, buf + put, held);
    }
    if (std::fclose(out) != 0) result = -1;
    std::fclose(in);
    if (buf) MemBlkFree(buf, bufSize, 0, handle);
    return result;
}

void _EncryptString(const BUFFER& text) {
    for (int i = 0; i < 63 && i < text.length && text.data[i]; i++)
        if (text.data[i] != kScrambleKey[i]) text.data[i] ^= kScrambleKey[i];
}
