#include <gtest/gtest.h>

#include <string>

#include "ZKCStringSlist.h"
#include "ZKTPtrList.h"
#include "zStringSlist.h"

namespace {

// Counts live items, so a test sees which operations delete them.
struct Item {
    static int alive;
    explicit Item(char c) : name(c) { ++alive; }
    ~Item() { --alive; }
    char name;
};
int Item::alive = 0;

template <class List, class Iter>
std::string Names(List& l) {
    std::string s;
    Iter it(l);
    while (Item* p = it()) s += p->name;
    return s;
}

template <class List, class Iter>
void PointerListBehaves() {
    Item::alive = 0;
    {
        List l;
        EXPECT_EQ(nullptr, l.first());
        EXPECT_EQ(nullptr, l.get());
        l.append(new Item('b'));
        l.append(new Item('c'));
        l.prepend(new Item('a'));
        EXPECT_EQ("abc", (Names<List, Iter>(l)));
        EXPECT_EQ(3u, l.entries());
        EXPECT_EQ('a', l.first()->name);
        EXPECT_EQ('c', l.last()->name);
        EXPECT_EQ('b', l.at(1)->name);
        EXPECT_THROW(l.at(3), ZKBoundsErr);

        Item* a = l.get();
        EXPECT_EQ('a', a->name);
        delete a;
        l.append(new Item('d'));  // the last link is still right after taking the first
        EXPECT_EQ("bcd", (Names<List, Iter>(l)));

        List other;
        other.append(new Item('e'));
        l.join(other);
        EXPECT_TRUE(other.isEmpty());
        EXPECT_EQ("bcde", (Names<List, Iter>(l)));

        Item* kept = l.first();
        l.clear();  // links only
        EXPECT_EQ(0u, l.entries());
        EXPECT_EQ(4, Item::alive);
        delete kept;
        l.append(new Item('x'));
        l.append(new Item('y'));
        l.clearAndDestroy();
        EXPECT_EQ(3, Item::alive);  // c, d and e were let go by clear()
    }
    EXPECT_EQ(3, Item::alive);  // the destructor deletes no items
}

}  // namespace

TEST(ZKTPtrList, SinglyAndDoublyLinkedListsKeepOrderAndOwnership) {
    PointerListBehaves<ZKTPtrSlist<Item>, ZKTPtrSlistIterator<Item>>();
    PointerListBehaves<ZKTPtrDlist<Item>, ZKTPtrDlistIterator<Item>>();
}

TEST(ZKTPtrList, StringListsKeepTheirOwnCopies) {
    ZKCString text("one");
    ZKCStringSlist ks;
    ks.append(text);
    ks.append("two");
    text = "changed";
    EXPECT_STREQ("one", ks.at(0).data());
    EXPECT_STREQ("two", ks.at(1).data());

    zStringSlist zs;
    zs.append(zString("b"));
    zs.prepend(zString("a"));
    std::string seen;
    ZKTPtrSlistIterator<zString> it(zs.items());
    while (zString* s = it()) seen += s->data();
    EXPECT_EQ("ab", seen);
    it.reset();
    EXPECT_STREQ("a", it()->data());
    zs.clear();
    EXPECT_EQ(0u, zs.entries());
}
