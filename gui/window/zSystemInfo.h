#pragma once
// The screen's facts, read once from the desktop window's context.
#include <windows.h>

class zSystemInfo {
public:
    int width;   // pixels
    int height;  // pixels
    int pixPerInchX;
    int pixPerInchY;
    int mmHeight;
    int mmWidth;

    zSystemInfo();
};
