// Reading and writing the main profile: defaults, invalid values, fonts, the
// administrator password, registry and system-file edits, lines and users.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestAids.h"
#include "ConsoleWindow.h"
#include "ScratchDir.h"
#include "ServerIds.h"
#include "ServerStart.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "TcpControl.h"
#include "WinSockControl.h"

namespace {

// A server root of its own per test, in a scratch directory.
class SvrCfgTest : public qvtest::ScratchDirTest {
protected:
    SvrCfgTest() : ScratchDirTest("svrcfg") {}

    void SetUp() override {
        ScratchDirTest::SetUp();
        _pSupport->module.instance = GetModuleHandleA(nullptr);
        NewRoot();
    }
    void TearDown() override {
        DropRoot();
        ScratchDirTest::TearDown();
    }
    void NewRoot() {
        svr = new SVRSYSTEM(FALSE, FALSE);
        svr->prepare();
        _pSvr = svr;
    }
    void DropRoot() {
        if (!svr) return;
        _pSvr = nullptr;
        svr->freeobj();
        svr = nullptr;
    }
    // Writes QUORHUB.INI and reads it into the root.
    BBOOL Read(const std::string& ini) {
        Put("QUORHUB.INI", ini);
        return Reread();
    }
    BBOOL Reread() {
        EXPECT_TRUE(svr->config.OpenProfile(svr->mainProfile, "QUORHUB.INI"));
        return svr->config.ReadProfile();
    }
    // Closes and reads the file again in a new root, as the next start does.
    BBOOL Restart() {
        DropRoot();
        NewRoot();
        return Reread();
    }
    std::string Key() const { return svr->config.invalidKey ? svr->config.invalidKey : "<none>"; }

