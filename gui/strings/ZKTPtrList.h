#pragma once
// Typed lists on the intrusive lists: pointer lists (the items stay the caller's
// until clearAndDestroy) and value lists (the list keeps its own copies).
#include "ZKList.h"

template <class T>
class ZKTPtrSlink : public ZKIsvSlink {
public:
    explicit ZKTPtrSlink(T* p) : item(p) {}
    T* item;
};

template <class T>
class ZKTPtrDlink : public ZKIsvDlink {
public:
    explicit ZKTPtrDlink(T* p) : item(p) {}
    T* item;
};

// Shared body of the typed singly and doubly linked pointer lists; L is the
// intrusive list, K its typed link.
template <class T, class L, class K>
class ZKTPtrListBase {
public:
    ZKTPtrListBase() {}
    ~ZKTPtrListBase() { clear(); }
    ZKTPtrListBase(const ZKTPtrListBase&) = delete;
    ZKTPtrListBase& operator=(const ZKTPtrListBase&) = delete;

    ZKSize_T entries() const { return list_.entries(); }
    bool isEmpty() const { return list_.isEmpty(); }
    void append(T* p) { list_.insertAfterLink(tailSide(), new K(p)); }
    void prepend(T* p) { list_.insertAfterLink(list_.headLink(), new K(p)); }
    T* first() const { return list_.isEmpty() ? 0 : static_cast<K*>(list_.first())->item; }
    T* last() const { return list_.isEmpty() ? 0 : static_cast<K*>(list_.lastLink())->item; }
    // Raises the bounds error for an index at or past the count.
    T* at(ZKSize_T i) const { return static_cast<K*>(list_.at(i))->item; }
    // Takes the first item off the list; 0 when empty.
    T* get()
    {
        if (list_.isEmpty())
            return 0;
        K* k = static_cast<K*>(list_.removeReference(list_.first()));
        T* p = k->item;
        delete k;
        return p;
    }
    // Drops the links; the items are left alone.
    void clear()
    {
        while (!list_.isEmpty())
            get();
    }
    // Drops the links and deletes the items.
    void clearAndDestroy()
    {
        while (!list_.isEmpty())
            delete get();
    }
    // Moves every item of other to the end of this list.
    void join(ZKTPtrListBase& other)
    {
        while (!other.isEmpty())
            append(other.get());
    }

    L& links() { return list_; }

private:
    auto tailSide() { return list_.isEmpty() ? list_.headLink() : list_.lastLink(); }
    L list_;
};

template <class T>
class ZKTPtrSlist : public ZKTPtrListBase<T, ZKIsvSlist, ZKTPtrSlink<T>> {};

template <class T>
class ZKTPtrDlist : public ZKTPtrListBase<T, ZKIsvDlist, ZKTPtrDlink<T>> {};

// Walks a typed list in order: each call gives the next item, 0 after the last.
template <class T, class L, class I, class K>
class ZKTPtrListIteratorBase {
public:
    template <class List>
    explicit ZKTPtrListIteratorBase(List& l) : it_(l.links()) {}
    T* operator()()
    {
        auto* k = (it_ += 1);
        return k ? static_cast<K*>(k)->item : 0;
    }
    void reset() { it_.reset(); }

private:
    I it_;
};

template <class T>
class ZKTPtrSlistIterator : public ZKTPtrListIteratorBase<T, ZKIsvSlist, ZKIsvSlistIterator, ZKTPtrSlink<T>> {
public:
    explicit ZKTPtrSlistIterator(ZKTPtrSlist<T>& l)
        : ZKTPtrListIteratorBase<T, ZKIsvSlist, ZKIsvSlistIterator, ZKTPtrSlink<T>>(l) {}
};

template <class T>
class ZKTPtrDlistIterator : public ZKTPtrListIteratorBase<T, ZKIsvDlist, ZKIsvDlistIterator, ZKTPtrDlink<T>> {
public:
    explicit ZKTPtrDlistIterator(ZKTPtrDlist<T>& l)
        : ZKTPtrListIteratorBase<T, ZKIsvDlist, ZKIsvDlistIterator, ZKTPtrDlink<T>>(l) {}
};

// A singly linked list of values: append copies, the list owns its copies.
template <class T>
class ZKTValSlist {
public:
    ZKTValSlist() {}
    ~ZKTValSlist() { list_.clearAndDestroy(); }
    ZKTValSlist(const ZKTValSlist&) = delete;
    ZKTValSlist& operator=(const ZKTValSlist&) = delete;

    ZKSize_T entries() const { return list_.entries(); }
    bool isEmpty() const { return list_.isEmpty(); }
    void append(const T& v) { list_.append(new T(v)); }
    void prepend(const T& v) { list_.prepend(new T(v)); }
    const T& at(ZKSize_T i) const { return *list_.at(i); }
    // Raises the bounds error for an index at or past the count.
    void removeAt(ZKSize_T i)
    {
        auto* k = static_cast<ZKTPtrSlink<T>*>(list_.links().removeAt(i));
        delete k->item;
        delete k;
    }
    void clear() { list_.clearAndDestroy(); }

    ZKTPtrSlist<T>& items() { return list_; }

private:
    ZKTPtrSlist<T> list_;
};
