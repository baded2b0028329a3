// The tray icon through a shell stand-in loaded in place of SHELL32.DLL.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ConsoleFixture.h"
#include "ConsoleIds.h"
#include "FormApp.h"
#include "SvrSystem.h"
#include "TrayIcon.h"

using console::ConsoleTest;

namespace {

struct TRAYSHELLCALL {
    DWORD command;
    unsigned char record[128];
    DWORD size;
};

std::string Beside(const char* name) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p = path;
    return p.substr(0, p.rfind('\\') + 1) + name;
}

class TrayTest : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        UIInitializeApplication(Beside("qvtest_trayshell.dll").c_str());
        ASSERT_NE(nullptr, _p_Shell_NotifyIconA);
        HMODULE shell = GetModuleHandleA("qvtest_trayshell.dll");
        calls = reinterpret_cast<LONG(WINAPI*)(TRAYSHELLCALL**)>(reinterpret_cast<void*>(GetProcAddress(shell, "TrayShellCalls")));
        reset = reinterpret_cast<void(WINAPI*)(BOOL)>(reinterpret_cast<void*>(GetProcAddress(shell, "TrayShellReset")));
        reset(FALSE);
    }
    void TearDown() override {
        ConsoleTest::TearDown();
        UITerminateApplication();
    }
    // The shell's calls so far.
    std::vector<TRAYSHELLCALL> Calls() {
        TRAYSHELLCALL* all = nullptr;
        LONG n = calls(&all);
        return std::vector<TRAYSHELLCALL>(all, all + n);
    }
    static const TRAYNOTIFYDATA& Record(const TRAYSHELLCALL& c) {
        return *reinterpret_cast<const TRAYNOTIFYDATA*>(c.record);
    }
    void MakeTrayForm(int show) {
        MakeServer({});
        server->config.useIconTray = TRUE;
        MakeForm(show);
    }
    bool Posted(UINT message, WPARAM wParam) {
        MSG m;
        return PeekMessageA(&m, form->windowHandle(), message, message, PM_REMOVE) && m.wParam == wParam;
    }

    LONG(WINAPI* calls)(TRAYSHELLCALL**) = nullptr;
    void(WINAPI* reset)(BOOL) = nullptr;
};

}  // namespace

TEST_F(TrayTest, AMinimisedStartGoesToTheTrayWithTheTitleAsTip) {
    MakeTrayForm(SW_SHOWMINNOACTIVE);
    form->display();
    EXPECT_EQ(SHOW_IN_TRAY, form->showState);
    EXPECT_FALSE(IsWindowVisible(form->windowHandle()));
    auto c = Calls();
    ASSERT_EQ(1u, c.size());
    EXPECT_EQ(0u, c[0].command);
    const TRAYNOTIFYDATA& r = Record(c[0]);
    EXPECT_EQ(sizeof(TRAYNOTIFYDATA), c[0].size);
    EXPECT_EQ(sizeof(void*) == 4 ? 88u : sizeof(TRAYNOTIFYDATA), c[0].size);
    EXPECT_EQ(form->windowHandle(), r.window);
    EXPECT_EQ(10001u, r.id);
    EXPECT_EQ(7u, r.flags);
    EXPECT_EQ(0x465u, r.callbackMessage);
    char title[64];
    GetWindowTextA(form->windowHandle(), title, sizeof title);
    EXPECT_STREQ(title, r.tip);
    EXPECT_EQ(0, std::strncmp("Console Test", r.tip, 12));
}

TEST_F(TrayTest, TipIsCutAtSixtyThreeCharacters) {
    MakeTrayForm(SW_SHOWNORMAL);
    std::string title(80, 'T');
    form->caption(title.c_str());
    TRAYNOTIFYDATA data;
    UIFillNotifyData(data, form->windowHandle(), nullptr, TRAY_FLAGS);
    EXPECT_EQ(std::string(63, 'T'), data.tip);
}

TEST_F(TrayTest, MinimiseHidesRestoreAndTheIconClickShow) {
    MakeTrayForm(SW_SHOWNORMAL);
    form->display();
    SendMessageA(form->windowHandle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(SHOW_IN_TRAY, form->showState);
    EXPECT_FALSE(IsWindowVisible(form->windowHandle()));
    EXPECT_TRUE(Posted(WM_USER, 0)) << "minimising posts WM_USER";
    SendMessageA(form->windowHandle(), TRAY_MESSAGE, TRAY_ICON_ID, WM_LBUTTONDOWN);
    EXPECT_TRUE(Posted(WM_SYSCOMMAND, SC_RESTORE)) << "a left click on the icon restores";
    SendMessageA(form->windowHandle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(SW_SHOWNORMAL, form->showState);
    EXPECT_TRUE(IsWindowVisible(form->windowHandle()));
    auto c = Calls();
    ASSERT_EQ(2u, c.size());
    EXPECT_EQ(0u, c[0].command);
    EXPECT_EQ(2u, c[1].command) << "restoring removes the icon";
    EXPECT_EQ(0u, Record(c[1]).flags);
}

TEST_F(TrayTest, ARefusingShellMinimisesNormally) {
    reset(TRUE);
    MakeTrayForm(SW_SHOWMINNOACTIVE);
    form->display();
    EXPECT_EQ(SHOW_MINIMISED, form->showState);
}

TEST_F(TrayTest, ASecondInstanceBringsTheWindowBackFromTheTray) {
    MakeTrayForm(SW_SHOWMINNOACTIVE);
    form->display();
    ASSERT_EQ(SHOW_IN_TRAY, form->showState);
    Post(CMD_TO_FRONT);
    ASSERT_TRUE(RunUntil([this] { return form->showState == SW_SHOWNORMAL; }));
    EXPECT_TRUE(IsWindowVisible(form->windowHandle()));
    EXPECT_EQ(2u, Calls().back().command);
}

TEST(TrayBinding, AShellWithoutTheTaskBarEntryBindsNeither) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p = path;
    p = p.substr(0, p.rfind('\\') + 1) + "qvtest_trayhalf.dll";
    UIInitializeApplication(p.c_str());
    EXPECT_EQ(nullptr, _p_Shell_NotifyIconA);
    EXPECT_EQ(nullptr, _p_SHAppBarMessage);
    RECT r = {1, 2, 3, 4};
    EXPECT_EQ(0, UIGetTaskBarRect(&r));
    EXPECT_TRUE(IsRectEmpty(&r));
    EXPECT_EQ(SHOW_MINIMISED, UIMinimizeApplication(nullptr, nullptr, nullptr));
    UITerminateApplication();
}
