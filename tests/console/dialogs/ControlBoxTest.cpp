// The line control box: where it opens, which switches it shows, and what a
// click, Escape or Enter does.
#include <gtest/gtest.h>

#include <vector>

#include "ConsoleFixture.h"
#include "ControlBox.h"
#include "DlgKit.h"
#include "FormApp.h"
#include "SvrSystem.h"
#include "TextHelpers.h"
#include "zBitmapPane.h"

using console::ConsoleTest;

TEST(ControlBoxPlace, OffTheTaskBarOnEachEdge) {
    const SIZE box = {100, 80};
    const long desktopRight = 1024;
    struct Case {
        const char* what;
        POINT anchor;
        RECT bar;
        POINT expected;
    } cases[] = {
        {"no task bar", {500, 400}, {0, 0, 0, 0}, {401, 321}},
        {"bottom, anchor on it", {500, 750}, {0, 740, 1024, 768}, {401, 660}},
        {"bottom, box clear of it", {500, 400}, {0, 740, 1024, 768}, {401, 321}},
        {"right, anchor on it", {1010, 400}, {990, 0, 1024, 768}, {890, 321}},
        {"left, anchor near it", {60, 400}, {0, 0, 30, 768}, {30, 321}},
        {"top, anchor near it", {500, 50}, {0, 0, 1024, 28}, {401, 28}},
    };
    for (const Case& c : cases) {
        POINT p = ControlBoxPlace(c.anchor, box, c.bar, desktopRight);
        EXPECT_EQ(c.expected.x, p.x) << c.what;
        EXPECT_EQ(c.expected.y, p.y) << c.what;
    }
}

class ControlBoxTest : public ConsoleTest {
protected:
    static std::vector<std::pair<int, BOOL>> switched;
    static BOOL defined[4];
    static int answer;
    static BOOL isDefined(int n) { return defined[n - 1]; }
    static int record(int n, BOOL up) {
        switched.push_back({n, up});
        return answer;
    }
    void SetUp() override {
        ConsoleTest::SetUp();
        switched.clear();
        answer = 1;
        CONTROLBOXDLG::lineDefined = isDefined;
        CONTROLBOXDLG::switchLine = record;
        MakeServer({"HTTP"});
        MakeForm();
        ASSERT_TRUE(StartToReady()) << Log();
        server->lines.lineCount = 4;
        for (int i = 0; i < 4; ++i) _strzcpy(server->lines.lines[i].phonebookEntry, "ISP-A", 16);
    }
    // Opens the box at the point and runs step inside it.
    void Run(std::function<void(CONTROLBOXDLG*)> step) {
        dlgkit::Later(50, [this, step] { step(static_cast<CONTROLBOXDLG*>(form->controlBox)); });
        dlgkit::Watchdog dog(10000);
        DisplayControlBox(form, 600, 500);
        EXPECT_FALSE(dog.fired()) << "the box stayed open";
        EXPECT_EQ(nullptr, form->controlBox);
    }
    static void Click(CONTROLBOXDLG* box, int line, bool upper) {
        RECT r;
        GetWindowRect(box->panes[line - 1]->hwnd, &r);
        MapWindowPoints(nullptr, box->hwnd, reinterpret_cast<POINT*>(&r), 2);
        int y = upper ? r.top + 2 : r.bottom - 3;
        PostMessageA(box->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 5, y));
    }
};
std::vector<std::pair<int, BOOL>> ControlBoxTest::switched;
BOOL ControlBoxTest::defined[4];
int ControlBoxTest::answer;

TEST_F(ControlBoxTest, PanesFollowTheDefinedLines) {
    struct Case {
        const char* what;
        BOOL defined[4];
        std::vector<int> panes;
        POINT first;
    } cases[] = {
        {"line 1 only", {1, 0, 0, 0}, {1}, {27, 46}},
        {"lines 1 and 2", {1, 1, 0, 0}, {1, 2}, {5, 46}},
        {"lines 1 and 3", {1, 0, 1, 0}, {1, 3, 4}, {27, 46}},
    };
    for (const Case& c : cases) {
        std::copy(c.defined, c.defined + 4, defined);
        std::vector<int> shown;
        POINT first = {};
        Run([&](CONTROLBOXDLG* box) {
            ASSERT_NE(nullptr, box);
            for (int i = 0; i < 4; ++i)
                if (box->panes[i]) shown.push_back(i + 1);
            RECT r;
            GetWindowRect(box->panes[0]->hwnd, &r);
            MapWindowPoints(nullptr, box->hwnd, reinterpret_cast<POINT*>(&r), 2);
            first = {r.left, r.top};
            PostMessageA(box->hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
        });
        EXPECT_EQ(c.panes, shown) << c.what;
        EXPECT_EQ(c.first.x, first.x) << c.what;
        EXPECT_EQ(c.first.y, first.y) << c.what;
    }
}

TEST_F(ControlBoxTest, UpperHalfDialsLowerHalfHangsUpAndARefusalKeepsThePicture) {
    defined[0] = defined[1] = TRUE;
    defined[2] = defined[3] = FALSE;
    server->lines.lines[1].connected = TRUE;
    // Line 1 down, upper half: dialled. Line 2 up, lower half: hung up. Line 2 up, upper half: nothing.
    Run([](CONTROLBOXDLG* box) { Click(box, 1, true); });
    Run([](CONTROLBOXDLG* box) { Click(box, 2, false); });
    Run([](CONTROLBOXDLG* box) { Click(box, 2, true); });
    EXPECT_EQ((std::vector<std::pair<int, BOOL>>{{1, TRUE}, {2, FALSE}}), switched);
    answer = 0;
    zBitmap* before = nullptr;
    zBitmap* after = nullptr;
    Run([&](CONTROLBOXDLG* box) {
        before = box->panes[0]->bitmap();
        box->setLineState(1, TRUE);
        after = box->panes[0]->bitmap();
        EXPECT_EQ(box->disconnectedPicture, after);
        PostMessageA(box->hwnd, WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_EQ(before, after) << "a refused switch keeps the old picture";
    // A click outside every pane only closes.
    switched.clear();
    Run([](CONTROLBOXDLG* box) { PostMessageA(box->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1)); });
    EXPECT_TRUE(switched.empty());
}

TEST_F(ControlBoxTest, WithoutConfiguredLinesItAsksToConfigure) {
    _strzcpy(server->lines.lines[0].phonebookEntry, "none", 16);
    _strzcpy(server->lines.lines[1].phonebookEntry, "", 16);
    answers.answerYes(false);
    DisplayControlBox(form, 600, 500);
    RunUntil([] { return false; }, 200);
    auto boxes = answers.boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Configure Connection Settings?", boxes[0].caption);
    EXPECT_EQ(nullptr, form->controlBox);
}
