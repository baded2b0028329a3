#include "GatewayCommands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AppConnection.h"
#include "AppDefinition.h"
#include "AppInstance.h"
#include "AppLog.h"
#include "AppRequest.h"
#include "AppType.h"
#include "HtmlDoc.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "LocalRequest.h"
#include "ScheduleForm.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "TextHelpers.h"
#include "TraceDump.h"
#include "TraceTable.h"

namespace {
const char LOG_COPY_SUFFIX[] = ".TMP";
const char TRACE_FILE[] = "TRACE.DAT";
const char NO_TRACE_TEXT[] = "No trace records are held: the trace is not running.\r\n";

// The gateway as the browser reached it, for refreshes and redirections.
std::string HostText(const LOCALCALL& call) {
    return call.names && call.names->linkAddress[0] ? call.names->linkAddress : "Quorvane";
}

std::string InConfigDirectory(const LOCALCALL& call, const std::string& name) {
    std::string dir = call.site ? call.site->configDirectory : "";
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += "\\";
    return dir + name;
}

// The frame every generated page shares: a new object kept out of the
// cache, marked complete and never to be reused by the browser.
template <class BUILD>
HTTPOBJECT* GeneratedPage(BUILD build) {
    HTTPOBJECT* object = new HTTPOBJECT(nullptr, nullptr, TRUE, FALSE, 0);
    object->prepare();
    object->valid = 0;
    if (!build(*object)) {
        object->freeobj();
        return nullptr;
    }
    object->AddHeader("Expires", HTTP_EXPIRED_DATE);
    object->defined = TRUE;
    return object;
}

HTTPOBJECT* RequestList(LOCALCALL& call, BBOOL remove) {
    const char* password = call.site ? call.site->adminPassword : nullptr;
    return GeneratedPage(
        [&](HTTPOBJECT& o) { return HTMLDOC::GenerateRequestList(o, remove, nullptr, password) != nullptr; });
}

HTTPRESPONSE* Redirect(LOCALCALL& call, const char* list) {
    HTTPRESPONSE* response = HTTPRESPONSE::Generate(call.request, "302", nullptr, FALSE);
    if (!response) return nullptr;
    std::string location = "http://" + HostText(call) + "/Gateway-Administration?pswd=" +
                           (call.site && call.site->adminPassword ? call.site->adminPassword : "") + "&" + list;
    response->AddHeader("Location", location.substr(0, 511).c_str());
    return response;
}

char* Named(BUFFER& name, const std::string& text) {
    if (!name.data || name.length <= 0) return nullptr;
    _strzcpy(name.data, text.c_str(), (int)name.length);
    return name.data;
}

// Who submitted a form: the logged-in user, else the client's address.
std::string Submitter(LOCALCALL& call) {
    APPCONNECTION* client = call.process ? call.process->clientConnection : nullptr;
    if (client && client->loginState == LOGIN_IN && client->user) return client->user->name;
    return client ? client->name : "";
}

APPTYPE* ServiceType(LOCALCALL& call) {
    APPINSTANCE* instance = call.process ? call.process->instance : nullptr;
    if (instance && instance->definition && instance->definition->type) return instance->definition->type;
    return _pHTTPAppType;
}

// Makes, logs, starts and saves the scheduled request; the problem's message or null.
const char* Schedule(LOCALCALL& call, const std::string& text, LOCALREQUEST*& made) {
    const char* invalid = "Invalid Request, Check URL Requested";
    APPTYPE* type = ServiceType(call);
    std::string user = Submitter(call);
    made = LOCALREQUEST::Generate(type, text.c_str(), 0, 0, user.c_str(), nullptr, FALSE);
    if (!made) return invalid;
    made->persistent = TRUE;
    if (type && type->log) {
        char line[256];
        std::snprintf(line, sizeof line, "%s request submitted from %s (ID=%lx):  ", type->name, user.c_str(),
                      made->request ? (unsigned long)made->request->requestId : 0UL);
        type->log->LogMsg(line, text.c_str());
    }
    if (!made->StartUp()) {
        made->freeobj();
        made = nullptr;
        return invalid;
    }
    LOCALREQUEST::SaveRequests(LOCAL_REQUEST_FILE);
    return nullptr;
}
}  // namespace

