#include <gtest/gtest.h>

#include "Canvas.h"
#include "zApp.h"
#include "zGeometry.h"
#include "zRegion.h"

TEST(Region, OperatorsCombineInPlace)
{
    enum Op { And, Plus, Minus, Or, Xor };
    struct Case {
        Op op;
        zRect box;
        POINT in, out;
    } cases[] = {
        {Plus, zRect(5, 5, 10, 10), {7, 7}, {2, 2}},  // += intersects, like &=
        {And, zRect(5, 5, 10, 10), {7, 7}, {12, 12}},
        {Or, zRect(0, 0, 15, 15), {12, 12}, {2, 12}},
        {Minus, zRect(0, 0, 10, 10), {2, 2}, {7, 7}},
        {Xor, zRect(0, 0, 15, 15), {12, 12}, {7, 7}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.op);
        zRegion a;
        zRectRegion first(0, 0, 10, 10);
        a |= first;
        zRectRegion b(5, 5, 15, 15);
        int type = 0;
        switch (k.op) {
        case And: type = (a &= b); break;
        case Plus: type = (a += b); break;
        case Minus: type = (a -= b); break;
        case Or: type = (a |= b); break;
        case Xor: type = (a ^= b); break;
        }
        EXPECT_NE(ERROR, type);
        zRect box;
        a.toRect(box);
        EXPECT_EQ(k.box, box);
        EXPECT_TRUE(a.contains(k.in.x, k.in.y));
        EXPECT_FALSE(a.contains(k.out.x, k.out.y));
    }

    zRegion empty;
    zRectRegion some(0, 0, 4, 4);
    EXPECT_EQ(NULLREGION, empty += some);
}

TEST(Region, OffsetsCompareAndHitTest)
{
    zRectRegion r(zRect(0, 0, 10, 10));
    EXPECT_EQ(SIMPLEREGION, r += zPoint(3, 4));
    zRect box;
    r.toRect(box);
    EXPECT_EQ(zRect(3, 4, 13, 14), box);
    zRectRegion moved(3, 4, 13, 14);
    EXPECT_TRUE(r == moved);
    r -= zPoint(3, 4);
    EXPECT_TRUE(r != moved);
    EXPECT_TRUE(r.contains(zRect(8, 8, 20, 20)));
    EXPECT_FALSE(r.contains(zRect(10, 10, 20, 20)));

    zEllipticRegion ellipse(0, 0, 20, 20);
    EXPECT_TRUE(ellipse.contains(10, 10));
    EXPECT_FALSE(ellipse.contains(1, 1));
    POINT tri[] = {{0, 0}, {20, 0}, {0, 20}};
    zPolygonRegion poly(tri, 3);
    EXPECT_TRUE(poly.contains(3, 3));
    EXPECT_FALSE(poly.contains(15, 15));
    zRoundRectRegion round(zRect(0, 0, 20, 20), 10, 10);
    EXPECT_TRUE(round.contains(10, 1));
    EXPECT_FALSE(round.contains(0, 0));
}

TEST(Metafile, RecordsAndPlaysIntoABox)
{
    zMetafileDisplay md;
    md.setExtent(zRect(0, 0, 20, 10));
    md.lock();
    ASSERT_NE(nullptr, md.hdc());
    md.pushPen(new zPen(NULL_PEN));
    md.pushBrush(new zBrush(zColor(255, 0, 0)));
    Rectangle(md.hdc(), 0, 0, 21, 11);
    md.unlock();
    ASSERT_NE(nullptr, md.metafile());

    METAFILEPICT pict;
    EXPECT_EQ(1, md.getMetafile(pict));
    EXPECT_EQ(MM_ANISOTROPIC, pict.mm);
    EXPECT_EQ(20, pict.xExt);
    EXPECT_EQ(10, pict.yExt);

    Canvas cv(80, 40);
    EXPECT_NE(0, md.copyTo(&cv.disp, 10, 5, 20, 10));
    EXPECT_EQ(kRed, cv.at(15, 8));
    EXPECT_EQ(kRed, cv.at(29, 14));
    EXPECT_EQ(kWhite, cv.at(9, 8));
    EXPECT_EQ(kWhite, cv.at(31, 8));
    EXPECT_EQ(kWhite, cv.at(15, 16));

    cv.clear();
    md.copyTo(&cv.disp, 40, 0, 40, 20);  // stretched to twice the size
    EXPECT_EQ(kRed, cv.at(78, 18));
    EXPECT_EQ(kWhite, cv.at(38, 10));
    // The destination's own mapping is left as it was.
    EXPECT_EQ(MM_TEXT, GetMapMode(cv.disp.hdc()));
    POINT org;
    GetViewportOrgEx(cv.disp.hdc(), &org);
    EXPECT_EQ(0, org.x);
}

TEST(Metafile, VisibleAreaComesFromExtentReferenceOrDeviceFacts)
{
    zMetafileDisplay bare;
    zRect r(1, 1, 1, 1);
    bare.getVisible(r);
    EXPECT_EQ(zRect(0, 0, 0, 0), r);
    bare.setDeviceFacts(30, 20, 96, 96, 0, 0);
    bare.getVisible(r);
    EXPECT_EQ(zRect(0, 0, 30, 20), r);

    Canvas cv(50, 25);
    cv.disp.backColor(zColor(1, 2, 3));
    zMetafileDisplay withRef(&cv.disp);
    EXPECT_EQ(cv.disp.pixPerInchX(), withRef.pixPerInchX());
    EXPECT_EQ(zColor(1, 2, 3), withRef.backColor());
    withRef.getVisible(r);
    EXPECT_EQ(zRect(0, 0, 50, 25), r);
    EXPECT_EQ(cv.disp.getTextDim("Measure"), withRef.getTextDim("Measure"));
    withRef.setExtent(zRect(0, 0, 7, 9));
    withRef.getDirty(r);
    EXPECT_EQ(zRect(0, 0, 7, 9), r);
}

TEST(PrPoint, TenthsOfAPointBecomeLogicalUnits)
{
    struct Case {
        int tenths, dpi, want;
    } cases[] = {
        {100, 96, 13}, {0, 96, 0}, {720, 72, 72}, {-80, 96, -10}, {80, 120, 13},
    };
    for (const Case& k : cases) {
        zDisplay d;
        d.setDeviceFacts(0, 0, k.dpi, k.dpi * 2, 0, 0);
        zPrPoint p(k.tenths, k.tenths, &d);
        EXPECT_EQ(k.want, p.x()) << k.tenths << " at " << k.dpi;
        EXPECT_EQ(zPrPoint::toLogical(k.tenths, k.dpi * 2), p.y());
        EXPECT_EQ(k.tenths, p.measureX());
    }

    int savedX = ___scrPixPerInchX, savedY = ___scrPixPerInchY;
    ___scrPixPerInchX = 72;
    ___scrPixPerInchY = 144;
    zPrPoint screen(720, 720);
    EXPECT_EQ(72, screen.x());
    EXPECT_EQ(144, screen.y());
    zDisplay d96;
    d96.setDeviceFacts(0, 0, 96, 96, 0, 0);
    screen.newDisplay(&d96);
    EXPECT_EQ(96, screen.x());
    ___scrPixPerInchX = savedX;
    ___scrPixPerInchY = savedY;

    zLogMeasure plain(4, 5);
    plain.newDisplay(&d96);
    EXPECT_EQ(4, plain.x());
    EXPECT_EQ(5, plain.y());
}
