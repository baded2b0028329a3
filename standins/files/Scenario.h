#pragma once
// scenario.ini as the stand-ins read and update it (format in StandInFormat.h).
// A Scenario is a snapshot of the file; Update rewrites the file under the
// scenario lock, so that comments, order and other processes' changes survive.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace standin {

class Scenario {
public:
    // The file in the stand-in folder; a missing file reads as empty.
    static Scenario Load();
    static Scenario FromText(const std::string& text);
    // Loads the file under the lock, lets change edit it and writes it back
    // whole (beside, then swapped in); false when it could not be written.
    static bool Update(const std::function<void(Scenario&)>& change);

    bool Has(const std::string& section, const std::string& key) const;
    std::string Get(const std::string& section, const std::string& key, const std::string& fallback = "") const;
    // Decimal, or hexadecimal with 0x.
    long GetNumber(const std::string& section, const std::string& key, long fallback) const;
    // A comma-separated value, each item trimmed; empty items dropped.
    std::vector<std::string> GetList(const std::string& section, const std::string& key) const;
    bool HasSection(const std::string& section) const;
    // Every section, key pair in file order.
    std::vector<std::pair<std::string, std::string>> Keys() const;

    // Journals, once per process, every key that no stand-in reads.
    void JournalUnknownKeys(const char* component) const;
    static bool KnownKey(const std::string& section, const std::string& key);

    // Replaces the value (keeping a trailing comment) or adds the key at the
    // end of its section, adding the section when missing.
    void Set(const std::string& section, const std::string& key, const std::string& value);
    std::string Text() const;

private:
    struct Line {
        std::string text;
        std::string section;  // the section the line lies in
        std::string key;      // empty unless a key line
        std::string value;
    };
    void Parse(const std::string& text);
    const Line* Find(const std::string& section, const std::string& key) const;

    std::vector<Line> lines_;
    std::string eol_ = "\r\n";
};

// Sections and keys compare without case.
bool SameName(const std::string& a, const std::string& b);

}  // namespace standin
