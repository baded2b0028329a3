#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DlgKit.h"
#include "WindowShot.h"
#include "zApp.h"
#include "zDisplay.h"
#include "zFont.h"
#include "zRegion.h"
#include "zResId.h"
#include "zNotify.h"
#include "zSizer.h"
#include "zString.h"
#include "zTabCtrl.h"

using dlgkit::App;
using dlgkit::Pump;

namespace {

zDimension measured(const char* text) {
    zFont f("MS Sans Serif", zPrPoint(0, -80));
    ziInfoDisplay d;
    d.pushFont(&f);
    zDimension r = d.getTextDim(text, (int)strlen(text));
    d.popFont();
    return r;
}

class Strip : public zTabCtrl {
public:
    int allow = 1;
    int asked = 0;
    std::vector<std::pair<int, int>> changes;
    Strip(zWindow* parent, unsigned long style) : zTabCtrl(parent, new zSizer(0, 0, 400, 120), style, nullptr, 7) {}
    int onAllowPageChange(int, int) override {
        ++asked;
        return allow;
    }
    void onPageChange(int n, int o) override { changes.push_back({n, o}); }
};

class Seen : public zEvH {
public:
    int count = 0;
    int on(zEvent*) {
        ++count;
        return 1;
    }
};

class TabStrips : public ::testing::TestWithParam<unsigned long> {
protected:
    zAppFrame* frame = nullptr;
    Strip* strip = nullptr;
    std::vector<zTab*> mine;
    void SetUp() override {
        App();
        frame = new zAppFrame(nullptr, nullptr, WS_POPUP, "tabs", 0);
        _app->mainFrame = nullptr;
        MoveWindow(frame->hwnd, 0, 0, 500, 300, TRUE);
        strip = new Strip(frame, GetParam());
        MoveWindow(strip->hwnd, 0, 0, 400, 120, TRUE);
    }
    void TearDown() override {
        delete frame;
        for (zTab* t : mine) delete t;
    }
    zTab* tab(int id, const char* text) {
        zTab* t = new zTab(strip, id, ZKCString(text));
        mine.push_back(t);
        strip->appendTab(t);
        return t;
    }
    bool trap() const { return (GetParam() & zTabTrapezoid) != 0; }
    // Where each tab must be, from the measured texts alone.
    void expectLaidOut(const char* what) {
        SCOPED_TRACE(what);
        int stripHeight = measured("zApp is the Best").height + GetSystemMetrics(SM_CYCAPTION) - 7;
        EXPECT_EQ(stripHeight, strip->area.height());
        EXPECT_EQ(trap() ? 120 - stripHeight : 0, strip->area.top);
        EXPECT_EQ(397, strip->area.right) << "3 pixels kept for the overflow mark";
        int x = trap() ? 8 : 3;
        for (zTab* t : strip->tabs) {
            zDimension d = measured(t->text.length() ? t->text.data() : "Empty");
            EXPECT_EQ(d.width + 14 + (trap() ? 2 : 0), t->width) << t->text.data();
            EXPECT_EQ(d.height + d.height / 2, t->height);
            EXPECT_EQ(x, t->x) << t->text.data();
            EXPECT_EQ(trap() ? strip->area.top : strip->area.bottom - t->height - 1, t->y);
            x += t->width + 1 - (trap() ? t->height / 3 : 0);
        }
    }
};

TEST_P(TabStrips, TabsAreLaidOutFromTheirMeasuredText) {
    tab(1, "One");
    zTab* two = tab(2, "Second tab");
    tab(3, "");
    strip->resetTabsPos();
    expectLaidOut("appended");
    strip->removeTab(two);
    EXPECT_EQ(2u, strip->tabs.size());
    strip->resetTabsPos();
    expectLaidOut("removed");
    strip->changeTabText(3, "Third, renamed");
    expectLaidOut("text changed");
    strip->removeTab(99);  // no such tab
    EXPECT_EQ(2u, strip->tabs.size());
}

TEST_P(TabStrips, SelectionAsksNotifiesAndCanBeVetoed) {
    Seen seen;
    strip->setNotifySelChange(&seen, zHandlerOf(&Seen::on));
    zTab* a = tab(1, "A");
    zTab* b = tab(2, "B");
    strip->select(a);
    Pump();
    EXPECT_EQ(a, strip->currentTab());
    EXPECT_EQ(1, seen.count);
    ASSERT_EQ(1u, strip->changes.size());
    EXPECT_EQ(std::make_pair(1, 0), strip->changes[0]);

    strip->allow = 0;
    strip->select(b);
    Pump();
    EXPECT_EQ(a, strip->currentTab()) << "vetoed";
    EXPECT_TRUE(a->selected && !b->selected);
    EXPECT_EQ(1, seen.count);

    strip->allow = 1;
    int asked = strip->asked;
    strip->select(1);
    Pump();
    EXPECT_EQ(asked + 1, strip->asked) << "reselecting still asks";
    EXPECT_EQ(1u, strip->changes.size()) << "but neither redraws nor reports";
    EXPECT_EQ(1, seen.count);

    strip->select(2);
    Pump();
    EXPECT_EQ(b, strip->currentTab());
    EXPECT_EQ(std::make_pair(2, 1), strip->changes.back());
    EXPECT_EQ(2, seen.count);
    strip->removeNotifySelChange(&seen, zHandlerOf(&Seen::on));
}

TEST_P(TabStrips, ClicksOnEdgesAndArrowKeys) {
    zTab* a = tab(1, "Alpha");
    strip->resetTabsPos();
    auto key = [&](WPARAM k) { return SendMessageA(strip->hwnd, WM_KEYDOWN, k, 0); };
    strip->select(a);
    key(VK_LEFT);
    EXPECT_EQ(a, strip->currentTab()) << "one tab: arrows idle";
    zTab* b = tab(2, "Beta");
    zTab* c = tab(3, "Gamma");
    strip->resetTabsPos();
    key(VK_LEFT);
    EXPECT_EQ(a, strip->currentTab()) << "left arrow on the first tab";
    key(VK_RIGHT);
    EXPECT_EQ(b, strip->currentTab());
    key(VK_LEFT);
    EXPECT_EQ(a, strip->currentTab());

    auto click = [&](int x, int y) { SendMessageA(strip->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); };
    click(c->x + c->width, c->y + c->height / 2);
    EXPECT_EQ(c, strip->currentTab()) << "right edge";
    click(b->x + b->width / 2, b->y + b->height);
    EXPECT_EQ(b, strip->currentTab()) << "bottom edge";
    if (trap()) {
        // Trapezoid tabs overlap by their slant: the earlier one wins there.
        ASSERT_LE(c->x, b->x + b->width);
        click(b->x + b->width, b->y + 1);
        EXPECT_EQ(b, strip->currentTab());
        click(c->x, c->y + 1);
        EXPECT_EQ(b, strip->currentTab());
    }
}

// Tabs wider than the strip: the square style marks the cut in its right band.
TEST_P(TabStrips, TornEdgeMarkInTheSquareStyleOnly) {
    for (int i = 1; i <= 10; ++i) tab(i, "A rather long tab");
    strip->resetTabsPos();
    zTab* last = strip->lastVisTab();
    ASSERT_NE(nullptr, last);
    ASSERT_GT(last->x + last->width, strip->area.right) << "the tabs must overflow";
    frame->show(SW_SHOWNORMAL);
    strip->show(SW_SHOWNORMAL);
    RedrawWindow(frame->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    shot::Picture p = shot::Capture(frame->hwnd);
    shot::Keep(p, trap() ? "tabs-overflow-trapezoid" : "tabs-overflow-square");
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    int marked = 0;
    // Rows below the trapezoid strip's two top lines, which cross the band.
    for (int y = last->y + 2; y < last->y + last->height - 1; ++y)
        for (int x = strip->area.right + 1; x <= strip->area.right + 3; ++x)
            marked += p.atClient(strip->hwnd, x, y) == shadow;
    if (trap()) EXPECT_EQ(0, marked);
    else EXPECT_GT(marked, 3);
}

INSTANTIATE_TEST_SUITE_P(Styles, TabStrips, ::testing::Values(0ul, zTabTrapezoid),
                         [](const ::testing::TestParamInfo<unsigned long>& i) {
                             return std::string(i.param ? "Trapezoid" : "Square");
                         });

TEST(TabStrip, TabsFromAStringBlockAndBindings) {
    App();
    zAppFrame frame(nullptr, nullptr, WS_POPUP, "tabs", 0);
    _app->mainFrame = nullptr;
    zTabCtrl* strip = new zTabCtrl(&frame, new zSizer(0, 0, 300, 80), 0, nullptr, 3);
    zResStrBlock block{zResId(520)};
    strip->createAndAppendTabs(block);
    ASSERT_EQ(2u, strip->tabs.size());
    EXPECT_EQ(10, strip->tabs[0]->id);
    EXPECT_STREQ("Alpha", strip->tabs[0]->text.data());
    EXPECT_EQ(20, strip->tabs[1]->id);
    EXPECT_STREQ("Beta two", strip->tabs[1]->text.data());

    EXPECT_EQ(0, strip->storeData()) << "unbound";
    EXPECT_EQ(1, strip->setToDefault());
    int id = 20;
    strip->setStoreAddr(&id);
    EXPECT_EQ(1, strip->setToDefault());
    EXPECT_EQ(strip->tabs[1], strip->currentTab());
    strip->select(10);
    EXPECT_EQ(1, strip->storeData());
    EXPECT_EQ(10, id);
    zTab* bound = strip->tabs[1];
    strip->setStoreAddr(&bound);
    strip->setToDefault();
    EXPECT_EQ(strip->tabs[1], strip->currentTab());
    strip->select(10);
    strip->storeData();
    EXPECT_EQ(strip->tabs[0], bound);
}

}  // namespace
