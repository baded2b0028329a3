#include "NamedLock.h"

namespace standin {

NamedLock::NamedLock(const char* name, DWORD timeoutMs) : mutex_(CreateMutexA(nullptr, FALSE, name)) {
    if (!mutex_) return;
    DWORD rc = WaitForSingleObject(mutex_, timeoutMs);
    held_ = rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED;
}

NamedLock::~NamedLock() {
    if (!mutex_) return;
    if (held_) ReleaseMutex(mutex_);
    CloseHandle(mutex_);
}

}  // namespace standin
