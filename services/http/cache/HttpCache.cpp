#include "HttpCache.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "AppOptions.h"
#include "HttpCfg.h"
#include "HttpObject.h"
#include "HttpSite.h"
#include "ServerIds.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TextHelpers.h"

const char HTTP_SITES_STORE[] = "HTTP Web Sites";
const char HTTP_DEFAULT_SITE[] = "Quorvane";

namespace {

const char kHeaderExt[] = ".DEF";
const char kDataExt[] = ".DAT";
const int kFileBuffer = 1024;
const int kLargestDefinition = (1 << 20) + 4;

std::string lower(std::string s) {
    for (char& c : s) c = (char)std::tolower((unsigned char)c);
    return s;
}

std::string join(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '\\' || dir.back() == '/') return dir + name;
    return dir + "\\" + name;
}

bool endsWithNoCase(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && lower(text.substr(text.size() - tail.size())) == lower(tail);
}

// The stem of a file path whose extension is ext, given the other extension.
std::string swapExtension(const std::string& path, const std::string& ext, const std::string& other) {
    return path.substr(0, path.size() - ext.size()) + other;
}

// A name made of hexadecimal digits alone, not 0: a site directory.
bool siteDirectoryName(const char* name) {
    if (!*name || std::strchr(name, '.')) return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(name, &end, 16);
    return end && !*end && v != 0;
}

int definitionBuffer(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info) && !info.nFileSizeHigh &&
        info.nFileSizeLow > (DWORD)kFileBuffer && info.nFileSizeLow <= (DWORD)kLargestDefinition)
        return (int)info.nFileSizeLow;
    return kFileBuffer;
}

