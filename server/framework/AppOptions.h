#pragma once
// Option records copied by value between the server options and the
// services' definitions; the services give the fields their meaning.
#include "QvBase.h"

// Cache settings; sizes in kilobytes (the cache keeps bytes).
struct APPCACHE {
    BBOOL enabled = 0;
    BBOOL result = 0;           // set by the service when an update or import failed
    BBOOL importRequested = 0;  // the service imports from importDirectory when applied
    char importDirectory[256] = {};  // a directory, optionally "," and a second part
    char cacheDirectory[256] = {};
    long memoryMaxKB = 0;
    long memoryLargestKB = 0;
    long diskMaxKB = 0;
    long diskLargestKB = 0;
    long updateMode = 1;  // 0 every request, 1 once after start, 2 after updateMinutes
    long updateMinutes = 0;
    BBOOL multipleSubdirectories = 0;
    BBOOL validateAtStart = 0;
    BBOOL keepExpired = 0;
    BBOOL removeOlder = 0;
    long keepExpiredMinutes = 0;
    long removeOlderMinutes = 0;
};

// Upstream proxy settings.
struct APPPROXIES {
    BBOOL useProxy = 0;
    char httpHost[256] = {};
    char ftpHost[256] = {};
    char securityHost[256] = {};
    long httpPort = 0;
    long ftpPort = 0;
    long securityPort = 0;
    BBOOL httpRemote = 0;
    BBOOL ftpRemote = 0;
    BBOOL securityRemote = 0;
};

// The [Application Servers] texts.
struct APPSERVERS {
    char nntpServer[256] = {};
    char pop3Server[256] = {};
    char smtpServer[256] = {};
    char telnetServer[256] = {};
    char mailAddress[256] = {};
};
