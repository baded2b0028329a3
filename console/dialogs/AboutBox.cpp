#include "AboutBox.h"

#include <cstdio>

#include "DialogBases.h"
#include "ServerIds.h"
#include "TextHelpers.h"
#include "zNotify.h"
#include "zResId.h"

namespace {
const int PICTURE_PLACE = 2509, VERSION_TEXT = 2005;
const int PICTURE = 2508, PICTURE_FILE = 1043;
const int IDS_VERSION_LABEL_TEXT = 34, IDS_VERSION_TEXT = 35;
const int IDI_DIALOG = 1100;
}  // namespace

ABOUTBOX::ABOUTBOX(zWindow* parent, int dialogId) : zDialogFrame(parent, zResId(dialogId)) {
    ReplacePlaceholder(this, PICTURE_PLACE, LoadConsolePicture(PICTURE, PICTURE_FILE));
    if (zChildWin* ok = dynamic_cast<zChildWin*>(get(IDOK))) ok->setCommand(this, zHandlerOf(&ABOUTBOX::doOk));
    char version[64];
    std::snprintf(version, sizeof version, "%s%s", ServerText(IDS_VERSION_LABEL_TEXT), ServerText(IDS_VERSION_TEXT));
    SetDlgItemTextA(hwnd, VERSION_TEXT, version);
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DIALOG)));
    CenterDialog(this);
    show();
    modal();
}

int ABOUTBOX::doOk(zEvent*) {
    shutdown();
    return 1;
}
