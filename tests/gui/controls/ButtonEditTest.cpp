#include <string>

#include "CtlFixture.h"
#include "zButton.h"
#include "zEdit.h"
#include "zNotify.h"
#include "zString.h"

using namespace dlgkit;

namespace {

// Three plain radio buttons with consecutive ids, made in code.
void radios(Ctl* t, zDialogFrame* dlg, int first, int y, zSizer* (Ctl::*at)(int, int, int, int)) {
    for (int i = 0; i < 3; ++i)
        new zRadioButton(dlg, (t->*at)(5 + 40 * i, y, 35, 12), WS_TABSTOP, "r", first + i);
}

bool tabStop(HWND h) { return (GetWindowLongA(h, GWL_STYLE) & WS_TABSTOP) != 0; }
int checked(HWND h) { return (int)SendMessageA(h, BM_GETCHECK, 0, 0); }
void click(zDialogFrame* dlg, int id) {
    zWindow* w = dlg->get(id);
    SendMessageA(dlg->hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)(w ? w->hwnd : 0));
}

class Buttons : public Ctl {
public:
    using Ctl::at;
};

}  // namespace

TEST_F(Buttons, CheckBoxExchangesItsState) {
    fromTemplate();
    int value = 1;
    zCheckBox* box = new zCheckBox(dlg, 10, &value, 0);
    EXPECT_EQ(1, box->check());
    box->check(0);
    EXPECT_EQ(1, box->storeData());
    EXPECT_EQ(0, value);
    value = 1;
    EXPECT_EQ(1, box->setToDefault());
    EXPECT_EQ(1, box->check());
    zCheckBox* unbound = new zCheckBox(dlg, at(5, 100, 50, 12), 0, "u", 90);
    EXPECT_EQ(0, unbound->storeData());
    EXPECT_EQ(0, unbound->setToDefault());
    EXPECT_EQ(BS_AUTOCHECKBOX, GetWindowLongA(unbound->hwnd, GWL_STYLE) & 0xF);
}

TEST_F(Buttons, RadioGroupMovesCheckAndTabStop) {
    plain();
    radios(this, dlg, 201, 5, &Buttons::at);
    int value = 202;
    zRadioGroup* g = new zRadioGroup(dlg, 201, 203, &value, 0);
    EXPECT_EQ(dlg->get(202), g->currentButton());
    EXPECT_EQ(BST_CHECKED, checked(item(202)));
    EXPECT_TRUE(tabStop(item(202)));
    EXPECT_FALSE(tabStop(item(201)));
    click(dlg, 203);
    EXPECT_EQ(BST_UNCHECKED, checked(item(202)));
    EXPECT_EQ(BST_CHECKED, checked(item(203)));
    EXPECT_FALSE(tabStop(item(202)));
    EXPECT_TRUE(tabStop(item(203)));
    EXPECT_EQ(1, g->storeData());
    EXPECT_EQ(203, value);
    // Only clicks count.
    SendMessageA(dlg->hwnd, WM_COMMAND, MAKEWPARAM(201, BN_DOUBLECLICKED), 0);
    EXPECT_EQ(BST_CHECKED, checked(item(203)));
}

TEST_F(Buttons, UnboundGroupChecksItsFirstButton) {
    plain();
    radios(this, dlg, 201, 5, &Buttons::at);
    zRadioGroup* g = new zRadioGroup(dlg, 201, 203);
    EXPECT_EQ(g, g->currentButton());
    EXPECT_EQ(BST_CHECKED, checked(g->hwnd));
    EXPECT_EQ(1, g->checkData());
    EXPECT_EQ(1, g->storeData());  // nothing bound, nothing stored
    EXPECT_EQ(0, g->setToDefault());
}

TEST_F(Buttons, TwoGroupsHandleOnlyTheirOwnIds) {
    plain();
    radios(this, dlg, 201, 5, &Buttons::at);
    radios(this, dlg, 301, 25, &Buttons::at);
    int a = 201, b = 303;
    zRadioGroup* ga = new zRadioGroup(dlg, 201, 203, &a, 0);
    zRadioGroup* gb = new zRadioGroup(dlg, 301, 303, &b, 0);
    click(dlg, 302);
    EXPECT_EQ(dlg->get(201), ga->currentButton());
    EXPECT_EQ(dlg->get(302), gb->currentButton());
    EXPECT_EQ(BST_CHECKED, checked(item(201)));
    // A deleted group takes its click record along.
    int before = dlg->commandList()->count();
    delete gb;
    EXPECT_EQ(before - 1, dlg->commandList()->count());
    click(dlg, 301);
    EXPECT_EQ(BST_CHECKED, checked(item(201)));
}

