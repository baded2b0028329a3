#pragma once
// The application object of the test program, message pumping, and scripted
// steps that run from inside a modal loop.
#include "QvWindows.h"

#include <functional>

#include "zApp.h"

namespace dlgkit {

zApp* App();

// Runs the messages waiting now.
void Pump();

// Runs messages until the object is signalled; false when ms pass first.
bool PumpUntil(HANDLE object, unsigned ms);

// Runs fn once, from the message loop, after ms milliseconds.
void Later(unsigned ms, std::function<void()> fn);

// Ends a modal run that nobody ends, so a broken test fails instead of hanging.
class Watchdog {
public:
    explicit Watchdog(unsigned ms = 5000);
    ~Watchdog();
    bool fired() const;

private:
    UINT_PTR id_;
};

// The rectangle of a child window in its parent's client coordinates.
RECT ChildRect(HWND child);

}  // namespace dlgkit
