#pragma once
// A known user: one of the authorized users, or a temporary one made at login.
#include "QvWindows.h"
#include "BaseItem.h"

class APPUSER : public STORABLE {
public:
    // Null texts give empty ones; texts are cut to their fields.
    APPUSER(const char* address = nullptr, const char* name = nullptr, const char* password = nullptr,
            BBOOL loggedIn = FALSE, BBOOL removeWhenFree = FALSE);
    // Copies the three texts; the removal word and the in-use count start at 0.
    APPUSER(const APPUSER& other);
    ~APPUSER() override;

    QV_ITEM_IDENTITY(APPUSER, "APPUSER", "AUSR")

    // The address the user is matched by.
    virtual const char* GetRealAddress() { return address; }

    char address[128];
    char name[64];
    char password[64];
    BBOOL removeWhenFree;  // released once no connection uses it
    long inUse;            // logins counted on this record; changed under the manager's user lock
};
