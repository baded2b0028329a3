#include "zSizer.h"

#include "zWindow.h"

namespace {

int orZero(int v) { return v == zSizerUnset ? 0 : v; }
int maxOf(int a, int b) { return a > b ? a : b; }

}  // namespace

// ---- requests ---------------------------------------------------------------

void zReqGeom::clear() {
    x = y = 0;
    minWidth = minHeight = prefWidth = prefHeight = maxWidth = maxHeight = 0;
    grav = zGravAbsolute;
    reserved1 = reserved2 = 0;
}

zReqGeom zReqGeom::operator=(const zDimension& d) {
    minWidth = prefWidth = maxWidth = d.width;
    minHeight = prefHeight = maxHeight = d.height;
    return *this;
}

void zReqGeom::add(const zReqGeom& o) {
    minWidth = maxOf(minWidth, o.minWidth);
    minHeight = maxOf(minHeight, o.minHeight);
    prefWidth = maxOf(prefWidth, o.prefWidth);
    prefHeight = maxOf(prefHeight, o.prefHeight);
    maxWidth = maxOf(maxWidth, o.maxWidth);
    maxHeight = maxOf(maxHeight, o.maxHeight);
}

// ---- the normal layout ------------------------------------------------------

void zNormalLayout::request(zReqGeom& geom, zPlist* children, int) {
    if (!children) return;
    int right = 0, bottom = 0;
    bool absolute = false;
    zPListIter it(children);
    while (zSizer* c = static_cast<zSizer*>(it.Iter())) {
        zReqGeom g;
        c->reqArea(g);
        switch (c->gravity()) {
        case zGravTop:
            geom.minWidth = maxOf(geom.minWidth, g.minWidth);
            geom.prefWidth = maxOf(geom.prefWidth, g.prefWidth);
            geom.maxWidth = maxOf(geom.maxWidth, g.maxWidth);
            geom.minHeight += g.minHeight;
            geom.prefHeight += g.prefHeight;
            geom.maxHeight += g.maxHeight;
            break;
        case zGravAbsolute:
            // An unset position or size counts as 0 here.
            right = absolute ? maxOf(right, orZero(g.x) + orZero(g.prefWidth)) : orZero(g.x) + orZero(g.prefWidth);
            bottom = absolute ? maxOf(bottom, orZero(g.y) + orZero(g.prefHeight)) : orZero(g.y) + orZero(g.prefHeight);
            absolute = true;
            break;
        default:
            geom.add(g);
            break;
        }
    }
    if (!absolute) return;
    geom.prefWidth = maxOf(geom.prefWidth, right);
    geom.maxWidth = maxOf(geom.maxWidth, right);
    geom.prefHeight = maxOf(geom.prefHeight, bottom);
    geom.maxHeight = maxOf(geom.maxHeight, bottom);
}

void zNormalLayout::allocate(zRect& area, zPlist* children, int) {
    if (!children) return;
    zRect rem = area;
    int usedW = 0, usedH = 0;
    bool filled = false;
    zPListIter it(children);
    while (zSizer* c = static_cast<zSizer*>(it.Iter())) {
        zReqGeom g;
        c->reqArea(g);
        int w = g.prefWidth, h = g.prefHeight;
        zRect r;
        if (g.grav == zGravAbsolute) {
            int x = g.x == zSizerUnset ? rem.left : g.x;
            int y = g.y == zSizerUnset ? rem.top : g.y;
            r = zRect(x, y, w == zSizerUnset ? rem.right : x + w, h == zSizerUnset ? rem.bottom : y + h);
        } else {
            w = orZero(w);
            h = orZero(h);
            switch (g.grav) {
            case zGravLeft:
                r = zRect(rem.left, rem.top, rem.left + w, h ? rem.top + h : rem.bottom);
                rem.left += w;
                usedW += w;
                break;
            case zGravRight:
                r = zRect(rem.right - w, rem.top, rem.right, h ? rem.top + h : rem.bottom);
                rem.right -= w;
                usedW += w;
                break;
            case zGravTop:
                r = zRect(rem.left, rem.top, w ? rem.left + w : rem.right, rem.top + h);
                rem.top += h;
                usedH += h;
                break;
            case zGravBottom:
                r = zRect(rem.left, rem.bottom - h, w ? rem.left + w : rem.right, rem.bottom);
                rem.bottom -= h;
                usedH += h;
                break;
            case zGravCenter: {
                r = zRect(rem.left, rem.top, w ? rem.left + w : rem.right, h ? rem.top + h : rem.bottom);
                int dx = (rem.right - r.right) / 2, dy = (rem.bottom - r.bottom) / 2;
                if (dx > 0) r.left += dx, r.right += dx;
                if (dy > 0) r.top += dy, r.bottom += dy;
                filled = true;
                break;
            }
            default:  // top-left corner
                r = zRect(rem.left, rem.top, w ? rem.left + w : rem.right, h ? rem.top + h : rem.bottom);
                filled = true;
                break;
            }
        }
        c->setArea(r, 0);
    }
    if (!filled) area = zRect(area.left, area.top, area.left + usedW, area.top + usedH);
}

