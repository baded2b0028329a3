#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "BTree.h"
#include "SpControl.h"

namespace {

class NODE : public STORABLE {
public:
    explicit NODE(const char* k) {
        std::memset(key, ' ', sizeof key);
        std::memcpy(key, k, std::strlen(k));
    }
    char key[8];
    QV_ITEM_IDENTITY(NODE, "NODE", "NODE")
};

std::string KeyOf(const bSPOINTER* c) { return std::string(static_cast<NODE*>(c->target)->key, 8); }

// Checks order, balance factors and links below a cell; returns its height.
int Check(const bSPOINTER* c, std::string* lastKey, int* count) {
    if (!c) return 0;
    int low = Check(c->prev, lastKey, count);
    std::string k = KeyOf(c);
    EXPECT_LT(*lastKey, k);
    *lastKey = k;
    ++*count;
    EXPECT_EQ(1, c->linked);
    int high = Check(c->next, lastKey, count);
    EXPECT_EQ(high - low, c->balance) << k;
    EXPECT_LE(std::abs(high - low), 1) << k;
    return 1 + (high > low ? high : low);
}

void CheckTree(BTREE<NODE>& tree, size_t expectCount) {
    std::string last;
    int count = 0;
    int h = Check(tree.Root(), &last, &count);
    EXPECT_EQ(h, tree.height);
    EXPECT_EQ((long)expectCount, tree.count);
    EXPECT_EQ((int)expectCount, count);
}

class TreeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tree.Initialize<&NODE::key>(8, ' ')); }
    void TearDown() override { tree.RemoveAll(TRUE, nullptr); }
    BTREE<NODE> tree;
};

}  // namespace

TEST_F(TreeTest, AscendingInsertsRotateAndRemovalPromotesSuccessor) {
    NODE* nodes[8];
    for (int i = 1; i <= 7; ++i) {
        char k[2] = {char('0' + i), 0};
        nodes[i] = new NODE(k);
        EXPECT_EQ(nodes[i], tree.Add(*nodes[i]));
    }
    EXPECT_EQ(3, tree.height);
    EXPECT_EQ(nodes[4], tree.Root()->target);
    CheckTree(tree, 7);
    EXPECT_EQ(nodes[4], tree.Remove(*nodes[4]));
    EXPECT_EQ(0, nodes[4]->chainCount);
    EXPECT_EQ(nodes[5], tree.Root()->target);
    CheckTree(tree, 6);
    nodes[4]->freeobj();
}

TEST_F(TreeTest, ShortKeysArePaddedAndDuplicatesAreRefused) {
    NODE* a = new NODE("AB");
    tree.Add(*a);
    EXPECT_EQ(a, tree.Find("AB"));
    EXPECT_EQ(a, tree.Find("AB      ", 8));
    EXPECT_EQ(nullptr, tree.Find("A"));
    NODE* twin = new NODE("AB");
    bSPOINTER* cell = new bSPOINTER(*twin);
    EXPECT_EQ(tree.bFind("AB", 0).target, tree.bAdd(*cell, FALSE).target);
    EXPECT_EQ(0, cell->linked);
    EXPECT_EQ(0, twin->chainCount);
    delete cell;
    twin->freeobj();
    CheckTree(tree, 1);
}

TEST_F(TreeTest, TooLongKeysAreRejected) {
    BTREE<NODE> other;
    EXPECT_FALSE(other.bInitialize(&QvKeyOf<NODE, &NODE::key>, QV_MAX_KEY + 1, ' '));
    EXPECT_EQ(nullptr, other.Find("AB"));
    // A search key longer than the key length is cut to it.
    NODE* a = new NODE("ABCDEFGH");
    tree.Add(*a);
    std::string longKey = "ABCDEFGH" + std::string(500, 'Z');
    EXPECT_EQ(a, tree.Find(longKey.c_str()));
}

TEST_F(TreeTest, AgreesWithMapOverRandomInsertsAndRemoves) {
    std::map<std::string, NODE*> model;
    unsigned seed = 12345;
    for (int step = 0; step < 4000; ++step) {
        seed = seed * 1103515245 + 12345;
        char k[9];
        std::snprintf(k, sizeof k, "%05u", (seed >> 8) % 600);
        NODE probe(k);
        std::string key(probe.key, 8);
        auto it = model.find(key);
        if ((seed >> 4) % 3 != 0) {
            NODE* n = new NODE(k);
            NODE* got = tree.Add(*n);
            if (it == model.end()) {
                EXPECT_EQ(n, got);
                model[key] = n;
            } else {
                EXPECT_EQ(it->second, got);
                n->freeobj();
            }
        } else if (it != model.end()) {
            EXPECT_EQ(it->second, tree.Remove(*it->second));
            it->second->freeobj();
            model.erase(it);
        } else {
            EXPECT_EQ(nullptr, tree.Find(k));
        }
        if (step % 200 == 0) CheckTree(tree, model.size());
    }
    CheckTree(tree, model.size());
    for (auto& e : model) EXPECT_EQ(e.second, tree.Find(e.first.c_str(), 8));
}

TEST_F(TreeTest, RemoveAllReleasesOnlyObjectsNoOneElseHolds) {
    CHAIN<NODE> chain;
    NODE* kept = new NODE("K");
    NODE* dropped = new NODE("D");
    tree.Add(*kept);
    tree.Add(*dropped);
    chain.Add(*kept);
    long before = bCHAIN::ItemsKept;
    tree.RemoveAll(TRUE, nullptr);
    EXPECT_EQ(before + 1, bCHAIN::ItemsKept);
    EXPECT_EQ(1, kept->chainCount);
    EXPECT_EQ(0, tree.height);
    EXPECT_EQ(nullptr, tree.Root());
    chain.RemoveAll(TRUE, nullptr);
}
