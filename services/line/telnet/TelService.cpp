#include "TelService.h"

#include "SpControl.h"
#include "LinkControl.h"
#include "TcpControl.h"
#include "WinSockControl.h"
#include "AppStatus.h"
#include "AppRequest.h"
#include "SvrSystem.h"
#include "TaskAbend.h"
#include "TelConnection.h"
#include "TelMessages.h"
#include "TelReqMonitor.h"
#include "TextHelpers.h"

const char TEL_WELCOME[] =
    "Welcome to the Quorvane TELNET Gateway.\r\nPlease enter the host address or a command.\r\n";

const TELTEXTS _TelnetTexts = {
    "The Quorvane Corvath is temporarily unavailable! Try again later!\r\n",
    "There are currently too many active users! Try again later!\r\n",
    "You are not authorized to access the Quorvane TELNET Gateway!\r\n",
    "\r\nUnable to connect to the specified host.\r\n",
};

// ---- type and package ---------------------------------------------------------

TELAPPTYPE::TELAPPTYPE(const char* n, const char* logName, BBOOL settings, BBOOL debug, BBOOL log)
    : TCPAPPTYPE(n ? n : "TELNET", logName ? logName : "TELNET", settings, debug, log) {}

APPDEFINITION* TELAPPTYPE::CreateAppDefinition() {
    definition = TELDEFINITION::CreateTELNETDefinition(this);
    return definition;
}

int TELCLASS_INIT::InitCount = 0;

TELCLASS_INIT::TELCLASS_INIT() {
    if (InitCount++ != 0) return;
    TELAPPTYPE* type = new TELAPPTYPE(nullptr, nullptr, TRUE, TRUE, TRUE);
    type->prepare();
    _pTELNETAppType = type;
}

TELCLASS_INIT::~TELCLASS_INIT() {
    if (--InitCount != 0 || !_pTELNETAppType) return;
    _pTELNETAppType->freeobj();
    _pTELNETAppType = nullptr;
}

// After the packages of the layers below, which their headers set up.
static TELCLASS_INIT _telClassInit;

// ---- definition ---------------------------------------------------------------

namespace {
TELDEFINITION* definitionOf(DATACONNECTION* c) {
    TCPREQMONITOR* m = c ? dynamic_cast<TCPREQMONITOR*>(c->monitor) : nullptr;
    TELDEFINITION* d = m ? dynamic_cast<TELDEFINITION*>(m->definition) : nullptr;
    if (!d) _Task_Abend(ABEND_PTR101, (ULONG_PTR)c);
    return d;
}

void statusNotify(DATACONNECTION* c, int state) {
    if (APPSTATUS::pdefaultConnNotify) APPSTATUS::pdefaultConnNotify(c, state);
}
}  // namespace

TELDEFINITION::TELDEFINITION(APPTYPE* t, BBOOL createInstance) : TCPDEFINITION(t, FALSE) {
    _strzcpy(name, "TELNET", sizeof name);
    secondaryAllowed = TRUE;
    if (createInstance) {
        TELAPPINSTANCE* i = new TELAPPINSTANCE(this);
        i->prepare();
        instances.Add(*i);
    }
}

TELDEFINITION* TELDEFINITION::CreateTELNETDefinition(APPTYPE* type) {
    TELDEFINITION* d = new TELDEFINITION(type, TRUE);
    d->prepare();
    return d;
}

TCPAPPINSTANCE* TELDEFINITION::CreateInstance(TCPAPPINSTANCE* parent) {
    TELAPPINSTANCE* i = new TELAPPINSTANCE(this);
    i->prepare();
    if (parent) {
        i->parent = parent;
        parent->secondaries.Add(*i);
    }
    return i;
}

void TELDEFINITION::MakeInboundObjects() {
    if (!socketControl) {
        socketControl = new WINSOCKCONTROL;
        socketControl->prepare();
    }
    if (!monitor) {
        monitor = new TELREQMONITOR(*socketControl, 1);
        monitor->prepare();
    }
    if (!listener) {
        listener = new TELCONNECTION(this, *socketControl, nullptr, nullptr, nullptr);
        listener->prepare();
    }
}

