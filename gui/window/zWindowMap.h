#pragma once
// Window handle to framework object, hashed into a fixed number of buckets.
// Thread-safe: a dialog run on another thread (the dial-up login) maps its
// windows while the GUI thread looks up its own.
#include "QvWindows.h"

#include <list>
#include <mutex>

class zWindow;

typedef unsigned long (*ziHashProc)(const void* key);

// The handle value times 4.
unsigned long WindowHashProc(const void* key);

struct ziWindowCell {
    HWND handle;
    zWindow* window;
};

class ziWindowMap {
public:
    ziWindowMap(ziHashProc hash, unsigned long buckets);
    ~ziWindowMap();
    ziWindowMap(const ziWindowMap&) = delete;
    ziWindowMap& operator=(const ziWindowMap&) = delete;

    // Each gives back the window stored before (insert, remove) or now (get), or 0.
    zWindow* insert(HWND h, zWindow* w);
    zWindow* remove(HWND h);
    zWindow* get(HWND h) const;

    unsigned long bucketCount() const { return nBuckets; }
    unsigned long bucketOf(HWND h) const;
    unsigned long size() const;

private:
    zWindow* removeLocked(HWND h);

    unsigned long nBuckets;
    std::list<ziWindowCell>* table;
    ziHashProc hashFn;
    mutable std::mutex lock;  // guards table; held only inside these calls
};
