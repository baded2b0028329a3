#include "DataStore.h"

#include <cstring>
#include <string>
#include <vector>

#include "BufferPool.h"
#include "Cache.h"
#include "DataManager.h"
#include "DataRequest.h"
#include "MemoryPool.h"
#include "SpControl.h"
#include "TableIO.h"
#include "TaskAbend.h"

using namespace tableio;

namespace {

const unsigned long kObjectFrame = 255;

IDCONTROL* ids() { return _pDataSys ? &_pDataSys->objectIds : nullptr; }

DATAOBJECT* objectAt(bSPOINTER* cell) {
    return cell && cell->target ? dynamic_cast<DATAOBJECT*>(cell->target) : nullptr;
}

// The text of a field, cut to size-1 characters.
std::string fieldText(const FIELD* f, int max) {
    if (!f) return std::string();
    int n = f->DataLength();
    if (n > max) n = max;
    if (n <= 0) return std::string();
    std::string out(n + 1, 0);
    int got = f->GetData(BUFFER(&out[0], n + 1), TRUE);
    out.resize(got);
    return out;
}

// A cache's service thread gives up its references too: counts of cached
// objects change under that cache's lock, and only the holder that finds
// itself the last one ends the object (outside the lock).
MSEMAPHORE* cacheLockOf(DATAOBJECT& o) {
    CACHE* c = o.diskCache ? o.diskCache : o.memoryCache;
    return c ? c->cacheLock : nullptr;
}

void holdObject(DATAOBJECT& o, MSEMAPHORE* lock) {
    if (lock) lock->Reserve();
    ++o.count;
    if (lock) lock->Release();
}

void dropObject(DATAOBJECT& o, MSEMAPHORE* lock) {
    if (lock) lock->Reserve();
    bool last = o.count <= 1;
    if (!last) --o.count;
    if (lock) lock->Release();
    if (last) o.freeobj();
}

// Both levels at once under their shared lock, so that an eviction on another
// thread cannot move the object down between the two removals.
void leaveCaches(DATAOBJECT& o, MSEMAPHORE* lock) {
    if (lock) lock->Reserve();
    if (o.diskCache) o.diskCache->Remove(o, FALSE, TRUE);
    if (o.memoryCache) o.memoryCache->Remove(o, FALSE, TRUE);
    if (lock) lock->Release();
}

}  // namespace

// ---- DATAOBJECT

DATAOBJECT::DATAOBJECT()
    : ROW(),
      relatedObjects(FALSE),
      waiters(TRUE),
      nameField(nullptr),
      dataField(nullptr),
      dataBlock(nullptr),
      bufferChain(nullptr),
      defined(0),
      valid(0),
      pooled(0),
      headerChanged(1),
      dataChanged(1),
      storeLink(nullptr),
      indexLink(nullptr),
      loadPending(0),
      writeQueued(0),
      deletePending(0),
      memoryCache(nullptr),
      memoryCell(nullptr),
      diskCache(nullptr),
      diskCell(nullptr),
      memorySize(0),
      diskSize(0) {}

DATAOBJECT::DATAOBJECT(DATASTORE* store, const char* name, BBOOL newId, unsigned short addToStore,
                       unsigned long id)
    : DATAOBJECT() {
    if (!store) store = DATASTORE::System();
    table = store;
    if (newId) {
        if (IDCONTROL* c = ids()) c->Assign(objectId);
    } else {
        objectId = id;
        if (IDCONTROL* c = ids()) c->Reserve(objectId);
    }
    char generated[16];
    if (!name || !*name) {
        std::snprintf(generated, sizeof generated, "#%lu", (unsigned long)objectId);
        name = generated;
    }
    if (store->dataColumn) AddField(store->dataColumn);
    if (store->nameColumn) {
        FIELD* f = CHAIN<FIELD>::Cast(AddField(store->nameColumn).target);
        if (f) f->SetData(BUFFER(const_cast<char*>(name), (long)std::strlen(name)));
    }
    pooled = store->dataColumn && store->dataColumn->type.code == DATA_SEGMENTED_TYPE;
    RefreshFields();
    if (addToStore) store->AddObject(*this, TIMESTAMP(), nullptr);
}

