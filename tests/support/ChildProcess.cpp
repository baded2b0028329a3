#include "ChildProcess.h"

#include "QvWindows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace qvtest {
namespace {

std::map<std::string, ChildFn>& Cases() {
    static std::map<std::string, ChildFn> cases;
    return cases;
}

}  // namespace

bool RegisterChildCase(const char* name, ChildFn fn) {
    Cases()[name] = fn;
    return true;
}

bool DispatchChild(int argc, char** argv) {
    const char prefix[] = "--qv-child=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix, sizeof prefix - 1) != 0) continue;
        auto it = Cases().find(argv[i] + sizeof prefix - 1);
        if (it == Cases().end()) {
            std::fprintf(stderr, "no child case %s\n", argv[i] + sizeof prefix - 1);
            std::exit(98);
        }
        it->second();
        std::fflush(stdout);
        std::fflush(stderr);
        std::exit(0);
    }
    return false;
}

namespace {

std::string ChildCommand(const std::string& name, const std::string& extraArgs) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string cmd = "\"" + std::string(self) + "\" --qv-child=" + name;
    if (!extraArgs.empty()) cmd += " " + extraArgs;
    return cmd;
}

}  // namespace

ChildResult RunChild(const std::string& name, const std::string& extraArgs, unsigned timeoutMs,
                     const std::string& currentDir) {
    return RunProgram(ChildCommand(name, extraArgs), timeoutMs, currentDir);
}

ChildResult RunProgram(const std::string& cmd, unsigned timeoutMs, const std::string& currentDir) {
    ChildRun run;
    run.start(cmd, currentDir);
    return run.finish(timeoutMs);
}

ChildRun::ChildRun(const std::string& name, const std::string& extraArgs) { start(ChildCommand(name, extraArgs), ""); }

void ChildRun::start(const std::string& cmd, const std::string& currentDir) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE rd = nullptr, wr = nullptr;
    if (!CreatePipe(&rd, &wr, &sa, 0)) return;
    SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = wr;
    si.hStdError = wr;
    PROCESS_INFORMATION pi = {};
    std::string line = cmd;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                        currentDir.empty() ? nullptr : currentDir.c_str(), &si, &pi)) {
        CloseHandle(rd);
        CloseHandle(wr);
        return;
    }
    CloseHandle(wr);
    process_ = pi.hProcess;
    thread_ = pi.hThread;
    output_ = rd;
}

ChildRun::~ChildRun() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(output_);
    CloseHandle(process_);
    CloseHandle(thread_);
}

ChildResult ChildRun::finish(unsigned timeoutMs) {
    ChildResult r;
    if (!process_) return r;
    r.started = true;
    HANDLE rd = output_;
    HANDLE proc = process_;

    // Read until the child and every inheritor of the pipe are gone.
    DWORD start = GetTickCount();
    char buf[4096];
    for (;;) {
        DWORD avail = 0;
        if (!PeekNamedPipe(rd, nullptr, 0, nullptr, &avail, nullptr)) break;
        if (avail) {
            DWORD got = 0;
            if (!ReadFile(rd, buf, sizeof buf, &got, nullptr) || got == 0) break;
            r.output.append(buf, got);
            continue;
        }
        if (WaitForSingleObject(proc, 20) == WAIT_OBJECT_0) {
            // Drain what is left.
            while (PeekNamedPipe(rd, nullptr, 0, nullptr, &avail, nullptr) && avail) {
                DWORD got = 0;
                if (!ReadFile(rd, buf, sizeof buf, &got, nullptr) || got == 0) break;
                r.output.append(buf, got);
            }
            break;
        }
        if (GetTickCount() - start > timeoutMs) {
            TerminateProcess(proc, 99);
            WaitForSingleObject(proc, 5000);
            r.output += "\n[child timed out]";
            break;
        }
    }
    GetExitCodeProcess(proc, &r.exitCode);
    return r;
}

}  // namespace qvtest
