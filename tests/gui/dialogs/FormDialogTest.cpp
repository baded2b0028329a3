#include <gtest/gtest.h>

#include <string>

#include "DlgKit.h"
#include "zButton.h"
#include "zDialogFrame.h"
#include "zEdit.h"
#include "zListBox.h"
#include "zResId.h"

using namespace dlgkit;

namespace {

// Form 200 with every field bound, the way the console binds its dialogs.
struct Bound {
    ZKCString host{"gateway"};
    ZKCString optional{""};
    int check = 1;
    int radio = 402;
    int listIndex = -5;
    ZKCString typed{"start"};
    ZKCString picked{"beta"};
    ZKCString disabled{"kept"};
};

class Form : public ::testing::Test {
protected:
    Bound v;
    zFormDialog* dlg = nullptr;
    zEditLine* host = nullptr;
    zRadioGroup* radios = nullptr;
    zListBox* list = nullptr;
    zComboBoxFull* typed = nullptr;
    zComboBoxStatic* picked = nullptr;
    zEditLine* disabled = nullptr;

    void SetUp() override { App(); }
    void TearDown() override {
        delete dlg;
        Pump();
    }
    void build(unsigned long listFlags = 0) {
        dlg = new zFormDialog(nullptr, zResId(200));
        host = new zEditLine(dlg, 301, &v.host);
        new zEditLine(dlg, 302, &v.optional, zCtlEmptyOk);
        new zCheckBox(dlg, 303, &v.check, 0);
        radios = new zRadioGroup(dlg, 401, 403, &v.radio, 0);
        list = new zListBox(dlg, 304, &v.listIndex, listFlags);
        typed = new zComboBoxFull(dlg, 305, &v.typed, 0);
        picked = new zComboBoxStatic(dlg, 306, &v.picked, 0);
        disabled = new zEditLine(dlg, 308, &v.disabled);
        for (const char* s : {"gamma", "alpha", "beta"}) {
            list->add(s);
            typed->add(s);
            picked->add(s);
        }
        dlg->setControlsToDefault();
    }
    HWND item(int id) { return dlg->get(id)->hwnd; }
    // Runs the dialog modally; the steps run one after the other from inside it.
    void run(std::initializer_list<std::function<void()>> steps) {
        unsigned t = 10;
        for (auto& s : steps) {
            Later(t, s);
            t += 10;
        }
        Watchdog dog;
        dlg->modal();
        EXPECT_FALSE(dog.fired());
    }
    void press(int id) { PostMessageA(dlg->hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)item(id)); }
};

}  // namespace

TEST_F(Form, BoundValuesShowWhenBuilt) {
    build();
    char buf[64];
    GetWindowTextA(item(301), buf, sizeof buf);
    EXPECT_STREQ("gateway", buf);
    GetWindowTextA(item(305), buf, sizeof buf);
    EXPECT_STREQ("start", buf);  // typed earlier, in no entry, still shown
    EXPECT_EQ(BST_CHECKED, SendMessageA(item(303), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageA(item(402), BM_GETCHECK, 0, 0));
    EXPECT_EQ(-1, list->selection());  // -5 selects nothing
    EXPECT_STREQ("beta", picked->text(picked->selection()).data());
}

TEST_F(Form, OkStoresEveryEnabledBoundValue) {
    build();
    SetWindowTextA(item(301), "proxy.example");
    SendMessageA(item(303), BM_SETCHECK, BST_UNCHECKED, 0);
    list->selection(2);
    SetWindowTextA(item(305), "not in the list");
    picked->selection(0);
    SetWindowTextA(item(308), "changed while disabled");
    run({[&] { press(IDOK); }});
    EXPECT_EQ(1, dlg->wasStored());
    EXPECT_STREQ("proxy.example", v.host.data());
    EXPECT_STREQ("", v.optional.data());
    EXPECT_EQ(0, v.check);
    EXPECT_EQ(402, v.radio);
    EXPECT_EQ(2, v.listIndex);
    EXPECT_STREQ("not in the list", v.typed.data());  // what was typed, listed or not
    EXPECT_STREQ("alpha", v.picked.data());
    EXPECT_STREQ("kept", v.disabled.data());  // disabled: neither checked nor stored
}

TEST_F(Form, EmptyRequiredFieldKeepsTheDialogOpen) {
    build();
    list->selection(0);
    SetWindowTextA(item(301), "");
    SendMessageA(item(303), BM_SETCHECK, BST_UNCHECKED, 0);
    bool openAfterOk = false;
    HWND focusAfterOk = 0;
    run({[&] { press(IDOK); },
         [&] {
             openAfterOk = IsWindowVisible(dlg->hwnd) || dlg->isModal();
             focusAfterOk = GetFocus();
             SetWindowTextA(item(301), "filled");
             press(IDOK);
         }});
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(item(301), focusAfterOk);
    EXPECT_STREQ("filled", v.host.data());
    EXPECT_EQ(0, v.check);
}

TEST_F(Form, FailedOkStoresNothing) {
    build();
    SetWindowTextA(item(301), "");
    SendMessageA(item(303), BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(0, dlg->storeData());
    EXPECT_EQ(1, v.check);
    EXPECT_STREQ("gateway", v.host.data());
}

TEST_F(Form, CancelLeavesTheVariables) {
    build();
    list->selection(1);
    SetWindowTextA(item(301), "other");
    SendMessageA(item(303), BM_SETCHECK, BST_UNCHECKED, 0);
    run({[&] { press(IDCANCEL); }});
    EXPECT_EQ(0, dlg->wasStored());
    EXPECT_STREQ("gateway", v.host.data());
    EXPECT_EQ(1, v.check);
    EXPECT_EQ(-5, v.listIndex);
}

TEST_F(Form, RadioClickMovesCheckAndTabStop) {
    build();
    list->selection(0);
    auto tab = [&](int id) { return (GetWindowLongA(item(id), GWL_STYLE) & WS_TABSTOP) != 0; };
    EXPECT_TRUE(tab(402));
    EXPECT_FALSE(tab(401));
    SendMessageA(item(403), BM_CLICK, 0, 0);
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(item(402), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageA(item(403), BM_GETCHECK, 0, 0));
    EXPECT_TRUE(tab(403));
    EXPECT_FALSE(tab(402));
    EXPECT_EQ(1, dlg->storeData());
    EXPECT_EQ(403, v.radio);
}

TEST_F(Form, RadioValueOutOfRangeMustBeChosen) {
    v.radio = 0;
    build();
    list->selection(0);
    for (int id : {401, 402, 403}) EXPECT_EQ(BST_UNCHECKED, SendMessageA(item(id), BM_GETCHECK, 0, 0)) << id;
    EXPECT_EQ(nullptr, radios->currentButton());
    EXPECT_EQ(0, dlg->storeData());  // not a choice the user never saw
    EXPECT_EQ(0, v.radio);
    EXPECT_EQ(item(401), GetFocus());
    SendMessageA(item(401), BM_CLICK, 0, 0);
    EXPECT_EQ(1, dlg->storeData());
    EXPECT_EQ(401, v.radio);
}

TEST_F(Form, ListSelectionRequiredUnlessFlagged) {
    build();
    EXPECT_EQ(0, dlg->storeData());  // nothing selected in the list
    EXPECT_EQ(item(304), GetFocus());
    delete dlg;
    dlg = nullptr;
    v = Bound();
    build(zCtlEmptyOk);
    EXPECT_EQ(1, dlg->storeData());
    EXPECT_EQ(-1, v.listIndex);
}