    SVRSYSTEM* svr = nullptr;
};

TEST_F(SvrCfgTest, BareSectionsGiveTheDefaults) {
    ASSERT_TRUE(Read("[Server Configuration]\n[Server Communications]\n[Server Startup]\n[Applications]\n"))
        << Key();
    const SVRCFG& c = svr->config;
    EXPECT_TRUE(c.logAppRequests && c.userSecurity && c.multipleRoutes && c.asyncDNS && c.localLoop);
    EXPECT_FALSE(c.appHTTP || c.autoTerminate || c.technicalSupport || c.dialingLimit || c.systemChanged);
    EXPECT_EQ(0, c.traceBuffer);
    EXPECT_EQ(2, c.secondaryWinsockLine);
    EXPECT_STREQ("notepad.exe", c.logfileEditor);
    EXPECT_STREQ("MS Sans Serif", c.displayFont1);
    EXPECT_STREQ("MS Sans Serif", c.displayFont2);
    EXPECT_EQ(SVR_USER_CEILING, svr->maxUsers);
    EXPECT_EQ(SVR_USER_CEILING, svr->maxUsersProfile);
    EXPECT_EQ(4, svr->lines.lineCount);
    EXPECT_EQ(10, svr->lines.samplingInterval);
    EXPECT_STREQ("", svr->options.users.ownerName);
    EXPECT_STREQ("", svr->options.admin.password);
}

TEST_F(SvrCfgTest, InvalidValuesNameTheirKey) {
    struct Case {
        const char* ini;
        const char* key;
    };
    const Case cases[] = {
        {"[Server Configuration]\nTrace Buffer=65537\n", "Trace Buffer"},
        {"[Server Configuration]\nTrace Buffer=0x10\n", "Trace Buffer"},
        // 4194305 KB times 1024 wraps to 1024 bytes in 32 bits: checked in kilobytes.
        {"[Server Configuration]\nTrace Buffer=4194305\n", "Trace Buffer"},
        {"[Server Configuration]\nTrace Buffer=-1\n", "Trace Buffer"},
        {"[Server Configuration]\nTrace Data=8\n", "Trace Data"},
        {"[Server Configuration]\nTrace Data=4097\n", "Trace Data"},
        {"[Server Startup]\nCache Tracing=yes\n", "Cache Tracing"},
        {"[Server Configuration]\nMaximum Users=251\n", "Maximum Users"},
        {"[Server Configuration]\nMaximum Users=-1\n", "Maximum Users"},
        {"[Server Communications]\nNetwork Sampling Interval=0\n", "Network Sampling Interval"},
        {"[Server Configuration]\nAuto Terminate=maybe\n", "Auto Terminate"},
        {"[Applications]\nHTTP=on\n", "HTTP"},
        {"[Network Interface - Line 1]\nPhonebook Entry=Work\n[Network Interface - Line 3]\nPhonebook Entry=work\n",
         "Phonebook Entry"},
        {"[LOCAL System Files]\n..\\escape.ini=x=1\n", "LOCAL System Files"},
        {"[LOCAL System Files]\nsystem\\..\\..\\escape.ini=x=1\n", "LOCAL System Files"},
        {"[LOCAL System Files]\nC:\\escape.ini=x=1\n", "LOCAL System Files"},
        {"[LOCAL System Files]\n\\escape.ini=x=1\n", "LOCAL System Files"},
        // Every key is still read: the last invalid one is named.
        {"[Server Configuration]\nTrace Data=8\nTrace Buffer=65537\n[Server Startup]\nTask Tracing=x\n",
         "Task Tracing"},
    };
    for (const Case& c : cases) {
        DropRoot();
        NewRoot();
        EXPECT_FALSE(Read(c.ini)) << c.ini;
        EXPECT_EQ(c.key, Key()) << c.ini;
    }
}

TEST_F(SvrCfgTest, ValuesAtTheEdgesOfTheirRanges) {
    ASSERT_TRUE(Read("[Server Configuration]\nTrace Buffer=65536\nTrace Data=16\nMaximum Users=0\n"
                     "[Server Communications]\nNetwork Sampling Interval=1\n"
                     "[Network Interface - Line 1]\nPhonebook Entry=none\n"
                     "[Network Interface - Line 2]\nPhonebook Entry=none\n"))
        << Key();
    EXPECT_EQ(65536L * 1024, svr->config.traceBuffer);
    EXPECT_EQ(16, svr->config.traceData);
    EXPECT_EQ(SVR_USER_CEILING, svr->maxUsers);
    EXPECT_EQ(1, svr->lines.samplingInterval);

    DropRoot();
    NewRoot();
    ASSERT_TRUE(Read("[Server Configuration]\nTrace Buffer=0\nMaximum Users=12\n")) << Key();
    EXPECT_EQ(0, svr->config.traceBuffer);
    EXPECT_EQ(12, svr->maxUsers);
    EXPECT_EQ(12, svr->maxUsersProfile);
}

TEST_F(SvrCfgTest, DisplayFontFaces) {
    struct Case {
        const char* value;
        const char* first;
        const char* second;
    };
    const Case cases[] = {
        {"Arial, Times New Roman", "Arial", "Times New Roman"},
        {"\"Courier New\" , \"Lucida Console\"", "Courier New", "Lucida Console"},
        {", Arial", "MS Sans Serif", "Arial"},
        {"Arial", "Arial", "MS Sans Serif"},
        {"", "MS Sans Serif", "MS Sans Serif"},
    };
    for (const Case& c : cases) {
        DropRoot();
        NewRoot();
        ASSERT_TRUE(Read(std::string("[Server Configuration]\nDisplay Font=") + c.value + "\n")) << c.value;
        EXPECT_STREQ(c.first, svr->config.displayFont1) << c.value;
        EXPECT_STREQ(c.second, svr->config.displayFont2) << c.value;
    }
}

TEST_F(SvrCfgTest, SettingsForOtherObjects) {
    ASSERT_TRUE(Read("[Server Configuration]\nLocal User Name=Admin\nLogfile Editor=edit.com\nLine2 Color=0x00FF00\n"
                     "[Application Servers]\nNNTP Server=news.example\nMail Address=me@example\n"
                     "[Application Requests]\nMaximum Simultaneous Requests=7\nSimultaneous Request Support=YES\n"
                     "[Server Communications]\nNetwork Sampling Interval=30\n"))
        << Key();
    EXPECT_STREQ("Admin", svr->options.users.ownerName);
    EXPECT_STREQ("edit.com", svr->config.logfileEditor);
    EXPECT_EQ(0x00FF00, svr->config.lineColors[1]);
    EXPECT_STREQ("news.example", svr->options.servers.nntpServer);
    EXPECT_STREQ("me@example", svr->options.servers.mailAddress);
    EXPECT_EQ(7, LOCALREQUEST::MaxSimReqs);
    EXPECT_TRUE(LOCALREQUEST::DoSimReqs);
    EXPECT_EQ(30, svr->lines.samplingInterval);
    LOCALREQUEST::MaxSimReqs = 5;
    LOCALREQUEST::DoSimReqs = FALSE;
}

// Every password up to 63 characters comes back, also when its scrambled form
// has a blank at an end (profile values lose those).
TEST_F(SvrCfgTest, AdministratorPasswordRoundTrips) {
    std::vector<std::string> passwords = {"", "secret", " lead", "trail ", "back\\slash", "\"quoted\"",
                                          std::string(63, 'z')};
    for (char c = 0x20; c < 0x7F; ++c) {
        passwords.push_back(std::string(1, c));
        passwords.push_back(std::string(1, c) + "mid" + c);
    }
    for (const std::string& password : passwords) {
        DropRoot();
        NewRoot();
        ASSERT_TRUE(Read("[Server Configuration]\n"));
        std::snprintf(svr->options.admin.password, sizeof svr->options.admin.password, "%s", password.c_str());
        svr->config.WriteAdminOptions();
        ASSERT_EQ(0, svr->mainProfile.WriteFile(nullptr));
        ASSERT_TRUE(Restart()) << Key() << " for [" << password << "]";
        EXPECT_EQ(password, svr->options.admin.password) << "stored as " << Get("QUORHUB.INI");
    }
}

TEST_F(SvrCfgTest, AdminOptionsAndLinesAreWrittenBack) {
    ASSERT_TRUE(Read("[Server Configuration]\n"));
    svr->maxUsersProfile = 40;
    svr->allowExternalUsers = TRUE;
    NETWORKINTERFACE& net = svr->lines;
    std::snprintf(net.lines[0].phonebookEntry, 256, "%s", "Office");
    net.connectWhenLaunched = TRUE;
    net.lines[0].idleMinutes = 15;
    net.lines[0].redial = TRUE;
    std::snprintf(net.lines[2].phonebookEntry, 256, "%s", "Backup");
    net.escalation[1][0] = TRUE;
    net.escalation[2][1] = TRUE;
    net.escalation[1][2] = TRUE;
    net.escalation[1][3] = 6;
    net.lines[3].repeatDialingCount = 3;
    svr->config.WriteAdminOptions();
    svr->config.WriteNetIntCfg(net);
    ASSERT_EQ(0, svr->mainProfile.WriteFile(nullptr));

    ASSERT_TRUE(Restart()) << Key();
    EXPECT_EQ(40, svr->maxUsers);
    EXPECT_TRUE(svr->allowExternalUsers);
    const NETWORKINTERFACE& again = svr->lines;
    EXPECT_STREQ("Office", again.lines[0].phonebookEntry);
    EXPECT_TRUE(again.connectWhenLaunched);
    EXPECT_FALSE(again.connectUponRequest);
    EXPECT_EQ(15, again.lines[0].idleMinutes);
    EXPECT_TRUE(again.lines[0].redial);
    EXPECT_STREQ("Backup", again.lines[2].phonebookEntry);
    EXPECT_TRUE(again.escalation[1][0]);
    EXPECT_TRUE(again.escalation[2][1]) << "line 4 connects when line 3 drops";
    EXPECT_FALSE(again.escalation[1][1]);
    EXPECT_TRUE(again.escalation[1][2]);
    EXPECT_EQ(6, again.escalation[1][3]);
    EXPECT_EQ(3, again.lines[3].repeatDialingCount);
    EXPECT_NE(std::string::npos, Get("QUORHUB.INI").find("Connect In Parallel With Line 2 = YES"));
    EXPECT_NE(std::string::npos, Get("QUORHUB.INI").find("Connect If Line 3 Drops = YES"));
}

// Registry values of the scratch key, read back from the registry itself.
class RegistryTest : public SvrCfgTest {
protected:
    std::string Value(const char* name) {
        DWORD type = 0;
        std::string bytes;
        if (!key.Get(name, &type, &bytes)) return "<absent>";
        return bytes.substr(0, bytes.find('\0'));
    }
    std::string Entry(const char* name, const char* value) {
        return std::string(key.Path()) + ": " + name + "=" + value + "\n";
    }
    std::string Saved(const char* section, const char* name) {
        char out[256] = {};
        std::string k = std::string(key.Path()) + ": " + name;
        if (svr->mainProfile.ReadString(section, k.c_str(), BUFFER(out, sizeof out)) < 0) return "<none>";
        return out;
    }
    qvaid::ScratchKey key;
};

TEST_F(RegistryTest, UserKeysAreAppliedAndRestoredAtClose) {
    ASSERT_TRUE(key.SetString("Changed", "before"));
    ASSERT_TRUE(key.SetString("Same", "kept"));
    ASSERT_TRUE(Read("[USER Registry Keys]\n" + Entry("Changed", "after") + Entry("Same", "kept") +
                     Entry("Fresh", "new") + "No colon here=1\n"))
        << Key();
    EXPECT_EQ("after", Value("Changed"));
    EXPECT_EQ("new", Value("Fresh"));
    EXPECT_EQ("before", Saved("Saved USER Registry Keys", "Changed"));
    EXPECT_EQ("<none>", Saved("Saved USER Registry Keys", "Same"));
    EXPECT_EQ("", Saved("Saved USER Registry Keys", "Fresh"));
    EXPECT_FALSE(svr->config.systemChanged);
    // Saved in the file too, so a crashed run can still be undone.
    EXPECT_NE(std::string::npos, Get("QUORHUB.INI").find("[Saved USER Registry Keys]"));

    svr->config.CloseProfile();
    EXPECT_EQ("before", Value("Changed"));
    EXPECT_EQ("<absent>", Value("Fresh"));
    EXPECT_EQ("kept", Value("Same"));
}

TEST_F(RegistryTest, ParentPrefixSelectsTheLocalMachine) {
    std::string sub = std::string("Software\\QuorvaneTests\\") + qvaid::ProgramName();
    HKEY made;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &made, nullptr));
    RegCloseKey(made);
    ASSERT_TRUE(Read("[USER Registry Keys]\n..\\" + sub + ": Machine=1\n")) << Key();
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, sub.c_str(), 0, KEY_READ, &k));
    char value[16] = {};
    DWORD size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(k, "Machine", nullptr, nullptr, (BYTE*)value, &size));
    RegCloseKey(k);
    EXPECT_STREQ("1", value);
    svr->config.CloseProfile();
    qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, sub);
}

