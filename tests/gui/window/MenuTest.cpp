#include <gtest/gtest.h>

#include "Probe.h"
#include "TestApp.h"
#include "zMenu.h"
#include "zResId.h"

using namespace wintest;

namespace {

class Menus : public ProbeFixture {
protected:
    LRESULT command(unsigned id) { return SendMessageA(frame->hwnd, WM_COMMAND, id, 0); }
};

TEST_F(Menus, MenuBarLoadsFromResourceAndGoesWithItsFrame) {
    auto* m = new zMenu(frame, zResId(100));
    ASSERT_TRUE(m->hmenu);
    frame->menu(m);
    EXPECT_EQ(m->hmenu, GetMenu(frame->hwnd));
    EXPECT_EQ(2, GetMenuItemCount(m->hmenu));
    HMENU h = m->hmenu;
    delete frame;
    frame = nullptr;
    EXPECT_FALSE(IsMenu(h));
    frame = new ProbeFrame(&log);
}

TEST_F(Menus, ItemStateOperationsReportMissingIds) {
    zMenu m(frame, zResId(100));
    struct Case {
        int (zMenu::*op)(unsigned, int);
        int flag;
        UINT expectState;
    } cases[] = {
        {&zMenu::grayItem, 1, MF_GRAYED},     {&zMenu::grayItem, 0, 0},     {&zMenu::enableItem, 0, MF_DISABLED},
        {&zMenu::enableItem, 1, 0},           {&zMenu::checkItem, 1, MF_CHECKED}, {&zMenu::checkItem, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE((m.*c.op)(202, c.flag));
        EXPECT_EQ(c.expectState, GetMenuState(m.hmenu, 202, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED | MF_CHECKED));
        EXPECT_FALSE((m.*c.op)(999, c.flag)) << "an id the menu does not have";
    }
    EXPECT_EQ(0u, GetMenuState(m.hmenu, 201, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED | MF_CHECKED));
}

TEST_F(Menus, BuiltMenusAppendInsertAndDelete) {
    zMenu bar(frame);
    zMenu sub;
    sub.addStr(11, "one");
    sub.addHbreak(12, "two");
    sub.insertItem(10, 0, "zero");
    bar.appendDropDown(&sub, "&Sub");
    EXPECT_EQ(4, GetMenuItemCount(sub.hmenu));
    EXPECT_EQ(10u, GetMenuItemID(sub.hmenu, 0));
    EXPECT_EQ(MF_SEPARATOR, GetMenuState(sub.hmenu, 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_TRUE(sub.deleteItem(11));
    EXPECT_EQ(3, GetMenuItemCount(sub.hmenu));
    EXPECT_TRUE(bar.deleteDropDown(0));  // destroys the submenu with it
    sub.hmenu = 0;
    EXPECT_EQ(0, GetMenuItemCount(bar.hmenu));
}

TEST_F(Menus, MenuRecordsComeBeforeTheWindowsLists) {
    auto* m = new zMenu(frame, zResId(100));
    frame->menu(m);
    Recorder onMenu(&log, "menu"), onWin(&log, "win"), any(&log, "any");
    frame->setHandler(&onWin, RecOn(), WM_COMMAND);
    m->setCommand(&onMenu, RecOn(), 201);
    EXPECT_EQ(zRouteDevice, frame->routing & zRouteDevice);
    command(201);
    command(202);
    EXPECT_EQ(Log({"menu", "win", "command", "win", "command"}), log);

    log.clear();
    m->setCommand(&any, RecOn(), 201, 203);
    onMenu.answer = 1;
    EXPECT_EQ(0, command(202));
    EXPECT_EQ(Log({"any", "win", "command"}), log) << "onMenu's id is 201 only";
    log.clear();
    EXPECT_EQ(1, command(201));
    EXPECT_EQ(Log({"any", "menu"}), log) << "newest record first";

    log.clear();
    m->removeCommand(&onMenu, RecOn());  // a single-id record can be taken off again
    m->removeCommand(&any, RecOn());
    command(201);
    EXPECT_EQ(Log({"win", "command"}), log);
}

TEST_F(Menus, HiliteAndSetupRecords) {
    auto* m = new zMenu(frame, zResId(100));
    frame->menu(m);
    Recorder hilite(&log, "hilite", 1), setup(&log, "setup", 1);
    m->setHilite(&hilite, RecOn(), 211);
    m->setSetup(&setup, RecOn());
    EXPECT_EQ(1, SendMessageA(frame->hwnd, WM_MENUSELECT, MAKEWPARAM(211, MF_HILITE), (LPARAM)m->hmenu));
    EXPECT_EQ(1, SendMessageA(frame->hwnd, WM_INITMENU, (WPARAM)m->hmenu, 0));
    SendMessageA(frame->hwnd, WM_MENUSELECT, MAKEWPARAM(201, MF_HILITE), (LPARAM)m->hmenu);
    EXPECT_EQ(Log({"hilite", "setup"}), log);
    m->removeHilite(&hilite, RecOn());
    m->removeSetup(&setup, RecOn());
    SendMessageA(frame->hwnd, WM_INITMENU, (WPARAM)m->hmenu, 0);
    EXPECT_EQ(2u, log.size());
}

TEST_F(Menus, DeletingAMenuLeavesAnotherMenuOfTheWindowInPlace) {
    auto* first = new zMenu(frame, zResId(100));
    HMENU other = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101));
    SetMenu(frame->hwnd, other);
    delete first;
    EXPECT_EQ(other, GetMenu(frame->hwnd));
    EXPECT_TRUE(IsMenu(other));
    SetMenu(frame->hwnd, 0);
    DestroyMenu(other);
}

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(0, id);
    EndMenu();
}

TEST_F(Menus, PopupFromResourceIsTrackedClosedAndOfferedCommandsFirst) {
    frame->show(SW_SHOWNORMAL);
    HMENU loaded;
    {
        zPopupMenu popup(zPoint(10, 10), frame, zResId(101));
        loaded = popup.loaded;
        ASSERT_TRUE(popup.hmenu);
        EXPECT_EQ(GetSubMenu(loaded, 0), popup.hmenu);
        EXPECT_EQ(301u, GetMenuItemID(popup.hmenu, 0));
        POINT p = {10, 10};
        ClientToScreen(frame->hwnd, &p);
        EXPECT_EQ(p.x, popup.x);

        Recorder onPopup(&log, "popup", 1);
        popup.setCommand(&onPopup, RecOn(), 301, 302);
        SetTimer(0, 0, 50, CloseMenu);
        popup.go();
        EXPECT_EQ(&popup, ___anyPopupMenu) << "stays set for the chosen item's command";
        EXPECT_EQ(1, command(302));
        EXPECT_EQ(Log({"popup"}), log);
    }
    EXPECT_EQ(nullptr, ___anyPopupMenu);
    EXPECT_FALSE(IsMenu(loaded)) << "the whole resource menu goes with the popup";
    log.clear();
    command(302);
    EXPECT_EQ(Log({"command"}), log);
}

TEST_F(Menus, ChildFramesDoNotOfferMenuSetUpToThePopupFirst) {
    auto* inner = new zChildFrame(frame, nullptr, 0, "inner", 0);
    zPopupMenu popup(zPoint(0, 0), frame);
    Recorder setup(&log, "popup", 1);
    popup.setSetup(&setup, RecOn());
    ___anyPopupMenu = &popup;
    EXPECT_EQ(1, SendMessageA(frame->hwnd, WM_INITMENU, 0, 0));
    EXPECT_EQ(Log({"popup"}), log);
    SendMessageA(inner->hwnd, WM_INITMENU, 0, 0);
    EXPECT_EQ(Log({"popup"}), log);
}

TEST_F(Menus, SystemMenuWrapsTheWindowsOwn) {
    zSystemMenu* sys = new zSystemMenu(frame);
    HMENU h = sys->hmenu;
    ASSERT_TRUE(h);
    EXPECT_TRUE(sys->grayItem(SC_MAXIMIZE, 1));
    delete sys;
    EXPECT_TRUE(IsMenu(GetSystemMenu(frame->hwnd, FALSE)));
}

}  // namespace
