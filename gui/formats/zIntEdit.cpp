#include "zIntEdit.h"

#include <cstdio>
#include <cstdlib>

#include "zNumFormatter.h"

namespace {
const char* const kDefaultPicture = "-#####";
}

zIntEdit::zIntEdit(zWindow* parent, int id, int* value, const char* picture, unsigned long flags)
    : zFormattedEdit(parent, id, new zNumFormatter(flags, picture), flags), bound(value) {
    setToDefault();
}

zIntEdit::zIntEdit(zWindow* parent, int id, int* value, zFormatter* f, unsigned long flags)
    : zFormattedEdit(parent, id, f, flags), bound(value) {
    setToDefault();
}

zIntEdit::zIntEdit(zWindow* parent, int id, int* value, unsigned long flags)
    : zIntEdit(parent, id, value, kDefaultPicture, flags) {}

zIntEdit::zIntEdit(zWindow* parent, zSizer* s, unsigned long style, int* value, const char* picture,
                   unsigned long flags)
    : zFormattedEdit(parent, s, style, new zNumFormatter(flags, picture), flags), bound(value) {
    setToDefault();
}

zIntEdit::zIntEdit(zWindow* parent, zSizer* s, unsigned long style, int* value, zFormatter* f, unsigned long flags)
    : zFormattedEdit(parent, s, style, f, flags), bound(value) {
    setToDefault();
}

zIntEdit::zIntEdit(zWindow* parent, zSizer* s, unsigned long style, int* value, unsigned long flags)
    : zIntEdit(parent, s, style, value, kDefaultPicture, flags) {}

int zIntEdit::storeData() {
    if (!bound) return 0;
    ZKCString raw = getRawText(0);
    *bound = (int)atol(raw.data());
    return 1;
}

int zIntEdit::setToDefault() {
    int v = bound ? *bound : 0;
    char text[16];
    snprintf(text, sizeof text, v >= 0 ? "+%d" : "%d", v);
    if (!hwnd) return 1;
    SendMessageA(hwnd, EM_SETSEL, 0, -1);
    pasteStr(ZKCString(text));
    if (formatter) {
        char shown[300] = "";
        GetWindowTextA(hwnd, shown, sizeof shown);
        int p = formatter->firstWritablePosition(shown);
        SendMessageA(hwnd, EM_SETSEL, (WPARAM)p, (LPARAM)p);
    }
    return 1;
}

int* zIntEdit::setStoreAddr(int* value) {
    int* old = bound;
    bound = value;
    return old;
}
