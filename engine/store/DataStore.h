#pragma once
// The object store: named data objects kept as rows of a store table, the
// named values of a store, and the store listing.
#include <cstdio>

#include "Allocator.h"
#include "Chain.h"
#include "Field.h"
#include "IdControl.h"
#include "Index.h"
#include "IoBuffer.h"
#include "Semaphore.h"
#include "Table.h"
#include "TimeStamp.h"

class DATASTORE;
class CACHE;
class REQUESTPROCESS;
class MEMORYPOOL;

// Column type of the segmented large value (data in pooled I/O buffers).
const unsigned short DATA_SEGMENTED_TYPE = 49;

// Field names as the HTTP cache reads them: its stored time is addedTime, its
// expiry expiryTime, its last-modified time listedTime, its confirmed time
// userTime; its "cacheable" flag is valid and its "complete" flag defined.
class DATAOBJECT : public ROW {
public:
    CHAIN<DATAOBJECT> relatedObjects;
    CHAIN<REQUESTPROCESS> waiters;
    // Hides the row's own stream id: this is the object's identifier.
    IDNUMBER objectId;
    FIELD* nameField;
    TIMESTAMP addedTime;
    TIMESTAMP expiryTime;
    TIMESTAMP listedTime;
    TIMESTAMP userTime;
    FIELD* dataField;
    BLOBDEF* dataBlock;   // kind word: onDisk, count word: released
    SGBLOB* bufferChain;  // dataBlock when the data is segmented
    BBOOL defined;
    BBOOL valid;
    BBOOL pooled;
    BBOOL headerChanged;
    BBOOL dataChanged;
    bSPOINTER* storeLink;
    bSPOINTER* indexLink;
    long loadPending;
    long writeQueued;
    long deletePending;
    CACHE* memoryCache;
    bSPOINTER* memoryCell;
    CACHE* diskCache;
    bSPOINTER* diskCell;
    // Bytes each level counted when it took the object in; the object may
    // grow while cached, and a level must take back what it added.
    long memorySize;
    long diskSize;

    DATAOBJECT();
    DATAOBJECT(DATASTORE* store, const char* name, BBOOL newId, unsigned short addToStore, unsigned long id);
    ~DATAOBJECT() override;

    static void* operator new(size_t size);
    static void* operator new(size_t size, DATASTORE* store);
    static void operator delete(void* p);
    static void operator delete(void* p, DATASTORE* store);

    const char* ItemClassName() const override { return "DATAOBJECT"; }
    unsigned long ItemClassID() const override { return QvTag("DAOa"); }
    void* ItemGetAddress() const override { return dynamic_cast<void*>(const_cast<DATAOBJECT*>(this)); }
    int ItemGetSize() const override { return (int)sizeof(DATAOBJECT); }
    BBOOL IsItemBLOCKED() const override { return FALSE; }
    BBOOL StreamIn(STREAMBUF& in) override;
    BBOOL StreamOut(STREAMBUF& out) override;
    int ItemStreamSize(BBOOL ask) override;
    virtual const char* TypeName() { return "Data Object"; }

    DATASTORE* Store() const;
    long DataLength() const { return dataBlock ? dataBlock->length : (dataField ? dataField->DataLength() : 0); }
    void SetDataLength(long n);
    BBOOL OnDisk() const { return dataBlock && dataBlock->kind; }
    BBOOL Released() const { return dataBlock && dataBlock->count; }
    void SetOnDisk(BBOOL on) {
        if (dataBlock) dataBlock->kind = on ? 1 : 0;
    }
    void SetReleased(BBOOL on) {
        if (dataBlock) dataBlock->count = on ? 1 : 0;
    }
    // The name as text into out (size bytes with the terminator); "" without one.
    char* GetName(char* out, int size) const;

    void AddObjectData(IOBUFFER* buffer);
    int SetData(const BUFFER& data);
    BBOOL WriteObjectData(STREAMDEST& dest);
    void CacheRewrite();
    void DeleteObject(BBOOL atCursor);
    void FreeObject();
    // Frees the data's bytes and keeps its length (the bytes live on disk).
    void FreeDataKeepLength();

    // Looks the name and data fields up again after the row's fields changed.
    void RefreshFields();
    // The store is going: drops the fields that live in its allocators.
    void DetachFromStore();
};

class DATASTORE : public TABLE {
public:
    MSEMAPHORE lock;  // the objects, their index and the cells of the allocators; taken under a cache lock, never around one
    IDNUMBER storeId;
    long keepId;
    FIELD storeName;
    FIELD storeText;
    COLUMN* nameColumn;
    COLUMN* dataColumn;
    INDEX* nameIndex;
    DATASTORE* parentStore;
    ALLOCATOR* valueAllocator;
    ALLOCATOR ownAllocator;
    long destroying;

    DATASTORE(BBOOL full, const char* name, const char* text, MEMORYPOOL* pool, DATASTORE* parent,
              unsigned long id);
    ~DATASTORE() override;

    QV_ITEM_IDENTITY(DATASTORE, "DATASTORE", "DASa")
    BBOOL StreamIn(STREAMBUF& in) override;
    BBOOL StreamOut(STREAMBUF& out) override;
    int ItemStreamSize(BBOOL ask) override;

    bSPOINTER* AddObject(DATAOBJECT& object, TIMESTAMP added, DATAOBJECT* before);
    void DeleteObject(DATAOBJECT& object, BBOOL release);
    INDEX* CreateIndex();
    CHAIN<ROW>* FindObjects(const char* name);
    DATAOBJECT* FindSingleObject(const char* name, BBOOL validOnly);

    // The data manager's system store, made on first use.
    static DATASTORE* System();
    // Drops the system store (at the end of the program, or between tests).
    static void FreeSystem();

private:
    BBOOL streamInObject(STREAMBUF& in);
};

class DATAVALUE : public FIELD, public STREAMABLE {
public:
    char valueName[64];

    DATAVALUE();
    DATAVALUE(const char* name, const char* text);
    DATAVALUE(DATAVALUE& other);
    explicit DATAVALUE(DATASTORE& store);
    DATAVALUE(DATAVALUE& other, DATASTORE& store);
    ~DATAVALUE() override;

    static void* operator new(size_t size);
    static void* operator new(size_t size, DATASTORE& store);
    static void operator delete(void* p);
    static void operator delete(void* p, DATASTORE& store);

    QV_ITEM_IDENTITY(DATAVALUE, "DATAVALUE", "DAVa")
    BBOOL StreamIn(STREAMBUF& in) override;
    BBOOL StreamOut(STREAMBUF& out) override;
    int ItemStreamSize(BBOOL ask) override;

    void freeobj() override;
    void freeobj(MEMORYPOOL* pool) override { BASEITEM::freeobj(pool); }
    void freeobj(ALLOCATOR& allocator) override { BASEITEM::freeobj(allocator); }

    void SetName(const char* name);
    DATASTORE* Store() const;
};

// Lists the valid objects of a store; the data bytes listed, or -1 when a write fails.
long DumpDataStore(DATASTORE& store, FILE* out, BBOOL detailed, BBOOL extra);