DATAOBJECT::~DATAOBJECT() {
    DATASTORE* store = Store();
    valid = 0;
    // Out of the caches before the store's lock: see DATASTORE::DeleteObject.
    leaveCaches(*this, cacheLockOf(*this));
    if (store) store->lock.Reserve();
    if (storeLink && store && !store->destroying) store->DeleteObject(*this, FALSE);
    if (objectId.id)
        if (IDCONTROL* c = ids()) c->Free(objectId);
    if (store) store->lock.Release();
    // Processes still waiting lose the object; their wait's reference goes.
    while (REQUESTPROCESS* p = waiters.RemoveFirst()) {
        p->waitObject = nullptr;
        p->waitCell = nullptr;
        p->waiting = 0;
        p->freeobj();
    }
    relatedObjects.RemoveAll(FALSE, nullptr);
}

void* DATAOBJECT::operator new(size_t size) { return BASEITEM::operator new(size, _pSystemMemoryPool); }

void* DATAOBJECT::operator new(size_t size, DATASTORE* store) {
    if (!store) store = DATASTORE::System();
    return BASEITEM::operator new(size, store->memoryPool ? store->memoryPool : _pSystemMemoryPool);
}

void DATAOBJECT::operator delete(void* p) { MEMORYPOOL::FreeObj(p); }
void DATAOBJECT::operator delete(void* p, DATASTORE*) { MEMORYPOOL::FreeObj(p); }

DATASTORE* DATAOBJECT::Store() const { return table ? static_cast<DATASTORE*>(table) : nullptr; }

void DATAOBJECT::RefreshFields() {
    DATASTORE* store = Store();
    nameField = store && store->nameColumn ? GetField(store->nameColumn->ColumnID()) : nullptr;
    dataField = store && store->dataColumn ? GetField(store->dataColumn->ColumnID()) : nullptr;
    dataBlock = dataField ? dataField->LargeValue() : nullptr;
    bufferChain = dataField ? dataField->Segments() : nullptr;
}

void DATAOBJECT::DetachFromStore() {
    FreeFields();
    nameField = dataField = nullptr;
    dataBlock = nullptr;
    bufferChain = nullptr;
    storeLink = indexLink = nullptr;
    table = nullptr;
}

void DATAOBJECT::SetDataLength(long n) {
    if (dataBlock) dataBlock->length = n;
}

char* DATAOBJECT::GetName(char* out, int size) const {
    if (!out || size <= 0) return out;
    std::string t = fieldText(nameField, size - 1);
    std::memcpy(out, t.c_str(), t.size() + 1);
    return out;
}

void DATAOBJECT::FreeDataKeepLength() {
    if (!dataField) return;
    long n = DataLength();
    dataField->FreeData(TRUE);
    SetDataLength(n);
}

void DATAOBJECT::AddObjectData(IOBUFFER* buffer) {
    if (!bufferChain || !buffer) return;
    bufferChain->Add(buffer);  // the chain's length grows by the buffer's
    dataField->flags |= FIELD_OWNED;
    dataChanged = 1;
}

int DATAOBJECT::SetData(const BUFFER& data) {
    if (!dataField) return 0;
    int got;
    if (!data.data) {
        // An area to be filled by the caller: one block, and no pooled data from now on.
        pooled = 0;
        if (dataField->flags & FIELD_SEGMENTED) {
            long onDisk = dataBlock ? dataBlock->kind : 0;
            long released = dataBlock ? dataBlock->count : 0;
            dataField->FreeData(FALSE);
            dataField->Segments()->~SGBLOB();
            dataField->flags &= ~FIELD_LARGE;
            dataField->InitLarge(FIELD_DESCRIPTOR);
            RefreshFields();
            dataBlock->kind = onDisk;
            dataBlock->count = released;
        }
        long n = data.length > 0 ? data.length : 0;
        std::vector<char> zeros(n > 0 ? n : 1, 0);
        got = n > 0 ? dataField->SetData(BUFFER(zeros.data(), n)) : (dataField->FreeData(FALSE), 0);
    } else if (pooled) {
        DATASTORE* store = Store();
        got = dataField->SetData(data, store ? store->bufferPool : nullptr);
    } else {
        got = dataField->SetData(data);
    }
    RefreshFields();
    dataChanged = 1;
    return got;
}

