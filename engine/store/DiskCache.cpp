#include "DiskCache.h"

#include "QvWindows.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "BufferPool.h"
#include "DataRequest.h"
#include "SpControl.h"
#include "SysHelpers.h"

const char* _DiskCacheIndexFile = "QUORVANE.IDX";
const char* _DiskCacheProbeFile = "QUORVANE.DSK";

namespace {

const int kFileBuffer = 1024;
// A definition that does not fit one buffer is written as one larger record
// instead (its frames cannot span records); this bounds the record.
const int kLargestDefinition = 1 << 20;
const long kCopyChunk = 32768;

void copyText(char* to, const char* from, size_t size) {
    std::strncpy(to, from ? from : "", size - 1);
    to[size - 1] = 0;
}

// Creates the directory part of a file path (one level is all the cache uses).
void makeParent(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    if (cut != std::string::npos && cut > 0) CreateDirectoryA(path.substr(0, cut).c_str(), nullptr);
}

}  // namespace

DISKCACHE::DISKCACHE(int maximum, int maximumObject, const char* dir, const char* defSuffix, const char* datSuffix)
    : CACHE(maximum, maximumObject),
      startedEvent(TRUE),
      workEvent(TRUE),
      stopThread(0),
      siteDirectories(0),
      headerIO(nullptr),
      writeQueue(TRUE),
      loadQueue(TRUE) {
    copyText(directory, dir, sizeof directory);
    copyText(definitionSuffix, defSuffix, sizeof definitionSuffix);
    copyText(dataSuffix, datSuffix, sizeof dataSuffix);
}

DISKCACHE::~DISKCACHE() {
    if (serviceThread.threadId) {
        // Asked to stop and waited for: a thread cut off by force could hold the cache lock.
        stopThread = 1;
        workEvent.PostEvent();
        serviceThread.Wait();
    }
    writeQueue.RemoveAll(FALSE, nullptr);
    loadQueue.RemoveAll(FALSE, nullptr);
}

// ---- names

char* DISKCACHE::BuildObjectFileName(unsigned long storeId, unsigned long objectId, char* out) {
    if (storeId)
        std::sprintf(out, "%lx\\%08lx", storeId, objectId);
    else
        std::sprintf(out, "%08lx", objectId);
    return out;
}

char* DISKCACHE::BuildObjectFileName(DATAOBJECT& object, char* out) {
    DATASTORE* store = object.Store();
    unsigned long storeId = siteDirectories && store ? store->storeId.id : 0;
    return BuildObjectFileName(storeId, object.objectId.id, out);
}

std::string DISKCACHE::DirectoryPath(const char* name) const {
    std::string p(directory);
    if (!p.empty() && p.back() != '\\' && p.back() != '/') p += '\\';
    return p + name;
}

std::string DISKCACHE::DefinitionPath(DATAOBJECT& object) {
    char stem[32];
    return DirectoryPath(BuildObjectFileName(object, stem)) + definitionSuffix;
}

std::string DISKCACHE::DataPath(DATAOBJECT& object) {
    char stem[32];
    return DirectoryPath(BuildObjectFileName(object, stem)) + dataSuffix;
}

void DISKCACHE::traceError(const std::string& path) { QV_TRACE(TRACE_CACHE, TRACE_CACHE_ERROR, "cs", ItemClassName(), path.c_str()); }

// ---- start and the level's operations

BBOOL DISKCACHE::Startup() {
    if (!directory[0] || !maximumSize) return TRUE;
    FILE* probe = std::fopen(DirectoryPath(_DiskCacheProbeFile).c_str(), "wb");
    if (!probe) return FALSE;
    unsigned int zero = 0;
    bool written = std::fwrite(&zero, 4, 1, probe) == 1;
    if (std::fclose(probe) != 0 || !written) return FALSE;
    stopping = 0;
    stopThread = 0;
    startedEvent.ResetEvent();
    if (serviceThread.StartUp(&DISKCACHE::serviceMonitor, this)) {
        startedEvent.WaitEvent(QV_WAIT_FOREVER);
        running = accepting;
    }
    return accepting;
}

// Counts and queue marks change under the cache lock: the service thread changes them too.
void DISKCACHE::queueWrite(DATAOBJECT& object) {
    Lock();
    if (!object.writeQueued) {
        ++object.count;
        object.writeQueued = 1;
        writeQueue.Add(object);
        workEvent.PostEvent();
    }
    Unlock();
}

