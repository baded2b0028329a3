#pragma once
// Fonts, font descriptions and metrics, and what a display's device can do.
#include "QvWindows.h"
#include "ZKTPtrList.h"
#include "zDisplay.h"

class zPrPoint;
class zDimension;

enum zFntFam { ffDontCare = 0x00, ffRoman = 0x10, ffSwiss = 0x20, ffModern = 0x30, ffScript = 0x40, ffDecorative = 0x50 };
enum zFntPitch { fpDefault = 0, fpFixed = 1, fpVariable = 2 };
enum zChSet { csAnsi = 0, csDefault = 1, csSymbol = 2, csShiftJis = 128, csOem = 255 };
enum zOutPrec { opDefault = 0, opString = 1, opCharacter = 2, opStroke = 3, opTT = 4, opDevice = 5, opRaster = 6, opTTOnly = 7 };
enum zClipPrec { cpDefault = 0, cpCharacter = 1, cpStroke = 2 };
enum zOutQual { oqDefault = 0, oqDraft = 1, oqProof = 2 };

// Style bits of the font constructors.
enum { zFontItalic = 1, zFontUnderline = 2, zFontStrikeOut = 4 };

// A logical-font description without a GDI object; the point size (tenths) is
// resolved against a display only when a font is made from it.
class zFontSpec {
public:
    zFontSpec();
    zFontSpec(const char* face, const zDimension& size, int weight = 0, zFntFam family = ffDontCare,
              zFntPitch pitch = fpDefault, int style = 0, int escapement = 0, int orientation = 0,
              zChSet charSet = csAnsi, zOutPrec outPrec = opDefault, zClipPrec clipPrec = cpDefault,
              zOutQual quality = oqDefault);
    explicit zFontSpec(const LOGFONTA* lf);

    const char* faceName() const { return lf.lfFaceName; }
    const LOGFONTA& logFont() const { return lf; }
    LOGFONTA& logFont() { return lf; }
    short pointSize() const { return points; }
    void pointSize(short tenths) { points = tenths; }

private:
    LOGFONTA lf;
    short points;
};

class zFont : public zDrawObj {
public:
    zFont(const char* face, const zDimension& size, int weight = 0, zFntFam family = ffDontCare,
          zFntPitch pitch = fpDefault, int style = 0, int escapement = 0, int orientation = 0,
          zChSet charSet = csAnsi, zOutPrec outPrec = opDefault, zClipPrec clipPrec = cpDefault,
          zOutQual quality = oqDefault);
    zFont(const char* face, const zPrPoint& size, int weight = 0, zFntFam family = ffDontCare,
          zFntPitch pitch = fpDefault, int style = 0, int escapement = 0, int orientation = 0,
          zChSet charSet = csAnsi, zOutPrec outPrec = opDefault, zClipPrec clipPrec = cpDefault,
          zOutQual quality = oqDefault);
    zFont(const zFontSpec& spec, zDisplay* d);
    // Wraps a font owned elsewhere (a stock font): never deleted here.
    explicit zFont(HFONT h);

    HFONT hfont() const { return (HFONT)hObj; }
    const LOGFONTA& logFont() const { return lf; }
    const char* faceName() const { return lf.lfFaceName; }
    short pointSize() const { return points; }

private:
    void build(const char* face, int width, int height, int weight, zFntFam family, zFntPitch pitch,
               int style, int escapement, int orientation, zChSet charSet, zOutPrec outPrec,
               zClipPrec clipPrec, zOutQual quality);
    void create();

    LOGFONTA lf;
    short points;
    int stockFontId;
};

// A copy of a font's text metrics.
class zFontInfo {
public:
    zFontInfo();
    explicit zFontInfo(zDisplay* d);
    explicit zFontInfo(const TEXTMETRICA* tm);
    const TEXTMETRICA& metrics() const { return tm; }
    int height() const { return tm.tmHeight; }
    int ascent() const { return tm.tmAscent; }
    int descent() const { return tm.tmDescent; }
    int externalLeading() const { return tm.tmExternalLeading; }
    int avgCharWidth() const { return tm.tmAveCharWidth; }
    int maxCharWidth() const { return tm.tmMaxCharWidth; }
    int weight() const { return tm.tmWeight; }
    int pitchAndFamily() const { return tm.tmPitchAndFamily; }

private:
    TEXTMETRICA tm;
};

// One enumerated font: its metrics and its description.
class zFontDescript {
public:
    zFontDescript(const TEXTMETRICA* tm, const LOGFONTA* lf) : info(tm), spec(lf) {}
    const char* faceName() const { return spec.faceName(); }
    const zFontInfo& fontInfo() const { return info; }
    const zFontSpec& fontSpec() const { return spec; }

private:
    zFontInfo info;
    zFontSpec spec;
};

// What the device behind a display can do, and which fonts it offers.
class zDisplayInfo {
public:
    explicit zDisplayInfo(zDisplay* d);
    ~zDisplayInfo();
    void lock();
    void unlock();

    int driverVersion() const { return version; }
    int pixWidth() const { return width; }
    int pixHeight() const { return height; }
    int pixPerInchX() const { return ppiX; }
    int pixPerInchY() const { return ppiY; }
    int mmWidth() const { return mmW; }
    int mmHeight() const { return mmH; }
    int rasterCaps() const { return rasterCap; }
    int curveCaps() const { return curveCap; }
    int lineCaps() const { return lineCap; }
    int polygonCaps() const { return polyCap; }
    int textCaps() const { return textCap; }

    int technology();
    int pixDepth();
    int colorPlanes();
    int numBrushes();
    int numPens();
    int numFonts();
    int numColors();
    int doClip();
    int aspectX();
    int aspectY();
    int aspectXY();
    int hasPal() const { return (rasterCap & RC_PALETTE) != 0; }
    int sizePal();
    int sizePalReserved();
    int colorRes();

    // The lists and their descriptors are the caller's: release them with releaseFontList.
    ZKTPtrSlist<zFontDescript>* getFontList(const char* face);
    ZKTPtrSlist<zFontDescript>* getAllFontsList();
    static void releaseFontList(ZKTPtrSlist<zFontDescript>* list);

private:
    int caps(int index);
    int palCaps(int index);

    int locks;
    zDisplay* disp;
    HDC dc;
    int version;
    int width, height;
    int ppiX, ppiY;
    int mmW, mmH;
    int rasterCap, curveCap, lineCap, polyCap, textCap;
    int ownContext;
};
