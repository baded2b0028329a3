#include "zTextPane.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "zDisplay.h"

namespace {

// Formats into a buffer of this size; longer results are cut, never overrun.
const int kFormatBuffer = 300;

void formatInto(char* out, int size, const char* format, va_list ap) {
    memset(out, 0, (size_t)size);
    if (format) vsnprintf(out, (size_t)size, format, ap);
    out[size - 1] = 0;
}

}  // namespace

// ---- stream ---------------------------------------------------------------------

void zTextStream::putchr(char c) {
    char s[2] = {c, 0};
    put(s);
}

void zTextStream::printf(const char* format, ...) {
    char buf[kFormatBuffer];
    va_list ap;
    va_start(ap, format);
    formatInto(buf, sizeof buf, format, ap);
    va_end(ap);
    put(buf);
}

zTextStream& operator<<(zTextStream& s, const zPoint& p) {
    s.printf("(%d,%d)", p.x, p.y);
    return s;
}

zTextStream& operator<<(zTextStream& s, const zDimension& d) {
    s.printf("[%d,%d]", d.width, d.height);
    return s;
}

// ---- grid -----------------------------------------------------------------------

zTextBuf::zTextBuf(int r, int c)
    : rows(std::max(r, 0)), columns(std::max(c, 0)), text((size_t)rows, std::vector<char>((size_t)columns, ' ')),
      dirty((size_t)rows, zRange(kClean, 0)), used((size_t)rows, 0), dirtyFirst(rows) {}

void zTextBuf::exchange(zTextBuf& o) {
    first = o.first;
    rows = o.rows;
    columns = o.columns;
    text.swap(o.text);
    dirty.swap(o.dirty);
    used.swap(o.used);
    dirtyFirst = o.dirtyFirst;
    dirtyLast = o.dirtyLast;
    o.text.clear();
    o.dirty.clear();
    o.used.clear();
    o.first = o.rows = o.columns = o.dirtyFirst = o.dirtyLast = 0;
}

int zTextBuf::copyStr(int column, int row, const char* s, int length, zPoint& end) {
    if (row < 0 || row >= rows || column < 0 || column > columns || length < 0) return 0;
    int n = std::min(length, columns - column);
    std::vector<char>& line = text[(size_t)buffer(row)];
    for (int i = 0; i < n; ++i) line[(size_t)(column + i)] = (s[i] == 13 || s[i] == 10) ? ' ' : s[i];
    int& u = used[(size_t)buffer(row)];
    u = std::max(u, column + n);
    if (!(end.x == -1 && end.y == -1)) end = zPoint(column + length, row);
    return n;
}

int zTextBuf::scrollVert(int n) {
    if (rows == 0 || n <= 0) return 0;
    n = std::min(n, rows);
    for (int i = 0; i < n; ++i) {
        int b = buffer(i);
        std::fill(text[(size_t)b].begin(), text[(size_t)b].end(), ' ');
        dirty[(size_t)b] = zRange(0, 0);
        used[(size_t)b] = 0;
    }
    int wraps = (first + n) / rows;
    first = (first + n) % rows;
    dirtyFirst = std::min(dirtyFirst, rows - 1 - n);
    dirtyLast = std::max(dirtyLast, rows - 1);
    return wraps;
}

void zTextBuf::addDirtyRow(int row, const zRange& r) {
    if (row < 0 || row >= rows) return;
    zRange& d = dirty[(size_t)buffer(row)];
    d.start = std::min(d.start, r.lo());
    d.end = std::max(d.end, r.hi());
    dirtyFirst = std::min(dirtyFirst, row);
    dirtyLast = std::max(dirtyLast, row);
}

char* zTextBuf::getChars(const zPoint& p) {
    if (p.y < 0 || p.y >= rows || p.x < 0 || p.x >= columns) return nullptr;
    return &text[(size_t)buffer(p.y)][(size_t)p.x];
}

void zTextBuf::clearRect(const zRect* r) {
    zRect a = r ? *r : zRect(0, 0, columns, rows);
    int l = std::max(a.left, 0), rt = std::min(a.right, columns);
    for (int row = std::max(a.top, 0); row < a.bottom && row < rows; ++row) {
        int b = buffer(row);
        for (int c = l; c < rt; ++c) text[(size_t)b][(size_t)c] = ' ';
        dirty[(size_t)b] = zRange(kClean, 0);
        if (used[(size_t)b] > a.left && used[(size_t)b] < a.right) used[(size_t)b] = a.left;
    }
    dirtyFirst = std::min(dirtyFirst, a.top);
    dirtyLast = std::max(dirtyLast, a.bottom);
}

