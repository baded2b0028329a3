#include "HttpLog.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "AppConnection.h"
#include "AppDefinition.h"
#include "AppRequest.h"
#include "AppStatus.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "TextHelpers.h"

namespace {
// Appends to the line, cut to the room left.
void Add(char* line, int size, const char* text) { _strzcat(line, text ? text : "", size); }

const char* ServiceOf(const char* given, APPCONNECTION* connection) {
    if (given) return given;
    const char* type = connection ? connection->GetApplicationType() : nullptr;
    return type ? type : "HTTP";
}

const char* ClientOf(const char* given, APPREQUEST* process) {
    if (given) return given;
    APPCONNECTION* c = process->clientConnection;
    const char* name = c && c->definition ? c->definition->GetUserName(c) : nullptr;
    return name ? name : "<client>";
}

// The command as the client's status record shows it, or the gateway's own request rebuilt.
void CommandOf(APPREQUEST* process, char* out, int size) {
    out[0] = 0;
    APPCONNECTION* c = process->clientConnection;
    if (c) {
        if (APPSTATUS* status = dynamic_cast<APPSTATUS*>(c->status)) {
            APPSTATUS::Lock();
            _strzcpy(out, status->GetCommand(), size);
            APPSTATUS::UnLock();
        }
    } else {
        BUFFER b(out, size);
        process->request->GetReqCmd(b);
    }
    if (!out[0]) _strzcpy(out, "<Command missing>", size);
}
}  // namespace

HTTPLOG::HTTPLOG() : APPLOG("HTTP"), lineBuffer{} {}

BBOOL HTTPLOG::LogRequest(APPREQUEST* process, long, const char* localUser, const char*) {
    return LogRequest(process, nullptr, localUser, nullptr);
}

BBOOL HTTPLOG::LogRequest(APPREQUEST* process, const char* serviceName, const char* clientName,
                          const char* serverName) {
    DATAREQUEST* request = process ? process->request : nullptr;
    if (!request) return FALSE;
    const int size = (int)sizeof lineBuffer;
    char* line = lineBuffer;
    line[0] = 0;
    const char* client = ClientOf(clientName, process);
    char id[16];
    std::snprintf(id, sizeof id, "%lx", (unsigned long)request->requestId.id);
    DATARESULT* result = request->result;
    if (!result) {
        HTTPREQUEST* http = dynamic_cast<HTTPREQUEST*>(request);
        Add(line, size, ServiceOf(serviceName, process->clientConnection));
        Add(line, size, " request from ");
        Add(line, size, client);
        Add(line, size, " to ");
        Add(line, size, serverName ? serverName : http ? http->host.c_str() : "");
        Add(line, size, " (ID=");
        Add(line, size, id);
        Add(line, size, "),  ");
        std::vector<char> command(size);
        CommandOf(process, command.data(), size);
        Add(line, size, command.data());
    } else {
        APPCONNECTION* connection = dynamic_cast<APPCONNECTION*>(result->connection);
        HTTPRESPONSE* response = dynamic_cast<HTTPRESPONSE*>(result);
        const char* server = serverName;
        if (!server && result->connection) server = result->connection->name;
        if (!server) server = response && response->generatedLocally ? "Quorvane" : "<server>";
        Add(line, size, ServiceOf(serviceName, connection));
        Add(line, size, " result  from ");
        Add(line, size, server);
        Add(line, size, " to ");
        Add(line, size, client);
        Add(line, size, " (ID=");
        Add(line, size, id);
        Add(line, size, "),  ");
        Add(line, size, "  Status: ");
        Add(line, size, result->GetStatus());
        Add(line, size, " ");
        char reason[256];
        BUFFER b(reason, sizeof reason);
        reason[0] = 0;
        result->GetMsgText(b);
        Add(line, size, reason);
    }
    return LogMsg(line);
}
