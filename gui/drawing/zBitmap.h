#pragma once
// Device bitmaps, icons, a display drawing into a bitmap, and device-independent
// bitmaps (DIBs) kept in movable global memory: a 40-byte header, the colour
// table as 4-byte entries, then the pixel rows, whatever form the file had.
#include "QvWindows.h"
#include "zDisplay.h"

class zResId;
class zDimension;

enum StockBitmap {
    StockBmpClose = 32754, StockBmpUpArrow = 32753, StockBmpDnArrow = 32752,
    StockBmpRgArrow = 32751, StockBmpLfArrow = 32750, StockBmpCheck = 32760,
    StockBmpCheckBoxes = 32759, StockBmpBtSize = 32761
};
enum StockIcon {
    StockIconApplication = 32512, StockIconHand = 32513, StockIconQuestion = 32514,
    StockIconExclamation = 32515, StockIconAsterisk = 32516
};

class zBitmap : public zDrawObj {
public:
    zBitmap();
    zBitmap(int width, int height, int bitsPerPixel, int planes = 1);
    zBitmap(int width, int height, zDisplay* d);
    explicit zBitmap(StockBitmap id);
    explicit zBitmap(const zResId& id);
    zBitmap(zDisplay* d, const char* fileName);
    // Takes ownership of a bitmap handle made elsewhere.
    explicit zBitmap(HBITMAP h);

    HBITMAP hbitmap() const { return (HBITMAP)hObj; }
    zDimension size() const;
    // Gives up the handle without deleting it.
    HBITMAP detach();

    static int numColors(const BITMAPINFOHEADER* h);
    static int palSize(const BITMAPINFOHEADER* h);
};

// Longest file name accepted by the file constructor, ".bmp" included.
enum { zBitmapMaxName = 227 };

class zBitmapDisplay : public zReadableDisplay {
public:
    explicit zBitmapDisplay(zBitmap* bmp);
    zBitmapDisplay(zDisplay* like, int width, int height);
    zBitmapDisplay(zDisplay* like, zBitmap* bmp);
    ~zBitmapDisplay() override;

    zBitmap* setBitmap(zBitmap* bmp);
    zBitmap* getBitmap() const { return held; }
    int copyTo(zDisplay* dest, int x, int y, int width, int height, int srcX = 0, int srcY = 0) override;
    void getVisible(zRect& r) override;
    void getDirty(zRect& r) override;

private:
    void setup(zDisplay* like, zBitmap* bmp);

    zBitmap* held;
    HBITMAP original;
};

class zIcon {
public:
    explicit zIcon(StockIcon id);
    explicit zIcon(const char* fileName);
    explicit zIcon(const zResId& id);
    zIcon(const zIcon& other);
    ~zIcon();

    HICON hicon() const { return icon; }
    int isOwned() const { return owned; }
    // The caller takes the handle over (a frame handing it to its class).
    HICON disown()
    {
        owned = 0;
        return icon;
    }

private:
    zIcon& operator=(const zIcon&) = delete;
    void load();

    HICON icon;
    int owned;
    zResId* resId;
    int stockId;
};

// Reads count bytes in chunks; count on success, 0 on a short read.
unsigned long lread(HFILE file, void* buffer, unsigned long count);
HGLOBAL ReadDibBitmapInfo(HFILE file);
int DibInfo(HGLOBAL dib, BITMAPINFOHEADER* out);
HGLOBAL OpenDIB(HFILE file);
HBITMAP BitmapFromDib(HDC dc, HGLOBAL dib, HPALETTE pal);
int DibNumColors(const BITMAPINFOHEADER* h);
int PaletteSize(const BITMAPINFOHEADER* h);
HGLOBAL DibFromBitmap(HBITMAP bmp, DWORD compression, WORD bitsPerPixel, HPALETTE pal);
int StretchDibBlt(HDC dc, int x, int y, int dx, int dy, HGLOBAL dib, int srcX, int srcY, int srcDx, int srcDy,
                  DWORD rop);
