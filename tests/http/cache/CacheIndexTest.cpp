// The cache's files across restarts: the owner's record, the index, the walk
// after a crash, the move into site directories, imports and clearing.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "AppOptions.h"
#include "FileStream.h"
#include "HttpCache.h"
#include "HttpCfg.h"
#include "HttpObject.h"
#include "HttpSite.h"
#include "ScratchDir.h"
#include "ServerIds.h"
#include "WaitFor.h"

// The record of 127.0.0.2:8000 /a.html, file 0x1234, 600 bytes, site directory 0x1a.
#define GOLDEN_HTTPNAME \
    "00002700000e3132372e302e302e323a383030300000072f612e68746d6c34120000580200001a000000"

namespace {

using qvtest::WaitFor;

std::string Hex(const std::string& s) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    int c;
    while ((c = std::fgetc(f)) != EOF) out += (char)c;
    std::fclose(f);
    return out;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Names of the files (not directories) in dir, sorted.
std::vector<std::string> Files(const std::string& dir) {
    std::vector<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(out.begin(), out.end());
    return out;
}

std::string Body(int n, int seed) {
    std::string s(n, 0);
    for (int i = 0; i < n; ++i) s[i] = (char)(i * 31 + seed);
    return s;
}

std::string Bytes(DATAOBJECT& o) {
    std::string out(o.DataLength(), 0);
    int got = out.empty() ? 0 : o.dataField->GetData(BUFFER(&out[0], (long)out.size()), FALSE);
    out.resize(got);
    return out;
}

// The cache with the console's notices kept.
struct WatchedCache : HTTPCACHE {
    std::vector<std::pair<int, std::string>> notices;
    using HTTPCACHE::HTTPCACHE;
    void notifyConsole(int message, const char* text) override { notices.push_back({message, text ? text : ""}); }
    int Count(int message) const {
        return (int)std::count_if(notices.begin(), notices.end(), [&](const std::pair<int, std::string>& n) { return n.first == message; });
    }
};

struct Index : ::testing::Test {
    std::string dir;
    HTTPCFG cfg;

    void SetUp() override {
        static int serial = 0;
        char tmp[MAX_PATH];
        GetTempPathA(sizeof tmp, tmp);
        dir = std::string(tmp) + "qvhttpidx" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
        qvtest::EmptyDirectory(dir);
        cfg.cache = TRUE;
        cfg.memoryCacheSize = 4096 * 1024;
        cfg.memoryCacheThreshold = 512 * 1024;
        cfg.diskCacheSize = 65536 * 1024;
        cfg.diskCacheThreshold = 16384 * 1024;
        std::snprintf(cfg.diskCacheDirectory, sizeof cfg.diskCacheDirectory, "%s", dir.c_str());
    }
    void TearDown() override {
        qvtest::EmptyDirectory(dir);
        RemoveDirectoryA(dir.c_str());
    }

