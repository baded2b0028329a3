#include "RestartDlg.h"

#include "DialogBases.h"
#include "zEdit.h"
#include "zResId.h"

namespace {
const int NAME_EDIT = 2001;
const int NAME_LIMIT = 9;
const int IDI_DIALOG = 1100;
}  // namespace

RESTARTDLG::RESTARTDLG(zWindow* parent, int dialogId) : zFormDialog(parent, zResId(dialogId)) {
    zEditLine* name = new zEditLine(this, NAME_EDIT, &appName, zCtlEmptyOk);
    name->limitText(NAME_LIMIT);
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DIALOG)));
    CenterDialog(this);
    show();
    SetFocus(name->hwnd);
    modal();
}
