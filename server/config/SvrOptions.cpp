#include "SvrOptions.h"

#include <cstring>

// First bodies: the records at construction; the operations follow.

ADMINOPTIONS::ADMINOPTIONS() : password{} {}
int ADMINOPTIONS::EncodePassword(BUFFER& out) {
    if (out.data && out.length > 0) out.data[0] = 0;
    return 0;
}
BBOOL ADMINOPTIONS::DecodePassword(const char*) { return TRUE; }

USEROPTIONS::USEROPTIONS() : ownerName{}, users(TRUE) { users.freeOnDestroy = TRUE; }
USEROPTIONS::~USEROPTIONS() {}
void USEROPTIONS::UpdateOwnerName(const char*) {}
void USEROPTIONS::UpdatePermittedUserList(APPUSER*, BBOOL) {}
BBOOL USEROPTIONS::FindAppUser(APPUSER*) { return FALSE; }
APPUSER* USEROPTIONS::GetAppUser() {
    APPUSER* u = new APPUSER();
    u->prepare();
    return u;
}

SVROPTIONS::SVROPTIONS() {}
SVROPTIONS::~SVROPTIONS() {}
void SVROPTIONS::UpdateAppCacheOptions(void*) {}
void SVROPTIONS::UpdateAppProxiesOptions(void*) {}
void SVROPTIONS::UpdateAppServerOptions(void*) {}
