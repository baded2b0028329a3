// qvclear.exe: started by the uninstaller with the installation directory as
// its command line; removes it once the uninstaller lets go of its files. Its
// one window stays hidden and only runs the work from the message loop.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "DirectoryRemoval.h"
#include "QvWindows.h"
#include "TaskAbend.h"

extern "C" LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

namespace {

const UINT WM_REMOVE_DIRECTORY = WM_USER + 1;  // lParam: the directory buffer
const int kAttempts = 30;
const DWORD kPauseMs = 1000;
const char kClassName[] = "UnInstallation Class";

char g_directory[REMOVAL_PATH_SIZE];
HINSTANCE g_instance;
BOOL g_notNT;

BOOL InitApplication(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "UNINST");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = "MainMenu";
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

BOOL InitInstance(HINSTANCE instance) {
    g_instance = instance;
    HWND window = CreateWindowA(kClassName, "UnInstall Quorvane", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!window) return FALSE;
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    g_notNT = (GetVersion() & 0x80000000u) != 0;
    return PostMessageA(window, WM_REMOVE_DIRECTORY, 0, reinterpret_cast<LPARAM>(g_directory));
}

void RemoveDirectoryWhenFree(char* directory) {
    if (!directory[0]) return;  // refused command line
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(directory, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    FindClose(search);
    // The uninstaller that started us may still hold files of the directory.
    for (int attempt = 0; attempt < kAttempts; attempt++) {
        Sleep(kPauseMs);
        if (DeleteDirectories(directory)) break;
    }
}

}  // namespace

extern "C" LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_REMOVE_DIRECTORY:
        RemoveDirectoryWhenFree(reinterpret_cast<char*>(lParam));
        PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_CREATE:
    case WM_QUIT:
    case WM_COMMAND:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int) {
    if (!previous && !InitApplication(instance)) return 0;
    if (!InitInstance(instance)) return 0;
    CheckRemovalPath(commandLine, g_directory);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}

void _Task_Abend(const char* code, ULONG_PTR) {
    std::fprintf(stderr, " Internal Error, code '%s'. ", code ? code : "");
    std::fflush(stderr);
    std::abort();
}
