#pragma once
// The decisions about a request that leaves the gateway: where it goes (the
// origin or an upstream proxy chosen by scheme), what of it is forwarded, and
// which status page answers a connection that failed. Worker thread; no state.
#include <string>

#include "HttpCfg.h"
#include "HttpRequest.h"

// Where a request is sent.
struct HTTPDESTINATION {
    std::string host;
    std::string port;      // decimal text, or the configured outbound port's text
    std::string address;   // a proxy's address as last resolved, empty when none
    BBOOL viaProxy = 0;
    BBOOL noInterface = 0; // a proxy on the local network: no interface, no dialling
    BBOOL ftpDirect = 0;   // an ftp URL the gateway fetches itself
};

// The upstream proxies' addresses as last resolved (HTTP, FTP, SSL); empty texts when not yet.
struct PROXYADDRESSES {
    const char* http;
    const char* ftp;
    const char* ssl;
};

// Chooses the destination and marks the request's via-proxy and no-interface flags.
HTTPDESTINATION ChooseDestination(HTTPREQUEST& request, const HTTPCFG& cfg, const PROXYADDRESSES& resolved);

// Marks the fields that must not travel on (left in the request, not
// written): hop-by-hop fields, Connection and the fields it names,
// Proxy-Authorization unless to an upstream proxy, and a Referer that carries
// the gateway's administration page (its password); a version above HTTP/1.0
// is sent as HTTP/1.0, the only version whose framing the gateway follows.
void PrepareForForwarding(HTTPREQUEST& request, const GATEWAYNAMES& names);

// A service name's port, or 0 when the name is unknown (the socket
// library's look-up, handed in by whoever has it bound).
typedef long (*SERVICEPORTPROC)(const char* name);
// The port a request without one goes to: "TCP/IP Outbound Port" as a number
// or a service name, else 80.
long HttpDefaultPort(const char* outboundPort, SERVICEPORTPROC lookup);

// Connection events that end an outbound connection.
const int CONNSTATE_CONNECT_FAILED = 4;
const int CONNSTATE_CLOSED = 5;
// Socket errors the status pages tell apart.
const long SOCKET_NO_SUCH_HOST = 11004;
const long SOCKET_REFUSED = 10061;

// The status key that answers a failed or dropped outbound connection; ""
// for other events. A refusal is "421" whichever event reports it.
const char* ConnectionFailureKey(int event, BBOOL noLineMark, BBOOL hasLink, long lastError, BBOOL refused);
