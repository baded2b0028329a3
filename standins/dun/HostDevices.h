#pragma once
// The session host's stand-ins for what a session module reaches through
// kernel calls: the gateway's driver "\\.\QVWINVXD.VXD" and the modem port
// that the telephony stand-in hands out (handles in StandInFormat.h). A
// hosted module's imports of these calls are bound here; each replacement
// answers its own handles from the scenario, passes every other call on to
// the system and journals the call (component vxd). Thread-safe.
#include "QvWindows.h"

namespace standin {

// The replacement for an imported kernel call of that name, or null.
FARPROC HostReplacement(const char* name);
// Resumes the threads held back by [Session] HoldThreads.
void ReleaseHeldThreads();
// How many threads hosted modules have created so far.
long HostedThreadCount();

}  // namespace standin
