#include <gtest/gtest.h>

#include <string>

#include "IdControl.h"

namespace {

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s += static_cast<char>(v);
    return s;
}

}  // namespace

TEST(IdControl, AssignFreeAndReserve) {
    IDCONTROL ids(0);
    IDNUMBER a, b, c;
    EXPECT_EQ(1UL, ids.Assign(a));
    EXPECT_EQ(2UL, ids.Assign(b));
    ids.Free(b);
    EXPECT_EQ(0UL, b.id);
    EXPECT_EQ(2UL, ids.Assign(c));  // the last id comes back

    IDCONTROL other(0);
    IDNUMBER x, y, z;
    other.Assign(x);
    other.Assign(y);
    other.Free(x);  // not the last one: stays used
    EXPECT_EQ(0UL, x.id);
    EXPECT_EQ(3UL, other.Assign(z));

    IDNUMBER ten(10), two(2), next;
    other.Reserve(ten);
    EXPECT_EQ(11UL, other.Assign(next));
    other.Reserve(two);
    EXPECT_EQ(12UL, other.Assign(next));
}

TEST(IdControl, StreamsItsCounter) {
    IDCONTROL ids(7);
    IDNUMBER n;
    for (int i = 0; i < 4; ++i) ids.Assign(n);
    STREAMBUF s(256);
    s.SetForWrite();
    s << ids;
    const std::string expected = Bytes({0x80, 0x00, 0x00, 0x00, 0x12, 0x00}) +  // the control
                                 Bytes({0x80, 0x00, 0x00, 0x00, 0x0C, 0x00}) +  // its frame
                                 Bytes({5, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(expected, std::string(s.area.data, s.Used()));

    s.SetForRead();
    IDCONTROL back(0);
    s >> back;
    EXPECT_EQ(5UL, back.nextId);
    EXPECT_EQ(7, back.base);
    EXPECT_EQ(0, s.cursor.length);
}

TEST(IdControl, ReadsSwappedAndShortFrames) {
    struct Case {
        std::string wire;
        unsigned long nextId;
        long base;
    } cases[] = {
        {Bytes({0x00, 0x00, 0x12, 0x88, 0x00, 0x00, 0x00, 0x00, 0x0C, 0, 0, 0, 5, 0, 0, 0, 7, 0, 0, 0, 0}), 5, 7},
        {Bytes({0x00, 0x00, 0x0A, 0x80, 0x00, 0x00, 0x00, 0x04, 0x00, 9, 0, 0, 0}), 9, 0},  // short frame
        {Bytes({0x00, 0x00, 0x06, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00}), 1, 0},              // empty: never id 0
        {Bytes({0x00, 0x00, 0x04, 0x40, 0x00, 0x00, 0x00}), 4, 3},                          // unreadable: unchanged
    };
    for (const Case& c : cases) {
        std::string wire = c.wire;
        STREAMBUF s;
        s.BufSet(BUFFER(&wire[0], static_cast<long>(wire.size())));
        s.SetForWrite();
        IDCONTROL back(3);
        back.nextId = 4;
        s >> back;
        EXPECT_EQ(c.nextId, back.nextId);
        EXPECT_EQ(c.base, back.base);
        s.BufSet(BUFFER());
    }
}
