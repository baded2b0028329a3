// holdfile PATH SECONDS: opens (or creates) the file with no sharing and holds
// it that long, so that nobody else can open or delete it meanwhile.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: holdfile PATH SECONDS\n");
        return 2;
    }
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s (%lu)\n", argv[1], GetLastError());
        return 3;
    }
    Sleep(DWORD(std::strtoul(argv[2], nullptr, 10) * 1000));
    CloseHandle(file);
    return 0;
}
