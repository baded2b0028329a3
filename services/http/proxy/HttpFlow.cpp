// The HTTP service's worker: where each browser request is answered from, and
// how every answer goes back.
#include <cstring>

#include "AppStatus.h"
#include "HttpConnection.h"
#include "HttpForwarding.h"
#include "HttpReqMonitor.h"
#include "HttpResponse.h"
#include "HttpService.h"
#include "HtmlDoc.h"
#include "LinkPrefetch.h"
#include "LocalRequest.h"
#include "LocalSite.h"
#include "SvrSystem.h"
#include "TcpInterface.h"
#include "TcpSockLink.h"
#include "TextHelpers.h"
#include "WinSockControl.h"

namespace {
void statusNotify(DATACONNECTION* c, int state) {
    if (APPSTATUS::pdefaultConnNotify) APPSTATUS::pdefaultConnNotify(c, state);
}

// The refusal page of a login state: not ready, too many users, not authorized.
const char* refusalKey(long loginState) {
    if (loginState == LOGIN_NOT_READY) return "422";
    if (loginState == LOGIN_USER_LIMIT) return "410";
    return "409";
}

BBOOL externalRefused(HTTPCONNECTION* client) {
    return client && client->dialUp && !(_pSvr && _pSvr->allowExternalUsers);
}

// A request the gateway makes itself (scheduled or prefetch): its answer only fills the cache.
BBOOL gatewayFetch(APPREQUEST* app, HTTPCONNECTION* client) {
    return !client && dynamic_cast<LOCALAPPREQUEST*>(app) != nullptr;
}

// The browser of a fetch that other requests wait for has gone: the answer's
// header still goes to the cache and its body follows there; only the
// browser's part of the request ends.
int keepFetchingForOthers(APPREQUEST* app, HTTPREQUEST* request, DATARESULT* result, HTTPCONNECTION* server) {
    HTTPDEFINITION* d = dynamic_cast<HTTPDEFINITION*>(server->definition);
    HTTPRESPONSE* response = dynamic_cast<HTTPRESPONSE*>(result);
    HTTPRESPONSE* sent = d && response ? d->FilterResult(response) : nullptr;
    if (sent && sent != response) sent->FreeResult(FALSE);
    DATAREQBASE::EnterRelease();
    if (request && request->result == result) request->result = nullptr;
    result->request = nullptr;
    DATAREQBASE::LeaveRelease();
    result->FreeResult(FALSE);
    server->OpenGate();  // the pieces held behind the header pass on to the cache
    app->FreeAppRequest(FALSE);
    if (request) request->FreeRequest(FALSE);
    return 0;
}
}  // namespace

void PrefetchFromBody(APPREQUEST* app, HTTPREQUEST* request, HTTPRESPONSE* response) {
    PREFETCHORIGIN origin;
    if (!response || !PrefetchWanted(app, request, origin)) return;
    DATAOBJECT* body = response->noBodyObject || response->headersOnly ? nullptr : response->object;
    BUFFER data = body && body->dataField ? body->dataField->DataView() : BUFFER();
    HTMLDOC::GenerateLinks(origin, request, response, data.data, data.data ? body->DataLength() : 0);
}

HTTPDEFINITION* HTTPAPPINSTANCE::Definition() const { return dynamic_cast<HTTPDEFINITION*>(definition); }

BBOOL HTTPAPPINSTANCE::StartCommunications(APPWORKERPROC worker) {
    if (!socketControl) {
        socketControl = new WINSOCKCONTROL;
        socketControl->prepare();
    }
    if (!monitor) {
        monitor = new HTTPREQMONITOR(*socketControl, 2);
        monitor->prepare();
    }
    if (!connection) {
        connection = new HTTPCONNECTION(definition, *socketControl, nullptr, nullptr, nullptr);
        connection->prepare();
    }
    monitor->notifier = NotifyConnection;
    socketControl->streamHandler = HTTPREQMONITOR::MessageMonitor;
    socketControl->sendDrainedHook = TELREQMONITOR::SendQueueMonitor;
    return TCPAPPINSTANCE::StartCommunications(worker ? worker : RequestMonitor);
}

