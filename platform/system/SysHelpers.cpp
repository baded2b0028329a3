#include "SysHelpers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "BaseItem.h"
#include "SpControl.h"
#include "TextHelpers.h"
#include "TraceTable.h"

namespace {

// The trace dump shows the ids as the items say: a 16-bit application
// message id in hexadecimal, a command id in decimal.
void TraceAppPosted(HWND window, unsigned msg, unsigned short id, LPARAM lParam) {
    QV_TRACE(TRACE_TASK, TRACE_TASK_MSG_POSTED, "lihl", long(LONG_PTR(window)), int(msg), int(id), long(lParam));
}

void TraceCmdPosted(HWND window, unsigned msg, int id, LPARAM lParam) {
    QV_TRACE(TRACE_TASK, TRACE_TASK_MSG_POSTED, "liil", long(LONG_PTR(window)), int(msg), id, long(lParam));
}

}  // namespace

BBOOL PostAppMessage(HWND window, unsigned short id, LPARAM lParam, BBOOL send) {
    if (!_pSupport || !_pSupport->appMessage) return 0;
    UINT msg = UINT(_pSupport->appMessage);
    TraceAppPosted(window, msg, id, lParam);
    if (send) {
        SendMessageA(window, msg, id, LPARAM(lParam));
        return 1;
    }
    return PostMessageA(window, msg, id, LPARAM(lParam)) ? 1 : 0;
}

BBOOL PostCmdMessage(HWND window, int id, LPARAM lParam, BBOOL send) {
    TraceCmdPosted(window, WM_COMMAND, id, lParam);
    if (send) {
        SendMessageA(window, WM_COMMAND, WPARAM(id), LPARAM(lParam));
        return 1;
    }
    return PostMessageA(window, WM_COMMAND, WPARAM(id), LPARAM(lParam)) ? 1 : 0;
}

