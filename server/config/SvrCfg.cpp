#include "SvrCfg.h"

#include <cstring>

#include "Profile.h"

// First bodies: the defaults; reading and writing follow.

SVRCFG::SVRCFG()
    : appSQL(0), appHTTP(0), appTELNET(0), appFTP(0), appNNTP(0), appPOP(0), appSMTP(0), technicalSupport(0),
      initialTraceState(0), commTracing(0), appRequestTracing(0), cacheTracing(0), memoryTracing(0),
      buddyTracing(0), logAppRequests(1), appStatus(0), taskTracing(0), functionTracing(0), autoTerminate(0),
      userSecurity(1), allowExternalUsers(0), testIconFiles(0), useIconTray(0), oemCommSettings(0),
      systemChanged(0), traceBuffer(0), traceData(0), commBuffers(0), backupFiles(0), dialingLimit(0),
      phonebookRouting(0), multipleRoutes(1), dynamicRouting(0), asyncDNS(1), localLoop(1),
      outboundInterfaces{}, usersFile{}, initialRequestFile{}, logfileEditor{}, displayFont1{}, displayFont2{},
      fontSize(0), lineColors{}, inboundWinsock{}, outboundWinsock{}, secondaryWinsockName{},
      secondaryWinsockProfile{}, secondaryWinsockVersion{}, secondaryWinsockLine(2), winsockBlocking(0),
      winsockCannotReset(0), sounds{}, invalidKey(nullptr), mainProfile(nullptr), usersProfile(nullptr),
      separateUsers(0) {}

SVRCFG::~SVRCFG() {}

BBOOL SVRCFG::OpenProfile(PROFILE& profile, const char* path) {
    mainProfile = &profile;
    usersProfile = &profile;
    return profile.ReadFile(path, TRUE) == 0;
}

BBOOL SVRCFG::OpenUsers(PROFILE& profile, const char* path) {
    usersProfile = &profile;
    separateUsers = TRUE;
    return profile.ReadFile(path, FALSE) == 0;
}

BBOOL SVRCFG::ReadProfile() { return mainProfile != nullptr; }
void SVRCFG::ReadProfileString(const char*, BUFFER& out) {
    if (out.data && out.length > 0) out.data[0] = 0;
}
void SVRCFG::CloseProfile() { mainProfile = nullptr; }
void SVRCFG::CloseUsers() {}
void SVRCFG::RestoreUserRegistry() {}
void SVRCFG::WriteSimReqs(BBOOL, int) {}
void SVRCFG::WriteAdminOptions() {}
void SVRCFG::WriteAppServers(APPSERVERS*) {}
void SVRCFG::WriteLocalUserName(const char*) {}
void SVRCFG::WriteNetIntCfg(NETWORKINTERFACE&) {}
BBOOL SVRCFG::ReadUsers() { return usersProfile != nullptr; }
BBOOL SVRCFG::WriteUser(APPUSER&) { return TRUE; }
BBOOL SVRCFG::RemoveUser(APPUSER&) { return TRUE; }
BBOOL SVRCFG::RemoveAllUsers() { return TRUE; }
