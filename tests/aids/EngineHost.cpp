// The engine's echo service, or a relay to one host and port, over real
// sockets, for tests driven from the Linux side with their own clients.
//   qvengine_host [--message] [--limit N] [--aux N] [--send-size N] [--relay HOST PORT]
// A relay opens an outbound connection per client through an outbound
// primary, as the line services do, and closes each side when the other ends.
// Prints "PORT n" once listening, then "AUX n" for each auxiliary port it
// opens, "PAIRS n" (client and server connections still paired) when
// asked "pairs", "HELD n" (server links not receiving for a busy client)
// when asked "held"; ends in order (exit code 0) when its input ends or
// reads "stop".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "EchoService.h"

namespace {

using socktest::EchoMonitor;

// Hands a buffer to a connection's link; false (buffer kept) when it cannot.
bool Forward(DATACONNECTION* to, IOBUFFER* b) { return to && to->link && to->link->PutMessage(b, 0); }

// Buffers a client's link may hold unsent before its server link stops receiving:
// a fast origin and a slow client must not fill memory.
const long kClientQueueBound = 8;
bool ClientBusy(DATACONNECTION* client) {
    return client && client->link && client->link->sendQueue.count > kClientQueueBound;
}

// Client and server connections in pairs; each side held while paired.
class Pairs {
public:
    void Join(DATACONNECTION* client, DATACONNECTION* server) {
        std::lock_guard<std::mutex> hold(lock_);
        client->prepare();
        server->prepare();
        partner_[client] = server;
        partner_[server] = client;
    }
    // The partner, held for the caller; null when none.
    DATACONNECTION* Partner(DATACONNECTION* c) {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = partner_.find(c);
        if (it == partner_.end()) return nullptr;
        it->second->prepare();
        return it->second;
    }
    // Ends the pair of c; the partner, held for the caller, or null.
    DATACONNECTION* Split(DATACONNECTION* c) {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = partner_.find(c);
        if (it == partner_.end()) return nullptr;
        DATACONNECTION* other = it->second;
        partner_.erase(it);
        partner_.erase(other);
        c->freeobj();
        return other;  // keeps the pair's hold
    }
    // A client's bytes for its server connection: held until it is up, then
    // sent in order (all under the one lock, so nothing overtakes).
    void ToServer(DATACONNECTION* server, IOBUFFER* b) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!up_.count(server))
            waiting_[server].push_back(b);
        else if (!Forward(server, b))
            b->freeobj();
    }
    void ServerUp(DATACONNECTION* server) {
        std::lock_guard<std::mutex> hold(lock_);
        up_[server] = true;
        for (IOBUFFER* b : waiting_[server])
            if (!Forward(server, b)) b->freeobj();
        waiting_.erase(server);
    }
    size_t Count() {
        std::lock_guard<std::mutex> hold(lock_);
        return partner_.size() / 2;
    }
    // Server connections whose link is held back for a busy client.
    size_t Held() {
        std::lock_guard<std::mutex> hold(lock_);
        size_t n = 0;
        for (auto& up : up_)
            if (up.first->link && up.first->link->receivingStopped) n++;
        return n;
    }
    void ServerGone(DATACONNECTION* server) {
        std::lock_guard<std::mutex> hold(lock_);
        for (IOBUFFER* b : waiting_[server]) b->freeobj();
        waiting_.erase(server);
        up_.erase(server);
    }

private:
    std::mutex lock_;
    std::map<DATACONNECTION*, DATACONNECTION*> partner_;
    std::map<DATACONNECTION*, std::vector<IOBUFFER*>> waiting_;
    std::map<DATACONNECTION*, bool> up_;
};

Pairs pairs;

// The server side: what the origin sends goes to the paired client.
struct ServerSide : REQUESTMONITOR {
    explicit ServerSide(LINKCONTROL& c) : REQUESTMONITOR(c, 0) {}
    QV_ITEM_IDENTITY(ServerSide, "REQUESTMONITOR", "DRQM")
    DATAREQUEST* buildRequest(IOBUFFER*, DATACONNECTION*) override { return nullptr; }
    DATARESULT* buildResult(IOBUFFER* message, DATACONNECTION* c) override {
        DATACONNECTION* client = pairs.Partner(c);
        if (!Forward(client, message)) message->freeobj();
        // Held until the client's queue drains (ClientDrained); checked again once held,
        // since the queue may have drained in between and would then never resume it.
        if (ClientBusy(client) && c->link) {
            c->link->StopReceiving();
            if (!ClientBusy(client)) c->link->StartReceiving();
        }
        if (client) client->freeobj();
        return nullptr;
    }
    BBOOL evaluateRequest(DATAREQUEST*) override { return 1; }
    BBOOL evaluateResult(DATARESULT*) override { return 1; }
    BBOOL sendRequest(DATAREQUEST*, DATACONNECTION*) override { return 1; }
    BBOOL sendResult(DATARESULT*, DATACONNECTION*) override { return 1; }
    REQUESTMONITOR* createSecondaryMonitor(IOMODE, DATACONNECTION*) override { return nullptr; }
};

