#include "FtpService.h"

#include <cstdio>
#include <cstdlib>

#include "AppRequest.h"
#include "AppStatus.h"
#include "FtpConnection.h"
#include "FtpMessages.h"
#include "FtpReqMonitor.h"
#include "FtpRetrieve.h"
#include "SvrSystem.h"
#include "TaskAbend.h"
#include "TextHelpers.h"
#include "WinSockControl.h"

long _FTPDefaultPort = 0;

const TELTEXTS _FTPTexts = {
    "555 The Quorvane Corvath is temporarily unavailable! Try again later!\r\n",
    "555 There are currently too many active users! Try again later!\r\n",
    "555 You are not authorized to access the Quorvane FTP Gateway!\r\n",
    FTP_CONNECT_FAILED,
};

namespace {
void statusNotify(DATACONNECTION* c, int state) {
    if (APPSTATUS::pdefaultConnNotify) APPSTATUS::pdefaultConnNotify(c, state);
}

FTPDEFINITION* definitionOf(DATACONNECTION* c) {
    TCPREQMONITOR* m = c ? dynamic_cast<TCPREQMONITOR*>(c->monitor) : nullptr;
    FTPDEFINITION* d = m ? dynamic_cast<FTPDEFINITION*>(m->definition) : nullptr;
    if (!d) _Task_Abend(ABEND_PTR101, (ULONG_PTR)c);
    return d;
}

DATAREQUEST* takeCommand(FTPCONNECTION* data) {
    return (DATAREQUEST*)InterlockedExchangePointer((PVOID volatile*)&data->pendingCommand, nullptr);
}

// A data connection has ended: its control lets go of it, and its relay peer
// closes after what it holds (at once when this side ended without an end of stream).
void dataEnded(FTPCONNECTION* data) {
    data->LeaveControl();
    if (TELCONNECTION* peer = data->Unpair()) {
        if (!data->markerRelayed) peer->SetDropRequested(TRUE, FALSE);
        peer->freeobj();
    }
}
}  // namespace

// ---- type and package ---------------------------------------------------------

APPDEFINITION* FTPAPPTYPE::CreateAppDefinition() {
    definition = FTPDEFINITION::CreateFTPDefinition(this);
    return definition;
}

int FTPCLASS_INIT::InitCount = 0;

FTPCLASS_INIT::FTPCLASS_INIT() {
    if (InitCount++ != 0) return;
    FTPAPPTYPE* type = new FTPAPPTYPE;
    if (!type) _Task_Abend(ABEND_STG101, 0);
    type->prepare();
    _pFTPAppType = type;
}

FTPCLASS_INIT::~FTPCLASS_INIT() {
    if (--InitCount != 0 || !_pFTPAppType) return;
    _pFTPAppType->freeobj();
    _pFTPAppType = nullptr;
}

// After the packages of the layers below, which their headers set up.
static FTPCLASS_INIT _ftpClassInit;

// ---- definition ---------------------------------------------------------------

FTPDEFINITION::FTPDEFINITION(APPTYPE* t, BBOOL createInstance) : TELDEFINITION(t, FALSE) {
    _strzcpy(name, "FTP", sizeof name);
    if (createInstance) {
        FTPAPPINSTANCE* i = new FTPAPPINSTANCE(this);
        i->prepare();
        instances.Add(*i);
    }
}

FTPDEFINITION* FTPDEFINITION::CreateFTPDefinition(APPTYPE* type) {
    FTPDEFINITION* d = new FTPDEFINITION(type, TRUE);
    d->prepare();
    return d;
}

TCPAPPINSTANCE* FTPDEFINITION::CreateInstance(TCPAPPINSTANCE* parent) {
    FTPAPPINSTANCE* i = new FTPAPPINSTANCE(this);
    i->prepare();
    if (parent) {
        i->parent = parent;
        parent->secondaries.Add(*i);
    }
    return i;
}

BBOOL FTPDEFINITION::StartCommunications() {
    if (!socketControl) {
        socketControl = new WINSOCKCONTROL;
        socketControl->prepare();
    }
    if (!monitor) {
        monitor = new FTPREQMONITOR(*socketControl, 1);
        monitor->prepare();
    }
    if (!listener) {
        listener = new FTPCONNECTION(this, *socketControl, nullptr, nullptr, nullptr);
        listener->prepare();
    }
    monitor->notifier = NotifyConnection;
    socketControl->streamHandler = FTPREQMONITOR::MessageMonitor;
    if (!socketControl->sendDrainedHook) socketControl->sendDrainedHook = TELREQMONITOR::SendQueueMonitor;
    TCPAPPCFG* cfg = type ? dynamic_cast<TCPAPPCFG*>(type->config) : nullptr;
    _FTPDefaultPort = cfg ? std::atol(cfg->outboundPort) : 0;
    // Not the line layer's start: its CR LF framing would be set on the listener.
    return TCPDEFINITION::StartCommunications();
}

