#pragma once
// The tab control of notebook and wizard dialogs: its tabs select page
// definitions; pages are made on first selection when nobody made them yet.
// In a wizard (the wizard flag) the tabs are neither drawn nor clickable.
#include <vector>

#include "zDialogPage.h"
#include "zTabCtrl.h"

class ziTabNoteCtrl : public zTabCtrl {
public:
    ziPageHost* host;
    zPageDef* firstDef = nullptr;
    zPageDef* currentDef = nullptr;
    std::vector<zPageDef*> defs;  // owned
    int added = 0;
    int wizard;

    ziTabNoteCtrl(ziPageHost* host, zWindow* dialog, zSizer* sizer, unsigned long style, int wizard);
    ~ziTabNoteCtrl() override;

    int dispatch(zEvent* e) override;
    int command(zCommandEvt* e) override;
    int mouseButtonDown(zMouseClickEvt* e) override;
    int focus(zFocusEvt* e) override;
    int storeData() override;
    int ch(zKeyEvt*) override { return 0; }
    int draw(zDrawEvt* e) override;
    void onPageChange(int newId, int oldId) override;
    virtual int createPage(zPageDef*) { return 0; }

    // A tab the control makes for the definition is the control's.
    zPageDef* add(zPageDef* def, zTab* tab);
    void remove(zPageDef* def);
    zPageDef* find(int tabId) const;
    void select(zPageDef* def);
    void selectFirst();
    // 0 at the end; 2 when the new page is the last (next) or first (previous), else 1.
    int selectNext();
    int selectPrev();
    zPageDef* current() const { return currentDef; }
    int isFirst(const zPageDef* d) const { return !defs.empty() && defs.front() == d; }
    int isLast(const zPageDef* d) const { return !defs.empty() && defs.back() == d; }

    int ziKeyDown(zEvent* e);

private:
    zWindow* dialogWin;
};
