// Stand-in for the 16-bit socket stack PWSK16.DLL: its thunk record, the two
// call bridges into its entry table, the per-thread state and the blocking
// hook. Built with another check value it stands for a stack that was not
// made for psock32.
#include "SelectRelay.h"
#include "Stack16.h"

#ifndef QV_PWSK16_CHECK
#define QV_PWSK16_CHECK thunk::ThunkCheck
#endif

namespace {

DWORD taskSlot = TLS_OUT_OF_INDEXES;  // set at process attach
LONG startups;                        // successful WSAStartup calls not yet cleaned up

// An image of the wrong size, or a call through the wrong bridge, is refused.
uint32_t Refuse() {
    WSASetLastError(WSAEINVAL);
    return 0xFFFFFFFF;
}

uint32_t WINAPI SimpleBridge(uint32_t entry, const uint8_t* image, uint32_t size) {
    const thunk::EntryShape& shape = thunk::ShapeOf(entry);
    if (entry >= thunk::EntryCount || shape.exportBytes || shape.imageBytes != size) return Refuse();
    thunk::ArgReader args(image, size);
    return stack16::RunEntry(entry, args);
}

uint32_t WINAPI TranslatingBridge(uint32_t code, const uint8_t* image, uint32_t size) {
    unsigned entry = code & 0xFF;
    const thunk::EntryShape& shape = thunk::ShapeOf(entry);
    if (entry >= thunk::EntryCount || !shape.exportBytes || shape.exportBytes != ((code >> 8) & 0xFF) ||
        shape.imageBytes != size)
        return Refuse();
    thunk::ArgReader args(image, size);
    return stack16::RunEntry(entry, args);
}

typedef DWORD(WINAPI* DoCallbackFn)(FARPROC);

// The hook runs in the 32-bit library, called back through its DoCallback.
void RunHook(uint32_t hook) {
    DoCallbackFn call =
        thk_ThunkData16.peer ? (DoCallbackFn)(void*)GetProcAddress(thk_ThunkData16.peer, "DoCallback") : nullptr;
#ifdef _WIN64
    FARPROC routine = thk_ThunkData16.resolve ? (FARPROC)thk_ThunkData16.resolve(hook) : nullptr;
#else
    FARPROC routine = (FARPROC)(uintptr_t)hook;
#endif
    if (call && routine) call(routine);
}

}  // namespace

extern "C" {

thunk::ThunkData16 thk_ThunkData16 = {
    {'S', 'L', '0', '1'}, QV_PWSK16_CHECK, SimpleBridge, TranslatingBridge, nullptr, nullptr, nullptr, nullptr};

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        taskSlot = TlsAlloc();
        break;
    case DLL_THREAD_DETACH:
        stack16::DropTask();
        break;
    case DLL_PROCESS_DETACH:
        stack16::DropTask();
        if (taskSlot != TLS_OUT_OF_INDEXES) TlsFree(taskSlot);
        taskSlot = TLS_OUT_OF_INDEXES;
        break;
    }
    return TRUE;
}

}  // extern "C"

namespace stack16 {

SocketNumbers& Numbers() {
    static SocketNumbers numbers;
    return numbers;
}

TaskState* Task() {
    if (taskSlot == TLS_OUT_OF_INDEXES) return nullptr;
    TaskState* t = static_cast<TaskState*>(TlsGetValue(taskSlot));
    if (!t) {
        t = static_cast<TaskState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(TaskState)));
        if (t) TlsSetValue(taskSlot, t);
    }
    return t;
}

void DropTask() {
    if (taskSlot == TLS_OUT_OF_INDEXES) return;
    TaskState* t = static_cast<TaskState*>(TlsGetValue(taskSlot));
    if (!t) return;
    if (thk_ThunkData16.unmap) {
        if (t->textSeg) thk_ThunkData16.unmap(t->textSeg);
        if (t->addressSeg) thk_ThunkData16.unmap(t->addressSeg);
    }
    HeapFree(GetProcessHeap(), 0, t);
    TlsSetValue(taskSlot, nullptr);
}

bool WaitReady(uint16_t number, SOCKET s, bool forWrite) {
    TaskState* t = Task();
    if (!t || !t->hook || Numbers().NonBlocking(number)) return true;
    t->blocking = true;
    t->cancelled = false;
    for (;;) {
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);
        timeval slice = {0, 20000};
        if (select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &slice) != 0) break;
        RunHook(t->hook);
        if (t->cancelled) break;
    }
    t->blocking = false;
    if (!t->cancelled) return true;
    t->cancelled = false;
    WSASetLastError(WSAEINTR);
    return false;
}

void Started() { InterlockedIncrement(&startups); }

void Cleaned() {
    if (InterlockedDecrement(&startups) > 0) return;
    StopRelay();
    Numbers().Clear();
}

}  // namespace stack16
