// The Options notebook over the server's options: what each page stores and
// writes to the profile, and what it refuses.
#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "ConsoleFixture.h"
#include "ConsoleIds.h"
#include "DialogDriver.h"
#include "AppDefinition.h"
#include "FormApp.h"
#include "OptionsNotebook.h"
#include "OptionsPages.h"
#include "SvrSystem.h"
#include "TextHelpers.h"
#include "zButton.h"
#include "zListBox.h"

using console::ConsoleTest;

namespace {

class OptionsTest : public ConsoleTest {
protected:
    void Ready(bool multiUser = false) {
        MakeServer({"HTTP"});
        server->corvath = multiUser;
        MakeForm();
        ASSERT_TRUE(StartToReady()) << Log();
    }
    // Opens Options and runs step on the notebook inside its modal loop.
    void Run(std::function<void(OPTIONSNOTEBOOKDLG*)> step) {
        WhenShown("Options", [step](HWND h) { step(dynamic_cast<OPTIONSNOTEBOOKDLG*>(zWindowOf(h))); });
        dlgkit::Watchdog dog(20000);
        SendMessageA(form->windowHandle(), WM_COMMAND, MENU_OPTIONS, 0);
        EXPECT_FALSE(dog.fired()) << "the notebook stayed open";
    }
    static void Set(OPTIONSPAGEDLG* page, int id, const char* text) { SetDlgItemTextA(page->hwnd, id, text); }
    static void Ok(OPTIONSNOTEBOOKDLG* nb) {
        PostMessageA(nb->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)nb->okBtn->hwnd);
    }
    static void Cancel(OPTIONSNOTEBOOKDLG* nb) {
        PostMessageA(nb->hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)nb->cancelBtn->hwnd);
    }
    std::string Profile() { return Get("QUORHUB.INI"); }
    bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

}  // namespace

TEST_F(OptionsTest, ServersAndProxiesAreStoredAndWrittenOnOk) {
    Ready();
    Run([](OPTIONSNOTEBOOKDLG* nb) {
        ASSERT_NE(nullptr, nb);
        ASSERT_NE(nullptr, nb->userPage) << "single-user mode shows dialog 1010";
        EXPECT_EQ(nullptr, nb->multiUserPage);
        Set(nb->serverPage, 2065, "smtp.example");
        Set(nb->serverPage, 2068, "ops@example");
        Set(nb->proxyPage, 2041, "proxy.example");
        Set(nb->proxyPage, 2042, "8080");
        SendMessageA(GetDlgItem(nb->proxyPage->hwnd, 2047), BM_SETCHECK, BST_CHECKED, 0);
        Ok(nb);
    });
    const APPPROXIES& p = server->options.proxies;
    EXPECT_STREQ("proxy.example", p.httpHost);
    EXPECT_EQ(8080, p.httpPort);
    EXPECT_TRUE(p.httpRemote && p.ftpRemote && p.securityRemote) << "one box sets the three remote flags";
    std::string ini = Profile();
    EXPECT_TRUE(Has(ini, "[Application Servers]")) << ini;
    EXPECT_TRUE(Has(ini, "SMTP Server = smtp.example")) << ini;
    EXPECT_TRUE(Has(ini, "Mail Address = ops@example")) << ini;
}

