#include "zDisplay.h"

#include "zBitmap.h"
#include "zFont.h"
#include "zGeometry.h"
#include "zRegion.h"

// ---- zColor -----------------------------------------------------------------

zColor zColor::fromRaw(unsigned long raw)
{
    return zColor(raw & 0xFF, (raw >> 8) & 0xFF, (raw >> 16) & 0xFF, (raw >> 24) & 0xFF);
}

unsigned long zColor::raw() const
{
    return (unsigned long)red | ((unsigned long)green << 8) | ((unsigned long)blue << 16) |
           ((unsigned long)flag << 24);
}

COLORREF zColor::colorRef() const
{
    if (flag == 1)
        return 0x01000000 | (red | (green << 8));
    if (flag != 0)
        return 0x02000000 | red | (green << 8) | (blue << 16);
    return RGB(red, green, blue);
}

// ---- Drawing objects ----------------------------------------------------------

zDrawObj::~zDrawObj()
{
    release();
}

void zDrawObj::release()
{
    if (hObj && !stock)
        DeleteObject(hObj);
    hObj = 0;
    stock = 0;
}

zPen::zPen(const zColor& color, int style_, int width_) : style(style_), width(width_), colour(color), stockId(0)
{
    hObj = CreatePen(style, width, color.colorRef());
}

zPen::zPen(int id) : style(0), width(0), stockId(id)
{
    hObj = GetStockObject(id);
    stock = 1;
}

zPen::zPen(const zPen& other) : zDrawObj(), style(0), width(0), stockId(0)
{
    makeFrom(other);
}

zPen& zPen::operator=(const zPen& other)
{
    if (this != &other) {
        release();
        makeFrom(other);
    }
    return *this;
}

void zPen::makeFrom(const zPen& other)
{
    style = other.style;
    width = other.width;
    colour = other.colour;
    stockId = other.stockId;
    if (!other.hObj)
        return;
    if (other.stock) {
        // Shared views and stock pens name objects nobody here deletes.
        hObj = other.hObj;
        stock = 1;
    } else {
        hObj = CreatePen(style, width, colour.colorRef());
        stock = 0;
    }
}

zPen* zPen::share() const
{
    zPen* p = new zPen();
    p->style = style;
    p->width = width;
    p->colour = colour;
    p->stockId = stockId;
    p->hObj = hObj;
    p->stock = 1;
    return p;
}

zBrush::zBrush(int id) : kind(Solid), stockOrBitmap((ULONG_PTR)id), pattern(0)
{
    hObj = GetStockObject(id);
    stock = 1;
}

zBrush::zBrush(const zColor& color) : kind(Solid), stockOrBitmap(0), colour(color), pattern(0)
{
    hObj = CreateSolidBrush(color.colorRef());
}

zBrush::zBrush(const zColor& color, int hatchStyle) : kind(hatchStyle), stockOrBitmap(0), colour(color), pattern(0)
{
    hObj = CreateHatchBrush(hatchStyle, color.colorRef());
}

zBrush::zBrush(zBitmap* bitmap) : kind(Pattern), stockOrBitmap(0), pattern(1)
{
    if (bitmap && bitmap->hbitmap()) {
        stockOrBitmap = (ULONG_PTR)bitmap->hbitmap();
        hObj = CreatePatternBrush(bitmap->hbitmap());
    }
}

zBrush::zBrush(const zBrush& other) : zDrawObj(), kind(0), stockOrBitmap(0), pattern(0)
{
    makeFrom(other);
}

zBrush& zBrush::operator=(const zBrush& other)
{
    if (this != &other) {
        release();
        makeFrom(other);
    }
    return *this;
}

