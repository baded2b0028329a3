#include "FtpMessages.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "AppCfg.h"
#include "AppRequest.h"
#include "FtpConnection.h"
#include "FtpService.h"
#include "TcpAppType.h"
#include "TcpDefinition.h"
#include "TcpReqMonitor.h"
#include "TcpSockLink.h"
#include "TextHelpers.h"

LOOKUPROW _FTPCommands[] = {
    {"OPEN", 1, 1, 1, 0, 0},  {"PORT", 4, 1, 2, 0, 0},  {"USER", 4, 1, 3, 0, 0},  {"LIST", 4, 1, 99, 2, 0},
    {"RETR", 4, 1, 99, 2, 0}, {"STOR", 4, 1, 99, 1, 0}, {"STOU", 4, 1, 99, 1, 0}, {"APPE", 4, 1, 99, 1, 0},
    {"NLST", 4, 1, 99, 1, 0}, {"", 0, 0, 0, 0, 0},
};

const char FTP_WELCOME[] =
    "220-Welcome to the Quorvane FTP Gateway. Specify the host\r\n"
    "220-to connect to by using the command 'OPEN host-address'\r\n"
    "220 or the user name 'username@host-address'\r\n";
const char FTP_INVALID_COMMAND[] = "500 Invalid Command.\r\n";
const char FTP_HOST_MISSING[] = "420 A host address must be specified.\r\n";
const char FTP_CONNECT_FAILED[] = "420 Unable to connect to the specified host.\r\n";
const char FTP_TRANSFER_ABORTED[] = "525 Transfer aborted by the server!\r\n";
const char FTP_NO_DATA_PORT[] = "425 A data port must be specified!\r\n";
const char FTP_DATA_PORT_FAILED[] = "425 Unable to open the data port connection!\r\n";
const char FTP_NOT_AVAILABLE[] = "550 Requested action not taken. File is not available.\r\n";
const char FTP_STARTED[] = "200 Requested action has started.\r\n";

// ---- replies ------------------------------------------------------------------

FTPRESPONSE::FTPRESPONSE(DATAREQUEST* request, IOBUFFER* b, COMMLINK* l, BBOOL isData)
    : TELDATARESPONSE(request, b, l), status{} {
    if (!b || isData) return;
    for (long i = 0; i < 3 && i < b->cursor.length; i++) {
        char ch = b->cursor.data[i];
        if (ch == ' ' || ch == '-' || ch == '\r' || ch == '\n' || ch == 0) break;
        status[i] = ch;
    }
}

int FTPRESPONSE::SetStatus(const char* text) {
    _strzcpy(status, text ? text : "", sizeof status);
    return (int)std::strlen(status);
}

BBOOL FTPRESPONSE::IsNeedPassword() const { return std::strcmp(status, "331") == 0; }

BBOOL FTPRESPONSE::IsXferBeginning() const { return status[0] == '1' && std::strlen(status) == 3; }

FTPRESPONSE* FTPRESPONSE::Generate(DATAREQUEST* request, const char* text) {
    FTPRESPONSE* r = new FTPRESPONSE(request, nullptr, nullptr, FALSE);
    r->prepare();
    r->SetMsgText(text ? text : "");
    char status[4] = {};
    std::memcpy(status, text ? text : "", text ? (std::strlen(text) < 3 ? std::strlen(text) : 3) : 0);
    r->SetStatus(status);
    return r;
}

// ---- commands -----------------------------------------------------------------

FTPCMDREQUEST::FTPCMDREQUEST(IOBUFFER* b, COMMLINK* l, long flags, const char* m)
    : TELDATAREQUEST(b, l), sendsData(0), receivesData(0), method{} {
    if (flags & 1)
        sendsData = TRUE;
    else if (flags & 2)
        receivesData = TRUE;
    _strzcpy(method, m ? m : "", sizeof method);
}

FTPCMDREQUEST::FTPCMDREQUEST(const char* text, FTPCONNECTION* server)
    : TELDATAREQUEST(text, server), sendsData(0), receivesData(0), method{} {
    char* cursor = const_cast<char*>(text ? text : "");
    std::vector<char> copy(cursor, cursor + std::strlen(cursor) + 1);
    char* at = copy.data();
    _ScanWord(&at, method, sizeof method, FALSE, TRUE, nullptr, nullptr);
}

