#pragma once
// The About box (1004): picture, version, OK. Runs inside its constructor. GUI thread.
#include "zDialogFrame.h"

class ABOUTBOX : public zDialogFrame {
public:
    ABOUTBOX(zWindow* parent, int dialogId);
    int doOk(zEvent* e);
};
