#include "TcpDefinition.h"

#include <cstring>
#include <string>
#include <vector>

#include "AppLog.h"
#include "AppStatus.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "TaskAbend.h"
#include "TcpAppInstance.h"
#include "TcpAppType.h"
#include "TcpConnection.h"
#include "TcpInterface.h"
#include "TcpReqMonitor.h"
#include "TextHelpers.h"
#include "Profile.h"
#include "WinSockControl.h"
#include "WinSockInterface.h"

LOOKUPROW _TCPIPInterfaceOptions[] = {
    {"ALL", 0, 1, 1, 0, 0},
    {"DEFAULT", 3, 1, 2, 0, 0},
    {"DYNAMIC", 3, 1, 3, 0, 0},
    {"", 0, 0, 0, 0, 0},
};

long TCPDEFINITION::definedTCPIPApplications = 0;
long TCPDEFINITION::activeTCPIPApplications = 0;
CHAIN<TCPUSER>* TCPDEFINITION::ppermittedUsers = nullptr;
CHAIN<TCPUSER>* TCPDEFINITION::pdeniedUsers = nullptr;
WINSOCKCONTROL* TCPDEFINITION::psecondaryDialerCtl = nullptr;
BBOOL TCPDEFINITION::interfacesRead = FALSE;

namespace {
BBOOL systemIsWindows95() { return _SystemIsWindows95 != 0; }
int controlInterfaces(WINSOCKCONTROL* control, int option, const char* names) {
    return control ? control->GetLocalInterfaces(option, names) : -1;
}

// The configured secondary socket-stack line, or null.
TCPINTERFACE* secondaryLine() {
    if (!_pSvr || _pSvr->config.secondaryWinsockLine <= 0) return nullptr;
    return TCPINTERFACE::FindRelativeLine((int)_pSvr->config.secondaryWinsockLine);
}
}  // namespace

BBOOL (*TCPDEFINITION::pIsWindows95)() = systemIsWindows95;
int (*TCPDEFINITION::pGetLocalInterfaces)(WINSOCKCONTROL*, int, const char*) = controlInterfaces;

TCPDEFINITION::TCPDEFINITION(APPTYPE* t, BBOOL createInstance)
    : APPDEFINITION(t), socketControl(nullptr), monitor(nullptr), listener(nullptr), secondaryAllowed(0) {
    _strzcpy(name, "TCPIP", sizeof name);
    if (createInstance) {
        TCPAPPINSTANCE* i = new TCPAPPINSTANCE(this);
        i->prepare();
        instances.Add(*i);
    }
    if (definedTCPIPApplications++ != 0) return;
    ppermittedUsers = new CHAIN<TCPUSER>(TRUE);
    ppermittedUsers->prepare();
    pdeniedUsers = new CHAIN<TCPUSER>(TRUE);
    pdeniedUsers->prepare();
    if (!_pSvr) return;
    CITERATOR<APPUSER> it;
    for (APPUSER* u = it.Begin(_pSvr->options.users.users); u; u = it.Next()) {
        TCPUSER* copy = new TCPUSER(*u);
        copy->prepare();  // the chain's hold
        ppermittedUsers->Add(*copy);
    }
    it.End();
}

TCPDEFINITION::~TCPDEFINITION() {
    if (--definedTCPIPApplications != 0) return;
    for (CHAIN<TCPUSER>** chain : {&ppermittedUsers, &pdeniedUsers}) {
        if (!*chain) continue;
        (*chain)->RemoveAll(TRUE, nullptr);
        (*chain)->freeobj();
        *chain = nullptr;
    }
}

TCPDEFINITION* TCPDEFINITION::CreateTCPIPDefinition(APPTYPE* type) {
    TCPDEFINITION* d = new TCPDEFINITION(type, FALSE);
    d->prepare();
    return d;
}

TCPAPPINSTANCE* TCPDEFINITION::CreateInstance(TCPAPPINSTANCE* parent) {
    TCPAPPINSTANCE* i = new TCPAPPINSTANCE(this);
    i->prepare();
    if (parent) {
        i->parent = parent;
        parent->secondaries.Add(*i);
    }
    return i;
}

void TCPDEFINITION::ConfigureControl(WINSOCKCONTROL& control, TCPAPPCFG* cfg) {
    if (cfg) {
        control.connectionsPerPort = (int)cfg->tcpConnections;
        control.maxAuxPorts = (int)cfg->tcpDynamicPorts;
        control.maxSendSize = (int)cfg->tcpSendLimit;
    }
    if (!control.streamHandler) control.streamHandler = TCPREQMONITOR::MessageMonitor;
}

void TCPDEFINITION::CloseMonitorLinks(REQUESTMONITOR* m, DATACONNECTION* own) {
    if (m) {
        m->stopEvent.PostEvent();
        m->RequestWakeup();
        m->RequestWakeup();
        CITERATOR<DATACONNECTION> it;
        for (DATACONNECTION* c = it.Begin(m->active); c; c = it.Next()) {
            if (!c->link) continue;
            c->link->closed = TRUE;
            c->link->aborted = TRUE;
            c->link->CloseLink(TRUE);
        }
        it.End();
    }
    if (own && own->link) {
        own->link->closed = TRUE;
        own->link->aborted = TRUE;
        own->link->CloseLink(TRUE);
    }
}

