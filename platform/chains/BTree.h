#pragma once
// Height-balanced (AVL) tree over chain cells, keyed by a fixed-length,
// padded character key inside each object.
#include "Chain.h"

class bBTREE : public BASEITEM {
public:
    MSEMAPHORE lock;
    bSPOINTER* head;  // its next link holds the root
    long count;
    long height;
    long removingAll;
    KEYACCESS keyMember;
    long keyLength;
    char padChar;
    BUFFER keyView;
    char keyBuffer[QV_KEY_BUFFER];
    // State of the last bFind.
    bSPOINTER* found;
    bSPOINTER* next;
    bSPOINTER* balancePoint;
    bSPOINTER* balanceParent;
    bSPOINTER* rotationChild;

    explicit bBTREE(BBOOL locking = FALSE);
    ~bBTREE() override;

    virtual int CompareKey(STORABLE* object, const BUFFER& key);
    virtual BUFFER& GetKey(STORABLE* object);

    // FALSE for a key length outside 1..QV_MAX_KEY; then nothing is found or added.
    BBOOL bInitialize(KEYACCESS keyMember, int keyLength, char padChar);
    bSPOINTER& bFind(const char* key, int length);
    bSPOINTER& bAdd(bSPOINTER& cell, BBOOL searched);
    bSPOINTER& bRemoveN(bSPOINTER& cell, BBOOL searched);
    STORABLE* bRemove(bSPOINTER& cell, BBOOL searched);
    void RemoveAll(BBOOL freeItems, ALLOCATOR* allocator);
    bSPOINTER* Root() const { return head ? head->next : nullptr; }
};

template <class T>
class BTREE : public bBTREE {
public:
    explicit BTREE(BBOOL locking = FALSE) : bBTREE(locking) {}
    QV_ITEM_IDENTITY(BTREE<T>, "BTREE<T>", "BTRE")

    template <auto Member>
    BBOOL Initialize(int keyLength, char padChar) { return bInitialize(&QvKeyOf<T, Member>, keyLength, padChar); }
    T* Find(const char* key, int length = 0) { return CHAIN<T>::Cast(bFind(key, length).target); }
    // The object already holding an equal key, or object itself when added;
    // null when no cell can be had.
    T* Add(T& object);
    T* Remove(T& object);
};

template <class T>
T* BTREE<T>::Add(T& object) {
    bSPOINTER* cell = new bSPOINTER(static_cast<STORABLE&>(object));
    if (!cell) return nullptr;
    bSPOINTER& r = bAdd(*cell, FALSE);
    if (&r != cell) {
        delete cell;
        return CHAIN<T>::Cast(r.target);
    }
    return &object;
}

template <class T>
T* BTREE<T>::Remove(T& object) {
    BUFFER& k = GetKey(static_cast<STORABLE*>(&object));
    bSPOINTER& c = bFind(k.data, (int)k.length);
    if (!c.target || c.target != static_cast<STORABLE*>(&object)) return nullptr;
    return CHAIN<T>::Cast(bRemove(c, TRUE));
}
