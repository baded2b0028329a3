#pragma once
// Regions with set algebra, a display recording into a memory metafile, and
// measures in device-independent units turned into a display's logical units.
#include "QvWindows.h"
#include "zDisplay.h"

class zRect;
class zPoint;

class zRegion {
public:
    zRegion();
    virtual ~zRegion();
    HRGN hrgn() const { return rgn; }

    // += is an intersection like &=; |= is the union.
    int operator+=(const zRegion& o) { return combine(o, RGN_AND); }
    int operator-=(const zRegion& o) { return combine(o, RGN_DIFF); }
    int operator&=(const zRegion& o) { return combine(o, RGN_AND); }
    int operator|=(const zRegion& o) { return combine(o, RGN_OR); }
    int operator^=(const zRegion& o) { return combine(o, RGN_XOR); }
    int operator+=(const zPoint& d);
    int operator-=(const zPoint& d);
    int offset(int dx, int dy);

    bool operator==(const zRegion& o) const;
    bool operator!=(const zRegion& o) const { return !(*this == o); }
    int contains(int x, int y) const;
    int contains(const zRect& r) const;
    int toRect(zRect& r) const;

protected:
    explicit zRegion(HRGN h) : rgn(h) {}
    int combine(const zRegion& o, int mode);
    HRGN rgn;

private:
    zRegion(const zRegion&) = delete;
    zRegion& operator=(const zRegion&) = delete;
};

class zRectRegion : public zRegion {
public:
    zRectRegion(int l, int t, int r, int b);
    explicit zRectRegion(const zRect& r);

private:
    int left, top, right, bottom;
};

class zEllipticRegion : public zRegion {
public:
    zEllipticRegion(int l, int t, int r, int b);
    explicit zEllipticRegion(const zRect& r);

private:
    int left, top, right, bottom;
};

class zPolygonRegion : public zRegion {
public:
    zPolygonRegion(const POINT* points, int count, int fillMode = ALTERNATE);

private:
    const POINT* pts;
    int count;
    int fillMode;
};

class zRoundRectRegion : public zRegion {
public:
    zRoundRectRegion(int l, int t, int r, int b, int w, int h);
    zRoundRectRegion(const zRect& r, int w, int h);

private:
    int left, top, right, bottom;
    int cornerW, cornerH;
};

// Records drawing into a memory metafile; replays it or hands it out as a picture.
class zMetafileDisplay : public zDisplay {
public:
    explicit zMetafileDisplay(zDisplay* reference = 0);
    ~zMetafileDisplay() override;
    int get() override;
    int release() override;
    void getVisible(zRect& r) override;
    void getDirty(zRect& r) override;
    zDimension getTextDim(const char* text, int length = 0) override;

    void setExtent(const zRect& r);
    int getMetafile(METAFILEPICT& pict);
    int copyTo(zDisplay* dest, int x, int y, int width, int height);
    HMETAFILE metafile() const { return meta; }
    // Takes a metafile over (one handed in from the clipboard); the old one is deleted.
    void setMetafile(HMETAFILE m);

private:
    zDisplay* ref;
    HMETAFILE meta;
};

// A measure and the logical coordinates it gives on a display.
class zLogMeasure {
public:
    zLogMeasure() : lx(0), ly(0), mx(0), my(0) {}
    zLogMeasure(int x, int y) : lx(x), ly(y), mx(x), my(y) {}
    virtual ~zLogMeasure() {}
    virtual void setLogX(int value, zDisplay* d)
    {
        mx = value;
        lx = value;
    }
    virtual void setLogY(int value, zDisplay* d)
    {
        my = value;
        ly = value;
    }
    void newDisplay(zDisplay* d)
    {
        setLogX(mx, d);
        setLogY(my, d);
    }
    int x() const { return lx; }
    int y() const { return ly; }
    int measureX() const { return mx; }
    int measureY() const { return my; }

protected:
    int lx, ly;
    int mx, my;
};

// A point in tenths of a printer's point (1/720 inch); a null display means the screen.
class zPrPoint : public zLogMeasure {
public:
    zPrPoint() {}
    zPrPoint(int x, int y, zDisplay* d = 0);
    void setLogX(int value, zDisplay* d) override;
    void setLogY(int value, zDisplay* d) override;

    static int toLogical(int tenths, int dpi);
};
