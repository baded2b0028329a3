#include "StatusLine.h"

#include <algorithm>
#include <cstring>

#include "SpControl.h"
#include "SvrSystem.h"
#include "TextHelpers.h"
#include "Timer.h"
#include "zFont.h"

namespace {
const int HOLD_SECONDS = 5;
const int WIDTH_UNITS = 128;
}  // namespace

STATUSLINE::STATUSLINE(zWindow* parent, zSizer* s)
    : zPane(parent, s, WS_CHILD | WS_CLIPSIBLINGS), bevelEdge(this), referenceWidth(0), widthUnits(0), message{},
      timed(FALSE), hold(FALSE), holdTimer(new TIMER(HOLD_SECONDS, &STATUSLINE::clearMsgTimer, this, 0)), draws(0) {
    holdTimer->prepare();
    if (_pSvr) font.UseSettings(_pSvr->config.displayFont1, _pSvr->config.displayFont2, _pSvr->config.fontSize);
}

STATUSLINE::~STATUSLINE() {
    if (_pSupport) _pSupport->timers.RemoveTimer(*holdTimer);
    holdTimer->freeobj();
}

int STATUSLINE::clientWidth() const {
    RECT r = {0, 0, 0, 0};
    if (hwnd) GetClientRect(hwnd, &r);
    return r.right - r.left;
}

void STATUSLINE::setReference(int width) {
    if (referenceWidth) return;
    referenceWidth = width;
    widthUnits = WIDTH_UNITS;
}

void STATUSLINE::SetMessage(const char* text, BOOL isTimed) {
    if (!text) return;
    if (isTimed) {
        if (_pSupport) {
            _pSupport->timers.RemoveTimer(*holdTimer);
            _pSupport->timers.AddTimer(holdTimer, TRUE);
        }
        timed = hold = FALSE;
    }
    if (std::strcmp(text, message) == 0) return;
    if (hold) return;
    _strzcpy(message, text, sizeof message);
    if (hwnd) {
        // Also the window's text, where other programs (and tests) can read it.
        SetWindowTextA(hwnd, message);
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    timed = hold = isTimed;
}

void STATUSLINE::clearMsgTimer(void* line) {
    if (line) static_cast<STATUSLINE*>(line)->hold = FALSE;
}

int STATUSLINE::size(zSizeEvt*) {
    int width = clientWidth();
    setReference(width);
    int unit = std::max(width, referenceWidth) / widthUnits;
    font.selectNormalFont(canvas(), unit);
    font.selectBoldFont(canvas(), unit);
    if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

int STATUSLINE::draw(zDrawEvt*) {
    zDisplay* d = canvas();
    if (!d || !hwnd) return 1;
    ++draws;
    d->lock();
    HDC dc = d->hdc();
    int oldMode = SetBkMode(dc, TRANSPARENT);
    RECT client;
    GetClientRect(hwnd, &client);
    setReference(client.right);
    FillRect(dc, &client, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
    bevelEdge.DrawBevel(FALSE, TRUE);
    int unit = std::max((int)client.right, referenceWidth) / widthUnits;
    if (!font.normalFont) font.selectNormalFont(d, unit);
    HGDIOBJ oldFont = SelectObject(dc, font.normalFont->hfont());
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    TextOutA(dc, tm.tmAveCharWidth, (client.bottom - tm.tmHeight) / 2, message, (int)std::strlen(message));
    SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
    d->unlock();
    return 1;
}
