#include "Chain.h"

#include <cstring>

#include "Allocator.h"
#include "QvWindows.h"
#include "SpControl.h"
#include "TaskAbend.h"

bSPOINTER _NULLSPTR;
long bCHAIN::ItemsKept = 0;

namespace {
inline bool IsEnd(const bSPOINTER* c) { return !c || c == &_NULLSPTR || !c->target; }

// Holds a chain's lock for one operation.
struct Hold {
    MSEMAPHORE& lock;
    explicit Hold(MSEMAPHORE& l) : lock(l) { lock.Reserve(QV_WAIT_FOREVER, FALSE); }
    ~Hold() { lock.Release(FALSE); }
};
}  // namespace

bCHAIN::bCHAIN(BBOOL locking)
    : lock(locking), first(&_NULLSPTR), last(&_NULLSPTR), count(0), freeOnDestroy(0), removingAll(0) {}

bCHAIN::~bCHAIN() {
    if (count < 0) _Task_Abend(ABEND_CNT102, (ULONG_PTR)count);
    if (freeOnDestroy && count > 0) RemoveAll(TRUE, nullptr);
    if (count > 0) _Task_Abend(ABEND_CNT101, (ULONG_PTR)count);
}

bSPOINTER& bCHAIN::bAdd(bSPOINTER& cell) { return bAdd(cell, _NULLSPTR); }

bSPOINTER& bCHAIN::bAdd(STORABLE& object) { return bAdd(object, _NULLSPTR); }

bSPOINTER& bCHAIN::bAdd(STORABLE& object, bSPOINTER& before) {
    bSPOINTER* cell = new bSPOINTER(object);
    if (!cell) return _NULLSPTR;
    return bAdd(*cell, before);
}

bSPOINTER& bCHAIN::bAdd(bSPOINTER& cell, bSPOINTER& before) {
    Hold h(lock);
    if (cell.linked) _Task_Abend(ABEND_OBJ104, (ULONG_PTR)&cell);
    if (!cell.target) return _NULLSPTR;  // a cell without an object would end every walk early
    if (IsEnd(&before)) {
        cell.prev = last;
        cell.next = &_NULLSPTR;
        if (IsEnd(last)) first = &cell;
        else last->next = &cell;
        last = &cell;
    } else {
        if (!before.linked) _Task_Abend(ABEND_OBJ104, (ULONG_PTR)&before);
        cell.next = &before;
        cell.prev = before.prev;
        if (IsEnd(before.prev)) first = &cell;
        else before.prev->next = &cell;
        before.prev = &cell;
    }
    cell.linked = 1;
    InterlockedIncrement(&cell.target->chainCount);
    ++count;
    return cell;
}

STORABLE* bCHAIN::bRemove(bSPOINTER& cell, BBOOL freeCell) {
    Hold h(lock);
    if (count < 1) _Task_Abend(ABEND_CNT103, (ULONG_PTR)this);
    if (!cell.target || !cell.linked) _Task_Abend(ABEND_OBJ103, (ULONG_PTR)&cell);
    if (IsEnd(cell.prev)) first = cell.next;
    else cell.prev->next = cell.next;
    if (IsEnd(cell.next)) last = cell.prev;
    else cell.next->prev = cell.prev;
    if (IsEnd(first) || IsEnd(last)) first = last = &_NULLSPTR;
    cell.linked = 0;
    cell.next = cell.prev = nullptr;
    STORABLE* object = cell.target;
    InterlockedDecrement(&object->chainCount);
    --count;
    if (freeCell) delete &cell;
    return object;
}

STORABLE* bCHAIN::bRemoveFirst() {
    Hold h(lock);
    if (count < 1 || IsEnd(first)) return nullptr;
    return bRemove(*first, TRUE);
}

STORABLE* bCHAIN::bRemoveLast() {
    Hold h(lock);
    if (count < 1 || IsEnd(last)) return nullptr;
    return bRemove(*last, TRUE);
}

void bCHAIN::RemoveAll(BBOOL freeItems, ALLOCATOR* allocator) {
    Hold h(lock);
    removingAll = 1;
    bSPOINTER* cell = first;
    first = last = &_NULLSPTR;
    count = 0;
    while (!IsEnd(cell)) {
        bSPOINTER* next = cell->next;
        cell->linked = 0;
        STORABLE* object = cell->target;
        const long left = InterlockedDecrement(&object->chainCount);
        if (freeItems) {
            if (left != 0) InterlockedIncrement(&ItemsKept);
            else if (allocator && object->IsItemBLOCKED()) object->freeobj(*allocator);
            else object->freeobj();
        }
        delete cell;
        cell = next;
    }
    removingAll = 0;
}

