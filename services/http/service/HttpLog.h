#pragma once
// The HTTP log: one line for every request and one for every result, built in
// a fixed buffer.
#include "AppLog.h"

class HTTPLOG : public APPLOG {
public:
    HTTPLOG();

    // The framework's call: the client is the gateway's own user for local requests.
    BBOOL LogRequest(APPREQUEST* process, long value, const char* localUser, const char* cacheMark) override;
    // The line for the process's request, or for its result once it has one; any
    // of the texts may be null and is then found from the connections.
    // Called on the worker that serves the process; lineBuffer is that call's.
    BBOOL LogRequest(APPREQUEST* process, const char* serviceName, const char* clientName, const char* serverName);

    char lineBuffer[16000];  // guarded by the worker calls being one at a time per log
};
