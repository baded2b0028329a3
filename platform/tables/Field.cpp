#include "Field.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <new>

#include "Column.h"
#include "BufferPool.h"
#include "IoBuffer.h"
#include "MemoryPool.h"
#include "SpControl.h"
#include "Streamable.h"
#include "Table.h"
#include "TaskAbend.h"

static_assert(sizeof(BLOBDEF) <= FIELD_INLINE_SIZE, "descriptor must fit inline");
static_assert(sizeof(SGBLOB) <= FIELD_INLINE_SIZE, "segment list must fit inline");

FIELD::FIELD() : flags(0), columnId(0), table(nullptr), extension(nullptr), length(0) {}

FIELD::FIELD(TABLE* t) : flags(0), columnId(0), table(t), extension(nullptr), length(0) {}

FIELD::FIELD(COLUMN* column) : flags(0), columnId(0), table(nullptr), extension(nullptr), length(0) {
    SetColumn(column);
}

FIELD::~FIELD() {
    FreeData(FALSE);
    if (flags & FIELD_SEGMENTED) Segments()->~SGBLOB();
}

void FIELD::InitLarge(unsigned long form) {
    if (IsLarge()) return;
    FreeData(FALSE);
    if (form & FIELD_SEGMENTED) {
        new (data) SGBLOB();
        flags = (flags & ~FIELD_LARGE) | FIELD_SEGMENTED;
        length = sizeof(SGBLOB);
    } else {
        new (data) BLOBDEF();
        flags = (flags & ~FIELD_LARGE) | FIELD_DESCRIPTOR;
        length = sizeof(BLOBDEF);
    }
}

BUFFERPOOL* FIELD::segmentPool(BUFFERPOOL* pool) const {
    if (pool) return pool;
    if (table && table->bufferPool) return table->bufferPool;
    return _pSupport ? &_pSupport->bufferPool : nullptr;
}

void FIELD::freeSegments() {
    SGBLOB* sg = Segments();
    while (IOBUFFER* part = sg->parts.RemoveFirst()) part->freeobj();
    sg->blob.length = 0;
    flags &= ~FIELD_OWNED;
}

// Fills pooled buffers with n bytes (zeros are left when src is null).
int FIELD::setSegments(const char* src, int n, BUFFERPOOL* pool) {
    freeSegments();
    if (n <= 0) return 0;
    pool = segmentPool(pool);
    if (!pool) return -1;
    SGBLOB* sg = Segments();
    int done = 0;
    while (done < n) {
        IOBUFFER* part = pool->GetBuffer(0);
        if (!part) return -1;
        int step = n - done < part->capacity ? n - done : (int)part->capacity;
        if (src) std::memcpy(part->area.data, src + done, step);
        part->cursor = BUFFER(part->area.data, step);
        part->active = TRUE;
        sg->Add(part);
        flags |= FIELD_OWNED;
        done += step;
    }
    return done;
}

void FIELD::SetColumn(COLUMN* column) {
    if (!column) return;
    if (table && column->table && table != column->table) _Task_Abend(ABEND_TBL101, (ULONG_PTR)(uintptr_t)this);
    if (!table) table = column->table;
    columnId = column->ColumnID();
    flags &= ~(FIELD_TRANSIENT | FIELD_FROMCOLUMN);
    if (column->flags & COLUMN_TRANSIENT) flags |= FIELD_TRANSIENT;
    if (column->flags & COLUMN_TOFIELD) flags |= FIELD_FROMCOLUMN;
    if (column->type.code == 48) InitLarge(FIELD_DESCRIPTOR);
    if (column->type.code == 49) InitLarge(FIELD_SEGMENTED);
}

FIELDBLOCK* FIELD::newBlock() {
    if (!table) return nullptr;
    void* cell = table->fieldAllocator.newitem(sizeof(FIELDBLOCK));
    if (!cell) return nullptr;
    FIELDBLOCK* b = static_cast<FIELDBLOCK*>(cell);
    b->word = 0;
    b->next = nullptr;
    return b;
}

void FIELD::releaseBlocks(FIELDBLOCK* first) {
    while (first) {
        FIELDBLOCK* next = first->next;
        if (table) table->fieldAllocator.delitem(first);
        first = next;
    }
}

int FIELD::BlockCount() const {
    int n = 0;
    for (FIELDBLOCK* b = extension; b; b = b->next) ++n;
    return n;
}

