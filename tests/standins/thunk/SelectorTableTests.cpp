#include <gtest/gtest.h>

#include <vector>

#include "SelectorTable.h"

namespace {

TEST(SelectorTable, MapsToSegmentedPointersThatAreNotTheAddress) {
    SelectorTable table;
    char block[64];
    uint32_t seg = table.Map(block);
    ASSERT_NE(0u, seg);
    EXPECT_NE((uint32_t)(uintptr_t)block, seg);
    EXPECT_EQ(0u, seg & 0xFFFF) << "a fresh mapping starts at offset 0";
    EXPECT_EQ(7u, (seg >> 16) & 7) << "local table, privilege 3";
    void* flat;
    ASSERT_TRUE(table.Resolve(seg + 10, &flat));
    EXPECT_EQ(block + 10, flat) << "the offset adds to the selector's base";
}

TEST(SelectorTable, NullMapsToNullBothWays) {
    SelectorTable table;
    EXPECT_EQ(0u, table.Map(nullptr));
    void* flat = &flat;
    EXPECT_TRUE(table.Resolve(0, &flat));
    EXPECT_EQ(nullptr, flat);
    EXPECT_TRUE(table.Unmap(0));
}

TEST(SelectorTable, ReleasedAndForeignPointersDoNotResolve) {
    SelectorTable table;
    int x;
    uint32_t seg = table.Map(&x);
    void* flat;
    struct Case {
        const char* what;
        uint32_t seg;
    } cases[] = {
        {"a flat address used as 16:16", (uint32_t)(uintptr_t)&x},
        {"a selector never handed out", seg + (1u << 19)},
        {"a global-table selector", seg & ~(4u << 16)},
    };
    for (const Case& c : cases) EXPECT_FALSE(table.Resolve(c.seg, &flat)) << c.what;
    ASSERT_TRUE(table.Unmap(seg));
    EXPECT_FALSE(table.Resolve(seg, &flat)) << "released";
    EXPECT_FALSE(table.Unmap(seg)) << "released twice";
}

TEST(SelectorTable, EveryLiveMappingHasItsOwnSelectorUntilTheTableIsFull) {
    SelectorTable table;
    std::vector<uint32_t> segs;
    char block;
    for (unsigned i = 1; i < SelectorTable::Entries; ++i) segs.push_back(table.Map(&block));
    EXPECT_EQ(SelectorTable::Entries - 1, table.InUse());
    EXPECT_EQ(0u, table.Map(&block)) << "full";
    ASSERT_TRUE(table.Unmap(segs[100]));
    EXPECT_EQ(segs[100], table.Map(&block)) << "the one free selector is found again";
}

}  // namespace
