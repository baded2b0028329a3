#include "zNotebookDialog.h"

#include "zApp.h"
#include "zButton.h"
#include "zDisplay.h"
#include "zDlgTemplate.h"
#include "zFont.h"
#include "zNotify.h"
#include "zSizer.h"

zSizer* ziButtonSlot(zSizer* row, int gap, int bw, int bh) {
    if (gap) new zGravSizer(zGravRight, zDimension(gap, bh), row);
    return new zGravSizer(zGravRight, zDimension(bw, bh), row);
}

zNotebookDialog::zNotebookDialog(zWindow* parent, zPageDef* sizeDef, unsigned long style, const char* caption)
    : zDialogFrame(parent, new zSizer(), style & ~zNbFlags, caption, 1), nbFlags(style & zNbFlags) {
    if (sizeDef && sizeDef->reader) {
        sizeDef->reader->decodeHeader(this);
        if (sizeDef->decoded()) sizeDef->reader->setSize(sizer);
    }
    zDialogUnit extra(53, 17, (zDisplay*)nullptr);
    zDimension d = sizer->dimension();
    if (d.width == zSizerUnset) d = zDimension(0, 0);
    sizer->dimension(zDimension(d.width + 20, d.height + extra.y() + 60));
    create();
    delete sizeDef;
}

zNotebookDialog::zNotebookDialog(zWindow* parent, zSizer* s, unsigned long style, const char* caption)
    : zDialogFrame(parent, s, style & ~zNbFlags, caption, 1), nbFlags(style & zNbFlags) {
    create();
}

zNotebookDialog::~zNotebookDialog() {
    // The tab control and its pages go before the buttons' font.
    delete tabs;
    tabs = nullptr;
}

int zNotebookDialog::create() {
    int r = zDialogFrame::create();
    if (!created_ && hwnd) {
        created_ = 1;
        setup();
    }
    return r;
}

void zNotebookDialog::setup() {
    ziBackgroundColorValue(GetSysColor(COLOR_BTNFACE));
    applyLabel = "&Apply", okLabel = "OK", cancelLabel = "Cancel", helpLabel = "Help";
    zDialogUnit u(40, 12, (zDisplay*)nullptr);
    int bw = u.x(), bh = u.y();
    new zGravSizer(zGravBottom, bh / 3, sizer);
    zSizer* row = new zGravSizer(zGravBottom, bh, sizer);
    new zGravSizer(zGravBottom, bh / 3, sizer);
    new zGravSizer(zGravLeft, bw / 5, sizer);
    new zGravSizer(zGravRight, bw / 5, sizer);
    // The frame holds the font, so that the buttons share it.
    buttonFont = new zFont("MS Sans Serif", zPrPoint(0, -80), 400);
    setFont(buttonFont, 0);
    unsigned long st = WS_CHILD | WS_TABSTOP;
    if (nbFlags & zNbHelp) {
        helpBtn = new zPushButton(this, ziButtonSlot(row, bw / 5, bw, bh), st, helpLabel.data(), zNbHelpId);
        helpBtn->setCommand(this, zHandlerOf(&zNotebookDialog::ziOnHelp));
    }
    if (!(nbFlags & zNbNoApply)) {
        applyBtn = new zPushButton(this, ziButtonSlot(row, bw / 5, bw, bh), st, applyLabel.data(), zNbApplyId);
        applyBtn->setCommand(this, zHandlerOf(&zNotebookDialog::ziOnApply));
    }
    cancelBtn = new zPushButton(this, ziButtonSlot(row, bw / 5, bw, bh), st, cancelLabel.data(), zNbCancelId);
    cancelBtn->setCommand(this, zHandlerOf(&zNotebookDialog::ziOnCancel));
    okBtn = new zDefPushButton(this, ziButtonSlot(row, bw / 5, bw, bh), st, okLabel.data(), zNbOkId);
    okBtn->setCommand(this, zHandlerOf(&zNotebookDialog::ziOnOk));
    for (zButton* b : {(zButton*)helpBtn, (zButton*)applyBtn, (zButton*)cancelBtn, (zButton*)okBtn}) {
        if (!b) continue;
        b->show(SW_SHOWNORMAL);
        b->setFont(buttonFont, 0);
    }
    if (applyBtn) applyBtn->disable();
    tabs = new ziTabNoteCtrl(this, this, new zGravSizer(zGravTopLeft, zDimension(0, 0), sizer),
                             (nbFlags & zNbTrapezoid) ? zTabTrapezoid : 0, 0);
    tabs->setupMargins(10, 25, 10, 10);
    NotifyProc keys = zHandlerOf(&ziTabNoteCtrl::ziKeyDown);
    for (zButton* b : {(zButton*)okBtn, (zButton*)cancelBtn, (zButton*)applyBtn, (zButton*)helpBtn}) {
        if (!b) continue;
        b->setHandler(tabs, keys, WM_KEYDOWN);
        b->setHandler(tabs, keys, WM_SYSKEYDOWN);
    }
    tabs->show(SW_SHOWNORMAL);
    sizer->update(nullptr);
}

