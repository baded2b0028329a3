#pragma once
// What the exchange tests share: format descriptors, a small coloured bitmap
// to compare pixels of, and a recorded metafile picture.
#include "QvWindows.h"

#include <ole2.h>

#include "../drawing/Canvas.h"
#include "zBitmap.h"
#include "zGeometry.h"
#include "zRegion.h"

inline FORMATETC Fmt(CLIPFORMAT cf, DWORD tymed, DWORD aspect = DVASPECT_CONTENT) {
    FORMATETC f = {cf, nullptr, aspect, -1, tymed};
    return f;
}

// A 4x2 bitmap: red on the left half, blue on the right.
inline zBitmap* TwoColourBitmap(Canvas& cv) {
    zBitmap* b = new zBitmap(4, 2, &cv.screen);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b->hbitmap());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) SetPixel(dc, x, y, x < 2 ? kRed : kBlue);
    SelectObject(dc, old);
    DeleteDC(dc);
    return b;
}

inline COLORREF PixelOf(HBITMAP bmp, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    COLORREF c = GetPixel(dc, x, y) & 0xFFFFFF;
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

// Records a solid green picture of 20 by 10 units.
inline void RecordGreen(zMetafileDisplay& md) {
    md.setExtent(zRect(0, 0, 20, 10));
    md.lock();
    md.pushPen(new zPen(NULL_PEN));
    md.pushBrush(new zBrush(zColor(0, 255, 0)));
    Rectangle(md.hdc(), 0, 0, 21, 11);
    md.unlock();
}
