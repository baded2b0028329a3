#include "TcpAppInstance.h"

#include <vector>

#include "AppStatus.h"
#include "SvrSystem.h"
#include "TcpAppType.h"
#include "TcpConnection.h"
#include "TcpDefinition.h"
#include "TcpReqMonitor.h"
#include "TextHelpers.h"
#include "WinSockControl.h"

TCPAPPINSTANCE::TCPAPPINSTANCE(APPDEFINITION* d)
    : APPINSTANCE(d), monitor(nullptr), socketControl(nullptr), connection(nullptr), parent(nullptr),
      secondaries(TRUE) {}

TCPAPPINSTANCE::~TCPAPPINSTANCE() {
    StopCommunications();
    secondaries.RemoveAll(TRUE, nullptr);
}

TCPDEFINITION* TCPAPPINSTANCE::Definition() const { return dynamic_cast<TCPDEFINITION*>(definition); }

TCPAPPCFG* TCPAPPINSTANCE::Settings() const {
    return definition && definition->type ? dynamic_cast<TCPAPPCFG*>(definition->type->config) : nullptr;
}

BBOOL TCPAPPINSTANCE::StartCommunications(APPWORKERPROC worker) {
    if (!APPINSTANCE::StartCommunications(worker)) return FALSE;
    if (!socketControl) {
        socketControl = new WINSOCKCONTROL;
        socketControl->prepare();
    }
    if (!monitor) {
        monitor = new TCPREQMONITOR(*socketControl, 2);
        monitor->prepare();
    }
    monitor->definition = Definition();
    if (!monitor->notifier) monitor->notifier = APPSTATUS::pdefaultConnNotify;

    TCPAPPCFG* cfg = Settings();
    const long connections = cfg ? cfg->tcpConnections : 0;
    TCPDEFINITION::ConfigureControl(*socketControl, cfg);
    if (!parent) {
        if (_pSvr) {
            _strzcpy(socketControl->libraryName, _pSvr->config.outboundWinsock, sizeof socketControl->libraryName);
            socketControl->useBlockingHook = _pSvr->config.winsockBlocking;
            // The inverse of the inbound control's switch.
            socketControl->win95Shutdown = _pSvr->config.winsockCannotReset == 0;
        }
    } else {
        socketControl->libraryName[0] = 0;
        socketControl->useBlockingHook = FALSE;
        socketControl->win95Shutdown = FALSE;
        socketControl->secondaryStack = TRUE;
    }
    if (connections == 0) return TRUE;

    if (!connection) {
        connection = new TCPCONNECTION(definition, *socketControl, nullptr, nullptr, nullptr);
        connection->prepare();
    }
    connection->definition = definition;
    _strzcpy(connection->port, "0", sizeof connection->port);
    _strzcpy(connection->linkType, cfg ? cfg->tcpLink : "", sizeof connection->linkType);
    connection->skip = TRUE;
    if (!connection->Connect(LINK_SERVER_LISTEN, TRUE, (int)connections, monitor, nullptr, nullptr, nullptr, nullptr))
        return FALSE;
    if (!monitor->StartLinkMonitor(connection, REQUESTMONITOR::TCPIPMonitor)) return FALSE;
    return monitor->StartMonitor(shared);
}

void TCPAPPINSTANCE::StopMonitor() {
    if (!monitor) return;
    monitor->stopEvent.PostEvent();
    monitor->RequestWakeup();
    monitor->RequestWakeup();
    monitor->Wait();
    if (connection && connection->link) connection->link->NotifyMonitor();
    monitor->WaitLinkMonitor();
    monitor->StopMonitor();
}

BBOOL TCPAPPINSTANCE::StopCommunications() {
    forceShutdown = TRUE;
    RequestWakeup();
    StopSecondaryCommunications(nullptr);
    StopMonitor();
    TCPDEFINITION::WaitForForcedShutdown();
    if (connection) {
        connection->Disconnect();
        connection->freeobj();
        connection = nullptr;
    }
    if (monitor) {
        monitor->freeobj();
        monitor = nullptr;
    }
    APPINSTANCE::StopCommunications();
    if (socketControl) {
        socketControl->freeobj();
        socketControl = nullptr;
    }
    return TRUE;
}

void TCPAPPINSTANCE::ForceShutdown() {
    TCPDEFINITION::CloseMonitorLinks(monitor, connection);
    APPINSTANCE::ForceShutdown();
}

TCPCONNECTION* TCPAPPINSTANCE::CreateConnection(BBOOL internal) {
    if (!connection) return nullptr;
    TCPCONNECTION* made = new TCPCONNECTION(*connection, FALSE, internal);
    made->prepare();
    return made;
}

TCPAPPINSTANCE* TCPAPPINSTANCE::ChooseInstance(LINKINTERFACE* via) {
    if (via && via->serviceControl && secondaries.Count() > 0) {
        MSEMHOLD hold(secondaries.lock);
        if (TCPAPPINSTANCE* s = secondaries.First()) return s;
    }
    return this;
}

BBOOL TCPAPPINSTANCE::EstablishConnection(TCPCONNECTION* c, LINKINTERFACE* via, const char* address) {
    TCPAPPINSTANCE* i = ChooseInstance(via);
    if (!c || !i->monitor || !i->connection) return FALSE;
    return c->Connect(LINK_SERVER_CONNECT, TRUE, 1, i->monitor, i->connection, address, nullptr, via);
}

BBOOL TCPAPPINSTANCE::ListenConnection(TCPCONNECTION* c, LINKINTERFACE* via) {
    TCPAPPINSTANCE* i = ChooseInstance(via);
    if (!c || !i->monitor) return FALSE;
    return c->Connect(LINK_SERVER_LISTEN, TRUE, 1, i->monitor, i->connection, nullptr, nullptr, via);
}

namespace {
std::vector<TCPAPPINSTANCE*> snapshot(CHAIN<TCPAPPINSTANCE>& chain) {
    std::vector<TCPAPPINSTANCE*> all;
    MSEMHOLD hold(chain.lock);
    for (bSPOINTER* c = chain.first; c && c->target; c = c->next) all.push_back(CHAIN<TCPAPPINSTANCE>::Cast(c->target));
    return all;
}
}  // namespace

BBOOL TCPAPPINSTANCE::StartSecondaryCommunications(LINKINTERFACE*) {
    for (TCPAPPINSTANCE* s : snapshot(secondaries)) s->StartCommunications(nullptr);
    return TRUE;
}

BBOOL TCPAPPINSTANCE::StopSecondaryCommunications(LINKINTERFACE*) {
    for (TCPAPPINSTANCE* s : snapshot(secondaries)) s->StopCommunications();
    return TRUE;
}
