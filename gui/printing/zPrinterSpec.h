#pragma once
// One printer as WIN.INI names it: "device,driver,port", split in place. Any
// of the three may be missing; names of any length are kept whole.
#include "QvWindows.h"

#include <vector>

class zPrinterSpec {
public:
    // A null line reads the default printer ([windows] Device of WIN.INI).
    explicit zPrinterSpec(const char* line = nullptr);

    // Null when the line has no such part.
    const char* device() const { return at(device_); }
    const char* driver() const { return at(driver_); }
    const char* port() const { return at(port_); }

private:
    void parse();
    const char* at(int offset) const { return offset < 0 ? nullptr : buffer_.data() + offset; }

    std::vector<char> buffer_;
    int driver_ = -1;
    int device_ = -1;
    int port_ = -1;
};
