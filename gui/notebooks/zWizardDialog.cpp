#include "zWizardDialog.h"

#include "zApp.h"
#include "zButton.h"
#include "zDisplay.h"
#include "zDlgTemplate.h"
#include "zFont.h"
#include "zNotebookDialog.h"
#include "zNotify.h"
#include "zSizer.h"

namespace {

ZKCString textOf(zWindow* w) {
    char buf[256] = "";
    if (w && w->hwnd) GetWindowTextA(w->hwnd, buf, sizeof buf);
    return ZKCString(buf);
}

}  // namespace

zWizardDialog::zWizardDialog(zWindow* parent, zPageDef* sizeDef, unsigned long style, const char* caption)
    : zDialogFrame(parent, new zSizer(), style & ~zWizHelp, caption, 1), wizFlags(style & zWizHelp) {
    if (sizeDef && sizeDef->reader) {
        sizeDef->reader->decodeHeader(this);
        if (sizeDef->decoded()) sizeDef->reader->setSize(sizer);
    }
    zDialogUnit extra(0, 17, (zDisplay*)nullptr);
    zDimension d = sizer->dimension();
    if (d.width == zSizerUnset) d = zDimension(0, 0);
    sizer->dimension(zDimension(d.width + 20, d.height + extra.y() + 20));
    create();
    delete sizeDef;
}

zWizardDialog::zWizardDialog(zWindow* parent, zSizer* s, unsigned long style, const char* caption)
    : zDialogFrame(parent, s, style & ~zWizHelp, caption, 1), wizFlags(style & zWizHelp) {
    create();
}

zWizardDialog::~zWizardDialog() {
    delete tabs;
    tabs = nullptr;
}

int zWizardDialog::create() {
    int r = zDialogFrame::create();
    if (!created_ && hwnd) {
        created_ = 1;
        setup();
    }
    return r;
}

void zWizardDialog::setup() {
    ziBackgroundColorValue(GetSysColor(COLOR_BTNFACE));
    finishLabel = "Finish", backLabel = "< Back", nextLabel = "Next >", cancelLabel = "Cancel", helpLabel = "Help";
    zDialogUnit u(40, 12, (zDisplay*)nullptr);
    int bw = u.x(), bh = u.y();
    zSizer* row = new zGravSizer(zGravBottom, bh, sizer);
    new zGravSizer(zGravLeft, bw / 5, sizer);
    new zGravSizer(zGravRight, bw / 5, sizer);
    buttonFont = new zFont("MS Sans Serif", zPrPoint(0, -80), 400);
    setFont(buttonFont, 0);
    unsigned long st = WS_CHILD | WS_TABSTOP;
    if (wizFlags & zWizHelp) {
        helpBtn = new zPushButton(this, ziButtonSlot(row, bw / 5, bw, bh), st, helpLabel.data(), zWizHelpId);
        helpBtn->setCommand(this, zHandlerOf(&zWizardDialog::ziOnHelp));
    }
    cancelBtn = new zPushButton(this, ziButtonSlot(row, bw / 5, bw, bh), st, cancelLabel.data(), zWizCancelId);
    cancelBtn->setCommand(this, zHandlerOf(&zWizardDialog::ziOnCancel));
    nextBtn = new zPushButton(this, ziButtonSlot(row, bw / 5, bw, bh), st, finishLabel.data(), zWizNextId);
    nextBtn->setCommand(this, zHandlerOf(&zWizardDialog::ziOnNext));
    backBtn = new zPushButton(this, ziButtonSlot(row, 0, bw, bh), st, backLabel.data(), zWizBackId);
    backBtn->setCommand(this, zHandlerOf(&zWizardDialog::ziOnBack));
    for (zButton* b : {(zButton*)helpBtn, (zButton*)cancelBtn, (zButton*)nextBtn, (zButton*)backBtn}) {
        if (!b) continue;
        b->show(SW_SHOWNORMAL);
        b->setFont(buttonFont, 0);
    }
    backBtn->disable();
    defButtonId = zWizNextId;
    tabs = new ziTabNoteCtrl(this, this, new zGravSizer(zGravTopLeft, zDimension(0, 0), sizer), 0, 1);
    tabs->setupMargins(10, 10, 10, 10);
    tabs->show(SW_SHOWNORMAL);
    sizer->update(nullptr);
}

