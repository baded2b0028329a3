#pragma once
// Displays: a device context wrapper whose drawing state lives in the object,
// so it survives while no context is held and is re-applied on every lock.
#include "QvWindows.h"

class zPoint;
class zDimension;
class zRect;
class zSlist;
class zDblList;
class zWindow;
class zRegion;
class zBitmap;
class zFont;
class zEvH;

// Four bytes: red, green, blue, flag (0 RGB, 1 palette index, else palette-relative).
struct zColor {
    unsigned char red, green, blue, flag;

    zColor() : red(0), green(0), blue(0), flag(0) {}
    zColor(int r, int g, int b, int f = 0)
        : red((unsigned char)r), green((unsigned char)g), blue((unsigned char)b), flag((unsigned char)f) {}
    // Takes a packed value byte for byte (a system colour or a special marker such as -2).
    static zColor fromRaw(unsigned long raw);
    static zColor system(int index) { return fromRaw(GetSysColor(index)); }

    unsigned long raw() const;
    COLORREF colorRef() const;
    operator COLORREF() const { return colorRef(); }
    bool operator==(const zColor& o) const { return raw() == o.raw(); }
    bool operator!=(const zColor& o) const { return raw() != o.raw(); }
};

// One GDI object; stock objects are never deleted.
class zDrawObj {
public:
    zDrawObj() : hObj(0), stock(0) {}
    virtual ~zDrawObj();
    HGDIOBJ handle() const { return hObj; }
    int isStock() const { return stock; }

protected:
    HGDIOBJ hObj;
    int stock;
    // Deletes an own object and leaves none.
    void release();

private:
    zDrawObj(const zDrawObj&) = delete;
    zDrawObj& operator=(const zDrawObj&) = delete;
};

class zPen : public zDrawObj {
public:
    zPen() : style(0), width(0), stockId(0) {}
    zPen(const zColor& color, int style = PS_SOLID, int width = 1);
    explicit zPen(int stockId);
    // A copy makes its own GDI pen, so each destructor deletes only its own handle.
    zPen(const zPen& other);
    zPen& operator=(const zPen& other);

    HPEN hpen() const { return (HPEN)hObj; }
    int penStyle() const { return style; }
    int penWidth() const { return width; }
    zColor color() const { return colour; }
    int stockNumber() const { return stockId; }
    // A view on the same GDI pen that never deletes it (for shared pens).
    zPen* share() const;

private:
    void makeFrom(const zPen& other);
    int style;
    int width;
    zColor colour;
    int stockId;
};

class zBrush : public zDrawObj {
public:
    enum { Solid = 99, Pattern = 2 };

    zBrush() : kind(0), stockOrBitmap(0), pattern(0) {}
    explicit zBrush(int stockId);
    explicit zBrush(const zColor& color);
    zBrush(const zColor& color, int hatchStyle);
    // The bitmap must outlive every copy of the brush (copies re-create the pattern).
    explicit zBrush(zBitmap* bitmap);
    zBrush(const zBrush& other);
    zBrush& operator=(const zBrush& other);

    HBRUSH hbrush() const { return (HBRUSH)hObj; }
    int brushKind() const { return kind; }
    int isPattern() const { return pattern; }
    zColor color() const { return colour; }
    // A view on the same GDI brush that never deletes it (for shared brushes).
    zBrush* share() const;

private:
    void makeFrom(const zBrush& other);
    int kind;
    ULONG_PTR stockOrBitmap;  // a stock object id or a bitmap handle
    zColor colour;
    // Kind 2 is both a pattern and the forward-diagonal hatch: this tells them apart.
    int pattern;
};

typedef int (zEvH::*zLineDDAProc)(int x, int y);

class zDisplay {
public:
    enum Type { Plain = 0, Window = 1, MemoryBitmap = 2, Printer = 3, Metafile = 4 };

    zDisplay();
    virtual int get() { return 0; }
    virtual int release() { return 0; }
    virtual void getDirty(zRect& r);
    virtual void setDirty(const zRect& r);
    virtual void setDirty(const zRegion& r);
    virtual ~zDisplay();
    virtual zDimension getTextDim(const char* text, int length = 0);
    virtual void getVisible(zRect& r);
    virtual int bitmap(zBitmap* bmp, const zPoint& at, unsigned long rop = SRCCOPY);
    // An information context of the display's device, the caller's to delete;
    // null for displays that cannot make one.
    virtual HDC ziInfoContext() { return 0; }
    int bitmap(zBitmap* bmp, const zPoint& at, const zDimension& size, unsigned long rop = SRCCOPY,
               int stretchMode = COLORONCOLOR);

    void lock();
    void unlock();
    int lockCount() const { return locks; }

    zColor backColor(const zColor& c);
    zColor textColor(const zColor& c);
    zColor backColor() const { return back; }
    zColor textColor() const { return fore; }
    int backMode(int mode);
    int backMode() const { return bkMode; }
    int mapMode(int mode);
    int mapMode() const { return mapping; }
    long setWindowOrg(int x, int y);
    long setViewportOrg(int x, int y);
    long setWindowExt(int x, int y);
    long setViewportExt(int x, int y);
    zPoint windowOrg() const;
    zPoint viewportOrg() const;
    int drawMode(int mode);
    int drawMode() const { return rop2; }

