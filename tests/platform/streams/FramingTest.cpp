#include <gtest/gtest.h>

#include <string>

#include "Allocator.h"
#include "ChildProcess.h"
#include "StreamTestAids.h"
#include "TaskAbend.h"

namespace {

// A stream buffer of its own memory, positioned for writing.
struct WriteBuf {
    STREAMBUF s;
    explicit WriteBuf(int size) : s(size) { s.SetForWrite(); }
};

// Reads a list of n counts back from the bytes of one buffer.
std::vector<unsigned long> CountsReadFrom(std::string wire, size_t n) {
    STREAMBUF s;
    s.BufSet(BUFFER(&wire[0], static_cast<long>(wire.size())));
    s.SetForWrite();
    CountList back;
    back.readCount = n;
    s >> back;
    s.BufSet(BUFFER());
    return back.counts;
}

}  // namespace

TEST(Framing, CountAndTaggedObjectBytes) {
    WriteBuf w(64);
    STREAMCOUNT five(5);
    w.s << five;
    EXPECT_EQ(Bytes({0x00, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00}), Written(w.s));
    EXPECT_EQ(0, five.streamStatus);

    WriteBuf t(64);
    Blob tagged(0x10000000, 7, "xy");
    tagged.objectId = 0x01020304;
    t.s << tagged;
    EXPECT_EQ(Bytes({0x90, 0x40, 0x07, 0x00, 0x02, 0x00}) + "TSTa" + Bytes({4, 3, 2, 1}) + "xy", Written(t.s));
    EXPECT_EQ(0x10400000UL, tagged.flags);  // the id flag is set for a non-zero id

    t.s.SetForRead();
    Blob back;
    back.flags = 0x20000000;  // the object's own option bits stay
    t.s >> back;
    EXPECT_EQ(7UL, back.code);
    EXPECT_EQ(0x01020304UL, back.objectId);
    EXPECT_EQ("xy", back.got);
    EXPECT_EQ(0x20000000UL, back.flags);
    EXPECT_EQ(0, t.s.cursor.length);
}

TEST(Framing, ReadsTheOtherByteOrder) {
    std::string wire = Bytes({0x08, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05}) +  // count 5, swapped
                       Bytes({0x98, 0x40, 0x00, 0x03, 0x00, 0x01}) + "aTST" + Bytes({1, 2, 3, 4}) + "z";
    STREAMBUF s;
    s.BufSet(BUFFER(&wire[0], static_cast<long>(wire.size())));
    s.SetForWrite();
    s.cursor.length = static_cast<long>(wire.size());
    STREAMCOUNT c;
    s >> c;
    EXPECT_EQ(5UL, c.count);
    Blob b;
    s >> b;
    EXPECT_EQ(3UL, b.code);
    EXPECT_EQ(0x01020304UL, b.objectId);
    EXPECT_EQ("z", b.got);
    s.BufSet(BUFFER());
}

TEST(Framing, UnreadablePrefixGivesAnEmptyBodyAndUsesUpTheData) {
    std::string wire = Bytes({0x40, 0x00, 0x04, 1, 2, 3, 4});
    STREAMBUF s;
    s.BufSet(BUFFER(&wire[0], static_cast<long>(wire.size())));
    s.SetForWrite();
    Blob b(0x20000000, 5);
    s >> b;
    EXPECT_EQ("", b.got);
    EXPECT_EQ(0UL, b.code);
    EXPECT_EQ(0x20000000UL, b.flags);
    EXPECT_NE(0, b.streamStatus);
    EXPECT_EQ(0, s.cursor.length);
    s.BufSet(BUFFER());
}

TEST(Framing, BodyLongerThanItsEstimateStillCarriesItsTrueLength) {
    // Estimates that pick a form too small for the body, with and without a tag.
    struct Case {
        unsigned long flags;
        int estimate;
        size_t bodySize;
        int prefixSize;
    } cases[] = {
        {0, 10, 300, 6},
        {0x10000000, 10, 300, 6},
        {0, 10, 70000, 12},
        {0, 200, 255, 3},
    };
    for (const Case& c : cases) {
        WriteBuf w(80000);
        Blob out(c.flags, 3, std::string(c.bodySize, 'b'));
        out.body[0] = 'A';
        out.body.back() = 'Z';
        out.estimate = c.estimate;
        w.s << out;
        EXPECT_EQ(0, out.streamStatus);
        EXPECT_EQ(c.prefixSize + (c.flags ? 4 : 0) + static_cast<long>(c.bodySize), w.s.Used());

        w.s.SetForRead();
        Blob back;
        w.s >> back;
        EXPECT_EQ(out.body, back.got) << c.bodySize;
        EXPECT_EQ(0, w.s.cursor.length);
    }
}