    // An object as the policy stores it, held by the memory level alone.
    static HTTPOBJECT* Store(HTTPCACHE& c, const char* site, const char* path, const std::string& body) {
        HTTPSITE* s = c.FindSite(site, TRUE, 0);
        HTTPOBJECT* o = new (&s->objects) HTTPOBJECT(s, path, TRUE, TRUE, 0);
        o->prepare();
        o->SetBlockData(body.data(), (long)body.size());
        o->statusCode = 200;
        o->headersPresent = 1;
        o->AddHeader("Content-Type", "text/html");
        o->AddHeader("Last-Modified", "Mon, 01 Jan 1990 00:00:00 GMT");
        o->addedTime.seconds = 1000;
        o->defined = 1;
        o->valid = 1;
        EXPECT_TRUE(c.memory->Accept(*o, FALSE));
        unsigned long id = o->objectId.id;
        o->freeobj();
        (void)id;
        return o;
    }
    // Every object of the disk level written.
    static bool Settled(HTTPCACHE& c) {
        if (!c.disk) return true;
        MSEMHOLD hold(c.Lock());
        if (c.disk->writeQueue.Count() || c.disk->loadQueue.Count()) return false;
        for (bSPOINTER* p = c.disk->objects.first; p && p->target; p = p->next) {
            DATAOBJECT* o = CHAIN<DATAOBJECT>::Cast(p->target);
            if (o && (o->writeQueued || !o->OnDisk())) return false;
        }
        return true;
    }
    // The object of site and path with its data read in, or null.
    static HTTPOBJECT* Find(HTTPCACHE& c, const char* site, const char* path) {
        HTTPSITE* s = c.FindSite(site, FALSE, 0);
        if (!s) return nullptr;
        DATAOBJECT* o = s->objects.FindSingleObject(path, TRUE);
        if (!o) return nullptr;
        if (c.disk) c.disk->Retrieve(*o, nullptr, FALSE);
        return dynamic_cast<HTTPOBJECT*>(o);
    }
    // Three objects written to disk through the memory level's shutdown.
    void Fill(std::vector<std::string>& bodies, BBOOL cleanExit) {
        WatchedCache c(cfg, nullptr, FALSE);
        ASSERT_TRUE(c.StartAppCache());
        const char* paths[] = {"/a.html", "/b.gif", "/c.txt"};
        for (int i = 0; i < 3; ++i) {
            bodies.push_back(Body(100 + 900 * i, i));
            Store(c, "127.0.0.2:8000", paths[i], bodies.back());
        }
        if (cleanExit) {
            EXPECT_TRUE(c.ShutdownAppCache(FALSE, nullptr, 0, 0));
        } else {
            // Everything on disk, then the process ends without an index.
            c.memory->Shutdown(FALSE, nullptr, 0, 0);
            ASSERT_TRUE(WaitFor([&] { return Settled(c); }));
        }
    }
};

}  // namespace

TEST(CacheName, RecordHasTheSameBytesInEveryBuild) {
    HTTPNAME n;
    n.site = "127.0.0.2:8000";
    n.path = "/a.html";
    n.fileNumber = 0x1234;
    n.size = 600;
    n.siteDirectory = 0x1a;
    STREAMBUF buf(1024);
    buf.SetForWrite();
    buf << n;
    std::string bytes(buf.area.data, (size_t)buf.Used());
    EXPECT_EQ(GOLDEN_HTTPNAME, Hex(bytes));
    buf.SetForRead();
    HTTPNAME back;
    buf >> back;
    EXPECT_EQ(n.site, back.site);
    EXPECT_EQ(n.path, back.path);
    EXPECT_EQ(0x1234u, back.fileNumber);
    EXPECT_EQ(600, back.size);
    EXPECT_EQ(0x1au, back.siteDirectory);
    EXPECT_EQ(72 + 14 + 7, back.ItemStreamSize(TRUE));
}

TEST_F(Index, CleanExitWritesTheIndexAndTheStartTrustsIt) {
    std::vector<std::string> bodies;
    Fill(bodies, TRUE);
    EXPECT_EQ("00000000", Hex(ReadFile(dir + "\\QUORVANE.DSK")));
    std::string index = ReadFile(dir + "\\QUORVANE.IDX");
    EXPECT_EQ("00000403000000", Hex(index.substr(4, 7)));
    std::vector<std::string> files = Files(dir);
    int pairs = 0;
    for (const std::string& f : files) {
        if (f.size() != 12 || f.substr(8) != ".DEF") continue;
        std::string stem = f.substr(0, 8);
        EXPECT_EQ(std::string::npos, stem.find_first_not_of("0123456789abcdef")) << f;
        EXPECT_TRUE(Exists(dir + "\\" + stem + ".DAT")) << f;
        ++pairs;
    }
    EXPECT_EQ(3, pairs);

    WatchedCache c(cfg, nullptr, FALSE);
    ASSERT_TRUE(c.StartAppCache());
    const char* paths[] = {"/a.html", "/b.gif", "/c.txt"};
    for (int i = 0; i < 3; ++i) {
        HTTPOBJECT* o = Find(c, "127.0.0.2:8000", paths[i]);
        ASSERT_NE(nullptr, o) << paths[i];
        EXPECT_EQ(bodies[i], Bytes(*o)) << paths[i];
        EXPECT_EQ(200, o->statusCode);
        EXPECT_EQ(2, o->headers.Count());
        EXPECT_FALSE(o->confirmedSinceStart) << "read back: not confirmed since this start";
    }
    // Usable once only: the count is back to 0, so a crash from now on walks.
    FILESTREAM f;
    ASSERT_EQ(0, f.OpenStream((dir + "\\QUORVANE.IDX").c_str(), 1024, IOMODE_READ));
    STREAMCOUNT n(99);
    f >> n;
    f.CloseStream();
    EXPECT_EQ(0u, n.count);
}

