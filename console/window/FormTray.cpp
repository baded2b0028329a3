// The main window's tray behaviour ("Use Icon Tray"): minimising to the tray
// icon, restoring from it, and the line control box on a right click.
#include "ConsoleDialogs.h"
#include "ConsoleIds.h"
#include "DetailWindow.h"
#include "FormApp.h"
#include "StatusPane.h"
#include "SysHelpers.h"
#include "TrayIcon.h"
#include "zBitmap.h"

int FORMAPP::sysCommand(zEvent* e) {
    unsigned command = (unsigned)(e->wParm & 0xFFF0);
    switch (command) {
    case SC_MINIMIZE:
        showState = UIMinimizeApplication(hwnd, largeIcon ? largeIcon->hicon() : nullptr,
                                          trayIcon ? trayIcon->hicon() : nullptr);
        hideShowWindows();
        PostMessageA(hwnd, WM_USER, 0, 0);
        return 1;
    case SC_MAXIMIZE:
    case SC_RESTORE:
        if (showState == SHOW_IN_TRAY) UIRestoreApplication(hwnd);
        showState = command == SC_MAXIMIZE ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
        hideShowWindows();
        return 1;
    default:
        return 0;
    }
}

int FORMAPP::taskBarMsg(zEvent* e) {
    switch ((UINT)e->lParm) {
    case WM_LBUTTONDOWN:
        PostMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
        return 1;
    case WM_RBUTTONDOWN: {
        int x = 0, y = 0;
        GetCursorPosition(&x, &y);
        DisplayControlBox(x, y);
        return 1;
    }
    default:
        return 0;
    }
}

void FORMAPP::hideShowWindows() {
    ShowWindow(hwnd, showState);
    if (statusPane && statusPane->detail) ShowWindow(statusPane->detail->windowHandle(), showState);
}

void FORMAPP::DisplayControlBox(int x, int y) {
    if (_ConsoleDialogs.controlBox) _ConsoleDialogs.controlBox(this, x, y);
}
