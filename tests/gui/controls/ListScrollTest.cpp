#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "CtlFixture.h"
#include "ZKCStringSlist.h"
#include "ZKTPtrList.h"
#include "zStringSlist.h"
#include "zListBox.h"
#include "zScrollBar.h"
#include "zString.h"

using namespace dlgkit;

TEST_F(Ctl, SortedAndUnsortedLists) {
    plain();
    zListBox* sorted = new zListBox(dlg, at(0, 0, 80, 80), 0, "", 1);
    zListBoxUnsorted* kept = new zListBoxUnsorted(dlg, at(90, 0, 80, 80), 0, "", 2);
    for (const char* s : {"b", "a"}) {
        sorted->add(s);
        kept->add(s);
    }
    EXPECT_STREQ("a", sorted->text(0).data());
    EXPECT_STREQ("b", kept->text(0).data());
    EXPECT_EQ(2, kept->count());
    kept->insert("c", 1);
    EXPECT_STREQ("c", kept->text(1).data());
    kept->del(0);
    EXPECT_STREQ("c", kept->text(0).data());
    EXPECT_STREQ("", kept->text(7).data());  // out of range
    kept->clear();
    EXPECT_EQ(0, kept->count());
}

TEST_F(Ctl, PrefixSelectionIgnoresCase) {
    plain();
    zListBoxUnsorted* l = new zListBoxUnsorted(dlg, at(0, 0, 80, 80), 0, "", 1);
    l->add("other");
    l->add("Netname");
    l->add("network");
    ZKCString bound("net");
    l->setStoreAddr(&bound);
    EXPECT_EQ(1, l->setToDefault());
    EXPECT_EQ(1, l->selection());
    EXPECT_EQ(1, l->storeData());
    EXPECT_STREQ("Netname", bound.data());
    // No entry begins with it: no selection, and an int binding stores -1.
    bound = "zzz";
    EXPECT_EQ(1, l->setToDefault());
    EXPECT_EQ(-1, l->selection());
    ZKCString out("unchanged");
    EXPECT_EQ(0, l->getItem(out, -1));
    EXPECT_STREQ("unchanged", out.data());
    int index = 5;
    l->setStoreAddr(&index);
    l->flags = 0x100;
    EXPECT_EQ(1, l->storeData());
    EXPECT_EQ(-1, index);
}

TEST_F(Ctl, BulkLoading) {
    plain();
    zListBoxUnsorted* l = new zListBoxUnsorted(dlg, at(0, 0, 80, 80), 0, "", 1);
    std::vector<std::string> texts;
    for (int i = 0; i < 500; ++i) texts.push_back("item " + std::to_string(i));
    std::vector<char*> ptrs;
    for (auto& t : texts) ptrs.push_back(&t[0]);
    ptrs.push_back(nullptr);
    EXPECT_EQ(0, l->addCharStrings(ptrs.data()));
    EXPECT_EQ(500, l->count());
    EXPECT_STREQ("item 499", l->text(499).data());
    zComboBoxStatic* c = new zComboBoxStatic(dlg, at(90, 0, 80, 80), 0, "", 2);
    zResStrBlock block(zResId(300));
    EXPECT_EQ(0, c->addStrBlock(block));
    EXPECT_EQ(3, c->count());
    EXPECT_STREQ("first", c->text(0).data());  // sorted: first, second, third
}

namespace {

// What a list box was sent while loading: redraw switches and added texts.
std::vector<std::string> loadLog;
WNDPROC loadNext = nullptr;

LRESULT CALLBACK LoadSpy(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_SETREDRAW) loadLog.push_back(w ? "redraw on" : "redraw off");
    if (m == LB_ADDSTRING) loadLog.push_back((const char*)l);
    return CallWindowProcA(loadNext, h, m, w, l);
}

}  // namespace

TEST_F(Ctl, StringListsLoadInOrderWithRedrawOff) {
    plain();
    ZKCString a("c"), b("a"), c("b");
    ZKTPtrSlist<ZKCString> sl;
    ZKTPtrDlist<ZKCString> dl;
    ZKCStringSlist ks;
    zStringSlist zs;
    for (ZKCString* s : {&a, &b, &c}) {
        sl.append(s);
        dl.append(s);
        ks.append(*s);
        zs.append(zString(*s));
    }
    const std::vector<std::pair<const char*, std::function<int(zListBoxUnsorted*)>>> loaders = {
        {"pointer list", [&](zListBoxUnsorted* l) { return l->addStrSlist(&sl); }},
        {"doubly linked pointer list", [&](zListBoxUnsorted* l) { return l->addStrDlist(&dl); }},
        {"library strings", [&](zListBoxUnsorted* l) { return l->addStrSlist(&ks); }},
        {"framework strings", [&](zListBoxUnsorted* l) { return l->addStrSlist(&zs); }},
    };
    int id = 1;
    for (const auto& load : loaders) {
        SCOPED_TRACE(load.first);
        zListBoxUnsorted* l = new zListBoxUnsorted(dlg, at(0, 0, 80, 80), 0, "", id++);
        loadLog.clear();
        loadNext = (WNDPROC)SetWindowLongPtrA(l->hwnd, GWLP_WNDPROC, (LONG_PTR)LoadSpy);
        EXPECT_EQ(0, load.second(l));
        SetWindowLongPtrA(l->hwnd, GWLP_WNDPROC, (LONG_PTR)loadNext);
        EXPECT_EQ((std::vector<std::string>{"redraw off", "c", "a", "b", "redraw on"}), loadLog);
        EXPECT_STREQ("b", l->text(2).data());
    }
    // The pointer lists still hold the caller's strings.
    EXPECT_EQ(&a, sl.first());
    EXPECT_EQ(&c, dl.last());
    zListBoxUnsorted* none = new zListBoxUnsorted(dlg, at(0, 0, 80, 80), 0, "", id);
    EXPECT_EQ(0, none->addStrSlist((zStringSlist*)nullptr));
    EXPECT_EQ(0, none->count());
}