int zWizardDialog::show(int how) {
    if (tabs) tabs->selectFirst();
    int r = zDialogFrame::show(how);
    sizer->update(nullptr);
    if (tabs && tabs->sizer) tabs->sizer->update(nullptr);
    return r;
}

int zWizardDialog::activate(zActivateEvt* e) {
    bool active = e->msg == WM_MDIACTIVATE ? (HWND)e->lParm == e->hwnd : LOWORD(e->wParm) != 0;
    if (active) _activeDialog = 0;
    return 1;
}

int zWizardDialog::showsFinish() const { return textOf(nextBtn) == finishLabel; }

void zWizardDialog::nextText(const ZKCString& label) {
    if (nextBtn && nextBtn->hwnd) SetWindowTextA(nextBtn->hwnd, label.data());
}

zPageDef* zWizardDialog::add(zPageDef* def) {
    if (showsFinish()) nextText(nextLabel);
    return tabs ? tabs->add(def, nullptr) : def;
}

void zWizardDialog::remove(zPageDef* def) {
    if (tabs) tabs->remove(def);
}

void zWizardDialog::changeButtonLabels(const char* finish, const char* cancel, const char* back, const char* next,
                                       const char* help) {
    bool wasFinish = showsFinish();
    bool wasNext = textOf(nextBtn) == nextLabel;
    if (finish) finishLabel = finish;
    if (next) nextLabel = next;
    if (cancel) {
        cancelLabel = cancel;
        SetWindowTextA(cancelBtn->hwnd, cancel);
    }
    if (back) {
        backLabel = back;
        SetWindowTextA(backBtn->hwnd, back);
    }
    if (help) {
        helpLabel = help;
        if (helpBtn) SetWindowTextA(helpBtn->hwnd, help);
    }
    if (wasFinish && finish) nextText(finishLabel);
    else if (wasNext && next) nextText(nextLabel);
}

void zWizardDialog::lockPage() {
    if (lockCount++ == 0) {
        nextBtn->disable();
        backBtn->disable();
    }
}

void zWizardDialog::unlockPage() {
    if (lockCount <= 0) return;
    if (--lockCount > 0) return;
    if (tabs && !tabs->isFirst(tabs->current())) backBtn->enable();
    nextBtn->enable();
}

zButton* zWizardDialog::keyEnterButton() const { return nextBtn; }
zButton* zWizardDialog::keyEscapeButton() const { return cancelBtn; }
zButton* zWizardDialog::keyTabOutButton() const {
    return ziIsEnabledButton(backBtn) ? backBtn : ziIsEnabledButton(nextBtn) ? nextBtn : nullptr;
}
zButton* zWizardDialog::keyBackTabOutButton() const { return cancelBtn; }

int zWizardDialog::ziOnBack(zEvent* e) {
    if (onBack(e) || !tabs || !tabs->selectPrev()) return 0;
    if (showsFinish()) nextText(nextLabel);
    if (tabs->isFirst(tabs->current())) backBtn->disable();
    return 0;
}

int zWizardDialog::ziOnNext(zEvent* e) {
    if (onNext(e) || !tabs) return 0;
    if (!tabs->storeData()) return 1;
    if (showsFinish()) {
        ziOnFinish(e);
        return 1;
    }
    if (tabs->selectNext()) {
        if (!backBtn->isEnabled()) backBtn->enable();
        if (tabs->isLast(tabs->current())) nextText(finishLabel);
    }
    return 0;
}

int zWizardDialog::ziOnFinish(zEvent* e) {
    if (!onFinish(e) && tabs && tabs->storeData()) shutdown();
    return 0;
}

int zWizardDialog::ziOnCancel(zEvent* e) {
    if (!onCancel(e)) shutdown();
    return 0;
}

int zWizardDialog::ziOnHelp(zEvent* e) { return onHelp(e); }
