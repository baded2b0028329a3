#include "zRegistry.h"

#include <cstring>
#include <vector>

zRegistry::zRegistry() : nt_(isRunningNT()), root_(HKEY_CURRENT_USER) {}

int zRegistry::isRunningNT() {
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

HKEY zRegistry::open(const ZKCString& path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root_, path.data(), 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

int zRegistry::createKey(const ZKCString& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root_, path.data(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

// Windows 95 deletes a key with everything below it; NT refuses a key with
// subkeys. The framework refuses first on 95 so that both behave as NT does.
int zRegistry::deleteKey(const ZKCString& path) {
    if (!nt_) {
        ZKTPtrSlist<ZKCString> children;
        getChildKeys(path, children);
        bool any = !children.isEmpty();
        children.clearAndDestroy();
        if (any) return 0;
    }
    return RegDeleteKeyA(root_, path.data()) == ERROR_SUCCESS;
}

int zRegistry::deleteValue(const ZKCString& path, const ZKCString& name) {
    HKEY key = open(path, KEY_ALL_ACCESS);
    if (!key) return 0;
    LONG rc = RegDeleteValueA(key, name.data());
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int zRegistry::createKeyValue(const ZKCString& path, const ZKCString& name, const ZKCString& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root_, path.data(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 0;
    LONG rc = RegSetValueExA(key, name.data(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                             DWORD(value.length() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int zRegistry::createKeyValue(const ZKCString& path, const ZKCString& name, const void* data, unsigned long size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root_, path.data(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 0;
    LONG rc = RegSetValueExA(key, name.data(), 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int zRegistry::enumNames(const ZKCString& path, ZKTPtrSlist<ZKCString>& list, bool values) {
    HKEY key = open(path, KEY_READ);
    if (!key) return 0;
    DWORD longestKey = 0, longestValue = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longestKey, nullptr, nullptr, &longestValue, nullptr,
                     nullptr, nullptr);
    std::vector<char> name((values ? longestValue : longestKey) + 1);
    for (DWORD i = 0;; ++i) {
        DWORD len = DWORD(name.size());
        LONG rc = values ? RegEnumValueA(key, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr)
                         : RegEnumKeyExA(key, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) break;
        list.append(new ZKCString(name.data(), len));
    }
    RegCloseKey(key);
    return 1;
}

int zRegistry::getChildKeys(const ZKCString& path, ZKTPtrSlist<ZKCString>& list) {
    return enumNames(path, list, false);
}

int zRegistry::getValueNames(const ZKCString& path, ZKTPtrSlist<ZKCString>& list) {
    return enumNames(path, list, true);
}

int zRegistry::getValueType(const ZKCString& path, const ZKCString& name) {
    HKEY key = open(path, KEY_READ);
    if (!key) return Other;
    DWORD type = 0;
    LONG rc = RegQueryValueExA(key, name.data(), nullptr, &type, nullptr, nullptr);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return Other;
    return type == REG_SZ ? String : type == REG_BINARY ? Binary : Other;
}

int zRegistry::keyExists(const ZKCString& path) {
    HKEY key = open(path, KEY_READ);
    if (key) RegCloseKey(key);
    return key != nullptr;
}

int zRegistry::valueNameExists(const ZKCString& path, const ZKCString& name) {
    HKEY key = open(path, KEY_READ);
    if (!key) return 0;
    LONG rc = RegQueryValueExA(key, name.data(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// Values stored without their NUL, or with text after it, are cut at the
// first NUL within the size Windows returned.
int zRegistry::getValue(const ZKCString& path, const ZKCString& name, ZKCString& out) {
    HKEY key = open(path, KEY_READ);
    if (!key) return 0;
    std::vector<char> buf(256);
    DWORD size = DWORD(buf.size());
    LONG rc = RegQueryValueExA(key, name.data(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf.data()), &size);
    if (rc == ERROR_MORE_DATA) {
        buf.resize(size);
        rc = RegQueryValueExA(key, name.data(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf.data()), &size);
    }
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return 0;
    DWORD n = 0;
    while (n < size && n < buf.size() && buf[n]) ++n;
    out = ZKCString(buf.data(), n);
    return 1;
}

int zRegistry::getValue(const ZKCString& path, const ZKCString& name, void* buffer, unsigned long size) {
    HKEY key = open(path, KEY_READ);
    if (!key) return 0;
    DWORD got = size;
    LONG rc = RegQueryValueExA(key, name.data(), nullptr, nullptr, static_cast<BYTE*>(buffer), &got);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}
