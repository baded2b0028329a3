#include "HttpResponse.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "HttpObject.h"
#include "HttpRequest.h"
#include "HttpText.h"
#include "QvWindows.h"
#include "TextHelpers.h"

namespace {
const int kWordLimit = 63;

using httptext::SkipBlanks;

// A word up to a blank, CR or LF, at most 63 characters kept.
std::string Word(char*& p, const char* stops) {
    char* start = p;
    while (*p && !std::strchr(stops, *p)) ++p;
    size_t n = (size_t)(p - start);
    return std::string(start, n < (size_t)kWordLimit ? n : (size_t)kWordLimit);
}

using httptext::Put;

char* Emptied(BUFFER& out) {
    if (out.data && out.length > 0) out.data[0] = 0;
    out.length = 0;
    return out.data;
}

// A response Content-Length: digits only (trailing blanks allowed), within a
// long, and the same in every field; otherwise the length is unknown.
long ResponseContentLength(HTTPMSGBASE& m) {
    long length = -1;
    CITERATOR<DATAVALUE> it;
    bool bad = false;
    for (DATAVALUE* v = it.Begin(m.headers); v && !bad; v = it.Next()) {
        if (lstrcmpiA(v->valueName, "Content-Length") != 0) continue;
        char text[65];
        HeaderValue(*v, text, sizeof text);
        const char* p = text;
        long n = 0;
        bad = !(*p >= '0' && *p <= '9');
        for (; !bad && *p >= '0' && *p <= '9'; ++p) {
            if (n > (LONG_MAX - (*p - '0')) / 10) bad = true;
            else n = n * 10 + (*p - '0');
        }
        while (*p == ' ' || *p == '\t') ++p;
        if (*p || (length >= 0 && n != length)) bad = true;
        length = n;
    }
    it.End();
    return bad || length < 0 ? 0 : length;
}

HTTPOBJECT* FreeStandingObject() {
    HTTPOBJECT* o = new HTTPOBJECT(nullptr, nullptr, TRUE, FALSE, 0);
    o->prepare();
    return o;
}
}  // namespace

int CopyHeadersToObject(HTTPMSGBASE& from, HTTPOBJECT& object) {
    int n = 0;
    char value[HTTP_HEADER_LIMIT];
    CITERATOR<DATAVALUE> it;
    for (DATAVALUE* v = it.Begin(from.headers); v; v = it.Next()) {
        HeaderValue(*v, value, sizeof value);
        object.AddHeader(v->valueName, value);
        ++n;
    }
    it.End();
    return n;
}

HTTPRESPONSE::HTTPRESPONSE(HTTPREQUEST* req, char* text, BBOOL isReceiving)
    : DATARESULT(req, nullptr, FALSE), HTTPMSGBASE(text), generatedLocally(0), receiving(isReceiving), reason{} {}

// The body of the copy: a block is copied into an object of its own; a buffer
// chain of a cacheable object is shared; anything else leaves the copy bodiless.
HTTPRESPONSE::HTTPRESPONSE(HTTPREQUEST* req, HTTPRESPONSE& other)
    : DATARESULT(req, nullptr, FALSE), HTTPMSGBASE(nullptr), generatedLocally(other.generatedLocally),
      receiving(0), reason{} {
    simpleMessage = other.simpleMessage;
    bodyFollows = other.bodyFollows;
    statusNumber = other.statusNumber;
    std::memcpy(version, other.version, sizeof version);
    std::memcpy(status, other.status, sizeof status);
    std::memcpy(reason, other.reason, sizeof reason);
    other.CopyHeaders(*this);
    DATAOBJECT* body = other.object;
    if (!body) return;
    if (!body->bufferChain) {
        HTTPOBJECT* copy = FreeStandingObject();
        const char* block = body->dataBlock ? body->dataBlock->data : nullptr;
        copy->SetBlockData(block, block ? body->DataLength() : 0);
        copy->defined = 1;
        object = copy;
    } else if (body->valid) {
        body->prepare();
        object = body;
    }
}

HTTPRESPONSE::~HTTPRESPONSE() {}

HTTPREQUEST* HTTPRESPONSE::Request() { return dynamic_cast<HTTPREQUEST*>(request); }

int HTTPRESPONSE::SetStatus(const char* text) {
    _strzcpy(status, text ? text : "", sizeof status);
    statusNumber = 0;
    return (int)std::strlen(status);
}

char* HTTPRESPONSE::GetMsgText(BUFFER& out) {
    if (!out.data || out.length <= 0) return out.data;
    _strzcpy(out.data, reason, (int)out.length);
    out.length = (long)std::strlen(out.data);
    return out.data;
}

void HTTPRESPONSE::SetMsgText(const char* text) {
    _strzcpy(reason, text ? text : "", sizeof reason);
    DATARESULT::SetMsgText(text);
}