int FIELD::DataLength() const {
    if (flags & FIELD_LARGE) return blob()->length;
    return length;
}

int FIELD::setLarge(const char* src, int n) {
    if (flags & FIELD_SEGMENTED) return setSegments(src, n, nullptr);
    BLOBDEF* b = blob();
    if ((flags & FIELD_OWNED) && b->data) {
        if (table && table->memoryPool)
            table->memoryPool->Free(b->data);
        else
            MEMORYPOOL::FreeObj(b->data);
    }
    b->data = nullptr;
    b->length = 0;
    flags &= ~FIELD_OWNED;
    if (n <= 0) return 0;
    MEMORYPOOL* pool = table && table->memoryPool ? table->memoryPool : _pSystemMemoryPool;
    char* mem = pool ? static_cast<char*>(pool->Allocate(n, QvTag("BLOB"))) : nullptr;
    if (!mem) return -1;
    if (src) std::memcpy(mem, src, n);
    b->data = mem;
    b->length = n;
    flags |= FIELD_OWNED;
    return n;
}

int FIELD::SetData(const BUFFER& value, BUFFERPOOL* pool) {
    if (!(flags & FIELD_SEGMENTED)) return SetData(value);
    int n = value.data && value.length > 0 ? (int)value.length : 0;
    int got = setSegments(value.data, n, pool);
    return got < 0 ? 0 : got;
}

int FIELD::SetData(const BUFFER& value) {
    int n = value.data ? value.length : 0;
    if (n < 0) n = 0;
    if (flags & FIELD_LARGE) {
        int got = setLarge(value.data, n);
        return got < 0 ? 0 : got;
    }
    int head = n < FIELD_INLINE_SIZE ? n : FIELD_INLINE_SIZE;
    std::memcpy(data, value.data, head);
    int done = head;
    FIELDBLOCK** link = &extension;
    while (done < n) {
        if (!*link) {
            *link = newBlock();
            if (!*link) break;
        }
        int step = n - done < FIELD_BLOCK_DATA ? n - done : FIELD_BLOCK_DATA;
        std::memcpy((*link)->data, value.data + done, step);
        done += step;
        link = &(*link)->next;
    }
    // Cells past the last one used go back to the allocator.
    FIELDBLOCK* rest = *link;
    *link = nullptr;
    releaseBlocks(rest);
    length = done;
    return done;
}

int FIELD::GetData(const BUFFER& out, BBOOL terminate) const {
    if (!out.data || out.length <= 0) return 0;
    int want = DataLength();
    if (want > out.length) want = out.length;
    if (terminate && want >= out.length) want = out.length - 1;
    if (want < 0) want = 0;
    if (flags & FIELD_SEGMENTED) {
        int done = 0;
        SGBLOB* sg = reinterpret_cast<SGBLOB*>(const_cast<unsigned char*>(data));
        for (bSPOINTER* c = sg->parts.first; c && c->target && done < want; c = c->next) {
            IOBUFFER* part = CHAIN<IOBUFFER>::Cast(c->target);
            if (!part || !part->cursor.data) _Task_Abend(ABEND_PTR102, (ULONG_PTR)(uintptr_t)part);
            int step = want - done < part->cursor.length ? want - done : (int)part->cursor.length;
            std::memcpy(out.data + done, part->cursor.data, step);
            done += step;
        }
        want = done;
    } else if (flags & FIELD_LARGE) {
        const BLOBDEF* b = blob();
        if (!b->data) want = 0;
        if (want > 0) std::memcpy(out.data, b->data, want);
    } else {
        int head = want < FIELD_INLINE_SIZE ? want : FIELD_INLINE_SIZE;
        std::memcpy(out.data, data, head);
        int done = head;
        for (FIELDBLOCK* b = extension; b && done < want; b = b->next) {
            int step = want - done < FIELD_BLOCK_DATA ? want - done : FIELD_BLOCK_DATA;
            std::memcpy(out.data + done, b->data, step);
            done += step;
        }
        want = done;
    }
    if (terminate) out.data[want] = 0;
    return want;
}

