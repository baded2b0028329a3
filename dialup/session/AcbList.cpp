#include "AcbList.h"

#include <new>

namespace {

CRITICAL_SECTION g_lock;
bool g_lockMade = false;  // set by attach, cleared by detach
ACB* g_first = nullptr;   // guarded by g_lock

class LISTLOCK {
public:
    LISTLOCK() { EnterCriticalSection(&g_lock); }
    ~LISTLOCK() { LeaveCriticalSection(&g_lock); }
    LISTLOCK(const LISTLOCK&) = delete;
    LISTLOCK& operator=(const LISTLOCK&) = delete;
};

}  // namespace

void _InitACBList() {
    if (!g_lockMade) {
        InitializeCriticalSection(&g_lock);
        g_lockMade = true;
    }
    LISTLOCK hold;
    g_first = nullptr;
}

void _DeInitACBList() {
    if (!g_lockMade) return;
    {
        LISTLOCK hold;
        while (g_first) {
            ACB* next = g_first->next;
            delete g_first;
            g_first = next;
        }
    }
    DeleteCriticalSection(&g_lock);
    g_lockMade = false;
}

ACB* _FindACBFromConn(ras::Handle conn, bool create) {
    if (!g_lockMade) return nullptr;
    LISTLOCK hold;
    ACB** at = &g_first;
    for (; *at; at = &(*at)->next)
        if ((*at)->session.conn == conn) return *at;
    if (!create) return nullptr;
    ACB* acb = new (std::nothrow) ACB();
    if (!acb) return nullptr;
    acb->session.conn = conn;
    *at = acb;
    return acb;
}

bool _SignalACBStop(ras::Handle conn) {
    if (!g_lockMade) return false;
    LISTLOCK hold;
    for (ACB* acb = g_first; acb; acb = acb->next)
        if (acb->session.conn == conn) {
            SetEvent(acb->stopEvent);
            return true;
        }
    return false;
}

void _CleanupACB(ACB* acb) {
    if (!g_lockMade || !acb) return;
    LISTLOCK hold;
    for (ACB** at = &g_first; *at; at = &(*at)->next)
        if (*at == acb) {
            *at = acb->next;
            delete acb;
            return;
        }
}