namespace {

// Visits the runs of a field's bytes in order; false from the visitor stops.
template <class F>
bool forEachRun(FIELD& f, F visit) {
    if (SGBLOB* sg = f.Segments()) {
        for (bSPOINTER* c = sg->parts.first; c && c->target; c = c->next) {
            IOBUFFER* part = CHAIN<IOBUFFER>::Cast(c->target);
            if (part && part->cursor.data && part->cursor.length > 0 && !visit(part->cursor)) return false;
        }
        return true;
    }
    if (BLOBDEF* b = f.LargeValue()) return !b->data || b->length <= 0 || visit(BUFFER(b->data, b->length));
    int n = f.DataLength();
    std::vector<char> flat(n > 0 ? n : 1);
    int got = n > 0 ? f.GetData(BUFFER(flat.data(), n), FALSE) : 0;
    return got <= 0 || visit(BUFFER(flat.data(), got));
}

}  // namespace

BBOOL DATAOBJECT::WriteObjectData(STREAMDEST& dest) {
    if (!dataField) return FALSE;
    if (!dest.open || dest.status) return FALSE;
    bool ok = forEachRun(*dataField, [&](const BUFFER& run) {
        dest << run;
        return dest.status == 0;
    });
    return ok && dest.status == 0;
}

void DATAOBJECT::CacheRewrite() {
    if (memoryCache) memoryCache->Rewrite(*this);
    if (diskCache) diskCache->Rewrite(*this);
}

void DATAOBJECT::DeleteObject(BBOOL atCursor) {
    DATASTORE* store = Store();
    if (!store) return;
    if (atCursor && storeLink && store->rowCursor == storeLink) {
        store->lock.Reserve();
        store->rowCursor = &_NULLSPTR;
        store->rows.Remove(*storeLink, TRUE);
        storeLink = nullptr;
        store->lock.Release();
    }
    store->DeleteObject(*this, TRUE);
}

void DATAOBJECT::FreeObject() {
    // Held by the disk level alone besides the caller: keep the object listed
    // there and give its bytes back.
    if (OnDisk() && !Released() && !memoryCache && diskCache && count == 2) {
        SetReleased(1);
        FreeDataKeepLength();
        InterlockedDecrement(&count);
        return;
    }
    freeobj();
}

int DATAOBJECT::ItemStreamSize(BBOOL ask) {
    if (ask && (STREAMABLE::flags & SPF_WRITETHROUGH)) return 0;
    return (int)sizeof(DATAOBJECT);
}

BBOOL DATAOBJECT::StreamOut(STREAMBUF& out) {
    out << BEGINDI(0, 0, kObjectFrame);
    PutLong(out, objectId.id);
    PutFlag(out, defined);
    PutFlag(out, valid);
    PutLong(out, (unsigned long)DataLength());
    PutLong(out, addedTime.seconds);
    PutLong(out, expiryTime.seconds);
    PutLong(out, listedTime.seconds);
    PutLong(out, userTime.seconds);
    out << ENDDI();
    return ROW::StreamOut(out);
}

BBOOL DATAOBJECT::StreamIn(STREAMBUF& in) {
    std::string name = fieldText(nameField, 255);
    long onDisk = dataBlock ? dataBlock->kind : 0;
    long released = dataBlock ? dataBlock->count : 0;

    in >> BEGINDI();
    tableio::FrameReader frame(in);
    unsigned long id = frame.Long();
    defined = frame.Flag();
    valid = frame.Flag();
    long length = (long)frame.Long();
    addedTime.seconds = frame.Long();
    expiryTime.seconds = frame.Long();
    listedTime.seconds = frame.Long();
    userTime.seconds = frame.Long();
    in >> ENDDI();
    if (!objectId.id && id) {
        objectId.id = id;
        if (IDCONTROL* c = ids()) c->Reserve(objectId);
    }

    ROW::StreamIn(in);

    DATASTORE* store = Store();
    RefreshFields();
    if (!nameField && store && store->nameColumn) {
        FIELD* f = CHAIN<FIELD>::Cast(AddField(store->nameColumn).target);
        if (f) f->SetData(BUFFER(&name[0], (long)name.size()));
    }
    if (!dataField && store && store->dataColumn) AddField(store->dataColumn);
    RefreshFields();
    if (dataBlock) {
        dataBlock->kind = onDisk;
        dataBlock->count = released;
    }
    SetDataLength(length);
    return streamStatus == 0;
}

// ---- DATASTORE

namespace {
DATASTORE* systemStore = nullptr;

// Drops the system store when the engine's package goes.
struct SystemStoreEnd {
    ~SystemStoreEnd() { DATASTORE::FreeSystem(); }
} systemStoreEnd;
}  // namespace

