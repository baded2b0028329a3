#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "ByteOrder.h"
#include "DbRecords.h"
#include "Id16Pool.h"
#include "WinSock11.h"

using records::PointerForm;

namespace {

const PointerForm At1000 = {4, 0x1000};

std::vector<unsigned char> Filled(size_t n) { return std::vector<unsigned char>(n, 0xCC); }

// The 32-bit layout, byte for byte, wherever the test runs.
TEST(DbRecords, HostRecordOfANineCharacterNameIs42BytesInTheThirtyTwoBitLayout) {
    auto b = Filled(64);
    int length = 64;
    ASSERT_TRUE(records::BuildHostent(b.data(), &length, At1000, "localhost", 0x0100007F, 2, 4));
    EXPECT_EQ(42, records::HostentSize(4, 9));
    struct Field {
        const char* what;
        unsigned offset;
        uint32_t value;
    } fields[] = {
        {"h_name", 0, 0x1000 + 32},       {"h_aliases", 4, 0x1000 + 28},
        {"h_addr_list", 12, 0x1000 + 16}, {"address pointer", 16, 0x1000 + 24},
        {"end of addresses", 20, 0},      {"address", 24, 0x0100007F},
        {"end of aliases", 28, 0},
    };
    for (const Field& f : fields) EXPECT_EQ(f.value, GetLe32(&b[f.offset])) << f.what;
    EXPECT_EQ(2u, GetLe16(&b[8])) << "h_addrtype";
    EXPECT_EQ(4u, GetLe16(&b[10])) << "h_length";
    EXPECT_STREQ("localhost", (const char*)&b[32]);
    EXPECT_EQ(0xCC, b[42]) << "nothing written past the record";
}

TEST(DbRecords, ServiceAndProtocolRecordsInTheThirtyTwoBitLayout) {
    auto b = Filled(64);
    int length = 64;
    ASSERT_TRUE(records::BuildServent(b.data(), &length, At1000, "echo", "tcp", 0x0700));
    EXPECT_EQ(29, records::ServentSize(4, 4, 3));
    EXPECT_EQ(0x1000u + 20, GetLe32(&b[0])) << "s_name";
    EXPECT_EQ(0x1000u + 16, GetLe32(&b[4])) << "s_aliases";
    EXPECT_EQ(0x0700u, GetLe16(&b[8])) << "s_port";
    EXPECT_EQ(0x1000u + 25, GetLe32(&b[12])) << "s_proto after the name";
    EXPECT_EQ(0u, GetLe32(&b[16]));
    EXPECT_STREQ("echo", (const char*)&b[20]);
    EXPECT_STREQ("tcp", (const char*)&b[25]);
    EXPECT_EQ(0xCC, b[29]);

    b = Filled(64);
    length = 64;
    ASSERT_TRUE(records::BuildProtoent(b.data(), &length, At1000, "udp", 17));
    EXPECT_EQ(3 + 17, records::ProtoentSize(4, 3));
    EXPECT_EQ(0x1000u + 16, GetLe32(&b[0]));
    EXPECT_EQ(0x1000u + 12, GetLe32(&b[4]));
    EXPECT_EQ(17u, GetLe16(&b[8]));
    EXPECT_STREQ("udp", (const char*)&b[16]);
    EXPECT_EQ(0xCC, b[20]);
}

TEST(DbRecords, TooSmallABlockGetsTheSizeNeededAndStaysUntouched) {
    struct Case {
        const char* what;
        int need;
        bool (*build)(void*, int*);
    } cases[] = {
        {"hostent", 42, [](void* b, int* l) { return records::BuildHostent(b, l, At1000, "localhost", 1, 2, 4); }},
        {"servent", 29, [](void* b, int* l) { return records::BuildServent(b, l, At1000, "echo", "tcp", 7); }},
        {"protoent", 20, [](void* b, int* l) { return records::BuildProtoent(b, l, At1000, "udp", 17); }},
    };
    for (const Case& c : cases) {
        auto b = Filled(64);
        int length = c.need - 1;
        EXPECT_FALSE(c.build(b.data(), &length)) << c.what;
        EXPECT_EQ(c.need, length) << c.what;
        EXPECT_EQ(Filled(64), b) << c.what;
        length = c.need;
        EXPECT_TRUE(c.build(b.data(), &length)) << c.what << " fits exactly";
    }
}

// A live record is read through the platform's own structures.
TEST(DbRecords, NativeRecordsReadThroughTheStructures) {
    alignas(8) char b[256];
    int length = sizeof b;
    ASSERT_TRUE(records::BuildHostent(b, &length, records::NativeForm(b), "localhost", 0x0100007F, 2, 4));
    const ws11::hostent* h = reinterpret_cast<const ws11::hostent*>(b);
    EXPECT_STREQ("localhost", h->h_name);
    EXPECT_EQ(nullptr, h->h_aliases[0]);
    EXPECT_EQ(2, h->h_addrtype);
    EXPECT_EQ(4, h->h_length);
    EXPECT_EQ(0x0100007Fu, *(const uint32_t*)h->h_addr_list[0]);
    EXPECT_EQ(nullptr, h->h_addr_list[1]);
    EXPECT_EQ(records::HostentSize(sizeof(void*), 9), sizeof(void*) == 4 ? 42 : 74);

    length = sizeof b;
    ASSERT_TRUE(records::BuildServent(b, &length, records::NativeForm(b), "echo", "tcp", 0x0700));
    const ws11::servent* s = reinterpret_cast<const ws11::servent*>(b);
    EXPECT_STREQ("echo", s->s_name);
    EXPECT_STREQ("tcp", s->s_proto);
    EXPECT_EQ(0x0700, s->s_port);
    EXPECT_EQ(nullptr, s->s_aliases[0]);

    length = sizeof b;
    ASSERT_TRUE(records::BuildProtoent(b, &length, records::NativeForm(b), "udp", 17));
    const ws11::protoent* p = reinterpret_cast<const ws11::protoent*>(b);
    EXPECT_STREQ("udp", p->p_name);
    EXPECT_EQ(17, p->p_proto);
    EXPECT_EQ(nullptr, p->p_aliases[0]);
}

TEST(Id16Pool, HandsOutInTurnWrapsAndSkipsIdsInUse) {
    records::Id16Pool pool(5);
    EXPECT_EQ(1, pool.Take());
    EXPECT_EQ(2, pool.Take());
    EXPECT_EQ(3, pool.Take());
    pool.Give(1);
    pool.Give(3);
    EXPECT_EQ(4, pool.Take()) << "in turn, not the lowest free";
    EXPECT_EQ(5, pool.Take());
    EXPECT_EQ(1, pool.Take()) << "wraps to 1, never 0";
    EXPECT_EQ(3, pool.Take()) << "2 is still in use";
    EXPECT_EQ(0, pool.Take()) << "all in use";
    pool.Give(2);
    EXPECT_TRUE(pool.InUse(1));
    EXPECT_FALSE(pool.InUse(2));
    EXPECT_EQ(2, pool.Take());
}

TEST(Id16Pool, FullRangeFitsSixteenBitsAndThreadsNeverShareAnId) {
    records::Id16Pool pool;
    std::vector<std::vector<uint16_t>> taken(4);
    std::vector<std::thread> threads;
    for (auto& mine : taken)
        threads.emplace_back([&pool, &mine] {
            for (int i = 0; i < 10000; ++i) mine.push_back(pool.Take());
        });
    for (auto& t : threads) t.join();
    std::vector<bool> seen(0x10000);
    for (auto& mine : taken)
        for (uint16_t id : mine) {
            ASSERT_NE(0, id);
            ASSERT_FALSE(seen[id]) << id;
            seen[id] = true;
        }
}

}  // namespace