socktest::OutboundPrimary<ServerSide>* outbound = nullptr;
std::string relayHost, relayPort;

// A client link has taken its last queued buffer: its server link may receive again.
// Called with the client link's lock held; the pairs' lock is never held around a client link.
void ClientDrained(COMMLINK* link) {
    DATACONNECTION* server = link->owner ? pairs.Partner(link->owner) : nullptr;
    if (server && server->link && server->link->receivingStopped) server->link->StartReceiving();
    if (server) server->freeobj();
}

void ServerNotice(DATACONNECTION* server, int code) {
    if (code == CONN_CONNECTED) {
        pairs.ServerUp(server);
    } else if (code == CONN_CLOSED) {
        pairs.ServerGone(server);
        if (DATACONNECTION* client = pairs.Split(server)) {
            client->SetDropRequested(1, 0);
            client->freeobj();
        }
    }
}

// The client side: a new client gets its server connection; its bytes go there.
// Without a relay it echoes.
struct ClientSide : EchoMonitor {
    bool relay = false;
    explicit ClientSide(LINKCONTROL& c) : EchoMonitor(c) {}
    BBOOL evaluateRequest(DATAREQUEST* r) override {
        if (!relay) return EchoMonitor::evaluateRequest(r);
        Echo* e = static_cast<Echo*>(r);
        DATACONNECTION* server = pairs.Partner(r->connection);
        if (server && e->buffer) {
            pairs.ToServer(server, e->buffer);
            e->buffer = nullptr;
        }
        if (server) server->freeobj();
        r->FreeRequest(0);
        return 1;
    }
};

void ClientNotice(DATACONNECTION* client, int code) {
    if (code == CONN_OPENED) {
        BBOOL ok = 0;
        DATACONNECTION* server = outbound->Open(relayHost.c_str(), relayPort.c_str(), &ok);
        if (ok) pairs.Join(client, server);
        else client->SetDropRequested(1, 0);
        server->freeobj();
    } else if (code == CONN_CLOSED) {
        if (DATACONNECTION* server = pairs.Split(client)) {
            server->SetDropRequested(1, 0);
            server->freeobj();
        }
    }
}

struct Options {
    bool message = false;
    int limit = 20;
    int aux = 0;
    int sendSize = 0;
    std::string relayHost, relayPort;
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--message") o.message = true;
        else if (a == "--limit" && more) o.limit = std::atoi(argv[++i]);
        else if (a == "--aux" && more) o.aux = std::atoi(argv[++i]);
        else if (a == "--send-size" && more) o.sendSize = std::atoi(argv[++i]);
        else if (a == "--relay" && i + 2 < argc) {
            o.relayHost = argv[++i];
            o.relayPort = argv[++i];
        }
        else return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: qvengine_host [--message] [--limit N] [--aux N] [--send-size N] [--relay HOST PORT]\n");
        return 2;
    }
    int code = 0;
    {
        bool relay = !o.relayHost.empty();
        if (relay) {
            relayHost = o.relayHost;
            relayPort = o.relayPort;
            outbound = new socktest::OutboundPrimary<ServerSide>([](ServerSide* m) { m->notifier = ServerNotice; });
        }
        socktest::ListenService<ClientSide> echo(o.limit, o.message ? 0 : 1, o.aux, o.sendSize, [&](ClientSide* m) {
            m->relay = relay;
            if (relay) {
                m->notifier = ClientNotice;
                m->control->sendDrainedHook = ClientDrained;
            }
        });
        if (!echo.connected) {
            std::printf("FAILED %d\n", (int)echo.listening->lastError);
            std::fflush(stdout);
            code = 1;
        } else {
            std::printf("PORT %u\n", (unsigned)echo.port);
            std::fflush(stdout);
            // Auxiliary ports open on accepts; the driver asks for them with "aux".
            char line[64];
            while (std::fgets(line, sizeof line, stdin) && std::strncmp(line, "stop", 4) != 0) {
                if (std::strncmp(line, "pairs", 5) == 0) {
                    std::printf("PAIRS %u\nEND\n", (unsigned)pairs.Count());
                    std::fflush(stdout);
                } else if (std::strncmp(line, "held", 4) == 0) {
                    std::printf("HELD %u\nEND\n", (unsigned)pairs.Held());
                    std::fflush(stdout);
                } else if (std::strncmp(line, "aux", 3) == 0) {
                    CITERATOR<TCPSOCKLINK> walk;
                    for (TCPSOCKLINK* a = walk.Begin(echo.control->auxPorts); a; a = walk.Next())
                        std::printf("AUX %u\n", (unsigned)a->port);
                    walk.End();
                    std::printf("END\n");
                    std::fflush(stdout);
                }
            }
        }
    }
    delete outbound;
    std::printf("STOPPED\n");
    std::fflush(stdout);
    return code;
}
