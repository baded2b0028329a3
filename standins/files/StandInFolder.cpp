#include "StandInFolder.h"

#include "QvWindows.h"
#include "StandInFormat.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace standin {

std::string ModulePath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(&__ImageBase), path, sizeof path);
    return std::string(path, n < sizeof path ? n : 0);
}

std::string Folder() {
    char value[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(kFolderVariable, value, sizeof value);
    std::string dir;
    if (n > 0 && n < sizeof value) {
        dir.assign(value, n);
    } else {
        dir = ModulePath();
        dir.erase(dir.find_last_of('\\') + 1);
    }
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    return dir;
}

std::string FolderFile(const char* name) { return Folder() + name; }

}  // namespace standin