BBOOL TELDEFINITION::StartCommunications() {
    MakeInboundObjects();
    if (TELCONNECTION* l = dynamic_cast<TELCONNECTION*>(listener)) {
        l->lineTerminator = '\r';
        l->secondTerminator = '\n';
    }
    if (!monitor->notifier) monitor->notifier = NotifyConnection;
    if (!socketControl->streamHandler) socketControl->streamHandler = TELREQMONITOR::MessageMonitor;
    if (!socketControl->sendDrainedHook) socketControl->sendDrainedHook = TELREQMONITOR::SendQueueMonitor;
    return TCPDEFINITION::StartCommunications();
}

void TELDEFINITION::ConnectFailed(TELCONNECTION* client) {
    // A fixed relay has nothing else to do: it closes once the text has gone.
    if (client->fixedRelay) client->closeWhenIdle = TRUE;
    client->SendResponse(Texts().connectFailed, TRUE);
}

void TELDEFINITION::OpenFailed(TELCONNECTION* client) {
    if (!client) return;
    if (TELDEFINITION* d = dynamic_cast<TELDEFINITION*>(client->definition)) d->ConnectFailed(client);
    if (!client->fixedRelay) {
        client->relayMode = FALSE;
        if (client->link) client->link->StartReceiving();
    }
}

BBOOL TELDEFINITION::Admit(TELCONNECTION* client, int& reason) {
    reason = client->SetLoginUser(client->name, nullptr, nullptr);
    const BBOOL external = client->dialUp && !(_pSvr && _pSvr->allowExternalUsers);
    if (reason == LOGIN_IN && !external) return TRUE;
    if (reason == LOGIN_IN) reason = LOGIN_NOT_PERMITTED;
    // A refused client is neither logged in nor counted.
    client->SetLoginUser(nullptr, nullptr, nullptr);
    return FALSE;
}

void TELDEFINITION::Refuse(TELCONNECTION* client, int reason) {
    const TELTEXTS& t = Texts();
    const char* text = reason == LOGIN_NOT_READY ? t.notReady : reason == LOGIN_USER_LIMIT ? t.tooManyUsers : t.notAuthorized;
    client->closeWhenIdle = TRUE;
    client->SendResponse(text, TRUE);
}

void TELDEFINITION::ClientClosed(TELCONNECTION* client) {
    // The worker may be freeing the request meanwhile: take it under its lock.
    if (APPREQUEST* pending = client->TakeCurrentRequest(TRUE)) {
        pending->setConnection(APPCONN_CLIENT, nullptr);
        if (DATAREQUEST* r = pending->request) {
            r->connection = nullptr;
            r->sendable = FALSE;
        }
        pending->cancelled = TRUE;
        pending->RestartProcess();
        pending->freeobj();
    }
    if (TELCONNECTION* peer = client->Leave()) {
        // A relayed end of stream closes the peer after what it still holds.
        if (!client->markerRelayed) peer->SetDropRequested(TRUE, FALSE);
        peer->freeobj();
    }
}

void TELDEFINITION::NotifyConnection(DATACONNECTION* c, int state) {
    TELDEFINITION* d = definitionOf(c);
    TELCONNECTION* client = dynamic_cast<TELCONNECTION*>(c);
    if (state == CONN_OPENED) return;
    if (!client) {
        statusNotify(c, state);
        return;
    }
    if (state == CONN_CONNECTED) {
        client->connected = TRUE;
        int reason = 0;
        if (!d->Admit(client, reason)) {
            d->Refuse(client, reason);
        } else if (!_pSvr || !_pSvr->options.servers.telnetServer[0]) {
            if (d->type && d->type->config && d->type->config->connectBanner) client->SendResponse(TEL_WELCOME, TRUE);
        } else {
            TELOPENREQUEST* open = new TELOPENREQUEST(_pSvr->options.servers.telnetServer);
            open->prepare();
            open->connection = client;
            client->fixedRelay = TRUE;
            client->relayMode = TRUE;
            if (!d->QueueRequest(static_cast<DATAREQUEST*>(open))) {
                open->FreeRequest(FALSE);
                client->fixedRelay = FALSE;
                client->relayMode = FALSE;
            }
        }
        statusNotify(c, CONN_OPENED);
        return;
    }
    if (state == CONN_CLOSED) ClientClosed(client);
    statusNotify(c, state);
}

