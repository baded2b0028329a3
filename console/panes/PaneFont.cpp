#include "PaneFont.h"

#include "ConsoleState.h"
#include "TextHelpers.h"
#include "zFont.h"

PANEFONT::PANEFONT()
    : normalFont(nullptr), boldFont(nullptr), ratioNumerator(5), ratioDenominator(2), minimumHeight(12),
      maximumHeight(12), minimumBoldHeight(12), fixedSize(0), face1{}, face2{} {
    _strzcpy(face1, "MS Sans Serif", sizeof face1);
    _strzcpy(face2, "MS Sans Serif", sizeof face2);
}

PANEFONT::~PANEFONT() {
    delete normalFont;
    delete boldFont;
}

void PANEFONT::UseSettings(const char* first, const char* second, long fontSize) {
    if (first && first[0]) _strzcpy(face1, first, sizeof face1);
    if (second && second[0]) _strzcpy(face2, second, sizeof face2);
    if (fontSize > 0) fixedSize = (int)fontSize;
}

int PANEFONT::calcHeight(int unit) const {
    int h = fixedSize > 0 ? fixedSize : unit * ratioNumerator / ratioDenominator;
    if (h < minimumHeight) h = minimumHeight;
    if (h > maximumHeight) h = maximumHeight;
    return h;
}

int PANEFONT::calcBoldHeight(int unit) const {
    int h = calcHeight(unit);
    return h < minimumBoldHeight ? minimumBoldHeight : h;
}

zFont* PANEFONT::selectNormalFont(zDisplay* display, int unit) {
    delete normalFont;
    normalFont = ZappSelectFont(display, face1, calcHeight(unit), FALSE);
    return normalFont;
}

zFont* PANEFONT::selectBoldFont(zDisplay* display, int unit) {
    delete boldFont;
    int height = calcBoldHeight(unit);
    boldFont = ZappSelectFont(display, face1, height, TRUE);
    // A font of family kind 3 (modern) reported for the first face: the second face then.
    if (boldFont && (boldFont->logFont().lfPitchAndFamily >> 4) == 3) {
        delete boldFont;
        boldFont = ZappSelectFont(display, face2, height, TRUE);
    }
    return boldFont;
}