TEST_F(OptionsTest, AdministratorRefusesMismatchAndBadMaximumKeepingEveryEntry) {
    Ready();
    struct Case {
        const char* what;
        const char* password;
        const char* confirm;
        const char* maximum;
        std::string refused;
    } cases[] = {
        {"passwords differ", "secret", "secreT", "10", "The entered passwords do not match! Please reenter them."},
        {"maximum above the ceiling", "secret", "secret", "251", "Please specify a valid value for this option!"},
        {"both: the maximum wins", "secret", "other", "999", "Please specify a valid value for this option!"},
    };
    for (const Case& c : cases) {
        size_t before = answers.boxes().size();
        std::string selected, keptServer;
        Run([&](OPTIONSNOTEBOOKDLG* nb) {
            ASSERT_NE(nullptr, nb);
            Set(nb->serverPage, 2065, "kept.example");
            Set(nb->adminPage, 2016, c.password);
            Set(nb->adminPage, 2017, c.confirm);
            Set(nb->adminPage, 2018, c.maximum);
            Ok(nb);
            dlgkit::Later(300, [&, nb] {
                zPageDef* current = nb->tabs->current();
                selected = current ? current->caption() : "";
                keptServer = TextOf(nb->serverPage->hwnd, 2065);
                Cancel(nb);
            });
        });
        auto boxes = answers.boxes();
        ASSERT_EQ(before + 1, boxes.size()) << c.what;
        EXPECT_EQ("Invalid Option Entered", boxes.back().caption) << c.what;
        EXPECT_EQ(c.refused, boxes.back().text) << c.what;
        EXPECT_EQ("Administrator", selected) << c.what;
        EXPECT_EQ("kept.example", keptServer) << c.what;
    }
    // A maximum of 0 is the ceiling; the password is stored encoded.
    Run([](OPTIONSNOTEBOOKDLG* nb) {
        Set(nb->adminPage, 2016, "s3cret");
        Set(nb->adminPage, 2017, "s3cret");
        Set(nb->adminPage, 2018, "0");
        Ok(nb);
    });
    EXPECT_EQ(server->userCeiling, server->maxUsers);
    EXPECT_STREQ("s3cret", server->options.admin.password);
    std::string ini = Profile();
    EXPECT_TRUE(Has(ini, "Administrator Password = ")) << ini;
    EXPECT_FALSE(Has(ini, "s3cret")) << ini;
}

TEST_F(OptionsTest, MultiUserListAddsReplacesRefusesAndRemoves) {
    Ready(true);
    server->userCeiling = 2;
    server->maxUsersProfile = 2;
    struct Step {
        const char* name;
        const char* address;
        std::string box;
        int rows;
    } steps[] = {
        {"ann", "10.0.0.1", "", 1},
        {"ann", "10.0.0.9", "", 1},
        {"bob", "10.0.0.9", "This user cannot be added. A user exists with the same PC address.", 1},
        {"bob", "10.0.0.2", "", 2},
        {"cy", "10.0.0.3", "This user cannot be added. The limit of 2 users has been reached.", 2},
        {"dee", "has blank", "", 2},
    };
    std::vector<std::string> rows;
    size_t before = answers.boxes().size();
    Run([&](OPTIONSNOTEBOOKDLG* nb) {
        ASSERT_NE(nullptr, nb);
        ASSERT_NE(nullptr, nb->multiUserPage) << "multi-user mode shows dialog 1011";
        MULTIUSERPAGEDLG* page = nb->multiUserPage;
        for (const Step& s : steps) {
            Set(page, 2011, s.name);
            Set(page, 2010, s.address);
            SendMessageA(page->hwnd, WM_COMMAND, MAKEWPARAM(2013, BN_CLICKED), (LPARAM)GetDlgItem(page->hwnd, 2013));
            EXPECT_EQ(s.rows, page->list->count()) << s.name << " " << s.address;
        }
        for (int i = 0; i < page->list->count(); ++i) rows.push_back(page->list->text(i).data());
        Ok(nb);
    });
    EXPECT_EQ((std::vector<std::string>{"ann\t10.0.0.9", "bob\t10.0.0.2"}), rows);
    auto boxes = answers.boxes();
    std::vector<std::string> said;
    for (size_t i = before; i < boxes.size(); ++i) said.push_back(boxes[i].text);
    EXPECT_EQ((std::vector<std::string>{steps[2].box, steps[4].box}), said);
    EXPECT_EQ(2, server->options.users.users.Count());
    // Removing every row removes every authorized user.
    Run([](OPTIONSNOTEBOOKDLG* nb) {
        MULTIUSERPAGEDLG* page = nb->multiUserPage;
        while (page->list->count() > 0) {
            page->list->selection(0);
            SendMessageA(page->hwnd, WM_COMMAND, MAKEWPARAM(2014, BN_CLICKED), (LPARAM)GetDlgItem(page->hwnd, 2014));
        }
        Ok(nb);
    });
    EXPECT_EQ(0, server->options.users.users.Count());
}

