#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "MemoryPool.h"
#include "SpControl.h"
#include "TraceTable.h"

namespace {

struct SEEN {
    unsigned short category;
    unsigned short event;
    unsigned short length;
    unsigned short items;
    std::string payload;
};

BBOOL Collect(const TRACERECORD* r, void* ctx) {
    const char* items = reinterpret_cast<const char*>(r) + TRACETABLE::HeaderSize;
    static_cast<std::vector<SEEN>*>(ctx)->push_back(
        {r->category, r->event, r->length, r->items, std::string(items, r->length - TRACETABLE::HeaderSize)});
    return TRUE;
}

std::vector<SEEN> Records(TRACETABLE& t) {
    std::vector<SEEN> v;
    t.Walk(Collect, &v);
    return v;
}

std::vector<int> Events(TRACETABLE& t) {
    std::vector<int> v;
    for (auto& s : Records(t)) v.push_back(s.event);
    return v;
}

}  // namespace

TEST(Trace, RecordsItemsInTheirBinaryForm) {
    TRACETABLE t(TRACE_TASK, 4096);
    int marker = 0;
    const char* name = "PGMTHREAD";
    ASSERT_NE(nullptr, t.TraceEvent(TRACE_TASK, TRACE_TASK_SEM_RESERVE, "bhcilops?", 0x1FF, 0x12345, name, -2, 0x11223344L, 7, &marker,
                                    "a\tb", 99));
    auto r = Records(t);
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ(8, r[0].items);  // '?' takes its argument and records nothing
    std::string expect;
    auto u32 = [&](unsigned long v) { for (int i = 0; i < 4; ++i) expect += char(v >> (8 * i)); };
    auto ptr = [&](const void* a) {
        ULONG_PTR v = (ULONG_PTR)a;
        for (size_t i = 0; i < sizeof v; ++i) expect += char(v >> (8 * i));
    };
    expect += "b\xFF";
    expect += "h\x45\x23";
    expect += "c"; ptr(name);
    expect += "i"; u32((unsigned long)-2);
    expect += "l"; u32(0x11223344);
    expect += "o"; u32(7);
    expect += "p"; ptr(&marker);
    expect += std::string("sa\tb\0", 5);
    EXPECT_EQ(expect, r[0].payload);
    EXPECT_EQ(16 + expect.size(), r[0].length);
    const TRACERECORD* raw = static_cast<const TRACERECORD*>(static_cast<void*>(t.ring.data));
    EXPECT_EQ(TRACE_TASK, raw->category);
    EXPECT_EQ(GetCurrentThreadId(), raw->thread);
}

TEST(Trace, DataAndTextItemsAreCutToTheItemLimit) {
    TRACETABLE t(TRACE_APP, 8192);
    std::vector<char> data(1000, 'x');
    std::string text(600, 'y');
    t.TraceEvent(TRACE_APP, TRACE_APP_EVENT, "ds", data.data(), 1000, text.c_str());
    auto r = Records(t);
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ(16 + 3 + 256 + 2 + 256, r[0].length);
    EXPECT_EQ(256, (unsigned char)r[0].payload[1] | ((unsigned char)r[0].payload[2] << 8));
    t.SetItemLimit(100000);
    EXPECT_LT(t.itemLimit, 8192);
    t.StartTrace(0, 256);
    EXPECT_LT(t.itemLimit, 256 - 16);
    t.StartTrace(0, 200000);
    EXPECT_GT(t.itemLimit, 60000);
    EXPECT_LT(t.itemLimit, 65536);
}

TEST(Trace, OffPausedOrUntracedCategoriesRecordNothing) {
    TRACETABLE t(TRACE_COMM, 0);
    EXPECT_EQ(nullptr, t.TraceEvent(TRACE_COMM, TRACE_COMM_RECEIVE, "i", 1));  // not started
    ASSERT_TRUE(t.StartTrace(TRACE_CACHE, 1024));
    EXPECT_EQ(TRACE_COMM | TRACE_CACHE, t.categories);  // bits are added
    EXPECT_EQ(nullptr, t.TraceEvent(TRACE_DDE, TRACE_DDE_ACKNOWLEDGED, "i", 1));
    t.Pause();
    EXPECT_EQ(nullptr, t.TraceEvent(TRACE_COMM, TRACE_COMM_RECEIVE, "i", 1));
    t.Resume();
    EXPECT_NE(nullptr, t.TraceEvent(TRACE_COMM, TRACE_COMM_TRANSMIT, "i", 1));
    EXPECT_EQ(std::vector<int>{2}, Events(t));
    t.Clear();
    EXPECT_TRUE(Records(t).empty());
    EXPECT_NE(nullptr, t.TraceEvent(TRACE_COMM, TRACE_COMM_EVENT, "", 0));
    t.StopTrace();
    EXPECT_EQ(nullptr, t.TraceEvent(TRACE_COMM, TRACE_COMM_STATUS, "i", 1));
    EXPECT_EQ(0, t.Walk(Collect, nullptr));
    t.StartTrace(0, 1024);
    t.Suspend();
    EXPECT_EQ(nullptr, t.TraceEvent(TRACE_COMM, 5, "i", 1));
}

