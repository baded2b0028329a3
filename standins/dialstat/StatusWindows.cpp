#include "StatusWindows.h"

#include "ControlFeed.h"
#include "JournalLine.h"
#include "Scenario.h"
#include "StandInFormat.h"

namespace standin {
namespace {

const char kMainClass[] = "QvStandInDialStatus";
const char kDialogClass[] = "QvStandInDialDialog";
const UINT_PTR kDialTimer = 1, kPollTimer = 2, kLingerTimer = 3;
const UINT kPollMs = 50;  // control commands run within 100 ms
const char kButtonProcProp[] = "QvStandInButtonProc";

StatusWindows* g_windows = nullptr;  // the one of this program

std::string Plain(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '&') out += c;
    return out;
}

}  // namespace

StatusWindows::StatusWindows(DialStackLink& link) : link_(link) { g_windows = this; }

StatusWindows::~StatusWindows() { g_windows = nullptr; }

bool StatusWindows::Open() {
    Scenario s = Scenario::Load();
    s.JournalUnknownKeys(kDialStat);
    title_ = s.Get("Dial Stack", "Title", "DIAL STACK STATUS");
    outcome_ = s.Get("Dial Stack", "Outcome", "online");
    buttons_ = s.GetList("Dial Stack", "Buttons");
    if (!s.Has("Dial Stack", "Buttons")) buttons_ = {"NO", "OK"};
    dialDelay_ = UINT(s.GetNumber("Dial Stack", "DialDelay", 300));
    linger_ = UINT(s.GetNumber("Dial Stack", "Linger", 0));

    HINSTANCE self = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.hInstance = self;
    wc.lpfnWndProc = MainProc;
    wc.lpszClassName = kMainClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassA(&wc);
    wc.lpfnWndProc = DialogProc;
    wc.lpszClassName = kDialogClass;
    RegisterClassA(&wc);

    main_ = CreateWindowExA(0, kMainClass, title_.c_str(), WS_OVERLAPPEDWINDOW, 20, 20, 260, 120, nullptr, nullptr,
                            self, nullptr);
    if (!main_) return false;
    dialog_ = CreateWindowExA(WS_EX_DLGMODALFRAME, kDialogClass, title_.c_str(), WS_POPUP | WS_CAPTION, 40, 40, 240,
                              100, nullptr, nullptr, self, nullptr);
    if (dialog_) {
        int x = 10;
        for (size_t i = 0; i < buttons_.size(); ++i) {
            std::string plain = Plain(buttons_[i]);
            HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(plain == "NO" ? IDNO : plain == "OK" ? IDOK : 100 + int(i)));
            HWND b = CreateWindowExA(0, "BUTTON", buttons_[i].c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                     x, 30, 70, 24, dialog_, id, self, nullptr);
            if (!b) continue;
            // A click posted to a hidden dialog must still reach it.
            SetPropA(b, kButtonProcProp,
                     reinterpret_cast<HANDLE>(SetWindowLongPtrA(b, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonProc))));
            x += 80;
        }
        JournalLine(kDialStat, "dialog").Field("title", title_).Append();
        SetTimer(dialog_, kDialTimer, dialDelay_, nullptr);
    } else {
        EndDial(false);
    }
    SetTimer(main_, kPollTimer, kPollMs, nullptr);
    return true;
}

int StatusWindows::Run(HANDLE caller) {
    bool hangUpSeen = false;
    for (;;) {
        HANDLE waits[2];
        DWORD n = 0, hangUpAt = MAXDWORD, callerAt = MAXDWORD;
        if (!hangUpSeen) waits[hangUpAt = n++] = link_.HangUp();
        if (caller) waits[callerAt = n++] = caller;
        DWORD rc = MsgWaitForMultipleObjects(n, waits, FALSE, INFINITE, QS_ALLINPUT);
        if (rc == WAIT_OBJECT_0 + callerAt) break;  // the caller has gone
        if (rc == WAIT_OBJECT_0 + hangUpAt) {
            hangUpSeen = true;
            EndDial(false);
            // From now on a new dial may run with another dialstat: leave the state to it.
            KillTimer(main_, kPollTimer);
            SetTimer(main_, kLingerTimer, linger_, nullptr);
        }
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) return int(m.wParam);
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    return 0;
}

void StatusWindows::EndDial(bool online) {
    if (dialog_) {
        HWND d = dialog_;
        dialog_ = nullptr;
        DestroyWindow(d);
    }
    if (link_.Get() == DialStackLink::Dialing || !online) link_.Set(online ? DialStackLink::Online : DialStackLink::Offline);
}

void StatusWindows::RunCommands() {
    for (const Command& c : ControlFeed::Process().Take()) {
        if (c.name == kCommandStackOffline)
            EndDial(false);
        else if (c.name != kCommandDrop && c.name != kCommandFailNext && c.name != kCommandConnectExternal)
            JournalLine(kDialStat, "ignored").Field("line", c.line).Append();
    }
}

void StatusWindows::Shown(const char* which, bool shown) {
    if (shown) JournalLine(kDialStat, "shown").Field("window", which).Append();
}

LRESULT CALLBACK StatusWindows::MainProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    StatusWindows* self = g_windows;
    if (!self) return DefWindowProcA(w, msg, wp, lp);
    switch (msg) {
    case WM_SHOWWINDOW:
        self->Shown("status", wp != 0);
        break;
    case WM_TIMER:
        if (wp == kPollTimer) self->RunCommands();
        if (wp == kLingerTimer) DestroyWindow(w);
        return 0;
    case WM_COMMAND:
        JournalLine(kDialStat, "command").Field("id", long(LOWORD(wp))).Append();
        self->EndDial(false);
        return 0;
    case WM_CLOSE:
        return 0;  // closed only through a hang-up
    case WM_DESTROY:
        JournalLine(kDialStat, "closed").Append();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

LRESULT CALLBACK StatusWindows::DialogProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    StatusWindows* self = g_windows;
    if (!self) return DefWindowProcA(w, msg, wp, lp);
    switch (msg) {
    case WM_SHOWWINDOW:
        self->Shown("dialog", wp != 0);
        break;
    case WM_TIMER:
        if (wp == kDialTimer) self->EndDial(self->outcome_ == "online");
        return 0;
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED) {
            char text[64] = "";
            GetWindowTextA(reinterpret_cast<HWND>(lp), text, sizeof text);
            JournalLine(kDialStat, "click").Field("button", text).Field("id", long(LOWORD(wp))).Append();
            if (LOWORD(wp) == IDNO) self->EndDial(false);
            if (LOWORD(wp) == IDOK) self->EndDial(self->outcome_ == "online");
        }
        return 0;
    case WM_CLOSE:
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

LRESULT CALLBACK StatusWindows::ButtonProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC old = reinterpret_cast<WNDPROC>(GetPropA(w, kButtonProcProp));
    if (msg == BM_CLICK) {
        PostMessageA(GetParent(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED), reinterpret_cast<LPARAM>(w));
        return 0;
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemovePropA(w, kButtonProcProp);
    }
    return CallWindowProcA(old, w, msg, wp, lp);
}

}  // namespace standin
