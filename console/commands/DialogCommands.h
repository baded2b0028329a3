#pragma once
// The main window's menu commands that open dialogs or act on services,
// lines and connections, and the dialog seams they fill. GUI thread.
#include "QvWindows.h"

class FORMAPP;

// 1 when the command is one of these (it is then handled), else 0.
int DialogMenuCommand(FORMAPP* form, unsigned id, LPARAM parameter);

// The notebooks, run modally: TRUE when they were applied. Null until built.
struct CONSOLENOTEBOOKS {
    BOOL (*options)(FORMAPP* form, BOOL& usersChanged);
    BOOL (*settings)(FORMAPP* form);
};
extern CONSOLENOTEBOOKS _ConsoleNotebooks;
