#pragma once
// The program module (string table, resources) and the thread objects every
// thread of the system runs in.
#include "QvWindows.h"

#include "BaseItem.h"
#include "Semaphore.h"

class PGMMODULE {
public:
    HINSTANCE instance;  // whose string table and resources are read
    HWND window;         // the application's main window
    HANDLE extra;
    long reserved[3];

    PGMMODULE() : instance(nullptr), window(nullptr), extra(nullptr), reserved{0, 0, 0} {}

    // Texts are kept in three buffers of the calling thread's PGMTHREAD, so
    // a text stays valid until that thread has made three more calls; an
    // unregistered thread gets an empty text.
    char* GetRCString(int id);
    // Copies a raw-data resource; with a null data pointer returns its size.
    int GetResource(const char* name, const BUFFER& out);
};

typedef void (*PGMTHREADPROC)(void* argument);

class PGMTHREAD : public virtual STORABLE {
public:
    long reserved0;
    PGMTHREADPROC procedure;
    void* argument;
    unsigned long threadId;  // non-zero while the thread runs
    PGMTHREAD** selfSlot;    // holds this object while its thread runs
    BBOOL autoRelease;       // released by its own thread when the procedure returns
    long started;
    long stopOnWait;         // Wait ends the thread by force
    ESEMAPHORE* stopEvent;   // posted when Wait stops it by force
    long priorityClass;
    long priority;
    bSPOINTER* chainCell;    // our cell in the support object's thread chain
    HANDLE handle;
    char texts[3][256];
    long textIndex;

    PGMTHREAD(PGMTHREADPROC procedure = nullptr, void* argument = nullptr, PGMTHREAD** selfSlot = nullptr,
              BBOOL autoRelease = FALSE);
    ~PGMTHREAD() override;

    BBOOL StartUp(PGMTHREADPROC procedure = nullptr, void* argument = nullptr);
    BBOOL Stop();
    void Wait();
    static void WaitByID(unsigned long id);
    static PGMTHREAD* FindThread(unsigned long id);
    static PGMTHREAD* GetCurrent();
    static unsigned long GetCurrentID();
    void ExecSetup();
    void CleanUp();
    void SetPriority(int priorityClass, int priority);
    static unsigned __stdcall RunThread(void* object);

    QV_ITEM_IDENTITY(PGMTHREAD, "PGMTHREAD", "THRD")

private:
    HANDLE DuplicateOwnHandle();
    // Set by the new thread as its first step: ending a thread that has not
    // yet left the system's start-up code can take the whole process down.
    volatile LONG entered = 0;
};

// Registers a thread the system did not start (a remote-access or test thread)
// as a program thread for the scope, so that it reads texts like the others;
// on a program thread it does nothing.
class PGMTHREADSCOPE {
public:
    PGMTHREADSCOPE();
    ~PGMTHREADSCOPE();
    PGMTHREADSCOPE(const PGMTHREADSCOPE&) = delete;
    PGMTHREADSCOPE& operator=(const PGMTHREADSCOPE&) = delete;

private:
    PGMTHREAD* adopted;
};
