#pragma once
// How the server finds the console window of a running instance: its window
// class and its caption (string 1). The console registers that class.
#include "QvWindows.h"
#include "QvBase.h"

extern const char CONSOLE_WINDOW_CLASS[];

// A top-level window of the console's class and caption, of this process or
// another; null when none.
HWND FindConsoleWindow();
// Before this program's console exists: another instance runs.
BBOOL AnotherConsoleRunning();

class DATACONNECTION;

// Console entries the program's start-up fills (the server library never
// links the console); null until then.
struct CONSOLEENTRIES {
    // Gives a new connection its status record on the console.
    void (*provideStatus)(DATACONNECTION* connection);
};
extern CONSOLEENTRIES _ConsoleEntries;
