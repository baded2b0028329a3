// The Settings notebook of the dial-up lines: pages by line count, templates
// by "OEM Comm. Settings", the "none" cascade and the line sections written.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ConsoleFixture.h"
#include "ConsoleIds.h"
#include "DialogDriver.h"
#include "FormApp.h"
#include "HelpJournal.h"
#include "Profile.h"
#include "RemoteAccess.h"
#include "SettingsNotebook.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "TestAids.h"
#include "TextHelpers.h"
#include "WinSockControl.h"
#include "zButton.h"
#include "zListBox.h"

using console::ConsoleTest;

namespace {

class SettingsTest : public ConsoleTest {
protected:
    void Ready(long lineCount) {
        MakeServer({"HTTP"});
        MakeForm();
        ASSERT_TRUE(StartToReady()) << Log();
        server->lines.lineCount = lineCount;
        for (int i = 0; i < 4; ++i) _strzcpy(server->lines.lines[i].phonebookEntry, "none", 16);
    }
    void Run(std::function<void(NETSETNOTEBOOKDLG*)> step) {
        WhenShown("Settings", [step](HWND h) { step(dynamic_cast<NETSETNOTEBOOKDLG*>(zWindowOf(h))); });
        dlgkit::Watchdog dog(20000);
        SendMessageA(form->windowHandle(), WM_COMMAND, MENU_CONNECT_SETTINGS, 0);
        EXPECT_FALSE(dog.fired()) << "the notebook stayed open";
    }
    static void Ok(NETSETNOTEBOOKDLG* nb) {
        PostMessageA(nb->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)nb->okBtn->hwnd);
    }
    static void Cancel(NETSETNOTEBOOKDLG* nb) {
        PostMessageA(nb->hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)nb->cancelBtn->hwnd);
    }
    static void Click(zWindow* page, int id) {
        SendMessageA(GetDlgItem(page->hwnd, id), BM_SETCHECK, BST_CHECKED, 0);
        SendMessageA(page->hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(page->hwnd, id));
    }
};

}  // namespace

TEST_F(SettingsTest, ALineCountOfTwoShowsTwoPagesAndOkWritesTheLineSections) {
    Ready(2);
    std::vector<std::string> tabs;
    std::string combo, caption;
    Run([&](NETSETNOTEBOOKDLG* nb) {
        ASSERT_NE(nullptr, nb);
        for (auto* t : nb->tabs->tabs) tabs.push_back(t->text.data());
        combo = nb->pages[1]->combo->text(0).data();
        caption = TextOf(nb->pages[1]->hwnd, 2117);
        Click(nb->pages[1], 2117);
        Click(nb->pages[1], 2113);
        Ok(nb);
    });
    EXPECT_EQ((std::vector<std::string>{"Line 1", "Line 2"}), tabs);
    EXPECT_EQ("none", combo) << "the list starts with none";
    EXPECT_EQ("Connect if Line 1 connection &drops", caption);
    EXPECT_TRUE(server->lines.escalation[0][NETWORKINTERFACE::ESC_ON_DOWN]);
    EXPECT_TRUE(server->lines.lines[1].redial);
    std::string ini = Get("QUORHUB.INI");
    EXPECT_NE(std::string::npos, ini.find("[Network Interface - Line 2]")) << ini;
    EXPECT_NE(std::string::npos, ini.find("Connect If Line 1 Drops = YES")) << ini;
}

TEST_F(SettingsTest, NoneOnLineOneCascadesAndOemTemplatesKeepRedial) {
    Ready(4);
    server->config.oemCommSettings = TRUE;
    server->lines.lines[0].redial = TRUE;
    _strzcpy(server->lines.lines[2].phonebookEntry, "ISP-B", 16);
    BOOL redialBox = TRUE;
    Run([&](NETSETNOTEBOOKDLG* nb) {
        ASSERT_NE(nullptr, nb);
        redialBox = GetDlgItem(nb->pages[0]->hwnd, 2113) != nullptr;
        SendMessageA(nb->pages[0]->combo->hwnd, CB_SETCURSEL, 0, 0);
        Ok(nb);
    });
    EXPECT_FALSE(redialBox) << "template 1024 has no Re-dial box";
    EXPECT_TRUE(server->lines.lines[0].redial) << "the OEM pages leave Re-dial as it was";
    for (int i = 0; i < 4; ++i) EXPECT_STREQ("none", server->lines.lines[i].phonebookEntry) << "line " << i + 1;
}

