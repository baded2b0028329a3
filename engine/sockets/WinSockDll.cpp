#include "WinSockDll.h"
#include "WinSockLink.h"
#include "SysHelpers.h"
#include "PgmThread.h"
#include <cstring>
#include <new>
#include "Profile.h"

// ---- requests ------------------------------------------------------------

WINSOCKREQUEST::WINSOCKREQUEST(WINSOCKDLL* d, WINSOCKLINK* l)
    : library(d), link(l), task(nullptr), buffer(new (std::nothrow) char[BufferSize]), node(nullptr) {
    hostName[0] = 0;
}

WINSOCKREQUEST::~WINSOCKREQUEST() {
    delete[] buffer;
    if (node && library && !library->requests.removingAll && node->linked) library->requests.bRemove(*node, 1);
    node = nullptr;
}

void WINSOCKREQUEST::CancelRequest() {
    // Under the chain's lock: an answer being delivered finishes before the link may go.
    MSEMHOLD hold(library->requests.lock);
    link = nullptr;
    if (task) {
        cancelTime = TIMESTAMP(TIMESTAMP::Now(), 0);
        if (library->fn.WSACancelAsyncRequest) library->fn.WSACancelAsyncRequest(task);
    }
}

// ---- library -------------------------------------------------------------

WINSOCKDLL::WINSOCKDLL(const char* text)
    : libraryHandle(nullptr), extensionHandle(nullptr), useCount(0), node(nullptr), owner(nullptr),
      eventThread(nullptr), eventThreadId(0), eventThreadHandle(nullptr), eventLock(1), asyncMode(0), eventWindow(nullptr), timerId(0), timerTicks(0), buttonPressed(0),
      loading(0), unloading(0), requests(1), fn(), windowReady(1) {
    size_t n = text ? strnlen(text, sizeof(name) - 1) : 0;
    if (n) memcpy(name, text, n);
    name[n] = 0;
    node = &_pWinSockDlls->Add(*this);
}

WINSOCKDLL::~WINSOCKDLL() {
    {
        MSEMHOLD hold(requests.lock);
        for (bSPOINTER* c = requests.first; c->target; c = c->next) static_cast<WINSOCKREQUEST*>(c->target)->node = nullptr;
        requests.RemoveAll(1, nullptr);
    }
    if (node && _pWinSockDlls && !_pWinSockDlls->removingAll && node->linked) _pWinSockDlls->bRemove(*node, 1);
    node = nullptr;
    if (eventThreadHandle) CloseHandle(eventThreadHandle);
    eventThreadHandle = nullptr;
}

void WINSOCKDLL::AddRequest(WINSOCKREQUEST* r) {
    MSEMHOLD hold(requests.lock);
    r->node = &requests.Add(*r);
}

void WINSOCKDLL::RemoveRequest(WINSOCKREQUEST* r) {
    {
        MSEMHOLD hold(requests.lock);
        if (r->node && r->node->linked) requests.bRemove(*r->node, 1);
        r->node = nullptr;
    }
    r->freeobj();
}

BBOOL WINSOCKDLL::loadWinsock() {
    char path[MAX_PATH];
    OFSTRUCT found = {};
    if (OpenFile(name, &found, OF_EXIST) == HFILE_ERROR) return 0;
    memcpy(path, found.szPathName, sizeof(found.szPathName));
    path[sizeof(found.szPathName) - 1] = 0;
    libraryHandle = SysLibraryLoad(path, WinSockEntryTable(0));
    if (!libraryHandle) return 0;
    if (owner && owner->dialerExtensions) {
        char extension[128] = "";
        if (WINSOCKCONTROL::pConfigProfile)
            WINSOCKCONTROL::pConfigProfile->ReadString("Winsock Control", "Extension DLL Name",
                                                       BUFFER(extension, sizeof(extension)));
        BBOOL bound;
        if (extension[0] && strcmp(extension, name) != 0) {
            extensionHandle = SysLibraryLoad(extension, WinSockEntryTable(1));
            bound = extensionHandle != nullptr;
        } else {
            bound = SysLibraryResolve(libraryHandle, WinSockEntryTable(1)) == 0;
        }
        if (!bound) {
            unloadWinsock();
            return 0;
        }
    }
    fn = WinSockBoundEntries();
    if (!(owner && owner->dialerExtensions)) fn.WSADialModem = fn.WSAHangUpModem = fn.WSAIsOnline = nullptr;
    return 1;
}

void WINSOCKDLL::unloadWinsock() {
    if (libraryHandle) SysLibraryFree(libraryHandle);
    if (extensionHandle) SysLibraryFree(extensionHandle);
    libraryHandle = nullptr;
    extensionHandle = nullptr;
}

BBOOL WINSOCKDLL::startMonitor() {
    if (eventThread && eventThread->threadId) return 1;
    if (eventThread) {
        eventThread->freeobj();
        eventThread = nullptr;
    }
    PGMTHREAD* t = new PGMTHREAD(nullptr, nullptr, nullptr, 0);
    t->prepare();
    windowReady.ResetEvent();
    // The thread's own reference: its sequences may unload the library while they run.
    prepare();
    eventThread = t;
    if (!t->StartUp(winSockAsyncProc, this)) {
        eventThread = nullptr;
        t->freeobj();
        freeobj();
        return 0;
    }
    // Look-ups need the window: a link opened right after loading may ask for one at once.
    windowReady.WaitEvent(10000);
    return 1;
}

