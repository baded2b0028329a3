#include "AppCfg.h"

#include <cstring>

#include "LookupTable.h"
#include "Profile.h"
#include "TextHelpers.h"

APPCFG::APPCFG()
    : connectBanner(1), fullLogging(0), backupFiles(0), requestFile{}, namedPipeLink{}, namedPipeConnections(0),
      tcpLink{}, tcpServicePort{}, tcpConnections(0), tcpDynamicPorts(0), tcpSendLimit(0), invalidKey(nullptr),
      profile(nullptr), section{} {}

APPCFG::~APPCFG() {}

namespace {
// A present key with a bad value names itself in invalid.
void readYesNo(PROFILE& p, const char* section, const char* key, BBOOL& value, const char*& invalid) {
    BBOOL v = value;
    int rc = p.ReadBOOL(section, key, v);
    if (rc == 0) value = v;
    else if (rc > 0) invalid = key;
}

void readNumber(PROFILE& p, const char* section, const char* key, long& value, const char*& invalid,
                BBOOL check = TRUE) {
    int v = (int)value;
    int rc = p.ReadINT(section, key, v);
    if (rc == 0) value = v;
    else if (rc > 0 && check) invalid = key;
}

void readText(PROFILE& p, const char* section, const char* key, char* value, int size) {
    char buf[256];
    if (p.ReadString(section, key, BUFFER(buf, sizeof buf)) >= 0) _strzcpy(value, buf, size);
}
}  // namespace

BBOOL APPCFG::ReadProfile(PROFILE& p, const char* s) {
    profile = &p;
    _strzcpy(section, s ? s : "", sizeof section);
    const char* bad = nullptr;
    readYesNo(p, section, "Connect Banner", connectBanner, bad);
    readYesNo(p, section, "Full Logging", fullLogging, bad);
    readNumber(p, section, "Backup Files", backupFiles, bad, FALSE);
    readText(p, section, "Named Pipe Link", namedPipeLink, sizeof namedPipeLink);
    if (namedPipeLink[0]) readNumber(p, section, "Named Pipe Connections", namedPipeConnections, bad);
    readText(p, section, "Request File", requestFile, sizeof requestFile);
    readText(p, section, "TCP/IP Link", tcpLink, sizeof tcpLink);
    readText(p, section, "TCP/IP Service Port", tcpServicePort, sizeof tcpServicePort);
    if (tcpLink[0]) {
        readNumber(p, section, "TCP/IP Connections", tcpConnections, bad);
        readNumber(p, section, "TCP/IP Dynamic Ports", tcpDynamicPorts, bad);
        readNumber(p, section, "TCP/IP Send Limit", tcpSendLimit, bad);
    }
    if (bad) invalidKey = bad;
    return bad == nullptr;
}
