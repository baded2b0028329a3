// Stand-in for the Windows 95 flat-thunk services: joins a 32-bit library to
// its "16-bit" half (a 32-bit library with the 16-bit entry forms), maps
// pointers through a selector table and runs translated calls. A pointer
// used without a mapping stops the process with FlatThunkFault, so that a
// forgotten mapping shows at once.
#include <cstring>

#include "ByteOrder.h"
#include "SelectorTable.h"
#include "ThunkBridge.h"

namespace {

const DWORD FlatThunkFault = 0xE0465448;  // "FTH"

SelectorTable selectors;

void Fault() { RaiseException(FlatThunkFault, EXCEPTION_NONCONTINUABLE, 0, nullptr); }

thunk::SegPtr Map(const void* flat) {
    thunk::SegPtr s = selectors.Map(flat);
    if (flat && !s) Fault();
    return s;
}

void Unmap(thunk::SegPtr s) {
    if (!selectors.Unmap(s)) Fault();
}

void* Resolve(thunk::SegPtr s) {
    void* flat;
    if (!selectors.Resolve(s, &flat)) Fault();
    return flat;
}

bool Signed(const char* at, const char* signature) { return memcmp(at, signature, 4) == 0; }

// Loads the 16-bit half and checks that both records were built for each other.
BOOL Connect(thunk::ThunkData32* data, const char* name16, const char* module16, HMODULE instance32) {
    if (!Signed(data->signature, "LS01") || !Signed(data->bridgeSignature, "LB01")) return FALSE;
    HMODULE stack = LoadLibraryA(module16);
    if (!stack) return FALSE;
    thunk::ThunkData16* data16 = reinterpret_cast<thunk::ThunkData16*>(GetProcAddress(stack, name16));
    if (!data16 || !Signed(data16->signature, "SL01") || data16->check != data->check || !data16->simple ||
        !data16->translating) {
        FreeLibrary(stack);
        return FALSE;
    }
    data16->peer = instance32;
    data16->map = SMapLS;
    data16->unmap = SUnMapLS;
    data16->resolve = MapSL;
    data->simple = data16->simple;
    data->translating = data16->translating;
    data->stack = stack;
    return TRUE;
}

uint32_t Exit(thunk::ThunkFrame* frame, unsigned bytes) {
    if (!frame->done || (unsigned)(frame->code >> 8) != bytes) Fault();
    frame->done = false;
    return frame->result;
}

}  // namespace

extern "C" {

BOOL WINAPI ThunkConnect32(thunk::ThunkData32* data, LPSTR name16, LPSTR module16, LPSTR, HMODULE instance32,
                           DWORD reason) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return Connect(data, name16, module16, instance32);
    case DLL_PROCESS_DETACH:
        if (data->stack) FreeLibrary(data->stack);
        data->stack = nullptr;
        data->simple = data->translating = nullptr;
        return TRUE;
    default:
        return data->stack != nullptr;
    }
}

thunk::SegPtr WINAPI SMapLS(const void* flat) { return Map(flat); }
void WINAPI SUnMapLS(thunk::SegPtr segmented) { Unmap(segmented); }
void* WINAPI MapSL(thunk::SegPtr segmented) { return Resolve(segmented); }

#define QV_SLOT_SERVICES(n)                                                                       \
    thunk::SegPtr WINAPI SMapLS_IP_EBP_##n(const void* slot) { return Map(*(void* const*)slot); } \
    void WINAPI SUnMapLS_IP_EBP_##n(const thunk::SegPtr* slot) { Unmap(*slot); }
QV_SLOT_SERVICES(8)
QV_SLOT_SERVICES(12)
QV_SLOT_SERVICES(16)
QV_SLOT_SERVICES(20)
QV_SLOT_SERVICES(24)
QV_SLOT_SERVICES(28)
QV_SLOT_SERVICES(32)
QV_SLOT_SERVICES(36)
QV_SLOT_SERVICES(40)

void WINAPI FT_Thunk(thunk::ThunkFrame* frame) {
    thunk::SegPtr mapped[thunk::ThunkFrame::MaxFlagged];
    for (int i = 0; i < frame->flagged; ++i) {
        mapped[i] = Map(frame->flaggedPointer[i]);
        PutLe32(frame->image + frame->flaggedAt[i], mapped[i]);
    }
    frame->result = frame->target ? frame->target(frame->code, frame->image, frame->size) : 0xFFFFFFFF;
    for (int i = 0; i < frame->flagged; ++i) Unmap(mapped[i]);
    frame->done = true;
}

uint32_t WINAPI FT_Exit8(thunk::ThunkFrame* frame) { return Exit(frame, 8); }
uint32_t WINAPI FT_Exit12(thunk::ThunkFrame* frame) { return Exit(frame, 12); }
uint32_t WINAPI FT_Exit20(thunk::ThunkFrame* frame) { return Exit(frame, 20); }
uint32_t WINAPI FT_Exit24(thunk::ThunkFrame* frame) { return Exit(frame, 24); }

}  // extern "C"