    void pushBrush(zBrush* b);
    void pushPen(zPen* p);
    void pushFont(zFont* f);
    zBrush* popBrush();
    zPen* popPen();
    zFont* popFont();
    zBrush* brush(zBrush* b);
    zPen* pen(zPen* p);
    zFont* font(zFont* f);
    zBrush* brush() const { return curBrush; }
    zPen* pen() const { return curPen; }
    zFont* font() const { return curFont; }

    void text(const zRect& r, const char* s, int length = 0);
    void polyline(const zRect& r);
    int lineDDA(const zPoint& from, const zPoint& to, zEvH* target, zLineDDAProc fn);

    int type() const { return dispType; }
    HDC hdc() const { return dc; }
    int pixWidth() const { return pxWidth; }
    int pixHeight() const { return pxHeight; }
    int pixPerInchX() const { return ppiX; }
    int pixPerInchY() const { return ppiY; }
    int mmWidth() const { return mmW; }
    int mmHeight() const { return mmH; }
    void setDeviceFacts(int width, int height, int perInchX, int perInchY, int mmWidth, int mmHeight);

protected:
    void readDeviceFacts(HDC from);

    int locks;
    zColor back;
    zColor fore;
    zBrush* curBrush;
    zSlist* brushes;
    zPen* curPen;
    zSlist* pens;
    zFont* curFont;
    zSlist* fonts;
    int rop2;
    int winOrgX, winOrgY;
    int vpOrgX, vpOrgY;
    int winExtX, winExtY;
    int vpExtX, vpExtY;
    int mapping;
    int dispType;
    HDC dc;
    int pxWidth, pxHeight;
    int ppiX, ppiY;
    int mmW, mmH;
    int bkMode;
    int extLeft, extTop, extRight, extBottom;

private:
    zDisplay(const zDisplay&) = delete;
    zDisplay& operator=(const zDisplay&) = delete;
};

class zReadableDisplay : public zDisplay {
public:
    virtual int copyTo(zDisplay* dest, int x, int y, int width, int height, int srcX = 0, int srcY = 0)
    {
        return 0;
    }
};

class zWinDisplay : public zReadableDisplay {
public:
    explicit zWinDisplay(zWindow* w);
    ~zWinDisplay() override;
    int get() override;
    int release() override;
    void getDirty(zRect& r) override;
    void setDirty(const zRect& r) override;
    void setDirty(const zRegion& r) override;
    void getVisible(zRect& r) override;

    void ziSetWindow(zWindow* w);
    zWindow* window() const { return win; }
    int painting() const { return paintFlag; }
    void setPainting(int on) { paintFlag = on; }

protected:
    HWND targetHwnd() const;

    zWindow* win;
    int paintFlag;
    PAINTSTRUCT ps;
};

// Sets the painting flag of a window display (BeginPaint/EndPaint in place of GetDC).
void zAppDoSetDraw(zDisplay* d, int on);

// Measures without a window: an information context on the screen.
class ziInfoDisplay : public zReadableDisplay {
public:
    ziInfoDisplay();
    ~ziInfoDisplay() override;
    int get() override;
    int release() override;
};

// Drawing attributes that windows share: equal aspects intern to one GDI object.
class ziAspect {
public:
    enum { Pen = 1, Brush = 2, TextBackColor = 3, Font = 5 };
    explicit ziAspect(int k) : kind(k) {}
    virtual ~ziAspect() {}
    virtual void setup(zDisplay* d) = 0;
    virtual ziAspect* resolve() { return this; }
    virtual bool operator==(const ziAspect& o) const { return kind == o.kind; }
    int aspectKind() const { return kind; }

protected:
    int kind;
};

class ziPenAspect : public ziAspect {
public:
    ziPenAspect(const zColor& c, int width);
    ~ziPenAspect() override;
    void setup(zDisplay* d) override;
    ziAspect* resolve() override;
    bool operator==(const ziAspect& o) const override;
    zPen* penObj() const { return penp; }
    static void cleanup();

private:
    zPen* penp;
    zColor colour;
    int width;
};

class ziBrushAspect : public ziAspect {
public:
    explicit ziBrushAspect(const zColor& c);
    ~ziBrushAspect() override;
    void setup(zDisplay* d) override;
    ziAspect* resolve() override;
    bool operator==(const ziAspect& o) const override;
    zBrush* brushObj() const { return brushp; }
    static void cleanup();

private:
    zBrush* brushp;
    zColor colour;
};

class ziFontAspect : public ziAspect {
public:
    explicit ziFontAspect(zFont* f);
    void setup(zDisplay* d) override;
    ziAspect* resolve() override;
    bool operator==(const ziAspect& o) const override;
    zFont* fontObj() const { return fontp; }
    static void cleanup();

private:
    zFont* fontp;
};

class ziTextBackcolorAspect : public ziAspect {
public:
    explicit ziTextBackcolorAspect(const zColor& c) : ziAspect(TextBackColor), colour(c) {}
    void setup(zDisplay* d) override;

private:
    zColor colour;
};
