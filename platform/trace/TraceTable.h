#pragma once
// The event trace: a ring of binary records written from any thread.
#include <ctime>

#include "BaseItem.h"
#include "Semaphore.h"
#include "TraceEvents.h"

// Record header in the ring (little-endian, no padding); the items follow.
#pragma pack(push, 1)
struct TRACERECORD {
    unsigned short length;  // header included; 0 marks the end of the written part
    unsigned short items;
    unsigned short category;
    unsigned short event;
    unsigned long clock;
    unsigned long thread;
};
#pragma pack(pop)

// How a fixed-size item is taken from TraceEvent's arguments and stored: its
// payload follows the kind byte, least significant byte first. Addresses
// ('c', 'p') take the build's pointer width. Read by both passes of
// TraceEvent (sizing and writing) and by the dump.
enum TRACEARGUMENT { TRACE_ARG_INT, TRACE_ARG_LONG, TRACE_ARG_POINTER };
struct TRACEITEMKIND {
    char kind;
    int payload;  // bytes after the kind byte
    TRACEARGUMENT argument;
};

// The fixed-size kind of the letter; null for the sized kinds ('s', 'd', 'r')
// and for letters that record nothing.
inline const TRACEITEMKIND* FindTraceItemKind(char kind) {
    static const TRACEITEMKIND kinds[] = {{'b', 1, TRACE_ARG_INT},
                                          {'h', 2, TRACE_ARG_INT},
                                          {'i', 4, TRACE_ARG_INT},
                                          {'o', 4, TRACE_ARG_INT},
                                          {'l', 4, TRACE_ARG_LONG},
                                          {'c', (int)sizeof(void*), TRACE_ARG_POINTER},
                                          {'p', (int)sizeof(void*), TRACE_ARG_POINTER}};
    for (const TRACEITEMKIND& k : kinds)
        if (k.kind == kind) return &k;
    return nullptr;
}

// Bytes a fixed-size item takes in a record, its kind byte included; 0 for the others.
inline int TraceItemSize(char kind) {
    const TRACEITEMKIND* k = FindTraceItemKind(kind);
    return k ? 1 + k->payload : 0;
}

// Fills views on the fields of a row, one per column in column order, up to
// max; returns how many. Set by the table store so that 'r' items can be traced.
typedef int (*TRACEROWFIELDS)(ROW* row, BUFFER* fields, int max);

class TRACETABLE : public BASEITEM {
public:
    // Guards the ring, its offsets and the switches below; its waits are not
    // traced. Taken after the memory pool's lock (the pool traces under it),
    // never before: the ring is allocated and freed outside it.
    MSEMAPHORE lock;
    BUFFER ring;
    long oldest;
    long next;
    long itemLimit;
    long active;
    long wrapped;
    long suspended;  // one-way, set by the fatal exit
    unsigned short categories;
    long startClock;
    time_t startTime;
    long paused;      // records nothing while set; the console's pause
    long limitAsked;  // item limit before the ring's size cuts it

    static const int HeaderSize = 16;
    static const int DefaultSize = 65536;
    static const int MaxColumns = 64;  // 'r' items traced per row
    static TRACEROWFIELDS rowFields;

    explicit TRACETABLE(unsigned short categories = 0, int size = 0);
    ~TRACETABLE() override;

    BBOOL StartTrace(unsigned short categories, int size);
    void StopTrace();
    // Records one event when the trace is on, not paused or suspended, and the
    // category is traced; returns the record in the ring, else null.
    void* TraceEvent(unsigned short category, unsigned short event, const char* kinds, ...);
    // Callers' quick test without the lock.
    BBOOL IsTracing(unsigned short category) const { return active && (categories & category); }

    void Pause();
    void Resume();
    void Clear();                  // drops every record, keeps tracing
    void Suspend();                // for the fatal exit: nothing is recorded afterwards
    void SetItemLimit(int limit);  // clamped below 65536 and below the ring size

    // Visits the held records oldest first under the lock; a visitor returning
    // FALSE stops the walk. Returns the number of records visited.
    typedef BBOOL (*VISITOR)(const TRACERECORD* record, void* context);
    int Walk(VISITOR visit, void* context);

    QV_ITEM_IDENTITY(TRACETABLE, "TRACETABLE", "TRCT")

private:
    void MakeRoom(long size);            // moves next (wrapping) and oldest so that size bytes are free at next
    long NextRecord(long offset) const;  // offset of the record after one; 0 past the ring's end (it wraps)
    BBOOL IsEndAt(long offset) const;
};