TEST_F(Buttons, ClickOnAMissingButtonLeavesNoChoice) {
    plain();
    new zRadioButton(dlg, at(5, 5, 35, 12), 0, "a", 201);
    new zRadioButton(dlg, at(45, 5, 35, 12), 0, "b", 202);
    int value = 201;
    zRadioGroup* g = new zRadioGroup(dlg, 201, 203, &value, 0);
    SendMessageA(dlg->hwnd, WM_COMMAND, MAKEWPARAM(203, BN_CLICKED), 0);
    EXPECT_EQ(nullptr, g->currentButton());
    EXPECT_EQ(0, g->checkData());
    EXPECT_EQ(0, g->storeData());
    EXPECT_EQ(201, value);
}

TEST_F(Buttons, RadioControllerFindsTheCheckedButtonAndStoresAtOnce) {
    plain();
    radios(this, dlg, 201, 5, &Buttons::at);
    SendMessageA(item(202), BM_SETCHECK, BST_CHECKED, 0);
    zRadioController c(dlg, 201, 203);
    EXPECT_EQ(dlg->get(202), c.currentButton());
    int value = 0;
    c.setStoreAddr(&value);
    click(dlg, 201);
    EXPECT_EQ(201, value);
    EXPECT_EQ(BST_UNCHECKED, checked(item(202)));
}

TEST_F(Buttons, GroupBoxAndPushButtonTypes) {
    plain();
    zGroupBox* box = new zGroupBox(dlg, at(0, 0, 100, 50), 0, "g", 1);
    zDefPushButton* def = new zDefPushButton(dlg, at(0, 60, 40, 14), 0, "d", 2);
    EXPECT_EQ(BS_GROUPBOX, GetWindowLongA(box->hwnd, GWL_STYLE) & 0xF);
    EXPECT_EQ(zColorParent, box->backgroundColorValue());
    EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongA(def->hwnd, GWL_STYLE) & 0xF);
}

// ---- edit fields ----------------------------------------------------------------

TEST_F(Ctl, BoundEditShowsItsStringUnlessEmpty) {
    fromTemplate();
    SetWindowTextA(item(11), "from template");
    SetWindowTextA(item(12), "from template");
    ZKCString empty, host("mail.example");
    new zEditLine(dlg, 11, &empty);
    new zEditLine(dlg, 12, &host);
    char buf[64];
    GetWindowTextA(item(11), buf, sizeof buf);
    EXPECT_STREQ("from template", buf);
    GetWindowTextA(item(12), buf, sizeof buf);
    EXPECT_STREQ("mail.example", buf);
}

TEST_F(Ctl, EditDataExchange) {
    fromTemplate();
    zString required("x"), optional("y");
    zEditLine* a = new zEditLine(dlg, 11, &required);
    zEditLine* b = new zEditLine(dlg, 12, &optional, zCtlEmptyOk);
    a->text("");
    b->text("");
    EXPECT_EQ(0, a->checkData());
    EXPECT_EQ(1, b->checkData());
    EXPECT_EQ(1, b->storeData());
    EXPECT_STREQ("", optional.data());
    a->text("typed");
    EXPECT_EQ(1, a->storeData());
    EXPECT_STREQ("typed", required.data());
    zEditLine* unbound = new zEditLine(dlg, at(0, 100, 80, 14), 0, "free", 95);
    EXPECT_EQ(1, unbound->checkData());
    EXPECT_EQ(0, unbound->storeData());
    EXPECT_EQ(0, unbound->setToDefault());
}

TEST_F(Ctl, DisabledEditsStillTakeText) {
    plain();
    zEditLine* made = new zEditLine(dlg, at(0, 0, 80, 14), WS_DISABLED, "at creation", 1);
    char buf[64];
    GetWindowTextA(made->hwnd, buf, sizeof buf);
    EXPECT_STREQ("at creation", buf);
    EXPECT_FALSE(IsWindowEnabled(made->hwnd));
    made->text("later");
    EXPECT_STREQ("later", made->text().data());
    EXPECT_FALSE(IsWindowEnabled(made->hwnd));
}

TEST_F(Ctl, EditSelection) {
    plain();
    zEditLine* e = new zEditLine(dlg, at(0, 0, 120, 14), 0, "abcdefgh", 1);
    e->selection(6, 2);  // backwards
    std::pair<int, int> s = e->selection();
    EXPECT_EQ(2, s.first);
    EXPECT_EQ(6, s.second);
    EXPECT_STREQ("cdef", e->getSelection().data());
    e->selection(3, 3);
    EXPECT_STREQ("", e->getSelection().data());
    e->replaceSelection("XY");
    EXPECT_STREQ("abcXYdefgh", e->text().data());
    e->limitText(4);
    EXPECT_EQ(4, (int)SendMessageA(e->hwnd, EM_GETLIMITTEXT, 0, 0));
    e->hasChanged(0);
    EXPECT_EQ(0, e->hasChanged());
    zEditBox* box = new zEditBox(dlg, at(0, 20, 120, 60), 0, "", 2);
    EXPECT_TRUE(GetWindowLongA(box->hwnd, GWL_STYLE) & ES_MULTILINE);
    EXPECT_EQ(zCtlEdit, box->controlKind());
}
