#pragma once
// The service manager: creates the enabled service types and their running
// definitions from the registration table, starts and stops them, counts
// logged-in users and, in the shared mode, runs the one worker thread.
#include "QvWindows.h"
#include "Chain.h"
#include "PgmThread.h"
#include "LookupTable.h"
#include "AppType.h"
#include "AppDefinition.h"

class SVRCFG;
class PROFILE;
class LOGFILE;

// The registration table: name, value = address of the type global,
// value2 = section text, value3 = the service's INI file name.
extern LOOKUPROW _Applications[];

class SVRAPPMANAGER {
public:
    explicit SVRAPPMANAGER(BBOOL perInstanceThreads);
    ~SVRAPPMANAGER();

    // Control thread. TRUE when every enabled type was made; else error
    // names the failure. log is the shared log, null for one file per type.
    BBOOL CreateAppTypes(SVRCFG* config, PROFILE& profile, LOGFILE* log, BUFFER& error);
    // Control thread. Number of definitions made.
    int CreateAppDefinitions(SVRCFG* config);
    // Control thread. FALSE only when a monitor thread cannot be made.
    BBOOL StartAppCommunications();
    BBOOL StopAppCommunications();
    void DeleteAppDefinitions();
    void CloseAppTypeLogs();
    // Exact, case-sensitive; null for no match. Any thread while the chains stay.
    APPDEFINITION* FindApp(const char* name);
    APPTYPE* FindAppType(const char* name);
    // The shared mode's worker thread.
    static void RequestMonitor(void* manager);

    // Counts a login (LOGIN_IN, or LOGIN_USER_LIMIT counting nothing) or a
    // logout (0) of a connection with user (or none) in one step under the
    // user lock. Any thread.
    int CountLogin(APPUSER* user, BBOOL login, long maximum);

    char defaultService[64];
    CHAIN<APPTYPE> types;              // not owned
    CHAIN<APPDEFINITION> definitions;  // owned; its lock is the definition lock
    APPDEFINITION* starting;           // the definition being started, else null
    BBOOL initialRequestRun;
    long loggedIn;   // distinct users logged in now; under the user lock
    long peakUsers;  // under the user lock
    volatile long running;
    volatile long pending;
    ESEMAPHORE wakeEvent;  // real in the shared mode only
    volatile BBOOL stop;
    PGMTHREAD* monitorThread;
    BBOOL perInstance;

private:
    BBOOL createAppType(const char* name, SVRCFG* config, PROFILE& profile, BUFFER& error);
    void createAppDefinition(const char* name);
    CRITICAL_SECTION userLock;  // guards loggedIn, peakUsers and every APPUSER's inUse

    SVRAPPMANAGER(const SVRAPPMANAGER&) = delete;
    SVRAPPMANAGER& operator=(const SVRAPPMANAGER&) = delete;
};
