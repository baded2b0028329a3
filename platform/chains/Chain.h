#pragma once
// Doubly linked, lockable chains of STORABLE objects whose links live in
// separate cells, so one object can sit in several chains.
#include "BaseItem.h"
#include "Semaphore.h"

extern bSPOINTER _NULLSPTR;  // sentinel: null target, ends every walk

// How a key is reached inside an object: a fixed-length character array.
typedef const char* (*KEYACCESS)(STORABLE* object);

// Key accessor for a character-array member, e.g. QvKeyOf<ITEM, &ITEM::name>.
template <class T, auto Member>
const char* QvKeyOf(STORABLE* object) {
    return &(dynamic_cast<T*>(object)->*Member)[0];
}

class bCHAIN : public BASEITEM {
public:
    MSEMAPHORE lock;
    bSPOINTER* first;
    bSPOINTER* last;
    long count;
    long freeOnDestroy;  // destruction releases the items left
    long removingAll;

    explicit bCHAIN(BBOOL locking = TRUE);
    ~bCHAIN() override;

    bSPOINTER& bAdd(bSPOINTER& cell);
    bSPOINTER& bAdd(STORABLE& object);
    bSPOINTER& bAdd(bSPOINTER& cell, bSPOINTER& before);
    bSPOINTER& bAdd(STORABLE& object, bSPOINTER& before);
    STORABLE* bRemove(bSPOINTER& cell, BBOOL freeCell);
    STORABLE* bRemoveFirst();
    STORABLE* bRemoveLast();
    void RemoveAll(BBOOL freeItems, ALLOCATOR* allocator);
    // The cell holding object, or _NULLSPTR.
    bSPOINTER& bFindCell(STORABLE* object);

    // Items left alone by RemoveAll because another chain still held them.
    static long ItemsKept;
};

class bCITERATOR {
public:
    bCHAIN* chain;
    bSPOINTER* current;
    long holding;   // this iterator holds the chain's lock
    long reserved;  // keep the lock between calls
    KEYACCESS keyMember;
    long keyLength;
    char padChar;
    long found;

    bCITERATOR() : chain(nullptr), current(&_NULLSPTR), holding(0), reserved(0), keyMember(nullptr),
                   keyLength(0), padChar(' '), found(0) {}
    ~bCITERATOR();  // fatal while still holding the lock: "SEM106"
    bCITERATOR(const bCITERATOR&) = delete;
    bCITERATOR& operator=(const bCITERATOR&) = delete;

    bSPOINTER& bBegin(bCHAIN& chain);
    bSPOINTER& bEnd();
    bSPOINTER& bSet(bCHAIN& chain, bSPOINTER& cell);
    bSPOINTER& bNext();
    STORABLE* bRemove(BBOOL freeCell);
    // FALSE (and scans find nothing) for a key length outside 1..QV_MAX_KEY.
    BBOOL bSetScan(KEYACCESS keyMember, int keyLength, char padChar);
    bSPOINTER& bScan(const char* key, int length, BBOOL stopOnEqual, BBOOL stopOnHigher);
    bSPOINTER& bScanAdd(STORABLE& object);
    void SetReserved(BBOOL on);
};

template <class T>
class CHAIN : public bCHAIN {
public:
    explicit CHAIN(BBOOL locking = TRUE) : bCHAIN(locking) {}
    QV_ITEM_IDENTITY(CHAIN<T>, "CHAIN<T>", "CHNA")

    static T* Cast(STORABLE* s) { return s ? dynamic_cast<T*>(s) : nullptr; }
    bSPOINTER& Add(T& object) { return bAdd(static_cast<STORABLE&>(object)); }
    bSPOINTER& Add(T& object, bSPOINTER& before) { return bAdd(static_cast<STORABLE&>(object), before); }
    T* Remove(bSPOINTER& cell, BBOOL freeCell = TRUE) { return Cast(bRemove(cell, freeCell)); }
    T* Remove(T& object) {
        bSPOINTER& c = bFindCell(&object);
        return c.target ? Cast(bRemove(c, TRUE)) : nullptr;
    }
    T* RemoveFirst() { return Cast(bRemoveFirst()); }
    T* RemoveLast() { return Cast(bRemoveLast()); }
    T* First() { return Cast(first->target); }
    T* Last() { return Cast(last->target); }
    long Count() const { return count; }
};

template <class T>
class CITERATOR : public bCITERATOR {
public:
    // Walks hold the chain's lock from Begin until the walk ends.
    T* Begin(CHAIN<T>& c) { return CHAIN<T>::Cast(bBegin(c).target); }
    T* Next() { return CHAIN<T>::Cast(bNext().target); }
    T* Current() { return CHAIN<T>::Cast(current->target); }
    void End() { bEnd(); }
    T* Remove(BBOOL freeCell = TRUE) { return CHAIN<T>::Cast(bRemove(freeCell)); }
    template <auto Member>
    BBOOL SetScan(int keyLength, char padChar) { return bSetScan(&QvKeyOf<T, Member>, keyLength, padChar); }
    T* Scan(const char* key, int length, BBOOL stopOnEqual, BBOOL stopOnHigher) {
        return CHAIN<T>::Cast(bScan(key, length, stopOnEqual, stopOnHigher).target);
    }
    bSPOINTER& ScanAdd(T& object) { return bScanAdd(static_cast<STORABLE&>(object)); }
};
