#include "AppType.h"

#include "AppCfg.h"
#include "AppLog.h"
#include "TextHelpers.h"

APPTYPE* _pHTTPAppType = nullptr;
APPTYPE* _pTELNETAppType = nullptr;
APPTYPE* _pFTPAppType = nullptr;
APPTYPE* _pNNTPAppType = nullptr;
APPTYPE* _pPOPAppType = nullptr;
APPTYPE* _pSMTPAppType = nullptr;

APPTYPE::APPTYPE(const char* n)
    : name{}, config(nullptr), debug(nullptr), log(nullptr), statusDisplay(0), cacheDefinition(nullptr),
      definition(nullptr) {
    _strzcpy(name, n ? n : "", sizeof name);
}

APPTYPE::~APPTYPE() {}

BBOOL APPTYPE::SetupLogfile(LOGFILE* shared) {
    if (!log) return FALSE;
    BBOOL ok = log->SetupLogfile(shared, shared ? nullptr : &profile, config ? (int)config->backupFiles : 0);
    if (ok && config) log->fullLogging = config->fullLogging;
    return ok;
}
