#pragma once
// Text logs with time-stamped lines, optional dated backups recorded in a
// profile, and the help-viewer helper of the same family.
#include "QvWindows.h"

#include <cstdio>

#include "BaseItem.h"
#include "QvBase.h"
#include "Semaphore.h"

class PROFILE;

// The letter written after a backslash for BEL, BS, FF, LF, CR, TAB, VT and
// the backslash itself; 0 for every other byte.
char ControlEscapeLetter(unsigned char c);

class LOGBACKUP {
public:
    int enabled;
    int count;
    PROFILE* profile;
    char logName[256];
    char section[256];
    char keyPrefix[12];

    LOGBACKUP(const char* logName, PROFILE* profile, int count);

    BBOOL EnableBackup(PROFILE* profile, int count);
    // Writes today's file name into name; length becomes the name's length + 1.
    char* CreateBackupName(BUFFER& name);
    // Records fileName in the history; dropped receives a name pushed out, or "".
    BBOOL SaveToProfile(const char* fileName, BUFFER& dropped);
    // True when fileName has the shape of a name this backup creates.
    BBOOL IsBackupName(const char* fileName) const;
};

class LOGFILE {
public:
    unsigned long signature;
    FILE* file;
    char fileName[256];
    char baseName[64];
    char title[128];
    char header[128];
    LOGBACKUP* backup;
    int translate;

    LOGFILE(const char* name, const char* title = nullptr);
    virtual ~LOGFILE();

    BBOOL Open(BBOOL truncate);
    void Close();
    void Clear();
    BBOOL Write(const char* text1, const char* text2 = nullptr);
    void FlushLog();
    BBOOL FileCopy(const char* destination);
    void SetTitle(const char* title, const char* suffix = nullptr);
    void SetHeader(const char* header, const char* suffix = nullptr);
    BBOOL EnableBackup(PROFILE* profile, int count);
    BBOOL IsOwner();
    BBOOL IsOpen() const { return file != nullptr; }

    void outputMessage(const char* text1, const char* text2);
    void writeTranslatedMsg(const char* text);
    BBOOL closeFile();

    // Lines, opening, closing and copying are serialised: workers write while
    // the GUI thread reopens the system log at midnight. Recursive.
    MSEMAPHORE lock;

private:
    void closeLocked();
    BBOOL openLocked(BBOOL truncate);

    LOGFILE(const LOGFILE&) = delete;
    LOGFILE& operator=(const LOGFILE&) = delete;
};

class HELPFILE {
public:
    HWND window;
    int context;
    int helpShown;
    char helpFile[256];
    char caption[128];

    HELPFILE(const char* helpFile, const char* caption, int context);
    ~HELPFILE();

    BBOOL InitHelp();
    BBOOL DisplayIndex();
    BBOOL DisplaySysTop(int command);
    BBOOL DisplayTopic(int topic);
    void SetWindow(HWND window);
};
