#pragma once
// The one-line message bar at the bottom of the main window. A timed message
// is held for 5 seconds: untimed ones arriving meanwhile are dropped. GUI thread only.
#include "QvWindows.h"
#include "zPane.h"
#include "BevelEdge.h"
#include "PaneFont.h"

class TIMER;

class STATUSLINE : public zPane {
public:
    STATUSLINE(zWindow* parent, zSizer* sizer);
    ~STATUSLINE() override;  // unqueues the hold timer first

    int size(zSizeEvt* e) override;
    int draw(zDrawEvt* e) override;

    // Nothing for null; equal text: no redraw; timed restarts the hold.
    void SetMessage(const char* text, BOOL timed);
    // The hold timer's function: ends the hold, the text stays.
    static void clearMsgTimer(void* line);
    BOOL IsHolding() const { return hold; }
    const char* Message() const { return message; }

    PANEFONT font;
    BEVELEDGE bevelEdge;
    int referenceWidth;  // 0 until the first draw or size
    int widthUnits;      // 128 once the reference width is set
    char message[128];
    BOOL timed;
    BOOL hold;
    TIMER* holdTimer;  // owned; 5 seconds, queued on the support object's timers
    int draws;         // paints so far (tests see redraws by it)

private:
    int clientWidth() const;
    void setReference(int width);
};
