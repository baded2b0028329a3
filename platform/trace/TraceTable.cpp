#include "TraceTable.h"

#include <cstdarg>
#include <cstring>

#include "MemoryPool.h"
#include "PgmThread.h"
#include "SpControl.h"

TRACEROWFIELDS TRACETABLE::rowFields = nullptr;

namespace {
const unsigned long TAG_TRACE = QvTag("TRCT");

struct Writer {
    unsigned char* p;
    void Byte(unsigned char b) { *p++ = b; }
    void U16(unsigned v) {
        p[0] = (unsigned char)v;
        p[1] = (unsigned char)(v >> 8);
        p += 2;
    }
    void U32(unsigned long v) {
        for (int i = 0; i < 4; ++i) p[i] = (unsigned char)(v >> (8 * i));
        p += 4;
    }
    // An address, little-endian at the build's pointer width.
    void Ptr(const void* a) {
        ULONG_PTR v = reinterpret_cast<ULONG_PTR>(a);
        for (size_t i = 0; i < sizeof v; ++i) p[i] = (unsigned char)(v >> (8 * i));
        p += sizeof v;
    }
    void Bytes(const void* d, size_t n) {
        if (n) std::memcpy(p, d, n);
        p += n;
    }
};
}  // namespace

TRACETABLE::TRACETABLE(unsigned short cats, int size)
    : lock(TRUE), oldest(0), next(0), itemLimit(256), active(0), wrapped(0), suspended(0), categories(cats),
      startClock(0), startTime(0), paused(0), limitAsked(256) {
    if (size != 0) StartTrace(cats, size);
}

TRACETABLE::~TRACETABLE() { StopTrace(); }

BBOOL TRACETABLE::StartTrace(unsigned short cats, int size) {
    StopTrace();
    if (size <= 0) size = DefaultSize;
    if (size < 2 * HeaderSize) size = 2 * HeaderSize;
    // The ring comes from the pool outside our lock: the pool traces under its own.
    void* memory = _pSystemMemoryPool ? _pSystemMemoryPool->Allocate(size, TAG_TRACE) : nullptr;
    if (!memory) return FALSE;
    std::memset(memory, 0, size);
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    ring.data = static_cast<char*>(memory);
    ring.length = size;
    oldest = next = 0;
    wrapped = 0;
    categories |= cats;
    itemLimit = limitAsked < size - HeaderSize - 3 ? limitAsked : size - HeaderSize - 3;
    startClock = (long)clock();
    startTime = time(nullptr);
    active = 1;
    lock.Release(FALSE);
    return TRUE;
}

void TRACETABLE::StopTrace() {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    char* memory = active ? ring.data : nullptr;
    active = 0;
    ring.data = nullptr;
    ring.length = 0;
    oldest = next = 0;
    wrapped = 0;
    lock.Release(FALSE);
    if (memory) MEMORYPOOL::FreeObj(memory);
}

void TRACETABLE::Pause() {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    paused = 1;
    lock.Release(FALSE);
}

void TRACETABLE::Resume() {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    paused = 0;
    lock.Release(FALSE);
}

void TRACETABLE::Clear() {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    oldest = next = 0;
    wrapped = 0;
    if (ring.data) std::memset(ring.data, 0, ring.length);
    lock.Release(FALSE);
}

void TRACETABLE::Suspend() { suspended = 1; }

void TRACETABLE::SetItemLimit(int limit) {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    if (limit < 1) limit = 1;
    if (limit > 65535 - HeaderSize - 3) limit = 65535 - HeaderSize - 3;
    limitAsked = limit;
    if (ring.length && limit > ring.length - HeaderSize - 3) limit = ring.length - HeaderSize - 3;
    itemLimit = limit;
    lock.Release(FALSE);
}

BBOOL TRACETABLE::IsEndAt(long offset) const {
    if (offset < 0 || ring.length - offset < HeaderSize) return TRUE;
    const TRACERECORD* r = reinterpret_cast<const TRACERECORD*>(ring.data + offset);
    return r->length < HeaderSize || offset + r->length > ring.length;
}