TEST(Framing, NoRoomMeansNothingWrittenAndAFailure) {
    struct Case {
        int capacity;
        size_t bodySize;
        unsigned long flags;
    } cases[] = {
        {2, 0, 0},             // not even a prefix
        {5, 1, 0x10000000},    // prefix but no room for the tag
        {303, 300, 0},         // body fits only under the too-small short form
    };
    for (const Case& c : cases) {
        WriteBuf w(c.capacity);
        Blob out(c.flags, 1, std::string(c.bodySize, 'b'));
        out.estimate = 10;
        w.s << out;
        EXPECT_NE(0, out.streamStatus) << c.capacity;
        EXPECT_EQ(0, w.s.Used()) << c.capacity;
    }
}

TEST(Framing, FramedBodySkipsAnUnreadRestWhilePlainReadDoesNot) {
    WriteBuf w(64);
    Blob first(0, 1, "abcdef");
    STREAMCOUNT after(42);
    w.s << first << after;
    w.s << BEGINDI(0, 2, 0);
    w.s.CopyIn("ghijkl", 6);
    w.s << ENDDI();
    w.s << after;
    EXPECT_EQ(Bytes({0x80, 0x00, 0x02, 0x00, 0x06, 0x00}) + "ghijkl",
              Written(w.s).substr(19, 12));  // no size: room for 1024, so 6 bytes

    w.s.SetForRead();
    Blob partial;
    partial.readLimit = 2;
    w.s >> partial;
    EXPECT_EQ("ab", partial.got);
    EXPECT_EQ('c', *w.s.cursor.data);  // a plain read leaves the cursor in the body
    w.s.cursor.data += 4;
    w.s.cursor.length -= 4;
    STREAMCOUNT c1;
    w.s >> c1;
    EXPECT_EQ(42UL, c1.count);

    w.s >> BEGINDI();
    EXPECT_EQ(2UL, w.s.code);
    EXPECT_EQ(6, w.s.cursor.length);
    char two[2];
    w.s.CopyOut(two, 2);
    w.s >> ENDDI();
    STREAMCOUNT c2;
    w.s >> c2;
    EXPECT_EQ(42UL, c2.count);
    EXPECT_EQ(0, w.s.cursor.length);
}

TEST(Framing, FramedBodyOutgrowingItsSizeIsWidened) {
    WriteBuf w(1024);
    w.s << BEGINDI(0, 1, 10);
    std::string body(300, 'q');
    w.s.CopyIn(body.data(), 300);
    w.s << ENDDI();
    EXPECT_EQ(306, w.s.Used());
    EXPECT_EQ(Bytes({0x80, 0x00, 0x01, 0x00, 0x2C, 0x01}), Written(w.s).substr(0, 6));
}

TEST(Framing, WriteThroughKeepsLengthUnknownOnceTheBodyWasWrittenOut) {
    MemDest d;
    ASSERT_EQ(0, d.OpenStream("mem", 64, 0));
    CountList list(SPF_WRITETHROUGH);
    for (unsigned long v = 1; v <= 9; ++v) list.counts.push_back(v);
    d << list;
    EXPECT_EQ(0, list.streamStatus);
    EXPECT_GT(d.writes, 1);
    ASSERT_GE(d.out.size(), 6u);
    EXPECT_EQ(Bytes({0x84, 0x80, 0x09, 0x00, 0x00, 0x00}), d.out.substr(0, 6));

    EXPECT_EQ(list.counts, CountsReadFrom(d.out, 9));

    // Read record by record, the body asks for the next record when one runs out.
    MemSource src;
    src.records = d.records;
    src.OpenStream("mem", 64, 0);
    CountList fromRecords;
    fromRecords.readCount = 9;
    src >> fromRecords;
    EXPECT_EQ(list.counts, fromRecords.counts);
    EXPECT_EQ(d.records.size(), src.next);
    EXPECT_FALSE(src.buffer.active);  // read empty
    src.CloseStream();

    // Small enough for one buffer: the prefix gets its length after all.
    MemDest small;
    small.OpenStream("mem", 64, 0);
    CountList one(SPF_WRITETHROUGH);
    one.counts = {7};
    small << one;
    EXPECT_EQ(1, small.writes);
    EXPECT_EQ(Bytes({0x84, 0x00, 0x09, 0x00, 0x07, 0x00}), small.out.substr(0, 6));
    d.CloseStream();
    small.CloseStream();
}

