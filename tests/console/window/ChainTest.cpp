// The start and shutdown chain of commands, run by the main window against
// the framework's fake services.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "ConsoleFixture.h"
#include "ConsoleIds.h"
#include "FormApp.h"
#include "SvrSystem.h"
#include "TestAids.h"
#include "zApp.h"
#include "zTimer.h"

using console::ConsoleTest;

namespace {
bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
}  // namespace

TEST_F(ConsoleTest, StartReachesReadyInACentredWindowOfTheMainFormSize) {
    MakeServer({"HTTP"});
    MakeForm();
    ASSERT_TRUE(StartToReady()) << Log();
    EXPECT_EQ("Quorvane is now ready.", StatusText());
    EXPECT_TRUE(Has(Log(), "Quorvane is now ready.")) << Log();
    RECT client, window;
    GetClientRect(form->windowHandle(), &client);
    GetWindowRect(form->windowHandle(), &window);
    EXPECT_EQ(345, client.right);
    EXPECT_EQ(143, client.bottom);
    EXPECT_EQ(1024 / 2 - (window.right - window.left) / 2, window.left);
    EXPECT_EQ(768 / 2 - (window.bottom - window.top) / 2, window.top);
    EXPECT_TRUE(answers.boxes().empty());
}

TEST_F(ConsoleTest, ExitCloseAndCommand0x10RunTheShutdownChainWithoutAQuestion) {
    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
    } cases[] = {{"Exit", WM_COMMAND, MENU_EXIT}, {"WM_CLOSE", WM_CLOSE, 0}, {"0x10", WM_COMMAND, CMD_CLOSE}};
    for (const Case& c : cases) {
        MakeServer({"HTTP"});
        MakeForm();
        ASSERT_TRUE(StartToReady()) << c.what;
        PostMessageA(form->windowHandle(), c.message, c.wParam, 0);
        ASSERT_TRUE(RunUntil([this] { return quit; })) << c.what;
        EXPECT_EQ("Shutting down ... please stand by.", StatusText()) << c.what;
        EXPECT_FALSE(server->ready) << c.what;
        EXPECT_TRUE(IsWindow(form->windowHandle())) << c.what << ": the close request never closes the window itself";
        EXPECT_TRUE(answers.boxes().empty()) << c.what;
        Dispose();
    }
}

TEST_F(ConsoleTest, StartErrorIsLoggedShownAndEndsTheRun) {
    MakeServer({});
    MakeForm();
    Post(CMD_START);
    ASSERT_TRUE(RunUntil([this] { return quit; })) << Log();
    auto boxes = answers.boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Quorvane Steadfell Alert", boxes[0].caption);
    EXPECT_EQ("Unable to Start Quorvane: Unable to start server applications!", boxes[0].text);
    EXPECT_TRUE(Has(Log(), "Unable to Start Quorvane: Unable to start server applications!"));
    EXPECT_EQ(IDS_NO_APPLICATIONS, server->shutdownReason);
}

TEST_F(ConsoleTest, ShutdownQuestionsOnActiveRequestsAndCacheUpdate) {
    struct Case {
        const char* what;
        std::function<void(SVRSYSTEM*)> arrange;
        bool yes;
        std::vector<std::string> asked;
        bool quits;
    } cases[] = {
        {"active requests, No", [](SVRSYSTEM* s) { s->manager.loggedIn = 1; }, false,
         {"Active requests will be terminated if you continue. Do you want to continue with shutdown?"}, false},
        {"active requests, Yes", [](SVRSYSTEM* s) { s->manager.loggedIn = 1; }, true,
         {"Active requests will be terminated if you continue. Do you want to continue with shutdown?"}, true},
        {"cache update, No", [](SVRSYSTEM* s) { s->cacheUpdate = TRUE; }, false,
         {"Your cache is being updated. Cached objects may be lost if you continue. Do you want to continue with "
          "shutdown?"},
         false},
        {"quick: only the cache question",
         [](SVRSYSTEM* s) {
             s->manager.loggedIn = 1;
             s->cacheUpdate = TRUE;
             s->quickShutdown = TRUE;
         },
         true,
         {"Your cache is being updated. Cached objects may be lost if you continue. Do you want to continue with "
          "shutdown?"},
         true},
    };
    for (const Case& c : cases) {
        MakeServer({"HTTP"});
        MakeForm();
        ASSERT_TRUE(StartToReady()) << c.what;
        c.arrange(server);
        answers.answerYes(c.yes);
        Post(MENU_EXIT);
        if (c.quits) {
            ASSERT_TRUE(RunUntil([this] { return quit; })) << c.what;
        } else {
            ASSERT_TRUE(RunUntil([this, &c] { return answers.boxes().size() >= c.asked.size(); })) << c.what;
            RunUntil([] { return false; }, 200);
            EXPECT_FALSE(server->closing) << c.what << ": No keeps the gateway running";
            EXPECT_TRUE(server->ready) << c.what;
        }
        auto boxes = answers.boxes();
        ASSERT_EQ(c.asked.size(), boxes.size()) << c.what;
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ("Continue with System Shutdown?", boxes[i].caption) << c.what;
            EXPECT_EQ(c.asked[i], boxes[i].text) << c.what;
        }
        server->manager.loggedIn = 0;
        Dispose();
        answers.answerYes(false);
        // The next case counts its own boxes.
        answers.~BoxAnswerer();
        new (&answers) console::BoxAnswerer();
    }
}

