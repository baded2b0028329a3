#pragma once
// Root of the object model: reference-counted release through freeobj, the
// marker bases and the plain value types.
#include "QvBase.h"

class BASEITEM {
public:
    long count;  // prepare() calls not yet matched by freeobj; changed only atomically

    BASEITEM() : count(0) {}
    BASEITEM(const BASEITEM&) : count(0) {}
    BASEITEM& operator=(const BASEITEM&) { return *this; }
    virtual ~BASEITEM() {}

    virtual void freeobj();
    virtual void freeobj(MEMORYPOOL* pool);
    virtual void freeobj(ALLOCATOR& allocator);
    virtual void prepare();
    virtual BBOOL IsItemBLOCKED() const { return FALSE; }
    virtual BBOOL IsItemSTORABLE() const { return FALSE; }
    virtual BBOOL IsItemSTREAMABLE() const { return FALSE; }
    virtual STORABLE* ItemGetSTORABLE() { return nullptr; }
    virtual STREAMABLE* ItemGetSTREAMABLE() { return nullptr; }
    virtual const char* ItemClassName() const = 0;
    virtual unsigned long ItemClassID() const = 0;
    virtual void* ItemGetAddress() const = 0;  // start of the most-derived object
    virtual int ItemGetSize() const = 0;

    // Pool memory; a failed allocation ends the program ("STG101").
    static void* operator new(size_t size);
    static void* operator new(size_t size, MEMORYPOOL* pool);
    // An allocator cell; may be null when the allocator is fed by a pool.
    static void* operator new(size_t size, ALLOCATOR& allocator) noexcept;
    // Objects go only through freeobj: a plain delete is fatal ("DEL101").
    static void operator delete(void* p);
    static void operator delete(void* p, MEMORYPOOL* pool);
    static void operator delete(void* p, ALLOCATOR& allocator);

private:
    void ReleaseMemory(int how, void* where);
};

// The four identity slots of a concrete class; use inside the class body.
#define QV_ITEM_IDENTITY(Class, name, tag4)                                  \
    const char* ItemClassName() const override { return name; }             \
    unsigned long ItemClassID() const override { return QvTag(tag4); }      \
    void* ItemGetAddress() const override { return (void*)static_cast<const Class*>(this); } \
    int ItemGetSize() const override { return (int)sizeof(Class); }

// Objects with identity that chains can hold.
class STORABLE : public virtual BASEITEM {
public:
    // Chain cells pointing at this object; changed only atomically, as chains
    // guarded by different locks may hold the same object.
    long chainCount;

    STORABLE() : chainCount(0) {}
    STORABLE(const STORABLE&) : BASEITEM(), chainCount(0) {}
    STORABLE& operator=(const STORABLE&);  // fatal: "OBJ101"
    ~STORABLE() override;                  // fatal while still in a chain: "OBJ102"
    BBOOL IsItemSTORABLE() const override { return TRUE; }
    STORABLE* ItemGetSTORABLE() override { return this; }
};

// Classes living in fixed-size allocator cells: made only by the allocator
// form of new.
class bBLOCKED {
public:
    static void* operator new(size_t size);  // fatal: "NEW104" for 0, else "NEW101"
    static void* operator new(size_t size, ALLOCATOR& allocator) noexcept;
    static void operator delete(void* p);    // fatal: "DEL101"
    static void operator delete(void* p, ALLOCATOR& allocator);
};

class BLOCKED : public virtual BASEITEM, public virtual bBLOCKED {
public:
    using bBLOCKED::operator new;
    using bBLOCKED::operator delete;
    BBOOL IsItemBLOCKED() const override { return TRUE; }
};

// One cell of a chain or tree; cells come from _pCOMSPTRA.
class bSPOINTER : public bBLOCKED {
public:
    STORABLE* target;
    bSPOINTER* next;
    bSPOINTER* prev;
    long linked;      // 1 while in a chain or tree
    long direction;   // tree bookkeeping
    signed char balance;

    bSPOINTER() : target(nullptr), next(nullptr), prev(nullptr), linked(0) {}
    explicit bSPOINTER(STORABLE& object) : target(&object), next(nullptr), prev(nullptr), linked(0) {}
    bSPOINTER(const bSPOINTER& other) : bBLOCKED(), target(other.target), next(nullptr), prev(nullptr), linked(0) {}
    bSPOINTER& operator=(const bSPOINTER&) = delete;
    ~bSPOINTER();  // fatal while linked: "OBJ102"

    // A new cell from _pCOMSPTRA, null when none can be had.
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* p);
};

// Pointer-and-length view; owns nothing.
class BUFFER {
public:
    char* data;
    long length;

    BUFFER() : data(nullptr), length(0) {}
    BUFFER(char* d, long n) : data(d), length(n) {}
    BUFFER(const BUFFER&) = default;
    BUFFER& operator=(const BUFFER&) = default;

    // Appends text as a write cursor over free space, always keeping room for
    // the terminator; text that does not fit is cut.
    BUFFER& AddString(const char* text);
};

// Describes a binary value: the view plus four words.
class BLOBDEF : public BUFFER {
public:
    unsigned long first;
    unsigned long second;
    unsigned long kind;
    unsigned long count;

    BLOBDEF() : first(0), second(0), kind(0), count(0) {}
    BLOBDEF(const BUFFER& b) : BUFFER(b), first(0), second(0), kind(0), count(0) {}
    BLOBDEF(unsigned long a, unsigned long b) : first(a), second(b), kind(1), count(1) {}
};
