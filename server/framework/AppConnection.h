#pragma once
// A data connection that belongs to a service and knows its logged-in user.
#include "QvWindows.h"
#include "DataConnection.h"

class APPDEFINITION;
class APPREQUEST;
class APPUSER;

// Login states of a connection.
enum APPLOGINSTATE {
    LOGIN_NONE = 0,
    LOGIN_IN = 1,
    LOGIN_NO_USER = 2,      // no user record
    LOGIN_NOT_PERMITTED = 3,  // refused by the TCP layer's permitted users
    LOGIN_USER_LIMIT = 4,
    LOGIN_NOT_READY = 5     // server not ready, or closing
};

class APPCONNECTION : public DATACONNECTION {
public:
    APPCONNECTION(APPDEFINITION* definition, LINKCONTROL& control, const char* transportName, const char* name,
                  const char* port, const char* linkType);
    // A secondary of primary, in the same service.
    APPCONNECTION(const APPCONNECTION& primary, BBOOL isAuxPort, BBOOL serviceFlag);
    ~APPCONNECTION() override;  // logs out a logged-in user

    QV_ITEM_IDENTITY(APPCONNECTION, "APPCONNECTION", "APCN")

    virtual long GetResultCount() { return 0; }
    virtual long GetResultTotal() { return 0; }

    // Logs in under address (null logs out); returns the new login state.
    int SetLoginUser(const char* address, const char* loginName, const char* password);
    // The service's name, or null without a definition.
    const char* GetApplicationType();
    // The current request with a reference of the caller's, or null; detach
    // also clears currentRequest. Taken under the release lock that the
    // request's free clears currentRequest in, so a worker freeing it meanwhile cannot.
    APPREQUEST* TakeCurrentRequest(BBOOL detach = FALSE);

    APPDEFINITION* definition;
    APPREQUEST* currentRequest;  // the request that first attached itself and still holds it
    long loginState;
    APPUSER* user;
    BBOOL userOwned;  // the connection made the user and releases it
    char loginName[64];
    BBOOL dialUp;     // the client came in over a dial-up line
    long serviceWord;
};
