// The cache levels: admission, eviction from the cold end, demotion and shutdown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Cache.h"
#include "ChildProcess.h"
#include "SpControl.h"
#include "TaskAbend.h"

namespace {

std::vector<DATAOBJECT*> releases;
void Release(DATAOBJECT* o) {
    releases.push_back(o);
    o->FreeObject();
}

// A lower level that agrees in advance and still refuses when offered.
struct RefusingLevel : CACHE {
    RefusingLevel() : CACHE(0, 0) {}
    BBOOL Accept(DATAOBJECT&, BBOOL) override { return FALSE; }
};

struct Levels : ::testing::Test {
    DATASTORE* store = nullptr;
    MSEMAPHORE lock;
    void SetUp() override {
        releases.clear();
        store = new DATASTORE(TRUE, "levels", nullptr, nullptr, nullptr, 0);
        store->prepare();
    }
    void TearDown() override { store->freeobj(); }
    DATAOBJECT* Make(int size) {
        DATAOBJECT* o = new (store) DATAOBJECT(store, nullptr, TRUE, TRUE, 0);
        std::string bytes(size, 'x');
        o->SetData(BUFFER(&bytes[0], size));
        o->prepare();  // the test's hold, so released objects can still be looked at
        return o;
    }
    void Own(CACHE& c) {
        c.cacheLock = &lock;
        c.releaseHandler = &Release;
        c.Startup();
    }
    // Links lower below upper as the owner does.
    void Link(CACHE& upper, CACHE& lower) {
        Own(upper);
        Own(lower);
        upper.lowerLevel = &lower;
        lower.upperLevel = &upper;
    }
};

TEST_F(Levels, LimitsDecideAdmission) {
    const struct {
        int total, perObject, size;
        BBOOL taken;
    } cases[] = {
        {1000, 0, 1000, 1}, {1000, 0, 1001, 0}, {1000, 500, 500, 1}, {1000, 500, 501, 0},
        {100, 500, 400, 1},  {0, 0, 8, 1},       {0, 0, 9, 0},       {0, 100, 100, 1},
    };
    for (const auto& c : cases) {
        MEMCACHE level(c.total, c.perObject);
        DATAOBJECT* o = Make(c.size);
        EXPECT_FALSE(level.CheckAccept(*o, 0));  // not started
        Own(level);
        EXPECT_EQ(c.taken, level.CheckAccept(*o, 0)) << c.total << "/" << c.perObject << "/" << c.size;
        EXPECT_EQ(c.taken, level.Accept(*o, FALSE)) << c.total << "/" << c.perObject << "/" << c.size;
        EXPECT_EQ(c.taken ? 2 : 1, o->count);
        if (c.taken) level.Remove(*o, FALSE, FALSE);
        EXPECT_EQ(1, o->count);
        EXPECT_EQ(0, level.currentSize);
    }
}

TEST_F(Levels, UnlimitedMemoryLevelKeepsOneLargeObjectAndPushesItDown) {
    MEMCACHE memory(0, 100);
    CACHE lower(0, 0);
    Link(memory, lower);
    DATAOBJECT* a = Make(50);
    DATAOBJECT* b = Make(60);
    ASSERT_TRUE(memory.Accept(*a, FALSE));
    EXPECT_EQ(&memory, a->memoryCache);  // over 8 bytes, but never the last one out
    ASSERT_TRUE(memory.Accept(*b, FALSE));
    EXPECT_EQ(nullptr, a->memoryCache);
    EXPECT_EQ(&lower, a->diskCache);
    EXPECT_EQ(&memory, b->memoryCache);
    EXPECT_EQ(60, memory.currentSize);
    EXPECT_EQ(50, lower.currentSize);
    EXPECT_EQ(2, a->count);
    EXPECT_TRUE(releases.empty());
}

TEST_F(Levels, EvictionDemotesOrReleasesTheLeastRecent) {
    enum Lower { None, Takes, RefusesInAdvance, RefusesWhenOffered };
    for (Lower kind : {None, Takes, RefusesInAdvance, RefusesWhenOffered}) {
        releases.clear();
        MEMCACHE memory(1000, 0);
        CACHE taking(0, 0), small(100, 0);
        RefusingLevel refusing;
        CACHE* lower = kind == Takes ? &taking : kind == RefusesInAdvance ? &small : kind == RefusesWhenOffered ? &refusing : nullptr;
        if (lower)
            Link(memory, *lower);
        else
            Own(memory);
        DATAOBJECT* first = Make(600);
        DATAOBJECT* second = Make(600);
        memory.Accept(*first, FALSE);
        memory.Accept(*second, FALSE);
        EXPECT_EQ(nullptr, first->memoryCache) << kind;
        EXPECT_EQ(600, memory.currentSize) << kind;
        EXPECT_EQ(1, memory.objects.Count()) << kind;
        if (kind == Takes) {
            EXPECT_EQ(&taking, first->diskCache);
            EXPECT_TRUE(releases.empty());
            EXPECT_EQ(2, first->count);
            taking.Remove(*first, FALSE, FALSE);
        } else {
            // Released to the owner exactly once, never left in neither level unannounced.
            ASSERT_EQ(1u, releases.size()) << kind;
            EXPECT_EQ(first, releases[0]);
            EXPECT_EQ(nullptr, first->diskCache);
            EXPECT_EQ(1, first->count) << kind;
        }
        memory.Remove(*second, FALSE, FALSE);
    }
}

TEST_F(Levels, BusyLeastRecentObjectStopsEviction) {
    for (long DATAOBJECT::*busy : {&DATAOBJECT::loadPending, &DATAOBJECT::writeQueued, &DATAOBJECT::deletePending}) {
        MEMCACHE memory(1000, 0);
        Own(memory);
        DATAOBJECT* old = Make(600);
        DATAOBJECT* recent = Make(600);
        memory.Accept(*old, FALSE);
        old->*busy = 1;
        memory.Accept(*recent, FALSE);
        EXPECT_EQ(1200, memory.currentSize);
        EXPECT_EQ(&memory, old->memoryCache);
        old->*busy = 0;
        memory.checkCacheSize();
        EXPECT_EQ(nullptr, old->memoryCache);
        EXPECT_EQ(600, memory.currentSize);
        memory.Remove(*recent, FALSE, FALSE);
    }
}

TEST_F(Levels, HitMovesToTheFrontAndAtEndGoesLast) {
    MEMCACHE memory(1000, 0);
    Own(memory);
    DATAOBJECT* a = Make(400);
    DATAOBJECT* b = Make(400);
    memory.Accept(*a, FALSE);
    memory.Accept(*b, FALSE);
    EXPECT_TRUE(memory.Retrieve(*a, nullptr, FALSE));
    EXPECT_EQ(a, memory.objects.First());
    DATAOBJECT* c = Make(400);
    memory.Accept(*c, FALSE);
    EXPECT_EQ(&memory, a->memoryCache);
    EXPECT_EQ(nullptr, b->memoryCache);
    DATAOBJECT* d = Make(100);
    memory.Accept(*d, TRUE);
    EXPECT_EQ(d, memory.objects.Last());
    // A lower limit evicts at once.
    memory.SetMaximumSize(500, 0);
    EXPECT_EQ(1, memory.objects.Count());
    EXPECT_EQ(c, memory.objects.First());
    memory.Remove(*c, FALSE, FALSE);
}

TEST_F(Levels, RemoveTakesBackWhatWasAdmitted) {
    MEMCACHE memory(1000, 0);
    Own(memory);
    DATAOBJECT* grows = Make(100);
    DATAOBJECT* other = Make(200);
    memory.Accept(*grows, FALSE);
    memory.Accept(*other, FALSE);
    std::string more(700, 'y');
    grows->SetData(BUFFER(&more[0], 700));
    memory.Remove(*grows, FALSE, FALSE);
    EXPECT_EQ(200, memory.currentSize);
    memory.Remove(*other, FALSE, FALSE);
    EXPECT_EQ(0, memory.currentSize);
}

TEST_F(Levels, DeletingAnObjectTakesItOutOfBothLevels) {
    MEMCACHE memory(1000, 0);
    CACHE lower(0, 0);
    Link(memory, lower);
    DATAOBJECT* o = Make(10);
    memory.Accept(*o, FALSE);
    lower.Accept(*o, FALSE);
    o->DeleteObject(FALSE);
    EXPECT_EQ(0, memory.currentSize);
    EXPECT_EQ(0, lower.currentSize);
    EXPECT_EQ(nullptr, o->memoryCache);
    EXPECT_EQ(nullptr, o->diskCache);
    EXPECT_EQ(1, o->count);
    EXPECT_TRUE(releases.empty());
    o->freeobj();
}

TEST_F(Levels, ShutdownHandsEverythingDown) {
    MEMCACHE memory(10000, 0);
    CACHE lower(500, 0);
    Link(memory, lower);
    DATAOBJECT* both = Make(100);
    DATAOBJECT* fits = Make(200);
    DATAOBJECT* tooBig = Make(600);
    memory.Accept(*both, FALSE);
    lower.Accept(*both, FALSE);
    memory.Accept(*fits, FALSE);
    memory.Accept(*tooBig, FALSE);

    EXPECT_TRUE(memory.Shutdown(TRUE, nullptr, 0, 0));  // immediate: the chain stays
    EXPECT_EQ(3, memory.objects.Count());
    memory.stopping = 0;

    EXPECT_TRUE(memory.Shutdown(FALSE, nullptr, 0, 0));
    EXPECT_EQ(0, memory.objects.Count());
    EXPECT_EQ(0, memory.currentSize);
    EXPECT_EQ(&lower, fits->diskCache);
    EXPECT_EQ(&lower, both->diskCache);
    EXPECT_EQ(nullptr, tooBig->diskCache);
    EXPECT_EQ(2u, releases.size());  // the one held below leaves memory; the one refused goes
    EXPECT_EQ(1, tooBig->count);
    EXPECT_EQ(nullptr, memory.lowerLevel);
    EXPECT_EQ(nullptr, lower.upperLevel);
    EXPECT_FALSE(memory.Accept(*tooBig, FALSE));
    lower.Remove(*fits, FALSE, FALSE);
    lower.Remove(*both, FALSE, FALSE);
}

QV_CHILD_CASE(OfferedTwice) {
    DATASTORE* store = new DATASTORE(TRUE, "twice", nullptr, nullptr, nullptr, 0);
    DATAOBJECT* o = new (store) DATAOBJECT(store, "x", TRUE, TRUE, 0);
    MEMCACHE memory(1000, 0);
    memory.Startup();
    memory.Accept(*o, FALSE);
    memory.Accept(*o, FALSE);
}

TEST(LevelsFatal, ObjectOfferedTwiceStopsTheServer) {
    qvtest::ChildResult r = qvtest::RunChild("OfferedTwice");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find(ABEND_OBJ103)) << r.output;
}

}  // namespace

namespace {

BBOOL CollectEvent(const TRACERECORD* r, void* context) {
    if (r->category == TRACE_CACHE) static_cast<std::vector<int>*>(context)->push_back(r->event);
    return TRUE;
}

TEST_F(Levels, CacheTraceRecordsEachOperation) {
    MEMCACHE memory(1000, 0);
    Own(memory);
    DATAOBJECT* o = Make(10);
    TRACETABLE& trace = _pSupport->trace;
    ASSERT_TRUE(trace.StartTrace(TRACE_CACHE, 0));
    memory.Accept(*o, FALSE);
    memory.Retrieve(*o, nullptr, FALSE);
    memory.Remove(*o, FALSE, FALSE);
    std::vector<int> events;
    trace.Walk(&CollectEvent, &events);
    trace.StopTrace();
    EXPECT_EQ((std::vector<int>{TRACE_CACHE_ACCEPT, TRACE_CACHE_RETRIEVE, TRACE_CACHE_REMOVE}), events);
}

}  // namespace
