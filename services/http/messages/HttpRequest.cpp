#include "HttpRequest.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "DataConnection.h"
#include "HttpObject.h"
#include "HttpSite.h"
#include "HttpText.h"
#include "QvWindows.h"
#include "TextHelpers.h"

LOOKUPROW httpMethodTable[] = {
    {"CONNECT", 0, 1, (intptr_t)QvTag("HCON"), 0, 0},
    {"GET", 0, 1, (intptr_t)QvTag("HGET"), 0, 0},
    {"HEAD", 0, 1, (intptr_t)QvTag("HHED"), 0, 0},
    {"POST", 0, 1, (intptr_t)QvTag("HPST"), 0, 0},
    {"", 0, 0, 0, 0, 0},
};

namespace {
// Where a URL word stops: the scheme, the host and the port.
const char kUrlStops[] = " ;/?:@&=\r\n";
const int kWordLimit = 63;

using httptext::SkipBlanks;

using httptext::ScanUntil;

std::string Upper(std::string s) {
    for (char& c : s) c = (char)toupper((unsigned char)c);
    return s;
}

using httptext::Put;
bool Put(char*& at, char* end, const std::string& s) { return Put(at, end, s.data(), s.size()); }

char* CopyOut(const std::string& s, BUFFER& out) {
    if (!out.data || out.length <= 0) return out.data;
    long n = (long)s.size() < out.length - 1 ? (long)s.size() : out.length - 1;
    std::memcpy(out.data, s.data(), n);
    out.data[n] = 0;
    return out.data;
}

char* Emptied(BUFFER& out) {
    if (out.data && out.length > 0) out.data[0] = 0;
    out.length = 0;
    return out.data;
}

const char* MethodName(unsigned long code) {
    LOOKUPROW* row = _LookUpValue(httpMethodTable, (intptr_t)code);
    return row->valid ? row->name : nullptr;
}

// A Content-Length value: decimal digits (trailing blanks allowed) no larger
// than the request body ceiling.
bool ValidLength(const char* text, long& value) {
    const char* p = text;
    if (!(*p >= '0' && *p <= '9')) return false;
    long n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        n = n * 10 + (*p - '0');
        if (n > HTTP_REQUEST_BODY_LIMIT) return false;
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (*p) return false;
    value = n;
    return true;
}
}  // namespace

BBOOL RequestContentLength(HTTPMSGBASE& message, long& length) {
    length = 0;
    bool seen = false;
    CITERATOR<DATAVALUE> it;
    BBOOL ok = TRUE;
    for (DATAVALUE* v = it.Begin(message.headers); v && ok; v = it.Next()) {
        if (lstrcmpiA(v->valueName, "Content-Length") != 0) continue;
        char text[65];
        HeaderValue(*v, text, sizeof text);
        long n = 0;
        if (!ValidLength(text, n) || (seen && n != length)) ok = FALSE;
        length = n;
        seen = true;
    }
    it.End();
    if (!ok) length = 0;
    return ok;
}

LOOKUPROW httpRequestDefaults[] = {
    {"*/*", 0, 1, (intptr_t) "Accept", 0, 0},
    {"", 0, 0, 0, 0, 0},
};

HTTPREQUEST* AllocateHttpRequest(char* text, BBOOL fromGateway, char* work, int workSize) {
    if (!text) return nullptr;
    if (fromGateway && work && workSize > 0 && _AsciiToCtlChars(text, BUFFER(work, workSize)) > 0) text = work;
    HTTPREQUEST* request = NewHttpRequest(text);
    if (!request) return nullptr;
    request->prepare();
    request->generatedLocally = fromGateway ? 1 : 0;
    request->parsedOK = request->ParseCommand();
    return request;
}

