#pragma once
// Converters from the last Dial-Up Networking connection, as recorded in the
// Current Connection key (HKEY_LOCAL_MACHINE, path in string 1003), into the
// configuration of another TCP/IP stack: the Pelloch Winsock stack's INI file
// or the Ondrix stack's INI file and serial record. They fit the dialer's
// conversion-library call (entry name, INI path, port record, dial
// parameters). None shows a message; the result says whether every value
// needed was present (1) or not (0).
#include "QvBase.h"
#include "QvWindows.h"

// The dial parameters as the dialer passes them (1052 bytes); only the user
// name and password are read.
const int DIALPARAMS_USER = 519;      // char[257]
const int DIALPARAMS_PASSWORD = 776;  // char[257]

// Serial record of the Ondrix stack (caller's, 20 bytes): the port number
// (1-8) at 0 and the speed or its driver code at 16 as 32-bit numbers, least
// significant byte first, the bytes 8, 2, 0, 0 at 12 to 15; 4 to 11 untouched.
const int SERIAL_PORT = 0;
const int SERIAL_FRAMING = 12;
const int SERIAL_SPEED = 16;

// Scrambles text for the Pelloch stack's credentials: a double quote, one
// character per text character from the 64-byte table, a closing quote and a
// NUL, within size bytes. Texts over 64 characters have no table entries and
// are refused: out is left empty and the result is -1. Otherwise the number
// of characters encoded.
int EncryptPellochString(const char* text, char* out, int size);

extern "C" {
int WINAPI ConvertDUNToPelloch2(const char* entry, const char* iniFile, void* unused, const void* dialParams);
int WINAPI ConvertDUNToPelloch(const char* entry, const char* iniFile);
int WINAPI ConvertDUNToOndrix(const char* entry, const char* iniFile, unsigned char* serial, const void* unused);
}