void DisplayMessage(HWND owner, const char* caption, const char* text, BBOOL warning) {
    MessageBoxA(owner, text, caption, MB_OK | (warning ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
}

unsigned long ExecuteProgram(const char* program, const char* directory, const char* arguments, BBOOL detached,
                             BBOOL wait, void** process) {
    std::string line = program ? program : "";
    if (arguments && *arguments) {
        line += ' ';
        line += arguments;
    }
    std::vector<char> cmd(line.begin(), line.end());
    cmd.push_back(0);
    // A path is started as given; a bare name is searched for like a command.
    const char* app = (program && std::strchr(program, '\\')) ? program : nullptr;
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    if (!CreateProcessA(app, cmd.data(), nullptr, nullptr, FALSE, detached ? DETACHED_PROCESS : 0, nullptr, nullptr,
                        &si, &pi))
        return 20000 + GetLastError();
    CloseHandle(pi.hThread);
    unsigned long result = 0;
    if (wait) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        result = code;
    }
    if (process)
        *process = pi.hProcess;
    else
        CloseHandle(pi.hProcess);
    return result;
}

unsigned long ExecuteSession(char* program, char* directory, char* arguments) {
    return ExecuteProgram(program, directory, arguments, 0, 1, nullptr);
}

int CheckProgramExec(void*, BBOOL) { return -1; }

void GetDateTime(char* date, char* time) {
    std::time_t now = std::time(nullptr);
    std::tm* t = std::localtime(&now);
    char both[32] = "";
    if (t) std::strftime(both, sizeof both, "%y/%m/%d%H:%M:%S", t);
    if (date) _strzcpy(date, both, 9);
    if (time) _strzcpy(time, std::strlen(both) >= 8 ? both + 8 : "", 9);
}

void GetFullDate(char* out) {
    std::time_t now = std::time(nullptr);
    std::tm* t = std::localtime(&now);
    out[0] = 0;
    if (t) std::strftime(out, 11, "%Y-%m-%d", t);
}

unsigned long GetProcessID() { return GetCurrentProcessId(); }

char* BuildPathName(char* out, int outSize, const char* directory, const char* name) {
    if (!out || outSize <= 0) return nullptr;
    size_t dirLen = directory ? std::strlen(directory) : 0;
    size_t nameLen = name ? std::strlen(name) : 0;
    if (directory != out) {
        if (dirLen >= size_t(outSize)) {
            out[0] = 0;
            return nullptr;
        }
        if (directory)
            std::memmove(out, directory, dirLen + 1);
        else
            out[0] = 0;
    }
    // An empty directory leaves the name relative instead of rooting it.
    bool sep = dirLen > 0 && out[dirLen - 1] != '\\';
    if (dirLen + (sep ? 1 : 0) + nameLen >= size_t(outSize)) {
        out[0] = 0;
        return nullptr;
    }
    char* end = out + dirLen;
    if (sep) *end++ = '\\';
    if (name) std::memcpy(end, name, nameLen);
    end += nameLen;
    *end = 0;
    return end;
}

void SetWindowIcon(HWND window, HICON big, HICON small) {
    SendMessageA(window, WM_SETICON, ICON_SMALL, LPARAM(small));
    SendMessageA(window, WM_SETICON, ICON_BIG, LPARAM(big));
}

BBOOL GetCursorPosition(int* x, int* y) {
    POINT pt = {0, 0};
    GetCursorPos(&pt);
    if (x) *x = pt.x;
    if (y) *y = pt.y;
    return 1;
}

namespace {
// A table ends at a row without a target; a row that names no entry point at
// all (empty name, no ordinal) ends it too, as some callers write it.
bool TableEnd(const DLLENTRY* e) { return !e->target || (!e->name[0] && !e->ordinal); }
}  // namespace

HMODULE SysLibraryLoad(const char* name, DLLENTRY* table, BBOOL upperCase) {
    HMODULE module = LoadLibraryA(name);
    if (reinterpret_cast<uintptr_t>(module) < 32) return nullptr;
    if (!table) return module;
    std::vector<void*> before;
    for (DLLENTRY* e = table; !TableEnd(e); e++) before.push_back(*static_cast<void**>(e->target));
    if (SysLibraryResolve(module, table, upperCase) != 0) {
        // Leave no pointer into the library we are about to unload.
        size_t i = 0;
        for (DLLENTRY* e = table; !TableEnd(e); e++) *static_cast<void**>(e->target) = before[i++];
        FreeLibrary(module);
        return nullptr;
    }
    return module;
}

int SysLibraryResolve(HMODULE module, DLLENTRY* table, BBOOL upperCase) {
    int missing = 0;
    for (DLLENTRY* e = table; e && !TableEnd(e); e++) {
        FARPROC proc = nullptr;
        if (e->ordinal) proc = GetProcAddress(module, MAKEINTRESOURCEA(e->ordinal));
        if (!proc && e->name[0]) {
            char name[sizeof e->name];
            _strzcpy(name, e->name, sizeof name);
            if (upperCase) _cvtupper(name);
            proc = GetProcAddress(module, name);
        }
        if (proc)
            std::memcpy(e->target, &proc, sizeof proc);
        else
            missing++;
    }
    return missing;
}

void SysLibraryFree(HMODULE module) {
    if (module) FreeLibrary(module);
}

BBOOL SysTimerStart(HWND window, int id, int milliseconds) {
    return SetTimer(window, UINT_PTR(id), UINT(milliseconds), nullptr) == UINT_PTR(id) ? 1 : 0;
}

void SysTimerStop(HWND window, int id) { KillTimer(window, UINT_PTR(id)); }

extern "C" BOOL CALLBACK SysFindWindowProc(HWND window, LPARAM search) {
    SYSFINDWINDOW* s = reinterpret_cast<SYSFINDWINDOW*>(search);
    if (!IsWindowEnabled(window)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) return TRUE;
    if (s->styleMask && (unsigned long)(GetWindowLongA(window, GWL_STYLE) & s->styleMask) != s->styleValue)
        return TRUE;
    char text[256];
    int len = GetWindowTextLengthA(window);
    if (len <= 0 || len > 254) return TRUE;
    len = GetWindowTextA(window, text, sizeof text);
    if (len <= 0 || len > 254) return TRUE;
    if (s->title) {
        char* p = text;
        while (*p == ' ') p++;
        _cvtupper(p);
        if (!*p || std::strcmp(p, s->title) != 0) return TRUE;
    }
    if (s->className && s->className[0]) {
        char cls[256];
        if (!GetClassNameA(window, cls, sizeof cls)) return TRUE;
        if (std::strcmp(_cvtupper(cls), s->className) != 0) return TRUE;
    } else if (s->className) {
        if (!GetClassNameA(window, s->className, 256)) s->className[0] = 0;
    }
    s->found = window;
    return FALSE;
}

HWND SysFindWindow(HWND parent, char* className, const char* title, const char*, unsigned long styleMask,
                   unsigned long styleValue) {
    SYSFINDWINDOW s = {parent, className, title, nullptr, styleMask, styleValue};
    if (parent)
        EnumChildWindows(parent, SysFindWindowProc, LPARAM(&s));
    else
        EnumWindows(SysFindWindowProc, LPARAM(&s));
    return s.found;
}

void SetMenuText(HWND window, HMENU menu, int id, const char* text) {
    ModifyMenuA(menu, UINT(id), MF_BYCOMMAND | MF_STRING, UINT_PTR(id), text);
    DrawMenuBar(window);
}

namespace {

bool ParseHex(const char* text, DWORD* value) {
    const char* p = text;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    if (!*p) return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(p, &end, 16);
    if (*end || *p == '-' || *p == '+' || *p == ' ') return false;
    *value = DWORD(v);
    return true;
}

void PutOld(const BUFFER& oldValue, const char* text, size_t n) {
    if (!oldValue.data || oldValue.length <= 0) return;
    if (n > size_t(oldValue.length - 1)) n = size_t(oldValue.length - 1);
    std::memcpy(oldValue.data, text, n);
    oldValue.data[n] = 0;
}

BBOOL RegModify(HKEY root, const char* subkey, const char* valueName, const char* newText, const BUFFER& oldValue) {
    // The caller may restore by passing the old-value buffer as the new value.
    std::string newCopy = newText ? newText : "";
    const char* newValue = newText ? newCopy.c_str() : nullptr;
    PutOld(oldValue, "", 0);
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return 0;
    BBOOL ok = 0;
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) {
        // Absent: reported as empty text, and an empty new value keeps it absent.
        if (!newValue)
            ok = 1;
        else if (!*newValue)
            ok = 1;
        else if (newValue[0] == '0' && (newValue[1] == 'x' || newValue[1] == 'X')) {
            DWORD v;
            if (ParseHex(newValue, &v))
                ok = RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), sizeof v) ==
                     ERROR_SUCCESS;
        } else {
            ok = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(newValue),
                                DWORD(std::strlen(newValue) + 1)) == ERROR_SUCCESS;
        }
    } else if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<char> old(size + 1, 0);
        DWORD got = size;
        if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(old.data()), &got) ==
            ERROR_SUCCESS) {
            old[got < size ? got : size] = 0;
            PutOld(oldValue, old.data(), std::strlen(old.data()));
            if (!newValue)
                ok = 1;
            else if (!*newValue)
                ok = RegDeleteValueA(key, valueName) == ERROR_SUCCESS;
            else
                ok = RegSetValueExA(key, valueName, 0, type, reinterpret_cast<const BYTE*>(newValue),
                                    DWORD(std::strlen(newValue) + 1)) == ERROR_SUCCESS;
        }
    } else if (rc == ERROR_SUCCESS && (type == REG_BINARY || type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) &&
               size <= 4) {
        DWORD v = 0, got = sizeof v;
        if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &got) == ERROR_SUCCESS) {
            char text[16];
            std::snprintf(text, sizeof text, "0x%lx", (unsigned long)v);
            PutOld(oldValue, text, std::strlen(text));
            DWORD nv;
            if (!newValue)
                ok = 1;
            else if (!*newValue)
                ok = RegDeleteValueA(key, valueName) == ERROR_SUCCESS;
            else if (ParseHex(newValue, &nv))
                ok = RegSetValueExA(key, valueName, 0, type, reinterpret_cast<BYTE*>(&nv), sizeof nv) == ERROR_SUCCESS;
        }
    }
    RegCloseKey(key);
    return ok;
}

}  // namespace

BBOOL WinRegModifyLocalKey(const char* subkey, const char* valueName, const char* newValue, const BUFFER& oldValue) {
    return RegModify(HKEY_LOCAL_MACHINE, subkey, valueName, newValue, oldValue);
}

BBOOL WinRegModifyUserKey(const char* subkey, const char* valueName, const char* newValue, const BUFFER& oldValue) {
    return RegModify(HKEY_CURRENT_USER, subkey, valueName, newValue, oldValue);
}
