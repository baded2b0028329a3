#pragma once
// The session entry points Dial-Up Networking calls for each connection.
// Start records the connection in the Current Connection key; a secondary
// line's port goes to the driver (at once in take-over mode, from a session
// thread in chained mode); every other session goes to the regular module.
// Start and stop run on Dial-Up Networking's threads.
#include "QvWindows.h"
#include "RasRecords.h"

const DWORD kTrapNoRegularStart = 745;
const DWORD kTrapBadSessionInfo = 1150;
const DWORD kTrapNoRasEntries = 1154;
const DWORD kTrapNoRegularModule = 1359;
const DWORD kTrapSessionThreadStack = 32768;

// 0 (started), 1003 (port taken over, take-over mode) or an error.
DWORD WINAPI SMMSessStart(ras::Handle conn, ras::SessionInfo* info);
// 0, or the regular stop's result for a session the module does not serve.
DWORD WINAPI SMMSessStop(ras::Handle conn);
// Releases what the sessions still hold at process detach.
void ReleaseSessions(bool processEnding);
