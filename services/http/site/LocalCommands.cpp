// The site's command grammar and tables, and the dispatch of a local request
// to a command, a status page or a page file.
#include <cstdio>
#include <cstring>
#include <string>

#include "GatewayCommands.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "LocalSite.h"
#include "QvWindows.h"
#include "TextHelpers.h"

namespace {
enum LOCALKIND { KIND_PAGE = 0, KIND_FILE = 1, KIND_CONFIG_FILE = 2, KIND_FILE_HANDLER = 3, KIND_RESPONSE = 4 };

HTTPOBJECT* localProxyScript(LOCALCALL& call, const char*, const char*) {
    if (!call.site || !call.names) return nullptr;
    return call.site->BuildGatewayProxyScript(call.names->linkAddress, call.names->linkPort);
}

#define COMMAND(key, kind, value, type) {key, 0, 1, (intptr_t)(value), kind, (intptr_t)(type)}
}  // namespace

LOOKUPROW _InternalUserFiles[] = {
    COMMAND("Conn-Status", KIND_PAGE, localConnStatus, nullptr),
    COMMAND("Gateway-User-Request", KIND_RESPONSE, localSubmitRequest, nullptr),
    COMMAND("Help-Menu", KIND_FILE, "qvrdocs.htm", nullptr),
    COMMAND("Admin-Menu", KIND_FILE, "qvradmin.htm", nullptr),
    COMMAND("Gateway-User-Doc", KIND_FILE, "help.htm", nullptr),
    COMMAND("Gateway-Info-Doc", KIND_FILE, "info.htm", nullptr),
    COMMAND("Gateway-Know-Doc", KIND_FILE, "didyou.htm", nullptr),
    COMMAND("Gateway-How-Doc", KIND_FILE, "howdoi.htm", nullptr),
    COMMAND("Proxy", KIND_PAGE, localProxyScript, nullptr),
    {"", 0, 0, 0, 0, 0},
};

LOOKUPROW _InternalAdminFiles[] = {
    COMMAND("Gateway-Cache", KIND_PAGE, nullptr, nullptr),
    COMMAND("Gateway-Sites", KIND_PAGE, nullptr, nullptr),
    COMMAND("Cache-File", KIND_FILE_HANDLER, nullptr, "text/plain"),
    COMMAND("Cache-Remove-List", KIND_PAGE, nullptr, nullptr),
    COMMAND("Cache-Remove-SiteList", KIND_PAGE, nullptr, nullptr),
    COMMAND("Cache-Remove-Item", KIND_RESPONSE, nullptr, nullptr),
    COMMAND("Cache-Remove-Site", KIND_RESPONSE, nullptr, nullptr),
    COMMAND("Gateway-Request-List", KIND_PAGE, localRequestList, nullptr),
    COMMAND("Request-Remove-List", KIND_PAGE, localRequestRemoveList, nullptr),
    COMMAND("Request-Remove-Item", KIND_RESPONSE, localRequestRemoveItem, nullptr),
    COMMAND("Gateway-Help", KIND_FILE, "help.htm", nullptr),
    COMMAND("Gateway-Help-Menu", KIND_FILE, "qvrdocs.htm", nullptr),
    COMMAND("Gateway-Admin-Menu", KIND_FILE, "qvradmin.htm", nullptr),
    COMMAND("Gateway-Install-Log", KIND_CONFIG_FILE, "INSTALL.LOG", "text/plain"),
    COMMAND("Gateway-Log", KIND_FILE_HANDLER, localGatewayLog, "text/plain"),
    COMMAND("Gateway-Profile", KIND_FILE_HANDLER, localGatewayProfile, "text/plain"),
    COMMAND("Gateway-User-Request", KIND_RESPONSE, localSubmitRequest, nullptr),
    COMMAND("Gateway-Admin-Request", KIND_RESPONSE, localSubmitRequest, nullptr),
    COMMAND("Gateway-Status", KIND_PAGE, localConnStatus, nullptr),
    COMMAND("Gateway-Trace", KIND_FILE_HANDLER, localGatewayTrace, "text/plain"),
    {"", 0, 0, 0, 0, 0},
};

void PadWithBlanks(HTTPOBJECT& object) {
    char* data = object.dataBlock ? object.dataBlock->data : nullptr;
    long n = object.DataLength();
    if (!data) return;
    for (long i = (long)strnlen(data, n); i < n; ++i) data[i] = ' ';
}

