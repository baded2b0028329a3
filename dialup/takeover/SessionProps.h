#pragma once
// The connection's properties as the session module records them in the
// shared Current Connection key (HKEY_LOCAL_MACHINE, path in string 1003),
// and the phone-book entry of a session. Values written (REG_SZ):
//   "LoginScript", "NoLogin"     from the phone-book entry ("NoLogin" "NO"
//                                when it names a script or opens a terminal
//                                after dialing, else "YES"; empty without one)
//   "ConnectSpeed"               the device's connection speed
//   "ComPortRate"                the port's baud rate ("0" without a port)
//   "ComPort"                    the port's name, " " when not found
//   "HeaderCompression", "IPAddress"   from the entry's profile "IP" value
//   "DNSAddress"                 profile, then MSTCP name servers, joined by ","
//   "DNSSuffix"                  " "
//   "Status"                     "Connected", "Negotiating" or "DUN"
// Read: "Use RTS", "Check DSR", "Check RLSD", "CurrentPBEntry", "LineAccess".
#include "QvWindows.h"
#include "TrapContext.h"

// String resource id of the key's path.
const int IDS_TRAP_CONNECTION_KEY = 1003;

// The key's value as text within size (terminated); false when absent.
bool ReadConnectionText(HKEY key, const char* name, char* out, DWORD size);
// Writes a text value with its terminator; the registry's result.
LONG WriteConnectionText(HKEY key, const char* name, const char* text);

// Records the connection; TRUE when the closing writes succeeded. port and
// record may be null (a session without port), entry too.
BOOL _GetSessionProps(SESSIONCTX* session, HANDLE port, PORTRECORD* record, const ras::Entry* entry);
// The session's phone-book entry (LocalAlloc memory, freed by the caller
// with LocalFree), or null.
ras::Entry* _RasGetPhoneBookEntry(const char* entryName);
