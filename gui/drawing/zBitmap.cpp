#include "zBitmap.h"

#include <shellapi.h>

#include <cstring>

#include "zGeometry.h"
#include "zResId.h"
#include "zApp.h"
#include "zWindow.h"

// ---- Module choice for resources ------------------------------------------------------

static bool namesLibrary(const zResId& id)
{
    const char* m = id.moduleName();
    return m && m != zResThisModule && *m;
}

// ---- zBitmap ----------------------------------------------------------------------------

zBitmap::zBitmap() {}

zBitmap::zBitmap(int width, int height, int bitsPerPixel, int planes)
{
    hObj = CreateBitmap(width, height, planes, bitsPerPixel, 0);
}

zBitmap::zBitmap(int width, int height, zDisplay* d)
{
    if (!d)
        return;
    d->lock();
    if (d->hdc())
        hObj = CreateCompatibleBitmap(d->hdc(), width, height);
    d->unlock();
}

zBitmap::zBitmap(StockBitmap id)
{
    hObj = LoadBitmapA(0, MAKEINTRESOURCEA(id));
}

// A library that cannot be loaded falls back to the program's own resources.
zBitmap::zBitmap(const zResId& id)
{
    HMODULE module = 0;
    bool loaded = false;
    if (namesLibrary(id)) {
        HMODULE lib = LoadLibraryA(id.moduleName());
        if ((UINT_PTR)lib > 32) {
            module = lib;
            loaded = true;
        } else {
            module = zResAppInstance();
        }
    } else if (id.moduleHandle()) {
        module = id.moduleHandle();
    } else {
        module = zResAppInstance();
    }
    hObj = LoadBitmapA(module, id.id());
    if (loaded && module != zResAppInstance())
        FreeLibrary(module);
}

zBitmap::zBitmap(HBITMAP h)
{
    hObj = h;
}

HBITMAP zBitmap::detach()
{
    HBITMAP h = (HBITMAP)hObj;
    hObj = 0;
    return h;
}

zDimension zBitmap::size() const
{
    BITMAP bm;
    if (!hObj || !GetObjectA(hObj, sizeof bm, &bm))
        return zDimension(0, 0);
    return zDimension(bm.bmWidth, bm.bmHeight);
}

int zBitmap::numColors(const BITMAPINFOHEADER* h)
{
    return DibNumColors(h);
}

int zBitmap::palSize(const BITMAPINFOHEADER* h)
{
    return PaletteSize(h);
}

static HWND mainWindowHandle()
{
    if (_app && _app->rootWindow())
        return _app->rootWindow()->windowHandle();
    return 0;
}

zBitmap::zBitmap(zDisplay* d, const char* fileName)
{
    if (!d || !fileName)
        return;
    d->lock();
    char name[228];
    size_t len = strlen(fileName);
    bool addExt = strchr(fileName, '.') == 0;
    // The final name, extension included, must fit the buffer.
    HFILE fh = HFILE_ERROR;
    if (len + (addExt ? 4 : 0) <= zBitmapMaxName) {
        memcpy(name, fileName, len + 1);
        if (addExt)
            strcat(name, ".bmp");
        fh = _lopen(name, OF_READ);
    }
    if (fh == HFILE_ERROR) {
        d->unlock();
        MessageBoxA(mainWindowHandle(), "Can't open file", fileName, MB_OK);
        return;
    }
    HGLOBAL dib = OpenDIB(fh);
    if (dib) {
        hObj = BitmapFromDib(d->hdc(), dib, 0);
        GlobalFree(dib);
    }
    _lclose(fh);
    d->unlock();
}

// ---- DIB functions -------------------------------------------------------------------

unsigned long lread(HFILE file, void* buffer, unsigned long count)
{
    char* p = (char*)buffer;
    unsigned long left = count;
    while (left) {
        UINT chunk = left > 32768 ? 32768 : (UINT)left;
        if (_lread(file, p, chunk) != chunk)
            return 0;
        p += chunk;
        left -= chunk;
    }
    return count;
}

