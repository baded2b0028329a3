#include "BTree.h"

#include <cstring>

#include "Allocator.h"
#include "QvWindows.h"
#include "SpControl.h"
#include "TaskAbend.h"

bBTREE::bBTREE(BBOOL locking)
    : lock(locking), head(nullptr), count(0), height(0), removingAll(0), keyMember(nullptr), keyLength(0),
      padChar(' '), found(nullptr), next(nullptr), balancePoint(nullptr), balanceParent(nullptr),
      rotationChild(nullptr) {
    std::memset(keyBuffer, 0, sizeof keyBuffer);
}

bBTREE::~bBTREE() {
    if (count > 0) _Task_Abend(ABEND_CNT101, (ULONG_PTR)count);
    if (head) delete head;
    head = nullptr;
}

int bBTREE::CompareKey(STORABLE* object, const BUFFER& key) {
    return std::memcmp(keyMember(object), key.data, key.length);
}

BUFFER& bBTREE::GetKey(STORABLE* object) {
    keyView.data = const_cast<char*>(keyMember(object));
    keyView.length = keyLength;
    return keyView;
}

namespace {
// The child on side a: +1 the higher subtree (next), -1 the lower one (prev).
inline bSPOINTER*& Child(bSPOINTER* x, int a) { return a > 0 ? x->next : x->prev; }
inline int Side(const bSPOINTER* x) { return x->direction == 0 ? 1 : -1; }
const int MAX_PATH_CELLS = 64;  // an AVL tree of 2^32 cells is less than 48 high
}  // namespace

BBOOL bBTREE::bInitialize(KEYACCESS member, int length, char pad) {
    if (!member || length < 1 || length > QV_MAX_KEY) {
        keyMember = nullptr;
        keyLength = 0;
        return FALSE;
    }
    if (!head) {
        head = new bSPOINTER();
        if (!head) _Task_Abend(ABEND_STG101, (ULONG_PTR)sizeof(bSPOINTER));
    }
    head->next = head->prev = nullptr;
    head->balance = 0;
    head->direction = 0;
    keyMember = member;
    keyLength = length;
    padChar = pad;
    keyView.length = length;
    return TRUE;
}

bSPOINTER& bBTREE::bFind(const char* key, int length) {
    found = next = nullptr;
    if (!head || !keyMember) return _NULLSPTR;
    if (!key) length = 0;
    else if (length == 0) length = (int)std::strlen(key);
    if (length < 0) length = 0;
    if (length > keyLength) length = keyLength;
    if (length && key != keyBuffer) std::memmove(keyBuffer, key, length);
    for (int i = length; i < keyLength; ++i) keyBuffer[i] = padChar;
    const BUFFER search(keyBuffer, keyLength);

    head->direction = 0;
    bSPOINTER* parent = head;
    bSPOINTER* cell = head->next;
    balancePoint = cell;
    balanceParent = head;
    found = head;
    while (cell) {
        int c = CompareKey(cell->target, search);
        if (c == 0) {
            found = next = cell;
            return *cell;
        }
        if (cell->balance != 0) {
            balancePoint = cell;
            balanceParent = parent;
        }
        cell->direction = c < 0 ? 0 : 1;
        parent = found = cell;
        cell = Child(cell, Side(cell));
    }
    return _NULLSPTR;
}

// Restores balance at s, whose side a is two levels taller; t is its parent
// and names by its direction the side s hangs on. TRUE when the subtree got lower.
static BBOOL Rebalance(bSPOINTER* s, int a, bSPOINTER* t, bSPOINTER** rotationChild) {
    bSPOINTER* r = Child(s, a);
    *rotationChild = r;
    bSPOINTER* top;
    BBOOL lower = TRUE;
    if (r->balance == a) {
        Child(s, a) = Child(r, -a);
        Child(r, -a) = s;
        s->balance = r->balance = 0;
        top = r;
    } else if (r->balance == -a) {
        bSPOINTER* p = Child(r, -a);
        Child(r, -a) = Child(p, a);
        Child(p, a) = r;
        Child(s, a) = Child(p, -a);
        Child(p, -a) = s;
        if (p->balance == a) {
            s->balance = (signed char)-a;
            r->balance = 0;
        } else if (p->balance == -a) {
            s->balance = 0;
            r->balance = (signed char)a;
        } else {
            s->balance = r->balance = 0;
        }
        p->balance = 0;
        top = p;
    } else {
        Child(s, a) = Child(r, -a);
        Child(r, -a) = s;
        r->balance = (signed char)-a;
        s->balance = (signed char)a;
        top = r;
        lower = FALSE;
    }
    Child(t, Side(t)) = top;
    return lower;
}

