#pragma once
// 16-bit ids (1 to a last id) handed out in turn, wrapping, skipping those
// still in use: asynchronous task handles, and the stack's socket numbers.
// Thread-safe.
#include <cstdint>
#include <mutex>
#include <vector>

namespace records {

class Id16Pool {
public:
    explicit Id16Pool(uint16_t last = 0xFFFF);
    uint16_t Take();  // 0 when every id is in use
    void Give(uint16_t id);
    bool InUse(uint16_t id);

private:
    std::mutex lock_;         // guards the two below
    std::vector<bool> used_;  // indexed by id
    uint32_t next_;           // where the next search starts
    uint16_t last_;
};

}  // namespace records
