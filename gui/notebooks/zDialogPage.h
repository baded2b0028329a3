#pragma once
// Pages of notebook and wizard dialogs. A page definition names the DIALOG
// resource of a page and its tab; the page is a pane control whose controls the
// resource builds and which does the dialog keys itself (Tab, Shift+Tab, Enter,
// Escape, Alt+letter), since the dialog around it is not a system dialog.
#include "zPane.h"

class ziDialogReader;
class zDialogPage;
class zButton;
class zResId;
class ziTabNoteCtrl;

// What a page needs of the dialog that holds it: the tab control and the
// buttons its keys press.
class ziPageHost {
public:
    virtual ~ziPageHost() {}
    virtual ziTabNoteCtrl* tabControl() const = 0;
    // A page for a definition that has none yet; nonzero when one was made.
    virtual int createPage(class zPageDef*) { return 0; }
    virtual void ziWasSelected(zPageDef*) {}
    virtual zButton* keyEnterButton() const = 0;       // Enter: OK, or Next/Finish
    virtual zButton* keyEscapeButton() const = 0;      // Escape: Cancel
    virtual zButton* keyApplyButton() const { return nullptr; }  // Alt+A
    virtual zButton* keyTabOutButton() const = 0;      // Tab past the last tab stop
    virtual zButton* keyBackTabOutButton() const = 0;  // Shift+Tab before the first
};

class zPageDef {
public:
    ziDialogReader* reader = nullptr;  // owned; null for a page given directly
    int tabId;
    zDialogPage* page = nullptr;
    int allowApply = 0;

    zPageDef(const zResId& dialogRes, int tabId);
    zPageDef(zDialogPage* page, int tabId);
    ~zPageDef();
    zPageDef(const zPageDef&) = delete;
    zPageDef& operator=(const zPageDef&) = delete;

    void setPage(zDialogPage* page);
    void load(zDialogPage* page);
    void setCaption(const char* text);
    // The resource's style as a child window; 0 when the resource cannot be read.
    unsigned long getStyle() const;
    int decoded() const;
    const char* caption() const;
    int getTabId() const { return tabId; }
    zDialogPage* getPage() const { return page; }
};

class zDialogPage : public zPaneControl {
public:
    ziPageHost* host;

    zDialogPage(ziPageHost* dialog, zPageDef* def, unsigned long style);

    int dispatch(zEvent* e) override;
    int size(zSizeEvt* e) override;
    int command(zCommandEvt* e) override;
    int mouseButtonDown(zMouseClickEvt* e) override;
    int focus(zFocusEvt* e) override;
    int invalidData(zWindow* ctrl) override;
    int ch(zKeyEvt*) override { return 0; }

    void ziHandleTabs(int on);
    int ziKeyDown(zEvent* e);

    // The child of this page that holds the focus, or null.
    zWindow* focusedChild() const;
    ziTabNoteCtrl* tabControl() const;
};

// Takes the character message a handled key made out of the queue.
void ziDropChar(HWND w, UINT message);
// Gives the button the focus and presses it.
void ziPressButton(zWindow* b);
int ziIsEnabledButton(zWindow* b);
