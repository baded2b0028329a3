#pragma once
// A connection's status record: the line the console shows for it.
#include "QvWindows.h"
#include "DataConnection.h"
#include "Semaphore.h"

class APPCONNECTION;

typedef void (*APPCONNNOTIFY)(DATACONNECTION* connection, int event);

class APPSTATUS : public CONNECTIONSTATUS {
public:
    APPSTATUS();
    ~APPSTATUS() override;

    // Every notification does nothing while the server terminates fast;
    // otherwise it changes the record under dataAccess and then, unlocked,
    // calls NotifyChange.
    void NotifyConnectLink() override;
    void NotifyTerminateLink() override;
    void NotifyRequest(DATAREQUEST* request) override;
    void NotifyByteCount() override;
    virtual void NotifyChange() {}

    void Startup(APPCONNECTION* connection);
    const char* GetCommand() { return command; }
    void RebuildCommand();

    // The one lock of every status record; writers are the service threads,
    // the reader the console. Lock waits without time-out.
    static void Lock();
    static void UnLock();
    static MSEMAPHORE& dataAccess();
    // The connection-event procedure every connection hook ends with.
    static APPCONNNOTIFY pdefaultConnNotify;

    APPCONNECTION* connection;
    BBOOL changed;
    BBOOL cleared;
    BBOOL inbound;
    char service[16];
    char peer[128];
    char command[500];
    char result[81];
    char state[12];
    char linkType[6];
    char method[9];
    long line;
    long resultCount;
    long resultTotal;
    BBOOL commandBuilt;
    unsigned long requestId;

private:
    void populate(DATAREQUEST* request);
    void fillRequest(DATAREQUEST* request);
    void fillResult(DATAREQUEST* request);
    void fillCommand(DATAREQUEST* request);
    void fillCounts();
    void fillConnection();
    BBOOL skip() const;
};
