#include "BackgroundDisplay.h"

#include "zWindow.h"

BACKGROUNDDISPLAY::BACKGROUNDDISPLAY(zWindow* w) : zWinDisplay(w), event(nullptr), borrowed(FALSE) {}

BACKGROUNDDISPLAY::~BACKGROUNDDISPLAY() {}

int BACKGROUNDDISPLAY::get() {
    if (event && event->wParm) {
        dc = (HDC)event->wParm;
        borrowed = TRUE;
        return 1;
    }
    borrowed = FALSE;
    return zWinDisplay::get();
}

int BACKGROUNDDISPLAY::release() {
    int r = 1;
    if (borrowed)
        dc = 0;
    else
        r = zWinDisplay::release();
    borrowed = FALSE;
    event = nullptr;
    return r;
}