TEST_F(Index, AfterACrashTheWalkKeepsWholeObjectsOnly) {
    std::vector<std::string> bodies;
    Fill(bodies, FALSE);
    std::vector<std::string> before = Files(dir);
    // What a crash and a stray leave: a truncated data file, a definition of
    // junk, a data file whose definition was never written.
    std::string cut;
    for (const std::string& f : before)
        if (f.size() == 12 && f.substr(8) == ".DAT" && ReadFile(dir + "\\" + f).size() == bodies[2].size()) cut = f;
    ASSERT_FALSE(cut.empty());
    WriteFile(dir + "\\" + cut, bodies[2].substr(0, 500));
    WriteFile(dir + "\\0000ABCD.DEF", "junk that is no record");
    WriteFile(dir + "\\0000ABCD.DAT", "body");
    WriteFile(dir + "\\0000BCDE.DAT", "orphan");

    WatchedCache c(cfg, nullptr, FALSE);
    ASSERT_TRUE(c.StartAppCache());
    HTTPOBJECT* a = Find(c, "127.0.0.2:8000", "/a.html");
    HTTPOBJECT* b = Find(c, "127.0.0.2:8000", "/b.gif");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(bodies[0], Bytes(*a));
    EXPECT_EQ(bodies[1], Bytes(*b));
    EXPECT_EQ(nullptr, Find(c, "127.0.0.2:8000", "/c.txt")) << "a truncated body is a miss, never a short hit";
    for (const char* gone : {"0000ABCD.DEF", "0000ABCD.DAT", "0000BCDE.DAT"})
        EXPECT_FALSE(Exists(dir + "\\" + gone)) << gone;
    EXPECT_FALSE(Exists(dir + "\\" + cut)) << "the cut object's files go";
}

TEST_F(Index, ABadIndexEntryFallsBackToTheWalk) {
    std::vector<std::string> bodies;
    Fill(bodies, TRUE);
    // The index's last entry loses its file number.
    std::string index = ReadFile(dir + "\\QUORVANE.IDX");
    size_t at = index.rfind("/c.txt");
    ASSERT_NE(std::string::npos, at);
    index.replace(at + 6, 4, std::string(4, '\0'));
    WriteFile(dir + "\\QUORVANE.IDX", index);

    WatchedCache c(cfg, nullptr, FALSE);
    ASSERT_TRUE(c.StartAppCache()) << "one bad entry does not stop the start";
    const char* paths[] = {"/a.html", "/b.gif", "/c.txt"};
    for (int i = 0; i < 3; ++i) {
        HTTPOBJECT* o = Find(c, "127.0.0.2:8000", paths[i]);
        ASSERT_NE(nullptr, o) << paths[i];
        EXPECT_EQ(bodies[i], Bytes(*o)) << paths[i];
    }
    EXPECT_EQ(3, c.FindSite("127.0.0.2:8000", FALSE, 0)->objects.rows.Count());
}