static int colorsForBits(int bits)
{
    switch (bits) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

int DibNumColors(const BITMAPINFOHEADER* h)
{
    if (!h)
        return 0;
    if (h->biSize == sizeof(BITMAPCOREHEADER))
        return colorsForBits(((const BITMAPCOREHEADER*)h)->bcBitCount);
    if (h->biClrUsed)
        return (int)h->biClrUsed;
    return colorsForBits(h->biBitCount);
}

int PaletteSize(const BITMAPINFOHEADER* h)
{
    if (!h)
        return 0;
    int n = DibNumColors(h);
    return h->biSize == sizeof(BITMAPCOREHEADER) ? n * 3 : n * 4;
}

static bool validBitCount(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Largest width or height a file may claim.
static const LONG kMaxSide = 32767;

static unsigned long long rowBytes(int bits, LONG width)
{
    return ((unsigned long long)bits * (unsigned long long)width + 31) / 32 * 4;
}

// File headers are untrusted: every count and size is checked before it sizes
// a block or a read, so a hostile file is refused instead of overrunning memory.
HGLOBAL ReadDibBitmapInfo(HFILE fh)
{
    if (fh == HFILE_ERROR)
        return 0;
    LONG p0 = _llseek(fh, 0, FILE_CURRENT);
    LONG fileEnd = _llseek(fh, 0, FILE_END);
    if (p0 == HFILE_ERROR || fileEnd == HFILE_ERROR || _llseek(fh, p0, FILE_BEGIN) != p0)
        return 0;

    BITMAPFILEHEADER bf;
    if (lread(fh, &bf, sizeof bf) != sizeof bf)
        return 0;
    DWORD offBits = bf.bfOffBits;
    if (bf.bfType != 0x4D42) {
        offBits = 0;
        _llseek(fh, p0, FILE_BEGIN);
    }

    BITMAPINFOHEADER bi;
    memset(&bi, 0, sizeof bi);
    if (lread(fh, &bi.biSize, sizeof bi.biSize) != sizeof bi.biSize)
        return 0;
    bool core = false;
    if (bi.biSize == sizeof(BITMAPCOREHEADER)) {
        BITMAPCOREHEADER bc;
        bc.bcSize = bi.biSize;
        if (lread(fh, (char*)&bc + 4, sizeof bc - 4) != sizeof bc - 4)
            return 0;
        core = true;
        bi.biWidth = bc.bcWidth;
        bi.biHeight = bc.bcHeight;
        bi.biPlanes = bc.bcPlanes;
        bi.biBitCount = bc.bcBitCount;
        bi.biClrUsed = colorsForBits(bc.bcBitCount);
        bi.biClrImportant = bi.biClrUsed;
    } else if (bi.biSize == sizeof(BITMAPINFOHEADER)) {
        if (lread(fh, (char*)&bi + 4, sizeof bi - 4) != sizeof bi - 4)
            return 0;
    } else {
        return 0;
    }
    bi.biSize = sizeof(BITMAPINFOHEADER);

    if (bi.biPlanes != 1 || !validBitCount(bi.biBitCount))
        return 0;
    if (bi.biWidth <= 0 || bi.biWidth > kMaxSide || bi.biHeight == 0 || bi.biHeight > kMaxSide ||
        bi.biHeight < -kMaxSide)
        return 0;
    switch (bi.biCompression) {
    case BI_RGB: break;
    case BI_RLE8: if (bi.biBitCount != 8 || bi.biHeight < 0) return 0; break;
    case BI_RLE4: if (bi.biBitCount != 4 || bi.biHeight < 0) return 0; break;
    default: return 0;
    }
    if (bi.biBitCount <= 8 && bi.biClrUsed > (1u << bi.biBitCount))
        return 0;
    if (bi.biClrUsed > 256)
        return 0;

    LONG rows = bi.biHeight < 0 ? -bi.biHeight : bi.biHeight;
    unsigned long long plain = rowBytes(bi.biBitCount, bi.biWidth) * (unsigned long long)rows;
    if (bi.biCompression == BI_RGB) {
        // A stated size short of the rows would let the pixels be read past the block.
        if (bi.biSizeImage != 0 && bi.biSizeImage < plain)
            return 0;
        if (bi.biSizeImage == 0)
            bi.biSizeImage = (DWORD)plain;
    } else if (bi.biSizeImage == 0) {
        return 0;
    }
    if (bi.biClrUsed == 0)
        bi.biClrUsed = DibNumColors(&bi);
    DWORD colors = bi.biClrUsed;

    HGLOBAL block = GlobalAlloc(GHND, sizeof bi + colors * sizeof(RGBQUAD));
    if (!block)
        return 0;
    BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)GlobalLock(block);
    if (!h) {
        GlobalFree(block);
        return 0;
    }
    *h = bi;
    RGBQUAD* table = (RGBQUAD*)(h + 1);
    bool ok = true;
    if (colors) {
        if (core) {
            ok = lread(fh, table, colors * 3) == colors * 3;
            // Widen 3-byte entries to 4 from the last one down, in place.
            for (int i = (int)colors - 1; ok && i >= 0; --i) {
                RGBTRIPLE t = ((RGBTRIPLE*)table)[i];
                table[i].rgbBlue = t.rgbtBlue;
                table[i].rgbGreen = t.rgbtGreen;
                table[i].rgbRed = t.rgbtRed;
                table[i].rgbReserved = 0;
            }
        } else {
            ok = lread(fh, table, colors * 4) == colors * 4;
        }
    }
    if (ok && offBits)
        ok = _llseek(fh, p0 + (LONG)offBits, FILE_BEGIN) == p0 + (LONG)offBits;
    if (ok) {
        LONG pos = _llseek(fh, 0, FILE_CURRENT);
        ok = pos != HFILE_ERROR && pos <= fileEnd && (unsigned long long)h->biSizeImage <= (unsigned long long)(fileEnd - pos);
    }
    GlobalUnlock(block);
    if (!ok) {
        GlobalFree(block);
        return 0;
    }
    return block;
}

int DibInfo(HGLOBAL dib, BITMAPINFOHEADER* out)
{
    if (!dib || !out)
        return 0;
    BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)GlobalLock(dib);
    if (!h)
        return 0;
    *out = *h;
    GlobalUnlock(dib);
    if (out->biSize != sizeof(BITMAPCOREHEADER)) {
        if (out->biSizeImage == 0)
            out->biSizeImage = (DWORD)(rowBytes(out->biBitCount, out->biWidth) *
                                       (unsigned long long)(out->biHeight < 0 ? -out->biHeight : out->biHeight));
        if (out->biClrUsed == 0)
            out->biClrUsed = DibNumColors(out);
    }
    return 1;
}