TEST_F(RegistryTest, LocalKeysAreSavedOnceAndNeverRestored) {
    std::string sub = std::string("Software\\QuorvaneTests\\") + qvaid::ProgramName() + "-local";
    qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, sub);
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &k, nullptr));
    RegSetValueExA(k, "Setting", 0, REG_SZ, (const BYTE*)"original", 9);
    RegCloseKey(k);
    std::string entry = sub + ": Setting";
    auto saved = [&] {
        char out[64] = {};
        svr->mainProfile.ReadString("Saved LOCAL Registry Keys", entry.c_str(), BUFFER(out, sizeof out));
        return std::string(out);
    };
    auto registry = [&] {
        char out[64] = {};
        DWORD size = sizeof out;
        RegGetValueA(HKEY_LOCAL_MACHINE, sub.c_str(), "Setting", RRF_RT_REG_SZ, nullptr, out, &size);
        return std::string(out);
    };
    ASSERT_TRUE(Read("[LOCAL Registry Keys]\n" + entry + "=first\n")) << Key();
    EXPECT_TRUE(svr->config.systemChanged);
    EXPECT_EQ("original", saved());
    svr->config.CloseProfile();
    EXPECT_EQ("first", registry());

    // A changed setting on a later start: the first saved value stays.
    std::string text = Get("QUORHUB.INI");
    text.replace(text.find("= first"), 7, "= second");
    Put("QUORHUB.INI", text);
    ASSERT_TRUE(Restart()) << Key();
    EXPECT_EQ("second", registry());
    EXPECT_EQ("original", saved());
    EXPECT_FALSE(svr->config.systemChanged);
    qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, sub);
}

