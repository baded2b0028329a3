// The gateway's own answers: the status tables and the responses made from them.
#include <cstring>

#include "HtmlDoc.h"
#include "HttpObject.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "TextHelpers.h"

namespace {
#define STATUS_ROW(key, line, page) {key, 0, 1, (intptr_t)(line), (intptr_t)(page), 0}
}  // namespace

// 418 stands after 421 on purpose: the rows keep the order callers have always seen.
LOOKUPROW _InternalHTTPRespCodes[] = {
    STATUS_ROW("200", "HTTP/1.0 200 OK\n\n", nullptr),
    STATUS_ROW("301", "HTTP/1.0 301 MOVED\n\n", nullptr),
    STATUS_ROW("302", "HTTP/1.0 302 FOUND\n\n", nullptr),
    STATUS_ROW("304", "HTTP/1.0 304 NOT MODIFIED\n\n", nullptr),
    STATUS_ROW("404", "HTTP/1.0 404 Not Found\n\n", "notfound.htm"),
    STATUS_ROW("405", "HTTP/1.0 405 No Connection\n\n", "noconnct.htm"),
    STATUS_ROW("406", "HTTP/1.0 406 Invalid Response\n\n", "inv_resp.htm"),
    STATUS_ROW("407", "HTTP/1.0 407 Invalid Request\n\n", "inv_req.htm"),
    STATUS_ROW("408", "HTTP/1.0 408 Invalid FTP Request\n\n", "inv_ftp.htm"),
    STATUS_ROW("409", "HTTP/1.0 409 User Not Authorized\n\n", "bad_user.htm"),
    STATUS_ROW("410", "HTTP/1.0 410 Maximum user count exceeded.\n\n", "manyuser.htm"),
    STATUS_ROW("415", "HTTP/1.0 415 No Connection\n\n", "noconncl.htm"),
    STATUS_ROW("416", "HTTP/1.0 416 No Connection\n\n", "noconnfa.htm"),
    STATUS_ROW("417", "HTTP/1.0 417 No Connection\n\n", "noconndr.htm"),
    STATUS_ROW("419", "HTTP/1.0 419 No Connection\n\n", "noconnnh.htm"),
    STATUS_ROW("420", "HTTP/1.0 420 No Connection\n\n", "noconnnn.htm"),
    STATUS_ROW("421", "HTTP/1.0 421 No Connection\n\n", "noconnhr.htm"),
    STATUS_ROW("418", "HTTP/1.0 418 Invalid Password\n\n", "inv_pswd.htm"),
    STATUS_ROW("422", "HTTP/1.0 422 Gateway Not Ready\n\n", "notready.htm"),
    STATUS_ROW("L200", "HTTP/1.0 200 OK\n\n", "locreqok.htm"),
    STATUS_ROW("L201", "HTTP/1.0 200 OK\n\n", "schedule.htm"),
    STATUS_ROW("L202", "HTTP/1.0 200 OK\n\n", "qvrsched.htm"),
    STATUS_ROW("R200", "HTTP/1.0 423 Invalid Submitted Request\n\n", "inv_loc.htm"),
    {"", 0, 0, 0, 0, 0},
};

LOOKUPROW httpGeneratedErrors[] = {
    {"406", 0, 1, (intptr_t) "HTTP/1.0 406 Invalid Response\n\n", (intptr_t) "The response received was invalid.",
     (intptr_t) "Invalid Response"},
    {"407", 0, 1, (intptr_t) "HTTP/1.0 407 Invalid Request\n\n", (intptr_t) "The request received was invalid.",
     (intptr_t) "Invalid Request"},
    {"200", 0, 1, (intptr_t) "HTTP/1.0 200 Connection established\n\n", 0, 0},
    {"", 0, 0, 0, 0, 0},
};

const long _ProvisionalResultCodes[] = {304, 405, 415, 416, 417, 419, 420, 421, 0};

const char HTTP_EXPIRED_DATE[] = "Mon, 01 Jan 1990 00:00:00 GMT";

BBOOL IsProvisionalResult(long status) {
    for (const long* p = _ProvisionalResultCodes; *p; ++p)
        if (*p == status) return TRUE;
    return FALSE;
}

HTTPRESPONSE* HTTPRESPONSE::Generate(HTTPREQUEST* request, const char* key, HTTPOBJECT* body, BBOOL fromErrorTable) {
    if (!key) return nullptr;
    LOOKUPROW* row = _LookUp(fromErrorTable ? httpGeneratedErrors : _InternalHTTPRespCodes, key, 0, 1);
    if (!row->valid || !row->value) return nullptr;
    char line[256];
    _strzcpy(line, reinterpret_cast<const char*>(row->value), sizeof line);
    HTTPRESPONSE* response = new HTTPRESPONSE(request, nullptr, FALSE);
    response->prepare();
    response->ownText = line;
    response->msgCursor = &response->ownText[0];
    if (!response->ParseCommand()) {
        response->FreeResult(FALSE);
        return nullptr;
    }
    response->msgCursor = nullptr;  // ownText may move; nothing more is parsed
    if (!body) {
        response->noBodyObject = 1;
    } else {
        response->object = body;
        body->CopyHeaders(*response);
        if (request && request->ItemClassID() == QvTag("HHED")) response->headersOnly = 1;
        if (request && request->pendingObject == body) request->pendingObject = nullptr;
    }
    response->generatedLocally = 1;
    return response;
}

HTTPRESPONSE* HTTPRESPONSE::GenerateError(HTTPREQUEST* request, const char* key, const char* detail) {
    if (!key) return nullptr;
    LOOKUPROW* row = _LookUp(httpGeneratedErrors, key, 0, 0);
    if (!row->valid) return nullptr;
    HTTPOBJECT* page = nullptr;
    if (const char* message = reinterpret_cast<const char*>(row->value2)) {
        page = new HTTPOBJECT(nullptr, nullptr, TRUE, FALSE, 0);
        page->prepare();
        const char* title = reinterpret_cast<const char*>(row->value3);
        if (!HTMLDOC::Generate(*page, title, title, message, detail)) {
            page->freeobj();
            return nullptr;
        }
        HTMLDOC::PadTerminator(*page);
        page->AddHeader("Expires", HTTP_EXPIRED_DATE);
        page->defined = 1;
    }
    HTTPRESPONSE* response = Generate(request, key, page, TRUE);
    if (!response && page) page->freeobj();
    return response;
}
