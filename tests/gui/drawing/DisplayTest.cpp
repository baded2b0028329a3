#include <gtest/gtest.h>

#include <vector>

#include "Canvas.h"
#include "zFont.h"
#include "zGeometry.h"
#include "zWindow.h"

TEST(Color, ConvertsByFlag)
{
    struct Case {
        zColor c;
        COLORREF want;
    } cases[] = {
        {zColor(0x12, 0x34, 0x56, 0), 0x00563412},
        {zColor(0x12, 0x34, 0x56, 1), 0x01003412},  // palette index from red and green
        {zColor(0x12, 0x34, 0x56, 2), 0x02563412},
        {zColor(0x12, 0x34, 0x56, 7), 0x02563412},
        {zColor(255, 255, 255), RGB(255, 255, 255)},
    };
    for (const Case& k : cases)
        EXPECT_EQ(k.want, k.c.colorRef()) << std::hex << k.c.raw();
    EXPECT_EQ(0xFFFFFFFEul, zColor::fromRaw(0xFFFFFFFE).raw());
}

static void lineAcross(Canvas& cv, int y)
{
    MoveToEx(cv.disp.hdc(), 0, y, 0);
    LineTo(cv.disp.hdc(), cv.w, y);
}

TEST(Pen, CopyOwnsItsOwnHandle)
{
    Canvas cv;
    zPen* first = new zPen(zColor(255, 0, 0), PS_SOLID, 1);
    zPen copy(*first);
    EXPECT_NE(first->handle(), copy.handle());
    EXPECT_EQ(0, copy.isStock());
    delete first;  // must leave the copy usable

    LOGPEN lp;
    ASSERT_EQ((int)sizeof lp, GetObjectA(copy.handle(), sizeof lp, &lp));
    EXPECT_EQ(kRed, lp.lopnColor);
    SelectObject(cv.disp.hdc(), copy.handle());
    lineAcross(cv, 3);
    EXPECT_EQ(kRed, cv.at(10, 3));
    SelectObject(cv.disp.hdc(), GetStockObject(BLACK_PEN));

    zPen stockPen(WHITE_PEN);
    zPen stockCopy(stockPen);
    EXPECT_EQ(GetStockObject(WHITE_PEN), stockCopy.handle());
    EXPECT_EQ(1, stockCopy.isStock());

    zPen assigned;
    assigned = copy;
    EXPECT_NE(copy.handle(), assigned.handle());
    EXPECT_EQ(PS_SOLID, assigned.penStyle());
}