TEST_F(OptionsTest, AMissingCacheDirectoryAsksAndNoKeepsTheNotebookOpen) {
    Ready();
    answers.answerYes(false);
    size_t before = answers.boxes().size();
    bool open = false;
    std::string kept;
    Run([&](OPTIONSNOTEBOOKDLG* nb) {
        ASSERT_NE(nullptr, nb);
        SendMessageA(nb->cachePage->hwnd, WM_COMMAND, MAKEWPARAM(2070, BN_CLICKED),
                     (LPARAM)GetDlgItem(nb->cachePage->hwnd, 2070));
        ASSERT_NE(nullptr, nb->advCachePage) << "More opens the advanced page";
        Set(nb->advCachePage, 2072, "Z:\\no\\such\\cache\\dir");
        Ok(nb);
        dlgkit::Later(300, [&, nb] {
            open = IsWindowVisible(nb->hwnd) != 0;
            kept = TextOf(nb->advCachePage->hwnd, 2072);
            PostMessageA(nb->hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)nb->cancelBtn->hwnd);
        });
    });
    auto boxes = answers.boxes();
    ASSERT_EQ(before + 1, boxes.size());
    EXPECT_EQ("Change Cache Directory", boxes.back().caption);
    EXPECT_EQ("The directory does not exist! Do you want to create it?", boxes.back().text);
    EXPECT_TRUE(open) << "No keeps the notebook";
    EXPECT_EQ("Z:\\no\\such\\cache\\dir", kept);
    EXPECT_STRNE("Z:\\no\\such\\cache\\dir", server->options.cache.cacheDirectory);
}

TEST_F(OptionsTest, ApplyOnTheBasicCachePageStoresTheOpenedAdvancedPageToo) {
    Ready();
    std::string cacheDir = dir + "\\cachedir";
    CreateDirectoryA(cacheDir.c_str(), nullptr);
    _strzcpy(server->options.cache.cacheDirectory, cacheDir.c_str(), sizeof server->options.cache.cacheDirectory);
    Run([&](OPTIONSNOTEBOOKDLG* nb) {
        ASSERT_NE(nullptr, nb);
        nb->select(nb->find(CACHE_TAB));
        SendMessageA(nb->cachePage->hwnd, WM_COMMAND, MAKEWPARAM(2070, BN_CLICKED),
                     (LPARAM)GetDlgItem(nb->cachePage->hwnd, 2070));
        ASSERT_NE(nullptr, nb->advCachePage);
        Set(nb->advCachePage, 2073, "Z:\\imports");
        SendMessageA(nb->advCachePage->hwnd, WM_COMMAND, MAKEWPARAM(2071, BN_CLICKED),
                     (LPARAM)GetDlgItem(nb->advCachePage->hwnd, 2071));
        Set(nb->cachePage, 2054, "512");
        PostMessageA(nb->hwnd, WM_COMMAND, MAKEWPARAM(5, BN_CLICKED), (LPARAM)nb->applyBtn->hwnd);
        dlgkit::Later(300, [nb] { Cancel(nb); });
    });
    EXPECT_EQ(512, server->options.cache.memoryMaxKB);
    EXPECT_STREQ("Z:\\imports", server->options.cache.importDirectory);
}

namespace {
// A service's side of a cache update: what it was asked, on which thread, and
// the answer it gives.
struct CacheSpy : APPDEFINITION {
    explicit CacheSpy(APPTYPE* t) : APPDEFINITION(t) {}
    void UpdateAppCache(APPCACHE* cache, BBOOL) override {
        std::lock_guard<std::mutex> hold(lock);
        asked.push_back(cache->importRequested ? std::string("import ") + cache->importDirectory
                                               : std::string("move ") + cache->cacheDirectory);
        onGuiThread.push_back(GetCurrentThreadId() == guiThread);
        cache->importRequested = FALSE;
        cache->result = answer;
    }
    std::mutex lock;  // guards the two lists
    std::vector<std::string> asked;
    std::vector<bool> onGuiThread;
    BBOOL answer = TRUE;
    DWORD guiThread = GetCurrentThreadId();
};
}  // namespace

