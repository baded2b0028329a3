#pragma once
// What dialstk.dll (in the calling program) and dialstat.exe (the stack's
// status windows, another process) share about one caller's dial: a small
// named block with the stack's state, an event set at every change of it,
// and an event that asks the windows to close. Named after the caller's pid.
#include "QvWindows.h"

namespace standin {

class DialStackLink {
public:
    enum State : LONG { Idle = 0, Dialing = 1, Online = 2, Offline = 3 };

    // Creates (the caller) or opens (dialstat) the objects of that caller.
    DialStackLink(DWORD callerPid, bool create);
    ~DialStackLink();
    DialStackLink(const DialStackLink&) = delete;
    DialStackLink& operator=(const DialStackLink&) = delete;

    bool Ready() const { return block_ != nullptr; }
    State Get() const;
    void Set(State s);
    void AskHangUp();
    void ClearHangUp();
    HANDLE Changed() const { return changed_; }  // auto-reset
    HANDLE HangUp() const { return hangUp_; }    // manual-reset

private:
    struct Block {
        volatile LONG state;
    };
    HANDLE mapping_ = nullptr, changed_ = nullptr, hangUp_ = nullptr;
    Block* block_ = nullptr;
};

}  // namespace standin
