#include "TrayIcon.h"

#include <cstring>

#include "ConsoleIds.h"
#include "SysHelpers.h"

static_assert(sizeof(void*) != 4 || sizeof(TRAYNOTIFYDATA) == 88, "classic notification record");
static_assert(sizeof(void*) != 4 || sizeof(TRAYBARDATA) == 36, "classic task-bar record");

TRAYNOTIFYPROC _p_Shell_NotifyIconA = nullptr;
TRAYBARPROC _p_SHAppBarMessage = nullptr;

namespace {
HMODULE g_shell = nullptr;

const DWORD NIM_ADD_ = 0, NIM_MODIFY_ = 1, NIM_DELETE_ = 2;
const DWORD ABM_GETTASKBARPOS_ = 5;

BBOOL notify(DWORD command, HWND window, HICON icon, UINT flags) {
    if (!_p_Shell_NotifyIconA) return FALSE;
    TRAYNOTIFYDATA data;
    UIFillNotifyData(data, window, icon, flags);
    return _p_Shell_NotifyIconA(command, &data) != FALSE;
}
}  // namespace

void UIFillNotifyData(TRAYNOTIFYDATA& data, HWND window, HICON icon, UINT flags) {
    std::memset(&data, 0, sizeof data);
    data.size = sizeof data;
    data.window = window;
    data.id = TRAY_ICON_ID;
    data.flags = flags;
    if (!flags) return;
    data.callbackMessage = TRAY_MESSAGE;
    data.icon = icon;
    if (window) GetWindowTextA(window, data.tip, sizeof data.tip);
    data.tip[sizeof data.tip - 1] = 0;
}

void UIInitializeApplication(const char* library) {
    if (g_shell) return;
    TRAYNOTIFYPROC notifyProc = nullptr;
    TRAYBARPROC barProc = nullptr;
    DLLENTRY table[] = {
        {"Shell_NotifyIconA", 0, &notifyProc},
        {"SHAppBarMessage", 0, &barProc},
        {"", 0, nullptr},
    };
    g_shell = SysLibraryLoad(library, table);
    if (!g_shell) return;
    _p_Shell_NotifyIconA = notifyProc;
    _p_SHAppBarMessage = barProc;
}

void UITerminateApplication() {
    _p_Shell_NotifyIconA = nullptr;
    _p_SHAppBarMessage = nullptr;
    if (g_shell) SysLibraryFree(g_shell);
    g_shell = nullptr;
}

int UIGetTaskBarRect(RECT* rect) {
    if (!rect) return 0;
    SetRectEmpty(rect);
    if (!_p_SHAppBarMessage) return 0;
    TRAYBARDATA data;
    std::memset(&data, 0, sizeof data);
    data.size = sizeof data;
    if (!_p_SHAppBarMessage(ABM_GETTASKBARPOS_, &data)) return 0;
    *rect = data.rect;
    return 1;
}

int UIMinimizeApplication(HWND window, HICON, HICON tray) {
    return notify(NIM_ADD_, window, tray, TRAY_FLAGS) ? SHOW_IN_TRAY : SHOW_MINIMISED;
}

void UIModifyApplication(HWND window, HICON icon) { notify(NIM_MODIFY_, window, icon, TRAY_FLAGS); }

void UIRestoreApplication(HWND window) { notify(NIM_DELETE_, window, nullptr, 0); }
