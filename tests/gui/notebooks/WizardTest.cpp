#include <gtest/gtest.h>

#include <string>

#include "DlgKit.h"
#include "ZKCString.h"
#include "zApp.h"
#include "zButton.h"
#include "zEdit.h"
#include "zResId.h"
#include "zWizardDialog.h"

using dlgkit::App;
using dlgkit::Pump;

namespace {

class Wizard : public zWizardDialog {
public:
    int nexts = 0, backs = 0, finishes = 0, closes = 0, checks = 0;
    Wizard() : zWizardDialog(nullptr, new zPageDef(zResId(500), 1), WS_POPUP | WS_CAPTION, "Wizard") {}
    int onNext(zEvent*) override {
        ++nexts;
        return 0;
    }
    int onBack(zEvent*) override {
        ++backs;
        return 0;
    }
    int onFinish(zEvent*) override {
        ++finishes;
        return 0;
    }
    void shutdown() override {
        ++closes;
        zWizardDialog::shutdown();
    }
};

// A page whose check fails while asked to, counting the checks.
class CheckedPage : public zDialogPage {
public:
    int fail = 0;
    int* checks;
    CheckedPage(zWizardDialog* w, zPageDef* d, int* counter) : zDialogPage(w, d, d->getStyle()), checks(counter) {}
    int checkData() override {
        ++*checks;
        return fail ? 0 : zDialogPage::checkData();
    }
};

class Wizards : public ::testing::Test {
protected:
    Wizard* wz = nullptr;
    int checks = 0;
    void SetUp() override {
        App();
        _app->mainFrame = nullptr;
        wz = new Wizard;
    }
    void TearDown() override {
        delete wz;
        Pump();
    }
    std::string nextText() const {
        char t[32] = "";
        GetWindowTextA(wz->nextBtn->hwnd, t, sizeof t);
        return t;
    }
    bool backEnabled() const { return IsWindowEnabled(wz->backBtn->hwnd) != 0; }
    bool nextEnabled() const { return IsWindowEnabled(wz->nextBtn->hwnd) != 0; }
    void click(zButton* b) {
        SendMessageA(b->hwnd, BM_CLICK, 0, 0);
        Pump();
    }
    CheckedPage* page(int id, int tab) {
        zPageDef* d = wz->add(new zPageDef(zResId(id), tab));
        return new CheckedPage(wz, d, &checks);
    }
};

TEST_F(Wizards, ButtonsFollowThePages) {
    EXPECT_EQ("Finish", nextText()) << "as built";
    EXPECT_FALSE(backEnabled());
    EXPECT_EQ(zWizNextId, GetDlgCtrlID(wz->nextBtn->hwnd));
    EXPECT_EQ(MAKELONG(zWizNextId, DC_HASDEFID), SendMessageA(wz->hwnd, DM_GETDEFID, 0, 0))
        << "a default press is Next, never Back";
    CheckedPage* one = page(500, 1);
    EXPECT_EQ("Next >", nextText()) << "after the first add";
    CheckedPage* two = page(510, 2);
    wz->show(SW_HIDE);
    EXPECT_EQ(one, wz->tabs->current()->page);

    click(wz->nextBtn);
    EXPECT_EQ(two, wz->tabs->current()->page);
    EXPECT_EQ("Finish", nextText()) << "on the last page";
    EXPECT_TRUE(backEnabled());
    int checked = checks;
    click(wz->backBtn);
    EXPECT_EQ(checked, checks) << "Back never checks";
    EXPECT_EQ(one, wz->tabs->current()->page);
    EXPECT_EQ("Next >", nextText());
    EXPECT_FALSE(backEnabled()) << "back on the first page";

    one->fail = 1;
    click(wz->nextBtn);
    EXPECT_EQ(one, wz->tabs->current()->page) << "a failing check stops Next";
    one->fail = 0;
    click(wz->nextBtn);
    two->fail = 1;
    click(wz->nextBtn);
    EXPECT_EQ(0, wz->finishes) << "nor does Finish run";
    two->fail = 0;
    click(wz->nextBtn);
    EXPECT_EQ(1, wz->finishes);
    EXPECT_EQ(1, wz->closes);
}

TEST_F(Wizards, LocksNestAndStripClicksDoNothing) {
    page(500, 1);
    page(510, 2);
    wz->show(SW_HIDE);
    click(wz->nextBtn);
    wz->lockPage();
    wz->lockPage();
    wz->unlockPage();
    EXPECT_FALSE(nextEnabled());
    EXPECT_FALSE(backEnabled());
    wz->unlockPage();
    EXPECT_TRUE(nextEnabled());
    EXPECT_TRUE(backEnabled()) << "not on the first page";
    wz->unlockPage();  // without a lock
    EXPECT_TRUE(nextEnabled());

    zTab* first = wz->tabs->tabs[0];
    SendMessageA(wz->tabs->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(first->x + 2, first->y + 2));
    EXPECT_EQ(2, wz->tabs->current()->tabId) << "the strip takes no clicks";
}

TEST_F(Wizards, EnterPressesNextEscapeCancels) {
    page(500, 1);
    page(510, 2);
    wz->show(SW_HIDE);
    HWND edit = wz->tabs->current()->page->get(502)->hwnd;
    SetFocus(edit);
    PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    EXPECT_EQ(1, wz->nexts);
    EXPECT_EQ(2, wz->tabs->current()->tabId);
    HWND edit2 = wz->tabs->current()->page->get(511)->hwnd;
    SetFocus(edit2);
    PostMessageA(edit2, WM_SYSKEYDOWN, 'A', 0x20000000);
    Pump();
    EXPECT_EQ(2, wz->tabs->current()->tabId) << "Alt+A presses nothing";
    PostMessageA(edit2, WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_EQ(1, wz->closes);
}

TEST_F(Wizards, TabLeavesThePageForTheButtons) {
    page(500, 1);
    page(510, 2);
    wz->show(SW_HIDE);
    auto tabFrom = [&](HWND from, bool shift) {
        BYTE state[256];
        GetKeyboardState(state);
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        SetFocus(from);
        PostMessageA(from, WM_KEYDOWN, VK_TAB, 0);
        Pump();
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
        return GetFocus();
    };
    zDialogPage* one = wz->tabs->current()->page;
    EXPECT_EQ(wz->nextBtn->hwnd, tabFrom(one->get(504)->hwnd, false)) << "Back is disabled on the first page";
    EXPECT_EQ(wz->cancelBtn->hwnd, tabFrom(one->get(502)->hwnd, true));
    EXPECT_EQ(one->get(503)->hwnd, tabFrom(one->get(502)->hwnd, false)) << "inside the page";
    click(wz->nextBtn);
    zDialogPage* two = wz->tabs->current()->page;
    EXPECT_EQ(wz->backBtn->hwnd, tabFrom(two->get(512)->hwnd, false));
    EXPECT_EQ(wz->cancelBtn->hwnd, tabFrom(two->get(511)->hwnd, true));
}

}  // namespace