TEST(Framing, WrittenOutBodyOfAnOrdinaryObjectStaysReadable) {
    MemDest d;
    d.OpenStream("mem", 64, 0);
    CountList list;
    for (unsigned long v = 1; v <= 9; ++v) list.counts.push_back(v);
    d << list;
    EXPECT_EQ(0, list.streamStatus);
    EXPECT_EQ(Bytes({0x80, 0x80, 0x09, 0x00, 0x00, 0x00}), d.out.substr(0, 6));
    EXPECT_EQ(list.counts, CountsReadFrom(d.out, 9));
    d.CloseStream();
}

TEST(Framing, DestinationWritesEachObjectAsOneBuffer) {
    MemDest d;
    d.OpenStream("records", 0, 0);
    EXPECT_EQ(4096, d.bufferSize);
    EXPECT_EQ(3, d.mode);
    EXPECT_STREQ("records", d.name);
    STREAMCOUNT a(1), b(2);
    d << a << b;
    EXPECT_EQ(2, d.writes);
    EXPECT_EQ(Bytes({0, 0, 4, 1, 0, 0, 0, 0, 0, 4, 2, 0, 0, 0}), d.out);

    char raw[3] = {'r', 'a', 'w'};
    d << BUFFER(raw, 3);  // the base destination has no direct transfer
    EXPECT_EQ(0, d.CloseStream());
}

QV_CHILD_CASE(WriteToClosedDestination) {
    MemDest d;
    STREAMCOUNT c(1);
    d << c;
}

QV_CHILD_CASE(SetStreamWhileOpen) {
    MemDest d;
    d.OpenStream("x", 64, 0);
    d.SetStream("y", 64, 0, TRUE);
}

TEST(Framing, DestinationMisuseIsFatal) {
    struct Case {
        const char* child;
        const char* code;
    } cases[] = {{"WriteToClosedDestination", ABEND_STR101}, {"SetStreamWhileOpen", ABEND_STR102}};
    for (const Case& c : cases) {
        auto r = qvtest::RunChild(c.child);
        ASSERT_TRUE(r.started);
        EXPECT_EQ(1u, r.exitCode) << c.child;
        bool seen = r.output.find(c.code) != std::string::npos;
        EXPECT_TRUE(seen) << c.child << ": " << r.output;
    }
}

TEST(StreamBuffer, MemoryGoesBackWhereItCameFrom) {
    ALLOCATOR cells(QvTag("TSTc"), 64, 1024, TRUE, 0);
    {
        STREAMBUF s;
        ASSERT_TRUE(s.BufAlloc(cells, 64));
        // destroyed without an explicit release: the cell returns to its allocator
    }
    EXPECT_EQ(cells.blockCount * ((1024 - 24) / 64), cells.freeCount);
    STREAMBUF s;
    ASSERT_TRUE(s.BufAlloc(cells, 64));
    long freeWhileOut = cells.freeCount;
    s.BufFree(cells);
    EXPECT_EQ(freeWhileOut + 1, cells.freeCount);
    EXPECT_FALSE(s.hasMemory);

    char own[8];
    s.BufSet(BUFFER(own, 8));
    EXPECT_TRUE(s.hasMemory);
    EXPECT_EQ(8, s.capacity);
    s.BufFree();  // not the stream's memory: only let go
    EXPECT_FALSE(s.hasMemory);
    EXPECT_FALSE(s.BufAlloc(0, QvTag("TSTz")));
}
