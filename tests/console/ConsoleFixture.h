#pragma once
// A server root with the framework's fake services and the console's main
// window in this test program: commands are posted and the messages pumped
// until the evidence shows, never for a fixed time. Boxes the console shows
// are answered Yes or No as a test asks, and recorded.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "QvWindows.h"
#include "FrameworkHarness.h"
#include "ScratchDir.h"

class FORMAPP;

namespace console {

struct Box {
    std::string caption;
    std::string text;
};

// Answers the yes/no boxes of this process (Yes when told so, else No; OK
// boxes with OK) before the program-wide watcher sees them.
class BoxAnswerer {
public:
    BoxAnswerer();
    ~BoxAnswerer();
    void answerYes(bool yes);
    std::vector<Box> boxes();

private:
    void* thread_;
    void* hook_;
};

class ConsoleTest : public qvtest::ScratchDirTest {
protected:
    ConsoleTest() : ScratchDirTest("con") {}
    void SetUp() override;
    void TearDown() override;
    // Main window and server root gone, as between two runs of the program.
    void Dispose();

    // _pSvr with fake types; the names are enabled in the configuration.
    void MakeServer(const std::vector<std::string>& enabled);
    FORMAPP* MakeForm(int show = SW_SHOWNORMAL);
    // Pumps until done() holds (false on time-out); a quit message is recorded.
    bool RunUntil(const std::function<bool()>& done, int milliseconds = 20000);
    // Starts the chain and waits for ready.
    bool StartToReady();
    // Posts a command to the main window.
    void Post(int command, LPARAM parameter = 0);
    std::string Log();
    std::string StatusText();

    SVRSYSTEM* server = nullptr;
    fw::FakeType* types[6] = {};
    FORMAPP* form = nullptr;
    bool quit = false;
    BoxAnswerer answers;
};

}  // namespace console