void zBrush::makeFrom(const zBrush& other)
{
    kind = other.kind;
    stockOrBitmap = other.stockOrBitmap;
    colour = other.colour;
    pattern = other.pattern;
    if (!other.hObj)
        return;
    if (other.stock) {
        if (other.kind == Solid && !other.pattern && other.hObj == GetStockObject((int)other.stockOrBitmap))
            hObj = GetStockObject((int)other.stockOrBitmap);
        else
            hObj = other.hObj;  // a shared view
        stock = 1;
        return;
    }
    stock = 0;
    if (pattern)
        hObj = CreatePatternBrush((HBITMAP)stockOrBitmap);
    else if (kind == Solid)
        hObj = CreateSolidBrush(colour.colorRef());
    else
        hObj = CreateHatchBrush(kind, colour.colorRef());
}

zBrush* zBrush::share() const
{
    zBrush* b = new zBrush();
    b->kind = kind;
    b->stockOrBitmap = stockOrBitmap;
    b->colour = colour;
    b->pattern = pattern;
    b->hObj = hObj;
    b->stock = 1;
    return b;
}

// ---- zDisplay ---------------------------------------------------------------

zDisplay::zDisplay()
    : locks(0), back(255, 255, 255), fore(0, 0, 0), curBrush(0), brushes(new zSlist), curPen(0), pens(new zSlist),
      curFont(0), fonts(new zSlist), rop2(R2_COPYPEN), winOrgX(0), winOrgY(0), vpOrgX(0), vpOrgY(0), winExtX(0),
      winExtY(0), vpExtX(0), vpExtY(0), mapping(0), dispType(Plain), dc(0), pxWidth(0), pxHeight(0), ppiX(0),
      ppiY(0), mmW(0), mmH(0), bkMode(OPAQUE), extLeft(0), extTop(0), extRight(0), extBottom(0)
{
    pushBrush(new zBrush(WHITE_BRUSH));
    pushPen(new zPen(BLACK_PEN));
    pushFont(new zFont((HFONT)GetStockObject(DEVICE_DEFAULT_FONT)));
}

zDisplay::~zDisplay()
{
    while (zBrush* b = (zBrush*)brushes->remHead())
        delete b;
    while (zPen* p = (zPen*)pens->remHead())
        delete p;
    while (zFont* f = (zFont*)fonts->remHead())
        delete f;
    delete brushes;
    delete pens;
    delete fonts;
}

void zDisplay::readDeviceFacts(HDC from)
{
    if (!from)
        return;
    pxWidth = GetDeviceCaps(from, HORZRES);
    pxHeight = GetDeviceCaps(from, VERTRES);
    ppiX = GetDeviceCaps(from, LOGPIXELSX);
    ppiY = GetDeviceCaps(from, LOGPIXELSY);
    mmW = GetDeviceCaps(from, HORZSIZE);
    mmH = GetDeviceCaps(from, VERTSIZE);
}

void zDisplay::setDeviceFacts(int width, int height, int perInchX, int perInchY, int mmWidth, int mmHeight)
{
    pxWidth = width;
    pxHeight = height;
    ppiX = perInchX;
    ppiY = perInchY;
    mmW = mmWidth;
    mmH = mmHeight;
}

void zDisplay::getDirty(zRect& r)
{
    r = zRect();
}

void zDisplay::setDirty(const zRect&) {}
void zDisplay::setDirty(const zRegion&) {}

void zDisplay::getVisible(zRect& r)
{
    r = zRect();
}

void zDisplay::lock()
{
    if (locks == 0) {
        get();
        if (dc) {
            SetBkColor(dc, back.colorRef());
            SetTextColor(dc, fore.colorRef());
            if (GetBkMode(dc) != bkMode)
                SetBkMode(dc, bkMode);
            if (curBrush)
                SelectObject(dc, curBrush->handle());
            if (curPen)
                SelectObject(dc, curPen->handle());
            SetROP2(dc, rop2);
            if (mapping)
                SetMapMode(dc, mapping);
            if (winOrgX || winOrgY)
                SetWindowOrgEx(dc, winOrgX, winOrgY, 0);
            if (vpOrgX || vpOrgY)
                SetViewportOrgEx(dc, vpOrgX, vpOrgY, 0);
            if (winExtX && winExtY)
                SetWindowExtEx(dc, winExtX, winExtY, 0);
            if (vpExtX && vpExtY)
                SetViewportExtEx(dc, vpExtX, vpExtY, 0);
            if (curFont)
                SelectObject(dc, curFont->handle());
        }
    }
    ++locks;
}

