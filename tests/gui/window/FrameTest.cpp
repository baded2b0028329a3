#include <gtest/gtest.h>

#include <cstdio>

#include "Probe.h"
#include "TestApp.h"
#include "zBitmap.h"
#include "zResId.h"
#include "zSizer.h"
#include "zWindowMap.h"

using namespace wintest;

namespace {

std::string ClassOf(HWND h) {
    char buf[128] = "";
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

class Frames : public ::testing::Test {
protected:
    Log log;
    void SetUp() override { App()->mainFrame = nullptr; }
    void TearDown() override {
        App()->mainFrame = nullptr;
        Pump();
    }
};

TEST_F(Frames, OnlyTheFirstFrameBecomesTheMainFrame) {
    ProbeFrame first(&log);
    ProbeFrame second(&log);
    EXPECT_EQ(&first, _app->mainFrame);
    EXPECT_EQ(0x20u, first.kindFlags & 0x20u);
    EXPECT_EQ("AppFrameCL", ClassOf(first.hwnd));
}

TEST_F(Frames, DeletedMainFrameLeavesNoDanglingPointer) {
    auto* f = new ProbeFrame(&log);
    EXPECT_EQ(f, _app->mainFrame);
    delete f;
    EXPECT_EQ(nullptr, _app->mainFrame);
}

TEST_F(Frames, PopupWithAnEmptySizerComesUp500By500) {
    zPopupFrame p(nullptr, nullptr, WS_CAPTION, "popup");
    RECT r;
    GetWindowRect(p.hwnd, &r);
    EXPECT_EQ(500, r.right - r.left);
    EXPECT_EQ(500, r.bottom - r.top);
    EXPECT_TRUE(p.winStyle & WS_POPUP);
}

TEST_F(Frames, ClassStyleGivesEachWindowAClassOfItsOwn) {
    zAppFrame a(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "a", 1);
    zAppFrame b(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "b", 1);
    a.clsStyle = b.clsStyle = CS_HREDRAW | CS_VREDRAW;
    ASSERT_TRUE(a.create());
    ASSERT_TRUE(b.create());
    char expect[64];
    snprintf(expect, sizeof expect, "AppFrameCL%lld", (long long)(LONG_PTR)&a);
    EXPECT_EQ(expect, ClassOf(a.hwnd));
    EXPECT_NE(ClassOf(a.hwnd), ClassOf(b.hwnd));
    EXPECT_EQ((DWORD)(CS_HREDRAW | CS_VREDRAW), GetClassLongA(a.hwnd, GCL_STYLE));
}

TEST_F(Frames, CaptionShowAndIcon) {
    zAppFrame f(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "first title", 0);
    f.show(SW_SHOWNORMAL);
    char buf[64] = "";
    GetWindowTextA(f.hwnd, buf, sizeof buf);
    EXPECT_STREQ("first title", buf);
    EXPECT_TRUE(f.winStyle & WS_VISIBLE);
    f.caption("second");
    GetWindowTextA(f.hwnd, buf, sizeof buf);
    EXPECT_STREQ("second", buf);
    EXPECT_STREQ("second", f.caption().data());

    HICON question = LoadIconA(0, IDI_QUESTION);
    f.setIcon(new zIcon(StockIconQuestion));  // the object goes, the class keeps the icon
    EXPECT_EQ((ULONG_PTR)question, GetClassLongPtrA(f.hwnd, GCLP_HICON));
    f.setIcon(nullptr);
    EXPECT_EQ((ULONG_PTR)0, GetClassLongPtrA(f.hwnd, GCLP_HICON));
}

TEST_F(Frames, MinimumTrackingSize) {
    zAppFrame f(nullptr, nullptr, WS_OVERLAPPEDWINDOW, "min", 0);
    MINMAXINFO mm = {};
    mm.ptMinTrackSize.x = 11;
    mm.ptMinTrackSize.y = 12;
    zEvent e(f.hwnd, WM_GETMINMAXINFO, 0, (LPARAM)&mm);
    f.dispatch(&e);
    EXPECT_EQ(11, mm.ptMinTrackSize.x) << "no minimum leaves the record alone";
    EXPECT_EQ(12, mm.ptMinTrackSize.y);

    MoveWindow(f.hwnd, 0, 0, 300, 200, FALSE);
    f.setMinimumSize();
    SendMessageA(f.hwnd, WM_GETMINMAXINFO, 0, (LPARAM)&mm);
    EXPECT_EQ(300, mm.ptMinTrackSize.x);
    EXPECT_EQ(200, mm.ptMinTrackSize.y);
}

TEST_F(Frames, ChildFramesAndChildWindowsHangOnTheirParent) {
    ProbeFrame parent(&log);
    auto* cf = new zChildFrame(&parent, nullptr, WS_VISIBLE, "inner", 0);
    auto* cw = new zChildWin(&parent, nullptr, WS_VISIBLE, 33);
    ASSERT_TRUE(cw->create());
    EXPECT_EQ("zChildFrameCL", ClassOf(cf->hwnd));
    EXPECT_EQ("VisualCtrl", ClassOf(cw->hwnd));
    EXPECT_EQ(parent.hwnd, GetParent(cf->hwnd));
    EXPECT_EQ(parent.hwnd, GetParent(cw->hwnd));
    EXPECT_EQ(cw, parent.get(33));
    EXPECT_EQ(cf, parent.get(0));
    EXPECT_EQ(cw, cf->nextWin());
    EXPECT_EQ(cf, cw->nextWin()) << "wraps around";
    EXPECT_EQ(cw, cf->prevWin());
    EXPECT_EQ(_app->winMap->get(cw->hwnd), cw);

    // The child window procedure dispatches like the frame's.
    Recorder rec(&log, "child", 1);
    cw->setHandler(&rec, RecOn(), WM_USER + 3);
    EXPECT_EQ(1, SendMessageA(cw->hwnd, WM_USER + 3, 0, 0));
    EXPECT_EQ(Log({"child"}), log);
    // parent's destructor deletes both children
}

TEST_F(Frames, DestroyingAChildObjectUnlinksIt) {
    ProbeFrame parent(&log);
    auto* a = new zChildWin(&parent, nullptr, 0, 1);
    auto* b = new zChildWin(&parent, nullptr, 0, 2);
    a->create();
    b->create();
    HWND ah = a->hwnd;
    delete a;
    EXPECT_EQ(nullptr, parent.get(1));
    EXPECT_EQ(b, parent.get(2));
    EXPECT_FALSE(IsWindow(ah));
    EXPECT_EQ(nullptr, _app->winMap->get(ah));
}

TEST_F(Frames, FocusChangesReachTheAncestors) {
    struct Parent : ProbeFrame {
        std::vector<std::pair<zWindow*, zWindow*>> changes;
        explicit Parent(Log* l) : ProbeFrame(l) {}
        void childFocusChange(zWindow* prev, zWindow* next) override { changes.push_back({prev, next}); }
    } parent(&log);
    auto* a = new zChildWin(&parent, nullptr, WS_VISIBLE, 1);
    auto* b = new zChildWin(&parent, nullptr, WS_VISIBLE, 2);
    a->create();
    b->create();
    parent.show(SW_SHOWNORMAL);
    SendMessageA(a->hwnd, WM_SETFOCUS, 0, 0);
    SendMessageA(a->hwnd, WM_KILLFOCUS, 0, 0);
    SendMessageA(b->hwnd, WM_SETFOCUS, 0, 0);
    ASSERT_EQ(2u, parent.changes.size());
    EXPECT_EQ(a, parent.changes[0].second);
    EXPECT_EQ(a, parent.changes[1].first);
    EXPECT_EQ(b, parent.changes[1].second);
    EXPECT_EQ(b, zWindow::ziLastChildFocus);
    delete b;
    EXPECT_NE(b, zWindow::ziLastChildFocus);
}

RECT ChildRect(zWindow* c) {
    RECT r;
    GetWindowRect(c->hwnd, &r);
    MapWindowPoints(0, c->parentWin->hwnd, (POINT*)&r, 2);
    return r;
}

TEST_F(Frames, SizersPlaceTheFrameAndLayOutChildrenOnSize) {
    zAppFrame f(nullptr, new zSizer(10, 20, 300, 200), WS_POPUP, "sized", 0);
    RECT r;
    GetWindowRect(f.hwnd, &r);
    EXPECT_EQ(10, r.left);
    EXPECT_EQ(20, r.top);
    EXPECT_EQ(300, r.right - r.left);
    auto* left = new zChildWin(&f, new zGravSizer(zGravLeft, 100, f.sizer), WS_VISIBLE, 1);
    auto* rest = new zChildWin(&f, new zGravSizer(zGravLeft, 50, f.sizer), WS_VISIBLE, 2);
    left->create();
    rest->create();
    MoveWindow(f.hwnd, 10, 20, 400, 300, TRUE);
    EXPECT_EQ(zDimension(400, 300), f.sizer->dimension());
    RECT a = ChildRect(left), b = ChildRect(rest);
    EXPECT_EQ(0, a.left);
    EXPECT_EQ(100, a.right);
    EXPECT_EQ(300, a.bottom);
    EXPECT_EQ(100, b.left);
    EXPECT_EQ(150, b.right);

    SendMessageA(f.hwnd, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    EXPECT_EQ(zDimension(0, 0), f.sizer->dimension()) << "the size is noted";
    RECT after = ChildRect(left);
    EXPECT_EQ(300, after.bottom) << "but the children are not laid out";
    SendMessageA(f.hwnd, WM_MOVE, 0, MAKELPARAM(33, 44));
    EXPECT_EQ(zPoint(33, 44), f.sizer->pos());

    auto* own = new zChildWin(&f);  // makes a sizer of its own under the frame's
    ASSERT_NE(nullptr, own->sizer);
    EXPECT_EQ(f.sizer, own->sizer->parent());
    EXPECT_EQ(own, own->sizer->owner());
    EXPECT_EQ(3, f.sizer->childCount());
    delete own;
    EXPECT_EQ(2, f.sizer->childCount());
}

TEST_F(Frames, AcceleratorTableLoadsFromResources) {
    EXPECT_TRUE(_app->loadAccelerator(zResId(102)));
    EXPECT_NE(nullptr, _app->accel);
    EXPECT_FALSE(_app->loadAccelerator(zResId(999)));
    EXPECT_EQ(nullptr, _app->accel);
}

}  // namespace
