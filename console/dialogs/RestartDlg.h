#pragma once
// The restart box (1030): the name of the application to restart, at most 9
// characters. GUI thread.
#include "zDialogFrame.h"
#include "zString.h"

class RESTARTDLG : public zFormDialog {
public:
    // Builds, shows and runs the box; wasStored() tells whether OK ended it.
    RESTARTDLG(zWindow* parent, int dialogId);

    zString appName;
};
