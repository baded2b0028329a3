#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DlgKit.h"
#include "zButton.h"
#include "zDialogFrame.h"
#include "zEdit.h"
#include "zResId.h"
#include "zSizer.h"

using namespace dlgkit;

namespace {

// The owner of the dialogs: a top-level frame with an edit line that has the focus.
class Frames : public ::testing::Test {
protected:
    zAppFrame* owner = nullptr;
    zEditLine* ownerEdit = nullptr;
    void SetUp() override {
        App();
        owner = new zAppFrame(nullptr, new zSizer(20, 20, 300, 200), WS_OVERLAPPEDWINDOW, "Owner");
        _app->mainFrame = owner;
        ownerEdit = new zEditLine(owner, new zSizer(10, 10, 100, 20, owner->getSizer()), 0, "owner", 50);
        SetFocus(ownerEdit->hwnd);
        Pump();
    }
    void TearDown() override {
        _app->mainFrame = nullptr;
        delete owner;
        _activeDialog = 0;
        Pump();
    }
};

}  // namespace

TEST_F(Frames, ModalDisablesTheOwnerAndGivesTheFocusBack) {
    zFormDialog dlg(owner, zResId(200));
    SetFocus(ownerEdit->hwnd);  // creation gave the new dialog's first control the focus
    ASSERT_EQ(GetFocus(), ownerEdit->hwnd);
    bool ownerEnabledInside = true;
    HWND focusInside = 0;
    Later(10, [&] {
        ownerEnabledInside = IsWindowEnabled(owner->hwnd) != 0;
        focusInside = GetFocus();
        PostMessageA(dlg.hwnd, WM_COMMAND, IDCANCEL, 0);
    });
    Watchdog dog;
    dlg.modal();
    EXPECT_FALSE(dog.fired());
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_TRUE(IsChild(dlg.hwnd, focusInside));
    EXPECT_TRUE(IsWindowEnabled(owner->hwnd));
    EXPECT_EQ(ownerEdit->hwnd, GetFocus());
    EXPECT_FALSE(IsWindowVisible(dlg.hwnd));
    EXPECT_EQ(0, dlg.wasStored());
}

TEST_F(Frames, NestedModalDialogsDisableTheOneBelow) {
    zFormDialog first(owner, zResId(201));
    zFormDialog second(&first, zResId(201));
    bool firstEnabledDuringSecond = true, firstEnabledAfterSecond = false, ownerEnabled = true;
    Later(10, [&] {
        Later(10, [&] {
            firstEnabledDuringSecond = IsWindowEnabled(first.hwnd) != 0;
            PostMessageA(second.hwnd, WM_COMMAND, IDOK, 0);
        });
        second.modal();
        firstEnabledAfterSecond = IsWindowEnabled(first.hwnd) != 0;
        ownerEnabled = IsWindowEnabled(owner->hwnd) != 0;
        PostMessageA(first.hwnd, WM_COMMAND, IDOK, 0);
    });
    Watchdog dog;
    first.modal();
    EXPECT_FALSE(dog.fired());
    EXPECT_FALSE(firstEnabledDuringSecond);
    EXPECT_TRUE(firstEnabledAfterSecond);
    EXPECT_FALSE(ownerEnabled);  // still under the first dialog
    EXPECT_TRUE(IsWindowEnabled(owner->hwnd));
    EXPECT_EQ(1, second.wasStored());
    EXPECT_EQ(1, first.wasStored());
}

TEST_F(Frames, CloseEndsAModalRun) {
    zDialogFrame dlg(owner, zResId(101));
    PostMessageA(dlg.hwnd, WM_CLOSE, 0, 0);
    Watchdog dog;
    dlg.modal();
    EXPECT_FALSE(dog.fired());
    EXPECT_TRUE(IsWindow(dlg.hwnd));
    EXPECT_FALSE(IsWindowVisible(dlg.hwnd));
}

