#pragma once
// Options the administrator changes while the server runs, pushed to every
// service definition: password, authorized users, owner name, cache, proxy
// and application-server records.
#include "QvWindows.h"
#include "BaseItem.h"
#include "Chain.h"
#include "AppOptions.h"
#include "AppUser.h"

class ADMINOPTIONS {
public:
    ADMINOPTIONS();
    // The stored (scrambled, printable) form into out; its length, 0 for none.
    int EncodePassword(BUFFER& out);
    BBOOL DecodePassword(const char* text);

    char password[64];  // plain text in memory
};

class USEROPTIONS {
public:
    USEROPTIONS();
    ~USEROPTIONS();

    void UpdateOwnerName(const char* name);
    void UpdatePermittedUserList(APPUSER* user, BBOOL remove);
    BBOOL FindAppUser(APPUSER* user);
    // A new prepared user the caller owns.
    APPUSER* GetAppUser();

    char ownerName[256];
    CHAIN<APPUSER> users;  // the authorized users, oldest first
};

class SVROPTIONS : public STORABLE {
public:
    SVROPTIONS();
    ~SVROPTIONS() override;

    QV_ITEM_IDENTITY(SVROPTIONS, "SVROPTIONS", "SVOT")

    // Called with the definition lock held; gives it up around each update.
    void UpdateAppCacheOptions(void* cache);
    void UpdateAppProxiesOptions(void* proxies);
    void UpdateAppServerOptions(void* servers);

    ADMINOPTIONS admin;
    APPCACHE cache;
    APPPROXIES proxies;
    APPSERVERS servers;
    USEROPTIONS users;
};