HGLOBAL OpenDIB(HFILE fh)
{
    HGLOBAL block = ReadDibBitmapInfo(fh);
    if (!block)
        return 0;
    BITMAPINFOHEADER bi;
    DibInfo(block, &bi);
    DWORD head = bi.biSize + PaletteSize(&bi);
    HGLOBAL grown = GlobalReAlloc(block, head + bi.biSizeImage, GMEM_MOVEABLE);
    if (!grown) {
        GlobalFree(block);
        return 0;
    }
    block = grown;
    char* p = (char*)GlobalLock(block);
    unsigned long got = p ? lread(fh, p + head, bi.biSizeImage) : 0;
    GlobalUnlock(block);
    if (got != bi.biSizeImage) {
        GlobalFree(block);
        return 0;
    }
    return block;
}

HBITMAP BitmapFromDib(HDC dc, HGLOBAL dib, HPALETTE pal)
{
    if (!dib)
        return 0;
    BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)GlobalLock(dib);
    if (!h)
        return 0;
    HPALETTE oldPal = 0;
    if (pal && dc) {
        oldPal = SelectPalette(dc, pal, FALSE);
        RealizePalette(dc);
    }
    HDC use = dc ? dc : GetDC(0);
    const char* bits = (const char*)h + h->biSize + PaletteSize(h);
    HBITMAP bmp = CreateDIBitmap(use, h, CBM_INIT, bits, (const BITMAPINFO*)h, DIB_RGB_COLORS);
    if (!dc)
        ReleaseDC(0, use);
    if (oldPal)
        SelectPalette(dc, oldPal, FALSE);
    GlobalUnlock(dib);
    return bmp;
}