std::string zTextBuf::rowText(int row) const {
    if (row < 0 || row >= rows) return std::string();
    const std::vector<char>& t = text[(size_t)buffer(row)];
    return std::string(t.begin(), t.end());
}

// ---- pane -----------------------------------------------------------------------

zTextPane::zTextPane(zWindow* parent, zSizer* s, unsigned long style, int r, int c)
    : zPane(parent, s, style, 0, 1), buf(r, c) {
    tpsetup(r, c);
}

zTextPane::zTextPane(zWindow* parent, zSizer* s, unsigned long style, const char*, int id)
    : zPane(parent, s, style, id, 1), buf(80, 25) {
    tpsetup(80, 25);
}

zTextPane::zTextPane(zWindow* parent, int id) : zPane(parent, id), buf(80, 25) {
    tpsetup(80, 25);
    if (zTextPane* old = dynamic_cast<zTextPane*>(prevObject)) {
        cursor = old->cursor;
        rows = old->rows;
        columns = old->columns;
        lineHeight = old->lineHeight;
        charWidth = old->charWidth;
        topMargin = old->topMargin;
        bottomMargin = old->bottomMargin;
        leftMargin = old->leftMargin;
        rightMargin = old->rightMargin;
        deferred = old->deferred;
        leftLimit = old->leftLimit;
    }
}

void zTextPane::tpsetup(int r, int c) {
    rows = r;
    columns = c;
    deferred = 0;
    leftLimit = 0;
    zDisplay* d = curDisplay;
    if (!d) return;
    d->lock();
    HDC dc = d->hdc();
    if (dc) {
        HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
        TEXTMETRICA tm;
        memset(&tm, 0, sizeof tm);
        GetTextMetricsA(dc, &tm);
        lineHeight = tm.tmHeight + tm.tmExternalLeading;
        SIZE sz = {0, 0};
        GetTextExtentPoint32A(dc, "a", 1, &sz);
        charWidth = sz.cx;
        SelectObject(dc, old);
    }
    d->unlock();
    topMargin = bottomMargin = lineHeight / 2;
    leftMargin = rightMargin = charWidth / 2;
}

void zTextPane::moveDown(int n) {
    cursor.y += n;
    if (cursor.y > rows - 1) {
        int excess = cursor.y - (rows - 1);
        cursor.y = rows - 1;
        scrollVert(excess);
    }
}

void zTextPane::moveUp(int n) { cursor.y = std::max(cursor.y - n, 0); }

void zTextPane::moveRight(int n) { cursor.x = std::min(cursor.x + n, columns - 1); }

void zTextPane::moveLeft(int n) { cursor.x = std::max(cursor.x - n, leftLimit); }

void zTextPane::textToLog(zPoint& p) {
    p.x = p.x * charWidth + leftMargin;
    p.y = p.y * lineHeight + topMargin;
}

void zTextPane::logToText(zPoint& p) {
    int c = charWidth ? (p.x - leftMargin) / charWidth : 0;
    int r = lineHeight ? (p.y - topMargin) / lineHeight : 0;
    p.x = std::max(0, std::min(c, columns - 1));
    p.y = std::max(0, std::min(r, rows - 1));
}

void zTextPane::textToLog(zRect& r) {
    zPoint a(r.left, r.top), b(r.right, r.bottom);
    textToLog(a);
    textToLog(b);
    r = zRect(a.x, a.y, b.x, b.y);
}

void zTextPane::logToText(zRect& r) {
    zPoint a(r.left, r.top), b(r.right, r.bottom);
    logToText(a);
    logToText(b);
    r = zRect(a.x, a.y, b.x, b.y);
}

int zTextPane::getPreferredSize(zDimension& d) {
    d = zDimension(columns * charWidth + leftMargin + rightMargin, rows * lineHeight + topMargin + bottomMargin);
    return 1;
}

void zTextPane::printAt(int column, int row, const char* format, ...) {
    cursor = zPoint(std::max(column, leftLimit), row);
    char text[kFormatBuffer];
    va_list ap;
    va_start(ap, format);
    formatInto(text, sizeof text, format, ap);
    va_end(ap);
    put(text);
}

