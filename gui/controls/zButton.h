#pragma once
// Push buttons, check boxes, radio buttons, group boxes and radio groups.
#include "zControl.h"
#include "zNotify.h"

class zButton : public zControl {
public:
    zButton(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zButton(zWindow* parent, int id);
    int dispatch(zEvent* e) override;

    void setNotifyClicked(zEvH* target, NotifyProc fn) { setupNotify(target, fn, BN_CLICKED); }
    void removeNotifyClicked(zEvH* target, NotifyProc fn) { removeNotify(target, fn, BN_CLICKED); }
    void setNotifyDoubleClicked(zEvH* target, NotifyProc fn) { setupNotify(target, fn, BN_DOUBLECLICKED); }
    void removeNotifyDoubleClicked(zEvH* target, NotifyProc fn) { removeNotify(target, fn, BN_DOUBLECLICKED); }
    // The same for handlers taking the notification view.
    void setNotifyClicked(zEvH* target, NotifyEvtProc fn) { setNotifyClicked(target, asNotify(fn)); }
    void removeNotifyClicked(zEvH* target, NotifyEvtProc fn) { removeNotifyClicked(target, asNotify(fn)); }
    void setNotifyDoubleClicked(zEvH* target, NotifyEvtProc fn) { setNotifyDoubleClicked(target, asNotify(fn)); }
    void removeNotifyDoubleClicked(zEvH* target, NotifyEvtProc fn) { removeNotifyDoubleClicked(target, asNotify(fn)); }

private:
    // The view has no fields of its own, so the record may call it as a plain event handler.
    static NotifyProc asNotify(NotifyEvtProc fn) { return reinterpret_cast<NotifyProc>(fn); }
};

class zPushButton : public zButton {
public:
    zPushButton(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zPushButton(zWindow* parent, int id) : zButton(parent, id) {}
};

class zDefPushButton : public zButton {
public:
    zDefPushButton(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zDefPushButton(zWindow* parent, int id) : zButton(parent, id) {}
};

class zCheckBox : public zButton {
public:
    int* bound = nullptr;
    int bindKind = 0;

    zCheckBox(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zCheckBox(zWindow* parent, int id) : zButton(parent, id) {}
    zCheckBox(zWindow* parent, int id, int* value, unsigned long flags);

    int check() const;
    void check(int state);
    void setStoreAddr(int* value);
    int storeData() override;
    int setToDefault() override;
};

class zRadioButton : public zButton {
public:
    zRadioButton(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zRadioButton(zWindow* parent, int id) : zButton(parent, id) {}
    int check() const;
    void check(int state);
};

class zGroupBox : public zButton {
public:
    zGroupBox(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zGroupBox(zWindow* parent, int id) : zButton(parent, id) {}
};

// What a radio group and a radio controller share: the range, the binding and
// the checked button, and the click processing that moves the check and the tab stop.
class ziRadioRun {
public:
    int* bound = nullptr;
    unsigned long flags = 0;
    int firstId = 0;
    int lastId = 0;
    zRadioButton* current = nullptr;
    zWindow* owner = nullptr;

    void setRange(zWindow* o, int first, int last, int* value = nullptr, unsigned long f = 0);
    bool covers(int id) const { return id >= firstId && id <= lastId; }
    int runCheckData() const { return current != nullptr; }
    int runStoreData();
    int runSetToDefault();
    void select(int id);  // as a click on that id, without notifications
    // Moves the check on a click notification; false for any other notification.
    bool click(zEvent* e);
    // The click record for the range, after the owner's other command records.
    void attachClicks(zEvH* target, NotifyProc fn);
    void detachClicks(zEvH* target, NotifyProc fn);
};

class zRadioGroup : public zRadioButton {
public:
    zRadioGroup(zWindow* parent, int first, int last);
    zRadioGroup(zWindow* parent, int first, int last, int* value, unsigned long flags);
    ~zRadioGroup() override;

    void setStoreAddr(int* value) { run.bound = value; }
    int checkData() override { return run.runCheckData(); }
    int storeData() override { return run.runStoreData(); }
    int setToDefault() override { return run.runSetToDefault(); }
    void ziBackgroundColor(const zColor& c) override;
    zRadioButton* currentButton() const { return run.current; }
    int processClicks(zEvent* e);

private:
    ziRadioRun run;
    void setupClickProcessing();
    void removeClickProcessing();
};

class zRadioController : public zDevice {
public:
    zRadioController(zWindow* parent, int first, int last);
    zRadioController(zWindow* parent, int first, int last, int* value, unsigned long flags);
    ~zRadioController() override;

    void setStoreAddr(int* value) { run.bound = value; }
    int checkData() { return run.runCheckData(); }
    int storeData() { return run.runStoreData(); }
    int setToDefault() { return run.runSetToDefault(); }
    void backgroundColor(const zColor& c);
    zRadioButton* currentButton() const { return run.current; }
    int processClicks(zEvent* e);

private:
    ziRadioRun run;
    void setupClickProcessing();
    void removeClickProcessing();
};
