#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstring>
#include <string>
#include <vector>

#include "MessageBoxWatcher.h"
#include "zApp.h"
#include "zResId.h"
#include "zString.h"

namespace {

std::string S(const zString& s) { return std::string(s.data(), s.length()); }

std::string Temp(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

// A copy of this program whose string 200 says something else: a resource
// library that can be told apart from the program itself.
std::string MakeLibrary() {
    static std::string path;
    if (!path.empty()) return path;
    char self[MAX_PATH];
    GetModuleFileNameA(0, self, sizeof self);
    std::string lib = Temp("qvreslib.dll");
    if (!CopyFileA(self, lib.c_str(), FALSE)) return "";
    // String block 13 holds ids 192-207; each entry a counted UTF-16 text.
    std::vector<WORD> block;
    for (int id = 192; id < 208; ++id) {
        const char* t = id == 200 ? "Library string" : "";
        block.push_back(static_cast<WORD>(std::strlen(t)));
        for (const char* p = t; *p; ++p) block.push_back(static_cast<WORD>(*p));
    }
    HANDLE u = BeginUpdateResourceA(lib.c_str(), FALSE);
    if (!u) return "";
    BOOL ok = UpdateResourceA(u, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(13), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                              block.data(), static_cast<DWORD>(block.size() * sizeof(WORD)));
    if (!EndUpdateResourceA(u, !ok) || !ok) return "";
    path = lib;
    return path;
}

}  // namespace

TEST(zResId, NumberNameAndModuleChoice) {
    zResId num(5, zResThisModule);
    EXPECT_EQ(MAKEINTRESOURCEA(5), num.id());
    EXPECT_EQ(nullptr, num.moduleName());
    zResId wide(0x10005, zResThisModule);
    EXPECT_EQ(MAKEINTRESOURCEA(5), wide.id());  // a 16-bit resource number

    static const char name[] = "NAMED";
    zResId byName(name, zResThisModule);
    EXPECT_EQ(name, byName.id());  // stored, not copied

    zApp app(GetModuleHandleA(0), 0, const_cast<char*>(""), SW_SHOW);
    zApp* saved = _app;
    _app = &app;
    std::string lib = MakeLibrary();
    ASSERT_FALSE(lib.empty());
    app.setDefaultResourceModule(lib.c_str());
    zResId dflt(200, static_cast<const char*>(0));
    zResId self(200, zResThisModule);
    ASSERT_NE(nullptr, dflt.moduleName());
    EXPECT_STREQ(lib.c_str(), dflt.moduleName());
    EXPECT_EQ(nullptr, self.moduleName());
    EXPECT_STREQ("Library string", dflt.loadStr().data());
    EXPECT_STREQ("Resource string", self.loadStr().data());
    app.setDefaultResourceModule(reinterpret_cast<const char*>(-1));
    _app = saved;
}

TEST(zResId, OwnedNamesAreCopiedIndependently) {
    zResId* first = new zResId(ZKCString("BLOCKNAME"), zResThisModule);
    zResId copy(*first);
    EXPECT_NE(first->id(), copy.id());
    delete first;
    EXPECT_STREQ("BLOCKNAME", copy.id());
    zResId other(1, zResThisModule);
    other = copy;
    other = other;
    EXPECT_STREQ("BLOCKNAME", other.id());
    zUserResource r(other);
    ASSERT_TRUE(r.isLoaded());
    EXPECT_STREQ("named", static_cast<const char*>(r.data()));
}

TEST(zResId, LoadsStringsThroughTheRightModule) {
    EXPECT_EQ("Resource string", std::string(zResId(200, zResThisModule).loadStr().data()));
    EXPECT_EQ(0u, zResId(299, zResThisModule).loadStr().length());

    std::string lib = MakeLibrary();
    ASSERT_FALSE(lib.empty());
    struct {
        const char* module;
        const char* want;
    } cases[] = {
        {lib.c_str(), "Library string"},
        {"qvnosuch.dll", "Resource string"},  // falls back to the program's table
    };
    for (auto& c : cases) {
        zResId id(200, c.module);
        EXPECT_STREQ(c.want, id.loadStr().data()) << c.module;
        EXPECT_EQ(c.want, S(zString(id))) << c.module;
    }
    HMODULE h = LoadLibraryA(lib.c_str());
    ASSERT_NE(nullptr, h);
    zString viaHandle(zResId(ZKCString("x"), h));  // a name id: number 0, no text
    EXPECT_EQ("", S(viaHandle));
    FreeLibrary(h);
}

TEST(zResId, UserResourcesAndOtherKinds) {
    zUserResource data(zResId(500, zResThisModule));
    ASSERT_TRUE(data.isLoaded());
    EXPECT_EQ(0, std::memcmp("A\0B\0\0", data.data(), 5));

    zUserResource missing(zResId(599, zResThisModule));
    EXPECT_FALSE(missing.isLoaded());
    zUserResource noLib(zResId(500, "qvnosuch.dll"));
    EXPECT_FALSE(noLib.isLoaded());  // no fallback for raw resources

    // menus and dialog templates are named the same way
    zResId menuId(300, zResThisModule);
    HMENU menu = LoadMenuA(zResAppInstance(), menuId.id());
    ASSERT_NE(nullptr, menu);
    char text[32] = "";
    GetMenuStringA(GetSubMenu(menu, 0), 301, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("E&xit", text);
    DestroyMenu(menu);

    zUserResource dlg(zResId(400, zResThisModule), ZKCString("#5"));
    ASSERT_TRUE(dlg.isLoaded());
    const DLGTEMPLATE* t = static_cast<const DLGTEMPLATE*>(dlg.data());
    EXPECT_EQ(1, t->cdit);
    EXPECT_EQ(100, t->cx);
    EXPECT_EQ(50, t->cy);
}

TEST(zString, LoadsAndCutsStringTableTexts) {
    struct {
        int id;
        unsigned maxLen;
        const char* want;
    } cases[] = {
        {200, 256, "Resource string"}, {201, 5, "0123"}, {201, 11, "0123456789"},
        {299, 256, ""},                {1, 256, "Test string one"},
    };
    for (auto& c : cases) EXPECT_EQ(c.want, S(zString(zResId(c.id, zResThisModule), c.maxLen))) << c.id;
}

TEST(zString, SharesUntilChangedAndAppends) {
    zString a("body");
    zString b(a);
    EXPECT_EQ(a.data(), b.data());
    b &= "!";
    EXPECT_EQ("body", S(a));
    EXPECT_EQ("body!", S(b));
    b &= '\0';
    b &= static_cast<const char*>(0);
    EXPECT_EQ("body!", S(b));
    b &= a;
    EXPECT_EQ("body!body", S(b));
    EXPECT_TRUE(zString("x") == zString("x"));
    EXPECT_FALSE(zString("x") == zString("xy"));
    EXPECT_TRUE(zString("x") == "x");
    EXPECT_TRUE(zString("x") != "xy");
    EXPECT_EQ(64u, a.reSize(64));
    EXPECT_EQ(64u, a.str().capacity());
}

TEST(zString, NullAssignmentEmptiesWithoutTouchingSharers) {
    zString a("shared");
    zString b(a);
    b = static_cast<const char*>(0);
    EXPECT_EQ(0u, b.length());
    EXPECT_EQ("", S(b));
    EXPECT_EQ("shared", S(a));
    b &= "new";
    EXPECT_EQ("new", S(b));
    EXPECT_EQ("shared", S(a));
}

TEST(zResStrBlock, WalksTheStringsOfABlock) {
    struct {
        zResId id;
        const char* type;
        std::vector<std::string> want;
    } cases[] = {
        {zResId(500, zResThisModule), 0, {"A", "B"}},
        {zResId(600, zResThisModule), "STRLIST", {"C", "D"}},
        {zResId(599, zResThisModule), 0, {}},
    };
    for (auto& c : cases) {
        zResStrBlock block = c.type ? zResStrBlock(c.id, ZKCString(c.type)) : zResStrBlock(c.id);
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<std::string> got;
            while (const char* s = block()) got.push_back(s);
            EXPECT_EQ(c.want, got);
            EXPECT_EQ(nullptr, block());  // stays at the end until reset
            block.reset();
        }
    }
}

namespace {
LRESULT CALLBACK NewProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }
}  // namespace

TEST(zSuperClass, RecordsAndLookup) {
    zSuperClass* rec = new zSuperClass(ZKCString("button"), NewProc, 0);
    WNDCLASSA wc;
    ASSERT_TRUE(GetClassInfoA(0, "button", &wc));
    EXPECT_EQ(wc.lpfnWndProc, rec->baseProc());
    EXPECT_EQ(NewProc, rec->curProc());
    EXPECT_EQ(rec, zSuperClass::lookup(ZKCString("button")));
    EXPECT_EQ(nullptr, zSuperClass::lookup(ZKCString("Button")));  // case-sensitive
    EXPECT_EQ(nullptr, zSuperClass::lookup(ZKCString("butto")));
    zSuperClass::unregister();
    EXPECT_EQ(nullptr, zSuperClass::lookup(ZKCString("button")));
}

TEST(zMessage, ShowsABoxAndKeepsTheAnswer) {
    qvtest::ClearSeenBoxes();
    zMessage m(0, "message text", "message caption", MB_OK | 0x10000 /* beyond 16 bits: dropped */);
    EXPECT_EQ(IDOK, m.value());
    auto boxes = qvtest::SeenBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("message caption", boxes[0].caption);
    EXPECT_EQ("message text", boxes[0].text);
}
