#include "DetailWindow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ConsoleIds.h"
#include "FormApp.h"
#include "PaneScroller.h"
#include "StatusInfo.h"
#include "StatusPane.h"
#include "SysHelpers.h"
#include "TextHelpers.h"
#include "zBitmap.h"
#include "zFont.h"
#include "zResId.h"
#include "zSizer.h"

namespace {
const char* const LABELS[5] = {"Protocol: ", "Connection: ", "Command: ", "Status: ", "Result Count: "};
const int VALUE_CUT = 80;     // values are cut to 79 characters
const int COMMAND_CUT = 500;  // the command shows up to 499

int widthOf(HDC dc, const char* text) {
    SIZE s = {0, 0};
    GetTextExtentPoint32A(dc, text, (int)std::strlen(text), &s);
    return s.cx;
}
}  // namespace

DETAILPANE::DETAILPANE(zWindow* parent, zSizer* s, STATUSINFO* r)
    : zPane(parent, s, WS_CHILD | WS_HSCROLL), bevelEdge(this), record(r), dataRect(nullptr), widthUnits(100),
      minimumWidth(((12 * 2) / 5) * 100), preferredWidth(_MainFormWidth / 2), preferredHeight(_MainFormHeight / 2) {
    new PANESCROLLER(this, 5, preferredHeight, 4, WS_HSCROLL);
}

DETAILPANE::~DETAILPANE() {
    delete scroller();
    scroller(nullptr);
    delete dataRect;
}

void DETAILPANE::setDirtyData() {
    if (!hwnd) return;
    if (!dataRect) {
        InvalidateRect(hwnd, nullptr, TRUE);
        return;
    }
    zPoint o = canvas() ? canvas()->windowOrg() : zPoint();
    RECT r = {dataRect->left - o.x, dataRect->top - o.y, dataRect->right - o.x, dataRect->bottom - o.y};
    InvalidateRect(hwnd, &r, TRUE);
}

int DETAILPANE::getPreferredSize(zDimension& d) {
    d = zDimension(preferredWidth, preferredHeight);
    return 1;
}

int DETAILPANE::size(zSizeEvt*) {
    RECT c = {0, 0, 0, 0};
    GetClientRect(hwnd, &c);
    int unit = std::max((int)c.right, minimumWidth) / widthUnits;
    font.selectNormalFont(canvas(), unit);
    font.selectBoldFont(canvas(), unit);
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

void DETAILPANE::scrollPane(int dx, int dy, const zRect& r) {
    bevelEdge.ScrollInside(hwnd, dx, dy, r);
}

int DETAILPANE::draw(zDrawEvt*) {
    zDisplay* d = canvas();
    if (!d || !hwnd) return 1;
    d->lock();
    HDC dc = d->hdc();
    int oldMode = SetBkMode(dc, TRANSPARENT);
    RECT client, clip;
    GetClientRect(hwnd, &client);
    GetClipBox(dc, &clip);
    int unit = std::max((int)client.right, minimumWidth) / widthUnits;
    if (!font.boldFont) font.selectBoldFont(d, unit);
    if (!font.normalFont) font.selectNormalFont(d, unit);
    HGDIOBJ oldFont = SelectObject(dc, font.boldFont->hfont());
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    int M = 2 * tm.tmAveCharWidth;
    int R = std::max((int)(tm.tmHeight + tm.tmExternalLeading), (int)(client.bottom / 6));
    int T = (int)(R * 0.25);
    int labelWidth = 0;
    for (const char* l : LABELS) labelWidth = std::max(labelWidth, widthOf(dc, l));
    RECT labels = {0, 0, M + labelWidth, T + 5 * R}, hit;
    if (IntersectRect(&hit, &labels, &clip))
        for (int i = 0; i < 5; ++i) TextOutA(dc, M, T + i * R, LABELS[i], (int)std::strlen(LABELS[i]));
    SelectObject(dc, font.normalFont->hfont());
    int x = labelWidth + M, right = x;
    if (record) {
        APPSTATUS::Lock();
        STATUSCOPY c(*record);
        APPSTATUS::UnLock();
        char value[COMMAND_CUT];
        auto row = [&](int i, int at, const char* text, int cut) {
            _strzcpy(value, text, cut);
            TextOutA(dc, at, T + i * R, value, (int)std::strlen(value));
            right = std::max(right, at + widthOf(dc, value));
            return widthOf(dc, value);
        };
        row(0, x, c.service, VALUE_CUT);
        row(1, x, c.peer, VALUE_CUT);
        row(2, x, c.command, COMMAND_CUT);
        if (c.state[0]) {
            int w = row(3, x, c.state, VALUE_CUT);
            if (c.result[0]) row(3, x + w + M, c.result, VALUE_CUT);
        }
        char count[40];
        if (c.total)
            std::snprintf(count, sizeof count, "%ld of %ld", c.count, c.total);
        else
            std::snprintf(count, sizeof count, "%ld", c.count);
        row(4, x, count, VALUE_CUT);
    }
    delete dataRect;
    dataRect = new zRect(x, 0, right, T + 5 * R);
    BOOL wider = right > preferredWidth;
    if (wider) preferredWidth = right;
    bevelEdge.DrawBevel(FALSE, FALSE);
    SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
    d->unlock();
    if (wider && _pMainForm) PostAppMessage(_pMainForm->windowHandle(), APPMSG_DRAW, (LPARAM)scroller());
    return 1;
}

DETAILWINDOW::DETAILWINDOW(STATUSPANE* p, const zRect& at, STATUSINFO* r)
    : zDialogFrame(_pMainForm, new zSizer(at.left, at.top, at.width(), at.height()),
                   WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                   "Connection Details"),
      pane(p), detailPane(nullptr) {
    detailPane = new DETAILPANE(this, new zSizeWithParent(), r);
    if (hwnd) SendMessageA(hwnd, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(zResAppInstance(), MAKEINTRESOURCEA(IDI_LARGE)));
    show(SW_SHOWNOACTIVATE);
    detailPane->show();
}

DETAILWINDOW::~DETAILWINDOW() {}

int DETAILWINDOW::kill(zEvent*) {
    if (pane) {
        pane->setDirtyLine();
        pane->selected = nullptr;
        pane->detail = nullptr;
        pane = nullptr;
        // Nobody owns the window now: it goes with its handle.
        deleteOnDestroy(1);
    }
    return 0;
}

void DETAILWINDOW::SetDirtyData() {
    if (detailPane) detailPane->setDirtyData();
}

void DETAILWINDOW::ShowRecord(STATUSINFO* r) {
    if (!detailPane) return;
    detailPane->record = r;
    if (detailPane->hwnd) InvalidateRect(detailPane->hwnd, nullptr, TRUE);
}
