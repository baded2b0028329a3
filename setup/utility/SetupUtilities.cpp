#include "SetupUtilities.h"

#include <cstring>

#include "TextHelpers.h"

namespace {
HINSTANCE g_module = nullptr;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

HINSTANCE SetupModule() { return g_module; }
void SetSetupModule(HINSTANCE module) { g_module = module; }

int WINAPI ModifyStringInFile(const char* source, const char* target, const char* oldText, const char* newText) {
    if (!source || !target || !oldText || !newText) return -1;
    return int(_ModifyBinaryFile(nullptr, source, target, oldText, newText));
}

int WINAPI StringInFile(const char* file, const char* text) {
    if (!file || !text) return 0;
    return _ScanFile(file, text, 1) ? 1 : 0;
}

int WINAPI RemoveTrailingBlanks(const char* in, char* out) {
    size_t n = std::strlen(in);
    while (n > 0 && IsBlank(in[n - 1])) n--;
    std::memmove(out, in, n);
    out[n] = 0;
    return 1;
}

int WINAPI RemoveLeadingBlanks(const char* in, char* out) {
    while (IsBlank(*in)) in++;
    std::memmove(out, in, std::strlen(in) + 1);
    return 1;
}

int WINAPI RegGetValueAsString(HKEY root, const char* subkey, const char* valueName, char* buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD got = size;
    LONG rc = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &got);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return 0;
    if (got >= 3)
        for (DWORD i = 0; i + 2 < got; i++)
            if (buffer[i] == 0) buffer[i] = ' ';
    // A value stored without its NUL, or one filling the buffer, is cut to fit.
    buffer[got < size ? got : size - 1] = 0;
    return 1;
}

int WINAPI TerminateString(char* text, unsigned length) {
    if (!text || std::strlen(text) < length) return 0;
    text[length] = 0;
    return 1;
}
