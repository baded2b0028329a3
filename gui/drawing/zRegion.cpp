#include "zRegion.h"

#include "zApp.h"
#include "zGeometry.h"

// ---- Regions ----------------------------------------------------------------------

zRegion::zRegion() : rgn(CreateRectRgn(0, 0, 0, 0)) {}

zRegion::~zRegion()
{
    if (rgn)
        DeleteObject(rgn);
}

int zRegion::combine(const zRegion& o, int mode)
{
    if (!rgn || !o.rgn)
        return ERROR;
    return CombineRgn(rgn, rgn, o.rgn, mode);
}

int zRegion::offset(int dx, int dy)
{
    return rgn ? OffsetRgn(rgn, dx, dy) : ERROR;
}

int zRegion::operator+=(const zPoint& d)
{
    return offset(d.x, d.y);
}

int zRegion::operator-=(const zPoint& d)
{
    return offset(-d.x, -d.y);
}

bool zRegion::operator==(const zRegion& o) const
{
    return rgn && o.rgn && EqualRgn(rgn, o.rgn);
}

int zRegion::contains(int x, int y) const
{
    return rgn && PtInRegion(rgn, x, y);
}

int zRegion::contains(const zRect& r) const
{
    RECT rc = {r.left, r.top, r.right, r.bottom};
    return rgn && RectInRegion(rgn, &rc);
}

int zRegion::toRect(zRect& r) const
{
    RECT rc = {0, 0, 0, 0};
    int type = rgn ? GetRgnBox(rgn, &rc) : ERROR;
    r = zRect(rc.left, rc.top, rc.right, rc.bottom);
    return type;
}

zRectRegion::zRectRegion(int l, int t, int r, int b)
    : zRegion(CreateRectRgn(l, t, r, b)), left(l), top(t), right(r), bottom(b)
{
}

static RECT toRECT(const zRect& r)
{
    RECT rc = {r.left, r.top, r.right, r.bottom};
    return rc;
}

zRectRegion::zRectRegion(const zRect& r)
    : zRegion(0), left(r.left), top(r.top), right(r.right), bottom(r.bottom)
{
    RECT rc = toRECT(r);
    rgn = CreateRectRgnIndirect(&rc);
}

zEllipticRegion::zEllipticRegion(int l, int t, int r, int b)
    : zRegion(CreateEllipticRgn(l, t, r, b)), left(l), top(t), right(r), bottom(b)
{
}

zEllipticRegion::zEllipticRegion(const zRect& r)
    : zRegion(0), left(r.left), top(r.top), right(r.right), bottom(r.bottom)
{
    RECT rc = toRECT(r);
    rgn = CreateEllipticRgnIndirect(&rc);
}

zPolygonRegion::zPolygonRegion(const POINT* points, int n, int mode)
    : zRegion(points && n > 0 ? CreatePolygonRgn(points, n, mode) : CreateRectRgn(0, 0, 0, 0)), pts(points),
      count(n), fillMode(mode)
{
}

zRoundRectRegion::zRoundRectRegion(int l, int t, int r, int b, int w, int h)
    : zRegion(CreateRoundRectRgn(l, t, r, b, w, h)), left(l), top(t), right(r), bottom(b), cornerW(w), cornerH(h)
{
}

zRoundRectRegion::zRoundRectRegion(const zRect& r, int w, int h)
    : zRegion(CreateRoundRectRgn(r.left, r.top, r.right, r.bottom, w, h)), left(r.left), top(r.top),
      right(r.right), bottom(r.bottom), cornerW(w), cornerH(h)
{
}

// ---- zMetafileDisplay ---------------------------------------------------------------

zMetafileDisplay::zMetafileDisplay(zDisplay* reference) : ref(reference), meta(0)
{
    dispType = Metafile;
    mapping = MM_ANISOTROPIC;
    if (ref) {
        ref->lock();
        setDeviceFacts(ref->pixWidth(), ref->pixHeight(), ref->pixPerInchX(), ref->pixPerInchY(), ref->mmWidth(),
                       ref->mmHeight());
        back = ref->backColor();
        fore = ref->textColor();
        ref->unlock();
    }
}

