#include "zDisplay.h"

#include <cstring>

#include "zFont.h"
#include "zGeometry.h"
#include "zRegion.h"
#include "zWindow.h"

void zAppDoSetDraw(zDisplay* d, int on)
{
    if (d && d->type() == zDisplay::Window)
        static_cast<zWinDisplay*>(d)->setPainting(on);
}

zWinDisplay::zWinDisplay(zWindow* w) : win(0), paintFlag(0)
{
    memset(&ps, 0, sizeof ps);
    dispType = Window;
    back = zColor::system(COLOR_WINDOW);
    fore = zColor::system(COLOR_WINDOWTEXT);
    delete brush(new zBrush(back));
    ziSetWindow(w);
    HWND h = targetHwnd();
    if (h) {
        HDC probe = GetDC(h);
        readDeviceFacts(probe);
        ReleaseDC(h, probe);
    }
    // The window's font stays the window's: the display holds a view that never deletes it.
    zFont* f = w ? w->getFont() : 0;
    if (!f && w && w->parent())
        f = w->parent()->getFont();
    if (f && f->hfont())
        delete font(new zFont(f->hfont()));
}

zWinDisplay::~zWinDisplay()
{
    while (locks > 0)
        unlock();
}

void zWinDisplay::ziSetWindow(zWindow* w)
{
    win = w;
}

// The window's own handle when it has a live one, else its parent's.
HWND zWinDisplay::targetHwnd() const
{
    if (!win)
        return 0;
    HWND h = win->windowHandle();
    if (h && IsWindow(h))
        return h;
    if (win->parent())
        return win->parent()->windowHandle();
    return 0;
}

int zWinDisplay::get()
{
    // Without a window there is nothing to draw on (GetDC(0) would be the screen).
    HWND h = targetHwnd();
    if (!h)
        dc = 0;
    else if (paintFlag)
        dc = BeginPaint(h, &ps);
    else
        dc = GetDC(h);
    return dc != 0;
}

int zWinDisplay::release()
{
    HWND h = targetHwnd();
    if (paintFlag && h) {
        EndPaint(h, &ps);
    } else if (dc) {
        ReleaseDC(h, dc);
    }
    dc = 0;
    return 1;
}

void zWinDisplay::getDirty(zRect& r)
{
    if (paintFlag)
        r = zRect(ps.rcPaint.left + winOrgX, ps.rcPaint.top + winOrgY, ps.rcPaint.right + winOrgX,
                  ps.rcPaint.bottom + winOrgY);
    else
        r = zRect();
}

void zWinDisplay::setDirty(const zRect& r)
{
    HWND h = targetHwnd();
    if (!h)
        return;
    RECT rc = {r.left, r.top, r.right, r.bottom};
    InvalidateRect(h, &rc, TRUE);
}

void zWinDisplay::setDirty(const zRegion& r)
{
    HWND h = targetHwnd();
    if (h)
        InvalidateRgn(h, r.hrgn(), TRUE);
}

void zWinDisplay::getVisible(zRect& r)
{
    HWND h = targetHwnd();
    RECT rc = {0, 0, 0, 0};
    if (h && IsWindow(h))
        GetClientRect(h, &rc);
    r = zRect(rc.left, rc.top, rc.right, rc.bottom);
}
