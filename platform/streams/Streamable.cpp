#include "Streamable.h"

#include <climits>
#include <cstring>

#include "Allocator.h"
#include "ByteOrder.h"
#include "MemoryPool.h"
#include "SpControl.h"
#include "TaskAbend.h"

namespace {

unsigned long FormBits(int size) {
    return size == SPREFIX_LONG ? SPF_FORM_LONG : size == SPREFIX_MEDIUM ? SPF_FORM_MEDIUM : 0;
}

// The prefix at `pos` (size `size`) gets the body's true length, moved to a
// larger form when the body outgrew the reserved one: everything from the
// prefix's end to the cursor (tag, id, body) moves along. Without room for
// that the whole frame is taken back.
bool PatchPrefix(STREAMBUF& s, char* pos, int size, unsigned long flags, unsigned long code, unsigned long len) {
    flags &= ~(SPF_OPENLENGTH | SPF_FORM);
    if (PutPrefix(pos, size, flags, code, len)) {
        s.flags = flags | FormBits(size);
        return true;
    }
    int wider = MeasurePrefix(INT_MAX, flags, code, len);
    long grow = wider - size;
    if (grow > 0 && s.cursor.length >= grow) {
        char* after = pos + size;
        std::memmove(after + grow, after, s.cursor.data - after);
        s.cursor.data += grow;
        s.cursor.length -= grow;
        PutPrefix(pos, wider, flags, code, len);
        s.flags = flags | FormBits(wider);
        return true;
    }
    s.cursor.length += static_cast<long>(s.cursor.data - pos);
    s.cursor.data = pos;
    s.frameStatus = STREAM_BADLENGTH;
    return false;
}

// What of a frame's length is in the buffer: none of a direct transfer's.
unsigned long BodyInBuffer(unsigned long flags, unsigned long length) { return (flags & SPF_DIRECT) ? 0 : length; }

// A class tag or object id after the prefix: 0 when fewer than 4 bytes remain.
unsigned long TakeWord(STREAMBUF& s, unsigned long flags) {
    if (s.cursor.length < 4) return 0;
    unsigned long v = GetStreamU32(s.cursor.data, flags);
    s.cursor.data += 4;
    s.cursor.length -= 4;
    return v;
}

}  // namespace

void CheckStreamDest(STREAMDEST& d) {
    if (!d.open || d.status != 0) _Task_Abend(ABEND_STR101, reinterpret_cast<ULONG_PTR>(&d));
}

// ---- STREAMABLE

BBOOL STREAMABLE::StreamIn(STREAMBUF& s) { return s.cursor.length != 0; }
BBOOL STREAMABLE::StreamOut(STREAMBUF& s) { return s.cursor.length != 0; }
int STREAMABLE::ItemStreamSize(BBOOL) { return 0; }

// ---- STREAMBUF

STREAMBUF::STREAMBUF() { Clear(); }

STREAMBUF::STREAMBUF(int size, unsigned long tag) {
    Clear();
    BufAlloc(size, tag);
}

STREAMBUF::~STREAMBUF() { BufFree(); }

void STREAMBUF::Clear() {
    area = cursor = spare = BUFFER();
    capacity = 0;
    hasMemory = active = FALSE;
    destination = nullptr;
    flushed = openLength = FALSE;
    savedEnd = framePos = nullptr;
    frameSize = 0;
    flags = code = classTag = objectId = length = 0;
    frameStatus = 0;
    flushCount = 0;
    owned = FALSE;
    cellOf = nullptr;
    frameOpen = FALSE;
    frameBlocked = -1;
    frameFlushMark = 0;
}

BBOOL STREAMBUF::BufAlloc(int size, unsigned long tag) {
    char* p = nullptr;
    if (size > 0 && _pSystemMemoryPool) p = static_cast<char*>(_pSystemMemoryPool->Allocate(size, tag));
    area = BUFFER(p, p ? size : 0);
    capacity = area.length;
    cursor = BUFFER(p, 0);
    active = FALSE;
    hasMemory = owned = p != nullptr;
    cellOf = nullptr;
    return hasMemory;
}

