#include "zListBox.h"

#include <vector>

#include "ZKCStringSlist.h"
#include "zString.h"
#include "zStringSlist.h"

namespace {

const ziListMsgs listBoxMsgs = {LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT,
                                LB_GETCOUNT,  LB_GETTEXTLEN,   LB_GETTEXT,      LB_DIR,
                                LB_GETCURSEL, LB_SETCURSEL,    LB_SELECTSTRING, LB_ERR};
const ziListMsgs comboBoxMsgs = {CB_ADDSTRING,  CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT,
                                 CB_GETCOUNT,   CB_GETLBTEXTLEN, CB_GETLBTEXT,    CB_DIR,
                                 CB_GETCURSEL,  CB_SETCURSEL,    CB_SELECTSTRING, CB_ERR};

}  // namespace

// ---- shared item operations ------------------------------------------------------

ziListControl::ziListControl(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id,
                             const ziListMsgs& m)
    : zControl(parent, s, style, text, id), msgs(m) {}

ziListControl::ziListControl(zWindow* parent, int id, const ziListMsgs& m) : zControl(parent, id), msgs(m) {}

int ziListControl::add(const char* t) { return (int)SendMessageA(hwnd, msgs.add, 0, (LPARAM)(t ? t : "")); }
int ziListControl::add(const zString& t) { return add(t.data()); }

int ziListControl::insert(const char* t, int index) {
    return (int)SendMessageA(hwnd, msgs.insert, (WPARAM)index, (LPARAM)(t ? t : ""));
}
int ziListControl::insert(const zString& t, int index) { return insert(t.data(), index); }

int ziListControl::del(int index) { return (int)SendMessageA(hwnd, msgs.del, (WPARAM)index, 0); }
int ziListControl::count() const { return hwnd ? (int)SendMessageA(hwnd, msgs.count, 0, 0) : 0; }

ZKCString ziListControl::text(int index) const {
    if (!hwnd) return ZKCString();
    LRESULT n = SendMessageA(hwnd, msgs.textLen, (WPARAM)index, 0);
    if (n < 1 || n == msgs.err) return ZKCString();
    std::vector<char> buf((size_t)n + 1, 0);
    LRESULT got = SendMessageA(hwnd, msgs.getText, (WPARAM)index, (LPARAM)buf.data());
    if (got == msgs.err) return ZKCString();
    return ZKCString(buf.data());
}

int ziListControl::addDir(unsigned attributes, const char* pattern) {
    return (int)SendMessageA(hwnd, msgs.dir, (WPARAM)attributes, (LPARAM)(pattern ? pattern : "*.*"));
}

int ziListControl::selection() const { return hwnd ? (int)SendMessageA(hwnd, msgs.getSel, 0, 0) : -1; }
int ziListControl::selection(int index) { return (int)SendMessageA(hwnd, msgs.setSel, (WPARAM)index, 0); }
int ziListControl::selection(const char* t) {
    return (int)SendMessageA(hwnd, msgs.selectString, (WPARAM)-1, (LPARAM)(t ? t : ""));
}
int ziListControl::selection(const zString& t) { return selection(t.data()); }

int ziListControl::getItem(ZKCString& out, int index) {
    if (index == -1) index = selection();
    if (index < 0) return 0;
    LRESULT n = SendMessageA(hwnd, msgs.textLen, (WPARAM)index, 0);
    if (n < 0 || n == msgs.err) return 0;
    std::vector<char> buf((size_t)n + 1, 0);
    if (SendMessageA(hwnd, msgs.getText, (WPARAM)index, (LPARAM)buf.data()) == msgs.err) return 0;
    out = buf.data();
    return 1;
}

void ziListControl::bulkBegin() { SendMessageA(hwnd, WM_SETREDRAW, FALSE, 0); }

