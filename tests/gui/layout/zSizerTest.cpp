#include <gtest/gtest.h>
#include "QvWindows.h"

#include <vector>

#include "zSizer.h"
#include "zWindow.h"

namespace {

zRect Placed(const zSizer* s) { return zRect(s->pos(), s->dimension()); }

struct Kid {
    zGrav g;
    int w, h;
};

// An owner window that records how the sizer moves it.
struct FakeOwner : zWindow {
    explicit FakeOwner(bool live) {
        if (live) hwnd = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, 0, 0, GetModuleHandleA(0), 0);
    }
    void vmove(int x, int y, int w, int h) override { moves.push_back(zRect(x, y, x + w, y + h)); }
    std::vector<zRect> moves;
};

}  // namespace

TEST(zSizer, DockingRules) {
    struct Case {
        std::vector<Kid> kids;
        std::vector<zRect> want;
        zRect shrunk;
    } cases[] = {
        {{{zGravLeft, 100, 0}, {zGravLeft, 50, 0}}, {{0, 0, 100, 300}, {100, 0, 150, 300}}, {0, 0, 150, 0}},
        {{{zGravTop, 0, 20}, {zGravTopLeft, 0, 0}}, {{0, 0, 400, 20}, {0, 20, 400, 300}}, {0, 0, 400, 300}},
        {{{zGravCenter, 100, 50}}, {{150, 125, 250, 175}}, {0, 0, 400, 300}},
        {{{zGravCenter, 401, 0}}, {{0, 0, 401, 300}}, {0, 0, 400, 300}},  // no move left or up
        {{{zGravRight, 30, 0}, {zGravBottom, 0, 40}, {zGravLeft, 20, 10}},
         {{370, 0, 400, 300}, {0, 260, 370, 300}, {0, 0, 20, 10}},
         {0, 0, 50, 40}},
        {{{zGravTop, 0, 10}, {zGravTopLeft, 30, 5}}, {{0, 0, 400, 10}, {0, 10, 30, 15}}, {0, 0, 400, 300}},
    };
    for (auto& c : cases) {
        zSizer root(0, 0, 400, 300);
        std::vector<zSizer*> kids;
        for (auto& k : c.kids) kids.push_back(new zGravSizer(k.g, zDimension(k.w, k.h), &root));
        zRect area(0, 0, 400, 300);
        zSizer::defLayout()->allocate(area, root.children(), root.childCount());
        for (size_t i = 0; i < kids.size(); ++i) EXPECT_EQ(c.want[i], Placed(kids[i])) << "child " << i;
        EXPECT_EQ(c.shrunk, area);
        for (auto* k : kids) delete k;
        EXPECT_EQ(0, root.childCount());
    }
}

TEST(zSizer, AbsoluteChildrenAndUnsetExtents) {
    zSizer root(0, 0, 400, 300);
    zSizer fixed(10, 20, 30, 40, &root);
    zSizer open(5, 6, zSizerUnset, zSizerUnset, &root);
    zRect r(0, 0, 400, 300);
    root.update(&r);
    EXPECT_EQ(zRect(10, 20, 40, 60), Placed(&fixed));
    EXPECT_EQ(zRect(5, 6, 400, 300), Placed(&open));  // unset extents reach the remaining edges
}

TEST(zSizer, Requests) {
    struct Case {
        std::vector<Kid> kids;
        int prefW, prefH;
    } cases[] = {
        {{{zGravTop, 0, 10}, {zGravTop, 0, 15}}, 0, 25},
        {{{zGravLeft, 10, 0}, {zGravLeft, 15, 0}}, 15, 0},
        {{{zGravTop, 40, 10}, {zGravCenter, 30, 50}}, 40, 50},
    };
    for (auto& c : cases) {
        zSizer root(zRect(0, 0, 400, 300));
        root.gravity(zGravTopLeft);  // otherwise its own size answers
        std::vector<zSizer*> kids;
        for (auto& k : c.kids) kids.push_back(new zGravSizer(k.g, zDimension(k.w, k.h), &root));
        zReqGeom g;
        root.reqArea(g);
        EXPECT_EQ(c.prefW, g.prefWidth);
        EXPECT_EQ(c.prefH, g.prefHeight);
        EXPECT_EQ(zGravTopLeft, g.grav);
        for (auto* k : kids) delete k;
    }

    zSizer holder(zRect(0, 0, 1, 1));
    holder.gravity(zGravTopLeft);
    zSizer a(10, 0, 40, 20, &holder), b(0, 100, 30, 30, &holder);
    zReqGeom g;
    holder.reqArea(g);
    EXPECT_EQ(50, g.prefWidth);
    EXPECT_EQ(130, g.prefHeight);
    EXPECT_EQ(50, g.maxWidth);
    EXPECT_EQ(130, g.maxHeight);

    zSizer plain(zRect(7, 8, 107, 58));  // gravity 6 with children: own geometry wins
    zGravSizer inside(zGravLeft, 500, &plain);
    plain.reqArea(g);
    EXPECT_EQ(100, g.prefWidth);
    EXPECT_EQ(7, g.x);
    EXPECT_EQ(zGravAbsolute, g.grav);
}