TEST_F(Ctl, ComboBoxesStoreTypedOrPickedText) {
    plain();
    ZKCString typed, picked;
    zComboBoxFull* full = new zComboBoxFull(dlg, at(0, 0, 80, 80), 0, "", 1);
    zComboBoxStatic* fixed = new zComboBoxStatic(dlg, at(90, 0, 80, 80), 0, "", 2);
    for (const char* s : {"alpha", "beta"}) {
        full->add(s);
        fixed->add(s);
    }
    full->setStoreAddr(&typed);
    fixed->setStoreAddr(&picked);
    SetWindowTextA(full->hwnd, "gamma");
    fixed->selection(1);
    EXPECT_EQ(1, full->checkData());
    EXPECT_EQ(1, full->storeData());
    EXPECT_EQ(1, fixed->storeData());
    EXPECT_STREQ("gamma", typed.data());
    EXPECT_STREQ("beta", picked.data());
    ZKCString edit;
    full->getEditText(edit);
    EXPECT_STREQ("gamma", edit.data());
    std::string longText(300, 'x');
    SetWindowTextA(full->hwnd, longText.c_str());
    EXPECT_EQ(1, full->storeData());
    EXPECT_EQ(longText, typed.data());  // stored whole
    SetWindowTextA(full->hwnd, "");
    EXPECT_EQ(0, full->checkData());
    fixed->selection(-1);
    EXPECT_EQ(0, fixed->checkData());
    EXPECT_EQ(-1, fixed->selection());
}

// ---- scroll bars ----------------------------------------------------------------

namespace {

struct BarCase {
    const char* what;
    zScrollBarBase* (*make)(zWindow*, zSizer*);
    UINT msg;
};

BarCase barCases[] = {
    {"vertical", [](zWindow* p, zSizer* s) -> zScrollBarBase* { return new zScrollBarVert(p, s, 0, "", 1); },
     WM_VSCROLL},
    {"horizontal", [](zWindow* p, zSizer* s) -> zScrollBarBase* { return new zScrollBarHorz(p, s, 0, "", 1); },
     WM_HSCROLL},
    {"control", [](zWindow* p, zSizer* s) -> zScrollBarBase* { return new zScrollBarCtrl(p, s, 0, "", 1); },
     WM_VSCROLL},
};

int thumb(HWND h) { return GetScrollPos(h, SB_CTL); }

}  // namespace

TEST_F(Ctl, ScrollBarThumbFollowsItsState) {
    for (auto& c : barCases) {
        plain();
        zScrollBarBase* bar = c.make(dlg, at(0, 0, 100, 100));
        ASSERT_TRUE(bar->hwnd) << c.what;
        zScrollInfo* s = bar->scrollInfo();
        s->limits(0, 50);
        Pump();
        int lo = -1, hi = -1;
        GetScrollRange(bar->hwnd, SB_CTL, &lo, &hi);
        EXPECT_EQ(0, lo) << c.what;
        EXPECT_EQ(50, hi) << c.what;
        s->pos(20);
        EXPECT_EQ(20, thumb(bar->hwnd)) << c.what;
        // Scrolls the parent is told of move the state; at the end it stays there.
        SendMessageA(dlg->hwnd, c.msg, SB_BOTTOM, (LPARAM)bar->hwnd);
        SendMessageA(dlg->hwnd, c.msg, SB_LINEDOWN, (LPARAM)bar->hwnd);
        EXPECT_EQ(50, s->pos()) << c.what;
        EXPECT_EQ(50, thumb(bar->hwnd)) << c.what;
        SendMessageA(dlg->hwnd, c.msg, MAKEWPARAM(SB_THUMBTRACK, 30), (LPARAM)bar->hwnd);
        EXPECT_EQ(30, s->pos()) << c.what;
        SendMessageA(dlg->hwnd, c.msg, SB_PAGEUP, (LPARAM)bar->hwnd);
        EXPECT_EQ(20, s->pos()) << c.what;
        s->limits(5, 5);
        Pump();
        GetScrollRange(bar->hwnd, SB_CTL, &lo, &hi);
        EXPECT_EQ(0, lo) << c.what;
        EXPECT_EQ(0, hi) << c.what;
        delete dlg;
        dlg = nullptr;
    }
}

TEST_F(Ctl, TemplateScrollBarsTakenOverMoveToo) {
    fromTemplate();
    zScrollBarVert* v = new zScrollBarVert(dlg, 14);
    zScrollBarHorz* h = new zScrollBarHorz(dlg, 15);
    for (zScrollBarBase* b : {static_cast<zScrollBarBase*>(v), static_cast<zScrollBarBase*>(h)}) {
        b->scrollInfo()->limits(0, 10);
        Pump();
        b->scrollInfo()->pos(7);
        EXPECT_EQ(7, thumb(b->hwnd));
    }
    // A scroll from a window that is not a framework scroll bar leaves no state moved.
    SendMessageA(dlg->hwnd, WM_VSCROLL, SB_BOTTOM, (LPARAM)item(18));
    EXPECT_EQ(7, v->scrollInfo()->pos());
}