void DISKCACHE::dropObject(DATAOBJECT& object, BBOOL asUser) {
    Lock();
    if (object.count > 1) {
        if (asUser)
            object.FreeObject();
        else
            --object.count;
        Unlock();
        return;
    }
    Unlock();
    // The last reference: the object's end takes its store's lock, which comes first.
    if (asUser)
        object.FreeObject();
    else
        object.freeobj();
}

BBOOL DISKCACHE::Accept(DATAOBJECT& object, BBOOL atEnd) {
    Lock();
    BBOOL taken = CACHE::Accept(object, atEnd);
    if (taken) queueWrite(object);
    Unlock();
    return taken;
}

void DISKCACHE::Rewrite(DATAOBJECT& object) { queueWrite(object); }

BBOOL DISKCACHE::checkMemoryCopy(DATAOBJECT& object) {
    if (object.Released()) return FALSE;
    if (Holds(object)) MoveToFront(object);
    return TRUE;
}

BBOOL DISKCACHE::Retrieve(DATAOBJECT& object, REQUESTPROCESS* process, BBOOL definitionOnly) {
    QV_TRACE(TRACE_CACHE, TRACE_CACHE_RETRIEVE, "cpppo", ItemClassName(), this, &object, process, (int)object.Released());
    if (checkMemoryCopy(object)) return TRUE;
    if (process) {
        Lock();
        ++object.count;
        object.loadPending = 1;
        process->WaitForObject(&object);
        process->prepare();
        loadQueue.Add(*process);
        Unlock();
        workEvent.PostEvent();
        return FALSE;
    }
    Lock();
    FILESTREAM file;
    BBOOL ok = TRUE;
    if (!object.defined) {
        ok = readDefinition(file, object);
        if (ok) object.defined = 1;
        object.SetOnDisk(1);
        object.SetReleased(1);
    }
    if (ok && !definitionOnly) {
        ok = readData(object);
        if (ok) {
            object.SetOnDisk(1);
            object.SetReleased(0);
            // An object still in the memory level would be offered twice.
            if (!(upperLevel && !object.memoryCache && upperLevel->Accept(object, FALSE))) checkMemoryCopy(object);
        } else {
            object.SetReleased(1);
        }
    }
    Unlock();
    return TRUE;
}

void DISKCACHE::Remove(DATAOBJECT& object, BBOOL release, BBOOL now) {
    if (stopping) {
        // One release only: the level's own reference goes to the handler.
        CACHE::Remove(object, release, now);
        return;
    }
    Lock();
    ++object.count;
    object.deletePending = 1;
    CACHE::Remove(object, FALSE, now);
    if (!now) {
        writeQueue.Add(object);
        Unlock();
        workEvent.PostEvent();
        return;
    }
    // A write still queued must not bring the files back.
    object.writeQueued = 0;
    deleteFiles(object);
    removeStoreDirectory(object);
    object.deletePending = 0;
    if (release)
        ReleaseObject(object);
    else
        --object.count;
    Unlock();
}

BBOOL DISKCACHE::Import(DATAOBJECT& object, BBOOL atEnd, const char* sourceFile) {
    if (sourceFile || object.defined) {
        std::string from = sourceFile ? std::string(sourceFile) : DataPath(object);
        FILE* in = std::fopen(from.c_str(), "rb");
        long length = 0;
        if (in) length = std::fseek(in, 0, SEEK_END) == 0 ? std::ftell(in) : -1;
        if (length != object.DataLength()) {
            if (in) std::fclose(in);
            return FALSE;
        }
        if (sourceFile) {
            if (!in || std::fseek(in, 0, SEEK_SET) != 0) {
                if (in) std::fclose(in);
                return FALSE;
            }
            std::string to = DataPath(object);
            FILE* out = std::fopen(to.c_str(), "wb");
            if (!out && errno == ENOENT) {
                makeParent(to);
                out = std::fopen(to.c_str(), "wb");
            }
            bool ok = out != nullptr;
            if (ok) {
                std::vector<char> chunk(length < kCopyChunk ? (length > 0 ? length : 1) : kCopyChunk);
                long left = length;
                while (ok && left > 0) {
                    size_t step = (size_t)(left < (long)chunk.size() ? left : (long)chunk.size());
                    ok = std::fread(chunk.data(), 1, step, in) == step && std::fwrite(chunk.data(), 1, step, out) == step;
                    left -= (long)step;
                }
                // Bytes beyond the length the file had a moment ago: not the object's.
                if (ok && std::fgetc(in) != EOF) ok = false;
                if (std::fclose(out) != 0) ok = false;
            }
            std::fclose(in);
            in = nullptr;
            FILESTREAM file;
            if (ok) ok = writeDefinition(file, object);
            if (!ok) {
                // Nothing half-copied stays in the cache directory.
                DeleteFileA(to.c_str());
                DeleteFileA(DefinitionPath(object).c_str());
                return FALSE;
            }
        }
        if (in) std::fclose(in);
    }
    object.SetOnDisk(1);
    object.SetReleased(1);
    object.FreeDataKeepLength();
    object.dataChanged = 0;
    object.headerChanged = 0;
    return CACHE::Accept(object, atEnd);
}