TEST(Trace, SmallRingKeepsTheNewestRecords) {
    TRACETABLE t(TRACE_APP, 64);
    for (int e = 1; e <= 3; ++e) t.TraceEvent(TRACE_APP, e, "d", "12345", 5);  // 24 bytes each
    EXPECT_EQ((std::vector<int>{2, 3}), Events(t));
    // A record that cannot fit beside the end mark is not recorded at all.
    std::vector<char> big(60, 'z');
    EXPECT_EQ(nullptr, t.TraceEvent(TRACE_APP, 9, "d", big.data(), 60));
    EXPECT_EQ((std::vector<int>{2, 3}), Events(t));
}

TEST(Trace, WrapsWithoutWritingOutsideTheRing) {
    TRACETABLE t(TRACE_APP, 1024);
    // Our own memory with guard bytes either side stands in for the ring.
    const int size = 301, guard = 64;
    std::vector<unsigned char> memory(size + 2 * guard, 0xEE);
    char* original = t.ring.data;
    long originalLength = t.ring.length;
    t.ring.data = reinterpret_cast<char*>(memory.data() + guard);
    t.ring.length = size;
    std::memset(t.ring.data, 0, size);
    t.Clear();
    unsigned seed = 99;
    std::vector<int> written;
    std::vector<char> data(300, 'q');
    for (int e = 1; e <= 3000; ++e) {
        seed = seed * 1103515245 + 12345;
        int n = (seed >> 8) % 140;
        if (t.TraceEvent(TRACE_APP, e, "sd", "t", data.data(), n)) written.push_back(e);
        if (e % 7 == 0) {
            auto got = Events(t);
            ASSERT_FALSE(got.empty()) << e;
            // Whatever is held is the newest tail of what was written, in order.
            ASSERT_LE(got.size(), written.size());
            EXPECT_TRUE(std::equal(got.begin(), got.end(), written.end() - got.size())) << e;
            for (auto& r : Records(t)) ASSERT_GE(r.length, 16);
        }
    }
    for (int i = 0; i < guard; ++i) {
        EXPECT_EQ(0xEE, memory[i]);
        EXPECT_EQ(0xEE, memory[guard + size + i]);
    }
    t.ring.data = original;
    t.ring.length = originalLength;
}

namespace {
// A row whose fields grow between the sizing and the writing of its record,
// as another thread's row can.
int g_rowCalls = 0;
char g_rowData[3][200];
int GrowingRow(ROW*, BUFFER* fields, int max) {
    const int cols = g_rowCalls++ == 0 ? 2 : 3;
    const long length = g_rowCalls == 1 ? 5 : 200;
    for (int c = 0; c < cols && c < max; ++c) fields[c] = BUFFER(g_rowData[c], length);
    return cols;
}
}  // namespace

TEST(Trace, ItemsThatChangeWhileRecordedStayInTheirRecord) {
    TRACETABLE t(TRACE_APP, 1024);
    std::memset(g_rowData, 'r', sizeof g_rowData);
    TRACEROWFIELDS saved = TRACETABLE::rowFields;
    TRACETABLE::rowFields = GrowingRow;
    g_rowCalls = 0;
    ASSERT_NE(nullptr, t.TraceEvent(TRACE_APP, TRACE_APP_EVENT, "r", reinterpret_cast<ROW*>(g_rowData)));
    TRACETABLE::rowFields = saved;
    // A data item without data is recorded empty, in size and in content.
    ASSERT_NE(nullptr, t.TraceEvent(TRACE_APP, TRACE_APP_READ, "di", nullptr, 40, 7));
    auto r = Records(t);
    ASSERT_EQ(2u, r.size());
    EXPECT_EQ(2, r[0].items);
    EXPECT_EQ("d" + std::string("\x05\x00", 2) + "rrrrr" + "d" + std::string("\x05\x00", 2) + "rrrrr", r[0].payload);
    EXPECT_EQ(TRACE_APP_READ, r[1].event);
    EXPECT_EQ(std::string("d\0\0i\x07\0\0\0", 8), r[1].payload);
}

TEST(Trace, SupportObjectTraceRecordsLibraryEvents) {
    TRACETABLE& t = _pSupport->trace;
    ASSERT_TRUE(t.StartTrace(TRACE_MEMORY | TRACE_BUDSYS, 0));
    void* p = _pSystemMemoryPool->Allocate(100, 0);
    _pSystemMemoryPool->Free(p);
    std::vector<int> memory, buddy;
    for (auto& r : Records(t)) (r.category == TRACE_MEMORY ? memory : buddy).push_back(r.event);
    t.StopTrace();
    t.categories = 0;
    EXPECT_EQ((std::vector<int>{TRACE_MEMORY_ALLOC, TRACE_MEMORY_FREE}), memory);
    EXPECT_FALSE(buddy.empty());
}