BBOOL TCPDEFINITION::StartCommunications() {
    TCPAPPCFG* cfg = type ? dynamic_cast<TCPAPPCFG*>(type->config) : nullptr;
    long connections = cfg ? cfg->tcpConnections : 0;
    if (cfg && std::strcmp(cfg->tcpServicePort, "0") == 0) connections = 0;
    if (!socketControl) {
        socketControl = new WINSOCKCONTROL;
        socketControl->prepare();
    }
    if (activeTCPIPApplications++ == 0) GetOutboundInterfaces();
    if (!monitor) {
        monitor = new TCPREQMONITOR(*socketControl, 1);
        monitor->prepare();
    }
    monitor->definition = this;
    if (!monitor->notifier) monitor->notifier = APPSTATUS::pdefaultConnNotify;

    ConfigureControl(*socketControl, cfg);
    const BBOOL perInstance = _pSvr && _pSvr->corvath;
    if (perInstance)
        socketControl->listenBacklog = 5;
    else if (socketControl->listenBacklog < 2)
        socketControl->listenBacklog = 2;
    if (_pSvr) {
        _strzcpy(socketControl->libraryName, _pSvr->config.inboundWinsock, sizeof socketControl->libraryName);
        socketControl->useBlockingHook = _pSvr->config.winsockBlocking;
        socketControl->win95Shutdown = _pSvr->config.winsockCannotReset != 0;
    }

    BBOOL ok = TRUE;
    if (connections != 0) {
        if (!listener) {
            listener = new TCPCONNECTION(this, *socketControl, nullptr, nullptr, nullptr);
            listener->prepare();
        }
        listener->definition = this;
        _strzcpy(listener->port, cfg->tcpServicePort, sizeof listener->port);
        _strzcpy(listener->linkType, cfg->tcpLink, sizeof listener->linkType);
        listener->skip = TRUE;
        ok = listener->Connect(LINK_CLIENT_LISTEN, TRUE, (int)connections, monitor, nullptr, nullptr, nullptr, nullptr);
        if (ok) ok = monitor->StartLinkMonitor(listener, REQUESTMONITOR::TCPIPMonitor);
        if (ok) ok = monitor->StartMonitor(shared);
    }
    if (ok) ok = StartInstanceCommunications();
    TCPAPPINSTANCE* first = dynamic_cast<TCPAPPINSTANCE*>(instances.First());
    if (first && secondaryAllowed && secondaryLine() && pIsWindows95() && _pSvr &&
        _pSvr->config.secondaryWinsockProfile[0]) {
        if (!CreateInstance(first)) {
            // The service listens and serves: it runs; only the second stack is missing.
            if (type && type->log) type->log->LogMsg("Unable to create the secondary instance of ", name);
        }
    }
    return ok;
}

void TCPDEFINITION::WaitForForcedShutdown() {
    // Not the terminate event: a normal stop resets it before stopping the services,
    // and nobody posts it again. The fast-stop event is posted once ForceShutdown
    // has run on every definition, and stays posted.
    if (_pSvr && _pSvr->fastTermination) _pSvr->fastStopEvent.WaitEvent(QV_WAIT_FOREVER);
}

BBOOL TCPDEFINITION::StopCommunications() {
    BBOOL result = StopInstanceCommunications();
    if (monitor) {
        monitor->stopEvent.PostEvent();
        monitor->RequestWakeup();
        monitor->RequestWakeup();
        monitor->Wait();
        if (listener && listener->link) listener->link->NotifyMonitor();
        monitor->WaitLinkMonitor();
        monitor->StopMonitor();
    }
    WaitForForcedShutdown();
    if (listener) {
        listener->Disconnect();
        listener->freeobj();
        listener = nullptr;
    }
    if (monitor) {
        monitor->freeobj();
        monitor = nullptr;
    }
    if (activeTCPIPApplications > 0 && --activeTCPIPApplications == 0) {
        releaseSecondaryStack();
        TCPCONTROL::FreeLocalInterfaces();
        interfacesRead = FALSE;
    }
    if (socketControl) {
        socketControl->freeobj();
        socketControl = nullptr;
    }
    return result;
}

namespace {
std::vector<TCPAPPINSTANCE*> instancesOf(CHAIN<APPINSTANCE>& chain) {
    std::vector<TCPAPPINSTANCE*> all;
    MSEMHOLD hold(chain.lock);
    for (bSPOINTER* c = chain.first; c && c->target; c = c->next)
        if (TCPAPPINSTANCE* i = dynamic_cast<TCPAPPINSTANCE*>(CHAIN<APPINSTANCE>::Cast(c->target))) all.push_back(i);
    return all;
}
}  // namespace

BBOOL TCPDEFINITION::StartSecondaryCommunications(void* line) {
    if (!secondaryAllowed) return TRUE;
    for (TCPAPPINSTANCE* i : instancesOf(instances)) i->StartSecondaryCommunications(static_cast<LINKINTERFACE*>(line));
    return TRUE;
}

