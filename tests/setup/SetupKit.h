#pragma once
// Calling the setup library's exports the way the installer does: through
// callexport.exe in a process of its own, the library loaded by path.
// Include as "../SetupKit.h".
#include <cstdlib>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestAids.h"

namespace qvsetup {

struct ExportCall {
    bool called = false;
    int result = 0;
    std::vector<std::string> bufs;  // out-buffers after the call, in argument order
    std::string output;
};

inline std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(char(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

// args in callexport's form: "s:text", "i:3", "null", "buf:64", "file:path", "hkey:HKLM".
inline ExportCall CallExport(const std::string& library, const std::string& name, const std::vector<std::string>& args) {
    std::string cmd = "\"" + qvaid::AidPath("callexport.exe") + "\" \"" + library + "\" " + name;
    for (const std::string& a : args) cmd += " \"" + a + "\"";
    qvtest::ChildResult run = qvtest::RunProgram(cmd, 30000);
    ExportCall call;
    call.output = run.output;
    size_t at = 0;
    while (at < run.output.size()) {
        size_t end = run.output.find('\n', at);
        if (end == std::string::npos) end = run.output.size();
        std::string line = run.output.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, 7, "result ") == 0) {
            call.called = true;
            call.result = std::atoi(line.c_str() + 7);
        } else if (line.compare(0, 3, "buf") == 0 && line.find(' ') != std::string::npos) {
            call.bufs.push_back(FromHex(line.substr(line.find(' ') + 1)));
        }
        at = end + 1;
    }
    return call;
}

inline std::string Qvinst32() { return qvaid::BuildPath("setup\\qvinst32.dll"); }

inline ExportCall CallSetup(const std::string& name, const std::vector<std::string>& args) {
    return CallExport(Qvinst32(), name, args);
}

}  // namespace qvsetup