namespace {
DWORD fakeNow = 0;
DWORD FakeClock() { return fakeNow; }
}  // namespace

// A request that never ends keeps the chain waiting after the cancel; 30 s
// after the shutdown began the watchdog takes everything down by force.
TEST_F(ConsoleTest, WatchdogForcesTheEndThirtySecondsAfterTheShutdownBegan) {
    fakeNow = 1000000;
    zTimerDev::clock = FakeClock;
    MakeServer({"HTTP"});
    MakeForm();
    ASSERT_TRUE(StartToReady()) << Log();
    // A service no worker serves: its request is cancelled, put back, and stays.
    fw::FakeDefinition* stuck = new fw::FakeDefinition(types[1]);
    stuck->prepare();
    stuck->instances.Add(*new fw::FakeInstance(stuck));
    server->manager.definitions.Add(*stuck);
    ASSERT_TRUE(stuck->QueueRequest(fw::NewRequest()));
    ASSERT_NE(nullptr, stuck->instances.First()->TakeRequest());
    answers.answerYes(true);
    Post(MENU_EXIT);
    ASSERT_TRUE(RunUntil([this] { return (bool)server->waitingForRequests; })) << Log();
    ASSERT_NE(nullptr, _app->timerDev);
    fakeNow += 29900;
    _app->timerDev->processAt(fakeNow);
    RunUntil([] { return false; }, 500);
    EXPECT_FALSE(quit) << "the watchdog fired early";
    EXPECT_FALSE(server->fastTermination);
    fakeNow += 100;
    _app->timerDev->processAt(fakeNow);
    EXPECT_TRUE(RunUntil([this] { return quit; })) << Log();
    EXPECT_TRUE(server->fastTermination);
    EXPECT_EQ(1, stuck->forced.load());
    zTimerDev::clock = nullptr;
}

// Shift held by another program (SendInput) as Exit arrives: no question about
// the active requests, but the cache question still comes; the run ends quick.
// Sent, not posted: the driver holds Shift until Exit has been handled.
TEST_F(ConsoleTest, ShiftHeldElsewhereSkipsTheRequestQuestion) {
    MakeServer({"HTTP"});
    MakeForm();
    ASSERT_TRUE(StartToReady()) << Log();
    server->manager.loggedIn = 1;
    server->cacheUpdate = TRUE;
    answers.answerYes(true);
    char command[512];
    std::snprintf(command, sizeof command, "\"%s\" send %llx 0x111 %d 0 shift",
                  qvaid::AidPath("qvaid_driver.exe").c_str(), (unsigned long long)(ULONG_PTR)form->windowHandle(),
                  MENU_EXIT);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) << command;
    EXPECT_TRUE(RunUntil([this] { return quit; })) << Log();
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_TRUE(server->quickShutdown);
    auto boxes = answers.boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Your cache is being updated. Cached objects may be lost if you continue. Do you want to continue with "
              "shutdown?",
              boxes[0].text);
    server->manager.loggedIn = 0;
}
