// Data objects, stores, values and the store listing.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "DataManager.h"
#include "DataStore.h"
#include "FileStream.h"
#include "ScratchDir.h"
#include "SpControl.h"
#include "StreamPrefix.h"
#include "TableIO.h"

namespace {

std::string Name(DATAOBJECT& o) {
    char out[256];
    return o.GetName(out, sizeof out);
}

std::string Bytes(DATAOBJECT& o) {
    std::string out(o.DataLength(), 0);
    if (!out.empty()) o.dataField->GetData(BUFFER(&out[0], (long)out.size()), FALSE);
    return out;
}

// Bytes without a short period, so a shifted or repeated run shows.
std::string Varied(int n) {
    std::string s(n, 0);
    for (int i = 0; i < n; ++i) s[i] = (char)((i * 7 + i / 251) & 0xFF);
    return s;
}

void Fill(DATAOBJECT& o, const std::string& bytes) { o.SetData(BUFFER(const_cast<char*>(bytes.data()), (long)bytes.size())); }

struct StoreTest : ::testing::Test {
    DATASTORE* store = nullptr;
    void SetUp() override {
        store = new DATASTORE(TRUE, "site", "http://host", nullptr, nullptr, 0);
        store->prepare();
    }
    void TearDown() override { store->freeobj(); }
    DATAOBJECT* Make(const char* name, BBOOL add = TRUE) { return new (store) DATAOBJECT(store, name, TRUE, add, 0); }
};

TEST_F(StoreTest, NewObjectsTakeNamesIdsAndFields) {
    DATAOBJECT* named = Make("/a.html");
    DATAOBJECT* unnamed = Make("");
    EXPECT_EQ("/a.html", Name(*named));
    EXPECT_EQ("#" + std::to_string(unnamed->objectId.id), Name(*unnamed));
    EXPECT_EQ(named->objectId.id + 1, unnamed->objectId.id);
    // The data field comes first, then the name; data goes into pooled buffers.
    ASSERT_EQ(2, named->fields.Count());
    EXPECT_EQ(CHAIN<FIELD>::Cast(named->fields.first->target), named->dataField);
    EXPECT_TRUE(named->pooled);
    EXPECT_NE(nullptr, named->bufferChain);
    EXPECT_TRUE(named->headerChanged && named->dataChanged);
    EXPECT_EQ(0u, named->addedTime.seconds);
    EXPECT_EQ(2, store->rows.Count());
    EXPECT_EQ(0, named->count);  // the store counts no reference

    DATAOBJECT* given = new (store) DATAOBJECT(store, "x", FALSE, FALSE, 5000);
    EXPECT_EQ(5000u, given->objectId.id);
    EXPECT_EQ(nullptr, given->storeLink);
    given->freeobj();
}

TEST_F(StoreTest, DataIsSetAppendedAndAskedForAsOneArea) {
    DATAOBJECT* o = Make("d");
    std::string big(10000, 0);
    for (size_t i = 0; i < big.size(); ++i) big[i] = (char)(i * 7);
    Fill(*o, big);
    EXPECT_EQ(big, Bytes(*o));
    EXPECT_GT(o->bufferChain->parts.Count(), 1);

    IOBUFFER* more = _pSupport->bufferPool.GetBuffer(0);
    std::memcpy(more->area.data, "tail", 4);
    more->cursor = BUFFER(more->area.data, 4);
    more->active = TRUE;
    o->dataChanged = 0;
    o->AddObjectData(more);
    EXPECT_EQ(big + "tail", Bytes(*o));
    EXPECT_TRUE(o->dataChanged);

    // A null buffer asks for a zeroed area of one block; pooling ends for good.
    EXPECT_EQ(20, o->SetData(BUFFER(nullptr, 20)));
    EXPECT_FALSE(o->pooled);
    EXPECT_EQ(nullptr, o->bufferChain);
    EXPECT_EQ(std::string(20, 0), Bytes(*o));
    Fill(*o, "plain");
    EXPECT_EQ("plain", Bytes(*o));
    EXPECT_EQ(nullptr, o->bufferChain);
}

TEST_F(StoreTest, ObjectStreamsOutAndInByteForByte) {
    DATAOBJECT* o = Make("/page");
    o->defined = 1;
    o->valid = 1;
    o->addedTime.seconds = 0x11111111;
    o->expiryTime.seconds = 0x22222222;
    o->listedTime.seconds = 0x33333333;
    o->userTime.seconds = 0x44444444;
    Fill(*o, "object body");

    STREAMBUF s(4096);
    s.SetForWrite();
    s << *o;
    ASSERT_EQ(0, o->streamStatus);

    // The frame after the object's prefix and class tag holds the 26 bytes.
    const char* at = s.area.data;
    unsigned long f, c, len;
    int n = ReadPrefix(at, (int)s.Used(), f, c, len);
    ASSERT_TRUE(f & SPF_CLASSTAG);
    EXPECT_EQ(0, std::memcmp(at + n, "DAOa", 4));
    at += n + 4;
    n = ReadPrefix(at, 64, f, c, len);
    ASSERT_EQ(26u, len);
    unsigned char want[26];
    auto put = [&](int pos, unsigned long v) {
        for (int i = 0; i < 4; ++i) want[pos + i] = (unsigned char)(v >> (8 * i));
    };
    put(0, o->objectId.id);
    want[4] = 1;
    want[5] = 1;
    put(6, 11);
    put(10, 0x11111111);
    put(14, 0x22222222);
    put(18, 0x33333333);
    put(22, 0x44444444);
    EXPECT_EQ(0, std::memcmp(at + n, want, 26));

    DATAOBJECT* copy = Make("other", FALSE);
    unsigned long ownId = copy->objectId.id;
    s.SetForRead();
    s >> *copy;
    EXPECT_EQ(0, copy->streamStatus);
    EXPECT_EQ(ownId, copy->objectId.id);  // an object keeps the identifier it has
    EXPECT_EQ("/page", Name(*copy));
    EXPECT_EQ("object body", Bytes(*copy));
    EXPECT_TRUE(copy->defined && copy->valid);
    EXPECT_EQ(0x11111111u, copy->addedTime.seconds);
    EXPECT_EQ(0x22222222u, copy->expiryTime.seconds);
    EXPECT_EQ(0x33333333u, copy->listedTime.seconds);
    EXPECT_EQ(0x44444444u, copy->userTime.seconds);

    DATAOBJECT* blank = new (store) DATAOBJECT();
    blank->table = store;
    s.SetForRead();
    s >> *blank;
    EXPECT_EQ(o->objectId.id, blank->objectId.id);  // one without takes the streamed one
    blank->objectId.id = 0;
    blank->freeobj();
    copy->freeobj();
}

TEST_F(StoreTest, ShortFrameYieldsZerosAfterTheCut) {
    const struct {
        int bytes;
        unsigned long id;
        BBOOL defined, valid;
        long length;
        unsigned long added, userTime;
    } cuts[] = {
        {2, 0, 0, 0, 0, 0, 0},      {4, 77, 0, 0, 0, 0, 0},      {5, 77, 1, 0, 0, 0, 0},
        {9, 77, 1, 1, 0, 0, 0},     {10, 77, 1, 1, 3, 0, 0},     {17, 77, 1, 1, 3, 9, 0},
        {26, 77, 1, 1, 3, 9, 99},
    };
    unsigned char full[26] = {77, 0, 0, 0, 1, 1, 3, 0, 0, 0, 9, 0, 0, 0};
    full[22] = 99;
    for (const auto& cut : cuts) {
        STREAMBUF s(1024);
        s.SetForWrite();
        s << BEGINDI(0, 0, 255);
        s.CopyIn(full, cut.bytes);
        s << ENDDI();
        DATAOBJECT* body = Make("x", FALSE);
        body->ROW::StreamOut(s);
        body->freeobj();

        DATAOBJECT* o = new (store) DATAOBJECT();
        o->table = store;
        s.SetForRead();
        o->StreamIn(s);
        EXPECT_EQ(cut.id, o->objectId.id) << cut.bytes;
        EXPECT_EQ(cut.defined, o->defined) << cut.bytes;
        EXPECT_EQ(cut.valid, o->valid) << cut.bytes;
        EXPECT_EQ(cut.length, o->DataLength()) << cut.bytes;
        EXPECT_EQ(cut.added, o->addedTime.seconds) << cut.bytes;
        EXPECT_EQ(cut.userTime, o->userTime.seconds) << cut.bytes;
        EXPECT_EQ("x", Name(*o)) << cut.bytes;  // the row body still follows the frame
        o->objectId.id = 0;
        o->freeobj();
    }
}

TEST_F(StoreTest, FindSingleObjectHonoursValidOnly) {
    for (bool indexed : {false, true}) {
        DATASTORE* s = new DATASTORE(TRUE, "s", nullptr, nullptr, nullptr, 0);
        s->prepare();
        if (indexed) s->CreateIndex();
        DATAOBJECT* stale = new (s) DATAOBJECT(s, "/same", TRUE, TRUE, 0);
        DATAOBJECT* fresh = new (s) DATAOBJECT(s, "/same", TRUE, TRUE, 0);
        DATAOBJECT* other = new (s) DATAOBJECT(s, "/same-but-longer", TRUE, TRUE, 0);
        fresh->valid = other->valid = 1;
        EXPECT_EQ(fresh, s->FindSingleObject("/same", TRUE)) << indexed;
        EXPECT_EQ(stale, s->FindSingleObject("/same", FALSE)) << indexed;
        EXPECT_EQ(other, s->FindSingleObject("/same-but-longer", TRUE)) << indexed;
        EXPECT_EQ(nullptr, s->FindSingleObject("/sam", FALSE)) << indexed;
        EXPECT_EQ(nullptr, s->FindSingleObject("/absent", FALSE)) << indexed;
        if (indexed) {
            ASSERT_NE(nullptr, s->FindObjects("/same"));
            EXPECT_EQ(2, s->FindObjects("/same")->Count());
        } else {
            EXPECT_EQ(nullptr, s->FindObjects("/same"));
        }
        // Deleting takes the object out of the chain and the index and releases it.
        fresh->DeleteObject(FALSE);
        EXPECT_EQ(nullptr, s->FindSingleObject("/same", TRUE)) << indexed;
        EXPECT_EQ(2, s->rows.Count());
        s->freeobj();
    }
}

TEST_F(StoreTest, IndexLeavesEarlierObjectsOut) {
    DATAOBJECT* before = Make("/early");
    store->CreateIndex();
    DATAOBJECT* after = Make("/late");
    before->valid = after->valid = 1;
    EXPECT_EQ(nullptr, store->FindSingleObject("/early", TRUE));
    EXPECT_EQ(after, store->FindSingleObject("/late", TRUE));
}

TEST_F(StoreTest, AddObjectInsertsBeforeAnotherAndStampsTime) {
    DATAOBJECT* a = Make("a");
    DATAOBJECT* b = Make("b", FALSE);
    store->AddObject(*b, TIMESTAMP(1234, 0), a);
    EXPECT_EQ(static_cast<STORABLE*>(b), store->rows.first->target);
    EXPECT_EQ(1234u, b->addedTime.seconds);
    EXPECT_EQ(b->storeLink, store->rowCursor);
}

std::string Listing(DATASTORE& s, BBOOL detailed, long* total) {
    char path[MAX_PATH], dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    GetTempFileNameA(dir, "qvl", 0, path);
    FILE* f = std::fopen(path, "w+b");
    *total = DumpDataStore(s, f, detailed, FALSE);
    std::fflush(f);
    std::rewind(f);
    std::string out;
    int c;
    while ((c = std::fgetc(f)) != EOF) out += (char)c;
    std::fclose(f);
    DeleteFileA(path);
    return out;
}

TEST_F(StoreTest, ListingBriefAndDetailed) {
    struct Entry {
        const char* name;
        BBOOL valid, defined;
        const char* data;
        unsigned long listed, added, expiry;
    } entries[] = {
        {"/index.html", 1, 1, "12345", 0, 0, 0},
        {"page", 1, 0, "", 784111777, 0, 0},
        {"ftp:/pub/file", 1, 1, "abc", 0, 784111777, 784111800},
        {"/hidden", 0, 1, "zz", 0, 0, 0},
    };
    for (const Entry& e : entries) {
        DATAOBJECT* o = Make(e.name);
        o->valid = e.valid;
        o->defined = e.defined;
        Fill(*o, e.data);
        o->listedTime.seconds = e.listed;
        o->addedTime.seconds = e.added;
        o->expiryTime.seconds = e.expiry;
    }
    long total = 0;
    EXPECT_EQ("http://host/index.html\n"
              "http://host/page\n"
              "ftp://http://host/pub/file\n",
              Listing(*store, FALSE, &total));
    EXPECT_EQ(8, total);

    char id[3][16];
    int i = 0;
    for (bSPOINTER* c = store->rows.first; c && c->target && i < 3; c = c->next, ++i)
        std::sprintf(id[i], "%08lx", (unsigned long)dynamic_cast<DATAOBJECT*>(c->target)->objectId.id);
    std::string pad(40, ' ');
    std::string expected = std::string(" /index.html") + std::string(40 - 11, ' ') + " Size=5   ID=" + id[0] + "\n" +
                           " page" + std::string(36, ' ') + " Size=0 (Receive in Progress)  ID=" + id[1] + "\n" +
                           "  " + std::string(39, ' ') + " Time=Sun, 06 Nov 1994 08:49:37 GMT\n" +
                           " ftp:/pub/file" + std::string(27, ' ') + " Size=3   ID=" + id[2] + "\n" +
                           "  " + std::string(39, ' ') + " Time=Sun, 06 Nov 1994 08:49:37 GMT\n" +
                           "  " + std::string(39, ' ') + " Expires=Sun, 06 Nov 1994 08:50:00 GMT\n";
    EXPECT_EQ(expected, Listing(*store, TRUE, &total));
    EXPECT_EQ(8, total);
}

TEST_F(StoreTest, ListingReportsAFailedWrite) {
    DATAOBJECT* o = Make("/listed");
    o->valid = 1;
    Fill(*o, "abc");
    char path[MAX_PATH], dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    GetTempFileNameA(dir, "qvl", 0, path);
    // A file opened for reading only: no write reaches it, buffered or not.
    for (int buffering : {_IONBF, _IOFBF})
        for (BBOOL detailed : {FALSE, TRUE}) {
            FILE* f = std::fopen(path, "rb");
            ASSERT_NE(nullptr, f);
            std::setvbuf(f, nullptr, buffering, 4096);
            EXPECT_EQ(-1, DumpDataStore(*store, f, detailed, FALSE)) << detailed << " " << buffering;
            std::fclose(f);
        }
    DeleteFileA(path);
}

TEST_F(StoreTest, StoreStreamsItsIdentityAndColumns) {
    STREAMBUF s(8192);
    s.SetForWrite();
    s << *store;
    ASSERT_EQ(0, store->streamStatus);
    DATASTORE* copy = new DATASTORE(FALSE, "empty", nullptr, nullptr, nullptr, 0);
    copy->prepare();
    s.SetForRead();
    s >> *copy;
    EXPECT_EQ(store->storeId.id, copy->storeId.id);
    char text[64] = {0};
    copy->storeName.GetData(BUFFER(text, sizeof text), TRUE);
    EXPECT_STREQ("site", text);
    copy->storeText.GetData(BUFFER(text, sizeof text), TRUE);
    EXPECT_STREQ("http://host", text);
    ASSERT_NE(nullptr, copy->dataColumn);
    EXPECT_EQ(DATA_SEGMENTED_TYPE, copy->dataColumn->type.code);
    ASSERT_NE(nullptr, copy->nameColumn);
    copy->storeId.id = 0;
    copy->freeobj();
}

// A store carries its objects after its columns; read into an empty store and
// written again, it gives the same bytes.
TEST_F(StoreTest, StoreStreamsItsObjectsByteForByte) {
    const std::string big = Varied(100 * 1024);
    const struct {
        const char* name;
        std::string data;
    } objects[] = {{"/first", "one"}, {"/second", big}};
    for (const auto& o : objects) {
        DATAOBJECT* made = Make(o.name);
        made->defined = 1;
        Fill(*made, o.data);
    }
    store->AllocateBuffers(1024);  // what a read store takes
    FILESTREAM file;
    const char* path = "store.stream";
    ASSERT_EQ(0, file.OpenStream(path, 4096, IOMODE_WRITE));
    file << *store;
    ASSERT_EQ(0, store->streamStatus);
    file.CloseStream();
    std::string written = qvtest::FileText(path);
    store->freeobj();  // its objects' identifiers are free again
    store = new DATASTORE(FALSE, "empty", nullptr, nullptr, nullptr, 0);
    store->prepare();

    ASSERT_EQ(0, file.OpenStream(path, 4096, IOMODE_READ));
    file >> *store;
    file.CloseStream();
    ASSERT_EQ(0, store->streamStatus);
    ASSERT_EQ(2, store->rows.Count());
    for (const auto& o : objects) {
        DATAOBJECT* read = store->FindSingleObject(o.name, FALSE);
        ASSERT_NE(nullptr, read) << o.name;
        EXPECT_TRUE(read->defined);
        EXPECT_TRUE(o.data == Bytes(*read)) << o.name;
    }
    ASSERT_EQ(0, file.OpenStream(path, 4096, IOMODE_WRITE));
    file << *store;
    file.CloseStream();
    EXPECT_TRUE(written == qvtest::FileText(path));
    DeleteFileA(path);
}

TEST_F(StoreTest, ValuesStreamAndCopy) {
    DATAVALUE* v = new (*store) DATAVALUE(*store);
    v->SetName(std::string(80, 'n').c_str());
    EXPECT_EQ(63u, std::strlen(v->valueName));
    v->SetName("colour");
    v->FIELD::SetData(BUFFER(const_cast<char*>("blue"), 4));
    STREAMBUF s(1024);
    s.SetForWrite();
    v->StreamOut(s);
    EXPECT_EQ(0, std::memcmp(s.area.data, "colour\0", 7));

    DATAVALUE* back = new (*store) DATAVALUE(*store);
    s.SetForRead();
    back->StreamIn(s);
    EXPECT_STREQ("colour", back->valueName);
    char text[16] = {0};
    back->GetData(BUFFER(text, sizeof text), TRUE);
    EXPECT_STREQ("blue", text);

    DATAVALUE* copy = new DATAVALUE(*back);
    EXPECT_EQ(DATASTORE::System(), copy->Store());
    copy->GetData(BUFFER(text, sizeof text), TRUE);
    EXPECT_STREQ("blue", text);
    copy->freeobj();
    back->freeobj();
    v->freeobj();
}

TEST(SystemStore, MadeOnceOnFirstUseAndNamed) {
    DATASTORE::FreeSystem();
    std::vector<DATASTORE*> seen(8);
    std::vector<std::thread> threads;
    for (auto& s : seen) threads.emplace_back([&s] { s = DATASTORE::System(); });
    for (auto& t : threads) t.join();
    for (DATASTORE* s : seen) EXPECT_EQ(seen[0], s);
    ASSERT_NE(nullptr, seen[0]);
    EXPECT_EQ(seen[0], _pDataSys->systemStore);
    char text[32] = {0};
    seen[0]->storeName.GetData(BUFFER(text, sizeof text), TRUE);
    EXPECT_STREQ("*system", text);
    seen[0]->storeText.GetData(BUFFER(text, sizeof text), TRUE);
    EXPECT_STREQ("SystemGeneralStore", text);
}

TEST_F(StoreTest, DestroyedStoreLetsHeldObjectsGo) {
    DATAOBJECT* kept = Make("/kept");
    kept->prepare();  // someone else's hold
    Fill(*kept, "bytes");
    store->freeobj();
    store = new DATASTORE(TRUE, "again", nullptr, nullptr, nullptr, 0);
    store->prepare();
    EXPECT_EQ(nullptr, kept->Store());
    EXPECT_EQ(nullptr, kept->dataField);
    EXPECT_FALSE(kept->valid);
    EXPECT_EQ(1, kept->count);
    kept->freeobj();
}

}  // namespace
