#pragma once
// One loaded socket library, shared by the controls that name it, with its
// event thread and hidden window on which asynchronous host look-ups answer.
#include "WinSockControl.h"
#include "Chain.h"
#include "TimeStamp.h"

class WINSOCKDLL;

// One asynchronous host look-up; owned by its library's chain.
class WINSOCKREQUEST : public STORABLE {
public:
    WINSOCKREQUEST(WINSOCKDLL* library, WINSOCKLINK* link);
    ~WINSOCKREQUEST() override;

    QV_ITEM_IDENTITY(WINSOCKREQUEST, "WINSOCKREQUEST", "TWSR")

    // Forgets the link and asks the library to drop the look-up; swept later.
    void CancelRequest();

    char hostName[256];
    WINSOCKDLL* library;
    WINSOCKLINK* volatile link;  // null once cancelled
    HANDLE task;                 // 0 = none
    char* buffer;                // where the library writes the host entry
    bSPOINTER* node;
    TIMESTAMP cancelTime;        // 0 until cancelled

    static const int BufferSize = 1024;
};

class WINSOCKDLL : public STORABLE {
public:
    explicit WINSOCKDLL(const char* name);  // joins _pWinSockDlls
    ~WINSOCKDLL() override;

    QV_ITEM_IDENTITY(WINSOCKDLL, "WINSOCKDLL", "TWSD")

    BBOOL loadWinsock();
    void unloadWinsock();
    BBOOL startMonitor();
    // Asks the event thread to end (async: to hang up, then end); with wait,
    // waits at most StopWaitMs for it. TRUE when no event thread runs any more.
    BBOOL stopMonitor(BBOOL wait, BBOOL async);
    static void winSockAsyncProc(void* instance);
    // Nonzero when this instance handled the message.
    LRESULT WinSockEventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The stack's status window (no button) or its dialog's button: TRUE when
    // found; act shows the window or presses the button (once); command is
    // posted to the window. Event thread, or a caller asking readiness.
    BBOOL checkStatusWindow(const char* button, BBOOL act, int command);
    // Add and remove under the chain's lock; removing releases the request.
    void AddRequest(WINSOCKREQUEST* request);
    void RemoveRequest(WINSOCKREQUEST* request);

    char name[256];
    HMODULE libraryHandle;
    HMODULE extensionHandle;
    int useCount;  // under _WinSockLoadControl
    bSPOINTER* node;
    WINSOCKCONTROL* owner;
    PGMTHREAD* eventThread;  // released by the thread itself once an asynchronous sequence ends
    // The running event thread, 0 once it has ended; with the window, set and
    // cleared by the thread under eventLock: a message posted under that lock
    // never reaches a later thread that took the same id over.
    volatile unsigned long eventThreadId;
    HANDLE eventThreadHandle;  // the last event thread's, our own: waitable after its end; under eventLock
    MSEMAPHORE eventLock;
    BBOOL asyncMode;
    volatile HWND eventWindow;
    int timerId;
    int timerTicks;
    BBOOL buttonPressed;
    BBOOL loading;
    BBOOL unloading;
    CHAIN<WINSOCKREQUEST> requests;  // its own lock: link threads add, the event thread removes
    WINSOCKFUNCTIONS fn;
    ESEMAPHORE windowReady;  // posted once the event thread has made its window, or failed

    static const UINT LookupMessage = WM_USER + 101;
    static const UINT LoadMessage = WM_USER + 102;       // load the stack and dial
    static const UINT HangUpMessage = WM_USER + 103;     // hang up and stop the stack
    static const UINT UnloadMessage = WM_USER + 104;     // unload and end the thread
    static const UINT ConnectedMessage = WM_USER + 105;  // lParam: the line now connected
    static const UINT LinkTimer = 1;    // waits for the line's links before the hang-up goes on
    static const UINT WindowTimer = 2;  // waits for the stack's windows before the unload
    static const int LinkTickMs = 500;
    static const int WindowTickMs = 1000;
    static const int MaxTicks = 10;
    // Longest wait for the event thread to end: its hang-up and unload take at
    // most MaxTicks ticks of each timer.
    static const int StopWaitMs = 30000;
    // A cancelled request is kept this long in case its answer still comes.
    static const unsigned long SweepSeconds = 100;

private:
    void LookupAnswered(WPARAM task, LPARAM status);
    // The dialing stack's sequences, on the event thread.
    void loadAndDial();
    void hangUp();
    void unload();
    void markConnected(LINKINTERFACE* line);
    // The running timer ticks once more; TRUE while it should keep waiting.
    BBOOL waitTick(UINT timer, int ms);
    void killTimer();
    void threadEnded();
    // The event thread records itself, and clears itself as it leaves.
    void threadEntered(HWND window);
    void threadLeaving();
};

extern CHAIN<WINSOCKDLL>* _pWinSockDlls;

extern const char WinSockEventClass[];   // "Quorvane Winsock Event Class"
extern const char WinSockEventTitle[];   // "Quorvane Winsock Event Window"

// The event window's procedure; the program exports it by this name.
extern "C" LRESULT CALLBACK WinSockEventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
