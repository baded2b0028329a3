#include "HtmlDoc.h"

#include <cstring>

#include "HttpRequest.h"
#include "TextHelpers.h"

HTTPDOC* MakeHttpDocument(HTTPOBJECT* object, unsigned long classTag) {
    if (classTag != QvTag("HTMD") || !object) return nullptr;
    HTMLDOC* doc = new HTMLDOC(object);
    doc->prepare();
    return doc;
}

namespace {
// Objects read back from the disk cache find their documents through this.
struct RegisterDocMaker {
    RegisterDocMaker() { _pHTTPDocMaker = MakeHttpDocument; }
} registerDocMaker;
}  // namespace

HTMLDOC* HTMLDOC::Abandon(HTTPOBJECT& object, HTMLDOC* doc) {
    if (object.document == doc) object.DetachDocument();
    doc->object = nullptr;
    doc->freeobj();
    return nullptr;
}

HTMLDOC::HTMLDOC(HTTPOBJECT* o) : HTTPDOC(o), size(0), counting(0), output(), embedded(TRUE), linksFound(TRUE) {}

HTMLDOC::~HTMLDOC() {
    embedded.RemoveAll(TRUE, nullptr);
    linksFound.RemoveAll(TRUE, nullptr);
}

BBOOL HTMLDOC::Append(const char* text) { return Append(text, text ? (long)std::strlen(text) : 0); }

BBOOL HTMLDOC::Append(const char* text, long n) {
    if (!text || n <= 0) return TRUE;
    if (counting) {
        size += n;
        return TRUE;
    }
    if (!output.data || output.length <= 0) return TRUE;
    if (output.length <= n) n = output.length - 1;
    std::memcpy(output.data, text, n);
    output.data += n;
    output.length -= n;
    *output.data = 0;
    return TRUE;
}

std::string HtmlText(const char* text) {
    std::string out;
    for (const char* p = text; p && *p; ++p) {
        switch (*p) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += *p;
        }
    }
    return out;
}

BBOOL HTMLDOC::AppendEscaped(const char* text) {
    if (!text) return TRUE;
    std::string escaped = HtmlText(text);
    return Append(escaped.data(), (long)escaped.size());
}

BBOOL HTMLDOC::doc_createBuff() {
    if (output.data || size < 1 || !object) return FALSE;
    ++size;
    long got = object->SetData(BUFFER(nullptr, size));
    BUFFER area = object->dataField ? object->dataField->DataView() : BUFFER();
    if (got != size || !area.data || area.length != size) {
        object->SetData(BUFFER(nullptr, 0));
        return FALSE;
    }
    output = BUFFER(area.data, size);
    std::memset(output.data, 0, size);
    object->AddHeader("Content-Type", "text/html");
    return TRUE;
}

BBOOL HTMLDOC::buildDocHeaders(const char* title, const char* heading, const char* first, const char* second) {
    Append("<HTML>");
    Append("<HEAD>");
    Append("<TITLE>");
    Append(title);
    Append("</TITLE>");
    Append("</HEAD>");
    Append("\r\n");
    Append("<BODY>");
    if (heading) {
        Append("<H1>");
        Append(heading);
        Append("</H1>");
    }
    Append(first);
    Append(second);
    return TRUE;
}

BBOOL HTMLDOC::buildDocEnd() {
    Append("</BODY>");
    Append("</HTML>");
    return TRUE;
}

BBOOL HTMLDOC::buildDocument(const char* title, const char* heading, const char* first, const char* second) {
    return TwoPasses([&] { return buildDocHeaders(title, heading, first, second) && buildDocEnd(); });
}

HTMLDOC* HTMLDOC::Generate(HTTPOBJECT& object, const char* title, const char* heading, const char* first,
                           const char* second) {
    HTMLDOC* doc = nullptr;
    if (object.document) {
        if (object.document->ItemClassID() == QvTag("HTMD")) {
            doc = static_cast<HTMLDOC*>(object.document);
            doc->embedded.RemoveAll(TRUE, nullptr);
            doc->linksFound.RemoveAll(TRUE, nullptr);
        } else {
            object.SetDocument(nullptr);
        }
    }
    if (!doc) {
        doc = new HTMLDOC(&object);
        doc->prepare();
    }
    if (title && !doc->buildDocument(title, heading, first, second)) return Abandon(object, doc);
    return doc;
}

void HTMLDOC::PadTerminator(HTTPOBJECT& object) {
    BUFFER area = object.dataField ? object.dataField->DataView() : BUFFER();
    long n = object.DataLength();
    if (area.data && n > 0 && area.length >= n && area.data[n - 1] == 0) area.data[n - 1] = ' ';
}

HTMLDOC* HTMLDOC::GenerateFTPls(HTTPOBJECT& object, HTTPREQUEST* request) {
    BUFFER data = object.dataField ? object.dataField->DataView() : BUFFER();
    long n = data.data ? data.length : 0;
    char* listing = new char[n + 1];
    if (n) std::memcpy(listing, data.data, n);
    listing[n] = 0;
    char hostText[256] = "";
    char pathText[256] = "";
    const char* base = nullptr;
    if (request) {
        _strzcpy(hostText, request->host.c_str(), sizeof hostText);
        _strzcpy(pathText, request->path.c_str(), sizeof pathText);
        size_t len = std::strlen(pathText);
        if ((len == 0 || pathText[len - 1] != '/') && len + 1 < sizeof pathText) std::strcat(pathText, "/");
        base = "http://Quorvane/";
    }
    HTMLDOC* doc = new HTMLDOC(&object);
    doc->prepare();
    BBOOL ok = doc->buildFTPdocument(BUFFER(listing, n), pathText, hostText, base);
    delete[] listing;
    return ok ? doc : Abandon(object, doc);
}
