#pragma once
// An entry of the permitted-user chain: an authorized user matched by the
// client's address, exactly or, for an address ending in ".*", by its prefix.
#include "QvWindows.h"
#include "AppUser.h"

class TCPDEFINITION;

class TCPUSER : public APPUSER {
public:
    TCPUSER(const char* address, const char* name, BBOOL removeWhenFree);
    explicit TCPUSER(const APPUSER& user);
    // Leaves the permitted-user chain when it was made from a template.
    ~TCPUSER() override;

    QV_ITEM_IDENTITY(TCPUSER, "TCPUSER", "tcUS")

    const char* GetRealAddress() override { return resolvedAddress; }

    // "a.b.c.*" becomes the template "a.b.c." (templateLength 6); "*.*" the
    // template "*." that matches all; anything else is an exact entry.
    void checkTemplateAddress();
    BBOOL IsTemplate() const { return templateLength > 0; }
    // A client address matches the template.
    BBOOL MatchesTemplate(const char* client) const;

    char resolvedAddress[16];  // dotted; empty until resolved (under the chain's lock)
    long templateLength;
    TCPDEFINITION* definition;  // the definition that made it from a template
    bSPOINTER* chainNode;       // its cell in the chain when made from a template
    unsigned long failedAt;     // tick of the last failed look-up; 0 = none
};
