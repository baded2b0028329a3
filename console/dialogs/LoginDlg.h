#pragma once
// The dial-up login prompt (1051): the connection's name, its user id and
// password. Runs modally on the dialing thread, owned by the main window.
#include "BaseItem.h"
#include "DialogBases.h"
#include "zString.h"

class USERLOGINDLG : public FORMDLGBASE {
public:
    // Builds, shows and runs the prompt; done tells whether OK ended it.
    USERLOGINDLG(zWindow* parent, int dialogId, const char* connection, BUFFER& userId, BUFFER& password,
                 BUFFER& extra);
    int doOk(zEvent* e);

    zString spare, userId, password, extra;
    BOOL done;
};

// The main window's login prompt: 1 with the buffers filled, 0 on Cancel (they stay as they were).
int RunLoginDialog(zWindow* owner, const char* connection, BUFFER& userId, BUFFER& password, BUFFER& extra);
