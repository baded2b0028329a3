#pragma once
// Edit fields: single-line edit lines and multi-line edit boxes, bound to strings.
#include <utility>

#include "zControl.h"

struct zRect;

// Flag of the bound controls: an empty value is acceptable.
const unsigned long zCtlEmptyOk = 0x100;

class zEditBase : public zControl {
public:
    ZKCString* bound = nullptr;
    unsigned long flags = 0;

    zEditBase(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zEditBase(zWindow* parent, int id);
    zEditBase(zWindow* parent, int id, ZKCString* value, unsigned long flags);
    zEditBase(zWindow* parent, int id, zString* value, unsigned long flags);

    int dispatch(zEvent* e) override;
    int checkData() override;
    int storeData() override;
    int setToDefault() override;
    void setStoreAddr(ZKCString* value) { bound = value; }
    void setStoreAddr(zString* value);

    std::pair<int, int> selection() const;
    void selection(int start, int end);
    ZKCString getSelection() const;
    void limitText(int n);
    void replaceSelection(const char* text);
    void cut();
    void copy();
    void paste();
    int canUndo() const;
    int undo();
    void emptyUndoBuffer();
    int hasChanged() const;
    void hasChanged(int value);
    void getRect(zRect& r) const;
    void setRect(zRect* r);

    void setNotifySetFocus(zEvH* t, NotifyProc f) { setupNotify(t, f, EN_SETFOCUS); }
    void removeNotifySetFocus(zEvH* t, NotifyProc f) { removeNotify(t, f, EN_SETFOCUS); }
    void setNotifyKillFocus(zEvH* t, NotifyProc f) { setupNotify(t, f, EN_KILLFOCUS); }
    void removeNotifyKillFocus(zEvH* t, NotifyProc f) { removeNotify(t, f, EN_KILLFOCUS); }
    void setNotifyChange(zEvH* t, NotifyProc f) { setupNotify(t, f, EN_CHANGE); }
    void removeNotifyChange(zEvH* t, NotifyProc f) { removeNotify(t, f, EN_CHANGE); }
    void setNotifyUpdate(zEvH* t, NotifyProc f) { setupNotify(t, f, EN_UPDATE); }
    void removeNotifyUpdate(zEvH* t, NotifyProc f) { removeNotify(t, f, EN_UPDATE); }
    void setNotifyErrorSpace(zEvH* t, NotifyProc f) { setupNotify(t, f, EN_ERRSPACE); }
    void removeNotifyErrorSpace(zEvH* t, NotifyProc f) { removeNotify(t, f, EN_ERRSPACE); }
    void setNotifyMaxText(zEvH* t, NotifyProc f) { setupNotify(t, f, EN_MAXTEXT); }
    void removeNotifyMaxText(zEvH* t, NotifyProc f) { removeNotify(t, f, EN_MAXTEXT); }
    void setNotifyHScroll(zEvH* t, NotifyProc f) { setupNotify(t, f, EN_HSCROLL); }
    void removeNotifyHScroll(zEvH* t, NotifyProc f) { removeNotify(t, f, EN_HSCROLL); }
    void setNotifyVScroll(zEvH* t, NotifyProc f) { setupNotify(t, f, EN_VSCROLL); }
    void removeNotifyVScroll(zEvH* t, NotifyProc f) { removeNotify(t, f, EN_VSCROLL); }

protected:
    void editInit();
    void bindAndShow(ZKCString* value, unsigned long flags);
};

class zEditLine : public zEditBase {
public:
    zEditLine(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zEditLine(zWindow* parent, int id) : zEditBase(parent, id) {}
    zEditLine(zWindow* parent, int id, ZKCString* value, unsigned long flags = 0)
        : zEditBase(parent, id, value, flags) {}
    zEditLine(zWindow* parent, int id, zString* value, unsigned long flags = 0) : zEditBase(parent, id, value, flags) {}

    // A disabled field still takes a text set in code.
    void text(const char* s);
    void text(const ZKCString& s) { text(s.data()); }
    void text(const zString& s);
    ZKCString text() const { return zControl::text(); }
};

class zEditBox : public zEditBase {
public:
    zEditBox(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zEditBox(zWindow* parent, int id) : zEditBase(parent, id) {}
    zEditBox(zWindow* parent, int id, ZKCString* value, unsigned long flags = 0) : zEditBase(parent, id, value, flags) {}
    zEditBox(zWindow* parent, int id, zString* value, unsigned long flags = 0) : zEditBase(parent, id, value, flags) {}

    void scrollBox(int columns, int lines);
};
