#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "DlgKit.h"
#include "zApp.h"
#include "zDisplay.h"
#include "zNotify.h"
#include "zPane.h"
#include "zScroller.h"
#include "zWindowMap.h"

using dlgkit::App;

namespace {

class TestPane : public zPane {
public:
    zDimension pref;
    bool answerPref = false;
    std::vector<std::pair<int, int>> scrolled;
    int draws = 0;
    COLORREF fill = RGB(255, 0, 0);
    int metrics = 0;

    TestPane(zWindow* parent, unsigned long style) : zPane(parent, nullptr, style, 5, 1) {}
    int getPreferredSize(zDimension& d) override {
        if (!answerPref) return 0;
        d = pref;
        return 1;
    }
    void scrollPane(int dx, int dy, const zRect& r) override {
        scrolled.push_back({dx, dy});
        zPane::scrollPane(dx, dy, r);
    }
    int draw(zDrawEvt*) override {
        ++draws;
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH b = CreateSolidBrush(fill);
        FillRect(curDisplay->hdc(), &rc, b);
        DeleteObject(b);
        return 1;
    }
    void setMetrics() override { ++metrics; }
};

class Panes : public ::testing::Test {
protected:
    zAppFrame* frame = nullptr;
    TestPane* pane = nullptr;
    void SetUp() override {
        App();
        frame = new zAppFrame(nullptr, nullptr, WS_POPUP, "panes", 0);
        _app->mainFrame = nullptr;
        MoveWindow(frame->hwnd, 0, 0, 700, 500, TRUE);
        pane = new TestPane(frame, WS_VISIBLE | WS_VSCROLL | WS_HSCROLL);
        MoveWindow(pane->hwnd, 0, 0, 640, 400, TRUE);
    }
    void TearDown() override { delete frame; }
    RECT client() const {
        RECT rc;
        GetClientRect(pane->hwnd, &rc);
        return rc;
    }
    void send(UINT m, WPARAM w = 0, LPARAM l = 0) { SendMessageA(pane->hwnd, m, w, l); }
};

TEST_F(Panes, PanePaintsThroughItsDisplayAndValidates) {
    ASSERT_EQ(pane, _app->winMap->get(pane->hwnd));
    char cls[64];
    GetClassNameA(pane->hwnd, cls, sizeof cls);
    EXPECT_STREQ("PaneWindowCL", cls);
    frame->show(SW_SHOWNORMAL);
    pane->show(SW_SHOWNORMAL);
    EXPECT_EQ(1, pane->metrics);
    InvalidateRect(pane->hwnd, nullptr, TRUE);
    UpdateWindow(pane->hwnd);
    EXPECT_GE(pane->draws, 1);
    RECT upd;
    EXPECT_FALSE(GetUpdateRect(pane->hwnd, &upd, FALSE));
    HDC dc = GetDC(pane->hwnd);
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 10, 10));
    ReleaseDC(pane->hwnd, dc);
    pane->show(SW_SHOWNORMAL);
    EXPECT_EQ(1, pane->metrics) << "later shows only show";
}

TEST_F(Panes, PrivateRangeMessageSetsOrHidesTheBar) {
    int lo = -1, hi = -1;
    send(0x90A, SB_VERT, MAKELPARAM(0, 50));
    GetScrollRange(pane->hwnd, SB_VERT, &lo, &hi);
    EXPECT_EQ(0, lo);
    EXPECT_EQ(50, hi);
    send(0x90A, SB_VERT, 0x00050005);
    GetScrollRange(pane->hwnd, SB_VERT, &lo, &hi);
    EXPECT_EQ(0, lo);
    EXPECT_EQ(0, hi);
}

TEST_F(Panes, PlainPaneMovesItsContentsOnEndScroll) {
    zScrollInfo* v = pane->ensureVertScroll();
    v->line = 1;
    send(WM_VSCROLL, SB_LINEDOWN);
    send(WM_VSCROLL, SB_LINEDOWN);
    EXPECT_EQ(2, v->position);
    EXPECT_EQ(zPoint(0, 0), pane->curDisplay->windowOrg()) << "no move before the end";
    send(WM_VSCROLL, SB_ENDSCROLL);
    EXPECT_EQ(zPoint(0, 2), pane->curDisplay->windowOrg());
}

class ControlProbe : public zPaneControl {
public:
    int enables = -1;
    ControlProbe(zWindow* parent, int id) : zPaneControl(parent, nullptr, WS_VISIBLE, "text", id) {}
    void onEnableDisable(int on) override { enables = on; }
};

class NoteTaker : public zEvH {
public:
    zEvent seen;
    int on(zEvent* e) {
        seen = *e;
        return 1;
    }
};

