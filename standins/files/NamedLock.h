#pragma once
// Holds a named mutex for a scope: the stand-ins of several processes share
// the scenario and journal files through it. A lock not had within the
// time-out is given up and the work done anyway, so that a process killed
// while holding it can stall nobody for long.
#include "QvWindows.h"

namespace standin {

class NamedLock {
public:
    explicit NamedLock(const char* name, DWORD timeoutMs = 2000);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

private:
    HANDLE mutex_;
    bool held_ = false;
};

}  // namespace standin
