#pragma once
// Thin helpers over Windows: messages to the console window, message boxes,
// starting programs, date texts, path joining, run-time library binding,
// window timers, finding another program's window, menu texts and registry
// value edits that hand back the old value for a later restore.
#include "QvWindows.h"

#include "QvBase.h"

// Posts (or with send, sends) the console's application message; false and
// nothing sent while no application message number is registered.
BBOOL PostAppMessage(HWND window, unsigned short id, LPARAM lParam, BBOOL send = 0);
BBOOL PostCmdMessage(HWND window, int id, LPARAM lParam, BBOOL send = 0);

// OK box with the exclamation icon when warning, else the information icon.
void DisplayMessage(HWND owner, const char* caption, const char* text, BBOOL warning = 0);

// Starts program (with arguments after one blank). With wait, returns the
// exit code; otherwise 0. A start failure gives 20000 + the system error.
// When process is given it receives the process handle, which the caller closes.
unsigned long ExecuteProgram(const char* program, const char* directory, const char* arguments,
                             BBOOL detached = 0, BBOOL wait = 0, void** process = nullptr);
unsigned long ExecuteSession(char* program, char* directory, char* arguments);
int CheckProgramExec(void* process, BBOOL flag);

// "yy/mm/dd" and "hh:mm:ss" of the local time, either may be null.
void GetDateTime(char* date, char* time);
// "yyyy-mm-dd" of the local date; out holds 11 bytes.
void GetFullDate(char* out);
unsigned long GetProcessID();

// Joins directory and name with exactly one backslash into out (outSize bytes).
// Returns the end of the path, or null (and out empty) when it does not fit.
char* BuildPathName(char* out, int outSize, const char* directory, const char* name);
template <int N>
char* BuildPathName(char (&out)[N], const char* directory, const char* name) {
    return BuildPathName(out, N, directory, name);
}

void SetWindowIcon(HWND window, HICON big, HICON small);
BBOOL GetCursorPosition(int* x, int* y);

// One entry point to bind; a table ends with a row whose target is null or
// that names nothing (empty name, no ordinal).
struct DLLENTRY {
    char name[32];
    unsigned short ordinal;  // 0 = by name only
    void* target;            // address of the function-pointer variable to fill
};

// Loads the library and binds every row; on any missing entry the library is
// freed, the targets keep their former values and the result is null.
HMODULE SysLibraryLoad(const char* name, DLLENTRY* table, BBOOL upperCase = 0);
// Binds by ordinal first, then by name; returns how many rows stayed unbound.
int SysLibraryResolve(HMODULE module, DLLENTRY* table, BBOOL upperCase = 0);
void SysLibraryFree(HMODULE module);

BBOOL SysTimerStart(HWND window, int id, int milliseconds);
void SysTimerStop(HWND window, int id);

// The search record that SysFindWindowProc receives.
struct SYSFINDWINDOW {
    HWND parent;
    char* className;  // upper case; when given empty it receives the class (256 bytes)
    const char* title;  // upper case, or null for any title
    HWND found;
    unsigned long styleMask;
    unsigned long styleValue;
};

// First enabled window of another process whose title (leading blanks
// skipped, upper-cased) and class (upper-cased) match; null when none.
HWND SysFindWindow(HWND parent, char* className, const char* title, const char* extra = nullptr,
                   unsigned long styleMask = 0, unsigned long styleValue = 0);
// Exported by the program under this name: the enumeration callback of SysFindWindow.
extern "C" BOOL CALLBACK SysFindWindowProc(HWND window, LPARAM search);

void SetMenuText(HWND window, HMENU menu, int id, const char* text);

// Sets a value below HKEY_LOCAL_MACHINE / HKEY_CURRENT_USER and reports the old
// one in oldValue as text: strings as they are, numbers as "0x" and hex digits,
// an absent value as empty text. A new value starting "0x" creates a number,
// otherwise a string; an empty new value deletes the value, so feeding the old
// text back restores the former state. A null new value only reads.
// False when the key cannot be opened or nothing could be done.
BBOOL WinRegModifyLocalKey(const char* subkey, const char* valueName, const char* newValue, const BUFFER& oldValue);
BBOOL WinRegModifyUserKey(const char* subkey, const char* valueName, const char* newValue, const BUFFER& oldValue);
