#include <gtest/gtest.h>

#include <cstring>

#include "Probe.h"
#include "TestApp.h"
#include "zDisplay.h"
#include "zFont.h"
#include "zDlgTemplate.h"
#include "zGeometry.h"
#include "zResId.h"
#include "zSystemInfo.h"

using namespace wintest;

namespace {

TEST(Events, MouseViews) {
    struct Case {
        UINT msg;
        WPARAM keys;
        int button;
        int down;
        int isButton;
        int dbl;
    } cases[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, 1, 1, 1, 0}, {WM_LBUTTONDBLCLK, 0, 1, 0, 1, 1}, {WM_RBUTTONUP, MK_RBUTTON, 2, 1, 1, 0},
        {WM_MBUTTONDOWN, MK_MBUTTON, 3, 1, 1, 0}, {WM_MBUTTONDBLCLK, 0, 3, 0, 1, 1}, {WM_LBUTTONUP, MK_LBUTTON, 2, 0, 0, 0},
        {WM_RBUTTONDBLCLK, 0, 2, 0, 1, 1},        {WM_MOUSEMOVE, MK_LBUTTON, 4, 0, 0, 0},
    };
    for (const Case& c : cases) {
        zEvent raw(0, c.msg, c.keys, MAKELPARAM(-3, 7));
        auto* e = static_cast<zMouseClickEvt*>(&raw);
        EXPECT_EQ(c.down, e->isButtonDown(c.button)) << std::hex << c.msg;
        EXPECT_EQ(c.isButton, e->isButton(c.button)) << std::hex << c.msg;
        EXPECT_EQ(c.dbl, e->isDoubleClick()) << std::hex << c.msg;
        EXPECT_EQ(-3, e->x());
        EXPECT_EQ(7, e->y());
    }
    zEvent raw(0, WM_COMMAND, MAKEWPARAM(301, 2), 0x1234);
    auto* c = static_cast<zCommandEvt*>(&raw);
    EXPECT_EQ(301u, c->cmd());
    EXPECT_EQ(2u, c->notifyCode());
    EXPECT_EQ((HWND)0x1234, c->ctrl());
}

TEST(AppObject, ScreenDefaultsAreWidth640Height480) {
    struct Case {
        int w, h, ew, eh;
    } cases[] = {{0, 0, 640, 480}, {800, 0, 800, 480}, {0, 600, 640, 600}, {1024, 768, 1024, 768}};
    for (const Case& c : cases) {
        int w = c.w, h = c.h;
        zApp::ziScreenDefaults(w, h);
        EXPECT_EQ(c.ew, w);
        EXPECT_EQ(c.eh, h);
    }
}

TEST(AppObject, SystemInfoStartsWithTheScreenExtent) {
    zSystemInfo info;
    int raw[2];
    memcpy(raw, &info, sizeof raw);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), raw[0]);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), raw[1]);
}

TEST(AppObject, RegistersTheFrameworkControlTypesAndSuperclasses) {
    App();
    ASSERT_NE(nullptr, _zctd);
    // In registration order, at the front of the reader's list.
    const char* expected[] = {"zTextPane", "zPaneControl", "zBitmapPane", "zTabCtrl"};
    zDListIter it(_zctd);
    for (const char* name : expected) {
        zControlType* t = static_cast<zControlType*>(it());
        ASSERT_NE(nullptr, t);
        EXPECT_STREQ(name, t->name());
    }
    for (const auto& row : zApp::kSuperClasses) {
        SCOPED_TRACE(row[1]);
        ASSERT_NE(nullptr, zSuperClass::lookup(ZKCString(row[1])));
        WNDCLASSA wc;
        ASSERT_TRUE(GetClassInfoA(_app->instance(), row[1], &wc));
        EXPECT_TRUE(wc.style & CS_DBLCLKS);
    }
}

TEST(AppObject, DefaultResourceModule) {
    App();
    _app->setDefaultResourceModule("no-such-library.dll");
    EXPECT_STREQ("no-such-library.dll", _app->defaultResourceModule());
    EXPECT_EQ(nullptr, _app->resourceModule()) << "resources then come from the program";
    _app->setDefaultResourceModule((const char*)-1);
    EXPECT_EQ(nullptr, _app->defaultResourceModule());
}

WNDPROC seenBase = nullptr;
int userProcCalls = 0;
LRESULT CALLBACK UserProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (!h && !m) {
        ++userProcCalls;
        seenBase = (WNDPROC)l;
        return 0;
    }
    return CallWindowProcA(seenBase, h, m, w, l);
}

