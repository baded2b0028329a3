#pragma once
// Pictures of shown windows: the pixels read back for checks, and a PNG a person
// can open beside the test's output.
#include "QvWindows.h"

#include <string>
#include <vector>

namespace shot {

struct Picture {
    int width = 0, height = 0;
    POINT origin = {0, 0};       // the picture's top-left on the screen
    std::vector<COLORREF> rgb;  // rows top to bottom
    // CLR_INVALID outside the picture.
    COLORREF at(int x, int y) const;
    // The pixel at a point of a window's client area.
    COLORREF atClient(HWND w, int x, int y) const;
};

// The whole window, frame and children included, as it is drawn now.
Picture Capture(HWND w);

// An 8-bit RGB PNG (stored, uncompressed); false when the file cannot be written.
bool WritePng(const Picture& p, const std::string& path);

// Writes the picture beside the test program's working folder under the test's
// name and says where it went in the test's output.
void Keep(const Picture& p, const char* name);

}  // namespace shot
