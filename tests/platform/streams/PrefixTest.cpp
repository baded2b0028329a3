#include <gtest/gtest.h>

#include <string>

#include "StreamPrefix.h"
#include "StreamTestAids.h"

TEST(StreamPrefix, WriterChoosesTheSmallestForm) {
    struct Case {
        unsigned long flags, code, length;
        int room;
        std::string bytes;
    } cases[] = {
        {0, 0, 4, 100, Bytes({0x00, 0x00, 0x04})},
        {0, 255, 255, 100, Bytes({0x00, 0xFF, 0xFF})},
        {0x3C000000, 1, 2, 100, Bytes({0x34, 0x01, 0x02})},  // byte-order bit never written
        {0, 256, 1, 100, Bytes({0x80, 0x00, 0x00, 0x01, 0x01, 0x00})},
        {0x00400000, 1, 1, 100, Bytes({0x80, 0x40, 0x01, 0x00, 0x01, 0x00})},
        {0x10000000, 7, 1024, 100, Bytes({0x90, 0x00, 0x07, 0x00, 0x00, 0x04})},
        {0x04800000, 2, 900, 100, Bytes({0x84, 0x80, 0x02, 0x00, 0x00, 0x00})},  // length unknown: 0
        {0, 1, 256, 5, ""},
        {0x00000001, 1, 1, 100, Bytes({0xC0, 0x00, 0x00, 0x01, 1, 0, 0, 0, 1, 0, 0, 0})},
        {0, 70000, 5, 100, Bytes({0xC0, 0x00, 0x00, 0x00, 0x70, 0x11, 0x01, 0x00, 5, 0, 0, 0})},
        {0x40000000, 1, 1, 100, Bytes({0x00, 0x01, 0x01})},  // form bits are the writer's own
        {0, 1, 70000, 11, ""},
        {0, 1, 1, 2, ""},
    };
    for (const Case& c : cases) {
        char buf[16] = {};
        unsigned long flags = c.flags;
        int n = WritePrefix(buf, c.room, flags, c.code, c.length);
        EXPECT_EQ(c.bytes, std::string(buf, n)) << std::hex << c.flags << " " << c.code << " " << c.length;
        EXPECT_EQ(n, MeasurePrefix(c.room, c.flags, c.code, c.length));
        if (n == 0) continue;
        // Reading it back gives the flags as written (form bits included).
        std::string wire = std::string(buf, n) + std::string(c.flags & 0x00800000 ? 0 : c.length, 'x');
        unsigned long rf, rc, rl;
        EXPECT_EQ(n, ReadPrefix(wire.data(), static_cast<int>(wire.size()), rf, rc, rl));
        EXPECT_EQ(flags, rf);
        EXPECT_EQ(c.code, rc);
        EXPECT_EQ(c.flags & 0x00800000 ? 0 : c.length, rl);
    }
}

TEST(StreamPrefix, ReaderTakesTheOtherByteOrderAndRefusesWhatItCannotRead) {
    struct Case {
        std::string bytes;
        int consumed;
        unsigned long flags, code, length;
    } cases[] = {
        {Bytes({0x88, 0x00, 0x00, 0x07, 0x00, 0x02, 'a', 'b'}), 6, 0x88000000, 7, 2},
        {Bytes({0xC8, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 1, 'z'}), 12, 0xC8000000, 9, 1},
        {Bytes({0x08, 0x05, 0x01, 'q'}), 3, 0x08000000, 5, 1},
        {Bytes({0x40, 0x01, 0x01, 'q'}), 4, 0x01000000, 0, 0},               // form 01
        {Bytes({0x00, 0x01, 0x05, 'a', 'b', 'c', 'd'}), 7, 0x01000000, 0, 0},  // length beyond the data
        {Bytes({0x80, 0x00, 0x01}), 3, 0x01000000, 0, 0},                    // too short for its form
        {Bytes({0xC0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}), 11, 0x01000000, 0, 0},
        {"", 0, 0x01000000, 0, 0},
    };
    for (const Case& c : cases) {
        unsigned long f = 1, code = 1, len = 1;
        EXPECT_EQ(c.consumed, ReadPrefix(c.bytes.data(), static_cast<int>(c.bytes.size()), f, code, len));
        EXPECT_EQ(c.flags, f);
        EXPECT_EQ(c.code, code);
        EXPECT_EQ(c.length, len);
    }
}