void FIELD::CopyData(const FIELD& other) {
    if ((flags | other.flags) & FIELD_LARGE) return;
    int n = other.length;
    std::memcpy(data, other.data, n < FIELD_INLINE_SIZE ? n : FIELD_INLINE_SIZE);
    int done = n < FIELD_INLINE_SIZE ? n : FIELD_INLINE_SIZE;
    FIELDBLOCK** link = &extension;
    for (FIELDBLOCK* src = other.extension; src && done < n; src = src->next) {
        if (!*link) {
            *link = newBlock();
            if (!*link) break;
        }
        int step = n - done < FIELD_BLOCK_DATA ? n - done : FIELD_BLOCK_DATA;
        std::memcpy((*link)->data, src->data, step);
        done += step;
        link = &(*link)->next;
    }
    FIELDBLOCK* rest = *link;
    *link = nullptr;
    releaseBlocks(rest);
    length = done;
}

void FIELD::FreeData(BBOOL keepLength) {
    if (flags & FIELD_LARGE) {
        // The kept length says how much to read back later.
        long n = blob()->length;
        if (flags & FIELD_SEGMENTED)
            freeSegments();
        else
            setLarge(nullptr, 0);
        if (keepLength) blob()->length = n;
    } else {
        releaseBlocks(extension);
        extension = nullptr;
        if (!keepLength) length = 0;
    }
}

signed char FIELD::CompareDataBuffer(const BUFFER& key, int offset) const {
    if (flags & FIELD_SEGMENTED) {
        std::string flat(DataLength(), 0);
        if (!flat.empty()) flat.resize(GetData(BUFFER(&flat[0], (long)flat.size()), FALSE));
        if (offset > (int)flat.size()) offset = (int)flat.size();
        std::string k = key.data && key.length > 0 ? std::string(key.data, key.length) : std::string();
        int r = std::memcmp(flat.data() + offset, k.data(), std::min(flat.size() - offset, k.size()));
        if (r) return r < 0 ? -1 : 1;
        if (flat.size() - offset == k.size()) return 0;
        return flat.size() - offset < k.size() ? -1 : 1;
    }
    int n = (flags & FIELD_LARGE) && !blob()->data ? 0 : DataLength() - offset;
    if (n < 0) n = 0;
    int k = key.data ? key.length : 0;
    int common = n < k ? n : k;
    int pos = 0;
    auto byteAt = [&](int i) -> unsigned char {
        i += offset;
        if (flags & FIELD_LARGE) return static_cast<unsigned char>(blob()->data[i]);
        if (i < FIELD_INLINE_SIZE) return data[i];
        i -= FIELD_INLINE_SIZE;
        const FIELDBLOCK* b = extension;
        while (i >= FIELD_BLOCK_DATA) {
            b = b->next;
            i -= FIELD_BLOCK_DATA;
        }
        return b->data[i];
    };
    for (; pos < common; ++pos) {
        unsigned char a = byteAt(pos);
        unsigned char b = static_cast<unsigned char>(key.data[pos]);
        if (a != b) return a < b ? -1 : 1;
    }
    if (n == k) return 0;
    return n < k ? -1 : 1;
}


BUFFER FIELD::DataView() const {
    if (flags & FIELD_SEGMENTED) {
        const SGBLOB* sg = reinterpret_cast<const SGBLOB*>(data);
        IOBUFFER* part = sg->parts.first ? CHAIN<IOBUFFER>::Cast(sg->parts.first->target) : nullptr;
        return part ? part->cursor : BUFFER();
    }
    if (flags & FIELD_LARGE) return BUFFER(blob()->data, blob()->data ? blob()->length : 0);
    int n = length < FIELD_INLINE_SIZE ? length : FIELD_INLINE_SIZE;
    return BUFFER(reinterpret_cast<char*>(const_cast<unsigned char*>(data)), n);
}

bool FIELD::holdsLargeValue() {
    long n = DataLength();
    if (SGBLOB* sg = Segments()) {
        long held = 0;
        for (bSPOINTER* c = sg->parts.first; c && c->target; c = c->next) {
            IOBUFFER* part = CHAIN<IOBUFFER>::Cast(c->target);
            if (part && part->cursor.data) held += part->cursor.length;
        }
        return held == n;
    }
    return n <= 0 || blob()->data != nullptr;
}

