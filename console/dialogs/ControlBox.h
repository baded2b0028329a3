#pragma once
// The line control box: a borderless popup of switch pictures, one per shown
// dial-up line. A click on a picture's upper half dials the line, on its lower
// half hangs it up; any click, Escape or Enter closes the box. GUI thread.
#include "QvWindows.h"
#include "zDialogFrame.h"

class zBitmap;
class zBitmapPane;
class zWinDisplay;

// Which pictures and panes a box shows.
struct CONTROLBOXLAYOUT {
    int boxPicture;  // 2551 one line, 2550 two lines, 2552 four lines
    int boxFile;     // the "Test Icon Files" string of that picture
    BOOL shown[4];   // lines 1-4
    POINT pane[4];   // positions inside the box of the shown lines
};
// lineCount: the counted lines; defined: lines 1-4 are defined lines.
CONTROLBOXLAYOUT ControlBoxLayout(long lineCount, const BOOL defined[4]);

// The box's top-left corner: bottom-right on the anchor, then off the task bar
// (empty taskBar: none); desktopRight is the desktop's right edge.
POINT ControlBoxPlace(POINT anchor, SIZE box, const RECT& taskBar, long desktopRight);

class CONTROLBOXDLG : public zDialogFrame {
public:
    CONTROLBOXDLG(zWindow* parent, zSizer* sizer, POINT anchor, const BOOL connected[4]);
    ~CONTROLBOXDLG() override;

    void RunDialog();
    // Shows a line's state; once built, asks the line policy to switch it.
    void setLineState(int line, BOOL state);

    int activate(zActivateEvt* e) override;
    int command(zCommandEvt* e) override;
    int mouseButtonUp(zMouseClickEvt* e) override;
    int mouseButtonDown(zMouseClickEvt* e) override;
    int background(zEvent* e) override;
    int keyHandler(zEvent* e);

    BOOL lineState[4];
    zBitmap* boxPicture;
    zBitmap* connectedPicture;
    zBitmap* disconnectedPicture;
    zWinDisplay* display;
    zBitmapPane* panes[4];  // null for lines not shown
    BOOL built;
    BOOL cancelled;
    BOOL captured;

    // The line policy's view, replaceable by tests: a line is defined; switch a
    // line (nonzero when done).
    static BOOL (*lineDefined)(int line);
    static int (*switchLine)(int line, BOOL up);

private:
    void close();
};

class FORMAPP;
// The main window's control box at a screen point (or the question to configure lines first).
void DisplayControlBox(FORMAPP* form, int x, int y);