HTTPREQUEST* BuildHttpRequest(const char* text) {
    if (!text || !*text) return nullptr;
    std::vector<char> typed(HTTP_HEADER_LIMIT), work(HTTP_HEADER_LIMIT);
    _strzcpy(typed.data(), text, HTTP_HEADER_LIMIT);
    if (!HTTPREQUEST::addDefaults(typed.data(), HTTP_HEADER_LIMIT)) return nullptr;
    HTTPREQUEST* request = AllocateHttpRequest(typed.data(), TRUE, work.data(), HTTP_HEADER_LIMIT);
    if (!request) return nullptr;
    request->msgCursor = nullptr;  // the texts go with this call
    if (!request->parsedOK) {
        request->FreeRequest(FALSE);
        return nullptr;
    }
    if (!request->FindHeader("Host")) {
        request->AddHeader("Host", request->host.c_str());
        request->AddDefaultHeaders(httpRequestDefaults);
    }
    return request;
}

HTTPREQUEST* NewHttpRequest(char* text, IOBUFFER* buffer, COMMLINK* link) {
    if (!text) return nullptr;
    char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
    std::string word = Upper(ScanUntil(p, " \t\r\n"));
    LOOKUPROW* row = _LookUp(httpMethodTable, word.c_str(), 0, 0);
    if (!row->valid) return nullptr;
    unsigned long code = (unsigned long)row->value;
    if (code == QvTag("HGET")) return new HTTPGETREQUEST(p, buffer, link);
    if (code == QvTag("HHED")) return new HTTPHEADREQUEST(p, buffer, link);
    if (code == QvTag("HPST")) return new HTTPPOSTREQUEST(p, buffer, link);
    return new HTTPCONNECTREQUEST(p, buffer, link);
}

HTTPREQUEST::HTTPREQUEST(char* text, IOBUFFER* buffer, COMMLINK* link)
    : TCPREQUEST(buffer, link),
      HTTPMSGBASE(text),
      parsedOK(0),
      absoluteURL(0),
      ftpScheme(0),
      port(0),
      site(nullptr),
      pendingObject(nullptr),
      ifModifiedLength(-1),
      conditionalChecked(0),
      conditional(0),
      generatedLocally(0),
      bodyReceived(0) {}

void (*_pHTTPPendingDropped)(HTTPREQUEST* request) = nullptr;

HTTPREQUEST::~HTTPREQUEST() {
    if (pendingObject && _pHTTPPendingDropped) _pHTTPPendingDropped(this);
    if (pendingObject) pendingObject->FreeObject();
    pendingObject = nullptr;
    SetSite(nullptr);
}

int HTTPREQUEST::SetReqStatus(const char* text) {
    _strzcpy(status, text ? text : "", sizeof status);
    statusNumber = 0;
    return (int)std::strlen(status);
}

char* HTTPREQUEST::GetReqMethod(BUFFER& out) {
    const char* name = MethodName(ItemClassID());
    return CopyOut(name ? name : "", out);
}

char* HTTPREQUEST::GetReqCmd(BUFFER& out) { return GetReqCmdLine(out, TRUE, TRUE); }

char* HTTPREQUEST::GetParameters(BUFFER& out) { return CopyOut(parameters, out); }
char* HTTPREQUEST::GetQuery(BUFFER& out) { return CopyOut(query, out); }

void HTTPREQUEST::SetSite(HTTPSITE* s) {
    if (site) InterlockedDecrement(&site->requestCount);
    site = s;
    if (site) InterlockedIncrement(&site->requestCount);
}

BBOOL HTTPREQUEST::SetObjectData(IOBUFFER* first, DATACONNECTION* conn, int length) {
    if (!object) {
        DATASTORE* store = site ? &site->objects : DATASTORE::System();
        HTTPOBJECT* body = new (store) HTTPOBJECT(site, nullptr, TRUE, FALSE, 0);
        if (!body) return FALSE;
        body->prepare();
        object = body;
        objectShared = 0;
        bodyReceived = 0;
    }
    // Sized once for the whole body; each piece lands after the one before.
    if (bodyReceived == 0) {
        long size = length > 0 ? length : 0;
        object->SetData(BUFFER(nullptr, size));
        if (object->DataLength() != size) return FALSE;
    }
    char* area = object->dataBlock ? object->dataBlock->data : nullptr;
    long room = object->DataLength() - bodyReceived;
    COMMLINK* link = conn ? conn->link : nullptr;
    for (IOBUFFER* buffer = first; buffer;) {
        long n = buffer->cursor.length < room ? buffer->cursor.length : room;
        if (n > 0 && area) {
            std::memcpy(area + bodyReceived, buffer->cursor.data, n);
            bodyReceived += n;
            room -= n;
        }
        BBOOL more = buffer->incomplete;
        if (buffer->pool) buffer->pool->FreeBuffer(buffer);
        else buffer->freeobj();
        buffer = more && link ? link->GetNextMessage() : nullptr;
    }
    object->dataChanged = 1;
    return TRUE;
}

