#include "TcpInterface.h"
#include "TcpControl.h"
#include "TcpSockLink.h"
#include <cstring>

TCPINTERFACE::TCPINTERFACE(const char* text)
    : LINKINTERFACE(text), address(0), links(1), idleLinks(0), words{0, 0}, managed(0) {
    addressText[0] = 0;
}

TCPINTERFACE::~TCPINTERFACE() {
    MSEMHOLD hold(links.lock);
    for (bSPOINTER* c = links.first; c->target; c = c->next) {
        TCPSOCKLINK* l = static_cast<TCPSOCKLINK*>(c->target);
        l->interfaceNode = nullptr;
        l->netInterface = nullptr;
    }
    links.RemoveAll(0, nullptr);
}

void TCPINTERFACE::EndLinks() {
    CITERATOR<TCPSOCKLINK> it;
    for (TCPSOCKLINK* l = it.Begin(links); l; l = it.Next()) {
        if (l->closed) continue;
        l->error = COMMLINK::ErrorInterfaceDown;
        l->closed = 1;
        l->aborted = 1;
        l->connected = 0;
        l->NotifyMonitor();
    }
    it.End();
}

void TCPINTERFACE::Disconnect(BBOOL b, BBOOL notify) {
    EndLinks();
    LINKINTERFACE::Disconnect(b, notify);
}

unsigned long TCPINTERFACE::ResolveAddress(TCPSOCKLINK* link) {
    if (address == 0 && addressText[0] && link) {
        unsigned long a = link->TCPGetAddress(addressText, 0);
        if (a != link->k.noAddress) address = a;
    }
    return address;
}

namespace {
// The last usable interface whose address is the client's socket address.
TCPINTERFACE* FindByAddress(unsigned long clientAddress, TCPSOCKLINK* link) {
    TCPINTERFACE* found = nullptr;
    CITERATOR<TCPINTERFACE> it;
    for (TCPINTERFACE* i = it.Begin(*_pTCPIPInterfaces); i; i = it.Next())
        if (!i->stale && i->connected && i->ResolveAddress(link) == clientAddress) found = i;
    it.End();
    return found;
}

unsigned long ClientAddress(TCPSOCKLINK* link) {
    if (!link) return 0;
    unsigned long a = link->TCPGetLocalTCPAddr(1);
    return a == link->k.noAddress ? 0 : a;
}
}  // namespace

TCPINTERFACE* TCPINTERFACE::FindUserInterface(TCPCONTROL* control, TCPSOCKLINK* link) {
    if (!control || !control->interfaceList || !_pTCPIPInterfaces || !link || !link->connected) return nullptr;
    unsigned long a = ClientAddress(link);
    return a ? FindByAddress(a, link) : nullptr;
}

TCPINTERFACE* TCPINTERFACE::FindBestInterface(TCPCONTROL* control, TCPSOCKLINK* link, int) {
    if (!control || !control->interfaceList || !_pTCPIPInterfaces) return nullptr;
    unsigned long a = ClientAddress(link);
    TCPINTERFACE* client = a ? FindByAddress(a, link) : nullptr;
    BBOOL clientDialUp = client ? client->dialUp : 0;
    TCPINTERFACE* best = nullptr;
    long bound = 999999;
    CITERATOR<TCPINTERFACE> it;
    for (TCPINTERFACE* i = it.Begin(*_pTCPIPInterfaces); i; i = it.Next()) {
        if (i->stale || !i->connected || (i->dialUp != 0) == (clientDialUp != 0)) continue;
        if (i->Load() < bound) {  // strictly smaller: the first of equal loads wins
            bound = i->Load();
            best = i;
        }
    }
    it.End();
    return best;
}

TCPINTERFACE* TCPINTERFACE::FindRelativeLine(int n) {
    if (!_pTCPIPInterfaces || n < 1) return nullptr;
    TCPINTERFACE* found = nullptr;
    CITERATOR<TCPINTERFACE> it;
    for (TCPINTERFACE* i = it.Begin(*_pTCPIPInterfaces); i; i = it.Next())
        if (!i->stale && i->dialUp && --n == 0) {
            found = i;
            break;
        }
    it.End();
    return found;
}

BBOOL TCPINTERFACE::IsLineDefined(int n) { return FindRelativeLine(n) != nullptr; }

BBOOL TCPINTERFACE::GetLineState(int n, BBOOL check) {
    TCPINTERFACE* line = FindRelativeLine(n);
    return line ? line->CheckInterfaceStatus(check) : 0;
}

BBOOL TCPINTERFACE::SetLineState(int n, BBOOL up) {
    TCPINTERFACE* line = FindRelativeLine(n);
    if (!line) return 0;
    BBOOL busy = line->connected || line->connecting;
    if (up && !busy) return line->Connect(1);
    if (!up && busy) line->Disconnect(1, 1);
    return 1;
}

void TCPINTERFACE::ShutDown(BBOOL force) {
    if (!_pTCPIPInterfaces) return;
    CITERATOR<TCPINTERFACE> it;
    for (TCPINTERFACE* i = it.Begin(*_pTCPIPInterfaces); i; i = it.Next()) {
        if (!i->managed) continue;
        if (i->connecting || (i->connected && (force || i->secondary))) {
            i->Disconnect(1, 1);
            i->DisableRouting();
        }
    }
    it.End();
}
