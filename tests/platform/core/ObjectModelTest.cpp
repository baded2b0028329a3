#include <gtest/gtest.h>

#include "BaseItem.h"
#include "Chain.h"
#include "SpControl.h"

namespace {

class ITEM : public STORABLE {
public:
    explicit ITEM(int v = 0) : value(v) {}
    int value;
    QV_ITEM_IDENTITY(ITEM, "ITEM", "ITEM")
};

}  // namespace

TEST(ObjectModel, LibraryIsSetUpBeforeStatics) {
    ASSERT_NE(nullptr, _pSupport);
    ASSERT_NE(nullptr, _pSystemMemoryPool);
    ASSERT_NE(nullptr, _pCOMSPTRA);
    EXPECT_EQ(GetCurrentThreadId(), _pSupport->mainThread.threadId);
    EXPECT_STREQ("SPCONTROL", _pSupport->ItemClassName());
    EXPECT_EQ(QvTag("SPCT"), _pSupport->ItemClassID());
}

TEST(ObjectModel, ChainHoldsObjects) {
    CHAIN<ITEM> chain;
    ITEM* a = new ITEM(1);
    ITEM* b = new ITEM(2);
    chain.Add(*a);
    chain.Add(*b);
    EXPECT_EQ(2, chain.Count());
    EXPECT_EQ(1, a->chainCount);
    chain.RemoveAll(TRUE, nullptr);
    EXPECT_EQ(0, chain.Count());
}
