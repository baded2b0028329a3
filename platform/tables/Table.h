#pragma once
// The in-memory table: a chain of columns (the schema) and a chain of rows,
// with its own cell allocators and a work buffer.
#include "Allocator.h"
#include "BaseItem.h"
#include "Chain.h"
#include "Column.h"
#include "Field.h"
#include "QvBase.h"
#include "Row.h"
#include "Streamable.h"

class STREAMBUF;

const unsigned long TABLE_STREAMCOLUMNS = 0x00080000;
const unsigned long TABLE_STREAMROWS = 0x00040000;

// Stream flags and status live in STREAMABLE.
class TABLE : public STORABLE, public STREAMABLE {
public:
    CHAIN<COLUMN> columns;
    CHAIN<ROW> rows;
    bSPOINTER* columnCursor;
    bSPOINTER* rowCursor;
    char name[64];
    unsigned long lastColumnId;
    unsigned long lastRowId;
    int workBufferSize;
    BUFFER workBuffer;
    int streamColumns;
    int streamRows;
    int bufferOwned;
    int externalBuffer;
    unsigned long streamedRowCount;  // rows the last stream read said followed, read here or not
    MEMORYPOOL* memoryPool;
    BUFFERPOOL* bufferPool;
    ALLOCATOR columnAllocator;
    ALLOCATOR rowAllocator;
    ALLOCATOR fieldAllocator;  // fields and their extension cells

    explicit TABLE(MEMORYPOOL* pool = nullptr);
    ~TABLE() override;

    QV_ITEM_IDENTITY(TABLE, "TABLE", "TBLa")

    BBOOL StreamIn(STREAMBUF& s) override;
    BBOOL StreamOut(STREAMBUF& s) override;
    int ItemStreamSize(BBOOL forPrefix) override;

    BBOOL AllocateBuffers(int size, char* external = nullptr);
    virtual bSPOINTER& AddColumn(BBOOL assignId);
    virtual bSPOINTER& AddColumn(COLUMN* model);
    virtual bSPOINTER& AddRow(BBOOL assignId);
    // Inserts before the row under at (appends at the end); at is left on it.
    virtual bSPOINTER& AddRow(bSPOINTER*& at);
    bSPOINTER& FindColumn(unsigned long id);
    bSPOINTER& FindColumn(const char* name);
    void FreeTable(BBOOL freeBuffer);
    unsigned long GetColumnID() { return ++lastColumnId; }
    unsigned long GetRowID() { return ++lastRowId; }

    // Removes one row and releases it through the row allocator.
    void DeleteRow(ROW* row);

    // Walks without the chains' locks; the table is used by one thread.
    COLUMN* FirstColumn() {
        columnCursor = columns.first;
        return CHAIN<COLUMN>::Cast(columns.first->target);
    }
    COLUMN* NextColumn(COLUMN* c);
    ROW* FirstRow() {
        rowCursor = rows.first;
        return CHAIN<ROW>::Cast(rows.first->target);
    }
    ROW* NextRow(ROW* r);
    static bSPOINTER* NextCell(bSPOINTER* cell) { return cell && cell->target ? cell->next : &_NULLSPTR; }

private:
    bSPOINTER* cellOf(bCHAIN& chain, STORABLE* item);
    void freeWorkBuffer();
};
