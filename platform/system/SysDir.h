#pragma once
// Small directory utility: listing, making and removing directories, and the
// current drive and directory.
#include "BaseItem.h"

class SYSDIR {
public:
    void* stream;  // the runtime's open listing, or null
    char name[256];
    long reserved;
    long status;  // error of the last listing step, 0 when none

    SYSDIR() : stream(nullptr), reserved(0), status(0) { name[0] = 0; }
    ~SYSDIR() { Close(); }
    SYSDIR(const SYSDIR&) = delete;
    SYSDIR& operator=(const SYSDIR&) = delete;

    BBOOL Open(const char* path);
    // The next entry's name (kept until the next call), null at the end.
    char* Read();
    void Close();
    long Query() const { return status; }

    // With parentOfFile, path names a file: its directory is meant.
    static BBOOL Create(const char* path, BBOOL parentOfFile);
    static BBOOL Delete(const char* path, BBOOL parentOfFile);
    // "C" and a terminator; empty when the drive is not a letter.
    static char* GetDrive(const BUFFER& out);
    // The current directory of the drive named by drive's first letter (the
    // current drive otherwise), after "X:\" with withDrive; empty directory
    // part when it cannot be read.
    static char* GetPath(const char* drive, const BUFFER& out, BBOOL withDrive);
    static int SetDrive(const char* drive);       // -1 for anything but a letter
    static BBOOL SetPath(const char* path);       // TRUE when it is now current
};
