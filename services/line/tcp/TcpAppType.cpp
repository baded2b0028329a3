#include "TcpAppType.h"

#include "AppDebug.h"
#include "AppLog.h"
#include "Profile.h"
#include "TcpDefinition.h"
#include "TextHelpers.h"

int TCPCLASS_INIT::InitCount = 0;

TCPAPPCFG::TCPAPPCFG() : outboundPort{} {}

TCPAPPCFG::~TCPAPPCFG() {}

BBOOL TCPAPPCFG::ReadProfile(PROFILE& p, const char* section) {
    char value[256];
    if (p.ReadString(section, "TCP/IP Outbound Port", BUFFER(value, sizeof value)) >= 0)
        _strzcpy(outboundPort, value, sizeof outboundPort);
    if (invalidKey) return FALSE;
    return APPCFG::ReadProfile(p, section);
}

TCPAPPTYPE::TCPAPPTYPE(const char* n, const char* logName, BBOOL settings, BBOOL withDebug, BBOOL withLog)
    : APPTYPE(n ? n : "TCPIP") {
    if (settings) {
        config = new TCPAPPCFG;
        config->prepare();
    }
    if (withDebug) {
        debug = new APPDEBUG(this);
        debug->prepare();
    }
    if (withLog) log = new APPLOG(logName ? logName : "TCPIP");
}

TCPAPPTYPE::~TCPAPPTYPE() {
    if (config) config->freeobj();
    config = nullptr;
    if (debug) debug->freeobj();
    debug = nullptr;
    delete log;
    log = nullptr;
}

APPDEFINITION* TCPAPPTYPE::CreateAppDefinition() {
    definition = TCPDEFINITION::CreateTCPIPDefinition(this);
    return definition;
}