TEST_F(Index, SiteDirectoriesOverAFlatCacheMoveThePairs) {
    std::vector<std::string> bodies;
    Fill(bodies, FALSE);
    cfg.useSubdirectories = TRUE;
    WatchedCache c(cfg, nullptr, FALSE);
    ASSERT_TRUE(c.StartAppCache());
    EXPECT_EQ(1, c.Count(APPMSG_TEXT));
    ASSERT_FALSE(c.notices.empty());
    EXPECT_EQ("Updating cache to new version ... please stand by.", c.notices[0].second);
    HTTPSITE* site = c.FindSite("127.0.0.2:8000", FALSE, 0);
    ASSERT_NE(nullptr, site);
    char sub[16];
    std::snprintf(sub, sizeof sub, "%lx", (unsigned long)site->objects.storeId.id);
    EXPECT_EQ(6u, Files(dir + "\\" + sub).size());
    for (const std::string& f : Files(dir)) EXPECT_TRUE(f.rfind("QUORVANE", 0) == 0) << f << " left in the top directory";
    HTTPOBJECT* a = Find(c, "127.0.0.2:8000", "/a.html");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(bodies[0], Bytes(*a));
    // The moved pairs carry their site directory: the next start reads them without moving.
    EXPECT_TRUE(c.ShutdownAppCache(FALSE, nullptr, 0, 0));
}

TEST_F(Index, ImportTakesMatchingObjectsUnderNewNumbers) {
    std::string source = dir + "_src";
    qvtest::EmptyDirectory(source);
    HTTPCFG other = cfg;
    std::snprintf(other.diskCacheDirectory, sizeof other.diskCacheDirectory, "%s", source.c_str());
    std::vector<unsigned long> sourceIds;
    {
        WatchedCache c(other, nullptr, FALSE);
        ASSERT_TRUE(c.StartAppCache());
        for (auto item : {std::make_pair("/big.GIF", 2000), std::make_pair("/small.gif", 100), std::make_pair("/page.html", 3000)})
            sourceIds.push_back(Store(c, "webhost", item.first, Body(item.second, 1))->objectId.id);
        EXPECT_TRUE(c.ShutdownAppCache(FALSE, nullptr, 0, 0));
    }
    std::vector<std::string> sourceFiles = Files(source);

    WatchedCache c(cfg, nullptr, FALSE);
    ASSERT_TRUE(c.StartAppCache());
    APPCACHE r;
    c.UpdateAppCache(r, FALSE);
    r.importRequested = TRUE;
    std::snprintf(r.importDirectory, sizeof r.importDirectory, "%s,.gif,1024", source.c_str());
    c.UpdateAppCache(r, TRUE);
    EXPECT_TRUE(r.result);
    EXPECT_FALSE(r.importRequested);
    EXPECT_EQ(1, c.Count(APPMSG_PROGRESS));
    HTTPOBJECT* big = Find(c, "webhost", "/big.GIF");
    ASSERT_NE(nullptr, big);
    EXPECT_EQ(Body(2000, 1), Bytes(*big));
    EXPECT_TRUE(Exists(c.disk->DataPath(*big))) << "copied under the object's own number";
    EXPECT_EQ(nullptr, Find(c, "webhost", "/small.gif"));
    EXPECT_EQ(nullptr, Find(c, "webhost", "/page.html"));
    EXPECT_EQ(sourceFiles, Files(source)) << "an import deletes nothing";
    qvtest::EmptyDirectory(source);
    RemoveDirectoryA(source.c_str());
}

TEST_F(Index, ANewDirectoryGetsANewDiskLevelAndItsObjects) {
    std::vector<std::string> bodies;
    Fill(bodies, TRUE);
    std::string empty = dir + "_new";
    qvtest::EmptyDirectory(empty);
    HTTPCFG start = cfg;
    std::snprintf(start.diskCacheDirectory, sizeof start.diskCacheDirectory, "%s", empty.c_str());
    WatchedCache c(start, nullptr, FALSE);
    ASSERT_TRUE(c.StartAppCache());
    EXPECT_EQ(nullptr, Find(c, "127.0.0.2:8000", "/a.html"));
    APPCACHE r;
    c.UpdateAppCache(r, FALSE);
    std::snprintf(r.cacheDirectory, sizeof r.cacheDirectory, "%s", dir.c_str());
    c.UpdateAppCache(r, TRUE);
    EXPECT_TRUE(r.result);
    EXPECT_EQ(1, c.Count(APPMSG_PROGRESS));
    ASSERT_NE(nullptr, c.disk);
    EXPECT_STREQ(dir.c_str(), c.disk->directory);
    HTTPOBJECT* a = Find(c, "127.0.0.2:8000", "/a.html");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(bodies[0], Bytes(*a));
    c.ShutdownAppCache(TRUE, nullptr, 0, 0);
    qvtest::EmptyDirectory(empty);
    RemoveDirectoryA(empty.c_str());
}