// Makes the directory and any missing parents; TRUE when it exists afterwards.
BBOOL makeDirectories(const std::string& path) {
    for (size_t at = path.find_first_of("\\/", 3); at != std::string::npos; at = path.find_first_of("\\/", at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void deletePair(const std::string& headerPath, const std::string& headerExt, const std::string& dataExt) {
    DeleteFileA(headerPath.c_str());
    DeleteFileA(swapExtension(headerPath, headerExt, dataExt).c_str());
}

int levelsHolding(const DATAOBJECT& o) { return (o.memoryCache ? 1 : 0) + (o.diskCache ? 1 : 0); }

}  // namespace

std::vector<DATAOBJECT*> StoreObjects(DATASTORE& store) {
    std::vector<DATAOBJECT*> out;
    MSEMHOLD hold(store.lock);
    for (bSPOINTER* c = store.rows.first; c && c->target; c = c->next)
        if (DATAOBJECT* o = dynamic_cast<DATAOBJECT*>(c->target)) out.push_back(o);
    return out;
}

// One run of ReadDiskCache over one directory.
struct HTTPCACHE::Rebuild {
    std::string dir;
    std::string headerExt;
    std::string dataExt;
    BBOOL import = 0;
    BBOOL descend = 0;
    std::string suffix;    // filter: the path's end, any case; empty: all
    long minimumSize = 0;  // filter: the smallest data size taken
    long unusable = 0;
    bool siteDirectoryRead = false;  // a site directory below was read without fault
    bool announced = false;          // the move of flat files was announced
    bool conversionSet = false;
};

// ---- levels

HTTPCACHE::HTTPCACHE(HTTPCFG& cfg, HTTPDEFINITION* def, BBOOL setupMode)
    : sites(TRUE, HTTP_SITES_STORE, nullptr, nullptr, nullptr, 0),
      memory(nullptr),
      disk(nullptr),
      config(cfg),
      definition(def),
      clearing(0) {
    memory = new MEMCACHE((int)cfg.memoryCacheSize, (int)cfg.memoryCacheThreshold);
    memory->prepare();
    memory->releaseHandler = &HTTPCACHE::cacheDeleteObject;
    memory->cacheLock = &sites.lock;
    disk = newDiskLevel();
    linkLevels();
    if (!setupMode) {
        memory->Startup();
        startDiskLevel();
    }
}

HTTPCACHE::~HTTPCACHE() {
    if (disk && disk->running) ShutdownAppCache(TRUE, nullptr, 0, 0);
    ClearSites(TRUE, FALSE);
    dropDiskLevel();
    memory->cacheLock = nullptr;
    memory->freeobj();
}

DISKCACHE* HTTPCACHE::newDiskLevel() {
    DISKCACHE* d = new DISKCACHE((int)config.diskCacheSize, (int)config.diskCacheThreshold, config.diskCacheDirectory,
                                 kHeaderExt, kDataExt);
    d->prepare();
    d->releaseHandler = &HTTPCACHE::cacheDeleteObject;
    d->headerIO = &HTTPCACHE::cacheObjectHeaderIO;
    d->siteDirectories = config.useSubdirectories ? 1 : 0;
    d->cacheLock = &sites.lock;
    return d;
}

// The disk level sits below only when it has a size; the memory level above only when it has one.
void HTTPCACHE::linkLevels() {
    if (!disk) return;
    memory->lowerLevel = config.diskCacheSize ? disk : nullptr;
    disk->upperLevel = config.memoryCacheSize ? memory : nullptr;
}

BBOOL HTTPCACHE::startDiskLevel() {
    if (!disk) return FALSE;
    // A configured directory that is missing is made, so a fresh install caches at once.
    if (disk->directory[0] && disk->maximumSize) makeDirectories(disk->directory);
    return disk->Startup();
}

void HTTPCACHE::dropDiskLevel() {
    if (!disk) return;
    if (disk->running) disk->Shutdown(TRUE, nullptr, 0, 0);
    if (memory->lowerLevel == disk) memory->lowerLevel = nullptr;
    disk->cacheLock = nullptr;
    disk->freeobj();
    disk = nullptr;
}

BBOOL HTTPCACHE::StartAppCache() {
    if (!disk || !disk->running) {
        // Only a directory that was asked for and could not be used is a fault.
        bool configured = config.diskCacheDirectory[0] && config.diskCacheSize;
        return configured ? FALSE : TRUE;
    }
    long result = ReadDiskCache(disk->directory, kHeaderExt, kDataExt, FALSE, nullptr, TRUE);
    if (result > 0) {
        disk->Shutdown(TRUE, nullptr, 0, 0);
        return FALSE;
    }
    return TRUE;
}

BBOOL HTTPCACHE::ShutdownAppCache(BBOOL noIndex, HWND window, int command, LPARAM parameter) {
    if (memory->running) memory->Shutdown(noIndex, window, command, (unsigned long)parameter);
    if (disk && disk->running) return disk->Shutdown(noIndex, window, command, (unsigned long)parameter);
    return TRUE;
}

BBOOL HTTPCACHE::CheckCacheable(HTTPOBJECT& object) {
    if (!memory->CheckAccept(object, 0) && !(disk && disk->CheckAccept(object, 0))) object.valid = 0;
    return object.valid;
}

// ---- settings

void HTTPCACHE::UpdateAppCache(APPCACHE& r, BBOOL store) {
    HTTPCFG& c = config;
    if (!store) {
        r.enabled = c.cache;
        _strzcpy(r.cacheDirectory, c.diskCacheDirectory, sizeof r.cacheDirectory);
        r.memoryMaxKB = c.memoryCacheSize / 1024;
        r.memoryLargestKB = c.memoryCacheThreshold / 1024;
        r.diskMaxKB = c.diskCacheSize / 1024;
        r.diskLargestKB = c.diskCacheThreshold / 1024;
        r.updateMode = c.cacheRefreshMethod;
        r.updateMinutes = c.cacheRefreshAfterTime;
        r.multipleSubdirectories = c.useSubdirectories;
        r.validateAtStart = c.startupValidation;
        r.keepExpired = c.keepExpiredObjects;
        r.removeOlder = c.removeOldObjects;
        r.keepExpiredMinutes = c.expiredObjectAge;
        r.removeOlderMinutes = c.maximumObjectAge;
        return;
    }
    c.cache = r.enabled;
    _strzcpy(c.diskCacheDirectory, r.cacheDirectory, sizeof c.diskCacheDirectory);
    c.memoryCacheSize = r.memoryMaxKB * 1024;
    c.memoryCacheThreshold = r.memoryLargestKB * 1024;
    c.diskCacheSize = r.diskMaxKB * 1024;
    c.diskCacheThreshold = r.diskLargestKB * 1024;
    c.cacheRefreshMethod = r.updateMode;
    c.cacheRefreshAfterTime = r.updateMinutes;
    c.useSubdirectories = r.multipleSubdirectories;
    c.startupValidation = r.validateAtStart;
    c.keepExpiredObjects = r.keepExpired;
    c.removeOldObjects = r.removeOlder;
    c.expiredObjectAge = r.keepExpiredMinutes;
    c.maximumObjectAge = r.removeOlderMinutes;
    c.WriteCacheProfile();
    if (disk) disk->SetMaximumSize((int)c.diskCacheSize, (int)c.diskCacheThreshold);
    memory->SetMaximumSize((int)c.memoryCacheSize, (int)c.memoryCacheThreshold);

    if (disk && std::strcmp(disk->directory, c.diskCacheDirectory) == 0) {
        if (r.importRequested && r.importDirectory[0]) importFrom(r);
        return;
    }
    // A new directory: the old one keeps its files and gets its index.
    memory->Shutdown(FALSE, nullptr, 0, 0);
    if (disk && disk->running) disk->Shutdown(FALSE, nullptr, 0, 0);
    dropDiskLevel();
    ClearSites(FALSE, TRUE);
    memory->Startup();
    disk = newDiskLevel();
    linkLevels();
    if (startDiskLevel()) StartAppCache();
    if (!disk->running) dropDiskLevel();
    r.result = disk != nullptr;
    notifyConsole(APPMSG_PROGRESS, nullptr);
}

void HTTPCACHE::importFrom(APPCACHE& r) {
    r.importRequested = 0;
    std::string text(r.importDirectory);
    size_t comma = text.find(',');
    std::string dir = text.substr(0, comma);
    std::string filter = comma == std::string::npos ? std::string() : text.substr(comma + 1);
    long result = ReadDiskCache(dir.c_str(), kHeaderExt, kDataExt, TRUE, filter.empty() ? nullptr : filter.c_str(), TRUE);
    r.result = result <= 0;
    notifyConsole(APPMSG_PROGRESS, nullptr);
}

void HTTPCACHE::notifyConsole(int message, const char* text) {
    if (_pSvr && _pSvr->consoleWindow) PostCmdMessage(_pSvr->consoleWindow, message, (LPARAM)text);
}

void HTTPCACHE::setConversionRunning(BBOOL on) {
    if (_pSvr) _pSvr->cacheUpdate = on;
}

// ---- sites

HTTPSITE* HTTPCACHE::FindSite(const char* key, BBOOL create, unsigned long siteDirectory) {
    std::string name = lower(key ? key : "");
    MSEMHOLD hold(sites.lock);
    if (DATAOBJECT* found = sites.FindSingleObject(name.c_str(), FALSE)) return dynamic_cast<HTTPSITE*>(found);
    if (!create) return nullptr;
    HTTPSITE* site = new HTTPSITE(&sites, definition, name.c_str(), siteDirectory, TRUE);
    site->prepare();  // the sites store's hold, given back by ReleaseSiteIfUnused
    site->cache = this;
    return site;
}

BBOOL HTTPCACHE::ReleaseSiteIfUnused(HTTPSITE& site) {
    MSEMHOLD hold(sites.lock);
    if (site.objects.rows.Count() > 0 || site.requestCount > 0 || site.objectCount > 0 || site.count > 1) return FALSE;
    sites.DeleteObject(site, FALSE);
    site.freeobj();
    return TRUE;
}

void HTTPCACHE::ClearSite(HTTPSITE& site, BBOOL all) {
    MSEMHOLD hold(sites.lock);
    for (DATAOBJECT* o : StoreObjects(site.objects))
        if (all || o->count <= levelsHolding(*o)) o->DeleteObject(FALSE);
}

void HTTPCACHE::ClearSites(BBOOL all, BBOOL sitesOnly) {
    MSEMHOLD hold(sites.lock);
    clearing = 1;
    for (DATAOBJECT* row : StoreObjects(sites)) {
        HTTPSITE* site = dynamic_cast<HTTPSITE*>(row);
        if (!site) continue;
        if (!sitesOnly) ClearSite(*site, all);
        ReleaseSiteIfUnused(*site);
    }
    clearing = 0;
}

// ---- the level callbacks

void HTTPCACHE::cacheDeleteObject(DATAOBJECT* object) {
    if (!object) return;
    HTTPOBJECT* h = dynamic_cast<HTTPOBJECT*>(object);
    HTTPSITE* site = h ? h->site : nullptr;
    HTTPCACHE* owner = site ? site->cache : nullptr;
    if (!owner) {
        object->FreeObject();
        return;
    }
    MSEMHOLD hold(owner->Lock());
    // Still held by the other level: only the evicting level's reference goes,
    // or the object would turn unfindable with its files kept.
    bool held = levelsHolding(*object) > 0;
    if (!held) object->valid = 0;
    object->FreeObject();
    if (!held && !owner->clearing) owner->ReleaseSiteIfUnused(*site);
}

int HTTPCACHE::cacheObjectHeaderIO(FILESTREAM& file, DATAOBJECT* object, int mode) {
    HTTPOBJECT* h = dynamic_cast<HTTPOBJECT*>(object);
    HTTPSITE* site = h ? h->site : nullptr;
    if (!site || !site->cache) return HTTPCACHE_NOSITE;
    HTTPNAME name;
    if (mode == CACHEHEADER_READ) {
        file >> name;
        return file.status ? (int)file.status : (int)name.streamStatus;
    }
    char text[1024];
    name.site = site->GetName(text, sizeof text);
    name.path = object->GetName(text, sizeof text);
    name.fileNumber = object->objectId.id;
    name.size = object->DataLength();
    DISKCACHE* disk = site->cache->disk;
    name.siteDirectory = disk && disk->siteDirectories ? site->objects.storeId.id : 0;
    file << name;
    return file.status ? (int)file.status : (int)name.streamStatus;
}

// ---- rebuild

// Trust check, then the index when it is usable, else (or when an entry of it
// is bad) a walk of the directory. Every record found goes through readRecord.
long HTTPCACHE::ReadDiskCache(const char* dir, const char* headerExt, const char* dataExt, BBOOL import,
                              const char* filter, BBOOL descend) {
    if (!disk || !dir) return -1;
    Rebuild run;
    run.dir = dir;
    run.headerExt = headerExt;
    run.dataExt = dataExt;
    run.import = import;
    run.descend = descend;
    if (filter && *filter) {
        std::string f(filter);
        size_t comma = f.find(',');
        run.suffix = f.substr(0, comma).substr(0, 63);
        if (comma != std::string::npos) run.minimumSize = std::atol(f.c_str() + comma + 1);
    }

    bool trusted = true;
    if (FILE* probe = std::fopen(join(run.dir, _DiskCacheProbeFile).c_str(), "rb")) {
        int value = -1;
        if (std::fread(&value, 4, 1, probe) != 1 || value != 0) trusted = false;
        std::fclose(probe);
    }
    long error = 0;
    bool indexUsed = false;
    std::string indexPath = join(run.dir, _DiskCacheIndexFile);
    FILESTREAM index;
    if (trusted && index.OpenStream(indexPath.c_str(), kFileBuffer, IOMODE_READ) == 0) {
        STREAMCOUNT count;
        index >> count;
        if (index.status == 0 && count.count >= 1) {
            indexUsed = true;
            for (unsigned long i = 0; i < count.count && !error && !IsSystemClosing(); ++i) {
                HTTPNAME name;
                index >> name;
                if (index.status)
                    error = index.status;
                else if (!name.fileNumber)
                    error = HTTPCACHE_BADENTRY;
                else {
                    char stem[32];
                    std::string header = join(run.dir, disk->BuildObjectFileName(name.siteDirectory, name.fileNumber, stem)) + headerExt;
                    error = readRecord(run, name, header, nullptr);
                }
            }
        }
        index.CloseStream();
    }
    if (indexUsed && !import) {
        // Usable once only: a crash from now on leaves a count of 0 and the next start walks.
        FILESTREAM reset;
        reset.updateExisting = 1;
        bool ok = reset.OpenStream(indexPath.c_str(), kFileBuffer, IOMODE_UPDATE) == 0;
        if (ok) {
            STREAMCOUNT zero(0);
            reset << zero;
            ok = reset.CloseStream() == 0 && reset.status == 0;
        }
        if (!ok || error) DeleteFileA(indexPath.c_str());
    }
    // One bad entry must not leave the cache unused: the files themselves still tell.
    if (indexUsed && error && !IsSystemClosing()) {
        indexUsed = false;
        error = 0;
    }

    if (!indexUsed) {
        WIN32_FIND_DATAA entry;
        HANDLE listing = FindFirstFileA(join(run.dir, "*").c_str(), &entry);
        if (listing == INVALID_HANDLE_VALUE) return -1;
        do {
            if (IsSystemClosing()) break;
            error = walkEntry(run, entry);
        } while (!error && FindNextFileA(listing, &entry));
        if (!error && GetLastError() != ERROR_NO_MORE_FILES && !IsSystemClosing()) error = (long)GetLastError();
        FindClose(listing);
    }
    if (run.conversionSet) setConversionRunning(FALSE);
    if (!error && !IsSystemClosing()) return -run.unusable;
    return error ? error : -run.unusable;
}

long HTTPCACHE::walkEntry(Rebuild& run, const WIN32_FIND_DATAA& entry) {
    const char* name = entry.cFileName;
    if (!name[0] || name[0] == '.') return 0;
    std::string path = join(run.dir, name);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!siteDirectoryName(name) || !disk->siteDirectories || !run.descend || run.announced) return 0;
        long r = ReadDiskCache(path.c_str(), run.headerExt.c_str(), run.dataExt.c_str(), run.import,
                               nullptr, FALSE);
        if (r == 0) run.siteDirectoryRead = true;
        if (r < -1) run.unusable += -r;
        return 0;
    }
    if (endsWithNoCase(name, run.dataExt)) {
        // A data file whose definition never got written (a crash between the two) is no object.
        std::string header = swapExtension(path, run.dataExt, run.headerExt);
        if (!run.import && GetFileAttributesA(header.c_str()) == INVALID_FILE_ATTRIBUTES) DeleteFileA(path.c_str());
        return 0;
    }
    if (!endsWithNoCase(name, run.headerExt)) return 0;
    FILESTREAM file;
    if (file.OpenStream(path.c_str(), definitionBuffer(path), IOMODE_READ) != 0) {
        ++run.unusable;
        return 0;
    }
    HTTPNAME record;
    file >> record;
    if (file.status || record.streamStatus || record.site.empty() || record.path.empty()) {
        file.CloseStream();
        if (!run.import) deletePair(path, run.headerExt, run.dataExt);
        ++run.unusable;
        return 0;
    }
    return readRecord(run, record, path, &file);
}

