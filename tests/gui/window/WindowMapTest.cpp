#include <gtest/gtest.h>

#include <map>
#include <random>

#include "zWindowMap.h"

namespace {

zWindow* W(int n) { return reinterpret_cast<zWindow*>(static_cast<UINT_PTR>(n * 16)); }
HWND H(UINT_PTR n) { return reinterpret_cast<HWND>(n); }

TEST(WindowMap, HashIsHandleTimesFour) {
    HWND h = H(0x1234);
    EXPECT_EQ(0x48D0UL, WindowHashProc(&h));
}

TEST(WindowMap, InsertReplacesAndGivesBackTheOldWindow) {
    ziWindowMap map(WindowHashProc, 97);
    EXPECT_EQ(nullptr, map.insert(H(10), W(1)));
    EXPECT_EQ(W(1), map.insert(H(10), W(2)));
    EXPECT_EQ(W(2), map.get(H(10)));
    EXPECT_EQ(1UL, map.size());
}

TEST(WindowMap, AbsentHandlesGiveZeroAndChangeNothing) {
    ziWindowMap map(WindowHashProc, 97);
    map.insert(H(10), W(1));
    EXPECT_EQ(nullptr, map.get(H(11)));
    EXPECT_EQ(nullptr, map.remove(H(11)));
    EXPECT_EQ(W(1), map.get(H(10)));
    EXPECT_EQ(W(1), map.remove(H(10)));
    EXPECT_EQ(nullptr, map.get(H(10)));
    EXPECT_EQ(nullptr, map.remove(H(10)));
}

TEST(WindowMap, CollidingHandlesShareABucketAndAreBothFound) {
    ziWindowMap map(WindowHashProc, 97);
    HWND a = H(1), b = H(1 + 97);
    ASSERT_EQ(map.bucketOf(a), map.bucketOf(b));
    map.insert(a, W(1));
    map.insert(b, W(2));
    EXPECT_EQ(W(1), map.get(a));
    EXPECT_EQ(W(2), map.get(b));
    EXPECT_EQ(W(1), map.remove(a));
    EXPECT_EQ(W(2), map.get(b));
}

TEST(WindowMap, SurvivesInsertAndRemoveStorms) {
    ziWindowMap map(WindowHashProc, 97);
    std::map<UINT_PTR, zWindow*> model;
    std::mt19937 rng(7);
    for (int round = 0; round < 20000; ++round) {
        UINT_PTR h = 1 + rng() % 3000;
        zWindow* w = W(1 + (int)(rng() % 1000));
        if (rng() % 3) {
            auto it = model.find(h);
            zWindow* old = it == model.end() ? nullptr : it->second;
            ASSERT_EQ(old, map.insert(H(h), w));
            model[h] = w;
        } else {
            auto it = model.find(h);
            zWindow* old = it == model.end() ? nullptr : it->second;
            ASSERT_EQ(old, map.remove(H(h)));
            model.erase(h);
        }
    }
    EXPECT_EQ(model.size(), map.size());
    for (auto& kv : model) EXPECT_EQ(kv.second, map.get(H(kv.first)));
}

}  // namespace
