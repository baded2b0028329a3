#pragma once
// The one way into the Windows headers: include this instead of <windows.h>.
#include <windows.h>

// windows.h renames these to their ...A forms by macro; this system has
// members and functions of these names, which must keep them whatever the
// include order. The Win32 calls are named with their A ending throughout.
#undef SendMessage
#undef PostAppMessage
#undef RegisterClass
#undef GetUserName