TEST(zSizer, ReqGeomHelpers) {
    zReqGeom g;
    EXPECT_EQ(zGravAbsolute, g.grav);
    zReqGeom copy = (g = zDimension(3, 4));
    EXPECT_EQ(3, copy.minWidth);
    EXPECT_EQ(4, g.maxHeight);
    zReqGeom o;
    o.prefWidth = 9;
    o.minHeight = 1;
    g.add(o);
    EXPECT_EQ(9, g.prefWidth);
    EXPECT_EQ(4, g.minHeight);
}

TEST(zSizer, PercentGrowToFitAndSizeWithParent) {
    zSizer root(0, 0, 400, 201);
    zPercentSizer quarter(zGravTop, 25.0f, 50.0f, &root);
    zPercentSizer whole(zGravLeft, &root);
    zReqGeom g;
    quarter.reqArea(g);
    EXPECT_EQ(50, g.prefHeight);
    EXPECT_EQ(200, g.prefWidth);
    whole.reqArea(g);
    EXPECT_EQ(400, g.prefWidth);
    EXPECT_EQ(201, g.prefHeight);
    zPercentSizer orphan(zGravTop, 50.0f, 50.0f);
    orphan.reqArea(g);
    EXPECT_EQ(0, g.prefWidth);

    zSizer top(0, 0, 400, 300);
    zGrowToFitSizer fit(zGravTop, zFitFixedHeight, 30, &top);
    zGravSizer a(zGravLeft, zDimension(50, 10), &fit), b(zGravLeft, zDimension(70, 12), &fit);
    fit.reqArea(g);
    EXPECT_EQ(70, g.prefWidth);
    EXPECT_EQ(30, g.prefHeight);
    zRect r(0, 0, 400, 300);
    top.update(&r);
    EXPECT_EQ(zRect(0, 0, 50, 10), Placed(&a));
    EXPECT_EQ(zRect(50, 0, 120, 12), Placed(&b));
    EXPECT_EQ(zRect(0, 0, 120, 0), Placed(&fit));  // takes the extent its children used

    zSizer frame(0, 0, 400, 300);
    zSizeWithParent* fill = new zSizeWithParent;
    frame.append(fill);
    frame.update(&r);
    EXPECT_EQ(zRect(0, 0, 400, 300), Placed(fill));
    delete fill;

    struct {
        zSizer* s;
        int type;
        bool answers;
    } types[] = {
        {&quarter, 6, true}, {&quarter, 5, true}, {&quarter, 1, true}, {&quarter, 9, false}, {&fit, 7, true},
        {&fit, 6, false},    {&a, 5, true},       {&a, 7, false},      {&root, 1, true},    {&root, 5, false},
    };
    for (auto& t : types) EXPECT_EQ(t.answers ? t.s : nullptr, t.s->asType(t.type)) << t.type;
    zSizeWithParent swp;
    EXPECT_EQ(&swp, swp.asType(9));
    EXPECT_EQ(zGravCenter, swp.gravity());
}

