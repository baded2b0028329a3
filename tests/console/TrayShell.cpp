// A shell stand-in for the tray tests, loaded in place of SHELL32.DLL: it
// records every notification it is given and answers as the test asks.
#include "QvWindows.h"

#include <cstring>

struct TRAYSHELLCALL {
    DWORD command;
    unsigned char record[128];  // the record as given, its own size long
    DWORD size;
};

static TRAYSHELLCALL g_calls[64];
static LONG g_count = 0;
static BOOL g_refuse = FALSE;

extern "C" {
__declspec(dllexport) BOOL WINAPI Shell_NotifyIconA(DWORD command, void* data) {
    if (g_count < 64 && data) {
        TRAYSHELLCALL& c = g_calls[g_count++];
        c.command = command;
        c.size = *static_cast<DWORD*>(data);
        std::memcpy(c.record, data, c.size < sizeof c.record ? c.size : sizeof c.record);
    }
    return !g_refuse;
}
#ifndef TRAY_NO_APPBAR
__declspec(dllexport) UINT_PTR WINAPI SHAppBarMessage(DWORD, void* data) {
    if (!data) return 0;
    RECT* r = reinterpret_cast<RECT*>(static_cast<char*>(data) + (sizeof(void*) == 8 ? 24 : 16));
    SetRect(r, 0, 738, 1024, 768);
    return 1;
}
#endif
__declspec(dllexport) LONG WINAPI TrayShellCalls(TRAYSHELLCALL** calls) {
    if (calls) *calls = g_calls;
    return g_count;
}
__declspec(dllexport) void WINAPI TrayShellReset(BOOL refuse) {
    g_count = 0;
    g_refuse = refuse;
}
}
