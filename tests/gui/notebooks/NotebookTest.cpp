#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DlgKit.h"
#include "WindowShot.h"
#include "ZKCString.h"
#include "zApp.h"
#include "zButton.h"
#include "zEdit.h"
#include "zNotebookDialog.h"
#include "zResId.h"
#include "zSizer.h"

using dlgkit::App;
using dlgkit::Pump;

namespace {

const unsigned long kConsoleStyle = 0x00C82000;

class Book : public zNotebookDialog {
public:
    int oks = 0, cancels = 0, applies = 0, closes = 0;
    HWND focusAtApply = 0;
    std::vector<unsigned> commands;
    Book(unsigned long flags) : zNotebookDialog(nullptr, new zPageDef(zResId(500), 1), kConsoleStyle | flags, "Book") {}
    int onOk(zEvent*) override {
        ++oks;
        return 0;
    }
    int onCancel(zEvent*) override {
        ++cancels;
        return 0;
    }
    int onApply(zEvent*) override {
        ++applies;
        focusAtApply = GetFocus();
        return 0;
    }
    void shutdown() override {
        ++closes;
        zNotebookDialog::shutdown();
    }
    int command(zCommandEvt* e) override {
        commands.push_back(e->cmd());
        return 0;
    }
};

class Notebooks : public ::testing::Test {
protected:
    Book* nb = nullptr;
    zPageDef* first = nullptr;
    zPageDef* second = nullptr;
    ZKCString name = "kept", other = "other";
    zEditLine* required = nullptr;

