#include "zResId.h"

#include <cstring>

#include "zApp.h"
#include "zWindow.h"

HINSTANCE zResAppInstance() { return _app ? _app->instance() : GetModuleHandleA(0); }

namespace {

const char* defaultModuleName() { return _app ? _app->defaultResourceModule() : 0; }

char* dupName(const ZKCString& s) {
    char* p = new char[s.length() + 1];
    std::memcpy(p, s.data(), s.length() + 1);
    return p;
}

}  // namespace

zResId::zResId(int id, const char* module)
    : name_(0), num_(id), module_(module == zResThisModule ? 0 : (module ? module : defaultModuleName())),
      owned_(0), handle_(0) {}

zResId::zResId(const char* name, const char* module)
    : name_(name), num_(0), module_(module == zResThisModule ? 0 : (module ? module : defaultModuleName())),
      owned_(0), handle_(0) {}

zResId::zResId(const ZKCString& name, const char* module)
    : name_(dupName(name)), num_(0),
      module_(module == zResThisModule ? 0 : (module ? module : defaultModuleName())), owned_(1), handle_(0) {}

zResId::zResId(const ZKCString& name, HMODULE handle)
    : name_(dupName(name)), num_(0), module_(0), owned_(1), handle_(handle) {}

void zResId::copyFrom(const zResId& o) {
    num_ = o.num_;
    module_ = o.module_;
    handle_ = o.handle_;
    owned_ = o.owned_;
    if (o.owned_ && o.name_) {
        char* p = new char[std::strlen(o.name_) + 1];
        std::strcpy(p, o.name_);
        name_ = p;
    } else {
        name_ = o.name_;
    }
}

zResId::zResId(const zResId& o) { copyFrom(o); }

zResId& zResId::operator=(const zResId& o) {
    if (this != &o) {
        if (owned_) delete[] name_;
        copyFrom(o);
    }
    return *this;
}

zResId::~zResId() {
    if (owned_) delete[] name_;
}

LPCSTR zResId::id() const {
    if (num_) return MAKEINTRESOURCEA(num_ & 0xFFFF);
    return name_;
}

HMODULE zResId::acquireModule(bool* loaded) const {
    *loaded = false;
    if (module_) {
        HMODULE h = LoadLibraryA(module_);
        if (reinterpret_cast<UINT_PTR>(h) < 32) return 0;
        *loaded = true;
        return h;
    }
    if (handle_) return handle_;
    return zResAppInstance();
}

ZKCString zResId::loadStr() const {
    char buf[256];
    HMODULE module = zResAppInstance();
    HMODULE lib = 0;
    if (module_) {
        lib = LoadLibraryA(module_);
        // A library that does not load falls back to the program's own table.
        if (reinterpret_cast<UINT_PTR>(lib) >= 32) module = lib;
        else lib = 0;
    }
    if (handle_) module = handle_;
    int n = LoadStringA(module, num_ & 0xFFFF, buf, sizeof buf);
    if (lib) FreeLibrary(lib);
    return n > 0 ? ZKCString(buf, static_cast<ZKSize_T>(n)) : ZKCString();
}

// ---- user resources ---------------------------------------------------------

zUserResource::zUserResource(const zResId& id)
    : res_(0), module_(0), data_(0), freeModule_(0), size_(0) {
    load(id, MAKEINTRESOURCEA(10));
}

zUserResource::zUserResource(const zResId& id, const ZKCString& type)
    : res_(0), module_(0), data_(0), freeModule_(0), size_(0) {
    load(id, type.data());
}

void zUserResource::load(const zResId& id, LPCSTR type) {
    bool loaded = false;
    module_ = id.acquireModule(&loaded);
    freeModule_ = loaded ? 1 : 0;
    if (!module_) return;
    HRSRC found = FindResourceA(module_, id.id(), type);
    if (found) res_ = LoadResource(module_, found);
    if (res_) data_ = LockResource(res_);
    if (data_) size_ = SizeofResource(module_, found);
}

zUserResource::~zUserResource() {
    if (res_) FreeResource(res_);
    if (freeModule_) FreeLibrary(module_);
}

// ---- superclassed controls --------------------------------------------------

namespace {
zSuperClassSlist* g_superClasses = 0;
}

zSuperClass::zSuperClass() : baseProc_(0), newProc_(0), curProc_(0), inst_(0), module_(0) {}

zSuperClass::zSuperClass(const ZKCString& className, WNDPROC newProc, HMODULE module)
    : name_(className), baseProc_(0), newProc_(newProc), curProc_(newProc), inst_(zResAppInstance()),
      module_(module) {
    if (!g_superClasses) g_superClasses = new zSuperClassSlist;
    g_superClasses->insertAt(g_superClasses->entries(), this);
    WNDCLASSA wc;
    if (GetClassInfoA(0, name_.data(), &wc)) baseProc_ = wc.lpfnWndProc;
}

zSuperClass* zSuperClass::lookup(const ZKCString& className) {
    if (!g_superClasses) return 0;
    ZKIsvSlistIterator it(*g_superClasses);
    while (ZKIsvSlink* l = ++it) {
        zSuperClass* s = static_cast<zSuperClass*>(l);
        if (s->name_ == className) return s;
    }
    return 0;
}

void zSuperClass::unregister() {
    if (!g_superClasses) return;
    while (!g_superClasses->isEmpty()) {
        zSuperClass* s = static_cast<zSuperClass*>(g_superClasses->removeAt(0));
        if (reinterpret_cast<UINT_PTR>(s->module_) > 32) FreeLibrary(s->module_);
        delete s;
    }
}

// ---- message boxes ----------------------------------------------------------

zMessage::zMessage(zWindow* owner, const char* text, const char* caption, unsigned style)
    : answer_(MessageBoxA(owner ? owner->windowHandle() : 0, text, caption, style & 0xFFFF)) {}
