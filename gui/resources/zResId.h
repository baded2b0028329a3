#pragma once
// Resource names (by number or text, with the module that holds them), raw
// user resources, superclassed control records and message boxes.
#include "QvWindows.h"
#include "ZKCString.h"
#include "ZKList.h"

class zWindow;

// Module name meaning "the program itself, not the default resource module".
#define zResThisModule (reinterpret_cast<const char*>(-1))

class zResId {
public:
    zResId(int id, const char* module = 0);
    zResId(const char* name, const char* module = 0);
    zResId(const ZKCString& name, const char* module = 0);
    zResId(const ZKCString& name, HMODULE handle);
    zResId(const zResId& o);
    zResId& operator=(const zResId& o);
    ~zResId();

    // The value for the Windows load functions: the number, or the name.
    LPCSTR id() const;
    int number() const { return num_; }
    const char* name() const { return name_; }
    const char* moduleName() const { return module_; }
    HMODULE moduleHandle() const { return handle_; }

    // The module to load from: a named library (loaded now; *loaded set so the
    // caller frees it), else the id's handle, else the application instance.
    HMODULE acquireModule(bool* loaded) const;

    // String-table text of the id (at most 255 characters).
    ZKCString loadStr() const;

private:
    void copyFrom(const zResId& o);
    const char* name_;
    int num_;
    const char* module_;
    int owned_;
    HMODULE handle_;
};

// The application's instance, or the program's module when no application
// object exists.
HINSTANCE zResAppInstance();

class zUserResource {
public:
    explicit zUserResource(const zResId& id);
    zUserResource(const zResId& id, const ZKCString& type);
    virtual ~zUserResource();
    zUserResource(const zUserResource&) = delete;
    zUserResource& operator=(const zUserResource&) = delete;

    const void* data() const { return data_; }
    DWORD size() const { return size_; }
    bool isLoaded() const { return data_ != 0; }

private:
    void load(const zResId& id, LPCSTR type);
    HGLOBAL res_;
    HMODULE module_;
    const void* data_;
    int freeModule_;
    DWORD size_;
};

class zSuperClass : public ZKIsvSlink {
public:
    zSuperClass();
    zSuperClass(const ZKCString& className, WNDPROC newProc, HMODULE module);

    // First record of that exact (case-sensitive) name, or null.
    static zSuperClass* lookup(const ZKCString& className);
    // Frees every record, releasing the libraries they hold.
    static void unregister();

    const ZKCString& className() const { return name_; }
    WNDPROC baseProc() const { return baseProc_; }
    WNDPROC newProc() const { return newProc_; }
    WNDPROC curProc() const { return curProc_; }
    void curProc(WNDPROC p) { curProc_ = p; }
    HINSTANCE instance() const { return inst_; }
    HMODULE module() const { return module_; }

private:
    ZKCString name_;
    WNDPROC baseProc_;
    WNDPROC newProc_;
    WNDPROC curProc_;
    HINSTANCE inst_;
    HMODULE module_;
};

class zSuperClassSlist : public ZKIsvSlist {};

// Shows a message box at construction; keeps the id of the closing button.
class zMessage {
public:
    zMessage(zWindow* owner, const char* text, const char* caption, unsigned style = MB_OK);
    int value() const { return answer_; }
    bool isOk() const { return answer_ == IDOK; }
    bool isYes() const { return answer_ == IDYES; }

private:
    int answer_;
};
