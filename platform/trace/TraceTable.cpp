#include "TraceTable.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "ByteOrder.h"
#include "MemoryPool.h"
#include "PgmThread.h"
#include "SpControl.h"

TRACEROWFIELDS TRACETABLE::rowFields = nullptr;

namespace {
const unsigned long TAG_TRACE = QvTag("TRCT");

// Texts and rows are read twice, to size the record and to write it, and
// another thread may change them in between: the writing pass writes no more
// than the sizing pass counted. Row entries: the column count, then each length.
struct SizedItems {
    static const int Max = 256;
    long length[Max];
    int count = 0;
    int used = 0;

    // Sizing pass: keeps a data length, cut to the item limit; 0 once the list is full.
    long Keep(long n, long limit) {
        if (n < 0) n = 0;
        if (n > limit) n = limit;
        if (count >= Max) return 0;
        return length[count++] = n;
    }
    // Writing pass: the next sized length, or less when the data shrank meanwhile.
    long Fit(long n) {
        long most = Next();
        if (n < 0) n = 0;
        return n < most ? n : most;
    }
    long Next() { return used < count ? length[used++] : 0; }
};

// A fixed-size item's argument, widened so that every kind fits.
uint64_t TakeFixed(va_list& args, TRACEARGUMENT how) {
    switch (how) {
    case TRACE_ARG_LONG: return (uint64_t)(unsigned long)va_arg(args, long);
    case TRACE_ARG_POINTER: return (uint64_t) reinterpret_cast<ULONG_PTR>(va_arg(args, const void*));
    default: return (uint64_t)(unsigned)va_arg(args, int);
    }
}

// The rows' field views, filled by the table store's hook; at most MaxColumns.
int RowFields(ROW* row, BUFFER* views) {
    int cols = (row && TRACETABLE::rowFields) ? TRACETABLE::rowFields(row, views, TRACETABLE::MaxColumns) : 0;
    return cols > TRACETABLE::MaxColumns ? TRACETABLE::MaxColumns : cols;
}

// Sizing pass: the bytes the items take; counts the items (a row one per column).
long SizeItems(const char* kinds, va_list& args, long limit, SizedItems& sized, int& items, BUFFER* views) {
    long size = 0;
    for (const char* k = kinds; *k; ++k) {
        if (const TRACEITEMKIND* fixed = FindTraceItemKind(*k)) {
            (void)TakeFixed(args, fixed->argument);
            size += 1 + fixed->payload;
            ++items;
            continue;
        }
        switch (*k) {
        case 's': {
            const char* s = va_arg(args, const char*);
            size += 2 + sized.Keep(s ? (long)std::strlen(s) : 0, limit);
            ++items;
            break;
        }
        case 'd': {
            const void* d = va_arg(args, const void*);
            long n = va_arg(args, int);
            size += 3 + sized.Keep(d ? n : 0, limit);
            ++items;
            break;
        }
        case 'r': {
            int cols = RowFields(va_arg(args, ROW*), views);
            if (sized.count + 1 + cols > SizedItems::Max) cols = 0;
            // A full list keeps no entry: the writing pass then reads 0 columns too.
            if (sized.count < SizedItems::Max) sized.length[sized.count++] = cols;
            for (int c = 0; c < cols; ++c) {
                size += 3 + sized.Keep(views[c].data ? views[c].length : 0, limit);
                ++items;
            }
            break;
        }
        default: (void)va_arg(args, int); break;  // records nothing
        }
    }
    return size;
}

struct Writer {
    unsigned char* p;
    void Byte(unsigned char b) { *p++ = b; }
    void U16(unsigned v) {
        PutLe16(p, v);
        p += 2;
    }
    void U32(unsigned long v) {
        PutLe32(p, v);
        p += 4;
    }
    void Fixed(const TRACEITEMKIND& kind, uint64_t v) {
        Byte((unsigned char)kind.kind);
        PutLeN(p, v, kind.payload);
        p += kind.payload;
    }
    void Data(const void* d, long n) {
        Byte('d');
        U16((unsigned)n);
        if (n) std::memcpy(p, d, n);
        p += n;
    }
    void Text(const char* s, long n) {
        Byte('s');
        if (n) std::memcpy(p, s, n);
        p += n;
        Byte(0);
    }
};

// Writing pass: the items as the sizing pass counted them.
void WriteItems(Writer& w, const char* kinds, va_list& args, SizedItems& sized, BUFFER* views) {
    for (const char* k = kinds; *k; ++k) {
        if (const TRACEITEMKIND* fixed = FindTraceItemKind(*k)) {
            w.Fixed(*fixed, TakeFixed(args, fixed->argument));
            continue;
        }
        switch (*k) {
        case 's': {
            const char* s = va_arg(args, const char*);
            w.Text(s, sized.Fit(s ? (long)std::strlen(s) : 0));
            break;
        }
        case 'd': {
            const void* d = va_arg(args, const void*);
            long n = va_arg(args, int);
            w.Data(d, sized.Fit(d ? n : 0));
            break;
        }
        case 'r': {
            int cols = RowFields(va_arg(args, ROW*), views);
            int sizedCols = (int)sized.Next();
            // A column that has gone meanwhile is written empty, so the item count holds.
            for (int c = 0; c < sizedCols; ++c) {
                bool have = c < cols && views[c].data;
                w.Data(have ? views[c].data : nullptr, sized.Fit(have ? views[c].length : 0));
            }
            break;
        }
        default: (void)va_arg(args, int); break;
        }
    }
}
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
    MSEMHOLD hold(lock, TRUE);
    ring.data = static_cast<char*>(memory);
    ring.length = size;
    oldest = next = 0;
    wrapped = 0;
    categories |= cats;
    itemLimit = limitAsked < size - HeaderSize - 3 ? limitAsked : size - HeaderSize - 3;
    startClock = (long)clock();
    startTime = time(nullptr);
    active = 1;
    return TRUE;
}

