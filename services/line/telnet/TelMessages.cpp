#include "TelMessages.h"

#include <cstring>

#include "AppCfg.h"
#include "AppDefinition.h"
#include "AppRequest.h"
#include "AppType.h"
#include "SvrSystem.h"
#include "TcpInterface.h"
#include "TcpSockLink.h"
#include "TelConnection.h"
#include "TelService.h"
#include "TextHelpers.h"

const char TEL_PROMPT[] = "\r\nGateway> ";

namespace {
// A pool buffer of link holding text, ready for reading; null when none.
IOBUFFER* textBuffer(COMMLINK* link, const char* text, BBOOL prompt) {
    if (!link || !link->pool) return nullptr;
    IOBUFFER* b = link->pool->GetBuffer(0);
    if (!b) return nullptr;
    b->cursor.data = b->area.data;
    b->cursor.length = b->capacity;
    b->CopyIn(text, (long)std::strlen(text));
    if (prompt) b->CopyIn(TEL_PROMPT, (long)sizeof TEL_PROMPT - 1);
    b->cursor.length = (long)(b->cursor.data - b->area.data);
    b->cursor.data = b->area.data;
    return b;
}

BBOOL bannerOn(TELCONNECTION* to) {
    APPDEFINITION* d = to ? to->definition : nullptr;
    return d && d->type && d->type->config && d->type->config->connectBanner;
}
}  // namespace

int TELREQUEST::BuildCommand(BUFFER& out, BBOOL) {
    out.length = 0;
    return 0;
}

TELDATAREQUEST::TELDATAREQUEST(const char* text, TELCONNECTION* to) : TELREQUEST(TRUE) {
    lineConnection = to;
    if (!text || !to || !to->link) return;
    if (IOBUFFER* b = textBuffer(to->link, text, FALSE)) {
        buffer = b;
        link = to->link;
    }
}

TELOPENREQUEST::TELOPENREQUEST(IOBUFFER* b, COMMLINK* l) : TELREQUEST(b, l), host{}, outboundPort{}, failureReported(0) {}

TELOPENREQUEST::TELOPENREQUEST(const char* h) : TELREQUEST(FALSE), host{}, outboundPort{}, failureReported(0) {
    _strzcpy(host, h ? h : "", sizeof host);
}

BBOOL TELOPENREQUEST::ParseCommand(const char* text) {
    char copy[512];
    _strzcpy(copy, text ? text : "", sizeof copy);
    char* cursor = copy;
    return _ScanWord(&cursor, host, sizeof host, TRUE, FALSE, nullptr, nullptr) > 0;
}

TELDATARESPONSE* TELRESPONSE::Generate(TELCONNECTION* to, const char* text, BBOOL prompt) {
    IOBUFFER* b = to ? textBuffer(to->link, text ? text : "", prompt && bannerOn(to)) : nullptr;
    if (!b) return nullptr;
    TELDATARESPONSE* r = new TELDATARESPONSE(nullptr, b, to->link);
    r->prepare();
    return r;
}

namespace {
// The interface of an outbound connection: none when it is skipped or none is up.
TCPINTERFACE* chooseInterface(TELAPPINSTANCE* inst, TELCONNECTION* client, BBOOL skip) {
    if (skip) return nullptr;
    TCPSOCKLINK* clientLink = client ? dynamic_cast<TCPSOCKLINK*>(client->link) : nullptr;
    return TCPINTERFACE::FindBestInterface(inst->socketControl, clientLink, 0);
}

BBOOL interfacesListed(TELAPPINSTANCE* inst) {
    return inst->socketControl && inst->socketControl->interfaceList && _pTCPIPInterfaces &&
           _pTCPIPInterfaces->Count() > 0;
}
}  // namespace

BBOOL TELOPENREQUEST::ProcessCommand(TELAPPINSTANCE* inst) {
    BBOOL handedOn = FALSE;
    return Open(inst, handedOn);
}

BBOOL TELOPENREQUEST::Open(TELAPPINSTANCE* inst, BBOOL& handedOn) {
    handedOn = FALSE;
    failureReported = FALSE;
    if (!inst) return FALSE;
    TELCONNECTION* client = dynamic_cast<TELCONNECTION*>(connection);
    APPREQUEST* app = dynamic_cast<APPREQUEST*>(process);
    TELCONNECTION* out = dynamic_cast<TELCONNECTION*>(lineConnection);
    BBOOL made = FALSE;
    if (!out) {
        out = dynamic_cast<TELCONNECTION*>(inst->CreateConnection(FALSE));
        if (!out) return FALSE;
        made = TRUE;
    }
    // A service without a server names none: that is a failure to connect.
    if (!host[0]) {
        if (made) out->freeobj();
        return FALSE;
    }
    _strzcpy(out->port, outboundPort, sizeof out->port);
    _strzcpy(out->name, host, sizeof out->name);
    if (!out->fixedRelay) out->relayMode = TRUE;
    // A client that closed while this waited for the worker gets no host connection.
    if (client && !TELCONNECTION::Pair(client, out)) {
        failureReported = TRUE;
        if (made) out->freeobj();
        return FALSE;
    }

    const BBOOL skip = noInterface || (client && client->dialUp);
    TCPINTERFACE* via = chooseInterface(inst, client, skip);
    if (!via && !skip && interfacesListed(inst)) {
        // Unpaired before the hand-over: a line that comes up at once restarts
        // the request on another worker before ConnectOnRequest returns.
        if (TELCONNECTION* c = out->Unpair()) c->freeobj();
        if (!(app && app->lineLost) && _pSvr && _pSvr->lines.ConnectOnRequest(app)) {
            if (made) out->freeobj();
            handedOn = app != nullptr;
            return TRUE;
        }
        if (client) TELCONNECTION::Pair(client, out);
        TELAPPINSTANCE::NotifyConnection(out, CONN_CONNECT_FAILED);
        failureReported = client != nullptr;
        if (TELCONNECTION* c = out->Unpair()) c->freeobj();
        if (made) out->freeobj();
        return FALSE;
    }
    if (client) {
        if (client->currentRequest == app) client->currentRequest = nullptr;
        if (!client->fixedRelay) client->relayMode = TRUE;
    }
    out->prepare();  // the monitor's active set holds it from here
    BBOOL started = inst->EstablishConnection(out, via, nullptr);
    // Resumed once the host connection has its link: bytes relayed before would be dropped.
    if (client && client->link) client->link->StartReceiving();
    if (!started) {
        out->freeobj();
        // The connect-failed hook tells the client when it ends the pairing; else it is told here.
        if (TELCONNECTION* c = out->Unpair()) {
            TELDEFINITION::OpenFailed(c);
            c->freeobj();
        }
        failureReported = client != nullptr;
    }
    if (made) out->freeobj();
    return started;
}
