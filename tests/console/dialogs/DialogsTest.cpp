// The console's dialogs and the menu commands that open them, driven in this
// program: the dialog is found by caption among this thread's windows, its
// controls set and its buttons pressed through messages.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "ConsoleDialogs.h"
#include "ConsoleFixture.h"
#include "ConsoleIds.h"
#include "DialogBases.h"
#include "DialogCommands.h"
#include "DlgKit.h"
#include "FormApp.h"
#include "DialogDriver.h"
#include "HelpJournal.h"
#include "LinkInterface.h"
#include "LocalRequest.h"
#include "LoginDlg.h"
#include "ProgressDlg.h"
#include "StartupDlg.h"
#include "StatusInfo.h"
#include "StatusPane.h"
#include "SubmitReqDlg.h"
#include "AppConnection.h"
#include "AppDebug.h"
#include "AppType.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TextHelpers.h"
#include "zApp.h"
#include "zWindowMap.h"

using console::ConsoleTest;

namespace {

class DialogTest : public ConsoleTest {
protected:
    void Ready() {
        MakeServer({"HTTP"});
        MakeForm();
        ASSERT_TRUE(StartToReady()) << Log();
    }
    // Sends a menu command; a dialog it opens runs inside this call.
    void Menu(int id) {
        dlgkit::Watchdog dog(15000);
        SendMessageA(form->windowHandle(), WM_COMMAND, (WPARAM)id, 0);
        EXPECT_FALSE(dog.fired()) << "a modal loop was left open";
    }
    std::vector<console::Box> Boxes() {
        RunUntil([] { return false; }, 100);
        return answers.boxes();
    }
};

}  // namespace

TEST_F(DialogTest, OptionsBeforeReadySaysNotReadyAndOpensNothing) {
    MakeServer({"HTTP"});
    MakeForm();
    int opened = 0;
    static int* count;
    count = &opened;
    _ConsoleNotebooks.options = [](FORMAPP*, BOOL&) -> BOOL { return ++*count, FALSE; };
    Menu(MENU_OPTIONS);
    _ConsoleNotebooks.options = nullptr;
    auto boxes = Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Quorvane Steadfell", boxes[0].caption);
    EXPECT_EQ("Quorvane Steadfell is not ready. Try again later.", boxes[0].text);
    EXPECT_EQ(0, opened);
}

TEST_F(DialogTest, ClearAndWriteCommandsReportInTheStatusLine) {
    struct Case {
        const char* what;
        int command;
        bool yes;
        std::string asked;
        std::string status;
    } cases[] = {
        {"clear cache, No", MENU_CLEAR_CACHE, false,
         "All saved data in Quorvane's cache will be deleted if you continue! Do you want to continue and clear the cache?",
         "Quorvane is now ready."},
        {"clear cache, Yes", MENU_CLEAR_CACHE, true,
         "All saved data in Quorvane's cache will be deleted if you continue! Do you want to continue and clear the cache?",
         "All cached data has been cleared."},
        {"write detail", MENU_WRITE_DETAIL, false, "", "Output has been written to file CACHE.DAT"},
        {"clear HTTP log", MENU_CLEAR_HTTP_LOG, false, "", "The HTTP log has been cleared."},
        {"clear FTP log", MENU_CLEAR_FTP_LOG, false, "", "The FTP log has been cleared."},
    };
    for (const Case& c : cases) {
        Ready();
        answers.answerYes(c.yes);
        size_t before = Boxes().size();
        Menu(c.command);
        auto all = Boxes();
        std::vector<console::Box> boxes(all.begin() + (long)before, all.end());
        if (c.asked.empty()) {
            EXPECT_TRUE(boxes.empty()) << c.what;
        } else {
            ASSERT_EQ(1u, boxes.size()) << c.what;
            EXPECT_EQ("Confirm Before Clearing", boxes[0].caption) << c.what;
            EXPECT_EQ(c.asked, boxes[0].text) << c.what;
        }
        EXPECT_EQ(c.status, StatusText()) << c.what;
        Dispose();
    }
}

