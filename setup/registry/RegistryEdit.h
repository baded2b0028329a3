#pragma once
// The setup library's registry editor. A section of an INI file lists values
// to set, one key per value:
//     <subkey> : <value name>=<new data>        (':' may also be '=')
// Data beginning "0x" makes a new value a REG_DWORD, anything else a REG_SZ;
// an existing value keeps its type. Applying a section saves every value it
// replaces into "SAVED <section>" of the same file, in the form it is read
// back by a restore:
//   strings            the text
//   REG_MULTI_SZ       the strings with their NULs as "\0" and '\' as "\\"
//   DWORD, big-endian DWORD and 4-byte binaries   "0x" and hex digits
//   other binaries     "hex:" and two hex digits per byte
// The first save of a value wins, so a second apply keeps the original; a
// restore removes each entry it wrote back.
#include "QvBase.h"
#include "QvWindows.h"

// Key sets: which registry root and which INI section an operation uses.
enum REGKEYSET { KEYSET_USER = 1, KEYSET_LOCAL = 2, KEYSET_SAVED_USER = 4, KEYSET_SAVED_LOCAL = 5, KEYSET_CHECKED = 6 };

class REGISTRY {
public:
    REGISTRY(const char* file, int keySet);
    // The two-text form sets the copy flag: text is a second INI file to copy
    // from, or (operation 4) the text to add to a key.
    REGISTRY(const char* file, int keySet, const char* text);
    virtual ~REGISTRY();
    REGISTRY(const REGISTRY&) = delete;
    REGISTRY& operator=(const REGISTRY&) = delete;

    virtual int ModifyRegistry() = 0;
    void SetSaveFlag(int flag) { copy = flag; }

protected:
    // Reads the section (or, with the copy flag, the whole section of the
    // second file) and applies or copies it; 0 when it is missing or empty.
    int SwapRegistryValues();
    int EnumerateAndReplace();
    // One entry: open the subkey, save the old value, set the new one.
    void ReplaceValue(const char* entry);

    char* file = nullptr;      // the INI file (owned)
    char* text = nullptr;      // second INI file or the text to add (owned)
    char* section = nullptr;   // section text or key-name list (owned, grown in steps of 256)
    int sectionSize = 0;
    HKEY root = nullptr;       // null: the key set has no root
    char sectionName[256] = {};
    int keySet;
    int copy = 0;
    BBOOL restoring = 0;       // restore: no save, remove what was written back
};

class MODREG : public REGISTRY {
public:
    using REGISTRY::REGISTRY;
    int ModifyRegistry() override;
    // Adds the text to the key named by file, whose values form a numbered
    // list "0", "1", ..., under the number after the highest one, unless a
    // string value already equals it (without regard to case). The key's other
    // values and subkeys stay as they are.
    int AddRegistryKey();
};

class RESTREG : public REGISTRY {
public:
    using REGISTRY::REGISTRY;
    int ModifyRegistry() override;
};

extern "C" {
// The installer's entry: operation 1 applies key set keySet's section of
// file to the registry, 2 restores its saved values, 3 copies the section
// from INI file argument into file, 4 adds the text argument to the numbered
// list of key file. Key sets 1 (HKEY_CURRENT_USER) and 2 (HKEY_LOCAL_MACHINE)
// edit the registry; 4 to 6 name sections to copy; others give 0.
int WINAPI ModifyRegistryValues(const char* file, int keySet, int operation, const char* argument);
}
