#pragma once
// Dialog frames built from DIALOG resources, their modal loop, and form dialogs
// that exchange data with the caller's variables.
#include <mutex>
#include <string>

#include "zFrameWin.h"
#include "zGeometry.h"

class ziDialogReader;
class zResId;
class zDialogFrame;

enum zModalStyle { zModalApp = 0, zModalSystem = 1 };

// Innermost modal dialog at the head.
class zDialogFrameStack : public zSlist {
public:
    zDialogFrame* headFrame() const { return static_cast<zDialogFrame*>(head()); }
    // Takes the frame out wherever it stands; false when it was not there.
    bool remove(zDialogFrame* frame);
};

// The modal stack; a dialog of another thread (the dial-up login) pushes on it
// too, so it is used only under ziDialogListLock().
extern zDialogFrameStack* _dfs;
// Guards _dfs and the frame classes waiting to be unregistered. Never held
// while a window is enabled or sent a message: that window's thread may be
// waiting for this lock.
std::mutex& ziDialogListLock();

// Kind flag of form dialogs.
const unsigned long zKindFormDialog = 0x100;

class zDialogFrame : public zFrameWin {
public:
    ziDialogReader* reader = nullptr;
    HWND savedFocus = 0;
    int modalFlag = 0;
    int defButtonId = 0xFFFF;

    zDialogFrame(zWindow* parent, const zResId& res, unsigned long style = 0, int defer = 0);
    zDialogFrame(zWindow* parent, zSizer* sizer, unsigned long style, const char* title, int defer = 0);
    ~zDialogFrame() override;

    WNDCLASSA* registerHook() override;
    int create() override;
    int show(int cmd = SW_SHOWNORMAL) override;
    int focus(zFocusEvt* e) override;
    int activate(zActivateEvt* e) override;

    // Added after zFrameWin's operations.
    virtual void init() {}
    virtual void shutdown();

    int modal(zModalStyle style = zModalApp);
    void go();
    int isModal() const { return modalFlag != 0; }
    int defaultButton() const { return defButtonId; }
    // The name this frame registered its class under; empty when none.
    const std::string& registeredClass() const { return ownClass_; }

    // The window procedure's parts that need the frame's privates.
    void ziNextControl(WPARAM wParam, LPARAM lParam);
    void ziForgetClass();

private:
    void dialogInit();
    std::string ownClass_;
};

class zFormDialog : public zDialogFrame {
public:
    int stored = 0;

    zFormDialog(zWindow* parent, const zResId& res, unsigned long style = 0);

    int storeData() override;
    int setControlsToDefault();
    int endOk(zEvent* e);
    int endCancel(zEvent* e);
    int wasStored() const { return stored; }
};

LRESULT CALLBACK DialogFrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Retries unregistering the classes of destroyed dialog frames; the count still
// waiting (a class stays registered while a window of it exists).
int ziFlushDialogClasses();
// Takes out of an owned frame's system menu what its style cannot do.
void ziTrimSystemMenu(HMENU sys, unsigned long style);