void zTextPane::put(char* text) {
    if (!text) return;
    const char* p = text;
    while (*p) {
        const char* seg = p;
        while (*p && *p != '\n') ++p;
        int len = (int)(p - seg);
        int room = std::max(columns - cursor.x, 0);
        bool cut = len > room;
        int n = cut ? room : len;
        zPoint end(0, 0);
        int copied = buf.copyStr(cursor.x, cursor.y, seg, n, end);
        if (deferred) {
            buf.addDirtyRow(cursor.y, zRange(cursor.x, cursor.x + copied));
            ++pending;
        } else {
            drawLine(cursor, copied);
            cursor = end;
        }
        // The part of a line beyond the last column is dropped.
        if (*p == '\n' || cut) {
            cursor.x = leftLimit;
            moveDown(1);
        }
        if (*p == '\n') ++p;
    }
}

void zTextPane::drawLine(zPoint cell, int count) {
    if (count <= 0 || !curDisplay) return;
    char* chars = buf.getChars(cell);
    if (!chars) return;
    curDisplay->lock();
    if (HDC dc = curDisplay->hdc()) {
        textToLog(cell);
        HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
        TextOutA(dc, cell.x, cell.y, chars, count);
        SelectObject(dc, old);
    }
    curDisplay->unlock();
}

void zTextPane::scrollVert(int n) {
    buf.scrollVert(n);
    if (!hwnd) return;
    RECT rc;
    GetClientRect(hwnd, &rc);
    ScrollWindow(hwnd, 0, -n * lineHeight, &rc, &rc);
    UpdateWindow(hwnd);
}

void zTextPane::clearRect(zRect* r) {
    zRect cells = r ? *r : zRect(0, 0, columns, rows);
    buf.clearRect(&cells);
    if (!curDisplay) return;
    textToLog(cells);
    curDisplay->lock();
    if (HDC dc = curDisplay->hdc()) {
        RECT rc = {cells.left, cells.top, cells.right, cells.bottom};
        zBrush* b = curDisplay->brush();
        FillRect(dc, &rc, b && b->hbrush() ? b->hbrush() : (HBRUSH)GetStockObject(WHITE_BRUSH));
    }
    curDisplay->unlock();
}

int zTextPane::show(int cmd) {
    if (stateFlags & zWinShownOnce) return showSet(cmd);
    int r = zPane::show(cmd);
    int v = rows * lineHeight + topMargin + bottomMargin;
    int h = columns * charWidth + leftMargin + rightMargin;
    int vr[2] = {v < 0 ? v : 0, v < 0 ? 0 : v};
    int hr[2] = {h < 0 ? h : 0, h < 0 ? 0 : h};
    ensureVertScroll()->setParms(vr, -1, lineHeight, lineHeight, -1);
    ensureHorzScroll()->setParms(hr, -1, charWidth, charWidth, -1);
    return r;
}

int zTextPane::draw(zDrawEvt*) {
    zDisplay* d = curDisplay;
    if (!d) return 1;
    d->lock();
    HDC dc = d->hdc();
    HGDIOBJ oldFont = dc ? SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT)) : 0;
    zRect area;
    d->getDirty(area);
    if (area.width() > 0 && area.height() > 0 && dc) {
        logToText(area);
        // Widened by a cell; the right edge runs to the end of the row and the last
        // dirty row is painted too, so the last column and row are not left stale.
        area = zRect(std::max(area.left - 1, 0), std::max(area.top - 1, 0), std::min(area.right + 2, columns),
                     std::min(area.bottom + 1, rows - 1));
        if (area.width() > 0)
            for (int row = area.top; row <= area.bottom && row < rows; ++row)
                buf.addDirtyRow(row, zRange(area.left, area.right));
        zRange dr = buf.getDirtyRows();
        for (int row = std::max(dr.start, 0); row <= dr.end && row < rows; ++row) {
            zRange r = buf.dirtyRange(row);
            if (r.start >= r.end) continue;
            int written = std::min(buf.usedLength(row), r.end);
            zPoint at(r.start, row);
            textToLog(at);
            if (written > r.start) TextOutA(dc, at.x, at.y, buf.getChars(zPoint(r.start, row)), written - r.start);
            int from = std::max(written, r.start);
            zPoint fillAt(from, row);
            textToLog(fillAt);
            if (r.end > from) PatBlt(dc, fillAt.x, fillAt.y, (r.end - from) * charWidth, lineHeight, PATCOPY);
            buf.markClean(row);
        }
        buf.setDirtyRows(rows, 0);
    }
    if (dc) SelectObject(dc, oldFont);
    d->unlock();
    pending = 0;
    return 1;
}

zChildWin* zCtrlBldzTextPane(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id) {
    return new zTextPane(parent, sizer, style, text, id);
}