char* FTPCMDREQUEST::GetReqMethod(BUFFER& out) { return CopyText(method, out, TRUE); }

namespace {
FTPCONNECTION* serverOf(FTPCONNECTION* client) {
    return client ? dynamic_cast<FTPCONNECTION*>(client->AcquirePeer()) : nullptr;
}

// A text for a server, queued; released once it has been sent.
BBOOL queueOn(FTPCONNECTION* server, DATAREQUEST* r) {
    SetReleaseAfterSend(r);
    return server->QueueRequest(r).target != nullptr;
}
}  // namespace

BBOOL FTPCMDREQUEST::ProcessCommand(TELAPPINSTANCE* instance) {
    FTPCONNECTION* client = dynamic_cast<FTPCONNECTION*>(connection);
    FTPCONNECTION* server = serverOf(client);
    FTPDEFINITION* d = instance ? dynamic_cast<FTPDEFINITION*>(instance->definition) : nullptr;
    if (!server || !d) {
        if (client) FTPDEFINITION::Reply(client, FTP_INVALID_COMMAND);
        if (server) server->freeobj();
        FreeRequest(FALSE);
        return FALSE;
    }
    if (!NeedsData()) {
        link = server->link;
        BBOOL ok = queueOn(server, this);
        server->freeobj();
        return ok;
    }
    FTPCONNECTION* serverData = server->AcquireData();
    if (!serverData || !client->portPending) {
        FTPDEFINITION::Reply(client, FTP_NO_DATA_PORT);
        if (serverData) serverData->freeobj();
        server->freeobj();
        FreeRequest(FALSE);
        return FALSE;
    }
    serverData->freeobj();
    server->freeobj();
    client->portPending = FALSE;  // a PORT serves one transfer

    FTPCONNECTION* data = d->CreateDataConnection();
    _strzcpy(data->name, client->portHost, sizeof data->name);
    std::snprintf(data->port, sizeof data->port, "%u", (unsigned)client->portNumber);
    client->DropData(FALSE);
    FTPCONNECTION::LinkData(client, data);
    // Forwarded by the connect hook once the data connection is up (or answered 425 when it fails).
    data->pendingCommand = this;
    TCPREQMONITOR* m = d->monitor;
    data->prepare();  // the monitor's active set holds it from here
    BBOOL started = m && d->listener &&
                    data->Connect(LINK_CLIENT_CONNECT, TRUE, 1, m, d->listener, client->portHost, nullptr, nullptr);
    if (!started) {
        data->freeobj();
        if (DATAREQUEST* mine = (DATAREQUEST*)InterlockedExchangePointer((PVOID volatile*)&data->pendingCommand, nullptr)) {
            FTPDEFINITION::Reply(client, FTP_DATA_PORT_FAILED);
            mine->FreeRequest(FALSE);
        }
        client->DropData(TRUE);
    }
    data->freeobj();
    return started;
}

// ---- USER and OPEN ------------------------------------------------------------

FTPUSERREQUEST::FTPUSERREQUEST(IOBUFFER* b, COMMLINK* l)
    : TELDATAREQUEST(b, l), userName{}, host{}, outboundPort{}, server(nullptr) {}

FTPUSERREQUEST::~FTPUSERREQUEST() {
    if (server) server->freeobj();
    server = nullptr;
}

FTPUSERREQUEST::FTPUSERREQUEST(const char* h, const char* name)
    : TELDATAREQUEST((IOBUFFER*)nullptr, (COMMLINK*)nullptr), userName{}, host{}, outboundPort{}, server(nullptr) {
    _strzcpy(host, h ? h : "", sizeof host);
    _strzcpy(userName, name ? name : "", sizeof userName);
}

