#include "zButton.h"

#include "zNotify.h"

namespace {

void setTabStop(zWindow* w, bool on) {
    if (!w) return;
    unsigned long real = w->hwnd ? (unsigned long)GetWindowLongA(w->hwnd, GWL_STYLE) : w->winStyle;
    bool has = (real & WS_TABSTOP) != 0;
    if (has == on) return;
    // Only the tab-stop bit changes; the rest stays as the system keeps it.
    w->winStyle = on ? (real | WS_TABSTOP) : (real & ~WS_TABSTOP);
    w->styleUpdate();
}

void setCheck(zWindow* w, int state) {
    if (w && w->hwnd) SendMessageA(w->hwnd, BM_SETCHECK, (WPARAM)state, 0);
}

void appendCommandRecord(zWindow* parent, zNotifyNode* node) {
    zHandlerList one;
    one.insert(node);
    parent->commandList()->takeFrom(one);
}

}  // namespace

// ---- zButton family ---------------------------------------------------------

zButton::zButton(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zControl(parent, s, (style ? style : WS_TABSTOP) | WS_CHILD | WS_VISIBLE, text, id) {
    kind = zCtlButton;
    className = "button";
    if (parent) bgColor = parent->bgColor;
}

zButton::zButton(zWindow* parent, int id) : zControl(parent, id) {}

int zButton::dispatch(zEvent* e) { return callClassProc(e); }

zPushButton::zPushButton(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zButton(parent, s, style | BS_PUSHBUTTON, text, id) {
    create();
}

zDefPushButton::zDefPushButton(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zButton(parent, s, style | BS_DEFPUSHBUTTON, text, id) {
    create();
}

zCheckBox::zCheckBox(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zButton(parent, s, style | BS_AUTOCHECKBOX, text, id) {
    create();
}

zCheckBox::zCheckBox(zWindow* parent, int id, int* value, unsigned long) : zButton(parent, id) {
    setStoreAddr(value);
    setToDefault();
}

int zCheckBox::check() const { return hwnd ? (int)SendMessageA(hwnd, BM_GETCHECK, 0, 0) : 0; }
void zCheckBox::check(int state) { setCheck(this, state); }

void zCheckBox::setStoreAddr(int* value) {
    bound = value;
    bindKind = value ? 1 : 0;
}

int zCheckBox::storeData() {
    if (bindKind != 1 || !bound) return 0;
    *bound = check();
    return 1;
}

int zCheckBox::setToDefault() {
    if (bindKind != 1 || !bound) return 0;
    check(*bound);
    return 1;
}

zRadioButton::zRadioButton(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    // An automatic radio button stays one: or-ing the plain type into it would make type 13.
    : zButton(parent, s, (style & 0xF) == BS_AUTORADIOBUTTON ? style : style | BS_RADIOBUTTON, text, id) {
    create();
}

int zRadioButton::check() const { return hwnd ? (int)SendMessageA(hwnd, BM_GETCHECK, 0, 0) : 0; }
void zRadioButton::check(int state) { setCheck(this, state); }

zGroupBox::zGroupBox(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zButton(parent, s, style | BS_GROUPBOX, text, id) {
    winStyle &= ~WS_CLIPSIBLINGS;
    bgColor = zColorParent;
    create();
}

// ---- radio runs ---------------------------------------------------------------

void ziRadioRun::setRange(zWindow* o, int first, int last, int* value, unsigned long f) {
    owner = o;
    firstId = first;
    lastId = last;
    bound = value;
    flags = f;
}

bool ziRadioRun::click(zEvent* e) {
    if (e->hiWParam() != BN_CLICKED) return false;
    select((int)e->loWParam());
    return true;
}

void ziRadioRun::select(int id) {
    zWindow* off = current ? static_cast<zWindow*>(current) : (owner ? owner->get(firstId) : nullptr);
    setCheck(off, 0);
    setTabStop(off, false);
    zWindow* on = owner ? owner->get(id) : nullptr;
    current = dynamic_cast<zRadioButton*>(on);
    if (!current) return;
    setCheck(current, 1);
    setTabStop(current, true);
}

int ziRadioRun::runStoreData() {
    if (!bound) return 1;
    if (!current) return 0;
    *bound = current->id();
    return 1;
}

int ziRadioRun::runSetToDefault() {
    if (!bound) return 0;
    if (covers(*bound)) select(*bound);
    return 1;
}

// ---- zRadioGroup --------------------------------------------------------------

zRadioGroup::zRadioGroup(zWindow* parent, int first, int last) : zRadioButton(parent, first) {
    run.setRange(parent, first, last);
    setupClickProcessing();
    run.current = this;
    check(1);
}

zRadioGroup::zRadioGroup(zWindow* parent, int first, int last, int* value, unsigned long flags)
    : zRadioButton(parent, first) {
    run.setRange(parent, first, last, value, flags);
    setupClickProcessing();
    // Nothing is checked until a value in range picks a button: OK must not store a
    // choice the user never saw.
    run.current = nullptr;
    run.runSetToDefault();
}

zRadioGroup::~zRadioGroup() { removeClickProcessing(); }

void zRadioGroup::setupClickProcessing() { run.attachClicks(this, zHandlerOf(&zRadioGroup::processClicks)); }

void zRadioGroup::removeClickProcessing() { run.detachClicks(this, zHandlerOf(&zRadioGroup::processClicks)); }

int zRadioGroup::processClicks(zEvent* e) {
    run.click(e);
    return 0;
}

void zRadioGroup::ziBackgroundColor(const zColor& c) {
    if (!run.owner) return zControl::ziBackgroundColor(c);
    for (zWindow* w : run.owner->children) {
        if (!run.covers(w->id())) continue;
        if (zControl* ctl = dynamic_cast<zControl*>(w)) ctl->zControl::ziBackgroundColor(c);
    }
}

void ziRadioRun::attachClicks(zEvH* target, NotifyProc fn) {
    if (!owner) return;
    appendCommandRecord(owner,
                        new zNotifyNode((unsigned long)firstId, (unsigned long)lastId, fn, target, WM_COMMAND));
}

void ziRadioRun::detachClicks(zEvH* target, NotifyProc fn) {
    if (!owner || !owner->commands) return;
    while (owner->commands->removeFirstIdent(WM_COMMAND, target, fn)) {
    }
}

// ---- zRadioController -----------------------------------------------------------

zRadioController::zRadioController(zWindow* parent, int first, int last) {
    run.setRange(parent, first, last);
    if (parent) {
        for (zWindow* w : parent->children) {
            if (!run.covers(w->id()) || !w->hwnd) continue;
            if (SendMessageA(w->hwnd, BM_GETCHECK, 0, 0)) {
                run.current = dynamic_cast<zRadioButton*>(w);
                break;
            }
        }
    }
    setupClickProcessing();
}

zRadioController::zRadioController(zWindow* parent, int first, int last, int* value, unsigned long flags) {
    run.setRange(parent, first, last, value, flags);
    setupClickProcessing();
    run.runSetToDefault();
}

zRadioController::~zRadioController() { removeClickProcessing(); }

void zRadioController::setupClickProcessing() { run.attachClicks(this, zHandlerOf(&zRadioController::processClicks)); }

void zRadioController::removeClickProcessing() { run.detachClicks(this, zHandlerOf(&zRadioController::processClicks)); }

int zRadioController::processClicks(zEvent* e) {
    if (run.click(e) && run.bound && run.current) *run.bound = run.current->id();
    return 0;
}

void zRadioController::backgroundColor(const zColor& c) {
    if (!run.owner) return;
    for (zWindow* w : run.owner->children)
        if (run.covers(w->id())) w->ziBackgroundColor(c);
}
