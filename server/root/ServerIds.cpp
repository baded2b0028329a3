#include "ServerIds.h"

#include "QvWindows.h"
#include "LookupTable.h"
#include "SpControl.h"

namespace {
struct DEFAULTTEXT {
    int id;
    const char* text;
};

const DEFAULTTEXT DEFAULT_TEXTS[] = {
    {IDS_ALERT_CAPTION, "Quorvane Steadfell Alert"},
    {IDS_EDITOR, "notepad.exe"},
    {IDS_UNABLE_TO_START, "Unable to Start Quorvane: "},
    {IDS_NO_ACTIVE_APPS, "There are no active applications!"},
    {IDS_NO_APPLICATIONS, "Unable to start server applications!"},
    {IDS_CACHE_INVALID, "The cache directory is invalid!"},
    {IDS_NO_TCPIP, "Cannot establish TCP/IP interface!"},
    {IDS_ABEND,
     "ATTENTION: Quorvane has encountered a system error and cannot continue! Please record code '%s-%X' and "
     "contact Brellix Software Technical Support."},
    {IDS_DEBUG_CAPTION, "DEBUG: Submit a Command"},
    {IDS_INVALID_REQUEST, "Invalid Request!"},
    {IDS_RELOAD_CAPTION, "Reload an Application"},
    {IDS_RELOAD_FAILED, "Unable to reconnect to %s!"},
    {IDS_READY, "%s is now ready."},
    {IDS_SHUTDOWN_CAPTION, "Continue with System Shutdown?"},
    {IDS_ACTIVE_REQUESTS,
     "Active requests will be terminated if you continue. Do you want to continue with shutdown?"},
    {IDS_LINE_CONNECTED,
     "Your Internet connection will be disconnected if you continue. Do you want to continue with shutdown?"},
    {IDS_CACHE_CONVERTING, "Updating cache to new version ... please stand by."},
    {IDS_CACHE_UPDATING,
     "Your cache is being updated. Cached objects may be lost if you continue. Do you want to continue with "
     "shutdown?"},
    {IDS_INVALID_VALUE, "Invalid profile value for "},
    {IDS_APP_STARTING, "Starting application "},
    {IDS_APP_STOPPING, "Stopping application "},
    {IDS_APP_START_FAILED, "WARNING: Unable to start application "},
    {IDS_APP_ABNORMAL_END, "WARNING: Abnormal termination of application "},
    {IDS_MAIN_INI, "QUORHUB.INI"},
    {IDS_CACHE_CONTENTS, "Contents of the %s cache ..."},
    {IDS_CACHE_REMOVE_ITEMS, "Remove items from the %s Cache ..."},
    {IDS_CACHE_SITE_CONTENTS, "Contents of the cached site %s ..."},
    {IDS_CACHE_SITE_REMOVE, "Remove items from the cached site %s ..."},
};
}  // namespace

const char* ServerText(int id) {
    if (_pSupport) {
        const char* s = _pSupport->module.GetRCString(id);
        if (s && *s) return s;
    }
    for (const DEFAULTTEXT& d : DEFAULT_TEXTS)
        if (d.id == id) return d.text;
    return "";
}
