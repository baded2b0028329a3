// The disk level: files per object, the service thread, the index and imports.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "DataRequest.h"
#include "DiskCache.h"
#include "SpControl.h"
#include "ScratchDir.h"
#include "TableIO.h"
#include "WaitFor.h"

namespace {

// ---- the owner's record: identifier, store, length and name

struct OwnerRecord : STREAMABLE {
    unsigned long id = 0, storeId = 0, length = 0;
    char name[128] = {0};
    BBOOL StreamOut(STREAMBUF& s) override {
        tableio::PutU32(s, id);
        tableio::PutU32(s, storeId);
        tableio::PutU32(s, length);
        s.CopyIn(name, (long)std::strlen(name) + 1);
        return TRUE;
    }
    BBOOL StreamIn(STREAMBUF& s) override {
        id = tableio::GetU32(s, false);
        storeId = tableio::GetU32(s, false);
        length = tableio::GetU32(s, false);
        int n = 0;
        char c;
        while (s.CopyOut(&c, 1) == 1 && c && n < 127) name[n++] = c;
        name[n] = 0;
        return TRUE;
    }
    QV_ITEM_IDENTITY(OwnerRecord, "OWNERRECORD", "OWNa")
};

bool failOwnerWrites = false;

int OwnerIO(FILESTREAM& file, DATAOBJECT* object, int mode) {
    OwnerRecord r;
    if (mode == CACHEHEADER_WRITE) {
        if (failOwnerWrites) return 10007;
        r.id = object->objectId.id;
        r.storeId = object->Store() ? object->Store()->storeId.id : 0;
        r.length = (unsigned long)object->DataLength();
        object->GetName(r.name, sizeof r.name);
        file << r;
        return file.status;
    }
    file >> r;
    if (file.status) return file.status;
    return r.id == object->objectId.id ? 0 : 10007;
}

// The owner's handler works under the cache lock, as the HTTP service's does.
std::vector<DATAOBJECT*> releases;
MSEMAPHORE* ownerLock = nullptr;
void Release(DATAOBJECT* o) {
    ownerLock->Reserve();
    releases.push_back(o);
    o->FreeObject();
    ownerLock->Release();
}

struct TestProcess : REQUESTPROCESS {
    ESEMAPHORE restarted;
    long restarts = 0;
    BBOOL RestartProcess() override {
        ++restarts;
        restarted.PostEvent();
        return TRUE;
    }
    QV_ITEM_IDENTITY(TestProcess, "TESTPROCESS", "TPRa")
};

// ---- files

std::string ReadFile(const std::string& path, bool* exists = nullptr) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (exists) *exists = f != nullptr;
    if (!f) return out;
    int c;
    while ((c = std::fgetc(f)) != EOF) out += (char)c;
    std::fclose(f);
    return out;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

void RemoveTree(const std::string& dir) {
    qvtest::EmptyDirectory(dir);
    RemoveDirectoryA(dir.c_str());
}

using qvtest::WaitFor;

std::string Pattern(int n) {
    std::string s(n, 0);
    for (int i = 0; i < n; ++i) s[i] = (char)(i * 31 + 7);
    return s;
}

std::string Bytes(DATAOBJECT& o) {
    std::string out(o.DataLength(), 0);
    int got = out.empty() ? 0 : o.dataField->GetData(BUFFER(&out[0], (long)out.size()), FALSE);
    out.resize(got);
    return out;
}

struct Disk : ::testing::Test {
    std::string dir;
    DATASTORE* store = nullptr;
    MSEMAPHORE lock;
    std::vector<DISKCACHE*> levels;

