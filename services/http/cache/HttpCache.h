#pragma once
// The HTTP service's object cache: the store of sites, the memory and disk
// levels over it, the owner's record in the disk files, the rebuild from the
// index or the directory at start, and the clearing of sites. The service's
// definition owns one and passes its cache operations through.
//
// Lock: sites.lock is the cache semaphore. It guards the sites, their object
// stores' membership, waiter chains and the levels' lists (both levels are
// given it); a site's object store lock is taken under it, never around it.
#include <string>
#include <vector>

#include "Cache.h"
#include "DiskCache.h"
#include "HttpName.h"
#include "QvWindows.h"

class HTTPCFG;
class HTTPDEFINITION;
class HTTPSITE;
class HTTPOBJECT;
struct APPCACHE;

// Status of a header read or write for an object outside any site.
const int HTTPCACHE_NOSITE = 9991;
// Status of an index entry without a file number.
const int HTTPCACHE_BADENTRY = 9996;

extern const char HTTP_SITES_STORE[];  // "HTTP Web Sites"
extern const char HTTP_DEFAULT_SITE[];  // "Quorvane": the site of requests without a host

// The store's objects as they stand now, copied under its lock so that the
// caller may walk them without holding it.
std::vector<DATAOBJECT*> StoreObjects(DATASTORE& store);

class HTTPCACHE {
public:
    DATASTORE sites;  // HTTPSITEs by key; its lock is the cache semaphore
    MEMCACHE* memory;  // owned; never null
    DISKCACHE* disk;   // owned; null after a directory change whose level did not start
    HTTPCFG& config;   // the service's; the sizes and directory in force
    HTTPDEFINITION* definition;  // given to the sites made here; may be null
    volatile long clearing;      // ClearSites is walking the sites

    // Makes both levels from the configuration, linked as the sizes allow,
    // and starts them unless setupMode. Control thread.
    HTTPCACHE(HTTPCFG& config, HTTPDEFINITION* definition, BBOOL setupMode);
    virtual ~HTTPCACHE();
    HTTPCACHE(const HTTPCACHE&) = delete;
    HTTPCACHE& operator=(const HTTPCACHE&) = delete;

    MSEMAPHORE& Lock() { return sites.lock; }

    // Rebuilds from the disk directory once the disk level runs. FALSE when a
    // configured directory cannot be used or the rebuild failed (the disk
    // level is then shut down; the memory level still works).
    BBOOL StartAppCache();
    // Stops the memory level, then the disk level (which writes its index
    // unless noIndex). With a window and a command the disk level finishes on
    // its own thread and posts the command: FALSE at once; else TRUE when stopped.
    BBOOL ShutdownAppCache(BBOOL noIndex, HWND window, int command, LPARAM parameter);
    // Settings thread: without store fills the record, with store applies it
    // (sizes, a new directory, an import) and posts APPMSG_PROGRESS when done.
    void UpdateAppCache(APPCACHE& record, BBOOL store);
    // Deletes the site's objects (all, or those nobody but the levels holds). Caller holds the lock.
    void ClearSite(HTTPSITE& site, BBOOL all);
    // Clears every site unless sitesOnly, then drops the sites left empty and unused. Takes the lock.
    void ClearSites(BBOOL all, BBOOL sitesOnly);
    // Rebuilds sites and objects from dir (see the .cpp for the rules). 0 when
    // all was read; -n when n objects were unusable; -1 when the directory
    // cannot be listed; else the error that stopped the rebuild.
    long ReadDiskCache(const char* dir, const char* headerExt, const char* dataExt, BBOOL import,
                       const char* filter, BBOOL descend);
    // The object's cacheable flag once a level would take its size.
    BBOOL CheckCacheable(HTTPOBJECT& object);

    // The site of key (lower-cased here); made with directory number
    // siteDirectory (0: a new one) when create is set. No reference is taken for the caller.
    HTTPSITE* FindSite(const char* key, BBOOL create, unsigned long siteDirectory);
    // Drops the site when it holds no objects and no request refers to it. Caller holds the lock.
    BBOOL ReleaseSiteIfUnused(HTTPSITE& site);

    // Installed in both levels: gives back the evicting level's reference;
    // the object turns unfindable (and an empty site goes) only once no level holds it.
    static void cacheDeleteObject(DATAOBJECT* object);
    // Installed in the disk level: the object's HTTPNAME record, read
    // (CACHEHEADER_READ, then discarded) or written. 0, a stream status, or HTTPCACHE_NOSITE.
    static int cacheObjectHeaderIO(FILESTREAM& file, DATAOBJECT* object, int mode);

protected:
    // Posts a console message (APPMSG_TEXT, APPMSG_PROGRESS); tests watch it here.
    virtual void notifyConsole(int message, const char* text);
    void setConversionRunning(BBOOL on);

private:
    struct Rebuild;
    DISKCACHE* newDiskLevel();
    void linkLevels();
    BBOOL startDiskLevel();
    void dropDiskLevel();
    void importFrom(APPCACHE& record);
    long walkEntry(Rebuild& run, const WIN32_FIND_DATAA& entry);
    // open: the header file, its record read (walk); null: opened here (index).
    long readRecord(Rebuild& run, HTTPNAME& name, const std::string& headerPath, FILESTREAM* open);
    HTTPOBJECT* loadObject(Rebuild& run, HTTPSITE& site, HTTPNAME& name, const std::string& headerPath,
                           FILESTREAM* open, DATAOBJECT* existing, bool flat, BBOOL& unusable);
};
