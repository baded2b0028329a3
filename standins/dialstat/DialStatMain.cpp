// dialstat.exe <caller pid>: the status windows of the dial stack that
// dialstk.dll runs for that caller (see StatusWindows.h).
#include <cstdlib>

#include "DialStackLink.h"
#include "QvWindows.h"
#include "StatusWindows.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    DWORD caller = DWORD(std::strtoul(argv[1], nullptr, 10));
    standin::DialStackLink link(caller, false);
    if (!link.Ready()) return 3;
    HANDLE callerProcess = OpenProcess(SYNCHRONIZE, FALSE, caller);
    standin::StatusWindows windows(link);
    if (!windows.Open()) {
        link.Set(standin::DialStackLink::Offline);
        return 4;
    }
    int rc = windows.Run(callerProcess);
    if (callerProcess) CloseHandle(callerProcess);
    return rc;
}
