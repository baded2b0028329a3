#pragma once
// The commands of control.txt (format in StandInFormat.h) that this process
// has not run yet. Thread-safe: every command is handed out once.
#include <mutex>
#include <string>
#include <vector>

namespace standin {

struct Command {
    std::string name;
    std::vector<std::string> words;  // the words after the name, split at blanks
    std::string rest;                // everything after the name, trimmed
    std::string line;                // as written
};

class ControlFeed {
public:
    // New whole lines since the last call; blank lines are skipped.
    std::vector<Command> Take();
    // The process's one feed.
    static ControlFeed& Process();

    static Command Parse(const std::string& line);

private:
    std::mutex lock_;
    long long offset_ = 0;  // bytes of the file already handed out
};

}  // namespace standin
