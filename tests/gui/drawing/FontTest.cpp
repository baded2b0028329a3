#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Canvas.h"
#include "zFont.h"
#include "zGeometry.h"
#include "zRegion.h"

namespace {
// A display that never gets a context, with chosen device facts.
struct FactsDisplay : public zDisplay {
    FactsDisplay(int dpi, int kind = Plain)
    {
        setDeviceFacts(0, 0, dpi, dpi, 0, 0);
        dispType = kind;
    }
};
}  // namespace

TEST(Font, DescriptionFollowsTheArguments)
{
    struct Case {
        zDimension size;
        LONG height, width;
    } cases[] = {
        {zDimension(0, 12), -12, 0},
        {zDimension(0, -12), -12, 0},
        {zDimension(0, 0), 0, 0},
        {zDimension(5, 20), -20, 5},
    };
    for (const Case& k : cases) {
        zFont f("Arial", k.size);
        EXPECT_EQ(k.height, f.logFont().lfHeight) << k.size.height;
        EXPECT_EQ(k.width, f.logFont().lfWidth);
        EXPECT_NE(nullptr, f.handle());
        EXPECT_EQ(0, f.isStock());
    }

    zFont styled("Arial", zDimension(0, 10), FW_BOLD, ffSwiss, fpVariable, zFontItalic | zFontStrikeOut, 900, 900,
                 csAnsi, opTT, cpStroke, oqProof);
    const LOGFONTA& lf = styled.logFont();
    EXPECT_STREQ("Arial", styled.faceName());
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_EQ(1, lf.lfItalic);
    EXPECT_EQ(0, lf.lfUnderline);
    EXPECT_EQ(1, lf.lfStrikeOut);
    EXPECT_EQ(0x22, lf.lfPitchAndFamily);
    EXPECT_EQ(900, lf.lfEscapement);
    EXPECT_EQ(opTT, lf.lfOutPrecision);
    EXPECT_EQ(cpStroke, lf.lfClipPrecision);
    EXPECT_EQ(oqProof, lf.lfQuality);

    // The face is cut to the 32-byte field, never overrun.
    std::string longFace(40, 'F');
    zFont cut(longFace.c_str(), zDimension(0, 8));
    EXPECT_EQ(31u, strlen(cut.faceName()));
}

TEST(Font, PointSizesResolveAgainstTheDisplay)
{
    FactsDisplay d96(96);
    zFontSpec spec("Arial", zDimension(0, 30));
    EXPECT_EQ(30, spec.logFont().lfHeight);  // a spec keeps the height as given
    spec.pointSize(100);
    zFont f(spec, &d96);
    EXPECT_EQ(-13, f.logFont().lfHeight);
    EXPECT_EQ(0, f.logFont().lfWidth);
    EXPECT_EQ(100, f.pointSize());

    zFont noDisplay(spec, nullptr);
    EXPECT_EQ(30, noDisplay.logFont().lfHeight);

    zFont fromPoints("Arial", zPrPoint(0, -80, &d96));
    EXPECT_EQ(-10, fromPoints.logFont().lfHeight);
}

TEST(Font, InfoReadsTheMetricsOfTheCurrentFont)
{
    Canvas cv;
    cv.disp.pushFont(new zFont("Arial", zDimension(0, 20)));
    zFontInfo big(&cv.disp);
    // The rasteriser may round the character height by a pixel (64-bit Wine does).
    EXPECT_NEAR(20, big.height() - (int)big.metrics().tmInternalLeading, 1);
    delete cv.disp.popFont();
    cv.disp.pushFont(new zFont("Arial", zDimension(0, 10)));
    zFontInfo small(&cv.disp);
    EXPECT_LT(small.height(), big.height());
    EXPECT_GT(small.avgCharWidth(), 0);
}

TEST(DisplayInfo, ReadsTheDeviceOfADisplay)
{
    Canvas cv;
    zDisplayInfo info(&cv.disp);
    HDC dc = cv.disp.hdc();
    EXPECT_EQ(cv.disp.pixWidth(), info.pixWidth());
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), info.pixPerInchX());
    EXPECT_EQ(GetDeviceCaps(dc, RASTERCAPS), info.rasterCaps());
    EXPECT_EQ(GetDeviceCaps(dc, TEXTCAPS), info.textCaps());
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), info.pixDepth());
    EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), info.technology());
    EXPECT_EQ(GetDeviceCaps(dc, ASPECTXY), info.aspectXY());
    if (!info.hasPal()) {
        EXPECT_EQ(0, info.sizePal());
        EXPECT_EQ(0, info.colorRes());
    }
}

TEST(DisplayInfo, WithoutAContextReportsDefaults)
{
    FactsDisplay printer(0, zDisplay::Printer);
    zDisplayInfo info(&printer);
    EXPECT_EQ(640, info.pixWidth());
    EXPECT_EQ(480, info.pixHeight());
    EXPECT_EQ(0, info.rasterCaps());
    EXPECT_EQ(0, info.pixDepth());
    EXPECT_EQ(nullptr, info.getFontList(nullptr));
    EXPECT_EQ(nullptr, info.getAllFontsList());
}

TEST(DisplayInfo, EnumeratesFacesAndTheirFonts)
{
    Canvas cv;
    zDisplayInfo info(&cv.disp);
    ZKTPtrSlist<zFontDescript>* faces = info.getFontList(nullptr);
    ASSERT_NE(nullptr, faces);
    ASSERT_GT(faces->entries(), 0u);
    std::vector<std::string> faceOrder;
    ZKTPtrSlistIterator<zFontDescript> fit(*faces);
    while (zFontDescript* d = fit())
        faceOrder.push_back(d->faceName());
    ASSERT_EQ(faces->entries(), faceOrder.size());
    const std::string first = faceOrder[0];

    ZKTPtrSlist<zFontDescript>* one = info.getFontList(first.c_str());
    ASSERT_NE(nullptr, one);
    ASSERT_GT(one->entries(), 0u);
    ZKTPtrSlistIterator<zFontDescript> oit(*one);
    while (zFontDescript* d = oit())
        EXPECT_EQ(first, d->faceName());

    // Every font of every face, in face order.
    ZKTPtrSlist<zFontDescript>* all = info.getAllFontsList();
    ASSERT_NE(nullptr, all);
    EXPECT_GE(all->entries(), faces->entries());
    EXPECT_EQ(first, all->first()->faceName());
    size_t at = 0;
    ZKTPtrSlistIterator<zFontDescript> ait(*all);
    while (zFontDescript* d = ait()) {
        while (at < faceOrder.size() && faceOrder[at] != d->faceName())
            ++at;
        ASSERT_LT(at, faceOrder.size()) << d->faceName() << " out of face order";
    }
    zDisplayInfo::releaseFontList(faces);
    zDisplayInfo::releaseFontList(one);
    zDisplayInfo::releaseFontList(all);
    zDisplayInfo::releaseFontList(nullptr);
}
