#pragma once
// The text pane: a character-cell console in a window. Text written through the
// stream interface lands in a ring of fixed-pitch rows with a cursor; the grid
// scrolls up past the last row and only changed cells are drawn again.
#include <vector>

#include "QvWindows.h"

#include <string>
#include "zGeometry.h"
#include "zPane.h"

// An output stream of text; the formatting helpers cut what does not fit their buffer.
class zTextStream {
public:
    virtual ~zTextStream() {}
    virtual void put(char*) {}
    virtual void putchr(char c);
    void printf(const char* format, ...);
};

zTextStream& operator<<(zTextStream& s, const zPoint& p);       // "(x,y)"
zTextStream& operator<<(zTextStream& s, const zDimension& d);   // "[width,height]"

// The grid: rows given to its operations are screen rows; the row buffer of
// screen row r is (first + r) % rows. Row texts are blank-filled, not terminated.
class zTextBuf {
public:
    static const int kClean = 32767;  // a clean row's dirty range is (kClean, 0)

    zTextBuf(int rows, int columns);
    zTextBuf(const zTextBuf&) = delete;
    zTextBuf& operator=(const zTextBuf&) = delete;

    // Takes over the other's storage; the other is left empty.
    void exchange(zTextBuf& other);
    // Copies min(length, columns - column) characters, CR and LF as blanks; end
    // (unless (-1,-1) on entry) becomes (column + length, row). Returns the count copied.
    int copyStr(int column, int row, const char* text, int length, zPoint& end);
    // Blanks the n top rows and turns the ring; answers how often it wrapped.
    int scrollVert(int n);
    void addDirtyRow(int row, const zRange& r);
    zRange getDirtyRows() const { return zRange(dirtyFirst, dirtyLast); }
    void setDirtyRows(int first, int last) { dirtyFirst = first, dirtyLast = last; }
    char* getChars(const zPoint& p);
    void clearRect(const zRect* r);

    int rowCount() const { return rows; }
    int columnCount() const { return columns; }
    int usedLength(int row) const { return used[buffer(row)]; }
    zRange dirtyRange(int row) const { return dirty[buffer(row)]; }
    void markClean(int row) { dirty[buffer(row)] = zRange(kClean, 0); }
    // The row's text as a string (for tests and logs).
    std::string rowText(int row) const;

private:
    int buffer(int row) const { return rows ? (first + row) % rows : 0; }
    int first = 0;
    int rows;
    int columns;
    std::vector<std::vector<char>> text;
    std::vector<zRange> dirty;
    std::vector<int> used;  // 32 bits: a byte went wrong past 127 columns
    int dirtyFirst;
    int dirtyLast = 0;
};

class zTextPane : public zPane, public zTextStream {
public:
    zTextBuf buf;
    zPoint cursor;
    int rows = 0, columns = 0;
    int lineHeight = 0;
    int charWidth = 0;
    int topMargin = 0, bottomMargin = 0, leftMargin = 0, rightMargin = 0;
    int deferred = 0;  // set nowhere: rows are only marked dirty while it is
    int pending = 0;
    int leftLimit = 0;

    zTextPane(zWindow* parent, zSizer* sizer, unsigned long style, int rows, int columns);
    // The dialog builder's form: 80 rows of 25 columns; the text is not used.
    zTextPane(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
    // Takes over the dialog-built pane with that id, keeping its cursor and metrics.
    zTextPane(zWindow* parent, int id);

    int draw(zDrawEvt* e) override;
    void setMetrics() override {}
    int show(int cmd = SW_SHOWNORMAL) override;
    int getPreferredSize(zDimension& d) override;

    virtual void drawLine(zPoint cell, int count);
    virtual void logToText(zPoint& p);
    virtual void logToText(zRect& r);
    virtual void textToLog(zPoint& p);
    virtual void textToLog(zRect& r);
    void put(char* text) override;

    void tpsetup(int rows, int columns);
    void moveDown(int n);
    void moveUp(int n);
    void moveRight(int n);
    void moveLeft(int n);
    void printAt(int column, int row, const char* format, ...);
    void scrollVert(int n);
    void clearRect(zRect* r);
    void setLeftLimit(int column) { leftLimit = column; }
};

zChildWin* zCtrlBldzTextPane(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
