#include "LinkInterface.h"
#include <cstring>

LINKSTATUSNOTIFIER LINKINTERFACE::pStatusNotifier = nullptr;
LINKDIALERPARMS LINKINTERFACE::pDialerParms = nullptr;

LINKINTERFACE::LINKINTERFACE(const char* text)
    : dialUp(0), connected(0), stale(0), down(1), connecting(0), dropped(0), failed(0), active(0),
      secondary(0), linkFailure(0), lineNumber(0), serviceControl(nullptr), bytesReceived(0),
      bytesSent(0), sampleInterval(0), state(2) {
    name[0] = 0;
    if (text) {
        size_t n = strnlen(text, sizeof(name) - 1);
        memcpy(name, text, n);
        name[n] = 0;
    }
    memset(statistics, 0, sizeof(statistics));
    statusText[0] = 0;
}

LINKINTERFACE::~LINKINTERFACE() {}

BBOOL LINKINTERFACE::CheckInterfaceStatus(BBOOL) { return connected || connecting; }

BBOOL LINKINTERFACE::Connect(BBOOL notify) {
    connected = 1;
    dropped = 0;
    failed = 0;
    connecting = 0;
    state = 1;
    if (notify && pStatusNotifier) pStatusNotifier(this, nullptr);
    return 1;
}

void LINKINTERFACE::Disconnect(BBOOL, BBOOL notify) {
    down = 1;
    connecting = 0;
    connected = 0;
    state = 2;
    if (notify && pStatusNotifier) pStatusNotifier(this, nullptr);
}
