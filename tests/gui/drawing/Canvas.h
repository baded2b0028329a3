#pragma once
// A small white memory bitmap to draw on and read pixels back from.
#include "QvWindows.h"

#include "zBitmap.h"
#include "zDisplay.h"

struct Canvas {
    ziInfoDisplay screen;
    zBitmapDisplay disp;
    int w, h;

    explicit Canvas(int width = 40, int height = 30) : disp(&screen, width, height), w(width), h(height)
    {
        clear();
    }
    void clear() { PatBlt(disp.hdc(), 0, 0, w, h, WHITENESS); }
    COLORREF at(int x, int y) { return GetPixel(disp.hdc(), x, y) & 0xFFFFFF; }
    // Bounding box of every pixel that is not white; false when there is none.
    bool ink(RECT& box)
    {
        box = {w, h, -1, -1};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (at(x, y) != RGB(255, 255, 255)) {
                    if (x < box.left) box.left = x;
                    if (y < box.top) box.top = y;
                    if (x > box.right) box.right = x;
                    if (y > box.bottom) box.bottom = y;
                }
        return box.right >= 0;
    }
};

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