TEST_F(Panes, PaneControlAnswersDialogCodesAndNotifiesItsParent) {
    auto* ctl = new ControlProbe(frame, 44);
    EXPECT_EQ(0x81, SendMessageA(ctl->hwnd, WM_GETDLGCODE, 0, 0));
    EnableWindow(ctl->hwnd, FALSE);
    EXPECT_EQ(0, ctl->enables);
    char text[16];
    GetWindowTextA(ctl->hwnd, text, sizeof text);
    EXPECT_STREQ("text", text);
    EXPECT_EQ(zColor::system(COLOR_BTNFACE).colorRef(), ctl->bgColor);

    NoteTaker t;
    frame->setHandler(&t, zHandlerOf(&NoteTaker::on), WM_COMMAND);
    ctl->sendNotification(3);
    EXPECT_EQ(MAKEWPARAM(44, 3), t.seen.wParm);
    EXPECT_EQ((LPARAM)ctl->hwnd, t.seen.lParm);
}

TEST_F(Panes, CaretFollowsTheFocus) {
    zCaret caret(pane, 2, 14);
    caret.move(7, 9);
    caret.show();
    pane->caret(&caret);
    send(WM_SETFOCUS);
    EXPECT_EQ(1, caret.active);
    POINT p = {0, 0};
    GetCaretPos(&p);
    EXPECT_EQ(7, p.x);
    EXPECT_EQ(9, p.y);
    send(WM_KILLFOCUS);
    EXPECT_EQ(0, caret.active);
    pane->caret(nullptr);
}

// ---- scrollers ----

TEST_F(Panes, ThumbDragScrollsByLinesInOneCall) {
    zScrollInfo* v = pane->ensureVertScroll();
    auto* s = new zPaneScroller(pane);
    pane->scroller(s);
    s->setVert(nullptr, 12, 0);
    v->posOnly(3);
    v->oldPosition = 3;
    send(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 7));
    ASSERT_EQ(1u, pane->scrolled.size());
    EXPECT_EQ(std::make_pair(0, -48), pane->scrolled[0]);
    EXPECT_EQ(7, v->oldPosition);

    send(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 7));
    EXPECT_EQ(1u, pane->scrolled.size()) << "no move, nothing scrolled";
    delete s;
    EXPECT_EQ(nullptr, pane->scroller());
}

TEST_F(Panes, LineAndPageMovesInPixels) {
    zScrollInfo* v = pane->ensureVertScroll();
    auto* s = new zPaneScroller(pane);
    pane->scroller(s);
    s->setVert(nullptr, 5, 0);
    EXPECT_EQ(50, s->vertPage()) << "page of the state over its line, in pixels";
    struct Case {
        WPARAM code;
        int start;
        int end;
        int dy;
    } cases[] = {
        {SB_LINEDOWN, 10, 11, -5}, {SB_LINEUP, 11, 10, 5},  {SB_PAGEDOWN, 10, 20, -50},
        {SB_PAGEUP, 20, 10, 50},   {SB_PAGEDOWN, 95, 100, -25}, {SB_PAGEUP, 4, 0, 20},
        {SB_BOTTOM, 50, 100, -250}, {SB_TOP, 50, 0, 250},
    };
    for (const Case& c : cases) {
        v->posOnly(c.start);
        v->oldPosition = c.start;
        pane->scrolled.clear();
        send(WM_VSCROLL, c.code);
        EXPECT_EQ(c.end, v->position) << c.code << " from " << c.start;
        ASSERT_EQ(1u, pane->scrolled.size()) << c.code << " from " << c.start;
        EXPECT_EQ(c.dy, pane->scrolled[0].second) << c.code << " from " << c.start;
    }
    delete s;
}

void HoldControl(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

TEST_F(Panes, PagingKeys) {
    zScrollInfo* v = pane->ensureVertScroll();
    zScrollInfo* h = pane->ensureHorzScroll();
    auto* s = new zPaneScroller(pane);
    pane->scroller(s);
    s->setVert(nullptr, 3, 0);
    s->setHorz(nullptr, 4, 0);

    v->posOnly(95);
    v->oldPosition = 95;
    send(WM_KEYDOWN, VK_NEXT);
    EXPECT_EQ(100, v->position);
    ASSERT_EQ(1u, pane->scrolled.size());
    EXPECT_EQ(-(100 - 95) * 3, pane->scrolled[0].second);

    HoldControl(true);
    send(WM_KEYDOWN, VK_HOME);
    EXPECT_EQ(0, v->position);
    send(WM_KEYDOWN, VK_NEXT);
    EXPECT_EQ(10, h->position) << "Ctrl+Page Down pages right";

    v->limits(0, 0);
    v->posOnly(0);
    pane->scrolled.clear();
    send(WM_KEYDOWN, VK_NEXT);
    EXPECT_EQ(10, h->position) << "an empty vertical range stops the horizontal keys too";
    EXPECT_TRUE(pane->scrolled.empty());
    HoldControl(false);
    delete s;
}

TEST_F(Panes, AutomaticScrollerFitsItsRangesToTheContents) {
    zScrollInfo* h = pane->ensureHorzScroll();
    RECT rc = client();
    pane->answerPref = true;
    pane->pref = zDimension(rc.right + 360, rc.bottom);  // 1000 in a 640 client
    auto* s = new zPaneScrollerAuto(pane);
    pane->scroller(s);
    s->setHorz(nullptr, 16, 0);
    s->respondToSize();
    EXPECT_EQ(0, h->minimum);
    EXPECT_EQ(23, h->maximum);

    send(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 10));
    EXPECT_EQ(zPoint(160, 0), pane->curDisplay->windowOrg());
    send(WM_HSCROLL, SB_LINEDOWN);
    EXPECT_EQ(zPoint(176, 0), pane->curDisplay->windowOrg()) << "the origin follows the travel";

    pane->pref = zDimension(rc.right - 10, rc.bottom);  // the client now holds it all
    s->respondToSize();
    EXPECT_EQ(0, h->maximum);
    EXPECT_EQ(0, h->position);
    EXPECT_EQ(zPoint(0, 0), pane->curDisplay->windowOrg());
    delete s;
}

