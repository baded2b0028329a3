#pragma once
// Requests and results: the messages the engine carries between connections.
#include "QvBase.h"
#include "BaseItem.h"
#include "Chain.h"
#include "Streamable.h"
#include "IdControl.h"
#include "TimeStamp.h"

class DATACONNECTION;
class DATAOBJECT;
class DATASTORE;
class DATAREQUEST;
class DATARESULT;
class REQUESTPROCESS;
class IOBUFFER;

// What a request and a result share: the connection, the body and the queue counters.
class DATAREQBASE : public STORABLE, public STREAMABLE {
public:
    explicit DATAREQBASE(BBOOL isRequest);
    ~DATAREQBASE() override;

    // Copies length received bytes into the body, giving the link's buffers back.
    virtual BBOOL SetObjectData(IOBUFFER* first, DATACONNECTION* connection, int length);
    // Gives back the body's buffers that every reader of it has sent.
    void FreeUsedBuffers(DATACONNECTION* connection);

    bCITERATOR cursor;           // a sending service's place in the body's buffers
    DATACONNECTION* connection;  // where the message arrived
    DATAOBJECT* object;          // the body
    BBOOL isRequest;
    BBOOL objectShared;  // the body belongs to another message
    BBOOL baseMark;
    long baseWord;
    BBOOL freePending;  // a release was asked for while still queued
    BBOOL freed;
    long queuedCount;
    long dequeuedCount;
    long buffersSent;
    long buffersFreed;
    bSPOINTER* lastFreedCell;

    // The queues and the releases of every message run under one lock, so a release asked
    // for by a worker and the send that follows a dequeue never both miss (or both do) it.
    // It is the object-cleanup lock (_CSObjectCleanup) whenever the support object exists:
    // destruction holds that lock and destructors release messages. Any thread.
    static void EnterRelease();
    static void LeaveRelease();
    void HoldForQueue();      // a queue takes a reference
    void TakenFromQueue();    // counted when a queue gives the message up
    void DropQueueHold();     // the queue's reference goes back

protected:
    // The release of a request or result, under the release lock; released is the message's own flag.
    void Release(BBOOL& released, BBOOL onlyIfLast);
    // The text accessors' rule for the caller's buffer.
    static char* CopyText(const char* text, BUFFER& out, BBOOL allowNullData);
    static void SetText(char*& field, const char* text, int length);
};

class DATAREQUEST : public DATAREQBASE {
public:
    DATAREQUEST(const char* command, BBOOL assignId);
    ~DATAREQUEST() override;

    QV_ITEM_IDENTITY(DATAREQUEST, "DATAREQUEST", "DRQa")

    BBOOL StreamIn(STREAMBUF& in) override;
    BBOOL StreamOut(STREAMBUF& out) override;
    int ItemStreamSize(BBOOL forPrefix) override;

    virtual char* GetReqStatus() = 0;
    virtual int SetReqStatus(const char* status) = 0;
    virtual char* GetReqMsg(BUFFER& out);
    virtual void SetReqMsg(const char* text);
    virtual char* GetReqMethod(BUFFER& out);
    virtual int SetReqMethod(const char*) { return 0; }
    virtual char* GetReqCmd(BUFFER& out);

    const char* SetReqCmd(const char* text, int length);
    void FreeRequest(BBOOL onlyIfLast);

    DATARESULT* result;
    DATARESULT* otherResult;
    DATASTORE* store;
    IDNUMBER requestId;
    char* command;  // texts are owned by the request
    long word1;
    char* message;
    TIMESTAMP timeStamp;
    long word2;
    REQUESTPROCESS* process;
    REQUESTPROCESS* originProcess;
    BBOOL requestMark;
    long words[3];
    BBOOL released;
    BBOOL sendable;
    BBOOL cancelled;
};

class DATARESULT : public DATAREQBASE {
public:
    DATARESULT(DATAREQUEST* request, DATARESULT* model, BBOOL keep);
    ~DATARESULT() override;

    // A result first shares its request's body.
    BBOOL SetObjectData(IOBUFFER* first, DATACONNECTION* connection, int length) override;

    QV_ITEM_IDENTITY(DATARESULT, "DATARESULT", "DRSa")

    BBOOL StreamIn(STREAMBUF& in) override;
    BBOOL StreamOut(STREAMBUF& out) override;
    int ItemStreamSize(BBOOL forPrefix) override;

    virtual char* GetStatus() = 0;
    virtual char* GetStatusLine(BUFFER& out) = 0;
    virtual char* GetMsgText(BUFFER& out);
    virtual int SetStatus(const char* status) = 0;
    virtual void SetMsgText(const char* text);
    virtual BBOOL WasSuccessful();

    void FreeResult(BBOOL onlyIfLast);

    DATAREQUEST* request;
    char* message;
    long word1;
    BBOOL released;
    BBOOL moreData;  // more of the body follows: a transfer is still delivering it

private:
    void Detach();
};

// A service's processing record of one request.
class REQUESTPROCESS : public STORABLE {
public:
    REQUESTPROCESS();
    ~REQUESTPROCESS() override;

    QV_ITEM_IDENTITY(REQUESTPROCESS, "REQUESTPROCESS", "DRQP")

    virtual BBOOL RestartProcess() = 0;
    DATARESULT* GetDataResult();
    // Joins the object's waiters with a reference of its own; a former wait ends first.
    void WaitForObject(DATAOBJECT* object);
    // Leaves the waiters and gives that reference back; waitObject stays for the restart.
    void ClearObjectWait();

    DATAREQUEST* request;
    DATAOBJECT* waitObject;
    bSPOINTER* waitCell;
    BBOOL dataReady;
    BBOOL waiting;

private:
    void leaveWaiters();
};
