#pragma once
// The disk level of the object cache: each object as a definition file and a
// data file, all file work on the level's own thread, and an index written at
// shutdown through the owner's record writer.
//
// The files of a level's directory (numbers little-endian, frames as the
// streams write them; both builds write the same bytes):
//  - <id>.DEF (or <store>\<id>.DEF with site directories): the owner's record,
//    then the object's stream form (its frame of identifier, flags, length and
//    times, then its fields but the data);
//  - <id>.DAT: the object's data bytes alone;
//  - QUORVANE.IDX, written at shutdown: a count, then the owner's record of
//    each defined object held, most recently used first;
//  - QUORVANE.DSK: the start-up probe, 4 zero bytes, written to prove the
//    directory takes files.
// Locks: the level's object list and queues are under the owner's cache lock
// (cacheLock); the files are touched only on the level's service thread.
#include <string>

#include "Cache.h"
#include "FileStream.h"
#include "PgmThread.h"

// The owner's record in definition and index files, read or written by the
// owner's function with one of these modes; 0 on success.
enum CACHEHEADERMODE { CACHEHEADER_READ = 1, CACHEHEADER_WRITE = 2 };
typedef int (*CACHEHEADERIO)(FILESTREAM& file, DATAOBJECT* object, int mode);

extern const char* _DiskCacheIndexFile;  // "QUORVANE.IDX"
extern const char* _DiskCacheProbeFile;  // "QUORVANE.DSK"

class DISKCACHE : public CACHE {
public:
    char directory[256];
    char definitionSuffix[64];
    char dataSuffix[64];
    PGMTHREAD serviceThread;
    ESEMAPHORE startedEvent;
    ESEMAPHORE workEvent;
    volatile long stopThread;
    long siteDirectories;
    CACHEHEADERIO headerIO;
    CHAIN<DATAOBJECT> writeQueue;
    CHAIN<REQUESTPROCESS> loadQueue;

    DISKCACHE(int maximumSize, int maximumObjectSize, const char* directory, const char* definitionSuffix,
              const char* dataSuffix);
    ~DISKCACHE() override;

    QV_ITEM_IDENTITY(DISKCACHE, "DISKCACHE", "CACD")

    BBOOL Accept(DATAOBJECT& object, BBOOL atEnd) override;
    void Remove(DATAOBJECT& object, BBOOL release, BBOOL now) override;
    BBOOL Retrieve(DATAOBJECT& object, REQUESTPROCESS* process, BBOOL definitionOnly) override;
    BBOOL Shutdown(BBOOL immediate, void* target, int command, unsigned long parameter) override;
    BBOOL Startup() override;
    void Rewrite(DATAOBJECT& object) override;

    BBOOL Import(DATAOBJECT& object, BBOOL atEnd, const char* sourceFile);
    BBOOL checkMemoryCopy(DATAOBJECT& object);
    char* BuildObjectFileName(DATAOBJECT& object, char* out);
    char* BuildObjectFileName(unsigned long storeId, unsigned long objectId, char* out);

    static void serviceMonitor(void* cache);

    // Full paths of the object's files.
    std::string DefinitionPath(DATAOBJECT& object);
    std::string DataPath(DATAOBJECT& object);
    std::string DirectoryPath(const char* name) const;

private:
    void queueWrite(DATAOBJECT& object);
    // Gives up one reference (through FreeObject when asUser).
    void dropObject(DATAOBJECT& object, BBOOL asUser);
    BBOOL readDefinition(FILESTREAM& file, DATAOBJECT& object);
    BBOOL readData(DATAOBJECT& object);
    BBOOL writeDefinition(FILESTREAM& file, DATAOBJECT& object);
    // One attempt with a buffer of size bytes: 0, STREAM_BADLENGTH when the definition did not fit, or -1.
    int writeDefinition(FILESTREAM& file, DATAOBJECT& object, int size);
    BBOOL writeData(FILESTREAM& file, DATAOBJECT& object);
    void deleteFiles(DATAOBJECT& object);
    void removeStoreDirectory(DATAOBJECT& object);
    void loadNext(FILESTREAM& file);
    void writeNext(FILESTREAM& file);
    void finish(FILESTREAM& file);
    void traceError(const std::string& path);
};
