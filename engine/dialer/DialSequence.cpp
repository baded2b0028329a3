// The secondary dialer's socket stack, loaded and dialed on its library's
// event thread: the load, hang-up, unload and connected messages, the two
// waiting timers, and the stack's status window and dialog buttons.
#include "WinSockInterface.h"
#include "WinSockControl.h"
#include "WinSockDll.h"
#include "PgmThread.h"
#include "Profile.h"
#include "SysHelpers.h"
#include "TextHelpers.h"
#include <cstring>

namespace {

WINSOCKINTERFACE* DialLine(WINSOCKCONTROL* control) {
    return control ? dynamic_cast<WINSOCKINTERFACE*>(control->dialInterface) : nullptr;
}

// A button of the dialog: its text as given, or with the mnemonic mark.
HWND FindButton(HWND dialog, const char* text) {
    char upper[64];
    _strzcpy(upper, text, sizeof upper - 1);
    _cvtupper(upper);
    const unsigned long style = WS_CHILD | WS_TABSTOP;
    HWND b = SysFindWindow(dialog, nullptr, upper, nullptr, style, style);
    if (b) return b;
    char marked[66] = "&";
    _strzcat(marked, upper, sizeof marked);
    return SysFindWindow(dialog, nullptr, marked, nullptr, style, style);
}

}  // namespace

// ---- control ---------------------------------------------------------------

BBOOL WINSOCKCONTROL::LoadWinSockAsync() {
    started = 0;
    WINSOCKDLL* d;
    {
        MSEMHOLD hold(*_WinSockLoadControl);
        d = getDll(1);
        if (!d) return 0;
        d->asyncMode = 1;
        d->buttonPressed = 0;
    }
    return d->startMonitor();
}

void WINSOCKCONTROL::UnloadWinSockAsync(BBOOL wait) {
    WINSOCKDLL* d = library;
    // Also before the load message has run: the dial must not go on after a hang-up.
    if (d && (loaded || d->asyncMode)) d->stopMonitor(wait, 1);
}

BBOOL WINSOCKCONTROL::IsWinSockBusy() {
    WINSOCKDLL* d = library;
    return d && (d->loading || d->unloading);
}

BBOOL WINSOCKCONTROL::IsWinSockReady() {
    WINSOCKDLL* d = library;
    if (dialInterface && dialInterface->connecting) {
        if (d && loaded && !d->unloading && !d->checkStatusWindow("NO", 1, 0)) d->checkStatusWindow("OK", 1, 0);
        return 0;
    }
    if (!started) return 0;
    if (dialInterface && dialerExtensions && fn.WSAIsOnline && fn.WSAIsOnline(0) == 0) return 0;
    if (dialInterface && d && dialInterface->connected && !d->unloading && d->checkStatusWindow("NO", 1, 0)) return 0;
    return 1;
}

void WINSOCKCONTROL::WinSockSetHidden(BBOOL hide) {
    hideWindow = hide;
    if (WINSOCKDLL* d = library) d->checkStatusWindow(nullptr, !hide, 0);
}

void WINSOCKCONTROL::EnableConnection(LINKINTERFACE* interfaceLine, const char* text) {
    TCPINTERFACE* line = dynamic_cast<TCPINTERFACE*>(interfaceLine);
    if (!line) return;
    line->address = 0;
    _strzcpy(line->addressText, text ? text : "", sizeof line->addressText);
    if (text && text[0] && _pWinSockDlls) {
        MSEMHOLD hold(_pWinSockDlls->lock);
        WINSOCKDLL* d = _pWinSockDlls->First();
        if (d && d->fn.inet_addr) line->address = d->fn.inet_addr(line->addressText);
    }
    WINSOCKINTERFACE* dialLine = dynamic_cast<WINSOCKINTERFACE*>(line);
    WINSOCKCONTROL* control = dialLine ? dialLine->Control() : nullptr;
    WINSOCKDLL* d = control ? control->library : nullptr;
    if (d && d->eventWindow && d->eventThreadId) {
        PostMessageA(d->eventWindow, WINSOCKDLL::HangUpMessage, 0, reinterpret_cast<LPARAM>(line));
        return;
    }
    line->failed = 0;
    line->connecting = 0;
    line->connected = 1;
    if (dialLine) dialLine->connectionState = ras::kStateConnected;
    line->state = LINE_CONNECTED;
    if (LINKINTERFACE::pStatusNotifier) LINKINTERFACE::pStatusNotifier(line, nullptr);
}

// ---- event thread ----------------------------------------------------------