void ziListControl::bulkEnd() {
    SendMessageA(hwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
}

template <class List, class Iter>
static void addEach(ziListControl* c, List* list) {
    if (!list) return;
    Iter it(*list);
    while (auto* s = it()) c->add(*s);
}

int ziListControl::addStrSlist(ZKTPtrSlist<ZKCString>* list) {
    bulkBegin();
    addEach<ZKTPtrSlist<ZKCString>, ZKTPtrSlistIterator<ZKCString>>(this, list);
    bulkEnd();
    return 0;
}

int ziListControl::addStrDlist(ZKTPtrDlist<ZKCString>* list) {
    bulkBegin();
    addEach<ZKTPtrDlist<ZKCString>, ZKTPtrDlistIterator<ZKCString>>(this, list);
    bulkEnd();
    return 0;
}

int ziListControl::addStrSlist(ZKCStringSlist* list) {
    bulkBegin();
    addEach<ZKTPtrSlist<ZKCString>, ZKTPtrSlistIterator<ZKCString>>(this, list ? &list->items() : nullptr);
    bulkEnd();
    return 0;
}

int ziListControl::addStrSlist(zStringSlist* list) {
    bulkBegin();
    addEach<ZKTPtrSlist<zString>, ZKTPtrSlistIterator<zString>>(this, list ? &list->items() : nullptr);
    bulkEnd();
    return 0;
}

int ziListControl::addCharStrings(char** strings) {
    bulkBegin();
    for (char** p = strings; p && *p; ++p) add(*p);
    bulkEnd();
    return 0;
}

int ziListControl::addStrBlock(const zResStrBlock& block) {
    zResStrBlock& b = const_cast<zResStrBlock&>(block);
    b.reset();
    bulkBegin();
    while (const char* s = b()) add(s);
    bulkEnd();
    b.reset();
    return 0;
}

void ziListControl::bind(int* i, ZKCString* s, unsigned long f) {
    flags = f;
    if (i) setStoreAddr(i);
    else setStoreAddr(s);
}

void ziListControl::setStoreAddr(int* value) {
    boundAddr = value;
    bindKind = value ? 1 : 0;
}

void ziListControl::setStoreAddr(ZKCString* value) {
    boundAddr = value;
    bindKind = value ? 2 : 0;
}

void ziListControl::setStoreAddr(zString* value) { setStoreAddr(value ? &value->str() : nullptr); }

int ziListControl::checkSelection() const {
    if (!boundAddr || (flags & 0x100)) return 1;
    return selection() >= 0;
}

void ziListControl::storeSelection() {
    if (bindKind == 1) *static_cast<int*>(boundAddr) = selection() < 0 ? -1 : selection();
    else if (bindKind == 2) getItem(*static_cast<ZKCString*>(boundAddr), -1);
}

int ziListControl::defaultFromBinding() {
    if (!boundAddr) return 0;
    if (bindKind == 1) selection(*static_cast<int*>(boundAddr));
    else if (bindKind == 2 && selection(static_cast<ZKCString*>(boundAddr)->data()) == msgs.err)
        selection(-1);  // the system keeps an old selection when nothing matches
    return 1;
}

// ---- list boxes ----------------------------------------------------------------------

zListBoxBase::zListBoxBase(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : ziListControl(parent, s, (style ? style : WS_TABSTOP) | WS_CHILD | WS_VISIBLE, text, id, listBoxMsgs) {
    kind = zCtlListBox;
    className = "listbox";
}

zListBoxBase::zListBoxBase(zWindow* parent, int id) : ziListControl(parent, id, listBoxMsgs) {}
zListBoxBase::zListBoxBase(zWindow* parent, int id, ZKCString* v, unsigned long f)
    : ziListControl(parent, id, listBoxMsgs) {
    bind(nullptr, v, f);
}
zListBoxBase::zListBoxBase(zWindow* parent, int id, zString* v, unsigned long f)
    : ziListControl(parent, id, listBoxMsgs) {
    bind(nullptr, v ? &v->str() : nullptr, f);
}
zListBoxBase::zListBoxBase(zWindow* parent, int id, int* v, unsigned long f) : ziListControl(parent, id, listBoxMsgs) {
    bind(v, nullptr, f);
}

zListBoxBase::~zListBoxBase() {
    while (!children.empty()) {
        zWindow* c = children.back();
        children.pop_back();
        c->parentWin = nullptr;
        delete c;
    }
}

void zListBoxBase::clear() { SendMessageA(hwnd, LB_RESETCONTENT, 0, 0); }
void zListBoxBase::clearAllSelections() { SendMessageA(hwnd, LB_SETSEL, FALSE, (LPARAM)-1); }

int zListBoxBase::checkData() { return checkSelection(); }

int zListBoxBase::storeData() {
    if (!boundAddr || bindKind == 0) return 0;
    storeSelection();
    return 1;
}

int zListBoxBase::setToDefault() { return defaultFromBinding(); }

zListBox::zListBox(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zListBoxBase(parent, s, style | WS_VSCROLL | WS_BORDER | LBS_NOTIFY | LBS_SORT, text, id) {
    create();
}

zListBoxUnsorted::zListBoxUnsorted(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zListBoxBase(parent, s, style | WS_VSCROLL | WS_BORDER | LBS_NOTIFY, text, id) {
    create();
}

// ---- combo boxes ---------------------------------------------------------------------

zComboBoxBase::zComboBoxBase(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : ziListControl(parent, s, (style ? style : WS_TABSTOP) | WS_CHILD | WS_VISIBLE | WS_BORDER, text, id,
                    comboBoxMsgs),
      listColour(zColor::fromRaw(zColorNoErase)) {
    kind = zCtlComboBox;
    className = "combobox";
    if (parent && (parent->winStyle & WS_CLIPCHILDREN)) {
        // The drop-down list must be able to paint over its parent.
        parent->winStyle &= ~WS_CLIPCHILDREN;
        parent->styleUpdate();
    }
}

zComboBoxBase::zComboBoxBase(zWindow* parent, int id)
    : ziListControl(parent, id, comboBoxMsgs), listColour(zColor::fromRaw(zColorNoErase)) {}
zComboBoxBase::zComboBoxBase(zWindow* parent, int id, ZKCString* v, unsigned long f)
    : ziListControl(parent, id, comboBoxMsgs), listColour(zColor::fromRaw(zColorNoErase)) {
    bind(nullptr, v, f);
}
zComboBoxBase::zComboBoxBase(zWindow* parent, int id, zString* v, unsigned long f)
    : ziListControl(parent, id, comboBoxMsgs), listColour(zColor::fromRaw(zColorNoErase)) {
    bind(nullptr, v ? &v->str() : nullptr, f);
}
zComboBoxBase::zComboBoxBase(zWindow* parent, int id, int* v, unsigned long f)
    : ziListControl(parent, id, comboBoxMsgs), listColour(zColor::fromRaw(zColorNoErase)) {
    bind(v, nullptr, f);
}

zComboBoxBase::~zComboBoxBase() {}

void zComboBoxBase::reset() { SendMessageA(hwnd, CB_RESETCONTENT, 0, 0); }
void zComboBoxBase::drop() { SendMessageA(hwnd, CB_SHOWDROPDOWN, TRUE, 0); }
void zComboBoxBase::pop() { SendMessageA(hwnd, CB_SHOWDROPDOWN, FALSE, 0); }

int zComboBoxBase::getEditText(ZKCString& out) const {
    char buf[200] = {0};
    int n = hwnd ? GetWindowTextA(hwnd, buf, sizeof buf) : 0;
    out = buf;
    return n;
}

zColor zComboBoxBase::listColor(const zColor& c) {
    zColor old = listColour;
    listColour = c;
    return old;
}

bool zComboBoxBase::isDropList() const {
    unsigned long real = hwnd ? (unsigned long)GetWindowLongA(hwnd, GWL_STYLE) : winStyle;
    return (real & 3) == CBS_DROPDOWNLIST;
}

int zComboBoxBase::checkData() {
    if (!boundAddr || (flags & 0x100)) return 1;
    if (isDropList()) return checkSelection();
    return hwnd && SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0) > 0;
}

int zComboBoxBase::storeData() {
    if (!boundAddr || bindKind == 0) return 0;
    // The whole typed text: the 199-character reader would cut a long entry short.
    if (bindKind == 2 && !isDropList()) *static_cast<ZKCString*>(boundAddr) = zControl::text();
    else storeSelection();
    return 1;
}

int zComboBoxBase::setToDefault() {
    int r = defaultFromBinding();
    // A typed value that no entry begins with still shows, as the user typed it.
    if (r && bindKind == 2 && !isDropList() && selection() < 0)
        SetWindowTextA(hwnd, static_cast<ZKCString*>(boundAddr)->data());
    return r;
}

zComboBox::zComboBox(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zComboBoxBase(parent, s, style | CBS_SIMPLE | CBS_SORT, text, id) {
    create();
}

zComboBoxFull::zComboBoxFull(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zComboBoxBase(parent, s, style | CBS_DROPDOWN | CBS_SORT, text, id) {
    create();
}

zComboBoxStatic::zComboBoxStatic(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zComboBoxBase(parent, s, style | CBS_DROPDOWNLIST | CBS_SORT, text, id) {
    create();
}
