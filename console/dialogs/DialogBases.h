#pragma once
// Shared pieces of the console's dialogs: F1 context help, the form and
// notebook bases that carry it, centring, list selection and yes/no questions.
// GUI thread only (the login dialog's own thread while it runs).
#include "QvWindows.h"
#include "zDialogFrame.h"
#include "zNotebookDialog.h"

class ziListControl;

// The help viewer's pair list and the help file: a control's context is its id plus base.
struct CONTEXTHELP {
    CONTEXTHELP();
    // WM_HELP: a window's help request opens the help file at its context; always handled.
    int HelpHandler(zEvent* e);

    DWORD pairs[4];  // id, context, then the (0, 0) end pair
    long base;       // 0 after construction
    char helpFile[260];
};

class FORMDLGBASE : public zFormDialog {
public:
    FORMDLGBASE(zWindow* parent, int dialogId);
    int focus(zFocusEvt* e) override;
    int HelpHandler(zEvent* e) { return help.HelpHandler(e); }

    CONTEXTHELP help;
    zWindow* focusControl;  // gets the focus at the next focus event; null when none
};

class NOTEBOOKBASE : public zNotebookDialog {
public:
    NOTEBOOKBASE(zWindow* parent, zPageDef* sizeDef, unsigned long style, const char* title);
    int HelpHandler(zEvent* e) { return help.HelpHandler(e); }

    CONTEXTHELP help;
};

// The notebooks' window style.
const unsigned long NOTEBOOK_STYLE = 0x00C82000;

// Moves the window so that its rectangle is centred on the screen, keeping its size.
void CenterDialog(zWindow* window);
void CenterDialog(HWND window);
// Selects the first entry whose text equals text exactly; 1 when found, else 0.
int ListBoxSelect(ziListControl* box, const char* text);
// Yes/No with the question icon; TRUE on Yes.
BOOL YesNoMessageBox(HWND owner, const char* text, const char* caption);
// A warning box with the string-table caption; text as given.
void WarningBox(HWND owner, const char* text, int captionId);
// The main window's handle, or none.
HWND ConsoleWindow();

class zBitmap;
// A picture of the dialogs: the bitmap resource, or with "Test Icon Files" the
// file the string names in the configuration directory; null when missing.
zBitmap* LoadConsolePicture(int resource, int fileStringId);
// Puts a picture pane over the placeholder control id, which is hidden; the
// pane owns the bitmap. Null when the placeholder is missing.
class zBitmapPane* ReplacePlaceholder(zWindow* dialog, int id, zBitmap* picture);