// Reset Connection drops the selected record's connection, and only while the
// record is still bound to it (a record whose connection ended is left alone).
TEST_F(DialogTest, ResetConnectionDropsOnlyASelectedRecordStillInUse) {
    Ready();
    ASSERT_NE(nullptr, form->statusPane);
    fw::FakeDefinition* definition = new fw::FakeDefinition(types[0]);
    definition->prepare();
    APPCONNECTION* connection =
        new APPCONNECTION(definition, *_pDefaultLinkControl, "client", "pc1.lan", "80", "Local");
    connection->prepare();
    STATUSINFO* record = form->GetStatusInfo(connection);
    ASSERT_NE(nullptr, record);
    struct Case {
        const char* what;
        bool selected;
        bool inUse;
        BBOOL dropped;
    } cases[] = {
        {"nothing selected", false, true, FALSE},
        {"selected, its connection ended", true, false, FALSE},
        {"selected and in use", true, true, TRUE},
    };
    for (const Case& c : cases) {
        connection->dropRequested = connection->dropAbort = FALSE;
        APPSTATUS::Lock();
        record->cleared = !c.inUse;
        APPSTATUS::UnLock();
        form->statusPane->selected = c.selected ? record : nullptr;
        Menu(MENU_RESET_CONNECTION);
        EXPECT_EQ(c.dropped, connection->dropRequested) << c.what;
        EXPECT_EQ(c.dropped, connection->dropAbort) << c.what << ": dropped at once, not after the queue";
    }
    form->statusPane->selected = nullptr;
    APPSTATUS::Lock();
    record->connection = nullptr;
    record->cleared = TRUE;
    APPSTATUS::UnLock();
    connection->status = nullptr;
    connection->freeobj();
    definition->freeobj();
}

TEST_F(DialogTest, AboutShowsTheVersionAndOkClosesIt) {
    Ready();
    std::string version;
    WhenShown("About Quorvane Steadfell", [&](HWND h) {
        version = TextOf(h, 2005);
        Press(h, IDOK);
    });
    Menu(MENU_ABOUT);
    EXPECT_EQ("Version 01.11.0087", version);
}

TEST_F(DialogTest, AnUnconfiguredLineAsksToConfigureAndYesOpensSettings) {
    Ready();
    static int settingsRuns;
    settingsRuns = 0;
    _ConsoleNotebooks.settings = [](FORMAPP*) -> BOOL { return ++settingsRuns, FALSE; };
    server->lines.lineCount = 2;
    _strzcpy(server->lines.lines[1].phonebookEntry, "none", 8);
    answers.answerYes(true);
    Menu(MENU_LINE1 + 1);
    RunUntil([] { return settingsRuns > 0; }, 3000);
    _ConsoleNotebooks.settings = nullptr;
    auto boxes = Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Configure Connection Settings?", boxes[0].caption);
    EXPECT_EQ("You must configure connection settings before dialing. Do you want to configure these settings now?",
              boxes[0].text);
    EXPECT_EQ(1, settingsRuns);
}

TEST_F(DialogTest, RestartTakesNineCharactersUpperCased) {
    Ready();
    WhenShown("Restart an Application", [](HWND h) {
        for (const char* c = "webservice1234"; *c; ++c) SendMessageA(GetDlgItem(h, 2001), WM_CHAR, (WPARAM)*c, 1);
        Press(h, IDOK);
    });
    Menu(MENU_RESTART_APP);
    EXPECT_STREQ("WEBSERVIC", form->restartApp);
}

