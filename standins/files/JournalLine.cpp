#include "JournalLine.h"

#include <cstdio>

#include "NamedLock.h"
#include "QvWindows.h"
#include "StandInFolder.h"
#include "StandInFormat.h"

namespace standin {
namespace {

std::string Clean(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return s;
}

}  // namespace

JournalLine::JournalLine(const char* component, const char* call) {
    head_ = std::to_string(GetTickCount()) + "\t" + std::to_string(GetCurrentProcessId()) + "\t" + component + "\t" +
            call;
}

JournalLine& JournalLine::Result(long value) {
    result_ = std::to_string(value);
    return *this;
}

JournalLine& JournalLine::Field(const char* key, const std::string& value) {
    fields_ += std::string("\t") + key + "=" + Clean(value);
    return *this;
}

JournalLine& JournalLine::Field(const char* key, long value) { return Field(key, std::to_string(value)); }

JournalLine& JournalLine::Hex(const char* key, unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return Field(key, text);
}

std::string JournalLine::Text() const { return head_ + "\t" + result_ + fields_ + "\n"; }

void JournalLine::Append() const {
    std::string text = Text();
    NamedLock lock(kJournalMutex);
    HANDLE f = CreateFileA(FolderFile(kJournalFile).c_str(), FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    SetFilePointer(f, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(f, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(f);
}

}  // namespace standin
