#pragma once
// Several threads take and drop holds on one object at the same time, as the
// threads of two sessions ending together do.
#include <thread>
#include <vector>

#include "BaseItem.h"

namespace qvtest {

inline void HoldAndDropOnThreads(BASEITEM* object, int threads = 4, int rounds = 200000) {
    std::vector<std::thread> holders;
    for (int t = 0; t < threads; ++t)
        holders.emplace_back([object, rounds] {
            for (int i = 0; i < rounds; ++i) {
                object->prepare();
                object->freeobj();
            }
        });
    for (auto& h : holders) h.join();
}

}  // namespace qvtest