BBOOL STREAMBUF::BufAlloc(ALLOCATOR& allocator, int size) {
    char* p = size > 0 ? static_cast<char*>(allocator.newitem(size)) : nullptr;
    area = BUFFER(p, p ? size : 0);
    capacity = area.length;
    cursor = BUFFER(p, 0);
    active = FALSE;
    hasMemory = owned = p != nullptr;
    cellOf = p ? &allocator : nullptr;
    return hasMemory;
}

void STREAMBUF::BufSet(const BUFFER& view) {
    area = view;
    capacity = view.length;
    cursor = BUFFER(view.data, 0);
    active = FALSE;
    hasMemory = view.data != nullptr;
    owned = FALSE;
}

// Memory goes back where it came from, whichever form is called.
void STREAMBUF::BufFree() {
    if (hasMemory && owned) {
        if (cellOf)
            cellOf->delitem(area.data);
        else
            MEMORYPOOL::FreeObj(area.data);
    }
    Clear();
}

void STREAMBUF::BufFree(ALLOCATOR&) { BufFree(); }

long STREAMBUF::CopyIn(const void* data, long n) {
    if (n > cursor.length) n = cursor.length;
    if (n <= 0) return 0;
    std::memcpy(cursor.data, data, n);
    cursor.data += n;
    cursor.length -= n;
    return n;
}

long STREAMBUF::CopyOut(void* data, long n) {
    if (n > cursor.length) n = cursor.length;
    if (n <= 0) return 0;
    std::memcpy(data, cursor.data, n);
    cursor.data += n;
    cursor.length -= n;
    return n;
}

void STREAMBUF::SetForWrite() {
    cursor = BUFFER(area.data, capacity);
    active = TRUE;
}

void STREAMBUF::SetForRead() {
    cursor = BUFFER(area.data, Used());
    active = TRUE;
}

void STREAMBUF::SetEmpty() {
    cursor = BUFFER(area.data, 0);
    active = FALSE;
}

void STREAMBUF::FlushOut() {
    if (destination) destination->WriteBuffer();
    flushed = TRUE;
    ++flushCount;
    if (!active) SetForWrite();
}

// ---- framed objects

STREAMBUF& operator<<(STREAMBUF& s, STREAMABLE& o) {
    unsigned long saveFlags = s.flags, saveCode = s.code, saveId = s.objectId;
    BBOOL saveFlushed = s.flushed;
    long saveStatus = s.frameStatus;
    s.frameStatus = 0;

    int estimate = o.ItemStreamSize(TRUE);
    if (o.objectId) o.flags |= SPF_OBJECTID;
    const bool writeThrough = (o.flags & SPF_WRITETHROUGH) != 0;
    const long fields = ((o.flags & SPF_CLASSTAG) ? 4 : 0) + ((o.flags & SPF_OBJECTID) ? 4 : 0);

    unsigned long written = 0;
    int n = 0;
    // Reserves the prefix at the cursor. It is always put down at once with
    // the length unknown, so a write-out in the body leaves a readable prefix.
    auto reserve = [&](unsigned long e) {
        if (e == 0) e = writeThrough ? (s.capacity > 16 ? s.capacity - 16 : 0) : 1024;
        unsigned long f = o.flags | (writeThrough ? SPF_OPENLENGTH : 0);
        n = MeasurePrefix(s.cursor.length, f, o.code, e);
        written = (f & ~(SPF_FORM | SPF_SWAPPED)) | FormBits(n);
        if (n && !PutPrefix(s.cursor.data, n, written | SPF_OPENLENGTH, o.code, 0))
            PutPrefix(s.cursor.data, n, written, o.code, 0);
    };
    reserve(static_cast<unsigned long>(estimate));

    bool flushedHere = false;
    if (s.destination && s.HoldsData()) {
        long need = o.ItemStreamSize(FALSE);
        if (need == 0) need = 1024;
        need += fields;
        if (n == 0 || s.cursor.length < n + need) {
            s.FlushOut();
            flushedHere = true;
            reserve(static_cast<unsigned long>(need));
        }
    }

    if (n == 0 || s.cursor.length < n + fields) {
        // Not even the prefix fits: nothing is written.
        s.frameStatus = STREAM_BADLENGTH;
        o.streamStatus = STREAM_BADLENGTH;
    } else {
        char* prefixPos = s.cursor.data;
        s.cursor.data += n;
        s.cursor.length -= n;
        s.flags = written;
        s.code = o.code;
        s.flushed = FALSE;
        long flushMark = s.flushCount;
        if (o.flags & SPF_CLASSTAG) {
            s.classTag = o.ItemClassID();
            PutLe32(s.cursor.data, s.classTag);
            s.cursor.data += 4;
            s.cursor.length -= 4;
        }
        if (o.flags & SPF_OBJECTID) {
            s.objectId = o.objectId;
            PutLe32(s.cursor.data, o.objectId);
            s.cursor.data += 4;
            s.cursor.length -= 4;
        }
        char* bodyPos = s.cursor.data;

        o.StreamOut(s);

        if (s.flushCount == flushMark) {
            s.length = static_cast<unsigned long>(s.cursor.data - bodyPos);
            PatchPrefix(s, prefixPos, n, written, o.code, s.length);
            s.flushed = saveFlushed || flushedHere;
        } else if (!writeThrough && n == SPREFIX_SHORT) {
            // The short form cannot say "length unknown": what went out is wrong.
            s.frameStatus = STREAM_BADLENGTH;
        }
        if (s.frameStatus) o.streamStatus = s.frameStatus;
    }

    if (s.destination && s.destination->status != 0) o.streamStatus = s.destination->status;
    if (saveStatus) s.frameStatus = saveStatus;
    s.flags = saveFlags;
    s.code = saveCode;
    s.objectId = saveId;
    return s;
}

