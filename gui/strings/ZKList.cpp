#include "ZKList.h"

#include <cstdlib>

// ---- singly linked ----------------------------------------------------------

void ZKIsvSlist::init() {
    head_.next_ = &tail_;
    tail_.next_ = &tail_;
    last_ = &head_;
    n_ = 0;
}

ZKIsvSlist::ZKIsvSlist(ZKIsvSlink* first) {
    init();
    if (first) insertAfterLink(&head_, first);
}

ZKIsvSlink* ZKIsvSlist::at(ZKSize_T i) const {
    if (i >= n_) zkRaiseIndexErr(i, n_);
    ZKIsvSlink* l = head_.next_;
    while (i--) l = l->next_;
    return l;
}

void ZKIsvSlist::insertAt(ZKSize_T i, ZKIsvSlink* link) {
    if (i > n_) zkRaiseIndexErr(i, n_);
    ZKIsvSlink* after = i == 0 ? &head_ : (i == n_ ? last_ : at(i - 1));
    insertAfterLink(after, link);
}

ZKIsvSlink* ZKIsvSlist::removeAt(ZKSize_T i) {
    if (i >= n_) zkRaiseIndexErr(i, n_);
    return removeRight(i == 0 ? &head_ : at(i - 1));
}

void ZKIsvSlist::insertAfterLink(ZKIsvSlink* after, ZKIsvSlink* link) {
    if (!link) return;
    if (!after) after = &head_;
    link->next_ = after->next_;
    after->next_ = link;
    if (after == last_) last_ = link;
    ++n_;
}

ZKIsvSlink* ZKIsvSlist::removeRight(ZKIsvSlink* link) {
    if (!link || link == &tail_) return 0;
    ZKIsvSlink* r = link->next_;
    if (!r || r == &tail_) return 0;
    link->next_ = r->next_;
    if (r == last_) last_ = link;
    r->next_ = 0;
    --n_;
    return r;
}

ZKIsvSlink* ZKIsvSlist::findLeftIsv(ZKIsvSlink* link) const {
    ZKIsvSlist* self = const_cast<ZKIsvSlist*>(this);
    // The tail points at the sought link so that the walk always stops.
    ZKIsvSlink* saved = tail_.next_;
    self->tail_.next_ = link;
    ZKIsvSlink* p = self->headLink();
    while (p->next_ != link) p = p->next_;
    self->tail_.next_ = saved;
    return p == &tail_ ? self->headLink() : p;
}

ZKIsvSlink* ZKIsvSlist::removeReference(ZKIsvSlink* link) {
    if (!link || link == &head_ || link == &tail_) return 0;
    ZKIsvSlink* left = findLeftIsv(link);
    if (left->next_ != link) return 0;
    return removeRight(left);
}

bool ZKIsvSlist::containsReference(const ZKIsvSlink* link) const {
    if (!link || link == &head_ || link == &tail_) return false;
    for (ZKIsvSlink* p = head_.next_; p != &tail_; p = p->next_)
        if (p == link) return true;
    return false;
}

// ---- doubly linked ----------------------------------------------------------

void ZKIsvDlist::init() {
    head_.prev_ = 0;
    head_.next_ = &tail_;
    tail_.prev_ = &head_;
    tail_.next_ = 0;
    n_ = 0;
}

ZKIsvDlist::ZKIsvDlist(ZKIsvDlink* first) {
    init();
    if (first) insertAfterLink(&head_, first);
}

ZKIsvDlink* ZKIsvDlist::at(ZKSize_T i) const {
    if (i >= n_) zkRaiseIndexErr(i, n_);
    ZKIsvDlink* l = head_.next_;
    while (i--) l = l->next_;
    return l;
}

void ZKIsvDlist::insertAt(ZKSize_T i, ZKIsvDlink* link) {
    if (i > n_) zkRaiseIndexErr(i, n_);
    ZKIsvDlink* after = i == 0 ? &head_ : (i == n_ ? tail_.prev_ : at(i - 1));
    insertAfterLink(after, link);
}

ZKIsvDlink* ZKIsvDlist::removeAt(ZKSize_T i) {
    if (i >= n_) zkRaiseIndexErr(i, n_);
    return removeReference(at(i));
}

void ZKIsvDlist::insertAfterLink(ZKIsvDlink* after, ZKIsvDlink* link) {
    if (!link) return;
    if (!after || after == &tail_) after = tail_.prev_;
    link->prev_ = after;
    link->next_ = after->next_;
    after->next_->prev_ = link;
    after->next_ = link;
    ++n_;
}

ZKIsvDlink* ZKIsvDlist::removeReference(ZKIsvDlink* link) {
    if (!link || link == &head_ || link == &tail_ || !link->next_ || !link->prev_) return 0;
    link->prev_->next_ = link->next_;
    link->next_->prev_ = link->prev_;
    link->next_ = link->prev_ = 0;
    --n_;
    return link;
}

