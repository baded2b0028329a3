#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "ChildProcess.h"
#include "ZKList.h"
#include "ZKxmsg.h"

TEST(ZKxmsg, CatalogueRecords) {
    struct {
        const ZKCatMsg* rec;
        const char* cat;
        long num;
        const char* text;
    } cases[] = {
        {ZKCORE_NOMEM(), "zkcore7.0", 0x1005, "[NOMEM] No memory"},
        {ZKTOOL_SUBSTRING(), "zktools7.0", 0x2010, "[SUBSTRING] Illegal substring (%d, %u) from %u element ZKCString"},
        {ZKTOOL_INDEXERR(), "zktools7.0", 0x2013,
         "[INDEXERR] Illegal Index (%u) for collection or string with %u elements"},
        {ZKTOOL_NPOSINDEX(), "zktools7.0", 0x2014, "[NPOSINDEX] The value ZK_NPOS cannot be used as an index."},
    };
    for (auto& c : cases) {
        EXPECT_STREQ(c.cat, c.rec->catalog);
        EXPECT_EQ(c.num, c.rec->number);
        EXPECT_STREQ(c.text, zkMsgLookup(c.rec));
    }
}

TEST(ZKxmsg, MessageFormatsAndIsBounded) {
    EXPECT_STREQ("[INDEXERR] Illegal Index (7) for collection or string with 3 elements",
                 ZKMessage(ZKTOOL_INDEXERR(), 7u, 3u).str());
    ZKCatMsg wide = {"test", 1, "%s"};
    std::string big(2000, 'x');
    ZKMessage m(&wide, big.c_str());
    EXPECT_EQ(503u, std::strlen(m.str()));
    ZKMessage copy(m);
    EXPECT_NE(m.str(), copy.str());
    EXPECT_STREQ(m.str(), copy.str());
}

TEST(ZKxmsg, RaisedIndexErrorFromAList) {
    ZKIsvSlist list;
    ZKIsvSlink a, b, c;
    list.insertAt(0, &a);
    list.insertAt(1, &b);
    list.insertAt(2, &c);
    try {
        list.at(7);
        FAIL() << "no error";
    } catch (const ZKInternalErr& e) {  // caught through a base class
        EXPECT_NE(nullptr, dynamic_cast<const ZKBoundsErr*>(&e));
        EXPECT_STREQ("[INDEXERR] Illegal Index (7) for collection or string with 3 elements", e.why());
    }
    list.clear();
}

TEST(ZKxmsg, CopiesOwnOrShareTheText) {
    static const char text[] = "static text";
    {
        ZKxmsg a(text, 0);
        ZKxmsg b(a);
        EXPECT_EQ(text, a.why());
        EXPECT_EQ(text, b.why());
        EXPECT_EQ(0, b.owned());
    }  // destroying them must not free the static text
    ZKxmsg c(text);
    EXPECT_NE(text, c.why());
    ZKxmsg d(c);
    EXPECT_NE(c.why(), d.why());
    EXPECT_STREQ(text, d.why());
    d.makeCopy("other");
    EXPECT_STREQ("other", d.why());
    EXPECT_EQ(1, d.owned());

    ZKxalloc al(123);
    EXPECT_EQ(zkMsgLookup(ZKCORE_NOMEM()), al.why());
    EXPECT_EQ(123u, al.requested());
}

TEST(ZKxmsg, ThrowKeepsTheClass) {
    try {
        ZKThrow(ZKFileErr("file", stdout, ZKFileErr::writeErr));
    } catch (const ZKExternalErr& e) {
        auto* f = dynamic_cast<const ZKFileErr*>(&e);
        ASSERT_NE(nullptr, f);
        EXPECT_EQ(ZKFileErr::writeErr, f->kind());
        EXPECT_STREQ("file", e.why());
    }
    try {
        ZKThrow(ZKxalloc(9));
    } catch (const ZKxalloc& e) {
        EXPECT_EQ(9u, e.requested());
    }
    try {
        ZKInternalErr("raised").raise();
    } catch (const ZKxmsg& e) {
        EXPECT_STREQ("raised", e.why());
        EXPECT_EQ(nullptr, dynamic_cast<const ZKInternalErr*>(&e));  // raise throws the base
    }
}

namespace {
void HandlerA(const ZKxmsg&) {}
void HandlerB(const ZKxmsg&) {}
}  // namespace

TEST(ZKxmsg, SetErrHandlerReturnsThePreviousOne) {
    ZKErrHandler orig = zkSetErrHandler(HandlerA);
    EXPECT_EQ(&zkFatalErrHandler, orig);
    EXPECT_EQ(&HandlerA, zkSetErrHandler(HandlerB));
    EXPECT_EQ(&HandlerB, zkSetErrHandler(orig));
}

namespace {
BOOL CALLBACK LongestStatic(HWND child, LPARAM out) {
    char cls[16] = "", t[256] = "";
    GetClassNameA(child, cls, sizeof cls);
    GetWindowTextA(child, t, sizeof t);
    char* best = reinterpret_cast<char*>(out);
    if (lstrcmpiA(cls, "Static") == 0 && std::strlen(t) > std::strlen(best)) std::strcpy(best, t);
    return TRUE;
}

// Reports the box once it has its texts, before anything can dismiss it.
LRESULT CALLBACK ReportBox(int code, WPARAM w, LPARAM l) {
    const CWPRETSTRUCT* m = reinterpret_cast<const CWPRETSTRUCT*>(l);
    char cls[16] = "";
    if (code == HC_ACTION && m->message == WM_INITDIALOG && GetClassNameA(m->hwnd, cls, sizeof cls) &&
        std::strcmp(cls, "#32770") == 0) {
        char caption[128] = "", text[256] = "";
        GetWindowTextA(m->hwnd, caption, sizeof caption);
        EnumChildWindows(m->hwnd, LongestStatic, reinterpret_cast<LPARAM>(text));
        std::printf("box[%s|%s]\n", caption, text);
        std::fflush(stdout);
    }
    return CallNextHookEx(0, code, w, l);
}
}  // namespace

QV_CHILD_CASE(FatalHandler) {
    SetWindowsHookExA(WH_CALLWNDPROCRET, ReportBox, 0, GetCurrentThreadId());
    zkGetErrHandler()(ZKBoundsErr(ZKMessage(ZKTOOL_NPOSINDEX())));
    std::printf("still running\n");
}

TEST(ZKxmsg, DefaultHandlerShowsTheTextAndEndsWithCode1) {
    auto r = qvtest::RunChild("FatalHandler");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_NE(std::string::npos,
              r.output.find("box[Fatal Error|[NPOSINDEX] The value ZK_NPOS cannot be used as an index.]"))
        << r.output;
    EXPECT_EQ(std::string::npos, r.output.find("still running"));
}
