#include "ConsoleWindow.h"

#include "ServerIds.h"

// The console is the GUI framework's application frame.
const char CONSOLE_WINDOW_CLASS[] = "AppFrameCL";

HWND FindConsoleWindow() { return FindWindowA(CONSOLE_WINDOW_CLASS, ServerText(IDS_TITLE)); }

BBOOL AnotherConsoleRunning() { return FindConsoleWindow() != nullptr; }

CONSOLEENTRIES _ConsoleEntries = {nullptr};
