#include "MessageBoxWatcher.h"

#include "QvWindows.h"

#include <cstdio>
#include <mutex>

namespace qvtest {
namespace {

// The watcher thread runs until the process ends, after static destructors
// have run: its state lives on the heap and is never destroyed.
struct WatchState {
    std::mutex lock;
    std::vector<SeenBox> seen;
};
WatchState& State() {
    static WatchState* state = new WatchState;
    return *state;
}

std::string WindowText(HWND h) {
    char buf[2048];
    int n = GetWindowTextA(h, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

// The static text child of a message box holds its message (id 0xFFFF).
BOOL CALLBACK FindText(HWND child, LPARAM out) {
    char cls[32];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
        std::string t = WindowText(child);
        if (!t.empty()) {
            *reinterpret_cast<std::string*>(out) = t;
            return FALSE;
        }
    }
    return TRUE;
}

// The icon child of a message box is a static control of icon style.
BOOL CALLBACK FindIcon(HWND child, LPARAM out) {
    char cls[32];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") != 0 || (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
    *reinterpret_cast<void**>(out) = reinterpret_cast<void*>(SendMessageA(child, STM_GETICON, 0, 0));
    return FALSE;
}

const ULONG_PTR kTextPasses = 40;  // 2 s at one pass per 50 ms
const ULONG_PTR kSeen = 1000;

BOOL CALLBACK Dismiss(HWND h, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
    char cls[32];
    GetClassNameA(h, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(h)) return TRUE;
    // Pass count per box: 0 new, kSeen once recorded and dismissed.
    ULONG_PTR passes = reinterpret_cast<ULONG_PTR>(GetPropA(h, "qvtest.seen"));
    if (passes >= kSeen) return TRUE;
    SeenBox box;
    box.caption = WindowText(h);
    EnumChildWindows(h, FindText, reinterpret_cast<LPARAM>(&box.text));
    // In a fresh Wine prefix a box can turn visible before its text is set:
    // look again on the next passes, for a while, before taking it as it is.
    if (box.text.empty() && passes + 1 < kTextPasses) {
        SetPropA(h, "qvtest.seen", reinterpret_cast<HANDLE>(passes + 1));
        return TRUE;
    }
    SetPropA(h, "qvtest.seen", reinterpret_cast<HANDLE>(kSeen));
    EnumChildWindows(h, FindIcon, reinterpret_cast<LPARAM>(&box.icon));
    {
        std::lock_guard<std::mutex> g(State().lock);
        State().seen.push_back(box);
    }
    // Buttons differ per box: OK, then Cancel, then close the window.
    if (GetDlgItem(h, IDOK))
        PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(h, IDOK)));
    else if (GetDlgItem(h, IDCANCEL))
        PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(h, IDCANCEL)));
    else
        PostMessageA(h, WM_CLOSE, 0, 0);
    return TRUE;
}

DWORD WINAPI WatchLoop(LPVOID ready) {
    EnumWindows(Dismiss, 0);
    SetEvent(static_cast<HANDLE>(ready));
    for (;;) {
        Sleep(50);
        EnumWindows(Dismiss, 0);
    }
}

}  // namespace

void StartMessageBoxWatcher() {
    static bool started = false;
    if (started) return;
    started = true;
    State();
    // Wine can crash a process that ends while this thread is still setting
    // up its first window calls: start only once a first pass is done.
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE t = CreateThread(nullptr, 0, WatchLoop, ready, 0, nullptr);
    if (t) {
        // After a timeout the thread may still signal: keep the event then.
        if (WaitForSingleObject(ready, 30000) == WAIT_OBJECT_0) CloseHandle(ready);
        CloseHandle(t);
    } else if (ready) {
        CloseHandle(ready);
    }
}

std::vector<SeenBox> SeenBoxes() {
    std::lock_guard<std::mutex> g(State().lock);
    return State().seen;
}

void PrintSeenBoxes() {
    for (auto& b : SeenBoxes()) std::printf("BOX[%s|%s]\n", b.caption.c_str(), b.text.c_str());
    std::fflush(stdout);
}

void ClearSeenBoxes() {
    std::lock_guard<std::mutex> g(State().lock);
    State().seen.clear();
}

}  // namespace qvtest
