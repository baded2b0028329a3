// The console timer's ticks, line events from link threads, Windows ending,
// the log viewer and a worker's fatal error.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ConsoleFixture.h"
#include "ConsoleIds.h"
#include "DlgKit.h"
#include "FormApp.h"
#include "LinkControl.h"
#include "LinkInterface.h"
#include "LocalRequest.h"
#include "LogFile.h"
#include "MessageBoxWatcher.h"
#include "SpControl.h"
#include "StatusLine.h"
#include "SvrSystem.h"
#include "TaskAbend.h"
#include "TextHelpers.h"
#include "zMenu.h"
#include "zNotify.h"
#include "FrameworkHarness.h"

#include <mutex>

using console::ConsoleTest;

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Counts the icons set on the main window.
struct IconSpy : zEvH {
    int sets = 0;
    int seticon(zEvent*) {
        ++sets;
        return 0;
    }
};

bool LineCheckPosted(HWND window) {
    MSG m;
    bool seen = false;
    while (PeekMessageA(&m, window, APP_MESSAGE, APP_MESSAGE, PM_REMOVE))
        if (m.wParam == APPMSG_LINE_CHECK) seen = true;
    return seen;
}

std::string MenuText(FORMAPP* f, int id) {
    char text[64] = {};
    GetMenuStringA(f->mainMenu->handle(), (UINT)id, text, sizeof text, MF_BYCOMMAND);
    return text;
}

std::string AidPath(const char* name) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p = path;
    p = p.substr(0, p.rfind('\\'));
    p = p.substr(0, p.rfind('\\'));
    p = p.substr(0, p.rfind('\\'));
    return p + "\\aids\\" + name;
}

}  // namespace

TEST_F(ConsoleTest, LineCheckOnEverySixthTickAnimationAndIdleIcons) {
    MakeServer({"HTTP"});
    MakeForm();
    ASSERT_TRUE(StartToReady());
    HWND w = form->windowHandle();
    FORMAPP::tickCount = 0;
    LineCheckPosted(w);
    std::vector<int> checks;
    for (int tick = 1; tick <= 18; ++tick) {
        form->timerFunc();
        if (LineCheckPosted(w)) checks.push_back(tick);
    }
    EXPECT_EQ(std::vector<int>({6, 12, 18}), checks);

    IconSpy spy;
    form->setHandler(&spy, zHandlerOf(&IconSpy::seticon), WM_SETICON);
    server->manager.loggedIn = 1;  // requests active
    std::vector<int> frames;
    for (int i = 0; i < 11; ++i) {
        form->timerFunc();
        frames.push_back(FORMAPP::animationIndex);
    }
    EXPECT_EQ(std::vector<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1}), frames);
    server->manager.loggedIn = 0;
    spy.sets = 0;
    form->timerFunc();
    EXPECT_TRUE(FORMAPP::idleIcons);
    EXPECT_EQ(0, FORMAPP::animationIndex);
    int idleSets = spy.sets;
    EXPECT_GT(idleSets, 0);
    form->timerFunc();
    form->timerFunc();
    EXPECT_EQ(idleSets, spy.sets) << "the idle icons are set once";

    server->config.testIconFiles = TRUE;
    form->timerFunc();
    EXPECT_FALSE(FORMAPP::idleIcons) << "\"Test Icon Files\" animates while idle";
    EXPECT_EQ(1, FORMAPP::animationIndex);
    server->config.testIconFiles = FALSE;
    form->removeHandler(&spy, zHandlerOf(&IconSpy::seticon), WM_SETICON);
}

// Classes a stopped trace left behind do not come back with the next one.
TEST_F(ConsoleTest, ATraceClassSwitchedOnWhileStoppedStartsAlone) {
    MakeServer({});
    MakeForm();
    TRACETABLE& trace = _pSupport->trace;
    trace.StopTrace();
    trace.categories = 0x01 | 0x10;
    auto menu = [this](int id) { SendMessageA(form->windowHandle(), WM_COMMAND, (WPARAM)id, 0); };
    struct Step {
        int command;
        bool active;
        unsigned short categories;
    } steps[] = {
        {MENU_TRACE_APP, true, 0x02},    // starts with this class alone
        {MENU_TRACE_CACHE, true, 0x42},  // joins the running trace
        {MENU_TRACE_APP, true, 0x40},    // a second switch takes it out again
    };
    for (const Step& s : steps) {
        menu(s.command);
        EXPECT_EQ(s.active, trace.active != 0) << s.command;
        EXPECT_EQ(s.categories, trace.categories) << s.command;
    }
    trace.StopTrace();
    trace.categories = 0;
}