HGLOBAL DibFromBitmap(HBITMAP bmp, DWORD compression, WORD bitsPerPixel, HPALETTE pal)
{
    if (!bmp)
        return 0;
    if (!pal)
        pal = (HPALETTE)GetStockObject(DEFAULT_PALETTE);
    BITMAP bm;
    if (!GetObjectA(bmp, sizeof bm, &bm))
        return 0;
    if (bitsPerPixel == 0)
        bitsPerPixel = (WORD)(bm.bmPlanes * bm.bmBitsPixel);
    BITMAPINFOHEADER bi;
    memset(&bi, 0, sizeof bi);
    bi.biSize = sizeof bi;
    bi.biWidth = bm.bmWidth;
    bi.biHeight = bm.bmHeight;
    bi.biPlanes = 1;
    bi.biBitCount = bitsPerPixel;
    bi.biCompression = compression;
    // Colour masks follow the header only for bit fields.
    DWORD tableBytes = compression == BI_BITFIELDS ? 3 * sizeof(DWORD) : PaletteSize(&bi);

    HDC screen = GetDC(0);
    HPALETTE oldPal = SelectPalette(screen, pal, FALSE);
    RealizePalette(screen);
    HGLOBAL block = GlobalAlloc(GHND, bi.biSize + tableBytes);
    HGLOBAL result = 0;
    if (block) {
        BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)GlobalLock(block);
        *h = bi;
        GetDIBits(screen, bmp, 0, (UINT)bi.biHeight, 0, (BITMAPINFO*)h, DIB_RGB_COLORS);
        bi = *h;
        GlobalUnlock(block);
        if (bi.biSizeImage == 0) {
            bi.biSizeImage = (DWORD)(rowBytes(bitsPerPixel, bi.biWidth) * (unsigned long long)bi.biHeight);
            if (compression != BI_RGB)
                bi.biSizeImage = bi.biSizeImage * 3 / 2;
        }
        HGLOBAL grown = GlobalReAlloc(block, bi.biSize + tableBytes + bi.biSizeImage, GMEM_MOVEABLE);
        if (!grown) {
            GlobalFree(block);
        } else {
            block = grown;
            h = (BITMAPINFOHEADER*)GlobalLock(block);
            h->biSizeImage = bi.biSizeImage;
            int lines = GetDIBits(screen, bmp, 0, (UINT)bi.biHeight, (char*)h + h->biSize + tableBytes,
                                  (BITMAPINFO*)h, DIB_RGB_COLORS);
            GlobalUnlock(block);
            if (lines == 0)
                GlobalFree(block);
            else
                result = block;
        }
    }
    SelectPalette(screen, oldPal, FALSE);
    ReleaseDC(0, screen);
    return result;
}

int StretchDibBlt(HDC dc, int x, int y, int dx, int dy, HGLOBAL dib, int srcX, int srcY, int srcDx, int srcDy,
                  DWORD rop)
{
    if (!dib)
        return PatBlt(dc, x, y, dx, dy, rop);
    BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)GlobalLock(dib);
    if (!h)
        return 0;
    DWORD tableBytes = h->biCompression == BI_BITFIELDS ? 3 * sizeof(DWORD) : PaletteSize(h);
    const char* bits = (const char*)h + h->biSize + tableBytes;
    int r = StretchDIBits(dc, x, y, dx, dy, srcX, srcY, srcDx, srcDy, bits, (const BITMAPINFO*)h, DIB_RGB_COLORS,
                          rop);
    GlobalUnlock(dib);
    return r;
}

// ---- zBitmapDisplay ---------------------------------------------------------------------

zBitmapDisplay::zBitmapDisplay(zBitmap* bmp) : held(0), original(0)
{
    setup(0, bmp);
}

zBitmapDisplay::zBitmapDisplay(zDisplay* like, int width, int height) : held(0), original(0)
{
    setup(like, new zBitmap(width, height, like));
}

zBitmapDisplay::zBitmapDisplay(zDisplay* like, zBitmap* bmp) : held(0), original(0)
{
    setup(like, bmp);
}