// A second instance must not apply the sections nor restore the first one's values.
TEST_F(RegistryTest, SecondInstanceLeavesTheRegistryAlone) {
    ASSERT_TRUE(key.SetString("Changed", "running"));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = CONSOLE_WINDOW_CLASS;
    RegisterClassA(&wc);
    HWND console = CreateWindowExA(0, CONSOLE_WINDOW_CLASS, ServerText(IDS_TITLE), WS_OVERLAPPED, 0, 0, 10, 10,
                                   nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(console);
    ASSERT_TRUE(Read("[USER Registry Keys]\n" + Entry("Changed", "second") +
                     "[Saved USER Registry Keys]\n" + Entry("Changed", "original")))
        << Key();
    EXPECT_EQ("running", Value("Changed"));
    svr->config.CloseProfile();
    EXPECT_EQ("running", Value("Changed"));
    DestroyWindow(console);
}

TEST_F(SvrCfgTest, SystemFileGetsTheLineOnce) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string name = "qvtest-" + std::to_string(GetCurrentProcessId()) + ".ini";
    std::string path = std::string(windows) + "\\" + name;
    ASSERT_TRUE(qvtest::PutFile(path, "[386Enh]\r\nshell=old\r\n\x1A"));
    std::string ini = "[LOCAL System Files]\n" + name + "=device=qvvxd.386\n";
    ASSERT_TRUE(Read(ini)) << Key();
    EXPECT_EQ("[386Enh]\r\nshell=old\r\ndevice=qvvxd.386\r\n", qvtest::FileText(path));
    EXPECT_TRUE(svr->config.systemChanged);
    EXPECT_NE(std::string::npos, Get("QUORHUB.INI").find("[CHECKED System Files]"));

    // Listed as checked: the next start leaves the file alone, even after an edit.
    ASSERT_TRUE(qvtest::PutFile(path, "[386Enh]\r\n"));
    ASSERT_TRUE(Restart()) << Key();
    EXPECT_EQ("[386Enh]\r\n", qvtest::FileText(path));
    EXPECT_FALSE(svr->config.systemChanged);
    DeleteFileA(path.c_str());
}