TEST_F(Frames, FocusGoesToTheFirstTabStopAndMovesAround) {
    zDialogFrame dlg(owner, zResId(100));
    SetFocus(dlg.hwnd);
    EXPECT_EQ(dlg.get(101)->hwnd, GetFocus());
    SendMessageA(dlg.hwnd, WM_NEXTDLGCTL, 0, 0);
    EXPECT_EQ(dlg.get(1)->hwnd, GetFocus());
    SendMessageA(dlg.hwnd, WM_NEXTDLGCTL, 1, 0);
    EXPECT_EQ(dlg.get(101)->hwnd, GetFocus());
    SendMessageA(dlg.hwnd, WM_NEXTDLGCTL, 1, 0);  // from the first: wraps to the last tab stop
    EXPECT_EQ(dlg.get(110)->hwnd, GetFocus());
    SendMessageA(dlg.hwnd, WM_NEXTDLGCTL, 0, 0);  // and forward again to the first
    EXPECT_EQ(dlg.get(101)->hwnd, GetFocus());
    SendMessageA(dlg.hwnd, WM_NEXTDLGCTL, (WPARAM)dlg.get(104)->hwnd, 1);
    EXPECT_EQ(dlg.get(104)->hwnd, GetFocus());
    // A disabled control is passed over.
    EnableWindow(dlg.get(105)->hwnd, FALSE);
    EnableWindow(dlg.get(106)->hwnd, FALSE);
    SendMessageA(dlg.hwnd, WM_NEXTDLGCTL, 0, 0);
    EXPECT_EQ(dlg.get(107)->hwnd, GetParent(GetFocus()) == dlg.hwnd ? GetFocus() : GetParent(GetFocus()));
}

TEST_F(Frames, WithoutTabStopsTheFirstControlGetsTheFocus) {
    zDialogFrame dlg(owner, zResId(102));
    SetFocus(dlg.hwnd);
    EXPECT_EQ(dlg.get(10)->hwnd, GetFocus());
}

TEST_F(Frames, DefaultButtonIdIsAskedAndSet) {
    zDialogFrame dlg(owner, zResId(100));
    EXPECT_EQ(MAKELONG(1, DC_HASDEFID), (LONG)SendMessageA(dlg.hwnd, DM_GETDEFID, 0, 0));
    SendMessageA(dlg.hwnd, DM_SETDEFID, 110, 0);
    EXPECT_EQ(110, dlg.defaultButton());
    zDialogFrame none(owner, zResId(101));
    EXPECT_EQ(0, (LONG)SendMessageA(none.hwnd, DM_GETDEFID, 0, 0));
}

TEST_F(Frames, EnterInAnEditPressesTheDefaultButton) {
    // Through the keyboard navigation of the loop: a single-line field.
    zFormDialog line(owner, zResId(200));
    Later(10, [&] {
        SetFocus(line.get(302)->hwnd);
        PostMessageA(line.get(302)->hwnd, WM_KEYDOWN, VK_RETURN, 1);
    });
    Watchdog dog;
    line.modal();
    EXPECT_FALSE(dog.fired());
    EXPECT_EQ(1, line.wasStored());

    // Sent straight to multi-line fields: with a default button, without one, with Ctrl held.
    struct {
        int res;
        bool ctrl;
        int stored;
    } cases[] = {{200, false, 1}, {201, false, 1}, {200, true, 0}};
    for (auto& c : cases) {
        zFormDialog dlg(owner, zResId(c.res));
        int edit = c.res == 200 ? 307 : 301;
        BYTE keys[256];
        GetKeyboardState(keys);
        BYTE saved = keys[VK_CONTROL];
        keys[VK_CONTROL] = c.ctrl ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageA(dlg.get(edit)->hwnd, WM_KEYDOWN, VK_RETURN, 1);
        keys[VK_CONTROL] = saved;
        SetKeyboardState(keys);
        EXPECT_EQ(c.stored, dlg.wasStored()) << c.res << (c.ctrl ? " with Ctrl" : "");
    }
}

TEST_F(Frames, EachFrameHasItsOwnClassAndGivesItBack) {
    zDialogFrame* a = new zDialogFrame(owner, zResId(101));
    zDialogFrame* b = new zDialogFrame(owner, zResId(101));
    std::string ca = a->registeredClass(), cb = b->registeredClass();
    EXPECT_FALSE(ca.empty());
    EXPECT_NE(ca, cb);
    EXPECT_EQ(0u, ca.find("DialogFrameCL"));
    WNDCLASSA wc;
    EXPECT_TRUE(GetClassInfoA(_app->hInst, ca.c_str(), &wc));
    delete a;
    DestroyWindow(b->hwnd);  // the window goes first, the object stays
    ziFlushDialogClasses();
    EXPECT_FALSE(GetClassInfoA(_app->hInst, ca.c_str(), &wc));
    EXPECT_FALSE(GetClassInfoA(_app->hInst, cb.c_str(), &wc));
    EXPECT_EQ(0, ziFlushDialogClasses());
    delete b;
}

