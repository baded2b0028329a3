#pragma once
// Keeps modal boxes from blocking a test run: a thread that finds every dialog
// box (#32770) of this process, records its caption and text, and dismisses it.
#include <string>
#include <vector>

namespace qvtest {

struct SeenBox {
    std::string caption;
    std::string text;
    void* icon = nullptr;  // the HICON shown: a shared system icon such as LoadIcon(nullptr, IDI_WARNING)
};

void StartMessageBoxWatcher();
// Boxes dismissed so far, oldest first.
std::vector<SeenBox> SeenBoxes();
void ClearSeenBoxes();
// Prints "BOX[caption|text]" per box seen, for a parent process to check.
void PrintSeenBoxes();

}  // namespace qvtest
