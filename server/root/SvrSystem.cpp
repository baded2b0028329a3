#include "SvrSystem.h"

#include "ServerAbend.h"

// First bodies: the members; start-up, shutdown and the system procedures follow.

SVRSYSTEM* _pSvr = nullptr;

SVRSYSTEM::SVRSYSTEM(BBOOL corvathFlag, BBOOL tessimaraFlag)
    : manager(corvathFlag), systemLog("SYSTEM"), consoleWindow(nullptr), corvath(corvathFlag),
      tessimara(tessimaraFlag), closing(0), fastTermination(0), waitingForRequests(0), quickShutdown(0),
      cacheUpdate(0), ready(0), servicesStarted(0), shutdownReason(0), setupMode(0), setupShown(0), setupStep(0),
      lowColour(0), maxUsersProfile(SVR_USER_CEILING), maxUsers(SVR_USER_CEILING), userCeiling(SVR_USER_CEILING),
      allowExternalUsers(0), controlThread(nullptr), reloadThread(nullptr), debugThread(nullptr),
      abendCode(nullptr), abendValue(0), abendEvent(TRUE), terminateEvent(TRUE), configDirectory{}, startError{} {
    InstallServerAbendHooks(this);
}

SVRSYSTEM::~SVRSYSTEM() {
    LOCALREQUEST::InShutdown = TRUE;
    localRequests.RemoveAll(TRUE, nullptr);
}

int SVRSYSTEM::MainSystemInit() { return 0; }
void SVRSYSTEM::MainSystemTerm(BBOOL) {}
BBOOL SVRSYSTEM::HasActiveReqs(BBOOL, BBOOL) { return FALSE; }
long SVRSYSTEM::CancelActiveReqs() { return 0; }
void SVRSYSTEM::ConnectionMonitor(DATACONNECTION*, int) {}
void SVRSYSTEM::TimerSystemLog(void*) {}

BBOOL IsSystemClosing() { return _pSvr ? _pSvr->closing : FALSE; }
void MainSystemCntlProc(void*) {}
void MainSystemInitProc() {}
void MainSystemTermProc(int) {}
void DebugRequestProc(void*) {}
void ReloadRequestProc(void*) {}