    void build(unsigned long flags = 0) {
        App();
        _app->mainFrame = nullptr;
        nb = new Book(flags);
        first = nb->add(new zPageDef(zResId(500), 1));
        zDialogPage* page = new zDialogPage(nb, first, first->getStyle());
        new zEditLine(page, 502, &name);
        second = nb->add(new zPageDef(zResId(510), 2));
    }
    void TearDown() override {
        delete nb;
        Pump();
    }
    // The second page, made by selecting it, with an edit that must not be empty.
    void makeSecond() {
        nb->select(second);
        required = new zEditLine(second->page, 511, &other);
        nb->select(first);
    }
    HWND on(zPageDef* d, int id) { return d->page->get(id)->hwnd; }
    static void key(WPARAM k, bool alt = false, bool shift = false) {
        BYTE state[256];
        GetKeyboardState(state);
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        HWND f = GetFocus();
        PostMessageA(f, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, k, alt ? 0x20000000 : 0);
        Pump();
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
        Pump();
    }
};

TEST_F(Notebooks, ButtonRowTabsAndLazyPages) {
    build(zNbHelp);
    ASSERT_TRUE(nb->okBtn && nb->cancelBtn && nb->applyBtn && nb->helpBtn);
    EXPECT_EQ(IDOK, GetDlgCtrlID(nb->okBtn->hwnd));
    EXPECT_EQ(IDCANCEL, GetDlgCtrlID(nb->cancelBtn->hwnd));
    EXPECT_EQ(5, GetDlgCtrlID(nb->applyBtn->hwnd));
    EXPECT_EQ(IDHELP, GetDlgCtrlID(nb->helpBtn->hwnd)) << "Help and Apply have their own ids";
    EXPECT_FALSE(IsWindowEnabled(nb->applyBtn->hwnd));
    char text[32];
    GetWindowTextA(nb->applyBtn->hwnd, text, sizeof text);
    EXPECT_STREQ("&Apply", text);
    // Left to right: OK, Cancel, Apply, Help.
    int lastLeft = -1;
    for (zButton* b : {(zButton*)nb->okBtn, (zButton*)nb->cancelBtn, (zButton*)nb->applyBtn, (zButton*)nb->helpBtn}) {
        RECT r = dlgkit::ChildRect(b->hwnd);
        EXPECT_GT(r.left, lastLeft);
        EXPECT_GT(r.right - r.left, 0);
        lastLeft = r.left;
    }
    ASSERT_EQ(2u, nb->tabs->tabs.size());
    EXPECT_STREQ("First", nb->tabs->tabs[0]->text.data());
    EXPECT_STREQ("Second", nb->tabs->tabs[1]->text.data()) << "the caption before the page exists";
    EXPECT_EQ(nullptr, second->page) << "made at its first selection";
    nb->show(SW_HIDE);
    EXPECT_EQ(first, nb->tabs->current());
    nb->select(second);
    ASSERT_NE(nullptr, second->page);
    EXPECT_TRUE(IsWindowVisible(second->page->hwnd) || !IsWindowVisible(nb->hwnd));
    EXPECT_EQ(nb->tabs->tabFont, second->page->getFont()) << "a page without a font keeps the strip's";
    EXPECT_NE(nb->tabs->tabFont, first->page->getFont()) << "a page with a font has its own";
    EXPECT_NE(nullptr, second->page->get(511)) << "controls built from the resource";
    EXPECT_FALSE(GetWindowLongA(first->page->hwnd, GWL_STYLE) & WS_VISIBLE) << "only the current page shows";
}

TEST_F(Notebooks, ApplyStateIsPerPageAndApplyFocusesOkFirst) {
    build();
    nb->select(first);
    nb->setAllowApply(1);
    EXPECT_TRUE(IsWindowEnabled(nb->applyBtn->hwnd));
    nb->select(second);
    EXPECT_FALSE(IsWindowEnabled(nb->applyBtn->hwnd)) << "never allowed on this page";
    nb->select(first);
    EXPECT_TRUE(IsWindowEnabled(nb->applyBtn->hwnd));
    SetFocus(on(first, 502));
    SendMessageA(nb->applyBtn->hwnd, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(1, nb->applies);
    EXPECT_EQ(nb->okBtn->hwnd, nb->focusAtApply);
    EXPECT_EQ(0, nb->closes);
}

TEST_F(Notebooks, OkChecksEveryPageBeforeStoringAny) {
    build();
    makeSecond();
    SetWindowTextA(on(first, 502), "changed");
    SetWindowTextA(on(second, 511), "");
    SendMessageA(nb->okBtn->hwnd, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(1, nb->oks);
    EXPECT_EQ(0, nb->closes);
    EXPECT_STREQ("kept", name.data()) << "nothing stored";
    EXPECT_EQ(second, nb->tabs->current()) << "the failing page is selected";
    EXPECT_EQ(on(second, 511), GetFocus());
    SetWindowTextA(on(second, 511), "filled");
    SendMessageA(nb->okBtn->hwnd, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(1, nb->closes);
    EXPECT_STREQ("changed", name.data());
    EXPECT_STREQ("filled", other.data());
}

TEST_F(Notebooks, KeysMoveAlongPagesAndButtons) {
    build();
    nb->show(SW_HIDE);
    nb->setAllowApply(1);
    struct Step {
        const char* what;
        HWND from;
        WPARAM key;
        bool alt, shift;
        HWND to;
    };
    HWND ok = nb->okBtn->hwnd, cancel = nb->cancelBtn->hwnd, apply = nb->applyBtn->hwnd;
    const Step steps[] = {
        {"Tab in the page", on(first, 502), VK_TAB, false, false, on(first, 503)},
        {"Tab past the last stop", on(first, 504), VK_TAB, false, false, ok},
        {"Tab from OK", ok, VK_TAB, false, false, cancel},
        {"Tab from Cancel", cancel, VK_TAB, false, false, apply},
        {"Tab from Apply into the page", apply, VK_TAB, false, false, on(first, 502)},
        {"Shift+Tab from Cancel", cancel, VK_TAB, false, true, ok},
        {"Shift+Tab before the first stop", on(first, 502), VK_TAB, false, true, apply},
        {"Shift+Tab in the page", on(first, 504), VK_TAB, false, true, on(first, 503)},
        {"label mnemonic", on(first, 504), 'N', true, false, on(first, 502)},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        SetFocus(s.from);
        ASSERT_EQ(s.from, GetFocus());
        key(s.key, s.alt, s.shift);
        EXPECT_EQ(s.to, GetFocus());
    }
    SetFocus(on(first, 502));
    key('G', true);
    EXPECT_EQ(on(first, 503), GetFocus()) << "a button mnemonic presses the button";
    ASSERT_FALSE(nb->commands.empty()) << "page commands reach the dialog";
    EXPECT_EQ(503u, nb->commands.back());
    SetFocus(ok);
    key('A', true);
    EXPECT_EQ(1, nb->applies) << "Alt+A on a button";
    SetFocus(on(first, 502));
    key('A', true);
    EXPECT_EQ(2, nb->applies) << "Alt+A in a page";
    SetFocus(on(first, 502));
    key(VK_RETURN);
    EXPECT_EQ(1, nb->oks) << "Enter in an edit presses OK once";
    EXPECT_EQ(1, nb->closes);
}

TEST_F(Notebooks, EnterOnTheStripAndEscape) {
    build();
    nb->show(SW_HIDE);
    // The strip hands the focus on to its page; the key comes to the strip itself.
    PostMessageA(nb->tabs->hwnd, WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    EXPECT_EQ(1, nb->oks);
    SetFocus(on(first, 504));
    key(VK_ESCAPE);
    EXPECT_EQ(1, nb->cancels);
}

TEST_F(Notebooks, WithoutApplyAltAIsIdleAndShiftTabReachesCancel) {
    build(zNbNoApply);
    nb->show(SW_HIDE);
    EXPECT_EQ(nullptr, nb->applyBtn);
    nb->setAllowApply(1);  // nothing to enable
    SetFocus(on(first, 502));
    key('A', true);
    EXPECT_EQ(0, nb->applies);
    EXPECT_EQ(on(first, 502), GetFocus());
    key(VK_TAB, false, true);
    EXPECT_EQ(nb->cancelBtn->hwnd, GetFocus());
}

TEST_F(Notebooks, NoPagesSelectNothing) {
    App();
    _app->mainFrame = nullptr;
    nb = new Book(zNbTrapezoid);
    EXPECT_TRUE(nb->tabs->isTrapezoid());
    nb->show(SW_HIDE);
    EXPECT_EQ(nullptr, nb->tabs->current());
    EXPECT_EQ(nullptr, nb->tabs->currentTab());
}

// Shows the notebook and paints it at once: pixels are read only from shown windows.
shot::Picture ShownAndCaptured(zNotebookDialog* nb, const char* name) {
    nb->show(SW_SHOWNORMAL);
    RedrawWindow(nb->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    shot::Picture p = shot::Capture(nb->hwnd);
    shot::Keep(p, name);
    return p;
}

const COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

// Square tabs: the selected tab opens into its page, the others stand on the baseline.
TEST_F(Notebooks, ShownNotebookDrawsTabsBaselineAndPageFrame) {
    build();
    makeSecond();
    shot::Picture p = ShownAndCaptured(nb, "notebook-two-pages");
    ASSERT_GT(p.width, 0);
    HWND strip = nb->tabs->hwnd;
    auto at = [&](int x, int y) { return p.atClient(strip, x, y); };
    zTab* sel = nb->tabs->tabs[0];
    zTab* other = nb->tabs->tabs[1];
    ASSERT_TRUE(sel->selected && !other->selected);
    // The selected tab is drawn 2 pixels larger to the left and the top.
    int x = sel->x - 2, y = sel->y - 2, w = sel->width + 2, h = sel->height + 2;
    EXPECT_EQ(kWhite, at(x, y + h / 2)) << "selected tab's left edge";
    EXPECT_EQ(kWhite, at(x + w / 2, y)) << "selected tab's top";
    EXPECT_EQ(kBlack, at(x + w, y + h / 2)) << "selected tab's right edge";
    int base = nb->tabs->area.bottom - 1;
    EXPECT_EQ(kWhite, at(other->x + other->width / 2, base)) << "baseline under the unselected tab";
    EXPECT_NE(kWhite, at(sel->x + sel->width / 2, base)) << "no baseline under the selected tab";
    EXPECT_EQ(kWhite, at(nb->tabs->area.right - 2, base)) << "baseline after the last tab";
    RECT v;
    GetClientRect(strip, &v);
    EXPECT_EQ(kBlack, at(v.right - 1, (base + v.bottom) / 2)) << "page frame's right edge";
    EXPECT_EQ(kBlack, at(v.right / 2, v.bottom - 1)) << "page frame's bottom edge";
}

TEST_F(Notebooks, ShownWithoutPagesTheStripHasOnlyItsBaseline) {
    App();
    _app->mainFrame = nullptr;
    nb = new Book(0);
    shot::Picture p = ShownAndCaptured(nb, "notebook-no-pages");
    ASSERT_GT(p.width, 0);
    const zRect& a = nb->tabs->area;
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    int odd = 0;
    for (int y = a.top; y < a.bottom - 1; ++y)
        for (int x = a.left; x < a.right; ++x) odd += p.atClient(nb->tabs->hwnd, x, y) != face;
    EXPECT_EQ(0, odd) << "nothing but the face colour above the baseline";
    int white = 0;
    for (int x = a.left; x < a.right - 1; ++x) white += p.atClient(nb->tabs->hwnd, x, a.bottom - 1) == kWhite;
    EXPECT_EQ(a.width() - 1, white) << "the baseline runs across the strip";
}

}  // namespace
