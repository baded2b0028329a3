#pragma once
// Intrusive singly and doubly linked lists (the caller owns the links) and the
// small-block cache that the library's tiny objects allocate through.
#include <cstddef>
#include "ZKxmsg.h"

class ZKIsvSlink {
public:
    ZKIsvSlink() : next_(0) {}
    virtual ~ZKIsvSlink() {}
    ZKIsvSlink* next() const { return next_; }

private:
    friend class ZKIsvSlist;
    friend class ZKIsvSlistIterator;
    ZKIsvSlink* next_;
};

class ZKIsvDlink {
public:
    ZKIsvDlink() : next_(0), prev_(0) {}
    virtual ~ZKIsvDlink() {}
    ZKIsvDlink* next() const { return next_; }
    ZKIsvDlink* prev() const { return prev_; }

private:
    friend class ZKIsvDlist;
    friend class ZKIsvDlistIterator;
    ZKIsvDlink* next_;
    ZKIsvDlink* prev_;
};

class ZKIsvSlist {
public:
    ZKIsvSlist() { init(); }
    explicit ZKIsvSlist(ZKIsvSlink* first);
    ZKIsvSlist(const ZKIsvSlist&) = delete;
    ZKIsvSlist& operator=(const ZKIsvSlist&) = delete;

    void init();
    void clear() { init(); }
    ZKSize_T entries() const { return n_; }
    bool isEmpty() const { return n_ == 0; }
    ZKIsvSlink* first() const { return n_ ? head_.next_ : 0; }
    ZKIsvSlink* lastLink() const { return n_ ? last_ : 0; }

    ZKIsvSlink* at(ZKSize_T i) const;
    void insertAt(ZKSize_T i, ZKIsvSlink* link);
    ZKIsvSlink* removeAt(ZKSize_T i);
    void insertAfterLink(ZKIsvSlink* after, ZKIsvSlink* link);
    ZKIsvSlink* removeReference(ZKIsvSlink* link);
    ZKIsvSlink* removeRight(ZKIsvSlink* link);
    // The predecessor of link (the head sentinel for the first), or the list's
    // own head when link is not chained.
    ZKIsvSlink* findLeftIsv(ZKIsvSlink* link) const;
    bool containsReference(const ZKIsvSlink* link) const;

    ZKIsvSlink* headLink() { return &head_; }
    ZKIsvSlink* tailLink() { return &tail_; }

private:
    friend class ZKIsvSlistIterator;
    ZKIsvSlink head_;
    ZKIsvSlink tail_;
    ZKIsvSlink* last_;
    ZKSize_T n_;
};

class ZKIsvDlist {
public:
    ZKIsvDlist() { init(); }
    explicit ZKIsvDlist(ZKIsvDlink* first);
    ZKIsvDlist(const ZKIsvDlist&) = delete;
    ZKIsvDlist& operator=(const ZKIsvDlist&) = delete;

    void init();
    void clear() { init(); }
    ZKSize_T entries() const { return n_; }
    bool isEmpty() const { return n_ == 0; }
    ZKIsvDlink* first() const { return n_ ? head_.next_ : 0; }
    ZKIsvDlink* lastLink() const { return n_ ? tail_.prev_ : 0; }

    ZKIsvDlink* at(ZKSize_T i) const;
    void insertAt(ZKSize_T i, ZKIsvDlink* link);
    ZKIsvDlink* removeAt(ZKSize_T i);
    void insertAfterLink(ZKIsvDlink* after, ZKIsvDlink* link);
    ZKIsvDlink* removeReference(ZKIsvDlink* link);
    bool containsReference(const ZKIsvDlink* link) const;

    ZKIsvDlink* headLink() { return &head_; }
    ZKIsvDlink* tailLink() { return &tail_; }

private:
    friend class ZKIsvDlistIterator;
    ZKIsvDlink head_;
    ZKIsvDlink tail_;
    ZKSize_T n_;
};

class ZKIsvSlistIterator {
public:
    explicit ZKIsvSlistIterator(ZKIsvSlist& l) { reset(l); }
    void reset(ZKIsvSlist& l) { list_ = &l; cur_ = &l.head_; }
    void reset() { cur_ = &list_->head_; }
    void toFirst();
    void toLast();
    bool atFirst() const;
    bool atLast() const;
    // Steps n links on; the link reached, or 0 at the end.
    ZKIsvSlink* operator+=(ZKSize_T n);
    ZKIsvSlink* operator++() { return *this += 1; }
    ZKIsvSlink* key() const;
    void insertAfterPoint(ZKIsvSlink* link);
    // Unlinks the current link and stands on its predecessor.
    ZKIsvSlink* remove();

private:
    ZKIsvSlist* list_;
    ZKIsvSlink* cur_;
};

class ZKIsvDlistIterator {
public:
    explicit ZKIsvDlistIterator(ZKIsvDlist& l) { reset(l); }
    void reset(ZKIsvDlist& l) { list_ = &l; cur_ = &l.head_; }
    void reset() { cur_ = &list_->head_; }
    void toFirst();
    void toLast();
    bool atFirst() const;
    bool atLast() const;
    ZKIsvDlink* operator+=(ZKSize_T n);
    ZKIsvDlink* operator-=(ZKSize_T n);
    ZKIsvDlink* operator++() { return *this += 1; }
    ZKIsvDlink* operator--() { return *this -= 1; }
    ZKIsvDlink* key() const;
    void insertAfterPoint(ZKIsvDlink* link);
    ZKIsvDlink* remove();

private:
    ZKIsvDlist* list_;
    ZKIsvDlink* cur_;
};

// Cache of freed blocks of 1-10 bytes: five size classes of at most five blocks.
class ZKMemoryPool {
public:
    static void* operator new(size_t size);
    static void operator delete(void* block, size_t size);
    static void releaseCachedMemory();
    static int cached(int sizeClass);

    enum { classes = 5, perClass = 5 };
};
