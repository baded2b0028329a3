#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "HttpTestKit.h"
#include "HttpForwarding.h"

namespace {

using httptest::Req;

HTTPCFG Proxies() {
    HTTPCFG cfg;
    cfg.proxies = 1;
    std::strcpy(cfg.proxyHTTPAddress, "up.lan");
    cfg.proxyHTTPPort = 3128;
    std::strcpy(cfg.proxySSLAddress, "ssl.lan");
    cfg.proxySSLPort = 3129;
    cfg.proxySSLRemote = 1;
    std::strcpy(cfg.proxyFTPAddress, "ftp.lan");
    cfg.proxyFTPPort = 0;  // not configured: ftp goes direct
    std::strcpy(cfg.outboundPort, "8000");
    return cfg;
}

const PROXYADDRESSES kResolved = {"10.0.0.3", "", ""};

}  // namespace

TEST(Forwarding, DestinationsByScheme) {
    HTTPCFG direct = Proxies();
    direct.proxies = 0;
    const struct {
        const char* line;
        const HTTPCFG* cfg;
        const char* host;
        const char* port;
        bool viaProxy;
        bool noInterface;
        const char* address;
        bool ftpDirect;
    } cases[] = {
        {"GET http://webhost/a HTTP/1.0", &direct, "webhost", "8000", false, false, "", false},
        {"GET http://webhost:81/a HTTP/1.0", &direct, "webhost", "81", false, false, "", false},
        {"CONNECT secure:443 HTTP/1.0", &direct, "secure", "443", false, false, "", false},
        {"GET http://webhost/a HTTP/1.0", nullptr, "up.lan", "3128", true, true, "10.0.0.3", false},
        {"POST http://webhost/a HTTP/1.0", nullptr, "up.lan", "3128", true, true, "10.0.0.3", false},
        {"CONNECT secure:443 HTTP/1.0", nullptr, "ssl.lan", "3129", true, false, "", false},
        {"GET ftp://files/pub/ HTTP/1.0", nullptr, "files", "8000", false, false, "", true},
    };
    HTTPCFG proxies = Proxies();
    for (const auto& c : cases) {
        Req q(std::string(c.line) + "\r\n\r\n");
        HTTPDESTINATION d = ChooseDestination(*q.r, c.cfg ? *c.cfg : proxies, kResolved);
        EXPECT_EQ(c.host, d.host) << c.line;
        EXPECT_EQ(c.port, d.port) << c.line;
        EXPECT_EQ(c.viaProxy, d.viaProxy != 0) << c.line;
        EXPECT_EQ(c.viaProxy, q.r->viaUpstreamProxy != 0) << c.line;
        EXPECT_EQ(c.noInterface, q.r->noInterface != 0) << c.line;
        EXPECT_EQ(c.address, d.address) << c.line;
        EXPECT_EQ(c.ftpDirect, d.ftpDirect != 0) << c.line;
    }
    HTTPCFG noPort = Proxies();
    noPort.outboundPort[0] = 0;
    Req q("GET http://webhost/a HTTP/1.0\r\n\r\n");
    noPort.proxyHTTPPort = 0;
    EXPECT_EQ("80", ChooseDestination(*q.r, noPort, kResolved).port) << "a proxy without port is not used";
}

TEST(Forwarding, OnlyEndToEndFieldsTravel) {
    GATEWAYNAMES names = {};
    names.localUserName = "office-pc";
    Req q("GET http://webhost/a HTTP/1.1\r\nHost: webhost\r\nConnection: keep-alive, X-Hop\r\nX-Hop: 1\r\n"
          "Keep-Alive: 300\r\nProxy-Connection: keep-alive\r\nProxy-Authorization: Basic eA==\r\n"
          "Referer: http://Quorvane/Gateway-Administration?pswd=secret&Gateway-Cache\r\nAccept: */*\r\n\r\n");
    PrepareForForwarding(*q.r, names);
    EXPECT_EQ("GET /a HTTP/1.0\r\nHost: webhost\r\nAccept: */*\r\n\r\n", q.Rebuilt());
    EXPECT_NE(nullptr, q.r->FindHeader("Proxy-Connection")) << "kept, only not written";

    Req up("GET http://webhost/a HTTP/1.0\r\nProxy-Authorization: Basic eA==\r\n"
           "Referer: http://webhost/Gateway-Administration\r\n\r\n");
    up.r->viaUpstreamProxy = 1;
    PrepareForForwarding(*up.r, names);
    EXPECT_EQ("GET http://webhost/a HTTP/1.0\r\nProxy-Authorization: Basic eA==\r\n"
              "Referer: http://webhost/Gateway-Administration\r\n\r\n",
              up.Rebuilt());
}

TEST(Forwarding, FailedConnectionsPickTheirStatusPage) {
    const struct {
        int event;
        bool noLine;
        bool link;
        long error;
        bool refused;
        const char* key;
    } cases[] = {
        {CONNSTATE_CONNECT_FAILED, true, true, SOCKET_NO_SUCH_HOST, false, "420"},
        {CONNSTATE_CONNECT_FAILED, false, true, SOCKET_NO_SUCH_HOST, false, "419"},
        {CONNSTATE_CONNECT_FAILED, false, true, SOCKET_REFUSED, false, "421"},
        {CONNSTATE_CONNECT_FAILED, false, true, 0, true, "421"},
        {CONNSTATE_CONNECT_FAILED, false, true, 10060, false, "416"},
        {CONNSTATE_CLOSED, false, false, 0, false, "417"},
        {CONNSTATE_CLOSED, false, true, SOCKET_NO_SUCH_HOST, false, "419"},
        {CONNSTATE_CLOSED, false, true, SOCKET_REFUSED, false, "421"},
        {CONNSTATE_CLOSED, false, true, 10054, false, "417"},
        {2, false, true, SOCKET_REFUSED, false, ""},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.key, ConnectionFailureKey(c.event, c.noLine, c.link, c.error, c.refused))
            << c.event << " " << c.error;
}

TEST(Forwarding, DefaultPortFromTheOutboundPortSetting) {
    SERVICEPORTPROC services = [](const char* name) -> long { return std::strcmp(name, "http-alt") ? 0 : 8080; };
    const struct {
        const char* setting;
        long port;
    } cases[] = {
        {"8000", 8000}, {" 81", 81}, {"http-alt", 8080}, {"no-such-service", 80},
        {"", 80},       {nullptr, 80}, {"70000", 80},     {"80x", 80},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.port, HttpDefaultPort(c.setting, services)) << (c.setting ? c.setting : "<null>");
    EXPECT_EQ(80, HttpDefaultPort("http-alt", nullptr));
}
