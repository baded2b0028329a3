// The yardstick of the relay benchmarks: the plainest Win32 relay there is, one
// thread, non-blocking sockets and one select loop, no engine code. With
// --respond it answers every HTTP request itself with BYTES bytes from memory
// and closes (the yardstick of cache hits).
//   qvaid_selectrelay [--backlog N] HOST PORT
//   qvaid_selectrelay [--backlog N] --respond BYTES
// Prints "PORT n" once listening; ends when its input says "stop" or closes.
#include <winsock2.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kBuffer = 65536;

// One direction of a relayed connection: bytes read from one socket and not yet
// written to the other.
struct Pipe {
    SOCKET from, to;
    std::vector<char> held = std::vector<char>(kBuffer);
    int start = 0, end = 0;
    bool readDone = false;
};

struct Pair {
    Pipe up, down;  // client to origin, origin to client
    bool dead = false;
};

volatile LONG stopAsked = 0;

DWORD WINAPI ReadInput(void*) {
    char line[64];
    while (std::fgets(line, sizeof line, stdin) && std::strncmp(line, "stop", 4) != 0) {
    }
    InterlockedExchange(&stopAsked, 1);
    return 0;
}

void NonBlocking(SOCKET s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}

// Moves what it can; false when the pipe's direction has ended for good.
void Pump(Pipe& p, bool readable, bool writable, bool& dead) {
    if (readable && p.end < kBuffer && !p.readDone) {
        int n = recv(p.from, p.held.data() + p.end, kBuffer - p.end, 0);
        if (n > 0)
            p.end += n;
        else if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK)
            p.readDone = true;
    }
    if ((writable || p.end > p.start) && p.end > p.start) {
        int n = send(p.to, p.held.data() + p.start, p.end - p.start, 0);
        if (n > 0)
            p.start += n;
        else if (WSAGetLastError() != WSAEWOULDBLOCK)
            dead = true;
        if (p.start == p.end) p.start = p.end = 0;
    }
    if (p.readDone && p.start == p.end) shutdown(p.to, SD_SEND);
}

// A browser of the responder: its request so far, then the answer going out.
struct Asker {
    explicit Asker(SOCKET socket) : s(socket) {}
    SOCKET s;
    std::string request;
    size_t sent = 0;
    bool answering = false;
};

// Answers each request (once its header block is in) with the prepared answer.
void Respond(SOCKET listener, const std::string& answer) {
    std::vector<Asker*> askers;
    while (!stopAsked) {
        fd_set readSet, writeSet;
        FD_ZERO(&readSet);
        FD_ZERO(&writeSet);
        FD_SET(listener, &readSet);
        for (Asker* a : askers) FD_SET(a->s, a->answering ? &writeSet : &readSet);
        timeval limit = {0, 200000};
        if (select(0, &readSet, &writeSet, nullptr, &limit) <= 0) continue;
        if (FD_ISSET(listener, &readSet) && askers.size() < 50) {
            SOCKET client = accept(listener, nullptr, nullptr);
            if (client != INVALID_SOCKET) {
                NonBlocking(client);
                askers.push_back(new Asker(client));
            }
        }
        for (Asker* a : askers) {
            if (!a->answering && FD_ISSET(a->s, &readSet)) {
                char buffer[4096];
                int n = recv(a->s, buffer, sizeof buffer, 0);
                if (n > 0) a->request.append(buffer, (size_t)n);
                if (n == 0 || a->request.find("\r\n\r\n") != std::string::npos) a->answering = true;
            }
            if (a->answering && a->sent < answer.size()) {
                int n = send(a->s, answer.data() + a->sent, (int)(answer.size() - a->sent), 0);
                if (n > 0) a->sent += (size_t)n;
                else if (WSAGetLastError() != WSAEWOULDBLOCK) a->sent = answer.size();
            }
        }
        for (size_t i = 0; i < askers.size();) {
            if (askers[i]->answering && askers[i]->sent >= answer.size()) {
                shutdown(askers[i]->s, SD_SEND);
                closesocket(askers[i]->s);
                delete askers[i];
                askers[i] = askers.back();
                askers.pop_back();
            } else {
                ++i;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    int backlog = 64;
    int first = 1;
    if (argc > 2 && !std::strcmp(argv[1], "--backlog")) {
        backlog = std::atoi(argv[2]);
        first = 3;
    }
    const bool respond = argc - first == 2 && !std::strcmp(argv[first], "--respond");
    if (argc - first != 2) {
        std::fprintf(stderr, "usage: qvaid_selectrelay [--backlog N] HOST PORT | --respond BYTES\n");
        return 2;
    }
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    sockaddr_in origin = {};
    origin.sin_family = AF_INET;
    origin.sin_addr.s_addr = respond ? 0 : inet_addr(argv[first]);
    origin.sin_port = htons(respond ? 0 : (u_short)std::atoi(argv[first + 1]));

    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in any = {};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (bind(listener, (sockaddr*)&any, sizeof any) != 0 || listen(listener, backlog) != 0) return 1;
    int length = sizeof any;
    getsockname(listener, (sockaddr*)&any, &length);
    NonBlocking(listener);
    std::printf("PORT %u\n", (unsigned)ntohs(any.sin_port));
    std::fflush(stdout);
    CloseHandle(CreateThread(nullptr, 0, ReadInput, nullptr, 0, nullptr));
    if (respond) {
        long bytes = std::atol(argv[first + 1]);
        std::string answer = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                             std::to_string(bytes) + "\r\n\r\n" + std::string((size_t)bytes, 'x');
        Respond(listener, answer);
        closesocket(listener);
        WSACleanup();
        return 0;
    }

    std::vector<Pair*> pairs;
    while (!stopAsked) {
        fd_set readSet, writeSet;
        FD_ZERO(&readSet);
        FD_ZERO(&writeSet);
        FD_SET(listener, &readSet);
        for (Pair* p : pairs) {
            for (Pipe* d : {&p->up, &p->down}) {
                if (!d->readDone && d->end < kBuffer) FD_SET(d->from, &readSet);
                if (d->end > d->start) FD_SET(d->to, &writeSet);
            }
        }
        timeval limit = {0, 200000};
        if (select(0, &readSet, &writeSet, nullptr, &limit) <= 0) continue;
        if (FD_ISSET(listener, &readSet) && pairs.size() < 25) {
            SOCKET client = accept(listener, nullptr, nullptr);
            if (client != INVALID_SOCKET) {
                SOCKET server = socket(AF_INET, SOCK_STREAM, 0);
                if (connect(server, (sockaddr*)&origin, sizeof origin) != 0) {
                    closesocket(server);
                    closesocket(client);
                } else {
                    NonBlocking(client);
                    NonBlocking(server);
                    Pair* p = new Pair;
                    p->up.from = p->down.to = client;
                    p->up.to = p->down.from = server;
                    pairs.push_back(p);
                }
            }
        }
        for (Pair* p : pairs) {
            for (Pipe* d : {&p->up, &p->down})
                Pump(*d, FD_ISSET(d->from, &readSet) != 0, FD_ISSET(d->to, &writeSet) != 0, p->dead);
            if (p->dead || (p->up.readDone && p->down.readDone && p->up.start == p->up.end &&
                            p->down.start == p->down.end)) {
                closesocket(p->up.from);
                closesocket(p->up.to);
                p->dead = true;
            }
        }
        for (size_t i = 0; i < pairs.size();) {
            if (pairs[i]->dead) {
                delete pairs[i];
                pairs[i] = pairs.back();
                pairs.pop_back();
            } else {
                ++i;
            }
        }
    }
    closesocket(listener);
    WSACleanup();
    return 0;
}