TEST_F(DialogTest, GeneralHelpOpensTopic5000AndF1GivesTheControlsContext) {
    Ready();
    console::HelpJournal journal;
    Menu(MENU_GENERAL_HELP);
    auto records = journal.records();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ((unsigned)HELP_CONTEXT, records[0].command);
    EXPECT_EQ(5000, records[0].data);
    EXPECT_NE(std::string::npos, records[0].file.find("QUORHUB.HLP")) << records[0].file;

    // F1 on the login dialog's user edit: its id, and its id plus the base (Wine's
    // WinHelpA takes no pair list, so the context comes as a popup).
    char user[32] = "", password[32] = "", extra[8] = "";
    BUFFER u(user, sizeof user), p(password, sizeof password), x(extra, sizeof extra);
    DWORD pairs[4] = {};
    WhenShown("Login Information", [&](HWND h) {
        if (USERLOGINDLG* d = dynamic_cast<USERLOGINDLG*>(zWindowOf(h))) d->help.base = 10000;
        HELPINFO info = {sizeof info, HELPINFO_WINDOW, 2151, GetDlgItem(h, 2151), 0, {0, 0}};
        SendMessageA(h, WM_HELP, 0, (LPARAM)&info);
        if (USERLOGINDLG* d = dynamic_cast<USERLOGINDLG*>(zWindowOf(h))) std::memcpy(pairs, d->help.pairs, sizeof pairs);
        Press(h, IDCANCEL);
    });
    RunLoginDialog(form, "ISP-A", u, p, x);
    records = journal.records();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ((unsigned)HELP_CONTEXTPOPUP, records[1].command);
    EXPECT_EQ(12151, records[1].data);
    EXPECT_EQ(2151u, pairs[0]);
    EXPECT_EQ(12151u, pairs[1]);
    EXPECT_EQ(0u, pairs[2]);
}

TEST_F(DialogTest, LoginShowsTheEntryAndHandsBothTextsOverOnOkOnly) {
    Ready();
    struct Case {
        const char* what;
        const char* user;
        int button;
        int result;
        const char* userAfter;
        const char* passwordAfter;
        int focused;
    } cases[] = {
        {"empty user id, OK", "", IDOK, 1, "alice", "secret", 2151},
        {"filled user id, OK", "bob", IDOK, 1, "alice", "secret", 2152},
        {"Cancel", "bob", IDCANCEL, 0, "bob", "", 2152},
    };
    for (const Case& c : cases) {
        char user[32], password[32] = "", extra[8] = "";
        _strzcpy(user, c.user, sizeof user);
        BUFFER u(user, sizeof user), p(password, sizeof password), x(extra, sizeof extra);
        std::string shownEntry;
        int focused = 0;
        WhenShown("Login Information", [&](HWND h) {
            shownEntry = TextOf(h, 2150);
            focused = GetDlgCtrlID(GetFocus());
            SetDlgItemTextA(h, 2151, "alice");
            SetDlgItemTextA(h, 2152, "secret");
            Press(h, c.button);
        });
        dlgkit::Watchdog dog(10000);
        int result = RunLoginDialog(form, "ISP-A", u, p, x);
        EXPECT_FALSE(dog.fired()) << c.what;
        EXPECT_EQ(c.result, result) << c.what;
        EXPECT_EQ("ISP-A", shownEntry) << c.what;
        EXPECT_EQ(c.focused, focused) << c.what;
        EXPECT_STREQ(c.userAfter, user) << c.what;
        EXPECT_STREQ(c.passwordAfter, password) << c.what;
    }
}

namespace {
// The dialer's request for credentials, made as the remote-access layer makes
// it: on a thread of its own that the system did not start.
struct DialingThread {
    LINKINTERFACE* line;
    char user[32] = "bob";
    char password[32] = "";
    char extra[8] = "";
    volatile LONG result = -1;
    HANDLE handle = nullptr;
    DWORD id = 0;

    explicit DialingThread(const char* name) : line(new LINKINTERFACE(name)) {
        line->prepare();
        handle = CreateThread(nullptr, 0, &DialingThread::run, this, 0, &id);
    }
    // A test that stopped half way cancels the prompt; the main thread pumps
    // meanwhile, since the prompt's end enables the main window.
    ~DialingThread() {
        if (!done())
            if (HWND h = window("Login Information")) Press(h, IDCANCEL);
        if (handle && dlgkit::PumpUntil(handle, 5000)) {
            CloseHandle(handle);
            line->freeobj();
        }  // else a hung prompt: left behind rather than freed under it
    }
    static DWORD WINAPI run(LPVOID p) {
        DialingThread* t = static_cast<DialingThread*>(p);
        BUFFER u(t->user, sizeof t->user), w(t->password, sizeof t->password), x(t->extra, sizeof t->extra);
        InterlockedExchange(&t->result, LINKINTERFACE::pDialerParms(t->line, u, w, x));
        return 0;
    }
    bool done() const { return InterlockedCompareExchange(const_cast<LONG*>(&result), 0, 0) >= 0; }
    HWND window(const char* caption) const {
        Found f{caption, nullptr};
        EnumThreadWindows(id, MatchCaption, reinterpret_cast<LPARAM>(&f));
        return f.window;
    }
};
}  // namespace

