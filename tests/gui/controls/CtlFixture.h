#pragma once
// A dialog frame without template to hold controls made in code, and one built
// from template 100 for the take-over forms.
#include <gtest/gtest.h>

#include "DlgKit.h"
#include "zDialogFrame.h"
#include "zResId.h"
#include "zSizer.h"

class Ctl : public ::testing::Test {
protected:
    zDialogFrame* dlg = nullptr;
    void SetUp() override { dlgkit::App(); }
    void TearDown() override {
        delete dlg;
        dlgkit::Pump();
    }
    void plain() { dlg = new zDialogFrame(nullptr, new zSizer(0, 0, 300, 200), WS_POPUP | WS_CAPTION, "controls"); }
    void fromTemplate() { dlg = new zDialogFrame(nullptr, zResId(100)); }
    zSizer* at(int x, int y, int w, int h) { return new zSizer(x, y, w, h, dlg->getSizer()); }
    HWND item(int id) { return dlg->get(id) ? dlg->get(id)->hwnd : 0; }
};

// Records the notifications it receives.
class Recorder : public zEvH {
public:
    int calls = 0;
    unsigned lastId = 0, lastCode = 0;
    int note(zEvent* e) {
        ++calls;
        lastId = e->loWParam();
        lastCode = e->hiWParam();
        return 0;
    }
    HWND lastCtrl = 0;
    int view(zNotifyEvt* e) {
        ++calls;
        lastId = e->id();
        lastCode = e->notifyCode();
        lastCtrl = e->ctrl();
        return 0;
    }
};