BBOOL DISKCACHE::Shutdown(BBOOL immediate, void* target, int command, unsigned long parameter) {
    long wasAccepting = accepting;
    CACHE::Shutdown(immediate, target, command, parameter);
    if (!serviceThread.threadId || stopThread) {
        stopping = 1;
        return TRUE;
    }
    bool kept = !immediate && !stopping;
    if (kept) {
        writeIndex = wasAccepting;
        notifyTarget = target;
        notifyCommand = command;
        notifyParameter = parameter;
    } else {
        writeIndex = 0;
        notifyTarget = nullptr;
        notifyCommand = 0;
    }
    if (kept && target && command) {
        stopping = 1;
        workEvent.PostEvent();
        return FALSE;
    }
    stopping = 0;
    stopThread = 1;
    workEvent.PostEvent();
    serviceThread.Wait();
    stopping = 1;
    stopThread = 0;
    workEvent.PostEvent();
    serviceMonitor(this);
    accepting = 0;
    stopping = 1;
    return TRUE;
}

// ---- files

BBOOL DISKCACHE::readDefinition(FILESTREAM& file, DATAOBJECT& object) {
    std::string path = DefinitionPath(object);
    // The buffer holds the largest record the file can have.
    WIN32_FILE_ATTRIBUTE_DATA info;
    int size = kFileBuffer;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info) && !info.nFileSizeHigh &&
        info.nFileSizeLow > (DWORD)size && info.nFileSizeLow <= (DWORD)kLargestDefinition + 4)
        size = (int)info.nFileSizeLow;
    if (file.OpenStream(path.c_str(), size, IOMODE_READ) != 0) return FALSE;
    BBOOL ok = !headerIO || headerIO(file, &object, CACHEHEADER_READ) == 0;
    if (ok && file.status == 0) {
        object.streamStatus = 0;
        file >> object;
        ok = object.streamStatus == 0 && file.status == 0;
    } else {
        ok = FALSE;
    }
    file.CloseStream();
    return ok;
}

BBOOL DISKCACHE::readData(DATAOBJECT& object) {
    FIELD* field = object.dataField;
    if (!field) return FALSE;
    FILE* in = std::fopen(DataPath(object).c_str(), "rb");
    if (!in) return FALSE;
    long length = std::fseek(in, 0, SEEK_END) == 0 ? std::ftell(in) : -1;
    bool ok = length >= 0 && length == object.DataLength() && std::fseek(in, 0, SEEK_SET) == 0;
    if (ok) {
        if (SGBLOB* sg = field->Segments()) {
            DATASTORE* store = object.Store();
            BUFFERPOOL* pool = store && store->bufferPool ? store->bufferPool : &_pSupport->bufferPool;
            field->FreeData(FALSE);
            long done = 0;
            while (ok && done < length) {
                IOBUFFER* part = pool->GetBuffer(0);
                if (!part) {
                    ok = false;
                    break;
                }
                long step = length - done < part->capacity ? length - done : part->capacity;
                if (std::fread(part->area.data, 1, (size_t)step, in) != (size_t)step) ok = false;
                part->cursor = BUFFER(part->area.data, step);
                part->active = TRUE;
                sg->Add(part);
                field->flags |= FIELD_OWNED;
                done += step;
            }
            if (!ok) object.FreeDataKeepLength();
        } else {
            std::vector<char> bytes(length > 0 ? length : 1);
            ok = length == 0 || std::fread(bytes.data(), 1, (size_t)length, in) == (size_t)length;
            if (ok) field->SetData(BUFFER(bytes.data(), length));
        }
    }
    std::fclose(in);
    object.RefreshFields();
    return ok;
}

BBOOL DISKCACHE::writeDefinition(FILESTREAM& file, DATAOBJECT& object) {
    // Owner records may carry the name too: room for it twice from the start.
    long name = object.nameField ? object.nameField->DataLength() : 0;
    int size = kFileBuffer;
    while (size < kLargestDefinition && size < 2 * name + 512) size *= 2;
    for (;; size *= 2) {
        int rc = writeDefinition(file, object, size);
        // Only a frame cut by a full buffer is worth a larger one.
        if (rc != STREAM_BADLENGTH || size >= kLargestDefinition) return rc == 0;
    }
}

