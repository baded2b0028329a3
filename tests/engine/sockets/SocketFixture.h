#pragma once
// Helpers of the socket tests: the echo service, and plain clients over the
// bound socket library.
#include <gtest/gtest.h>
#include <string>

#include "EchoService.h"
#include "WinSockDll.h"

namespace socktest {

// A blocking client socket over the library a control bound; every wait is bounded.
struct Client {
    WINSOCKFUNCTIONS& f;
    SOCKET s = INVALID_SOCKET;
    Client(WINSOCKCONTROL& ctl, unsigned short port, const char* host = "127.0.0.1") : f(ctl.fn) {
        s = f.socket(AF_INET, SOCK_STREAM, 0);
        DWORD ms = 10000;
        f.setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char*)&ms, sizeof(ms));
        sockaddr_in sa = {};
        sa.sin_family = AF_INET;
        sa.sin_port = f.htons(port);
        sa.sin_addr.s_addr = f.inet_addr(host);
        if (f.connect(s, (sockaddr*)&sa, sizeof(sa)) != 0) Close();
    }
    ~Client() { Close(); }
    void Close() {
        if (s != INVALID_SOCKET) f.closesocket(s);
        s = INVALID_SOCKET;
    }
    bool Send(const std::string& bytes) {
        size_t at = 0;
        while (at < bytes.size()) {
            int n = f.send(s, bytes.data() + at, (int)(bytes.size() - at), 0);
            if (n <= 0) return false;
            at += n;
        }
        return true;
    }
    // Reads exactly n bytes; fewer when the peer closes or ten seconds pass without data.
    std::string Read(size_t n) {
        std::string got;
        char buf[4096];
        while (got.size() < n) {
            int want = (int)std::min(sizeof(buf), n - got.size());
            int r = f.recv(s, buf, want, 0);
            if (r <= 0) break;
            got.append(buf, r);
        }
        return got;
    }
    // 0 when the peer closed in order, the error when it failed, 1 when data came instead.
    int WaitClosed() {
        char c;
        int r = f.recv(s, &c, 1, 0);
        if (r == 0) return 0;
        if (r < 0) return f.WSAGetLastError();
        return 1;
    }
};

// The library the test clients use.
struct ClientLibrary {
    WINSOCKCONTROL* control;
    ClientLibrary() {
        control = new WINSOCKCONTROL;
        control->prepare();
        control->LoadWinSock(0, 0);
    }
    ~ClientLibrary() { control->freeobj(); }
};

}  // namespace socktest
