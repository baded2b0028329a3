// The dialogs behind the main window's seams.
#include "ConsoleDialogs.h"

#include "ControlBox.h"
#include "DialogCommands.h"
#include "FormApp.h"
#include "LinkInterface.h"
#include "LoginDlg.h"
#include "PgmThread.h"
#include "ProgressDlg.h"
#include "StartupDlg.h"

namespace {

// Runs on the dialing thread, which the remote-access layer may have started itself.
int login(FORMAPP* form, LINKINTERFACE* line, BUFFER& userName, BUFFER& password, BUFFER& domain) {
    PGMTHREADSCOPE programThread;
    return RunLoginDialog(form, line ? line->name : "", userName, password, domain);
}

// A text updates the registered box; null closes and forgets it; nothing registered: ignored.
BOOL progress(FORMAPP* form, const char* text) {
    PROGRESSDLG* box = static_cast<PROGRESSDLG*>(form->progressDialog);
    if (!box) return FALSE;
    if (text) {
        box->UpdateProgress(text);
        return TRUE;
    }
    form->progressDialog = nullptr;
    box->Close(TRUE);
    return TRUE;
}

}  // namespace

CONSOLEDIALOGS _ConsoleDialogs = {RunSplash, login, DisplayControlBox, progress, DialogMenuCommand};
