#include "SubmitReqDlg.h"

#include <string>

#include "AppDebug.h"
#include "AppType.h"
#include "LocalRequest.h"
#include "SvrSystem.h"
#include "TextHelpers.h"
#include "zButton.h"
#include "zEdit.h"
#include "zIntEdit.h"
#include "zNotify.h"

namespace {
const int COMMAND_EDIT = 2002, FILE_EDIT = 2004, RETRIEVE_BOX = 2201, SIMULTANEOUS_EDIT = 2202, LEVELS_EDIT = 2203;
const int COMMAND_LIMIT = 16000, FILE_LIMIT = 256;
const int IDI_DIALOG = 1100;

APPTYPE* systemType() {
    if (!_pSvr) return nullptr;
    APPTYPE* type = _pSvr->manager.FindAppType(_pSvr->manager.defaultService);
    return type && type->debug ? type : nullptr;
}
}  // namespace

SUBMITREQDLG::SUBMITREQDLG(zWindow* parent, int dialogId)
    : FORMDLGBASE(parent, dialogId), retrieve(0), linkLevels(0), simultaneous((int)LOCALREQUEST::MaxSimReqs),
      type(systemType()), submitted(FALSE) {
    if (!type) return;
    APPDEBUG* debug = type->debug;
    if (debug->command.data) commandText = debug->command.data;
    resultFile = debug->fileName;
    retrieve = debug->linkLevelGiven ? 1 : 0;
    linkLevels = (int)debug->linkLevel;
    if (zChildWin* ok = dynamic_cast<zChildWin*>(get(IDOK))) ok->setCommand(this, zHandlerOf(&SUBMITREQDLG::doOk));
    zEditLine* command = new zEditLine(this, COMMAND_EDIT, &commandText, zCtlEmptyOk);
    command->limitText(COMMAND_LIMIT);
    (new zEditLine(this, FILE_EDIT, &resultFile, zCtlEmptyOk))->limitText(FILE_LIMIT);
    new zCheckBox(this, RETRIEVE_BOX, &retrieve, 0);
    new zIntEdit(this, LEVELS_EDIT, &linkLevels, "##");
    new zIntEdit(this, SIMULTANEOUS_EDIT, &simultaneous, "##");
    command->selection(0, -1);
    focusControl = command;
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DIALOG)));
    CenterDialog(this);
    show();
    SetFocus(command->hwnd);
    modal();
}

int SUBMITREQDLG::doOk(zEvent*) {
    if (!type || !type->debug) return 0;
    if (!storeData()) return 0;
    shutdown();
    APPDEBUG* debug = type->debug;
    // A refused command leaves the object as it was.
    std::string before = debug->command.data ? debug->command.data : "";
    if (!debug->SetCmd(commandText, FALSE)) {
        debug->SetCmd(before.c_str(), FALSE);
        stored = 0;
        return 0;
    }
    _strzcpy(debug->fileName, resultFile, sizeof debug->fileName);
    debug->linkLevel = linkLevels;
    debug->linkLevelGiven = retrieve ? TRUE : FALSE;
    LOCALREQUEST::MaxSimReqs = simultaneous;
    LOCALREQUEST::DoSimReqs = simultaneous != 0;
    if (_pSvr) _pSvr->config.WriteSimReqs(LOCALREQUEST::DoSimReqs, simultaneous);
    submitted = TRUE;
    return 1;
}