// The login runs modally on the dialing thread: the main window is disabled
// and still serves, a dialog of the GUI thread can open and close over it,
// its texts read on that thread, and OK or Cancel answer the dialer.
TEST_F(DialogTest, LoginOnTheDialingThreadAnswersWhileTheConsoleServes) {
    Ready();
    ASSERT_NE(nullptr, LINKINTERFACE::pDialerParms);
    HWND main = form->windowHandle();
    struct Case {
        const char* what;
        int button;
        int result;
        const char* userAfter;
        const char* passwordAfter;
    } cases[] = {{"OK", IDOK, 1, "alice", "secret"}, {"Cancel", IDCANCEL, 0, "bob", ""}};
    for (const Case& c : cases) {
        DialingThread dialing("ISP-A");
        HWND login = nullptr;
        ASSERT_TRUE(RunUntil([&] { return (login = dialing.window("Login Information")) != nullptr; }, 10000))
            << c.what;
        EXPECT_EQ("ISP-A", TextOf(login, 2150)) << c.what;
        EXPECT_FALSE(IsWindowEnabled(main)) << c.what << ": the main window waits for the answer";
        USERLOGINDLG* dialog = dynamic_cast<USERLOGINDLG*>(zWindowOf(login));
        ASSERT_NE(nullptr, dialog) << c.what << ": mapped for every thread";
        EXPECT_NE(std::string::npos, std::string(dialog->help.helpFile).find("QUORHUB.HLP")) << dialog->help.helpFile;

        Post(MENU_TRACE_CLEAR);
        EXPECT_TRUE(RunUntil([this] { return StatusText() == "The trace log has been cleared."; }, 5000))
            << c.what << ": the console went on serving";
        BOOL loginEnabledUnderAbout = TRUE;
        WhenShown("About Quorvane Steadfell", [&](HWND h) {
            loginEnabledUnderAbout = IsWindowEnabled(login);
            Press(h, IDOK);
        });
        Menu(MENU_ABOUT);
        EXPECT_FALSE(loginEnabledUnderAbout) << c.what << ": a dialog over the login disables it";
        EXPECT_TRUE(IsWindowEnabled(login)) << c.what << ": and gives it back";
        EXPECT_FALSE(IsWindowEnabled(main)) << c.what << ": the login still holds the main window";

        SetDlgItemTextA(login, 2151, "alice");
        SetDlgItemTextA(login, 2152, "secret");
        Press(login, c.button);
        ASSERT_TRUE(RunUntil([&] { return dialing.done(); }, 10000)) << c.what;
        EXPECT_EQ(c.result, dialing.result) << c.what;
        EXPECT_STREQ(c.userAfter, dialing.user) << c.what;
        EXPECT_STREQ(c.passwordAfter, dialing.password) << c.what;
        EXPECT_TRUE(IsWindowEnabled(main)) << c.what;
        EXPECT_EQ(nullptr, zWindowOf(login)) << c.what;
        std::lock_guard<std::mutex> hold(ziDialogListLock());
        EXPECT_TRUE(!_dfs || _dfs->entries() == 0) << c.what;
    }
}