TEST_F(Panes, RefitKeepsTheRelativePosition) {
    zScrollInfo* h = pane->ensureHorzScroll();
    RECT rc = client();
    pane->answerPref = true;
    pane->pref = zDimension(rc.right + 100, rc.bottom);
    auto* s = new zPaneScrollerAuto(pane);
    pane->scroller(s);
    s->setHorz(nullptr, 1, 0);
    s->respondToSize();
    ASSERT_EQ(100, h->maximum);
    h->posOnly(50);
    h->oldPosition = 50;
    struct Case {
        int extra;
        int line;
        int max;
        int pos;
    } cases[] = {
        {23, 1, 23, 12},  // 50 of 100 is about 12 of 23, not 0
        {200, 1, 200, 104},  // and 12 of 23 is about 104 of 200
    };
    for (const Case& c : cases) {
        pane->pref = zDimension(rc.right + c.extra, rc.bottom);
        s->setHorz(nullptr, c.line, 0);
        s->respondToSize();
        EXPECT_EQ(c.max, h->maximum);
        EXPECT_EQ(c.pos, h->position);
    }
    delete s;
}

}  // namespace

namespace {

class Counter : public zEvH {
public:
    int calls = 0;
    int on(zEvent*) {
        ++calls;
        return 1;
    }
};

TEST_F(Panes, TakeOverOfADialogBuiltPane) {
    zChildWin* built = zCtrlBldzPaneControl(frame, nullptr, WS_VISIBLE, "built", 61);
    auto* prev = static_cast<zPaneControl*>(built);
    HWND h = prev->hwnd;
    zWinDisplay* display = prev->ownDisplay;
    prev->ensureVertScroll()->posOnly(4);
    Counter c;
    prev->setHandler(&c, zHandlerOf(&Counter::on), WM_USER + 7);
    auto* sc = new zPaneScroller(prev);
    prev->scroller(sc);

    auto* taker = new zPaneControl(frame, 61);
    EXPECT_EQ(taker, frame->get(61));
    EXPECT_EQ(prev, taker->prevObject);
    EXPECT_EQ(h, taker->hwnd);
    EXPECT_EQ(nullptr, prev->hwnd);
    EXPECT_EQ(taker, _app->winMap->get(h));
    EXPECT_EQ(display, taker->ownDisplay);
    EXPECT_EQ(taker, display->window());
    EXPECT_EQ(4, taker->vScroll->position);
    EXPECT_EQ(taker, taker->vScroll->owner);
    EXPECT_EQ(sc, taker->scroller());
    EXPECT_EQ(taker, sc->owner());
    EXPECT_STREQ("built", taker->title.data());
    EXPECT_EQ(1, SendMessageA(h, WM_USER + 7, 0, 0));
    EXPECT_EQ(1, c.calls) << "the handler list moved with the window";
    EXPECT_EQ(0x81, SendMessageA(h, WM_GETDLGCODE, 0, 0));
    delete sc;
    // the frame deletes the taker, which deletes the previous object
}

TEST_F(Panes, WrappingAnExistingWindow) {
    HWND h = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, frame->hwnd, 0, 0, 0);
    auto* p = new zPane(h, frame, nullptr, 0);
    EXPECT_EQ(p, _app->winMap->get(h));
    EXPECT_EQ((LONG_PTR)PaneWndProc, GetWindowLongPtrA(h, GWLP_WNDPROC));
    Counter c;
    p->setHandler(&c, zHandlerOf(&Counter::on), WM_USER + 8);
    EXPECT_EQ(1, SendMessageA(h, WM_USER + 8, 0, 0));
    DestroyWindow(h);
    EXPECT_EQ(nullptr, _app->winMap->get(h));
    EXPECT_TRUE(p->isDestroyed());
}

}  // namespace