    void SetUp() override {
        static int serial = 0;
        char tmp[MAX_PATH];
        GetTempPathA(sizeof tmp, tmp);
        dir = std::string(tmp) + "qvdisk" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
        CreateDirectoryA(dir.c_str(), nullptr);
        releases.clear();
        ownerLock = &lock;
        failOwnerWrites = false;
        store = NewStore(0x1a);
    }
    void TearDown() override {
        for (DISKCACHE* d : levels) {
            d->Shutdown(TRUE, nullptr, 0, 0);
            d->freeobj();
        }
        store->freeobj();
        RemoveTree(dir);
    }
    static DATASTORE* NewStore(unsigned long id) {
        DATASTORE* s = new DATASTORE(TRUE, "disk", nullptr, nullptr, nullptr, id);
        s->prepare();
        return s;
    }
    DISKCACHE* Level(int total = 1000000, BBOOL sites = FALSE, const char* where = nullptr) {
        DISKCACHE* d = new DISKCACHE(total, 0, where ? where : dir.c_str(), ".DEF", ".DAT");
        d->prepare();
        d->cacheLock = &lock;
        d->releaseHandler = &Release;
        d->headerIO = &OwnerIO;
        d->siteDirectories = sites;
        levels.push_back(d);
        return d;
    }
    DATAOBJECT* Make(const std::string& bytes, BBOOL defined = TRUE, DATASTORE* in = nullptr) {
        DATASTORE* s = in ? in : store;
        DATAOBJECT* o = new (s) DATAOBJECT(s, "/object", TRUE, TRUE, 0);
        o->SetData(BUFFER(const_cast<char*>(bytes.data()), (long)bytes.size()));
        o->defined = defined;
        o->valid = 1;
        return o;
    }
    // A memory level over the disk level d, as the HTTP service builds them, both started.
    bool Stack(MEMCACHE& memory, DISKCACHE* d) {
        memory.cacheLock = &lock;
        memory.releaseHandler = &Release;
        memory.lowerLevel = d;
        d->upperLevel = &memory;
        memory.Startup();
        return d->Startup();
    }
    // An object the level has written and whose bytes left memory; null when that never happened.
    DATAOBJECT* OnDiskOnly(DISKCACHE* d, const std::string& bytes) {
        DATAOBJECT* o = Make(bytes);
        d->Accept(*o, FALSE);
        return WaitFor([&] { return o->Released(); }) ? o : nullptr;
    }
    static bool Written(DATAOBJECT* o) { return !o->writeQueued && o->OnDisk(); }
    static bool Idle(DISKCACHE* d) { return d->writeQueue.Count() == 0 && d->loadQueue.Count() == 0; }
};

TEST_F(Disk, FileNames) {
    DISKCACHE d(100, 0, "c:\\cache", ".DEF", ".DAT");
    char out[32];
    EXPECT_STREQ("1a\\0000002f", d.BuildObjectFileName(0x1a, 0x2f, out));
    EXPECT_STREQ("0000002f", d.BuildObjectFileName(0, 0x2f, out));
    EXPECT_STREQ("ffffffff\\ffffffff", d.BuildObjectFileName(0xffffffff, 0xffffffff, out));
    DATAOBJECT* o = new (store) DATAOBJECT(store, "n", FALSE, TRUE, 0x2f);
    EXPECT_STREQ("0000002f", d.BuildObjectFileName(*o, out));
    d.siteDirectories = 1;
    EXPECT_STREQ("1a\\0000002f", d.BuildObjectFileName(*o, out));
    EXPECT_EQ("c:\\cache\\1a\\0000002f.DAT", d.DataPath(*o));
}

TEST_F(Disk, StartupWritesTheProbeOrStaysOff) {
    DATAOBJECT* o = Make("abc");
    DISKCACHE* off = Level(1000, FALSE, "");
    EXPECT_TRUE(off->Startup());
    EXPECT_FALSE(off->accepting);
    EXPECT_FALSE(off->Accept(*o, FALSE));

    DISKCACHE* unlimited = Level(0);
    EXPECT_TRUE(unlimited->Startup());
    EXPECT_FALSE(unlimited->accepting);

    DISKCACHE* missing = Level(1000, FALSE, (dir + "\\no\\such").c_str());
    EXPECT_FALSE(missing->Startup());
    EXPECT_FALSE(missing->Accept(*o, FALSE));

    DISKCACHE* on = Level();
    EXPECT_TRUE(on->Startup());
    EXPECT_TRUE(on->running);
    bool exists = false;
    EXPECT_EQ(std::string(4, '\0'), ReadFile(dir + "\\QUORVANE.DSK", &exists));
    EXPECT_TRUE(exists);
}

TEST_F(Disk, WritesBothFilesAndFreesTheMemory) {
    for (BBOOL sites : {FALSE, TRUE}) {
        DISKCACHE* d = Level(1000000, sites);
        ASSERT_TRUE(d->Startup());
        std::string data = Pattern(10000);  // several pooled buffers
        DATAOBJECT* o = Make(data);
        ASSERT_TRUE(d->Accept(*o, FALSE));
        ASSERT_TRUE(WaitFor([&] { return Written(o) && o->Released(); })) << sites;
        char stem[32];
        std::sprintf(stem, sites ? "1a\\%08lx" : "%08lx", (unsigned long)o->objectId.id);
        EXPECT_EQ(data, ReadFile(dir + "\\" + stem + ".DAT")) << sites;
        EXPECT_TRUE(Exists(dir + "\\" + stem + ".DEF")) << sites;
        // Only the cache held it: the bytes left memory, the length stayed.
        EXPECT_EQ(10000, o->DataLength());
        EXPECT_EQ(0, o->bufferChain->parts.Count());
        EXPECT_EQ(1, o->count);  // the level's
        EXPECT_FALSE(o->headerChanged || o->dataChanged);

        // Brought back at once without a process.
        EXPECT_TRUE(d->Retrieve(*o, nullptr, FALSE));
        EXPECT_FALSE(o->Released());
        EXPECT_EQ(data, Bytes(*o));

        // Removing with now deletes both files, and the store's directory once empty.
        d->Remove(*o, FALSE, TRUE);
        EXPECT_FALSE(Exists(dir + "\\" + stem + ".DAT"));
        EXPECT_FALSE(Exists(dir + "\\" + stem + ".DEF"));
        EXPECT_FALSE(Exists(dir + "\\1a"));
        EXPECT_EQ(0, o->count);
        EXPECT_EQ(0, d->currentSize);
        o->DeleteObject(FALSE);
    }
}

TEST_F(Disk, UndefinedObjectWaitsForRewrite) {
    DISKCACHE* d = Level();
    ASSERT_TRUE(d->Startup());
    DATAOBJECT* o = Make("not yet", FALSE);
    ASSERT_TRUE(d->Accept(*o, FALSE));
    ASSERT_TRUE(WaitFor([&] { return !o->writeQueued && Idle(d); }));
    EXPECT_FALSE(Exists(d->DataPath(*o)));
    EXPECT_FALSE(Exists(d->DefinitionPath(*o)));
    o->defined = 1;
    o->CacheRewrite();
    ASSERT_TRUE(WaitFor([&] { return Written(o); }));
    EXPECT_EQ("not yet", ReadFile(d->DataPath(*o)));
}

TEST_F(Disk, DeletingAStoredObjectDeletesItsFilesAtOnce) {
    DISKCACHE* d = Level(1000000, TRUE);
    ASSERT_TRUE(d->Startup());
    DATAOBJECT* o = Make("bytes");
    d->Accept(*o, FALSE);
    ASSERT_TRUE(WaitFor([&] { return Written(o); }));
    std::string dat = d->DataPath(*o);
    o->DeleteObject(FALSE);
    EXPECT_FALSE(Exists(dat));
    EXPECT_FALSE(Exists(dir + "\\1a"));
    EXPECT_EQ(0, d->objects.Count());

    // Deleted while its write is still queued: the write must not bring the files back.
    for (int i = 0; i < 20; ++i) {
        DATAOBJECT* quick = Make(Pattern(20000));
        d->Accept(*quick, FALSE);
        std::string path = d->DataPath(*quick);
        quick->DeleteObject(FALSE);
        // The thread may be writing it right now; what it wrote goes again.
        EXPECT_TRUE(WaitFor([&] { return Idle(d) && !Exists(path); })) << i;
    }
}

TEST_F(Disk, WaitingProcessIsRestartedWithTheData) {
    MEMCACHE memory(100000, 0);
    DISKCACHE* d = Level();
    ASSERT_TRUE(Stack(memory, d));
    std::string data = Pattern(5000);
    DATAOBJECT* o = OnDiskOnly(d, data);
    ASSERT_NE(nullptr, o);
    EXPECT_EQ(d, o->diskCache);

    TestProcess* p = new TestProcess;
    p->prepare();
    // Under the cache lock the service thread cannot start the load before we look.
    lock.Reserve();
    EXPECT_FALSE(d->Retrieve(*o, p, FALSE));
    EXPECT_TRUE(o->loadPending);
    lock.Release();
    ASSERT_TRUE(p->restarted.WaitEvent(10000));
    ASSERT_TRUE(WaitFor([&] { return p->count == 1; }));
    EXPECT_EQ(1, p->restarts);
    EXPECT_FALSE(p->waiting);
    EXPECT_EQ(0, o->waiters.Count());
    EXPECT_FALSE(o->loadPending);
    EXPECT_FALSE(o->Released());
    EXPECT_EQ(data, Bytes(*o));
    EXPECT_EQ(&memory, o->memoryCache);  // offered to the level above
    EXPECT_EQ(2, o->count);
    // With its data in memory a retrieve answers at once.
    EXPECT_TRUE(d->Retrieve(*o, p, FALSE));
    memory.Remove(*o, FALSE, FALSE);
    p->freeobj();
    d->upperLevel = nullptr;
}

TEST_F(Disk, FailedReadDropsTheObjectAndRestartsTheProcess) {
    DISKCACHE* d = Level();
    ASSERT_TRUE(d->Startup());
    DATAOBJECT* o = OnDiskOnly(d, "will vanish");
    ASSERT_NE(nullptr, o);
    o->prepare();  // the test's hold: the level lets the object go
    std::string def = d->DefinitionPath(*o);
    DeleteFileA(d->DataPath(*o).c_str());
    TestProcess* p = new TestProcess;
    p->prepare();
    EXPECT_FALSE(d->Retrieve(*o, p, FALSE));
    ASSERT_TRUE(p->restarted.WaitEvent(10000));
    // The read's hold goes, then the deletion's.
    ASSERT_TRUE(WaitFor([&] { return Idle(d) && !Exists(def) && releases.size() == 2 && o->count == 1; }));
    EXPECT_EQ(nullptr, o->diskCache);
    EXPECT_EQ(nullptr, o->memoryCache);
    EXPECT_FALSE(p->waiting);
    p->freeobj();
    o->freeobj();
}

TEST_F(Disk, FailedWriteRemovesTheObject) {
    DISKCACHE* d = Level();
    ASSERT_TRUE(d->Startup());
    DATAOBJECT* o = Make("cannot land");
    o->prepare();
    CreateDirectoryA(d->DataPath(*o).c_str(), nullptr);  // the data file cannot be made
    d->Accept(*o, FALSE);
    ASSERT_TRUE(WaitFor([&] { return releases.size() == 1 && o->count == 1 && Idle(d); }));
    EXPECT_EQ(nullptr, o->diskCache);
    EXPECT_EQ(nullptr, o->memoryCache);
    EXPECT_FALSE(Exists(d->DefinitionPath(*o)));
    EXPECT_EQ(0, d->currentSize);
    RemoveDirectoryA(d->DataPath(*o).c_str());
    o->freeobj();
}

TEST_F(Disk, ShutdownWritesTheIndex) {
    const struct {
        BBOOL immediate;
        bool failing;
        bool indexKept;
        unsigned long count;
    } cases[] = {{FALSE, false, true, 2}, {TRUE, false, true, 0}, {FALSE, true, false, 0}};
    for (const auto& c : cases) {
        DISKCACHE* d = Level();
        ASSERT_TRUE(d->Startup());
        DATAOBJECT* a = Make("first");
        DATAOBJECT* b = Make("second");
        DATAOBJECT* pending = Make("undefined", FALSE);
        d->Accept(*a, FALSE);
        d->Accept(*b, FALSE);
        d->Accept(*pending, FALSE);
        for (DATAOBJECT* o : {a, b, pending}) o->prepare();
        ASSERT_TRUE(WaitFor([&] { return Written(a) && Written(b) && Idle(d); }));
        failOwnerWrites = c.failing;
        EXPECT_TRUE(d->Shutdown(c.immediate, nullptr, 0, 0));
        failOwnerWrites = false;
        std::string index = dir + "\\QUORVANE.IDX";
        EXPECT_EQ(c.indexKept, Exists(index)) << c.immediate << c.failing;
        if (c.indexKept) {
            FILESTREAM f;
            ASSERT_EQ(0, f.OpenStream(index.c_str(), 1024, IOMODE_READ));
            STREAMCOUNT n;
            f >> n;
            EXPECT_EQ(c.count, n.count);
            // Most recently used first.
            unsigned long order[2] = {b->objectId.id, a->objectId.id};
            for (unsigned long i = 0; i < n.count; ++i) {
                OwnerRecord r;
                f >> r;
                EXPECT_EQ(order[i], r.id);
            }
            f.CloseStream();
        }
        // Everything left the level; the objects stay in their store.
        EXPECT_EQ(0, d->objects.Count());
        EXPECT_EQ(0, d->currentSize);
        for (DATAOBJECT* o : {a, b, pending}) {
            EXPECT_EQ(nullptr, o->diskCache);
            EXPECT_EQ(nullptr, o->memoryCache);
            EXPECT_EQ(1, o->count);
        }
        EXPECT_FALSE(d->Accept(*a, FALSE));
        for (DATAOBJECT* o : {a, b, pending}) o->freeobj();
        DeleteFileA(index.c_str());
    }
}

TEST_F(Disk, ShutdownWithANoticeFinishesOnItsThread) {
    HWND window = CreateWindowA("STATIC", "notice", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    DISKCACHE* d = Level();
    ASSERT_TRUE(d->Startup());
    DATAOBJECT* o = Make("kept");
    o->prepare();
    d->Accept(*o, FALSE);
    EXPECT_FALSE(d->Shutdown(FALSE, window, 0xC22, 77));
    MSG msg;
    bool noticed = false;
    for (int waited = 0; waited < 10000 && !noticed; waited += 5) {
        while (PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
            if (msg.wParam == 0xC22 && msg.lParam == 77) noticed = true;
        if (!noticed) Sleep(5);
    }
    ASSERT_TRUE(noticed);
    // The notice comes after the index, which lists the object written during the drain.
    FILESTREAM f;
    ASSERT_EQ(0, f.OpenStream((dir + "\\QUORVANE.IDX").c_str(), 1024, IOMODE_READ));
    STREAMCOUNT n;
    f >> n;
    EXPECT_EQ(1u, n.count);
    f.CloseStream();
    EXPECT_TRUE(WaitFor([&] { return d->serviceThread.threadId == 0; }));
    EXPECT_EQ(1, o->count);
    o->freeobj();
    DestroyWindow(window);
}

TEST_F(Disk, ImportTakesObjectsBackAfterARestart) {
    std::string data = Pattern(3000);
    unsigned long id;
    {
        DISKCACHE* d = Level();
        ASSERT_TRUE(d->Startup());
        DATAOBJECT* o = Make(data);
        o->expiryTime.seconds = 1234567;
        id = o->objectId.id;
        d->Accept(*o, FALSE);
        ASSERT_TRUE(WaitFor([&] { return Written(o) && Idle(d); }));
        d->Shutdown(FALSE, nullptr, 0, 0);
    }
    DATASTORE* again = NewStore(0x1b);
    DISKCACHE* d = Level();
    ASSERT_TRUE(d->Startup());

    // A definition read from the index must match its data file to the byte.
    DATAOBJECT* wrong = new (again) DATAOBJECT(again, "/object", FALSE, TRUE, id);
    wrong->defined = 1;
    for (long length : {2999L, 3001L}) {
        wrong->SetDataLength(length);
        EXPECT_FALSE(d->Import(*wrong, TRUE, nullptr)) << length;
    }
    EXPECT_EQ(nullptr, wrong->memoryCache);
    wrong->objectId.id = 0;
    wrong->DeleteObject(FALSE);

    DATAOBJECT* o = new (again) DATAOBJECT(again, "/object", FALSE, TRUE, id);
    EXPECT_TRUE(d->Import(*o, TRUE, nullptr));
    EXPECT_TRUE(o->OnDisk() && o->Released());
    EXPECT_EQ(&*d, o->memoryCache);  // a level with nothing above records itself there
    EXPECT_TRUE(d->Retrieve(*o, nullptr, FALSE));
    EXPECT_TRUE(o->defined);
    EXPECT_EQ(1234567u, o->expiryTime.seconds);
    EXPECT_EQ(data, Bytes(*o));
    d->Remove(*o, FALSE, TRUE);
    o->DeleteObject(FALSE);
    again->freeobj();
}

TEST_F(Disk, DefinitionsOfLongNamesAreReadBack) {
    const int lengths[] = {900, 1100, 5000};
    std::vector<unsigned long> ids;
    {
        DISKCACHE* d = Level();
        ASSERT_TRUE(d->Startup());
        for (int length : lengths) {
            std::string name = "/" + std::string(length - 1, 'n');
            DATAOBJECT* o = new (store) DATAOBJECT(store, name.c_str(), TRUE, TRUE, 0);
            o->SetData(BUFFER(const_cast<char*>("body"), 4));
            o->defined = 1;
            o->expiryTime.seconds = 7654321;
            ids.push_back(o->objectId.id);
            d->Accept(*o, FALSE);
            ASSERT_TRUE(WaitFor([&] { return Written(o) && Idle(d); })) << length;
        }
        d->Shutdown(FALSE, nullptr, 0, 0);
    }
    DATASTORE* again = NewStore(0x1b);
    DISKCACHE* d = Level();
    ASSERT_TRUE(d->Startup());
    for (size_t i = 0; i < ids.size(); ++i) {
        DATAOBJECT* back = new (again) DATAOBJECT(again, "/other", FALSE, TRUE, ids[i]);
        back->SetDataLength(4);
        ASSERT_TRUE(d->Import(*back, TRUE, nullptr)) << lengths[i];
        EXPECT_TRUE(d->Retrieve(*back, nullptr, FALSE));
        EXPECT_TRUE(back->defined) << lengths[i];
        std::vector<char> got(lengths[i] + 10);
        EXPECT_EQ("/" + std::string(lengths[i] - 1, 'n'), std::string(back->GetName(got.data(), (int)got.size())))
            << lengths[i];
        EXPECT_EQ(7654321u, back->expiryTime.seconds) << lengths[i];
        EXPECT_EQ("body", Bytes(*back)) << lengths[i];
        d->Remove(*back, FALSE, TRUE);
        back->DeleteObject(FALSE);
    }
    again->freeobj();
}

TEST_F(Disk, ImportCopiesASourceFile) {
    DISKCACHE* d = Level(1000000, TRUE);
    ASSERT_TRUE(d->Startup());
    std::string data = Pattern(70000);  // more than one copy chunk
    std::string source = dir + "\\source.bin";
    WriteFile(source, data);

    DATAOBJECT* shortOne = Make("", TRUE);
    shortOne->SetDataLength(69999);
    EXPECT_FALSE(d->Import(*shortOne, FALSE, source.c_str()));
    EXPECT_FALSE(Exists(d->DataPath(*shortOne)));

    DATAOBJECT* o = Make("", TRUE);
    o->SetDataLength(70000);
    ASSERT_TRUE(d->Import(*o, FALSE, source.c_str()));
    EXPECT_EQ(data, ReadFile(d->DataPath(*o)));
    EXPECT_TRUE(Exists(d->DefinitionPath(*o)));
    EXPECT_EQ(70000, d->currentSize);
    EXPECT_TRUE(d->Retrieve(*o, nullptr, FALSE));
    EXPECT_EQ(data, Bytes(*o));
    EXPECT_EQ(data, ReadFile(source));  // copied, not moved
}

TEST_F(Disk, FreeObjectLeavesTheDiskCopy) {
    DISKCACHE* d = Level();
    MEMCACHE above(1000, 0);
    d->upperLevel = &above;  // so the object sits in the disk level's own slot
    ASSERT_TRUE(d->Startup());
    DATAOBJECT* o = new (store) DATAOBJECT(store, "/loose", TRUE, FALSE, 0);
    o->prepare();
    o->SetData(BUFFER(const_cast<char*>("payload"), 7));
    o->defined = 1;
    d->Accept(*o, FALSE);
    ASSERT_TRUE(WaitFor([&] { return Written(o) && Idle(d) && o->count == 2; }));  // the level's and ours
    ASSERT_FALSE(o->Released());
    o->FreeObject();
    EXPECT_TRUE(o->Released());
    EXPECT_EQ(7, o->DataLength());
    EXPECT_EQ(1, o->count);
    EXPECT_EQ(d, o->diskCache);
    d->Remove(*o, FALSE, TRUE);
    d->upperLevel = nullptr;
    o->freeobj();
}

TEST_F(Disk, RemoveWhileStoppingReleasesOnce) {
    DISKCACHE* d = Level();
    ASSERT_TRUE(d->Startup());
    DATAOBJECT* o = OnDiskOnly(d, "x");
    ASSERT_NE(nullptr, o);
    o->prepare();
    d->stopping = 1;
    d->Remove(*o, TRUE, FALSE);
    EXPECT_EQ(1u, releases.size());
    EXPECT_EQ(1, o->count);  // our hold is untouched
    EXPECT_EQ(0, d->currentSize);
    d->stopping = 0;
    o->freeobj();
}

TEST_F(Disk, MemoryLevelDemotesToDisk) {
    MEMCACHE memory(1000, 0);
    DISKCACHE* d = Level();
    ASSERT_TRUE(Stack(memory, d));
    DATAOBJECT* first = Make(Pattern(600));
    DATAOBJECT* second = Make(Pattern(600));
    memory.Accept(*first, FALSE);
    memory.Accept(*second, FALSE);
    EXPECT_EQ(d, first->diskCache);
    ASSERT_TRUE(WaitFor([&] { return Written(first) && first->Released(); }));
    EXPECT_EQ(Pattern(600), ReadFile(d->DataPath(*first)));
    memory.Shutdown(FALSE, nullptr, 0, 0);
    EXPECT_EQ(d, second->diskCache);
    EXPECT_TRUE(d->Shutdown(FALSE, nullptr, 0, 0));
    EXPECT_TRUE(Exists(dir + "\\QUORVANE.IDX"));
    EXPECT_TRUE(releases.empty());
}

// Several request threads at once over both levels while the disk thread works.
struct StressProcess : REQUESTPROCESS {
    ESEMAPHORE restarted;
    BBOOL RestartProcess() override {
        restarted.PostEvent();
        return TRUE;
    }
    QV_ITEM_IDENTITY(StressProcess, "STRESSPROCESS", "SPRa")
};

struct Worker {
    DATASTORE* store;
    MEMCACHE* memory;
    DISKCACHE* disk;
    unsigned seed;
    int reads = 0;
    bool ok = true;
};

DWORD WINAPI StressWork(void* argument) {
    Worker& w = *static_cast<Worker*>(argument);
    std::vector<DATAOBJECT*> mine;
    StressProcess* p = new StressProcess;
    p->prepare();
    auto next = [&] { return w.seed = w.seed * 1103515245u + 12345u, (w.seed >> 8) & 0xFFFF; };
    for (int i = 0; i < 60; ++i) {
        DATAOBJECT* o = new (w.store) DATAOBJECT(w.store, nullptr, TRUE, TRUE, 0);
        o->prepare();  // this thread's hold until it deletes the object
        std::string bytes = Pattern(100 + (int)(next() % 3000));
        o->SetData(BUFFER(&bytes[0], (long)bytes.size()));
        o->defined = 1;
        o->valid = 1;
        w.memory->Accept(*o, FALSE);
        mine.push_back(o);
        DATAOBJECT* pick = mine[next() % mine.size()];
        w.memory->Retrieve(*pick, nullptr, FALSE);
        // Our hold keeps the level from giving the bytes back: do what it would do.
        w.disk->cacheLock->Reserve();
        if (pick->diskCache == w.disk && !pick->memoryCache && pick->OnDisk() && !pick->Released() &&
            !pick->writeQueued && pick->count == 2) {
            pick->FreeDataKeepLength();
            pick->SetReleased(1);
        }
        bool away = pick->diskCache == w.disk && !pick->memoryCache && pick->Released();
        w.disk->cacheLock->Release();
        if (away) {
            p->restarted.ResetEvent();
            if (!w.disk->Retrieve(*pick, p, FALSE) && !p->restarted.WaitEvent(20000)) w.ok = false;
            if (!pick->Released() && Bytes(*pick) != Pattern(pick->DataLength())) w.ok = false;
            ++w.reads;
        }
        if (next() % 3 == 0) {
            size_t at = next() % mine.size();
            DATAOBJECT* gone = mine[at];
            mine.erase(mine.begin() + at);
            gone->DeleteObject(FALSE);
            gone->freeobj();
        }
    }
    for (DATAOBJECT* o : mine) {
        o->DeleteObject(FALSE);
        o->freeobj();
    }
    p->freeobj();
    return 0;
}

TEST_F(Disk, RequestThreadsShareBothLevels) {
    MEMCACHE memory(20000, 0);
    DISKCACHE* d = Level(60000);
    ASSERT_TRUE(Stack(memory, d));
    Worker workers[4];
    HANDLE threads[4];
    for (int i = 0; i < 4; ++i) {
        workers[i] = Worker{store, &memory, d, 17u + (unsigned)i};
        threads[i] = CreateThread(nullptr, 0, &StressWork, &workers[i], 0, nullptr);
    }
    WaitForMultipleObjects(4, threads, TRUE, INFINITE);
    int reads = 0;
    for (int i = 0; i < 4; ++i) {
        CloseHandle(threads[i]);
        EXPECT_TRUE(workers[i].ok) << i;
        reads += workers[i].reads;
    }
    EXPECT_GT(reads, 0);
    memory.Shutdown(FALSE, nullptr, 0, 0);
    EXPECT_TRUE(d->Shutdown(FALSE, nullptr, 0, 0));
    EXPECT_EQ(0, memory.currentSize);
    EXPECT_EQ(0, d->currentSize);
    EXPECT_EQ(0, store->rows.Count());
    // Every object's files went with it.
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*.DAT").c_str(), &fd);
    EXPECT_EQ(INVALID_HANDLE_VALUE, h);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

}  // namespace

namespace {
std::string Hex(const std::string& bytes) {
    std::string out;
    char two[3];
    for (unsigned char c : bytes) {
        std::sprintf(two, "%02x", c);
        out += two;
    }
    return out;
}
}  // namespace

// The files a level leaves behind are read by the next start, whichever build
// wrote them: their bytes are fixed here.
TEST_F(Disk, StoredFilesKeepTheirExactBytes) {
    DISKCACHE* d = Level();
    ASSERT_TRUE(d->Startup());
    DATAOBJECT* o = Make("golden bytes");
    o->expiryTime.seconds = 0x01020304;
    d->Accept(*o, FALSE);
    o->prepare();
    ASSERT_TRUE(WaitFor([&] { return Written(o) && Idle(d); }));
    char stem[16];
    std::sprintf(stem, "%08lx", (unsigned long)o->objectId.id);
    std::string def = ReadFile(dir + "\\" + stem + ".DEF");
    std::string dat = ReadFile(dir + "\\" + stem + ".DAT");
    ASSERT_TRUE(d->Shutdown(FALSE, nullptr, 0, 0));
    std::string idx = ReadFile(dir + "\\QUORVANE.IDX");
    std::string dsk = ReadFile(dir + "\\QUORVANE.DSK");
    // The object's number depends on what ran before: "{id}" stands for it.
    char number[4];
    PutLe32(number, o->objectId.id);
    std::string id = Hex(std::string(number, 4));
    auto expect = [&](std::string text) {
        for (size_t at; (at = text.find("{id}")) != std::string::npos;) text.replace(at, 4, id);
        return text;
    };
    EXPECT_EQ(expect("1a000000800000001400{id}1a0000000c0000002f6f626a656374003b0000009000000031004441"
                     "4f6100001a{id}01010c000000000000000403020100000000000000000000040100000080000004"
                     "07002f6f626a656374"),
              Hex(def));
    EXPECT_EQ("676f6c64656e206279746573", Hex(dat));
    EXPECT_EQ(expect("07000000000004010000001a000000800000001400{id}1a0000000c0000002f6f626a65637400"), Hex(idx));
    EXPECT_EQ("00000000", Hex(dsk));
    o->freeobj();
}