TEST_F(Index, AMissingDirectoryIsMadeAndAnUnusableOneFailsTheStart) {
    std::string fresh = dir + "\\fresh";
    std::snprintf(cfg.diskCacheDirectory, sizeof cfg.diskCacheDirectory, "%s", fresh.c_str());
    {
        WatchedCache c(cfg, nullptr, FALSE);
        EXPECT_TRUE(c.StartAppCache());
        EXPECT_TRUE(Exists(fresh + "\\QUORVANE.DSK"));
    }
    // A file where the directory should be.
    std::string blocked = dir + "\\blocked";
    WriteFile(blocked, "x");
    std::snprintf(cfg.diskCacheDirectory, sizeof cfg.diskCacheDirectory, "%s", blocked.c_str());
    WatchedCache c(cfg, nullptr, FALSE);
    EXPECT_FALSE(c.StartAppCache());
    // The memory level still works.
    HTTPOBJECT* o = Store(c, "webhost", "/x", "body");
    EXPECT_EQ(o, Find(c, "webhost", "/x"));
}

TEST_F(Index, LevelsGiveBackOnlyTheirOwnReference) {
    WatchedCache c(cfg, nullptr, FALSE);
    ASSERT_TRUE(c.StartAppCache());
    HTTPOBJECT* o = Store(c, "webhost", "/x", Body(300, 2));
    HTTPSITE* site = o->site;
    // Written below while the memory level keeps it.
    {
        MSEMHOLD hold(c.Lock());
        ASSERT_TRUE(c.disk->Accept(*o, FALSE));
    }
    ASSERT_TRUE(WaitFor([&] { return Settled(c); }));
    o->prepare();  // a request's hold
    c.memory->Remove(*o, TRUE, FALSE);
    EXPECT_TRUE(o->valid) << "the disk level still holds it: it stays findable";
    EXPECT_EQ(o, Find(c, "webhost", "/x"));
    c.disk->Remove(*o, TRUE, TRUE);
    EXPECT_FALSE(o->valid);
    EXPECT_EQ(site, c.FindSite("webhost", FALSE, 0)) << "the request's object keeps its site";
    o->freeobj();

    // The last level letting go of the site's last object takes the site along.
    HTTPOBJECT* y = Store(c, "webhost", "/y", "y");
    c.memory->Remove(*y, TRUE, FALSE);
    EXPECT_EQ(nullptr, c.FindSite("webhost", FALSE, 0));
}

TEST_F(Index, ClearingASiteKeepsObjectsInUse) {
    WatchedCache c(cfg, nullptr, FALSE);
    ASSERT_TRUE(c.StartAppCache());
    HTTPOBJECT* used = Store(c, "webhost", "/used", "in use");
    Store(c, "webhost", "/idle", "idle");
    Store(c, "otherhost", "/idle", "idle");
    used->prepare();
    c.ClearSite(*c.FindSite("webhost", FALSE, 0), FALSE);
    EXPECT_EQ(used, Find(c, "webhost", "/used"));
    EXPECT_EQ(nullptr, Find(c, "webhost", "/idle"));
    EXPECT_NE(nullptr, Find(c, "otherhost", "/idle"));
    c.ClearSites(TRUE, FALSE);
    EXPECT_EQ(nullptr, c.FindSite("otherhost", FALSE, 0));
    EXPECT_NE(nullptr, c.FindSite("webhost", FALSE, 0)) << "held by the request's object";
    used->freeobj();
    c.ClearSites(FALSE, TRUE);
    EXPECT_EQ(nullptr, c.FindSite("webhost", FALSE, 0));
}