TEST(zSizer, TreeOperations) {
    zSizer root;
    zSizer a, b, c;
    root.append(&b);
    root.insert(&a);
    root.append(&c);
    root.append(nullptr);
    EXPECT_EQ(3, root.childCount());
    EXPECT_EQ(&a, root.children()->first());
    EXPECT_EQ(&root, c.parent());
    root.remove(&b);
    EXPECT_EQ(2, root.childCount());
    EXPECT_EQ(nullptr, b.parent());
    root.remove(&b);  // not a child any more: nothing counted off
    EXPECT_EQ(2, root.childCount());
    c.remove();
    EXPECT_EQ(1, root.childCount());
    EXPECT_EQ(nullptr, c.parent());

    zSizer other;
    other.append(&a);  // moving a sizer takes it out of its old parent
    EXPECT_EQ(0, root.childCount());
    EXPECT_EQ(&other, a.parent());

    zSizer* temp = new zSizer;
    zSizer kid1(temp), kid2(temp);
    delete temp;  // children are detached, not deleted
    EXPECT_EQ(nullptr, kid1.parent());
    EXPECT_EQ(nullptr, kid2.parent());
}

TEST(zSizer, RemovalDuringLayout) {
    // A child that drops a later sibling while it is being placed.
    struct Dropper : zGravSizer {
        Dropper(zSizer* p) : zGravSizer(zGravLeft, 10, p) {}
        void setArea(zRect& r, int noMove) override {
            zGravSizer::setArea(r, noMove);
            if (victim) {
                delete victim;
                victim = nullptr;
            }
        }
        zSizer* victim = nullptr;
    };
    zSizer root(0, 0, 100, 100);
    Dropper d(&root);
    d.victim = new zGravSizer(zGravLeft, 20, &root);
    zGravSizer last(zGravLeft, 30, &root);
    zRect r(0, 0, 100, 100);
    root.update(&r);
    EXPECT_EQ(zRect(10, 0, 40, 100), Placed(&last));
    EXPECT_EQ(2, root.childCount());
}

TEST(zSizer, OwnerWindows) {
    FakeOwner live(true), dead(false), fixedOwner(true);
    ASSERT_TRUE(IsWindow(live.windowHandle()));
    zSizer root(0, 0, 400, 300);
    zGravSizer side(zGravLeft, 100, &root);
    zGravSizer inner(zGravTop, 20, &side);
    side.setOwned(&live);
    zGravSizer other(zGravLeft, 50, &root);
    other.setOwned(&dead);
    zSizer absolute(200, 10, 30, 30, &root);
    absolute.setOwned(&fixedOwner);

    zRect r(0, 0, 400, 300);
    root.update(&r);
    ASSERT_EQ(1u, live.moves.size());
    EXPECT_EQ(zRect(0, 0, 100, 300), live.moves[0]);
    EXPECT_EQ(zRect(0, 0, 100, 20), Placed(&inner));  // in the owner's client coordinates
    EXPECT_TRUE(dead.moves.empty());
    EXPECT_TRUE(fixedOwner.moves.empty());  // gravity 6 does not move its window

    live.moves.clear();
    side.update(nullptr);  // size from the client area, children only
    EXPECT_TRUE(live.moves.empty());
    RECT rc;
    GetClientRect(live.windowHandle(), &rc);
    EXPECT_EQ(zDimension(rc.right, rc.bottom), side.dimension());

    zSizeWithParent swp;
    zEvent ev(live.windowHandle(), WM_SIZE, 0, MAKELPARAM(320, 240));
    swp.resize(&live, static_cast<zSizeEvt*>(&ev));
    ASSERT_EQ(1u, live.moves.size());
    EXPECT_EQ(zRect(0, 0, 320, 240), live.moves[0]);
}

TEST(zSizer, ReplaceTakesOverPlaceChildrenAndOwner) {
    FakeOwner w(true);
    zSizer root(0, 0, 400, 300);
    zSizer first(&root);
    zSizer* old = new zSizer(5, 6, 70, 80, &root);
    zSizer last(&root);
    zSizer k1(old), k2(old);
    old->setOwned(&w);
    w.sizer = old;
    zGravSizer* repl = new zGravSizer(zGravLeft, 70);
    old->replace(repl);  // old is deleted
    EXPECT_EQ(&root, repl->parent());
    EXPECT_EQ(3, root.childCount());
    EXPECT_EQ(2, repl->childCount());
    EXPECT_EQ(&k1, repl->children()->first());
    EXPECT_EQ(repl, k1.parent());
    EXPECT_EQ(&w, repl->owner());
    EXPECT_EQ(zPoint(5, 6), repl->pos());
    EXPECT_EQ(repl, w.getSizer());
    w.sizer = nullptr;
    delete repl;
}