// ---- zSizer -----------------------------------------------------------------

zLayout* zSizer::defLayout() {
    static zNormalLayout* shared = new zNormalLayout;
    return shared;
}

zSizer::zSizer(zSizer* parent)
    : x_(zSizerUnset), y_(zSizerUnset), w_(zSizerUnset), h_(zSizerUnset), parent_(0), grav_(zGravAbsolute),
      layout_(0), children_(0), owner_(0), ownerType_(0), count_(0) {
    if (parent) parent->append(this);
}

zSizer::zSizer(const zPoint& p, const zDimension& d, zSizer* parent) : zSizer(p.x, p.y, d.width, d.height, parent) {}

zSizer::zSizer(int x, int y, int width, int height, zSizer* parent) : zSizer(static_cast<zSizer*>(0)) {
    x_ = x;
    y_ = y;
    w_ = width;
    h_ = height;
    if (parent) parent->append(this);
}

zSizer::zSizer(const zRect& r, zSizer* parent) : zSizer(r.left, r.top, r.width(), r.height(), parent) {}

zSizer::~zSizer() {
    if (children_) {
        zPListIter it(children_);
        while (zSizer* c = static_cast<zSizer*>(it.Iter())) {
            it.remove();
            c->parent_ = 0;
        }
        it.reset();
        delete children_;
        children_ = 0;
        count_ = 0;
    }
    remove();
}

void zSizer::insert(zSizer* child) {
    if (!child) return;
    if (child->parent_) child->remove();  // a sizer sits in one list only
    if (!children_) children_ = new zSizerDlist;
    new zSizerLink(children_, child);
    ++count_;
    child->parent_ = this;
}

void zSizer::append(zSizer* child) {
    if (!child) return;
    if (child->parent_) child->remove();
    if (!children_) children_ = new zSizerDlist;
    new zSizerLink(children_->back, child);
    ++count_;
    child->parent_ = this;
}

void zSizer::remove(zSizer* child) {
    if (!child || !children_) return;
    zPListIter it(children_);
    while (void* p = it.Iter()) {
        if (p == child) {
            it.remove();
            --count_;
            if (child->parent_ == this) child->parent_ = 0;
            return;
        }
    }
}

void zSizer::remove() {
    if (parent_) parent_->remove(this);
    parent_ = 0;
}

void zSizer::replace(zSizer* other) {
    if (!other || other == this) return;
    zSizer* container = parent_;
    if (!container && owner_ && ownerType_ == 1 && owner_->parent()) container = owner_->parent()->getSizer();
    if (container) {
        if (container->children_) container->remove(this);
        if (other->parent_ != container) container->append(other);
    }
    while (count_ > 0 && children_) {
        zSizer* c = static_cast<zSizer*>(children_->first());
        if (!c) break;
        other->append(c);  // takes it out of this sizer first
    }
    other->owner_ = owner_;
    other->ownerType_ = ownerType_;
    other->x_ = x_;
    other->y_ = y_;
    other->w_ = w_;
    other->h_ = h_;
    other->layout_ = layout_;
    if (owner_ && ownerType_ == 1 && owner_->getSizer() == this) owner_->setSizer(other);
    owner_ = 0;
    delete this;
}

zWindow* zSizer::liveOwner() const {
    if (ownerType_ != 1 || !owner_ || !IsWindow(owner_->windowHandle())) return 0;
    return owner_;
}

void zSizer::requestSelf(zReqGeom& g) const {
    g.minWidth = g.prefWidth = g.maxWidth = w_;
    g.minHeight = g.prefHeight = g.maxHeight = h_;
    g.x = x_;
    g.y = y_;
    g.grav = grav_;
}

void zSizer::reqArea(zReqGeom& g) {
    g.clear();
    if (!children_ || count_ == 0) {
        requestSelf(g);
        return;
    }
    activeLayout()->request(g, children_, count_);
    if (grav_ == zGravAbsolute) requestSelf(g);
    else g.grav = grav_;  // a docked container keeps its own placement
}

zRect zSizer::placeChildren(zRect& rect, bool ownerOrigin) {
    x_ = rect.left;
    y_ = rect.top;
    w_ = rect.width();
    h_ = rect.height();
    bool windowOwner = ownerType_ == 1 && owner_;
    if (windowOwner && ownerOrigin) x_ = y_ = 0;
    // Children of a window are placed in its client coordinates.
    zRect inner = windowOwner ? zRect(0, 0, w_, h_) : rect;
    if (children_ && count_) activeLayout()->allocate(inner, children_, count_);
    return inner;
}

void zSizer::setArea(zRect& rect, int noMove) {
    placeChildren(rect, false);
    if (noMove || grav_ == zGravAbsolute) return;
    if (zWindow* w = liveOwner()) w->vmove(rect.left, rect.top, rect.width(), rect.height());
}