TCPCONNECTION* HTTPAPPINSTANCE::CreateConnection(BBOOL internal) {
    HTTPCONNECTION* prototype = dynamic_cast<HTTPCONNECTION*>(connection);
    if (!prototype) return nullptr;
    HTTPCONNECTION* made = new HTTPCONNECTION(*prototype, FALSE, internal);
    made->prepare();
    return made;
}

void HTTPAPPINSTANCE::RequestMonitor(APPINSTANCE* instance) {
    HTTPAPPINSTANCE* self = dynamic_cast<HTTPAPPINSTANCE*>(instance);
    if (!self) return;
    while (self->WaitForWork()) {
        while (APPREQUEST* app = self->TakeRequest()) {
            DATAREQUEST* r = app->request;
            if (!r)
                app->FreeAppRequest(TRUE);
            else if (FTPUnderWay(app))
                self->ProcessFTPResult(app);
            else if (r->result || app->failed || app->cancelled)
                self->ProcessResult(app, r->result);
            else
                self->ProcessRequest(app);
        }
        if (self->shared) return;
    }
}

HTTPRESPONSE* HTTPAPPINSTANCE::ProvideResult(const char* key, HTTPREQUEST* request, APPREQUEST* app,
                                             const char* argument) {
    HTTPDEFINITION* d = Definition();
    HTTPRESPONSE* made = nullptr;
    if (d && d->localSite) {
        GATEWAYNAMES names = GatewayNames(request ? dynamic_cast<HTTPCONNECTION*>(request->connection) : nullptr);
        LOCALCALL call{d->localSite, request, app, &names};
        made = d->localSite->ProvideLocalResult(call, key, argument, TRUE);
    }
    return made ? made : HTTPRESPONSE::GenerateError(request, "407", nullptr);
}

int HTTPAPPINSTANCE::answer(APPREQUEST* app, const char* key) {
    return ProcessResult(app, ProvideResult(key, dynamic_cast<HTTPREQUEST*>(app->request), app, nullptr));
}

int HTTPAPPINSTANCE::ProcessRequest(APPREQUEST* app) {
    HTTPREQUEST* request = dynamic_cast<HTTPREQUEST*>(app->request);
    HTTPCONNECTION* client = request ? dynamic_cast<HTTPCONNECTION*>(request->connection) : nullptr;
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppp", "Process Request", app, request, client);
    if (!request) {
        app->FreeAppRequest(TRUE);
        return 0;
    }
    request->process = app;
    if (client) {
        app->setConnection(APPCONN_CLIENT, client);
        client->currentRequest = app;
        if (!client->link || client->link->closed) {
            app->FreeAppRequest(TRUE);
            return 0;
        }
        if (client->loginState != LOGIN_IN) return answer(app, refusalKey(client->loginState));
        // Refused before the cache and the site, which would tell them what others fetched.
        if (externalRefused(client)) return answer(app, "409");
    }
    app->LogRequest(definition);
    HTTPDEFINITION* d = Definition();
    if (HTTPRESPONSE* cached = d->FilterRequest(request)) {
        PrefetchFromBody(app, request, cached);
        return ProcessResult(app, cached);
    }
    if (app->waiting || app->waitingForLine || app->waitingForObject || app->keep) return 1;
    if (d->localSite) {
        GATEWAYNAMES names = GatewayNames(client);
        LOCALCALL call{d->localSite, request, app, &names};
        if (HTTPRESPONSE* local = d->localSite->ProcessLocalRequest(call)) return ProcessResult(app, local);
    }
    return connectOutbound(app, request, client);
}

namespace {
BBOOL interfacesListed(WINSOCKCONTROL* control) {
    return control && control->interfaceList && _pTCPIPInterfaces && _pTCPIPInterfaces->Count() > 0;
}
}  // namespace

