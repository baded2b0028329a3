// The page scan that collects a fetched page's links, and the requests that
// fetch them into the cache ahead of the users.
#include "LinkPrefetch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AppRequest.h"
#include "AppType.h"
#include "HtmlDoc.h"
#include "HttpCfg.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "LocalRequest.h"
#include "QvWindows.h"
#include "SpControl.h"
#include "TraceTable.h"

namespace {
enum LINKLIST { LIST_BASE = 0, LIST_EMBEDDED = 1, LIST_LINKS = 2 };
#define LINKTAG(tag, attribute, list, hyperlink) {tag, 0, 1, (intptr_t)(attribute), list, hyperlink}
}  // namespace

LOOKUPROW htmlLinkTags[] = {
    LINKTAG("IMG", "SRC", LIST_EMBEDDED, 0),
    LINKTAG("BODY", "BACKGROUND", LIST_EMBEDDED, 0),
    LINKTAG("FRAME", "SRC", LIST_LINKS, 0),
    LINKTAG("INPUT", "SRC", LIST_LINKS, 0),
    LINKTAG("A", "HREF", LIST_LINKS, 1),
    LINKTAG("AREA", "HREF", LIST_LINKS, 1),
    LINKTAG("BASE", "HREF", LIST_BASE, 0),
    {"", 0, 0, 0, 0, 0},
};