TEST_F(SvrCfgTest, AuthorizedUsersInFileOrder) {
    ASSERT_TRUE(Read("[Authorized Users]\n10.0.0.9=Zed\n*.*=Guest\n10.0.0.2=\n10.0.0.1=Amy\n"));
    ASSERT_TRUE(svr->config.ReadUsers()) << Key();
    std::vector<std::string> seen;
    CITERATOR<APPUSER> it;
    for (APPUSER* u = it.Begin(svr->options.users.users); u; u = it.Next())
        seen.push_back(std::string(u->address) + "=" + u->name);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.9=Zed", "*.*=Guest", "10.0.0.1=Amy"}), seen);
}

TEST_F(SvrCfgTest, UsersFileOfItsOwn) {
    Put("USERS.INI", "[Authorized Users]\n10.1.1.1=Bob\n");
    ASSERT_TRUE(Read("[Server Configuration]\nUser Profile=USERS.INI\n[Authorized Users]\n10.9.9.9=Main\n"));
    ASSERT_STREQ("USERS.INI", svr->config.usersFile);
    ASSERT_TRUE(svr->config.OpenUsers(svr->usersProfile, svr->config.usersFile));
    ASSERT_TRUE(svr->config.ReadUsers());
    ASSERT_EQ(1, svr->options.users.users.Count());
    EXPECT_STREQ("Bob", svr->options.users.users.First()->name);

    // Added users go to that file.
    APPUSER* user = new APPUSER("10.1.1.2", "Cy");
    user->prepare();
    svr->options.users.UpdatePermittedUserList(user, FALSE);
    user->freeobj();
    ASSERT_EQ(0, svr->usersProfile.WriteFile(nullptr));
    EXPECT_NE(std::string::npos, Get("USERS.INI").find("10.1.1.2 = Cy"));
    EXPECT_EQ(std::string::npos, Get("QUORHUB.INI").find("10.1.1.2"));

    // A missing users file is an empty one.
    DropRoot();
    NewRoot();
    DeleteFileA("USERS.INI");
    ASSERT_TRUE(Reread());
    ASSERT_TRUE(svr->config.OpenUsers(svr->usersProfile, svr->config.usersFile));
    ASSERT_TRUE(svr->config.ReadUsers());
    EXPECT_EQ(0, svr->options.users.users.Count());
}