char* HTTPREQUEST::parseVersion() {
    char* start = msgCursor;
    char* end = start;
    while (*end && *end != '\n') ++end;
    char* space = nullptr;
    for (char* p = end; p > start; --p)
        if (p[-1] == ' ') {
            space = p - 1;
            break;
        }
    if (space) {
        char* word = space + 1;
        char* stop = word;
        while (*stop && *stop != '\r' && *stop != '\n') ++stop;
        if (stop - word <= kWordLimit && std::strncmp(word, "HTTP/", 5) == 0) {
            std::string v(word, stop - word);
            _strzcpy(version, v.c_str(), sizeof version);
            return word;
        }
    }
    if (generatedLocally) _strzcpy(version, "HTTP/1.0", sizeof version);
    else simpleMessage = 1;
    return nullptr;
}

BBOOL HTTPREQUEST::parseRequestLine() {
    char* p = SkipBlanks(msgCursor);
    char* remembered = p;
    std::string scheme = Upper(ScanUntil(p, kUrlStops));
    if (!scheme.empty() && *p == ':') {
        absoluteURL = 1;
        if (scheme == "FTP") ftpScheme = 1;
        else if (scheme != "HTTP") return FALSE;
        p = SkipBlanks(p + 1);
        if (p[0] != '/' || p[1] != '/') return FALSE;
        p += 2;
        host = ScanUntil(p, kUrlStops);
        char* colon = SkipBlanks(p);
        if (*colon == ':') {
            p = colon + 1;
            std::string number = ScanUntil(p, kUrlStops);
            if (number.empty()) return FALSE;
            port = std::atol(number.c_str());
        }
        // Credentials in front of the host ("user:pass@host") would send the
        // request to the wrong host: refused.
        if (*SkipBlanks(p) == '@') return FALSE;
        remembered = p;
    }
    msgCursor = remembered;
    char* versionAt = parseVersion();

    p = SkipBlanks(msgCursor);
    while (*p == '\t') ++p;
    char* pathStart = p;
    while (*p && *p != '?' && *p != ';' && *p != '\r' && *p != '\n') ++p;
    char* pathEnd = p;
    if (versionAt && pathEnd > versionAt) {
        pathEnd = versionAt - 1 > pathStart ? versionAt - 1 : pathStart;
        p = pathEnd;
    }
    while (pathEnd > pathStart && (pathEnd[-1] == ' ' || pathEnd[-1] == '\t')) --pathEnd;
    path.assign(pathStart, pathEnd - pathStart);
    if (path.empty()) path = "/";

    p = SkipBlanks(p);
    if (*p == ';') parameters = ScanUntil(p, " ?\r\n");
    p = SkipBlanks(p);
    if (*p == '?') query = ScanUntil(p, " \r\n");

    if (versionAt) {
        while (*p && *p != '\n') ++p;
    } else {
        while (*p == ' ' || *p == '\t') ++p;
    }
    if (*p == '\r') ++p;
    if (*p == '\n') ++p;
    msgCursor = p;
    return TRUE;
}

BBOOL HTTPREQUEST::ParseRequest() {
    if (!msgCursor || !parseRequestLine()) return FALSE;
    if (simpleMessage) return TRUE;
    return parseHeaders(TRUE) && checkFraming();
}

BBOOL HTTPREQUEST::checkFraming() {
    // A body whose end the server could find elsewhere than we do would be read
    // as the next request: no transfer coding, one Content-Length.
    if (FindHeader("Transfer-Encoding")) return FALSE;
    long length = 0;
    return RequestContentLength(*this, length);
}

