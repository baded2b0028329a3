#pragma once
// The 3-, 6- or 12-byte object prefix that heads every streamed object and
// framed body: flags, a type code and the body length.

// Prefix flags (the top 12 bits are the framing's, the low 20 the classes').
const unsigned long SPF_FORM = 0xC0000000UL;          // form bits, set by the writer
const unsigned long SPF_FORM_MEDIUM = 0x80000000UL;
const unsigned long SPF_FORM_LONG = 0xC0000000UL;
const unsigned long SPF_CLASSTAG = 0x10000000UL;      // a 4-byte class tag follows the prefix
const unsigned long SPF_SWAPPED = 0x08000000UL;       // written in the other byte order
const unsigned long SPF_WRITETHROUGH = 0x04000000UL;  // prefix goes out first, length unknown
const unsigned long SPF_UNREADABLE = 0x01000000UL;    // reader could not make sense of it
const unsigned long SPF_OPENLENGTH = 0x00800000UL;    // length 0, body ends where its reader stops
const unsigned long SPF_OBJECTID = 0x00400000UL;      // a 4-byte object id follows (after the tag)
// The body is empty: the length counts bytes passed straight to the stream's
// destination after the record that this prefix ends (a direct transfer).
const unsigned long SPF_DIRECT = 0x00200000UL;
const unsigned long SPF_CLASSBITS = 0x000FFFFFUL;     // free for the classes

const int SPREFIX_SHORT = 3;
const int SPREFIX_MEDIUM = 6;
const int SPREFIX_LONG = 12;

// Size of the prefix the writer would choose for a body of `length` bytes
// (0 when not even 12 bytes fit). With SPF_OPENLENGTH the length field is
// written as 0, but the form still leaves room for `length` later.
int MeasurePrefix(int room, unsigned long flags, unsigned long code, unsigned long length);

// Chooses the form and writes the prefix; returns its size (0: nothing written).
// `flags` comes back as written, form bits included.
int WritePrefix(char* at, int room, unsigned long& flags, unsigned long code, unsigned long length);

// Writes a prefix in the given size (3, 6 or 12); false when the values do
// not fit that form, in which case nothing is written.
bool PutPrefix(char* at, int size, unsigned long flags, unsigned long code, unsigned long length);

// Reads a prefix from `avail` bytes; returns the bytes consumed. An unreadable
// prefix gives flags SPF_UNREADABLE, code 0, length 0 and consumes everything.
// A known length must fit in the bytes after the prefix, unless it counts
// bytes outside the buffer (SPF_DIRECT).
int ReadPrefix(const char* at, int avail, unsigned long& flags, unsigned long& code, unsigned long& length);

// A 16- or 32-bit number of a prefix or a body: the writer puts the least
// significant byte first; SPF_SWAPPED in the prefix's flags says the bytes
// came the other way.
unsigned long GetStreamU16(const void* at, unsigned long flags);
unsigned long GetStreamU32(const void* at, unsigned long flags);
