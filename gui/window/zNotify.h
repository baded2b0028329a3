#pragma once
// Handler records, the lists that hold them and the devices (menus) that keep their own.
#include "QvWindows.h"

#include <list>

#include "zWindow.h"

// Turns a handler of a derived class into the stored form.
template <class T, class E>
NotifyProc zHandlerOf(int (T::*f)(E*)) {
    return reinterpret_cast<NotifyProc>(static_cast<int (zEvH::*)(E*)>(f));
}

class zNotifyNode {
public:
    unsigned long lowId;
    unsigned long highId;
    UINT msg;
    HWND windowFilter;
    NotifyProc fn;
    zEvH* target;

    // Any id, filtered to the window's handle as it is now.
    zNotifyNode(NotifyProc f, zEvH* t, UINT message, zWindow* w);
    // An id range, no window filter.
    zNotifyNode(unsigned long low, unsigned long high, NotifyProc f, zEvH* t, UINT message);
    // A single id, no window filter.
    zNotifyNode(unsigned long id, NotifyProc f, zEvH* t, UINT message);
    virtual ~zNotifyNode() {}

    virtual int check(const zEvent* e) const;
    int checkIdent(zEvH* t, NotifyProc f) const { return t == target && f == fn; }
    int call(zEvent* e) { return (target->*fn)(e); }
};

// A control notification: WM_COMMAND of one child with one notification code.
class zCtrlNotifyNode : public zNotifyNode {
public:
    HWND ctrl;
    unsigned long code;

    zCtrlNotifyNode(int childId, HWND control, unsigned long notifyCode, NotifyProc f, zEvH* t);
    int check(const zEvent* e) const override;
};

// Owned records, newest first; walks tolerate records removed (or added) meanwhile.
class zHandlerList {
public:
    zHandlerList() {}
    ~zHandlerList();
    zHandlerList(const zHandlerList&) = delete;
    zHandlerList& operator=(const zHandlerList&) = delete;

    void insert(zNotifyNode* n);  // at the front
    bool empty() const;
    int count() const;
    // Calls every matching record until one returns nonzero; 1 then, else 0.
    int walk(zEvent* e);
    // Removes and frees the first record that passes check(probe) and has that target and function.
    bool removeFirst(const zEvent& probe, zEvH* target, NotifyProc fn, bool ctrlCheck = false);
    // Removes and frees the first record for that message with that target and function.
    bool removeFirstIdent(UINT message, zEvH* target, NotifyProc fn);
    // Moves all records of other to this list (other stays empty).
    void takeFrom(zHandlerList& other);
    // What the owner calls in place of delete: a list in the middle of a walk (a
    // handler deleting the window or menu that owns it) lives until the walk ends,
    // and the walk then reports the event as taken.
    static void release(zHandlerList* list);

private:
    struct Cell {
        zNotifyNode* node;
        bool removed;
    };
    std::list<Cell> cells;
    int walking = 0;
    bool orphaned = false;
    void purge();
};

// Walks the window's handler list, then the app-wide list.
int doHandler(zEvent* e, zWindow* w);
// The window's command list first, then as doHandler.
int doCommandHandler(zEvent* e, zWindow* w);

// An event source with its own records (the menus).
class zDevice : public zEvH {
public:
    zHandlerList* records = nullptr;
    unsigned long devTypeBits = 0;

    zDevice() {}
    ~zDevice() override;
    virtual int dispatchEvt(zEvent* e);

    void attach(zWindow* w, zNotifyNode* n);
    void remove(zWindow* w, zEvH* target, NotifyProc fn, UINT message);
    void devType(unsigned long bits) { devTypeBits |= bits; }
    unsigned long devType() const { return devTypeBits; }
};
