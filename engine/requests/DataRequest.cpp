#include "DataRequest.h"
#include "DataManager.h"
#include "DataConnection.h"
#include "DataStore.h"
#include "CommLink.h"
#include "SpControl.h"
#include "TaskAbend.h"
#include "QvWindows.h"
#include <cstring>

namespace {
// Guards the queue counters, the release flags, the reference counts of queued messages
// and the links between a request and its results.
struct ReleaseLock {
    CRITICAL_SECTION cs;
    ReleaseLock() { InitializeCriticalSection(&cs); }
    ~ReleaseLock() { DeleteCriticalSection(&cs); }
};
ReleaseLock& TheReleaseLock() {
    static ReleaseLock lock;
    return lock;
}

// Releases destroy messages, and destroying anything holds the object-cleanup
// lock while the program serialises destruction; destructors of messages and
// of their holders release in turn. With two locks a release on one thread and
// a destruction on another would each wait for the other's lock, so while the
// support object exists (and with it that lock) the cleanup lock is the
// release lock too.
CRITICAL_SECTION* ReleaseSection() { return _pSupport ? &_CSObjectCleanup : &TheReleaseLock().cs; }

// The section this thread's outermost EnterRelease chose: nested enters and every
// leave use it, so a pair never takes one lock and leaves the other when the
// support object comes or goes in between.
thread_local CRITICAL_SECTION* tReleaseHeld = nullptr;
thread_local int tReleaseDepth = 0;
}  // namespace

void DATAREQBASE::EnterRelease() {
    if (tReleaseDepth == 0) tReleaseHeld = ReleaseSection();
    EnterCriticalSection(tReleaseHeld);
    ++tReleaseDepth;
}

void DATAREQBASE::LeaveRelease() {
    if (tReleaseDepth == 0) return;  // not entered on this thread
    CRITICAL_SECTION* held = tReleaseHeld;
    if (--tReleaseDepth == 0) tReleaseHeld = nullptr;
    LeaveCriticalSection(held);
}

DATAREQBASE::DATAREQBASE(BBOOL request)
    : STREAMABLE(0x14000000UL, 0), connection(nullptr), object(nullptr), isRequest(request),
      objectShared(0), baseMark(0), baseWord(0), freePending(0), freed(0), queuedCount(0),
      dequeuedCount(0), buffersSent(0), buffersFreed(0), lastFreedCell(nullptr) {
    TheReleaseLock();  // made before any message can be shared between threads
}

DATAREQBASE::~DATAREQBASE() {
    // A body borrowed from another message stays with that message.
    if (object && !objectShared) object->FreeObject();
    object = nullptr;
}

BBOOL DATAREQBASE::SetObjectData(IOBUFFER* first, DATACONNECTION* conn, int length) {
    COMMLINK* link = conn ? conn->link : nullptr;
    if (!object) {
        DATASTORE* store = DATASTORE::System();
        object = new (store) DATAOBJECT(store, nullptr, TRUE, 0, 0);
        if (!object) _Task_Abend(ABEND_STG101, sizeof(DATAOBJECT));
        object->prepare();
    }
    if (length < 0) length = 0;
    object->SetData(BUFFER(nullptr, length));
    if (object->DataLength() != length) return 0;
    char* to = object->dataBlock ? object->dataBlock->data : nullptr;
    if (length > 0 && !to) return 0;  // sized, yet no area to copy into: keep the buffers
    IOBUFFER* buffer = first;
    long left = length;
    while (left > 0 && buffer) {
        long n = buffer->cursor.length < left ? buffer->cursor.length : left;
        if (n > 0 && to) {
            memcpy(to, buffer->cursor.data, n);
            to += n;
        }
        left -= n;
        BBOOL more = buffer->incomplete;
        // Back to the pool it came from, which is the link's for what the link received.
        if (buffer->pool)
            buffer->pool->FreeBuffer(buffer);
        else
            buffer->freeobj();
        buffer = more && link ? link->GetNextMessage() : nullptr;
    }
    object->dataChanged = 1;
    return 1;
}

namespace {
// Buffers handed to a link and not yet sent by it.
long sentBy(long handed, DATACONNECTION* conn) {
    COMMLINK* link = conn ? conn->link : nullptr;
    return link ? handed - link->queuedForSending : -1;
}
}  // namespace

