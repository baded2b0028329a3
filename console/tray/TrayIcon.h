#pragma once
// The tray icon: the shell's notification-area and task-bar entries, bound at
// run time so that the console runs, without a tray, on shells that lack them.
// GUI thread only; bound before the main window exists.
#include "QvWindows.h"
#include "QvBase.h"

// The shell's notification record in its classic layout (88 bytes on i686):
// size, window, icon id, valid-field flags, callback message, icon, tip.
struct TRAYNOTIFYDATA {
    DWORD size;
    HWND window;
    UINT id;
    UINT flags;
    UINT callbackMessage;
    HICON icon;
    char tip[64];
};

// The task-bar query record in its classic layout (36 bytes on i686).
struct TRAYBARDATA {
    DWORD size;
    HWND window;
    UINT callbackMessage;
    UINT edge;
    RECT rect;
    LPARAM lParam;
};

const UINT TRAY_ICON_ID = 10001;
const UINT TRAY_FLAGS = 7;  // message, icon and tip are valid
// Show states UIMinimizeApplication answers: in the tray, or minimised.
const int SHOW_IN_TRAY = 0;
const int SHOW_MINIMISED = 6;

typedef BOOL(WINAPI* TRAYNOTIFYPROC)(DWORD command, TRAYNOTIFYDATA* data);
typedef UINT_PTR(WINAPI* TRAYBARPROC)(DWORD message, TRAYBARDATA* data);

// Both entries or none: null until UIInitializeApplication bound them.
extern TRAYNOTIFYPROC _p_Shell_NotifyIconA;
extern TRAYBARPROC _p_SHAppBarMessage;

// Loads library (the shell, "SHELL32.DLL") and binds both entries.
void UIInitializeApplication(const char* library = "SHELL32.DLL");
void UITerminateApplication();
// 1 and the task bar's rectangle; 0 and an empty rectangle without the shell.
int UIGetTaskBarRect(RECT* rect);
// Adds the tray icon with the window's title as tip; the new show state.
int UIMinimizeApplication(HWND window, HICON large, HICON tray);
void UIModifyApplication(HWND window, HICON icon);
void UIRestoreApplication(HWND window);
// The record for a command on the window's icon: zeroed, tip cut to 63 characters.
void UIFillNotifyData(TRAYNOTIFYDATA& data, HWND window, HICON icon, UINT flags);
