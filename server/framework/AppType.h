#pragma once
// A kind of service, made once by the service's package: its configuration,
// debug requests, log and own profile. It makes the running definition.
#include "QvWindows.h"
#include "BaseItem.h"
#include "Profile.h"

class APPCFG;
class APPDEBUG;
class APPLOG;
class APPDEFINITION;
class LOGFILE;

class APPTYPE : public STORABLE {
public:
    explicit APPTYPE(const char* name);
    ~APPTYPE() override = 0;

    virtual APPDEFINITION* CreateAppDefinition() = 0;
    virtual void CacheClear() {}
    virtual BBOOL CacheWrite(const char* fileName, BBOOL detail, BBOOL second) { return FALSE; }

    // Sets the log up: with a shared log writes there, else an own file
    // backed up through the type's profile ("Backup Files"); full logging
    // from the configuration.
    BBOOL SetupLogfile(LOGFILE* shared);

    char name[64];
    PROFILE profile;        // the service's own INI file
    APPCFG* config;
    APPDEBUG* debug;        // null when the service takes no debug requests
    APPLOG* log;
    volatile BBOOL statusDisplay;  // "Application Status": finished requests shown too
    APPDEFINITION* cacheDefinition;  // the definition that owns the cache, else null
    APPDEFINITION* definition;       // set while the manager holds the type's definition
};

// Filled by each service's package initialiser; null when not linked in.
extern APPTYPE* _pHTTPAppType;
extern APPTYPE* _pTELNETAppType;
extern APPTYPE* _pFTPAppType;
extern APPTYPE* _pNNTPAppType;
extern APPTYPE* _pPOPAppType;
extern APPTYPE* _pSMTPAppType;
