#pragma once
// Streamable containers of labelled objects, rebuilt on reading through a class registry.
#include "QvWindows.h"
#include "QvBase.h"
#include "BaseItem.h"
#include "Allocator.h"
#include "Chain.h"
#include "Streamable.h"

class DATACLASS : public STORABLE {
public:
    typedef STREAMABLE* (*CREATOR)(unsigned long classId);
    typedef void (*DESTROYER)(STREAMABLE* object, unsigned long value);

    DATACLASS(unsigned long classId, CREATOR create, DESTROYER destroy);
    QV_ITEM_IDENTITY(DATACLASS, "DATACLASS", "CLSa")

    static DATACLASS* findclass(unsigned long classId);

    unsigned long classId;
    CREATOR create;
    DESTROYER destroy;
};

// The package registry (QvWindows.h keeps the name free of the window-class macro).
BBOOL RegisterClass(unsigned long classId, DATACLASS::CREATOR create, DATACLASS::DESTROYER destroy);

class DATALABEL : public STORABLE, public STREAMABLE {
public:
    DATALABEL();
    DATALABEL(STORABLE& object, const char* name);
    DATALABEL(const DATALABEL& other);
    DATALABEL& operator=(const DATALABEL& other);

    QV_ITEM_IDENTITY(DATALABEL, "DATALABEL", "LBLa")

    void Attach(STORABLE& object, const char* name);
    BBOOL StreamIn(STREAMBUF& in) override;
    BBOOL StreamOut(STREAMBUF& out) override;
    int ItemStreamSize(BBOOL forPrefix) override;

    unsigned long classId;
    char labelName[64];

protected:
    void SetName(const char* name);
};

// A package entry: its label and the chain cell that holds the labelled object.
template <class T>
class LABEL : public DATALABEL, public BLOCKED {
public:
    using BLOCKED::operator new;
    using BLOCKED::operator delete;

    LABEL() {}
    LABEL(T& object, const char* name) : DATALABEL(object, name), cell(object) {}

    QV_ITEM_IDENTITY(LABEL<T>, "DATALABEL", "LBLa")

    T* Object() const { return static_cast<T*>(cell.target); }
    static LABEL* FromCell(bSPOINTER* c) {
        return reinterpret_cast<LABEL*>(reinterpret_cast<char*>(c) - CellOffset());
    }

    bSPOINTER cell;

private:
    static long CellOffset() {
        static long offset = -1;
        if (offset < 0) {
            alignas(LABEL) static char probe[sizeof(LABEL)];
            LABEL* p = reinterpret_cast<LABEL*>(probe);
            offset = (long)(reinterpret_cast<char*>(&p->cell) - reinterpret_cast<char*>(p));
        }
        return offset;
    }
};

class DATAPACKAGE : public STORABLE, public STREAMABLE {
public:
    DATAPACKAGE(const char* name, BBOOL publish);
    ~DATAPACKAGE() override;

    QV_ITEM_IDENTITY(DATAPACKAGE, "DATAPACKAGE", "PKGa")

    BBOOL StreamIn(STREAMBUF& in) override;
    BBOOL StreamOut(STREAMBUF& out) override;
    int ItemStreamSize(BBOOL forPrefix) override;

    LABEL<STORABLE>& Add(STORABLE& object, const char* name);
    LABEL<STORABLE>& Get(unsigned long classId, const char* name);
    STORABLE* Remove(unsigned long classId, const char* name);
    STORABLE* RemoveLB(LABEL<STORABLE>& entry);
    int Enumerate(void (*visit)(LABEL<STORABLE>&, void*), void* argument);
    void DestroyAll();

    DATALABEL ownLabel;
    ALLOCATOR labelAllocator;
    CHAIN<STORABLE> entries;
    LABEL<STORABLE>* registration;
    bCITERATOR cursor;

private:
    void Publish();
    void Unpublish();
    void FreeEntry(LABEL<STORABLE>* entry);
};

extern CHAIN<DATACLASS>* _pPackageClasses;
extern DATAPACKAGE* _pSystemPackage;
extern LABEL<STORABLE> _NULLSLBL;

class DPACKAGE_INIT : public STATIC_INIT {
public:
    DPACKAGE_INIT();
    ~DPACKAGE_INIT();
    static int InitCount;
};

static DPACKAGE_INIT _dPackageInit;
