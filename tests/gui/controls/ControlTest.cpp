#include <string>

#include "CtlFixture.h"
#include "zButton.h"
#include "zEdit.h"
#include "zListBox.h"
#include "zNotify.h"
#include "zWindowMap.h"

using namespace dlgkit;

namespace {

zWindow* mapped(HWND h) { return _app->windowMap()->get(h); }

void registerGenericClass() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QvGeneric";
    RegisterClassA(&wc);
    new zSuperClass(ZKCString("QvGeneric"), nullptr, 0);
}

}  // namespace

TEST_F(Ctl, TabStopDefaults) {
    plain();
    zPushButton* zero = new zPushButton(dlg, at(0, 0, 40, 14), 0, "a", 1);
    zPushButton* given = new zPushButton(dlg, at(0, 20, 40, 14), WS_GROUP, "b", 2);
    zStaticText* label = new zStaticText(dlg, at(0, 40, 40, 14), WS_TABSTOP, "c", 3);
    auto style = [](zWindow* w) { return (unsigned long)GetWindowLongA(w->hwnd, GWL_STYLE); };
    EXPECT_TRUE(style(zero) & WS_TABSTOP);
    EXPECT_FALSE(style(given) & WS_TABSTOP);
    EXPECT_FALSE(style(label) & WS_TABSTOP);
    EXPECT_FALSE(style(zero) & WS_CLIPSIBLINGS);
    EXPECT_EQ(zCtlStatic, label->controlKind());
}