BBOOL HTTPRESPONSE::parseResponseLine() {
    char* start = msgCursor;
    char* p = SkipBlanks(start);
    std::string first = Word(p, " \r\n");
    bool ok = first.compare(0, 5, "HTTP/") == 0;
    if (ok) _strzcpy(version, first.c_str(), sizeof version);
    p = SkipBlanks(p);
    std::string code = Word(p, " \r\n");
    if (ok && std::atol(code.c_str()) != 0) {
        _strzcpy(status, code.c_str(), sizeof status);
        statusNumber = 0;
    } else {
        ok = false;
    }
    if (!ok) {
        msgCursor = start;  // the whole text is an HTTP/0.9 body
        simpleMessage = 1;
        return TRUE;
    }
    p = SkipBlanks(p);
    std::string phrase = Word(p, "\r\n");
    if (!phrase.empty()) SetMsgText(phrase.c_str());
    while (*p && *p != '\r' && *p != '\n') ++p;
    if (*p == '\r') ++p;
    if (*p == '\n') ++p;
    msgCursor = p;
    return TRUE;
}

BBOOL HTTPRESPONSE::ParseCommand() {
    if (!msgCursor) return FALSE;
    parseResponseLine();
    if (simpleMessage) return TRUE;
    if (!parseHeaders()) return FALSE;
    bodyFollows = shouldContainBody();
    return TRUE;
}

BBOOL HTTPRESPONSE::rebuildResponseLine(char* out, int size) {
    if (!out || size <= 0) return FALSE;
    char* at = out;
    char* end = out + size;
    *at = 0;
    Put(at, end, version, std::strlen(version));
    Put(at, end, " ", 1);
    Put(at, end, status, std::strlen(status));
    Put(at, end, " ", 1);
    if (!Put(at, end, reason, std::strlen(reason))) return FALSE;
    if (end - at <= 2) return FALSE;
    return Put(at, end, "\r\n", 2);
}

char* HTTPRESPONSE::RebuildResponse(BUFFER& out) {
    if (!out.data || out.length <= 0) return Emptied(out);
    rebuildResponseLine(out.data, (int)out.length);
    size_t used = std::strlen(out.data);
    if (!rebuildHeaders(out.data + used, (int)(out.length - used))) return Emptied(out);
    out.length = (long)std::strlen(out.data);
    return out.data;
}

char* HTTPRESPONSE::GetStatusLine(BUFFER& out) {
    if (!out.data || out.length <= 0) return Emptied(out);
    if (!rebuildResponseLine(out.data, (int)out.length)) return Emptied(out);
    out.length = (long)std::strlen(out.data);
    return out.data;
}

BBOOL HTTPRESPONSE::shouldContainBody() {
    HTTPREQUEST* r = Request();
    if (!r) return FALSE;
    unsigned long method = r->ItemClassID();
    if (method == QvTag("HHED") || method == QvTag("HCON")) return FALSE;
    if (status[0] == '1') return FALSE;
    long n = StatusNumber();
    return n != 204 && n != 304;
}

BBOOL HTTPRESPONSE::HasChunkedBodies() {
    char text[9];
    return GetHeaderData(text, sizeof text, "Transfer-Encoding") && std::strncmp(text, "chunked", 8) == 0;
}

long HTTPRESPONSE::BodyLength() {
    if (bodyLength) return bodyLength;
    if (HasChunkedBodies()) return 0;
    bodyLength = ResponseContentLength(*this);
    return bodyLength;
}

BBOOL HTTPRESPONSE::HasTextBody() {
    char text[256];
    return GetHeaderData(text, sizeof text, "Content-Type") && std::strstr(text, "text");
}

BBOOL HTTPRESPONSE::HasHTMLBody() {
    char text[256];
    return GetHeaderData(text, sizeof text, "Content-Type") && std::strstr(text, "text") && std::strstr(text, "html");
}

BBOOL HTTPRESPONSE::IsCacheable() {
    long n = StatusNumber();
    if (n == 204 || n == 206) return FALSE;
    if (HasHeaderField("Pragma", "no-cache")) return FALSE;
    if (FindHeader("Set-Cookie")) return FALSE;
    if (WasSuccessful() && bodyFollows) return TRUE;
    return n == 301 || n == 302;
}

BBOOL HTTPRESPONSE::SetObjectData(IOBUFFER* first, DATACONNECTION* conn, int length) {
    if (object) {
        if (!objectShared) object->FreeObject();
        object = nullptr;
        objectShared = 0;
    }
    HTTPREQUEST* r = Request();
    if (r && r->pendingObject) {
        HTTPOBJECT* taken = r->pendingObject;
        r->pendingObject = nullptr;  // its reference is now this response's
        object = taken;
        if (IsCacheable()) {
            CopyHeadersToObject(*this, *taken);
            taken->statusCode = StatusNumber();
            taken->headersPresent = 1;
        } else {
            taken->valid = 0;
        }
    }
    if (!first && length <= 0) return TRUE;
    if (!object) object = FreeStandingObject();
    return DATARESULT::SetObjectData(first, conn, length);
}

BBOOL HTTPRESPONSE::SetSimpleEntityBody(const char* bytes, long length) {
    if (!object) object = FreeStandingObject();
    HTTPOBJECT* body = dynamic_cast<HTTPOBJECT*>(object);
    return body && body->SetBlockData(bytes, bytes ? length : 0);
}

void HTTPRESPONSE::DebugPrint() {
    std::printf("STATUSCODE: %s\n", status);
    std::printf("REASONPHRASE: %s\n", reason);
    std::printf("VERSION: %s\n", version);
    DebugPrintHeaders();
}
