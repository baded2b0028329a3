#include "zFont.h"

#include <cstring>

#include "zGeometry.h"
#include "zRegion.h"

static void fillLogFont(LOGFONTA& lf, const char* face, int width, int height, int weight, zFntFam family,
                        zFntPitch pitch, int style, int escapement, int orientation, zChSet charSet,
                        zOutPrec outPrec, zClipPrec clipPrec, zOutQual quality)
{
    memset(&lf, 0, sizeof lf);
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = (style & zFontItalic) ? 1 : 0;
    lf.lfUnderline = (style & zFontUnderline) ? 1 : 0;
    lf.lfStrikeOut = (style & zFontStrikeOut) ? 1 : 0;
    lf.lfCharSet = (BYTE)charSet;
    lf.lfOutPrecision = (BYTE)outPrec;
    lf.lfClipPrecision = (BYTE)clipPrec;
    lf.lfQuality = (BYTE)quality;
    lf.lfPitchAndFamily = (BYTE)(pitch | family);
    if (face)
        lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
}

// ---- zFontSpec ------------------------------------------------------------------

zFontSpec::zFontSpec() : points(0)
{
    memset(&lf, 0, sizeof lf);
}

zFontSpec::zFontSpec(const char* face, const zDimension& size, int weight, zFntFam family, zFntPitch pitch,
                     int style, int escapement, int orientation, zChSet charSet, zOutPrec outPrec,
                     zClipPrec clipPrec, zOutQual quality)
    : points(0)
{
    fillLogFont(lf, face, size.width, size.height, weight, family, pitch, style, escapement, orientation, charSet,
                outPrec, clipPrec, quality);
}

zFontSpec::zFontSpec(const LOGFONTA* from) : points(0)
{
    if (from)
        lf = *from;
    else
        memset(&lf, 0, sizeof lf);
}

// ---- zFont ----------------------------------------------------------------------

// A positive height asks for the character height, which Windows takes negated.
static int characterHeight(int h)
{
    return h <= 0 ? h : -h;
}

zFont::zFont(const char* face, const zDimension& size, int weight, zFntFam family, zFntPitch pitch, int style,
             int escapement, int orientation, zChSet charSet, zOutPrec outPrec, zClipPrec clipPrec,
             zOutQual quality)
    : points(0), stockFontId(0)
{
    build(face, size.width, characterHeight(size.height), weight, family, pitch, style, escapement, orientation,
          charSet, outPrec, clipPrec, quality);
}

zFont::zFont(const char* face, const zPrPoint& size, int weight, zFntFam family, zFntPitch pitch, int style,
             int escapement, int orientation, zChSet charSet, zOutPrec outPrec, zClipPrec clipPrec,
             zOutQual quality)
    : points(0), stockFontId(0)
{
    build(face, size.x(), characterHeight(size.y()), weight, family, pitch, style, escapement, orientation,
          charSet, outPrec, clipPrec, quality);
}

zFont::zFont(const zFontSpec& spec, zDisplay* d) : lf(spec.logFont()), points(spec.pointSize()), stockFontId(0)
{
    if (d && points) {
        zPrPoint p(0, points, d);
        lf.lfHeight = -p.y();
        lf.lfWidth = 0;
    }
    create();
}

zFont::zFont(HFONT h) : points(0), stockFontId(0)
{
    memset(&lf, 0, sizeof lf);
    hObj = h;
    stock = 1;
    if (h)
        GetObjectA(h, sizeof lf, &lf);
}

void zFont::build(const char* face, int width, int height, int weight, zFntFam family, zFntPitch pitch, int style,
                  int escapement, int orientation, zChSet charSet, zOutPrec outPrec, zClipPrec clipPrec,
                  zOutQual quality)
{
    fillLogFont(lf, face, width, height, weight, family, pitch, style, escapement, orientation, charSet, outPrec,
                clipPrec, quality);
    create();
}

void zFont::create()
{
    hObj = CreateFontIndirectA(&lf);
    stock = 0;
}

// ---- zFontInfo --------------------------------------------------------------------

zFontInfo::zFontInfo()
{
    memset(&tm, 0, sizeof tm);
}

zFontInfo::zFontInfo(zDisplay* d)
{
    memset(&tm, 0, sizeof tm);
    if (!d)
        return;
    d->lock();
    if (d->hdc())
        GetTextMetricsA(d->hdc(), &tm);
    d->unlock();
}

zFontInfo::zFontInfo(const TEXTMETRICA* from)
{
    if (from)
        tm = *from;
    else
        memset(&tm, 0, sizeof tm);
}

// ---- zDisplayInfo -------------------------------------------------------------------

