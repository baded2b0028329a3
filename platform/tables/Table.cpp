#include "Table.h"

#include <cstring>

#include "MemoryPool.h"
#include "SpControl.h"
#include "TableIO.h"

using namespace tableio;

namespace {

const int kCellBlock = 4096;
const int kDefaultWorkBuffer = 1024;
const long kMaxWorkBuffer = 16L << 20;

int fieldCellSize() { return sizeof(FIELD) > sizeof(FIELDBLOCK) ? (int)sizeof(FIELD) : (int)sizeof(FIELDBLOCK); }

}  // namespace

TABLE::TABLE(MEMORYPOOL* pool)
    : STREAMABLE(SPF_CLASSTAG | SPF_WRITETHROUGH | TABLE_STREAMCOLUMNS | TABLE_STREAMROWS, 0),
      columns(FALSE),
      rows(FALSE),
      columnCursor(&_NULLSPTR),
      rowCursor(&_NULLSPTR),
      lastColumnId(1023),
      lastRowId(1023),
      workBufferSize(0),
      streamColumns(1),
      streamRows(1),
      bufferOwned(0),
      externalBuffer(0),
      streamedRowCount(0),
      memoryPool(pool ? pool : _pSystemMemoryPool),
      bufferPool(nullptr),
      columnAllocator(QvTag("COLa"), sizeof(COLUMN), kCellBlock, FALSE, 0),
      rowAllocator(QvTag("ROWa"), sizeof(ROW), kCellBlock, FALSE, 0),
      fieldAllocator(QvTag("FLDa"), fieldCellSize(), kCellBlock, FALSE, 0) {
    name[0] = 0;
}

TABLE::~TABLE() { FreeTable(TRUE); }

void TABLE::freeWorkBuffer() {
    if (bufferOwned && workBuffer.data) {
        if (memoryPool)
            memoryPool->Free(workBuffer.data);
        else
            MEMORYPOOL::FreeObj(workBuffer.data);
    }
    workBuffer = BUFFER();
    bufferOwned = 0;
}

BBOOL TABLE::AllocateBuffers(int size, char* external) {
    if (size > workBufferSize) workBufferSize = size;
    if (workBufferSize <= 0) workBufferSize = kDefaultWorkBuffer;
    if (external) {
        freeWorkBuffer();
        workBuffer = BUFFER(external, workBufferSize);
        return TRUE;
    }
    if (workBuffer.data && workBuffer.length >= workBufferSize) return TRUE;
    freeWorkBuffer();
    MEMORYPOOL* pool = memoryPool ? memoryPool : _pSystemMemoryPool;
    char* mem = pool ? static_cast<char*>(pool->Allocate(workBufferSize, QvTag("TBLa"))) : nullptr;
    if (!mem) return FALSE;
    workBuffer = BUFFER(mem, workBufferSize);
    bufferOwned = 1;
    return TRUE;
}

// Links a new column or row in before `before` (at the end when that is the
// chain's end) and leaves the cursor on it; when that fails it goes back.
template <class T>
static bSPOINTER& linkNew(T* item, CHAIN<T>& chain, ALLOCATOR& cells, bSPOINTER*& cursor, bSPOINTER& before) {
    if (!item) return _NULLSPTR;
    item->prepare();
    bSPOINTER& cell = chain.Add(*item, before);
    if (!cell.target) {
        item->freeobj(cells);
        return _NULLSPTR;
    }
    cursor = &cell;
    return cell;
}

bSPOINTER& TABLE::AddColumn(BBOOL assignId) {
    return linkNew(new (columnAllocator) COLUMN(this, assignId), columns, columnAllocator, columnCursor, _NULLSPTR);
}

bSPOINTER& TABLE::AddColumn(COLUMN* model) {
    return linkNew(new (columnAllocator) COLUMN(this, model, TRUE), columns, columnAllocator, columnCursor, _NULLSPTR);
}

bSPOINTER& TABLE::AddRow(BBOOL assignId) {
    return linkNew(new (rowAllocator) ROW(this, assignId), rows, rowAllocator, rowCursor, _NULLSPTR);
}