BBOOL HTTPREQUEST::rebuildRequestLine(char* out, int size, BBOOL toProxy) {
    const char* method = MethodName(ItemClassID());
    if (!method || !out || size <= 0) return FALSE;
    char* at = out;
    char* end = out + size;
    *at = 0;
    Put(at, end, method, std::strlen(method));
    Put(at, end, " ", 1);
    if (absoluteURL && toProxy) {
        Put(at, end, ftpScheme ? "ftp://" : "http://", ftpScheme ? 6 : 7);
        if (!Put(at, end, host)) return FALSE;
        if (port) {
            char number[16];
            std::snprintf(number, sizeof number, ":%ld", port);
            if (!Put(at, end, number, std::strlen(number))) return FALSE;
        }
    }
    if (!Put(at, end, path)) return FALSE;
    if (!Put(at, end, parameters)) return FALSE;
    Put(at, end, query);
    Put(at, end, " ", 1);
    Put(at, end, version, std::strlen(version));
    if (end - at <= 2) return FALSE;
    return Put(at, end, "\r\n", 2);
}

char* HTTPREQUEST::RebuildRequest(BUFFER& out, BBOOL toProxy) {
    if (!out.data || out.length <= 0) return Emptied(out);
    if (!rebuildRequestLine(out.data, (int)out.length, toProxy)) return Emptied(out);
    size_t used = std::strlen(out.data);
    if (!rebuildHeaders(out.data + used, (int)(out.length - used))) return Emptied(out);
    out.length = (long)std::strlen(out.data);
    return out.data;
}

char* HTTPREQUEST::GetReqCmdLine(BUFFER& out, BBOOL withHeaders, BBOOL keepPartial) {
    if (!out.data || out.length <= 0) return out.data;
    BBOOL ok = rebuildRequestLine(out.data, (int)out.length, TRUE);
    if (ok && withHeaders) {
        size_t used = std::strlen(out.data);
        ok = rebuildHeaders(out.data + used, (int)(out.length - used));
    }
    if (!ok && !keepPartial) return Emptied(out);
    out.length = (long)std::strlen(out.data);
    return out.data;
}

BBOOL HTTPREQUEST::IsConditional() {
    if (conditionalChecked) return conditional;
    conditionalChecked = 1;
    if (ItemClassID() != QvTag("HGET")) return conditional = 0;
    char text[128];
    if (!GetHeaderData(text, sizeof text, "If-Modified-Since")) return conditional = 0;
    if (char* semicolon = std::strchr(text, ';')) {
        *semicolon = 0;
        if (char* equals = std::strchr(semicolon + 1, '=')) ifModifiedLength = std::atol(equals + 1);
    }
    ifModifiedSince = TIMESTAMP(TIMESTAMP::parseMIME(text), 0);
    return conditional = ifModifiedSince.seconds != 0;
}

namespace {
bool NamesGateway(const char* host, const GATEWAYNAMES& names) {
    if (!host || !*host) return false;
    if (names.localUserName && *names.localUserName && !lstrcmpiA(host, names.localUserName)) return true;
    if (!lstrcmpiA(host, "Quorvane")) return true;
    if (names.linkAddress[0] && !lstrcmpiA(host, names.linkAddress)) return true;
    return names.linkName[0] && !lstrcmpiA(host, names.linkName);
}
}  // namespace

BBOOL HTTPREQUEST::NeedsLocalResult(const GATEWAYNAMES& names) {
    unsigned long method = ItemClassID();
    if (method != QvTag("HGET") && method != QvTag("HPST")) return FALSE;
    if (!absoluteURL) return TRUE;
    char name[256];
    _strzcpy(name, host.c_str(), sizeof name);
    if (port != 0 && port != names.linkPort) return FALSE;
    return NamesGateway(name, names);
}

