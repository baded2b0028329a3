#pragma once
// A worker of a TCP service with its outbound side: its own socket control,
// outbound monitor and connection, from which every server connection and data
// port of the instance is made; secondary instances use a second socket stack.
#include "QvWindows.h"
#include "AppInstance.h"
#include "Chain.h"

class TCPREQMONITOR;
class TCPCONNECTION;
class TCPDEFINITION;
class TCPAPPCFG;
class WINSOCKCONTROL;
class LINKINTERFACE;

class TCPAPPINSTANCE : public APPINSTANCE {
public:
    explicit TCPAPPINSTANCE(APPDEFINITION* definition);
    ~TCPAPPINSTANCE() override;  // releases the secondary instances

    QV_ITEM_IDENTITY(TCPAPPINSTANCE, "TCPAPPINSTANCE", "tcAI")

    // Control thread. Starts the worker, then the outbound side; FALSE when a link or thread fails.
    BBOOL StartCommunications(APPWORKERPROC worker) override;
    // Control thread. Stops the secondaries, the monitor and the worker. TRUE.
    BBOOL StopCommunications() override;
    void ForceShutdown() override;
    // A new connection made from the instance's own, prepared (the caller holds it).
    virtual TCPCONNECTION* CreateConnection(BBOOL internal);

    // Worker threads. Opens connection towards address (null: its own host and
    // port texts) over via (may be null), never blocking; TRUE when under way.
    BBOOL EstablishConnection(TCPCONNECTION* connection, LINKINTERFACE* via, const char* address);
    // Worker threads. Opens connection as a listening data port over via.
    BBOOL ListenConnection(TCPCONNECTION* connection, LINKINTERFACE* via);
    BBOOL StartSecondaryCommunications(LINKINTERFACE* line);
    BBOOL StopSecondaryCommunications(LINKINTERFACE* line);

    TCPDEFINITION* Definition() const;
    TCPAPPCFG* Settings() const;

    TCPREQMONITOR* monitor;         // outbound monitor; made by the first start, released by stop
    WINSOCKCONTROL* socketControl;  // released by stop
    TCPCONNECTION* connection;      // the instance's own listening connection (port "0")
    TCPAPPINSTANCE* parent;         // null for a primary instance
    CHAIN<TCPAPPINSTANCE> secondaries;  // owned

protected:
    // The instance that serves a connection over via: the first secondary when
    // via is attached to a second socket control, else this one.
    TCPAPPINSTANCE* ChooseInstance(LINKINTERFACE* via);
    void StopMonitor();
};
