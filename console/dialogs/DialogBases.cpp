#include "DialogBases.h"

#include <cstring>

#include "FormApp.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "ServerIds.h"
#include "TextHelpers.h"
#include "zBitmap.h"
#include "zBitmapPane.h"
#include "zGeometry.h"
#include "zListBox.h"
#include "zSizer.h"
#include "zNotify.h"
#include "zResId.h"

namespace {
const int IDS_HELP_FILE_NAME = 13;
}

CONTEXTHELP::CONTEXTHELP() : pairs{}, base(0), helpFile{} {
    const char* directory = _pSvr ? _pSvr->configDirectory : "";
    BuildPathName(helpFile, directory, ServerText(IDS_HELP_FILE_NAME));
}

int CONTEXTHELP::HelpHandler(zEvent* e) {
    const HELPINFO* info = reinterpret_cast<const HELPINFO*>(e->lParm);
    if (!info || info->iContextType != HELPINFO_WINDOW) return 1;
    pairs[0] = (DWORD)info->iCtrlId;
    pairs[1] = (DWORD)(info->iCtrlId + base);
    pairs[2] = pairs[3] = 0;
    // Wine's WinHelpA refuses HELP_WM_HELP; the same context then opens as a popup.
    if (!WinHelpA((HWND)info->hItemHandle, helpFile, HELP_WM_HELP, (ULONG_PTR)pairs))
        WinHelpA((HWND)info->hItemHandle, helpFile, HELP_CONTEXTPOPUP, pairs[1]);
    return 1;
}

FORMDLGBASE::FORMDLGBASE(zWindow* parent, int dialogId) : zFormDialog(parent, zResId(dialogId)), focusControl(nullptr) {
    setHandler(this, zHandlerOf(&FORMDLGBASE::HelpHandler), WM_HELP);
}

int FORMDLGBASE::focus(zFocusEvt* e) {
    if (e->gainFocus() && focusControl && focusControl->hwnd) {
        SetFocus(focusControl->hwnd);
        focusControl = nullptr;
        return 1;
    }
    return zFormDialog::focus(e);
}

NOTEBOOKBASE::NOTEBOOKBASE(zWindow* parent, zPageDef* sizeDef, unsigned long style, const char* title)
    : zNotebookDialog(parent, sizeDef, style, title) {
    setHandler(this, zHandlerOf(&NOTEBOOKBASE::HelpHandler), WM_HELP);
}

void CenterDialog(HWND window) {
    if (!window) return;
    RECT r;
    GetWindowRect(window, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CenterDialog(zWindow* window) {
    if (window) CenterDialog(window->hwnd);
}

int ListBoxSelect(ziListControl* box, const char* text) {
    if (!box || !box->hwnd || !text) return 0;
    BOOL combo = box->controlKind() == zCtlComboBox;
    int count = (int)SendMessageA(box->hwnd, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        int length = (int)SendMessageA(box->hwnd, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, (WPARAM)i, 0);
        if (length < 0 || length != (int)std::strlen(text)) continue;
        std::string entry((size_t)length + 1, '\0');
        SendMessageA(box->hwnd, combo ? CB_GETLBTEXT : LB_GETTEXT, (WPARAM)i, (LPARAM)&entry[0]);
        if (std::strcmp(entry.c_str(), text) == 0) {
            SendMessageA(box->hwnd, combo ? CB_SETCURSEL : LB_SETCURSEL, (WPARAM)i, 0);
            return 1;
        }
    }
    return 0;
}

BOOL YesNoMessageBox(HWND owner, const char* text, const char* caption) {
    return MessageBoxA(owner, text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void WarningBox(HWND owner, const char* text, int captionId) {
    MessageBoxA(owner, text, ServerText(captionId), MB_OK | MB_ICONEXCLAMATION);
}

HWND ConsoleWindow() { return _pMainForm ? _pMainForm->windowHandle() : nullptr; }

zBitmap* LoadConsolePicture(int resource, int fileStringId) {
    zBitmap* picture = nullptr;
    if (_pSvr && _pSvr->config.testIconFiles) {
        char path[MAX_PATH];
        BuildPathName(path, _pSvr->configDirectory, ServerText(fileStringId));
        HBITMAP h = (HBITMAP)LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        if (h) picture = new zBitmap(h);
    } else {
        picture = new zBitmap(zResId(resource));
    }
    if (picture && !picture->hbitmap()) {
        delete picture;
        picture = nullptr;
    }
    return picture;
}

zBitmapPane* ReplacePlaceholder(zWindow* dialog, int id, zBitmap* picture) {
    HWND place = dialog && dialog->hwnd ? GetDlgItem(dialog->hwnd, id) : nullptr;
    if (!place) {
        delete picture;
        return nullptr;
    }
    RECT r;
    GetWindowRect(place, &r);
    MapWindowPoints(nullptr, dialog->hwnd, reinterpret_cast<POINT*>(&r), 2);
    ShowWindow(place, SW_HIDE);
    zBitmapPane* pane = new zBitmapPane(dialog, picture, new zSizer(zRect(r.left, r.top, r.right, r.bottom)));
    pane->show();
    return pane;
}
