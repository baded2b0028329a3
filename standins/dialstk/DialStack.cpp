#include "DialStack.h"

#include <string>

#include "JournalLine.h"
#include "StandInFolder.h"
#include "StandInFormat.h"

namespace standin {

DialStack& DialStack::Instance() {
    static DialStack stack;
    return stack;
}

bool DialStack::StartStatusProgram() {
    // A dialstat still lingering after the last hang-up closes by itself.
    if (process_) {
        CloseHandle(process_);
        process_ = nullptr;
    }
    std::string dir = ModulePath();
    dir.erase(dir.find_last_of('\\') + 1);
    std::string cmd = "\"" + dir + "dialstat.exe\" " + std::to_string(GetCurrentProcessId());
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    return true;
}

int DialStack::WaitForOutcome() {
    DWORD start = GetTickCount();
    HANDLE waits[2] = {link_->Changed(), process_};
    for (;;) {
        DialStackLink::State s = link_->Get();
        if (s == DialStackLink::Online) return 0;
        if (s == DialStackLink::Offline) return 1;
        DWORD spent = GetTickCount() - start;
        if (spent >= kDialLimitMs) return 1;
        DWORD rc = MsgWaitForMultipleObjects(2, waits, FALSE, kDialLimitMs - spent, QS_ALLINPUT);
        if (rc == WAIT_OBJECT_0 + 1) return link_->Get() == DialStackLink::Online ? 0 : 1;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
}

int DialStack::Dial(DWORD arg) {
    int result;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!link_) link_.reset(new DialStackLink(GetCurrentProcessId(), true));
        if (link_->Get() == DialStackLink::Online) {
            result = 0;
        } else {
            link_->ClearHangUp();
            link_->Set(DialStackLink::Dialing);
            if (!link_->Ready() || !StartStatusProgram()) link_->Set(DialStackLink::Offline);
            result = -1;
        }
    }
    // Not under the lock: the caller's window procedures run meanwhile.
    if (result < 0) result = WaitForOutcome();
    JournalLine(kDialStk, "WSADialModem").Result(result).Field("arg", long(arg)).Append();
    return result;
}

int DialStack::HangUp(DWORD arg) {
    std::lock_guard<std::mutex> hold(lock_);
    if (link_) {
        link_->Set(DialStackLink::Offline);
        link_->AskHangUp();
    }
    JournalLine(kDialStk, "WSAHangUpModem").Result(0).Field("arg", long(arg)).Append();
    return 0;
}

int DialStack::IsOnline(DWORD arg) {
    std::lock_guard<std::mutex> hold(lock_);
    int online = link_ && link_->Get() == DialStackLink::Online ? 1 : 0;
    JournalLine(kDialStk, "WSAIsOnline").Result(online).Field("arg", long(arg)).Append();
    return online;
}

}  // namespace standin