void* TRACETABLE::TraceEvent(unsigned short category, unsigned short event, const char* kinds, ...) {
    if (suspended || !kinds) return nullptr;
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    if (!active || paused || suspended || !(categories & category) || !ring.data) {
        lock.Release(FALSE);
        return nullptr;
    }
    const long limit = itemLimit;
    BUFFER rowFieldViews[MaxColumns];
    // Texts and rows are read twice, to size and to write, and another thread
    // may change them in between: the second pass writes no more than the
    // first one sized. Row entries: the column count, then each length.
    const int MaxSized = 256;
    long sized[MaxSized];
    int nSized = 0;
    auto keep = [&](long n) {
        if (n < 0) n = 0;
        if (n > limit) n = limit;
        if (nSized >= MaxSized) return 0L;
        return sized[nSized++] = n;
    };

    // Size the record.
    va_list args;
    va_start(args, kinds);
    long size = HeaderSize;
    int items = 0;
    for (const char* k = kinds; *k; ++k) {
        switch (*k) {
        case 'b': case 'h': case 'i': case 'o': (void)va_arg(args, int); size += TraceItemSize(*k); ++items; break;
        case 'l': (void)va_arg(args, long); size += TraceItemSize(*k); ++items; break;
        case 'c': case 'p': (void)va_arg(args, const void*); size += TraceItemSize(*k); ++items; break;
        case 's': {
            const char* s = va_arg(args, const char*);
            size += 2 + keep(s ? (long)std::strlen(s) : 0);
            ++items;
            break;
        }
        case 'd': {
            const void* d = va_arg(args, const void*);
            long n = va_arg(args, int);
            size += 3 + keep(d ? n : 0);
            ++items;
            break;
        }
        case 'r': {
            ROW* row = va_arg(args, ROW*);
            int cols = (row && rowFields) ? rowFields(row, rowFieldViews, MaxColumns) : 0;
            if (cols > MaxColumns) cols = MaxColumns;
            if (nSized + 1 + cols > MaxSized) cols = 0;
            sized[nSized++] = cols;
            for (int c = 0; c < cols; ++c) {
                size += 3 + keep(rowFieldViews[c].data ? rowFieldViews[c].length : 0);
                ++items;
            }
            break;
        }
        default: (void)va_arg(args, int); break;
        }
    }
    va_end(args);

    // A record never outgrows the ring (with room left for the end mark) nor its length field.
    if (size > ring.length - HeaderSize || size > 65535) {
        lock.Release(FALSE);
        return nullptr;
    }

    // Make room.
    long clearAt = -1, clearLen = 0;
    if (ring.length - next < size) {
        clearAt = next;
        clearLen = ring.length - next < 2 ? ring.length - next : 2;
        next = 0;
        oldest = 0;
        wrapped = 1;
    }
    // Drop the records the new one would overlap.
    while (wrapped && oldest >= next && oldest - next < size) {
        long after = IsEndAt(oldest) ? 0 : oldest + reinterpret_cast<TRACERECORD*>(ring.data + oldest)->length;
        if (after >= ring.length) after = 0;
        if (after == 0 && next == 0 && oldest != 0) {
            // Everything before the new record has gone round: only it remains.
            oldest = 0;
            break;
        }
        if (after == 0 && oldest == 0) break;
        oldest = after;
    }
    if (clearAt >= 0 && clearLen > 0) std::memset(ring.data + clearAt, 0, clearLen);

    // Write.
    unsigned char* start = reinterpret_cast<unsigned char*>(ring.data + next);
    Writer w{start};
    w.U16((unsigned)size);
    w.U16((unsigned)items);
    w.U16(category);
    w.U16(event);
    w.U32((unsigned long)clock());
    w.U32(PGMTHREAD::GetCurrentID());
    int used = 0;
    // The sized length, or less when the data shrank meanwhile.
    auto fit = [&](long n) {
        long most = used < nSized ? sized[used++] : 0;
        if (n < 0) n = 0;
        return n < most ? n : most;
    };
    va_start(args, kinds);
    for (const char* k = kinds; *k; ++k) {
        switch (*k) {
        case 'b': w.Byte('b'); w.Byte((unsigned char)va_arg(args, int)); break;
        case 'h': w.Byte('h'); w.U16((unsigned)va_arg(args, int) & 0xFFFF); break;
        case 'c': w.Byte('c'); w.Ptr(va_arg(args, const char*)); break;
        case 'i': w.Byte('i'); w.U32((unsigned long)va_arg(args, int)); break;
        case 'o': w.Byte('o'); w.U32((unsigned long)va_arg(args, int)); break;
        case 'l': w.Byte('l'); w.U32((unsigned long)va_arg(args, long)); break;
        case 'p': w.Byte('p'); w.Ptr(va_arg(args, void*)); break;
        case 's': {
            const char* s = va_arg(args, const char*);
            long n = fit(s ? (long)std::strlen(s) : 0);
            w.Byte('s');
            w.Bytes(s, n);
            w.Byte(0);
            break;
        }
        case 'd': {
            const void* d = va_arg(args, const void*);
            long n = va_arg(args, int);
            n = fit(d ? n : 0);
            w.Byte('d');
            w.U16((unsigned)n);
            w.Bytes(d, n);
            break;
        }
        case 'r': {
            ROW* row = va_arg(args, ROW*);
            int cols = (row && rowFields) ? rowFields(row, rowFieldViews, MaxColumns) : 0;
            int sizedCols = used < nSized ? (int)sized[used++] : 0;
            // A column that has gone meanwhile is written empty, so the item count holds.
            for (int c = 0; c < sizedCols; ++c) {
                bool have = c < cols && rowFieldViews[c].data;
                long n = fit(have ? rowFieldViews[c].length : 0);
                w.Byte('d');
                w.U16((unsigned)n);
                w.Bytes(have ? rowFieldViews[c].data : nullptr, n);
            }
            break;
        }
        default: (void)va_arg(args, int); break;
        }
    }
    va_end(args);
    // Data that shrank meanwhile leaves a tail: zeros up to the sized length.
    if (w.p < start + size) std::memset(w.p, 0, start + size - w.p);
    next += size;
    lock.Release(FALSE);
    return start;
}

long TRACETABLE::NextRecord(long offset) const {
    long after = offset + reinterpret_cast<const TRACERECORD*>(ring.data + offset)->length;
    return after >= ring.length ? 0 : after;
}

int TRACETABLE::Walk(VISITOR visit, void* context) {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    int n = 0;
    if (active && ring.data && (wrapped || next != oldest)) {
        long offset = oldest;
        const long stop = next >= ring.length ? 0 : next;  // a ring filled to the byte ends at 0
        bool first = true;
        // Each step passes one record or one wrap; the ring cannot hold more.
        long guard = ring.length / HeaderSize + 2;
        while (guard-- > 0) {
            if (!first && offset == stop) break;
            first = false;
            if (IsEndAt(offset)) {
                if (wrapped && offset != 0) {
                    offset = 0;
                    if (offset == stop) break;
                    continue;
                }
                break;
            }
            ++n;
            if (visit && !visit(reinterpret_cast<const TRACERECORD*>(ring.data + offset), context)) break;
            offset = NextRecord(offset);
        }
    }
    lock.Release(FALSE);
    return n;
}