void FTPDEFINITION::ConnectFailed(TELCONNECTION* client) { Reply(client, FTP_CONNECT_FAILED); }

BBOOL FTPDEFINITION::Reply(TELCONNECTION* client, const char* text) {
    return client ? client->SendResponse(text, FALSE) : FALSE;
}

FTPCONNECTION* FTPDEFINITION::CreateDataConnection() {
    FTPCONNECTION* model = dynamic_cast<FTPCONNECTION*>(listener);
    if (!model) return nullptr;
    FTPCONNECTION* made = new FTPCONNECTION(*model, FALSE, FALSE, TRUE);
    made->prepare();
    return made;
}

void FTPDEFINITION::Greet(FTPCONNECTION* client) {
    int reason = 0;
    if (Admit(client, reason)) {
        Reply(client, FTP_WELCOME);
        return;
    }
    const char* text = reason == LOGIN_NOT_READY    ? _FTPTexts.notReady
                       : reason == LOGIN_USER_LIMIT ? _FTPTexts.tooManyUsers
                                                    : _FTPTexts.notAuthorized;
    client->closeWhenIdle = TRUE;
    Reply(client, text);
}

void FTPDEFINITION::DataConnected(FTPCONNECTION* data) {
    DATAREQUEST* command = takeCommand(data);
    if (!command) return;
    FTPCONNECTION* client = data->AcquireControl();
    FTPCONNECTION* server = client ? dynamic_cast<FTPCONNECTION*>(client->AcquirePeer()) : nullptr;
    FTPCONNECTION* serverData = server ? server->AcquireData() : nullptr;
    BBOOL sent = FALSE;
    if (serverData && server->link) {
        TELCONNECTION::Pair(data, serverData);
        if (TCPREQUEST* r = dynamic_cast<TCPREQUEST*>(command)) r->link = server->link;
        SetReleaseAfterSend(command);
        sent = server->QueueRequest(command).target != nullptr;
    }
    if (!sent) {
        if (client) Reply(client, FTP_DATA_PORT_FAILED);
        command->FreeRequest(FALSE);
        data->SetDropRequested(TRUE, TRUE);
    }
    if (serverData) serverData->freeobj();
    if (server) server->freeobj();
    if (client) client->freeobj();
}

void FTPDEFINITION::DataClosed(FTPCONNECTION* data) {
    if (DATAREQUEST* command = takeCommand(data)) {
        FTPCONNECTION* client = data->AcquireControl();
        if (client) Reply(client, FTP_DATA_PORT_FAILED);
        command->FreeRequest(FALSE);
        if (client) client->freeobj();
    }
    dataEnded(data);
}

void FTPDEFINITION::NotifyConnection(DATACONNECTION* c, int state) {
    FTPCONNECTION* f = dynamic_cast<FTPCONNECTION*>(c);
    if (!f) {
        TELDEFINITION::NotifyConnection(c, state);
        return;
    }
    // Letting go of its links may release the last other hold on it.
    f->prepare();
    ClientEvent(f, state);
    f->freeobj();
}

void FTPDEFINITION::ClientEvent(FTPCONNECTION* f, int state) {
    DATACONNECTION* c = f;
    FTPDEFINITION* d = definitionOf(c);
    if (f->isData) {
        if (state == CONN_CONNECTED) {
            f->connected = TRUE;
            f->dataConnected = TRUE;
            DataConnected(f);
        } else if (state == CONN_CONNECT_FAILED || state == CONN_CLOSED) {
            DataClosed(f);
        }
        if (state != CONN_CONNECTED) statusNotify(c, state);
        return;
    }
    if (state == CONN_CONNECTED) {
        f->connected = TRUE;
        d->Greet(f);
        statusNotify(c, CONN_OPENED);
        return;
    }
    if (state == CONN_CLOSED) {
        f->DropData(FALSE);
        // The client is gone: its server's data port serves nobody now, and a server
        // that closes after QUIT only once that connection ends would hold both for ever.
        TELCONNECTION* peer = f->AcquirePeer();
        if (FTPCONNECTION* server = dynamic_cast<FTPCONNECTION*>(peer)) server->DropData(FALSE);
        if (peer) peer->freeobj();
    }
    TELDEFINITION::NotifyConnection(c, state);
}

// ---- instance -----------------------------------------------------------------

