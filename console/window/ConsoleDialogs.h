#pragma once
// Where the console's dialogs join the main window: one function each, null
// until the dialogs exist, and the main window then does without them.
#include "QvWindows.h"
#include "QvBase.h"

class FORMAPP;
class LINKINTERFACE;

struct CONSOLEDIALOGS {
    // The start-up splash (dialog resource 1005, or 1006 after system changes):
    // TRUE when OK was pressed with Shift held.
    BOOL (*splash)(FORMAPP* form, int resource);
    // The dial-up login of a line (resource 1051): 1 with the buffers filled, else 0.
    int (*login)(FORMAPP* form, LINKINTERFACE* line, BUFFER& userName, BUFFER& password, BUFFER& domain);
    // The line control box at a screen point.
    void (*controlBox)(FORMAPP* form, int x, int y);
    // The progress dialog of a cache update: a text shows, null closes; FALSE
    // when no progress dialog is open (the message is then ignored).
    BOOL (*progress)(FORMAPP* form, const char* text);
    // The menu commands the dialogs serve: 1 when the id is one of them.
    int (*command)(FORMAPP* form, unsigned id, LPARAM parameter);
};
extern CONSOLEDIALOGS _ConsoleDialogs;
