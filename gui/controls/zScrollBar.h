#pragma once
// Stand-alone scroll-bar controls that keep their own scroll state.
#include "zControl.h"

class zScrollBarBase : public zControl {
public:
    zScrollBarBase(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zScrollBarBase(zWindow* parent, int id);

    int dispatch(zEvent* e) override { return callClassProc(e); }
    // The state lives where the dialog's scroll handling looks for it.
    zScrollInfo* scrollInfo() const { return vScroll; }

protected:
    void setState(zScrollInfo* s, unsigned long flag);
};

class zScrollBarVert : public zScrollBarBase {
public:
    zScrollBarVert(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zScrollBarVert(zWindow* parent, int id);
};

class zScrollBarHorz : public zScrollBarBase {
public:
    zScrollBarHorz(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zScrollBarHorz(zWindow* parent, int id);
};

class zScrollBarCtrl : public zScrollBarBase {
public:
    zScrollBarCtrl(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zScrollBarCtrl(zWindow* parent, int id);
};
