#include <gtest/gtest.h>

#include <cstring>

#include "Probe.h"
#include "TestApp.h"
#include "zWindowMap.h"

using namespace wintest;

namespace {

class Dispatch : public ProbeFixture {
protected:
    LRESULT send(UINT m, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(frame->hwnd, m, w, l); }
};

TEST_F(Dispatch, FrameIsMappedAndUnmappedWithItsWindow) {
    EXPECT_EQ(frame, App()->winMap->get(frame->hwnd));
    HWND h = frame->hwnd;
    DestroyWindow(h);
    EXPECT_EQ(nullptr, App()->winMap->get(h));
    EXPECT_TRUE(frame->isDestroyed());
}

TEST_F(Dispatch, HandleMissingFromTheMapGoesToTheDefaultProcedure) {
    App()->winMap->remove(frame->hwnd);
    send(WM_CLOSE);  // DefWindowProc destroys the window; nothing of ours runs
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(IsWindow(frame->hwnd));
    frame->stateFlags |= zWinHandleDestroyed;
}

TEST_F(Dispatch, CloseRoutingFlagPutsHandlersBeforeKill) {
    Recorder rec(&log, "handler", 1);
    frame->setHandler(&rec, RecOn(), WM_CLOSE);
    frame->killAnswer = 1;
    EXPECT_EQ(1, send(WM_CLOSE));
    EXPECT_EQ(Log({"kill"}), log) << "without the flag the handler is not asked";

    log.clear();
    frame->removeHandler(&rec, RecOn(), WM_CLOSE);
    frame->setupNotification(&rec, RecOn(), WM_CLOSE);
    EXPECT_EQ(1, send(WM_CLOSE));
    EXPECT_EQ(Log({"handler"}), log) << "a handler that takes the close keeps kill from running";

    log.clear();
    rec.answer = 0;
    frame->killAnswer = 1;
    EXPECT_EQ(1, send(WM_CLOSE));
    EXPECT_EQ(Log({"handler", "kill"}), log);
}

TEST_F(Dispatch, HandlerOrderIsWindowNewestFirstThenAppThenVirtual) {
    Recorder older(&log, "older"), newer(&log, "newer"), app(&log, "app");
    frame->setHandler(&older, RecOn(), WM_COMMAND);
    frame->setHandler(&newer, RecOn(), WM_COMMAND);
    App()->setHandler(&app, RecOn(), WM_COMMAND);
    send(WM_COMMAND, 42);
    EXPECT_EQ(Log({"newer", "older", "app", "command"}), log);

    log.clear();
    older.answer = 1;
    EXPECT_EQ(1, send(WM_COMMAND, 42)) << "Windows gets 1 when a record took the event";
    EXPECT_EQ(Log({"newer", "older"}), log);

    log.clear();
    newer.answer = 7;
    EXPECT_EQ(1, send(WM_COMMAND, 42));
    EXPECT_EQ(Log({"newer"}), log);
    App()->removeHandler(&app, RecOn(), WM_COMMAND);
}

TEST_F(Dispatch, WindowListDecliningLetsTheAppListRun) {
    Recorder win(&log, "win"), app(&log, "app", 1);
    frame->setHandler(&win, RecOn(), WM_USER + 5);
    App()->setHandler(&app, RecOn(), WM_USER + 5);
    EXPECT_EQ(1, send(WM_USER + 5));
    EXPECT_EQ(Log({"win", "app"}), log);
    EXPECT_EQ(0, frame->sawDispatch(WM_USER + 5));
    App()->removeHandler(&app, RecOn(), WM_USER + 5);
    log.clear();
    send(WM_USER + 5);
    EXPECT_EQ(Log({"win"}), log);
    EXPECT_EQ(1, frame->sawDispatch(WM_USER + 5));
}

TEST_F(Dispatch, SetCursorAndHitTestReachHandlersOnlyWithTheirFlags) {
    Recorder rec(&log, "rec", 1);
    frame->setHandler(&rec, RecOn(), WM_SETCURSOR);
    frame->setHandler(&rec, RecOn(), WM_NCHITTEST);
    send(WM_SETCURSOR, (WPARAM)frame->hwnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    send(WM_NCHITTEST, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(1, frame->sawDispatch(WM_SETCURSOR));
    EXPECT_EQ(1, frame->sawDispatch(WM_NCHITTEST));

    frame->routing |= zRouteSetCursor | zRouteHitTest;
    EXPECT_EQ(1, send(WM_SETCURSOR, (WPARAM)frame->hwnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(1, send(WM_NCHITTEST, 0, MAKELPARAM(5, 5)));
    EXPECT_EQ(Log({"rec", "rec"}), log);
    EXPECT_EQ(1, frame->sawDispatch(WM_SETCURSOR));
}

class CursorCheck : public zEvH {
public:
    HCURSOR seen = 0;
    int on(zEvent*) {
        seen = GetCursor();
        return 1;
    }
};

TEST_F(Dispatch, MouseMoveSetsTheWindowCursorBeforeAnyHandler) {
    CursorCheck check;
    frame->setupNotification(&check, zHandlerOf(&CursorCheck::on), WM_MOUSEMOVE);
    frame->cursor = zCursor((int)(UINT_PTR)IDC_CROSS);
    SetCursor(LoadCursorA(0, IDC_ARROW));
    EXPECT_EQ(1, send(WM_MOUSEMOVE, 0, MAKELPARAM(3, 4)));
    EXPECT_EQ(LoadCursorA(0, IDC_CROSS), check.seen);
    EXPECT_TRUE(log.empty()) << "mouseMove is not asked once a handler took the event";
}

TEST_F(Dispatch, RoutingFlagsOfTheMouseAndFocusMessages) {
    Recorder rec(&log, "rec", 1);
    struct Case {
        UINT msg;
        UINT setupMsg;
    } cases[] = {
        {WM_LBUTTONDOWN, WM_LBUTTONDOWN}, {WM_RBUTTONDBLCLK, WM_LBUTTONDOWN}, {WM_RBUTTONUP, WM_LBUTTONUP},
        {WM_ACTIVATE, WM_ACTIVATE},       {WM_KILLFOCUS, WM_SETFOCUS},
    };
    for (const Case& c : cases) {
        frame->routing = 0;
        frame->setHandler(&rec, RecOn(), c.msg);
        log.clear();
        send(c.msg, 0, 0);
        EXPECT_TRUE(log.empty()) << std::hex << c.msg << ": not before its flag is set";
        frame->setupNotification(&rec, RecOn(), c.setupMsg);
        log.clear();
        EXPECT_EQ(1, send(c.msg, 0, 0)) << std::hex << c.msg;
        EXPECT_EQ(Log({"rec"}), log) << std::hex << c.msg;
    }
}

TEST_F(Dispatch, ScrollStateFollowsTheScrollCodes) {
    zScrollInfo* si = frame->ensureVertScroll();
    si->posOnly(50);
    struct Case {
        WPARAM wp;
        int pos;
        int old;
    } cases[] = {
        {SB_LINEDOWN, 51, 50},
        {SB_LINEUP, 50, 51},
        {SB_PAGEDOWN, 60, 50},
        {SB_PAGEUP, 50, 60},
        {MAKEWPARAM(SB_THUMBTRACK, 300), 100, 60},  // clamped; old position kept
        {MAKEWPARAM(SB_THUMBPOSITION, 20), 20, 60},
        {SB_TOP, 0, 20},
        {SB_BOTTOM, 100, 0},
        {SB_ENDSCROLL, 100, 0},
    };
    int scrolls = 0;
    for (const Case& c : cases) {
        send(WM_VSCROLL, c.wp, 0);
        EXPECT_EQ(c.pos, si->position) << c.wp;
        EXPECT_EQ(c.old, si->oldPosition) << c.wp;
        EXPECT_EQ(++scrolls, frame->scrolls);
    }
}

TEST_F(Dispatch, ScrollFromAForeignScrollBarGoesStraightToDispatch) {
    zScrollInfo* si = frame->ensureVertScroll();
    HWND bar = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | SBS_VERT, 0, 0, 10, 100, frame->hwnd, 0, 0, 0);
    ASSERT_TRUE(bar);
    send(WM_VSCROLL, SB_LINEDOWN, (LPARAM)bar);
    EXPECT_EQ(0, si->position);
    EXPECT_EQ(0, frame->scrolls);
    EXPECT_EQ(1, frame->sawDispatch(WM_VSCROLL));
    DestroyWindow(bar);
}

TEST_F(Dispatch, MinimizedSizeUpdatesTheSizerOnly) {
    send(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    EXPECT_EQ(1, frame->sizes);
}

TEST_F(Dispatch, DestroyOfTheMainFramePostsQuitOfZero) {
    App()->mainFrame = frame;
    DestroyWindow(frame->hwnd);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, 0, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, m.wParam);
    EXPECT_EQ(0, App()->taskDev->enabled);
    App()->taskDev->enable(1);
}

TEST_F(Dispatch, DeleteOnDestroyDeletesTheObjectWithItsWindow) {
    bool gone = false;
    struct Watched : ProbeFrame {
        bool* flag;
        Watched(Log* l, bool* f) : ProbeFrame(l), flag(f) {}
        ~Watched() override { *flag = true; }
    };
    auto* w = new Watched(&log, &gone);
    App()->mainFrame = nullptr;
    w->deleteOnDestroy(1);
    DestroyWindow(w->hwnd);
    EXPECT_TRUE(gone);
}

// Freed memory is wiped, so a call through the dead object's table would crash.
struct SelfDestroyer : ProbeFrame {
    explicit SelfDestroyer(Log* l) : ProbeFrame(l) {}
    int kill(zEvent*) override {
        DestroyWindow(hwnd);
        return 0;
    }
    static void operator delete(void* p, size_t n) {
        memset(p, 0, n);
        ::operator delete(p);
    }
};

TEST_F(Dispatch, AHandlerMayDestroyAndDeleteItsOwnWindow) {
    auto* w = new SelfDestroyer(&log);
    App()->mainFrame = nullptr;
    w->deleteOnDestroy(1);
    HWND h = w->hwnd;
    EXPECT_EQ(0, SendMessageA(h, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(nullptr, App()->winMap->get(h));
}

TEST_F(Dispatch, CenterWindowPlacesOnTheScreenAndClampsAtZero) {
    frame->vmove(0, 0, 200, 100);
    frame->centerWindow();
    RECT r;
    GetWindowRect(frame->hwnd, &r);
    EXPECT_EQ((___scrPixWidth - 200) / 2, r.left);
    EXPECT_EQ((___scrPixHeight - 100) / 2, r.top);

    frame->vmove(10, 10, ___scrPixWidth + 50, ___scrPixHeight + 40);
    frame->centerWindow();
    GetWindowRect(frame->hwnd, &r);
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(0, r.top);
}

}  // namespace