bSPOINTER& bCHAIN::bFindCell(STORABLE* object) {
    Hold h(lock);
    for (bSPOINTER* c = first; !IsEnd(c); c = c->next)
        if (c->target == object) return *c;
    return _NULLSPTR;
}

// ---- iterator

bCITERATOR::~bCITERATOR() {
    if (holding) _Task_Abend(ABEND_SEM106, (ULONG_PTR)chain);
}

bSPOINTER& bCITERATOR::bBegin(bCHAIN& c) {
    if (holding && chain != &c) {
        reserved = 0;
        bEnd();
    }
    chain = &c;
    if (c.lock.handle && !holding) {
        c.lock.Reserve(QV_WAIT_FOREVER, FALSE);
        holding = 1;
    }
    current = c.first;
    if (IsEnd(current)) return bEnd();
    return *current;
}

bSPOINTER& bCITERATOR::bEnd() {
    if (holding && !reserved) {
        chain->lock.Release(FALSE);
        holding = 0;
    }
    current = &_NULLSPTR;
    return _NULLSPTR;
}

bSPOINTER& bCITERATOR::bSet(bCHAIN& c, bSPOINTER& cell) {
    chain = &c;
    current = cell.target ? &cell : c.first;
    return *current;
}

bSPOINTER& bCITERATOR::bNext() {
    if (IsEnd(current)) return _NULLSPTR;
    if (current == chain->last || IsEnd(current->next)) return bEnd();
    current = current->next;
    return *current;
}

STORABLE* bCITERATOR::bRemove(BBOOL freeCell) {
    if (IsEnd(current) || !chain) return nullptr;
    bSPOINTER* next = current->next;
    STORABLE* object = chain->bRemove(*current, freeCell);
    current = IsEnd(next) ? &_NULLSPTR : next;
    if (IsEnd(current)) bEnd();
    return object;
}

BBOOL bCITERATOR::bSetScan(KEYACCESS member, int length, char pad) {
    if (!member || length < 1 || length > QV_MAX_KEY) {
        keyMember = nullptr;
        keyLength = 0;
        return FALSE;
    }
    keyMember = member;
    keyLength = length;
    padChar = pad;
    return TRUE;
}

bSPOINTER& bCITERATOR::bScan(const char* key, int length, BBOOL stopOnEqual, BBOOL stopOnHigher) {
    found = 0;
    if (!chain || !keyMember || keyLength < 1 || keyLength > QV_MAX_KEY) return _NULLSPTR;
    if (!key) length = 0;
    else if (length == 0) length = (int)std::strlen(key);
    if (length < 0) length = 0;
    if (length > keyLength) length = keyLength;
    char padded[QV_KEY_BUFFER];
    if (length) std::memcpy(padded, key, length);
    for (int i = length; i < keyLength; ++i) padded[i] = padChar;
    Hold h(chain->lock);
    for (bSPOINTER* c = chain->first; !IsEnd(c); c = c->next) {
        int cmp = std::strncmp(keyMember(c->target), padded, keyLength);
        found = cmp == 0;
        if ((cmp == 0 && stopOnEqual) || (cmp > 0 && stopOnHigher)) return *c;
    }
    return _NULLSPTR;
}

bSPOINTER& bCITERATOR::bScanAdd(STORABLE& object) {
    if (!chain) return _NULLSPTR;
    // One hold across the scan and the insertion, so no other thread can
    // slip an object in between.
    bSPOINTER* result;
    {
        Hold h(chain->lock);
        bSPOINTER* before = keyMember ? &bScan(keyMember(&object), keyLength, FALSE, TRUE) : &_NULLSPTR;
        result = &chain->bAdd(object, *before);
    }
    // Ends with the reservation given back, as a closing SetReserved(FALSE) does.
    SetReserved(FALSE);
    return *result;
}

void bCITERATOR::SetReserved(BBOOL on) {
    if (on) {
        reserved = 1;
        return;
    }
    reserved = 0;
    if (holding) {
        chain->lock.Release(FALSE);
        holding = 0;
    }
}