// One record: its object is made, read as far as needed, kept (handed to the
// disk level, moved when it comes from elsewhere) or dropped with its files.
long HTTPCACHE::readRecord(Rebuild& run, HTTPNAME& name, const std::string& headerPath, FILESTREAM* open) {
    if (!run.suffix.empty() && !endsWithNoCase(name.path, run.suffix)) {
        if (open) open->CloseStream();
        return 0;
    }
    MSEMHOLD hold(sites.lock);
    HTTPSITE* site = FindSite(name.site.c_str(), TRUE, run.import ? 0 : name.siteDirectory);
    DATAOBJECT* existing = site->objects.FindSingleObject(name.path.c_str(), FALSE);
    if (existing && !existing->defined && disk->Holds(*existing)) disk->Retrieve(*existing, nullptr, FALSE);
    if (existing && !existing->defined) existing = nullptr;
    // Taken in already (from the index before one of its entries failed).
    if (existing && !run.import && existing->objectId.id == name.fileNumber && disk->Holds(*existing)) {
        if (open) open->CloseStream();
        return 0;
    }
    bool renumbered = !run.import && name.fileNumber == 0;
    bool flat = disk->siteDirectories && name.siteDirectory == 0;
    if (flat && run.descend && !run.import && !run.siteDirectoryRead && !run.announced) {
        run.announced = true;
        run.conversionSet = true;
        setConversionRunning(TRUE);
        static char text[256];
        std::snprintf(text, sizeof text, "%s", ServerText(IDS_CACHE_CONVERTING));
        notifyConsole(APPMSG_TEXT, text);
    }
    BBOOL unusable = FALSE;
    HTTPOBJECT* object = loadObject(run, *site, name, headerPath, open, existing, flat, unusable);

    bool moved = run.import || flat || renumbered;
    bool keep = object->objectId.id != 0 && !unusable;
    if (keep && !run.import && !renumbered && object->objectId.id != name.fileNumber) keep = false;
    if (keep && flat && (!run.descend || run.siteDirectoryRead)) keep = false;
    if (keep && run.minimumSize && object->DataLength() < run.minimumSize) keep = false;
    if (keep && existing && existing->addedTime.seconds > object->addedTime.seconds) keep = false;
    if (keep && existing) existing->DeleteObject(FALSE);
    std::string dataPath = swapExtension(headerPath, run.headerExt, run.dataExt);
    if (keep && !disk->Import(*object, TRUE, moved ? dataPath.c_str() : nullptr)) {
        keep = false;
        unusable = TRUE;
    }
    if (unusable) ++run.unusable;
    if (!keep) {
        site->objects.DeleteObject(*object, FALSE);
        if (!IsSystemClosing() && !run.import) deletePair(headerPath, run.headerExt, run.dataExt);
    } else if (moved && !run.import) {
        deletePair(headerPath, run.headerExt, run.dataExt);  // copied to the object's own names
    }
    object->freeobj();
    if (!keep) ReleaseSiteIfUnused(*site);
    return 0;
}

