#include "DirectoryRemoval.h"

#include <cstring>
#include <string>

#include "QvWindows.h"
#include "TextHelpers.h"

namespace {

const char* const kWorkFiles[] = {"_INS0432._QV", "_INZ0432._QV"};

void StripTrailingBackslash(char* path) {
    if (LastChar(path, '\\')) path[std::strlen(path) - 1] = 0;
}

bool IsRoot(const char* path) {
    if (!path[0]) return true;
    if (path[0] && path[1] == ':') return path[2] == 0 || (path[2] == '\\' && path[3] == 0);
    // "\\server\share" with at most a closing backslash.
    int parts = 0;
    for (const char* p = path + 2; *p; p++)
        if (*p == '\\' && p[1]) parts++;
    return parts < 2;
}

// True when dir is that directory or holds it.
bool Covers(const char* dir, const char* other) {
    size_t n = std::strlen(dir);
    if (n > std::strlen(other) || CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, dir, int(n), other, int(n)) != CSTR_EQUAL)
        return false;
    return other[n] == 0 || other[n] == '\\';
}

}  // namespace

BBOOL CheckRemovalPath(const char* commandLine, char* directory) {
    directory[0] = 0;
    if (!commandLine) return 0;
    std::string path(commandLine);
    while (!path.empty() && (path.back() == ' ' || path.back() == '\t')) path.pop_back();
    path.erase(0, path.find_first_not_of(" \t"));
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    if (path.empty() || path.size() >= size_t(REMOVAL_PATH_SIZE)) return 0;
    bool drive = ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z' && path[1] == ':' &&
                  (path[2] == '\\' || path[2] == '/'));
    bool share = (path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.');
    if (!drive && !share) return 0;
    char full[REMOVAL_PATH_SIZE];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) return 0;
    if (!IsRoot(full)) StripTrailingBackslash(full);
    if (IsRoot(full)) return 0;
    char system[MAX_PATH];
    UINT (WINAPI* const places[])(LPSTR, UINT) = {GetWindowsDirectoryA, GetSystemDirectoryA};
    for (auto place : places) {
        UINT got = place(system, sizeof system);
        if (got > 0 && got < sizeof system && Covers(full, system)) return 0;
    }
    _strzcpy(directory, full, REMOVAL_PATH_SIZE);
    return 1;
}

void SplitName(const char* path, char* head, char* tail, char separator) {
    const char* p = path + std::strlen(path);
    while (p > path) {
        const char* prev = CharPrevA(path, p);
        if (*prev == separator && !IsDBCSLeadByte(BYTE(*prev))) {
            size_t n = size_t(prev - path) + 1;
            std::memcpy(head, path, n);
            head[n] = 0;
            std::strcpy(tail, prev + 1);
            return;
        }
        if (prev == p) break;
        p = prev;
    }
    head[0] = 0;
    std::strcpy(tail, path);
}

int LastChar(const char* text, char c) {
    if (!text || !*text) return 0;
    const char* last = text;
    for (const char* p = text; *p; p = CharNextA(p)) last = p;
    return *last == c && !IsDBCSLeadByte(BYTE(*last)) ? 1 : 0;
}

int ClearDirectory(const char* directory) {
    std::string dir(directory);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) search = FindFirstFileA((dir + "\\*.").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 1;
    do {
        if (!std::strcmp(found.cFileName, ".") || !std::strcmp(found.cFileName, "..")) continue;
        std::string path = dir + "\\" + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ClearDirectory(path.c_str());
            RemoveDirectoryA(path.c_str());
        } else {
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return 1;
}

int DeleteDirectories(char* directory) {
    StripTrailingBackslash(directory);
    ClearDirectory(directory);
    if (GetFileAttributesA(directory) == INVALID_FILE_ATTRIBUTES) return 1;
    char parent[REMOVAL_PATH_SIZE], name[REMOVAL_PATH_SIZE];
    SplitName(directory, parent, name, '\\');
    // "C:" alone would name the drive's current directory, not its root.
    if (!IsRoot(parent)) StripTrailingBackslash(parent);
    // The parent becomes current, so this process does not hold the directory.
    SetCurrentDirectoryA(parent);
    for (const char* work : kWorkFiles) DeleteFileA(work);
    return RemoveDirectoryA(directory);
}
