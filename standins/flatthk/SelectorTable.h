#pragma once
// The flat-thunk stand-in's selector table: flat pointers handed out as
// 16:16 pointers (a selector of its own per mapping, offset 0) and turned
// back, so that a pointer that was never mapped, or already released, is
// told apart from a live one. Thread-safe.
#include <cstdint>
#include <mutex>
#include <vector>

class SelectorTable {
public:
    static const unsigned Entries = 8192;  // as many as a descriptor table holds

    // A 16:16 pointer for `flat`; 0 for null, and 0 when the table is full.
    uint32_t Map(const void* flat);
    // Releases the selector of a 16:16 pointer; false when it was not mapped.
    bool Unmap(uint32_t segmented);
    // The flat address of a 16:16 pointer (selector base + offset); false when
    // its selector is not mapped. Null maps to null.
    bool Resolve(uint32_t segmented, void** flat);
    unsigned InUse();

private:
    static unsigned IndexOf(uint32_t segmented) { return segmented >> 19; }

    std::mutex lock_;  // guards the three below
    std::vector<const void*> bases_ = std::vector<const void*>(Entries);
    std::vector<bool> used_ = std::vector<bool>(Entries);
    unsigned next_ = 1;  // selector 0 is never handed out
};
