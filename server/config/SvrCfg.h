#pragma once
// The server's settings from the main profile (QUORHUB.INI): read once at
// start, written back a group at a time when the console changes them; the
// registry and system-file changes it asks for, and their undo.
#include "QvWindows.h"
#include "BaseItem.h"

class PROFILE;
class APPUSER;
struct APPSERVERS;
class NETWORKINTERFACE;

class SVRCFG {
public:
    SVRCFG();
    ~SVRCFG();  // closes the profiles

    BBOOL OpenProfile(PROFILE& profile, const char* path);
    BBOOL OpenUsers(PROFILE& profile, const char* path);
    // FALSE without a main profile or when a value was bad (invalidKey names it).
    BBOOL ReadProfile();
    void ReadProfileString(const char* key, BUFFER& out);
    // Restores the saved USER registry values; releases the main profile.
    void CloseProfile();
    void CloseUsers();
    // Sets the registry values saved in [Saved USER Registry Keys] back.
    void RestoreUserRegistry();

    void WriteSimReqs(BBOOL support, int count);
    void WriteAdminOptions();
    void WriteAppServers(APPSERVERS* servers);
    void WriteLocalUserName(const char* name);
    void WriteNetIntCfg(NETWORKINTERFACE& lines);

    BBOOL ReadUsers();
    BBOOL WriteUser(APPUSER& user);
    BBOOL RemoveUser(APPUSER& user);
    BBOOL RemoveAllUsers();

    // [Applications]
    BBOOL appSQL, appHTTP, appTELNET, appFTP, appNNTP, appPOP, appSMTP;
    BBOOL technicalSupport;
    BBOOL initialTraceState;
    BBOOL commTracing;
    BBOOL appRequestTracing;
    BBOOL cacheTracing;
    BBOOL memoryTracing;
    BBOOL buddyTracing;
    BBOOL logAppRequests;  // "Log Application Requests"
    BBOOL appStatus;       // "Application Status"
    BBOOL taskTracing;
    BBOOL functionTracing;
    BBOOL autoTerminate;
    BBOOL userSecurity;
    BBOOL allowExternalUsers;
    BBOOL testIconFiles;
    BBOOL useIconTray;
    BBOOL oemCommSettings;
    BBOOL systemChanged;
    long traceBuffer;  // bytes
    long traceData;
    long commBuffers;
    long backupFiles;
    BBOOL dialingLimit;
    BBOOL phonebookRouting;
    BBOOL multipleRoutes;
    BBOOL dynamicRouting;
    BBOOL asyncDNS;
    BBOOL localLoop;
    char outboundInterfaces[256];
    char usersFile[256];
    char initialRequestFile[256];
    char logfileEditor[64];
    char displayFont1[64];
    char displayFont2[64];
    long fontSize;
    long lineColors[4];
    char inboundWinsock[128];
    char outboundWinsock[128];
    char secondaryWinsockName[128];
    char secondaryWinsockProfile[128];
    char secondaryWinsockVersion[64];
    long secondaryWinsockLine;
    BBOOL winsockBlocking;
    BBOOL winsockCannotReset;
    char sounds[6][256];
    const char* invalidKey;
    PROFILE* mainProfile;
    PROFILE* usersProfile;
    BBOOL separateUsers;
    // This start applied the registry sections: CloseProfile restores them. Clear
    // when another instance's console runs, whose changes must stay.
    BBOOL registryApplied;

private:
    void readServerConfiguration();
    void readCommunications();
    void readStartup();
    // TRUE when a Saved entry was written.
    BBOOL applyRegistryKeys(const char* section, BBOOL local);
    // TRUE when a CHECKED entry was written.
    BBOOL checkSystemFiles();
    void readLines(NETWORKINTERFACE& lines);

    SVRCFG(const SVRCFG&) = delete;
    SVRCFG& operator=(const SVRCFG&) = delete;
};