STREAMBUF& operator>>(STREAMBUF& s, STREAMABLE& o) {
    unsigned long saveFlags = s.flags, saveCode = s.code, saveId = s.objectId;
    BBOOL saveOpen = s.openLength;
    char* saveEnd = s.savedEnd;
    BBOOL saveFrameOpen = s.frameOpen;

    if (s.destination && s.openLength && s.cursor.length == 0) s.destination->ReadBuffer();
    char* end = s.cursor.data + s.cursor.length;

    unsigned long f, c, len;
    int n = ReadPrefix(s.cursor.data, s.cursor.length, f, c, len);
    s.cursor.data += n;
    s.cursor.length -= n;
    s.flags = f;
    s.code = c;
    s.length = len;
    s.classTag = (f & SPF_CLASSTAG) ? TakeWord(s, f) : 0;
    s.objectId = (f & SPF_OBJECTID) ? TakeWord(s, f) : 0;
    o.code = c;
    o.objectId = s.objectId;
    o.flags = (o.flags & ~SPF_CLASSBITS) | (f & SPF_CLASSBITS);
    if (f & SPF_UNREADABLE) o.streamStatus = STREAM_BADLENGTH;

    const bool known = (f & SPF_OPENLENGTH) == 0;
    if (known) {
        // The tag and id were counted in the bytes after the prefix, not in the body.
        unsigned long body = BodyInBuffer(f, len);
        if (static_cast<unsigned long>(s.cursor.length) > body) s.cursor.length = static_cast<long>(body);
        s.openLength = FALSE;
    } else {
        s.openLength = TRUE;
    }

    o.StreamIn(s);
    if (s.destination && s.destination->status != 0) o.streamStatus = s.destination->status;

    if (known) s.cursor.length = static_cast<long>(end - s.cursor.data);
    s.flags = saveFlags;
    s.code = saveCode;
    s.objectId = saveId;
    s.openLength = saveOpen;
    s.savedEnd = saveEnd;
    s.frameOpen = saveFrameOpen;
    return s;
}

// ---- hand-written frames