bSPOINTER& bBTREE::bAdd(bSPOINTER& cell, BBOOL searched) {
    if (cell.linked) _Task_Abend(ABEND_OBJ104, (ULONG_PTR)&cell);
    if (!head || !keyMember || !cell.target) return _NULLSPTR;
    if (!searched) {
        BUFFER& k = GetKey(cell.target);
        bFind(k.data, (int)k.length);
    }
    if (next) return *next;  // the key is present
    if (!found) return _NULLSPTR;
    cell.next = cell.prev = nullptr;
    cell.balance = 0;
    cell.direction = 0;
    Child(found, Side(found)) = &cell;
    if (found == head) {
        height = 1;
    } else {
        bSPOINTER* s = balancePoint;
        int a = Side(s);
        for (bSPOINTER* p = Child(s, a); p != &cell; p = Child(p, Side(p))) p->balance = (signed char)Side(p);
        if (s->balance == 0) {
            s->balance = (signed char)a;
            ++height;
        } else if (s->balance == -a) {
            s->balance = 0;
        } else {
            Rebalance(s, a, balanceParent, &rotationChild);
        }
    }
    cell.linked = 1;
    InterlockedIncrement(&cell.target->chainCount);
    ++count;
    return cell;
}

bSPOINTER& bBTREE::bRemoveN(bSPOINTER& cell, BBOOL searched) {
    if (!cell.linked || !cell.target || !head) _Task_Abend(ABEND_OBJ104, (ULONG_PTR)&cell);
    if (!searched) {
        BUFFER& k = GetKey(cell.target);
        bFind(k.data, (int)k.length);
    }
    if (next != &cell) _Task_Abend(ABEND_OBJ104, (ULONG_PTR)&cell);

    // The path from the head to the cell, as the search left its directions.
    bSPOINTER* path[MAX_PATH_CELLS];
    int n = 0;
    path[n++] = head;
    head->direction = 0;
    for (bSPOINTER* p = head->next; p != &cell; p = Child(p, Side(p))) {
        if (!p || n >= MAX_PATH_CELLS - 1) _Task_Abend(ABEND_OBJ104, (ULONG_PTR)&cell);
        path[n++] = p;
    }
    if (!cell.prev || !cell.next) {
        bSPOINTER* child = cell.prev ? cell.prev : cell.next;
        Child(path[n - 1], Side(path[n - 1])) = child;
    } else {
        // The in-order successor takes the cell's place.
        int at = n;
        cell.direction = 0;
        path[n++] = &cell;
        bSPOINTER* s = cell.next;
        while (s->prev) {
            if (n >= MAX_PATH_CELLS - 1) _Task_Abend(ABEND_OBJ104, (ULONG_PTR)&cell);
            s->direction = 1;
            path[n++] = s;
            s = s->prev;
        }
        Child(path[n - 1], Side(path[n - 1])) = s->next;
        s->prev = cell.prev;
        s->next = cell.next;
        s->balance = cell.balance;
        s->direction = 0;
        path[at] = s;
        Child(path[at - 1], Side(path[at - 1])) = s;
    }
    // Back up the path: the side each node's direction names got one lower.
    int i = n - 1;
    for (; i >= 1; --i) {
        bSPOINTER* x = path[i];
        int d = Side(x);
        if (x->balance == d) {
            x->balance = 0;
        } else if (x->balance == 0) {
            x->balance = (signed char)-d;
            break;
        } else if (!Rebalance(x, -d, path[i - 1], &rotationChild)) {
            break;
        }
    }
    if (i < 1) --height;
    cell.linked = 0;
    cell.next = cell.prev = nullptr;
    InterlockedDecrement(&cell.target->chainCount);
    --count;
    found = next = nullptr;
    return cell;
}

STORABLE* bBTREE::bRemove(bSPOINTER& cell, BBOOL searched) {
    bRemoveN(cell, searched);
    STORABLE* object = cell.target;
    delete &cell;
    return object;
}

static void FreeSubtree(bSPOINTER* cell, BBOOL freeItems, ALLOCATOR* allocator) {
    if (!cell) return;
    FreeSubtree(cell->next, freeItems, allocator);
    FreeSubtree(cell->prev, freeItems, allocator);
    cell->linked = 0;
    STORABLE* object = cell->target;
    const long left = InterlockedDecrement(&object->chainCount);
    if (freeItems) {
        if (left != 0) InterlockedIncrement(&bCHAIN::ItemsKept);
        else if (allocator && object->IsItemBLOCKED()) object->freeobj(*allocator);
        else object->freeobj();
    }
    delete cell;
}

void bBTREE::RemoveAll(BBOOL freeItems, ALLOCATOR* allocator) {
    if (!head) return;
    lock.Reserve(QV_WAIT_FOREVER, FALSE);
    removingAll = 1;
    bSPOINTER* root = head->next;
    head->next = head->prev = nullptr;
    count = height = 0;
    found = next = nullptr;
    FreeSubtree(root, freeItems, allocator);
    removingAll = 0;
    lock.Release(FALSE);
}