// Requests on several threads may ask for the system store first at once.
static CRITICAL_SECTION& systemGuard() {
    static CRITICAL_SECTION* guard = [] {
        CRITICAL_SECTION* c = new CRITICAL_SECTION;  // kept to the very end of the program
        InitializeCriticalSection(c);
        return c;
    }();
    return *guard;
}

DATASTORE* DATASTORE::System() {
    EnterCriticalSection(&systemGuard());
    if (!systemStore) {
        systemStore = new DATASTORE(TRUE, "*system", "SystemGeneralStore", nullptr, nullptr, 0);
        systemStore->prepare();
        if (_pDataSys) _pDataSys->systemStore = systemStore;
    }
    DATASTORE* s = systemStore;
    LeaveCriticalSection(&systemGuard());
    return s;
}

void DATASTORE::FreeSystem() {
    EnterCriticalSection(&systemGuard());
    DATASTORE* s = systemStore;
    systemStore = nullptr;
    if (_pDataSys && _pDataSys->systemStore == s) _pDataSys->systemStore = nullptr;
    LeaveCriticalSection(&systemGuard());
    if (s) s->freeobj();
}

DATASTORE::DATASTORE(BBOOL full, const char* name, const char* text, MEMORYPOOL* pool, DATASTORE* parent,
                     unsigned long id)
    : TABLE(pool ? pool : (parent ? parent->memoryPool : nullptr)),
      lock(TRUE),
      keepId(0),
      storeName(this),
      storeText(this),
      nameColumn(nullptr),
      dataColumn(nullptr),
      nameIndex(nullptr),
      parentStore(parent),
      valueAllocator(nullptr),
      ownAllocator(QvTag("DAVa"), sizeof(DATAVALUE), 4096, parent ? FALSE : TRUE, 0),
      destroying(0) {
    valueAllocator = parent ? parent->valueAllocator : &ownAllocator;
    // Objects get their fields on many threads: the table's cells come under the store's lock.
    columnAllocator.lock.Attach(&lock);
    rowAllocator.lock.Attach(&lock);
    fieldAllocator.lock.Attach(&lock);
    // Rows are data objects: the table's own row reader would make plain rows, so
    // the store streams its objects itself after the table's header and columns.
    STREAMABLE::flags &= ~TABLE_STREAMROWS;
    bufferPool = _pSupport ? &_pSupport->bufferPool : nullptr;
    const char* n = name ? name : "*system";
    storeName.SetData(BUFFER(const_cast<char*>(n), (long)std::strlen(n)));
    std::strncpy(TABLE::name, n, sizeof TABLE::name - 1);
    TABLE::name[sizeof TABLE::name - 1] = 0;
    if (text) storeText.SetData(BUFFER(const_cast<char*>(text), (long)std::strlen(text)));
    if (!full) return;
    if (id) {
        storeId = id;
        keepId = 1;
        if (IDCONTROL* c = ids()) c->Reserve(storeId);
    } else if (IDCONTROL* c = ids()) {
        c->Assign(storeId);
    }
    nameColumn = CHAIN<COLUMN>::Cast(AddColumn(TRUE).target);
    if (nameColumn) nameColumn->SetName("NAME");
    dataColumn = CHAIN<COLUMN>::Cast(AddColumn(TRUE).target);
    if (dataColumn) {
        dataColumn->SetName("DATA");
        dataColumn->type = COLTYPE(DATA_SEGMENTED_TYPE, 0, 0, 0, 0);
    }
}

DATASTORE::~DATASTORE() {
    destroying = 1;
    if (nameIndex) {
        nameIndex->freeobj();
        nameIndex = nullptr;
    }
    // Objects only the store kept go with it; objects that others still hold
    // lose their fields, which live in this table's allocators.
    std::vector<DATAOBJECT*> left;
    lock.Reserve();
    rowCursor = &_NULLSPTR;
    while (rows.Count() > 0) {
        bSPOINTER* cell = rows.first;
        DATAOBJECT* o = objectAt(cell);
        rows.Remove(*cell, TRUE);
        if (!o) continue;
        o->storeLink = nullptr;
        o->indexLink = nullptr;
        o->valid = 0;
        left.push_back(o);
    }
    lock.Release();
    for (DATAOBJECT* o : left) {
        if (o->count > 0)
            o->DetachFromStore();
        else
            o->freeobj();
    }
    if (storeId.id && !keepId)
        if (IDCONTROL* c = ids()) c->Free(storeId);
    storeName.FreeData(FALSE);
    storeText.FreeData(FALSE);
    // The table's cells go while the lock they use is still there.
    FreeTable(TRUE);
    columnAllocator.lock.Attach(nullptr);
    rowAllocator.lock.Attach(nullptr);
    fieldAllocator.lock.Attach(nullptr);
}

