#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DlgKit.h"
#include "zButton.h"
#include "zDialogFrame.h"
#include "zDlgTemplate.h"
#include "zEdit.h"
#include "zFont.h"
#include "zListBox.h"
#include "zResId.h"
#include "zScrollBar.h"
#include "zSizer.h"

using namespace dlgkit;

namespace {

// A framework child class that templates name by its registered type.
class TestPane : public zChildWin {
public:
    TestPane(zWindow* parent, zSizer* s, unsigned long style, int id) : zChildWin(parent, s, style, id) {}
};

zChildWin* buildPane(zWindow* parent, zSizer* s, unsigned long style, const char*, int id) {
    TestPane* p = new TestPane(parent, s, style, id);
    p->create();
    return p;
}

zControlType paneType("QvCustomPane", buildPane);

void registerSuperclass() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QVSUPER";  // as the resource compiler writes the name
    RegisterClassA(&wc);
    new zSuperClass(ZKCString("QVSUPER"), nullptr, 0);
}

// The template font measured here, apart from the reader.
struct Metrics {
    int avg, height;
};

Metrics measure(const char* face, int points) {
    zFont f(face, zPrPoint(0, points * 10), 400);
    HDC dc = CreateICA("DISPLAY", 0, 0, 0);
    HGDIOBJ old = SelectObject(dc, f.hfont());
    SIZE sz;
    GetTextExtentPointA(dc, zDialogUnit::measureString(), 52, &sz);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    int avg = sz.cx / 52 + (sz.cx % 52 > 25 ? 1 : 0);
    return {avg, tm.tmHeight + tm.tmExternalLeading};
}

int px(const Metrics& m, int u) { return m.avg * u / 4 + ((m.avg * u) % 4 > 1 ? 1 : 0); }
int py(const Metrics& m, int u) { return m.height * u / 8 + ((m.height * u) % 8 > 3 ? 1 : 0); }

class Reader : public ::testing::Test {
protected:
    zDialogFrame* dlg = nullptr;
    void SetUp() override {
        App();
        registerSuperclass();
    }
    void TearDown() override {
        delete dlg;
        Pump();
    }
    zWindow* child(int id) { return dlg->get(id); }
};

}  // namespace

TEST(DialogUnits, ArithmeticOnGivenMeasures) {
    struct {
        int extent, avg;
    } widths[] = {{260, 5}, {285, 5}, {286, 6}, {0, 0}};
    for (auto& c : widths) EXPECT_EQ(c.avg, zDialogUnit::averageWidth(c.extent)) << c.extent;
    struct {
        int units, pixels;
    } xs[] = {{1, 1}, {2, 3}, {3, 4}, {4, 5}, {0, 0}};
    for (auto& c : xs) EXPECT_EQ(c.pixels, zDialogUnit::toPixelsX(5, c.units)) << c.units;
    struct {
        int units, pixels;
    } ys[] = {{8, 13}, {1, 2}, {3, 5}, {0, 0}};
    for (auto& c : ys) EXPECT_EQ(c.pixels, zDialogUnit::toPixelsY(13, c.units)) << c.units;
}

TEST(DialogUnits, WithoutDisplayUseTheBaseUnits) {
    LONG base = GetDialogBaseUnits();
    zDialogUnit u(8, 16, static_cast<zDisplay*>(nullptr));
    EXPECT_EQ(LOWORD(base) * 8 / 4, u.x());
    EXPECT_EQ(HIWORD(base) * 16 / 8, u.y());
    zDialogUnit f(8, 16, static_cast<zFont*>(nullptr));
    EXPECT_EQ(u.x(), f.x());
}