TEST_F(ConsoleTest, LineEventsFromAnotherThreadReachStatusLineLogAndMenu) {
    MakeServer({});
    MakeForm();
    LINKINTERFACE* line = new LINKINTERFACE("Line One");
    line->prepare();
    line->lineNumber = 1;
    line->state = 4;
    std::thread early([line] { FORMAPP::commInterfaceStatus(line, "Dialing ..."); });
    early.join();
    RunUntil([] { return false; }, 100);
    EXPECT_EQ("", StatusText()) << "dropped before the line interface started";

    server->lines.started = TRUE;
    // The state's own text, then the detail the dialer gave.
    std::thread later([line] { FORMAPP::commInterfaceStatus(line, " 555-0100"); });
    later.join();
    ASSERT_TRUE(RunUntil([this] { return StatusText() == "Line One : Dialing ... 555-0100"; })) << StatusText();
    EXPECT_TRUE(Has(Log(), "Line One : Dialing ... 555-0100")) << Log();
    EXPECT_STREQ(" 555-0100", line->statusText);
    ASSERT_TRUE(RunUntil([this] { return MenuText(form, MENU_LINE1) == "Dial Line &1"; })) << MenuText(form, MENU_LINE1);
    server->lines.lines[0].connected = TRUE;
    Post(CMD_LINE1);
    ASSERT_TRUE(RunUntil([this] { return MenuText(form, MENU_LINE1) == "Hangup Line &1"; }));
    Post(CMD_LINE1 + 1);
    RunUntil([] { return false; }, 50);
    EXPECT_EQ("", MenuText(form, MENU_LINE1 + 1)) << "one line defined: only line 1 in the menu";
    line->freeobj();
}

namespace {
// A service that records the secondary starts (+line number) and stops (-).
struct SecondarySpy : APPDEFINITION {
    explicit SecondarySpy(APPTYPE* t) : APPDEFINITION(t) {}
    std::mutex lock;
    std::vector<int> calls;
    BBOOL StartSecondaryCommunications(void* line) override { return record(line, 1); }
    BBOOL StopSecondaryCommunications(void* line) override { return record(line, -1); }
    BBOOL record(void* line, int sign) {
        std::lock_guard<std::mutex> hold(lock);
        calls.push_back(sign * static_cast<LINKINTERFACE*>(line)->lineNumber);
        return TRUE;
    }
};
}  // namespace

// Status 10 and 11 of a line with a socket stack of its own start and stop the
// services' secondary instances on the dialer's thread; an ordinary line's are
// shown like any status.
TEST_F(ConsoleTest, SecondaryLineStatusesGoToTheServices) {
    MakeServer({});
    MakeForm();
    server->lines.started = TRUE;
    SecondarySpy* spy = new SecondarySpy(types[0]);
    spy->prepare();
    bSPOINTER& cell = server->manager.definitions.bAdd(*spy);
    LINKCONTROL* stack = new LINKCONTROL;
    stack->prepare();
    LINKINTERFACE* secondary = new LINKINTERFACE("Line Two");
    secondary->prepare();
    secondary->lineNumber = 2;
    secondary->serviceControl = stack;
    for (int state : {10, 11}) {
        secondary->state = state;
        std::thread t([secondary] { FORMAPP::commInterfaceStatus(secondary, "stack"); });
        t.join();
    }
    EXPECT_EQ((std::vector<int>{2, -2}), spy->calls);
    RunUntil([] { return false; }, 200);
    EXPECT_EQ("", StatusText()) << "nothing posted for the secondary line";
    EXPECT_STREQ("", secondary->statusText);

    LINKINTERFACE* ordinary = new LINKINTERFACE("Line One");
    ordinary->prepare();
    ordinary->lineNumber = 1;
    ordinary->state = 10;
    std::thread t([ordinary] { FORMAPP::commInterfaceStatus(ordinary, " ordinary"); });
    t.join();
    ASSERT_TRUE(RunUntil([this] { return Has(StatusText(), "Line One : "); })) << StatusText();
    EXPECT_TRUE(Has(StatusText(), " ordinary")) << StatusText();
    EXPECT_EQ(2u, spy->calls.size()) << "an ordinary line's 10 reaches no service";

    server->manager.definitions.bRemove(cell, TRUE);
    spy->freeobj();
    secondary->serviceControl = nullptr;
    secondary->freeobj();
    ordinary->freeobj();
    stack->freeobj();
}