namespace {
enum AREA { AREA_NONE, AREA_USER, AREA_ADMIN };

// How one call is answered; filled step by step.
struct ANSWER {
    std::string status;
    std::string file;
    std::string type;
    BBOOL mapByProfile = TRUE;
    BBOOL configDirectory = FALSE;
    BBOOL noCachePage = FALSE;
    BBOOL commandFound = FALSE;
    BBOOL fullPath = FALSE;  // a file handler named the file by its full path
    HTTPOBJECT* object = nullptr;   // made by this call (a reference of its own)
    HTTPRESPONSE* response = nullptr;
};

AREA AreaOf(const char* name, bool& form) {
    form = false;
    if (!lstrcmpiA(name, "Gateway-User")) return AREA_USER;
    if (!lstrcmpiA(name, "Gateway-User-Request") || !lstrcmpiA(name, "proxy")) {
        form = true;
        return AREA_USER;
    }
    if (!lstrcmpiA(name, "Gateway-Administration")) return AREA_ADMIN;
    if (!lstrcmpiA(name, "Gateway-Admin-Request")) {
        form = true;
        return AREA_ADMIN;
    }
    return AREA_NONE;
}

// The query of a GET (with its '?'), else the body's text; at most 511 characters.
std::string CommandText(HTTPREQUEST* request) {
    if (request->ItemClassID() == QvTag("HGET")) return request->query.substr(0, 511);
    DATAOBJECT* body = request->object;
    const char* data = body && body->dataBlock ? body->dataBlock->data : nullptr;
    if (!data) return std::string();
    long n = body->DataLength() < 511 ? body->DataLength() : 511;
    return std::string(data, strnlen(data, n));
}

// File mtime as seconds since 1970; 0 when the file is not there.
unsigned long FileTime(const char* path, unsigned long& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    size = data.nFileSizeLow;
    unsigned long long t = ((unsigned long long)data.ftLastWriteTime.dwHighDateTime << 32) |
                           data.ftLastWriteTime.dwLowDateTime;
    const unsigned long long epoch = 116444736000000000ULL;
    return t > epoch ? (unsigned long)((t - epoch) / 10000000ULL) : 0;
}

bool Unchanged(HTTPREQUEST* request, const char* path) {
    if (!request->IsConditional()) return false;
    unsigned long size = 0;
    unsigned long modified = FileTime(path, size);
    if (!modified || modified > request->ifModifiedSince.seconds) return false;
    return request->ifModifiedLength < 0 || (unsigned long)request->ifModifiedLength == size;
}

// Carries out a command row; false sends the call to the error path.
bool RunCommand(LOCALCALL& call, LOOKUPROW& row, const char* key, const char* argument, ANSWER& a) {
    a.commandFound = TRUE;
    const char* type = reinterpret_cast<const char*>(row.value3);
    switch ((int)row.value2) {
    case KIND_PAGE: {
        LOCALPAGEPROC page = reinterpret_cast<LOCALPAGEPROC>(row.value);
        a.object = page ? page(call, key, argument) : nullptr;
        if (a.object) PadWithBlanks(*a.object);
        return a.object != nullptr;
    }
    case KIND_FILE:
        a.file = reinterpret_cast<const char*>(row.value);
        if (type) a.type = type;
        return true;
    case KIND_CONFIG_FILE:
    case KIND_FILE_HANDLER: {
        char name[512] = "";
        if (row.value2 == KIND_CONFIG_FILE) {
            _strzcpy(name, reinterpret_cast<const char*>(row.value), sizeof name);
        } else {
            LOCALFILEPROC handler = reinterpret_cast<LOCALFILEPROC>(row.value);
            BUFFER b(name, sizeof name);
            if (!handler || !handler(call, key, argument, b)) return false;
        }
        a.file = name;
        a.fullPath = name[0] == '\\' || (name[0] && name[1] == ':');
        a.configDirectory = TRUE;
        if (type) {
            a.mapByProfile = FALSE;
            a.type = type;
        }
        a.noCachePage = TRUE;
        return true;
    }
    default: {
        LOCALRESPONSEPROC handler = reinterpret_cast<LOCALRESPONSEPROC>(row.value);
        a.response = handler ? handler(call, key, argument) : nullptr;
        return a.response != nullptr;
    }
    }
}

void AddNumber(HTTPOBJECT& o, const char* name, long n) {
    char text[16];
    std::snprintf(text, sizeof text, "%ld", n);
    o.AddHeader(name, text);
}
}  // namespace

