// The yardstick of the relay benchmark: the plainest Win32 relay there is, one
// thread, non-blocking sockets and one select loop, no engine code.
//   qvaid_selectrelay HOST PORT
// Prints "PORT n" once listening; ends when its input says "stop" or closes.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: qvaid_selectrelay HOST PORT\n");
        return 2;
    }
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    sockaddr_in origin = {};
    origin.sin_family = AF_INET;
    origin.sin_addr.s_addr = inet_addr(argv[1]);
    origin.sin_port = htons((u_short)std::atoi(argv[2]));

    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in any = {};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (bind(listener, (sockaddr*)&any, sizeof any) != 0 || listen(listener, 64) != 0) return 1;
    int length = sizeof any;
    getsockname(listener, (sockaddr*)&any, &length);
    NonBlocking(listener);
    std::printf("PORT %u\n", (unsigned)ntohs(any.sin_port));
    std::fflush(stdout);
    CloseHandle(CreateThread(nullptr, 0, ReadInput, nullptr, 0, nullptr));

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
