#include "StartupDlg.h"

#include <cstdio>
#include <cstdlib>

#include "DialogBases.h"
#include "FormApp.h"
#include "SysHelpers.h"
#include "ServerIds.h"
#include "TextHelpers.h"
#include "zFrameWin.h"
#include "zNotify.h"
#include "zResId.h"
#include "zTimer.h"

namespace {
const int IDS_CLOSE_DELAY = 9;
const int IDS_VERSION_LABEL_TEXT = 34;
const int IDS_VERSION_TEXT = 35;
const int IDI_DIALOG = 1100;
}  // namespace

int STARTUPDLG::CloseDelay(const char* text) {
    if (!text || !*text) return 0;
    char* end = nullptr;
    long seconds = std::strtol(text, &end, 10);
    if (*end || seconds <= 0 || seconds > 24 * 3600) return 0;
    return (int)seconds;
}

STARTUPDLG::STARTUPDLG(zWindow* parent, int dialogId)
    : zDialogFrame(parent, zResId(dialogId)), supportMode(FALSE), closeTimer(nullptr) {
    if (zChildWin* ok = dynamic_cast<zChildWin*>(get(IDOK))) ok->setCommand(this, zHandlerOf(&STARTUPDLG::doOk));
    ReplacePlaceholder(this, 2507, LoadConsolePicture(2505, 1041));
    ReplacePlaceholder(this, 2506, LoadConsolePicture(2503, 1042));
    if (dialogId == 1005) {
        char version[64];
        std::snprintf(version, sizeof version, "%s%s", ServerText(IDS_VERSION_LABEL_TEXT), ServerText(IDS_VERSION_TEXT));
        SetDlgItemTextA(hwnd, 2005, version);
    }
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DIALOG)));
    int delay = CloseDelay(ServerText(IDS_CLOSE_DELAY));
    if (delay > 0) closeTimer = new zOneShotTimer(this, zTimerOf(&STARTUPDLG::TimerPop), (DWORD)delay * 1000);
    CenterDialog(this);
    show();
    modal();
}

STARTUPDLG::~STARTUPDLG() { delete closeTimer; }

int STARTUPDLG::doOk(zEvent*) {
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) supportMode = TRUE;
    shutdown();
    return 1;
}

void STARTUPDLG::TimerPop() {
    if (isModal()) shutdown();
}

BOOL RunSplash(FORMAPP* form, int dialogId) {
    STARTUPDLG* dialog = new STARTUPDLG(form, dialogId);
    BOOL support = dialog->supportMode;
    delete dialog;
    return support;
}