int DATASTORE::ItemStreamSize(BBOOL ask) {
    if (ask && (STREAMABLE::flags & SPF_WRITETHROUGH)) return 0;
    return (int)sizeof(DATASTORE);
}

BBOOL DATASTORE::StreamOut(STREAMBUF& out) {
    out << BEGINDI(0, 0, 255);
    PutLong(out, storeId.id);
    out << ENDDI();
    for (FIELD* f : {&storeName, &storeText}) {
        out << BEGINDI(f->flags & ~FIELD_OWNED & SPF_CLASSBITS, f->columnId, (unsigned long)f->DataLength());
        f->WriteData(out);
        out << ENDDI();
    }
    // The table's body: its header and columns, then the objects as its rows.
    if (!TABLE::StreamOut(out)) return FALSE;
    for (bSPOINTER* c = rows.first; c && c->target && !streamStatus; c = c->next) {
        DATAOBJECT* o = static_cast<DATAOBJECT*>(CHAIN<ROW>::Cast(c->target));
        if (o->flags & ROW_TRANSIENT) continue;
        out << *o;
        if (o->streamStatus) streamStatus = o->streamStatus;
    }
    return streamStatus == 0;
}

BBOOL DATASTORE::StreamIn(STREAMBUF& in) {
    in >> BEGINDI();
    unsigned long id = in.cursor.length >= 4 ? GetU32(in, Swapped(in)) : 0;
    in >> ENDDI();
    if (!storeId.id && id) storeId = id;
    for (FIELD* f : {&storeName, &storeText}) {
        in >> BEGINDI();
        long n = in.cursor.length;
        std::vector<char> bytes(n > 0 ? n : 1);
        long got = n > 0 ? in.CopyOut(bytes.data(), n) : 0;
        f->SetData(BUFFER(bytes.data(), got));
        in >> ENDDI();
    }
    BBOOL ok = TABLE::StreamIn(in);
    nameColumn = CHAIN<COLUMN>::Cast(FindColumn("NAME").target);
    dataColumn = CHAIN<COLUMN>::Cast(FindColumn("DATA").target);
    for (unsigned long i = 0; ok && i < streamedRowCount; ++i) ok = streamInObject(in);
    return ok;
}

// One object of the body: kept, in the stored order, only when read whole.
BBOOL DATASTORE::streamInObject(STREAMBUF& in) {
    if (in.cursor.length <= 0 && !(in.openLength && in.destination)) {
        streamStatus = STREAM_BADLENGTH;
        return FALSE;
    }
    DATAOBJECT* o = new (this) DATAOBJECT();
    o->table = this;
    o->pooled = dataColumn && dataColumn->type.code == DATA_SEGMENTED_TYPE;
    in.classTag = 0;
    in >> *o;
    if (!o->streamStatus && in.classTag != QvTag("DAOa")) o->streamStatus = STREAM_BADLENGTH;
    if (o->streamStatus) {
        streamStatus = o->streamStatus;
        o->prepare();
        o->freeobj();
        return FALSE;
    }
    AddObject(*o, o->addedTime, nullptr);
    return TRUE;
}

bSPOINTER* DATASTORE::AddObject(DATAOBJECT& object, TIMESTAMP added, DATAOBJECT* before) {
    lock.Reserve();
    object.addedTime = added;
    bSPOINTER* cell;
    if (before && before->storeLink && before->table == this)
        cell = &rows.Add(object, *before->storeLink);
    else
        cell = &rows.Add(object);
    if (cell->target) {
        // The store is the object's owner of last resort: it holds no counted reference,
        // so a written object held by the disk level alone can give its bytes back.
        object.storeLink = cell;
        if (nameIndex) {
            bSPOINTER& entry = nameIndex->AddIndexRow(&object, FALSE);
            object.indexLink = entry.target ? &entry : nullptr;
        }
        rowCursor = cell;
    }
    lock.Release();
    return cell->target ? cell : nullptr;
}

