#pragma once
// The operation progress box (1052): one text, updated and closed through the
// main window's progress message (0xC90) while a worker runs. GUI thread.
#include "QvBase.h"
#include "zDialogFrame.h"

class zStaticText;

class PROGRESSDLG : public zDialogFrame {
public:
    PROGRESSDLG(zWindow* parent, const char* caption, const char* text, int value, BBOOL display);
    ~PROGRESSDLG() override;  // enables the parent again

    // Centres, shows and runs the modal loop until Close.
    void Display();
    void UpdateProgress(const char* text, int unused = 0);
    // Ends the box; with destroy it is deleted as well (at once when never shown).
    void Close(BBOOL destroy);

    int value;       // kept, never read
    int reserved;    // 0
    BOOL shown;
    zWindow* owner;  // enabled again on destruction
    zStaticText* textControl;
};
