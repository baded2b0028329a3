#pragma once
// The event trace: a ring of binary records written from any thread.
#include <ctime>

#include "BaseItem.h"
#include "Semaphore.h"

// Categories.
const unsigned short TRACE_COMM = 0x01;
const unsigned short TRACE_APP = 0x02;
const unsigned short TRACE_TASK = 0x04;
const unsigned short TRACE_FUNCTION = 0x08;
const unsigned short TRACE_MEMORY = 0x10;
const unsigned short TRACE_BUDSYS = 0x20;
const unsigned short TRACE_CACHE = 0x40;
const unsigned short TRACE_DDE = 0x80;

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

// Bytes a fixed-size item takes in a record, its kind byte included; 0 for the
// sized kinds ('s', 'd', 'r'). Addresses ('c', 'p') take the build's pointer
// width. Read by the trace calls and by the dump alike.
inline int TraceItemSize(char kind) {
    switch (kind) {
    case 'b': return 2;
    case 'h': return 3;
    case 'i': case 'o': case 'l': return 5;
    case 'c': case 'p': return 1 + (int)sizeof(void*);
    default: return 0;
    }
}

// Fills views on the fields of a row, one per column in column order, up to
// max; returns how many. Set by the table store so that 'r' items can be traced.
typedef int (*TRACEROWFIELDS)(ROW* row, BUFFER* fields, int max);

class TRACETABLE : public BASEITEM {
public:
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
    long paused;     // records nothing while set; the console's pause
    long limitAsked; // item limit before the ring's size cuts it

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
    void Clear();    // drops every record, keeps tracing
    void Suspend();  // for the fatal exit: nothing is recorded afterwards
    void SetItemLimit(int limit);  // clamped below 65536 and below the ring size

    // Visits the held records oldest first under the lock; a visitor returning
    // FALSE stops the walk. Returns the number of records visited.
    typedef BBOOL (*VISITOR)(const TRACERECORD* record, void* context);
    int Walk(VISITOR visit, void* context);

    QV_ITEM_IDENTITY(TRACETABLE, "TRACETABLE", "TRCT")

private:
    long NextRecord(long offset) const;  // offset of the record after one; 0 past the ring's end (it wraps)
    BBOOL IsEndAt(long offset) const;
};
