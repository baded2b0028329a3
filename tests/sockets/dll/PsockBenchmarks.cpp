// Benchmarks: per-call cost and loopback throughput of psock32 with its
// stand-ins against Wine's WSOCK32 called directly.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "TestAids.h"
#include "WinSock11.h"

namespace {

using namespace ws11;
using Clock = std::chrono::steady_clock;

struct Library {
    HMODULE module = nullptr;
    decltype(&::htons) htons_;
    decltype(&::WSAGetLastError) lastError;
    decltype(&::WSAStartup) startup;
    decltype(&::WSACleanup) cleanup;
    decltype(&::socket) socket_;
    decltype(&::bind) bind_;
    decltype(&::listen) listen_;
    decltype(&::getsockname) getsockname_;
    decltype(&::connect) connect_;
    decltype(&::accept) accept_;
    decltype(&::send) send_;
    decltype(&::recv) recv_;
    decltype(&::closesocket) close_;
    decltype(&::inet_addr) inetAddr;

    template <typename F>
    void Bind(F& fn, int ordinal) {
        fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
    }
    explicit Library(const std::string& path) {
        module = LoadLibraryA(path.c_str());
        if (!module) return;
        Bind(htons_, 9), Bind(lastError, 111), Bind(startup, 115), Bind(cleanup, 116), Bind(socket_, 23);
        Bind(bind_, 2), Bind(listen_, 13), Bind(getsockname_, 6), Bind(connect_, 4), Bind(accept_, 1);
        Bind(send_, 19), Bind(recv_, 16), Bind(close_, 3), Bind(inetAddr, 10);
        WSADATA data;
        startup(0x0101, &data);
    }
    ~Library() {
        if (!module) return;
        cleanup();
        FreeLibrary(module);
    }

    double NanosPerCall() {
        const int n = 100000;
        auto start = Clock::now();
        unsigned sum = 0;
        for (int i = 0; i < n; ++i) sum += htons_((u_short)i) + lastError();
        double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / (2.0 * n);
        return sum ? ns : ns;
    }

    // Megabytes a second through one loopback connection.
    double Throughput(int megabytes) {
        SOCKET l = socket_(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = inetAddr("127.0.0.1");
        int len = sizeof a;
        bind_(l, (sockaddr*)&a, sizeof a);
        getsockname_(l, (sockaddr*)&a, &len);
        listen_(l, 1);
        SOCKET c = socket_(AF_INET, SOCK_STREAM, 0);
        connect_(c, (sockaddr*)&a, sizeof a);
        SOCKET s = accept_(l, nullptr, nullptr);
        const long long total = (long long)megabytes << 20;
        auto start = Clock::now();
        std::thread reader([&] {
            std::vector<char> in(32000);  // within what the 16-bit stack takes in one call
            for (long long got = 0; got < total;) {
                int r = recv_(s, in.data(), (int)in.size(), 0);
                if (r <= 0) break;
                got += r;
            }
        });
        std::vector<char> out(32000, 'x');
        for (long long sent = 0; sent < total;) {
            int r = send_(c, out.data(), (int)std::min<long long>(out.size(), total - sent), 0);
            if (r <= 0) break;
            sent += r;
        }
        reader.join();
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        close_(c), close_(s), close_(l);
        return megabytes / seconds;
    }
};

TEST(PsockBenchmark, DISABLED_PerCallCostAndLoopbackThroughput) {
    std::string psock = qvaid::BuildPath("sockets\\psock32.dll");
    ASSERT_FALSE(psock.empty());
    SetDllDirectoryA(psock.substr(0, psock.size() - strlen("psock32.dll")).c_str());
    struct Row {
        const char* name;
        std::string path;
    } rows[] = {{"WSOCK32.DLL", "WSOCK32.DLL"}, {"psock32 + stand-ins", psock}};
    for (const Row& row : rows) {
        Library lib(row.path);
        ASSERT_TRUE(lib.module) << row.path;
        double ns = lib.NanosPerCall();
        double mbps = lib.Throughput(64);
        printf("%-22s %8.0f ns a call   %8.1f MB/s over loopback\n", row.name, ns, mbps);
    }
    SetDllDirectoryA(nullptr);
}

}  // namespace
