#include <gtest/gtest.h>

#include "Canvas.h"
#include "zFont.h"
#include "zGeometry.h"
#include "zRegion.h"
#include "zWindow.h"

namespace {
// A plain popup wrapped in a framework window object, which destroys it. Hidden
// unless asked: only a shown window keeps an update area, and under X a shown
// window costs about two seconds at destruction.
struct PlainWindow {
    zWindow win;
    explicit PlainWindow(bool visible = false, int w = 100, int h = 60)
    {
        win.hwnd = CreateWindowA("STATIC", "", WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, w, h, 0, 0,
                                 GetModuleHandleA(0), 0);
        UpdateWindow(win.hwnd);
    }
};

bool updateRect(HWND h, RECT& r)
{
    return GetUpdateRect(h, &r, FALSE) != 0;
}
}  // namespace

TEST(WinDisplay, TakesFactsColoursAndTheWindowsFont)
{
    PlainWindow pw;
    ASSERT_NE(nullptr, pw.win.hwnd);
    zFont font("Arial", zDimension(0, 14));
    pw.win.font = &font;
    {
        zWinDisplay d(&pw.win);
        EXPECT_EQ(zDisplay::Window, d.type());
        HDC screen = GetDC(0);
        EXPECT_EQ(GetDeviceCaps(screen, HORZRES), d.pixWidth());
        EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), d.pixPerInchY());
        ReleaseDC(0, screen);
        EXPECT_EQ(GetSysColor(COLOR_WINDOW), d.backColor().colorRef());
        EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), d.textColor().colorRef());
        ASSERT_NE(nullptr, d.font());
        EXPECT_EQ(font.handle(), d.font()->handle());
        zRect r;
        d.getVisible(r);
        EXPECT_EQ(zRect(0, 0, 100, 60), r);

        d.lock();
        ASSERT_NE(nullptr, d.hdc());
        EXPECT_EQ(font.handle(), GetCurrentObject(d.hdc(), OBJ_FONT));
        d.unlock();
        EXPECT_EQ(nullptr, d.hdc());
    }
    // The display only borrowed the window's font.
    LOGFONTA lf;
    EXPECT_EQ((int)sizeof lf, GetObjectA(font.handle(), sizeof lf, &lf));
    pw.win.font = nullptr;

    // A window object without a handle of its own draws on its parent.
    zWindow child;
    child.parentWin = &pw.win;
    zWinDisplay cd(&child);
    zRect r;
    cd.getVisible(r);
    EXPECT_EQ(zRect(0, 0, 100, 60), r);
    cd.lock();
    EXPECT_NE(nullptr, cd.hdc());
    cd.unlock();
    child.parentWin = nullptr;

    zWindow orphan;
    zWinDisplay none(&orphan);
    none.lock();
    EXPECT_EQ(nullptr, none.hdc()) << "no window, no context (never the screen)";
    none.unlock();
}

TEST(WinDisplay, PaintsThroughBeginPaintWhileThePaintingFlagIsSet)
{
    PlainWindow pw(true);
    zWinDisplay d(&pw.win);
    HWND h = pw.win.hwnd;
    RECT u;
    ASSERT_FALSE(updateRect(h, u));

    d.setDirty(zRect(10, 10, 30, 20));
    ASSERT_TRUE(updateRect(h, u));
    EXPECT_EQ(10, u.left);
    EXPECT_EQ(20, u.bottom);

    d.setWindowOrg(5, 7);
    zAppDoSetDraw(&d, 1);
    d.lock();
    ASSERT_NE(nullptr, d.hdc());
    zRect dirty;
    d.getDirty(dirty);
    EXPECT_EQ(zRect(15, 17, 35, 27), dirty);  // the paint area in logical terms
    d.unlock();
    zAppDoSetDraw(&d, 0);
    EXPECT_FALSE(updateRect(h, u)) << "EndPaint validated the area";
    d.getDirty(dirty);
    EXPECT_EQ(zRect(), dirty);

    zRectRegion rgn(0, 0, 8, 8);
    d.setDirty(rgn);
    ASSERT_TRUE(updateRect(h, u));
    EXPECT_EQ(8, u.right);
    ValidateRect(h, 0);
}

TEST(InfoDisplay, MeasuresWithoutAWindow)
{
    ziInfoDisplay d;
    HDC screen = GetDC(0);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), d.pixHeight());
    ReleaseDC(0, screen);
    d.pushFont(new zFont("Arial", zDimension(0, 20)));
    zDimension big = d.getTextDim("Wide text");
    delete d.popFont();
    d.pushFont(new zFont("Arial", zDimension(0, 10)));
    zDimension small = d.getTextDim("Wide text");
    EXPECT_GT(big.width, small.width);
    EXPECT_GT(big.height, small.height);
    EXPECT_EQ(nullptr, d.hdc());
}