int FIELD::WriteItem(STREAMBUF& s) {
    unsigned long itemFlags = flags & ~FIELD_OWNED;
    int n = DataLength();
    if (IsLarge() && n > 0 && TakesDirect(s)) {
        if (!holdsLargeValue()) return STREAM_BADLENGTH;
        if (!PutDirectFrame(s, itemFlags, columnId, (unsigned long)n))
            return s.destination->status ? (int)s.destination->status : STREAM_BADLENGTH;
        return WriteDirect(*s.destination);
    }
    s << BEGINDI(itemFlags, columnId, (unsigned long)n);
    int rc = WriteData(s);
    s << ENDDI();
    return rc;
}

int FIELD::ReadItem(STREAMBUF& s) {
    unsigned long itemFlags = s.flags & SPF_CLASSBITS & ~FIELD_OWNED;
    flags = itemFlags & ~FIELD_LARGE;
    if (itemFlags & FIELD_LARGE) InitLarge(itemFlags & FIELD_LARGE);
    return ReadData(s, (int)s.length);
}

int FIELD::WriteDirect(STREAMDEST& d) {
    int n = DataLength();
    if (SGBLOB* sg = Segments()) {
        for (bSPOINTER* c = sg->parts.first; c && c->target && d.status == 0; c = c->next) {
            IOBUFFER* part = CHAIN<IOBUFFER>::Cast(c->target);
            if (!part || !part->cursor.data) _Task_Abend(ABEND_PTR102, (ULONG_PTR)(uintptr_t)part);
            if (int rc = d.WriteDirect(part->cursor)) return rc;
        }
    } else if (IsLarge() && n > 0 && blob()->data) {
        if (int rc = d.WriteDirect(BUFFER(blob()->data, n))) return rc;
    }
    return (int)d.status;
}

// Segments are taken and filled one by one, so a length that claims more
// than the destination holds stops at its end instead of reserving it all.
int FIELD::ReadDirect(STREAMDEST& d, int n) {
    if (!IsLarge()) return STREAM_BADLENGTH;
    if (flags & FIELD_SEGMENTED) {
        freeSegments();
        BUFFERPOOL* pool = segmentPool(nullptr);
        if (!pool && n > 0) return -1;
        SGBLOB* sg = Segments();
        for (int done = 0; done < n;) {
            IOBUFFER* part = pool->GetBuffer(0);
            if (!part) return -1;
            int step = n - done < part->capacity ? n - done : (int)part->capacity;
            part->cursor = BUFFER(part->area.data, step);
            part->active = TRUE;
            sg->Add(part);
            flags |= FIELD_OWNED;
            if (int rc = d.ReadDirect(part->cursor)) return rc == 9995 ? STREAM_BADLENGTH : rc;
            done += step;
        }
        return 0;
    }
    if (setLarge(nullptr, n) < 0) return -1;
    if (n == 0) return 0;
    int rc = d.ReadDirect(BUFFER(blob()->data, n));
    return rc == 9995 ? STREAM_BADLENGTH : rc;
}

// A field's part of a row stream in the body of its item. Large values are
// here too where the stream has no destination that takes them directly.
int FIELD::WriteData(STREAMBUF& s) {
    int n = DataLength();
    if (n <= 0) return 0;
    // A large value whose bytes were let go (its length kept) cannot be written.
    if (flags & FIELD_SEGMENTED) {
        long done = 0;
        for (bSPOINTER* c = Segments()->parts.first; c && c->target; c = c->next) {
            IOBUFFER* part = CHAIN<IOBUFFER>::Cast(c->target);
            if (!part || !part->cursor.data) _Task_Abend(ABEND_PTR102, (ULONG_PTR)(uintptr_t)part);
            if (s.CopyIn(part->cursor.data, part->cursor.length) != part->cursor.length) return 9996;
            done += part->cursor.length;
        }
        return done == n ? 0 : 9996;
    }
    if (flags & FIELD_LARGE) {
        const BLOBDEF* b = blob();
        return b->data && s.CopyIn(b->data, n) == n ? 0 : 9996;
    }
    int head = n < FIELD_INLINE_SIZE ? n : FIELD_INLINE_SIZE;
    if (s.CopyIn(data, head) != head) return 9996;
    int done = head;
    for (FIELDBLOCK* b = extension; b && done < n; b = b->next) {
        int step = n - done < FIELD_BLOCK_DATA ? n - done : FIELD_BLOCK_DATA;
        if (s.CopyIn(b->data, step) != step) return 9996;
        done += step;
    }
    return 0;
}