int HTTPAPPINSTANCE::connectOutbound(APPREQUEST* app, HTTPREQUEST* request, HTTPCONNECTION* client) {
    HTTPDEFINITION* d = Definition();
    HTTPCFG* cfg = d->Settings();
    if (!cfg) return answer(app, "417");
    HTTPDESTINATION dest = ChooseDestination(*request, *cfg, d->ResolvedProxies());
    PrepareForForwarding(*request, GatewayNames(client));
    // ftp:// fetched by the gateway itself belongs to its FTP retrieval.
    if (dest.ftpDirect) return _pHTTPFtpRequest ? _pHTTPFtpRequest(this, app, request) : answer(app, "408");

    const BBOOL local = dest.noInterface || (client && client->dialUp);
    TCPSOCKLINK* clientLink = client ? dynamic_cast<TCPSOCKLINK*>(client->link) : nullptr;
    TCPINTERFACE* via = local ? nullptr : TCPINTERFACE::FindBestInterface(socketControl, clientLink, 0);
    if (!via && !local && interfacesListed(socketControl)) {
        // No line is up: the line policy parks the request until one is, and restarts it.
        if (!app->lineLost && !app->failed && _pSvr && _pSvr->lines.ConnectOnRequest(app)) return 1;
        return answer(app, "420");
    }

    HTTPCONNECTION* out = dynamic_cast<HTTPCONNECTION*>(CreateConnection(FALSE));
    if (!out) return answer(app, "417");
    _strzcpy(out->port, dest.port.c_str(), sizeof out->port);
    _strzcpy(out->name, dest.host.c_str(), sizeof out->name);
    out->SetClient(client);
    if (client) TELCONNECTION::Pair(client, out);  // the browser's drained sends resume the server's reads
    app->setConnection(APPCONN_SERVER, out);
    out->currentRequest = app;
    if (!out->QueueRequest(request).target) {
        NotifyConnection(out, CONN_CONNECT_FAILED);
        out->freeobj();
        return 0;
    }
    out->prepare();  // the monitor's active set holds it from here
    const char* address = dest.address.empty() ? nullptr : dest.address.c_str();
    if (!EstablishConnection(out, via, address)) {
        out->freeobj();
        NotifyConnection(out, CONN_CONNECT_FAILED);
        out->freeobj();
        return 1;
    }
    if (app->cancelled) out->SetDropRequested(TRUE, TRUE);
    out->freeobj();
    return 1;
}

int HTTPAPPINSTANCE::ProcessResult(APPREQUEST* app, DATARESULT* result) {
    HTTPREQUEST* request = dynamic_cast<HTTPREQUEST*>(app ? app->request : result ? result->request : nullptr);
    HTTPCONNECTION* client = app ? dynamic_cast<HTTPCONNECTION*>(app->clientConnection) : nullptr;
    HTTPCONNECTION* server = app ? dynamic_cast<HTTPCONNECTION*>(app->serverConnection) : nullptr;
    if (!result && request) result = request->result;
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cppppp", "Process Result", app, server, result, client, request);
    if (!app) {
        if (result) result->FreeResult(FALSE);
        return 0;
    }
    const BBOOL forGateway = gatewayFetch(app, client);
    if (app->cancelled && !result && !server && client && client->link && !client->link->closed) {
        // Released by a line that could not be brought up: the browser is still there to be told.
        app->cancelled = FALSE;
        return answer(app, "420");
    }
    if (app->cancelled || (!forGateway && (!client || !client->link || client->link->closed))) {
        // The browser has gone: the fetch for it stops, unless others wait for it.
        if (server && result && server->responseInProgress == result && HTTPDEFINITION::FetchesForOthers(server))
            return keepFetchingForOthers(app, request, result, server);
        if (server) server->SetDropRequested(TRUE, TRUE);
        if (result && (!request || request->result != result)) result->FreeResult(FALSE);
        app->FreeAppRequest(TRUE);
        return 0;
    }
    if (app->failed && !result && retryAfterLineDrop(app, server)) return 1;
    if (app->failed && !result) {
        const char* key = server && server->failureKey && *server->failureKey ? server->failureKey : "417";
        result = ProvideResult(key, request, app, nullptr);
    }
    if (!result) {
        app->FreeAppRequest(TRUE);
        return 0;
    }
    app->LogResult(definition);
    if (HTTPRESPONSE* r = dynamic_cast<HTTPRESPONSE*>(result)) result = Definition()->FilterResult(r);
    const BBOOL fromServer = server && server->responseInProgress == result;
    if (forGateway) return finishGatewayFetch(app, request, server, result, fromServer);
    const BBOOL tunnel = client->relayMode;

    // The answer lives on in the browser's queue; the request ends here.
    DATAREQBASE::EnterRelease();
    if (request && request->result == result) request->result = nullptr;
    result->request = nullptr;
    DATAREQBASE::LeaveRelease();
    SetReleaseAfterSend(result);
    if (!client->QueueResult(result).target) result->FreeResult(FALSE);
    if (fromServer || (tunnel && server)) {
        server->OpenGate();  // the body follows the header from the server's side
    } else {
        TCPDISCRESPONSE::Generate(client);  // the browser is closed once the answer has gone
        if (server) server->SetDropRequested(TRUE, FALSE);
    }
    app->FreeAppRequest(FALSE);
    if (request) request->FreeRequest(FALSE);
    return 0;
}