// Moving the cache and importing into it run on a worker behind the progress
// box and end with the service's answer; an empty import directory starts nothing.
TEST_F(OptionsTest, CacheMoveAndImportReportTheServicesAnswer) {
    Ready();
    CacheSpy* spy = new CacheSpy(types[0]);
    spy->prepare();
    bSPOINTER& cell = server->manager.definitions.bAdd(*spy);
    std::string oldDir = dir + "\\cacheold";
    for (const char* sub : {"cacheold", "cachenew", "imports"}) CreateDirectoryA((dir + "\\" + sub).c_str(), nullptr);
    struct Case {
        const char* what;
        int button;        // IDOK stores a moved directory; 2074 imports
        const char* sub;   // the directory moved to or imported from; "" none
        BBOOL answer;
        const char* box;   // "" when none shows
    } cases[] = {
        {"move accepted", IDOK, "cachenew", TRUE, "The cache directory has been successfully changed."},
        {"move refused", IDOK, "cachenew", FALSE, "The specified directory is invalid!"},
        {"import done", 2074, "imports", TRUE, "Files have been successfully added to the cache."},
        {"import failed", 2074, "imports", FALSE, "Unable to import files from the specified directory!"},
        {"empty import directory", 2074, "", TRUE, ""},
    };
    for (const Case& c : cases) {
        _strzcpy(server->options.cache.cacheDirectory, oldDir.c_str(), sizeof server->options.cache.cacheDirectory);
        spy->asked.clear();
        spy->onGuiThread.clear();
        spy->answer = c.answer;
        size_t before = answers.boxes().size();
        bool moving = c.button == IDOK;
        std::string target = c.sub[0] ? dir + "\\" + c.sub : "";
        Run([&](OPTIONSNOTEBOOKDLG* nb) {
            ASSERT_NE(nullptr, nb) << c.what;
            nb->select(nb->find(CACHE_TAB));
            SendMessageA(nb->cachePage->hwnd, WM_COMMAND, MAKEWPARAM(2070, BN_CLICKED),
                         (LPARAM)GetDlgItem(nb->cachePage->hwnd, 2070));
            ASSERT_NE(nullptr, nb->advCachePage) << c.what;
            Set(nb->advCachePage, 2072, moving ? target.c_str() : oldDir.c_str());
            Set(nb->advCachePage, 2073, moving ? "" : target.c_str());
            if (moving) return Ok(nb);
            SendMessageA(nb->advCachePage->hwnd, WM_COMMAND, MAKEWPARAM(2074, BN_CLICKED),
                         (LPARAM)GetDlgItem(nb->advCachePage->hwnd, 2074));
            Cancel(nb);
        });
        // Storing the pages updates the unmoved cache too; only the move or import counts here.
        std::vector<std::string> asked;
        std::lock_guard<std::mutex> hold(spy->lock);
        for (size_t i = 0; i < spy->asked.size(); ++i)
            if (spy->asked[i] != "move " + oldDir) {
                asked.push_back(spy->asked[i]);
                EXPECT_FALSE(spy->onGuiThread[i]) << c.what << ": the worker's, behind the progress box";
            }
        std::vector<std::string> expected;
        if (c.sub[0]) expected.push_back((moving ? "move " : "import ") + target);
        EXPECT_EQ(expected, asked) << c.what;
        auto boxes = answers.boxes();
        if (!c.box[0]) {
            EXPECT_EQ(before, boxes.size()) << c.what;
            continue;
        }
        ASSERT_EQ(before + 1, boxes.size()) << c.what;
        EXPECT_EQ(moving ? "Change Cache Directory" : "Import into Cache", boxes.back().caption) << c.what;
        EXPECT_EQ(c.box, boxes.back().text) << c.what;
    }
    EXPECT_EQ(nullptr, form->progressDialog);
    server->manager.definitions.bRemove(cell, TRUE);
    spy->freeobj();
}
