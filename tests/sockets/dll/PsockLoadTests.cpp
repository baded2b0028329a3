// psock32 with its stand-ins, driven by ws11probe in a directory of its own
// per case: every check of the probe's table against psock32 and against
// Wine's WSOCK32, and the loads that must fail. The echo peer is a Python
// program on loopback, started here (Wine runs a Linux program it is handed).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "TestAids.h"
#include "ChildProcess.h"
#include "LoopbackPeers.h"
#include "ScratchDir.h"

namespace {

// The folder psock32 and its stand-ins are built into, with its backslash.
std::string Sockets() {
    std::string library = qvaid::BuildPath("sockets\\psock32.dll");
    return library.substr(0, library.size() - strlen("psock32.dll"));
}

struct ProbeRun {
    unsigned long exitCode;
    std::vector<std::string> lines;
    std::string output;
    bool Has(const std::string& line) const {
        for (const std::string& l : lines)
            if (l == line) return true;
        return false;
    }
    int Count(const char* prefix) const {
        int n = 0;
        for (const std::string& l : lines) n += l.compare(0, strlen(prefix), prefix) == 0;
        return n;
    }
};

ProbeRun Probe(const std::string& dir, const std::string& args) {
    qvtest::ChildResult r = qvtest::RunProgram("\"" + dir + "ws11probe.exe\" " + args, 120000, dir);
    ProbeRun run{r.exitCode, {}, r.output};
    std::istringstream in(r.output);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        run.lines.push_back(line);
    }
    return run;
}

std::string EchoArgs() { return LoopbackPeers::echo ? " --echo " + std::to_string(LoopbackPeers::echo) : ""; }

const char* const BehaviourChecks[] = {
    "startup",      "byte_order", "errors",         "names_and_lengths", "sets",         "echo",   "echo_100k",
    "async_select", "lookups",    "thread_records", "async_host",        "early_thread", "cleanup"};
const char* const OwnChecks[] = {"startup_without_data", "record_layouts", "async_queued",     "async_cancel",
                                 "long_names",           "handles_flat",   "lock_and_exports", "blocking_hook"};

TEST(Psock32, EveryCheckOfTheProbePassesOverTheStandIns) {
    ASSERT_NE(0, LoopbackPeers::echo) << "the Python echo peer did not start";
    ProbeRun run = Probe(Sockets(), "psock32.dll --own" + EchoArgs());
    EXPECT_EQ(0u, run.exitCode) << run.output;
    for (const char* c : BehaviourChecks) EXPECT_TRUE(run.Has(std::string("PASS ") + c)) << c << "\n" << run.output;
    for (const char* c : OwnChecks) EXPECT_TRUE(run.Has(std::string("PASS ") + c)) << c << "\n" << run.output;
    EXPECT_TRUE(run.Has("unloaded")) << run.output;
}

// The same table against the system's library shows the checks test Windows
// Sockets behaviour, not psock32's own reading of it.
TEST(Psock32, TheBehaviourChecksHoldForWineWsock32Too) {
    ASSERT_NE(0, LoopbackPeers::echo);
    ProbeRun run = Probe(Sockets(), "WSOCK32.DLL" + EchoArgs());
    EXPECT_EQ(0u, run.exitCode) << run.output;
    for (const char* c : BehaviourChecks) EXPECT_TRUE(run.Has(std::string("PASS ") + c)) << c << "\n" << run.output;
    EXPECT_EQ((int)(sizeof OwnChecks / sizeof OwnChecks[0]), run.Count("SKIP ")) << run.output;
}

class Psock32Load : public qvtest::ScratchDirTest {
protected:
    Psock32Load() : ScratchDirTest("psock") {}
    void Copy(const std::string& from, const char* name) {
        ASSERT_TRUE(CopyFileA(from.c_str(), (dir + "\\" + name).c_str(), FALSE)) << from;
    }
    void CopyProbe() {
        Copy(Sockets() + "ws11probe.exe", "ws11probe.exe");
        Copy(Sockets() + "psock32.dll", "psock32.dll");
        Copy(Sockets() + "flatthk.dll", "flatthk.dll");
    }
};

TEST_F(Psock32Load, WithoutTheSixteenBitStackTheLoadFailsCleanly) {
    CopyProbe();
    ProbeRun run = Probe(dir + "\\", "psock32.dll --own byte_order");
    EXPECT_EQ(3u, run.exitCode) << run.output;
    EXPECT_EQ(1, run.Count("load failed: psock32.dll")) << run.output;
}

TEST_F(Psock32Load, AStackBuiltForAnotherLibraryIsRefused) {
    CopyProbe();
    std::string other = qvaid::BuildPath("standins\\thunk-other\\PWSK16.dll");
    ASSERT_FALSE(other.empty());
    Copy(other, "PWSK16.DLL");
    ProbeRun run = Probe(dir + "\\", "psock32.dll --own byte_order");
    EXPECT_EQ(3u, run.exitCode) << run.output;
    EXPECT_EQ(1, run.Count("load failed: psock32.dll")) << run.output;
    // The same directory with the matching stack loads.
    Copy(Sockets() + "PWSK16.dll", "PWSK16.DLL");
    run = Probe(dir + "\\", "psock32.dll --own byte_order");
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_TRUE(run.Has("PASS byte_order")) << run.output;
}

}  // namespace
