#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZKList.h"

namespace {

struct SNode : ZKIsvSlink {
    explicit SNode(char c) : name(c) {}
    char name;
};

struct DNode : ZKIsvDlink {
    explicit DNode(char c) : name(c) {}
    char name;
};

std::string Names(ZKIsvSlist& l) {
    std::string s;
    ZKIsvSlistIterator it(l);
    while (ZKIsvSlink* k = ++it) s += static_cast<SNode*>(k)->name;
    return s;
}

std::string Names(ZKIsvDlist& l) {
    std::string s;
    ZKIsvDlistIterator it(l);
    while (ZKIsvDlink* k = ++it) s += static_cast<DNode*>(k)->name;
    return s;
}

std::string BoundsText(void (*f)(void*), void* arg) {
    try {
        f(arg);
    } catch (const ZKBoundsErr& e) {
        return e.why();
    }
    return "<no error>";
}

}  // namespace

TEST(ZKIsvSlist, InsertRemoveAndBounds) {
    SNode a('a'), b('b'), c('c'), d('d');
    ZKIsvSlist l(&b);
    EXPECT_EQ(1u, l.entries());
    l.insertAt(0, &a);
    l.insertAt(2, &d);  // count: appends
    l.insertAfterLink(&b, &c);
    EXPECT_EQ("abcd", Names(l));
    EXPECT_EQ(&d, l.lastLink());
    EXPECT_EQ(&c, l.at(2));
    EXPECT_EQ("[INDEXERR] Illegal Index (5) for collection or string with 4 elements",
              BoundsText([](void* p) { SNode x('x'); static_cast<ZKIsvSlist*>(p)->insertAt(5, &x); }, &l));
    EXPECT_EQ("[NPOSINDEX] The value ZK_NPOS cannot be used as an index.",
              BoundsText([](void* p) { static_cast<ZKIsvSlist*>(p)->at(ZK_NPOS); }, &l));
    EXPECT_EQ("abcd", Names(l));

    EXPECT_EQ(&d, l.removeAt(3));  // the last link is corrected
    EXPECT_EQ(&c, l.lastLink());
    SNode e('e');
    l.insertAt(3, &e);
    EXPECT_EQ("abce", Names(l));
    EXPECT_EQ(&a, l.removeReference(&a));
    EXPECT_EQ(nullptr, a.next());
    EXPECT_EQ("bce", Names(l));

    // not chained: nothing happens
    EXPECT_EQ(nullptr, l.removeReference(&d));
    EXPECT_EQ(nullptr, l.removeReference(nullptr));
    EXPECT_EQ("bce", Names(l));
    EXPECT_EQ(3u, l.entries());
    EXPECT_FALSE(l.containsReference(&a));
    EXPECT_TRUE(l.containsReference(&e));
    EXPECT_EQ(l.headLink(), l.findLeftIsv(&d));
    EXPECT_EQ(&b, l.findLeftIsv(&c));
    EXPECT_EQ(&e, l.removeReference(&e));
    EXPECT_EQ(&c, l.lastLink());
}

TEST(ZKIsvSlist, IteratorRemovesDuringWalk) {
    SNode n[5] = {SNode('a'), SNode('b'), SNode('c'), SNode('d'), SNode('e')};
    ZKIsvSlist l;
    for (auto& x : n) l.insertAt(l.entries(), &x);
    std::string seen;
    ZKIsvSlistIterator it(l);
    while (ZKIsvSlink* k = ++it) {
        char c = static_cast<SNode*>(k)->name;
        seen += c;
        if (c == 'b' || c == 'e') {
            EXPECT_EQ(k, it.remove());
        }
    }
    EXPECT_EQ("abcde", seen);
    EXPECT_EQ("acd", Names(l));
    EXPECT_EQ(&n[3], l.lastLink());

    it.reset();
    it.toLast();
    EXPECT_TRUE(it.atLast());
    SNode f('f');
    it.insertAfterPoint(&f);
    EXPECT_EQ(&f, l.lastLink());
    it.toFirst();
    EXPECT_TRUE(it.atFirst());
    EXPECT_EQ(&n[0], it.remove());
    EXPECT_EQ(nullptr, it.remove());  // now on the head sentinel
    EXPECT_EQ("cdf", Names(l));
}

TEST(ZKIsvDlist, InsertRemoveAndIterateBothWays) {
    DNode a('a'), b('b'), c('c'), d('d');
    ZKIsvDlist l;
    l.insertAt(0, &b);
    l.insertAt(0, &a);
    l.insertAt(2, &d);
    l.insertAt(2, &c);
    EXPECT_EQ("abcd", Names(l));
    EXPECT_EQ("[INDEXERR] Illegal Index (5) for collection or string with 4 elements",
              BoundsText([](void* p) { DNode x('x'); static_cast<ZKIsvDlist*>(p)->insertAt(5, &x); }, &l));
    EXPECT_EQ(&b, l.removeAt(1));
    EXPECT_EQ("acd", Names(l));
    EXPECT_EQ(nullptr, l.removeReference(&b));

    ZKIsvDlistIterator it(l);
    it.toLast();
    std::string back;
    back += static_cast<DNode*>(it.key())->name;
    while (ZKIsvDlink* k = --it) back += static_cast<DNode*>(k)->name;
    EXPECT_EQ("dca", back);

    it.reset();
    std::string fwd;
    while (ZKIsvDlink* k = ++it) {
        fwd += static_cast<DNode*>(k)->name;
        if (static_cast<DNode*>(k)->name != 'd') {
            EXPECT_EQ(k, it.remove());
        }
    }
    EXPECT_EQ("acd", fwd);
    EXPECT_EQ("d", Names(l));
    EXPECT_EQ(&d, l.first());
    EXPECT_EQ(&d, l.lastLink());
}

namespace {
struct Tiny : ZKMemoryPool {
    char bytes[4];
};
}  // namespace

TEST(ZKMemoryPool, CachesFiveBlocksPerClass) {
    ZKMemoryPool::releaseCachedMemory();
    Tiny* t[6];
    for (auto*& p : t) p = new Tiny;
    for (int i = 0; i < 5; ++i) delete t[i];
    EXPECT_EQ(5, ZKMemoryPool::cached(1));  // 4 bytes: class 1
    delete t[5];                            // the sixth is freed at once
    EXPECT_EQ(5, ZKMemoryPool::cached(1));
    Tiny* again = new Tiny;
    EXPECT_EQ(t[4], again);  // the most recently cached block first
    EXPECT_EQ(4, ZKMemoryPool::cached(1));
    delete again;
    ZKMemoryPool::releaseCachedMemory();
    EXPECT_EQ(0, ZKMemoryPool::cached(1));

    struct {
        size_t size;
        int cls;
    } classes[] = {{1, 0}, {2, 0}, {3, 1}, {9, 4}, {10, 4}, {11, -1}, {0, -1}};
    for (auto& c : classes) {
        void* p = ZKMemoryPool::operator new(c.size);
        ZKMemoryPool::operator delete(p, c.size);
        for (int k = 0; k < ZKMemoryPool::classes; ++k)
            EXPECT_EQ(k == c.cls ? 1 : 0, ZKMemoryPool::cached(k)) << "size " << c.size;
        ZKMemoryPool::releaseCachedMemory();
    }
}
