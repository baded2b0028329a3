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

    char name[128];
    char port[64];
    char linkType[64];
    long words[2];
    BBOOL active;
    BBOOL inbound;
    BBOOL serviceFlag;
    BBOOL connectSeen;
    BBOOL skip;
    BBOOL refused;
    BBOOL closeWhenIdle;
    BBOOL resetable;
    volatile BBOOL dropRequested;
    BBOOL dropAbort;
    volatile BBOOL holdMessages;
    BBOOL sendBusy;
    BBOOL notified;
    long resetWord;
    BBOOL fullMessages;
    BBOOL cleanShutdown;
    long lastError;
    CONNECTIONSTATUS* status;
    bSPOINTER* activeCell;
    long requestCount;
    long resultCount;
    LINKCONTROL* control;
    DATACONNECTION* auxParent;
    DATACONNECTION* primary;
    REQUESTMONITOR* monitor;
    REQUESTMONITOR* secondaryMonitor;
    CHAIN<DATAREQUEST> requests;
    CHAIN<DATARESULT> results;
    BBOOL sendHeld;

private:
    CHAIN<DATACONNECTION>* activeChain;  // the set activeCell sits in
    void Notify(int code);
    void AttachQueues(BBOOL on);
};