// ---- instance -----------------------------------------------------------------

void TELAPPINSTANCE::MakeOutboundObjects() {
    if (!socketControl) {
        socketControl = new WINSOCKCONTROL;
        socketControl->prepare();
    }
    if (!monitor) {
        monitor = new TELREQMONITOR(*socketControl, 2);
        monitor->prepare();
    }
    if (!connection) {
        connection = new TELCONNECTION(definition, *socketControl, nullptr, nullptr, nullptr);
        connection->prepare();
    }
}

BBOOL TELAPPINSTANCE::StartCommunications(APPWORKERPROC worker) {
    MakeOutboundObjects();
    if (!monitor->notifier) monitor->notifier = NotifyConnection;
    if (!socketControl->streamHandler) socketControl->streamHandler = TELREQMONITOR::MessageMonitor;
    if (!socketControl->sendDrainedHook) socketControl->sendDrainedHook = TELREQMONITOR::SendQueueMonitor;
    return TCPAPPINSTANCE::StartCommunications(worker ? worker : RequestMonitor);
}

TCPCONNECTION* TELAPPINSTANCE::CreateConnection(BBOOL internal) {
    TELCONNECTION* prototype = dynamic_cast<TELCONNECTION*>(connection);
    if (!prototype) return nullptr;
    TELCONNECTION* made = new TELCONNECTION(*prototype, FALSE, internal);
    made->prepare();
    return made;
}

void TELAPPINSTANCE::RequestMonitor(APPINSTANCE* instance) {
    TELAPPINSTANCE* self = dynamic_cast<TELAPPINSTANCE*>(instance);
    if (!self) return;
    while (self->WaitForWork()) {
        while (APPREQUEST* r = self->TakeRequest()) {
            if (r->cancelled)
                r->FreeAppRequest(TRUE);
            else
                self->ProcessRequest(r);
        }
        if (self->shared) return;
    }
}

BBOOL TELAPPINSTANCE::ProcessRequest(APPREQUEST* app) {
    DATAREQUEST* request = app->request;
    TELCONNECTION* client = dynamic_cast<TELCONNECTION*>(request->connection);
    if (client) {
        app->setConnection(APPCONN_CLIENT, client);
        client->currentRequest = app;
        if (!client->link || client->link->closed) {
            app->FreeAppRequest(TRUE);
            return FALSE;
        }
    }
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppp", "Process Request", app, request, client);
    app->LogRequest(definition);
    BBOOL ok = FALSE;
    if (TELOPENREQUEST* open = dynamic_cast<TELOPENREQUEST*>(request)) {
        TCPAPPCFG* cfg = Settings();
        _strzcpy(open->outboundPort, cfg ? cfg->outboundPort : "", sizeof open->outboundPort);
        BBOOL handedOn = FALSE;
        ok = open->Open(this, handedOn);
        // Parked or restarted: no longer ours to free, whatever its flags say now.
        if (handedOn) return ok;
        if (!ok && client && !open->failureReported) TELDEFINITION::OpenFailed(client);
    }
    if (!app->waitingForLine && !app->keep) {
        app->FreeAppRequest(FALSE);
        request->FreeRequest(FALSE);
    }
    return ok;
}

void TELAPPINSTANCE::NotifyConnection(DATACONNECTION* c, int state) {
    definitionOf(c);
    TELCONNECTION* server = dynamic_cast<TELCONNECTION*>(c);
    if (server && state == CONN_CONNECTED) server->connected = TRUE;
    if (server && (state == CONN_CONNECT_FAILED || state == CONN_CLOSED)) {
        if (TELCONNECTION* client = server->Unpair()) {
            if (!server->connected)
                TELDEFINITION::OpenFailed(client);
            else if (!server->markerRelayed)
                client->SetDropRequested(TRUE, FALSE);  // the host went without an end of stream
            client->freeobj();
        }
    }
    statusNotify(c, state);
}
