// The dialer extensions of dialstk.dll; its Windows Sockets entries are
// forwarded to WSOCK32 at their ordinals by dialstk.def.
#include "DialStack.h"

extern "C" {

int WINAPI WSADialModem(DWORD arg) { return standin::DialStack::Instance().Dial(arg); }
int WINAPI WSAHangUpModem(DWORD arg) { return standin::DialStack::Instance().HangUp(arg); }
int WINAPI WSAIsOnline(DWORD arg) { return standin::DialStack::Instance().IsOnline(arg); }

}  // extern "C"
