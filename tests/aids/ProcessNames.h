#pragma once
// Which program a process runs, for the aids that act on another program's windows.
#include "QvWindows.h"
#include <tlhelp32.h>

#include <cstring>
#include <string>

namespace qvaid {

// The file name of a process's program, "" when the process is gone.
inline std::string ProgramOf(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return "";
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    std::string name;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID != pid) continue;
        const char* slash = std::strrchr(entry.szExeFile, '\\');
        name = slash ? slash + 1 : entry.szExeFile;
        break;
    }
    CloseHandle(snapshot);
    return name;
}

}  // namespace qvaid