TEST_F(Frames, AClassNameTakenAlreadyIsNotTheFramesToGiveBack) {
    zDialogFrame* dlg = new zDialogFrame(owner, zResId(101), 0, 1);  // not created yet
    // Someone else holds the name the frame will ask for.
    const std::string name = "DialogFrameCL" + std::to_string((unsigned long long)(ULONG_PTR)dlg);
    WNDCLASSA theirs;
    memset(&theirs, 0, sizeof theirs);
    theirs.lpfnWndProc = DefWindowProcA;
    theirs.hInstance = _app->hInst;
    theirs.lpszClassName = name.c_str();
    ASSERT_TRUE(RegisterClassA(&theirs));
    dlg->create();
    EXPECT_TRUE(dlg->registeredClass().empty());
    delete dlg;
    ziFlushDialogClasses();
    WNDCLASSA wc;
    EXPECT_TRUE(GetClassInfoA(_app->hInst, name.c_str(), &wc)) << "the other holder's class stays";
    EXPECT_TRUE(UnregisterClassA(name.c_str(), _app->hInst));
}

TEST_F(Frames, UnsetSizeGivesTheDefaultClientArea) {
    zDialogFrame dlg(owner, nullptr, WS_POPUP, "plain");
    RECT r;
    GetWindowRect(dlg.hwnd, &r);
    EXPECT_EQ(200 + GetSystemMetrics(SM_CXBORDER), r.right - r.left);
    EXPECT_EQ(150 + GetSystemMetrics(SM_CYBORDER), r.bottom - r.top);
}

TEST_F(Frames, OwnedDialogDeletesItselfAfterShutdown) {
    zFormDialog* dlg = new zFormDialog(owner, zResId(201));
    dlg->deleteOnDestroy(1);
    HWND h = dlg->hwnd;
    PostMessageA(h, WM_COMMAND, IDOK, 0);
    Watchdog dog;
    dlg->modal();
    Pump();  // the deferred delete arrives
    EXPECT_FALSE(dog.fired());
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(Frames, OwnedDialogSystemMenuKeepsMoveAndClose) {
    zDialogFrame dlg(owner, zResId(200));
    HMENU sys = GetSystemMenu(dlg.hwnd, FALSE);
    ASSERT_TRUE(sys);
    auto has = [&](UINT cmd) { return GetMenuState(sys, cmd, MF_BYCOMMAND) != (UINT)-1; };
    EXPECT_TRUE(has(SC_MOVE));
    EXPECT_TRUE(has(SC_CLOSE));
    for (UINT cmd : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE, SC_TASKLIST}) EXPECT_FALSE(has(cmd)) << cmd;
}

TEST(SystemMenu, TrimmingTakesOnlySeparatorsBesideClose) {
    const UINT sep = 0;
    struct Case {
        const char* layout;
        unsigned long style;
        std::vector<UINT> items, left;
    } cases[] = {
        {"old layout with a second separator and the task list", WS_CAPTION | WS_SYSMENU,
         {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, sep, SC_CLOSE, sep, SC_TASKLIST},
         {SC_MOVE, SC_CLOSE}},
        {"current layout, minimize box", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
         {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, sep, SC_CLOSE},
         {SC_RESTORE, SC_MOVE, SC_MINIMIZE, SC_CLOSE}},
        {"no separators: Close and what follows stay", WS_CAPTION | WS_SYSMENU,
         {SC_MOVE, SC_SIZE, SC_CLOSE, 0x1230},
         {SC_MOVE, SC_CLOSE, 0x1230}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        HMENU m = CreatePopupMenu();
        for (UINT id : c.items) AppendMenuA(m, id ? MF_STRING : MF_SEPARATOR, id, id ? "item" : nullptr);
        ziTrimSystemMenu(m, c.style);
        std::vector<UINT> left;
        for (int i = 0; i < GetMenuItemCount(m); ++i)
            left.push_back((GetMenuState(m, i, MF_BYPOSITION) & MF_SEPARATOR) ? sep : GetMenuItemID(m, i));
        EXPECT_EQ(c.left, left);
        DestroyMenu(m);
    }
}
