#pragma once
// Objects that write themselves to a byte stream and read themselves back,
// the in-memory stream buffer, and the base of every stream destination.
#include "BaseItem.h"
#include "StreamPrefix.h"

class STREAMBUF;
class STREAMDEST;

typedef int IOMODE;  // values belong to the file streams; 3 is the default

// Status of a frame whose true length could not be written.
const long STREAM_BADLENGTH = 9996;

class STREAMABLE : public virtual BASEITEM {
public:
    unsigned long flags;     // prefix options (top 12 bits) and class bits (low 20)
    unsigned long code;      // type code of the prefix
    unsigned long objectId;  // written when not 0
    long streamStatus;       // 0 = no error

    STREAMABLE() : flags(0), code(0), objectId(0), streamStatus(0) {}
    STREAMABLE(unsigned long f, unsigned long c) : flags(f), code(c), objectId(0), streamStatus(0) {}
    STREAMABLE(const STREAMABLE&) = default;
    STREAMABLE& operator=(const STREAMABLE&) = default;
    ~STREAMABLE() override {}

    BBOOL IsItemSTREAMABLE() const override { return TRUE; }
    STREAMABLE* ItemGetSTREAMABLE() override { return this; }

    virtual BBOOL StreamIn(STREAMBUF& s);   // reads the body
    virtual BBOOL StreamOut(STREAMBUF& s);  // writes the body
    virtual int ItemStreamSize(BBOOL forPrefix);  // body size estimate; 0 = unknown
};

class STREAMBUF {
public:
    BUFFER area;    // the whole buffer
    BUFFER cursor;  // current position and the bytes remaining from it
    BUFFER spare;   // not used by the streaming
    long capacity;
    BBOOL hasMemory;
    BBOOL active;   // cursor positioned for a transfer
    STREAMDEST* destination;
    BBOOL flushed;     // written out since the current object's prefix was placed
    BBOOL openLength;  // the object being read has no length
    char* savedEnd;    // end of data kept by a framed read
    char* framePos;    // prefix reserved by a framed write
    long frameSize;
    // the current object as last read or written
    unsigned long flags;
    unsigned long code;
    unsigned long classTag;
    unsigned long objectId;
    unsigned long length;
    long frameStatus;  // STREAM_BADLENGTH once a frame could not be written truly
    long flushCount;   // write-outs by the framing, to tell a flush inside a frame

    STREAMBUF();
    explicit STREAMBUF(int size, unsigned long tag = QvTag("STRB"));
    ~STREAMBUF();
    STREAMBUF(const STREAMBUF&) = delete;
    STREAMBUF& operator=(const STREAMBUF&) = delete;

    BBOOL BufAlloc(int size, unsigned long tag);  // from the system pool
    BBOOL BufAlloc(ALLOCATOR& allocator, int size);
    void BufSet(const BUFFER& view);  // memory the stream does not own
    void BufFree();
    void BufFree(ALLOCATOR& allocator);

    long CopyIn(const void* data, long n);
    long CopyIn(const BUFFER& b) { return CopyIn(b.data, b.length); }
    long CopyOut(void* data, long n);
    long CopyOut(const BUFFER& b) { return CopyOut(b.data, b.length); }

    void SetForWrite();  // cursor over the whole empty buffer, active
    void SetForRead();   // what was written becomes readable from the start
    void SetEmpty();     // cursor at the start with nothing remaining, not active
    long Used() const { return area.data ? static_cast<long>(cursor.data - area.data) : 0; }
    BBOOL HoldsData() const { return active && Used() > 0; }

    // Write-out through the destination in the middle of framing.
    void FlushOut();

    // framing state kept between the paired operators
    BBOOL owned;        // the memory is ours to give back
    ALLOCATOR* cellOf;  // the allocator the memory came from, or null: the system pool
    BBOOL frameOpen;    // the framed read has no length
    long frameBlocked;  // room held back while a frame could not be reserved
    long frameFlushMark;

private:
    void Clear();
};

// Frames a hand-written body with the object prefix.
class BEGINDI {
public:
    unsigned long flags;
    unsigned long code;
    unsigned long size;  // body estimate; 0 = unknown

    BEGINDI() : flags(0), code(0), size(0) {}
    explicit BEGINDI(unsigned long s) : flags(0), code(0), size(s) {}
    BEGINDI(unsigned long f, unsigned long c, unsigned long s) : flags(f), code(c), size(s) {}
};

class ENDDI {};

// A count heading a sequence of objects.
class STREAMCOUNT : public STREAMABLE {
public:
    unsigned long count;

    explicit STREAMCOUNT(unsigned long n = 0) : STREAMABLE(0, 0), count(n) {}
    BBOOL StreamIn(STREAMBUF& s) override;
    BBOOL StreamOut(STREAMBUF& s) override;
    int ItemStreamSize(BBOOL forPrefix) override;
    QV_ITEM_IDENTITY(STREAMCOUNT, "STREAMCOUNT", "CNTa")
};

class STREAMDEST {
public:
    char name[256];
    long bufferSize;
    long status;  // 0 = no error
    IOMODE mode;
    BBOOL open;
    BBOOL endOfFile;
    BBOOL externalBuffer;  // the derived class supplies the buffer
    STREAMBUF buffer;

    explicit STREAMDEST(BBOOL externalBuffer = FALSE);
    virtual ~STREAMDEST();
    STREAMDEST(const STREAMDEST&) = delete;
    STREAMDEST& operator=(const STREAMDEST&) = delete;

    virtual int OpenStream(const char* name, int bufferSize, IOMODE mode);
    virtual int CloseStream();
    virtual int ReadBuffer();   // 0 = data is ready
    virtual int WriteBuffer();
    virtual int ReadDirect(const BUFFER& b);   // 9995: not supported here
    virtual int WriteDirect(const BUFFER& b);
    // Whether bytes may pass outside the records, between two of them.
    virtual BBOOL TakesDirect() const;

    BBOOL SetStream(const char* name, int bufferSize, IOMODE mode, BBOOL allocate);
};

STREAMBUF& operator<<(STREAMBUF& s, STREAMABLE& o);
STREAMBUF& operator>>(STREAMBUF& s, STREAMABLE& o);
STREAMBUF& operator<<(STREAMBUF& s, const BEGINDI& d);
STREAMBUF& operator<<(STREAMBUF& s, const ENDDI& d);
STREAMBUF& operator>>(STREAMBUF& s, const BEGINDI& d);
STREAMBUF& operator>>(STREAMBUF& s, const ENDDI& d);

STREAMDEST& operator<<(STREAMDEST& d, STREAMABLE& o);
STREAMDEST& operator>>(STREAMDEST& d, STREAMABLE& o);
STREAMDEST& operator<<(STREAMDEST& d, const BUFFER& b);
STREAMDEST& operator>>(STREAMDEST& d, const BUFFER& b);
// Whether the stream's destination takes direct transfers (SPF_DIRECT).
BBOOL TakesDirect(const STREAMBUF& s);
// Puts an empty frame whose length counts `length` bytes that the caller then
// passes straight to the destination (WriteDirect), and writes the buffer out
// so the record ends with it. False without a destination that takes direct
// transfers, without room for the prefix or when the write-out failed.
BBOOL PutDirectFrame(STREAMBUF& s, unsigned long flags, unsigned long code, unsigned long length);
// Fatal ("STR101") unless the destination is open and without error.
void CheckStreamDest(STREAMDEST& d);
// Fields through a destination are the table store's (Field.h).
