#pragma once
// A service's log: a file of its own, or lines in the shared system log.
#include "QvWindows.h"
#include "BaseItem.h"

class LOGFILE;
class PROFILE;
class APPREQUEST;

class APPLOG {
public:
    explicit APPLOG(const char* name);
    virtual ~APPLOG();  // destroys an own log file

    // Without a shared log, makes an own file named after the log (daily
    // backups recorded in backupProfile when backupCount > 0); FALSE without
    // memory. With one, writes there. Control characters are escaped either way.
    BBOOL SetupLogfile(LOGFILE* shared, PROFILE* backupProfile, int backupCount);
    // Opens or closes an own file on a change; the shared log stays as it is.
    void SetLogging(BBOOL on);
    // One line of text and detail; 0 unless logging is on.
    BBOOL LogMsg(const char* text, const char* detail = nullptr);
    // Copies the log to "<name>.TMP"; name receives that file name.
    BBOOL CreateTmpLogFile(BUFFER& name);
    // One line per finished request; the base writes nothing.
    virtual BBOOL LogRequest(APPREQUEST* request, long value, const char* localUser, const char* cacheMark);

    char name[256];
    BBOOL fullLogging;
    BBOOL ownFile;
    volatile BBOOL loggingOn;  // set by the control and GUI threads, read by the workers
    LOGFILE* log;

private:
    APPLOG(const APPLOG&) = delete;
    APPLOG& operator=(const APPLOG&) = delete;
};
