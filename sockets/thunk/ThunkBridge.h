#pragma once
// The bridge between psock32 and the 16-bit socket stack, shared by psock32
// and the stand-ins of the flat-thunk services and of the stack: the entry
// numbers of the stack's thunk table, the thunk data records, the two call
// bridges, the translating frame and the flat-thunk services as imported.
//
// A call travels as an entry number (simple bridge) or a translating code
// (low byte the entry, high byte the bytes of arguments the 32-bit export
// takes) with a 16-bit argument image: the arguments in parameter order, each
// least significant byte first, a 16-bit value as 2 bytes, a 32-bit value or
// a 16:16 pointer as 4. The stack answers a DX:AX pair, DX in the high half.
#include "QvWindows.h"

#include <cstdint>

namespace thunk {

enum Entry : uint8_t {
    FdIsSet = 0,
    AsyncSelect = 1,
    CancelBlockingCall = 2,
    SetBlockingHook = 3,
    UnhookBlockingHook = 4,
    IsBlocking = 5,
    GetLastError = 6,
    SetLastError = 7,
    Cleanup = 8,
    Startup = 9,
    ProtoNumberOf = 10,
    ProtoNameOf = 11,
    ServPortOf = 12,
    ServNameOf = 13,
    GetHostName = 14,
    HostAddressOf = 15,
    HostNameOf = 16,
    Socket = 17,
    Shutdown = 18,
    SetSockOpt = 19,
    SendTo = 20,
    Send = 21,
    Select = 22,
    RecvFrom = 23,
    Recv = 24,
    Ntohs = 25,
    Ntohl = 26,
    Listen = 27,
    InetNtoa = 28,
    InetAddr = 29,
    Htons = 30,
    Htonl = 31,
    GetSockOpt = 32,
    GetSockName = 33,
    GetPeerName = 34,
    IoctlSocket = 35,
    Connect = 36,
    CloseSocket = 37,
    Bind = 38,
    Accept = 39,
    EntryCount = 40
};

// What both halves agree on per entry: the image size, and for translated
// calls the argument bytes of the 32-bit export (0 for a simple call).
struct EntryShape {
    const char* name;
    uint8_t imageBytes;
    uint8_t exportBytes;
};
const EntryShape& ShapeOf(unsigned entry);

inline uint16_t TranslatingCode(Entry entry) { return (uint16_t)(entry | (ShapeOf(entry).exportBytes << 8)); }

// A DX:AX answer.
inline uint32_t DxAx(uint16_t dx, uint16_t ax) { return ((uint32_t)dx << 16) | ax; }
inline int SignedAx(uint32_t dxax) { return (int16_t)(uint16_t)dxax; }
inline unsigned UnsignedAx(uint32_t dxax) { return (uint16_t)dxax; }

// Both bridges take the entry (simple) or translating code and the image.
typedef uint32_t(WINAPI* Bridge)(uint32_t entryOrCode, const uint8_t* image, uint32_t size);

// psock32's record, exported as thk_ThunkData32. The connection fills the bridges.
struct ThunkData32 {
    char signature[4];        // "LS01"
    uint32_t check;           // must equal the 16-bit record's
    char bridgeSignature[4];  // "LB01"
    Bridge simple;
    Bridge translating;
    HMODULE stack;  // the 16-bit library while connected
};

// A 16:16 pointer: selector in the high word, offset in the low one.
typedef uint32_t SegPtr;

// The 16-bit side's record, exported as thk_ThunkData16. The connection
// fills the peer and the segment services the stack maps its far results
// and reads its callers' pointers with.
struct ThunkData16 {
    char signature[4];  // "SL01"
    uint32_t check;
    Bridge simple;
    Bridge translating;
    HMODULE peer;  // the 32-bit library that connected
    SegPtr(WINAPI* map)(const void* flat);
    void(WINAPI* unmap)(SegPtr segmented);
    void*(WINAPI* resolve)(SegPtr segmented);
};

// The check value both halves are built with.
const uint32_t ThunkCheck = 0x51563130;  // "01VQ"

// A translated call in flight: the image with the slots that hold flat
// pointers flagged; FT_Thunk maps each to 16:16 for the call and back after.
struct ThunkFrame {
    static const int MaxImage = 32;
    static const int MaxFlagged = 6;
    uint16_t code;
    Bridge target;
    uint8_t image[MaxImage];
    uint32_t size;
    int flagged;
    uint8_t flaggedAt[MaxFlagged];  // image offsets of the flagged slots
    void* flaggedPointer[MaxFlagged];
    uint32_t result;  // DX:AX once the call returned
    bool done;
};

}  // namespace thunk

