#include "ConsoleState.h"

#include <cstdio>
#include <cstring>

#include "SvrSystem.h"
#include "zFont.h"
#include "zGeometry.h"

void ApplicationsActive(char* buffer) {
    std::sprintf(buffer, "%ld", _pSvr ? (long)_pSvr->manager.running : 0L);
}

char* InterfaceStatus(char* buffer) {
    SVRSYSTEM* s = _pSvr;
    if (s && s->closing) {
        std::strcpy(buffer, "SHUTDOWN");
    } else if (s && s->ready && s->servicesStarted && s->manager.pending == 0) {
        std::strcpy(buffer, "READY");
    } else if (s && s->manager.starting) {
        std::snprintf(buffer, 64, "STARTING %s", s->manager.starting->name);
    } else {
        std::strcpy(buffer, "STARTUP");
    }
    return buffer;
}

int ZappChooseFont(const std::vector<FONTCANDIDATE>& fonts, int height) {
    int smaller = -1, larger = -1, scalable = -1;
    for (int i = 0; i < (int)fonts.size(); ++i) {
        const FONTCANDIDATE& f = fonts[i];
        if (f.scalable) {
            scalable = i;
        } else if (f.height == height) {
            return i;
        } else if (f.height < height) {
            if (smaller < 0 || f.height >= fonts[smaller].height) smaller = i;
        } else if (larger < 0) {
            larger = i;
        }
    }
    // Above every fixed size a scalable font is drawn at the height asked for.
    if (smaller >= 0 && !(scalable >= 0 && larger < 0)) return smaller;
    if (scalable >= 0) return scalable;
    return smaller >= 0 ? smaller : larger;
}

zFont* ZappSelectFont(zDisplay* display, const char* face, int height, BOOL bold) {
    zDisplayInfo info(display);
    ZKTPtrSlist<zFontDescript>* list = info.getFontList(face);
    std::vector<const zFontDescript*> listed;
    std::vector<FONTCANDIDATE> candidates;
    if (list) {
        ZKTPtrSlistIterator<zFontDescript> it(*list);
        while (zFontDescript* d = it()) {
            int precision = d->fontSpec().logFont().lfOutPrecision;
            listed.push_back(d);
            candidates.push_back({d->fontInfo().height(), precision == 3 || precision == 7});
        }
    }
    int chosen = ZappChooseFont(candidates, height);
    zFont* font = nullptr;
    if (chosen < 0) {
        font = new zFont(face, zDimension(0, height), 0, ffDontCare, fpVariable);
    } else if (candidates[chosen].scalable) {
        const LOGFONTA& lf = listed[chosen]->fontSpec().logFont();
        int weight = bold && lf.lfWeight < 700 ? 700 : 400;
        font = new zFont(face, zDimension(0, height), weight, ffDontCare, fpDefault, 0, 0, 0, csAnsi,
                         (zOutPrec)lf.lfOutPrecision);
    } else {
        zFontSpec spec(&listed[chosen]->fontSpec().logFont());
        LOGFONTA& lf = spec.logFont();
        if (bold && lf.lfWeight < 700) lf.lfWeight = 700;
        if (!bold && lf.lfWeight >= 700) lf.lfWeight = 400;
        font = new zFont(spec, display);
    }
    zDisplayInfo::releaseFontList(list);
    return font;
}
