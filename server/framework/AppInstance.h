#pragma once
// One worker of a service: a queue of requests and either its own thread or
// a place in the manager's shared request monitor.
#include "QvWindows.h"
#include "Chain.h"
#include "PgmThread.h"
#include "AppRequest.h"

class APPDEFINITION;
class APPINSTANCE;

typedef void (*APPWORKERPROC)(APPINSTANCE* instance);

class APPINSTANCE : public STORABLE {
public:
    explicit APPINSTANCE(APPDEFINITION* definition);
    ~APPINSTANCE() override;  // stops a worker thread; frees what is still queued

    QV_ITEM_IDENTITY(APPINSTANCE, "APPINSTANCE", "APPI")

    // Sets forceShutdown and wakes the worker, without waiting.
    virtual void ForceShutdown();
    // Stores the worker; in per-instance mode starts its thread (FALSE when
    // it cannot run). In shared mode the manager's monitor calls it.
    virtual BBOOL StartCommunications(APPWORKERPROC worker);
    // Stops and waits for the worker thread. TRUE.
    virtual BBOOL StopCommunications();

    // A new APPREQUEST for the data request, queued; null without memory.
    APPREQUEST* queueAppRequest(DATAREQUEST* request);
    APPREQUEST* queueAppRequest(APPREQUEST* request);
    void RequestWakeup();

    // The worker contract's two halves, for worker procedures. WaitForWork:
    // FALSE when the worker must return (forced down; in per-instance mode
    // waits for the event first); clears the definition's wake-up flag.
    BBOOL WaitForWork();
    // The next request to process, started; requests without a data request
    // or already cancelled are freed on the way. Null when the queue is empty.
    APPREQUEST* TakeRequest();

    CHAIN<APPREQUEST> queue;  // its lock is the queue lock
    APPDEFINITION* definition;
    ESEMAPHORE wakeEvent;
    volatile BBOOL forceShutdown;
    APPWORKERPROC worker;
    PGMTHREAD* thread;  // per-instance mode only
    BBOOL shared;
};
