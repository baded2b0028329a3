#include "Row.h"

#include <new>
#include <string>

#include "Column.h"
#include "Table.h"
#include "TableIO.h"
#include "TaskAbend.h"
#include "TraceTable.h"

using namespace tableio;

namespace {

// The trace's 'r' items: one view per column of the row's table, in order.
int traceRowFields(ROW* row, BUFFER* out, int max) {
    TABLE* t = row ? row->table : nullptr;
    if (!t) return 0;
    int n = 0;
    for (bSPOINTER* c = t->columns.first; c && c->target && n < max; c = c->next) {
        COLUMN* col = CHAIN<COLUMN>::Cast(c->target);
        FIELD* f = col ? row->GetField(col->ColumnID()) : nullptr;
        BUFFER view = f ? f->DataView() : BUFFER();
        if (f && view.length < f->DataLength()) {
            // Spread over cells or segments: flatten into this thread's scratch.
            static thread_local std::string scratch[TRACETABLE::MaxColumns];
            long want = f->DataLength() < 65535 ? f->DataLength() : 65535;
            scratch[n].resize(want);
            long got = f->GetData(BUFFER(&scratch[n][0], want), FALSE);
            view = BUFFER(&scratch[n][0], got);
        }
        out[n++] = view;
    }
    return n;
}

struct RowTraceHook {
    RowTraceHook() { TRACETABLE::rowFields = &traceRowFields; }
} rowTraceHook;

}  // namespace

ROW::ROW() : STREAMABLE(SPF_CLASSTAG, 0), fields(FALSE), fieldCursor(&_NULLSPTR), table(nullptr) {}

ROW::ROW(TABLE* t, BBOOL assignId) : ROW() {
    table = t;
    if (assignId && t) objectId = t->GetRowID();
}

ROW::~ROW() { FreeFields(); }

bSPOINTER& ROW::AddField(COLUMN* column) {
    if (!table || !column) return _NULLSPTR;
    if (column->table && column->table != table) _Task_Abend(ABEND_TBL101, (ULONG_PTR)(uintptr_t)this);
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

int ROW::ItemStreamSize(BBOOL) {
    int n = SPREFIX_SHORT + 4;
    for (bSPOINTER* c = fields.first; c && c->target; c = c->next) {
        FIELD* f = CHAIN<FIELD>::Cast(c->target);
        if (f && !(f->flags & FIELD_TRANSIENT)) n += SPREFIX_LONG + f->DataLength();
    }
    return n;
}

BBOOL ROW::StreamOut(STREAMBUF& s) {
    unsigned long count = 0;
    for (bSPOINTER* c = fields.first; c && c->target; c = c->next) {
        FIELD* f = CHAIN<FIELD>::Cast(c->target);
        if (f && !(f->flags & FIELD_TRANSIENT)) ++count;
    }
    s << BEGINDI(0, 0, 152);
    PutU32(s, count);
    s << ENDDI();
    for (bSPOINTER* c = fields.first; c && c->target; c = c->next) {
        FIELD* f = CHAIN<FIELD>::Cast(c->target);
        if (!f || (f->flags & FIELD_TRANSIENT)) continue;
        int rc = f->WriteItem(s);
        if (rc && !streamStatus) streamStatus = rc;
    }
    return streamStatus == 0;
}

BBOOL ROW::StreamIn(STREAMBUF& s) {
    s >> BEGINDI();
    if (Unreadable(s)) {
        s >> ENDDI();
        if (!streamStatus) streamStatus = 9996;
        return FALSE;
    }
    unsigned long count = GetU32(s, Swapped(s));
    s >> ENDDI();
    FreeFields();
    // The stored count is only a claim: stop where the data ends (an open
    // length reads on from the destination's next record).
    for (unsigned long i = 0; i < count; ++i) {
        if (s.cursor.length <= 0 && !(s.openLength && s.destination)) {
            streamStatus = 9996;
            break;
        }
        s >> BEGINDI();
        if (Unreadable(s)) {
            s >> ENDDI();
            streamStatus = 9996;
            break;
        }
        unsigned long id = s.code;
        bool swap = Swapped(s);
        FIELD* f = table ? new (table->fieldAllocator) FIELD(table) : nullptr;
        if (!f) {
            s >> ENDDI();
            streamStatus = -1;
            break;
        }
        f->columnId = id;
        if (!fields.Add(*f).target) {
            f->freeobj(table->fieldAllocator);
            s >> ENDDI();
            streamStatus = -1;
            break;
        }
        int rc = f->ReadItem(s);
        s >> ENDDI();
        if (rc) {
            streamStatus = rc;
            break;
        }
        if (swap && !f->IsLarge()) {
            COLUMN* col = CHAIN<COLUMN>::Cast(table->FindColumn(id).target);
            int n = !col ? 0 : col->type.code == 5 ? 2 : col->type.code == 6 ? 4 : 0;
            if (n && f->length >= n) SwapValue(f->data, n);
        }
    }
    fieldCursor = &_NULLSPTR;
    return streamStatus == 0;
}
