// The status pane, its records and helpers, and the status line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ConsoleFixture.h"
#include "FormApp.h"
#include "PaneFont.h"
#include "SpControl.h"
#include "StatusInfo.h"
#include "StatusLine.h"
#include "StatusPane.h"
#include "SvrSystem.h"
#include "TextHelpers.h"
#include "TimeStamp.h"
#include "Timer.h"
#include "zFont.h"

using console::ConsoleTest;

namespace {

STATUSINFO* Record(const char* peer, const char* result = "", const char* state = "Active", long count = 0,
                   long total = 0, BOOL inbound = FALSE) {
    STATUSINFO* r = _pMainForm->GetStatusInfo();
    _strzcpy(r->peer, peer, sizeof r->peer);
    _strzcpy(r->result, result, sizeof r->result);
    _strzcpy(r->state, state, sizeof r->state);
    _strzcpy(r->method, "GET", sizeof r->method);
    r->resultCount = count;
    r->resultTotal = total;
    r->inbound = inbound;
    r->changed = TRUE;
    return r;
}

class PaneTest : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        MakeServer({});
        MakeForm();
        form->createStatusPane();
        form->SetSize();
        form->show(SW_SHOWNORMAL);
        pane = form->statusPane;
    }
    // Paints what is invalid now.
    void Paint() {
        RunUntil([] { return false; }, 20);
        UpdateWindow(pane->windowHandle());
    }
    STATUSPANE* pane = nullptr;
};

}  // namespace

TEST(StatusResult, TextStateCountAndCountOfTotal) {
    struct Case {
        const char* what;
        const char* result;
        const char* state;
        long count, total;
        BOOL inbound;
        const char* shown;
    } cases[] = {
        {"result before anything counted", "200 OK", "Active", 0, 0, FALSE, "200 OK"},
        {"state without a result", "", "Waiting", 0, 0, FALSE, "Waiting"},
        {"count without a total", "200 OK", "Active", 512, 0, FALSE, "512"},
        {"count of a known total", "200 OK", "Active", 512, 2048, FALSE, "512 of 2048"},
        {"inbound never a count", "", "Inbound", 512, 2048, TRUE, "Inbound"},
    };
    for (const Case& c : cases) {
        APPSTATUS r;
        _strzcpy(r.result, c.result, sizeof r.result);
        _strzcpy(r.state, c.state, sizeof r.state);
        r.resultCount = c.count;
        r.resultTotal = c.total;
        r.inbound = c.inbound;
        char out[96];
        StatusResultText(STATUSCOPY(r), out, sizeof out);
        EXPECT_STREQ(c.shown, out) << c.what;
    }
}

TEST(DetailPlacement, BelowAtTheLineAreaAboveOrHalfway) {
    struct Case {
        const char* what;
        RECT main;
        int lineBottom;
        int y;
    } cases[] = {
        {"below the main window", {100, 200, 445, 380}, 350, 380},
        {"at the bottom of the line area", {100, 650, 445, 760}, 600, 600},
        {"above the main window", {100, 650, 445, 760}, 740, 560},
        {"halfway down the main window", {100, 50, 445, 760}, 700, 380},
    };
    for (const Case& c : cases) {
        zRect r = DetailPlacement(c.main, c.lineBottom, 768, 345);
        EXPECT_EQ(zRect(100, c.y, 445, c.y + 90), r) << c.what;
    }
}

TEST(PaneFontSizes, EveryWidthAndAConfiguredSizeGiveTwelve) {
    PANEFONT f;
    for (int unit : {0, 1, 4, 5, 40, 400}) {
        EXPECT_EQ(12, f.calcHeight(unit)) << unit;
        EXPECT_EQ(12, f.calcBoldHeight(unit)) << unit;
    }
    f.UseSettings("Arial", "", 20);
    EXPECT_EQ(12, f.calcHeight(3)) << "a configured Font Size";
    ziInfoDisplay display;
    display.lock();
    zFont* normal = f.selectNormalFont(&display, 7);
    zFont* bold = f.selectBoldFont(&display, 7);
    display.unlock();
    ASSERT_TRUE(normal && bold);
    EXPECT_EQ(12, std::abs(normal->logFont().lfHeight));
    EXPECT_EQ(12, std::abs(bold->logFont().lfHeight));
}

