#pragma once
// The gateway site's status, schedule, log, profile and trace commands, in
// the handler forms of the site's command tables (LocalSite.h). Each runs on
// the HTTP worker that serves the browser's request.
#include "LocalSite.h"

class HTTPRESPONSE;

// Pages: a new uncached object with a reference for the caller, or null.
HTTPOBJECT* localConnStatus(LOCALCALL& call, const char* key, const char* argument);
HTTPOBJECT* localRequestList(LOCALCALL& call, const char* key, const char* argument);
HTTPOBJECT* localRequestRemoveList(LOCALCALL& call, const char* key, const char* argument);

// Cancels the scheduled request numbered by the argument (hexadecimal) with
// those that share its root, rewrites the request file, and redirects to the
// removal list whatever was found.
HTTPRESPONSE* localRequestRemoveItem(LOCALCALL& call, const char* key, const char* argument);

// Files served from the configuration directory: a copy of the system log,
// the main profile (by its full path), the trace table.
char* localGatewayLog(LOCALCALL& call, const char* key, const char* argument, BUFFER& name);
char* localGatewayProfile(LOCALCALL& call, const char* key, const char* argument, BUFFER& name);
char* localGatewayTrace(LOCALCALL& call, const char* key, const char* argument, BUFFER& name);

// The schedule form: a GET answers the form page, a POST schedules the
// request its fields describe and answers the confirmation or the problem.
HTTPRESPONSE* localSubmitRequest(LOCALCALL& call, const char* key, const char* form);
