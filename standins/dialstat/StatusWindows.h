#pragma once
// dialstat.exe's windows: a top-level status window titled as the scenario's
// [Dial Stack] says and, while dialing, a WS_POPUP dialog of the same title
// with WS_CHILD|WS_TABSTOP buttons. NO cancels the dial, OK ends it at once
// with the scenario's outcome, a WM_COMMAND to the status window takes the
// stack offline. Both stay hidden until someone shows them. Runs on the
// thread that made it.
#include <string>
#include <vector>

#include "DialStackLink.h"

namespace standin {

class StatusWindows {
public:
    explicit StatusWindows(DialStackLink& link);
    ~StatusWindows();

    // Reads [Dial Stack], makes the windows; false when none could be made.
    bool Open();
    // Runs until the caller hung up (and the linger passed) or went away.
    int Run(HANDLE caller);

private:
    static LRESULT CALLBACK MainProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK DialogProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK ButtonProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);

    void EndDial(bool online);
    void RunCommands();
    void Shown(const char* which, bool shown);

    DialStackLink& link_;
    HWND main_ = nullptr, dialog_ = nullptr;
    std::string title_, outcome_;
    std::vector<std::string> buttons_;
    UINT dialDelay_ = 300, linger_ = 0;
};

}  // namespace standin