TEST_F(Reader, BuildsTheObjectOfEachItem) {
    dlg = new zDialogFrame(nullptr, zResId(100));
    ASSERT_TRUE(dlg->hwnd);
    struct {
        int id;
        bool (*is)(zWindow*);
        const char* what;
    } table[] = {
        {101, [](zWindow* w) { return dynamic_cast<zPushButton*>(w) != nullptr; }, "push button"},
        {1, [](zWindow* w) { return dynamic_cast<zDefPushButton*>(w) != nullptr; }, "default push button"},
        {103, [](zWindow* w) { return dynamic_cast<zCheckBox*>(w) != nullptr; }, "check box"},
        {201, [](zWindow* w) { return dynamic_cast<zRadioButton*>(w) != nullptr; }, "auto radio button"},
        {203, [](zWindow* w) { return dynamic_cast<zRadioButton*>(w) != nullptr; }, "radio button"},
        {104, [](zWindow* w) { return dynamic_cast<zEditBase*>(w) != nullptr; }, "edit"},
        {105, [](zWindow* w) { return dynamic_cast<zStaticText*>(w) != nullptr; }, "static"},
        {106, [](zWindow* w) { return dynamic_cast<zListBoxBase*>(w) != nullptr; }, "list box"},
        {107, [](zWindow* w) { return dynamic_cast<zComboBoxBase*>(w) != nullptr; }, "combo box"},
        {108, [](zWindow* w) { return dynamic_cast<zScrollBarBase*>(w) != nullptr; }, "scroll bar"},
        {109, [](zWindow* w) { return dynamic_cast<TestPane*>(w) != nullptr; }, "registered type"},
        {111, [](zWindow* w) { return dynamic_cast<zGenericControl*>(w) != nullptr; }, "superclassed class"},
        {113, [](zWindow* w) { return typeid(*w) == typeid(zButton); }, "group box as plain button"},
    };
    for (auto& row : table) {
        zWindow* w = child(row.id);
        ASSERT_NE(nullptr, w) << row.what;
        EXPECT_TRUE(row.is(w)) << row.what;
        EXPECT_TRUE(w->hwnd && IsWindow(w->hwnd)) << row.what;
        EXPECT_EQ(dlg->hwnd, GetParent(w->hwnd)) << row.what;
    }
    // An unknown class makes nothing; the rest still came.
    EXPECT_EQ(nullptr, child(112));
    EXPECT_EQ(16u, dlg->children.size());
    EXPECT_EQ(1, dlg->defaultButton());  // the first default push button wins
    EXPECT_EQ(BS_AUTORADIOBUTTON, GetWindowLongA(child(201)->hwnd, GWL_STYLE) & 0xF);
    EXPECT_EQ(BS_RADIOBUTTON, GetWindowLongA(child(203)->hwnd, GWL_STYLE) & 0xF);
    EXPECT_STREQ("All controls", dlg->caption().data());
    EXPECT_FALSE(IsWindowVisible(dlg->hwnd));  // WS_VISIBLE of the template waits for show
}

TEST_F(Reader, PlacesItemsByTheMeasuredFont) {
    dlg = new zDialogFrame(nullptr, zResId(100));
    Metrics m = measure("MS Sans Serif", 8);
    ASSERT_GT(m.avg, 0);
    struct {
        int id, x, y, cx, cy;
    } items[] = {{101, 5, 5, 50, 14},  {1, 60, 5, 50, 14},   {103, 5, 25, 60, 10},
                 {104, 5, 55, 100, 12}, {105, 110, 55, 40, 8}, {108, 135, 70, 10, 40}};
    for (auto& it : items) {
        RECT r = ChildRect(child(it.id)->hwnd);
        EXPECT_EQ(px(m, it.x), r.left) << it.id;
        EXPECT_EQ(py(m, it.y), r.top) << it.id;
        EXPECT_EQ(px(m, it.x + 0) + px(m, it.cx), r.right) << it.id;
        EXPECT_EQ(py(m, it.y) + py(m, it.cy), r.bottom) << it.id;
    }
    // The frame carries the template's font, and so do its controls.
    ASSERT_NE(nullptr, dlg->getFont());
    EXPECT_EQ((WPARAM)dlg->getFont()->hfont(), (WPARAM)SendMessageA(child(101)->hwnd, WM_GETFONT, 0, 0));
}

TEST_F(Reader, AnyWindowMayBePopulatedFromATemplate) {
    dlg = new zDialogFrame(nullptr, new zSizer(0, 0, 300, 200), WS_POPUP | WS_CAPTION, "plain");
    ASSERT_EQ(nullptr, dlg->getFont());
    EXPECT_EQ(0, dlg->populateFromRes(zResId(999)));  // no such template
    EXPECT_TRUE(dlg->children.empty());

    // The static text; the item naming "button" as a class string is not a known type.
    EXPECT_EQ(1, dlg->populateFromRes(zResId(102)));
    ASSERT_NE(nullptr, child(10));
    // The template's font came first, so the items are placed by it and carry it.
    ASSERT_NE(nullptr, dlg->getFont());
    EXPECT_EQ((WPARAM)dlg->getFont()->hfont(), (WPARAM)SendMessageA(child(10)->hwnd, WM_GETFONT, 0, 0));
    Metrics m = measure("MS Sans Serif", 8);
    RECT r = ChildRect(child(10)->hwnd);
    EXPECT_EQ(px(m, 2), r.left);
    EXPECT_EQ(py(m, 2), r.top);
    EXPECT_EQ(px(m, 2) + px(m, 40), r.right);
    EXPECT_STREQ("plain", dlg->caption().data());  // the window's own caption stays
}

