#include "HttpMsgBase.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "HttpText.h"
#include "QvWindows.h"
#include "TextHelpers.h"

namespace {
const int kNameScan = 1023;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

using httptext::Put;
}  // namespace

int HeaderValue(DATAVALUE& field, char* out, int size) {
    if (!out || size <= 0) return 0;
    out[0] = 0;
    int n = field.GetData(BUFFER(out, size), TRUE);
    if (n < 0) n = 0;
    if (n > size - 1) n = size - 1;
    out[n] = 0;
    return n;
}

HTTPMSGBASE::HTTPMSGBASE(char* text)
    : simpleMessage(0), msgCursor(text), bodyLength(0), bodyFollows(0), headersOnly(0), noBodyObject(0),
      headerSent(0), statusNumber(0), headers(TRUE) {
    version[0] = 0;
    status[0] = 0;
}

HTTPMSGBASE::~HTTPMSGBASE() { headers.RemoveAll(TRUE, nullptr); }

DATAVALUE* HTTPMSGBASE::AddHeader(const char* name, const char* value) {
    DATAVALUE* v = new DATAVALUE(name, value);
    v->prepare();  // the chain owns this first reference
    headers.Add(*v);
    return v;
}

BBOOL HTTPMSGBASE::parseHeaders(BBOOL strict) {
    char* p = msgCursor;
    if (!p) return TRUE;
    for (;;) {
        p = httptext::SkipBlanks(p);
        if (*p == '\n' || *p == 0) break;
        char* name = p;
        while (*p && *p != ':' && *p != '\r' && *p != '\n') ++p;
        int nameLength = (int)(p - name);
        if (nameLength == 0) {
            msgCursor = p;
            return FALSE;  // a line that starts with ':'
        }
        if (strict && *p == ':')
            for (char* q = name; q < p; ++q)
                if (IsBlank(*q)) {
                    msgCursor = p;
                    return FALSE;
                }
        char kept[64];
        int keep = nameLength < kNameScan ? nameLength : kNameScan;
        if (keep > (int)sizeof kept - 1) keep = (int)sizeof kept - 1;
        std::memcpy(kept, name, keep);
        kept[keep] = 0;
        DATAVALUE* field = AddHeader(kept, nullptr);

        p = httptext::SkipBlanks(p);
        if (*p != ':') {
            // A name without a value; the line must end here.
            if (*p == '\r') ++p;
            if (*p == '\n') ++p;
            else if (*p != 0) {
                msgCursor = p;
                return FALSE;
            }
            continue;
        }
        p = httptext::SkipBlanks(p + 1);
        char* start = p;
        if (*p == '\n' || *p == 0) {
            if (*p == '\n') ++p;
            continue;
        }
        for (;;) {
            char* s = p;
            while (*p && *p != '\r' && *p != '\n') ++p;
            if (p == s) break;
            if (*p == '\r') ++p;
            if (*p == '\n') ++p;
            if (IsBlank(*p)) continue;  // a folded line goes on with the value
            break;
        }
        char* end = p;
        if (end > start && end[-1] == '\n') --end;
        if (end > start && end[-1] == '\r') --end;
        if (end > start) field->SetData(BUFFER(start, (long)(end - start)));
    }
    msgCursor = p;
    return TRUE;
}

DATAVALUE* HTTPMSGBASE::FindHeader(const char* name) {
    if (!name) return nullptr;
    char key[64];
    _strzcpy(key, name, sizeof key);
    CITERATOR<DATAVALUE> it;
    DATAVALUE* found = nullptr;
    for (DATAVALUE* v = it.Begin(headers); v; v = it.Next())
        if (lstrcmpiA(v->valueName, key) == 0) {
            found = v;
            break;
        }
    it.End();
    return found;
}

BBOOL HTTPMSGBASE::GetHeaderData(char* out, int size, const char* name) {
    DATAVALUE* v = FindHeader(name);
    if (!v) return FALSE;
    HeaderValue(*v, out, size);
    return TRUE;
}

BBOOL HTTPMSGBASE::HasHeaderField(const char* name, const char* value) {
    DATAVALUE* v = FindHeader(name);
    if (!v) return FALSE;
    if (!value) return TRUE;
    char text[128];
    HeaderValue(*v, text, sizeof text);
    return lstrcmpiA(text, value) == 0;
}

void HTTPMSGBASE::AddDefaultHeaders(LOOKUPROW* table) {
    if (!table) return;
    for (LOOKUPROW* row = table; row->valid; ++row) {
        const char* name = reinterpret_cast<const char*>(row->value);
        if (name && !FindHeader(name)) AddHeader(name, row->name);
    }
}

int HTTPMSGBASE::CopyHeaders(HTTPMSGBASE& dest) {
    int n = 0;
    CITERATOR<DATAVALUE> it;
    for (DATAVALUE* v = it.Begin(headers); v; v = it.Next()) {
        DATAVALUE* copy = new DATAVALUE(*v);
        copy->FIELD::flags |= v->FIELD::flags & FIELD_OMIT;
        copy->prepare();
        dest.headers.Add(*copy);
        ++n;
    }
    it.End();
    return n;
}

BBOOL HTTPMSGBASE::rebuildHeaders(char* out, int size) {
    if (!out || size <= 0) return FALSE;
    char* at = out;
    char* end = out + size;
    *at = 0;
    char value[HTTP_HEADER_LIMIT];
    CITERATOR<DATAVALUE> it;
    for (DATAVALUE* v = it.Begin(headers); v; v = it.Next()) {
        if (v->FIELD::flags & FIELD_OMIT) continue;
        Put(at, end, v->valueName, std::strlen(v->valueName));
        int n = HeaderValue(*v, value, sizeof value);
        if (n > 0) {
            Put(at, end, ": ", 2);
            Put(at, end, value, n);
        }
        Put(at, end, "\r\n", 2);
    }
    it.End();
    Put(at, end, "\r\n", 2);
    return end - at >= 2;
}

long HTTPMSGBASE::BodyLength() { return bodyLength > 0 ? bodyLength : 0; }

long HTTPMSGBASE::StatusNumber() {
    if (statusNumber == 0) statusNumber = std::atol(status);
    return statusNumber;
}

void HTTPMSGBASE::DebugPrintHeaders() {
    CITERATOR<DATAVALUE> it;
    for (DATAVALUE* v = it.Begin(headers); v; v = it.Next()) {
        char value[1024];
        HeaderValue(*v, value, sizeof value);
        std::printf("FIELDNAME: %s", v->valueName);
        std::printf("FIELDVALUE: %s\n", value);
    }
    it.End();
}
