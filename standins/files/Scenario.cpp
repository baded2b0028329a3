#include "Scenario.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "JournalLine.h"
#include "NamedLock.h"
#include "QvWindows.h"
#include "StandInFolder.h"
#include "StandInFormat.h"

namespace standin {
namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Where a comment starts inside a value: the blanks before a ';' that follows a blank.
size_t CommentAt(const std::string& s) {
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] != ';' || (s[i - 1] != ' ' && s[i - 1] != '\t')) continue;
        size_t b = i - 1;
        while (b > 0 && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
        return b;
    }
    return std::string::npos;
}

std::string ReadWhole(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

// The keys the stand-ins read, by section; "Entry " sections share a list.
struct KnownSection {
    const char* section;
    bool prefix;
    const char* keys;  // blank-separated; empty: any numeric key
};
const KnownSection kKnown[] = {
    {"Phonebook", false, "Entries"},
    {"Entry ", true,
     "Phone User Password Domain Options SubEntries EntrySize Address Speed Outcome FailState Error Delay "
     "SetPropertiesFails ComPortRate DNSAddress DNSSuffix HeaderCompression SessionModule Device PortType Script "
     "SessionSize SessionNoPort"},
    {"Errors", false, ""},
    {"Route", false, "Default FailAdd FailChange FailDelete"},
    {"Dial Stack", false, "Title Buttons DialDelay Outcome Linger"},
    {"Driver", false, "Open PortId PortName Refuse"},
    {"Modem", false, "Status StatusFails Baud LineGetIdFails"},
    {"Session", false, "HoldThreads"},
    {"MAPI", false, "FailLogons"},
};

bool InList(const char* list, const std::string& key) {
    std::string words = std::string(" ") + list + " ";
    std::string lowerWords, lowerKey = " " + key + " ";
    for (char c : words) lowerWords += char(std::tolower((unsigned char)c));
    for (char& c : lowerKey) c = char(std::tolower((unsigned char)c));
    return lowerWords.find(lowerKey) != std::string::npos;
}

}  // namespace

bool Scenario::KnownKey(const std::string& section, const std::string& key) {
    for (const KnownSection& k : kKnown) {
        size_t n = std::strlen(k.section);
        bool match = k.prefix ? section.size() > n && _strnicmp(section.c_str(), k.section, n) == 0
                              : SameName(section, k.section);
        if (!match) continue;
        if (!*k.keys) return !key.empty() && key.find_first_not_of("0123456789") == std::string::npos;
        return InList(k.keys, key);
    }
    return false;
}

void Scenario::JournalUnknownKeys(const char* component) const {
    static std::mutex lock;
    static std::set<std::string> reported;
    for (const auto& k : Keys()) {
        if (KnownKey(k.first, k.second)) continue;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (!reported.insert(k.first + "\n" + k.second).second) continue;
        }
        JournalLine(component, "ignored").Field("section", k.first).Field("key", k.second).Append();
    }
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && _strnicmp(a.c_str(), b.c_str(), a.size()) == 0;
}

Scenario Scenario::Load() { return FromText(ReadWhole(FolderFile(kScenarioFile))); }

Scenario Scenario::FromText(const std::string& text) {
    Scenario s;
    s.Parse(text);
    return s;
}

bool Scenario::Update(const std::function<void(Scenario&)>& change) {
    NamedLock lock(kScenarioMutex);
    std::string path = FolderFile(kScenarioFile);
    Scenario s = FromText(ReadWhole(path));
    change(s);
    std::string temp = path + ".new";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    std::string text = s.Text();
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok) ok = MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!ok) DeleteFileA(temp.c_str());
    return ok;
}

void Scenario::Parse(const std::string& text) {
    lines_.clear();
    eol_ = text.find("\r\n") != std::string::npos || text.find('\n') == std::string::npos ? "\r\n" : "\n";
    std::string section;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        Line line;
        line.text = text.substr(at, end - at);
        if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
        at = end + 1;
        std::string t = Trim(line.text);
        if (!t.empty() && t[0] == '[') {
            size_t close = t.find(']');
            section = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        } else if (!t.empty() && t[0] != ';') {
            size_t eq = t.find('=');
            if (eq != std::string::npos) {
                line.key = Trim(t.substr(0, eq));
                std::string v = t.substr(eq + 1);
                size_t c = CommentAt(v);
                line.value = Trim(c == std::string::npos ? v : v.substr(0, c));
            }
        }
        line.section = section;
        lines_.push_back(line);
    }
}

const Scenario::Line* Scenario::Find(const std::string& section, const std::string& key) const {
    for (const Line& l : lines_)
        if (!l.key.empty() && SameName(l.section, section) && SameName(l.key, key)) return &l;
    return nullptr;
}

bool Scenario::Has(const std::string& section, const std::string& key) const { return Find(section, key) != nullptr; }

std::string Scenario::Get(const std::string& section, const std::string& key, const std::string& fallback) const {
    const Line* l = Find(section, key);
    return l ? l->value : fallback;
}

long Scenario::GetNumber(const std::string& section, const std::string& key, long fallback) const {
    const Line* l = Find(section, key);
    if (!l || l->value.empty()) return fallback;
    char* end = nullptr;
    long v = std::strtol(l->value.c_str(), &end, 0);
    return end && *end == 0 ? v : fallback;
}

std::vector<std::string> Scenario::GetList(const std::string& section, const std::string& key) const {
    std::vector<std::string> items;
    std::string v = Get(section, key);
    size_t at = 0;
    while (at <= v.size()) {
        size_t comma = v.find(',', at);
        if (comma == std::string::npos) comma = v.size();
        std::string item = Trim(v.substr(at, comma - at));
        if (!item.empty()) items.push_back(item);
        at = comma + 1;
    }
    return items;
}

bool Scenario::HasSection(const std::string& section) const {
    for (const Line& l : lines_)
        if (SameName(l.section, section)) return true;
    return false;
}

std::vector<std::pair<std::string, std::string>> Scenario::Keys() const {
    std::vector<std::pair<std::string, std::string>> keys;
    for (const Line& l : lines_)
        if (!l.key.empty()) keys.emplace_back(l.section, l.key);
    return keys;
}

void Scenario::Set(const std::string& section, const std::string& key, const std::string& value) {
    for (Line& l : lines_) {
        if (l.key.empty() || !SameName(l.section, section) || !SameName(l.key, key)) continue;
        size_t eq = l.text.find('=');
        std::string rest = l.text.substr(eq + 1);
        size_t c = CommentAt(rest);
        l.text = l.text.substr(0, eq + 1) + value + (c == std::string::npos ? "" : rest.substr(c));
        l.value = value;
        return;
    }
    Line added;
    added.text = key + "=" + value;
    added.section = section;
    added.key = key;
    added.value = value;
    // After the section's last non-blank line.
    size_t insertAt = lines_.size();
    bool found = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (!SameName(lines_[i].section, section)) continue;
        found = true;
        if (!Trim(lines_[i].text).empty()) insertAt = i + 1;
    }
    if (!found) {
        Line head;
        head.text = "[" + section + "]";
        head.section = section;
        lines_.push_back(head);
        insertAt = lines_.size();
    }
    lines_.insert(lines_.begin() + insertAt, added);
}

std::string Scenario::Text() const {
    std::string out;
    for (const Line& l : lines_) out += l.text + eol_;
    return out;
}

}  // namespace standin