void DATAREQBASE::FreeUsedBuffers(DATACONNECTION* conn) {
    SGBLOB* data = object ? object->bufferChain : nullptr;
    if (!data) return;
    long limit = conn && conn->link ? sentBy(buffersSent, conn) : data->parts.Count();
    object->waiters.lock.Reserve();
    for (bSPOINTER* c = object->waiters.first; c && c->target; c = c->next) {
        REQUESTPROCESS* p = CHAIN<REQUESTPROCESS>::Cast(c->target);
        DATAREQUEST* req = p ? p->request : nullptr;
        if (!req || !req->connection || !req->connection->link) continue;
        // A reader whose result is not made yet has sent nothing of it.
        long candidate = 0;
        if (isRequest)
            candidate = sentBy(req->buffersSent, req->connection);
        else if (req->result)
            candidate = sentBy(req->result->buffersSent, req->connection);
        if (candidate < limit) limit = candidate;
    }
    object->waiters.lock.Release();
    if (limit < 1) return;
    if (buffersFreed == 0) lastFreedCell = nullptr;
    bSPOINTER* cell = lastFreedCell ? lastFreedCell->next : data->parts.first;
    while (buffersFreed < limit && cell && cell->target) {
        lastFreedCell = cell;
        static_cast<IOBUFFER*>(CHAIN<IOBUFFER>::Cast(cell->target))->FreeArea();
        buffersFreed++;
        cell = cell->next;
    }
}

void DATAREQBASE::HoldForQueue() {
    EnterRelease();
    prepare();
    queuedCount++;
    LeaveRelease();
}

void DATAREQBASE::TakenFromQueue() {
    EnterRelease();
    dequeuedCount++;
    LeaveRelease();
}

void DATAREQBASE::DropQueueHold() {
    EnterRelease();
    freeobj();
    LeaveRelease();
}

void DATAREQBASE::Release(BBOOL& released, BBOOL onlyIfLast) {
    if (released) return;
    if (dequeuedCount < queuedCount) {
        freePending = 1;  // the queue's drain releases it
        return;
    }
    if (!onlyIfLast || count == 2) {
        released = 1;
        freed = 1;
        freeobj();
    }
}

char* DATAREQBASE::CopyText(const char* text, BUFFER& out, BBOOL allowNullData) {
    if (!out.data) {
        if (allowNullData) out.length = text ? (long)strlen(text) : 0;
        return out.data;
    }
    if (!text) {
        if (out.length != 0) {
            out.data[0] = 0;
            out.length = 0;
        }
        return out.data;
    }
    if (out.length <= 0) return out.data;
    long n = (long)strlen(text);
    if (n > out.length - 1) n = out.length - 1;
    memcpy(out.data, text, n);
    out.data[n] = 0;
    out.length = n;
    return out.data;
}

void DATAREQBASE::SetText(char*& field, const char* text, int length) {
    delete[] field;
    field = nullptr;
    if (!text) return;
    size_t n = length > 0 ? (size_t)length : strlen(text);
    field = new char[n + 1];
    memcpy(field, text, n);
    field[n] = 0;
}

// ---- requests

DATAREQUEST::DATAREQUEST(const char* text, BBOOL assignId)
    : DATAREQBASE(1), result(nullptr), otherResult(nullptr), store(nullptr), command(nullptr), word1(0),
      message(nullptr), word2(0), process(nullptr), originProcess(nullptr), requestMark(0), words{0, 0, 0},
      released(0), sendable(1), cancelled(0) {
    if (_pDataSys) {
        store = DATASTORE::System();
        if (assignId) {
            EnterRelease();  // the generator has no lock of its own
            _pDataSys->requestIds.Assign(requestId);
            LeaveRelease();
        }
    }
    if (text) SetReqCmd(text, 0);
}

DATAREQUEST::~DATAREQUEST() {
    SetReqCmd(nullptr, 0);
    SetReqMsg(nullptr);
    EnterRelease();
    if (result && result->request == this) result->request = nullptr;
    if (otherResult && otherResult->request == this) otherResult->request = nullptr;
    if (process && process->request == this) process->request = nullptr;
    if (originProcess && originProcess != process && originProcess->request == this)
        originProcess->request = nullptr;
    result = otherResult = nullptr;
    process = originProcess = nullptr;
    LeaveRelease();
}

const char* DATAREQUEST::SetReqCmd(const char* text, int length) {
    SetText(command, text, length);
    return command;
}

char* DATAREQUEST::GetReqCmd(BUFFER& out) { return CopyText(command, out, 1); }
char* DATAREQUEST::GetReqMsg(BUFFER& out) { return CopyText(message, out, 0); }
void DATAREQUEST::SetReqMsg(const char* text) { SetText(message, text, 0); }

char* DATAREQUEST::GetReqMethod(BUFFER& out) {
    CopyText(command, out, 0);
    if (out.data && out.length > 0) {
        size_t cut = strcspn(out.data, " \n\t");
        out.data[cut] = 0;
        out.length = (long)strlen(out.data);
    }
    return out.data;
}

void DATAREQUEST::FreeRequest(BBOOL onlyIfLast) {
    EnterRelease();
    Release(released, onlyIfLast);
    LeaveRelease();
}