// Locked for its whole life: the memory context is its only context.
void zBitmapDisplay::setup(zDisplay* like, zBitmap* bmp)
{
    HDC mem = 0;
    if (like) {
        like->lock();
        mem = CreateCompatibleDC(like->hdc());
        like->unlock();
    } else {
        HDC ic = CreateICA("DISPLAY", 0, 0, 0);
        mem = CreateCompatibleDC(ic);
        if (ic)
            DeleteDC(ic);
    }
    dispType = MemoryBitmap;
    dc = mem;
    if (mem && bmp && bmp->hbitmap())
        original = (HBITMAP)SelectObject(mem, bmp->hbitmap());
    held = bmp;
    readDeviceFacts(mem);
    lock();
}

zBitmapDisplay::~zBitmapDisplay()
{
    if (dc) {
        if (original)
            SelectObject(dc, original);
        // Release our drawing objects from the context before the stacks delete them.
        SelectObject(dc, GetStockObject(WHITE_BRUSH));
        SelectObject(dc, GetStockObject(BLACK_PEN));
        SelectObject(dc, GetStockObject(SYSTEM_FONT));
        DeleteDC(dc);
    }
    delete held;
    dc = 0;
    locks = 0;
}

zBitmap* zBitmapDisplay::setBitmap(zBitmap* bmp)
{
    zBitmap* old = held;
    if (!dc) {
        held = bmp;
        return old;
    }
    if (bmp && bmp->hbitmap()) {
        HBITMAP prev = (HBITMAP)SelectObject(dc, bmp->hbitmap());
        if (!original)
            original = prev;
        held = bmp;
    } else {
        if (original)
            SelectObject(dc, original);
        held = 0;
    }
    return old;
}

int zBitmapDisplay::copyTo(zDisplay* dest, int x, int y, int width, int height, int srcX, int srcY)
{
    if (!dest || !dc)
        return 0;
    dest->lock();
    int ok = dest->hdc() ? BitBlt(dest->hdc(), x, y, width, height, dc, srcX, srcY, SRCCOPY) : 0;
    dest->unlock();
    return ok;
}

void zBitmapDisplay::getVisible(zRect& r)
{
    if (!held) {
        r = zRect();
        return;
    }
    zDimension d = held->size();
    r = zRect(0, 0, d.width, d.height);
}

void zBitmapDisplay::getDirty(zRect& r)
{
    getVisible(r);
}

// ---- zIcon -------------------------------------------------------------------------------

zIcon::zIcon(StockIcon id) : icon(LoadIconA(0, MAKEINTRESOURCEA(id))), owned(0), resId(0), stockId(id) {}

zIcon::zIcon(const char* fileName) : icon(0), owned(0), resId(0), stockId(0)
{
    HICON h = fileName ? ExtractIconA(zResAppInstance(), fileName, 0) : 0;
    if ((UINT_PTR)h > 1) {
        icon = h;
        owned = 1;
    }
}

zIcon::zIcon(const zResId& id) : icon(0), owned(1), resId(new zResId(id)), stockId(0)
{
    load();
}

// Unlike bitmaps, an icon library that cannot be loaded gives no icon at all.
void zIcon::load()
{
    HMODULE module = 0;
    bool loaded = false;
    if (namesLibrary(*resId)) {
        HMODULE lib = LoadLibraryA(resId->moduleName());
        if ((UINT_PTR)lib < 32)
            return;
        module = lib;
        loaded = true;
    } else if (resId->moduleHandle()) {
        module = resId->moduleHandle();
    } else {
        module = zResAppInstance();
    }
    icon = LoadIconA(module, resId->id());
    if (loaded && module != zResAppInstance())
        FreeLibrary(module);
}

zIcon::zIcon(const zIcon& o) : icon(0), owned(o.owned), resId(o.resId ? new zResId(*o.resId) : 0), stockId(o.stockId)
{
    if (resId)
        load();
    else if (owned)
        icon = o.icon ? CopyIcon(o.icon) : 0;  // a file icon has no identifier to load from
    else if (stockId)
        icon = LoadIconA(0, MAKEINTRESOURCEA(stockId));
    else
        icon = o.icon;
}

zIcon::~zIcon()
{
    if (owned && icon)
        DestroyIcon(icon);
    delete resId;
}
