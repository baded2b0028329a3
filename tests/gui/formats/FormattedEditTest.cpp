#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DlgKit.h"
#include "zApp.h"
#include "zDialogFrame.h"
#include "zIntEdit.h"
#include "zIntlContext.h"
#include "zNumFormatter.h"
#include "zResId.h"

using dlgkit::App;
using dlgkit::Pump;

namespace {

class Fields : public zDialogFrame {
public:
    std::vector<unsigned> commands;
    Fields() : zDialogFrame(nullptr, zResId(600)) {}
    int command(zCommandEvt* e) override {
        commands.push_back(e->cmd());
        return 1;
    }
};

std::string shown(zWindow* w) {
    char t[300] = "";
    GetWindowTextA(w->hwnd, t, sizeof t);
    return t;
}

void setClipboard(HWND owner, const char* s) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, strlen(s) + 1);
    memcpy(GlobalLock(g), s, strlen(s) + 1);
    GlobalUnlock(g);
    SetClipboardData(CF_TEXT, g);
    CloseClipboard();
}

std::string clipboard(HWND owner) {
    std::string out;
    if (!OpenClipboard(owner)) return out;
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        out = static_cast<const char*>(GlobalLock(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return out;
}

class FormattedEdits : public ::testing::Test {
protected:
    Fields* dlg = nullptr;
    void SetUp() override {
        App();
        _app->mainFrame = nullptr;
        dlg = new Fields;
    }
    void TearDown() override {
        delete dlg;
        Pump();
    }
    // A key as the keyboard gives it: WM_KEYDOWN through the translating pump.
    void key(zWindow* w, WPARAM k, bool ctrl = false, bool shift = false) {
        BYTE state[256];
        GetKeyboardState(state);
        state[VK_CONTROL] = ctrl ? 0x80 : 0;
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        SetFocus(w->hwnd);
        PostMessageA(w->hwnd, WM_KEYDOWN, k, 0);
        Pump();
        state[VK_CONTROL] = state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }
    void type(zWindow* w, const char* chars) {
        for (const char* c = chars; *c; ++c) {
            SendMessageA(w->hwnd, WM_CHAR, (WPARAM)(unsigned char)*c, 0);
        }
    }
    static void caret(zWindow* w, int a, int b) { SendMessageA(w->hwnd, EM_SETSEL, (WPARAM)a, (LPARAM)b); }
};

TEST_F(FormattedEdits, IntegerFieldsShowTypeAndStore) {
    int negative = -42, small = 7, six = 123456, five = 0;
    zIntEdit* signedField = new zIntEdit(dlg, 601, &negative, "-#####");
    zIntEdit* plain = new zIntEdit(dlg, 602, &small, "#####");
    zIntEdit* wide = new zIntEdit(dlg, 603, &six, "######");
    zIntEdit* defaulted = new zIntEdit(dlg, 604, &five);
    EXPECT_EQ("-42", shown(signedField));
    EXPECT_EQ("7", shown(plain));
    EXPECT_EQ("123456", shown(wide));
    EXPECT_EQ("0", shown(defaulted));

    caret(signedField, 3, 3);
    type(signedField, "-");
    EXPECT_EQ("42", shown(signedField));
    EXPECT_EQ(1, signedField->storeData());
    EXPECT_EQ(42, negative);

    caret(plain, 1, 1);
    type(plain, "-");
    EXPECT_EQ("7", shown(plain)) << "no sign in this picture";
    type(plain, "12345");
    EXPECT_EQ("71234", shown(plain)) << "a sixth digit drops the last";
    plain->storeData();
    EXPECT_EQ(71234, small);

    caret(defaulted, 0, 1);
    type(defaulted, "9-");
    EXPECT_EQ("-9", shown(defaulted)) << "the default picture allows a minus";
    defaulted->storeData();
    EXPECT_EQ(-9, five);

    std::string digits(300, '8');
    caret(wide, 0, 6);
    wide->pasteStr(ZKCString(digits.c_str()));
    EXPECT_EQ("888888", shown(wide)) << "a long paste is bounded";
}

TEST_F(FormattedEdits, KeysDeleteCancelEnterAndClipboard) {
    int value = 1234;
    zIntEdit* f = new zIntEdit(dlg, 601, &value, "######");
    ASSERT_EQ("1234", shown(f));
    caret(f, 4, 4);
    key(f, VK_DELETE);
    EXPECT_EQ("1234", shown(f)) << "Delete after the last character";
    caret(f, 0, 0);
    key(f, VK_DELETE);
    EXPECT_EQ("234", shown(f));

    key(f, VK_RETURN);
    EXPECT_EQ("234", shown(f)) << "Enter is swallowed";
    key(f, VK_ESCAPE);
    Pump();
    ASSERT_FALSE(dlg->commands.empty());
    EXPECT_EQ((unsigned)IDCANCEL, dlg->commands.back());

    setClipboard(f->hwnd, "5-6x7");
    caret(f, 3, 3);
    key(f, 'V', true);
    EXPECT_EQ("234567", shown(f)) << "Ctrl+V pastes through the formatter";
    setClipboard(f->hwnd, "99");
    caret(f, 0, 6);
    key(f, VK_INSERT, false, true);
    EXPECT_EQ("99", shown(f)) << "Shift+Insert pastes";
    setClipboard(f->hwnd, "none");
    caret(f, 0, 2);
    key(f, VK_INSERT, true);
    EXPECT_EQ("99", shown(f)) << "Ctrl+Insert copies without a change";
    EXPECT_EQ("99", clipboard(f->hwnd));
}

}  // namespace
