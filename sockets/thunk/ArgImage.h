#pragma once
// Writing and reading a 16-bit argument image (see ThunkBridge.h): values in
// parameter order, least significant byte first.
#include <cstdint>

namespace thunk {

class ArgImage {
public:
    // Writes into `at`, which holds `capacity` bytes.
    ArgImage(uint8_t* at, uint32_t capacity) : at_(at), capacity_(capacity) {}
    ArgImage& W16(uint32_t value);  // the low 16 bits
    ArgImage& D32(uint32_t value);
    uint32_t Size() const { return size_; }
    bool Overflowed() const { return overflowed_; }

private:
    uint8_t* at_;
    uint32_t capacity_;
    uint32_t size_ = 0;
    bool overflowed_ = false;
};

// Reads an image on the stack side; reading past the end gives 0 and marks it short.
class ArgReader {
public:
    ArgReader(const uint8_t* at, uint32_t size) : at_(at), size_(size) {}
    uint16_t W16();
    int16_t S16() { return (int16_t)W16(); }
    uint32_t D32();
    bool Short() const { return short_; }

private:
    const uint8_t* at_;
    uint32_t size_;
    uint32_t read_ = 0;
    bool short_ = false;
};

}  // namespace thunk
