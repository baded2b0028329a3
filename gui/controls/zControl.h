#pragma once
// Native controls: the base of every control class, static texts, controls of
// superclassed window classes, and the window procedure all controls run through.
#include "QvWindows.h"

#include "ZKCString.h"
#include "zDisplay.h"
#include "zFrameWin.h"

class zString;
class zSuperClass;
class zGenericControl;

// Control kinds.
enum {
    zCtlButton = 0,
    zCtlListBox = 1,
    zCtlScrollBar = 2,
    zCtlStatic = 3,
    zCtlEdit = 4,
    zCtlComboBox = 5,
    zCtlPlain = 6,
    zCtlGeneric = 7,
};

// Bits of a window's control-kind flags.
enum {
    zCtlFlagScrollBar = 0x02,
    zCtlFlagVertBar = 0x04,
    zCtlFlagHorzBar = 0x08,
    zCtlFlagCtlBar = 0x10,
    zCtlFlagEdit = 0x20,
};

// Private messages between controls and their dialog.
const UINT zMsgScrollRange = 0x090A;    // wParam bar type, lParam (max << 16 | min)
const UINT zMsgPressDefault = 0x0900;   // wParam and lParam zPressDefaultMark
// Both words of zMsgPressDefault, so that a stray 0x0900 presses nothing.
const UINT zPressDefaultMark = 0x1000;
const UINT zMsgDeferredDelete = 0x0901;

class zControl : public zChildWin {
public:
    zColor textColour;
    zGenericControl* shadowed = nullptr;
    HBRUSH bgBrush = 0;
    WNDPROC classProc = nullptr;
    int kind = zCtlPlain;

    zControl(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zControl(zWindow* parent, int id);  // takes over the child the dialog reader built
    ~zControl() override;

    int create() override;
    int show(int cmd = SW_SHOWNORMAL) override;
    void ziBackgroundColor(const zColor& c) override;
    bool ziControlColors(unsigned long*& text, HBRUSH*& brush) override;

    ZKCString text() const;
    void text(const char* s);
    void text(const ZKCString& s) { text(s.data()); }
    void text(const zString& s);
    zColor textColor(const zColor& c);
    zColor textColor() const { return textColour; }
    int controlKind() const { return kind; }
    HWND hwndFor() const { return hwnd; }

    // Answer to WM_CTLCOLOREDIT/LISTBOX sent to the control itself (a combo box's parts).
    LRESULT ziOwnColorAnswer(zEvent* e);
    // The colour that answer paints with; -2 unless a control keeps one.
    virtual unsigned long ziOwnAnswerColor() const { return zColorNoErase; }

protected:
    unsigned long textColourValue = 0;  // raw form handed to the colour answer
    // Passes a message on to the procedure subclassing replaced.
    int callClassProc(zEvent* e);
    void subclass();
};

class zStaticText : public zControl {
public:
    HICON icon = 0;

    zStaticText(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zStaticText(zWindow* parent, int id);
    int dispatch(zEvent* e) override;
};

class zGenericControl : public zControl {
public:
    zSuperClass* superRec = nullptr;
    zControl* shadowCtl = nullptr;  // the typed object that took this one over
    LPVOID createParam = nullptr;

    zGenericControl(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id,
                    const char* className, LPVOID param = nullptr);
    ~zGenericControl() override;

    int create() override;
    int dispatch(zEvent* e) override;
    zControl* shadow() const { return shadowCtl; }
    void shadow(zControl* c) { shadowCtl = c; }
};

LRESULT CALLBACK CtrlWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
