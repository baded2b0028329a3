#pragma once
// Waits for evidence instead of for a fixed time: polls a condition until it
// holds or the limit passes, and says which.
#include "QvWindows.h"

namespace qvtest {

template <class Condition>
bool WaitFor(Condition done, DWORD limitMs = 20000, DWORD stepMs = 5) {
    for (DWORD start = GetTickCount();; Sleep(stepMs)) {
        if (done()) return true;
        if (GetTickCount() - start >= limitMs) return done();
    }
}

}  // namespace qvtest