int HTTPAPPINSTANCE::finishGatewayFetch(APPREQUEST* app, HTTPREQUEST* request, HTTPCONNECTION* server,
                                        DATARESULT* result, BBOOL fromServer) {
    // Nobody reads the answer: what the cache keeps of it is its purpose.
    DATAREQBASE::EnterRelease();
    if (request && request->result == result) request->result = nullptr;
    result->request = nullptr;
    DATAREQBASE::LeaveRelease();
    result->FreeResult(FALSE);
    // A fetch the cache gave up (too big to keep) stops here.
    if (server && fromServer && !app->cancelled)
        server->OpenGate();  // the body goes on to the cache alone
    else if (server)
        server->SetDropRequested(TRUE, FALSE);
    app->FreeAppRequest(FALSE);
    if (request) request->FreeRequest(FALSE);
    return 0;
}

BBOOL HTTPAPPINSTANCE::retryAfterLineDrop(APPREQUEST* app, HTTPCONNECTION* server) {
    COMMLINK* link = server ? server->link : nullptr;
    long error = server && server->lastError ? server->lastError : link ? link->error : 0;
    if (error != COMMLINK::ErrorInterfaceDown || app->requeueCount >= MaxLineRetries) return FALSE;
    // The line under the connection went down: start over, so that one is dialed again.
    app->requeueCount++;
    app->failed = FALSE;
    app->lineLost = FALSE;
    if (HTTPCONNECTION* client = dynamic_cast<HTTPCONNECTION*>(app->clientConnection)) {
        if (TELCONNECTION* peer = client->Unpair()) peer->freeobj();
    }
    app->setConnection(APPCONN_SERVER, nullptr);
    return app->RestartProcess();
}

void HTTPAPPINSTANCE::NotifyConnection(DATACONNECTION* c, int state) {
    HTTPCONNECTION* s = dynamic_cast<HTTPCONNECTION*>(c);
    if (!s) {
        statusNotify(c, state);
        return;
    }
    s->lastEvent = state;
    if (state == CONN_CONNECTED) s->connected = TRUE;
    if (state == CONN_CONNECT_FAILED || state == CONN_CLOSED) {
        if (!s->failureKey || !*s->failureKey) s->failureKey = HTTPDEFINITION::GetConnRespCode(state, s);
        const BBOOL answered = s->responseInProgress != nullptr || s->relayMode;
        if (APPREQUEST* app = s->TakeCurrentRequest()) {
            if (!answered && !app->failed) {
                QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cpp", "Outbound Disconnect", app, s);
                // The worker answers it with the failure page of the connection.
                app->failed = TRUE;
                app->RestartProcess();
            }
            app->freeobj();
        }
        if (TELCONNECTION* peer = s->Unpair()) {
            if (s->relayMode && !s->markerRelayed) peer->SetDropRequested(TRUE, FALSE);
            peer->freeobj();
        }
    }
    statusNotify(c, state);
}
