// Drives a running GUI program of this Wine prefix from a test script: finds
// its windows, sends or posts messages (optionally with Shift held), reads
// window texts, rectangles and the message boxes it shows.
//   qvaid_driver find CLASS TITLE [PROGRAM]   -> "HWND PID VISIBLE ICONIC" per window
//   qvaid_driver count CLASS TITLE            -> number of such top-level windows
//   qvaid_driver post|send HWND MSG WPARAM LPARAM [shift]
//   qvaid_driver rects HWND                   -> "x y w h" of window, then client "w h"
//   qvaid_driver children HWND                -> "HWND CLASS|TEXT" per child
//   qvaid_driver text HWND
//   qvaid_driver keystate                     -> whether this process sees Shift down
//   qvaid_driver shot HWND FILE               -> the window's client area from the screen, a 24-bit BMP
//   qvaid_driver item HWND ID                 -> "HWND VISIBLE" per descendant control with that id
//   qvaid_driver gettext|settext HWND [TEXT]  -> a control's text through WM_GETTEXT / WM_SETTEXT
//   qvaid_driver click HWND                   -> its parent told the button was clicked
//   qvaid_driver check HWND 0|1               -> the check box set, then clicked as above
//   qvaid_driver entries HWND                 -> a combo box's entries, one a line
//   qvaid_driver pick HWND TEXT               -> the combo entry selected, its parent told
//   qvaid_driver redraw HWND                  -> the whole window and its children painted again
//   qvaid_driver serve                        -> the commands above from standard input, see Serve
// "-" as CLASS or TITLE matches any; numbers may be decimal or 0x hex.
#include "QvWindows.h"
#include <tlhelp32.h>

#include "ProcessNames.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using qvaid::ProgramOf;

struct Search {
    const char* cls;
    const char* title;
    const char* program;
    int count;
    bool print;
};

BOOL CALLBACK Match(HWND w, LPARAM p) {
    Search* s = reinterpret_cast<Search*>(p);
    char cls[256] = {}, title[512] = {};
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, title, sizeof title);
    if (std::strcmp(s->cls, "-") && lstrcmpiA(cls, s->cls)) return TRUE;
    if (std::strcmp(s->title, "-") && std::strcmp(title, s->title)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (s->program && lstrcmpiA(ProgramOf(pid).c_str(), s->program)) return TRUE;
    ++s->count;
    if (s->print)
        std::printf("%llx %lu %d %d\n", (unsigned long long)(ULONG_PTR)w, pid, IsWindowVisible(w) ? 1 : 0,
                    IsIconic(w) ? 1 : 0);
    return TRUE;
}

BOOL CALLBACK Child(HWND w, LPARAM) {
    char cls[256] = {}, text[1024] = {};
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, text, sizeof text);
    std::printf("%llx %s|%s\n", (unsigned long long)(ULONG_PTR)w, cls, text);
    return TRUE;
}

ULONG_PTR Number(const char* s) { return (ULONG_PTR)std::strtoull(s, nullptr, 0); }
HWND Window(const char* s) { return (HWND)(ULONG_PTR)std::strtoull(s, nullptr, 16); }

struct ById {
    int id;
};

BOOL CALLBACK Item(HWND w, LPARAM p) {
    if (GetDlgCtrlID(w) == reinterpret_cast<ById*>(p)->id)
        std::printf("%llx %d\n", (unsigned long long)(ULONG_PTR)w, IsWindowVisible(w) ? 1 : 0);
    return TRUE;
}

LRESULT Send(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(w, msg, wp, lp, SMTO_NORMAL, 5000, &result)) return -1;
    return (LRESULT)result;
}

// What a click or a selection tells the control's parent; posted, since the
// parent may run a modal loop in answer.
BOOL Notify(HWND control, WORD code) {
    return PostMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), (LPARAM)control);
}

// Asked in UTF-16: Wine hands another process's entry back unconverted to the ANSI call.
std::string ComboEntry(HWND combo, int index) {
    LRESULT length = Send(combo, CB_GETLBTEXTLEN, (WPARAM)index, 0);
    if (length < 0) return std::string();
    std::wstring wide((size_t)length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, (WPARAM)index, (LPARAM)&wide[0], SMTO_NORMAL, 5000, &got))
        return std::string();
    char text[512] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text, nullptr, nullptr);
    return text;
}

void Shift(bool down) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = VK_SHIFT;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
}

}  // namespace

