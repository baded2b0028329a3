#pragma once
// Runs a registered case of this same test program in a child process, so that
// cases which end the process (fatal exits) can be checked by exit code and output.
#include <string>

namespace qvtest {

struct ChildResult {
    unsigned long exitCode = 0;
    std::string output;  // stdout and stderr together
    bool started = false;
};

using ChildFn = void (*)();

// Registers a child case; returns true so it can initialise a static.
bool RegisterChildCase(const char* name, ChildFn fn);
// Runs the case in a fresh copy of this program; waits at most timeoutMs. The
// child starts in currentDir when one is given, else in this one's.
ChildResult RunChild(const std::string& name, const std::string& extraArgs = "", unsigned timeoutMs = 60000,
                     const std::string& currentDir = "");
// Runs a command line (a program found as CreateProcessA finds it) the same way.
ChildResult RunProgram(const std::string& commandLine, unsigned timeoutMs = 60000, const std::string& currentDir = "");

// A child case that runs beside the test (a peer it talks to meanwhile); finish
// collects its end as RunChild does. A child still running at destruction is ended.
class ChildRun {
public:
    explicit ChildRun(const std::string& name, const std::string& extraArgs = "");
    ~ChildRun();
    ChildRun(const ChildRun&) = delete;
    ChildRun& operator=(const ChildRun&) = delete;

    bool started() const { return process_ != nullptr; }
    void* process() const { return process_; }
    ChildResult finish(unsigned timeoutMs = 60000);

private:
    friend ChildResult RunProgram(const std::string&, unsigned, const std::string&);
    ChildRun() {}
    void start(const std::string& commandLine, const std::string& currentDir);

    void* process_ = nullptr;
    void* thread_ = nullptr;
    void* output_ = nullptr;
};
// Called by main: runs the case named by --qv-child=NAME and exits; false when none.
bool DispatchChild(int argc, char** argv);

}  // namespace qvtest

#define QV_CHILD_CASE(name)                                                           \
    static void qvChild_##name();                                                     \
    static const bool qvChildReg_##name = qvtest::RegisterChildCase(#name, qvChild_##name); \
    static void qvChild_##name()