BBOOL TCPDEFINITION::StopSecondaryCommunications(void* line) {
    if (!secondaryAllowed) return TRUE;
    for (TCPAPPINSTANCE* i : instancesOf(instances)) i->StopSecondaryCommunications(static_cast<LINKINTERFACE*>(line));
    return TRUE;
}

void TCPDEFINITION::createSecondaryInstance() {
    TCPAPPINSTANCE* first = dynamic_cast<TCPAPPINSTANCE*>(instances.First());
    if (!first || !secondaryAllowed || !secondaryLine() || !pIsWindows95() || !_pSvr ||
        !_pSvr->config.secondaryWinsockProfile[0] || first->secondaries.Count() > 0)
        return;
    CreateInstance(first);
}

void TCPDEFINITION::NewConnectSettings(BBOOL connected) {
    if (!connected) {
        interfacesRead = FALSE;
        return;
    }
    if (!interfacesRead) {
        interfacesRead = TRUE;
        GetOutboundInterfaces();
    }
    createSecondaryInstance();
}

void TCPDEFINITION::ForceShutdown() {
    CloseMonitorLinks(monitor, listener);
    APPDEFINITION::ForceShutdown();
}

int TCPDEFINITION::ParseInterfaceSetting(const char* setting, const char* const phonebook[4], char* names, int size) {
    if (names && size > 0) names[0] = 0;
    char text[256];
    _strzcpy(text, setting ? setting : "", sizeof text);
    char* cursor = text;
    char word[64];
    // Words run to a comma; blanks inside stay; quotes are taken off and keep the case.
    if (_ScanWord(&cursor, word, sizeof word, TRUE, TRUE, ",", " ,") < 0) return 2;
    LOOKUPROW* row = _LookUp(_TCPIPInterfaceOptions, word, TRUE, FALSE);
    if (!row->valid || row->value == 2) return 2;
    while (*cursor == ' ' || *cursor == ',') cursor++;
    if (row->value == 1) {
        _strzcpy(names, cursor, size);
        return 1;
    }
    std::string list;
    for (int i = 0; i < 4 && phonebook && phonebook[i]; i++) {
        if (std::strcmp(phonebook[i], "none") == 0) break;
        if (!list.empty()) list += ",";
        list += "\"";
        list += phonebook[i];
        list += "\"";
    }
    _strzcpy(names, list.c_str(), size);
    return 3;
}

BBOOL TCPDEFINITION::GetOutboundInterfaces() {
    if (!_pSvr) return TRUE;
    const char* phonebook[4];
    for (int i = 0; i < 4; i++) phonebook[i] = _pSvr->lines.lines[i].phonebookEntry;
    char names[256];
    int option = ParseInterfaceSetting(_pSvr->config.outboundInterfaces, phonebook, names, sizeof names);
    if (option == 2) return TRUE;
    pGetLocalInterfaces(socketControl, option, names);

    TCPINTERFACE* line = secondaryLine();
    if (!line || !pIsWindows95() || !_pSvr->config.secondaryWinsockName[0]) return TRUE;
    WINSOCKINTERFACE* dialLine = dynamic_cast<WINSOCKINTERFACE*>(line);
    // A line named otherwise than the stack's own connection dials remote access
    // first, then has the connection converted for the stack.
    if (dialLine) dialLine->twoPhase = std::strcmp(line->name, _pSvr->config.secondaryWinsockName) != 0;
    if (!_pSvr->config.secondaryWinsockProfile[0]) return TRUE;
    if (!psecondaryDialerCtl) {
        psecondaryDialerCtl = new WINSOCKCONTROL;
        psecondaryDialerCtl->prepare();
        psecondaryDialerCtl->secondaryStack = TRUE;
    }
    psecondaryDialerCtl->dialInterface = line;
    if (dialLine)
        dialLine->SetControl(psecondaryDialerCtl, TRUE);
    else
        line->serviceControl = psecondaryDialerCtl;
    readSecondaryProfile();
    return TRUE;
}

void TCPDEFINITION::readSecondaryProfile() {
    if (WINSOCKCONTROL::pConfigProfile) return;
    PROFILE* p = new PROFILE;
    p->prepare();
    if (p->ReadFile(_pSvr->config.secondaryWinsockProfile, TRUE) != 0) {
        p->freeobj();
        return;
    }
    WINSOCKCONTROL::pConfigProfile = p;
}

void TCPDEFINITION::releaseSecondaryStack() {
    if (TCPINTERFACE* line = secondaryLine()) {
        if (WINSOCKINTERFACE* dialLine = dynamic_cast<WINSOCKINTERFACE*>(line))
            dialLine->SetControl(nullptr, FALSE);
        else
            line->serviceControl = nullptr;
    }
    if (psecondaryDialerCtl) {
        psecondaryDialerCtl->freeobj();
        psecondaryDialerCtl = nullptr;
    }
    if (WINSOCKCONTROL::pConfigProfile) {
        WINSOCKCONTROL::pConfigProfile->freeobj();
        WINSOCKCONTROL::pConfigProfile = nullptr;
    }
}
