#pragma once
// A pane's normal and bold font, sized from the pane's width unit and kept
// between heights 12 and 12 unless the settings fix a size. GUI thread only.
#include "QvWindows.h"

class zDisplay;
class zFont;

class PANEFONT {
public:
    PANEFONT();
    ~PANEFONT();  // releases both fonts
    PANEFONT(const PANEFONT&) = delete;
    PANEFONT& operator=(const PANEFONT&) = delete;

    // The "Display Font" faces ("first[,second]") and "Font Size" (used above 0).
    void UseSettings(const char* face1, const char* face2, long fontSize);
    int calcHeight(int unit) const;
    int calcBoldHeight(int unit) const;
    zFont* selectNormalFont(zDisplay* display, int unit);
    zFont* selectBoldFont(zDisplay* display, int unit);

    zFont* normalFont;  // owned; null until first selected
    zFont* boldFont;    // owned; null until first selected
    int ratioNumerator;
    int ratioDenominator;
    int minimumHeight;
    int maximumHeight;
    int minimumBoldHeight;
    int fixedSize;  // 0 = none
    char face1[256];
    char face2[256];
};
