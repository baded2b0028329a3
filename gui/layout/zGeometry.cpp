#include "zGeometry.h"

#include <cstdlib>
#include <new>

#include "zWindow.h"

zRect zRect::rectIntersect(const zRect& o) const {
    int l = left > o.left ? left : o.left;
    int t = top > o.top ? top : o.top;
    int r = right < o.right ? right : o.right;
    int b = bottom < o.bottom ? bottom : o.bottom;
    if (l < r && t < b) return zRect(l, t, r, b);
    return zRect();
}

zRect zRect::rectUnion(const zRect& o) const {
    return zRect(left < o.left ? left : o.left, top < o.top ? top : o.top, right > o.right ? right : o.right,
                 bottom > o.bottom ? bottom : o.bottom);
}

void zPoint::translate(zWindow* from, zWindow* to) {
    if (from == to) return;
    POINT p = {x, y};
    if (from) ClientToScreen(from->windowHandle(), &p);
    if (to) ScreenToClient(to->windowHandle(), &p);
    x = p.x;
    y = p.y;
}

// ---- Family 1 ---------------------------------------------------------------

zLink::zLink(zLink* after) : next(after->next), back(after), count(0) {
    after->next = this;
    if (next) next->back = this;
}

void zLink::remove() {
    if (back) back->next = next;
    if (next) next->back = back;
    next = back = this;
}

zDlist::~zDlist() {
    // The links belong to their owners; only detach them.
    while (next != this) next->remove();
}

zPlist::~zPlist() {
    while (next != this) delete next;
}

void* zPlist::pop() {
    if (next == this) return 0;
    zPlink* l = static_cast<zPlink*>(next);
    void* item = l->item;
    delete l;
    return item;
}

void* zPlist::dequeue() {
    if (back == this) return 0;
    zPlink* l = static_cast<zPlink*>(back);
    void* item = l->item;
    delete l;
    return item;
}

void* zPlist::first() const {
    for (zLink* l = next; l != this; l = l->next) {
        zPlink* p = static_cast<zPlink*>(l);
        if (!p->removed) return p->item;
    }
    return 0;
}

int zPlist::entries() const {
    int n = 0;
    for (zLink* l = next; l != this; l = l->next)
        if (!static_cast<zPlink*>(l)->removed) ++n;
    return n;
}

void zPListIter::leave(zPlink* l) {
    if (--l->count <= 0 && l->removed && l != list_) delete l;
}

void* zPListIter::Iter() {
    zPlink* c = cur_;
    if (!c) {
        c = list_;
        ++c->count;  // balanced by the first leave below
    }
    for (;;) {
        zPlink* nx = static_cast<zPlink*>(c->next);
        leave(c);
        c = nx;
        if (c == list_) {
            cur_ = 0;
            return 0;
        }
        ++c->count;
        if (!c->removed) {
            cur_ = c;
            return c->item;
        }
    }
}

void zPListIter::remove() {
    if (cur_) cur_->removed = 1;
}

void zPListIter::reset() {
    if (cur_) {
        zPlink* c = cur_;
        cur_ = 0;
        leave(c);
    }
}

// ---- Family 2 ---------------------------------------------------------------

zSlist::zSlist(void* item) : last_(0), count_(0) { atTail(item); }

zSlist::~zSlist() {
    while (last_) remHead();
}

int zSlist::atHead(void* item) {
    zSlink* l = new (std::nothrow) zSlink;
    if (!l) return 0;
    l->item = item;
    if (last_) {
        l->next = last_->next;
        last_->next = l;
    } else {
        l->next = l;
        last_ = l;
    }
    ++count_;
    return 1;
}

int zSlist::atTail(void* item) {
    if (!atHead(item)) return 0;
    last_ = last_->next;
    return 1;
}

void* zSlist::remHead() {
    if (!last_) return 0;
    zSlink* f = last_->next;
    if (f == last_) last_ = 0;
    else last_->next = f->next;
    void* item = f->item;
    delete f;
    --count_;
    return item;
}

int zSlist::join(zSlist* other) {
    if (!other || other == this || !other->last_) return 1;
    if (!last_) {
        last_ = other->last_;
    } else {
        zSlink* myFirst = last_->next;
        last_->next = other->last_->next;
        other->last_->next = myFirst;
        last_ = other->last_;
    }
    count_ += other->count_;
    other->last_ = 0;
    other->count_ = 0;
    return 1;
}

void* zSlistIter::getNext() {
    if (!cur_) return 0;
    zSlink* n = cur_->next;
    cur_ = n == start_ ? 0 : n;
    return n->item;
}

void* zSlistIter::getItemNum(int n) const {
    if (n < 0 || !start_) return 0;
    zSlink* l = start_->next;
    for (int i = 0; i < n; ++i) {
        if (l == start_) return 0;
        l = l->next;
    }
    return l->item;
}

// ---- Family 3 ---------------------------------------------------------------

void zDListNode::insert(zDListNode* node) {
    node->next = this;
    node->prev = prev;
    prev->next = node;
    prev = node;
}

void zDListNode::unlink() {
    prev->next = next;
    next->prev = prev;
    next = prev = this;
}

zDListNode* zDblList::append(void* item) {
    zDListNode* n = new zDListNode(item);
    insert(n);
    ++count;
    return n;
}

zDListNode* zDblList::prepend(void* item) {
    zDListNode* n = new zDListNode(item);
    next->insert(n);
    ++count;
    return n;
}

void* zDblList::nthNode(int n) {
    zDListIter it(this);
    return it.jumpTo(n) ? it.current() : 0;
}

int zDblList::findAndRemove(const void* item) {
    zDListIter it(this);
    if (!item || !it.find(item)) return 0;
    it.remove();
    return 1;
}

void zDblList::removeAll(int deleteItems) {
    zDListNode* n = next;
    while (n != this && n->item) {
        zDListNode* nx = n->next;
        if (deleteItems) ::operator delete(n->item);
        delete n;
        n = nx;
    }
    next = prev = this;
    count = 0;
}

void* zDListIter::operator()() {
    cur_ = dir_ ? cur_->prev : cur_->next;
    return cur_ == list_ ? 0 : cur_->item;
}

int zDListIter::jumpTo(int n) {
    if (n < 0 || n >= list_->count) return 0;
    zDListNode* p = list_->next;
    while (n--) p = p->next;
    cur_ = p;
    return 1;
}

void* zDListIter::find(const void* item) {
    zDListNode* p = list_->next;
    while (p->item && p->item != item) p = p->next;
    cur_ = p;
    return p->item;
}

void zDListIter::remove() {
    if (cur_ == list_) return;
    zDListNode* gone = cur_;
    cur_ = dir_ ? gone->next : gone->prev;
    gone->unlink();
    --list_->count;
    delete gone;
}
