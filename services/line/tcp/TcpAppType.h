#pragma once
// The type, settings and package counter every TCP service shares.
#include "QvWindows.h"
#include "AppType.h"
#include "AppCfg.h"
#include "DataManager.h"
#include "DataPackage.h"
#include "WinSockControl.h"

// The common service keys plus "TCP/IP Outbound Port".
class TCPAPPCFG : public APPCFG {
public:
    TCPAPPCFG();
    ~TCPAPPCFG() override;

    QV_ITEM_IDENTITY(TCPAPPCFG, "TCPAPPCFG", "tcAC")

    // FALSE (reading nothing more) once a bad value was recorded.
    BBOOL ReadProfile(PROFILE& profile, const char* section) override;

    char outboundPort[64];  // the port towards servers; empty = not given
};

class TCPAPPTYPE : public APPTYPE {
public:
    // name and logName default to "TCPIP"; each flag asks for its object.
    TCPAPPTYPE(const char* name, const char* logName, BBOOL settings, BBOOL debug, BBOOL log);
    ~TCPAPPTYPE() override;

    QV_ITEM_IDENTITY(TCPAPPTYPE, "TCPAPPTYPE", "tcAT")

    APPDEFINITION* CreateAppDefinition() override;

    // The settings as the TCP layer reads them; null for a type without.
    TCPAPPCFG* Settings() const { return dynamic_cast<TCPAPPCFG*>(config); }
};

// Counts the TCP layer's users; every module of the TCP services makes one.
class TCPCLASS_INIT {
public:
    TCPCLASS_INIT() { ++InitCount; }
    ~TCPCLASS_INIT() { --InitCount; }
    static int InitCount;
};

static TCPCLASS_INIT _tcpClassInit;
