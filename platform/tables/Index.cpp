#include "Index.h"

#include <cstring>

#include "Table.h"

namespace {

const char* entryKey(STORABLE* object) {
    INDEXENTRY* e = dynamic_cast<INDEXENTRY*>(object);
    return e ? reinterpret_cast<const char*>(e->key.data) : "";
}

}  // namespace

INDEXENTRY::INDEXENTRY(INDEX* idx, TABLE* table) : index(idx), key(table), node(nullptr), rows(FALSE) {}

INDEXENTRY::~INDEXENTRY() { rows.RemoveAll(FALSE, nullptr); }

INDEX::INDEX(TABLE* t, COLUMN* c)
    : BTREE<INDEXENTRY>(FALSE),
      entryAllocator(QvTag("INEa"), sizeof(INDEXENTRY), 4096, FALSE, 0),
      table(t),
      column(c),
      current(nullptr),
      memoryPool(t ? t->memoryPool : nullptr),
      currentRow(&_NULLSPTR) {
    bInitialize(&entryKey, QV_MAX_KEY, 0);
    if (!table) return;
    for (bSPOINTER* cell = table->rows.first; cell && cell->target; cell = cell->next)
        AddIndexRow(CHAIN<ROW>::Cast(cell->target), FALSE);
}

INDEX::~INDEX() {
    current = nullptr;
    RemoveAll(TRUE, &entryAllocator);
}

FIELD* INDEX::keyField(ROW* row) { return row && column ? row->GetField(column->ColumnID()) : nullptr; }

int INDEX::CompareKey(STORABLE* object, const BUFFER& key) {
    // The tree pads search keys with NULs; the key is the text before them.
    BUFFER k(key.data, (long)strnlen(key.data, key.length));
    if (INDEXENTRY* e = dynamic_cast<INDEXENTRY*>(object)) return e->key.CompareDataBuffer(k, 0);
    FIELD* f = keyField(dynamic_cast<ROW*>(object));
    return f ? f->CompareDataBuffer(k, 0) : -1;
}

BUFFER& INDEX::GetKey(STORABLE* object) {
    FIELD* f = nullptr;
    if (INDEXENTRY* e = dynamic_cast<INDEXENTRY*>(object))
        f = &e->key;
    else
        f = keyField(dynamic_cast<ROW*>(object));
    int n = f ? f->GetData(BUFFER(keyBuffer, QV_MAX_KEY + 1), TRUE) : 0;
    keyBuffer[n] = 0;
    keyView = BUFFER(keyBuffer, n);
    return keyView;
}

bSPOINTER& INDEX::AddIndexRow(ROW* row, BBOOL useCurrent) {
    if (!row) return _NULLSPTR;
    BUFFER& k = GetKey(row);
    if (!(useCurrent && current)) current = CHAIN<INDEXENTRY>::Cast(bFind(k.data, (int)k.length).target);
    if (!current) {
        INDEXENTRY* e = new (entryAllocator) INDEXENTRY(this, table);
        if (!e) return _NULLSPTR;
        e->key.SetData(BUFFER(keyBuffer, (long)strnlen(keyBuffer, QV_MAX_KEY)));
        bSPOINTER* cell = new bSPOINTER(static_cast<STORABLE&>(*e));
        if (!cell) {
            e->freeobj(entryAllocator);
            return _NULLSPTR;
        }
        bSPOINTER& added = bAdd(*cell, TRUE);
        if (&added != cell) {  // the search state was stale: use what the tree holds
            delete cell;
            e->freeobj(entryAllocator);
            current = CHAIN<INDEXENTRY>::Cast(added.target);
        } else {
            e->node = cell;
            current = e;
        }
    }
    return current->rows.Add(*row);
}

void INDEX::DeleteIndexRow(ROW* row, BBOOL useCurrent) {
    if (!row) return;
    bool searched = false;
    if (!(useCurrent && current)) {
        BUFFER& k = GetKey(row);
        current = CHAIN<INDEXENTRY>::Cast(bFind(k.data, (int)k.length).target);
        searched = true;
    }
    if (!current) return;
    bSPOINTER& cell = current->rows.bFindCell(row);
    if (!cell.target) return;
    if (currentRow == &cell) currentRow = &_NULLSPTR;
    current->rows.Remove(cell, TRUE);
    if (current->rows.Count() == 0) {
        INDEXENTRY* e = current;
        current = nullptr;
        currentRow = &_NULLSPTR;
        bRemove(*e->node, searched ? TRUE : FALSE);
        e->freeobj(entryAllocator);
    }
}

INDEXENTRY* INDEX::FindIndexRow(const char* key, int length) {
    if (!key) return nullptr;
    if (length <= 0) length = (int)std::strlen(key);
    wanted.assign(key, length);
    int significant = length < QV_MAX_KEY ? length : QV_MAX_KEY;
    INDEXENTRY* e = CHAIN<INDEXENTRY>::Cast(bFind(key, significant).target);
    currentRow = &_NULLSPTR;
    if (!e) return nullptr;
    // Entries group keys by their significant part: pick the whole key.
    for (bSPOINTER* cell = e->rows.first; cell && cell->target; cell = cell->next) {
        if (matches(cell)) {
            current = e;
            currentRow = cell;
            return e;
        }
    }
    return nullptr;
}

ROW* INDEX::CurrentRow() { return CHAIN<ROW>::Cast(currentRow ? currentRow->target : nullptr); }

ROW* INDEX::NextRow() {
    if (!currentRow || !currentRow->target) return nullptr;
    for (bSPOINTER* cell = currentRow->next; cell && cell->target; cell = cell->next) {
        if (matches(cell)) {
            currentRow = cell;
            return CHAIN<ROW>::Cast(cell->target);
        }
    }
    currentRow = &_NULLSPTR;
    return nullptr;
}

BBOOL INDEX::matches(bSPOINTER* cell) {
    FIELD* f = keyField(CHAIN<ROW>::Cast(cell->target));
    return f && f->CompareDataBuffer(BUFFER(&wanted[0], (long)wanted.size()), 0) == 0;
}
