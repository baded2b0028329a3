#include "HttpFraming.h"

#include <cstring>

#include "HttpMsgBase.h"

long FindHeaderEnd(HEADERSCAN& scan, const char* data, long length, long* terminator) {
    long p = scan.scanned < 0 ? 0 : scan.scanned;
    if (p > length) return -1;
    if (scan.atLineStart) {
        long q = p;
        if (q < length && data[q] == '\r') ++q;
        if (q < length && data[q] == '\n') {
            if (terminator) *terminator = q;
            scan.scanned = q + 1;
            return q + 1;
        }
        scan.atLineStart = 0;
    }
    // A line feed at the end of earlier bytes was dealt with above, so the
    // search starts with the new bytes.
    for (long i = p; i < length; ++i) {
        if (data[i] != '\n') continue;
        long j = i + 1;
        if (j < length && data[j] == '\n') {
            if (terminator) *terminator = j;
            scan.scanned = j + 1;
            return j + 1;
        }
        if (j + 1 < length && data[j] == '\r' && data[j + 1] == '\n') {
            if (terminator) *terminator = j + 1;
            scan.scanned = j + 2;
            return j + 2;
        }
    }
    long last = length - 1;
    if (last >= 0 && data[last] == '\r') --last;
    scan.atLineStart = last >= 0 && data[last] == '\n';
    scan.scanned = length;
    return -1;
}

BBOOL HeaderBlockFits(const char* data, long length) {
    if (!data || length < 0 || length > HTTP_HEADER_LIMIT - 1) return FALSE;
    return std::memchr(data, 0, length) == nullptr;
}
