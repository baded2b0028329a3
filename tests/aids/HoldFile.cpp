// holdfile PATH SECONDS: opens (or creates) the file with no sharing and holds
// it that long, so that nobody else can open or delete it meanwhile.
#include "QvWindows.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: holdfile PATH SECONDS\n");
        return 2;
    }
    // The starter probes the file until it finds it held: a probe that has it
    // open for a moment is waited out, not taken as a failure.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(10)) {
        file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s (%lu)\n", argv[1], GetLastError());
        return 3;
    }
    Sleep(DWORD(std::strtoul(argv[2], nullptr, 10) * 1000));
    CloseHandle(file);
    return 0;
}
