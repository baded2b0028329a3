#include <gtest/gtest.h>

#include "Probe.h"
#include "TestApp.h"

using namespace wintest;

namespace {

TEST(NotifyNode, IdRangeAndWindowFilter) {
    Log log;
    Recorder rec(&log, "r");
    zNotifyNode ranged(5, 7, RecOn(), &rec, WM_COMMAND);
    struct Case {
        WPARAM wp;
        UINT msg;
        int pass;
    } cases[] = {
        {4, WM_COMMAND, 0}, {5, WM_COMMAND, 1}, {6, WM_COMMAND, 1},          {7, WM_COMMAND, 1},
        {8, WM_COMMAND, 0}, {6, WM_INITMENU, 0}, {MAKEWPARAM(6, 3), WM_COMMAND, 1},  // high word ignored
    };
    for (const Case& c : cases) {
        zEvent e((HWND)1, c.msg, c.wp, 0);
        EXPECT_EQ(c.pass, ranged.check(&e)) << c.wp << " " << c.msg;
    }

    zNotifyNode filtered(RecOn(), &rec, WM_USER, nullptr);
    EXPECT_EQ(0xFFFFu, filtered.highId);
    zEvent any((HWND)0x55, WM_USER, 1234, 0);
    EXPECT_TRUE(filtered.check(&any));
    filtered.windowFilter = (HWND)0x66;
    EXPECT_FALSE(filtered.check(&any));
}

TEST(NotifyNode, ControlNotificationNeedsItsExactCodeAndControl) {
    Log log;
    Recorder rec(&log, "r");
    zCtrlNotifyNode n(12, (HWND)0x40, 1, RecOn(), &rec);
    zEvent code1((HWND)9, WM_COMMAND, MAKEWPARAM(12, 1), 0x40);
    zEvent code0((HWND)9, WM_COMMAND, MAKEWPARAM(12, 0), 0x40);
    zEvent otherCtl((HWND)9, WM_COMMAND, MAKEWPARAM(12, 1), 0x41);
    EXPECT_TRUE(n.check(&code1));
    EXPECT_FALSE(n.check(&code0));
    EXPECT_FALSE(n.check(&otherCtl));
}

class Lists : public ::testing::Test {
protected:
    Log log;
    ProbeFrame* frame = nullptr;
    zChildWin* child = nullptr;
    void SetUp() override {
        frame = new ProbeFrame(&log);
        App()->mainFrame = nullptr;
        child = new zChildWin(frame, nullptr, 0, 12);
        child->create();
    }
    void TearDown() override { delete frame; }
    LRESULT notify(unsigned code) {
        return SendMessageA(frame->hwnd, WM_COMMAND, MAKEWPARAM(12, code), (LPARAM)child->hwnd);
    }
};

TEST_F(Lists, ChildCommandsAndNotificationsLandOnTheParent) {
    Recorder cmd(&log, "cmd"), note(&log, "note");
    child->setCommand(&cmd, RecOn());
    child->setupNotify(&note, RecOn(), 1);
    notify(0);
    EXPECT_EQ(Log({"cmd", "command"}), log) << "code 0 passes the code-1 notification by";
    log.clear();
    notify(1);
    EXPECT_EQ(Log({"note", "cmd", "command"}), log) << "the command list goes before the handler list";

    log.clear();
    child->removeNotify(&note, RecOn(), 1);
    child->removeCommand(&cmd, RecOn());
    notify(1);
    EXPECT_EQ(Log({"command"}), log);
}

TEST_F(Lists, CommandEventHandlersReceiveTheCommandView) {
    Recorder cmd(&log, "cmd", 1);
    child->setCommand(&cmd, zHandlerOf(&Recorder::onCmd));
    EXPECT_EQ(1, notify(5));
    EXPECT_EQ(Log({"cmd:12"}), log);
}

TEST(Lists2, ParentlessChildRegistersNothing) {
    Log log;
    Recorder cmd(&log, "cmd");
    zChildWin orphan(nullptr, nullptr, 0, 3);
    orphan.setCommand(&cmd, RecOn());
    orphan.setupNotify(&cmd, RecOn(), 1);
    orphan.removeCommand(&cmd, RecOn());
    EXPECT_EQ(nullptr, orphan.handlers);
}

// A handler that removes itself, and a neighbour, while the list is walked.
class SelfRemover : public zEvH {
public:
    zWindow* w;
    Log* log;
    zEvH* other;
    SelfRemover(zWindow* win, Log* l, zEvH* o) : w(win), log(l), other(o) {}
    int on(zEvent*) {
        log->push_back("remover");
        w->removeHandler(this, zHandlerOf(&SelfRemover::on), WM_USER + 9);
        w->removeHandler(other, RecOn(), WM_USER + 9);
        return 0;
    }
};

TEST_F(Lists, RecordsRemovedDuringAWalkAreSkippedAndFreedSafely) {
    Recorder later(&log, "later"), earlier(&log, "earlier");
    frame->setHandler(&earlier, RecOn(), WM_USER + 9);
    frame->setHandler(&later, RecOn(), WM_USER + 9);
    SelfRemover remover(frame, &log, &earlier);
    frame->setHandler(&remover, zHandlerOf(&SelfRemover::on), WM_USER + 9);
    SendMessageA(frame->hwnd, WM_USER + 9, 0, 0);
    EXPECT_EQ(Log({"remover", "later"}), log);
    log.clear();
    SendMessageA(frame->hwnd, WM_USER + 9, 0, 0);
    EXPECT_EQ(Log({"later"}), log);
    EXPECT_EQ(1, frame->handlers->count());
}

TEST_F(Lists, RemovingAnAbsentRecordDoesNothing) {
    Recorder a(&log, "a"), b(&log, "b");
    frame->setHandler(&a, RecOn(), WM_USER + 1);
    frame->removeHandler(&b, RecOn(), WM_USER + 1);
    frame->removeHandler(&a, RecOn(), WM_USER + 2);
    App()->removeHandler(&a, RecOn(), WM_USER + 1);
    EXPECT_EQ(1, frame->handlers->count());
}

}  // namespace
