#pragma once
// The start-up splash (1005, or 1006 after system changes): two pictures,
// the version, OK; it closes itself after string 9's seconds. GUI thread.
#include "zDialogFrame.h"

class zTimer;

class STARTUPDLG : public zDialogFrame {
public:
    // Builds, shows and runs the splash; returns when it has closed.
    STARTUPDLG(zWindow* parent, int dialogId);
    ~STARTUPDLG() override;

    int doOk(zEvent* e);
    void TimerPop();

    BOOL supportMode;  // OK was pressed with Shift held
    zTimer* closeTimer;  // owned; none when the delay is 0

    // The close delay in seconds from its string: 0 for none or not a number.
    static int CloseDelay(const char* text);
};

class FORMAPP;
// The main window's splash: TRUE when OK was pressed with Shift held.
BOOL RunSplash(FORMAPP* form, int dialogId);
