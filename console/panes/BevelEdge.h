#pragma once
// The sunken 3-D frame a console pane draws inside its client area: one ring
// (outer: grey top-left, white bottom-right) or two (inner: dark grey
// top-left, light grey bottom-right). GUI thread only.
#include "QvWindows.h"
#include "zGeometry.h"

class zPane;
class zDisplay;
class zPen;

class BEVELEDGE {
public:
    explicit BEVELEDGE(zPane* pane);
    ~BEVELEDGE();  // releases the four pens
    BEVELEDGE(const BEVELEDGE&) = delete;
    BEVELEDGE& operator=(const BEVELEDGE&) = delete;

    // afterScroll: only the edges scrolling moved. singleRing: one ring, top 2 lower.
    void DrawBevel(BOOL afterScroll, BOOL singleRing);
    void bevel(zDisplay* display, zRect r, BOOL outer, BOOL horizontalEdges, BOOL verticalEdges);
    // Scrolls the area of the pane's window inside the frame: the 2-pixel strip
    // the scroll uncovers is repainted and the frame drawn again over the move.
    void ScrollInside(HWND window, int dx, int dy, const zRect& area);

    zPane* pane;  // not owned
    zPen* grey;
    zPen* lightGrey;
    zPen* white;
    zPen* darkGrey;
    int bevWidth;

private:
    void draw_tl(zDisplay* d, const zRect& r, zPen* pen, BOOL horizontal, BOOL vertical);
    void draw_br(zDisplay* d, const zRect& r, zPen* pen, BOOL horizontal, BOOL vertical);
};
