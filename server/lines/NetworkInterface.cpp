#include "NetworkInterface.h"

#include <cstring>

#include "AppRequest.h"

// First bodies: no line is ever dialled; the line policy replaces them.

LINEINTERFACE::LINEINTERFACE()
    : owner(nullptr), lineNumber(0), commandId(0), requestedState(0), phonebookEntry{}, redial(0),
      idleDisconnect(0), idleMinutes(0), keepAlive(0), repeatDialing(0), repeatDialingCount(0), connected(0),
      requestedUp(0), lineState(0), dialPending(0), redialling(0), retryCount(0) {}

LINEINTERFACE::LINEINTERFACE(const LINEINTERFACE& other) : LINEINTERFACE() { *this = other; }

LINEINTERFACE& LINEINTERFACE::operator=(const LINEINTERFACE& other) {
    std::memcpy(phonebookEntry, other.phonebookEntry, sizeof phonebookEntry);
    redial = other.redial;
    idleDisconnect = other.idleDisconnect;
    idleMinutes = other.idleMinutes;
    keepAlive = other.keepAlive;
    repeatDialing = other.repeatDialing;
    repeatDialingCount = other.repeatDialingCount;
    return *this;
}

BBOOL LINEINTERFACE::IsLineConfigured() const {
    return phonebookEntry[0] && std::strcmp(phonebookEntry, "none") != 0;
}

NETWORKINTERFACE::NETWORKINTERFACE()
    : started(0), lineCount(1), samplingInterval(10), connectWhenLaunched(0), connectUponRequest(0),
      escalation{}, startupDialling(0), lineSetActive(0), pollCounter(0) {
    for (int i = 0; i < 4; ++i) {
        lines[i].owner = this;
        lines[i].lineNumber = i + 1;
        lines[i].commandId = 0xC85 + i;
    }
}

NETWORKINTERFACE::~NETWORKINTERFACE() { waiting.RemoveAll(FALSE, nullptr); }

void NETWORKINTERFACE::Startup() { started = TRUE; }
void NETWORKINTERFACE::Shutdown(BBOOL) { started = FALSE; }
int NETWORKINTERFACE::ConnectOnRequest(APPREQUEST*) { return 0; }
void NETWORKINTERFACE::ProcessNewConnection(DATACONNECTION*) {}
int NETWORKINTERFACE::CheckCommInterfaces(BBOOL) { return 0; }
void NETWORKINTERFACE::GetCommStatusMsg(LINKINTERFACE*, BUFFER& out) {
    if (out.data && out.length > 0) out.data[0] = 0;
}
int NETWORKINTERFACE::SetLineState(LINKINTERFACE*, int, BBOOL) { return 0; }
void NETWORKINTERFACE::ProcessCommConnect(LINKINTERFACE*) {}
void NETWORKINTERFACE::ProcessCommDisconnect(LINKINTERFACE*) {}
void NETWORKINTERFACE::ProcessDisconnectThread(void*) {}
