#pragma once
// The wizard: pages one at a time, changed only by "< Back" and "Next >" (which
// reads "Finish" on the last page), with Cancel and an optional Help. The tab
// control carries the pages but draws no tabs and takes no clicks.
// Keys on a page: Enter presses Next/Finish, Escape Cancel, Alt+A nothing; Tab
// past the last tab stop goes to the first enabled of Back and Next, Shift+Tab
// before the first to Cancel.
#include "ZKCString.h"
#include "zDialogFrame.h"
#include "zDialogPage.h"
#include "ziTabNoteCtrl.h"

class zFont;
class zPushButton;
class zButton;

const unsigned long zWizHelp = 0x1;
// Next is the default button: a default press (DM_GETDEFID) must never mean Back,
// whose id is IDOK's.
const int zWizBackId = 1;
const int zWizCancelId = 2;
const int zWizNextId = 3;
const int zWizHelpId = 5;

class zWizardDialog : public zDialogFrame, public ziPageHost {
public:
    zFont* buttonFont = nullptr;
    zPushButton* nextBtn = nullptr;
    zPushButton* backBtn = nullptr;
    zPushButton* cancelBtn = nullptr;
    zPushButton* helpBtn = nullptr;
    ziTabNoteCtrl* tabs = nullptr;
    ZKCString finishLabel, backLabel, nextLabel, cancelLabel, helpLabel;
    int lockCount = 0;
    unsigned long wizFlags;

    zWizardDialog(zWindow* parent, zPageDef* sizeDef, unsigned long style, const char* caption);
    zWizardDialog(zWindow* parent, zSizer* sizer, unsigned long style, const char* caption);
    ~zWizardDialog() override;

    int create() override;
    int show(int how = SW_SHOWNORMAL) override;
    int activate(zActivateEvt* e) override;

    int createPage(zPageDef*) override { return 0; }
    virtual int onBack(zEvent*) { return 0; }
    virtual int onNext(zEvent*) { return 0; }
    virtual int onCancel(zEvent*) { return 0; }
    virtual int onHelp(zEvent*) { return 0; }
    virtual int onFinish(zEvent*) { return 0; }

    zPageDef* add(zPageDef* def);
    void remove(zPageDef* def);
    void changeButtonLabels(const char* finish, const char* cancel, const char* back, const char* next,
                            const char* help);
    void lockPage();
    void unlockPage();
    // Whether the Next button reads the Finish label now.
    int showsFinish() const;

    ziTabNoteCtrl* tabControl() const override { return tabs; }
    zButton* keyEnterButton() const override;
    zButton* keyEscapeButton() const override;
    zButton* keyTabOutButton() const override;
    zButton* keyBackTabOutButton() const override;

    int ziOnBack(zEvent* e);
    int ziOnNext(zEvent* e);
    int ziOnFinish(zEvent* e);
    int ziOnCancel(zEvent* e);
    int ziOnHelp(zEvent* e);

private:
    void setup();
    void nextText(const ZKCString& label);
    int created_ = 0;
};
