// callexport DLL EXPORT [ARG...]: loads the library and calls the export as an
// installer would (Windows calling convention, up to 8 arguments), then prints
//   result <decimal int>
//   buf<k> <hex bytes>      for the k-th buf: or file: argument, after the call
// Arguments: s:TEXT (a text), i:N (a number), null, buf:N (N zeroed bytes),
// file:PATH (the file's bytes), hkey:HKLM|HKCU|HKU|HKCR (a root key).
// Exit code 0 after a call, 2 for bad arguments, 3 when the library or the
// export cannot be found.
#include "QvWindows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef LONG_PTR A;

// Through the generic function type, which converts to any other without a warning.
template <class F>
F As(FARPROC f) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(f));
}

A Call(FARPROC f, const std::vector<A>& a) {
    switch (a.size()) {
    case 0: return As<A(WINAPI*)()>(f)();
    case 1: return As<A(WINAPI*)(A)>(f)(a[0]);
    case 2: return As<A(WINAPI*)(A, A)>(f)(a[0], a[1]);
    case 3: return As<A(WINAPI*)(A, A, A)>(f)(a[0], a[1], a[2]);
    case 4: return As<A(WINAPI*)(A, A, A, A)>(f)(a[0], a[1], a[2], a[3]);
    case 5: return As<A(WINAPI*)(A, A, A, A, A)>(f)(a[0], a[1], a[2], a[3], a[4]);
    case 6: return As<A(WINAPI*)(A, A, A, A, A, A)>(f)(a[0], a[1], a[2], a[3], a[4], a[5]);
    case 7: return As<A(WINAPI*)(A, A, A, A, A, A, A)>(f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
    default:
        return As<A(WINAPI*)(A, A, A, A, A, A, A, A)>(f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    }
}

bool ReadFileBytes(const char* path, std::string* out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out->append(chunk, n);
    std::fclose(f);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 11) {
        std::fprintf(stderr, "usage: callexport DLL EXPORT [s:TEXT|i:N|null|buf:N|file:PATH|hkey:ROOT]...\n");
        return 2;
    }
    std::vector<std::string> bufs;
    bufs.reserve(argc);
    std::vector<A> args;
    for (int i = 3; i < argc; i++) {
        const char* a = argv[i];
        if (!std::strncmp(a, "s:", 2)) {
            args.push_back(reinterpret_cast<A>(a + 2));
        } else if (!std::strncmp(a, "i:", 2)) {
            args.push_back(A(std::strtol(a + 2, nullptr, 0)));
        } else if (!std::strcmp(a, "null")) {
            args.push_back(0);
        } else if (!std::strncmp(a, "buf:", 4)) {
            bufs.emplace_back(size_t(std::strtoul(a + 4, nullptr, 0)), '\0');
            args.push_back(reinterpret_cast<A>(&bufs.back()[0]));
        } else if (!std::strncmp(a, "file:", 5)) {
            bufs.emplace_back();
            if (!ReadFileBytes(a + 5, &bufs.back())) {
                std::fprintf(stderr, "cannot read %s\n", a + 5);
                return 2;
            }
            args.push_back(reinterpret_cast<A>(&bufs.back()[0]));
        } else if (!std::strncmp(a, "hkey:", 5)) {
            const struct {
                const char* name;
                HKEY key;
            } roots[] = {{"HKLM", HKEY_LOCAL_MACHINE}, {"HKCU", HKEY_CURRENT_USER}, {"HKU", HKEY_USERS},
                         {"HKCR", HKEY_CLASSES_ROOT}};
            bool found = false;
            for (const auto& r : roots)
                if (!std::strcmp(a + 5, r.name)) {
                    args.push_back(reinterpret_cast<A>(r.key));
                    found = true;
                }
            if (!found) {
                std::fprintf(stderr, "unknown root %s\n", a + 5);
                return 2;
            }
        } else {
            std::fprintf(stderr, "bad argument %s\n", a);
            return 2;
        }
    }
    HMODULE library = LoadLibraryA(argv[1]);
    if (!library) {
        std::fprintf(stderr, "cannot load %s (%lu)\n", argv[1], GetLastError());
        return 3;
    }
    FARPROC f = GetProcAddress(library, argv[2]);
    if (!f) {
        std::fprintf(stderr, "no export %s\n", argv[2]);
        return 3;
    }
    int result = int(Call(f, args));
    std::printf("result %d\n", result);
    for (size_t k = 0; k < bufs.size(); k++) {
        std::printf("buf%u ", unsigned(k + 1));
        for (unsigned char c : bufs[k]) std::printf("%02x", c);
        std::printf("\n");
    }
    std::fflush(stdout);
    FreeLibrary(library);
    return 0;
}
