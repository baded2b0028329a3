#include <gtest/gtest.h>

#include <vector>

#include "Probe.h"
#include "TestApp.h"
#include "zMenu.h"
#include "zPane.h"
#include "zResId.h"

using namespace wintest;

namespace {

// A handler that deletes what owns its record, then lets the walk go on.
class Destroyer : public zEvH {
public:
    HWND window = 0;
    zMenu* menu = nullptr;
    int calls = 0;
    int on(zEvent*) {
        ++calls;
        if (window) DestroyWindow(window);
        if (menu) delete menu;
        return 0;
    }
};

class WalkSafety : public ProbeFixture {};

TEST_F(WalkSafety, HandlerDeletingItsWindowEndsTheWalk) {
    // Its own frame: deleted with its window, which the handler destroys.
    Log own;
    ProbeFrame* doomed = new ProbeFrame(&own);
    doomed->deleteOnDestroy(1);
    Destroyer d;
    d.window = doomed->hwnd;
    Recorder later(&log, "older record");
    doomed->setHandler(&later, RecOn(), WM_USER + 7);
    doomed->setHandler(&d, zHandlerOf(&Destroyer::on), WM_USER + 7);
    HWND h = doomed->hwnd;
    SendMessageA(h, WM_USER + 7, 0, 0);
    EXPECT_EQ(1, d.calls);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(Log({}), log) << "no record of the deleted window runs after it";
}

TEST_F(WalkSafety, MenuDeletedFromItsOwnCommand) {
    auto* m = new zMenu(frame, zResId(100));
    frame->menu(m);
    Destroyer d;
    d.menu = m;
    Recorder older(&log, "older");
    m->setCommand(&older, RecOn(), 201);
    m->setCommand(&d, zHandlerOf(&Destroyer::on), 201);
    SendMessageA(frame->hwnd, WM_COMMAND, 201, 0);
    EXPECT_EQ(1, d.calls);
    EXPECT_EQ(nullptr, frame->menu());
    EXPECT_EQ(Log({}), log);
}

// Its check deletes one sibling and makes another.
class Rebuilder : public zPaneControl {
public:
    std::vector<int>* checked;
    zWindow* victim = nullptr;
    Rebuilder(zWindow* p, int id, std::vector<int>* c) : zPaneControl(p, nullptr, WS_CHILD, nullptr, id), checked(c) {}
    int checkData() override {
        checked->push_back(id());
        if (victim) {
            delete victim;
            victim = nullptr;
            new Rebuilder(parentWin, 99, checked);
        }
        return 1;
    }
};

TEST_F(WalkSafety, CheckThatAddsAndDeletesSiblingsCompletes) {
    std::vector<int> checked;
    Rebuilder* first = new Rebuilder(frame, 1, &checked);
    first->victim = new Rebuilder(frame, 2, &checked);
    new Rebuilder(frame, 3, &checked);
    EXPECT_EQ(1, frame->checkData());
    EXPECT_EQ(std::vector<int>({1, 3}), checked) << "the deleted one is skipped, the new one waits";
    checked.clear();
    EXPECT_EQ(1, frame->checkData());
    EXPECT_EQ(std::vector<int>({1, 3, 99}), checked);
}

}  // namespace