STREAMBUF& operator<<(STREAMBUF& s, const BEGINDI& d) {
    unsigned long e = d.size ? d.size : 1024;
    int n = MeasurePrefix(s.cursor.length, d.flags, d.code, e);
    if (s.destination && s.HoldsData() && (n == 0 || s.cursor.length < n + static_cast<long>(d.size))) {
        s.FlushOut();
        if (n == 0) n = MeasurePrefix(s.cursor.length, d.flags, d.code, e);
    }
    if (n == 0) {
        // No room for the prefix: hold the room back so the body writes nothing.
        s.frameSize = 0;
        s.framePos = nullptr;
        s.frameBlocked = s.cursor.length;
        s.cursor.length = 0;
        s.frameStatus = STREAM_BADLENGTH;
        return s;
    }
    s.flags = (d.flags & ~(SPF_FORM | SPF_SWAPPED)) | FormBits(n);
    s.code = d.code;
    s.framePos = s.cursor.data;
    s.frameSize = n;
    s.frameBlocked = -1;
    s.frameFlushMark = s.flushCount;
    if (!PutPrefix(s.cursor.data, n, s.flags | SPF_OPENLENGTH, d.code, 0)) PutPrefix(s.cursor.data, n, s.flags, d.code, 0);
    s.cursor.data += n;
    s.cursor.length -= n;
    return s;
}

STREAMBUF& operator<<(STREAMBUF& s, const ENDDI&) {
    if (s.frameSize == 0) {
        if (s.frameBlocked >= 0) s.cursor.length = s.frameBlocked;
        s.frameBlocked = -1;
        return s;
    }
    if (s.flushCount != s.frameFlushMark) {
        // The body was written out under the prefix: its length is lost.
        s.frameStatus = STREAM_BADLENGTH;
    } else {
        s.length = static_cast<unsigned long>(s.cursor.data - s.framePos - s.frameSize);
        PatchPrefix(s, s.framePos, s.frameSize, s.flags, s.code, s.length);
    }
    s.frameSize = 0;
    s.framePos = nullptr;
    return s;
}

STREAMBUF& operator>>(STREAMBUF& s, const BEGINDI&) {
    if (s.destination && s.openLength && s.cursor.length == 0) s.destination->ReadBuffer();
    char* end = s.cursor.data + s.cursor.length;
    unsigned long f, c, len;
    int n = ReadPrefix(s.cursor.data, s.cursor.length, f, c, len);
    s.flags = f;
    s.code = c;
    s.length = len;
    s.savedEnd = end;
    s.cursor.data += n;
    s.cursor.length -= n;
    s.frameOpen = (f & SPF_OPENLENGTH) != 0;
    if (!s.frameOpen) s.cursor.length = static_cast<long>(BodyInBuffer(f, len));
    return s;
}

STREAMBUF& operator>>(STREAMBUF& s, const ENDDI&) {
    if (!s.savedEnd) return s;
    if (!s.frameOpen) s.cursor.data += s.cursor.length;  // skip what the body reader left
    s.cursor.length = static_cast<long>(s.savedEnd - s.cursor.data);
    s.savedEnd = nullptr;
    s.frameOpen = FALSE;
    return s;
}

// ---- STREAMCOUNT

BBOOL STREAMCOUNT::StreamIn(STREAMBUF& s) {
    count = 0;
    if (s.cursor.length >= 4) {
        count = GetStreamU32(s.cursor.data, s.flags);
        s.cursor.data += 4;
        s.cursor.length -= 4;
    }
    return streamStatus == 0;
}

BBOOL STREAMCOUNT::StreamOut(STREAMBUF& s) {
    if (s.cursor.length >= 4) {
        PutLe32(s.cursor.data, count);
        s.cursor.data += 4;
        s.cursor.length -= 4;
    }
    return streamStatus == 0;
}

int STREAMCOUNT::ItemStreamSize(BBOOL forPrefix) {
    return forPrefix && (flags & SPF_WRITETHROUGH) ? 0 : 40;
}

// ---- STREAMDEST

STREAMDEST::STREAMDEST(BBOOL external)
    : bufferSize(4096), status(0), mode(3), open(FALSE), endOfFile(FALSE), externalBuffer(external) {
    name[0] = 0;
}

