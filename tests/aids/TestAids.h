#pragma once
// Aids for tests: where the helper programs are, a scratch registry key under
// HKCU, and the Windows 95 mode of a program through Wine's per-program
// version setting. Header-only, on every test program's include path.
#include "QvWindows.h"

#include <string>

namespace qvaid {

// Directory of this test program, with a trailing backslash.
inline std::string ProgramDir() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

inline std::string ProgramName() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    return s.substr(s.find_last_of('\\') + 1);
}

// Full path of a file of the build tree (e.g. "setup\\qvinst32.dll"), found
// upwards from this program's folder; empty when there is none.
inline std::string BuildPath(const std::string& relative) {
    std::string dir = ProgramDir();
    while (dir.size() > 3) {
        std::string candidate = dir + relative;
        if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) return candidate;
        dir = dir.substr(0, dir.find_last_of('\\', dir.size() - 2) + 1);
    }
    return std::string();
}

// Full path of a built aid (qvaid_helper.exe, qvaid_testdll.dll, callexport.exe).
inline std::string AidPath(const char* file) {
    std::string path = BuildPath(std::string("aids\\") + file);
    return path.empty() ? std::string(file) : path;
}

inline void DeleteKeyTree(HKEY root, const std::string& sub) {
    HKEY key;
    if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS) {
        char name[256];
        for (;;) {
            DWORD len = sizeof name;
            if (RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            DeleteKeyTree(key, name);
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(root, sub.c_str());
}

// HKCU\Software\QuorvaneTests\<program>-<pid>, created empty and removed with everything in it.
class ScratchKey {
public:
    ScratchKey() {
        path_ = "Software\\QuorvaneTests\\" + ProgramName() + "-" + std::to_string(GetCurrentProcessId());
        DeleteKeyTree(HKEY_CURRENT_USER, path_);
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS)
            RegCloseKey(key);
    }
    ~ScratchKey() { DeleteKeyTree(HKEY_CURRENT_USER, path_); }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const char* Path() const { return path_.c_str(); }
    HKEY Root() const { return HKEY_CURRENT_USER; }

    bool SetString(const char* name, const char* value) const {
        return Set(name, REG_SZ, value, DWORD(std::string(value).size() + 1));
    }
    bool SetNumber(const char* name, DWORD value, DWORD type = REG_DWORD) const {
        return Set(name, type, &value, sizeof value);
    }
    bool Set(const char* name, DWORD type, const void* data, DWORD size) const {
        return PutValue(name, type, data, size);
    }
    // False when the value is absent; type and bytes otherwise.
    bool Get(const char* name, DWORD* type, std::string* bytes) const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        char buf[1024];
        DWORD size = sizeof buf;
        LONG rc = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS) return false;
        if (bytes) bytes->assign(buf, size);
        return true;
    }

private:
    bool PutValue(const char* name, DWORD type, const void* data, DWORD size) const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) return false;
        LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS;
    }
    std::string path_;
};

// While it lives, programs of that file name (default: this test program)
// started from now on report the given Windows version ("win95", "nt40").
// Run the code under test in a child process (qvtest::RunChild) to see it.
class WindowsVersionScope {
public:
    explicit WindowsVersionScope(const char* version, std::string program = ProgramName())
        : path_("Software\\Wine\\AppDefaults\\" + program) {
        HKEY key;
        existed_ = RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (existed_) RegCloseKey(key);
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            char old[64];
            DWORD size = sizeof old, type = 0;
            hadValue_ = RegQueryValueExA(key, "Version", nullptr, &type, reinterpret_cast<BYTE*>(old), &size) ==
                        ERROR_SUCCESS;
            if (hadValue_) oldValue_.assign(old, size ? size - 1 : 0);
            RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                           DWORD(std::string(version).size() + 1));
            RegCloseKey(key);
        }
    }
    ~WindowsVersionScope() {
        if (!existed_) {
            DeleteKeyTree(HKEY_CURRENT_USER, path_);
            return;
        }
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
        if (hadValue_)
            RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(oldValue_.c_str()),
                           DWORD(oldValue_.size() + 1));
        else
            RegDeleteValueA(key, "Version");
        RegCloseKey(key);
    }
    WindowsVersionScope(const WindowsVersionScope&) = delete;
    WindowsVersionScope& operator=(const WindowsVersionScope&) = delete;

private:
    std::string path_;
    bool existed_ = false;
    bool hadValue_ = false;
    std::string oldValue_;
};

}  // namespace qvaid
