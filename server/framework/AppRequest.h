#pragma once
// The unit of a service's work: a data request with the instance that
// processes it and the connections it uses.
#include "QvWindows.h"
#include "DataRequest.h"
#include "Chain.h"

class APPINSTANCE;
class APPDEFINITION;
class APPCONNECTION;
class APPREQUEST;

typedef BBOOL (*APPDATAPROC)(APPREQUEST* request, DATACONNECTION* connection, DATAOBJECT* object);

enum APPCONNSLOT { APPCONN_CLIENT = 0, APPCONN_SERVER = 1 };

class APPREQUEST : public REQUESTPROCESS {
public:
    // Becomes the data request's process; client gets a counted reference.
    APPREQUEST(DATAREQUEST* request, APPINSTANCE* instance, APPCONNECTION* client);
    ~APPREQUEST() override;

    QV_ITEM_IDENTITY(APPREQUEST, "APPREQUEST", "APRQ")

    // Queues the request again on its definition; otherwise frees it (FALSE).
    BBOOL RestartProcess() override;
    // Detaches connections and data request (freeing them with drop) and
    // releases the request once it is queued nowhere and waits on nothing.
    virtual void FreeAppRequest(BBOOL drop);
    // Logs the request once in its life; a second call does nothing.
    virtual BBOOL LogResult(APPDEFINITION* definition);

    // Called by the worker that takes the request off its queue.
    void StartProcess(APPINSTANCE* instance);
    BBOOL LogRequest(APPDEFINITION* definition);
    void setConnection(APPCONNSLOT slot, APPCONNECTION* connection);

    APPINSTANCE* instance;
    volatile long queuedCount;  // +1 per queueing, -1 per start of processing
    BBOOL active;       // in the definition's active-request chain
    BBOOL cancelled;
    BBOOL requestLogged;
    BBOOL resultLogged;
    BBOOL cancelHandled;
    APPCONNECTION* clientConnection;
    APPCONNECTION* serverConnection;
    bSPOINTER* activeCell;

    // Words of the services; the framework leaves them alone.
    BBOOL waitingForLine;
    BBOOL waitingForObject;
    BBOOL keep;
    BBOOL lineLost;
    BBOOL finished;
    BBOOL dropped;
    BBOOL failed;
    BBOOL started;
    long requeueCount;
    long statusValue;
    APPDATAPROC dataProc;
    BBOOL outputMark;  // set from a local request's output file

private:
    CHAIN<APPREQUEST>* activeChain;  // the chain activeCell sits in
    APPCONNECTION*& slot(APPCONNSLOT which) { return which == APPCONN_CLIENT ? clientConnection : serverConnection; }
};