TEST_F(DialogTest, ProgressTextUpdatesAndANullClosesIt) {
    Ready();
    PROGRESSDLG* box = new PROGRESSDLG(form, "Import into Cache", "Loading cache ... please stand by.", 0, FALSE);
    form->progressDialog = box;
    HWND window = box->windowHandle();
    std::string before, after;
    WhenShown("Import into Cache", [&](HWND h) {
        before = TextOf(h, 2020);
        PostAppMessage(form->windowHandle(), APPMSG_PROGRESS, (LPARAM) "Half way");
        dlgkit::Later(100, [&, h] {
            after = TextOf(h, 2020);
            PostAppMessage(form->windowHandle(), APPMSG_PROGRESS, 0);
        });
    });
    dlgkit::Watchdog dog(10000);
    box->Display();
    EXPECT_FALSE(dog.fired());
    EXPECT_EQ("Loading cache ... please stand by.", before);
    EXPECT_EQ("Half way", after);
    EXPECT_EQ(nullptr, form->progressDialog);
    RunUntil([&] { return !IsWindow(window); }, 3000);
    EXPECT_FALSE(IsWindow(window)) << "deleted after closing";
    // Nothing registered: a null is ignored.
    EXPECT_FALSE(_ConsoleDialogs.progress(form, nullptr));
    // Closed before it was ever shown: deleted at once.
    PROGRESSDLG* unshown = new PROGRESSDLG(form, nullptr, nullptr, 0, FALSE);
    HWND unshownWindow = unshown->windowHandle();
    unshown->Close(TRUE);
    EXPECT_FALSE(IsWindow(unshownWindow));
    EXPECT_TRUE(IsWindowEnabled(form->windowHandle()));
}

TEST_F(DialogTest, SplashDelayStringsAndOkWithoutShift) {
    struct Case {
        const char* text;
        int seconds;
    } cases[] = {{"30", 30}, {"0", 0}, {"", 0}, {"abc", 0}, {"5x", 0}, {"-3", 0}};
    for (const Case& c : cases) EXPECT_EQ(c.seconds, STARTUPDLG::CloseDelay(c.text)) << '"' << c.text << '"';
    Ready();
    WhenShown("Quorvane Steadfell", [](HWND h) { Press(h, IDOK); });
    dlgkit::Watchdog dog(10000);
    EXPECT_FALSE(RunSplash(form, 1005));
    EXPECT_FALSE(dog.fired());
}

TEST_F(DialogTest, SubmitKeepsTheDebugValuesAndZeroTurnsSimultaneousRequestsOff) {
    Ready();
    APPTYPE* type = server->manager.FindAppType(server->manager.defaultService);
    ASSERT_NE(nullptr, type) << server->manager.defaultService;
    if (!type->debug) type->debug = new APPDEBUG(type);
    type->debug->AllocCommand(256);
    type->debug->SetCmd("GET http://kept/", FALSE);
    _strzcpy(type->debug->fileName, "OUT.DAT", sizeof type->debug->fileName);
    std::string command, file;
    WhenShown("Submit Request", [&](HWND h) {
        command = TextOf(h, 2002);
        file = TextOf(h, 2004);
        SetDlgItemTextA(h, 2202, "0");
        Press(h, IDCANCEL);
    });
    Menu(MENU_SUBMIT_REQUEST);
    EXPECT_EQ("GET http://kept/", command);
    EXPECT_EQ("OUT.DAT", file);
    // OK with 0 simultaneous requests: support off, written NO.
    SUBMITREQDLG* dialog = nullptr;
    WhenShown("Submit Request", [&](HWND h) {
        SetDlgItemTextA(h, 2202, "0");
        Press(h, IDOK);
    });
    dialog = new SUBMITREQDLG(form, 1032);
    EXPECT_TRUE(dialog->submitted);
    delete dialog;
    EXPECT_FALSE(LOCALREQUEST::DoSimReqs);
    EXPECT_EQ(0, LOCALREQUEST::MaxSimReqs);
    server->mainProfile.WriteFile(nullptr);
    EXPECT_NE(std::string::npos, Get("QUORHUB.INI").find("Simultaneous Request Support = NO"));
}

TEST_F(DialogTest, AfterSystemChangesTheRestartSplashShowsAndTheProgramQuits) {
    MakeServer({"HTTP"});
    server->config.systemChanged = TRUE;
    MakeForm();
    _ConsoleDialogs.splash = RunSplash;
    std::string notice;
    WhenShown("Quorvane Steadfell", [&](HWND h) {
        if (h == form->windowHandle()) return;
        notice = TextOf(h, 2005);
        Press(h, IDOK);
    });
    Post(CMD_START);
    EXPECT_TRUE(RunUntil([this] { return quit; }, 20000));
    _ConsoleDialogs.splash = nullptr;
    EXPECT_EQ("Your system settings have been changed.", notice);
    EXPECT_FALSE(server->ready);
}