TEST_F(Ctl, SunkenEdgeForWideEditsListsAndCombos) {
    plain();
    struct {
        zControl* ctl;
        bool edge;
        const char* what;
    } cases[] = {
        {new zEditLine(dlg, at(0, 0, 200, 12), 0, "", 1), true, "wide edit"},
        {new zEditLine(dlg, at(0, 20, 30, 30), 0, "", 2), false, "square edit"},
        {new zEditBox(dlg, at(0, 60, 30, 60), 0, "", 3), false, "tall edit"},
        {new zPushButton(dlg, at(40, 0, 200, 12), 0, "", 4), false, "wide push button"},
        {new zListBox(dlg, at(40, 20, 20, 60), 0, "", 5), true, "list box"},
        // (a combo box takes the edge off again and draws its own)
    };
    for (auto& c : cases)
        EXPECT_EQ(c.edge, (GetWindowLongA(c.ctl->hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0) << c.what;
}

TEST_F(Ctl, TakeOverLeavesOneObjectForTheWindow) {
    fromTemplate();
    zWindow* before = dlg->get(10);
    HWND h = before->hwnd;
    size_t count = dlg->children.size();
    int value = 1;
    zCheckBox* typed = new zCheckBox(dlg, 10, &value, 0);
    EXPECT_EQ(typed, dlg->get(10));
    EXPECT_EQ(typed, mapped(h));
    EXPECT_EQ(h, typed->hwnd);
    EXPECT_EQ(count, dlg->children.size());
    EXPECT_EQ(zCtlButton, typed->controlKind());
    EXPECT_EQ(BST_CHECKED, SendMessageA(h, BM_GETCHECK, 0, 0));
    // Messages reach the typed object: its handler records run.
    Recorder r;
    typed->setHandler(&r, zHandlerOf(&Recorder::note), WM_USER + 5);
    SendMessageA(h, WM_USER + 5, 7, 0);
    EXPECT_EQ(1, r.calls);
}

TEST_F(Ctl, TakeOverOfAnIdWithoutObjectGivesAnEmptyControl) {
    fromTemplate();
    size_t count = dlg->children.size();
    ZKCString s("x");
    zEditLine* none = new zEditLine(dlg, 999, &s);
    EXPECT_EQ(nullptr, none->hwnd);
    EXPECT_EQ(count + 1, dlg->children.size());
    EXPECT_EQ(1, dlg->storeData());  // no window: neither checked nor stored
    EXPECT_STREQ("x", s.data());
}

TEST_F(Ctl, TakeOverOfAGenericControlKeepsBoth) {
    registerGenericClass();
    plain();
    zGenericControl* gen = new zGenericControl(dlg, at(0, 0, 60, 14), WS_CHILD | WS_VISIBLE, "g", 40, "QvGeneric");
    ASSERT_TRUE(gen->hwnd);
    HWND h = gen->hwnd;
    zButton* typed = new zButton(dlg, 40);
    EXPECT_EQ(gen, mapped(h));
    EXPECT_EQ(typed, gen->shadow());
    EXPECT_EQ(typed, dlg->get(40));
    delete typed;  // takes the generic object along, not the window
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(nullptr, mapped(h));
    EXPECT_EQ(nullptr, dlg->get(40));
}

TEST_F(Ctl, GenericControlOfAnUnknownClassMakesNoWindow) {
    plain();
    zGenericControl* gen = new zGenericControl(dlg, at(0, 0, 60, 14), WS_CHILD, "g", 41, "QvNoSuchSuperclass");
    EXPECT_EQ(nullptr, gen->hwnd);
}

TEST_F(Ctl, IconStaticIsSquareAndPaintsItself) {
    plain();
    zStaticText* icon = new zStaticText(dlg, at(5, 5, 10, 10), SS_ICON, "#1", 50);
    ASSERT_NE(nullptr, icon->icon);
    RECT r = ChildRect(icon->hwnd);
    EXPECT_EQ(32, r.right - r.left);
    EXPECT_EQ(32, r.bottom - r.top);
    EXPECT_EQ(1, SendMessageA(icon->hwnd, WM_PAINT, 0, 0));
    zStaticText* missing = new zStaticText(dlg, at(50, 5, 10, 10), SS_ICON, "#77", 51);
    EXPECT_EQ(nullptr, missing->icon);
}

TEST_F(Ctl, ColourAnswers) {
    plain();
    zPushButton* b = new zPushButton(dlg, at(0, 0, 40, 14), 0, "b", 1);
    b->textColor(zColor(255, 0, 0));
    b->ziBackgroundColor(zColor(0, 255, 0));
    HDC dc = GetDC(b->hwnd);
    HBRUSH brush = (HBRUSH)SendMessageA(dlg->hwnd, WM_CTLCOLORBTN, (WPARAM)dc, (LPARAM)b->hwnd);
    ASSERT_NE((HBRUSH)0, brush);
    LOGBRUSH lb;
    GetObjectA(brush, sizeof lb, &lb);
    EXPECT_EQ(RGB(0, 255, 0), lb.lbColor);
    EXPECT_EQ(RGB(255, 0, 0), GetTextColor(dc));
    EXPECT_EQ(RGB(0, 255, 0), GetBkColor(dc));

    // A combo box answers for its own list with its list colour; one shared brush.
    zComboBoxFull* c = new zComboBoxFull(dlg, at(50, 0, 60, 60), 0, "", 2);
    c->listColor(zColor(0, 0, 255));
    HBRUSH first = (HBRUSH)SendMessageA(c->hwnd, WM_CTLCOLORLISTBOX, (WPARAM)dc, 0);
    GetObjectA(first, sizeof lb, &lb);
    EXPECT_EQ(RGB(0, 0, 255), lb.lbColor);
    EXPECT_EQ(RGB(0, 0, 255), GetBkColor(dc));
    c->listColor(zColor(10, 20, 30));
    HBRUSH second = (HBRUSH)SendMessageA(c->hwnd, WM_CTLCOLOREDIT, (WPARAM)dc, 0);
    GetObjectA(second, sizeof lb, &lb);
    EXPECT_EQ(RGB(10, 20, 30), lb.lbColor);
    EXPECT_EQ(0u, GetObjectType(first));  // the previous shared brush is gone
    ReleaseDC(b->hwnd, dc);
}

TEST_F(Ctl, NotificationsReachTheirHandlers) {
    plain();
    Recorder r;
    zPushButton* b = new zPushButton(dlg, at(0, 0, 40, 14), 0, "b", 21);
    b->setNotifyClicked(&r, zHandlerOf(&Recorder::note));
    SendMessageA(b->hwnd, BM_CLICK, 0, 0);
    EXPECT_EQ(1, r.calls);
    EXPECT_EQ(21u, r.lastId);
    b->removeNotifyClicked(&r, zHandlerOf(&Recorder::note));
    SendMessageA(b->hwnd, BM_CLICK, 0, 0);
    EXPECT_EQ(1, r.calls);

    // The form taking the notification view.
    Recorder v;
    const NotifyEvtProc viewFn = static_cast<NotifyEvtProc>(&Recorder::view);
    b->setNotifyClicked(&v, viewFn);
    SendMessageA(b->hwnd, BM_CLICK, 0, 0);
    EXPECT_EQ(1, v.calls);
    EXPECT_EQ(21u, v.lastId);
    EXPECT_EQ((unsigned)BN_CLICKED, v.lastCode);
    EXPECT_EQ(b->hwnd, v.lastCtrl);
    b->removeNotifyClicked(&v, viewFn);
    SendMessageA(b->hwnd, BM_CLICK, 0, 0);
    EXPECT_EQ(1, v.calls);

    Recorder e;
    zEditLine* edit = new zEditLine(dlg, at(0, 20, 80, 14), 0, "", 22);
    edit->setNotifyChange(&e, zHandlerOf(&Recorder::note));
    edit->text("changed");
    EXPECT_EQ(1, e.calls);
    EXPECT_EQ((unsigned)EN_CHANGE, e.lastCode);
}

TEST_F(Ctl, UnmappedWindowGetsNothing) {
    plain();
    HWND stray = CreateWindowExA(0, "button", "", WS_CHILD, 0, 0, 5, 5, dlg->hwnd, 0, 0, 0);
    EXPECT_EQ(0, CtrlWndProc(stray, WM_GETTEXTLENGTH, 0, 0));
    DestroyWindow(stray);
}

TEST_F(Ctl, DestroyedWindowDeletesAnObjectThatAskedForIt) {
    plain();
    zPushButton* b = new zPushButton(dlg, at(0, 0, 40, 14), 0, "b", 30);
    b->deleteOnDestroy(1);
    DestroyWindow(b->hwnd);
    EXPECT_EQ(nullptr, dlg->get(30));
}
