#pragma once
// The object cache: least-recently-used levels with byte limits. The memory
// level sits above the disk level and demotes what it evicts.
#include "Chain.h"
#include "DataStore.h"
#include "Semaphore.h"

class REQUESTPROCESS;

typedef void (*CACHERELEASE)(DATAOBJECT* object);

class CACHE : public STORABLE {
public:
    long currentSize;
    long maximumSize;        // 0 = no limit
    long maximumObjectSize;  // 0 = maximumSize
    long running;
    long accepting;
    CACHE* upperLevel;
    CACHE* lowerLevel;
    CACHERELEASE releaseHandler;  // null: DATAOBJECT::FreeObject
    // Recursive; null = no locking. Guards objects, the queues and the counts of
    // every level sharing it. Order: a store's lock may be taken under it, never
    // the other way round (an object's end takes its store's lock).
    MSEMAPHORE* cacheLock;
    long stopping;
    long writeIndex;
    void* notifyTarget;
    int notifyCommand;
    unsigned long notifyParameter;
    CHAIN<DATAOBJECT> objects;  // first = most recently used

    CACHE(int maximumSize, int maximumObjectSize);
    ~CACHE() override;

    QV_ITEM_IDENTITY(CACHE, "CACHE", "CACB")

    virtual BBOOL Accept(DATAOBJECT& object, BBOOL atEnd);
    virtual BBOOL CheckAccept(DATAOBJECT& object, int size);
    virtual void Remove(DATAOBJECT& object, BBOOL release, BBOOL now);
    virtual BBOOL Retrieve(DATAOBJECT& object, REQUESTPROCESS* process, BBOOL definitionOnly);
    virtual void SetMaximumSize(int total, int perObject);
    virtual BBOOL Shutdown(BBOOL immediate, void* target, int command, unsigned long parameter);
    virtual BBOOL Startup();
    virtual void Rewrite(DATAOBJECT& object);

    void checkCacheSize();
    // Gives the object up through the owner's handler (or FreeObject).
    void ReleaseObject(DATAOBJECT& object);
    // This level holds the object.
    BBOOL Holds(const DATAOBJECT& object) const;

protected:
    void Lock() {
        if (cacheLock) cacheLock->Reserve();
    }
    void Unlock() {
        if (cacheLock) cacheLock->Release();
    }
    // Moves the object to the front of the chain when this level holds it.
    void MoveToFront(DATAOBJECT& object);
    // Hands the object to the lower level; released when that level refuses it.
    void Demote(DATAOBJECT& object, BBOOL alsoHeldBelow);
};

class MEMCACHE : public CACHE {
public:
    MEMCACHE(int maximumSize, int maximumObjectSize);

    QV_ITEM_IDENTITY(MEMCACHE, "MEMCACHE", "CACM")

    BBOOL Retrieve(DATAOBJECT& object, REQUESTPROCESS* process, BBOOL definitionOnly) override;
    BBOOL Shutdown(BBOOL immediate, void* target, int command, unsigned long parameter) override;
};
