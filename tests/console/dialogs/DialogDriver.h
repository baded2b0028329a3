#pragma once
// Drives the console's dialogs from inside their modal loops: a dialog is
// found by caption among this thread's windows, its controls set and its
// buttons pressed through messages.
#include "QvWindows.h"

#include <cstring>
#include <functional>
#include <string>

#include "DlgKit.h"
#include "zApp.h"
#include "zWindowMap.h"

namespace {

struct Found {
    const char* caption;
    HWND window;
};

inline BOOL CALLBACK MatchCaption(HWND h, LPARAM p) {
    Found* f = reinterpret_cast<Found*>(p);
    char text[128] = {};
    GetWindowTextA(h, text, sizeof text);
    if (IsWindowVisible(h) && std::string(text) == f->caption) {
        f->window = h;
        return FALSE;
    }
    return TRUE;
}

inline HWND FindShown(const char* caption) {
    Found f{caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&f));
    return f.window;
}

// Runs step on the dialog once a window of this caption shows; gives up after the time.
inline void WhenShown(const char* caption, std::function<void(HWND)> step, int tries = 400) {
    dlgkit::Later(20, [=] {
        if (HWND h = FindShown(caption)) return step(h);
        if (tries > 0) WhenShown(caption, step, tries - 1);
    });
}

inline std::string TextOf(HWND dialog, int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

inline zWindow* zWindowOf(HWND h) { return _app && _app->windowMap() ? _app->windowMap()->get(h) : nullptr; }

inline void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

}  // namespace