bool ZKIsvDlist::containsReference(const ZKIsvDlink* link) const {
    if (!link || link == &head_ || link == &tail_) return false;
    for (ZKIsvDlink* p = head_.next_; p != &tail_; p = p->next_)
        if (p == link) return true;
    return false;
}

// ---- iterators --------------------------------------------------------------

void ZKIsvSlistIterator::toFirst() { cur_ = list_->head_.next_; }
void ZKIsvSlistIterator::toLast() { cur_ = list_->n_ ? list_->last_ : &list_->tail_; }
bool ZKIsvSlistIterator::atFirst() const { return list_->n_ && cur_ == list_->head_.next_; }
bool ZKIsvSlistIterator::atLast() const { return list_->n_ && cur_ == list_->last_; }

ZKIsvSlink* ZKIsvSlistIterator::key() const {
    return (cur_ == &list_->head_ || cur_ == &list_->tail_) ? 0 : cur_;
}

ZKIsvSlink* ZKIsvSlistIterator::operator+=(ZKSize_T n) {
    while (n-- && cur_ != &list_->tail_) cur_ = cur_->next_;
    return cur_ == &list_->tail_ ? 0 : cur_;
}

void ZKIsvSlistIterator::insertAfterPoint(ZKIsvSlink* link) {
    if (cur_ == &list_->tail_) cur_ = list_->last_;
    list_->insertAfterLink(cur_, link);
}

ZKIsvSlink* ZKIsvSlistIterator::remove() {
    if (!key()) return 0;
    ZKIsvSlink* left = list_->findLeftIsv(cur_);
    ZKIsvSlink* r = list_->removeRight(left);
    cur_ = left;
    return r;
}

void ZKIsvDlistIterator::toFirst() { cur_ = list_->head_.next_; }
void ZKIsvDlistIterator::toLast() { cur_ = list_->n_ ? list_->tail_.prev_ : &list_->tail_; }
bool ZKIsvDlistIterator::atFirst() const { return list_->n_ && cur_ == list_->head_.next_; }
bool ZKIsvDlistIterator::atLast() const { return list_->n_ && cur_ == list_->tail_.prev_; }

ZKIsvDlink* ZKIsvDlistIterator::key() const {
    return (cur_ == &list_->head_ || cur_ == &list_->tail_) ? 0 : cur_;
}

ZKIsvDlink* ZKIsvDlistIterator::operator+=(ZKSize_T n) {
    while (n-- && cur_ != &list_->tail_) cur_ = cur_->next_;
    return cur_ == &list_->tail_ ? 0 : cur_;
}

ZKIsvDlink* ZKIsvDlistIterator::operator-=(ZKSize_T n) {
    while (n-- && cur_ != &list_->head_) cur_ = cur_->prev_;
    return cur_ == &list_->head_ ? 0 : cur_;
}

void ZKIsvDlistIterator::insertAfterPoint(ZKIsvDlink* link) {
    list_->insertAfterLink(cur_ == &list_->tail_ ? list_->tail_.prev_ : cur_, link);
}

ZKIsvDlink* ZKIsvDlistIterator::remove() {
    if (!key()) return 0;
    ZKIsvDlink* prev = cur_->prev_;
    ZKIsvDlink* r = list_->removeReference(cur_);
    cur_ = prev;
    return r;
}

// ---- small-block pool -------------------------------------------------------

namespace {
void* g_stash[ZKMemoryPool::classes][ZKMemoryPool::perClass];
unsigned short g_nstash[ZKMemoryPool::classes];

int sizeClass(size_t size) { return (size == 0 || size > 10) ? -1 : static_cast<int>((size + 1) / 2 - 1); }
}  // namespace

void* ZKMemoryPool::operator new(size_t size) {
    int c = sizeClass(size);
    if (c >= 0 && g_nstash[c]) return g_stash[c][--g_nstash[c]];
    size_t n = (size + 1) & ~static_cast<size_t>(1);
    void* p = std::malloc(n ? n : 2);
    if (!p) ZKThrow(ZKxalloc(static_cast<ZKSize_T>(size)));
    return p;
}

void ZKMemoryPool::operator delete(void* block, size_t size) {
    if (!block) return;
    int c = sizeClass(size);
    if (c >= 0 && g_nstash[c] < perClass) {
        g_stash[c][g_nstash[c]++] = block;
        return;
    }
    std::free(block);
}

void ZKMemoryPool::releaseCachedMemory() {
    for (int c = 0; c < classes; ++c) {
        while (g_nstash[c]) std::free(g_stash[c][--g_nstash[c]]);
    }
}

int ZKMemoryPool::cached(int c) { return (c >= 0 && c < classes) ? g_nstash[c] : 0; }
