#include "AppDebug.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "AppLog.h"
#include "AppType.h"
#include "LocalRequest.h"
#include "MemoryPool.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "TextHelpers.h"

APPDEBUG::APPDEBUG(APPTYPE* t)
    : linkLevelGiven(0), linkLevel(0), fileName("DEBUG.DAT"), stopFlag(0), command(), type(t) {}

APPDEBUG::~APPDEBUG() {
    if (command.data && _pSystemMemoryPool) _pSystemMemoryPool->Free(command.data);
}

BBOOL APPDEBUG::AllocCommand(int size) {
    if (command.data || size <= 0 || !_pSystemMemoryPool) return FALSE;
    command.data = static_cast<char*>(_pSystemMemoryPool->Allocate(size, 0));
    if (!command.data) return FALSE;
    command.length = size;
    command.data[0] = 0;
    return TRUE;
}

BBOOL APPDEBUG::SetCmd(const char* text, BBOOL file) {
    if (!command.data || command.length <= 0) return FALSE;
    if (!text) text = "";
    const size_t wanted = (file ? 1 : 0) + std::strlen(text);
    command.data[0] = 0;
    if (file) _strzcat(command.data, "@", (int)command.length);
    _strzcat(command.data, text, (int)command.length);
    return wanted < (size_t)command.length;
}

BBOOL APPDEBUG::RequestProc() {
    if (!type || !command.data || !command.data[0]) return FALSE;
    if (command.data[0] != '@') return execAppRequest(command);
    const std::string name = command.data + 1;
    return runFile(name.c_str(), 1);
}

BBOOL APPDEBUG::execAppRequest(BUFFER& text) {
    if (!type || !text.data || !_pSvr) return FALSE;
    // Every start runs the initial request file again: a scheduled command
    // that the request file brought back already is not made twice.
    if (LOCALREQUEST::FindPersistent(type, text.data)) return TRUE;
    const char* origin = _pSvr->options.users.ownerName;
    LOCALREQUEST* r = LOCALREQUEST::Generate(type, text.data, linkLevelGiven ? linkLevel : -1, 0, origin,
                                             fileName, FALSE);
    if (!r) return FALSE;
    r->persistent = TRUE;
    if (type->log) {
        char head[160];
        std::snprintf(head, sizeof head, "%s request submitted from %s (ID=%lx):  ", type->name, origin,
                      r->requestId);
        std::string line = std::string(head) + text.data;
        type->log->LogMsg(line.c_str());
    }
    if (!r->StartUp()) {
        r->freeobj();
        return FALSE;
    }
    LOCALREQUEST::SaveRequests(LOCAL_REQUEST_FILE);
    return TRUE;
}

BBOOL APPDEBUG::runFile(const char* name, int depth) {
    // A file naming itself, directly or round a loop, ends here.
    if (depth > MaxFileDepth) return FALSE;
    const std::string saved = command.data;
    FILE* file = std::fopen(name, "r");
    if (!file) return FALSE;
    BBOOL result = TRUE;
    const int size = (int)command.length;
    while (result && std::fgets(command.data, size, file)) {
        char* line = command.data;
        size_t length = std::strlen(line);
        // No line end and more to come: the line is longer than the buffer.
        if (length == (size_t)size - 1 && line[length - 1] != '\n') {
            const int next = std::fgetc(file);
            if (next != '\n' && next != EOF) {
                result = FALSE;
                break;
            }
        }
        if (line[0] == 0x1A) break;
        if (line[0] == ';') continue;
        while (length > 0 && std::strchr(" \t\r\n", line[length - 1])) line[--length] = 0;
        if (length < 3) continue;
        if (line[0] == '@') {
            const std::string nested = line + 1;
            result = runFile(nested.c_str(), depth + 1);
        } else {
            result = execAppRequest(command);
        }
    }
    std::fclose(file);
    _strzcpy(command.data, saved.c_str(), size);
    return result;
}
