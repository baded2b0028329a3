#pragma once
// One line of journal.txt (format in StandInFormat.h), built field by field
// and appended with one write.
#include <string>

namespace standin {

class JournalLine {
public:
    JournalLine(const char* component, const char* call);

    JournalLine& Result(long value);
    JournalLine& Field(const char* key, const std::string& value);
    JournalLine& Field(const char* key, long value);
    JournalLine& Hex(const char* key, unsigned long value);
    // Appends to the journal of the stand-in folder.
    void Append() const;
    std::string Text() const;

private:
    std::string head_;
    std::string result_ = "-";
    std::string fields_;
};

}  // namespace standin