BBOOL HTTPREQUEST::WasReferredLocally(const GATEWAYNAMES& names, BBOOL pathToo) {
    char referer[256];
    if (!GetHeaderData(referer, sizeof referer, "Referer")) return FALSE;
    char* p = std::strchr(referer, ':');
    if (!p) return FALSE;
    ++p;
    while (*p == '/') ++p;
    // The host ends at its port as well: "quorvane:8080" is the gateway.
    std::string name = ScanUntil(p, ":/\r\n");
    if (name.empty()) return FALSE;
    if (pathToo) {
        ScanUntil(p, "/\r\n");
        while (*p == '/') ++p;
        std::string page = ScanUntil(p, "?\r\n");
        if (page.size() > 127) page.resize(127);
        if (page != "Gateway-Administration" && page != "Gateway-User") return FALSE;
    }
    return NamesGateway(name.c_str(), names);
}

void HTTPREQUEST::DebugPrint() {
    std::printf("PORT: %ld\n", port);
    std::printf("HOST: %s\n", host.c_str());
    std::printf("PATH: %s\n", path.c_str());
    std::printf("PARAMETERS: %s\n", parameters.c_str());
    std::printf("QUERY: %s\n", query.c_str());
    std::printf("VERSION: %s\n", version);
    DebugPrintHeaders();
}

BBOOL HTTPREQUEST::addDefaults(char* text, int size) {
    if (!text || size <= 0) return FALSE;
    char* p = SkipBlanks(text);
    while (*p == '\n') p = SkipBlanks(p + 1);
    if (!*p) return FALSE;
    char* start = p;
    std::string word = Upper(ScanUntil(p, kUrlStops));
    if (word.size() > 255) word.resize(255);
    if (_LookUp(httpMethodTable, word.c_str(), 0, 0)->valid) return TRUE;
    bool addScheme = *p != ':';
    if (addScheme)
        while (*start == '/') ++start;
    std::string rest(start);
    size_t need = std::strlen(text) + 1 + 4 + (addScheme ? 8 : 0);
    if (need > (size_t)size) return FALSE;
    std::string result = std::string("GET ") + (addScheme ? "HTTP://" : "") + rest;
    _strzcpy(text, result.c_str(), size);
    return result.size() < (size_t)size;
}

BBOOL HTTPPOSTREQUEST::ParseCommand() {
    if (!ParseRequest()) return FALSE;
    bodyFollows = BodyLength() != 0;
    return TRUE;
}

long HTTPPOSTREQUEST::BodyLength() {
    long n = 0;
    return RequestContentLength(*this, n) ? n : 0;
}

BBOOL HTTPCONNECTREQUEST::parseRequestLine() {
    char* p = SkipBlanks(msgCursor);
    char* hostAt = p;
    host = ScanUntil(p, " :\t\r\n");
    if (host.empty()) {
        msgCursor = hostAt;
        return FALSE;
    }
    p = SkipBlanks(p);
    if (*p != ':') {
        msgCursor = hostAt;
        return FALSE;
    }
    ++p;
    std::string number = ScanUntil(p, kUrlStops);
    if (number.empty() || number.size() > (size_t)kWordLimit) return FALSE;
    port = std::atol(number.c_str());
    msgCursor = p;
    BBOOL local = generatedLocally;
    generatedLocally = 0;  // a CONNECT line always carries its version
    char* versionAt = parseVersion();
    generatedLocally = local;
    simpleMessage = 0;
    if (!versionAt) return FALSE;
    p = versionAt;
    while (*p && *p != '\r' && *p != '\n') ++p;
    p = SkipBlanks(p);
    if (*p == '\n') ++p;
    msgCursor = p;
    return TRUE;
}

BBOOL HTTPCONNECTREQUEST::rebuildRequestLine(char* out, int size, BBOOL) {
    if (!out || size <= 0) return FALSE;
    char* at = out;
    char* end = out + size;
    *at = 0;
    char number[16];
    std::snprintf(number, sizeof number, ":%ld ", port);
    Put(at, end, "CONNECT ", 8);
    if (!Put(at, end, host) || !Put(at, end, number, std::strlen(number))) return FALSE;
    Put(at, end, version, std::strlen(version));
    if (end - at <= 2) return FALSE;
    return Put(at, end, "\r\n", 2);
}