BBOOL FTPUSERREQUEST::ParseCommand(const char* text) {
    char copy[600];
    _strzcpy(copy, text ? text : "", sizeof copy);
    char* cursor = copy;
    char word[600];
    if (_ScanWord(&cursor, word, sizeof word, TRUE, FALSE, " \t\r\n", " \t\r\n") <= 0) return FALSE;
    char* at = std::strrchr(word, '@');
    if (at) *at = 0;
    if (!word[0] || std::strlen(word) >= sizeof userName) return FALSE;
    _strzcpy(userName, word, sizeof userName);
    if (!at) return TRUE;
    char* hostText = at + 1;
    if (!hostText[0] || std::strlen(hostText) >= sizeof host) return FALSE;
    _strzcpy(host, hostText, sizeof host);
    return TRUE;
}

int FTPUSERREQUEST::BuildCommand(BUFFER& out, BBOOL withCRLF) {
    if (!out.data || out.length <= 0) return 0;
    if (!userName[0]) {
        out.data[0] = 0;
        return 0;
    }
    int n = std::snprintf(out.data, (size_t)out.length, "USER %s%s", userName, withCRLF ? "\r\n" : "");
    return n < 0 ? 0 : (n < out.length ? n : (int)out.length - 1);
}

char* FTPUSERREQUEST::GetReqMethod(BUFFER& out) { return CopyText(userName[0] ? "USER" : "OPEN", out, TRUE); }

BBOOL FTPUSERREQUEST::ProcessCommand(TELAPPINSTANCE* instance) {
    FTPCONNECTION* client = dynamic_cast<FTPCONNECTION*>(connection);
    FTPAPPINSTANCE* fi = dynamic_cast<FTPAPPINSTANCE*>(instance);
    if (!fi) return FALSE;
    if (!host[0]) {
        if (client) FTPDEFINITION::Reply(client, FTP_HOST_MISSING);
        return FALSE;
    }
    FTPCONNECTION* out = dynamic_cast<FTPCONNECTION*>(fi->CreateConnection(client == nullptr));
    if (!out) {
        if (client) FTPDEFINITION::Reply(client, FTP_CONNECT_FAILED);
        return FALSE;
    }
    out->retrieval = client == nullptr;
    if (userName[0]) {
        BUFFER line(out->loginLine, sizeof out->loginLine);
        BuildCommand(line, TRUE);
        out->loginPending = TRUE;
    }
    TELOPENREQUEST* open = new TELOPENREQUEST(host);
    open->prepare();
    open->connection = client;
    open->process = process;
    open->lineConnection = out;
    open->noInterface = noInterface;
    open->viaUpstreamProxy = viaUpstreamProxy;
    TCPAPPCFG* cfg = fi->Settings();
    _strzcpy(open->outboundPort, outboundPort[0] ? outboundPort : (cfg ? cfg->outboundPort : ""),
             sizeof open->outboundPort);
    BBOOL ok = open->ProcessCommand(fi);
    if (!ok && client && !open->failureReported) FTPDEFINITION::Reply(client, FTP_CONNECT_FAILED);
    // Waiting for a dial: the open made no link. The line may be up and the
    // request restarted already, so its own flags no longer tell.
    const BBOOL parked = ok && !out->link;
    if (!ok || parked) out->loginPending = FALSE;
    if (ok && !parked && !client) {
        if (server) server->freeobj();
        server = out;  // this request's reference, taken over by the retrieval
    } else {
        // A client's server connection lives on in its pairing and the monitor's set:
        // a reference kept here would hold its link, and the service's place, for ever.
        out->freeobj();
    }
    open->connection = nullptr;
    open->lineConnection = nullptr;
    open->process = nullptr;
    open->FreeRequest(FALSE);
    return ok;
}

// ---- PORT ---------------------------------------------------------------------

FTPPORTREQUEST::FTPPORTREQUEST(IOBUFFER* b, COMMLINK* l) : TELREQUEST(b, l), dataHost{}, dataPort(0) {}

BBOOL FTPPORTREQUEST::ParseCommand(const char* text) {
    unsigned fields[6];
    const char* p = text ? text : "";
    while (*p == ' ' || *p == '\t') p++;
    for (int i = 0; i < 6; i++) {
        if (i > 0) {
            if (*p != ',') return FALSE;
            p++;
        }
        unsigned value = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9' && digits < 4) {
            value = value * 10 + (unsigned)(*p++ - '0');
            digits++;
        }
        if (digits == 0 || digits > 3 || value > 255) return FALSE;
        fields[i] = value;
    }
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') p++;
    if (*p) return FALSE;
    std::snprintf(dataHost, sizeof dataHost, "%u.%u.%u.%u", fields[0], fields[1], fields[2], fields[3]);
    dataPort = (unsigned short)(fields[4] * 256 + fields[5]);
    return TRUE;
}

