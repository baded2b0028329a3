#pragma once
// Keys and values under one root key of the registry, with paths relative to
// that root. Key deletion behaves alike on Windows 95 and NT: a key that still
// has subkeys is refused on both. Queries open keys for reading, writes with
// full access; every key is closed again before the call returns. Failures
// answer false and show nothing. Any thread; one object per thread.
#include "QvWindows.h"

#include "ZKCString.h"
#include "ZKTPtrList.h"

class zRegistry {
public:
    // getValueType's answers.
    enum ValueType { String = 0, Binary = 1, Other = 2 };

    // Root HKEY_CURRENT_USER.
    zRegistry();
    void setRegistryRoot(HKEY root) { root_ = root; }
    HKEY registryRoot() const { return root_; }
    static int isRunningNT();

    int createKey(const ZKCString& path);
    int deleteKey(const ZKCString& path);
    int deleteValue(const ZKCString& path, const ZKCString& name);
    // REG_SZ with its terminating NUL; the key is made when missing.
    int createKeyValue(const ZKCString& path, const ZKCString& name, const ZKCString& value);
    // REG_BINARY with the bytes given.
    int createKeyValue(const ZKCString& path, const ZKCString& name, const void* data, unsigned long size);

    // Appends new names the list then owns; true when the key could be opened.
    int getChildKeys(const ZKCString& path, ZKTPtrSlist<ZKCString>& list);
    int getValueNames(const ZKCString& path, ZKTPtrSlist<ZKCString>& list);
    // String, Binary, or Other for any other type and for no value.
    int getValueType(const ZKCString& path, const ZKCString& name);
    int keyExists(const ZKCString& path);
    int valueNameExists(const ZKCString& path, const ZKCString& name);
    // The whole value, however long, up to its first NUL.
    int getValue(const ZKCString& path, const ZKCString& name, ZKCString& out);
    // The value's bytes into the buffer; false when it does not fit or cannot be read.
    int getValue(const ZKCString& path, const ZKCString& name, void* buffer, unsigned long size);

private:
    HKEY open(const ZKCString& path, REGSAM access);
    int enumNames(const ZKCString& path, ZKTPtrSlist<ZKCString>& list, bool values);

    int nt_;
    HKEY root_;
};
