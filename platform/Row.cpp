#include "Row.h"

#include "Column.h"
#include "Table.h"
#include "TaskAbend.h"
#include "TraceTable.h"

namespace {

// The trace's 'r' items: one view per column of the row's table, in order.
int traceRowFields(ROW* row, BUFFER* out, int max) {
    TABLE* t = row ? row->table : nullptr;
    if (!t) return 0;
    int n = 0;
    for (bSPOINTER* c = t->columns.first; c && c->target && n < max; c = c->next) {
        COLUMN* col = CHAIN<COLUMN>::Cast(c->target);
        FIELD* f = col ? row->GetField(col->ColumnID()) : nullptr;
        out[n++] = f ? f->DataView() : BUFFER();
    }
    return n;
}

struct RowTraceHook {
    RowTraceHook() { TRACETABLE::rowFields = &traceRowFields; }
} rowTraceHook;

}  // namespace

ROW::ROW() : flags(0x10000000), objectId(0), streamStatus(0), fields(FALSE), fieldCursor(&_NULLSPTR), table(nullptr) {}

ROW::ROW(TABLE* t, BBOOL assignId) : ROW() {
    table = t;
    if (assignId && t) objectId = t->GetRowID();
}

ROW::~ROW() { FreeFields(); }

bSPOINTER& ROW::AddField(COLUMN* column) {
    if (!table || !column) return _NULLSPTR;
    if (column->table && column->table != table) _Task_Abend(ABEND_TBL101, (unsigned long)(uintptr_t)this);
    FIELD* f = new (table->fieldAllocator) FIELD(table);
    if (!f) return _NULLSPTR;
    f->SetColumn(column);
    bSPOINTER& cell = fields.Add(*f);
    if (!cell.target) {
        f->freeobj(table->fieldAllocator);
        return _NULLSPTR;
    }
    fieldCursor = &cell;
    return cell;
}

bSPOINTER& ROW::FindField(unsigned long columnId) {
    // Rows are mostly read in column order: try the cell after the cursor first.
    if (fieldCursor && fieldCursor->target) {
        FIELD* cur = CHAIN<FIELD>::Cast(fieldCursor->target);
        bSPOINTER* after = fieldCursor->next;
        if (cur && cur->columnId + 1 == columnId && after && after->target) {
            FIELD* f = CHAIN<FIELD>::Cast(after->target);
            if (f && f->columnId == columnId) {
                fieldCursor = after;
                return *after;
            }
        }
    }
    for (bSPOINTER* c = fields.first; c && c->target; c = c->next) {
        FIELD* f = CHAIN<FIELD>::Cast(c->target);
        if (f && f->columnId == columnId) {
            fieldCursor = c;
            return *c;
        }
    }
    return _NULLSPTR;
}

FIELD* ROW::GetField(unsigned long columnId) { return CHAIN<FIELD>::Cast(FindField(columnId).target); }

FIELD* ROW::SetField(COLUMN* column, const BUFFER& value) {
    if (!column) return nullptr;
    FIELD* f = GetField(column->ColumnID());
    if (!f) f = CHAIN<FIELD>::Cast(AddField(column).target);
    if (f) f->SetData(value);
    return f;
}

BBOOL ROW::DeleteField(unsigned long columnId) {
    bSPOINTER& cell = FindField(columnId);
    if (!cell.target) return FALSE;
    fieldCursor = &_NULLSPTR;
    FIELD* f = fields.Remove(cell, TRUE);
    if (f && table) f->freeobj(table->fieldAllocator);
    return TRUE;
}

void ROW::FreeFields() {
    fieldCursor = &_NULLSPTR;
    if (table)
        fields.RemoveAll(TRUE, &table->fieldAllocator);
    else
        fields.RemoveAll(FALSE, nullptr);
}
