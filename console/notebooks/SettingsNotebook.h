#pragma once
// The Settings notebook of the dial-up lines: one page per line, written
// straight into the line policy's fields when stored; the caller writes the
// profile when it was applied. Runs modally inside its constructor. GUI thread.
#include "DialogBases.h"
#include "zDialogPage.h"

class NETWORKINTERFACE;
class NETSETNOTEBOOKDLG;
class zComboBoxStatic;
class zComboBoxBase;

class NETSETPAGEDLG : public zDialogPage {
public:
    NETSETPAGEDLG(NETSETNOTEBOOKDLG* notebook, NETWORKINTERFACE* lines, zPageDef* def, int line);
    virtual int StorePageData() = 0;
    int focus(zFocusEvt* e) override;
    int onAdd(zEvent* e);
    int onProp(zEvent* e);

    void watch(zWindow* control);
    // The combo's entry into the phonebook field (kept when nothing is selected).
    void storeEntry();

    int line;
    int pageId;
    BOOL changed;
    NETSETNOTEBOOKDLG* notebook;
    NETWORKINTERFACE* lines;
    zComboBoxStatic* combo;
};

class NETLINE1PAGEDLG : public NETSETPAGEDLG {
public:
    NETLINE1PAGEDLG(NETSETNOTEBOOKDLG* notebook, NETWORKINTERFACE* lines, zPageDef* def);
    int StorePageData() override;

    int launched, onRequest, repeat, repeatCount, redial, idle, idleMinutes;
    BOOL hasRedial;
};

class NETLINE2PAGEDLG : public NETSETPAGEDLG {
public:
    NETLINE2PAGEDLG(NETSETNOTEBOOKDLG* notebook, NETWORKINTERFACE* lines, zPageDef* def, int line);
    int StorePageData() override;

    int parallel, onDrop, onCount, count, repeat, repeatCount, redial, idle, idleMinutes;
    BOOL hasRedial;
};

class NETSETNOTEBOOKDLG : public NOTEBOOKBASE {
public:
    NETSETNOTEBOOKDLG(zWindow* parent, NETWORKINTERFACE* lines);

    int OnChange(zEvent* e);
    int onApply(zEvent* e) override;
    int onOk(zEvent* e) override;
    void SetConnSelection(int line, const char* name);
    int PopulateConnList(NETSETPAGEDLG* page, zComboBoxBase* combo);

    BOOL applied;
    NETSETPAGEDLG* pages[4];
    NETWORKINTERFACE* lines;
};

class FORMAPP;
// The main window's Settings command: TRUE when applied.
BOOL RunSettingsNotebook(FORMAPP* form);
