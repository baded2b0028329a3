#include "SelectorTable.h"

// A selector is its table index shifted past the 3 flag bits, with the flags
// of a local descriptor at privilege 3.
uint32_t SelectorTable::Map(const void* flat) {
    if (!flat) return 0;
    std::lock_guard<std::mutex> hold(lock_);
    for (unsigned tried = 1; tried < Entries; ++tried) {
        unsigned i = next_;
        next_ = i + 1 == Entries ? 1 : i + 1;
        if (!used_[i]) {
            used_[i] = true;
            bases_[i] = flat;
            return (uint32_t)((i << 3) | 7) << 16;
        }
    }
    return 0;
}

bool SelectorTable::Unmap(uint32_t segmented) {
    if (!segmented) return true;
    std::lock_guard<std::mutex> hold(lock_);
    unsigned i = IndexOf(segmented);
    if (i == 0 || !used_[i] || ((segmented >> 16) & 7) != 7) return false;
    used_[i] = false;
    bases_[i] = nullptr;
    return true;
}

bool SelectorTable::Resolve(uint32_t segmented, void** flat) {
    *flat = nullptr;
    if (!segmented) return true;
    std::lock_guard<std::mutex> hold(lock_);
    unsigned i = IndexOf(segmented);
    if (i == 0 || !used_[i] || ((segmented >> 16) & 7) != 7) return false;
    *flat = const_cast<char*>(static_cast<const char*>(bases_[i])) + (segmented & 0xFFFF);
    return true;
}

unsigned SelectorTable::InUse() {
    std::lock_guard<std::mutex> hold(lock_);
    unsigned n = 0;
    for (bool u : used_) n += u;
    return n;
}
