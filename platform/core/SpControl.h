#pragma once
// The library's singleton and the globals of the object model.
#include "QvWindows.h"

#include "BaseItem.h"
#include "BufferPool.h"
#include "Chain.h"
#include "PgmThread.h"
#include "Timer.h"
#include "TraceTable.h"

class SPCONTROL : public BASEITEM {
public:
    PGMMODULE module;
    PGMTHREAD mainThread;
    BUFFERPOOL bufferPool;  // the library's own: 4096-byte buffers, none kept
    CHAIN<PGMTHREAD> threads;  // every PGMTHREAD; its lock is the thread lock
    TRACETABLE trace;
    long systemMemory;    // bytes handed out by MemBlkAlloc
    long daylightSaving;
    TIMERCONTROL timers;  // run by the console's window timer
    unsigned long appMessage;  // console's private message; 0: PostAppMessage sends nothing
    char systemDirectory[256];
    long lockObjectCleanup;    // while set, destruction in freeobj holds _CSObjectCleanup

    SPCONTROL();
    ~SPCONTROL() override;

    QV_ITEM_IDENTITY(SPCONTROL, "SPCONTROL", "SPCT")
};

extern SPCONTROL* _pSupport;
extern MEMORYPOOL* _pSystemMemoryPool;
extern MEMORYPOOL* _pPrivateMemoryPool;
extern ALLOCATOR* _pCOMSPTRA;
extern CRITICAL_SECTION _CSObjectCleanup;
extern long _SystemIsWindows95;
extern long _SystemIsWindowsNT;

// A trace point: recorded only while its category is traced.
#define QV_TRACE(category, event, ...)                                             \
    do {                                                                           \
        if (_pSupport && _pSupport->trace.IsTracing(category))                     \
            _pSupport->trace.TraceEvent((category), (event), __VA_ARGS__);         \
    } while (0)