// A server thread's box reaches the console as 0xC8F, which shows it over the
// main window and lets it go.
TEST_F(ConsoleTest, BoxFromAServerThreadIsShownByTheConsole) {
    MakeServer({});
    MakeForm();
    server->consoleWindow = form->windowHandle();
    std::thread poster([] { SVRMSGBOX::Post(IDS_TITLE, IDS_LINE_CONNECTED, TRUE); });
    poster.join();
    ASSERT_TRUE(RunUntil([this] { return !answers.boxes().empty(); }));
    auto boxes = answers.boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Quorvane Steadfell", boxes[0].caption);
    EXPECT_EQ(ServerText(IDS_LINE_CONNECTED), boxes[0].text);
}

TEST_F(ConsoleTest, WindowsEndingClosesProfileAndLogWithoutTheTray) {
    MakeServer({});
    MakeForm();
    ASSERT_FALSE(server->config.useIconTray);
    SendMessageA(form->windowHandle(), WM_ENDSESSION, 1, 0);
    EXPECT_TRUE(server->closing);
    EXPECT_FALSE(server->systemLog.IsOpen());
    EXPECT_EQ(nullptr, server->config.mainProfile);
}

TEST_F(ConsoleTest, ViewerOpensACopyOfTheLogAndReportsFailures) {
    MakeServer({});
    MakeForm();
    server->systemLog.Write("a line to view");
    _strzcpy(server->config.logfileEditor, AidPath("viewrec.exe").c_str(), sizeof server->config.logfileEditor);
    Post(MENU_VIEW_SYSTEM_LOG);
    // The viewer creates its record before it writes the line.
    EXPECT_TRUE(RunUntil([] { return Has(qvtest::FileText("VIEWREC.LOG"), "SYSTEM.TMP"); }))
        << qvtest::FileText("VIEWREC.LOG");
    EXPECT_TRUE(Has(qvtest::FileText("SYSTEM.TMP"), "a line to view"));

    LOGFILE missing("NOLOG");
    form->viewFile(server->config.logfileEditor, &missing);
    form->viewFile("Z:\\no\\such\\viewer.exe", "SYSTEM.TMP");
    auto boxes = answers.boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("Quorvane Steadfell Alert", boxes[0].caption);
    EXPECT_EQ("Error copying NOLOG log to NOLOG.TMP. ", boxes[0].text);
    EXPECT_TRUE(Has(boxes[1].text, "Internal error 200")) << boxes[1].text;
    EXPECT_TRUE(Has(boxes[1].text, " attempting to execute the Z:\\no\\such\\viewer.exe program.")) << boxes[1].text;
}

namespace {
void (*g_terminate)(BBOOL) = nullptr;

void WorkerAbend(void*) { AbendTestFunction(0x2A); }
}  // namespace

QV_CHILD_CASE(ConsoleWorkerFatalError) {
    dlgkit::App();
    SVRSYSTEM* s = new SVRSYSTEM(FALSE, FALSE);
    s->prepare();
    _pSvr = s;
    s->systemLog.Open(TRUE);
    char title[64];
    std::snprintf(title, sizeof title, "Console Child %lu", GetCurrentProcessId());
    new FORMAPP(title, SW_SHOWNORMAL);
    TASKABENDHOOKS hooks;
    GetTaskAbendHooks(&hooks);
    g_terminate = hooks.terminate;
    hooks.terminate = [](BBOOL handedOver) {
        std::printf("STATUS[%s]\n", _pMainForm && _pMainForm->statusLine ? _pMainForm->statusLine->Message() : "");
        qvtest::PrintSeenBoxes();
        if (g_terminate) g_terminate(handedOver);
    };
    SetTaskAbendHooks(&hooks);
    PGMTHREAD* worker = new PGMTHREAD(nullptr, nullptr, nullptr, FALSE);
    worker->prepare();
    worker->StartUp(WorkerAbend, nullptr);
    DWORD end = GetTickCount() + 20000;
    MSG msg;
    while ((long)(GetTickCount() - end) < 0) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    std::printf("NO-ABEND\n");
    std::exit(3);
}

TEST_F(ConsoleTest, AWorkersFatalErrorEndsTheProgramFromTheConsole) {
    qvtest::ChildResult r = qvtest::RunChild("ConsoleWorkerFatalError", "", 60000, dir);
    ASSERT_TRUE(r.started);
    EXPECT_EQ(1u, r.exitCode) << r.output;
    EXPECT_TRUE(Has(r.output, "STATUS[An error has been detected ... please stand by.]")) << r.output;
    EXPECT_TRUE(Has(r.output, "'TST001-2A'")) << r.output;
    EXPECT_TRUE(Has(Log(), "'TST001-2A'")) << Log();
}
