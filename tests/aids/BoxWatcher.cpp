// Answers the message boxes of one program in this Wine prefix so that an
// unattended run never blocks: each box is appended to a file as one line
// "caption|text" and dismissed with its OK button; a question is answered No
// (Yes while OUTPUT-FILE.yes exists), else Cancel.
//   qvaid_boxwatch OUTPUT-FILE SECONDS PROGRAM
// PROGRAM is the file name of the program's .exe; boxes of every other process
// are left alone, since test programs running beside it check their own.
// Ends after SECONDS, or earlier when OUTPUT-FILE.stop exists.
#include "QvWindows.h"
#include <tlhelp32.h>

#include "ProcessNames.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string output;
std::string program;

using qvaid::ProgramOf;

std::string Text(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

BOOL CALLBACK FindStatic(HWND child, LPARAM found) {
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") != 0) return TRUE;
    std::string text = Text(child);
    if (text.empty()) return TRUE;
    *reinterpret_cast<std::string*>(found) = text;
    return FALSE;
}

BOOL CALLBACK Answer(HWND window, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (pid == GetCurrentProcessId() || lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    if (GetPropA(window, "qvaid.seen")) return TRUE;
    if (lstrcmpiA(ProgramOf(pid).c_str(), program.c_str()) != 0) return TRUE;
    SetPropA(window, "qvaid.seen", reinterpret_cast<HANDLE>(1));
    std::string text;
    EnumChildWindows(window, FindStatic, reinterpret_cast<LPARAM>(&text));
    if (FILE* f = std::fopen(output.c_str(), "ab")) {
        std::fprintf(f, "%s|%s\n", Text(window).c_str(), text.c_str());
        std::fclose(f);
    }
    // OK where there is one; a question is answered No, so the program runs on,
    // unless the test asked for Yes.
    bool yes = GetFileAttributesA((output + ".yes").c_str()) != INVALID_FILE_ATTRIBUTES;
    int button = IDCANCEL;
    if (GetDlgItem(window, IDOK))
        button = IDOK;
    else if (yes && GetDlgItem(window, IDYES))
        button = IDYES;
    else if (GetDlgItem(window, IDNO))
        button = IDNO;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: qvaid_boxwatch OUTPUT-FILE SECONDS PROGRAM\n");
        return 2;
    }
    output = argv[1];
    program = argv[3];
    std::string stop = output + ".stop";
    DWORD end = GetTickCount() + DWORD(std::atoi(argv[2])) * 1000;
    while (GetTickCount() < end && GetFileAttributesA(stop.c_str()) == INVALID_FILE_ATTRIBUTES) {
        EnumWindows(Answer, 0);
        Sleep(50);
    }
    return 0;
}