TEST(AppObject, UserClassLearnsItsBaseProcedure) {
    App();
    WNDCLASSA wc;
    ASSERT_TRUE(GetClassInfoA(0, "button", &wc));
    _app->registerUserClass("button", UserProc, "no-such-library.dll");
    EXPECT_EQ(1, userProcCalls);
    EXPECT_EQ(wc.lpfnWndProc, seenBase);
}

TEST(ScrollInfo, PositionsClampAndLimitsReachTheWindow) {
    Log log;
    ProbeFrame f(&log, WS_OVERLAPPEDWINDOW | WS_VSCROLL);
    _app->mainFrame = nullptr;
    zScrollInfo* si = f.ensureVertScroll();
    EXPECT_EQ(0, si->minimum);
    EXPECT_EQ(100, si->maximum);
    EXPECT_EQ(10, si->page);
    EXPECT_EQ(1, si->line);
    si->pos(30);
    si->pos(-5);
    EXPECT_EQ(0, si->position);
    EXPECT_EQ(30, si->oldPosition);
    si->posOnly(500);
    EXPECT_EQ(100, si->position);
    EXPECT_EQ(30, si->oldPosition);

    int range[2] = {5, 60};
    si->setParms(range, 20, -1, 4, -1);
    EXPECT_EQ(20, si->position);
    EXPECT_EQ(10, si->page);
    EXPECT_EQ(4, si->line);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, f.hwnd, 0x90A, 0x90A, PM_REMOVE));
    EXPECT_EQ((WPARAM)SB_VERT, m.wParam);
    EXPECT_EQ(MAKELPARAM(5, 60), m.lParam);
}

class Field : public zChildWin {
public:
    bool ok = true;
    int stored = 0;
    int invalids = 0;
    Field(zWindow* p, int id) : zChildWin(p, nullptr, 0, id) { create(); }
    int checkData() override { return ok; }
    int storeData() override {
        ++stored;
        return 1;
    }
    int invalidData(zWindow* w) override {
        ++invalids;
        return 0;
    }
};

TEST(WindowGeometry, MapToScreen) {
    Log log;
    ProbeFrame f(&log, WS_POPUP);
    _app->mainFrame = nullptr;
    MoveWindow(f.hwnd, 30, 40, 100, 100, FALSE);
    zRect r(1, 2, 11, 12);
    f.mapToWindow(&f, r);
    EXPECT_EQ(zRect(1, 2, 11, 12), r) << "to another window it stays";
    f.mapToWindow(nullptr, r);
    EXPECT_EQ(zRect(31, 42, 41, 52), r);
}

TEST(WindowData, CheckStopsAtTheFirstFailingEnabledChild) {
    Log log;
    ProbeFrame f(&log);
    _app->mainFrame = nullptr;
    auto* a = new Field(&f, 1);
    auto* b = new Field(&f, 2);
    auto* c = new Field(&f, 3);
    EXPECT_EQ(1, f.storeData());
    EXPECT_EQ(1, a->stored + b->stored + c->stored - 2);
    b->ok = false;
    c->ok = false;
    EXPECT_EQ(0, f.checkData());
    EXPECT_EQ(1, b->invalids);
    EXPECT_EQ(0, c->invalids);
    EXPECT_EQ(0, f.storeData());
    EXPECT_EQ(1, a->stored);
    EnableWindow(b->hwnd, FALSE);
    EnableWindow(c->hwnd, FALSE);
    EXPECT_EQ(1, f.checkData()) << "disabled children are not asked";
}

TEST(WindowPaint, BackgroundPaintsTheWindowColourOrNothing) {
    Log log;
    ProbeFrame f(&log, WS_POPUP);
    _app->mainFrame = nullptr;
    MoveWindow(f.hwnd, 0, 0, 20, 20, FALSE);
    HDC screen = GetDC(0);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 20, 20);
    ReleaseDC(0, screen);
    HGDIOBJ old = SelectObject(mem, bmp);
    PatBlt(mem, 0, 0, 20, 20, BLACKNESS);

    f.ziBackgroundColorValue(zColorNoErase);
    zEvent erase(f.hwnd, WM_ERASEBKGND, (WPARAM)mem, 0);
    EXPECT_EQ(0, f.background(&erase)) << "left to the default processing";
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(mem, 5, 5));

    f.ziBackgroundColor(zColor(0, 255, 0));
    EXPECT_EQ(RGB(0, 255, 0), f.bgColor);
    EXPECT_EQ(1, SendMessageA(f.hwnd, WM_ERASEBKGND, (WPARAM)mem, 0));
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(mem, 5, 5));

    f.ziBackgroundColor(zColor(1, 2, 3, 5));
    EXPECT_EQ(0x02030201UL, f.bgColor) << "a flagged colour is palette-relative";

    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
}