HTTPOBJECT* localConnStatus(LOCALCALL& call, const char*, const char*) {
    std::string head = "<META HTTP-EQUIV=\"refresh\" content=\"60;URL=http://" + HostText(call) +
                       "/Gateway-User?Conn-Status=\">";
    head.resize(head.size() < 511 ? head.size() : 511);
    return GeneratedPage([&](HTTPOBJECT& o) { return HTMLDOC::GenerateGatewayStatus(o, head.c_str()) != nullptr; });
}

HTTPOBJECT* localRequestList(LOCALCALL& call, const char*, const char*) { return RequestList(call, FALSE); }

HTTPOBJECT* localRequestRemoveList(LOCALCALL& call, const char*, const char*) { return RequestList(call, TRUE); }

HTTPRESPONSE* localRequestRemoveItem(LOCALCALL& call, const char*, const char* argument) {
    unsigned long number = argument ? std::strtoul(argument, nullptr, 16) : 0;
    BBOOL found = FALSE;
    if (_pSvr && number) {
        // Held across the search and the cancel (which takes it again), so
        // the request found cannot end in between.
        MSEMHOLD hold(_pSvr->localRequests.lock);
        LOCALREQUEST* target = nullptr;
        CITERATOR<LOCALREQUEST> it;
        for (LOCALREQUEST* r = it.Begin(_pSvr->localRequests); r && !target; r = it.Next())
            if (r->request && (unsigned long)r->request->requestId == number) target = r;
        it.End();
        if (target) {
            target->CancelRequest(TRUE);
            found = TRUE;
        }
    }
    if (found) LOCALREQUEST::SaveRequests(LOCAL_REQUEST_FILE);
    return Redirect(call, "Request-Remove-List=*");
}

char* localGatewayLog(LOCALCALL& call, const char*, const char*, BUFFER& name) {
    std::string file = std::string(_pSvr ? _pSvr->systemLog.baseName : "SYSTEM") + LOG_COPY_SUFFIX;
    // A failed copy serves whatever copy is there, or none.
    if (_pSvr) _pSvr->systemLog.FileCopy(InConfigDirectory(call, file).c_str());
    return Named(name, file);
}

char* localGatewayProfile(LOCALCALL&, const char*, const char*, BUFFER& name) {
    if (!_pSvr || !_pSvr->mainProfile.fileName[0]) return nullptr;
    return Named(name, _pSvr->mainProfile.fileName);
}

char* localGatewayTrace(LOCALCALL& call, const char*, const char*, BUFFER& name) {
    std::string path = InConfigDirectory(call, TRACE_FILE);
    if (_pSupport && WriteTraceTable(&_pSupport->trace, path.c_str())) {
        // An empty file would be answered as missing: say why it is empty.
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) && !data.nFileSizeLow &&
            !data.nFileSizeHigh) {
            if (FILE* f = std::fopen(path.c_str(), "wb")) {
                std::fputs(NO_TRACE_TEXT, f);
                std::fclose(f);
            }
        }
    }
    return Named(name, TRACE_FILE);
}

HTTPRESPONSE* localSubmitRequest(LOCALCALL& call, const char* key, const char* form) {
    HTTPREQUEST* request = call.request;
    if (!request) return nullptr;
    unsigned long method = request->ItemClassID();
    if (method == QvTag("HGET")) {
        const char* page = key && !lstrcmpiA(key, "Gateway-Admin-Request") ? "L202" : "L201";
        return call.site ? call.site->ProvideLocalResult(call, page, nullptr, TRUE) : nullptr;
    }
    if (method != QvTag("HPST")) return nullptr;
    std::string text;
    const char* message = nullptr;
    HTTPRESPONSE* response = nullptr;
    LOCALREQUEST* made = nullptr;
    if (BuildScheduleText(form, text, message)) {
        message = Schedule(call, text, made);
        if (!message && call.site) response = call.site->ProvideLocalResult(call, "L200", nullptr, TRUE);
        if (!message && !response) message = "Bad form data";
    }
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cpppps", "Submit Local Request", call.process, made, response, nullptr, text.c_str());
    if (response) return response;
    if (call.site) return call.site->ProvideLocalResult(call, "R200", message, TRUE);
    return HTTPRESPONSE::GenerateError(request, "407", nullptr);
}
