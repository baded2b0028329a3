#pragma once
// The Python peers on loopback (tests/sockets/peers.py): an echo server and
// an HTTP server of the tests' source folder, started once per test program.
// Wine runs a Linux program it is handed but reports nothing of its end, so
// the peers write their ports to a file and end when a stop file appears.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifndef QV_SOURCE_DIR
#error QV_SOURCE_DIR names the source tree
#endif

class LoopbackPeers : public testing::Environment {
public:
    void SetUp() override {
        std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
        portFile_ = "/tmp/qv-sockets-peers-" + tag;
        stopFile_ = portFile_ + ".stop";
        std::string command = "/usr/bin/python3 " QV_SOURCE_DIR "/tests/sockets/peers.py --port-file " + portFile_ +
                              " --stop-file " + stopFile_ + " --serve " QV_SOURCE_DIR "/tests/sockets";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi;
        std::vector<char> line(command.begin(), command.end());
        line.push_back(0);
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        // Waits for the peers to say where they listen.
        for (int i = 0; i < 300 && !echo; ++i) {
            FILE* f = fopen(Windows(portFile_).c_str(), "r");
            if (f) {
                char what[8];
                int port;
                while (fscanf(f, "%7s %d", what, &port) == 2) {
                    if (!strcmp(what, "ECHO")) echo = port;
                    if (!strcmp(what, "HTTP")) http = port;
                }
                fclose(f);
            }
            if (!echo) Sleep(100);
        }
    }
    void TearDown() override {
        if (FILE* f = fopen(Windows(stopFile_).c_str(), "w")) fclose(f);
    }
    static std::string Windows(const std::string& unixPath) {
        std::string s = "Z:" + unixPath;
        for (char& c : s)
            if (c == '/') c = '\\';
        return s;
    }
    static int echo, http;  // 0 until the peers listen

private:
    std::string portFile_, stopFile_;
};

// The path of a source file as this program opens it.
inline std::string SourcePath(const std::string& relative) {
    return LoopbackPeers::Windows(QV_SOURCE_DIR "/" + relative);
}
