#include "AppConnection.h"

#include "AppDefinition.h"
#include "AppRequest.h"
#include "AppUser.h"
#include "SvrSystem.h"
#include "TextHelpers.h"

APPCONNECTION::APPCONNECTION(APPDEFINITION* def, LINKCONTROL& control, const char* transportName, const char* n,
                             const char* p, const char* t)
    : DATACONNECTION(control, transportName, n, p, t), definition(def), currentRequest(nullptr), loginState(0),
      user(nullptr), userOwned(0), loginName{}, dialUp(0), serviceWord(0) {}

APPCONNECTION::APPCONNECTION(const APPCONNECTION& primary, BBOOL isAuxPort, BBOOL serviceFlag)
    : DATACONNECTION(primary, isAuxPort, serviceFlag), definition(primary.definition), currentRequest(nullptr),
      loginState(0), user(nullptr), userOwned(0), loginName{}, dialUp(0), serviceWord(0) {}

APPCONNECTION::~APPCONNECTION() {
    if (loginState == LOGIN_IN || user) SetLoginUser(nullptr, nullptr, nullptr);
}

int APPCONNECTION::SetLoginUser(const char* address, const char* name, const char* password) {
    if (!address) {
        if (loginState == LOGIN_IN && definition) loginState = definition->UserLogin(this, FALSE);
        if (APPUSER* u = user) {
            user = nullptr;
            const BBOOL owned = userOwned;
            userOwned = FALSE;
            // A listed user stays unless it was made to go once nobody uses it.
            if (owned || (u->removeWhenFree && u->inUse == 0)) u->freeobj();
        }
        return (int)loginState;
    }
    if (name) _strzcpy(loginName, name, sizeof loginName);
    if (definition) loginState = definition->UserLogin(this, TRUE);
    if (loginState == LOGIN_IN && !user) {
        APPUSER* temporary = nullptr;
        if (_pSvr && (_pSvr->corvath || _pSvr->tessimara)) temporary = new APPUSER(address, name, password, TRUE);
        if (temporary) {
            temporary->prepare();
            temporary->removeWhenFree = TRUE;
            user = temporary;
            userOwned = TRUE;
        } else {
            if (definition) definition->UserLogin(this, FALSE);
            loginState = LOGIN_NO_USER;
        }
    }
    return (int)loginState;
}

const char* APPCONNECTION::GetApplicationType() { return definition ? definition->name : nullptr; }

APPREQUEST* APPCONNECTION::TakeCurrentRequest(BBOOL detach) {
    DATAREQBASE::EnterRelease();
    APPREQUEST* r = currentRequest;
    if (r) r->prepare();
    if (detach) currentRequest = nullptr;
    DATAREQBASE::LeaveRelease();
    return r;
}
