#pragma once
// The debug request box (1032): a command for the system type's debug object,
// its result file, link levels, retrieve flag and the simultaneous requests.
// GUI thread.
#include "DialogBases.h"
#include "zString.h"

class APPTYPE;

class SUBMITREQDLG : public FORMDLGBASE {
public:
    // Builds, shows and runs the box; without the system type's debug object
    // it shows nothing. wasStored() tells whether OK stored the values.
    SUBMITREQDLG(zWindow* parent, int dialogId);
    int doOk(zEvent* e);

    zString commandText, resultFile;
    int retrieve;
    int linkLevels;
    int simultaneous;
    APPTYPE* type;  // the system's own service type; null when none
    BOOL submitted;
};