TEST_F(SvrCfgTest, PermittedUserListUpdates) {
    ASSERT_TRUE(Read("[Authorized Users]\n10.0.0.1=Amy\n10.0.0.2=Ben\n"));
    ASSERT_TRUE(svr->config.ReadUsers());
    USEROPTIONS& users = svr->options.users;
    auto names = [&] {
        std::string out;
        CITERATOR<APPUSER> it;
        for (APPUSER* u = it.Begin(users.users); u; u = it.Next()) out += std::string(u->address) + "=" + u->name + ";";
        return out;
    };
    auto update = [&](const char* address, const char* name, BBOOL remove) {
        APPUSER* user = new APPUSER(address, name);
        user->prepare();
        users.UpdatePermittedUserList(user, remove);
        user->freeobj();
    };
    update("10.0.0.1", "Ann", FALSE);  // a known address: replaced, not added
    EXPECT_EQ("10.0.0.2=Ben;10.0.0.1=Ann;", names());
    update("", "Carl", FALSE);  // no address: the name is the address
    EXPECT_EQ("10.0.0.2=Ben;10.0.0.1=Ann;Carl=Carl;", names());
    update("10.0.0.2", "Ben", TRUE);
    EXPECT_EQ("10.0.0.1=Ann;Carl=Carl;", names());

    APPUSER probe("10.0.0.1", "Ann");
    EXPECT_TRUE(users.FindAppUser(&probe));
    APPUSER other("10.0.0.1", "Amy");
    EXPECT_FALSE(users.FindAppUser(&other));
    EXPECT_FALSE(users.FindAppUser(nullptr));

    // The listed object itself may be passed: it is never freed while in use.
    APPUSER* listed = users.users.First();
    listed->prepare();
    users.UpdatePermittedUserList(listed, FALSE);
    EXPECT_EQ("Carl=Carl;10.0.0.1=Ann;", names());
    users.UpdatePermittedUserList(listed, TRUE);
    EXPECT_STREQ("Ann", listed->name);
    listed->freeobj();
    EXPECT_EQ("Carl=Carl;", names());

    std::string text;
    svr->mainProfile.WriteFile(nullptr);
    text = Get("QUORHUB.INI");
    EXPECT_EQ(std::string::npos, text.find("10.0.0.1"));
    EXPECT_NE(std::string::npos, text.find("Carl = Carl"));
}

TEST_F(SvrCfgTest, AddAtTheLimitDropsTheOldest) {
    ASSERT_TRUE(Read("[Authorized Users]\n"));
    svr->userCeiling = 3;
    for (const char* name : {"a", "b", "c", "d"}) {
        APPUSER* user = new APPUSER(name, name);
        user->prepare();
        svr->options.users.UpdatePermittedUserList(user, FALSE);
        user->freeobj();
    }
    ASSERT_EQ(3, svr->options.users.users.Count());
    EXPECT_STREQ("b", svr->options.users.users.First()->name);
    EXPECT_STREQ("d", svr->options.users.users.Last()->name);
}

TEST_F(SvrCfgTest, LoginUserIsACopyOfTheFirstInThisEdition) {
    ASSERT_TRUE(Read("[Authorized Users]\n*.*=Guest\n10.0.0.1=Amy\n"));
    ASSERT_TRUE(svr->config.ReadUsers());
    APPUSER* user = svr->options.users.GetAppUser();
    EXPECT_STREQ("Guest", user->name);
    EXPECT_NE(svr->options.users.users.First(), user);
    user->freeobj();
    svr->tessimara = TRUE;
    user = svr->options.users.GetAppUser();
    EXPECT_STREQ("", user->name);
    user->freeobj();
}

}  // namespace

TEST_F(SvrCfgTest, LinkSwitchesReachTheLinkLayer) {
    struct Case {
        const char* text;
        BBOOL asyncDNS, localLoop, dynamic, phonebook, multiple, limit;
    } cases[] = {
        {"", TRUE, TRUE, FALSE, FALSE, TRUE, FALSE},
        {"TCP/IP Use Asynchronous DNS=NO\nTCP/IP Use Local Loop=NO\nTCP/IP Dynamic Routing Update=YES\n"
         "TCP/IP Phonebook Routing Update=YES\nTCP/IP Multiple Default Routes=NO\nTCP/IP Dialing Limit=YES\n",
         FALSE, FALSE, TRUE, TRUE, FALSE, TRUE},
    };
    for (const Case& c : cases) {
        DropRoot();
        NewRoot();
        ASSERT_TRUE(Read(std::string("[Server Communications]\n") + c.text)) << Key();
        ApplyLinkSwitches(svr->config);
        EXPECT_EQ(c.asyncDNS, TCPCONTROL::UseAsyncDNS) << c.text;
        EXPECT_EQ(c.localLoop, TCPCONTROL::UseLocalLoop) << c.text;
        EXPECT_EQ(c.dynamic, TCPCONTROL::DynamicRouting) << c.text;
        EXPECT_EQ(c.phonebook, TCPCONTROL::PhonebookRouting) << c.text;
        EXPECT_EQ(c.multiple, TCPCONTROL::MultipleRouting) << c.text;
        EXPECT_EQ(c.limit, WINSOCKCONTROL::WinSockLimitDialing) << c.text;
    }
}
