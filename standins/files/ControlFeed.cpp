#include "ControlFeed.h"

#include <cstdio>

#include "QvWindows.h"
#include "StandInFolder.h"
#include "StandInFormat.h"

namespace standin {

ControlFeed& ControlFeed::Process() {
    static ControlFeed feed;
    return feed;
}

Command ControlFeed::Parse(const std::string& line) {
    Command c;
    c.line = line;
    size_t at = 0;
    while (at < line.size()) {
        size_t b = line.find_first_not_of(" \t", at);
        if (b == std::string::npos) break;
        size_t e = line.find_first_of(" \t", b);
        if (e == std::string::npos) e = line.size();
        if (c.name.empty()) {
            c.name = line.substr(b, e - b);
            size_t r = line.find_first_not_of(" \t", e);
            if (r != std::string::npos) {
                size_t last = line.find_last_not_of(" \t");
                c.rest = line.substr(r, last - r + 1);
            }
        } else {
            c.words.push_back(line.substr(b, e - b));
        }
        at = e;
    }
    return c;
}

std::vector<Command> ControlFeed::Take() {
    std::vector<Command> out;
    std::lock_guard<std::mutex> hold(lock_);
    HANDLE f = CreateFileA(FolderFile(kControlFile).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return out;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(f, &size)) size.QuadPart = 0;
    // A file shorter than what was read was started anew.
    if (size.QuadPart < offset_) offset_ = 0;
    if (size.QuadPart == offset_) {
        CloseHandle(f);
        return out;
    }
    LARGE_INTEGER at;
    at.QuadPart = offset_;
    SetFilePointerEx(f, at, nullptr, FILE_BEGIN);
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
    CloseHandle(f);
    // Only whole lines: a command still being written is taken next time.
    size_t end = text.rfind('\n');
    if (end == std::string::npos) return out;
    offset_ += (long long)(end + 1);
    size_t from = 0;
    while (from <= end) {
        size_t nl = text.find('\n', from);
        std::string line = text.substr(from, nl - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        from = nl + 1;
        Command c = Parse(line);
        if (!c.name.empty()) out.push_back(c);
    }
    return out;
}

}  // namespace standin
