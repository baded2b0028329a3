#pragma once
// Window layout: every window may own a sizer; a sizer asks its children for
// their requested geometry and hands each a rectangle, docking them to the
// sides of the remaining area in list order.
#include "zGeometry.h"

class zWindow;
class zSizeEvt;

enum zGrav {
    zGravLeft = 0,
    zGravRight = 1,
    zGravTop = 2,
    zGravBottom = 3,
    zGravCenter = 4,
    zGravTopLeft = 5,
    zGravAbsolute = 6
};

// Grow-to-fit modes: which extent stays fixed while the other follows the children.
enum zFit { zFitNone = 0, zFitFixedHeight = 1, zFitFixedWidth = 2 };

const int zSizerUnset = static_cast<int>(0x80000000u);

struct zReqGeom {
    int x, y;
    int minWidth, minHeight;
    int prefWidth, prefHeight;
    int maxWidth, maxHeight;
    zGrav grav;
    int reserved1, reserved2;

    zReqGeom() { clear(); }
    void clear();
    zReqGeom operator=(const zDimension& d);
    zReqGeom& operator=(const zReqGeom&) = default;
    zReqGeom(const zReqGeom&) = default;
    // Raises each size to the other's where that is larger.
    void add(const zReqGeom& o);
};

class zSizer;

class zSizerLink : public zPlink {
public:
    zSizerLink(zLink* after, zSizer* s) : zPlink(after, s) {}
};

class zSizerDlist : public zPlist {};

class zLayout {
public:
    virtual void allocate(zRect& area, zPlist* children, int count) = 0;
    virtual void request(zReqGeom& geom, zPlist* children, int count) = 0;
    virtual ~zLayout() {}
};

class zNormalLayout : public zLayout {
public:
    void allocate(zRect& area, zPlist* children, int count) override;
    void request(zReqGeom& geom, zPlist* children, int count) override;
};

class zSizer {
public:
    explicit zSizer(zSizer* parent = 0);
    zSizer(const zPoint& p, const zDimension& d, zSizer* parent = 0);
    zSizer(int x, int y, int width, int height, zSizer* parent = 0);
    zSizer(const zRect& r, zSizer* parent = 0);
    zSizer(const zSizer&) = delete;
    zSizer& operator=(const zSizer&) = delete;

    virtual ~zSizer();
    virtual int resize(zWindow* w, zSizeEvt* e);
    virtual void update(zRect* rect = 0);
    virtual void reqArea(zReqGeom& geom);
    virtual void setArea(zRect& rect, int noMove);
    virtual zSizer* asType(int type);

    void insert(zSizer* child);
    void append(zSizer* child);
    void remove(zSizer* child);
    void remove();
    void replace(zSizer* other);

    void pos(const zPoint& p) { x_ = p.x; y_ = p.y; }
    void dimension(const zDimension& d) { w_ = d.width; h_ = d.height; }
    zPoint pos() const { return zPoint(x_, y_); }
    zDimension dimension() const { return zDimension(w_, h_); }
    void setOwned(zWindow* w) { owner_ = w; ownerType_ = w ? 1 : 0; }
    void setOwnerType(int t) { ownerType_ = t; }
    zWindow* owner() const { return owner_; }
    int ownerType() const { return ownerType_; }
    zSizer* parent() const { return parent_; }
    zGrav gravity() const { return grav_; }
    void gravity(zGrav g) { grav_ = g; }
    zLayout* layout() const { return layout_; }
    void layout(zLayout* l) { layout_ = l; }
    zPlist* children() const { return children_; }
    int childCount() const { return count_; }

    static zLayout* defLayout();

protected:
    zLayout* activeLayout() { return layout_ ? layout_ : defLayout(); }
    // The owner window when it is a live window, else null.
    zWindow* liveOwner() const;
    // Own size, position and gravity as the request.
    void requestSelf(zReqGeom& g) const;
    // Position and size from rect, children laid out; returns the area used.
    zRect placeChildren(zRect& rect, bool ownerOrigin);

    int x_, y_, w_, h_;
    zSizer* parent_;
    zGrav grav_;
    zLayout* layout_;
    zSizerDlist* children_;
    zWindow* owner_;
    int ownerType_;
    int count_;
};

class zGravSizer : public zSizer {
public:
    zGravSizer(zGrav g, const zDimension& d, zSizer* parent = 0);
    zGravSizer(zGrav g, int extent, zSizer* parent = 0);
    void reqArea(zReqGeom& geom) override;
    zSizer* asType(int type) override;
    zDimension fixed() const { return zDimension(fixedW_, fixedH_); }
    // Changes the fixed extent (a strip that measures its font later).
    void fixed(const zDimension& d) { w_ = fixedW_ = d.width, h_ = fixedH_ = d.height; }

protected:
    zGravSizer(zGrav g, zSizer* parent);
    int fixedW_, fixedH_;
};

class zPercentSizer : public zGravSizer {
public:
    zPercentSizer(zGrav g, zSizer* parent = 0);
    zPercentSizer(zGrav g, float heightPercent, float widthPercent, zSizer* parent = 0);
    void reqArea(zReqGeom& geom) override;
    zSizer* asType(int type) override;

private:
    float heightPct_, widthPct_;
};

class zGrowToFitSizer : public zGravSizer {
public:
    zGrowToFitSizer(zGrav g, zFit fit, int extent, zSizer* parent = 0);
    zGrowToFitSizer(zGrav g, zSizer* parent = 0);
    void reqArea(zReqGeom& geom) override;
    void setArea(zRect& rect, int noMove) override;
    zSizer* asType(int type) override;

private:
    zFit fit_;
};

class zSizeWithParent : public zSizer {
public:
    zSizeWithParent();
    int resize(zWindow* w, zSizeEvt* e) override;
    void reqArea(zReqGeom& geom) override;
    zSizer* asType(int type) override;
};