bSPOINTER& TABLE::AddRow(bSPOINTER*& at) {
    bSPOINTER* before = at && at->target ? at : &_NULLSPTR;
    bSPOINTER& cell = linkNew(new (rowAllocator) ROW(this, TRUE), rows, rowAllocator, rowCursor, *before);
    if (cell.target) at = &cell;
    return cell;
}

bSPOINTER& TABLE::FindColumn(unsigned long id) {
    if (columnCursor && columnCursor->target) {
        COLUMN* cur = CHAIN<COLUMN>::Cast(columnCursor->target);
        bSPOINTER* after = columnCursor->next;
        if (cur && cur->ColumnID() + 1 == id && after && after->target) {
            COLUMN* c = CHAIN<COLUMN>::Cast(after->target);
            if (c && c->ColumnID() == id) {
                columnCursor = after;
                return *after;
            }
        }
    }
    for (bSPOINTER* cell = columns.first; cell && cell->target; cell = cell->next) {
        COLUMN* c = CHAIN<COLUMN>::Cast(cell->target);
        if (c && c->ColumnID() == id) {
            columnCursor = cell;
            return *cell;
        }
    }
    return _NULLSPTR;
}

bSPOINTER& TABLE::FindColumn(const char* text) {
    if (!text) return _NULLSPTR;
    for (bSPOINTER* cell = columns.first; cell && cell->target; cell = cell->next) {
        COLUMN* c = CHAIN<COLUMN>::Cast(cell->target);
        if (c && std::strcmp(c->name, text) == 0) {
            columnCursor = cell;
            return *cell;
        }
    }
    return _NULLSPTR;
}

void TABLE::FreeTable(BBOOL freeBuffer) {
    columnCursor = &_NULLSPTR;
    rowCursor = &_NULLSPTR;
    // Rows first: their fields belong to the columns' table.
    rows.RemoveAll(TRUE, &rowAllocator);
    columns.RemoveAll(TRUE, &columnAllocator);
    lastColumnId = 1023;
    lastRowId = 1023;
    if (freeBuffer) freeWorkBuffer();
}

bSPOINTER* TABLE::cellOf(bCHAIN& chain, STORABLE* item) {
    for (bSPOINTER* cell = chain.first; cell && cell->target; cell = cell->next)
        if (cell->target == item) return cell;
    return &_NULLSPTR;
}

COLUMN* TABLE::NextColumn(COLUMN* c) {
    if (!c) return nullptr;
    bSPOINTER* cell = columnCursor && columnCursor->target == static_cast<STORABLE*>(c)
                          ? columnCursor
                          : cellOf(columns, static_cast<STORABLE*>(c));
    if (!cell->target) return nullptr;
    columnCursor = cell->next;
    return CHAIN<COLUMN>::Cast(cell->next ? cell->next->target : nullptr);
}

ROW* TABLE::NextRow(ROW* r) {
    if (!r) return nullptr;
    bSPOINTER* cell =
        rowCursor && rowCursor->target == static_cast<STORABLE*>(r) ? rowCursor : cellOf(rows, static_cast<STORABLE*>(r));
    if (!cell->target) return nullptr;
    rowCursor = cell->next;
    return CHAIN<ROW>::Cast(cell->next ? cell->next->target : nullptr);
}

void TABLE::DeleteRow(ROW* row) {
    if (!row) return;
    bSPOINTER* cell = cellOf(rows, static_cast<STORABLE*>(row));
    if (!cell->target) return;
    if (rowCursor == cell) rowCursor = &_NULLSPTR;
    rows.Remove(*cell, TRUE);
    row->freeobj(rowAllocator);
}

int TABLE::ItemStreamSize(BBOOL forPrefix) {
    // The body is written through: the prefix is sized by the buffer.
    return forPrefix ? 0 : SPREFIX_MEDIUM + 616;
}