int DISKCACHE::writeDefinition(FILESTREAM& file, DATAOBJECT& object, int size) {
    std::string path = DefinitionPath(object);
    if (file.OpenStream(path.c_str(), size, IOMODE_WRITEPATH) != 0) return -1;
    BBOOL ok = !headerIO || headerIO(file, &object, CACHEHEADER_WRITE) == 0;
    if (ok && file.status == 0) {
        // The data has a file of its own.
        FIELD* data = object.dataField;
        unsigned long saved = data ? data->flags : 0;
        if (data) data->flags |= FIELD_TRANSIENT;
        object.streamStatus = 0;
        file << object;
        if (data) data->flags = saved;
        ok = object.streamStatus == 0 && file.status == 0;
    } else {
        ok = FALSE;
    }
    int rc = ok ? 0 : object.streamStatus == STREAM_BADLENGTH && file.status == 0 ? STREAM_BADLENGTH : -1;
    if (file.CloseStream() != 0) rc = -1;
    return rc;
}

BBOOL DISKCACHE::writeData(FILESTREAM& file, DATAOBJECT& object) {
    std::string path = DataPath(object);
    if (file.OpenStream(path.c_str(), kFileBuffer, IOMODE_WRITEPATH) != 0) return FALSE;
    BBOOL ok = object.DataLength() == 0 || object.WriteObjectData(file);
    if (file.CloseStream() != 0) ok = FALSE;
    return ok;
}

void DISKCACHE::deleteFiles(DATAOBJECT& object) {
    DeleteFileA(DefinitionPath(object).c_str());
    DeleteFileA(DataPath(object).c_str());
}

void DISKCACHE::removeStoreDirectory(DATAOBJECT& object) {
    DATASTORE* store = object.Store();
    if (!siteDirectories || !store || !store->storeId.id || store->rows.Count() >= 2) return;
    char name[16];
    std::sprintf(name, "%lx", (unsigned long)store->storeId.id);
    RemoveDirectoryA(DirectoryPath(name).c_str());  // goes only when empty
}

// ---- the service thread

void DISKCACHE::serviceMonitor(void* argument) {
    DISKCACHE* cache = static_cast<DISKCACHE*>(argument);
    FILESTREAM file;
    cache->accepting = 1;
    cache->startedEvent.PostEvent();
    for (;;) {
        if (cache->stopThread) break;
        cache->workEvent.WaitEvent(QV_WAIT_FOREVER);
        cache->workEvent.ResetEvent();
        if (cache->stopThread) break;
        while (!cache->stopThread && (cache->loadQueue.Count() > 0 || cache->writeQueue.Count() > 0)) {
            cache->loadNext(file);
            cache->writeNext(file);
            cache->checkCacheSize();
        }
        bool drained = cache->loadQueue.Count() == 0 && cache->writeQueue.Count() == 0;
        if ((drained || cache->stopThread) && cache->stopping) cache->finish(file);
    }
}

void DISKCACHE::loadNext(FILESTREAM& file) {
    REQUESTPROCESS* process = loadQueue.RemoveFirst();
    if (!process) return;
    DATAOBJECT* object = process->waitObject;
    // The process is restarted before our reference goes, so it is never restarted after its end.
    if (!object) {
        process->RestartProcess();
        process->freeobj();
        return;
    }
    Lock();
    bool wanted = Holds(*object) && object->Released();
    if (!wanted) object->loadPending = 0;
    Unlock();
    if (!wanted) {
        process->ClearObjectWait();
        dropObject(*object, FALSE);
        process->RestartProcess();
        process->freeobj();
        return;
    }
    BBOOL ok = TRUE;
    if (!object->defined) {
        ok = readDefinition(file, *object);
        if (ok) object->defined = 1;
    }
    if (ok) ok = readData(*object);
    QV_TRACE(TRACE_CACHE, TRACE_CACHE_READ, "cpppi", ItemClassName(), this, object, process, (int)ok);
    if (ok) {
        object->SetOnDisk(1);
        object->SetReleased(0);
    } else {
        object->SetReleased(1);
    }
    object->loadPending = 0;
    if (ok) {
        Lock();
        if (!(upperLevel && !object->memoryCache && upperLevel->Accept(*object, FALSE))) checkMemoryCopy(*object);
        Unlock();
        object->dataChanged = 0;
        process->ClearObjectWait();
        dropObject(*object, FALSE);
    } else {
        traceError(DataPath(*object));
        Remove(*object, FALSE, FALSE);
        process->ClearObjectWait();
        ReleaseObject(*object);
    }
    process->RestartProcess();
    process->freeobj();
}