void DATASTORE::DeleteObject(DATAOBJECT& object, BBOOL release) {
    // The store's own hold is not counted: while it works it takes a counted one,
    // which becomes the release at the end.
    MSEMAPHORE* cached = cacheLockOf(object);
    if (release) holdObject(object, cached);
    object.valid = 0;
    // The caches are left before the store's lock is taken, never under it: a
    // release handler ends objects under the cache lock, and an object's end
    // takes its store's lock.
    leaveCaches(object, cached);
    lock.Reserve();
    if (object.indexLink && nameIndex) nameIndex->DeleteIndexRow(&object, FALSE);
    object.indexLink = nullptr;
    if (object.storeLink && !destroying) {
        if (rowCursor == object.storeLink) rowCursor = &_NULLSPTR;
        rows.Remove(*object.storeLink, TRUE);
        object.storeLink = nullptr;
    }
    lock.Release();
    if (release) dropObject(object, cached);  // with holders left, the last of them ends it
}

INDEX* DATASTORE::CreateIndex() {
    lock.Reserve();
    if (!nameIndex && nameColumn) {
        // Made without the table so that the objects already stored stay out.
        nameIndex = new INDEX(nullptr, nameColumn);
        nameIndex->table = this;
        nameIndex->memoryPool = memoryPool;
        nameIndex->prepare();
    }
    lock.Release();
    return nameIndex;
}

CHAIN<ROW>* DATASTORE::FindObjects(const char* name) {
    if (!nameIndex || !name) return nullptr;
    lock.Reserve();
    INDEXENTRY* e = nameIndex->FindIndexRow(name, (int)std::strlen(name));
    lock.Release();
    return e ? &e->rows : nullptr;
}

DATAOBJECT* DATASTORE::FindSingleObject(const char* name, BBOOL validOnly) {
    if (!name) return nullptr;
    int n = (int)std::strlen(name);
    DATAOBJECT* found = nullptr;
    lock.Reserve();
    if (!nameIndex) {
        for (rowCursor = rows.first; rowCursor && rowCursor->target; rowCursor = rowCursor->next) {
            DATAOBJECT* o = objectAt(rowCursor);
            if (!o || (validOnly && !o->valid) || !o->nameField) continue;
            if (o->nameField->CompareDataBuffer(BUFFER(const_cast<char*>(name), n), 0) != 0) continue;
            found = o;
            break;
        }
        if (!found) rowCursor = &_NULLSPTR;
    } else if (nameIndex->FindIndexRow(name, n)) {
        for (ROW* r = nameIndex->CurrentRow(); r; r = nameIndex->NextRow()) {
            DATAOBJECT* o = dynamic_cast<DATAOBJECT*>(r);
            if (o && (!validOnly || o->valid)) {
                found = o;
                break;
            }
        }
    }
    lock.Release();
    return found;
}

// ---- DATAVALUE

DATAVALUE::DATAVALUE() : FIELD(static_cast<TABLE*>(DATASTORE::System())), STREAMABLE(0, 0) { valueName[0] = 0; }

DATAVALUE::DATAVALUE(const char* name, const char* text) : DATAVALUE() {
    SetName(name);
    if (text) FIELD::SetData(BUFFER(const_cast<char*>(text), (long)std::strlen(text)));
}

DATAVALUE::DATAVALUE(DATAVALUE& other) : DATAVALUE() {
    SetName(other.valueName);
    CopyData(other);
}

DATAVALUE::DATAVALUE(DATASTORE& store) : FIELD(static_cast<TABLE*>(&store)), STREAMABLE(0, 0) { valueName[0] = 0; }

DATAVALUE::DATAVALUE(DATAVALUE& other, DATASTORE& store) : DATAVALUE(store) {
    SetName(other.valueName);
    CopyData(other);
}

DATAVALUE::~DATAVALUE() {}

DATASTORE* DATAVALUE::Store() const { return table ? static_cast<DATASTORE*>(table) : nullptr; }

void* DATAVALUE::operator new(size_t size) { return operator new(size, *DATASTORE::System()); }

void* DATAVALUE::operator new(size_t size, DATASTORE& store) {
    if (size == 0) _Task_Abend(ABEND_NEW104, 0);
    void* p = store.valueAllocator ? store.valueAllocator->newitem(size) : nullptr;
    if (!p) _Task_Abend(ABEND_STG101, (ULONG_PTR)size);
    return p;
}