void WINSOCKDLL::loadAndDial() {
    if (!owner || loading || unloading) return;
    loading = 1;
    // WSAStartup and, with extensions, WSADialModem run here; the dial pumps this thread's messages.
    BBOOL ok = owner->LoadWinSock(1, 0);
    WINSOCKINTERFACE* line = DialLine(owner);
    if (!ok || !line || unloading) {
        BBOOL cancelled = unloading;
        loading = 0;
        PostMessageA(eventWindow, HangUpMessage, 0, 0);
        if (line) {
            line->endRASDialing(0);
            line->failed = 1;
            line->connecting = 0;
            line->connectionState = ras::kStateDisconnected;
            line->state = cancelled ? LINE_CLOSED : LINE_UNABLE;
        }
        return;
    }
    loading = 0;
    line->state = LINE_STACK_OPENING;
    line->Notify(nullptr);
    line->addressText[0] = 0;
    line->address = 0;
    SendMessageA(eventWindow, ConnectedMessage, 0, reinterpret_cast<LPARAM>(line));
    checkStatusWindow(nullptr, 0, 0);
}

void WINSOCKDLL::markConnected(LINKINTERFACE* target) {
    WINSOCKINTERFACE* line = dynamic_cast<WINSOCKINTERFACE*>(target);
    if (!line) return;
    line->connected = 1;
    line->failed = 0;
    line->connecting = 0;
    line->connectionState = ras::kStateConnected;
    line->endRASDialing(1);
    line->state = LINE_CONNECTED;
    line->Notify(nullptr);
}

void WINSOCKDLL::hangUp() {
    if (!owner) return;
    WINSOCKINTERFACE* line = DialLine(owner);
    if (loading) {
        // The stack is still dialing: cancel it in its own dialog, once.
        if (unloading) return;
        unloading = 1;
        char text[16] = "";
        if (WINSOCKCONTROL::pConfigProfile)
            WINSOCKCONTROL::pConfigProfile->ReadString("Winsock Control", "Logout Command", BUFFER(text, sizeof text));
        int command = (int)_atol(text);
        if (!checkStatusWindow("NO", 1, 0) && !checkStatusWindow("OK", 1, 0) && command)
            checkStatusWindow(nullptr, 0, command);
        return;
    }
    unloading = 1;
    asyncMode = 1;
    if (line && line->links.count > 0 && waitTick(LinkTimer, LinkTickMs)) return;
    killTimer();
    if (owner->started) {
        owner->started = 0;
        if (line) {
            line->state = LINE_DISCONNECTING;
            line->Notify(nullptr);
            line->state = LINE_CLOSED;
            line->down = 1;
            line->connected = 0;
            line->connectionState = ras::kStateDisconnected;
        }
    }
    owner->cleanupWinsock();
    PostMessageA(eventWindow, UnloadMessage, 0, 0);
}

void WINSOCKDLL::unload() {
    if (!owner) return;
    owner->hideWindow = 0;
    BBOOL present = checkStatusWindow("NO", 0, 0) || checkStatusWindow("OK", 1, 0) || checkStatusWindow(nullptr, 0, 0);
    if (present && waitTick(WindowTimer, WindowTickMs)) return;
    killTimer();
    owner->UnloadWinSock(1, 1, 0);
    unloading = 0;
    PostQuitMessage(0);
}

BBOOL WINSOCKDLL::waitTick(UINT timer, int ms) {
    if ((UINT)timerId != timer) {
        killTimer();
        timerId = (int)timer;
        timerTicks = 0;
        SetTimer(eventWindow, timer, (UINT)ms, nullptr);
        return 1;
    }
    return ++timerTicks < MaxTicks;
}

void WINSOCKDLL::killTimer() {
    if (timerId) KillTimer(eventWindow, (UINT_PTR)timerId);
    timerId = 0;
    timerTicks = 0;
}

void WINSOCKDLL::threadEnded() {
    if (!asyncMode || !owner) return;
    // The thread object goes by itself; the next sequence starts a new one.
    if (PGMTHREAD* t = eventThread) {
        eventThread = nullptr;
        t->autoRelease = 1;
    }
    WINSOCKINTERFACE* line = DialLine(owner);
    if (!line) return;
    line->endRASDialing(0);
    line->connecting = 0;
    if (line->state != LINE_CLOSED) line->Notify(nullptr);
}

BBOOL WINSOCKDLL::checkStatusWindow(const char* button, BBOOL act, int command) {
    if (!owner || !owner->statusWindow[0]) return 0;
    HWND w = SysFindWindow(nullptr, nullptr, owner->statusWindow, nullptr, WS_POPUP, button ? WS_POPUP : 0);
    if (!w) {
        buttonPressed = 0;
        return 0;
    }
    if (!button) {
        if (!owner->hideWindow || loading || unloading) {
            if (act)
                ShowWindow(w, SW_SHOWNORMAL);
            else if (unloading)
                ShowWindow(w, SW_SHOWMINNOACTIVE);
        } else if (IsWindowVisible(w)) {
            ShowWindow(w, SW_HIDE);
        }
        if (command) PostMessageA(w, WM_COMMAND, (WPARAM)command, 0);
        return 1;
    }
    HWND b = FindButton(w, button);
    if (!b) {
        buttonPressed = 0;
        return 0;
    }
    if (act && !buttonPressed) {
        buttonPressed = 1;
        PostMessageA(b, BM_CLICK, 0, 0);
    }
    return 1;
}