void DISKCACHE::writeNext(FILESTREAM& file) {
    DATAOBJECT* object = writeQueue.RemoveFirst();
    if (!object) return;
    Lock();
    if (!object->writeQueued && !object->deletePending) {
        Unlock();
        dropObject(*object, TRUE);
        return;
    }
    if (!object->writeQueued) {
        object->deletePending = 0;
        object->headerChanged = 0;
        object->dataChanged = 0;
        object->SetOnDisk(0);
        object->SetReleased(0);
        deleteFiles(*object);
        removeStoreDirectory(*object);
        Unlock();
        ReleaseObject(*object);
        return;
    }
    object->writeQueued = 0;
    // Not finished yet (queued again once it is), or about to be deleted.
    if (!object->defined || object->deletePending) {
        Unlock();
        dropObject(*object, FALSE);
        return;
    }
    bool held = Holds(*object);
    Unlock();
    bool definitionDue = object->headerChanged || !object->OnDisk();
    bool dataDue = object->dataChanged || !object->OnDisk();
    BBOOL ok = TRUE;
    if (definitionDue) {
        ok = writeDefinition(file, *object);
        if (ok) object->headerChanged = 0;
    }
    if (ok && dataDue) {
        ok = writeData(file, *object);
        if (ok) object->dataChanged = 0;
    }
    QV_TRACE(TRACE_CACHE, TRACE_CACHE_WRITE, "cppooi", ItemClassName(), this, object, (int)definitionDue, (int)dataDue, (int)ok);
    object->SetOnDisk(ok);
    if (!ok) {
        traceError(definitionDue && object->headerChanged ? DefinitionPath(*object) : DataPath(*object));
        Remove(*object, TRUE, TRUE);
        dropObject(*object, FALSE);
        return;
    }
    Lock();
    if (held && !Holds(*object) && !object->deletePending) {
        // Removed at once while its files were being written: they go again.
        deleteFiles(*object);
        object->SetOnDisk(0);
    }
    if (Holds(*object) && object->count == 2) {  // the queue's and the level's
        // Only the cache is left holding it: the bytes can live on disk alone.
        --object->count;
        object->FreeDataKeepLength();
        object->SetReleased(1);
        Unlock();
        return;
    }
    Unlock();
    dropObject(*object, FALSE);
}

void DISKCACHE::finish(FILESTREAM& file) {
    std::string index = DirectoryPath(_DiskCacheIndexFile);
    bool failed = false;
    unsigned long entries = 0;
    if (file.OpenStream(index.c_str(), kFileBuffer, IOMODE_WRITE) != 0) {
        failed = true;
    } else {
        STREAMCOUNT zero(0);
        file << zero;
        if (file.status) failed = true;
    }
    bool listed = !failed && writeIndex && headerIO;
    if (listed) {
        Lock();
        for (bSPOINTER* c = objects.first; c && c->target; c = c->next) {
            DATAOBJECT* o = CHAIN<DATAOBJECT>::Cast(c->target);
            if (!o || !o->OnDisk() || !o->objectId.id || o->deletePending) continue;
            if (headerIO(file, o, CACHEHEADER_WRITE) != 0) {
                failed = true;  // a partial index is not to be trusted
                break;
            }
            ++entries;
        }
        Unlock();
    }
    if (file.open && file.CloseStream() != 0) failed = true;
    if (listed && !failed) {
        file.updateExisting = 1;
        if (file.OpenStream(index.c_str(), kFileBuffer, IOMODE_UPDATE) != 0) {
            failed = true;
        } else {
            STREAMCOUNT count(entries);
            file << count;
            if (file.CloseStream() != 0) failed = true;
        }
        file.updateExisting = 0;
    }
    if (failed) DeleteFileA(index.c_str());

    // Every object leaves; released outside the lock, as a release may reach the store's.
    std::vector<DATAOBJECT*> left;
    Lock();
    while (DATAOBJECT* o = objects.RemoveFirst()) {
        if (o->memoryCache == this) {
            o->memoryCache = nullptr;
            o->memoryCell = nullptr;
            o->memorySize = 0;
        }
        if (o->diskCache == this) {
            o->diskCache = nullptr;
            o->diskCell = nullptr;
            o->diskSize = 0;
        }
        o->SetOnDisk(0);
        o->SetReleased(0);
        left.push_back(o);
    }
    currentSize = 0;
    stopThread = 1;
    Unlock();
    for (DATAOBJECT* o : left) dropObject(*o, TRUE);
    if (notifyTarget) PostCmdMessage((HWND)notifyTarget, notifyCommand, notifyParameter, FALSE);
}
