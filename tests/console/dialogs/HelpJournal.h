#pragma once
// A help viewer's window (class "MS_WINHELP") in the test program: WinHelpA
// hands it its records, so no viewer starts; each record is kept.
#include "QvWindows.h"

#include <string>
#include <vector>

namespace console {

struct HelpRecord {
    unsigned command;
    long data;
    std::string file;
    std::vector<DWORD> pairs;  // HELP_WM_HELP: id, context, ... without the end pair
};

class HelpJournal {
public:
    HelpJournal();
    ~HelpJournal();
    std::vector<HelpRecord> records() const;

private:
    HWND window_;
};

}  // namespace console
