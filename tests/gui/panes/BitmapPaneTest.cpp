#include <gtest/gtest.h>

#include <vector>

#include "DlgKit.h"
#include "zApp.h"
#include "zBitmap.h"
#include "zBitmapPane.h"
#include "zResId.h"
#include "zSizer.h"

using dlgkit::App;

namespace {

// A bitmap whose four quadrants have these colours.
zBitmap* quadrants(int w, int h, const COLORREF (&c)[4]) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* px = static_cast<DWORD*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            COLORREF k = c[(y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1)];
            px[y * w + x] = (GetRValue(k) << 16) | (GetGValue(k) << 8) | GetBValue(k);
        }
    return new zBitmap(b);
}

const COLORREF kQuad[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};

class BitmapPanes : public ::testing::Test {
protected:
    zAppFrame* frame = nullptr;
    void SetUp() override {
        App();
        frame = new zAppFrame(nullptr, nullptr, WS_POPUP, "bitmaps", 0);
        _app->mainFrame = nullptr;
        MoveWindow(frame->hwnd, 0, 0, 400, 300, TRUE);
    }
    void TearDown() override { delete frame; }
    zBitmapPane* pane(zBitmap* b, int w, int h) {
        zBitmapPane* p = new zBitmapPane(frame, b, new zSizer(10, 20, w, h));
        MoveWindow(p->hwnd, 10, 20, w, h, TRUE);
        return p;
    }
    static COLORREF at(zBitmapPane* p, int x, int y) {
        HDC dc = GetDC(p->hwnd);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(p->hwnd, dc);
        return c;
    }
};

TEST_F(BitmapPanes, DrawsOneToOneOrStretched) {
    zBitmapPane* same = pane(quadrants(100, 50, kQuad), 100, 50);
    zBitmapPane* centred = new zBitmapPane(frame, quadrants(100, 50, kQuad), new zSizer(120, 20, 100, 50));
    MoveWindow(centred->hwnd, 120, 20, 100, 50, TRUE);
    centred->setBitmap(centred->setBitmap(nullptr, 0, 0), 0, 1);
    zBitmapPane* small = pane(quadrants(20, 10, kQuad), 100, 50);
    MoveWindow(small->hwnd, 10, 100, 100, 50, TRUE);
    frame->show(SW_SHOWNORMAL);
    for (zBitmapPane* p : {same, centred, small}) {
        p->show(SW_SHOWNORMAL);
        UpdateWindow(p->hwnd);
    }
    struct Probe {
        int x, y, quadrant;
    };
    // One to one: the quadrant edges lie at 50 and 25, with or without centring.
    const Probe edges[] = {{0, 0, 0}, {49, 24, 0}, {50, 0, 1}, {99, 24, 1}, {0, 25, 2}, {49, 49, 2}, {50, 25, 3}, {99, 49, 3}};
    for (zBitmapPane* p : {same, centred})
        for (const Probe& e : edges) EXPECT_EQ(kQuad[e.quadrant], at(p, e.x, e.y)) << e.x << "," << e.y;
    // A 20 x 10 bitmap covers the whole 100 x 50 pane.
    for (const Probe& e : edges) EXPECT_EQ(kQuad[e.quadrant], at(small, e.x, e.y)) << "stretched " << e.x << "," << e.y;
}

TEST_F(BitmapPanes, SetBitmapResizesOnlyWhenTheSizeDiffers) {
    zBitmap* first = quadrants(100, 50, kQuad);
    zBitmapPane* p = pane(first, 100, 50);
    RECT before = dlgkit::ChildRect(p->hwnd);

    zBitmap* sameSize = quadrants(100, 50, kQuad);
    EXPECT_EQ(first, p->setBitmap(sameSize, 1, 0)) << "the previous bitmap goes back to the caller";
    delete first;
    RECT r = dlgkit::ChildRect(p->hwnd);
    EXPECT_TRUE(EqualRect(&before, &r));

    EXPECT_EQ(sameSize, p->setBitmap(nullptr, 1, 0));
    delete sameSize;
    EXPECT_EQ(nullptr, p->bitmap());
    r = dlgkit::ChildRect(p->hwnd);
    EXPECT_TRUE(EqualRect(&before, &r)) << "clearing does not resize";

    EXPECT_EQ(nullptr, p->setBitmap(quadrants(30, 70, kQuad), 1, 0));
    r = dlgkit::ChildRect(p->hwnd);
    EXPECT_EQ(before.left, r.left);
    EXPECT_EQ(before.top, r.top);
    EXPECT_EQ(30, r.right - r.left);
    EXPECT_EQ(70, r.bottom - r.top);
}

TEST_F(BitmapPanes, TakeOverKeepsTheBitmap) {
    ASSERT_GT(frame->populateFromRes(zResId(300)), 0);
    zBitmapPane* built = dynamic_cast<zBitmapPane*>(frame->get(303));
    ASSERT_NE(nullptr, built);
    EXPECT_EQ(nullptr, built->bitmap());
    zBitmap* b = quadrants(10, 10, kQuad);
    built->setBitmap(b, 0, 1);
    HWND h = built->hwnd;
    zBitmapPane* mine = new zBitmapPane(frame, 303);
    EXPECT_EQ(b, mine->bitmap());
    EXPECT_EQ(1, mine->centre);
    EXPECT_EQ(nullptr, built->bitmap()) << "the replaced pane gave it up";
    EXPECT_EQ(h, mine->hwnd);
    EXPECT_EQ(mine, frame->get(303));
}

}  // namespace
