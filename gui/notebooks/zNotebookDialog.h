#pragma once
// The notebook: a dialog frame with a tab control over pages and the buttons
// OK, Cancel, Apply and (optionally) Help.
//
// Contract for derived notebooks: construct with a page definition that sizes
// the frame (the notebook destroys it), a style and a caption; for each page make
// a zPageDef(zResId(dialog), tab id), add it, and construct its zDialogPage (or a
// derived page) with the notebook, the definition and a style; the tab shows the
// resource's caption. setAllowApply(1) when the user changes the current page,
// setAllowApply(0) after applying: each page keeps its own state. onOk answering
// 0 lets every page check and store and closes the dialog; nonzero keeps it open.
// Commands of page controls reach the notebook's command handlers.
#include "ZKCString.h"
#include "zDialogFrame.h"
#include "zDialogPage.h"
#include "ziTabNoteCtrl.h"

class zFont;
class zPushButton;
class zDefPushButton;
class zButton;
class zGravSizer;

// Flags in the low bits of the notebook's style.
const unsigned long zNbHelp = 0x1;       // a Help button
const unsigned long zNbNoApply = 0x2;    // no Apply button
const unsigned long zNbTrapezoid = 0x4;  // trapezoid tabs along the bottom
const unsigned long zNbFlags = 0x7;

// Button ids; Help has its own id so that Help and Apply have separate handlers.
const int zNbOkId = IDOK;
const int zNbCancelId = IDCANCEL;
const int zNbApplyId = 5;
const int zNbHelpId = IDHELP;

class zNotebookDialog : public zDialogFrame, public ziPageHost {
public:
    zFont* buttonFont = nullptr;
    zPushButton* cancelBtn = nullptr;
    zPushButton* helpBtn = nullptr;
    zPushButton* applyBtn = nullptr;
    zDefPushButton* okBtn = nullptr;
    ziTabNoteCtrl* tabs = nullptr;
    ZKCString applyLabel, okLabel, cancelLabel, helpLabel;
    unsigned long nbFlags;

    zNotebookDialog(zWindow* parent, zPageDef* sizeDef, unsigned long style, const char* caption);
    zNotebookDialog(zWindow* parent, zSizer* sizer, unsigned long style, const char* caption);
    ~zNotebookDialog() override;

    int create() override;
    int show(int how = SW_SHOWNORMAL) override;
    int focus(zFocusEvt* e) override;
    int activate(zActivateEvt* e) override;

    int createPage(zPageDef*) override { return 0; }
    virtual int onCancel(zEvent*) { return 0; }
    virtual int onHelp(zEvent*) { return 0; }
    virtual int onApply(zEvent*) { return 0; }
    virtual int onOk(zEvent*) { return 0; }

    zPageDef* add(zPageDef* def);
    void remove(zPageDef* def);
    void select(zPageDef* def);
    zPageDef* find(int tabId) const { return tabs ? tabs->find(tabId) : nullptr; }
    void setAllowApply(int allow);
    void ziWasSelected(zPageDef* def) override;
    void changeButtonLabels(const char* ok, const char* cancel, const char* apply, const char* help);

    ziTabNoteCtrl* tabControl() const override { return tabs; }
    zButton* keyEnterButton() const override;
    zButton* keyEscapeButton() const override;
    zButton* keyApplyButton() const override;
    zButton* keyTabOutButton() const override;
    zButton* keyBackTabOutButton() const override;

    int ziOnOk(zEvent* e);
    int ziOnCancel(zEvent* e);
    int ziOnApply(zEvent* e);
    int ziOnHelp(zEvent* e);

private:
    void setup();
    int created_ = 0;
};

// Places a button in a row of right-docked buttons: a gap of gap pixels, then the
// button (width bw, height bh). Shared by the notebook and the wizard.
zSizer* ziButtonSlot(zSizer* row, int gap, int bw, int bh);