void zDisplay::unlock()
{
    if (locks <= 0)
        return;
    if (--locks == 0) {
        release();
        dc = 0;
    }
}

zColor zDisplay::backColor(const zColor& c)
{
    zColor old = back;
    back = c;
    if (dc)
        SetBkColor(dc, c.colorRef());
    return old;
}

zColor zDisplay::textColor(const zColor& c)
{
    zColor old = fore;
    fore = c;
    if (dc)
        SetTextColor(dc, c.colorRef());
    return old;
}

int zDisplay::backMode(int mode)
{
    int old = bkMode;
    bkMode = mode;
    if (dc)
        SetBkMode(dc, mode);
    return old;
}

int zDisplay::mapMode(int mode)
{
    int old = mapping ? mapping : MM_TEXT;
    if (dc)
        old = SetMapMode(dc, mode);
    mapping = mode;
    return old;
}

static long packPoint(int x, int y)
{
    return (long)(((unsigned long)(y & 0xFFFF) << 16) | (unsigned long)(x & 0xFFFF));
}

static long packOf(const POINT& p) { return packPoint(p.x, p.y); }
static long packOf(const SIZE& s) { return packPoint(s.cx, s.cy); }

// Keeps the pair for the next lock and applies it to a live context; the
// previous pair packed (y << 16 | x), the context's own when there is one.
template <class Out>
static long setPair(HDC dc, int& keptX, int& keptY, int x, int y, BOOL(WINAPI* apply)(HDC, int, int, Out*))
{
    long old = packPoint(keptX, keptY);
    keptX = x;
    keptY = y;
    if (dc) {
        Out prev;
        apply(dc, x, y, &prev);
        old = packOf(prev);
    }
    return old;
}

long zDisplay::setWindowOrg(int x, int y) { return setPair(dc, winOrgX, winOrgY, x, y, SetWindowOrgEx); }
long zDisplay::setViewportOrg(int x, int y) { return setPair(dc, vpOrgX, vpOrgY, x, y, SetViewportOrgEx); }
long zDisplay::setWindowExt(int x, int y) { return setPair(dc, winExtX, winExtY, x, y, SetWindowExtEx); }
long zDisplay::setViewportExt(int x, int y) { return setPair(dc, vpExtX, vpExtY, x, y, SetViewportExtEx); }

zPoint zDisplay::windowOrg() const
{
    return zPoint(winOrgX, winOrgY);
}

zPoint zDisplay::viewportOrg() const
{
    return zPoint(vpOrgX, vpOrgY);
}

int zDisplay::drawMode(int mode)
{
    int old = rop2;
    rop2 = mode;
    if (dc)
        SetROP2(dc, mode);
    return old;
}

void zDisplay::pushBrush(zBrush* b)
{
    brushes->atHead(b);
    curBrush = b;
    if (dc && b)
        SelectObject(dc, b->handle());
}

void zDisplay::pushPen(zPen* p)
{
    pens->atHead(p);
    curPen = p;
    if (dc && p)
        SelectObject(dc, p->handle());
}

void zDisplay::pushFont(zFont* f)
{
    fonts->atHead(f);
    curFont = f;
    if (dc && f)
        SelectObject(dc, f->handle());
}

// With the stack emptied the popped object must not stay selected: the caller
// now owns it and may delete it, which fails for an object still in a context.
zBrush* zDisplay::popBrush()
{
    zBrush* old = (zBrush*)brushes->remHead();
    curBrush = (zBrush*)brushes->head();
    if (dc)
        SelectObject(dc, curBrush ? curBrush->handle() : GetStockObject(WHITE_BRUSH));
    return old;
}

zPen* zDisplay::popPen()
{
    zPen* old = (zPen*)pens->remHead();
    curPen = (zPen*)pens->head();
    if (dc)
        SelectObject(dc, curPen ? curPen->handle() : GetStockObject(BLACK_PEN));
    return old;
}