STREAMDEST::~STREAMDEST() {}

BBOOL STREAMDEST::SetStream(const char* n, int size, IOMODE m, BBOOL allocate) {
    if (open) _Task_Abend(ABEND_STR102, reinterpret_cast<ULONG_PTR>(this));
    if (n) {
        std::strncpy(name, n, sizeof name - 1);
        name[sizeof name - 1] = 0;
    }
    if (size) bufferSize = size;
    if (m) mode = m;
    if (!bufferSize) bufferSize = 4096;
    if (!mode) mode = 3;
    if (allocate && !externalBuffer) {
        if (!buffer.hasMemory) {
            if (!buffer.BufAlloc(bufferSize, QvTag("STRD"))) return FALSE;
        } else if (buffer.capacity < bufferSize) {
            _Task_Abend(ABEND_STR102, static_cast<unsigned long>(bufferSize));
        }
    }
    return TRUE;
}

int STREAMDEST::OpenStream(const char* n, int size, IOMODE m) {
    status = 0;
    open = FALSE;
    endOfFile = FALSE;
    SetStream(n, size, m, TRUE);
    open = TRUE;
    buffer.SetEmpty();
    return 0;
}

int STREAMDEST::CloseStream() {
    buffer.BufFree();
    return status;
}

int STREAMDEST::ReadBuffer() {
    buffer.cursor = BUFFER(buffer.area.data, 0);
    buffer.active = TRUE;
    return 0;
}

int STREAMDEST::WriteBuffer() {
    buffer.SetEmpty();
    return 0;
}

int STREAMDEST::ReadDirect(const BUFFER&) { return 9995; }
int STREAMDEST::WriteDirect(const BUFFER&) { return 9995; }
BBOOL STREAMDEST::TakesDirect() const { return FALSE; }

BBOOL TakesDirect(const STREAMBUF& s) { return s.destination && s.destination->TakesDirect(); }

BBOOL PutDirectFrame(STREAMBUF& s, unsigned long flags, unsigned long code, unsigned long length) {
    if (!TakesDirect(s)) return FALSE;
    if (!s.active) s.SetForWrite();
    flags = (flags & ~SPF_OPENLENGTH) | SPF_DIRECT;
    if (MeasurePrefix(s.cursor.length, flags, code, length) == 0 && s.HoldsData()) s.FlushOut();
    int n = WritePrefix(s.cursor.data, s.cursor.length, flags, code, length);
    if (n == 0) return FALSE;
    s.cursor.data += n;
    s.cursor.length -= n;
    // The record ends with the prefix, so the reader finds the bytes next.
    s.FlushOut();
    return s.destination->status == 0;
}

STREAMDEST& operator<<(STREAMDEST& d, STREAMABLE& o) {
    CheckStreamDest(d);
    STREAMBUF& s = d.buffer;
    if (!s.active) s.SetForWrite();
    STREAMDEST* prev = s.destination;
    s.destination = &d;
    s << o;
    s.destination = prev;
    if (s.Used() > 0) d.WriteBuffer();
    return d;
}

STREAMDEST& operator>>(STREAMDEST& d, STREAMABLE& o) {
    CheckStreamDest(d);
    STREAMBUF& s = d.buffer;
    if (d.ReadBuffer() == 0) {
        STREAMDEST* prev = s.destination;
        s.destination = &d;
        s >> o;
        s.destination = prev;
        if (s.cursor.length == 0) s.SetEmpty();
    }
    return d;
}

STREAMDEST& operator<<(STREAMDEST& d, const BUFFER& b) {
    CheckStreamDest(d);
    STREAMBUF& s = d.buffer;
    if (s.HoldsData()) {
        STREAMDEST* prev = s.destination;
        s.destination = &d;
        s.FlushOut();
        s.destination = prev;
    }
    if (b.length > 0) d.WriteDirect(b);
    return d;
}

STREAMDEST& operator>>(STREAMDEST& d, const BUFFER& b) {
    CheckStreamDest(d);
    if (b.length > 0) d.ReadDirect(b);
    return d;
}
