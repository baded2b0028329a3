#pragma once
// The gateway's own site as files: page names mapped to paths and content
// types through the main profile's "Local Files", page files read into cache
// objects, and the proxy auto-configuration script made from "proxy.pas".
// Its operations keep no state of their own and may run on any worker.
#include "HttpObject.h"
#include "LookupTable.h"

class PROFILE;
class APPREQUEST;
class HTTPREQUEST;
class HTTPRESPONSE;
class HTTPLOCALSITE;
struct GATEWAYNAMES;

// What a command of the site works with.
struct LOCALCALL {
    HTTPLOCALSITE* site;
    HTTPREQUEST* request;
    APPREQUEST* process;         // the browser's request process; may be absent
    const GATEWAYNAMES* names;   // where the client reached the gateway
};

// The three forms of command handlers: a page (a filled object with a
// reference for the caller), a file name (512 bytes, optionally ",type"), or a
// whole response. Each returns null when it has nothing.
typedef HTTPOBJECT* (*LOCALPAGEPROC)(LOCALCALL& call, const char* key, const char* argument);
typedef char* (*LOCALFILEPROC)(LOCALCALL& call, const char* key, const char* argument, BUFFER& name);
typedef HTTPRESPONSE* (*LOCALRESPONSEPROC)(LOCALCALL& call, const char* key, const char* argument);

// Command rows: key; value = handler or page file name; value2 = the kind
// (0 page, 1 page file, 2 configuration file, 3 file handler, 4 response);
// value3 = content type or null. A null handler has nothing to answer yet.
extern LOOKUPROW _InternalUserFiles[];
extern LOOKUPROW _InternalAdminFiles[];

class HTTPLOCALSITE {
public:
    // Page files come from documentDirectory, or from configDirectory when it is
    // empty; localFiles is the main profile (none: no mapping exists). The
    // texts are copied; the profile must outlive the site.
    HTTPLOCALSITE(const char* documentDirectory, const char* configDirectory, PROFILE* localFiles);

    // The path of a page (and its content type, "application/octet-stream" by
    // default) into path (256 bytes) and type (128 bytes); null with an empty
    // path when the name is null, unsafe or not mapped. A name that could
    // leave the directory ("..", ':' or '\') is never mapped.
    char* getAbsFileName(const char* name, BBOOL mapByProfile, BBOOL configDirectory, BUFFER& path,
                         BUFFER& type);
    // The file's bytes as the object's data (a new uncached object without
    // target, with a reference for the caller), marked complete; with an
    // argument, the first "%s" of the text becomes the argument written as
    // HTML text. Null when the file is missing, empty or unreadable.
    static HTTPOBJECT* bodyFromFile(const char* path, HTTPOBJECT* target, const char* argument);
    // The script with every "%s" the gateway's address and port as the client
    // reached them, padded with blanks to its computed size; a new uncached
    // object with a reference for the caller, or null (no address, no
    // template, more than six '%').
    HTTPOBJECT* BuildGatewayProxyScript(const char* linkAddress, long linkPort);

    // The answer to a request addressed to the gateway, or null when it is not
    // (the request then goes to the cache and the network).
    HTTPRESPONSE* ProcessLocalRequest(LOCALCALL& call);
    // The answer for a site name (or, in a status call, a status key), with
    // argument for its page's "%s"; null when there is none.
    HTTPRESPONSE* ProvideLocalResult(LOCALCALL& call, const char* name, const char* argument, BBOOL statusCall);

    // Pages are read whole at every request: nothing here changes after construction.
    char documentDirectory[256];
    char configDirectory[256];
    PROFILE* localFiles;
    // The decoded administrator password, owned by the server's settings;
    // while it is empty no administration command is served.
    const char* adminPassword;
};

// The zero bytes after a body's text become blanks, so that a page padded to
// its data length carries no NUL.
void PadWithBlanks(HTTPOBJECT& object);

// Page names that stay inside the page directory.
BBOOL IsSafePageName(const char* name);
