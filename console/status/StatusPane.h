#pragma once
// The main window's connection display: a heading, column titles and one line
// per status record of the main window's chain, over a tiled background. A
// record keeps its line for the life of the pane, so a freed record leaves its
// line blank and the next connection reuses it. Only changed or exposed lines
// are repainted. GUI thread only.
#include "QvWindows.h"
#include "zPane.h"
#include "BevelEdge.h"
#include "PaneFont.h"
#include "Chain.h"

class STATUSINFO;
class DETAILWINDOW;
class BACKGROUNDDISPLAY;
class zBitmap;
class zDisplay;

// Column layouts: five columns (Protocol, Connection, Link, Command, Result;
// 91 width units) or three (Connection, Command, Result; 65 units).
struct STATUSCOLUMNS {
    int count;
    const char* const* names;
    const int* widths;
    int total;
};
extern const STATUSCOLUMNS STATUS_FIVE_COLUMNS;
extern const STATUSCOLUMNS STATUS_THREE_COLUMNS;

// Where the detail window opens below (else in) the main window's screen
// rectangle: x = left, width, height 90, first below the window, then at the
// line area's bottom, then above the window, else at half its bottom.
zRect DetailPlacement(const RECT& mainWindow, int lineAreaBottom, int screenHeight, int width);

class STATUSPANE : public zPane {
public:
    STATUSPANE(zWindow* parent, zSizer* sizer, BOOL fiveColumn);
    ~STATUSPANE() override;

    int size(zSizeEvt* e) override;
    int mouseButtonDown(zMouseClickEvt* e) override;
    int background(zEvent* e) override;
    int getPreferredSize(zDimension& d) override;
    int draw(zDrawEvt* e) override;
    void scrollPane(int dx, int dy, const zRect& r) override;

    // The handler of 0xC82: the record's line, or the whole pane before layout.
    void UpdateDisplayLine(STATUSINFO* record);
    void setDirtyLine();
    void setDirtyLine(const zRect& r);
    void setDirtyStatus();
    CHAIN<STATUSINFO>* getStatusChain();
    int getDisplayLineNum() { return nextLine++; }
    STATUSINFO* getActiveStatusInfo(const zPoint& p);
    BOOL WithinConnBox(const zPoint& p);
    // The longest prefix of source that fits width (one character short of the
    // measured prefix), at most targetSize - 1 characters; FALSE when empty.
    static BOOL truncateText(zDisplay* display, const char* source, char* target, int targetSize, int width);
    void closeDetail();

    PANEFONT font;
    BEVELEDGE bevelEdge;
    DETAILWINDOW* detail;   // owned; null when closed
    STATUSINFO* selected;   // null when nothing is selected
    BACKGROUNDDISPLAY* backgroundDisplay;  // owned
    zBitmap* backgroundBitmap;             // owned; null when absent
    zRect* headerRect;      // owned; rebuilt by every draw
    zRect* lineAreaRect;    // owned; rebuilt by every draw
    float* fractions;       // owned; one per column
    int minimumWidth;
    int totalUnits;
    int preferredWidth;
    int preferredHeight;
    int clickX, clickY;
    int nextLine;
    BOOL fiveColumn;
    const STATUSCOLUMNS* columns;
    int linesDrawn;         // record lines painted so far (benchmarks and tests count them)

    // Kept between draws: the record last shown in the detail window, and the
    // client width and line height of the last layout.
    static STATUSINFO* lastDetail;
    static int lastWidth;
    static int lastLineHeight;

private:
    int effectiveWidth(int clientWidth) const;
    void layoutLines(int clientLeft, int clientWidth, int firstTop, int lineHeight, BOOL relayout);
    int drawLines(HDC dc, const RECT& clip, int clientWidth, int effective, int firstTop, int lineHeight, int charWidth);
    void drawRecord(HDC dc, STATUSINFO* record, int effective, int charWidth);
    void followSelection();
    void openDetail();
};
