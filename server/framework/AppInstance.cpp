#include "AppInstance.h"

#include <vector>

#include "AppDefinition.h"
#include "SvrSystem.h"

namespace {
void runWorker(void* argument) {
    APPINSTANCE* instance = static_cast<APPINSTANCE*>(argument);
    instance->worker(instance);
}
}  // namespace

APPINSTANCE::APPINSTANCE(APPDEFINITION* d)
    : queue(TRUE), definition(d), wakeEvent(TRUE), forceShutdown(0), worker(nullptr), thread(nullptr),
      shared(d ? d->shared : FALSE) {}

APPINSTANCE::~APPINSTANCE() {
    StopCommunications();
    std::vector<APPREQUEST*> left;
    {
        MSEMHOLD hold(queue.lock);
        while (APPREQUEST* r = queue.RemoveFirst()) left.push_back(r);
    }
    for (APPREQUEST* r : left) {
        InterlockedDecrement(&r->queuedCount);  // no longer queued, so the free releases it
        r->FreeAppRequest(TRUE);
    }
}

void APPINSTANCE::ForceShutdown() {
    forceShutdown = TRUE;
    RequestWakeup();
}

BBOOL APPINSTANCE::StartCommunications(APPWORKERPROC w) {
    worker = w;
    if (shared || !w) return TRUE;
    thread = new PGMTHREAD(nullptr, nullptr, nullptr, FALSE);
    thread->prepare();
    if (!thread->StartUp(runWorker, this)) {
        thread->freeobj();
        thread = nullptr;
        return FALSE;
    }
    return TRUE;
}

BBOOL APPINSTANCE::StopCommunications() {
    if (!thread) return TRUE;
    if (thread->threadId) {
        forceShutdown = TRUE;
        RequestWakeup();
        thread->Wait();
    }
    thread->freeobj();
    thread = nullptr;
    return TRUE;
}

APPREQUEST* APPINSTANCE::queueAppRequest(DATAREQUEST* request) {
    if (!request) return nullptr;
    APPREQUEST* r = new APPREQUEST(request, this, dynamic_cast<APPCONNECTION*>(request->connection));
    r->prepare();
    return queueAppRequest(r);
}

APPREQUEST* APPINSTANCE::queueAppRequest(APPREQUEST* r) {
    r->instance = this;
    InterlockedIncrement(&r->queuedCount);
    {
        MSEMHOLD hold(queue.lock);
        queue.Add(*r);
    }
    if (thread || shared) RequestWakeup();
    return r;
}

void APPINSTANCE::RequestWakeup() {
    if (definition) definition->wakeup = TRUE;
    wakeEvent.PostEvent();
    if (shared && _pSvr) _pSvr->manager.wakeEvent.PostEvent();
}

BBOOL APPINSTANCE::WaitForWork() {
    if (forceShutdown) return FALSE;
    if (!shared) {
        wakeEvent.WaitEvent(QV_WAIT_FOREVER);
        wakeEvent.ResetEvent();
        if (forceShutdown) return FALSE;
    }
    if (definition) definition->wakeup = FALSE;
    return TRUE;
}

APPREQUEST* APPINSTANCE::TakeRequest() {
    for (;;) {
        APPREQUEST* r;
        {
            MSEMHOLD hold(queue.lock);
            r = queue.RemoveFirst();
        }
        if (!r) return nullptr;
        r->StartProcess(this);
        if (r->request && !r->cancelHandled) return r;
        r->FreeAppRequest(TRUE);
    }
}