// The flat-thunk services, under their Windows 95 names, in the calling form
// of our stand-in (each takes its operands as arguments).
extern "C" {
BOOL WINAPI ThunkConnect32(thunk::ThunkData32* data, LPSTR name16, LPSTR module16, LPSTR module32, HMODULE instance32,
                           DWORD reason);
thunk::SegPtr WINAPI SMapLS(const void* flat);
void WINAPI SUnMapLS(thunk::SegPtr segmented);
void* WINAPI MapSL(thunk::SegPtr segmented);
// Map the flat pointer held in an argument's stack slot, and release it after.
thunk::SegPtr WINAPI SMapLS_IP_EBP_8(const void* slot);
thunk::SegPtr WINAPI SMapLS_IP_EBP_12(const void* slot);
thunk::SegPtr WINAPI SMapLS_IP_EBP_16(const void* slot);
thunk::SegPtr WINAPI SMapLS_IP_EBP_20(const void* slot);
thunk::SegPtr WINAPI SMapLS_IP_EBP_24(const void* slot);
thunk::SegPtr WINAPI SMapLS_IP_EBP_28(const void* slot);
thunk::SegPtr WINAPI SMapLS_IP_EBP_32(const void* slot);
thunk::SegPtr WINAPI SMapLS_IP_EBP_36(const void* slot);
thunk::SegPtr WINAPI SMapLS_IP_EBP_40(const void* slot);
void WINAPI SUnMapLS_IP_EBP_8(const thunk::SegPtr* slot);
void WINAPI SUnMapLS_IP_EBP_12(const thunk::SegPtr* slot);
void WINAPI SUnMapLS_IP_EBP_16(const thunk::SegPtr* slot);
void WINAPI SUnMapLS_IP_EBP_20(const thunk::SegPtr* slot);
void WINAPI SUnMapLS_IP_EBP_24(const thunk::SegPtr* slot);
void WINAPI SUnMapLS_IP_EBP_28(const thunk::SegPtr* slot);
void WINAPI SUnMapLS_IP_EBP_32(const thunk::SegPtr* slot);
void WINAPI SUnMapLS_IP_EBP_36(const thunk::SegPtr* slot);
void WINAPI SUnMapLS_IP_EBP_40(const thunk::SegPtr* slot);
// Runs a translated call; the exit for the frame's byte count ends it and answers DX:AX.
void WINAPI FT_Thunk(thunk::ThunkFrame* frame);
uint32_t WINAPI FT_Exit8(thunk::ThunkFrame* frame);
uint32_t WINAPI FT_Exit12(thunk::ThunkFrame* frame);
uint32_t WINAPI FT_Exit20(thunk::ThunkFrame* frame);
uint32_t WINAPI FT_Exit24(thunk::ThunkFrame* frame);
}

namespace thunk {

// A routine's address as the stack keeps it (the blocking hook): the flat
// address itself where it fits in 32 bits, else a 16:16 token of it that
// the keeper releases when it lets the routine go.
inline uint32_t RoutineToWord(FARPROC routine) {
#ifdef _WIN64
    return routine ? SMapLS((const void*)routine) : 0;
#else
    return (uint32_t)(uintptr_t)routine;
#endif
}
inline FARPROC WordToRoutine(uint32_t word) {
#ifdef _WIN64
    return (FARPROC)MapSL(word);
#else
    return (FARPROC)(uintptr_t)word;
#endif
}
inline void ReleaseRoutineWord(uint32_t word) {
#ifdef _WIN64
    if (word) SUnMapLS(word);
#else
    (void)word;
#endif
}

}  // namespace thunk
