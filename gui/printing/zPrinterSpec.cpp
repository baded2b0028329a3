#include "zPrinterSpec.h"

#include <cstring>
#include <string>

namespace {

// [windows] Device, however long.
std::string DefaultPrinterLine() {
    std::vector<char> buf(256);
    for (;;) {
        DWORD n = GetProfileStringA("windows", "Device", "", buf.data(), DWORD(buf.size()));
        if (n + 2 < buf.size()) return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

zPrinterSpec::zPrinterSpec(const char* line) {
    std::string text = line ? std::string(line) : DefaultPrinterLine();
    buffer_.assign(text.begin(), text.end());
    buffer_.push_back(0);
    if (!line && text.empty()) return;
    device_ = 0;
    parse();
}

// At each of the first two commas the text before ends and the next part
// starts after the blanks that follow.
void zPrinterSpec::parse() {
    char* start = buffer_.data();
    int* parts[2] = {&driver_, &port_};
    int found = 0;
    for (char* p = start; *p && found < 2;) {
        if (*p != ',') {
            p = CharNextA(p);
            continue;
        }
        *p++ = 0;
        while (*p == ' ') ++p;
        *parts[found++] = int(p - start);
    }
}
