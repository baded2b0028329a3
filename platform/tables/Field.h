#pragma once
// One value of a table row: up to 80 bytes inline, the rest in 124-byte
// extension cells of the table's field allocator, or a large value held
// through a descriptor.
#include "BaseItem.h"
#include "QvBase.h"

class TABLE;
class COLUMN;
class STREAMBUF;
class BUFFERPOOL;
class SGBLOB;
class STREAMDEST;

const unsigned long FIELD_OWNED = 0x00000001;
const unsigned long FIELD_OMIT = 0x00000002;  // kept and readable, but not streamed nor written in rebuilt headers
const unsigned long FIELD_SEGMENTED = 0x00008000;
const unsigned long FIELD_DESCRIPTOR = 0x00010000;
const unsigned long FIELD_FROMCOLUMN = 0x00020000;
const unsigned long FIELD_TRANSIENT = 0x00080000;
const unsigned long FIELD_LARGE = FIELD_SEGMENTED | FIELD_DESCRIPTOR;

// Room for a segment list inline, which holds pointers: 80 bytes in the 32-bit build.
const int FIELD_INLINE_SIZE = 20 * (int)sizeof(void*);
const int FIELD_BLOCK_DATA = 124;

// An extension cell; lives in the table's field allocator next to FIELDs.
struct FIELDBLOCK {
    unsigned long word;
    FIELDBLOCK* next;
    unsigned char data[FIELD_BLOCK_DATA];
};

class FIELD : public STORABLE, public BLOCKED {
public:
    unsigned long flags;
    unsigned long columnId;
    TABLE* table;
    FIELDBLOCK* extension;
    int length;
    unsigned char data[FIELD_INLINE_SIZE];

    FIELD();
    explicit FIELD(TABLE* table);
    explicit FIELD(COLUMN* column);
    ~FIELD() override;

    using BLOCKED::operator new;
    using BLOCKED::operator delete;
    QV_ITEM_IDENTITY(FIELD, "FIELD", "FLDa")

    void SetColumn(COLUMN* column);
    int SetData(const BUFFER& value);
    // The segmented form takes its segments from pool (the table's when null).
    int SetData(const BUFFER& value, BUFFERPOOL* pool);
    int GetData(const BUFFER& out, BBOOL terminate) const;
    void CopyData(const FIELD& other);
    void FreeData(BBOOL keepLength);
    signed char CompareDataBuffer(const BUFFER& key, int offset) const;

    // Length of the value itself (for large forms, not the descriptor's).
    int DataLength() const;
    BBOOL IsLarge() const { return (flags & FIELD_LARGE) != 0; }
    // Turns an empty field into a large form (FIELD_DESCRIPTOR or FIELD_SEGMENTED).
    void InitLarge(unsigned long form);
    // The large value's descriptor (a BLOBDEF, or the SGBLOB that starts with
    // one), or null for the inline form.
    BLOBDEF* LargeValue() { return IsLarge() ? blob() : nullptr; }
    SGBLOB* Segments() { return (flags & FIELD_SEGMENTED) ? reinterpret_cast<SGBLOB*>(data) : nullptr; }
    // The value's first contiguous run (inline part, or the large value).
    BUFFER DataView() const;
    // Number of extension cells in use.
    int BlockCount() const;

    // The value's part of a row stream: 0, -1 (no memory) or 9996 (short).
    // Inside a direct frame (SPF_DIRECT) the bytes come from the destination.
    int ReadData(STREAMBUF& s, int length);
    int WriteData(STREAMBUF& s);
    // The field as one item of a row or column stream: a prefix with its
    // flags, its column id as code and its length, then the value. A large
    // value through a destination that takes direct transfers is an empty
    // frame carrying the value's length, its bytes sent straight after it;
    // elsewhere the bytes are the body. 0 or the first error.
    int WriteItem(STREAMBUF& s);
    // Reads the item just opened with >> BEGINDI: its flags become the
    // field's (setting up a large form), its body or direct bytes the value.
    int ReadItem(STREAMBUF& s);
    // A large value's bytes straight to or from a destination (0 or its status).
    int WriteDirect(STREAMDEST& d);
    int ReadDirect(STREAMDEST& d, int length);

private:
    BLOBDEF* blob() { return reinterpret_cast<BLOBDEF*>(data); }
    const BLOBDEF* blob() const { return reinterpret_cast<const BLOBDEF*>(data); }
    void releaseBlocks(FIELDBLOCK* first);
    FIELDBLOCK* newBlock();
    // Reserves n bytes for a large value; copies from src when given.
    int setLarge(const char* src, int n);
    int setSegments(const char* src, int n, BUFFERPOOL* pool);
    void freeSegments();
    BUFFERPOOL* segmentPool(BUFFERPOOL* pool) const;
    // A large value whose bytes are all held (not let go with their length kept).
    bool holdsLargeValue();
};

// A field's value through a destination: pending buffer data goes out first;
// large values pass straight to the destination, others through its buffer as
// whole records. Reading takes as many bytes as the field's current length.
STREAMDEST& operator<<(STREAMDEST& d, FIELD& f);
STREAMDEST& operator>>(STREAMDEST& d, FIELD& f);
