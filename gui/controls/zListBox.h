#pragma once
// List boxes and combo boxes: items, selection, bulk loading and the bound value.
#include "zControl.h"

class zResStrBlock;
template <class T> class ZKTPtrSlist;
template <class T> class ZKTPtrDlist;
class ZKCStringSlist;
class zStringSlist;

// The messages one family of list controls answers to.
struct ziListMsgs {
    UINT add, insert, del, reset, count, textLen, getText, dir, getSel, setSel, selectString;
    LRESULT err;
};

// Item operations and the bound value, shared by list boxes and combo boxes.
class ziListControl : public zControl {
public:
    void* boundAddr = nullptr;
    int bindKind = 0;  // 0 none, 1 index into an int, 2 text into a string
    unsigned long flags = 0;

    int add(const char* text);
    int add(const ZKCString& text) { return add(text.data()); }
    int add(const zString& text);
    int insert(const char* text, int index);
    int insert(const ZKCString& text, int index) { return insert(text.data(), index); }
    int insert(const zString& text, int index);
    int del(int index);
    int count() const;
    ZKCString text(int index) const;
    int addDir(unsigned attributes, const char* pattern);
    int addDir(unsigned attributes, const ZKCString& pattern) { return addDir(attributes, pattern.data()); }
    int selection() const;
    int selection(int index);
    int selection(const char* text);
    int selection(const ZKCString& text) { return selection(text.data()); }
    int selection(const zString& text);
    int getItem(ZKCString& out, int index);

    // Bulk loads add every string in list order with one repaint at the end; 0.
    int addStrSlist(ZKTPtrSlist<ZKCString>* list);
    int addStrDlist(ZKTPtrDlist<ZKCString>* list);
    int addStrSlist(ZKCStringSlist* list);
    int addStrSlist(zStringSlist* list);
    int addCharStrings(char** strings);
    int addStrBlock(const zResStrBlock& block);

    void setStoreAddr(int* value);
    void setStoreAddr(ZKCString* value);
    void setStoreAddr(zString* value);

    int dispatch(zEvent* e) override { return callClassProc(e); }

protected:
    ziListControl(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id,
                  const ziListMsgs& m);
    ziListControl(zWindow* parent, int id, const ziListMsgs& m);
    void bind(int* i, ZKCString* s, unsigned long f);
    void bulkBegin();
    void bulkEnd();
    int checkSelection() const;
    void storeSelection();
    int defaultFromBinding();
    const ziListMsgs& msgs;
};

class zListBoxBase : public ziListControl {
public:
    zListBoxBase(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zListBoxBase(zWindow* parent, int id);
    zListBoxBase(zWindow* parent, int id, ZKCString* value, unsigned long flags);
    zListBoxBase(zWindow* parent, int id, zString* value, unsigned long flags);
    zListBoxBase(zWindow* parent, int id, int* value, unsigned long flags);
    ~zListBoxBase() override;

    void clear();
    void clearAllSelections();
    int checkData() override;
    int storeData() override;
    int setToDefault() override;

    void setNotifySelChange(zEvH* t, NotifyProc f) { setupNotify(t, f, LBN_SELCHANGE); }
    void removeNotifySelChange(zEvH* t, NotifyProc f) { removeNotify(t, f, LBN_SELCHANGE); }
    void setNotifyDoubleClick(zEvH* t, NotifyProc f) { setupNotify(t, f, LBN_DBLCLK); }
    void removeNotifyDoubleClick(zEvH* t, NotifyProc f) { removeNotify(t, f, LBN_DBLCLK); }
    void setNotifySetFocus(zEvH* t, NotifyProc f) { setupNotify(t, f, LBN_SETFOCUS); }
    void removeNotifySetFocus(zEvH* t, NotifyProc f) { removeNotify(t, f, LBN_SETFOCUS); }
    void setNotifyKillFocus(zEvH* t, NotifyProc f) { setupNotify(t, f, LBN_KILLFOCUS); }
    void removeNotifyKillFocus(zEvH* t, NotifyProc f) { removeNotify(t, f, LBN_KILLFOCUS); }
    void setNotifyErrorSpace(zEvH* t, NotifyProc f) { setupNotify(t, f, (unsigned long)(WORD)LBN_ERRSPACE); }
    void removeNotifyErrorSpace(zEvH* t, NotifyProc f) { removeNotify(t, f, (unsigned long)(WORD)LBN_ERRSPACE); }
};

class zListBox : public zListBoxBase {
public:
    zListBox(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zListBox(zWindow* parent, int id) : zListBoxBase(parent, id) {}
    zListBox(zWindow* parent, int id, ZKCString* v, unsigned long f) : zListBoxBase(parent, id, v, f) {}
    zListBox(zWindow* parent, int id, zString* v, unsigned long f) : zListBoxBase(parent, id, v, f) {}
    zListBox(zWindow* parent, int id, int* v, unsigned long f) : zListBoxBase(parent, id, v, f) {}
};

class zListBoxUnsorted : public zListBoxBase {
public:
    zListBoxUnsorted(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zListBoxUnsorted(zWindow* parent, int id) : zListBoxBase(parent, id) {}
    zListBoxUnsorted(zWindow* parent, int id, ZKCString* v, unsigned long f) : zListBoxBase(parent, id, v, f) {}
    zListBoxUnsorted(zWindow* parent, int id, zString* v, unsigned long f) : zListBoxBase(parent, id, v, f) {}
    zListBoxUnsorted(zWindow* parent, int id, int* v, unsigned long f) : zListBoxBase(parent, id, v, f) {}
};

class zComboBoxBase : public ziListControl {
public:
    zColor listColour;

