#include "Cache.h"

#include "SpControl.h"
#include "TaskAbend.h"

CACHE::CACHE(int maximum, int maximumObject)
    : currentSize(0),
      maximumSize(maximum),
      maximumObjectSize(maximumObject),
      running(0),
      accepting(0),
      upperLevel(nullptr),
      lowerLevel(nullptr),
      releaseHandler(nullptr),
      cacheLock(nullptr),
      stopping(0),
      writeIndex(0),
      notifyTarget(nullptr),
      notifyCommand(0),
      notifyParameter(0),
      objects(TRUE) {}

CACHE::~CACHE() {
    for (bSPOINTER* c = objects.first; c && c->target; c = c->next) {
        DATAOBJECT* o = CHAIN<DATAOBJECT>::Cast(c->target);
        if (!o) continue;
        if (o->memoryCache == this) {
            o->memoryCache = nullptr;
            o->memoryCell = nullptr;
        }
        if (o->diskCache == this) {
            o->diskCache = nullptr;
            o->diskCell = nullptr;
        }
    }
    objects.RemoveAll(FALSE, nullptr);
}

BBOOL CACHE::Holds(const DATAOBJECT& object) const { return object.memoryCache == this || object.diskCache == this; }

BBOOL CACHE::CheckAccept(DATAOBJECT& object, int size) {
    if (stopping || !accepting) return FALSE;
    if (size == 0) size = object.DataLength();
    if (maximumObjectSize) return size <= maximumObjectSize;
    if (maximumSize) return size <= maximumSize;
    return TRUE;
}

BBOOL CACHE::Accept(DATAOBJECT& object, BBOOL atEnd) {
    if (stopping || !accepting) return FALSE;
    long size = object.DataLength();
    if (!CheckAccept(object, (int)size)) return FALSE;
    QV_TRACE(TRACE_CACHE, TRACE_CACHE_ACCEPT, "cppii", ItemClassName(), this, &object, (int)size, (int)currentSize);
    Lock();
    // A level with a level above it is the disk level.
    bool asMemory = upperLevel == nullptr;
    if (asMemory ? object.memoryCache != nullptr : object.diskCache != nullptr)
        _Task_Abend(ABEND_OBJ103, (ULONG_PTR)&object);
    bSPOINTER& cell = atEnd ? objects.Add(object) : objects.Add(object, *objects.first);
    if (!cell.target) {
        Unlock();
        return FALSE;
    }
    ++object.count;
    if (asMemory) {
        object.memoryCache = this;
        object.memoryCell = &cell;
        object.memorySize = size;
    } else {
        object.diskCache = this;
        object.diskCell = &cell;
        object.diskSize = size;
    }
    currentSize += size;
    checkCacheSize();
    Unlock();
    return TRUE;
}

void CACHE::Remove(DATAOBJECT& object, BBOOL release, BBOOL) {
    QV_TRACE(TRACE_CACHE, TRACE_CACHE_REMOVE, "cppii", ItemClassName(), this, &object, (int)object.DataLength(), (int)currentSize);
    Lock();
    long admitted;
    if (object.memoryCache == this) {
        objects.Remove(*object.memoryCell, TRUE);
        object.memoryCache = nullptr;
        object.memoryCell = nullptr;
        admitted = object.memorySize;
        object.memorySize = 0;
    } else if (object.diskCache == this) {
        objects.Remove(*object.diskCell, TRUE);
        object.diskCache = nullptr;
        object.diskCell = nullptr;
        admitted = object.diskSize;
        object.diskSize = 0;
    } else {
        Unlock();
        return;
    }
    // What Accept added, whatever the object has grown to since.
    currentSize -= admitted;
    if (release)
        ReleaseObject(object);
    else
        --object.count;  // the level's reference; the object is not destroyed here
    Unlock();
}

void CACHE::ReleaseObject(DATAOBJECT& object) {
    if (releaseHandler)
        releaseHandler(&object);
    else
        object.FreeObject();
}

void CACHE::MoveToFront(DATAOBJECT& object) {
    Lock();
    bSPOINTER* cell = object.memoryCache == this ? object.memoryCell : object.diskCache == this ? object.diskCell : nullptr;
    if (cell && cell != objects.first) {
        objects.bRemove(*cell, FALSE);
        objects.bAdd(*cell, *objects.first);
    }
    Unlock();
}

void CACHE::Demote(DATAOBJECT& object, BBOOL) {
    // Our own hold while the object is in neither level.
    ++object.count;
    Remove(object, FALSE, FALSE);
    if (lowerLevel && lowerLevel->Accept(object, FALSE))
        --object.count;
    else
        ReleaseObject(object);  // refused below: released rather than orphaned
}

void CACHE::checkCacheSize() {
    Lock();
    while (maximumSize && currentSize > maximumSize && objects.Count() >= 2) {
        DATAOBJECT* o = objects.Last();
        if (!o || o->loadPending || o->writeQueued || o->deletePending) break;
        if (lowerLevel && o->diskCache != lowerLevel && lowerLevel->CheckAccept(*o, 0))
            Demote(*o, FALSE);
        else
            Remove(*o, TRUE, FALSE);
    }
    Unlock();
}

BBOOL CACHE::Retrieve(DATAOBJECT&, REQUESTPROCESS*, BBOOL) { return TRUE; }

void CACHE::SetMaximumSize(int total, int perObject) {
    Lock();
    maximumSize = total;
    maximumObjectSize = perObject;
    checkCacheSize();
    Unlock();
}

BBOOL CACHE::Shutdown(BBOOL, void*, int, unsigned long) {
    Lock();
    accepting = 0;
    running = 0;
    if (upperLevel && upperLevel->lowerLevel == this) upperLevel->lowerLevel = nullptr;
    if (lowerLevel && lowerLevel->upperLevel == this) lowerLevel->upperLevel = nullptr;
    upperLevel = nullptr;
    lowerLevel = nullptr;
    Unlock();
    return TRUE;
}

BBOOL CACHE::Startup() {
    running = 1;
    accepting = 1;
    stopping = 0;
    return TRUE;
}

void CACHE::Rewrite(DATAOBJECT&) {}

// ---- MEMCACHE

// A memory level is never unlimited.
MEMCACHE::MEMCACHE(int maximum, int maximumObject) : CACHE(maximum ? maximum : 8, maximumObject) {}

BBOOL MEMCACHE::Retrieve(DATAOBJECT& object, REQUESTPROCESS* process, BBOOL) {
    QV_TRACE(TRACE_CACHE, TRACE_CACHE_RETRIEVE, "cppp", ItemClassName(), this, &object, process);
    if (object.memoryCache == this) MoveToFront(object);
    return TRUE;
}

BBOOL MEMCACHE::Shutdown(BBOOL immediate, void* target, int command, unsigned long parameter) {
    long wasStopping = stopping;
    stopping = 1;
    if (immediate || wasStopping) return TRUE;
    Lock();
    if (lowerLevel) {
        while (DATAOBJECT* o = objects.Last()) {
            if (o->diskCache)
                Remove(*o, TRUE, FALSE);
            else
                Demote(*o, FALSE);
        }
    }
    CACHE::Shutdown(immediate, target, command, parameter);
    Unlock();
    return TRUE;
}