BBOOL WINSOCKDLL::stopMonitor(BBOOL wait, BBOOL async) {
    HANDLE thread = nullptr;
    {
        MSEMHOLD hold(eventLock);
        if (eventThreadId) {
            if (eventWindow) PostMessageA(eventWindow, async ? HangUpMessage : WM_QUIT, 0, 0);
            // The thread's queue too, should the window be gone.
            if (!async) PostThreadMessageA(eventThreadId, WM_QUIT, 0, 0);
        }
        if (wait && eventThreadHandle && eventThreadId != GetCurrentThreadId())
            DuplicateHandle(GetCurrentProcess(), eventThreadHandle, GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
    }
    if (!wait) return TRUE;
    // By handle, never by id: an ended thread's id may already be another's.
    BBOOL ended = TRUE;
    if (thread) {
        ended = WaitForSingleObject(thread, StopWaitMs) == WAIT_OBJECT_0;
        CloseHandle(thread);
    }
    if (!ended) {
        QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cpl", "WinSock event thread still running", this, (long)eventThreadId);
        return FALSE;
    }
    if (eventThread && !eventThread->threadId) {
        eventThread->freeobj();
        eventThread = nullptr;
    }
    return TRUE;
}

void WINSOCKDLL::threadEntered(HWND window) {
    HANDLE own = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &own, SYNCHRONIZE, FALSE, 0);
    MSEMHOLD hold(eventLock);
    if (eventThreadHandle) CloseHandle(eventThreadHandle);
    eventThreadHandle = own;
    eventThreadId = GetCurrentThreadId();
    eventWindow = window;
}

void WINSOCKDLL::threadLeaving() {
    MSEMHOLD hold(eventLock);
    eventThreadId = 0;
    eventWindow = nullptr;
}

void WINSOCKDLL::winSockAsyncProc(void* instance) {
    WINSOCKDLL* d = static_cast<WINSOCKDLL*>(instance);
    HWND w = CreateWindowExA(0, WinSockEventClass, WinSockEventTitle, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!w) {
        d->windowReady.PostEvent();
        d->freeobj();
        return;
    }
    SetWindowLongPtrA(w, 0, (LONG_PTR)d);
    d->threadEntered(w);
    d->windowReady.PostEvent();
    if (d->asyncMode) PostMessageA(w, LoadMessage, 0, 0);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    d->threadEnded();
    d->threadLeaving();
    DestroyWindow(w);
    d->freeobj();
}

LRESULT WINSOCKDLL::WinSockEventProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case LookupMessage:
        LookupAnswered(wParam, lParam);
        return 1;
    case LoadMessage:
        loadAndDial();
        return 1;
    case HangUpMessage:
        hangUp();
        return 1;
    case UnloadMessage:
        unload();
        return 1;
    case WM_CLOSE:
        // Not the user's window: closing every window of the program (as a
        // task list's end does) would leave look-ups unanswered and the thread
        // deaf to the quit posted to its window. It ends with its library.
        return 1;
    case ConnectedMessage:
        markConnected(reinterpret_cast<LINKINTERFACE*>(lParam));
        return 1;
    case WM_TIMER:
        if (wParam == LinkTimer || wParam == WindowTimer)
            PostMessageA(eventWindow, wParam == LinkTimer ? HangUpMessage : UnloadMessage, 0, 0);
        return 1;
    }
    return 0;
}

void WINSOCKDLL::LookupAnswered(WPARAM task, LPARAM status) {
    MSEMHOLD hold(requests.lock);
    WINSOCKREQUEST* match = nullptr;
    unsigned long now = TIMESTAMP::Now();
    bSPOINTER* c = requests.first;
    while (c->target) {
        bSPOINTER* next = c->next;
        WINSOCKREQUEST* r = static_cast<WINSOCKREQUEST*>(c->target);
        if ((WPARAM)r->task == task && !match) {
            match = r;
        } else if (!r->link && r->cancelTime.seconds && now - r->cancelTime.seconds > SweepSeconds) {
            r->node = nullptr;
            requests.bRemove(*c, 1);
            r->freeobj();
        }
        c = next;
    }
    if (!match) return;
    int error = WSAGETASYNCERROR(status);
    unsigned long address = 0xFFFFFFFFUL;
    if (!error) {
        // The entry's pointers point into the buffer; none may lead outside it.
        const char* lo = match->buffer;
        const char* hi = match->buffer + WINSOCKREQUEST::BufferSize;
        const hostent* h = reinterpret_cast<const hostent*>(match->buffer);
        char** list = h->h_addr_list;
        const char* first = nullptr;
        if ((const char*)list >= lo && (const char*)(list + 1) <= hi) first = list[0];
        if (first && first >= lo && first + 4 <= hi && h->h_length >= 4)
            memcpy(&address, first, 4);
        else
            error = 11004;  // an entry without an address
    }
    char host[256];
    memcpy(host, match->hostName, sizeof(host));
    WINSOCKLINK* link = match->link;
    QV_TRACE(TRACE_FUNCTION, TRACE_FUNCTION_EXECUTED, "cspi", "WSAAsyncGetHost-Result", host, link, error);
    match->link = nullptr;
    if (match->node && match->node->linked) requests.bRemove(*match->node, 1);
    match->node = nullptr;
    match->freeobj();
    if (link) link->ProcessHostName(host, address, error);
}

extern "C" LRESULT CALLBACK WinSockEventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WINSOCKDLL* d = reinterpret_cast<WINSOCKDLL*>(GetWindowLongPtrA(window, 0));
    if (d && d->WinSockEventProc(window, message, wParam, lParam)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}
