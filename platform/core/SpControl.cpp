#include "SpControl.h"

#include "QvWindows.h"

#include <cstring>

#include "Allocator.h"
#include "MemBlk.h"
#include "MemoryPool.h"
#include "TaskAbend.h"

long SPCLASS_INIT::InitCount = 0;

SPCONTROL* _pSupport = nullptr;
MEMORYPOOL* _pSystemMemoryPool = nullptr;
MEMORYPOOL* _pPrivateMemoryPool = nullptr;
ALLOCATOR* _pCOMSPTRA = nullptr;
CRITICAL_SECTION _CSObjectCleanup;
long _SystemIsWindows95 = 0;
long _SystemIsWindowsNT = 0;

SPCONTROL::SPCONTROL()
    : bufferPool(nullptr, 4096, 0, 4096),
      threads(TRUE), trace(0, 0), systemMemory(_InitialSystemMemory), daylightSaving(0), appMessage(0),
      lockObjectCleanup(0) {
    systemDirectory[0] = 0;
    // Keeps daylightSaving current across the season changes.
    timers.AddTimer(TC_MIDNIGHT, &TIMESTAMP::Initialize, nullptr, TC_MIDNIGHT);
}

SPCONTROL::~SPCONTROL() {
    _InitialSystemMemory = systemMemory;
    // Thread objects may outlive the library (static ones, or threads still
    // running at exit): unlink them without releasing them. The thread lock is
    // kept to the end, so a thread joining or leaving late waits until the
    // process is gone instead of finding a chain that is being destroyed.
    threads.lock.Reserve(QV_WAIT_FOREVER, TRUE);
    if (_pSupport == this) _pSupport = nullptr;
    {
        CITERATOR<PGMTHREAD> it;
        for (PGMTHREAD* t = it.Begin(threads); t; t = it.Next()) t->chainCell = nullptr;
    }
    threads.RemoveAll(FALSE, nullptr);
    threads.lock.Close(TRUE);
}

SPCLASS_INIT::SPCLASS_INIT() {
    if (InitCount++ != 0) return;
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    DWORD platform = GetVersionExA(&version) ? version.dwPlatformId : 0;
    _SystemIsWindows95 = platform == 1;
    _SystemIsWindowsNT = platform == 2;
    InitializeCriticalSection(&_CSObjectCleanup);
    _pSystemMemoryPool = MEMORYPOOL::Create(1, 65536);
    if (!_pSystemMemoryPool) _Task_Abend(ABEND_STG101, 65536);
    _pPrivateMemoryPool = _pSystemMemoryPool;
    // Every chain cell of every thread comes from here: a critical section, since a kernel
    // mutex costs two wineserver round trips per cell under Wine.
    _pCOMSPTRA = new ALLOCATOR(QvTag("SPTR"), (int)sizeof(bSPOINTER), 4096, MSEM_LOCAL, 0);
    _pCOMSPTRA->prepare();
    SPCONTROL* support = new SPCONTROL;
    support->prepare();
    _pSupport = support;
    _pSupport->mainThread.ExecSetup();
    TIMESTAMP::Initialize(nullptr);
}

SPCLASS_INIT::~SPCLASS_INIT() {
    if (--InitCount != 0) return;
    if (_pSupport) {
        _pSupport->mainThread.CleanUp();
        _pSupport->freeobj();
        _pSupport = nullptr;
    }
    if (_pCOMSPTRA) {
        _pCOMSPTRA->freeobj();
        _pCOMSPTRA = nullptr;
    }
    _pPrivateMemoryPool = nullptr;
    MEMORYPOOL::Delete(_pSystemMemoryPool);
    _pSystemMemoryPool = nullptr;
    DeleteCriticalSection(&_CSObjectCleanup);
}
