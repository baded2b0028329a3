#include "AppLog.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "LogFile.h"
#include "ServerIds.h"
#include "TextHelpers.h"

APPLOG::APPLOG(const char* n) : name{}, fullLogging(1), ownFile(0), loggingOn(0), log(nullptr) {
    _strzcpy(name, n ? n : "", sizeof name);
}

APPLOG::~APPLOG() {
    if (ownFile) delete log;
}

BBOOL APPLOG::SetupLogfile(LOGFILE* shared, PROFILE* backupProfile, int backupCount) {
    if (shared) {
        if (ownFile) delete log;
        ownFile = FALSE;
        log = shared;
    } else if (!ownFile) {
        LOGFILE* own = new (std::nothrow) LOGFILE(name, ServerText(IDS_TITLE));
        if (!own) return FALSE;
        if (backupProfile && backupCount > 0) own->EnableBackup(backupProfile, backupCount);
        log = own;
        ownFile = TRUE;
    }
    log->translate = 1;
    return TRUE;
}

void APPLOG::SetLogging(BBOOL on) {
    on = on ? TRUE : FALSE;
    if (!log || on == loggingOn) return;
    loggingOn = on;
    if (!ownFile) return;
    if (on) log->Open(FALSE);
    else log->Close();
}

BBOOL APPLOG::LogMsg(const char* text, const char* detail) {
    if (!log || !loggingOn) return 0;
    return log->Write(text, detail);
}

BBOOL APPLOG::CreateTmpLogFile(BUFFER& out) {
    const int suffix = 5;  // ".TMP" and the terminator
    if (!out.data || out.length < suffix || !log) return FALSE;
    _strzcpy(out.data, name, (int)out.length - suffix + 1);
    std::strcat(out.data, ".TMP");
    return log->FileCopy(out.data);
}

BBOOL APPLOG::LogRequest(APPREQUEST*, long, const char*, const char*) { return FALSE; }
