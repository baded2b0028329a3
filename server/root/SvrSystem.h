#pragma once
// The server root: one object (_pSvr) owning the service manager, the
// configuration and options, the line policy, the system log, the three
// profiles, the server's state flags and the events that start and end it.
#include "QvWindows.h"
#include "BaseItem.h"
#include "Chain.h"
#include "Semaphore.h"
#include "PgmThread.h"
#include "Profile.h"
#include "LogFile.h"
#include "AppManager.h"
#include "SvrCfg.h"
#include "SvrOptions.h"
#include "NetworkInterface.h"
#include "LocalRequest.h"

// Most users the administrator may allow.
const long SVR_USER_CEILING = 250;

class SVRSYSTEM : public BASEITEM {
public:
    SVRSYSTEM(BBOOL corvath, BBOOL tessimara);
    ~SVRSYSTEM() override;

    QV_ITEM_IDENTITY(SVRSYSTEM, "SVRSYSTEM", "SVRS")

    // Control thread: 0, or the string id of the failure.
    int MainSystemInit();
    // FALSE: stop the services in order. TRUE (fatal exit): force them down.
    void MainSystemTerm(BBOOL fast);
    BBOOL HasActiveReqs(BBOOL pending, BBOOL ignoreUsers);
    long CancelActiveReqs();
    static void ConnectionMonitor(DATACONNECTION* connection, int event);
    static void TimerSystemLog(void* unused);

    // Members are plain words written by one thread and read by others.
    SVRAPPMANAGER manager;
    SVRCFG config;
    SVROPTIONS options;
    NETWORKINTERFACE lines;
    LOGFILE systemLog;
    PROFILE mainProfile;
    PROFILE logProfile;
    PROFILE usersProfile;
    HWND consoleWindow;
    BBOOL corvath;    // one worker per instance; per-service log files
    BBOOL tessimara;  // temporary users allowed
    volatile BBOOL closing;
    volatile BBOOL fastTermination;  // the system end: a fatal exit, no waiting
    volatile BBOOL waitingForRequests;
    BBOOL quickShutdown;
    volatile BBOOL cacheUpdate;
    volatile BBOOL ready;
    volatile BBOOL servicesStarted;
    long shutdownReason;  // string id of the reason, also the start error id; 0 none
    BBOOL setupMode;
    BBOOL setupShown;
    long setupStep;       // the notebooks' 1-based page step in setup mode
    BBOOL lowColour;      // the display has 1 to 16 colours
    long maxUsersProfile; // "Maximum Users" as read
    long maxUsers;        // in force
    long userCeiling;     // SVR_USER_CEILING
    BBOOL allowExternalUsers;
    PGMTHREAD* controlThread;
    PGMTHREAD* reloadThread;
    PGMTHREAD* debugThread;
    const char* abendCode;
    ULONG_PTR abendValue;
    ESEMAPHORE abendEvent;
    ESEMAPHORE terminateEvent;
    // Posted once the fast stop has forced the definitions down; never reset, so
    // a normal stop that follows cannot miss it.
    ESEMAPHORE fastStopEvent;
    char configDirectory[256];
    char startError[256];
    CHAIN<LOCALREQUEST> localRequests;
};

extern SVRSYSTEM* _pSvr;

BBOOL IsSystemClosing();
void MainSystemCntlProc(void* unused);
void MainSystemInitProc();
void MainSystemTermProc(int command);
void DebugRequestProc(void* serviceName);
void ReloadRequestProc(void* serviceName);
