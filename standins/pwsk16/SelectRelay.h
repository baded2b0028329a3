#pragma once
// The window that receives the host stack's WSAAsyncSelect notices and posts
// each on to the caller's window with the 16-bit socket number in wParam.
// It lives on a thread of its own, started on first use and ended when the
// last WSACleanup stops the stack; the thread holds the library meanwhile.
#include <winsock2.h>

namespace stack16 {

const UINT RelayMessage = WM_USER + 1;

HWND RelayWindow();  // starts the relay when needed; null when it cannot
void StopRelay();

}  // namespace stack16