zMetafileDisplay::~zMetafileDisplay()
{
    while (locks > 0)
        unlock();
    if (meta)
        DeleteMetaFile(meta);
}

int zMetafileDisplay::get()
{
    dc = CreateMetaFileA(0);
    if (!dc)
        return 0;
    SetMapMode(dc, MM_ANISOTROPIC);
    zRect vis;
    getVisible(vis);
    SetWindowOrgEx(dc, 0, 0, 0);
    if (extRight != extLeft)
        SetWindowExtEx(dc, extRight - extLeft, extBottom - extTop, 0);
    else
        SetWindowExtEx(dc, vis.width(), vis.height(), 0);
    return 1;
}

int zMetafileDisplay::release()
{
    if (!dc)
        return 0;
    HMETAFILE m = CloseMetaFile(dc);
    dc = 0;
    setMetafile(m);
    return m != 0;
}

void zMetafileDisplay::setMetafile(HMETAFILE m)
{
    if (meta && meta != m)
        DeleteMetaFile(meta);
    meta = m;
}

void zMetafileDisplay::setExtent(const zRect& r)
{
    extLeft = r.left;
    extTop = r.top;
    extRight = r.right;
    extBottom = r.bottom;
}

void zMetafileDisplay::getVisible(zRect& r)
{
    if (extRight != extLeft) {
        r = zRect(extLeft, extTop, extRight, extBottom);
    } else if (ref) {
        ref->lock();
        ref->getVisible(r);
        ref->unlock();
    } else {
        r = zRect(0, 0, pxWidth, pxHeight);
    }
}

void zMetafileDisplay::getDirty(zRect& r)
{
    if (extRight != extLeft)
        r = zRect(extLeft, extTop, extRight, extBottom);
    else if (ref)
        ref->getVisible(r);
    else
        r = zRect(0, 0, pxWidth, pxHeight);
}

// A metafile context cannot measure; the reference display does.
zDimension zMetafileDisplay::getTextDim(const char* text, int length)
{
    if (!ref || !text)
        return zDimension();
    if (length == 0)
        length = lstrlenA(text);
    SIZE sz = {0, 0};
    ref->lock();
    if (ref->hdc())
        GetTextExtentPointA(ref->hdc(), text, length, &sz);
    ref->unlock();
    return zDimension(sz.cx, sz.cy);
}

int zMetafileDisplay::getMetafile(METAFILEPICT& pict)
{
    zRect vis;
    getVisible(vis);
    pict.mm = mapping ? mapping : MM_TEXT;
    pict.xExt = vis.width();
    pict.yExt = vis.height();
    pict.hMF = meta;
    return meta != 0;
}

// Plays the picture into the box (x, y, width, height) of the destination without
// leaving the mapping changes behind in the destination's context.
int zMetafileDisplay::copyTo(zDisplay* dest, int x, int y, int width, int height)
{
    if (!dest || !meta)
        return 0;
    dest->lock();
    HDC d = dest->hdc();
    int ok = 0;
    if (d) {
        int saved = SaveDC(d);
        SetMapMode(d, MM_ANISOTROPIC);
        SetWindowOrgEx(d, 0, 0, 0);
        SetWindowExtEx(d, width, height, 0);
        SetViewportOrgEx(d, x, y, 0);
        SetViewportExtEx(d, width, height, 0);
        ok = PlayMetaFile(d, meta);
        RestoreDC(d, saved);
    }
    dest->unlock();
    return ok;
}

// ---- Logical measures -------------------------------------------------------------

int zPrPoint::toLogical(int tenths, int dpi)
{
    return ((tenths * dpi) / 72 + 5) / 10;
}

zPrPoint::zPrPoint(int x, int y, zDisplay* d)
{
    setLogX(x, d);
    setLogY(y, d);
}

void zPrPoint::setLogX(int value, zDisplay* d)
{
    mx = value;
    lx = toLogical(value, d ? d->pixPerInchX() : ___scrPixPerInchX);
}

void zPrPoint::setLogY(int value, zDisplay* d)
{
    my = value;
    ly = toLogical(value, d ? d->pixPerInchY() : ___scrPixPerInchY);
}
