// The harness itself: what a child started through it finds.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>

#include "StandInHarness.h"

using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;

QV_CHILD_CASE(WhatTheChildSees) {
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    std::printf("platform=%lu\n", (unsigned long)v.dwPlatformId);
    OFSTRUCT found = {};
    found.cBytes = sizeof found;
    bool onPath = OpenFile("RASAPI32.DLL", &found, OF_EXIST) != HFILE_ERROR;
    HMODULE ras = onPath ? LoadLibraryA(found.szPathName) : nullptr;
    std::printf("rasapi32=%s\n", ras ? "loaded" : "none");
    std::printf("devicePort=%d\n", ras && GetProcAddress(ras, "RnaGetDevicePort") ? 1 : 0);
    // The stand-in programs stay reachable after a change of directory.
    SetCurrentDirectoryA("C:\\");
    char path[MAX_PATH];
    char* file = nullptr;
    std::printf("route=%d\n", SearchPathA(nullptr, "route.exe", nullptr, MAX_PATH, path, &file) ? 1 : 0);
}

TEST(StandInHarness, ChildWithoutRemoteAccess) {
    DialUpStandIns s(RemoteAccess::Absent);
    auto r = s.Run("WhatTheChildSees");
    EXPECT_NE(std::string::npos, r.output.find("rasapi32=none")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("route=1")) << r.output;
}

TEST(StandInHarness, ChildWithTheNtVariant) {
    DialUpStandIns s(RemoteAccess::Nt, "nt40");
    auto r = s.Run("WhatTheChildSees");
    EXPECT_NE(std::string::npos, r.output.find("platform=2")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("rasapi32=loaded")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("devicePort=0")) << r.output;
}

TEST(StandInHarness, ChildAsWindows95) {
    if (!DialUpStandIns::ChildReportsWindows95())
        GTEST_SKIP() << "Wine does not report Windows 95 to a program of this build";
    for (RemoteAccess choice : {RemoteAccess::Win95, RemoteAccess::Absent}) {
        DialUpStandIns s(choice, "win95");
        auto r = s.Run("WhatTheChildSees");
        EXPECT_NE(std::string::npos, r.output.find("platform=1")) << r.output;
        EXPECT_NE(std::string::npos,
                  r.output.find(choice == RemoteAccess::Win95 ? "devicePort=1" : "rasapi32=none"))
            << r.output;
    }
}
