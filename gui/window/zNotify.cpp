#include "zNotify.h"

#include "zApp.h"

zNotifyNode::zNotifyNode(NotifyProc f, zEvH* t, UINT message, zWindow* w)
    : lowId(0), highId(0xFFFF), msg(message), windowFilter(w ? w->hwnd : 0), fn(f), target(t) {}

zNotifyNode::zNotifyNode(unsigned long low, unsigned long high, NotifyProc f, zEvH* t, UINT message)
    : lowId(low), highId(high), msg(message), windowFilter(0), fn(f), target(t) {}

zNotifyNode::zNotifyNode(unsigned long id, NotifyProc f, zEvH* t, UINT message)
    : lowId(id), highId(id), msg(message), windowFilter(0), fn(f), target(t) {}

int zNotifyNode::check(const zEvent* e) const {
    if (e->msg != msg) return 0;
    unsigned long id = e->loWParam();
    if (id < lowId || id > highId) return 0;
    return windowFilter == 0 || windowFilter == e->hwnd;
}

zCtrlNotifyNode::zCtrlNotifyNode(int childId, HWND control, unsigned long notifyCode, NotifyProc f, zEvH* t)
    : zNotifyNode((unsigned long)childId, f, t, WM_COMMAND), ctrl(control), code(notifyCode) {}

int zCtrlNotifyNode::check(const zEvent* e) const {
    return zNotifyNode::check(e) && (HWND)e->lParm == ctrl && e->hiWParam() == code;
}

zHandlerList::~zHandlerList() {
    for (Cell& c : cells) delete c.node;
}

void zHandlerList::insert(zNotifyNode* n) {
    if (n) cells.push_front(Cell{n, false});
}

bool zHandlerList::empty() const { return count() == 0; }

int zHandlerList::count() const {
    int n = 0;
    for (const Cell& c : cells)
        if (!c.removed) ++n;
    return n;
}

int zHandlerList::walk(zEvent* e) {
    int taken = 0;
    ++walking;
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        if (it->removed || !it->node->check(e)) continue;
        if (it->node->call(e) || orphaned) {
            taken = 1;
            break;
        }
    }
    if (--walking > 0) return taken;
    if (orphaned) {
        delete this;
        return 1;
    }
    purge();
    return taken;
}

void zHandlerList::release(zHandlerList* list) {
    if (!list) return;
    if (list->walking) list->orphaned = true;
    else delete list;
}

bool zHandlerList::removeFirst(const zEvent& probe, zEvH* target, NotifyProc fn, bool ctrlCheck) {
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        if (it->removed || !it->node->checkIdent(target, fn)) continue;
        bool pass = ctrlCheck ? it->node->check(&probe) : it->node->zNotifyNode::check(&probe);
        if (!pass) continue;
        if (walking) {
            it->removed = true;  // freed when the walk ends
        } else {
            delete it->node;
            cells.erase(it);
        }
        return true;
    }
    return false;
}

bool zHandlerList::removeFirstIdent(UINT message, zEvH* target, NotifyProc fn) {
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        if (it->removed || it->node->msg != message || !it->node->checkIdent(target, fn)) continue;
        if (walking) {
            it->removed = true;
        } else {
            delete it->node;
            cells.erase(it);
        }
        return true;
    }
    return false;
}

void zHandlerList::takeFrom(zHandlerList& other) {
    for (Cell& c : other.cells)
        if (!c.removed) cells.push_back(c);
        else delete c.node;
    other.cells.clear();
}

void zHandlerList::purge() {
    for (auto it = cells.begin(); it != cells.end();) {
        if (it->removed) {
            delete it->node;
            it = cells.erase(it);
        } else {
            ++it;
        }
    }
}

int doHandler(zEvent* e, zWindow* w) {
    if (w && w->handlers && w->handlers->walk(e)) return 1;
    if (_app && _app->appHandlers && _app->appHandlers->walk(e)) return 1;
    return 0;
}

int doCommandHandler(zEvent* e, zWindow* w) {
    if (w && w->commands && w->commands->walk(e)) return 1;
    return doHandler(e, w);
}

zDevice::~zDevice() { zHandlerList::release(records); }

int zDevice::dispatchEvt(zEvent* e) { return records && records->walk(e) ? 1 : 0; }

void zDevice::attach(zWindow* w, zNotifyNode* n) {
    if (!records) records = new zHandlerList;
    records->insert(n);
    if (w) w->routing |= devTypeBits;
}

void zDevice::remove(zWindow* w, zEvH* target, NotifyProc fn, UINT message) {
    if (!records) return;
    records->removeFirst(zEvent(w ? w->hwnd : 0, message, 0, 0), target, fn);
}