int zNotebookDialog::show(int how) {
    if (tabs) tabs->selectFirst();
    int r = zDialogFrame::show(how);
    sizer->update(nullptr);
    if (tabs && tabs->sizer) tabs->sizer->update(nullptr);
    return r;
}

int zNotebookDialog::focus(zFocusEvt* e) {
    if (e->msg == WM_SETFOCUS && tabs && tabs->hwnd) {
        SetFocus(tabs->hwnd);
        return 1;
    }
    return zDialogFrame::focus(e);
}

int zNotebookDialog::activate(zActivateEvt* e) {
    bool active = e->msg == WM_MDIACTIVATE ? (HWND)e->lParm == e->hwnd : LOWORD(e->wParm) != 0;
    // The pages do the dialog keys: the loop must not run the system's for this one.
    if (active) _activeDialog = 0;
    return 1;
}

zPageDef* zNotebookDialog::add(zPageDef* def) { return tabs ? tabs->add(def, nullptr) : def; }

void zNotebookDialog::remove(zPageDef* def) {
    if (tabs) tabs->remove(def);
}

void zNotebookDialog::select(zPageDef* def) {
    if (tabs) tabs->select(def);
}

void zNotebookDialog::setAllowApply(int allow) {
    if (!applyBtn) return;
    if (allow) applyBtn->enable();
    else applyBtn->disable();
    if (tabs && tabs->current()) tabs->current()->allowApply = allow;
}

void zNotebookDialog::ziWasSelected(zPageDef* def) {
    if (def) setAllowApply(def->allowApply);
}

void zNotebookDialog::changeButtonLabels(const char* ok, const char* cancel, const char* apply, const char* help) {
    struct Row {
        const char* text;
        ZKCString* label;
        zButton* button;
    } rows[] = {{ok, &okLabel, okBtn}, {cancel, &cancelLabel, cancelBtn}, {apply, &applyLabel, applyBtn},
                {help, &helpLabel, helpBtn}};
    for (Row& r : rows) {
        if (!r.text) continue;
        *r.label = r.text;
        if (r.button && r.button->hwnd) SetWindowTextA(r.button->hwnd, r.text);
    }
}

zButton* zNotebookDialog::keyEnterButton() const { return okBtn; }
zButton* zNotebookDialog::keyEscapeButton() const { return cancelBtn; }
zButton* zNotebookDialog::keyApplyButton() const { return applyBtn; }
zButton* zNotebookDialog::keyTabOutButton() const { return okBtn; }
zButton* zNotebookDialog::keyBackTabOutButton() const {
    return ziIsEnabledButton(applyBtn) ? (zButton*)applyBtn : (zButton*)cancelBtn;
}

int zNotebookDialog::ziOnOk(zEvent* e) {
    if (!onOk(e) && tabs && tabs->storeData()) shutdown();
    return 1;
}

int zNotebookDialog::ziOnCancel(zEvent* e) {
    if (!onCancel(e)) shutdown();
    return 1;
}

int zNotebookDialog::ziOnApply(zEvent* e) {
    if (okBtn && okBtn->hwnd) SetFocus(okBtn->hwnd);
    onApply(e);
    return 1;
}

int zNotebookDialog::ziOnHelp(zEvent* e) {
    onHelp(e);
    return 1;
}
