#include "BTree.h"

#include <cstring>

#include "Allocator.h"
#include "SpControl.h"
#include "TaskAbend.h"

bBTREE::bBTREE(BBOOL locking)
    : lock(locking), head(nullptr), count(0), height(0), removingAll(0), keyMember(nullptr), keyLength(0),
      padChar(' '), found(nullptr), next(nullptr), balancePoint(nullptr), balanceParent(nullptr),
      rotationChild(nullptr) {
    std::memset(keyBuffer, 0, sizeof keyBuffer);
}

bBTREE::~bBTREE() {
    if (count > 0) _Task_Abend(ABEND_CNT101, (unsigned long)count);
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

BBOOL bBTREE::bInitialize(KEYACCESS member, int length, char pad) { return FALSE; }
bSPOINTER& bBTREE::bFind(const char*, int) { return _NULLSPTR; }
bSPOINTER& bBTREE::bAdd(bSPOINTER& cell, BBOOL) { return cell; }
bSPOINTER& bBTREE::bRemoveN(bSPOINTER& cell, BBOOL) { return cell; }
STORABLE* bBTREE::bRemove(bSPOINTER& cell, BBOOL) { return cell.target; }
void bBTREE::RemoveAll(BBOOL, ALLOCATOR*) {}
