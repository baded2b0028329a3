#include "TcpMessages.h"

#include "DataConnection.h"

TCPMSGBASE::~TCPMSGBASE() { FreeMessage(); }

void TCPMSGBASE::FreeMessage() {
    if (!buffer || !link) return;
    IOBUFFER* b = buffer;
    buffer = nullptr;
    b->freeobj();
}

TCPREQUEST::TCPREQUEST(IOBUFFER* b, COMMLINK* l)
    : DATAREQUEST(nullptr, TRUE), TCPMSGBASE(b, l), lineConnection(nullptr), ownsConnection(0), viaUpstreamProxy(0), noInterface(0),
      flagWord(0) {}

TCPREQUEST::TCPREQUEST(BBOOL flag)
    : DATAREQUEST(nullptr, TRUE), TCPMSGBASE(nullptr, nullptr), lineConnection(nullptr), ownsConnection(0), viaUpstreamProxy(0),
      noInterface(0), flagWord(flag) {}

TCPREQUEST::~TCPREQUEST() {
    if (lineConnection && ownsConnection) lineConnection->freeobj();
    lineConnection = nullptr;
    ownsConnection = FALSE;
    FreeMessage();
}

TCPRESPONSE::TCPRESPONSE(DATAREQUEST* request, IOBUFFER* b, COMMLINK* l)
    : DATARESULT(request, nullptr, FALSE), TCPMSGBASE(b, l) {}

TCPRESPONSE::~TCPRESPONSE() { FreeMessage(); }

char* TCPRESPONSE::GetStatusLine(BUFFER& out) {
    if (out.data && out.length > 0) out.data[0] = 0;
    out.length = 0;
    return out.data;
}

TCPDISCREQUEST::~TCPDISCREQUEST() {}
TCPDISCRESPONSE::~TCPDISCRESPONSE() {}

namespace {
// A marker queued on the connection (request or result side) and released
// once sent; without memory the connection is dropped instead.
template <class MARKER, class QUEUE>
MARKER* generateMarker(DATACONNECTION* connection, QUEUE queue) {
    MARKER* marker = new MARKER;
    if (!marker) {
        if (connection) connection->SetDropRequested(TRUE, 0);
        return nullptr;
    }
    marker->prepare();
    if (connection) {
        SetReleaseAfterSend(marker);
        queue(*connection, marker);
    }
    return marker;
}
}  // namespace

TCPDISCREQUEST* TCPDISCREQUEST::Generate(DATACONNECTION* connection) {
    return generateMarker<TCPDISCREQUEST>(connection,
                                          [](DATACONNECTION& c, TCPDISCREQUEST* m) { c.QueueRequest(m); });
}

TCPDISCRESPONSE* TCPDISCRESPONSE::Generate(DATACONNECTION* connection) {
    return generateMarker<TCPDISCRESPONSE>(connection,
                                           [](DATACONNECTION& c, TCPDISCRESPONSE* m) { c.QueueResult(m); });
}