TEST_F(Reader, NoFontMeansBaseUnits) {
    dlg = new zDialogFrame(nullptr, zResId(101));
    LONG base = GetDialogBaseUnits();
    RECT r = ChildRect(child(1)->hwnd);
    EXPECT_EQ(LOWORD(base) * 4 / 4, r.left);
    EXPECT_EQ(HIWORD(base) * 8 / 8, r.top);
    EXPECT_EQ(LOWORD(base) * 40 / 4, r.right - r.left);
    EXPECT_EQ(HIWORD(base) * 16 / 8, r.bottom - r.top);
    EXPECT_EQ(nullptr, dlg->getFont());
}

TEST_F(Reader, CharactersAboveLatinOneDoNotEndAString) {
    dlg = new zDialogFrame(nullptr, zResId(300));
    ASSERT_EQ(2u, dlg->children.size());
    // The character becomes whatever the code page makes of it, one byte wide.
    char mapped[8] = {0};
    wchar_t wide[] = {0x0100, 0};
    WideCharToMultiByte(CP_ACP, 0, wide, 1, mapped, sizeof mapped, nullptr, nullptr);
    EXPECT_EQ(std::string("A") + mapped + "B", dlg->caption().data());
    zControl* button = dynamic_cast<zControl*>(child(1));
    zControl* edit = dynamic_cast<zControl*>(child(3));
    ASSERT_TRUE(button && edit);
    wide[0] = 0x0200;
    char mapped2[8] = {0};
    WideCharToMultiByte(CP_ACP, 0, wide, 1, mapped2, sizeof mapped2, nullptr, nullptr);
    EXPECT_EQ(std::string("O") + mapped2 + "k", button->text().data());
    EXPECT_EQ(std::string("x") + mapped + "y", edit->text().data());
    // Positions are signed: -8 units lies left of the client area.
    LONG base = GetDialogBaseUnits();
    EXPECT_EQ(LOWORD(base) * -8 / 4, ChildRect(button->hwnd).left);
}

TEST_F(Reader, NegativeDialogPositionStaysNegative) {
    zDialogFrame* d = new zDialogFrame(nullptr, zResId(300), 0, 1);
    LONG base = GetDialogBaseUnits();
    zPoint p = d->getSizer()->pos();
    EXPECT_EQ(LOWORD(base) * -10 / 4, p.x);
    EXPECT_EQ(HIWORD(base) * -4 / 8, p.y);
    delete d;
}

TEST_F(Reader, UnreadableTemplatesGiveAnEmptyDialog) {
    struct {
        int id;
        const char* what;
    } cases[] = {{301, "extended form"}, {302, "cut short in an item"}, {9999, "missing"}};
    for (auto& c : cases) {
        zDialogFrame* d = new zDialogFrame(nullptr, zResId(c.id));
        EXPECT_TRUE(d->children.empty()) << c.what;
        EXPECT_EQ(0xFFFF, d->defaultButton()) << c.what;
        delete d;
    }
    ziDialogReader ex(nullptr, zResId(301));
    EXPECT_NE(0, ex.status);
    EXPECT_EQ(0, ex.itemCount);
}

TEST_F(Reader, OverLongTitleIsCutButSkippedWhole) {
    dlg = new zDialogFrame(nullptr, zResId(204));
    EXPECT_EQ(999u, dlg->caption().length());
    zControl* after = dynamic_cast<zControl*>(child(7));
    ASSERT_NE(nullptr, after);
    EXPECT_EQ(std::string("After"), after->text().data());
}

TEST_F(Reader, TemplateMenuComesWithTheFrame) {
    dlg = new zDialogFrame(nullptr, zResId(203));
    ASSERT_NE(nullptr, dlg->menu());
    EXPECT_NE((HMENU)0, GetMenu(dlg->hwnd));
}

TEST_F(Reader, ClassNamesAsWritten) {
    dlg = new zDialogFrame(nullptr, zResId(303));
    EXPECT_NE(nullptr, dynamic_cast<zScrollBarBase*>(child(21)));  // exact "scrollbar"
    EXPECT_EQ(nullptr, child(22));                                 // no type of that case
    EXPECT_NE(nullptr, dynamic_cast<TestPane*>(child(23)));        // types ignore case
}