int Run(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string verb = argv[1];
    if ((verb == "find" || verb == "count") && argc >= 4) {
        Search s = {argv[2], argv[3], argc >= 5 ? argv[4] : nullptr, 0, verb == "find"};
        EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
        if (verb == "count") std::printf("%d\n", s.count);
        return 0;
    }
    if ((verb == "post" || verb == "send") && argc >= 6) {
        bool shift = argc >= 7 && std::strcmp(argv[6], "shift") == 0;
        if (shift) {
            Shift(true);
            Sleep(200);
        }
        HWND w = Window(argv[2]);
        UINT msg = (UINT)Number(argv[3]);
        WPARAM wp = (WPARAM)Number(argv[4]);
        LPARAM lp = (LPARAM)Number(argv[5]);
        BOOL ok = TRUE;
        if (verb == "post") ok = PostMessageA(w, msg, wp, lp);
        else SendMessageTimeoutA(w, msg, wp, lp, SMTO_NORMAL, 5000, nullptr);
        if (shift) {
            Sleep(1500);
            Shift(false);
        }
        return ok ? 0 : 1;
    }
    if (verb == "rects" && argc >= 3) {
        HWND w = Window(argv[2]);
        RECT r = {}, c = {};
        GetWindowRect(w, &r);
        GetClientRect(w, &c);
        std::printf("%ld %ld %ld %ld\n%ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top, c.right, c.bottom);
        return 0;
    }
    if (verb == "children" && argc >= 3) {
        EnumChildWindows(Window(argv[2]), Child, 0);
        return 0;
    }
    if (verb == "text" && argc >= 3) {
        char text[1024] = {};
        GetWindowTextA(Window(argv[2]), text, sizeof text);
        std::printf("%s\n", text);
        return 0;
    }
    if (verb == "shot" && argc >= 4) {
        HWND w = Window(argv[2]);
        RECT c = {};
        GetClientRect(w, &c);
        POINT at = {0, 0};
        ClientToScreen(w, &at);
        int width = c.right, height = c.bottom;
        // The screen is shared with test programs running beside us: bring the
        // window above theirs and let it repaint before copying its pixels.
        SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(300);
        HDC screen = GetDC(nullptr);
        HDC mem = CreateCompatibleDC(screen);
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, width, height, screen, at.x, at.y, SRCCOPY);
        GdiFlush();
        int stride = (width * 3 + 3) & ~3;
        BITMAPFILEHEADER fh = {};
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
        fh.bfSize = fh.bfOffBits + stride * height;
        FILE* f = std::fopen(argv[3], "wb");
        if (f) {
            std::fwrite(&fh, sizeof fh, 1, f);
            std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
            std::fwrite(bits, stride, height, f);
            std::fclose(f);
        }
        SelectObject(mem, old);
        DeleteObject(dib);
        DeleteDC(mem);
        ReleaseDC(nullptr, screen);
        SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return f ? 0 : 1;
    }
    if (verb == "item" && argc >= 4) {
        ById by = {(int)Number(argv[3])};
        EnumChildWindows(Window(argv[2]), Item, reinterpret_cast<LPARAM>(&by));
        return 0;
    }
    if (verb == "gettext" && argc >= 3) {
        char text[1024] = {};
        Send(Window(argv[2]), WM_GETTEXT, sizeof text, (LPARAM)text);
        std::printf("%s\n", text);
        return 0;
    }
    if (verb == "settext" && argc >= 4) return Send(Window(argv[2]), WM_SETTEXT, 0, (LPARAM)argv[3]) > 0 ? 0 : 1;
    if (verb == "click" && argc >= 3) return Notify(Window(argv[2]), BN_CLICKED) ? 0 : 1;
    if (verb == "check" && argc >= 4) {
        HWND w = Window(argv[2]);
        Send(w, BM_SETCHECK, Number(argv[3]) ? BST_CHECKED : BST_UNCHECKED, 0);
        return Notify(w, BN_CLICKED) ? 0 : 1;
    }
    if (verb == "entries" && argc >= 3) {
        HWND w = Window(argv[2]);
        for (LRESULT i = 0, n = Send(w, CB_GETCOUNT, 0, 0); i < n; ++i) std::printf("%s\n", ComboEntry(w, (int)i).c_str());
        return 0;
    }
    if (verb == "pick" && argc >= 4) {
        HWND w = Window(argv[2]);
        for (LRESULT i = 0, n = Send(w, CB_GETCOUNT, 0, 0); i < n; ++i)
            if (ComboEntry(w, (int)i) == argv[3]) {
                Send(w, CB_SETCURSEL, (WPARAM)i, 0);
                return Notify(w, CBN_SELCHANGE) ? 0 : 1;
            }
        return 1;
    }
    if (verb == "redraw" && argc >= 3) {
        return RedrawWindow(Window(argv[2]), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN) ? 0 : 1;
    }
    if (verb == "keystate") {
        Shift(true);
        Sleep(100);
        std::printf("%d\n", (GetAsyncKeyState(VK_SHIFT) & 0x8000) ? 1 : 0);
        Shift(false);
        return 0;
    }
    return 2;
}

namespace {

// One command a line, its arguments separated by tabs; each answer ends with a
// line "=end RC". A long-lived driver spares the test a Wine start per command.
int Serve() {
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        std::vector<char*> args = {const_cast<char*>("qvaid_driver")};
        line[std::strcspn(line, "\r\n")] = 0;
        for (char* at = line; at;) {
            args.push_back(at);
            if ((at = std::strchr(at, '\t'))) *at++ = 0;
        }
        int rc = Run((int)args.size(), args.data());
        std::printf("=end %d\n", rc);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "serve") == 0) return Serve();
    return Run(argc, argv);
}