class ColourCtl : public zChildWin {
public:
    unsigned long text = RGB(10, 20, 30);
    HBRUSH brush = 0;
    ColourCtl(zWindow* p, int id) : zChildWin(p, nullptr, 0, id) { create(); }
    bool ziControlColors(unsigned long*& t, HBRUSH*& b) override {
        t = &text;
        b = &brush;
        return true;
    }
};

TEST(WindowPaint, ControlColouring) {
    Log log;
    ProbeFrame f(&log);
    _app->mainFrame = nullptr;
    f.ziBackgroundColorValue(RGB(1, 1, 1));
    auto* ctl = new ColourCtl(&f, 9);
    ctl->brush = (HBRUSH)GetStockObject(GRAY_BRUSH);
    HDC dc = GetDC(f.hwnd);
    struct Case {
        unsigned long bg;
        LRESULT brush;
        COLORREF bk;
    } cases[] = {
        {RGB(9, 9, 9), (LRESULT)ctl->brush, RGB(9, 9, 9)},
        {zColorParent, (LRESULT)ctl->brush, RGB(1, 1, 1)},
    };
    for (const Case& c : cases) {
        ctl->bgColor = c.bg;
        EXPECT_EQ(c.brush, SendMessageA(f.hwnd, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)ctl->hwnd));
        EXPECT_EQ(c.bk, GetBkColor(dc));
        EXPECT_EQ(RGB(10, 20, 30), GetTextColor(dc));
    }
    // "Do not erase" without a brush takes the context's background colour.
    ctl->bgColor = zColorNoErase;
    ctl->brush = 0;
    SetBkColor(dc, RGB(7, 7, 7));
    zEvent edit(f.hwnd, WM_CTLCOLOREDIT, (WPARAM)dc, (LPARAM)ctl->hwnd);
    EXPECT_EQ(0, zAppDoCtlColor(&f, &edit));
    EXPECT_EQ(RGB(7, 7, 7), ctl->bgColor);
    EXPECT_EQ(RGB(7, 7, 7), GetBkColor(dc));
    zEvent box(f.hwnd, WM_CTLCOLORMSGBOX, (WPARAM)dc, (LPARAM)ctl->hwnd);
    EXPECT_EQ(0, zAppDoCtlColor(&f, &box));
    zEvent none(f.hwnd, WM_CTLCOLORSTATIC, (WPARAM)dc, 0);
    EXPECT_EQ(0, zAppDoCtlColor(&f, &none));
    ReleaseDC(f.hwnd, dc);
}

TEST(WindowFont, ChildrenShareTheParentsFontWhichGoesOnce) {
    Log log;
    auto* f = new ProbeFrame(&log);
    _app->mainFrame = nullptr;
    auto* child = new zChildWin(f, nullptr, 0, 1);
    child->create();
    zFont* font = new zFont("Arial", zDimension(0, 14));
    f->setFont(font, 0);
    EXPECT_EQ(font, f->font);
    EXPECT_EQ(font, child->font);
    EXPECT_TRUE(f->stateFlags & zWinOwnsFont);
    EXPECT_FALSE(child->stateFlags & zWinOwnsFont) << "the parent's font stays the parent's";
    f->setFont(font, 0);  // the current font: nothing happens
    EXPECT_EQ(font, f->font);
    delete f;  // frees the font once
}



TEST(WindowCursor, StockResourceAndLibraryCursors) {
    App();
    zCursor arrow;
    EXPECT_EQ(LoadCursorA(0, IDC_ARROW), arrow());
    EXPECT_EQ(0, arrow.owned);
    EXPECT_EQ(nullptr, zCursor(0)());

    // The system's own arrow resource, taken from a library named in the id.
    zCursor fromLib(zResId(32512, "user32.dll"));
    ASSERT_NE(nullptr, fromLib());
    EXPECT_EQ(1, fromLib.owned);
    zCursor copy(fromLib);
    EXPECT_NE(fromLib(), copy());  // a copy of its own, destroyed on its own
    EXPECT_EQ(1, copy.owned);

    struct Missing {
        const char* what;
        zResId id;
    } missing[] = {
        {"library that does not load", zResId(32512, "no-such-library.dll")},
        {"id the program lacks", zResId(4321, zResThisModule)},
    };
    for (const Missing& m : missing) {
        zCursor none(m.id);
        EXPECT_EQ(nullptr, none()) << m.what;
        EXPECT_EQ(0, none.owned) << m.what;
    }
}

}  // namespace