HTTPOBJECT* HTTPCACHE::loadObject(Rebuild& run, HTTPSITE& site, HTTPNAME& name, const std::string& headerPath,
                                  FILESTREAM* open, DATAOBJECT* existing, bool flat, BBOOL& unusable) {
    bool renumbered = !run.import && name.fileNumber == 0;
    HTTPOBJECT* object = new (&site.objects)
        HTTPOBJECT(&site, name.path.c_str(), run.import || renumbered, TRUE, name.fileNumber);
    object->prepare();
    if (!existing && !run.import && !flat && name.fileNumber && !config.startupValidation && !open) {
        // Trusted index: the size is enough until the object is first asked for.
        object->SetDataLength(name.size);
        object->valid = 1;
        return object;
    }
    FILESTREAM own;
    FILESTREAM* file = open;
    bool ok = true;
    if (!file) {
        file = &own;
        ok = own.OpenStream(headerPath.c_str(), definitionBuffer(headerPath), IOMODE_READ) == 0;
        if (ok) {
            HTTPNAME skipped;
            own >> skipped;
            ok = own.status == 0;
        }
    }
    if (ok) {
        object->streamStatus = 0;
        *file >> *object;
        ok = object->streamStatus == 0 && file->status == 0;
    }
    if (file->open) file->CloseStream();
    if (ok)
        object->defined = 1;
    else
        unusable = TRUE;
    return object;
}
