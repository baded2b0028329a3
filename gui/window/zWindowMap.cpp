#include "zWindowMap.h"

unsigned long WindowHashProc(const void* key) {
    return (unsigned long)(ULONG_PTR)(*(const HWND*)key) << 2;
}

ziWindowMap::ziWindowMap(ziHashProc hash, unsigned long buckets)
    : nBuckets(buckets ? buckets : 1), table(new std::list<ziWindowCell>[nBuckets]), hashFn(hash) {}

ziWindowMap::~ziWindowMap() { delete[] table; }

unsigned long ziWindowMap::bucketOf(HWND h) const { return hashFn(&h) % nBuckets; }

zWindow* ziWindowMap::insert(HWND h, zWindow* w) {
    std::lock_guard<std::mutex> hold(lock);
    zWindow* old = removeLocked(h);
    table[bucketOf(h)].push_back(ziWindowCell{h, w});
    return old;
}

zWindow* ziWindowMap::remove(HWND h) {
    std::lock_guard<std::mutex> hold(lock);
    return removeLocked(h);
}

zWindow* ziWindowMap::removeLocked(HWND h) {
    std::list<ziWindowCell>& b = table[bucketOf(h)];
    zWindow* old = nullptr;
    for (auto it = b.begin(); it != b.end();) {
        if (it->handle == h) {
            old = it->window;
            it = b.erase(it);
        } else {
            ++it;
        }
    }
    return old;
}

zWindow* ziWindowMap::get(HWND h) const {
    std::lock_guard<std::mutex> hold(lock);
    const std::list<ziWindowCell>& b = table[bucketOf(h)];
    zWindow* found = nullptr;
    for (const ziWindowCell& c : b)
        if (c.handle == h) found = c.window;
    return found;
}

unsigned long ziWindowMap::size() const {
    std::lock_guard<std::mutex> hold(lock);
    unsigned long n = 0;
    for (unsigned long i = 0; i < nBuckets; ++i) n += (unsigned long)table[i].size();
    return n;
}
