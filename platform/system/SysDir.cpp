#include "SysDir.h"

#include <direct.h>
#include <dirent.h>

#include <cerrno>
#include <cstring>

#include "TextHelpers.h"

namespace {
// Drive number 1..26 of a letter, 0 for anything else.
int DriveOf(const char* drive) {
    if (!drive) return 0;
    char c = drive[0];
    if (c >= 'a' && c <= 'z') return c - 'a' + 1;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
    return 0;
}

// The directory a path means: the text before its last backslash for a file.
bool DirectoryOf(const char* path, BBOOL parentOfFile, char* out, int size) {
    if (!path || !*path) return false;
    _strzcpy(out, path, size);
    if (parentOfFile) {
        char* cut = std::strrchr(out, '\\');
        if (cut) *cut = 0;
    }
    return *out != 0;
}
}  // namespace

BBOOL SYSDIR::Open(const char* path) {
    Close();
    stream = path ? opendir(path) : nullptr;
    status = stream ? 0 : errno;
    return stream != nullptr;
}

char* SYSDIR::Read() {
    if (!stream) return nullptr;
    errno = 0;
    dirent* e = readdir(static_cast<DIR*>(stream));
    if (!e) {
        status = errno;
        return nullptr;
    }
    _strzcpy(name, e->d_name, sizeof name);
    return name;
}

void SYSDIR::Close() {
    if (stream) closedir(static_cast<DIR*>(stream));
    stream = nullptr;
}

BBOOL SYSDIR::Create(const char* path, BBOOL parentOfFile) {
    char dir[260];
    return DirectoryOf(path, parentOfFile, dir, sizeof dir) && _mkdir(dir) == 0;
}

BBOOL SYSDIR::Delete(const char* path, BBOOL parentOfFile) {
    char dir[260];
    return DirectoryOf(path, parentOfFile, dir, sizeof dir) && _rmdir(dir) == 0;
}

char* SYSDIR::GetDrive(const BUFFER& out) {
    if (!out.data || out.length < 1) return out.data;
    int d = _getdrive();
    if (d >= 1 && d <= 26 && out.length >= 2) {
        out.data[0] = char('A' + d - 1);
        out.data[1] = 0;
    } else {
        out.data[0] = 0;
    }
    return out.data;
}

char* SYSDIR::GetPath(const char* drive, const BUFFER& out, BBOOL withDrive) {
    if (!out.data || out.length < 1) return out.data;
    int d = DriveOf(drive);
    if (!d) d = _getdrive();
    char* p = out.data;
    int room = (int)out.length;
    if (withDrive && room > 3 && d >= 1 && d <= 26) {
        p[0] = char('A' + d - 1);
        p[1] = ':';
        p[2] = '\\';
        p += 3;
        room -= 3;
    }
    *p = 0;
    char cwd[260];
    if (_getdcwd(d, cwd, sizeof cwd)) {
        // The drive's own "X:\" is not part of the directory.
        const char* dir = cwd;
        if (dir[0] && dir[1] == ':') dir += 2;
        if (*dir == '\\') ++dir;
        _strzcpy(p, dir, room);
    }
    return out.data;
}

int SYSDIR::SetDrive(const char* drive) {
    int d = DriveOf(drive);
    if (!d) return -1;
    return _chdrive(d);
}

BBOOL SYSDIR::SetPath(const char* path) { return path && _chdir(path) == 0; }
