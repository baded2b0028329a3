#pragma once
// The engine that moves messages between links and services: one monitor per direction.
#include "DataConnection.h"
#include "DataManager.h"
#include "PgmThread.h"

class TCPSOCKLINK;
class TCPCONTROL;

typedef void (*CONNNOTIFIER)(DATACONNECTION* connection, int code);
typedef void (*MONITORPROC)(void* monitor);

class REQUESTMONITOR : public PGMTHREAD {
public:
    REQUESTMONITOR(LINKCONTROL& control, IOMODE mode);
    ~REQUESTMONITOR() override;

    QV_ITEM_IDENTITY(REQUESTMONITOR, "REQUESTMONITOR", "DRQM")

    virtual DATACONNECTION* CreateConnection(DATACONNECTION* primary, BBOOL isAuxPort, BBOOL serviceFlag);
    virtual DATAREQUEST* buildRequest(IOBUFFER* message, DATACONNECTION* from) = 0;
    virtual DATARESULT* buildResult(IOBUFFER* message, DATACONNECTION* from) = 0;
    virtual BBOOL evaluateRequest(DATAREQUEST* request) = 0;
    virtual BBOOL evaluateResult(DATARESULT* result) = 0;
    virtual BBOOL sendRequest(DATAREQUEST* request, DATACONNECTION* to) = 0;
    virtual BBOOL sendResult(DATARESULT* result, DATACONNECTION* to) = 0;
    virtual REQUESTMONITOR* createSecondaryMonitor(IOMODE mode, DATACONNECTION* auxConnection) = 0;

    BBOOL StartMonitor(BBOOL allowShared);
    void StopMonitor();
    void RequestWakeup();
    BBOOL StartLinkMonitor(DATACONNECTION* listening, MONITORPROC procedure);
    void StopLinkMonitor();
    void WaitLinkMonitor();
    // Gives an auxiliary listening port its connection, monitor and link-monitor thread.
    BBOOL tcpipAuxPortStartup(DATACONNECTION* primary, COMMLINK* link);

    static void inboundMonitor(void* monitor);
    static void outboundMonitor(void* monitor);
    static void CommonMonitor(void* unused);
    // The link-monitor thread of a listening socket connection: accepts, and serves
    // every socket of the port through one readiness wait.
    static void TCPIPMonitor(void* monitor);

    CHAIN<DATACONNECTION> active;
    ESEMAPHORE wakeEvent;
    ESEMAPHORE stopEvent;
    BBOOL shared;
    MONITORPROC procedure;
    volatile BBOOL wakeRequested;
    // The monitor's own thread is in a pass: a wake-up asked for meanwhile posts nothing,
    // the thread looks at wakeRequested before it waits again.
    volatile LONG inPass;
    IOMODE mode;
    PGMTHREAD* linkMonitor;
    DATACONNECTION* linkConnection;
    LINKCONTROL* control;
    bSPOINTER* monitorCell;
    CONNNOTIFIER notifier;

private:
    void Run(BBOOL in);
    void Pass(BBOOL in);
    // Serves one connection: a drop, its connect, what it received, its close, its sends.
    void Serve(DATACONNECTION* c, BBOOL in);
    BBOOL DrainsBeforeDrop(DATACONNECTION* c, COMMLINK* L);
    void ServeDrop(DATACONNECTION* c, COMMLINK* L);
    void DiscardMessages(COMMLINK* L);
    BBOOL ServeConnect(DATACONNECTION* c, COMMLINK* L, BBOOL in);
    void ServeMessages(DATACONNECTION* c, COMMLINK* L, BBOOL in);
    void ServeClose(DATACONNECTION* c, COMMLINK* L, BBOOL in);
    void SendResults(DATACONNECTION* c, COMMLINK* L);
    void SendRequests(DATACONNECTION* c, COMMLINK* L);
    void Release(DATACONNECTION* c);
    void ShutdownPrimaries();
    BBOOL LinkMonitorRunning() const;
    void ServeLinkEvent(TCPSOCKLINK* ready);
    void ReceiveWhatIsWaiting(TCPSOCKLINK* ready);
    static const int MaxReceivesPerEvent = 16;
    // Clients taken from a listening queue per readiness event.
    static const int MaxAcceptsPerEvent = 16;
    // Gives a link accepted on listener (null: none) its connection; called without the listener's lock.
    void AcceptOn(TCPSOCKLINK* listener, TCPSOCKLINK* accepted, TCPCONTROL* control);
    void LinkMonitorShutdown(TCPSOCKLINK* listener, TCPCONTROL* control);
};
