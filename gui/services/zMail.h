#pragma once
// Sends a message with the user's mail client through Simple MAPI, bound from
// "mapi32.dll" at run time so that a machine without mail still runs. The
// message carries the note and attachments only: the client's own dialog
// (MAPI_DIALOG) lets the user add recipients and a subject. GUI thread.
#include "QvWindows.h"

#include <mapi.h>

#include "ZKCString.h"
#include "ZKTPtrList.h"

class zMail {
public:
    zMail();
    ~zMail();
    zMail(const zMail&) = delete;
    zMail& operator=(const zMail&) = delete;

    // The library and both entries were found.
    int isValid() const { return valid_; }
    // MAPISendMail's result (SUCCESS_SUCCESS, 0, when sent). Without the library
    // MAPI_E_FAILURE; when logging on fails twice, the second logon's code.
    // An empty path attaches nothing.
    ULONG send(const ZKCString& text, const ZKCString& path);
    ULONG send(const ZKCString& text, ZKTPtrSlist<ZKCString>& paths);

private:
    ULONG logon();
    ULONG sendWith(const ZKCString& text, MapiFileDesc* files, ULONG count);

    HMODULE lib_ = nullptr;
    // Once a logon has failed, later ones ask for a new session from the start.
    ULONG logonFlags_ = MAPI_LOGON_UI;
    MapiMessage message_ = {};
    int valid_ = 0;
    LPMAPISENDMAIL sendMail_ = nullptr;
    LPMAPILOGON logon_ = nullptr;
    LHANDLE session_ = 0;
};