BBOOL FTPAPPINSTANCE::StartCommunications(APPWORKERPROC worker) {
    if (!socketControl) {
        socketControl = new WINSOCKCONTROL;
        socketControl->prepare();
    }
    if (!monitor) {
        monitor = new FTPREQMONITOR(*socketControl, 2);
        monitor->prepare();
    }
    if (!connection) {
        connection = new FTPCONNECTION(definition, *socketControl, nullptr, nullptr, nullptr);
        connection->prepare();
    }
    monitor->notifier = NotifyConnection;
    socketControl->streamHandler = FTPREQMONITOR::MessageMonitor;
    return TELAPPINSTANCE::StartCommunications(worker ? worker : RequestMonitor);
}

TCPCONNECTION* FTPAPPINSTANCE::CreateConnection(BBOOL internal) {
    FTPCONNECTION* prototype = dynamic_cast<FTPCONNECTION*>(connection);
    if (!prototype) return nullptr;
    FTPCONNECTION* made = new FTPCONNECTION(*prototype, FALSE, internal, FALSE);
    made->prepare();
    return made;
}

FTPCONNECTION* FTPAPPINSTANCE::CreateDataConnection(BBOOL internal) {
    FTPCONNECTION* prototype = dynamic_cast<FTPCONNECTION*>(connection);
    if (!prototype) return nullptr;
    FTPCONNECTION* made = new FTPCONNECTION(*prototype, FALSE, internal, TRUE);
    made->prepare();
    return made;
}

void FTPAPPINSTANCE::RequestMonitor(APPINSTANCE* instance) {
    FTPAPPINSTANCE* self = dynamic_cast<FTPAPPINSTANCE*>(instance);
    if (!self) return;
    while (self->WaitForWork()) {
        while (APPREQUEST* r = self->TakeRequest()) {
            if (r->cancelled || !r->request) {
                // A retrieval cleans up once more before its process goes.
                if (FTPGETREQUEST* get = dynamic_cast<FTPGETREQUEST*>(r->request)) get->ProcessCommand(self);
                r->FreeAppRequest(TRUE);
            } else {
                self->ProcessRequest(r);
            }
        }
        if (self->shared) return;
    }
}

BBOOL FTPAPPINSTANCE::ProcessRequest(APPREQUEST* app) {
    DATAREQUEST* request = app->request;
    FTPCONNECTION* client = dynamic_cast<FTPCONNECTION*>(request->connection);
    if (client) {
        app->setConnection(APPCONN_CLIENT, client);
        if (!client->link || client->link->closed) {
            app->FreeAppRequest(TRUE);
            return FALSE;
        }
    }
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppp", "Process Request", app, request, client);
    app->LogRequest(definition);
    request->prepare();  // a command may be sent and released before its processing returns
    BBOOL ok = FALSE;
    // Commands and retrievals dispose of themselves; USER, OPEN and PORT are done here.
    BBOOL selfOwned = dynamic_cast<FTPCMDREQUEST*>(request) != nullptr;
    if (TELREQUEST* r = dynamic_cast<TELREQUEST*>(request)) ok = r->ProcessCommand(this);
    FTPGETREQUEST* get = dynamic_cast<FTPGETREQUEST*>(request);
    if (get) app->keep = !get->done;  // the retrieval goes on until finished or failed
    if (!app->waitingForLine && !app->keep) {
        app->FreeAppRequest(FALSE);
        if (!selfOwned || get) request->FreeRequest(FALSE);
    }
    request->freeobj();
    return ok;
}

void FTPAPPINSTANCE::NotifyConnection(DATACONNECTION* c, int state) {
    definitionOf(c);
    FTPCONNECTION* f = dynamic_cast<FTPCONNECTION*>(c);
    if (!f) {
        TELAPPINSTANCE::NotifyConnection(c, state);
        return;
    }
    f->prepare();
    ServerEvent(f, state);
    f->freeobj();
}

void FTPAPPINSTANCE::ServerEvent(FTPCONNECTION* f, int state) {
    DATACONNECTION* c = f;
    if (state == CONN_CONNECTED) {
        f->connected = TRUE;
        if (f->isData) f->dataConnected = TRUE;
    }
    if (state == CONN_CONNECT_FAILED || state == CONN_CLOSED) {
        if (f->isData) {
            if (f->retrieval) FTPGETREQUEST::DataEnded(f);
            dataEnded(f);
        } else {
            f->loginPending = FALSE;
            if (f->retrieval) FTPGETREQUEST::ServerEnded(f);
            f->DropData(FALSE);
            if (TELCONNECTION* client = f->Unpair()) {
                // Told once: never reached, or gone without an end of stream.
                if (!f->connected)
                    TELDEFINITION::OpenFailed(client);
                else if (!f->markerRelayed)
                    FTPDEFINITION::Reply(client, FTP_TRANSFER_ABORTED);
                client->freeobj();
            }
        }
    }
    statusNotify(c, state);
}
