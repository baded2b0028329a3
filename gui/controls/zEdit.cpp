#include "zEdit.h"

#include <vector>

#include "zGeometry.h"
#include "zString.h"

void zEditBase::editInit() {
    kind = zCtlEdit;
    ctlKindFlags |= zCtlFlagEdit;
    cursor = zCursor(32513);  // I-beam
}

zEditBase::zEditBase(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zControl(parent, s, style, text, id) {
    editInit();
    className = "edit";
    create();
    if (hwnd && (style & WS_DISABLED)) {
        // A disabled edit control may refuse the text; enable it for the change.
        EnableWindow(hwnd, TRUE);
        SetWindowTextA(hwnd, title.data());
        EnableWindow(hwnd, FALSE);
    } else if (hwnd) {
        SetWindowTextA(hwnd, title.data());
    }
}

zEditBase::zEditBase(zWindow* parent, int id) : zControl(parent, id) { editInit(); }

void zEditBase::bindAndShow(ZKCString* value, unsigned long f) {
    bound = value;
    flags = f;
    // An empty string keeps what the template says.
    if (bound && bound->length() > 0) setToDefault();
}

zEditBase::zEditBase(zWindow* parent, int id, ZKCString* value, unsigned long f) : zControl(parent, id) {
    editInit();
    bindAndShow(value, f);
}

zEditBase::zEditBase(zWindow* parent, int id, zString* value, unsigned long f) : zControl(parent, id) {
    editInit();
    bindAndShow(value ? &value->str() : nullptr, f);
}

void zEditBase::setStoreAddr(zString* value) { bound = value ? &value->str() : nullptr; }

int zEditBase::dispatch(zEvent* e) {
    if (e->msg == WM_KEYDOWN && e->wParm == VK_RETURN) {
        unsigned long real = hwnd ? (unsigned long)GetWindowLongA(hwnd, GWL_STYLE) : winStyle;
        if (!(real & ES_WANTRETURN) && !(GetKeyState(VK_CONTROL) & 0x8000) && parentWin && parentWin->hwnd)
            SendMessageA(parentWin->hwnd, zMsgPressDefault, zPressDefaultMark, zPressDefaultMark);
    }
    return callClassProc(e);
}

int zEditBase::checkData() {
    if (!bound) return 1;
    if (flags & zCtlEmptyOk) return 1;
    return hwnd && SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0) > 0;
}

int zEditBase::storeData() {
    if (!bound) return 0;
    *bound = text();
    return 1;
}

int zEditBase::setToDefault() {
    if (!bound) return 0;
    zControl::text(bound->data());
    return 1;
}

std::pair<int, int> zEditBase::selection() const {
    DWORD a = 0, b = 0;
    if (hwnd) SendMessageA(hwnd, EM_GETSEL, (WPARAM)&a, (LPARAM)&b);
    int s = (int)a, t = (int)b;
    return s <= t ? std::make_pair(s, t) : std::make_pair(t, s);
}

void zEditBase::selection(int start, int end) {
    if (hwnd) SendMessageA(hwnd, EM_SETSEL, (WPARAM)start, (LPARAM)end);
}

ZKCString zEditBase::getSelection() const {
    std::pair<int, int> sel = selection();
    ZKCString all = text();
    int n = (int)all.length();
    int a = sel.first < 0 ? 0 : (sel.first > n ? n : sel.first);
    int b = sel.second < a ? a : (sel.second > n ? n : sel.second);
    return ZKCString(all.data() + a, (ZKSize_T)(b - a));
}

void zEditBase::limitText(int n) { SendMessageA(hwnd, EM_LIMITTEXT, (WPARAM)n, 0); }
void zEditBase::replaceSelection(const char* t) { SendMessageA(hwnd, EM_REPLACESEL, 0, (LPARAM)(t ? t : "")); }
void zEditBase::cut() { SendMessageA(hwnd, WM_CUT, 0, 0); }
void zEditBase::copy() { SendMessageA(hwnd, WM_COPY, 0, 0); }
void zEditBase::paste() { SendMessageA(hwnd, WM_PASTE, 0, 0); }
int zEditBase::canUndo() const { return (int)SendMessageA(hwnd, EM_CANUNDO, 0, 0); }
int zEditBase::undo() { return (int)SendMessageA(hwnd, EM_UNDO, 0, 0); }
void zEditBase::emptyUndoBuffer() { SendMessageA(hwnd, EM_EMPTYUNDOBUFFER, 0, 0); }
int zEditBase::hasChanged() const { return (int)SendMessageA(hwnd, EM_GETMODIFY, 0, 0); }
void zEditBase::hasChanged(int value) { SendMessageA(hwnd, EM_SETMODIFY, (WPARAM)value, 0); }

void zEditBase::getRect(zRect& r) const {
    RECT rc = {0, 0, 0, 0};
    SendMessageA(hwnd, EM_GETRECT, 0, (LPARAM)&rc);
    r = zRect(rc.left, rc.top, rc.right, rc.bottom);
}

void zEditBase::setRect(zRect* r) {
    if (!r) {
        SendMessageA(hwnd, EM_SETRECT, 0, 0);
        return;
    }
    RECT rc = {r->left, r->top, r->right, r->bottom};
    SendMessageA(hwnd, EM_SETRECT, 0, (LPARAM)&rc);
}

zEditLine::zEditLine(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zEditBase(parent, s, style | WS_VISIBLE | WS_BORDER, text, id) {}

void zEditLine::text(const char* s) {
    bool disabled = hwnd && !IsWindowEnabled(hwnd);
    if (disabled) EnableWindow(hwnd, TRUE);
    zControl::text(s);
    if (disabled) EnableWindow(hwnd, FALSE);
}

void zEditLine::text(const zString& s) { text(s.data()); }

zEditBox::zEditBox(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zEditBase(parent, s, style | WS_VISIBLE | WS_BORDER | ES_MULTILINE, text, id) {}

void zEditBox::scrollBox(int columns, int lines) {
    SendMessageA(hwnd, EM_LINESCROLL, (WPARAM)columns, (LPARAM)lines);
}
