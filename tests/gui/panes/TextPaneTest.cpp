#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "DlgKit.h"
#include "zApp.h"
#include "zBitmapPane.h"
#include "zResId.h"
#include "zControl.h"
#include "zDisplay.h"
#include "zTabCtrl.h"
#include "zTextPane.h"

using dlgkit::App;

namespace {

std::string trimmed(const std::string& s) { return s.substr(0, s.find_last_not_of(' ') + 1); }

class TextPanes : public ::testing::Test {
protected:
    zAppFrame* frame = nullptr;
    void SetUp() override {
        App();
        frame = new zAppFrame(nullptr, nullptr, WS_POPUP, "text", 0);
        _app->mainFrame = nullptr;
        MoveWindow(frame->hwnd, 0, 0, 900, 500, TRUE);
    }
    void TearDown() override { delete frame; }
    zTextPane* pane(int rows, int columns) {
        zTextPane* p = new zTextPane(frame, nullptr, 0, rows, columns);
        MoveWindow(p->hwnd, 0, 0, 880, 480, TRUE);
        return p;
    }
};

TEST_F(TextPanes, WritingMovesTheCursorCutsAndScrolls) {
    struct Case {
        const char* what;
        int rows, columns, left;
        const char* text;
        const char* expect[3];
        zPoint cursor;
    };
    const Case cases[] = {
        {"two lines", 3, 10, 0, "AB\nCD", {"AB", "CD", ""}, zPoint(2, 1)},
        {"over-long line is cut", 3, 5, 0, "0123456789\nX", {"01234", "X", ""}, zPoint(1, 1)},
        {"cut returns to the left limit", 3, 5, 2, "0123456", {"01234", "", ""}, zPoint(2, 1)},
        {"LF on the last row scrolls", 3, 5, 0, "a\nb\nc\nd", {"b", "c", "d"}, zPoint(1, 2)},
        {"CR shows as a blank", 3, 5, 0, "A\rB", {"A B", "", ""}, zPoint(3, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        zTextPane* p = pane(c.rows, c.columns);
        p->setLeftLimit(c.left);
        std::string text = c.text;
        p->put(&text[0]);
        for (int r = 0; r < 3; ++r) EXPECT_EQ(c.expect[r], trimmed(p->buf.rowText(r))) << "row " << r;
        EXPECT_EQ(c.cursor, p->cursor);
        delete p;
    }
}

TEST_F(TextPanes, StreamOperatorsAndBoundedFormatting) {
    zTextPane* p = pane(4, 40);
    *p << zPoint(3, 4);
    *p << zDimension(80, 25);
    EXPECT_EQ("(3,4)[80,25]", trimmed(p->buf.rowText(0)));
    // Far longer than the formatting buffer: cut, never overrun.
    std::string big(5000, 'x');
    p->printAt(0, 2, "%s%s", big.c_str(), big.c_str());
    EXPECT_EQ(std::string(40, 'x'), p->buf.rowText(2));
    EXPECT_EQ(zPoint(0, 3), p->cursor);
}

TEST_F(TextPanes, LongRowsKeepTheirLengthAndConversionsClamp) {
    zTextPane* p = pane(3, 200);
    std::string line(180, 'w');
    p->put(&line[0]);
    EXPECT_EQ(180, p->buf.usedLength(0)) << "a row past 127 columns keeps its length";

    zPoint outside(-50, -50);
    p->logToText(outside);
    EXPECT_EQ(zPoint(0, 0), outside);
    zPoint beyond(100000, 100000);
    p->logToText(beyond);
    EXPECT_EQ(zPoint(199, 2), beyond);
    zPoint cell(3, 2);
    p->textToLog(cell);
    EXPECT_EQ(zPoint(3 * p->charWidth + p->leftMargin, 2 * p->lineHeight + p->topMargin), cell);
    zDimension pref;
    EXPECT_EQ(1, p->getPreferredSize(pref));
    EXPECT_EQ(200 * p->charWidth + 2 * p->leftMargin, pref.width);
}

// Paints only where text was written, also far right in a wide grid.
TEST_F(TextPanes, PaintInksOnlyTheWrittenCells) {
    zTextPane* p = pane(6, 200);
    ASSERT_GT(p->charWidth, 0);
    int column = 140;
    if ((column + 1) * p->charWidth + p->leftMargin > GetSystemMetrics(SM_CXSCREEN)) column = 20;
    p->printAt(3, 1, "X");
    p->printAt(column, 4, "X");
    frame->show(SW_SHOWNORMAL);
    p->show(SW_SHOWNORMAL);
    InvalidateRect(p->hwnd, nullptr, TRUE);
    UpdateWindow(p->hwnd);
    HDC dc = GetDC(p->hwnd);
    COLORREF background = GetPixel(dc, 1, 1);
    auto inkIn = [&](int col, int row) {
        zPoint at(col, row);
        p->textToLog(at);
        int n = 0;
        for (int y = at.y; y < at.y + p->lineHeight; ++y)
            for (int x = at.x; x < at.x + p->charWidth; ++x) n += GetPixel(dc, x, y) != background;
        return n;
    };
    EXPECT_GT(inkIn(3, 1), 0);
    EXPECT_GT(inkIn(column, 4), 0);
    for (zPoint empty : {zPoint(2, 1), zPoint(4, 1), zPoint(3, 0), zPoint(3, 2), zPoint(column - 1, 4)})
        EXPECT_EQ(0, inkIn(empty.x, empty.y)) << empty.x << "," << empty.y;
    ReleaseDC(p->hwnd, dc);
    zScrollInfo* v = p->vertScrollInfo();
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(6 * p->lineHeight + p->topMargin + p->bottomMargin, v->maxPos());
    EXPECT_EQ(p->lineHeight, v->lineStep());
}

TEST(ReaderTypes, TemplateItemsBuildTheFrameworkClasses) {
    App();
    zAppFrame frame(nullptr, nullptr, WS_POPUP, "types", 0);
    _app->mainFrame = nullptr;
    ASSERT_GT(frame.populateFromRes(zResId(300)), 0);
    EXPECT_NE(nullptr, dynamic_cast<zTextPane*>(frame.get(301)));
    zWindow* plain = frame.get(302);
    EXPECT_TRUE(plain && typeid(*plain) == typeid(zPaneControl));
    EXPECT_NE(nullptr, dynamic_cast<zBitmapPane*>(frame.get(303)));
    EXPECT_NE(nullptr, dynamic_cast<zTabCtrl*>(frame.get(304)));
    zWindow* sub = frame.get(305);
    ASSERT_NE(nullptr, dynamic_cast<zGenericControl*>(sub));
    char cls[32];
    GetClassNameA(sub->hwnd, cls, sizeof cls);
    EXPECT_STREQ("subedit", cls);
    char text[16];
    GetWindowTextA(sub->hwnd, text, sizeof text);
    EXPECT_STREQ("sub", text) << "the edit's own procedure answers through the superclass";
}

}  // namespace
