#pragma once
// One end of a conversation: its link, its queues of requests and results, its monitor.
#include "DataTransport.h"
#include "DataRequest.h"
#include "LookupTable.h"

class REQUESTMONITOR;
class DATACONNECTION;

// How a connection reports its life to a status display.
class CONNECTIONSTATUS {
public:
    CONNECTIONSTATUS() : word(0) {}
    virtual ~CONNECTIONSTATUS() {}
    virtual void NotifyConnectLink() = 0;
    virtual void NotifyTerminateLink() = 0;
    virtual void NotifyRequest(DATAREQUEST* request) = 0;
    virtual void NotifyByteCount() = 0;
    long word;
};

// Connection notifier codes.
enum CONNSTATE {
    CONN_OPENED = 1,
    CONN_CONNECTED = 2,
    CONN_FORCED_DOWN = 3,
    CONN_CONNECT_FAILED = 4,
    CONN_CLOSED = 5
};

// The socket layer makes socket links for connections once it is present.
typedef COMMLINK* (*SOCKETLINKMAKER)(DATACONNECTION& connection, LINKTYPE type, int secondaryLimit,
                                     DATACONNECTION* primary);

// Link-type names; ended by an all-zero row.
extern LOOKUPROW _CommLinkTypeList[];

class DATACONNECTION : public DATATRANSPORT {
public:
    DATACONNECTION(LINKCONTROL& control, const char* transportName, const char* name, const char* port,
                   const char* linkType);
    DATACONNECTION(const DATACONNECTION& primary, BBOOL isAuxPort, BBOOL serviceFlag);
    ~DATACONNECTION() override;

    QV_ITEM_IDENTITY(DATACONNECTION, "DATACONNECTION", "DCNN")

    BBOOL Connect(LINKTYPE type, BBOOL asynchronous, int secondaryLimit, REQUESTMONITOR* monitor,
                  DATACONNECTION* primary, const char* target, const char* bindPort, LINKINTERFACE* netInterface);
    void Disconnect();
    DATACONNECTION* CreateSecondary(COMMLINK* link);
    void FreeSecondaries();
    bSPOINTER& QueueRequest(DATAREQUEST* request);
    bSPOINTER& QueueResult(DATARESULT* result);
    void SetAsActive(DATACONNECTION* primary);
    void ResetActive(BBOOL unlink);
    void SetDropRequested(BBOOL drop, BBOOL dropAbort);
    void StartMessages();

    static SOCKETLINKMAKER pMakeSocketLink;

    // Who may touch each field: "before active" is set by the opening thread before the
    // connection joins its monitor's active set and only read after; "monitor" is its
    // monitor's thread while serving it; "any thread" is a whole-word flag the monitor
    // reads on its next pass, the setter waking the monitor.

    char name[128];  // before active
    char port[64];  // before active; Connect writes back the port the system bound
    char linkType[64];  // before active
    long words[2];  // the owning service's
    BBOOL active;  // before active
    BBOOL inbound;  // before active
    BBOOL serviceFlag;  // before active
    BBOOL connectSeen;  // monitor
    BBOOL skip;  // before active (an auxiliary port passed by its monitor)
    BBOOL refused;  // Connect, when the link was refused
    BBOOL closeWhenIdle;  // before active
    BBOOL resetable;  // before active
    volatile BBOOL dropRequested;  // any thread, through SetDropRequested; cleared by the monitor
    volatile BBOOL dropAbort;  // with dropRequested, and written before it
    volatile BBOOL holdMessages;  // any thread: SetDropRequested sets it, StartMessages clears it
    BBOOL sendBusy;  // monitor
    BBOOL notified;  // monitor, and Connect before active
    long resetWord;  // monitor
    BBOOL fullMessages;  // before active
    BBOOL cleanShutdown;  // before active
    long lastError;  // Connect, when it fails
    CONNECTIONSTATUS* status;  // before active; the monitor clears it at the close
    bSPOINTER* activeCell;  // under the active set's lock
    long requestCount;  // monitor
    long resultCount;  // monitor
    LINKCONTROL* control;  // before active
    DATACONNECTION* auxParent;  // before active
    DATACONNECTION* primary;  // under the active set's lock
    REQUESTMONITOR* monitor;  // before active
    REQUESTMONITOR* secondaryMonitor;  // before active
    CHAIN<DATAREQUEST> requests;  // any thread; under the link's lock while active
    CHAIN<DATARESULT> results;  // any thread; under the link's lock while active
    BBOOL sendHeld;  // any thread
    BBOOL draining;  // monitor: a drop waits until what is queued has been sent

private:
    CHAIN<DATACONNECTION>* activeChain;  // the set activeCell sits in
    void Notify(int code);
    void AttachQueues(BBOOL on);
};
