#include "zSystemInfo.h"

#include "zApp.h"

zSystemInfo::zSystemInfo() {
    HWND desk = GetDesktopWindow();
    HDC dc = GetDC(desk);
    width = GetDeviceCaps(dc, HORZRES);
    height = GetDeviceCaps(dc, VERTRES);
    pixPerInchX = GetDeviceCaps(dc, LOGPIXELSX);
    pixPerInchY = GetDeviceCaps(dc, LOGPIXELSY);
    mmHeight = GetDeviceCaps(dc, VERTSIZE);
    mmWidth = GetDeviceCaps(dc, HORZSIZE);
    ReleaseDC(desk, dc);
    zApp::ziScreenDefaults(width, height);
}
