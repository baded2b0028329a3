#include "StatusPane.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "BackgroundDisplay.h"
#include "ConsoleIds.h"
#include "ConsoleState.h"
#include "DetailWindow.h"
#include "FormApp.h"
#include "PaneScroller.h"
#include "SpControl.h"
#include "StatusInfo.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TaskAbend.h"
#include "TextHelpers.h"
#include "zBitmap.h"
#include "zFont.h"
#include "zResId.h"

namespace {
const char* const FIVE_NAMES[] = {"Protocol", "Connection", "Link", "Command", "Result"};
const int FIVE_WIDTHS[] = {18, 35, 8, 12, 18};
const char* const THREE_NAMES[] = {"Connection", "Command", "Result"};
const int THREE_WIDTHS[] = {32, 15, 18};
const char ACTIVE_PROTOCOLS[] = "Active Protocols:";
const char INTERFACE_STATUS[] = "Interface Status:";
const int PREFERRED_WIDTH = 475;
const int DETAIL_HEIGHT = 90;
const int TEXT_CUT = 80;  // connection texts are cut into a buffer of this size

bool meets(const zRect& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

int textWidth(HDC dc, const char* text, int n = -1) {
    SIZE s = {0, 0};
    GetTextExtentPoint32A(dc, text, n < 0 ? (int)std::strlen(text) : n, &s);
    return s.cx;
}

void textAt(HDC dc, int x, int y, const char* text) { TextOutA(dc, x, y, text, (int)std::strlen(text)); }

// The records of the chain, taken under the chain's lock; records are never
// removed while the pane lives, so the pointers stay good after it is let go.
std::vector<STATUSINFO*> records(CHAIN<STATUSINFO>* chain) {
    std::vector<STATUSINFO*> out;
    if (!chain) return out;
    CITERATOR<STATUSINFO> it;
    for (STATUSINFO* r = it.Begin(*chain); r; r = it.Next()) out.push_back(r);
    it.End();
    return out;
}
}  // namespace

const STATUSCOLUMNS STATUS_FIVE_COLUMNS = {5, FIVE_NAMES, FIVE_WIDTHS, 91};
const STATUSCOLUMNS STATUS_THREE_COLUMNS = {3, THREE_NAMES, THREE_WIDTHS, 65};

STATUSINFO* STATUSPANE::lastDetail = nullptr;
int STATUSPANE::lastWidth = 0;
int STATUSPANE::lastLineHeight = 0;

zRect DetailPlacement(const RECT& main, int lineAreaBottom, int screenHeight, int width) {
    int y = main.bottom;
    if (y + DETAIL_HEIGHT > screenHeight) y = lineAreaBottom;
    if (y + DETAIL_HEIGHT > screenHeight) y = main.top - DETAIL_HEIGHT;
    if (y < 0) y = (int)(main.bottom * 0.5);
    return zRect(main.left, y, main.left + width, y + DETAIL_HEIGHT);
}

STATUSPANE::STATUSPANE(zWindow* parent, zSizer* s, BOOL five)
    : zPane(parent, s, WS_CHILD | WS_CLIPSIBLINGS | WS_VSCROLL), bevelEdge(this), detail(nullptr), selected(nullptr),
      backgroundDisplay(nullptr), backgroundBitmap(nullptr), headerRect(nullptr), lineAreaRect(nullptr),
      fractions(nullptr), minimumWidth(0), totalUnits(0), preferredWidth(PREFERRED_WIDTH), preferredHeight(0),
      clickX(0), clickY(0), nextLine(1), fiveColumn(five), columns(five ? &STATUS_FIVE_COLUMNS : &STATUS_THREE_COLUMNS),
      linesDrawn(0) {
    SVRSYSTEM* svr = _pSvr;
    if (svr) font.UseSettings(svr->config.displayFont1, svr->config.displayFont2, svr->config.fontSize);
    totalUnits = columns->total;
    fractions = new float[columns->count];
    for (int i = 0; i < columns->count; ++i) fractions[i] = (float)columns->widths[i] / (float)totalUnits;
    new PANESCROLLER(this, PREFERRED_WIDTH, 10, 4, WS_VSCROLL);
    minimumWidth = ((font.minimumHeight * 2) / 5) * totalUnits;
    BOOL testIcons = svr && svr->config.testIconFiles;
    if (testIcons) {
        char path[MAX_PATH];
        const char* name = _pSupport ? _pSupport->module.GetRCString(IDS_BACKGROUND_FILE) : "BX_BKGRD.BMP";
        BuildPathName(path, svr->configDirectory, name);
        backgroundBitmap = new zBitmap((zDisplay*)nullptr, path);
    } else {
        BOOL nt = _SystemIsWindowsNT || (svr && svr->lowColour);
        backgroundBitmap = new zBitmap(zResId(nt ? IDB_BACKGROUND_NT : IDB_BACKGROUND));
    }
    if (backgroundBitmap && !backgroundBitmap->hbitmap()) {
        delete backgroundBitmap;
        backgroundBitmap = nullptr;
    }
    backgroundDisplay = new BACKGROUNDDISPLAY(this);
    lastDetail = nullptr;
    lastWidth = lastLineHeight = 0;
}

STATUSPANE::~STATUSPANE() {
    delete scroller();
    scroller(nullptr);
    if (detail) {
        DETAILWINDOW* d = detail;
        detail = nullptr;
        d->pane = nullptr;
        delete d;
    }
    delete headerRect;
    delete lineAreaRect;
    delete[] fractions;
    delete backgroundDisplay;
    delete backgroundBitmap;
    lastDetail = nullptr;
}

CHAIN<STATUSINFO>* STATUSPANE::getStatusChain() {
    if (!_pMainForm || !_pMainForm->statusChain) _Task_Abend(ABEND_PTR101, 0);
    return _pMainForm->statusChain;
}

int STATUSPANE::effectiveWidth(int clientWidth) const { return std::max(clientWidth, minimumWidth); }

void STATUSPANE::setDirtyLine(const zRect& r) {
    if (!hwnd) return;
    zPoint o = canvas() ? canvas()->windowOrg() : zPoint();
    RECT w = {r.left - o.x, r.top - o.y, r.right - o.x, r.bottom - o.y};
    InvalidateRect(hwnd, &w, TRUE);
}

void STATUSPANE::setDirtyLine() {
    if (selected && selected->lineRect) setDirtyLine(*selected->lineRect);
}

void STATUSPANE::setDirtyStatus() {
    if (headerRect) setDirtyLine(*headerRect);
}

void STATUSPANE::UpdateDisplayLine(STATUSINFO* record) {
    if (!hwnd) return;
    if (record && record->lineRect)
        setDirtyLine(*record->lineRect);
    else
        InvalidateRect(hwnd, nullptr, TRUE);
}

STATUSINFO* STATUSPANE::getActiveStatusInfo(const zPoint& p) {
    for (STATUSINFO* r : records(getStatusChain())) {
        const zRect* q = r->lineRect;
        if (r->InUse() && q && p.x >= q->left && p.x <= q->right && p.y >= q->top && p.y <= q->bottom) return r;
    }
    return nullptr;
}

BOOL STATUSPANE::WithinConnBox(const zPoint& p) {
    if (!lineAreaRect) return FALSE;
    zPoint o = canvas() ? canvas()->windowOrg() : zPoint();
    return getActiveStatusInfo(zPoint(p.x + o.x, p.y + o.y)) != nullptr;
}

BOOL STATUSPANE::truncateText(zDisplay* display, const char* source, char* target, int targetSize, int width) {
    target[0] = 0;
    int length = (int)std::strlen(source);
    if (length == 0 || targetSize <= 0) return FALSE;
    HDC dc = display ? display->hdc() : nullptr;
    // Bounded by the target: a capacity equal to the length would not hold the terminator.
    int n = std::min(length + 1, targetSize);
    while (n > 0) {
        int measured = dc ? textWidth(dc, source, std::min(n, length)) : 0;
        if (measured > width) {
            --n;
            continue;
        }
        _strzcpy(target, source, n);
        return TRUE;
    }
    return FALSE;
}

int STATUSPANE::getPreferredSize(zDimension& d) {
    d = zDimension(preferredWidth, preferredHeight);
    return 1;
}

int STATUSPANE::size(zSizeEvt*) {
    RECT c = {0, 0, 0, 0};
    GetClientRect(hwnd, &c);
    int u = effectiveWidth(c.right - c.left) / totalUnits;
    font.selectNormalFont(canvas(), u);
    font.selectBoldFont(canvas(), u);
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

void STATUSPANE::scrollPane(int dx, int dy, const zRect& r) {
    bevelEdge.ScrollInside(hwnd, dx, dy, r);
}

int STATUSPANE::background(zEvent* e) {
    if (!backgroundBitmap || !backgroundDisplay) return zPane::background(e);
    HDC dc = (HDC)e->wParm;
    if (!dc) return zPane::background(e);
    backgroundDisplay->Borrow(e);
    backgroundDisplay->lock();
    RECT client, clip;
    GetClientRect(hwnd, &client);
    GetClipBox(dc, &clip);
    zPoint o = canvas() ? canvas()->windowOrg() : zPoint();
    zDimension tile = backgroundBitmap->size();
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, backgroundBitmap->hbitmap());
    if (tile.width > 0 && tile.height > 0) {
        for (int y = client.top; y < client.bottom; y += tile.height)
            for (int x = client.left; x < client.right; x += tile.width) {
                RECT t = {x, y, x + tile.width, y + tile.height};
                RECT hit;
                if (IntersectRect(&hit, &t, &clip)) BitBlt(dc, x, y, tile.width, tile.height, mem, 0, 0, SRCCOPY);
            }
    }
    (void)o;
    SelectObject(mem, old);
    DeleteDC(mem);
    backgroundDisplay->unlock();
    return 1;
}

int STATUSPANE::mouseButtonDown(zMouseClickEvt* e) {
    FORMAPP* form = _pMainForm;
    unsigned keys = e->keyState();
    if (!form || ((keys & MK_LBUTTON) && (keys & MK_RBUTTON))) return 0;
    clickX = e->x();
    clickY = e->y();
    BOOL left = e->msg == WM_LBUTTONDOWN || e->msg == WM_LBUTTONDBLCLK;
    if (left && form->detailPopup) {
        zPoint o = canvas() ? canvas()->windowOrg() : zPoint();
        if (STATUSINFO* r = getActiveStatusInfo(zPoint(clickX + o.x, clickY + o.y))) {
            setDirtyLine();
            selected = r;
            r->changed = TRUE;
            setDirtyLine();
        }
    } else if (!left) {
        POINT p = {clickX, clickY};
        ClientToScreen(hwnd, &p);
        form->DisplayControlBox(p.x, p.y);
    }
    return 1;
}

void STATUSPANE::layoutLines(int clientLeft, int clientWidth, int firstTop, int lineHeight, BOOL relayout) {
    for (STATUSINFO* r : records(getStatusChain())) {
        if (!r->displayLine && r->InUse()) r->displayLine = getDisplayLineNum();
        if (!r->displayLine) continue;
        if (relayout) {
            delete r->lineRect;
            r->lineRect = nullptr;
        }
        if (!r->lineRect) {
            long n = r->displayLine;
            r->lineRect = new zRect(clientLeft + 2, firstTop + (int)(n - 1) * lineHeight, clientWidth,
                                    firstTop + (int)n * lineHeight);
            r->changed = TRUE;
        }
    }
}

void STATUSPANE::drawRecord(HDC dc, STATUSINFO* r, int W, int Cb) {
    APPSTATUS::Lock();
    STATUSCOPY c(*r);
    APPSTATUS::UnLock();
    const zRect& q = *r->lineRect;
    if (r == selected) {
        RECT fill = {q.left, q.top, q.right, q.bottom};
        FillRect(dc, &fill, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
    }
    COLORREF colour = 0;
    if (_pSvr && c.line >= 1 && c.line <= 4) colour = (COLORREF)_pSvr->config.lineColors[c.line - 1];
    SetTextColor(dc, colour);
    zDisplay* d = canvas();
    char cut[TEXT_CUT];
    int x = 0, col = 0;
    auto advance = [&]() { x = (int)(x + W * fractions[col++]); };
    if (fiveColumn) {
        textAt(dc, x + Cb, q.top, c.service);
        advance();
    }
    int connectionWidth = (int)(W * fractions[col]);
    truncateText(d, c.peer, cut, sizeof cut, connectionWidth);
    textAt(dc, x + Cb, q.top, cut);
    x += connectionWidth;
    ++col;
    if (fiveColumn) {
        textAt(dc, x + Cb, q.top, c.linkType);
        advance();
    }
    textAt(dc, x + Cb, q.top, c.method);
    advance();
    char result[96];
    StatusResultText(c, result, sizeof result);
    textAt(dc, x + Cb, q.top, result);
    if (r != selected) r->changed = FALSE;
    ++linesDrawn;
}

int STATUSPANE::drawLines(HDC dc, const RECT& clip, int, int W, int firstTop, int, int Cb) {
    int largestTop = firstTop;
    for (STATUSINFO* r : records(getStatusChain())) {
        if (!r->InUse() || !r->lineRect) continue;
        largestTop = std::max(largestTop, r->lineRect->top);
        if (meets(*r->lineRect, clip) || r->changed) drawRecord(dc, r, W, Cb);
    }
    return largestTop;
}

int STATUSPANE::draw(zDrawEvt*) {
    zDisplay* d = canvas();
    if (!d || !hwnd) return 1;
    d->lock();
    HDC dc = d->hdc();
    SetTextColor(dc, 0);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    RECT client, clip;
    GetClientRect(hwnd, &client);
    GetClipBox(dc, &clip);
    int W0 = client.right - client.left;
    int W = effectiveWidth(W0);
    int u = W / totalUnits;
    if (!font.boldFont) font.selectBoldFont(d, u);
    HGDIOBJ oldFont = SelectObject(dc, font.boldFont->hfont());
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    int Hb = tm.tmHeight, Cb = tm.tmAveCharWidth, T = (int)(Hb * 0.25);
    int Wa = textWidth(dc, ACTIVE_PROTOCOLS), Wi = textWidth(dc, INTERFACE_STATUS);
    delete headerRect;
    headerRect = new zRect(0, 0, W, T + Hb);
    bool headerDirty = fiveColumn && meets(*headerRect, clip);
    if (headerDirty) {
        textAt(dc, Cb, T, INTERFACE_STATUS);
        textAt(dc, W - (5 * Cb + Wa), T, ACTIVE_PROTOCOLS);
    }
    int y = T + (fiveColumn ? 2 * Hb : 0);
    zRect titles(0, y, W, y + Hb);
    if (meets(titles, clip)) {
        int x = 0;
        for (int i = 0; i < columns->count; ++i) {
            textAt(dc, x + Cb, y, columns->names[i]);
            x = (int)(x + W * fractions[i]);
        }
    }
    if (!font.normalFont) font.selectNormalFont(d, u);
    SelectObject(dc, font.normalFont->hfont());
    GetTextMetricsA(dc, &tm);
    int L = tm.tmHeight + tm.tmDescent + tm.tmExternalLeading;
    if (headerDirty) {
        char text[64];
        textAt(dc, Cb + Wi + Cb, T, InterfaceStatus(text));
        ApplicationsActive(text);
        textAt(dc, W - (5 * Cb + Wa) + Wa + Cb, T, text);
    }
    int F = T + L * (fiveColumn ? 3 : 1);
    BOOL relayout = !(W0 == lastWidth && L == lastLineHeight);
    layoutLines(client.left, W0, F, L, relayout);
    lastWidth = W0;
    lastLineHeight = L;
    int largestTop = drawLines(dc, clip, W0, W, F, L, Cb);
    delete lineAreaRect;
    lineAreaRect = new zRect(titles.left + 1, std::max((int)client.top, titles.bottom) + 1, W0 - 2,
                             std::max((int)client.bottom, preferredHeight));
    bevelEdge.DrawBevel(FALSE, FALSE);
    int newPreferred = largestTop + L;
    BOOL resized = newPreferred != preferredHeight;
    preferredHeight = newPreferred;
    SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
    d->unlock();
    if (resized && _pMainForm) PostAppMessage(_pMainForm->windowHandle(), APPMSG_DRAW, (LPARAM)scroller());
    followSelection();
    return 1;
}

void STATUSPANE::followSelection() {
    BOOL valid = selected && selected->InUse();
    if (!valid) {
        if (detail) closeDetail();
        lastDetail = nullptr;
        if (selected) selected->changed = FALSE;
        selected = nullptr;
        return;
    }
    if (!detail) {
        openDetail();
    } else if (selected == lastDetail) {
        if (selected->changed) detail->SetDirtyData();
    } else {
        detail->ShowRecord(selected);
    }
    selected->changed = FALSE;
    lastDetail = selected;
}

void STATUSPANE::openDetail() {
    FORMAPP* form = _pMainForm;
    if (!form) return;
    RECT main;
    GetWindowRect(form->windowHandle(), &main);
    int lineBottom = main.bottom;
    if (lineAreaRect) {
        POINT p = {0, lineAreaRect->bottom - (canvas() ? canvas()->windowOrg().y : 0)};
        ClientToScreen(hwnd, &p);
        lineBottom = p.y;
    }
    zRect at = DetailPlacement(main, lineBottom, _SysPixHeight, _MainFormWidth);
    detail = new DETAILWINDOW(this, at, selected);
}

void STATUSPANE::closeDetail() {
    if (!detail) return;
    RECT mine, theirs, overlap;
    GetWindowRect(hwnd, &mine);
    GetWindowRect(detail->windowHandle(), &theirs);
    DETAILWINDOW* d = detail;
    detail = nullptr;
    d->pane = nullptr;
    delete d;
    if (IntersectRect(&overlap, &mine, &theirs)) {
        MapWindowPoints(nullptr, hwnd, (POINT*)&overlap, 2);
        InvalidateRect(hwnd, &overlap, TRUE);
    }
    setDirtyLine();
    selected = nullptr;
}
