#pragma once
// The dial-up line policy: when lines 1-4 are dialled and hung up.
#include "QvWindows.h"
#include "BaseItem.h"
#include "Chain.h"
#include "Semaphore.h"
#include "TimeStamp.h"

class NETWORKINTERFACE;
class APPREQUEST;
class DATACONNECTION;
class LINKINTERFACE;

class LINEINTERFACE {
public:
    LINEINTERFACE();
    // Copies the phonebook entry and the six settings; the rest starts at 0.
    LINEINTERFACE(const LINEINTERFACE& other);
    LINEINTERFACE& operator=(const LINEINTERFACE& other);

    // The line has connection settings.
    BBOOL IsLineConfigured() const;

    NETWORKINTERFACE* owner;
    long lineNumber;
    long commandId;
    long requestedState;
    char phonebookEntry[256];
    BBOOL redial;
    BBOOL idleDisconnect;
    long idleMinutes;
    BBOOL keepAlive;
    BBOOL repeatDialing;
    long repeatDialingCount;
    BBOOL connected;
    BBOOL requestedUp;
    long lineState;
    BBOOL dialPending;
    BBOOL redialling;
    long retryCount;
    TIMESTAMP lastActivity;
};

class NETWORKINTERFACE : public STORABLE {
public:
    NETWORKINTERFACE();
    ~NETWORKINTERFACE() override;

    QV_ITEM_IDENTITY(NETWORKINTERFACE, "NETWORKINTERFACE", "NINT")

    void Startup();
    void Shutdown(BBOOL hangUp);
    // 0: nothing done; 1: the line is asked up (request restarted or parked).
    int ConnectOnRequest(APPREQUEST* request);
    void ProcessNewConnection(DATACONNECTION* connection);
    // Nonzero when a line is connected.
    int CheckCommInterfaces(BBOOL dialedOnly);
    void GetCommStatusMsg(LINKINTERFACE* line, BUFFER& out);
    int SetLineState(LINKINTERFACE* line, int lineNumber, BBOOL connect);
    void ProcessCommConnect(LINKINTERFACE* line);
    void ProcessCommDisconnect(LINKINTERFACE* line);
    static void ProcessDisconnectThread(void* line);

    BBOOL started;
    long lineCount;
    long samplingInterval;
    LINEINTERFACE lines[4];
    BBOOL connectWhenLaunched;
    BBOOL connectUponRequest;
    long escalation[3][4];  // lines 2-4: parallel, when previous drops, if count exceeded, count
    CHAIN<APPREQUEST> waiting;
    BBOOL startupDialling;
    BBOOL lineSetActive;
    long pollCounter;
    MSEMAPHORE interfaceLock;
};
