// psock32's entry point: the connection to the 16-bit stack, the per-thread
// result buffers, the offered lock and the small exports of its own.
#include "PsockInternal.h"

extern "C" {

// Filled by the connection; the stack's record must carry the same check value.
thunk::ThunkData32 thk_ThunkData32 = {
    {'L', 'S', '0', '1'}, thunk::ThunkCheck, {'L', 'B', '0', '1'}, nullptr, nullptr, nullptr};

DWORD WINAPI TCPEnter(void);
BOOL WINAPI TCPLeave(void);
DWORD WINAPI DoCallback(FARPROC routine);
int __cdecl s_perror(void);
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
}

namespace {

// Written once at process attach, read by every thread afterwards.
DWORD resultSlot = TLS_OUT_OF_INDEXES;
HANDLE stackLock;  // "Pelloch_Lock": count 1, max 1; taken only by callers, never closed

char* NewBuffer() {
    char* buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, psock::ResultBufferBytes));
    if (buffer) TlsSetValue(resultSlot, buffer);
    return buffer;
}

void FreeBuffer() {
    if (resultSlot == TLS_OUT_OF_INDEXES) return;
    if (void* buffer = TlsGetValue(resultSlot)) HeapFree(GetProcessHeap(), 0, buffer);
    TlsSetValue(resultSlot, nullptr);
}

}  // namespace

namespace psock {

char* ThreadBuffer() {
    if (resultSlot == TLS_OUT_OF_INDEXES) return nullptr;
    char* buffer = static_cast<char*>(TlsGetValue(resultSlot));
    return buffer ? buffer : NewBuffer();
}

}  // namespace psock

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (!ThunkConnect32(&thk_ThunkData32, (LPSTR) "thk_ThunkData16", (LPSTR) "PWSK16.DLL", (LPSTR) "PSOCK32.DLL",
                        instance, reason))
        return FALSE;
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        resultSlot = TlsAlloc();
        stackLock = CreateSemaphoreA(nullptr, 1, 1, "Pelloch_Lock");
        NewBuffer();
        break;
    case DLL_THREAD_ATTACH:
        NewBuffer();
        break;
    case DLL_THREAD_DETACH:
        FreeBuffer();
        break;
    case DLL_PROCESS_DETACH:
        FreeBuffer();
        if (resultSlot != TLS_OUT_OF_INDEXES) TlsFree(resultSlot);
        resultSlot = TLS_OUT_OF_INDEXES;
        break;
    }
    return TRUE;
}

DWORD WINAPI TCPEnter(void) { return WaitForSingleObject(stackLock, INFINITE); }

BOOL WINAPI TCPLeave(void) { return ReleaseSemaphore(stackLock, 1, nullptr); }

DWORD WINAPI DoCallback(FARPROC routine) { return (DWORD)routine(); }

// Kept for callers of the stack's error printer; prints nothing. Caller-cleaned,
// so a caller passing arguments leaves its stack as it was.
int __cdecl s_perror(void) { return 0; }