char* FTPPORTREQUEST::GetReqMethod(BUFFER& out) { return CopyText("PORT", out, TRUE); }

FTPCONNECTION* FTPPORTREQUEST::CreateOutboundPort(FTPAPPINSTANCE* instance, FTPCONNECTION* server, char* text,
                                                  int size) {
    TCPSOCKLINK* serverLink = server ? dynamic_cast<TCPSOCKLINK*>(server->link) : nullptr;
    if (!instance || !serverLink || !instance->monitor || !instance->connection) return nullptr;
    char remote[256] = "", local[256] = "";
    serverLink->TCPGetRemoteAddress(BUFFER(remote, sizeof remote));
    serverLink->TCPGetLocalAddress(BUFFER(local, sizeof local));
    unsigned a[4];
    if (std::sscanf(local, "%u.%u.%u.%u", &a[0], &a[1], &a[2], &a[3]) != 4 || !remote[0]) return nullptr;
    FTPCONNECTION* data = instance->CreateDataConnection(server->serviceFlag);
    if (!data) return nullptr;
    data->retrieval = server->retrieval;
    _strzcpy(data->name, remote, sizeof data->name);
    _strzcpy(data->port, "0", sizeof data->port);
    FTPCONNECTION::LinkData(server, data);
    // Its only peer is the server: anyone else connecting is refused.
    data->prepare();  // the monitor's active set holds it from here
    if (!data->Connect(LINK_SERVER_LISTEN, TRUE, 0, instance->monitor, instance->connection, remote, nullptr,
                       serverLink->netInterface)) {
        data->freeobj();
        server->DropData(TRUE);
        data->freeobj();
        return nullptr;
    }
    TCPSOCKLINK* dataLink = dynamic_cast<TCPSOCKLINK*>(data->link);
    unsigned port = dataLink ? dataLink->port : 0;
    std::snprintf(text, (size_t)size, "PORT %u,%u,%u,%u,%u,%u\r\n", a[0], a[1], a[2], a[3], port >> 8, port & 255);
    return data;
}

BBOOL FTPPORTREQUEST::ProcessCommand(TELAPPINSTANCE* instance) {
    FTPCONNECTION* client = dynamic_cast<FTPCONNECTION*>(connection);
    FTPAPPINSTANCE* fi = dynamic_cast<FTPAPPINSTANCE*>(instance);
    FTPCONNECTION* server = serverOf(client);
    char own[128] = "";
    if (TCPSOCKLINK* l = client ? dynamic_cast<TCPSOCKLINK*>(client->link) : nullptr)
        l->TCPGetRemoteAddress(BUFFER(own, sizeof own));
    // Data goes only to the client's own address.
    if (!server || !fi || std::strcmp(own, dataHost) != 0) {
        if (client) FTPDEFINITION::Reply(client, FTP_INVALID_COMMAND);
        if (server) server->freeobj();
        return FALSE;
    }
    client->DropData(FALSE);
    server->DropData(FALSE);
    _strzcpy(client->portHost, dataHost, sizeof client->portHost);
    client->portNumber = dataPort;
    client->portPending = TRUE;
    char text[64];
    FTPCONNECTION* data = CreateOutboundPort(fi, server, text, sizeof text);
    BBOOL ok = data != nullptr;
    if (ok) {
        FTPCMDREQUEST* own = new FTPCMDREQUEST(text, server);
        own->prepare();
        ok = own->buffer && queueOn(server, own);
        if (!ok) {
            own->FreeRequest(FALSE);
            server->DropData(TRUE);
        }
        data->freeobj();
    }
    if (!ok) {
        client->portPending = FALSE;
        FTPDEFINITION::Reply(client, FTP_CONNECT_FAILED);
    }
    server->freeobj();
    return ok;
}
