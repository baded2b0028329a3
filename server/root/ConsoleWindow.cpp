#include "ConsoleWindow.h"

#include "ServerIds.h"

const char CONSOLE_WINDOW_CLASS[] = "QuorvaneConsole";

HWND FindConsoleWindow() { return FindWindowA(CONSOLE_WINDOW_CLASS, ServerText(IDS_TITLE)); }

BBOOL AnotherConsoleRunning() { return FindConsoleWindow() != nullptr; }

CONSOLEENTRIES _ConsoleEntries = {nullptr};
