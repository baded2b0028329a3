#pragma once
// Screen geometry values and the framework's three small list families:
//  1. zLink/zPlink/zPlist/zPListIter: circular lists whose iterators tolerate
//     removal of any link while they walk (handler and child lists rely on it);
//  2. zSlink/zSlist/zSlistIter: a singly linked ring kept by its last link;
//  3. zDListNode/zDblList/zDListIter: a counted ring with a sentinel.
// No locking: the framework runs on the GUI thread only.

class zWindow;

struct zPoint {
    int x, y;
    zPoint() : x(0), y(0) {}
    zPoint(int x_, int y_) : x(x_), y(y_) {}
    bool operator==(const zPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const zPoint& o) const { return !(*this == o); }
    // Converts in place between client coordinates of two windows; a null
    // window means screen coordinates.
    void translate(zWindow* from, zWindow* to);
};

struct zDimension {
    int width, height;
    zDimension() : width(0), height(0) {}
    zDimension(int w, int h) : width(w), height(h) {}
    bool operator==(const zDimension& o) const { return width == o.width && height == o.height; }
    bool operator!=(const zDimension& o) const { return !(*this == o); }
};

// A span of positions (characters, columns): start and end, 32 bits each.
struct zRange {
    int start, end;
    zRange() : start(0), end(0) {}
    zRange(int s, int e) : start(s), end(e) {}
    int lo() const { return start < end ? start : end; }
    int hi() const { return start < end ? end : start; }
    bool operator==(const zRange& o) const { return start == o.start && end == o.end; }
    bool operator!=(const zRange& o) const { return !(*this == o); }
};

// right and bottom are exclusive edges.
struct zRect {
    int left, top, right, bottom;
    zRect() : left(0), top(0), right(0), bottom(0) {}
    zRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    zRect(const zPoint& p, const zDimension& d) : left(p.x), top(p.y), right(p.x + d.width), bottom(p.y + d.height) {}
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    zPoint topLeft() const { return zPoint(left, top); }
    zDimension extent() const { return zDimension(width(), height()); }
    bool operator==(const zRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const zRect& o) const { return !(*this == o); }
    zRect rectIntersect(const zRect& o) const;
    zRect rectUnion(const zRect& o) const;
};

// ---- Family 1 --------------------------------------------------------------

class zLink {
public:
    zLink() : next(this), back(this), count(0) {}
    explicit zLink(zLink* after);
    virtual ~zLink() { remove(); }
    void remove();
    zLink(const zLink&) = delete;
    zLink& operator=(const zLink&) = delete;

    zLink* next;
    zLink* back;  // the link whose next designates this one
    int count;    // iterators standing on this link
};

class zPlink : public zLink {
public:
    zPlink() : item(0), removed(0) {}
    zPlink(zLink* after, void* it) : zLink(after), item(it), removed(0) {}
    void* item;
    int removed;
};

class zDlist : public zLink {
public:
    zDlist() {}
    ~zDlist();
};

class zPlist : public zPlink {
public:
    zPlist() {}
    ~zPlist();
    // Adds a link carrying the item; returns it.
    zPlink* append(void* item) { return new zPlink(back, item); }
    zPlink* prepend(void* item) { return new zPlink(this, item); }
    void* pop();
    void* dequeue();
    bool isEmpty() const { return next == this; }
    void* first() const;  // first item not marked removed, or null
    int entries() const;  // links not marked removed
};

class zPListIter {
public:
    explicit zPListIter(zPlist* l) : cur_(0), list_(l) {}
    ~zPListIter() { reset(); }
    zPListIter(const zPListIter&) = delete;
    zPListIter& operator=(const zPListIter&) = delete;
    void* Iter();
    void* operator()() { return Iter(); }
    void remove();
    void reset();
    zPlink* current() const { return cur_; }

private:
    void leave(zPlink* l);
    zPlink* cur_;
    zPlist* list_;
};

// ---- Family 2 --------------------------------------------------------------

struct zSlink {
    zSlink* next;
    void* item;
};

class zSlist {
public:
    zSlist() : last_(0), count_(0) {}
    explicit zSlist(void* item);
    ~zSlist();
    zSlist(const zSlist&) = delete;
    zSlist& operator=(const zSlist&) = delete;

    int atHead(void* item);
    int atTail(void* item);
    void* remHead();
    void* head() const { return last_ ? last_->next->item : 0; }
    void* tail() const { return last_ ? last_->item : 0; }
    int join(zSlist* other);
    int entries() const { return count_; }
    zSlink* lastLink() const { return last_; }

private:
    zSlink* last_;
    int count_;
};

class zSlistIter {
public:
    explicit zSlistIter(const zSlist* l) : start_(l->lastLink()), cur_(start_) {}
    void reset() { cur_ = start_; }
    void* getNext();
    void* operator()() { return getNext(); }
    void* getItemNum(int n) const;

private:
    zSlink* start_;
    zSlink* cur_;
};

// ---- Family 3 --------------------------------------------------------------

class zDListNode {
public:
    explicit zDListNode(void* it = 0) : next(this), prev(this), item(it) {}
    virtual ~zDListNode() {}
    zDListNode(const zDListNode&) = delete;
    zDListNode& operator=(const zDListNode&) = delete;
    // Puts node directly before this one (on the sentinel: at the tail).
    void insert(zDListNode* node);
    void unlink();

    zDListNode* next;
    zDListNode* prev;
    void* item;
};

class zDblList : public zDListNode {
public:
    zDblList() : count(0) {}
    ~zDblList() { removeAll(0); }
    zDListNode* append(void* item);
    zDListNode* prepend(void* item);
    void* nthNode(int n);
    int findAndRemove(const void* item);
    void removeAll(int deleteItems);
    int entries() const { return count; }

    int count;
};

class zDListIter {
public:
    zDListIter(zDblList* l, int backwards = 0) : list_(l), cur_(l), dir_(backwards) {}
    virtual ~zDListIter() {}
    // Steps in the direction of travel; the item reached, or null at the sentinel.
    void* operator()();
    void* current() const { return cur_->item; }
    zDListNode* node() const { return cur_; }
    void reset() { cur_ = list_; }
    int jumpTo(int n);
    void* find(const void* item);
    void remove();

private:
    zDblList* list_;
    zDListNode* cur_;
    int dir_;
};