TEST_F(PaneTest, MinimumWidthOfBothLayouts) {
    EXPECT_EQ(260, pane->minimumWidth);
    STATUSPANE five(form, nullptr, TRUE);
    EXPECT_EQ(364, five.minimumWidth);
}

TEST_F(PaneTest, AFreedRecordLeavesItsLineBlankAndIsReusedThere) {
    STATUSINFO* one = Record("From: one");
    STATUSINFO* two = Record("From: two");
    STATUSINFO* three = Record("From: three");
    Paint();
    ASSERT_EQ(1, one->displayLine);
    ASSERT_EQ(2, two->displayLine);
    ASSERT_EQ(3, three->displayLine);
    ASSERT_TRUE(two->lineRect && one->lineRect);
    EXPECT_EQ(one->lineRect->bottom, two->lineRect->top);

    two->NotifyTerminateLink();
    ASSERT_FALSE(two->InUse());
    pane->linesDrawn = 0;
    InvalidateRect(pane->windowHandle(), nullptr, TRUE);
    Paint();
    EXPECT_EQ(2, pane->linesDrawn) << "the freed record's line stays blank";

    STATUSINFO* next = Record("From: four");
    EXPECT_EQ(two, next) << "the first free record in chain order";
    Paint();
    EXPECT_EQ(2, next->displayLine);
    EXPECT_EQ(3, form->statusChain->Count());
}

TEST_F(PaneTest, AChangedRecordRepaintsOnlyItsLine) {
    std::vector<STATUSINFO*> records;
    for (int i = 0; i < 5; ++i) records.push_back(Record("From: somebody", "", "Active", i));
    Paint();
    pane->linesDrawn = 0;
    records[3]->resultCount = 4096;
    records[3]->changed = TRUE;
    pane->UpdateDisplayLine(records[3]);
    Paint();
    EXPECT_EQ(1, pane->linesDrawn);
}

TEST_F(PaneTest, TruncateTextKeepsAPrefixThatFits) {
    zDisplay* d = pane->canvas();
    d->lock();
    HDC dc = d->hdc();
    HGDIOBJ old = SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
    auto width = [dc](const std::string& s) {
        SIZE z;
        GetTextExtentPoint32A(dc, s.c_str(), (int)s.size(), &z);
        return (int)z.cx;
    };
    char out[80];
    EXPECT_FALSE(STATUSPANE::truncateText(d, "", out, sizeof out, 100));
    EXPECT_STREQ("", out);
    EXPECT_TRUE(STATUSPANE::truncateText(d, "From: host", out, sizeof out, 1000));
    EXPECT_STREQ("From: host", out);
    std::string longer = "From: a.rather.long.host.name.example";
    int limit = width("From: a.rather");
    EXPECT_TRUE(STATUSPANE::truncateText(d, longer.c_str(), out, sizeof out, limit));
    std::string cut = out;
    EXPECT_EQ(0u, longer.find(cut));
    EXPECT_LE(width(cut), limit);
    EXPECT_GT(width(longer.substr(0, cut.size() + 2)), limit) << "one character short of the measured prefix";
    std::string hundred(100, 'x');
    EXPECT_TRUE(STATUSPANE::truncateText(d, hundred.c_str(), out, sizeof out, 100000));
    EXPECT_EQ(79u, std::strlen(out)) << "texts are cut to 79 characters";
    char exact[10];
    EXPECT_TRUE(STATUSPANE::truncateText(d, "123456789A", exact, sizeof exact, 100000));
    EXPECT_EQ(9u, std::strlen(exact)) << "a capacity equal to the length still leaves the terminator";
    SelectObject(dc, old);
    d->unlock();
}