TEST(Brush, CopiesMakeTheirOwnObjectOfTheSameKind)
{
    zBitmap pattern(8, 8, 1, 1);
    struct Case {
        const char* name;
        zBrush* brush;
        UINT style;
        ULONG_PTR hatch;
    } cases[] = {
        {"solid", new zBrush(zColor(0, 0, 255)), BS_SOLID, 0},
        {"hatch 2 is not a pattern", new zBrush(zColor(0, 255, 0), HS_FDIAGONAL), BS_HATCHED, HS_FDIAGONAL},
        {"hatch 5", new zBrush(zColor(0, 255, 0), HS_DIAGCROSS), BS_HATCHED, HS_DIAGCROSS},
        {"pattern", new zBrush(&pattern), BS_PATTERN, 0},
    };
    for (Case& k : cases) {
        SCOPED_TRACE(k.name);
        zBrush copy(*k.brush);
        EXPECT_NE(k.brush->handle(), copy.handle());
        EXPECT_EQ(k.brush->brushKind(), copy.brushKind());
        delete k.brush;
        LOGBRUSH lb;
        ASSERT_EQ((int)sizeof lb, GetObjectA(copy.handle(), sizeof lb, &lb));
        EXPECT_EQ(k.style, lb.lbStyle);
        if (k.style == BS_HATCHED) {
            EXPECT_EQ(k.hatch, lb.lbHatch);
        }
    }

    Canvas cv;
    zBrush* blue = new zBrush(zColor(0, 0, 255));
    zBrush copy(*blue);
    delete blue;
    SelectObject(cv.disp.hdc(), copy.handle());
    PatBlt(cv.disp.hdc(), 0, 0, 10, 10, PATCOPY);
    SelectObject(cv.disp.hdc(), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(kBlue, cv.at(5, 5));

    zBrush stock(GRAY_BRUSH);
    zBrush stockCopy(stock);
    EXPECT_EQ(GetStockObject(GRAY_BRUSH), stockCopy.handle());
}

TEST(Display, DrawsPensBrushesAndPolyline)
{
    Canvas cv;
    cv.disp.pushPen(new zPen(zColor(255, 0, 0)));
    cv.disp.polyline(zRect(5, 5, 20, 15));
    for (POINT p : {POINT{5, 5}, POINT{20, 5}, POINT{20, 15}, POINT{5, 15}, POINT{12, 5}, POINT{5, 10}, POINT{20, 10}})
        EXPECT_EQ(kRed, cv.at(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_EQ(kWhite, cv.at(12, 10));
    EXPECT_EQ(kWhite, cv.at(21, 16));

    cv.disp.pushBrush(new zBrush(zColor(0, 0, 255)));
    Rectangle(cv.disp.hdc(), 25, 5, 35, 15);
    EXPECT_EQ(kBlue, cv.at(30, 10));
    EXPECT_EQ(kRed, cv.at(25, 10));  // the border takes the pen
}

TEST(Display, StackedObjectsDrawWithTheTopOne)
{
    Canvas cv;
    zDisplay& d = cv.disp;
    zPen* red = new zPen(zColor(255, 0, 0));
    zPen* green = new zPen(zColor(0, 255, 0));
    d.pushPen(red);
    d.pushPen(green);
    EXPECT_EQ(green, d.pen());
    lineAcross(cv, 2);
    EXPECT_EQ(kGreen, cv.at(3, 2));

    EXPECT_EQ(green, d.popPen());
    delete green;
    EXPECT_EQ(red, d.pen());
    lineAcross(cv, 4);
    EXPECT_EQ(kRed, cv.at(3, 4));

    zPen* blue = new zPen(zColor(0, 0, 255));
    EXPECT_EQ(red, d.pen(blue));  // replace hands the old one back
    delete red;
    lineAcross(cv, 6);
    EXPECT_EQ(kBlue, cv.at(3, 6));

    zBrush* b1 = new zBrush(zColor(0, 255, 0));
    d.pushBrush(b1);
    PatBlt(d.hdc(), 0, 10, 5, 5, PATCOPY);
    EXPECT_EQ(kGreen, cv.at(2, 12));
    delete d.popBrush();
    PatBlt(d.hdc(), 0, 20, 5, 5, PATCOPY);
    EXPECT_EQ(kWhite, cv.at(2, 22));  // back to the display's white brush
}

TEST(Display, PoppingTheLastObjectLeavesNoneSelected)
{
    Canvas cv;
    zDisplay& d = cv.disp;
    delete d.popPen();  // the default black pen
    ASSERT_EQ(nullptr, d.pen());
    zPen* red = new zPen(zColor(255, 0, 0));
    d.pushPen(red);
    HGDIOBJ h = red->handle();
    EXPECT_EQ(red, d.popPen());
    EXPECT_EQ(nullptr, d.pen());
    EXPECT_EQ(nullptr, d.popPen());
    EXPECT_NE(h, GetCurrentObject(d.hdc(), OBJ_PEN));
    delete red;  // deleting fails for a pen still in a context
    LOGPEN lp;
    EXPECT_EQ(0, GetObjectA(h, sizeof lp, &lp)) << "the popped pen was still selected";
}

// A display whose every lock takes a fresh memory context, to see what lock applies.
class ProbeDisplay : public zDisplay {
public:
    int gets = 0, releases = 0;
    POINT presetOrg = {0, 0};
    int get() override
    {
        ++gets;
        dc = CreateCompatibleDC(0);
        bmp = CreateBitmap(8, 8, 1, 1, 0);
        old = SelectObject(dc, bmp);
        if (presetOrg.x || presetOrg.y)
            SetWindowOrgEx(dc, presetOrg.x, presetOrg.y, 0);
        return 1;
    }
    int release() override
    {
        ++releases;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bmp);
        return 1;
    }
    ~ProbeDisplay() override
    {
        while (lockCount())
            unlock();
    }

private:
    HBITMAP bmp = 0;
    HGDIOBJ old = 0;
};

TEST(Display, LockNestsAndReappliesStateEveryTime)
{
    ProbeDisplay d;
    zPen* pen = new zPen(zColor(1, 2, 3));
    d.pushPen(pen);
    d.textColor(zColor(10, 20, 30));
    d.backColor(zColor(40, 50, 60));
    d.backMode(TRANSPARENT);
    d.drawMode(R2_XORPEN);
    d.mapMode(MM_LOMETRIC);
    d.setWindowOrg(3, 4);
    EXPECT_EQ(nullptr, d.hdc());

    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        d.lock();
        d.lock();
        d.unlock();
        HDC dc = d.hdc();
        ASSERT_NE(nullptr, dc);
        EXPECT_EQ(round, d.gets);
        EXPECT_EQ(RGB(10, 20, 30), GetTextColor(dc));
        EXPECT_EQ(RGB(40, 50, 60), GetBkColor(dc));
        EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
        EXPECT_EQ(R2_XORPEN, GetROP2(dc));
        EXPECT_EQ(MM_LOMETRIC, GetMapMode(dc));
        POINT org;
        GetWindowOrgEx(dc, &org);
        EXPECT_EQ(3, org.x);
        EXPECT_EQ(4, org.y);
        EXPECT_EQ(pen->handle(), GetCurrentObject(dc, OBJ_PEN));
        d.unlock();
        EXPECT_EQ(nullptr, d.hdc());
        EXPECT_EQ(round, d.releases);
    }

    // Colours changed while locked apply at once and hand back the old value.
    d.lock();
    zColor old = d.textColor(zColor(0, 0, 255));
    EXPECT_EQ(zColor(10, 20, 30), old);
    EXPECT_EQ(kBlue, GetTextColor(d.hdc()));
    d.unlock();
}

TEST(Display, ZeroOriginsAndHalfExtentsCountAsUnset)
{
    ProbeDisplay d;
    d.presetOrg = {7, 7};
    d.setWindowOrg(0, 0);
    d.mapMode(MM_ANISOTROPIC);
    struct Case {
        int x, y;
        SIZE want;
    } cases[] = {
        {10, 0, {1, 1}},
        {0, 10, {1, 1}},
        {10, 20, {10, 20}},
    };
    for (const Case& k : cases) {
        d.setWindowExt(k.x, k.y);
        d.lock();
        POINT org;
        GetWindowOrgEx(d.hdc(), &org);
        EXPECT_EQ(7, org.x) << "a zero origin is not re-applied";
        SIZE ext;
        GetWindowExtEx(d.hdc(), &ext);
        EXPECT_EQ(k.want.cx, ext.cx) << k.x << "x" << k.y;
        EXPECT_EQ(k.want.cy, ext.cy) << k.x << "x" << k.y;
        d.unlock();
    }
}

TEST(Display, TextIsCentredInItsRectangle)
{
    Canvas cv(100, 50);
    zDisplay& d = cv.disp;
    d.backMode(TRANSPARENT);
    zDimension all = d.getTextDim("Hello");
    EXPECT_EQ(all, d.getTextDim("Hello", 5));
    EXPECT_LT(d.getTextDim("Hello", 2).width, all.width);
    ASSERT_GT(all.width, 0);

    struct Case {
        zRect r;
    } cases[] = {{zRect(0, 0, 100, 50)}, {zRect(30, 20, 90, 48)}};
    for (const Case& k : cases) {
        cv.clear();
        d.text(k.r, "Hello");
        RECT box;
        ASSERT_TRUE(cv.ink(box));
        int x0 = k.r.left + (k.r.width() - all.width) / 2;
        int y0 = k.r.top + (k.r.height() - all.height) / 2;
        EXPECT_GE(box.left, x0);
        EXPECT_LT(box.right, x0 + all.width);
        EXPECT_GE(box.top, y0);
        EXPECT_LT(box.bottom, y0 + all.height);
        // Roughly balanced: the ink sits in the middle of the cell.
        EXPECT_LE(abs((box.left + box.right) / 2 - (k.r.left + k.r.right) / 2), all.width / 4 + 1);
    }
}

namespace {
struct Walker : public zEvH {
    std::vector<POINT> pts;
    int visit(int x, int y)
    {
        pts.push_back(POINT{x, y});
        return 1;
    }
};
}  // namespace

TEST(Display, LineDDAVisitsEveryPointButTheLast)
{
    zDisplay d;
    Walker w;
    EXPECT_EQ(1, d.lineDDA(zPoint(0, 0), zPoint(4, 2), &w, static_cast<zLineDDAProc>(&Walker::visit)));
    ASSERT_EQ(4u, w.pts.size());
    EXPECT_EQ(0, w.pts.front().x);
    EXPECT_EQ(3, w.pts.back().x);
    Walker none;
    d.lineDDA(zPoint(0, 0), zPoint(4, 0), &none, nullptr);
    EXPECT_TRUE(none.pts.empty());
}

TEST(Aspect, EqualAspectsShareOneObject)
{
    // Interned aspects live as long as the process, like the windows' shared objects.
    ziPenAspect* a = new ziPenAspect(zColor(255, 0, 0), 1);
    ziPenAspect* same = new ziPenAspect(zColor(255, 0, 0), 1);
    ziPenAspect* wider = new ziPenAspect(zColor(255, 0, 0), 3);
    EXPECT_EQ(a, a->resolve());
    EXPECT_EQ(a, same->resolve());
    EXPECT_EQ(wider, wider->resolve());
    delete same;

    ziBrushAspect* blue = new ziBrushAspect(zColor(0, 0, 255));
    EXPECT_EQ(blue, blue->resolve());
    ziBrushAspect blueToo(zColor(0, 0, 255));
    EXPECT_EQ(blue, blueToo.resolve());

    Canvas cv;
    a->setup(&cv.disp);
    blue->setup(&cv.disp);
    ASSERT_NE(nullptr, a->penObj());
    EXPECT_EQ(a->penObj()->handle(), cv.disp.pen()->handle());
    Rectangle(cv.disp.hdc(), 2, 2, 12, 12);
    EXPECT_EQ(kRed, cv.at(2, 5));
    EXPECT_EQ(kBlue, cv.at(6, 6));

    // A second display shares the pen; tearing it down leaves the aspect's pen alive.
    {
        Canvas other;
        a->setup(&other.disp);
        EXPECT_EQ(a->penObj()->handle(), other.disp.pen()->handle());
    }
    LOGPEN lp;
    EXPECT_EQ((int)sizeof lp, GetObjectA(a->penObj()->handle(), sizeof lp, &lp));

    zDisplay plain;
    ziTextBackcolorAspect(zColor(1, 2, 3)).setup(&plain);
    EXPECT_EQ(zColor(1, 2, 3), plain.backColor());

    delete cv.disp.pen(new zPen(BLACK_PEN));  // keep the shared pen out of the context
    delete cv.disp.brush(new zBrush(WHITE_BRUSH));
    ziPenAspect::cleanup();
    ziBrushAspect::cleanup();
    EXPECT_EQ(nullptr, a->penObj());
    EXPECT_EQ(nullptr, blue->brushObj());
    a->setup(&cv.disp);
    EXPECT_NE(nullptr, a->penObj());
}