BBOOL DATAREQUEST::StreamOut(STREAMBUF& out) {
    out << BEGINDI();
    char marks[2] = {(char)requestMark, (char)baseMark};
    out.CopyIn(marks, out.cursor.length < 2 ? out.cursor.length : 2);
    out << ENDDI();
    return 1;
}

BBOOL DATAREQUEST::StreamIn(STREAMBUF& in) {
    in >> BEGINDI();
    char marks[2] = {0, 0};
    in.CopyOut(marks, 2);
    requestMark = marks[0] != 0;
    baseMark = marks[1] != 0;
    in >> ENDDI();
    return 1;
}

int DATAREQUEST::ItemStreamSize(BBOOL forPrefix) {
    if (forPrefix && (flags & 0x04000000UL)) return 0;
    return 208;
}

// ---- results

DATARESULT::DATARESULT(DATAREQUEST* req, DATARESULT* model, BBOOL keep)
    : DATAREQBASE(0), request(req), message(nullptr), word1(0), released(keep), moreData(0) {
    if (!req) return;
    code = req->code;
    EnterRelease();
    req->result = this;
    LeaveRelease();
    if (model && model->message) SetText(message, model->message, 0);
}

void DATARESULT::Detach() {
    EnterRelease();
    if (request) {
        if (request->result == this) request->result = nullptr;
        if (request->otherResult == this) request->otherResult = nullptr;
    }
    LeaveRelease();
}

BBOOL DATARESULT::SetObjectData(IOBUFFER* first, DATACONNECTION* conn, int length) {
    if (!object && request && request->object) {
        object = request->object;
        objectShared = 1;
    }
    return DATAREQBASE::SetObjectData(first, conn, length);
}

DATARESULT::~DATARESULT() {
    SetMsgText(nullptr);
    Detach();
    request = nullptr;
}

char* DATARESULT::GetMsgText(BUFFER& out) { return CopyText(message, out, 0); }

void DATARESULT::SetMsgText(const char* text) {
    if (!request) {
        // Without a request there is no store to hold a text; a stray one is still freed.
        delete[] message;
        message = nullptr;
        return;
    }
    SetText(message, text, 0);
}

BBOOL DATARESULT::WasSuccessful() {
    const char* status = GetStatus();
    if (!status || !*status) return 0;
    for (const char* p = status; *p; p++)
        if (*p != '0') return 0;
    return 1;
}

void DATARESULT::FreeResult(BBOOL onlyIfLast) {
    EnterRelease();
    Detach();
    Release(released, onlyIfLast);
    LeaveRelease();
}

BBOOL DATARESULT::StreamOut(STREAMBUF& out) {
    out << BEGINDI(152);
    out << ENDDI();
    return 1;
}

BBOOL DATARESULT::StreamIn(STREAMBUF& in) {
    in >> BEGINDI();
    in >> ENDDI();
    return 1;
}

int DATARESULT::ItemStreamSize(BBOOL forPrefix) {
    if (forPrefix && (flags & 0x04000000UL)) return 0;
    return 152;
}

// ---- processes

REQUESTPROCESS::REQUESTPROCESS()
    : request(nullptr), waitObject(nullptr), waitCell(nullptr), dataReady(0), waiting(0) {}

REQUESTPROCESS::~REQUESTPROCESS() {
    if (request) {
        DATAREQBASE::EnterRelease();
        if (request->process == this) request->process = nullptr;
        if (request->originProcess == this) request->originProcess = nullptr;
        DATAREQBASE::LeaveRelease();
        request = nullptr;
    }
    // Going while still waiting: the wait's own reference goes with the process.
    if (waitObject && waitCell) leaveWaiters();
}

DATARESULT* REQUESTPROCESS::GetDataResult() { return request ? request->result : nullptr; }

void REQUESTPROCESS::WaitForObject(DATAOBJECT* object) {
    if (waiting) ClearObjectWait();
    if (!object) return;
    prepare();
    bSPOINTER& cell = object->waiters.Add(*this);
    if (!cell.target) {
        freeobj();
        return;
    }
    waitObject = object;
    waitCell = &cell;
    waiting = 1;
    dataReady = 0;
}

void REQUESTPROCESS::ClearObjectWait() {
    if (!waitObject || !waitCell) return;
    leaveWaiters();
    // The wait's reference goes without a release: whoever ends the wait still
    // works on the process (restarts it, then drops its own reference).
    InterlockedDecrement(&count);
}

void REQUESTPROCESS::leaveWaiters() {
    if (waitCell->linked) waitObject->waiters.Remove(*waitCell, TRUE);
    waitCell = nullptr;
    waiting = 0;
}
