#include <gtest/gtest.h>

#include <string>

#include "zGeometry.h"

namespace {

// A list link that reports its own destruction.
struct Spy : zPlink {
    Spy(zLink* after, void* item, int* freed) : zPlink(after, item), freed_(freed) {}
    ~Spy() { ++*freed_; }
    int* freed_;
};

char A = 'a', B = 'b', C = 'c', D = 'd';

std::string Walk(zPlist& l) {
    std::string s;
    zPListIter it(&l);
    while (void* p = it.Iter()) s += *static_cast<char*>(p);
    return s;
}

}  // namespace

TEST(zRect, IntersectAndUnion) {
    struct {
        zRect a, b, inter, uni;
    } cases[] = {
        {{0, 0, 10, 10}, {5, 5, 20, 20}, {5, 5, 10, 10}, {0, 0, 20, 20}},
        {{0, 0, 10, 10}, {10, 0, 20, 10}, {0, 0, 0, 0}, {0, 0, 20, 10}},  // shared edge only
        {{0, 0, 10, 10}, {2, 2, 4, 4}, {2, 2, 4, 4}, {0, 0, 10, 10}},
        {{0, 0, 0, 0}, {5, 5, 6, 6}, {0, 0, 0, 0}, {0, 0, 6, 6}},  // empty rectangles are not special in a union
    };
    for (auto& c : cases) {
        EXPECT_EQ(c.inter, c.a.rectIntersect(c.b));
        EXPECT_EQ(c.inter, c.b.rectIntersect(c.a));
        EXPECT_EQ(c.uni, c.a.rectUnion(c.b));
    }
}

TEST(zPlist, RemovedLinkIsFreedWhenTheIteratorLeavesIt) {
    int freed = 0;
    zPlist l;
    new Spy(l.back, &A, &freed);
    new Spy(l.back, &B, &freed);
    new Spy(l.back, &C, &freed);
    zPListIter it(&l);
    EXPECT_EQ(&A, it.Iter());
    EXPECT_EQ(&B, it.Iter());
    it.remove();
    EXPECT_EQ(0, freed);  // still stood on
    EXPECT_EQ(&C, it.Iter());
    EXPECT_EQ(1, freed);
    EXPECT_EQ(nullptr, it.Iter());
    EXPECT_EQ("ac", Walk(l));
    // a fresh pass starts from the head again
    EXPECT_EQ(&A, it.Iter());
    it.reset();
    EXPECT_EQ(2, l.entries());
}

TEST(zPlist, TwoIteratorsOnOneRemovedLink) {
    int freed = 0;
    zPlist l;
    new Spy(l.back, &A, &freed);
    new Spy(l.back, &B, &freed);
    zPListIter one(&l), two(&l);
    one.Iter();
    two.Iter();  // both on A
    one.remove();
    EXPECT_EQ(&B, one.Iter());
    EXPECT_EQ(0, freed);  // two still stands on A
    EXPECT_EQ(&B, two.Iter());
    EXPECT_EQ(1, freed);
    EXPECT_EQ("b", Walk(l));
}

TEST(zPlist, EditsFromInsideTheLoop) {
    int freed = 0;
    zPlist l;
    new Spy(l.back, &A, &freed);
    Spy* b = new Spy(l.back, &B, &freed);
    new Spy(l.back, &C, &freed);
    std::string seen;
    zPListIter it(&l);
    while (void* p = it.Iter()) {
        seen += *static_cast<char*>(p);
        if (p == &A) {
            // code called from the loop removes the next link and adds one at the end
            zPListIter inner(&l);
            while (void* q = inner.Iter())
                if (q == &B) inner.remove();
            new Spy(l.back, &D, &freed);
        }
    }
    EXPECT_EQ("acd", seen);
    EXPECT_EQ(1, freed);
    (void)b;
    EXPECT_EQ(&A, l.pop());
    EXPECT_EQ(&D, l.dequeue());
    EXPECT_EQ("c", Walk(l));
    EXPECT_EQ(&C, l.pop());
    EXPECT_EQ(nullptr, l.pop());
    EXPECT_EQ(nullptr, l.dequeue());
}

TEST(zSlist, HeadTailJoinAndIteration) {
    zSlist one(&A);
    EXPECT_EQ(&A, one.head());
    EXPECT_EQ(&A, one.tail());
    EXPECT_EQ(&A, one.remHead());
    EXPECT_EQ(nullptr, one.head());
    EXPECT_EQ(nullptr, one.remHead());

    zSlist l;
    EXPECT_EQ(1, l.atTail(&B));
    EXPECT_EQ(1, l.atHead(&A));
    zSlist other;
    other.atTail(&C);
    other.atTail(&D);
    EXPECT_EQ(1, l.join(&other));
    EXPECT_EQ(0, other.entries());
    EXPECT_EQ(nullptr, other.head());
    EXPECT_EQ(4, l.entries());
    EXPECT_EQ(&D, l.tail());

    zSlistIter it(&l);
    EXPECT_EQ(&A, it.getNext());
    EXPECT_EQ(&A, it.getItemNum(0));
    EXPECT_EQ(&D, it.getItemNum(3));
    EXPECT_EQ(nullptr, it.getItemNum(4));
    EXPECT_EQ(nullptr, it.getItemNum(-1));
    EXPECT_EQ(&B, it.getNext());  // position unchanged by getItemNum
    EXPECT_EQ(&C, it.getNext());
    EXPECT_EQ(&D, it.getNext());
    EXPECT_EQ(nullptr, it.getNext());
    EXPECT_EQ(nullptr, it.getNext());

    zSlist empty;
    zSlistIter none(&empty);
    EXPECT_EQ(nullptr, none.getNext());
    EXPECT_EQ(nullptr, none.getItemNum(0));
}

TEST(zDblList, IterateJumpFindRemove) {
    zDblList l;
    l.append(&B);
    l.append(&C);
    l.prepend(&A);
    l.append(&D);
    EXPECT_EQ(4, l.entries());
    EXPECT_EQ(&A, l.nthNode(0));
    EXPECT_EQ(&D, l.nthNode(3));
    EXPECT_EQ(nullptr, l.nthNode(4));
    EXPECT_EQ(nullptr, l.nthNode(-1));

    zDListIter it(&l);
    EXPECT_EQ(0, it.jumpTo(4));
    EXPECT_EQ(nullptr, it.current());  // did not move
    EXPECT_EQ(1, it.jumpTo(1));
    it.remove();  // forwards: the next step reaches what followed
    EXPECT_EQ(&C, it());
    EXPECT_EQ(3, l.entries());

    zDListIter back(&l, 1);
    EXPECT_EQ(&D, back());
    EXPECT_EQ(&C, back());
    back.remove();  // backwards: the next step reaches what preceded
    EXPECT_EQ(&A, back());
    EXPECT_EQ(nullptr, back());

    EXPECT_EQ(&D, it.find(&D));
    EXPECT_EQ(nullptr, it.find(&C));
    EXPECT_EQ(1, l.findAndRemove(&A));
    EXPECT_EQ(0, l.findAndRemove(&A));
    EXPECT_EQ(1, l.entries());

    zDblList owned;
    owned.append(new int(5));
    owned.append(new int(6));
    owned.removeAll(1);
    EXPECT_EQ(0, owned.entries());
    EXPECT_EQ(&owned, owned.next);
}
