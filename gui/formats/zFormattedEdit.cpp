#include "zFormattedEdit.h"

#include <cstring>
#include <memory>

#include "zClipboard.h"
#include "zDialogFrame.h"
#include "zNotify.h"

namespace {

// Pastes longer than the formatter's working texts are cut to this length.
const size_t kPasteMax = 255;

bool keyHeld(int vk) { return GetKeyState(vk) < 0; }

ZKCString textOf(HWND h) {
    int n = h ? GetWindowTextLengthA(h) : 0;
    std::string buf((size_t)n + 1, '\0');
    if (n) GetWindowTextA(h, &buf[0], n + 1);
    return ZKCString(buf.c_str());
}

}  // namespace

zFormattedEdit::zFormattedEdit(zWindow* parent, int id, zFormatter* f, unsigned long fl)
    : zEditLine(parent, id), editFlags(fl), formatter(f) {
    formatInit();
}

zFormattedEdit::zFormattedEdit(zWindow* parent, zSizer* s, unsigned long style, zFormatter* f, unsigned long fl)
    : zEditLine(parent, s, style, "", 0), editFlags(fl), formatter(f) {
    formatInit();
}

zFormattedEdit::~zFormattedEdit() {
    removeHandler(this, zHandlerOf(&zFormattedEdit::keyDown), WM_KEYDOWN);
    removeHandler(this, zHandlerOf(&zFormattedEdit::cut), WM_CUT);
    removeHandler(this, zHandlerOf(&zFormattedEdit::paste), WM_PASTE);
    delete formatter;
    formatter = nullptr;
}

void zFormattedEdit::formatInit() {
    setHandler(this, zHandlerOf(&zFormattedEdit::keyDown), WM_KEYDOWN);
    setHandler(this, zHandlerOf(&zFormattedEdit::cut), WM_CUT);
    setHandler(this, zHandlerOf(&zFormattedEdit::paste), WM_PASTE);
    if (!formatter) {
        selection(0, 0);
        return;
    }
    ZKCString text;
    zRange sel(0, 0);
    formatter->addChars(text, "", 0, sel);
    show(text, sel);
}

zRange zFormattedEdit::currentSelection() const {
    std::pair<int, int> s = selection();
    return zRange(s.first, s.second);
}

void zFormattedEdit::show(const ZKCString& text, const zRange& sel) {
    if (!hwnd) return;
    SetWindowTextA(hwnd, text.data());
    SendMessageA(hwnd, EM_SETSEL, (WPARAM)sel.start, (LPARAM)sel.end);
}

void zFormattedEdit::copySelection() {
    zRange s = currentSelection();
    ZKCString t = textOf(hwnd);
    int len = (int)t.length();
    int a = s.lo() < len ? s.lo() : len, b = s.hi() < len ? s.hi() : len;
    if (b <= a) return;
    zClipboard clip(this);
    clip.add(std::string(t.data() + a, (size_t)(b - a)).c_str());
}

int zFormattedEdit::deleteKey(bool copyFirst) {
    ZKCString text = textOf(hwnd);
    zRange sel = currentSelection();
    if (sel.lo() >= (int)text.length()) return 1;  // nothing after the caret
    zRange old = sel;
    if (formatter->addChars(text, "\b", 2, sel) == zFmtRewritten) {
        if (copyFirst && old.lo() != old.hi()) copySelection();
        show(text, sel);
    }
    return 1;
}

int zFormattedEdit::keyDown(zEvent* e) {
    handled = 0;
    if (!formatter) return 0;
    bool ctrl = keyHeld(VK_CONTROL), shift = keyHeld(VK_SHIFT);
    switch (e->wParm) {
    case 'X':
        if (!ctrl) return 0;
        handled = 1;
        copySelection();
        return deleteKey(false);
    case VK_INSERT:
        if (shift) {
            handled = 1;
            return paste(e);
        }
        if (ctrl) {
            handled = 1;
            copySelection();
            return 1;
        }
        return 0;
    case VK_DELETE:
        if (shift) handled = 1;
        return deleteKey(shift || e->msg == WM_CUT);
    case 'C':
        if (!ctrl) return 0;
        handled = 1;
        copySelection();
        return 1;
    case 'V':
        if (!ctrl) return 0;
        handled = 1;
        return paste(e);
    default:
        return 0;
    }
}

int zFormattedEdit::cut(zEvent*) {
    if (!formatter) return 0;
    copySelection();
    return deleteKey(false);
}

int zFormattedEdit::paste(zEvent*) {
    if (!formatter) return 0;
    zClipboard clip(this);
    std::unique_ptr<char[]> text(clip.getText());
    if (text) pasteStr(ZKCString(text.get()));
    return 1;
}

void zFormattedEdit::pasteStr(const ZKCString& pasted) {
    if (!formatter) {
        if (hwnd) SetWindowTextA(hwnd, pasted.data());
        return;
    }
    std::string chars(pasted.data(), pasted.length() < kPasteMax ? pasted.length() : kPasteMax);
    ZKCString text = textOf(hwnd);
    zRange sel = currentSelection();
    if (formatter->addChars(text, chars.c_str(), (int)chars.size(), sel) == zFmtRewritten) show(text, sel);
}

int zFormattedEdit::ch(zKeyEvt* e) {
    if (!formatter || e->isAltDown() || (hwnd && (GetWindowLongA(hwnd, GWL_STYLE) & ES_READONLY))) return 0;
    if (handled) {
        handled = 0;
        return 1;
    }
    char c = (char)e->wParm;
    if (c == '\r') return 1;
    if (c == 27) {
        zWindow* w = parentWin;
        while (w && !dynamic_cast<zDialogFrame*>(w)) w = w->parentWin;
        HWND dlg = w ? w->hwnd : GetParent(hwnd);
        if (dlg) PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        return 1;
    }
    ZKCString text = textOf(hwnd);
    zRange sel = currentSelection();
    char chars[2] = {c, 0};
    int count = (c == '\b' && sel.start != sel.end) ? 2 : 1;
    switch (formatter->addChars(text, chars, count, sel)) {
    case zFmtRewritten:
        show(text, sel);
        return 1;
    case zFmtReject:
        return 1;
    case zFmtAccept:
        e->wParm = (WPARAM)(unsigned char)chars[0];
        return 0;
    default:
        return 0;
    }
}

ZKCString zFormattedEdit::getRawText(unsigned long flags) {
    ZKCString t = textOf(hwnd);
    if (formatter) formatter->getChars(t, flags);
    return t;
}

int zFormattedEdit::checkData() {
    if (!formatter) return zEditLine::checkData();
    ZKCString t = textOf(hwnd);
    zRange sel(0, 0x7FFF);
    if (formatter->checkChars(t, sel)) return 1;
    if (hwnd) SendMessageA(hwnd, EM_SETSEL, (WPARAM)sel.start, (LPARAM)sel.end);
    return 0;
}