int FIELD::ReadData(STREAMBUF& s, int n) {
    if (n < 0) n = 0;
    // The bytes are not in this stream without its destination.
    if (s.flags & SPF_DIRECT) return s.destination ? ReadDirect(*s.destination, n) : STREAM_BADLENGTH;
    if (flags & FIELD_SEGMENTED) {
        if (setSegments(nullptr, n, nullptr) < 0) return -1;
        for (bSPOINTER* c = Segments()->parts.first; c && c->target; c = c->next) {
            IOBUFFER* part = CHAIN<IOBUFFER>::Cast(c->target);
            if (s.CopyOut(part->cursor.data, part->cursor.length) != part->cursor.length) return 9996;
        }
        return 0;
    }
    if (flags & FIELD_LARGE) {
        if (setLarge(nullptr, n) < 0) return -1;
        if (n == 0) return 0;
        return s.CopyOut(blob()->data, n) == n ? 0 : 9996;
    }
    FreeData(FALSE);
    int head = n < FIELD_INLINE_SIZE ? n : FIELD_INLINE_SIZE;
    if (s.CopyOut(data, head) != head) return 9996;
    int done = head;
    length = done;
    FIELDBLOCK** link = &extension;
    while (done < n) {
        *link = newBlock();
        if (!*link) return -1;
        int step = n - done < FIELD_BLOCK_DATA ? n - done : FIELD_BLOCK_DATA;
        if (s.CopyOut((*link)->data, step) != step) return 9996;
        done += step;
        length = done;
        link = &(*link)->next;
    }
    return 0;
}

namespace {

void checkDest(STREAMDEST& d) {
    if (!d.open || d.status != 0) _Task_Abend(ABEND_STR101, (ULONG_PTR)(uintptr_t)&d);
}

}  // namespace

STREAMDEST& operator<<(STREAMDEST& d, FIELD& f) {
    checkDest(d);
    STREAMBUF& s = d.buffer;
    STREAMDEST* prev = s.destination;
    s.destination = &d;
    if (s.HoldsData()) s.FlushOut();
    int n = f.DataLength();
    if (n > 0 && f.IsLarge()) {
        // Large values go straight to the destination, outside the records.
        f.WriteDirect(d);
    } else if (n > 0) {
        // Other values go through the buffer: each buffer-full and the rest
        // become records of their own, so nothing stays behind unwritten.
        if (!s.active) s.SetForWrite();
        auto put = [&](const unsigned char* data, int length) {
            while (length > 0 && d.status == 0 && s.capacity > 0) {
                if (s.cursor.length <= 0) s.FlushOut();
                long step = s.CopyIn(data, length);
                data += step;
                length -= step;
            }
        };
        int head = n < FIELD_INLINE_SIZE ? n : FIELD_INLINE_SIZE;
        put(f.data, head);
        int done = head;
        for (FIELDBLOCK* b = f.extension; b && done < n; b = b->next) {
            int step = n - done < FIELD_BLOCK_DATA ? n - done : FIELD_BLOCK_DATA;
            put(b->data, step);
            done += step;
        }
        if (s.Used() > 0 && d.status == 0) d.WriteBuffer();
    }
    s.destination = prev;
    return d;
}

// Reads as many bytes as the field holds now (a large value's kept length
// included); a value that ends early sets 9996 and leaves the field as it was.
STREAMDEST& operator>>(STREAMDEST& d, FIELD& f) {
    checkDest(d);
    int n = f.DataLength();
    if (n <= 0) return d;
    STREAMBUF& s = d.buffer;
    std::string bytes(n, 0);
    if (f.IsLarge()) {
        if (d.ReadDirect(BUFFER(&bytes[0], n)) != 0) return d;
    } else {
        long got = 0;
        while (got < n && d.status == 0) {
            if (!s.active || s.cursor.length <= 0) {
                if (d.ReadBuffer() != 0 || d.endOfFile || s.cursor.length <= 0) break;
            }
            got += s.CopyOut(&bytes[got], n - got);
        }
        if (s.cursor.length <= 0) s.SetEmpty();
        if (got < n) {
            if (d.status == 0) d.status = 9996;
            return d;
        }
    }
    BUFFER value(&bytes[0], n);
    if (f.Segments())
        f.SetData(value, nullptr);
    else
        f.SetData(value);
    return d;
}
