#include "LoginDlg.h"

#include "TextHelpers.h"
#include "zControl.h"
#include "zEdit.h"
#include "zNotify.h"

namespace {
const int CONNECTION_TEXT = 2150;
const int USER_EDIT = 2151;
const int PASSWORD_EDIT = 2152;
const int IDI_DIALOG = 1100;
const int LOGIN_DIALOG = 1051;

const char* textOf(const BUFFER& b) { return b.data ? b.data : ""; }
int limitOf(const BUFFER& b) { return b.length > 1 ? (int)b.length - 1 : 0; }
}  // namespace

USERLOGINDLG::USERLOGINDLG(zWindow* parent, int dialogId, const char* connection, BUFFER& user, BUFFER& pass,
                           BUFFER& more)
    : FORMDLGBASE(parent, dialogId), userId(textOf(user)), password(textOf(pass)), extra(textOf(more)), done(FALSE) {
    if (zChildWin* ok = dynamic_cast<zChildWin*>(get(IDOK))) ok->setCommand(this, zHandlerOf(&USERLOGINDLG::doOk));
    SetDlgItemTextA(hwnd, CONNECTION_TEXT, connection ? connection : "");
    zEditLine* userEdit = new zEditLine(this, USER_EDIT, &userId, zCtlEmptyOk);
    zEditLine* passwordEdit = new zEditLine(this, PASSWORD_EDIT, &password, zCtlEmptyOk);
    userEdit->limitText(limitOf(user));
    passwordEdit->limitText(limitOf(pass));
    zWindow* first = userId.isEmpty() ? (zWindow*)userEdit : (zWindow*)passwordEdit;
    focusControl = first;
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_DIALOG)));
    CenterDialog(this);
    show();
    SetFocus(first->hwnd);
    modal();
}

int USERLOGINDLG::doOk(zEvent* e) {
    endOk(e);
    if (wasStored()) done = TRUE;
    return 1;
}

int RunLoginDialog(zWindow* owner, const char* connection, BUFFER& user, BUFFER& pass, BUFFER& more) {
    USERLOGINDLG* dialog = new USERLOGINDLG(owner, LOGIN_DIALOG, connection, user, pass, more);
    int result = dialog->done ? 1 : 0;
    if (result) {
        if (user.data) _strzcpy(user.data, dialog->userId, (int)user.length);
        if (pass.data) _strzcpy(pass.data, dialog->password, (int)pass.length);
    }
    delete dialog;
    return result;
}
