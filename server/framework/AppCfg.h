#pragma once
// The settings every service reads from its own section of the main profile.
#include "QvWindows.h"
#include "BaseItem.h"

class PROFILE;

class APPCFG : public BASEITEM {
public:
    APPCFG();
    ~APPCFG() override;

    QV_ITEM_IDENTITY(APPCFG, "APPCFG", "APCF")

    // Reads the section; a missing key keeps its value. FALSE when some value
    // was bad: invalidKey names the last such key (a read never clears it).
    virtual BBOOL ReadProfile(PROFILE& profile, const char* section);

    BBOOL connectBanner;
    BBOOL fullLogging;
    long backupFiles;
    char requestFile[256];
    char namedPipeLink[64];
    long namedPipeConnections;
    char tcpLink[64];
    char tcpServicePort[64];
    long tcpConnections;
    long tcpDynamicPorts;
    long tcpSendLimit;
    const char* invalidKey;
    PROFILE* profile;
    char section[64];
};
