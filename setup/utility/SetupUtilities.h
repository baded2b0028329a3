#pragma once
// The setup library's exports for the installer's scripts, and the module
// handle its string resources come from. Every export uses the Windows
// calling convention and returns 1 for success, 0 for failure unless said.
#include "QvBase.h"
#include "QvWindows.h"

// The library's own module (null in a program that links the code directly:
// strings then come from the program).
HINSTANCE SetupModule();
void SetSetupModule(HINSTANCE module);
// String resource id of the Current Connection key's path below HKEY_LOCAL_MACHINE.
const int IDS_CONNECTION_KEY = 1003;

extern "C" {
// Copies source to target replacing the first occurrence of oldText by newText
// cut or NUL-padded to oldText's length. Offset of the replacement, 0 when
// none was made, -1 when a file cannot be read or written.
int WINAPI ModifyStringInFile(const char* source, const char* target, const char* oldText, const char* newText);
// 1 when a line of the file starts with the words of text.
int WINAPI StringInFile(const char* file, const char* text);
// in without trailing (leading) blanks, tabs, CR and LF; out may be in.
int WINAPI RemoveTrailingBlanks(const char* in, char* out);
int WINAPI RemoveLeadingBlanks(const char* in, char* out);
// The value as text in buffer, terminated within size; NULs inside a value of
// 3 bytes or more become blanks, so a multi-string reads as one line.
int WINAPI RegGetValueAsString(HKEY root, const char* subkey, const char* valueName, char* buffer, DWORD size);
// Cuts text at length when it has at least that many characters (1), else 0.
int WINAPI TerminateString(char* text, unsigned length);
}
