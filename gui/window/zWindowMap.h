#pragma once
// Window handle to framework object, hashed into a fixed number of buckets.
#include <windows.h>

#include <list>

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
    unsigned long nBuckets;
    std::list<ziWindowCell>* table;
    ziHashProc hashFn;
};