namespace {
const size_t BASE_MAX = 255;
const size_t CREDENTIALS_MAX = 127;
const size_t NAME_MAX = 18;  // tag and attribute names

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool StartsNoCase(const std::string& s, const char* word) {
    size_t n = std::strlen(word);
    return s.size() >= n && !_strnicmp(s.c_str(), word, n);
}

std::string Lower(std::string s) {
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

// host[:port] of a URL (scheme optional), lower case, the scheme's own port left out.
std::string HostOf(const std::string& url) {
    size_t start = url.find("://");
    bool ftp = start != std::string::npos && StartsNoCase(url, "ftp");
    start = start == std::string::npos ? 0 : start + 3;
    while (start < url.size() && url[start] == ' ') ++start;
    std::string host = Lower(url.substr(start, url.find('/', start) - start));
    const char* own = ftp ? ":21" : ":80";
    if (host.size() > 3 && host.compare(host.size() - 3, 3, own) == 0) host.resize(host.size() - 3);
    return host;
}

// Where the page's relative links lead, and whose credentials it carries.
struct LINKBASE {
    std::string base;         // the page's directory, ending in '/'
    size_t hostLength = 0;    // the part before the directory
    bool root = false;        // the directory is "/"
    std::string pageHost;     // HostOf the page: credentials go only there
    std::string credentials;  // "\r\nAuthorization: ...\r\n" or empty

    void Settle() {
        size_t slash = base.rfind('/');
        if (slash != std::string::npos && slash + 1 < base.size() && slash >= hostLength) base.resize(slash + 1);
        root = base.size() == hostLength + 1;
    }
    std::string HostPart() const { return base.substr(0, hostLength); }
};

// A page on another port, or an FTP page, keeps scheme and port in its base,
// so that its links are fetched from where the page came.
void SetUp(LINKBASE& b, HTTPREQUEST* request) {
    if (!request) return;
    long defaultPort = request->ftpScheme ? 21 : 80;
    bool keepScheme = request->ftpScheme || (request->port && request->port != defaultPort);
    std::string host = keepScheme ? std::string(request->ftpScheme ? "ftp://" : "http://") + request->host
                                  : request->host;
    if (keepScheme && request->port) host += ":" + std::to_string(request->port);
    std::string path = request->path.empty() || request->path[0] != '/' ? "/" + request->path : request->path;
    b.base = (host + path).substr(0, BASE_MAX);
    b.hostLength = host.size() < BASE_MAX ? host.size() : BASE_MAX;
    b.pageHost = HostOf(host);
    b.Settle();
    char value[CREDENTIALS_MAX + 1];
    if (request->FindHeader("Authorization") && request->GetHeaderData(value, sizeof value, "Authorization"))
        b.credentials = ("\r\nAuthorization: " + std::string(value) + "\r\n").substr(0, CREDENTIALS_MAX);
}

// BASE HREF: an absolute URL becomes the base, its host part the text before
// the first '/' after the scheme.
void SetBase(LINKBASE& b, const std::string& value) {
    if (value.size() > BASE_MAX) return;  // would not fit: the page's own base stays
    size_t scheme = value.find("://");
    size_t slash = value.find('/', scheme + 3);
    b.base = slash == std::string::npos ? value + "/" : value;
    b.hostLength = slash == std::string::npos ? value.size() : slash;
    b.Settle();
}

// A hyperlink stays on the site when its host equals the page's, or both
// share the domain after their first label (the page's host having two dots).
bool SameSite(const LINKBASE& b, const std::string& value) {
    size_t start = value.find("://") + 3;
    while (start < value.size() && value[start] == ' ') ++start;
    std::string link = value.substr(start, value.find('/', start) - start);
    std::string page = b.HostPart();
    size_t scheme = page.find("://");
    if (scheme != std::string::npos) page.erase(0, scheme + 3);
    if (std::count(page.begin(), page.end(), '.') >= 2 && link.find('.') != std::string::npos) {
        page.erase(0, page.find('.') + 1);
        link.erase(0, link.find('.') + 1);
    }
    return Lower(page) == Lower(link);
}

// The attribute's value inside the tag [from, end), or false.
bool FindAttribute(const char* text, size_t from, size_t end, const char* attribute, size_t& valueAt) {
    size_t p = from;
    while (p < end) {
        while (p < end && IsSpace(text[p])) ++p;
        size_t word = p;
        if (text[p] == '"' || text[p] == '\'') {
            const char* close = std::strchr(text + p + 1, text[p]);
            p = close ? (size_t)(close - text) + 1 : std::strlen(text);
        } else {
            while (text[p] && !IsSpace(text[p]) && text[p] != '=') ++p;
        }
        if (p == word) return false;
        size_t wordLength = p - word;
        while (text[p] == ' ' || text[p] == '=') ++p;
        if (wordLength <= NAME_MAX && wordLength == std::strlen(attribute) &&
            !_strnicmp(text + word, attribute, wordLength)) {
            valueAt = p;
            return true;
        }
    }
    return false;
}

// The URL text at p: quotes and blanks before it skipped, ended by a quote,
// blank, '#' or '>'. A value in single quotes is taken without them.
std::string ReadValue(const char* text, size_t p) {
    while (text[p] == '"' || IsSpace(text[p])) ++p;
    size_t end = p;
    if (text[p] == '\'') {
        const char* close = std::strchr(text + p + 1, '\'');
        ++p;
        end = close ? (size_t)(close - text) : std::strlen(text);
        const char* hash = (const char*)std::memchr(text + p, '#', end - p);
        if (hash) end = (size_t)(hash - text);
    } else {
        while (text[end] && text[end] != '"' && !IsSpace(text[end]) && text[end] != '#' && text[end] != '>') ++end;
    }
    return std::string(text + p, end - p).substr(0, PREFETCH_URL_MAX);
}

// The URL to fetch for a value, with the page's credentials when it goes to
// the page's own host and port; empty when the link is not followed.
std::string UrlFor(LINKBASE& b, const LOOKUPROW& row, std::string value) {
    bool hyperlink = row.value3 != 0;
    bool absolute = StartsNoCase(value, "http://") || StartsNoCase(value, "ftp://");
    if (row.value2 == LIST_BASE) {
        if (absolute) SetBase(b, value);
        return std::string();
    }
    std::string url;
    if (value[0] == '/') {
        url = b.HostPart() + value;
    } else if (StartsNoCase(value, "mailto:")) {
        return std::string();
    } else if (absolute) {
        if (!hyperlink) return value;
        if (!SameSite(b, value)) return std::string();
        url = value;
    } else {
        if (b.base.size() + value.size() > (size_t)PREFETCH_URL_MAX) return std::string();
        if (value.compare(0, 2, "./") == 0)
            value.erase(0, 2);
        else if (b.root && value.compare(0, 3, "../") == 0)
            value.erase(0, 3);
        url = b.base + value;
    }
    if (url.size() > (size_t)PREFETCH_URL_MAX) return std::string();
    if (!b.credentials.empty() && HostOf(url) == b.pageHost) url = (url + b.credentials).substr(0, PREFETCH_URL_MAX);
    return url;
}

void AddEntry(CHAIN<DATAVALUE>& list, const char* tag, const std::string& url) {
    DATAVALUE* v = new DATAVALUE();
    v->SetName(tag);
    v->SetData(BUFFER(const_cast<char*>(url.data()), (long)url.size()));
    v->prepare();  // the list owns this reference
    list.Add(*v);
}

std::string ValueText(DATAVALUE& v) {
    char text[PREFETCH_URL_MAX + 1] = "";
    v.GetData(BUFFER(text, sizeof text), TRUE);
    return text;
}

BBOOL GenerateLocal(const char* text, long level, unsigned long rootId, long redirections) {
    LOCALREQUEST* r = LOCALREQUEST::Generate(_pHTTPAppType, text, level, rootId, nullptr, nullptr, FALSE);
    if (!r) return FALSE;
    r->redirections = redirections;
    if (r->StartUp()) return TRUE;
    r->freeobj();
    return FALSE;
}
}  // namespace

PREFETCHGENERATE _pPrefetchGenerate = GenerateLocal;

long HTMLDOC::parseLinks(const BUFFER& page, HTTPREQUEST* request, BBOOL embeddedOnly) {
    if (!page.data) return 0;
    const char* text = page.data;
    LINKBASE b;
    SetUp(b, request);
    long found = 0;
    for (const char* lt = std::strchr(text, '<'); lt; lt = std::strchr(lt + 1, '<')) {
        const char* gt = std::strchr(lt, '>');
        if (!gt) break;
        size_t nameAt = (size_t)(lt - text) + 1;
        size_t nameEnd = nameAt;
        while (text[nameEnd] && !IsSpace(text[nameEnd])) ++nameEnd;
        if (!text[nameEnd]) break;
        if (nameEnd - nameAt > NAME_MAX) continue;
        std::string name(text + nameAt, nameEnd - nameAt);
        LOOKUPROW* row = _LookUp(htmlLinkTags, name.c_str(), 0, 1);
        if (!row->valid || (row->value3 && embeddedOnly)) continue;
        size_t valueAt = 0;
        if (!FindAttribute(text, nameEnd, (size_t)(gt - text), reinterpret_cast<const char*>(row->value), valueAt))
            continue;
        std::string value = ReadValue(text, valueAt);
        if (value.empty()) continue;
        std::string url = UrlFor(b, *row, value);
        if (url.empty()) continue;
        AddEntry(row->value2 == LIST_EMBEDDED ? embedded : linksFound, row->name, url);
        ++found;
    }
    return found;
}

long HTMLDOC::queueLinks(unsigned long rootId, long level, BBOOL) {
    long made = 0;
    CHAIN<DATAVALUE>* lists[] = {&embedded, &linksFound};
    for (CHAIN<DATAVALUE>* list : lists) {
        CITERATOR<DATAVALUE> it;
        for (DATAVALUE* v = it.Begin(*list); v; v = it.Next()) {
            long entryLevel = level < 0 && list == &linksFound && !std::strcmp(v->valueName, "FRAME") ? level + 1 : level;
            if (_pPrefetchGenerate && _pPrefetchGenerate(ValueText(*v).c_str(), entryLevel, rootId, 0)) ++made;
        }
        it.End();
    }
    return made;
}

BBOOL PrefetchWanted(APPREQUEST* process, HTTPREQUEST* request, PREFETCHORIGIN& origin) {
    if (!process || !request) return FALSE;
    origin.rootId = request->requestId;
    origin.redirections = 0;
    if (process->ItemClassID() == QvTag("LOCA")) {
        LOCALREQUEST* owner = static_cast<LOCALAPPREQUEST*>(process)->owner;
        if (!owner) return FALSE;
        origin.level = owner->linkLevel;
        if (owner->requestId) origin.rootId = owner->requestId;  // the root's number
        origin.redirections = owner->redirections;
        return TRUE;
    }
    HTTPCFG* config = _pHTTPAppType ? dynamic_cast<HTTPCFG*>(_pHTTPAppType->config) : nullptr;
    if (!config || !config->retrieveHTMLLinks) return FALSE;
    origin.level = config->htmlLinkLevel;
    return TRUE;
}

BBOOL PrefetchScansBody(HTTPRESPONSE* response, const PREFETCHORIGIN& origin) {
    return response && origin.level >= 0 && response->WasSuccessful() && response->HasHTMLBody();
}

namespace {
// A 301 or 302 is followed at the same level, at most a few times in a row.
long FollowRedirection(HTTPRESPONSE* response, long level, unsigned long rootId, long redirections) {
    char location[256] = "";
    if (!response->GetHeaderData(location, sizeof location, "Location") || !location[0]) return 0;
    if (redirections >= PREFETCH_REDIRECTIONS_MAX) return 0;
    return _pPrefetchGenerate && _pPrefetchGenerate(location, level, rootId, redirections + 1) ? 1 : -1;
}
}  // namespace

long HTMLDOC::GenerateLinks(const PREFETCHORIGIN& origin, HTTPREQUEST* request, HTTPRESPONSE* response,
                            const char* page, long length) {
    if (!request || !response) return 0;
    long status = std::atol(response->status);
    if (status == 301 || status == 302)
        return FollowRedirection(response, origin.level, origin.rootId, origin.redirections);
    if (!PrefetchScansBody(response, origin) || !page || length <= 0) return 0;
    BBOOL embeddedOnly = origin.level <= 0;
    // The scan reads up to a terminator.
    std::string copy(page, (size_t)length);
    HTTPOBJECT* scratch = new HTTPOBJECT(nullptr, nullptr, TRUE, FALSE, 0);
    scratch->prepare();
    HTMLDOC* doc = Generate(*scratch, nullptr, nullptr, nullptr, nullptr);
    long found = doc ? doc->parseLinks(BUFFER(&copy[0], (long)copy.size()), request, embeddedOnly) : 0;
    long queued = found ? doc->queueLinks(origin.rootId, origin.level - 1, embeddedOnly) : 0;
    scratch->freeobj();
    if (!doc) return -1;
    QV_TRACE(TRACE_APP, TRACE_APP_EVENT, "cpiiiio", "Generate Links", request, (int)origin.rootId, (int)found,
             (int)queued, (int)(origin.level - 1), (int)embeddedOnly);
    return found == queued ? found : -1;
}

long HTMLDOC::GenerateLinks(APPREQUEST* process) {
    HTTPREQUEST* request = process ? dynamic_cast<HTTPREQUEST*>(process->request) : nullptr;
    HTTPRESPONSE* response = request ? dynamic_cast<HTTPRESPONSE*>(request->result) : nullptr;
    PREFETCHORIGIN origin;
    if (!response || !PrefetchWanted(process, request, origin)) return 0;
    HTTPOBJECT* object = dynamic_cast<HTTPOBJECT*>(response->object);
    BUFFER data = object && object->dataField ? object->dataField->DataView() : BUFFER();
    long n = data.data ? object->DataLength() : 0;
    return GenerateLinks(origin, request, response, data.data, n);
}
