#include "HttpForwarding.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "QvWindows.h"
#include "TextHelpers.h"

namespace {
struct PROXYKEYS {
    const char* address;
    long port;
    BBOOL remote;
    const char* resolved;
};

PROXYKEYS ProxyFor(HTTPREQUEST& r, const HTTPCFG& cfg, const PROXYADDRESSES& resolved) {
    if (r.ftpScheme) return {cfg.proxyFTPAddress, cfg.proxyFTPPort, cfg.proxyFTPRemote, resolved.ftp};
    if (r.ItemClassID() == QvTag("HCON"))
        return {cfg.proxySSLAddress, cfg.proxySSLPort, cfg.proxySSLRemote, resolved.ssl};
    return {cfg.proxyHTTPAddress, cfg.proxyHTTPPort, cfg.proxyHTTPRemote, resolved.http};
}

std::string Decimal(long n) {
    char text[16];
    std::snprintf(text, sizeof text, "%ld", n);
    return text;
}

// "HTTP/x.y" above 1.0.
bool AboveOneZero(const char* version) {
    if (std::strncmp(version, "HTTP/", 5) != 0) return false;
    char* end = nullptr;
    long major = std::strtol(version + 5, &end, 10);
    long minor = end && *end == '.' ? std::strtol(end + 1, nullptr, 10) : 0;
    return major > 1 || (major == 1 && minor > 0);
}

void Omit(DATAVALUE* field) {
    if (field) field->FIELD::flags |= FIELD_OMIT;
}

// Every field of that name, not only the first.
void OmitAll(HTTPREQUEST& r, const char* name) {
    CITERATOR<DATAVALUE> it;
    for (DATAVALUE* v = it.Begin(r.headers); v; v = it.Next())
        if (!lstrcmpiA(v->valueName, name)) Omit(v);
    it.End();
}
}  // namespace

HTTPDESTINATION ChooseDestination(HTTPREQUEST& r, const HTTPCFG& cfg, const PROXYADDRESSES& resolved) {
    HTTPDESTINATION d;
    d.host = r.host;
    bool connect = r.ItemClassID() == QvTag("HCON");
    if (r.port || connect) d.port = Decimal(r.port);
    else d.port = cfg.outboundPort[0] ? cfg.outboundPort : "80";
    if (cfg.proxies) {
        PROXYKEYS p = ProxyFor(r, cfg, resolved);
        if (p.address && *p.address && p.port != 0) {
            r.viaUpstreamProxy = 1;
            r.noInterface = p.remote ? 0 : 1;
            d.viaProxy = 1;
            d.noInterface = r.noInterface;
            d.host = p.address;
            d.port = Decimal(p.port);
            if (p.resolved && *p.resolved) d.address = p.resolved;
        }
    }
    d.ftpDirect = r.ftpScheme && !d.viaProxy;
    return d;
}

void PrepareForForwarding(HTTPREQUEST& r, const GATEWAYNAMES& names) {
    // Fields the Connection field names are for this hop only.
    if (DATAVALUE* connection = r.FindHeader("Connection")) {
        char text[512];
        HeaderValue(*connection, text, sizeof text);
        std::string list = text;
        size_t at = 0;
        while ((at = list.find_first_not_of(" ,\t", at)) != std::string::npos) {
            size_t end = list.find_first_of(" ,\t", at);
            OmitAll(r, list.substr(at, end - at).c_str());
            at = end;
        }
    }
    for (const char* name : {"Connection", "Keep-Alive", "Proxy-Connection"}) OmitAll(r, name);
    if (!r.viaUpstreamProxy) OmitAll(r, "Proxy-Authorization");
    if (DATAVALUE* referer = r.FindHeader("Referer")) {
        char text[256];
        HeaderValue(*referer, text, sizeof text);
        CharLowerA(text);
        // The administration page's address carries its password.
        bool admin = std::strstr(text, "gateway-administration") != nullptr;
        if (admin && (std::strstr(text, "pswd=") || r.WasReferredLocally(names, FALSE))) Omit(referer);
    }
    if (AboveOneZero(r.version)) _strzcpy(r.version, "HTTP/1.0", sizeof r.version);
}

long HttpDefaultPort(const char* text, SERVICEPORTPROC lookup) {
    const long standard = 80;
    if (!text) return standard;
    while (*text == ' ' || *text == '\t') ++text;
    if (!*text) return standard;
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (end != text) return *end == 0 && n > 0 && n < 65536 ? n : standard;
    long byName = lookup ? lookup(text) : 0;
    return byName > 0 && byName < 65536 ? byName : standard;
}

const char* ConnectionFailureKey(int event, BBOOL noLineMark, BBOOL hasLink, long lastError, BBOOL refused) {
    if (event != CONNSTATE_CONNECT_FAILED && event != CONNSTATE_CLOSED) return "";
    if (event == CONNSTATE_CONNECT_FAILED && noLineMark) return "420";
    if (event == CONNSTATE_CLOSED && !hasLink) return "417";
    if (hasLink && lastError == SOCKET_NO_SUCH_HOST) return "419";
    if (refused || (hasLink && lastError == SOCKET_REFUSED)) return "421";
    return event == CONNSTATE_CONNECT_FAILED ? "416" : "417";
}