void TRACETABLE::StopTrace() {
    char* memory = nullptr;
    {
        MSEMHOLD hold(lock, TRUE);
        memory = active ? ring.data : nullptr;
        active = 0;
        ring.data = nullptr;
        ring.length = 0;
        oldest = next = 0;
        wrapped = 0;
    }
    // Freed outside our lock, as in StartTrace: the pool traces under its own.
    if (memory) MEMORYPOOL::FreeObj(memory);
}

void TRACETABLE::Pause() {
    MSEMHOLD hold(lock, TRUE);
    paused = 1;
}

void TRACETABLE::Resume() {
    MSEMHOLD hold(lock, TRUE);
    paused = 0;
}

void TRACETABLE::Clear() {
    MSEMHOLD hold(lock, TRUE);
    oldest = next = 0;
    wrapped = 0;
    if (ring.data) std::memset(ring.data, 0, ring.length);
}

void TRACETABLE::Suspend() { suspended = 1; }

void TRACETABLE::SetItemLimit(int limit) {
    MSEMHOLD hold(lock, TRUE);
    if (limit < 1) limit = 1;
    if (limit > 65535 - HeaderSize - 3) limit = 65535 - HeaderSize - 3;
    limitAsked = limit;
    if (ring.length && limit > ring.length - HeaderSize - 3) limit = ring.length - HeaderSize - 3;
    itemLimit = limit;
}

BBOOL TRACETABLE::IsEndAt(long offset) const {
    if (offset < 0 || ring.length - offset < HeaderSize) return TRUE;
    const TRACERECORD* r = reinterpret_cast<const TRACERECORD*>(ring.data + offset);
    return r->length < HeaderSize || offset + r->length > ring.length;
}

void* TRACETABLE::TraceEvent(unsigned short category, unsigned short event, const char* kinds, ...) {
    if (suspended || !kinds) return nullptr;
    MSEMHOLD hold(lock, TRUE);
    if (!active || paused || suspended || !(categories & category) || !ring.data) return nullptr;
    BUFFER rowFieldViews[MaxColumns];
    SizedItems sized;
    int items = 0;
    va_list args;
    va_start(args, kinds);
    const long size = HeaderSize + SizeItems(kinds, args, itemLimit, sized, items, rowFieldViews);
    va_end(args);

    // A record never outgrows the ring (with room left for the end mark) nor its length field.
    if (size > ring.length - HeaderSize || size > 65535) return nullptr;
    MakeRoom(size);

    unsigned char* start = reinterpret_cast<unsigned char*>(ring.data + next);
    Writer w{start};
    w.U16((unsigned)size);
    w.U16((unsigned)items);
    w.U16(category);
    w.U16(event);
    w.U32((unsigned long)clock());
    w.U32(PGMTHREAD::GetCurrentID());
    va_start(args, kinds);
    WriteItems(w, kinds, args, sized, rowFieldViews);
    va_end(args);
    // Data that shrank meanwhile leaves a tail: zeros up to the sized length.
    if (w.p < start + size) std::memset(w.p, 0, start + size - w.p);
    next += size;
    return start;
}

void TRACETABLE::MakeRoom(long size) {
    // Wrap when the rest of the ring is too short.
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
    // A zero length marks the end of the written part.
    if (clearAt >= 0 && clearLen > 0) std::memset(ring.data + clearAt, 0, clearLen);
}

long TRACETABLE::NextRecord(long offset) const {
    long after = offset + reinterpret_cast<const TRACERECORD*>(ring.data + offset)->length;
    return after >= ring.length ? 0 : after;
}

int TRACETABLE::Walk(VISITOR visit, void* context) {
    MSEMHOLD hold(lock, TRUE);
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
    return n;
}
