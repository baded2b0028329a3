#pragma once
// The gateway's own site as files: page names mapped to paths and content
// types through the main profile's "Local Files", page files read into cache
// objects, and the proxy auto-configuration script made from "proxy.pas".
#include "HttpObject.h"

class PROFILE;

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

    // Pages are read whole at every request: nothing here changes after construction.
    char documentDirectory[256];
    char configDirectory[256];
    PROFILE* localFiles;
};

// Page names that stay inside the page directory.
BBOOL IsSafePageName(const char* name);