TEST_F(PaneTest, StatusLineHoldsTimedMessages) {
    STATUSLINE* line = form->statusLine;
    line->SetMessage("timed one", TRUE);
    EXPECT_TRUE(line->IsHolding());
    EXPECT_TRUE(line->holdTimer->IsQueued());
    long dueIn = (long)(line->holdTimer->due.seconds - TIMESTAMP::Now());
    EXPECT_TRUE(dueIn >= 4 && dueIn <= 5) << dueIn;
    line->SetMessage("untimed", FALSE);
    EXPECT_STREQ("timed one", line->Message()) << "an untimed message is dropped while held";
    line->SetMessage("timed two", TRUE);
    EXPECT_STREQ("timed two", line->Message()) << "a timed message wins at once";
    STATUSLINE::clearMsgTimer(line);
    EXPECT_FALSE(line->IsHolding());
    EXPECT_STREQ("timed two", line->Message()) << "the text stays when the hold ends";
    line->SetMessage("untimed", FALSE);
    EXPECT_STREQ("untimed", line->Message());
    RunUntil([] { return false; }, 20);
    UpdateWindow(line->windowHandle());
    int draws = line->draws;
    line->SetMessage("untimed", FALSE);
    UpdateWindow(line->windowHandle());
    EXPECT_EQ(draws, line->draws) << "equal text: no redraw";
    line->SetMessage("other", FALSE);
    UpdateWindow(line->windowHandle());
    EXPECT_EQ(draws + 1, line->draws);
    line->SetMessage(nullptr, TRUE);
    EXPECT_STREQ("other", line->Message());
}

// A benchmark (tools/run-benchmarks): several hundred records, a few changing
// per round, each change announced as the link threads do (0xC82); the rounds
// paint only the changed lines, against rounds that repaint every record.
TEST_F(PaneTest, DISABLED_ChangedLinesRepaintAloneAmongHundreds) {
    const int total = 500, changedPerRound = 10, rounds = 200;
    std::vector<STATUSINFO*> records;
    for (int i = 0; i < total; ++i) records.push_back(Record("From: 192.168.1.23", "", "Active", i, total));
    Paint();
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    auto seconds = [&] { return double(b.QuadPart - a.QuadPart) / double(f.QuadPart); };

    pane->linesDrawn = 0;
    QueryPerformanceCounter(&a);
    for (int round = 0; round < rounds; ++round) {
        for (int k = 0; k < changedPerRound; ++k) {
            STATUSINFO* r = records[(round * 37 + k * 53) % total];
            r->resultCount += 1024;
            r->changed = TRUE;
            pane->UpdateDisplayLine(r);
        }
        UpdateWindow(pane->windowHandle());
    }
    QueryPerformanceCounter(&b);
    const double changedOnly = seconds() / rounds;
    const int drawnChanged = pane->linesDrawn;
    // Lines outside the window are not repainted until they are shown.
    EXPECT_LE(drawnChanged, rounds * changedPerRound) << "only the changed lines are drawn";

    pane->linesDrawn = 0;
    QueryPerformanceCounter(&a);
    for (int round = 0; round < rounds; ++round) {
        for (STATUSINFO* r : records) r->changed = TRUE;
        InvalidateRect(pane->windowHandle(), nullptr, TRUE);
        UpdateWindow(pane->windowHandle());
    }
    QueryPerformanceCounter(&b);
    const double whole = seconds() / rounds;
    std::printf("%d records, %d changed per round: %.3f ms per round (%d lines drawn); all: %.3f ms (%d lines)\n",
                total, changedPerRound, changedOnly * 1000, drawnChanged / rounds, whole * 1000,
                pane->linesDrawn / rounds);
}