void zSizer::update(zRect* rect) {
    if (rect) {
        x_ = rect->left;
        y_ = rect->top;
        w_ = rect->width();
        h_ = rect->height();
        setArea(*rect, 1);
        return;
    }
    if (zWindow* w = liveOwner()) {
        RECT rc;
        if (GetClientRect(w->windowHandle(), &rc)) {
            w_ = rc.right - rc.left;
            h_ = rc.bottom - rc.top;
        }
    }
    int x = orZero(x_), y = orZero(y_);
    zRect r(x, y, x + orZero(w_), y + orZero(h_));
    setArea(r, 1);
}

int zSizer::resize(zWindow*, zSizeEvt*) { return 0; }

zSizer* zSizer::asType(int type) { return type == 1 ? this : 0; }

// ---- derived sizers ---------------------------------------------------------

zGravSizer::zGravSizer(zGrav g, zSizer* parent) : zSizer(static_cast<zSizer*>(0)), fixedW_(0), fixedH_(0) {
    grav_ = g;
    if (parent) parent->append(this);
}

zGravSizer::zGravSizer(zGrav g, const zDimension& d, zSizer* parent) : zGravSizer(g, static_cast<zSizer*>(0)) {
    fixedW_ = w_ = d.width;
    fixedH_ = h_ = d.height;
    if (parent) parent->append(this);
}

zGravSizer::zGravSizer(zGrav g, int extent, zSizer* parent) : zGravSizer(g, static_cast<zSizer*>(0)) {
    if (g == zGravLeft || g == zGravRight) fixedW_ = extent;
    else if (g == zGravTop || g == zGravBottom) fixedH_ = extent;
    else fixedW_ = fixedH_ = extent;
    w_ = fixedW_;
    h_ = fixedH_;
    if (parent) parent->append(this);
}

void zGravSizer::reqArea(zReqGeom& g) {
    g.clear();
    g = zDimension(fixedW_, fixedH_);
    g.x = x_;
    g.y = y_;
    g.grav = grav_;
}

zSizer* zGravSizer::asType(int type) { return (type == 5 || type == 1) ? this : 0; }

zPercentSizer::zPercentSizer(zGrav g, zSizer* parent) : zGravSizer(g, parent), heightPct_(0), widthPct_(0) {}

zPercentSizer::zPercentSizer(zGrav g, float heightPercent, float widthPercent, zSizer* parent)
    : zGravSizer(g, parent), heightPct_(heightPercent), widthPct_(widthPercent) {}

void zPercentSizer::reqArea(zReqGeom& g) {
    zGravSizer::reqArea(g);
    int pw = parent_ ? orZero(parent_->dimension().width) : 0;
    int ph = parent_ ? orZero(parent_->dimension().height) : 0;
    int w = widthPct_ == 0 ? pw : static_cast<int>(static_cast<double>(widthPct_) * pw * 0.01);
    int h = heightPct_ == 0 ? ph : static_cast<int>(static_cast<double>(heightPct_) * ph * 0.01);
    g = zDimension(w, h);
}

zSizer* zPercentSizer::asType(int type) { return (type == 6 || type == 5 || type == 1) ? this : 0; }

zGrowToFitSizer::zGrowToFitSizer(zGrav g, zFit fit, int extent, zSizer* parent)
    : zGravSizer(g, static_cast<zSizer*>(0)), fit_(fit) {
    if (fit == zFitFixedHeight) fixedH_ = extent;
    else fixedW_ = extent;
    w_ = fixedW_;
    h_ = fixedH_;
    if (parent) parent->append(this);
}

zGrowToFitSizer::zGrowToFitSizer(zGrav g, zSizer* parent) : zGravSizer(g, parent), fit_(zFitNone) {}

void zGrowToFitSizer::reqArea(zReqGeom& g) {
    g.clear();
    g.grav = grav_;
    if (!children_ || count_ == 0) {
        requestSelf(g);
        return;
    }
    activeLayout()->request(g, children_, count_);
    if (fit_ == zFitFixedHeight) g.minHeight = g.prefHeight = g.maxHeight = fixedH_;
    else if (fit_ == zFitFixedWidth) g.minWidth = g.prefWidth = g.maxWidth = fixedW_;
}

void zGrowToFitSizer::setArea(zRect& rect, int noMove) {
    zRect used = placeChildren(rect, true);
    if (children_ && count_) {
        x_ = used.left;
        y_ = used.top;
        w_ = used.width();
        h_ = used.height();
    }
    if (noMove) return;
    if (zWindow* w = liveOwner()) w->vmove(rect.left, rect.top, rect.width(), rect.height());
}

zSizer* zGrowToFitSizer::asType(int type) { return (type == 7 || type == 5 || type == 1) ? this : 0; }

zSizeWithParent::zSizeWithParent() : zSizer(static_cast<zSizer*>(0)) { grav_ = zGravCenter; }

int zSizeWithParent::resize(zWindow* w, zSizeEvt* e) {
    if (w && e) w->vmove(0, 0, LOWORD(e->lParam()), HIWORD(e->lParam()));
    return 0;
}

void zSizeWithParent::reqArea(zReqGeom& g) {
    g.clear();
    g.grav = grav_;
}

zSizer* zSizeWithParent::asType(int type) { return (type == 9 || type == 1) ? this : 0; }
