#pragma once
// An ordered index over one column of a table: one entry per key, holding
// the rows that carry it.
#include <string>

#include "Allocator.h"
#include "BTree.h"
#include "Chain.h"
#include "Field.h"
#include "Row.h"

class INDEX;
class TABLE;
class COLUMN;

class INDEXENTRY : public STORABLE, public BLOCKED {
public:
    INDEX* index;
    FIELD key;  // the significant part of the key (at most QV_MAX_KEY bytes)
    bSPOINTER* node;
    CHAIN<ROW> rows;

    INDEXENTRY(INDEX* index, TABLE* table);
    ~INDEXENTRY() override;

    using BLOCKED::operator new;
    using BLOCKED::operator delete;
    QV_ITEM_IDENTITY(INDEXENTRY, "INDEXENTRY", "INEa")
};

class INDEX : public BTREE<INDEXENTRY> {
public:
    ALLOCATOR entryAllocator;
    TABLE* table;
    COLUMN* column;
    INDEXENTRY* current;
    MEMORYPOOL* memoryPool;
    // Cell in the current entry's rows; kept here rather than in the table's
    // row cursor, which walks the table's own chain.
    bSPOINTER* currentRow;

    INDEX(TABLE* table, COLUMN* column);
    ~INDEX() override;

    const char* ItemClassName() const override { return "INDEX"; }
    unsigned long ItemClassID() const override { return QvTag("INDa"); }
    void* ItemGetAddress() const override { return (void*)this; }
    int ItemGetSize() const override { return (int)sizeof(INDEX); }

    int CompareKey(STORABLE* object, const BUFFER& key) override;
    BUFFER& GetKey(STORABLE* object) override;

    bSPOINTER& AddIndexRow(ROW* row, BBOOL useCurrent);
    void DeleteIndexRow(ROW* row, BBOOL useCurrent);
    // The entry for the key; currentRow is left on the first of its rows whose
    // whole key equals the given one (keys are significant to QV_MAX_KEY bytes
    // in the tree only). NULL when no row carries the whole key.
    INDEXENTRY* FindIndexRow(const char* key, int length);
    // The row found by the last FindIndexRow, then the following rows with the
    // same whole key.
    ROW* CurrentRow();
    ROW* NextRow();

private:
    FIELD* keyField(ROW* row);
    std::string wanted;  // whole key of the last FindIndexRow
    BBOOL matches(bSPOINTER* cell);
};
