#include "ArgImage.h"

#include "ByteOrder.h"

namespace thunk {

ArgImage& ArgImage::W16(uint32_t value) {
    if (size_ + 2 > capacity_) {
        overflowed_ = true;
        return *this;
    }
    PutLe16(at_ + size_, value);
    size_ += 2;
    return *this;
}

ArgImage& ArgImage::D32(uint32_t value) {
    if (size_ + 4 > capacity_) {
        overflowed_ = true;
        return *this;
    }
    PutLe32(at_ + size_, value);
    size_ += 4;
    return *this;
}

uint16_t ArgReader::W16() {
    if (read_ + 2 > size_) {
        short_ = true;
        return 0;
    }
    uint16_t v = GetLe16(at_ + read_);
    read_ += 2;
    return v;
}

uint32_t ArgReader::D32() {
    if (read_ + 4 > size_) {
        short_ = true;
        return 0;
    }
    uint32_t v = GetLe32(at_ + read_);
    read_ += 4;
    return v;
}

}  // namespace thunk