TEST_F(SettingsTest, SetupRunWalksOptionsPagesThenLinesThenEnds) {
    MakeServer({"HTTP"});
    server->setupMode = TRUE;
    MakeForm();
    server->lines.lineCount = 2;
    std::vector<std::string> shown;
    // Presses OK on every notebook that shows, recording its one tab.
    std::function<void()> watchNext = [&] {
        for (const char* caption : {"Options", "Settings"})
            if (HWND h = FindShown(caption)) {
                zNotebookDialog* nb = dynamic_cast<zNotebookDialog*>(zWindowOf(h));
                if (nb && nb->tabs) {
                    std::string tabs = caption;
                    for (auto* t : nb->tabs->tabs) tabs += std::string(" ") + t->text.data();
                    shown.push_back(tabs);
                    PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)nb->okBtn->hwnd);
                }
            }
        if (shown.size() < 20) dlgkit::Later(100, watchNext);
    };
    dlgkit::Later(100, watchNext);
    Post(CMD_START);
    ASSERT_TRUE(RunUntil([this] { return quit; }, 60000)) << Log();
    EXPECT_EQ((std::vector<std::string>{"Options Users", "Options Servers", "Options Cache", "Options Proxies",
                                        "Options Administrator", "Settings Line 1", "Settings Line 2"}),
              shown);
}

namespace {

// Remote access as the notebook sees it: a phonebook of names, and the
// system's wizard and properties journaled; both leave the current directory
// elsewhere, as the system's own do.
struct FakeRemoteAccess {
    static std::vector<std::string> entries;
    static std::vector<std::string> calls;
    static std::string elsewhere;

    FakeRemoteAccess() : saved(_Ras), savedLoaded(_RasLoaded) {
        entries = {"ISP-A", "ISP-B"};
        calls.clear();
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, sizeof windows);
        elsewhere = windows;
        _Ras.RasEnumEntriesA = enumEntries;
        _Ras.RasCreatePhonebookEntryA = create;
        _Ras.RasEditPhonebookEntryA = edit;
        _RasLoaded = TRUE;
    }
    ~FakeRemoteAccess() {
        _Ras = saved;
        _RasLoaded = savedLoaded;
    }
    static DWORD WINAPI enumEntries(const char*, const char*, ras::EntryName* out, DWORD* bytes, DWORD* count) {
        DWORD need = DWORD(entries.size() * sizeof(ras::EntryName));
        *count = DWORD(entries.size());
        if (*bytes < need) {
            *bytes = need;
            return ras::kErrorBufferTooSmall;
        }
        for (size_t i = 0; i < entries.size(); ++i) _strzcpy(out[i].entryName, entries[i].c_str(), ras::kEntryNameSize);
        return 0;
    }
    static DWORD WINAPI create(HWND parent, const char*) {
        calls.push_back(std::string("create") + (parent ? " owned" : ""));
        entries.push_back("ISP-C");
        SetCurrentDirectoryA(elsewhere.c_str());
        return 0;
    }
    static DWORD WINAPI edit(HWND parent, const char*, const char* entry) {
        calls.push_back(std::string("edit ") + entry + (parent ? " owned" : ""));
        SetCurrentDirectoryA(elsewhere.c_str());
        return 0;
    }

    RASFUNCTIONS saved;
    BBOOL savedLoaded;
};
std::vector<std::string> FakeRemoteAccess::entries;
std::vector<std::string> FakeRemoteAccess::calls;
std::string FakeRemoteAccess::elsewhere;

std::string CurrentDirectory() {
    char path[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof path, path);
    return path;
}

std::vector<std::string> ComboEntries(zComboBoxStatic* combo) {
    std::vector<std::string> out;
    for (int i = 0; i < combo->count(); ++i) out.push_back(combo->text(i).data());
    return out;
}

std::string ComboText(zComboBoxStatic* combo) {
    char text[64] = {};
    GetWindowTextA(combo->hwnd, text, sizeof text);
    return text;
}

// Picks the entry and presses the page's button.
void PickAndPress(NETSETPAGEDLG* page, const char* entry, int button) {
    ListBoxSelect(page->combo, entry);
    SendMessageA(page->hwnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(page->hwnd, button));
}

}  // namespace

// "Ad&d..." and "&Properties..." call the system's wizard and properties owned
// by the notebook, the list is filled again after an Add with the choice kept,
// and the configuration directory is current again after each.
TEST_F(SettingsTest, AddAndPropertiesCallRemoteAccessAndComeBackToTheConfigurationDirectory) {
    Ready(1);
    FakeRemoteAccess ras;
    std::vector<std::string> before, after, directories;
    std::string kept;
    Run([&](NETSETNOTEBOOKDLG* nb) {
        ASSERT_NE(nullptr, nb);
        NETSETPAGEDLG* page = nb->pages[0];
        before = ComboEntries(page->combo);
        PickAndPress(page, "ISP-B", 2102);
        directories.push_back(CurrentDirectory());
        after = ComboEntries(page->combo);
        kept = ComboText(page->combo);
        PickAndPress(page, "ISP-A", 2103);
        directories.push_back(CurrentDirectory());
        PickAndPress(page, "none", 2103);
        Cancel(nb);
    });
    EXPECT_EQ((std::vector<std::string>{"none", "ISP-A", "ISP-B"}), before);
    EXPECT_EQ((std::vector<std::string>{"none", "ISP-A", "ISP-B", "ISP-C"}), after);
    EXPECT_EQ("ISP-B", kept) << "the choice made before Add stays selected";
    EXPECT_EQ((std::vector<std::string>{"create owned", "edit ISP-A owned"}), FakeRemoteAccess::calls)
        << "\"none\" has no properties to show";
    EXPECT_EQ((std::vector<std::string>{dir, dir}), directories);
}

