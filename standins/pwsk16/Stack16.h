#pragma once
// What the parts of the 16-bit stack stand-in share: its thunk record, the
// pointer services the connection gave it, the socket numbers and the
// per-thread state. The stand-in carries each entry in its 16-bit form to
// the host's own Windows Sockets.
#include <winsock2.h>

#include <cstdint>

#include "ArgImage.h"
#include "SocketNumbers.h"
#include "ThunkBridge.h"

extern "C" thunk::ThunkData16 thk_ThunkData16;

namespace stack16 {

// A caller's 16:16 pointer as a flat one (null stays null).
template <typename T>
T* Flat(uint32_t segmented) {
    return thk_ThunkData16.resolve ? static_cast<T*>(thk_ThunkData16.resolve(segmented)) : nullptr;
}

SocketNumbers& Numbers();

// Per thread: the blocking hook and its state, and the buffers of the far
// results (each mapped once and kept for the thread's life).
struct TaskState {
    uint32_t hook;   // the routine word psock32 passed, 0 for none
    bool blocking;   // inside a blocking call that runs the hook
    bool cancelled;  // WSACancelBlockingCall was called from the hook
    char text[256];
    thunk::SegPtr textSeg;
    char address[20];
    thunk::SegPtr addressSeg;
};
TaskState* Task();  // made on first use; null only when memory is out
void DropTask();    // at thread detach

// Waits for `s` (a socket that blocks) to be ready while calling the
// thread's blocking hook; false, with WSAEINTR, when the hook cancelled.
// Without a hook the call itself blocks.
bool WaitReady(uint16_t number, SOCKET s, bool forWrite);

// The entry table; each answers DX:AX.
uint32_t RunEntry(unsigned entry, thunk::ArgReader& args);

// The startup count (successful WSAStartup not yet matched by WSACleanup).
void Started();
void Cleaned();

}  // namespace stack16
