#include "Id16Pool.h"

namespace records {

Id16Pool::Id16Pool(uint16_t last) : used_((size_t)last + 1, false), next_(1), last_(last) {}

uint16_t Id16Pool::Take() {
    std::lock_guard<std::mutex> hold(lock_);
    for (uint32_t tried = 0; tried < last_; ++tried) {
        uint32_t id = next_;
        next_ = id == last_ ? 1 : id + 1;
        if (!used_[id]) {
            used_[id] = true;
            return (uint16_t)id;
        }
    }
    return 0;
}

void Id16Pool::Give(uint16_t id) {
    std::lock_guard<std::mutex> hold(lock_);
    if (id && id <= last_) used_[id] = false;
}

bool Id16Pool::InUse(uint16_t id) {
    std::lock_guard<std::mutex> hold(lock_);
    return id && id <= last_ && used_[id];
}

}  // namespace records
