// route.exe: changes the simulated default route as the system's ROUTE.EXE
// would (see RouteCommand.h) and journals the raw parameter line.
#include <cstring>
#include <string>

#include "JournalLine.h"
#include "QvWindows.h"
#include "RouteCommand.h"
#include "StandInFormat.h"

namespace {

// The command line after the program name and the blanks that follow it.
std::string Arguments() {
    const char* line = GetCommandLineA();
    if (*line == '"') {
        const char* close = std::strchr(line + 1, '"');
        line = close ? close + 1 : line + std::strlen(line);
    } else {
        while (*line && *line != ' ' && *line != '\t') ++line;
    }
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

}  // namespace

int main() {
    std::string args = Arguments();
    int code = standin::RouteCommand(args).Run();
    standin::JournalLine(standin::kRoute, "ROUTE").Result(code).Field("args", args).Append();
    return code;
}