    zComboBoxBase(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zComboBoxBase(zWindow* parent, int id);
    zComboBoxBase(zWindow* parent, int id, ZKCString* value, unsigned long flags);
    zComboBoxBase(zWindow* parent, int id, zString* value, unsigned long flags);
    zComboBoxBase(zWindow* parent, int id, int* value, unsigned long flags);
    ~zComboBoxBase() override;

    void reset();
    void drop();
    void pop();
    int getEditText(ZKCString& out) const;
    zColor listColor(const zColor& c);
    unsigned long ziOwnAnswerColor() const override { return listColour.raw(); }
    int checkData() override;
    int storeData() override;
    int setToDefault() override;

    void setNotifySelChange(zEvH* t, NotifyProc f) { setupNotify(t, f, CBN_SELCHANGE); }
    void removeNotifySelChange(zEvH* t, NotifyProc f) { removeNotify(t, f, CBN_SELCHANGE); }
    void setNotifyDoubleClick(zEvH* t, NotifyProc f) { setupNotify(t, f, CBN_DBLCLK); }
    void removeNotifyDoubleClick(zEvH* t, NotifyProc f) { removeNotify(t, f, CBN_DBLCLK); }
    void setNotifySetFocus(zEvH* t, NotifyProc f) { setupNotify(t, f, CBN_SETFOCUS); }
    void removeNotifySetFocus(zEvH* t, NotifyProc f) { removeNotify(t, f, CBN_SETFOCUS); }
    void setNotifyKillFocus(zEvH* t, NotifyProc f) { setupNotify(t, f, CBN_KILLFOCUS); }
    void removeNotifyKillFocus(zEvH* t, NotifyProc f) { removeNotify(t, f, CBN_KILLFOCUS); }
    void setNotifyErrorSpace(zEvH* t, NotifyProc f) { setupNotify(t, f, (unsigned long)(WORD)CBN_ERRSPACE); }
    void removeNotifyErrorSpace(zEvH* t, NotifyProc f) { removeNotify(t, f, (unsigned long)(WORD)CBN_ERRSPACE); }
    void setNotifyEditChange(zEvH* t, NotifyProc f) { setupNotify(t, f, CBN_EDITCHANGE); }
    void removeNotifyEditChange(zEvH* t, NotifyProc f) { removeNotify(t, f, CBN_EDITCHANGE); }
    void setNotifyEditUpdate(zEvH* t, NotifyProc f) { setupNotify(t, f, CBN_EDITUPDATE); }
    void removeNotifyEditUpdate(zEvH* t, NotifyProc f) { removeNotify(t, f, CBN_EDITUPDATE); }
    void setNotifyDropDown(zEvH* t, NotifyProc f) { setupNotify(t, f, CBN_DROPDOWN); }
    void removeNotifyDropDown(zEvH* t, NotifyProc f) { removeNotify(t, f, CBN_DROPDOWN); }

private:
    bool isDropList() const;
};

class zComboBox : public zComboBoxBase {
public:
    zComboBox(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zComboBox(zWindow* parent, int id) : zComboBoxBase(parent, id) {}
    zComboBox(zWindow* parent, int id, ZKCString* v, unsigned long f) : zComboBoxBase(parent, id, v, f) {}
    zComboBox(zWindow* parent, int id, zString* v, unsigned long f) : zComboBoxBase(parent, id, v, f) {}
    zComboBox(zWindow* parent, int id, int* v, unsigned long f) : zComboBoxBase(parent, id, v, f) {}
};

class zComboBoxFull : public zComboBoxBase {
public:
    zComboBoxFull(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zComboBoxFull(zWindow* parent, int id) : zComboBoxBase(parent, id) {}
    zComboBoxFull(zWindow* parent, int id, ZKCString* v, unsigned long f) : zComboBoxBase(parent, id, v, f) {}
    zComboBoxFull(zWindow* parent, int id, zString* v, unsigned long f) : zComboBoxBase(parent, id, v, f) {}
    zComboBoxFull(zWindow* parent, int id, int* v, unsigned long f) : zComboBoxBase(parent, id, v, f) {}
};

class zComboBoxStatic : public zComboBoxBase {
public:
    zComboBoxStatic(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    zComboBoxStatic(zWindow* parent, int id) : zComboBoxBase(parent, id) {}
    zComboBoxStatic(zWindow* parent, int id, ZKCString* v, unsigned long f) : zComboBoxBase(parent, id, v, f) {}
    zComboBoxStatic(zWindow* parent, int id, zString* v, unsigned long f) : zComboBoxBase(parent, id, v, f) {}
    zComboBoxStatic(zWindow* parent, int id, int* v, unsigned long f) : zComboBoxBase(parent, id, v, f) {}
};
