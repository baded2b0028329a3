#pragma once
// A window display that can draw into the device context an erase-background
// event carries instead of taking the window's own. GUI thread only.
#include "QvWindows.h"
#include "zDisplay.h"

class zEvent;

class BACKGROUNDDISPLAY : public zWinDisplay {
public:
    explicit BACKGROUNDDISPLAY(zWindow* window);
    int get() override;
    int release() override;  // forgets the event either way
    ~BACKGROUNDDISPLAY() override;

    // The erase event whose context the next lock borrows; null: the window's own.
    void Borrow(zEvent* e) { event = e; }

    zEvent* event;  // not owned

private:
    BOOL borrowed;
};