HTTPRESPONSE* HTTPLOCALSITE::ProvideLocalResult(LOCALCALL& call, const char* name, const char* argument,
                                                BBOOL statusCall) {
    HTTPREQUEST* request = call.request;
    if (!request || !name) return nullptr;
    ANSWER a;
    bool form = false;
    AREA area = statusCall ? AREA_NONE : AreaOf(name, form);
    std::string key, commandArgument;
    bool haveCommand = false;
    std::string target = name;
    if (area != AREA_NONE) {
        std::string text = CommandText(request);
        if (area == AREA_ADMIN && !form) {
            // No password set means no administration, not administration for everyone.
            const char* prefix = "?pswd=";
            bool ok = text.compare(0, 6, prefix) == 0 && adminPassword && *adminPassword;
            size_t amp = text.find('&', 6);
            if (ok) ok = text.substr(6, amp == std::string::npos ? std::string::npos : amp - 6) == adminPassword;
            if (ok) {
                text = amp == std::string::npos ? "Gateway-Admin-Menu" : text.substr(amp + 1);
                haveCommand = true;
            } else {
                target = "418";
            }
        } else {
            if (!text.empty() && text[0] == '?') text.erase(0, 1);
            haveCommand = true;
        }
        if (haveCommand) {
            if (form) {
                key = name;
                commandArgument = text;
            } else {
                size_t eq = text.find('=');
                key = text.substr(0, eq);
                if (eq != std::string::npos) commandArgument = text.substr(eq + 1);
            }
            const char* arg = form || text.find('=') != std::string::npos ? commandArgument.c_str() : nullptr;
            LOOKUPROW* row = _LookUp(area == AREA_ADMIN ? _InternalAdminFiles : _InternalUserFiles, key.c_str(), 0, 1);
            if (row->valid && !RunCommand(call, *row, key.c_str(), arg, a)) {
                if (a.object) a.object->freeobj();
                return nullptr;
            }
        }
    }
    if (a.response) return a.response;
    if (!a.commandFound) {
        LOOKUPROW* row = _LookUp(_InternalHTTPRespCodes, target.c_str(), 0, 1);
        if (row->valid) {
            a.status = row->name;
            a.file = row->value2 ? reinterpret_cast<const char*>(row->value2) : "";
            a.noCachePage = TRUE;
        } else if (statusCall) {
            return nullptr;
        } else {
            a.file = target;
        }
    }
    if (!a.file.empty() && !a.object) {
        char path[256], type[128];
        _strzcpy(type, a.type.c_str(), sizeof type);
        BUFFER p(path, sizeof path), t(type, sizeof type);
        if (a.fullPath)
            _strzcpy(path, a.file.c_str(), sizeof path);
        else if (!getAbsFileName(a.file.c_str(), a.mapByProfile, a.configDirectory, p, t))
            return nullptr;
        if (!statusCall && Unchanged(request, path)) return HTTPRESPONSE::Generate(request, "304", nullptr, FALSE);
        a.object = bodyFromFile(path, nullptr, argument);
        if (!a.object) return nullptr;
        a.object->AddHeader("Content-Type", type);
        if (a.noCachePage) {
            a.object->AddHeader("Expires", HTTP_EXPIRED_DATE);
            a.object->valid = 0;
        }
    }
    if (a.object) {
        AddNumber(*a.object, "Content-Length", a.object->DataLength());
        if (a.commandFound) {
            std::string location = std::string("http") + "://Quorvane/" +
                                   (area == AREA_ADMIN ? "Gateway-Administration" : "Gateway-User") + request->query;
            a.object->AddHeader("Content-Location", location.c_str());
        }
    }
    HTTPRESPONSE* response =
        HTTPRESPONSE::Generate(request, a.status.empty() ? "200" : a.status.c_str(), a.object, FALSE);
    if (!response && a.object) a.object->freeobj();
    return response;
}

HTTPRESPONSE* HTTPLOCALSITE::ProcessLocalRequest(LOCALCALL& call) {
    HTTPREQUEST* request = call.request;
    if (!request || !call.names || !request->NeedsLocalResult(*call.names)) return nullptr;
    std::string name = request->path.substr(0, 255);
    if (name.empty()) name = "/";
    if (name.size() > 1 && name[0] == '/') name.erase(0, 1);
    if (HTTPRESPONSE* r = ProvideLocalResult(call, name.c_str(), nullptr, FALSE)) return r;
    if (HTTPRESPONSE* r = ProvideLocalResult(call, "404", name.c_str(), TRUE)) return r;
    return HTTPRESPONSE::GenerateError(request, "407", nullptr);
}