zDisplayInfo::zDisplayInfo(zDisplay* d)
    : locks(0), disp(d), dc(0), version(0), width(0), height(0), ppiX(0), ppiY(0), mmW(0), mmH(0), rasterCap(0),
      curveCap(0), lineCap(0), polyCap(0), textCap(0), ownContext(0)
{
    if (d) {
        d->lock();
        dc = d->hdc();
        if (!dc && d->type() == zDisplay::Printer && (dc = d->ziInfoContext()) != 0) {
            ownContext = 1;
            locks = 1;
        }
    }
    if (dc) {
        version = GetDeviceCaps(dc, DRIVERVERSION);
        width = ownContext ? GetDeviceCaps(dc, HORZRES) : d->pixWidth();
        height = ownContext ? GetDeviceCaps(dc, VERTRES) : d->pixHeight();
        ppiX = GetDeviceCaps(dc, LOGPIXELSX);
        ppiY = GetDeviceCaps(dc, LOGPIXELSY);
        mmW = GetDeviceCaps(dc, HORZSIZE);
        mmH = GetDeviceCaps(dc, VERTSIZE);
        rasterCap = GetDeviceCaps(dc, RASTERCAPS);
        curveCap = GetDeviceCaps(dc, CURVECAPS);
        lineCap = GetDeviceCaps(dc, LINECAPS);
        polyCap = GetDeviceCaps(dc, POLYGONALCAPS);
        textCap = GetDeviceCaps(dc, TEXTCAPS);
    }
    if (width == 0)
        width = 640;
    if (height == 0)
        height = 480;
    if (!ownContext)
        dc = 0;
    if (d)
        d->unlock();
}

zDisplayInfo::~zDisplayInfo()
{
    if (ownContext && dc)
        DeleteDC(dc);
    else
        while (locks > 0)
            unlock();
}

void zDisplayInfo::lock()
{
    if (ownContext)
        return;
    if (locks++ == 0 && disp) {
        disp->lock();
        dc = disp->hdc();
    }
}

void zDisplayInfo::unlock()
{
    if (ownContext || locks <= 0)
        return;
    if (--locks == 0 && disp) {
        dc = 0;
        disp->unlock();
    }
}

int zDisplayInfo::caps(int index)
{
    lock();
    int v = dc ? GetDeviceCaps(dc, index) : 0;
    unlock();
    return v;
}

int zDisplayInfo::palCaps(int index)
{
    if (version < 0x300 || !hasPal())
        return 0;
    return caps(index);
}

int zDisplayInfo::technology() { return caps(TECHNOLOGY); }
int zDisplayInfo::pixDepth() { return caps(BITSPIXEL); }
int zDisplayInfo::colorPlanes() { return caps(PLANES); }
int zDisplayInfo::numBrushes() { return caps(NUMBRUSHES); }
int zDisplayInfo::numPens() { return caps(NUMPENS); }
int zDisplayInfo::numFonts() { return caps(NUMFONTS); }
int zDisplayInfo::numColors() { return caps(NUMCOLORS); }
int zDisplayInfo::doClip() { return caps(CLIPCAPS); }
int zDisplayInfo::aspectX() { return caps(ASPECTX); }
int zDisplayInfo::aspectY() { return caps(ASPECTY); }
int zDisplayInfo::aspectXY() { return caps(ASPECTXY); }
int zDisplayInfo::sizePal() { return palCaps(SIZEPALETTE); }
int zDisplayInfo::sizePalReserved() { return palCaps(NUMRESERVED); }
int zDisplayInfo::colorRes() { return palCaps(COLORRES); }

static int CALLBACK fontGrabber(const LOGFONTA* lf, const TEXTMETRICA* tm, DWORD, LPARAM data)
{
    ((ZKTPtrSlist<zFontDescript>*)data)->append(new zFontDescript(tm, lf));
    return 1;
}

ZKTPtrSlist<zFontDescript>* zDisplayInfo::getFontList(const char* face)
{
    lock();
    ZKTPtrSlist<zFontDescript>* list = 0;
    if (dc) {
        list = new ZKTPtrSlist<zFontDescript>;
        EnumFontsA(dc, face, (FONTENUMPROCA)fontGrabber, (LPARAM)list);
    }
    unlock();
    return list;
}

ZKTPtrSlist<zFontDescript>* zDisplayInfo::getAllFontsList()
{
    ZKTPtrSlist<zFontDescript>* faces = getFontList(0);
    if (!faces)
        return 0;
    ZKTPtrSlist<zFontDescript>* all = new ZKTPtrSlist<zFontDescript>;
    ZKTPtrSlistIterator<zFontDescript> it(*faces);
    while (zFontDescript* face = it()) {
        ZKTPtrSlist<zFontDescript>* one = getFontList(face->faceName());
        if (one) {
            all->join(*one);
            delete one;
        }
    }
    releaseFontList(faces);
    return all;
}

void zDisplayInfo::releaseFontList(ZKTPtrSlist<zFontDescript>* list)
{
    if (list)
        list->clearAndDestroy();
    delete list;
}
