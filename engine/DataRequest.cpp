#include "DataRequest.h"
#include "DataManager.h"
#include <windows.h>
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
}  // namespace

void DATAREQBASE::EnterRelease() { EnterCriticalSection(&TheReleaseLock().cs); }
void DATAREQBASE::LeaveRelease() { LeaveCriticalSection(&TheReleaseLock().cs); }

DATAREQBASE::DATAREQBASE(BBOOL request)
    : STREAMABLE(0x14000000UL, 0), connection(nullptr), object(nullptr), isRequest(request),
      objectShared(0), baseMark(0), baseWord(0), freePending(0), freed(0), queuedCount(0),
      dequeuedCount(0), buffersSent(0), buffersFreed(0), lastFreedCell(nullptr) {
    TheReleaseLock();  // made before any message can be shared between threads
}

DATAREQBASE::~DATAREQBASE() {
    // The body belongs to the object store, which releases what it handed out.
    object = nullptr;
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
        store = _pDataSys->systemStore;
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
    if (released) {
        LeaveRelease();
        return;
    }
    if (dequeuedCount < queuedCount) {
        freePending = 1;
        LeaveRelease();
        return;
    }
    if (!onlyIfLast || count == 2) {
        released = 1;
        freed = 1;
        freeobj();
    }
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
    : DATAREQBASE(0), request(req), message(nullptr), word1(0), released(keep) {
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
    if (released) {
        LeaveRelease();
        return;
    }
    if (dequeuedCount < queuedCount) {
        freePending = 1;
        LeaveRelease();
        return;
    }
    if (!onlyIfLast || count == 2) {
        released = 1;
        freed = 1;
        freeobj();
    }
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
}

DATARESULT* REQUESTPROCESS::GetDataResult() { return request ? request->result : nullptr; }
