#pragma once
// A table row: one FIELD per column that has a value, keyed by column id.
#include "BaseItem.h"
#include "Chain.h"
#include "Field.h"
#include "QvBase.h"
#include "Streamable.h"

class TABLE;
class COLUMN;
class STREAMBUF;

const unsigned long ROW_TRANSIENT = 0x00080000;

// Stream flags, the row id (objectId) and the status of the last stream
// operation (0, or the first error met) live in STREAMABLE.
class ROW : public STORABLE, public STREAMABLE, public BLOCKED {
public:
    CHAIN<FIELD> fields;
    bSPOINTER* fieldCursor;  // cell of the last look-up
    TABLE* table;

    ROW();
    ROW(TABLE* table, BBOOL assignId);
    ~ROW() override;

    using BLOCKED::operator new;
    using BLOCKED::operator delete;
    QV_ITEM_IDENTITY(ROW, "ROW", "ROWa")

    BBOOL StreamIn(STREAMBUF& s) override;
    BBOOL StreamOut(STREAMBUF& s) override;
    int ItemStreamSize(BBOOL forPrefix) override;

    bSPOINTER& AddField(COLUMN* column);
    bSPOINTER& FindField(unsigned long columnId);
    void FreeFields();

    // Conveniences over the cells above.
    FIELD* GetField(unsigned long columnId);
    // The field of the column, added when missing; null when out of memory.
    FIELD* SetField(COLUMN* column, const BUFFER& value);
    // Removes and releases the column's field; FALSE when there was none.
    BBOOL DeleteField(unsigned long columnId);
    unsigned long RowID() const { return objectId; }
};