void DATAVALUE::operator delete(void* p) {
    if (p && DATASTORE::System()->valueAllocator) DATASTORE::System()->valueAllocator->delitem(p);
}

void DATAVALUE::operator delete(void* p, DATASTORE& store) {
    if (p && store.valueAllocator) store.valueAllocator->delitem(p);
}

void DATAVALUE::freeobj() {
    DATASTORE* store = Store();
    if (!store || !store->valueAllocator) _Task_Abend(ABEND_DEL104, (ULONG_PTR)this);
    BASEITEM::freeobj(*store->valueAllocator);
}

void DATAVALUE::SetName(const char* name) {
    if (!name) name = "";
    size_t n = strnlen(name, sizeof valueName - 1);
    std::memcpy(valueName, name, n);
    valueName[n] = 0;
}

int DATAVALUE::ItemStreamSize(BBOOL ask) {
    if (ask && (STREAMABLE::flags & SPF_WRITETHROUGH)) return 0;
    // The 32-bit build's size, whatever the build: the estimate picks the
    // prefix form, and stored values must carry the same bytes in both.
    return 204;
}

BBOOL DATAVALUE::StreamOut(STREAMBUF& out) {
    out.CopyIn(valueName, (long)std::strlen(valueName) + 1);
    out << BEGINDI(FIELD::flags & ~FIELD_OWNED & SPF_CLASSBITS, 0, (unsigned long)DataLength());
    int rc = WriteData(out);
    out << ENDDI();
    if (rc && !streamStatus) streamStatus = rc;
    return streamStatus == 0;
}

BBOOL DATAVALUE::StreamIn(STREAMBUF& in) {
    int kept = 0;
    char c;
    while (in.CopyOut(&c, 1) == 1 && c != 0)
        if (kept < (int)sizeof valueName - 1) valueName[kept++] = c;
    valueName[kept] = 0;
    in >> BEGINDI();
    int rc = ReadData(in, in.cursor.length);
    in >> ENDDI();
    if (rc && !streamStatus) streamStatus = rc;
    return streamStatus == 0;
}

// ---- listing

long DumpDataStore(DATASTORE& store, FILE* out, BBOOL detailed, BBOOL) {
    std::string text = fieldText(&store.storeText, 255);
    long total = 0;
    store.lock.Reserve();
    for (bSPOINTER* cell = store.rows.first; cell && cell->target; cell = cell->next) {
        DATAOBJECT* o = objectAt(cell);
        if (!o || !o->valid) continue;
        std::string name = fieldText(o->nameField, 255);
        const char* status = !o->defined && !o->memoryCache && !o->diskCache ? "(Receive in Progress)" : "";
        int rc;
        if (!detailed) {
            const char* prefix = "";
            const char* shown = name.c_str();
            if (name.compare(0, 4, "ftp:") == 0) {
                prefix = "ftp://";
                shown += 4;
            }
            rc = std::fprintf(out, "%s%s%s%s\n", prefix, text.c_str(), *shown == '/' ? "" : "/", shown);
        } else {
            char id[16];
            std::snprintf(id, sizeof id, "%08lx", (unsigned long)o->objectId.id);
            TIMESTAMP shown = o->listedTime.seconds ? o->listedTime : o->addedTime;
            char when[64] = "", expires[64] = "";
            if (shown.seconds) shown.String(when, TF_MIME, TRUE);
            if (o->expiryTime.seconds) o->expiryTime.String(expires, TF_MIME, TRUE);
            if (!o->expiryTime.seconds && !shown.seconds)
                rc = std::fprintf(out, " %-40s Size=%ld %s  ID=%s\n", name.c_str(), o->DataLength(), status, id);
            else if (!o->expiryTime.seconds)
                rc = std::fprintf(out, " %-40s Size=%ld %s  ID=%s\n %-40s Time=%s\n", name.c_str(), o->DataLength(),
                                  status, id, " ", when);
            else
                rc = std::fprintf(out, " %-40s Size=%ld %s  ID=%s\n %-40s Time=%s\n %-40s Expires=%s\n", name.c_str(),
                                  o->DataLength(), status, id, " ", when, " ", expires);
        }
        if (rc < 0 || std::ferror(out)) {  // the C library may count what it failed to write
            store.lock.Release();
            return -1;
        }
        total += o->DataLength();
    }
    store.lock.Release();
    // Buffered lines fail only when written out.
    if (std::fflush(out) != 0 || std::ferror(out)) return -1;
    return total;
}