BBOOL TABLE::StreamOut(STREAMBUF& s) {
    bool withColumns = streamColumns && (flags & TABLE_STREAMCOLUMNS);
    bool withRows = streamRows && (flags & TABLE_STREAMROWS);
    unsigned long columnCount = 0, rowCount = 0;
    for (bSPOINTER* c = columns.first; c && c->target; c = c->next)
        if (!(CHAIN<COLUMN>::Cast(c->target)->flags & COLUMN_TRANSIENT)) ++columnCount;
    for (bSPOINTER* c = rows.first; c && c->target; c = c->next)
        if (!(CHAIN<ROW>::Cast(c->target)->flags & ROW_TRANSIENT)) ++rowCount;
    s << BEGINDI(0, 0, 616);
    PutText(s, name);
    PutU32(s, lastColumnId);
    PutU32(s, lastRowId);
    PutU32(s, (unsigned long)workBufferSize);
    PutU32(s, columnCount);
    PutU32(s, rowCount);
    s << ENDDI();
    if (withColumns) {
        for (bSPOINTER* c = columns.first; c && c->target && !streamStatus; c = c->next) {
            COLUMN* col = CHAIN<COLUMN>::Cast(c->target);
            if (col->flags & COLUMN_TRANSIENT) continue;
            s << *col;
            if (col->streamStatus) streamStatus = col->streamStatus;
        }
    }
    if (withRows) {
        for (bSPOINTER* c = rows.first; c && c->target && !streamStatus; c = c->next) {
            ROW* row = CHAIN<ROW>::Cast(c->target);
            if (row->flags & ROW_TRANSIENT) continue;
            s << *row;
            if (row->streamStatus) streamStatus = row->streamStatus;
        }
    }
    return streamStatus == 0;
}

// Reads one stored item of a chain; false (with the table's status set) when
// the data ends or does not hold an item of the expected class.
template <class T>
static bool readItem(TABLE& table, STREAMBUF& s, T& item, unsigned long tag) {
    if (s.cursor.length <= 0 && !(s.openLength && s.destination)) {
        table.streamStatus = 9996;
        return false;
    }
    s.classTag = 0;
    s >> item;
    if (!item.streamStatus && s.classTag != tag) item.streamStatus = 9996;
    if (item.streamStatus) {
        table.streamStatus = item.streamStatus;
        return false;
    }
    return true;
}

// Reads count columns or rows into the chain; false at the first that fails.
template <class T>
static bool readAll(TABLE& table, STREAMBUF& s, CHAIN<T>& chain, ALLOCATOR& cells, unsigned long count,
                    unsigned long tag) {
    for (unsigned long i = 0; i < count; ++i) {
        T* item = new (cells) T(&table, FALSE);
        if (!item) {
            table.streamStatus = -1;
            return false;
        }
        item->prepare();
        chain.Add(*item);
        if (!readItem(table, s, *item, tag)) {
            chain.Remove(*item);
            item->freeobj(cells);
            return false;
        }
    }
    return true;
}

BBOOL TABLE::StreamIn(STREAMBUF& s) {
    s >> BEGINDI();
    if (Unreadable(s)) {
        s >> ENDDI();
        streamStatus = 9996;
        return FALSE;
    }
    bool swap = Swapped(s);
    GetText(s, name);
    unsigned long storedColumnId = GetU32(s, swap);
    unsigned long storedRowId = GetU32(s, swap);
    long storedBuffer = (long)GetU32(s, swap);
    unsigned long columnCount = GetU32(s, swap);
    unsigned long rowCount = GetU32(s, swap);
    s >> ENDDI();
    streamedRowCount = rowCount;
    // A damaged header must not make us ask for gigabytes.
    if (storedBuffer < 0 || storedBuffer > kMaxWorkBuffer) {
        streamStatus = 9996;
        return FALSE;
    }
    if (storedBuffer > workBufferSize) workBufferSize = storedBuffer;
    if (!externalBuffer && !AllocateBuffers(workBufferSize)) {
        streamStatus = -1;
        return FALSE;
    }
    if (flags & TABLE_STREAMCOLUMNS) {
        columnCursor = &_NULLSPTR;
        columns.RemoveAll(TRUE, &columnAllocator);
        lastColumnId = storedColumnId;
        if (!readAll(*this, s, columns, columnAllocator, columnCount, QvTag("COLa"))) return FALSE;
    }
    if (flags & TABLE_STREAMROWS) {
        rowCursor = &_NULLSPTR;
        rows.RemoveAll(TRUE, &rowAllocator);
        lastRowId = storedRowId;
        if (!readAll(*this, s, rows, rowAllocator, rowCount, QvTag("ROWa"))) return FALSE;
    }
    return streamStatus == 0;
}