zFont* zDisplay::popFont()
{
    zFont* old = (zFont*)fonts->remHead();
    curFont = (zFont*)fonts->head();
    if (dc)
        SelectObject(dc, curFont ? curFont->handle() : GetStockObject(SYSTEM_FONT));
    return old;
}

zBrush* zDisplay::brush(zBrush* b)
{
    zBrush* old = popBrush();
    pushBrush(b);
    return old;
}

zPen* zDisplay::pen(zPen* p)
{
    zPen* old = popPen();
    pushPen(p);
    return old;
}

zFont* zDisplay::font(zFont* f)
{
    zFont* old = popFont();
    pushFont(f);
    return old;
}

zDimension zDisplay::getTextDim(const char* s, int length)
{
    if (!s)
        return zDimension();
    if (length == 0)
        length = lstrlenA(s);
    SIZE sz = {0, 0};
    lock();
    if (dc)
        GetTextExtentPoint32A(dc, s, length, &sz);
    unlock();
    return zDimension(sz.cx, sz.cy);
}

// Centres the text in the rectangle.
void zDisplay::text(const zRect& r, const char* s, int length)
{
    if (!s || !dc)
        return;
    if (length == 0)
        length = lstrlenA(s);
    zDimension d = getTextDim(s, length);
    int x = r.left + (r.width() - d.width) / 2;
    int y = r.top + (r.height() - d.height) / 2;
    TextOutA(dc, x, y, s, length);
}

void zDisplay::polyline(const zRect& r)
{
    if (!dc)
        return;
    POINT p[5] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}, {r.left, r.top}};
    Polyline(dc, p, 5);
}

// One walk at a time: the callback finds the member function here and the
// target in the walk's extra argument.
static zLineDDAProc ddaProc;

static void CALLBACK __lineDDAProc(int x, int y, LPARAM data)
{
    zEvH* target = (zEvH*)data;
    if (ddaProc && target)
        (target->*ddaProc)(x, y);
}

int zDisplay::lineDDA(const zPoint& from, const zPoint& to, zEvH* target, zLineDDAProc fn)
{
    ddaProc = fn;
    LineDDA(from.x, from.y, to.x, to.y, __lineDDAProc, (LPARAM)target);
    return 1;
}

int zDisplay::bitmap(zBitmap* bmp, const zPoint& at, unsigned long rop)
{
    if (!dc)
        return 0;
    if (!bmp || !bmp->hbitmap())
        return 1;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bmp->hbitmap());
    SetMapMode(mem, GetMapMode(dc));
    zDimension sz = bmp->size();
    POINT ext = {sz.width, sz.height};
    DPtoLP(dc, &ext, 1);
    POINT org;
    GetWindowOrgEx(dc, &org);
    ext.x -= org.x;
    ext.y -= org.y;
    POINT src = {0, 0};
    DPtoLP(mem, &src, 1);
    BitBlt(dc, at.x, at.y, ext.x, ext.y, mem, src.x, src.y, rop);
    SelectObject(mem, old);
    DeleteDC(mem);
    return 1;
}

int zDisplay::bitmap(zBitmap* bmp, const zPoint& at, const zDimension& size, unsigned long rop, int stretchMode)
{
    if (!dc)
        return 0;
    if (!bmp || !bmp->hbitmap())
        return 1;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bmp->hbitmap());
    zDimension sz = bmp->size();
    SetStretchBltMode(dc, stretchMode);
    StretchBlt(dc, at.x, at.y, size.width, size.height, mem, 0, 0, sz.width, sz.height, rop);
    SelectObject(mem, old);
    DeleteDC(mem);
    return 1;
}

// ---- ziInfoDisplay ------------------------------------------------------------

ziInfoDisplay::ziInfoDisplay()
{
    back = zColor::system(COLOR_WINDOW);
    fore = zColor::system(COLOR_WINDOWTEXT);
    delete brush(new zBrush(back));
    HDC ic = CreateICA("DISPLAY", 0, 0, 0);
    readDeviceFacts(ic);
    if (ic)
        DeleteDC(ic);
}

