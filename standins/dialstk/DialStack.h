#pragma once
// The dialer extensions of dialstk.dll, in the calling program: dialing
// starts dialstat.exe (from dialstk.dll's own folder), which shows the
// stack's status windows and decides the outcome; the caller's messages are
// pumped while it waits. Thread-safe.
#include <memory>
#include <mutex>

#include "DialStackLink.h"

namespace standin {

class DialStack {
public:
    static DialStack& Instance();

    // 0 when online, 1 when not (dial failed, cancelled, or dialstat missing).
    int Dial(DWORD arg);
    int HangUp(DWORD arg);
    int IsOnline(DWORD arg);

private:
    // Longest wait for a dial, whatever the scenario says.
    static const DWORD kDialLimitMs = 60000;

    bool StartStatusProgram();
    // Pumps this thread's messages until the dial has ended; the result of Dial.
    int WaitForOutcome();

    std::mutex lock_;
    std::unique_ptr<DialStackLink> link_;
    HANDLE process_ = nullptr;  // the running dialstat.exe
};

}  // namespace standin
