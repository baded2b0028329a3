#pragma once
// Where a header block ends in a connection's received bytes, found as they
// arrive in pieces: the search goes on from where the last piece ended and
// remembers a line feed at its end.
#include "QvBase.h"

// The scan state of one direction of one connection; the owner's receive path
// is its only user.
struct HEADERSCAN {
    BBOOL atLineStart = 0;  // the bytes so far end with a line feed (one final CR ignored)
    long scanned = 0;       // offset of the first byte not yet looked at
};

// Looks at data[scan.scanned, length) for the empty line that ends the block;
// the offset just past it (terminator: the offset of its line feed), or -1
// when the block goes on beyond these bytes.
long FindHeaderEnd(HEADERSCAN& scan, const char* data, long length, long* terminator);

// A header block the gateway parses exactly as its peer would: it fits the
// text buffer with its closing zero and holds no zero byte of its own.
BBOOL HeaderBlockFits(const char* data, long length);