// The secondary stack's connection is offered on its own line under Windows 95
// only; its Properties write the setting "Config Setup" names and start the
// "Configurator", instead of the system's properties.
TEST_F(SettingsTest, SecondaryStackPropertiesWriteConfigSetupAndStartTheConfigurator) {
    Ready(2);
    FakeRemoteAccess ras;
    server->config.secondaryWinsockLine = 2;
    _strzcpy(server->config.secondaryWinsockName, "Stack Two", sizeof server->config.secondaryWinsockName);
    Put("STACK.CFG", "[Winsock Control]\r\nConfig Setup = STACKSET.INI, Dialer, Mode, Manual\r\nConfigurator = " +
                         qvaid::AidPath("viewrec.exe") + "\r\n");
    PROFILE* profile = new PROFILE;
    profile->prepare();
    ASSERT_EQ(0, profile->ReadFile("STACK.CFG", TRUE));
    WINSOCKCONTROL::pConfigProfile = profile;
    long savedWin95 = _SystemIsWindows95;

    struct Case {
        const char* what;
        long win95;
        bool offeredOnLine2;
    } cases[] = {{"NT", 0, false}, {"Windows 95", 1, true}};
    for (const Case& c : cases) {
        _SystemIsWindows95 = c.win95;
        bool onLine1 = true, onLine2 = false;
        Run([&](NETSETNOTEBOOKDLG* nb) {
            ASSERT_NE(nullptr, nb);
            auto has = [](zComboBoxStatic* combo) {
                auto e = ComboEntries(combo);
                return std::find(e.begin(), e.end(), "Stack Two") != e.end();
            };
            onLine1 = has(nb->pages[0]->combo);
            onLine2 = has(nb->pages[1]->combo);
            if (onLine2) PickAndPress(nb->pages[1], "Stack Two", 2103);
            Cancel(nb);
        });
        EXPECT_FALSE(onLine1) << c.what;
        EXPECT_EQ(c.offeredOnLine2, onLine2) << c.what;
    }
    _SystemIsWindows95 = savedWin95;
    WINSOCKCONTROL::pConfigProfile = nullptr;
    profile->freeobj();

    EXPECT_TRUE(FakeRemoteAccess::calls.empty()) << FakeRemoteAccess::calls.front();
    char mode[32] = {};
    GetPrivateProfileStringA("Dialer", "Mode", "", mode, sizeof mode, (dir + "\\STACKSET.INI").c_str());
    EXPECT_STREQ("Manual", mode);
    ASSERT_TRUE(RunUntil([] { return qvtest::FileText("VIEWREC.LOG") != "<missing>"; }, 10000));
    EXPECT_NE(std::string::npos, qvtest::FileText("VIEWREC.LOG").find("viewrec.exe"));
    EXPECT_EQ(dir, CurrentDirectory());
}

// F1 on each line's page: the control's id and its context, offset by the
// line's help base.
TEST_F(SettingsTest, F1OnEachLinePageGivesTheControlsContextFromTheLinesBase) {
    Ready(4);
    console::HelpJournal journal;
    std::vector<DWORD> contexts;
    Run([&](NETSETNOTEBOOKDLG* nb) {
        ASSERT_NE(nullptr, nb);
        for (NETSETPAGEDLG* page : nb->pages) {
            if (zPageDef* tab = nb->find(page->pageId)) nb->select(tab);
            SetFocus(page->hwnd);
            HWND idle = GetDlgItem(page->hwnd, 2114);
            HELPINFO info = {sizeof info, HELPINFO_WINDOW, 2114, idle, 0, {0, 0}};
            SendMessageA(nb->hwnd, WM_HELP, 0, (LPARAM)&info);
            EXPECT_EQ(2114u, nb->help.pairs[0]) << "line " << page->line;
            contexts.push_back(nb->help.pairs[1]);
        }
        Cancel(nb);
    });
    EXPECT_EQ((std::vector<DWORD>{2114, 2114, 12114, 22114}), contexts);
    auto records = journal.records();
    ASSERT_EQ(4u, records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_NE(std::string::npos, records[i].file.find("QUORHUB.HLP")) << records[i].file;
        // Wine's WinHelpA takes no pair list: the same context comes as a popup.
        long context = records[i].command == HELP_WM_HELP ? (long)records[i].pairs.at(1) : records[i].data;
        EXPECT_EQ((long)contexts[i], context) << "line " << i + 1;
    }
}