ziInfoDisplay::~ziInfoDisplay()
{
    while (locks > 0)
        unlock();
}

int ziInfoDisplay::get()
{
    dc = CreateICA("DISPLAY", 0, 0, 0);
    return dc != 0;
}

int ziInfoDisplay::release()
{
    if (dc)
        DeleteDC(dc);
    dc = 0;
    return 1;
}

// ---- Aspects --------------------------------------------------------------------

// One interning list per kind, made on first use.
static zDblList* penAspects;
static zDblList* brushAspects;
static zDblList* fontAspects;

static ziAspect* intern(zDblList*& list, ziAspect* a)
{
    if (!list)
        list = new zDblList;
    zDListIter it(list);
    while (void* item = it()) {
        ziAspect* known = (ziAspect*)item;
        if (known == a || *known == *a)
            return known;
    }
    list->append(a);
    return a;
}

void ziTextBackcolorAspect::setup(zDisplay* d)
{
    if (d->backColor().colorRef() != colour.colorRef())
        d->backColor(colour);
}

ziPenAspect::ziPenAspect(const zColor& c, int w) : ziAspect(Pen), penp(0), colour(c), width(w) {}

ziPenAspect::~ziPenAspect()
{
    delete penp;
}

// The display gets a view on the shared pen; the replaced pen was the display's.
void ziPenAspect::setup(zDisplay* d)
{
    if (!penp)
        penp = new zPen(colour, PS_SOLID, width);
    if (!d->pen() || d->pen()->handle() != penp->handle())
        delete d->pen(penp->share());
}

ziAspect* ziPenAspect::resolve()
{
    return intern(penAspects, this);
}

bool ziPenAspect::operator==(const ziAspect& o) const
{
    if (o.aspectKind() != Pen)
        return false;
    const ziPenAspect& p = static_cast<const ziPenAspect&>(o);
    return p.colour.raw() == colour.raw() && p.width == width;
}

void ziPenAspect::cleanup()
{
    if (!penAspects)
        return;
    zDListIter it(penAspects);
    while (void* item = it()) {
        ziPenAspect* a = (ziPenAspect*)item;
        delete a->penp;
        a->penp = 0;
    }
}

ziBrushAspect::ziBrushAspect(const zColor& c) : ziAspect(Brush), brushp(0), colour(c) {}

ziBrushAspect::~ziBrushAspect()
{
    delete brushp;
}

void ziBrushAspect::setup(zDisplay* d)
{
    if (!brushp)
        brushp = new zBrush(colour);
    if (!d->brush() || d->brush()->handle() != brushp->handle())
        delete d->brush(brushp->share());
}

ziAspect* ziBrushAspect::resolve()
{
    return intern(brushAspects, this);
}

bool ziBrushAspect::operator==(const ziAspect& o) const
{
    if (o.aspectKind() != Brush)
        return false;
    return static_cast<const ziBrushAspect&>(o).colour.raw() == colour.raw();
}

void ziBrushAspect::cleanup()
{
    if (!brushAspects)
        return;
    zDListIter it(brushAspects);
    while (void* item = it()) {
        ziBrushAspect* a = (ziBrushAspect*)item;
        delete a->brushp;
        a->brushp = 0;
    }
}

ziFontAspect::ziFontAspect(zFont* f) : ziAspect(Font), fontp(f) {}

void ziFontAspect::setup(zDisplay* d)
{
    if (!fontp)
        return;
    d->lock();
    if (!d->font() || d->font()->handle() != fontp->handle())
        delete d->font(new zFont(fontp->hfont()));
    d->unlock();
}

ziAspect* ziFontAspect::resolve()
{
    return intern(fontAspects, this);
}

bool ziFontAspect::operator==(const ziAspect& o) const
{
    return o.aspectKind() == Font && static_cast<const ziFontAspect&>(o).fontp == fontp;
}

// The fonts belong to whoever made the aspects; nothing here to delete.
void ziFontAspect::cleanup() {}
